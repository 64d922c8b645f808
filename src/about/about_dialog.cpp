#include "about/about_dialog.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "platform/design_layout.h"
#include "platform/shell.h"
#include "platform/window_placement.h"

TForm3::TForm3(QWidget* mainWindow) : QDialog(mainWindow) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("About Hubsift"));
    const QFont font = DesignFont();
    setFont(font);
    UseFixedDialogFrame(this, 331, 273);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(5, 9, 321, 224);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);

    Label1 = new QLabel(QStringLiteral("Hubsift v" HUBSIFT_VERSION), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(22, 9, 278, 26);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setFont(DesignFont(17));
    Label1->setStyleSheet(QStringLiteral("color: red;"));

    Label3 = new QLabel(QStringLiteral("WWW:"), Panel1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->move(18, 196);
    Label3->adjustSize();

    Label8 = new QLabel(QString::fromLatin1(kHomePageUrl), Panel1);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setGeometry(65, 196, 209, 14);
    QFont linkFont = font;
    linkFont.setUnderline(true);
    Label8->setFont(linkFont);
    Label8->setStyleSheet(QStringLiteral("color: blue;"));
    Label8->setCursor(Qt::PointingHandCursor);
    Label8->installEventFilter(this);

    Button2 = new QPushButton(QStringLiteral("Close"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(248, 240, 78, 26);
    Button2->setAutoDefault(false);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
}

void TForm3::OpenCentredOver(QWidget* mainWindow) {
    ShowInFront(this, mainWindow);
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label8 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label8Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm3::Label8Click() {
    OpenUrl(kHomePageUrl);
}

void TForm3::Button2Click() {
    close();
}
