#include "ui/dialogs/settings_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <iterator>
#include <limits>
#include <string>
#include <utility>

#include "engine/settings/ip_detection.h"
#include "engine/settings/settings_store.h"
#include "engine/text/number_format.h"
#include "ui/support/design_layout.h"
#include "ui/support/gui_text.h"
#include "ui/support/message_box.h"
#include "ui/support/shell.h"
#include "ui/support/window_placement.h"

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

// A line edit cuts its text at 32,767 characters unless told otherwise; a setting must reach the file whole.
QLineEdit* MakeEdit(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* edit = PlaceControl<QLineEdit>(parent, name, left, top, width, height);
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

std::string Text(const QLineEdit* edit) {
    return FromQString(edit->text());
}

QString DecimalText(int32_t value) {
    return QString::number(value);
}

}  // namespace

SettingsDialog::SettingsDialog(AppSettings& settings, std::string& pendingIPMessage, std::string settingsFile,
                               QWidget* mainWindow, IpDetector detectIP)
    : QDialog(mainWindow),
      m_settings(settings),
      m_pendingIPMessage(pendingIPMessage),
      m_settingsFile(std::move(settingsFile)),
      m_mainWindow(mainWindow),
      m_detectIP(detectIP ? std::move(detectIP) : IpDetector(DetectLocalIP)) {
    setObjectName(QStringLiteral("settingsDialog"));
    setWindowTitle(QStringLiteral("Settings"));
    setFont(DesignFont());
    UseFixedDialogFrame(this, 358, 385);
    CreateControls();
    SetTabOrder();
    ConnectHandlers();
}

void SettingsDialog::CreateControls() {
    m_panel = PlaceControl<QFrame>(this, "panel", 5, 9, 348, 264);
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QWidget* p = m_panel;
    m_nickLabel = MakeLabel(p, "nickLabel", "Nick:", 48, 14);
    m_nickEdit = MakeEdit(p, "nickEdit", 80, 10, 118, 22);
    m_nickRequiredLabel = MakeLabel(p, "nickRequiredLabel", "(required)", 202, 14);
    m_shareSizeLabel = MakeLabel(p, "shareSizeLabel", "Share size:", 16, 43);
    m_shareSizeEdit = MakeEdit(p, "shareSizeEdit", 80, 39, 49, 22);
    m_shareUnitLabel = MakeLabel(p, "shareUnitLabel", "GB", 134, 43);
    m_hublistUrlLabel = MakeLabel(p, "hublistUrlLabel", "Hublist URL:", 9, 72);
    m_hublistUrlEdit = MakeEdit(p, "hublistUrlEdit", 80, 68, 257, 22);
    m_refreshOnStartupCheck =
        MakeButton<QCheckBox>(p, "refreshOnStartupCheck", "Refresh hublist on startup", 80, 97, 208, 17);
    m_detectIPRadio = MakeButton<QRadioButton>(p, "detectIPRadio", "Autodetect my IP address", 9, 119, 240, 17);
    m_specifyIPRadio = MakeButton<QRadioButton>(p, "specifyIPRadio", "Specify IP:", 9, 147, 81, 17);
    m_ipEdit = MakeEdit(p, "ipEdit", 93, 144, 105, 22);
    m_findIPButton = MakeButton<QPushButton>(p, "findIPButton", "Find IP...", 205, 143, 73, 24);
    m_threadsLabel = MakeLabel(p, "threadsLabel", "Connection threads:", 9, 177);
    m_threadsEdit = MakeEdit(p, "threadsEdit", 126, 173, 33, 22);
    m_threadsRangeLabel =
        MakeLabel(p, "threadsRangeLabel", ("(1-" + std::to_string(kMaxThreads) + ")").c_str(), 165, 177);
    m_portRangeLabel = MakeLabel(p, "portRangeLabel", "UDP port range:", 9, 206);
    m_minPortEdit = MakeEdit(p, "minPortEdit", 104, 202, 49, 22);
    m_portRangeToLabel = MakeLabel(p, "portRangeToLabel", "to", 159, 206);
    m_maxPortEdit = MakeEdit(p, "maxPortEdit", 177, 202, 50, 22);
    m_timeoutLabel = MakeLabel(p, "timeoutLabel", "Hub search timeout:", 9, 236);
    m_timeoutEdit = MakeEdit(p, "timeoutEdit", 126, 232, 27, 22);
    m_timeoutUnitLabel = MakeLabel(p, "timeoutUnitLabel", "s", 157, 236);
    m_skipRecentCheck = MakeButton<QCheckBox>(p, "skipRecentCheck", "Skip hubs just searched", 182, 235, 160, 17);
    m_skipRecentCheck->setToolTip(
        QStringLiteral("Leave out hubs an earlier search visited less than a minute ago: many refuse a second "
                       "search so soon"));
    CreateConnectionGroup();
    m_helpButton = MakeButton<QPushButton>(this, "helpButton", "Help", 5, 352, 75, 26);
    m_okButton = MakeButton<QPushButton>(this, "okButton", "OK", 196, 352, 75, 26);
    m_cancelButton = MakeButton<QPushButton>(this, "cancelButton", "Cancel", 278, 352, 75, 26);
    // Enter presses the focused button, as in any dialog, and OK when the focus is in a field.
    m_okButton->setDefault(true);

    // Set before the handlers are connected: the initial state runs no behaviour.
    m_detectIPRadio->setChecked(true);
    m_ipEdit->setEnabled(false);
}

void SettingsDialog::CreateConnectionGroup() {
    auto* group = PlaceControl<QGroupBox>(this, "connectionGroup", 5, 276, 348, 70);
    group->setTitle(QStringLiteral("How results reach this computer"));
    m_automaticRadio = MakeButton<QRadioButton>(group, "automaticRadio", "Automatic", 9, 21, 90, 17);
    m_activeRadio = MakeButton<QRadioButton>(group, "activeRadio", "Active", 112, 21, 70, 17);
    m_passiveRadio = MakeButton<QRadioButton>(group, "passiveRadio", "Passive", 195, 21, 80, 17);
    m_connectionStatusLabel = MakeLabel(group, "connectionStatusLabel", "", 9, 45);
    ShowConnectionStatus("Automatic has not looked for a router yet");
}

void SettingsDialog::ShowConnectionStatus(const std::string& line) {
    m_connectionStatusLabel->setText(ToQString("Last found: " + line));
    m_connectionStatusLabel->adjustSize();
}

QRadioButton* SettingsDialog::ConnectionRadio(ConnectionMode mode) const {
    switch (mode) {
        case ConnectionMode::Active:
            return m_activeRadio;
        case ConnectionMode::Passive:
            return m_passiveRadio;
        case ConnectionMode::Automatic:
            break;
    }
    return m_automaticRadio;
}

ConnectionMode SettingsDialog::ChosenConnectionMode() const {
    if (m_activeRadio->isChecked()) return ConnectionMode::Active;
    if (m_passiveRadio->isChecked()) return ConnectionMode::Passive;
    return ConnectionMode::Automatic;
}

void SettingsDialog::SetTabOrder() {
    // The dialog's buttons first, then the panel's fields in their own order.
    QWidget* const order[] = {m_helpButton,     m_okButton,        m_cancelButton,   m_nickEdit,
                              m_ipEdit,         m_findIPButton,    m_hublistUrlEdit, m_refreshOnStartupCheck,
                              m_shareSizeEdit,  m_threadsEdit,     m_minPortEdit,    m_maxPortEdit,
                              m_timeoutEdit,    m_skipRecentCheck, m_detectIPRadio,  m_specifyIPRadio,
                              m_automaticRadio, m_activeRadio,     m_passiveRadio};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

void SettingsDialog::ConnectHandlers() {
    connect(m_okButton, &QPushButton::clicked, this, &SettingsDialog::OnOkClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &SettingsDialog::OnCancelClicked);
    connect(m_findIPButton, &QPushButton::clicked, this, &SettingsDialog::OnFindIPClicked);
    connect(m_helpButton, &QPushButton::clicked, this, &SettingsDialog::OnHelpClicked);
    // toggled fires for user clicks and for selection from code, and only on a change.
    connect(m_detectIPRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) OnDetectIPChosen();
    });
    connect(m_specifyIPRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) OnSpecifyIPChosen();
    });
}

void SettingsDialog::ApplyStartupSettings() {
    if (m_settings.AutodetectIP) {
        // Only Active needs an address of its own: Automatic and Passive find their way without one.
        std::string reason;
        m_settings.IP = m_detectIP(reason);
        if (m_settings.Connection == ConnectionMode::Active && !reason.empty()) m_pendingIPMessage = reason;
    } else {
        SelectSpecifyIP();
    }
    FillFields();
    m_settings.ShareSizeBytes = ShareSizeToBytes(m_settings.ShareSize);
}

void SettingsDialog::OpenFromSettingsButton() {
    FillFields();
    ShowInFront(this, m_mainWindow);
    if (m_settings.AutodetectIP) {
        SelectDetectIP();
    } else {
        SelectSpecifyIP();
    }
    // The focus may arrive before the window is active, so OK is made the button Enter presses here too.
    m_okButton->setDefault(true);
    m_okButton->setFocus();
}

void SettingsDialog::FillFields() {
    m_nickEdit->setText(ToQString(m_settings.Nick));
    m_ipEdit->setText(ToQString(m_settings.IP));
    m_hublistUrlEdit->setText(ToQString(m_settings.HublistURL));
    m_refreshOnStartupCheck->setChecked(m_settings.RefreshHublist);
    m_skipRecentCheck->setChecked(m_settings.SkipRecentHubs);
    m_shareSizeEdit->setText(ToQString(m_settings.ShareSize));
    m_threadsEdit->setText(DecimalText(m_settings.Threads));
    m_minPortEdit->setText(DecimalText(m_settings.MinUDPPort));
    m_maxPortEdit->setText(DecimalText(m_settings.MaxUDPPort));
    m_timeoutEdit->setText(DecimalText(m_settings.SearchTimeout));
    ConnectionRadio(m_settings.Connection)->setChecked(true);
}

void SettingsDialog::SelectSpecifyIP() {
    m_specifyIPRadio->setChecked(true);
}

void SettingsDialog::SelectDetectIP() {
    m_detectIPRadio->setChecked(true);
}

void SettingsDialog::ShowFirstTime() {
    ShowInFront(this, m_everShown ? nullptr : m_mainWindow);
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    OnClose(event);
}

void SettingsDialog::showEvent(QShowEvent* event) {
    m_everShown = true;
    QDialog::showEvent(event);
}

std::string SettingsDialog::FirstFailedCheck() const {
    const std::string nick = Text(m_nickEdit);
    if (nick.empty()) return "Error: You haven't entered your Nick";
    // Both are NMDC command delimiters; a nick holding them would inject commands into the hub stream.
    if (!NickIsSafe(nick)) return kUnsafeNickError;
    if (!SettingsFileCanHold(nick)) return NickOutsideCodePageError();
    if (!ParseDecimal(Text(m_shareSizeEdit))) return "Error: 'Share size' must be a number";
    if (Text(m_ipEdit).empty()) return "Error: You haven't entered your IP address";
    const auto threads = ParseInt32(Text(m_threadsEdit));
    if (!threads) return "Error: 'Connection threads' must be an integer number";
    if (*threads < 1 || *threads > kMaxThreads)
        return "Error: 'Connection threads' must be from 1 to " + std::to_string(kMaxThreads);
    if (!ParseInt32(Text(m_minPortEdit))) return "Error: 'Min UDP Port' must be an integer number";
    if (!ParseInt32(Text(m_maxPortEdit))) return "Error: 'Max UDP Port' must be an integer number";
    if (!ParseInt32(Text(m_timeoutEdit))) return "Error: 'Hub search timeout' must be an integer number";
    return {};
}

void SettingsDialog::OnOkClicked() {
    const std::string failure = FirstFailedCheck();
    if (!failure.empty()) {
        ShowMessage(failure, MessageIcon::Information, this);
        return;
    }
    m_settings.Nick = Text(m_nickEdit);
    m_settings.AutodetectIP = m_detectIPRadio->isChecked();
    m_settings.IP = Text(m_ipEdit);
    m_settings.HublistURL = Text(m_hublistUrlEdit);
    m_settings.RefreshHublist = m_refreshOnStartupCheck->isChecked();
    m_settings.SkipRecentHubs = m_skipRecentCheck->isChecked();
    m_settings.ShareSize = Text(m_shareSizeEdit);
    m_settings.ShareSizeBytes = ShareSizeToBytes(m_settings.ShareSize);
    m_settings.Threads = *ParseInt32(Text(m_threadsEdit));
    m_settings.MinUDPPort = *ParseInt32(Text(m_minPortEdit));
    m_settings.MaxUDPPort = *ParseInt32(Text(m_maxPortEdit));
    m_settings.SearchTimeout = *ParseInt32(Text(m_timeoutEdit));
    m_settings.Connection = ChosenConnectionMode();
    // The new values stay in effect even when the file cannot be written; the dialog then stays open.
    if (const auto error = SaveSettings(m_settingsFile, m_settings)) {
        ShowMessage(*error, MessageIcon::Error, this);
        return;
    }
    hide();
}

void SettingsDialog::OnCancelClicked() {
    hide();
}

void SettingsDialog::OnClose(QCloseEvent* event) {
    event->ignore();
    hide();
}

void SettingsDialog::OnFindIPClicked() {
    OpenUrl(kFindIpUrl, this);
}

void SettingsDialog::OnHelpClicked() {
    OpenFileInDirectory(DataFileDirectory(ExecutableDirectory(), kHelpFile), kHelpFile, this);
}

void SettingsDialog::OnDetectIPChosen() {
    const std::string address = m_detectIP(m_pendingIPMessage);
    if (!address.empty()) m_ipEdit->setText(ToQString(address));
    m_ipEdit->setEnabled(false);
    if (m_pendingIPMessage.empty()) return;
    const std::string message = std::exchange(m_pendingIPMessage, {});
    ShowMessage(message, MessageIcon::Information, this);
    SelectSpecifyIP();
    m_specifyIPRadio->setFocus();
}

void SettingsDialog::OnSpecifyIPChosen() {
    m_ipEdit->setEnabled(true);
}
