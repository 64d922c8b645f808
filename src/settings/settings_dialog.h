#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "settings/app_settings.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Finds the host's public address; empty text with the reason put into the pending message on failure.
using IpDetector = std::function<std::string(std::string& pendingIPMessage)>;

// The Settings dialog: not modal, above the main window, hidden instead of closed. It edits the program's one
// AppSettings and writes the settings file on OK. GUI thread only.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    // settings and pendingIPMessage are the program's own and must outlive the dialog. mainWindow is the owner the
    // dialog stays above and is centred over (may be null in tests). detectIP defaults to DetectLocalIP.
    TForm2(AppSettings& settings, std::string& pendingIPMessage, std::string settingsFile, QWidget* mainWindow,
           IpDetector detectIP = {});

    // Start-up: the IP setting becomes the detected address when AutodetectIP is on (a failure leaves its reason
    // in the pending message), otherwise "Specify IP:" is selected; then the fields are filled and ShareSizeBytes
    // derived. Call once, after LoadSettings, before anything is shown.
    void ApplyStartupSettings();
    // The main window's Settings button: fill, centre, show, select the IP choice of the settings, focus OK.
    void OpenFromSettingsButton();
    // Copies AppSettings into the fields; the IP choice is left alone.
    void FillFields();
    // Selecting runs the choice's behaviour only when it was not selected already.
    void SelectSpecifyIP();
    void SelectDetectIP();
    // Shows the dialog and brings it to the front, centred over the main window only if never shown before.
    void ShowFirstTime();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void SetTabOrder();
    void ConnectHandlers();

    void Button2Click();
    void Button4Click();
    void FormClose(QCloseEvent* event);
    void Button1Click();
    void Button5Click();
    void rbtDetectIPClick();
    void rbtSpecifyIPClick();
    // The first failing check's message, or empty text when every field is acceptable.
    std::string FirstFailedCheck() const;

    AppSettings& m_settings;
    std::string& m_pendingIPMessage;
    const std::string m_settingsFile;
    QWidget* const m_mainWindow;
    const IpDetector m_detectIP;
    bool m_everShown = false;

    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* ebxNick = nullptr;
    QLineEdit* ebxShareSize = nullptr;
    QLineEdit* ebxHublistURL = nullptr;
    QCheckBox* cbxRefreshHublist = nullptr;
    QRadioButton* rbtDetectIP = nullptr;
    QRadioButton* rbtSpecifyIP = nullptr;
    QLineEdit* ebxMyIP = nullptr;
    QPushButton* Button1 = nullptr;
    QLineEdit* ebxThreads = nullptr;
    QLineEdit* ebxMinUDPPort = nullptr;
    QLineEdit* ebxMaxUDPPort = nullptr;
    QLineEdit* ebxCRTimeout = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button4 = nullptr;
};
