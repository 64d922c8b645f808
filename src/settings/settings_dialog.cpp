#include "settings/settings_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <iterator>
#include <utility>

#include "platform/design_layout.h"
#include "platform/gui_text.h"
#include "platform/message_box.h"
#include "platform/number_format.h"
#include "platform/shell.h"
#include "platform/window_placement.h"
#include "settings/ip_detection.h"
#include "settings/settings_store.h"

namespace {

constexpr char kFindIpUrl[] = "http://checkip.dyndns.org/";
constexpr char kHelpFile[] = "settingshelp.txt";

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int left, int top) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

template <typename Button>
Button* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width, int height) {
    auto* button = PlaceControl<Button>(parent, name, left, top, width, height);
    button->setText(QString::fromLatin1(caption));
    return button;
}

QPushButton* MakePushButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                            int height) {
    auto* button = MakeButton<QPushButton>(parent, name, caption, left, top, width, height);
    // Enter in an edit box must not press a button.
    button->setAutoDefault(false);
    return button;
}

std::string Text(const QLineEdit* edit) {
    return FromQString(edit->text());
}

QString DecimalText(int32_t value) {
    return QString::number(value);
}

}  // namespace

TForm2::TForm2(AppSettings& settings, std::string& pendingIPMessage, std::string settingsFile, QWidget* mainWindow,
               IpDetector detectIP)
    : QDialog(mainWindow),
      m_settings(settings),
      m_pendingIPMessage(pendingIPMessage),
      m_settingsFile(std::move(settingsFile)),
      m_mainWindow(mainWindow),
      m_detectIP(detectIP ? std::move(detectIP) : IpDetector(DetectLocalIP)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Settings"));
    setFont(DesignFont());
    UseFixedDialogFrame(this, 358, 313);
    CreateControls();
    SetTabOrder();
    ConnectHandlers();
}

void TForm2::CreateControls() {
    Panel1 = PlaceControl<QFrame>(this, "Panel1", 5, 9, 348, 264);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QWidget* p = Panel1;
    Label4 = MakeLabel(p, "Label4", "Nick:", 48, 14);
    ebxNick = PlaceControl<QLineEdit>(p, "ebxNick", 80, 10, 118, 22);
    Label1 = MakeLabel(p, "Label1", "(required)", 202, 14);
    Label2 = MakeLabel(p, "Label2", "Share size:", 16, 43);
    ebxShareSize = PlaceControl<QLineEdit>(p, "ebxShareSize", 80, 39, 49, 22);
    Label3 = MakeLabel(p, "Label3", "GB", 134, 43);
    Label9 = MakeLabel(p, "Label9", "Hublist URL:", 9, 72);
    ebxHublistURL = PlaceControl<QLineEdit>(p, "ebxHublistURL", 80, 68, 257, 22);
    cbxRefreshHublist = MakeButton<QCheckBox>(p, "cbxRefreshHublist", "Refresh hublist on startup", 80, 97, 208, 17);
    rbtDetectIP = MakeButton<QRadioButton>(p, "rbtDetectIP", "Autodetect my IP address", 9, 119, 240, 17);
    rbtSpecifyIP = MakeButton<QRadioButton>(p, "rbtSpecifyIP", "Specify IP:", 9, 147, 81, 17);
    ebxMyIP = PlaceControl<QLineEdit>(p, "ebxMyIP", 93, 144, 105, 22);
    Button1 = MakePushButton(p, "Button1", "Find IP...", 205, 143, 73, 24);
    Label6 = MakeLabel(p, "Label6", "Connection threads:", 9, 177);
    ebxThreads = PlaceControl<QLineEdit>(p, "ebxThreads", 126, 173, 33, 22);
    Label5 = MakeLabel(p, "Label5", "(1-100)", 165, 177);
    Label7 = MakeLabel(p, "Label7", "UDP port range:", 9, 206);
    ebxMinUDPPort = PlaceControl<QLineEdit>(p, "ebxMinUDPPort", 104, 202, 49, 22);
    Label8 = MakeLabel(p, "Label8", "to", 159, 206);
    ebxMaxUDPPort = PlaceControl<QLineEdit>(p, "ebxMaxUDPPort", 177, 202, 50, 22);
    Label10 = MakeLabel(p, "Label10", "Hub search timeout:", 9, 236);
    ebxCRTimeout = PlaceControl<QLineEdit>(p, "ebxCRTimeout", 126, 232, 27, 22);
    Label11 = MakeLabel(p, "Label11", "s", 157, 236);
    Button5 = MakePushButton(this, "Button5", "Help", 5, 280, 75, 26);
    Button2 = MakePushButton(this, "Button2", "OK", 196, 280, 75, 26);
    Button4 = MakePushButton(this, "Button4", "Cancel", 278, 280, 75, 26);

    // Set before the handlers are connected: the initial state runs no behaviour.
    rbtDetectIP->setChecked(true);
    ebxMyIP->setEnabled(false);
}

void TForm2::SetTabOrder() {
    // The dialog's buttons first, then the panel's fields in their own order.
    QWidget* const order[] = {Button5,       Button2,       Button4,           ebxNick,      ebxMyIP,
                              Button1,       ebxHublistURL, cbxRefreshHublist, ebxShareSize, ebxThreads,
                              ebxMinUDPPort, ebxMaxUDPPort, ebxCRTimeout,      rbtDetectIP,  rbtSpecifyIP};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

void TForm2::ConnectHandlers() {
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &TForm2::Button4Click);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button5, &QPushButton::clicked, this, &TForm2::Button5Click);
    // toggled fires for user clicks and for selection from code, and only on a change.
    connect(rbtDetectIP, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) rbtDetectIPClick();
    });
    connect(rbtSpecifyIP, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) rbtSpecifyIPClick();
    });
}

void TForm2::ApplyStartupSettings() {
    if (m_settings.AutodetectIP) {
        m_settings.IP = m_detectIP(m_pendingIPMessage);
    } else {
        SelectSpecifyIP();
    }
    FillFields();
    m_settings.ShareSizeBytes = ShareSizeToBytes(m_settings.ShareSize);
}

void TForm2::OpenFromSettingsButton() {
    FillFields();
    ShowInFront(this, m_mainWindow);
    if (m_settings.AutodetectIP) {
        SelectDetectIP();
    } else {
        SelectSpecifyIP();
    }
    Button2->setFocus();
}

void TForm2::FillFields() {
    ebxNick->setText(ToQString(m_settings.Nick));
    ebxMyIP->setText(ToQString(m_settings.IP));
    ebxHublistURL->setText(ToQString(m_settings.HublistURL));
    cbxRefreshHublist->setChecked(m_settings.RefreshHublist);
    ebxShareSize->setText(ToQString(m_settings.ShareSize));
    ebxThreads->setText(DecimalText(m_settings.Threads));
    ebxMinUDPPort->setText(DecimalText(m_settings.MinUDPPort));
    ebxMaxUDPPort->setText(DecimalText(m_settings.MaxUDPPort));
    ebxCRTimeout->setText(DecimalText(m_settings.SearchTimeout));
}

void TForm2::SelectSpecifyIP() {
    rbtSpecifyIP->setChecked(true);
}

void TForm2::SelectDetectIP() {
    rbtDetectIP->setChecked(true);
}

void TForm2::ShowFirstTime() {
    ShowInFront(this, m_everShown ? nullptr : m_mainWindow);
}

void TForm2::closeEvent(QCloseEvent* event) {
    FormClose(event);
}

void TForm2::showEvent(QShowEvent* event) {
    m_everShown = true;
    QDialog::showEvent(event);
}

std::string TForm2::FirstFailedCheck() const {
    const std::string nick = Text(ebxNick);
    if (nick.empty()) return "Error: You haven't entered your Nick";
    // Both are NMDC command delimiters; a nick holding them would inject commands into the hub stream.
    if (!NickIsSafe(nick)) return kUnsafeNickError;
    if (!ParseDecimal(Text(ebxShareSize))) return "Error: 'Share size' must be a number";
    if (Text(ebxMyIP).empty()) return "Error: You haven't entered your IP address";
    const auto threads = ParseInt32(Text(ebxThreads));
    if (!threads) return "Error: 'Connection threads' must be an integer number";
    if (*threads < 1 || *threads > 100) return "Error: 'Connection threads' must be from 1 to 100";
    if (!ParseInt32(Text(ebxMinUDPPort))) return "Error: 'Min UDP Port' must be an integer number";
    if (!ParseInt32(Text(ebxMaxUDPPort))) return "Error: 'Max UDP Port' must be an integer number";
    if (!ParseInt32(Text(ebxCRTimeout))) return "Error: 'Hub search timeout' must be an integer number";
    return {};
}

void TForm2::Button2Click() {
    const std::string failure = FirstFailedCheck();
    if (!failure.empty()) {
        ShowMessage(failure, MessageIcon::Information, this);
        return;
    }
    m_settings.Nick = Text(ebxNick);
    m_settings.AutodetectIP = rbtDetectIP->isChecked();
    m_settings.IP = Text(ebxMyIP);
    m_settings.HublistURL = Text(ebxHublistURL);
    m_settings.RefreshHublist = cbxRefreshHublist->isChecked();
    m_settings.ShareSize = Text(ebxShareSize);
    m_settings.ShareSizeBytes = ShareSizeToBytes(m_settings.ShareSize);
    m_settings.Threads = *ParseInt32(Text(ebxThreads));
    m_settings.MinUDPPort = *ParseInt32(Text(ebxMinUDPPort));
    m_settings.MaxUDPPort = *ParseInt32(Text(ebxMaxUDPPort));
    m_settings.SearchTimeout = *ParseInt32(Text(ebxCRTimeout));
    // The new values stay in effect even when the file cannot be written; the dialog then stays open.
    if (const auto error = SaveSettings(m_settingsFile, m_settings)) {
        ShowMessage(*error, MessageIcon::Error, this);
        return;
    }
    hide();
}

void TForm2::Button4Click() {
    hide();
}

void TForm2::FormClose(QCloseEvent* event) {
    event->ignore();
    hide();
}

void TForm2::Button1Click() {
    OpenUrl(kFindIpUrl);
}

void TForm2::Button5Click() {
    OpenFileInDirectory(ExecutableDirectory(), kHelpFile);
}

void TForm2::rbtDetectIPClick() {
    const std::string address = m_detectIP(m_pendingIPMessage);
    if (!address.empty()) ebxMyIP->setText(ToQString(address));
    ebxMyIP->setEnabled(false);
    if (m_pendingIPMessage.empty()) return;
    const std::string message = std::exchange(m_pendingIPMessage, {});
    ShowMessage(message, MessageIcon::Information, this);
    SelectSpecifyIP();
    rbtSpecifyIP->setFocus();
}

void TForm2::rbtSpecifyIPClick() {
    ebxMyIP->setEnabled(true);
}
