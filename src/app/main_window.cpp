#include "app/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

#include "about/about_dialog.h"
#include "hublist/hublist_loader.h"
#include "hublist/hublist_refresh_thread.h"
#include "platform/design_layout.h"
#include "platform/gui_text.h"
#include "platform/message_box.h"
#include "platform/progress_state.h"
#include "platform/qt_gui_thread.h"
#include "platform/udp_listener.h"
#include "results/result_list_view.h"
#include "results/result_model.h"
#include "results/sr_decoder.h"
#include "search/hub_queue.h"
#include "search/search_criteria.h"
#include "search/search_runner.h"
#include "search/udp_port.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"

namespace {

const char* const kDownloadingText = "Downloading hublist... please wait";

QComboBox* MakeList(QWidget* parent, const char* name, int left, int top, int width, const QStringList& items,
                    int selected) {
    auto* box = PlaceControl<QComboBox>(parent, name, left, top, width, 22);
    box->addItems(items);
    box->setCurrentIndex(selected);
    return box;
}

}  // namespace

TForm1::TForm1(AppSettings& settings, std::string& pendingIPMessage, std::string appDataDir)
    : m_settings(settings),
      m_pendingIPMessage(pendingIPMessage),
      m_appDataDir(std::move(appDataDir)),
      m_gui(std::make_unique<QtGuiThread>()),
      m_queue(std::make_unique<TMyQueue>()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Hubsift v1.2"));
    setFont(DesignFont());
    resize(949, 655);
    CreateControls();
    IdUDPServer1 = std::make_unique<UdpListener>(
        *m_gui, [this](const std::vector<std::string_view>& datagrams) { IdUDPServer1UDPRead(datagrams); });
    m_runner = std::make_unique<SearchRunner>(*m_gui, [this] { UpdateRunProgress(); });
    Edit3->setEnabled(false);
    ComboBox4->setEnabled(false);
}

TForm1::~TForm1() {
    Shutdown();
}

void TForm1::closeEvent(QCloseEvent* event) {
    Shutdown();
    QWidget::closeEvent(event);
}

void TForm1::Shutdown() {
    if (m_closing) return;
    m_closing = true;
    Timer1->stop();
    // Release threads waiting for a GUI step first, so none of the joins below can wait on this thread.
    m_gui->Close();
    if (m_refresh) m_refresh->Cancel();
    m_refresh.reset();
    IdUDPServer1->Deactivate();
    m_runner->Shutdown();
}

void TForm1::SetExchangeTimings(const HubExchangeTimings& timings) {
    m_runner = std::make_unique<SearchRunner>(
        *m_gui, [this] { UpdateRunProgress(); }, timings);
}

void TForm1::CreateControls() {
    const QStringList units{QStringLiteral("B"), QStringLiteral("KB"), QStringLiteral("MB"), QStringLiteral("GB")};
    VST1 = new ResultListView(this);
    VST1->setGeometry(8, 8, 916, 521);
    Edit1 = PlaceControl<QLineEdit>(this, "Edit1", 8, 570, 206, 22);
    Button1 = PlaceControl<QPushButton>(this, "Button1", 220, 570, 76, 24);
    Button1->setText(QStringLiteral("Search"));
    ComboBox1 = MakeList(this, "ComboBox1", 310, 570, 108,
                         {QStringLiteral("Any File Type"), QStringLiteral("Audio"), QStringLiteral("Compressed"),
                          QStringLiteral("Documents"), QStringLiteral("Executables"), QStringLiteral("Pictures"),
                          QStringLiteral("Video"), QStringLiteral("Folders"), QStringLiteral("TTH")},
                         0);
    ComboBox1->setMaxVisibleItems(9);
    cbxOnlyFreeSlots = PlaceControl<QCheckBox>(this, "cbxOnlyFreeSlots", 310, 599, 139, 17);
    cbxOnlyFreeSlots->setText(QStringLiteral("Only with free slots"));
    ComboBox2 = MakeList(this, "ComboBox2", 424, 570, 105,
                         {QStringLiteral("Any File Size"), QStringLiteral("At Least"), QStringLiteral("At Most"),
                          QStringLiteral("Between")},
                         0);
    Edit2 = PlaceControl<QLineEdit>(this, "Edit2", 536, 570, 50, 22);
    Edit2->setEnabled(false);
    ComboBox3 = MakeList(this, "ComboBox3", 593, 570, 50, units, 2);
    ComboBox3->setEnabled(false);
    Edit3 = PlaceControl<QLineEdit>(this, "Edit3", 650, 570, 50, 22);
    ComboBox4 = MakeList(this, "ComboBox4", 708, 570, 50, units, 2);
    Button2 = PlaceControl<QPushButton>(this, "Button2", 765, 570, 112, 24);
    Button2->setText(QStringLiteral("Refresh Hublist"));
    Button3 = PlaceControl<QPushButton>(this, "Button3", 884, 570, 58, 24);
    Button3->setText(QStringLiteral("Settings"));
    Button4 = PlaceControl<QPushButton>(this, "Button4", 884, 601, 58, 24);
    Button4->setText(QStringLiteral("About"));
    Label1 = PlaceControl<QLabel>(this, "Label1", 8, 602, 131, 14);
    Label2 = PlaceControl<QLabel>(this, "Label2", 536, 599, 66, 14);
    Label3 = PlaceControl<QLabel>(this, "Label3", 650, 599, 45, 14);
    Label4 = PlaceControl<QLabel>(this, "Label4", 742, 599, 53, 14);
    SetLabelText(Label1, "0 hubs loaded in the list");
    SetLabelText(Label2, "Searched: 0");
    SetLabelText(Label3, "Failed: 0");
    SetLabelText(Label4, "Results: 0");
    ProgressBar1 = PlaceControl<QProgressBar>(this, "ProgressBar1", 8, 633, 934, 17);
    ProgressBar1->setTextVisible(false);
    SetProgressMaximum(ProgressBar1, 0);
    ProgressBar1->setValue(0);
    SetProgressState(ProgressBar1, ProgressState::Normal);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    Timer1->start();
    m_rowFlush = new QTimer(this);
    m_rowFlush->setSingleShot(true);
    m_rowFlush->setInterval(40);
    connect(m_rowFlush, &QTimer::timeout, this, [this] { VST1->Model()->ShowStaged(); });

    QWidget* order[] = {Edit1, Button1,   ComboBox1, cbxOnlyFreeSlots, ComboBox2, Edit2, ComboBox3,
                        Edit3, ComboBox4, Button2,   Button3,          Button4,   VST1};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    // The phrase box comes first in the tab order, so it has the focus when the window opens.
    Edit1->setFocus();
    Edit1->installEventFilter(this);
    connect(ComboBox2, &QComboBox::currentIndexChanged, this, &TForm1::ComboBox2Change);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
}

void TForm1::SetDialogs(TForm2* settingsDialog, TForm3* aboutDialog) {
    m_settingsDialog = settingsDialog;
    m_aboutDialog = aboutDialog;
}

void TForm1::SetStartupReady() {
    m_startupReady = true;
}

void TForm1::SetLabelText(QLabel* label, const std::string& text) {
    label->setText(ToQString(text));
    // Labels size themselves to their text, as the designer's auto-size labels do.
    label->adjustSize();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize() {
    const int y = height() - 76;
    auto moveTop = [](QWidget* widget, int top) { widget->move(widget->x(), top); };
    moveTop(Edit1, y);
    moveTop(Edit2, y);
    moveTop(Edit3, y);
    moveTop(Button1, y - 1);
    moveTop(Button2, y - 1);
    moveTop(Button3, y - 1);
    moveTop(Button4, y + 27);
    for (QComboBox* box : {ComboBox1, ComboBox2, ComboBox3, ComboBox4}) moveTop(box, y);
    moveTop(cbxOnlyFreeSlots, y + 29);
    for (QLabel* label : {Label1, Label2, Label3, Label4}) moveTop(label, y + 30);
    // A window smaller than the bottom band would give negative sizes: those become zero.
    const int listWidth = std::max(0, width() - 16);
    VST1->resize(listWidth, std::max(0, y - 20));
    ProgressBar1->setGeometry(ProgressBar1->x(), y + 56, listWidth, ProgressBar1->height());
    // Start-up steps may show message boxes: they run from the event loop, never inside the resize itself.
    if (m_startupReady && !m_startupStepQueued) {
        m_startupStepQueued = true;
        QMetaObject::invokeMethod(this, &TForm1::RunStartupSteps, Qt::QueuedConnection);
    }
}

void TForm1::RunStartupSteps() {
    m_startupStepQueued = false;
    if (m_settings.RefreshHublist && StartupLoadPending) {
        Button2Click();
    } else if (StartupLoadPending) {
        // Cleared first: the load's message box runs an event loop, where a resize would run this step again.
        StartupLoadPending = false;
        LoadHubList();
    }
    if (!m_pendingIPMessage.empty()) {
        const std::string message = m_pendingIPMessage;
        m_pendingIPMessage.clear();
        ShowMessage(message, MessageIcon::Information, this);
        m_settingsDialog->SelectSpecifyIP();
        m_settingsDialog->ShowFirstTime();
    }
}

bool TForm1::LoadHubList() {
    const HubListLoad load = ::LoadHubList(HubListPath(m_appDataDir), *m_queue);
    if (!load.read) return false;
    if (load.failed) ShowMessage("Error loading hublist!", MessageIcon::Information, this);
    ShowHubCount();
    return true;
}

void TForm1::ShowHubCount() {
    m_hubCount = m_queue->Remaining();
    SetLabelText(Label1, std::to_string(m_hubCount) + " hubs loaded in the list");
    SetProgressMaximum(ProgressBar1, m_hubCount);
    Button1->setEnabled(true);
}

void TForm1::ComboBox2Change() {
    const int condition = ComboBox2->currentIndex();
    const bool first = condition != 0;
    const bool second = condition == 3;
    Edit2->setEnabled(first);
    ComboBox3->setEnabled(first);
    Edit3->setEnabled(second);
    ComboBox4->setEnabled(second);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && Button1->isEnabled()) Button1->click();
    }
    return QWidget::eventFilter(watched, event);
}

bool TForm1::RefreshInProgress() const {
    return Label1->text() == QLatin1String(kDownloadingText);
}

void TForm1::Button2Click() {
    // A run's workers take hubs from the queue that a refresh replaces: no refresh while one is in progress.
    if (RefreshInProgress() || RunInProgress()) return;
    SetProgressState(ProgressBar1, ProgressState::Normal);
    Button1->setEnabled(false);
    HublistRefreshSteps steps;
    steps.TransferBegins = [this](int64_t maximum) {
        ProgressBar1->setValue(0);
        SetProgressMaximum(ProgressBar1, maximum);
    };
    steps.TransferProgresses = [this](int64_t count) {
        ProgressBar1->setValue(static_cast<int>(std::min<int64_t>(count, ProgressBar1->maximum())));
    };
    steps.TransferEnds = [this] { ProgressBar1->setValue(0); };
    steps.Completed = [this](bool refreshFailed) { RefreshCompleted(refreshFailed); };
    m_refresh.reset();  // a finished earlier refresh, if its clean-up has not run yet
    ++m_refreshGeneration;
    m_refresh = std::make_unique<TMyHublistRefreshThread>(*m_gui, m_settings.HublistURL, m_appDataDir, steps);
    StartupRefresh = StartupLoadPending;
    SetLabelText(Label1, kDownloadingText);
    StartupLoadPending = false;
}

void TForm1::RefreshCompleted(bool refreshFailed) {
    m_queue = std::make_unique<TMyQueue>();
    // With no stored list the window would keep showing the download: show the (empty) count instead.
    if (!LoadHubList()) ShowHubCount();
    ProgressBar1->setValue(0);
    if (refreshFailed) {
        ShowMessage("Error updating hublist!", MessageIcon::Information, this);
    } else if (!StartupRefresh) {
        ShowMessage("Hublist updated. Total hubs: " + std::to_string(m_hubCount), MessageIcon::Information, this);
    }
    // The worker is still returning from this step: it is joined from the event loop, not from here.
    // A generation, not the address: a new refresh may be allocated where the finished one was.
    QMetaObject::invokeMethod(
        this,
        [this, finished = m_refreshGeneration] {
            if (m_refreshGeneration == finished) m_refresh.reset();
        },
        Qt::QueuedConnection);
}

void TForm1::Button3Click() {
    m_settingsDialog->OpenFromSettingsButton();
}

void TForm1::Button4Click() {
    m_aboutDialog->OpenCentredOver(this);
}

bool TForm1::RunInProgress() const {
    return Button1->text() == QLatin1String("Stop");
}

void TForm1::Button1Click() {
    // Stop always stops: the checks are for starting a run.
    if (RunInProgress()) {
        StopRun();
        return;
    }
    if (!RunChecksPass()) return;
    m_runner->ResizePool(m_settings.Threads);
    StartRun();
}

bool TForm1::RunChecksPass() {
    const char* failure = nullptr;
    if (m_settings.Nick.empty()) {
        failure = "Error: Your haven't entered your Nick. Click 'Settings'...";
    } else if (!NickIsSafe(m_settings.Nick)) {
        // A hand-edited settings file can hold what the Settings dialog refuses.
        failure = kUnsafeNickError;
    } else if (m_settings.IP.empty()) {
        failure = "Error: Your IP address is not configured properly. Click 'Settings'...";
    } else if (Edit1->text().isEmpty()) {
        failure = "Error: You haven't entered anything in the search box!";
    } else if (m_hubCount == 0) {
        failure = "Error: no hubs to search, the hub count is 0!";
    }
    if (failure != nullptr) ShowMessage(failure, MessageIcon::Information, this);
    return failure == nullptr;
}

void TForm1::StartRun() {
    VST1->StopFillingPathColumn();
    SetProgressState(ProgressBar1, ProgressState::Normal);
    IdUDPServer1->Deactivate();
    m_runner->Stop();
    SetLabelText(Label4, "Results: 0");
    VST1->Clear();
    m_resultCount = 0;

    const SearchCriteria criteria =
        BuildSearchCriteria({ComboBox2->currentIndex(), FromQString(Edit2->text()), ComboBox3->currentIndex(),
                             FromQString(Edit3->text()), ComboBox4->currentIndex(), ComboBox1->currentIndex()});
    SizeFilterLow = criteria.SizeFilterLow;
    SizeFilterHigh = criteria.SizeFilterHigh;
    if (criteria.error) {
        ShowMessage(*criteria.error, MessageIcon::Information, this);
        return;
    }
    Button1->setText(QStringLiteral("Stop"));
    Button2->setEnabled(false);

    m_currentUdpPort = NextUdpPort(m_currentUdpPort, m_settings.MinUDPPort, m_settings.MaxUDPPort);
    if (!BindRunPort(*IdUDPServer1, m_settings.IP, m_currentUdpPort, m_settings.MinUDPPort, m_settings.MaxUDPPort)) {
        ShowMessage("Error binding IP address or UDP port", MessageIcon::Information, this);
        EndRun();
        return;
    }

    SetLabelText(Label2, "Searched: 0");
    SetLabelText(Label3, "Failed: 0");
    ProgressBar1->setValue(0);
    const RunValues values{m_settings.Nick,          m_settings.IP,         m_settings.ShareSizeBytes,
                           m_settings.SearchTimeout, criteria.SearchPrefix, SearchPattern(FromQString(Edit1->text())),
                           m_currentUdpPort};
    m_runner->Start(*m_queue, values);
}

void TForm1::StopRun() {
    IdUDPServer1->Deactivate();
    SetProgressState(ProgressBar1, ProgressState::Error);
    SetProgressState(ProgressBar1, ProgressState::Paused);
    m_runner->Stop();
    EndRun();
}

void TForm1::EndRun() {
    Button1->setText(QStringLiteral("Search"));
    Button2->setEnabled(true);
}

void TForm1::UpdateRunProgress() {
    SetLabelText(Label2, "Searched: " + std::to_string(m_runner->SearchedCount()));
    SetLabelText(Label3, "Failed: " + std::to_string(m_runner->FailedCount()));
    // One update may stand for several hubs counted meanwhile: the bar shows the count, not a step per call.
    const int counted = m_runner->SearchedCount() + m_runner->FailedCount();
    ProgressBar1->setValue(std::min(counted, ProgressBar1->maximum()));
    if (RunInProgress() && m_runner->IsComplete(m_queue->Count())) EndRun();
}

void TForm1::Timer1Timer() {
    if (m_timer1Tag != 1) return;
    if (VST1->FitPathColumn()) m_timer1Tag = 0;
}

void TForm1::IdUDPServer1UDPRead(const std::vector<std::string_view>& datagrams) {
    const ResultFilter filter{SizeFilterLow, SizeFilterHigh, ComboBox2->currentIndex() == 2,
                              cbxOnlyFreeSlots->isChecked()};
    const int32_t before = m_resultCount;
    for (std::string_view datagram : datagrams) {
        DecodeDatagram(datagram, filter, [this](const SearchResult& result) {
            if (m_closing) return false;
            VST1->Model()->AppendStaged(result);
            ++m_resultCount;
            if (m_timer1Tag == -1) {
                // The very first result is fitted at once, so it must be shown at once too.
                m_timer1Tag = 1;
                VST1->Model()->ShowStaged();
                Timer1Timer();
            } else {
                m_timer1Tag = 1;
            }
            return true;
        });
    }
    if (m_resultCount == before) return;
    if (!m_rowFlush->isActive()) m_rowFlush->start();
    SetLabelText(Label4, "Results: " + std::to_string(m_resultCount));
}
