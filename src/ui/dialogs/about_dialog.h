#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

inline constexpr char kHomePageUrl[] = "https://hubsift.brindlework.net/";

// The About dialog: not modal, above the main window, hidden when closed. GUI thread only.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // mainWindow is the owner the dialog stays above (may be null in tests).
    explicit AboutDialog(QWidget* mainWindow);

    // The main window's About button: centre over mainWindow, show and bring to the front.
    void OpenCentredOver(QWidget* mainWindow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnHomePageClicked();
    void OnCloseClicked();

    QFrame* m_panel = nullptr;
    QLabel* m_titleLabel = nullptr;
    QLabel* m_wwwLabel = nullptr;
    QLabel* m_homePageLabel = nullptr;
    QPushButton* m_closeButton = nullptr;
};
