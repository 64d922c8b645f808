#include "ui/dialogs/about_dialog.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "ui/support/design_layout.h"
#include "ui/support/shell.h"
#include "ui/support/window_placement.h"

AboutDialog::AboutDialog(QWidget* mainWindow) : QDialog(mainWindow) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Hubsift"));
    const QFont font = DesignFont();
    setFont(font);
    UseFixedDialogFrame(this, 331, 273);

    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("panel"));
    m_panel->setGeometry(5, 9, 321, 224);
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Raised);

    m_titleLabel = new QLabel(QStringLiteral("Hubsift v" HUBSIFT_VERSION), m_panel);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setGeometry(22, 9, 278, 26);
    m_titleLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_titleLabel->setFont(DesignFont(17));
    m_titleLabel->setStyleSheet(QStringLiteral("color: red;"));

    m_wwwLabel = new QLabel(QStringLiteral("WWW:"), m_panel);
    m_wwwLabel->setObjectName(QStringLiteral("wwwLabel"));
    m_wwwLabel->move(18, 196);
    m_wwwLabel->adjustSize();

    m_homePageLabel = new QLabel(QString::fromLatin1(kHomePageUrl), m_panel);
    m_homePageLabel->setObjectName(QStringLiteral("homePageLabel"));
    m_homePageLabel->setGeometry(65, 196, 209, 14);
    QFont linkFont = font;
    linkFont.setUnderline(true);
    m_homePageLabel->setFont(linkFont);
    m_homePageLabel->setStyleSheet(QStringLiteral("color: blue;"));
    m_homePageLabel->setCursor(Qt::PointingHandCursor);
    m_homePageLabel->installEventFilter(this);

    m_closeButton = new QPushButton(QStringLiteral("Close"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setGeometry(248, 240, 78, 26);
    // Enter closes the dialog, as it presses a dialog's default button.
    m_closeButton->setDefault(true);
    connect(m_closeButton, &QPushButton::clicked, this, &AboutDialog::OnCloseClicked);
}

void AboutDialog::OpenCentredOver(QWidget* mainWindow) {
    ShowInFront(this, mainWindow);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_homePageLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OnHomePageClicked();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AboutDialog::OnHomePageClicked() {
    OpenUrl(kHomePageUrl, this);
}

void AboutDialog::OnCloseClicked() {
    close();
}
