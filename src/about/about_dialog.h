#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

inline constexpr char kHomePageUrl[] = "https://hubsift.brindlework.net/";

// The About dialog: not modal, above the main window, hidden when closed. GUI thread only.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    // mainWindow is the owner the dialog stays above (may be null in tests).
    explicit TForm3(QWidget* mainWindow);

    // The main window's About button: centre over mainWindow, show and bring to the front.
    void OpenCentredOver(QWidget* mainWindow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Label8Click();
    void Button2Click();

    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label8 = nullptr;
    QPushButton* Button2 = nullptr;
};
