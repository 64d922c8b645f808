#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "engine/settings/app_settings.h"

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
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // settings and pendingIPMessage are the program's own and must outlive the dialog. mainWindow is the owner the
    // dialog stays above and is centred over (may be null in tests). detectIP defaults to DetectLocalIP.
    SettingsDialog(AppSettings& settings, std::string& pendingIPMessage, std::string settingsFile, QWidget* mainWindow,
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
    // What Automatic found the last time it looked, e.g. "Router: UPnP, external 203.0.113.7, port 41000 mapped".
    void ShowConnectionStatus(const std::string& line);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void CreateConnectionGroup();
    QRadioButton* ConnectionRadio(ConnectionMode mode) const;
    ConnectionMode ChosenConnectionMode() const;
    void SetTabOrder();
    void ConnectHandlers();

    void OnOkClicked();
    void OnCancelClicked();
    void OnClose(QCloseEvent* event);
    void OnFindIPClicked();
    void OnHelpClicked();
    void OnDetectIPChosen();
    void OnSpecifyIPChosen();
    // The first failing check's message, or empty text when every field is acceptable.
    std::string FirstFailedCheck() const;

    AppSettings& m_settings;
    std::string& m_pendingIPMessage;
    const std::string m_settingsFile;
    QWidget* const m_mainWindow;
    const IpDetector m_detectIP;
    bool m_everShown = false;

    QFrame* m_panel = nullptr;
    QLabel* m_nickRequiredLabel = nullptr;
    QLabel* m_shareSizeLabel = nullptr;
    QLabel* m_shareUnitLabel = nullptr;
    QLabel* m_nickLabel = nullptr;
    QLabel* m_threadsRangeLabel = nullptr;
    QLabel* m_threadsLabel = nullptr;
    QLabel* m_portRangeLabel = nullptr;
    QLabel* m_portRangeToLabel = nullptr;
    QLabel* m_hublistUrlLabel = nullptr;
    QLabel* m_timeoutLabel = nullptr;
    QLabel* m_timeoutUnitLabel = nullptr;
    QLineEdit* m_nickEdit = nullptr;
    QLineEdit* m_shareSizeEdit = nullptr;
    QLineEdit* m_hublistUrlEdit = nullptr;
    QCheckBox* m_refreshOnStartupCheck = nullptr;
    QCheckBox* m_skipRecentCheck = nullptr;
    QRadioButton* m_detectIPRadio = nullptr;
    QRadioButton* m_specifyIPRadio = nullptr;
    QLineEdit* m_ipEdit = nullptr;
    QPushButton* m_findIPButton = nullptr;
    QLineEdit* m_threadsEdit = nullptr;
    QLineEdit* m_minPortEdit = nullptr;
    QLineEdit* m_maxPortEdit = nullptr;
    QLineEdit* m_timeoutEdit = nullptr;
    QPushButton* m_helpButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QRadioButton* m_automaticRadio = nullptr;
    QRadioButton* m_activeRadio = nullptr;
    QRadioButton* m_passiveRadio = nullptr;
    QLabel* m_connectionStatusLabel = nullptr;
};
