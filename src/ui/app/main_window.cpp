#include "ui/app/main_window.h"

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
#include <utility>
#include <vector>

#include "engine/hublist/hublist_loader.h"
#include "engine/hublist/hublist_refresh_thread.h"
#include "engine/search/hub_history.h"
#include "engine/search/hub_queue.h"
#include "engine/search/search_criteria.h"
#include "engine/search/search_history.h"
#include "engine/settings/settings_store.h"
#include "ui/app/phrase_history.h"
#include "ui/app/result_list_controls.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/report/hub_report_window.h"
#include "ui/results/grouped_result_view.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"
#include "ui/results/result_row_actions.h"
#include "ui/support/activatable_label.h"
#include "ui/support/design_layout.h"
#include "ui/support/gui_text.h"
#include "ui/support/message_box.h"
#include "ui/support/progress_state.h"
#include "ui/support/qt_gui_thread.h"

namespace {

const char* const kDownloadingText = "Downloading hublist... please wait";
// The refresh button's captions: it cancels the refresh under way.
const char* const kRefreshCaption = "Refresh Hublist";
const char* const kCancelRefreshCaption = "Cancel";
// Answers to the last hubs searched may still be on their way when the run ends.
constexpr std::chrono::milliseconds kSilenceGrace{5000};

QComboBox* MakeList(QWidget* parent, const char* name, int left, int top, int width, const QStringList& items,
                    int selected) {
    auto* box = PlaceControl<QComboBox>(parent, name, left, top, width, 22);
    box->addItems(items);
    box->setCurrentIndex(selected);
    return box;
}

// " (3 ADC, 2 over TLS)" when the list holds hubs other than plain NMDC ones, else nothing.
std::string ProtocolBreakdown(const HubQueue& queue) {
    const int32_t adc = queue.CountOf(HubProtocol::Adc) + queue.CountOf(HubProtocol::AdcTls);
    const int32_t tls = queue.CountOf(HubProtocol::NmdcTls) + queue.CountOf(HubProtocol::AdcTls);
    if (adc == 0 && tls == 0) return {};
    std::string text = " (";
    if (adc > 0) text += std::to_string(adc) + " ADC";
    if (adc > 0 && tls > 0) text += ", ";
    if (tls > 0) text += std::to_string(tls) + " over TLS";
    return text + ")";
}

}  // namespace

MainWindow::MainWindow(AppSettings& settings, std::string& pendingIPMessage, std::string appDataDir)
    : m_settings(settings),
      m_pendingIPMessage(pendingIPMessage),
      m_appDataDir(std::move(appDataDir)),
      m_gui(std::make_unique<QtGuiThread>()),
      m_queue(std::make_unique<HubQueue>()),
      m_hubHistory(std::make_unique<HubHistory>(m_appDataDir + "/" + kHubHistoryFileName)),
      m_session(std::make_unique<SearchSession>(*m_gui, *this)) {
    m_session->SetHubHistory(m_hubHistory.get());
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Hubsift v" HUBSIFT_VERSION));
    setFont(DesignFont());
    resize(949, 655);
    // The bottom band keeps its design positions up to x 942, so a narrower window would cut its right part off;
    // 300 pixels high leave the list about ten rows.
    setMinimumSize(949, 300);
    CreateControls();
    m_upperSizeEdit->setEnabled(false);
    m_upperSizeUnitBox->setEnabled(false);
    m_session->LoadAdcIdentity(m_appDataDir);
}

MainWindow::~MainWindow() {
    Shutdown();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Shutdown();
    QWidget::closeEvent(event);
}

void MainWindow::Shutdown() {
    if (m_closing) return;
    m_closing = true;
    m_fitTimer->stop();
    // Release threads waiting for a GUI step first, so none of the joins below can wait on this thread.
    m_gui->Close();
    if (m_refresh) m_refresh->Cancel();
    m_refresh.reset();
    m_session->Shutdown();
}

void MainWindow::CreateControls() {
    const QStringList units{QStringLiteral("B"), QStringLiteral("KB"), QStringLiteral("MB"), QStringLiteral("GB")};
    m_resultList = new ResultListView(this);
    m_resultControls = new ResultListControls(this, m_resultList);
    m_resultControls->Place(QRect(8, 8, 916, 521));
    m_phraseEdit = PlaceControl<QLineEdit>(this, "phraseEdit", 8, 570, 206, 22);
    m_phraseHistory =
        new PhraseHistory(m_phraseEdit, QString::fromStdString(m_appDataDir + "/" + kSearchHistoryFileName),
                          [this](const SearchForm& form) { ApplySearchForm(form); });
    m_searchButton = PlaceControl<QPushButton>(this, "searchButton", 220, 570, 76, 24);
    m_searchButton->setText(QStringLiteral("Search"));
    m_fileTypeBox = MakeList(this, "fileTypeBox", 310, 570, 108,
                             {QStringLiteral("Any File Type"), QStringLiteral("Audio"), QStringLiteral("Compressed"),
                              QStringLiteral("Documents"), QStringLiteral("Executables"), QStringLiteral("Pictures"),
                              QStringLiteral("Video"), QStringLiteral("Folders"), QStringLiteral("TTH")},
                             0);
    m_fileTypeBox->setMaxVisibleItems(9);
    m_freeSlotsCheck = PlaceControl<QCheckBox>(this, "freeSlotsCheck", 310, 599, 139, 17);
    m_freeSlotsCheck->setText(QStringLiteral("Only with free slots"));
    m_sizeConditionBox = MakeList(this, "sizeConditionBox", 424, 570, 105,
                                  {QStringLiteral("Any File Size"), QStringLiteral("At Least"),
                                   QStringLiteral("At Most"), QStringLiteral("Between")},
                                  0);
    m_sizeEdit = PlaceControl<QLineEdit>(this, "sizeEdit", 536, 570, 50, 22);
    m_sizeEdit->setEnabled(false);
    m_sizeUnitBox = MakeList(this, "sizeUnitBox", 593, 570, 50, units, 2);
    m_sizeUnitBox->setEnabled(false);
    m_upperSizeEdit = PlaceControl<QLineEdit>(this, "upperSizeEdit", 650, 570, 50, 22);
    m_upperSizeUnitBox = MakeList(this, "upperSizeUnitBox", 708, 570, 50, units, 2);
    m_refreshButton = PlaceControl<QPushButton>(this, "refreshButton", 765, 570, 112, 24);
    m_refreshButton->setText(QString::fromLatin1(kRefreshCaption));
    m_settingsButton = PlaceControl<QPushButton>(this, "settingsButton", 884, 570, 58, 24);
    m_settingsButton->setText(QStringLiteral("Settings"));
    m_aboutButton = PlaceControl<QPushButton>(this, "aboutButton", 884, 601, 58, 24);
    m_aboutButton->setText(QStringLiteral("About"));
    m_hubCountLabel = PlaceControl<QLabel>(this, "hubCountLabel", 8, 602, 131, 14);
    auto* searchedCounter = PlaceControl<ActivatableLabel>(this, "searchedLabel", 536, 599, 66, 14);
    auto* failedCounter = PlaceControl<ActivatableLabel>(this, "failedLabel", 650, 599, 45, 14);
    m_searchedLabel = searchedCounter;
    m_failedLabel = failedCounter;
    m_hubReport = new HubReportWindow(this);
    for (const auto& [counter, shown] : {std::pair{searchedCounter, HubReportWindow::Shown::Searched},
                                         std::pair{failedCounter, HubReportWindow::Shown::Failed}}) {
        counter->setToolTip(QStringLiteral("Show the hub report"));
        connect(counter, &ActivatableLabel::Activated, m_hubReport,
                [this, which = shown] { m_hubReport->Open(which); });
    }
    m_resultCountLabel = PlaceControl<QLabel>(this, "resultCountLabel", 742, 599, 53, 14);
    SetLabelText(m_hubCountLabel, "0 hubs loaded in the list");
    SetLabelText(m_searchedLabel, "Searched: 0");
    SetLabelText(m_failedLabel, "Failed: 0");
    SetLabelText(m_resultCountLabel, "Results: 0");
    m_progressBar = PlaceControl<QProgressBar>(this, "progressBar", 8, 633, 934, 17);
    m_progressBar->setTextVisible(false);
    SetProgressMaximum(m_progressBar, 0);
    m_progressBar->setValue(0);
    SetProgressState(m_progressBar, ProgressState::Normal);
    m_fitTimer = new QTimer(this);
    m_fitTimer->setObjectName(QStringLiteral("fitTimer"));
    m_fitTimer->setInterval(500);
    m_fitTimer->start();
    m_rowFlush = new QTimer(this);
    m_rowFlush->setSingleShot(true);
    m_rowFlush->setInterval(40);
    connect(m_rowFlush, &QTimer::timeout, this, [this] { m_resultList->Model()->ShowStaged(); });
    m_silenceTimer = new QTimer(this);
    m_silenceTimer->setObjectName(QStringLiteral("silenceTimer"));
    m_silenceTimer->setSingleShot(true);
    m_silenceTimer->setInterval(kSilenceGrace);
    connect(m_silenceTimer, &QTimer::timeout, this, &MainWindow::OnSilenceTimer);

    std::vector<QWidget*> order{m_phraseEdit,       m_searchButton,  m_fileTypeBox,    m_freeSlotsCheck,
                                m_sizeConditionBox, m_sizeEdit,      m_sizeUnitBox,    m_upperSizeEdit,
                                m_upperSizeUnitBox, m_refreshButton, m_settingsButton, m_aboutButton,
                                m_resultList};
    for (QWidget* control : m_resultControls->TabOrder()) order.push_back(control);
    order.push_back(m_searchedLabel);
    order.push_back(m_failedLabel);
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    // The phrase box comes first in the tab order, so it has the focus when the window opens.
    m_phraseEdit->setFocus();
    m_phraseEdit->installEventFilter(this);
    connect(m_sizeConditionBox, &QComboBox::currentIndexChanged, this, &MainWindow::OnSizeConditionChanged);
    connect(m_freeSlotsCheck, &QCheckBox::toggled, this, &MainWindow::PassLiveFilter);
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::OnSearchClicked);
    connect(m_refreshButton, &QPushButton::clicked, this, &MainWindow::OnRefreshClicked);
    connect(m_fitTimer, &QTimer::timeout, this, &MainWindow::OnFitTimer);
    connect(m_settingsButton, &QPushButton::clicked, this, &MainWindow::OnSettingsClicked);
    connect(m_aboutButton, &QPushButton::clicked, this, &MainWindow::OnAboutClicked);
    connect(m_resultControls, &ResultListControls::CountChanged, this, &MainWindow::ShowResultCount);
    for (ResultRowActions* actions : {m_resultList->RowActions(), m_resultControls->m_groupedView->RowActions()})
        connect(actions, &ResultRowActions::SearchForTth, this, &MainWindow::OnSearchForTth);
}

void MainWindow::SetDialogs(SettingsDialog* settingsDialog, AboutDialog* aboutDialog) {
    m_settingsDialog = settingsDialog;
    m_aboutDialog = aboutDialog;
}

void MainWindow::SetStartupReady() {
    m_startupReady = true;
}

void MainWindow::SetLabelText(QLabel* label, const std::string& text) {
    label->setText(ToQString(text));
    // Labels size themselves to their text, as the designer's auto-size labels do.
    label->adjustSize();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyResizeRules();
}

void MainWindow::ApplyResizeRules() {
    const int y = height() - 76;
    auto moveTop = [](QWidget* widget, int top) { widget->move(widget->x(), top); };
    moveTop(m_phraseEdit, y);
    moveTop(m_sizeEdit, y);
    moveTop(m_upperSizeEdit, y);
    moveTop(m_searchButton, y - 1);
    moveTop(m_refreshButton, y - 1);
    moveTop(m_settingsButton, y - 1);
    moveTop(m_aboutButton, y + 27);
    for (QComboBox* box : {m_fileTypeBox, m_sizeConditionBox, m_sizeUnitBox, m_upperSizeUnitBox}) moveTop(box, y);
    moveTop(m_freeSlotsCheck, y + 29);
    for (QLabel* label : {m_hubCountLabel, m_searchedLabel, m_failedLabel, m_resultCountLabel}) moveTop(label, y + 30);
    // A window smaller than the bottom band would give negative sizes: those become zero.
    const int listWidth = std::max(0, width() - 16);
    m_resultControls->Place(QRect(m_resultList->x(), m_resultList->y(), listWidth, std::max(0, y - 20)));
    m_progressBar->setGeometry(m_progressBar->x(), y + 56, listWidth, m_progressBar->height());
    // Start-up steps may show message boxes: they run from the event loop, never inside the resize itself.
    if (m_startupReady && !m_startupStepQueued) {
        m_startupStepQueued = true;
        QMetaObject::invokeMethod(this, &MainWindow::RunStartupSteps, Qt::QueuedConnection);
    }
}

void MainWindow::RunStartupSteps() {
    m_startupStepQueued = false;
    if (m_settings.RefreshHublist && m_startupLoadPending) {
        OnRefreshClicked();
    } else if (m_startupLoadPending) {
        // Cleared first: the load's message box runs an event loop, where a resize would run this step again.
        m_startupLoadPending = false;
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

bool MainWindow::LoadHubList() {
    const HubListLoad load = ::LoadHubList(HubListPath(m_appDataDir), *m_queue);
    if (!load.read) return false;
    if (load.failed) ShowMessage("Error loading hublist!", MessageIcon::Information, this);
    ShowHubCount();
    return true;
}

void MainWindow::ShowHubCount() {
    m_hubCount = m_queue->Remaining();
    SetLabelText(m_hubCountLabel,
                 std::to_string(m_hubCount) + " hubs loaded in the list" + ProtocolBreakdown(*m_queue));
    SetProgressMaximum(m_progressBar, m_hubCount);
    m_searchButton->setEnabled(true);
}

void MainWindow::OnSizeConditionChanged() {
    const int condition = m_sizeConditionBox->currentIndex();
    const bool first = condition != kAnyFileSize;
    const bool second = condition == kBetween;
    m_sizeEdit->setEnabled(first);
    m_sizeUnitBox->setEnabled(first);
    m_upperSizeEdit->setEnabled(second);
    m_upperSizeUnitBox->setEnabled(second);
    PassLiveFilter();
}

void MainWindow::PassLiveFilter() {
    m_session->SetLiveFilter(m_sizeConditionBox->currentIndex() == kAtMost, m_freeSlotsCheck->isChecked());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_phraseEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_searchButton->isEnabled()) m_searchButton->click();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::OnRefreshClicked() {
    // During a refresh the button reads "Cancel": a server that holds the download must not hold the user.
    if (RefreshInProgress()) {
        if (m_refresh) m_refresh->Cancel();
        return;
    }
    // A run's workers take hubs from the queue that a refresh replaces: no refresh while one is in progress.
    if (RunInProgress()) return;
    SetProgressState(m_progressBar, ProgressState::Normal);
    m_searchButton->setEnabled(false);
    HublistRefreshSteps steps;
    steps.TransferBegins = [this](int64_t maximum) {
        m_progressBar->setValue(0);
        SetProgressMaximum(m_progressBar, maximum);
    };
    steps.TransferProgresses = [this](int64_t count) {
        m_progressBar->setValue(static_cast<int>(std::min<int64_t>(count, m_progressBar->maximum())));
    };
    steps.TransferEnds = [this] { m_progressBar->setValue(0); };
    steps.Completed = [this](const HublistRefreshResult& result) { RefreshCompleted(result); };
    m_refresh.reset();  // a finished earlier refresh, if its clean-up has not run yet
    ++m_refreshGeneration;
    m_refresh = std::make_unique<HublistRefreshThread>(*m_gui, m_settings.HublistURL, m_appDataDir, steps);
    m_startupRefresh = m_startupLoadPending;
    m_refreshState = RefreshState::Downloading;
    SetLabelText(m_hubCountLabel, kDownloadingText);
    m_refreshButton->setText(QString::fromLatin1(kCancelRefreshCaption));
    m_startupLoadPending = false;
}

void MainWindow::RefreshCompleted(const HublistRefreshResult& result) {
    m_refreshState = RefreshState::Idle;
    m_refreshButton->setText(QString::fromLatin1(kRefreshCaption));
    m_queue = std::make_unique<HubQueue>();
    // With no stored list the window would keep showing the download: show the (empty) count instead.
    if (!LoadHubList()) ShowHubCount();
    m_progressBar->setValue(0);
    if (result.outcome == HublistRefreshResult::Outcome::Failed) {
        ShowMessage("Error updating hublist!", MessageIcon::Information, this, result.reason);
    } else if (result.outcome == HublistRefreshResult::Outcome::Replaced && !m_startupRefresh) {
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

void MainWindow::OnSettingsClicked() {
    ShowConnectionFindings();
    m_settingsDialog->OpenFromSettingsButton();
}

void MainWindow::OnAboutClicked() {
    m_aboutDialog->OpenCentredOver(this);
}

void MainWindow::OnSearchClicked() {
    // Stop always stops: the checks are for starting a run.
    if (RunInProgress()) {
        StopRun();
        return;
    }
    if (!RunChecksPass()) return;
    StartRun();
}

bool MainWindow::RunChecksPass() {
    const char* failure = nullptr;
    if (m_settings.Nick.empty()) {
        failure = "Error: Your haven't entered your Nick. Click 'Settings'...";
    } else if (!NickIsSafe(m_settings.Nick)) {
        // A hand-edited settings file can hold what the Settings dialog refuses.
        failure = kUnsafeNickError;
    } else if (m_settings.IP.empty() && m_settings.Connection == ConnectionMode::Active) {
        failure = "Error: Your IP address is not configured properly. Click 'Settings'...";
    } else if (m_phraseEdit->text().isEmpty()) {
        failure = "Error: You haven't entered anything in the search box!";
    } else if (m_hubCount == 0) {
        failure = "Error: no hubs to search, the hub count is 0!";
    }
    if (failure != nullptr) ShowMessage(failure, MessageIcon::Information, this);
    return failure == nullptr;
}

void MainWindow::StartRun() {
    m_silenceTimer->stop();
    m_resultList->StopFillingPathColumn();
    SetProgressState(m_progressBar, ProgressState::Normal);
    m_progressBar->setTextVisible(false);
    m_resultList->Clear();
    ShowResultCount();

    m_hubReport->Clear();
    const SearchForm form = CurrentSearchForm();
    const RunStart start = m_session->Start(*m_queue, m_settings, form, FromQString(m_phraseEdit->text()));
    if (start.failure == RunStartFailure::BadCriteria) {
        ShowMessage(start.message, MessageIcon::Information, this);
        return;
    }
    m_phraseHistory->Remember(m_phraseEdit->text(), form);
    ShowRunState(RunState::Running);
    if (start.failure == RunStartFailure::PortNotBound) {
        ShowMessage("Error binding IP address or UDP port", MessageIcon::Information, this);
        ShowRunState(RunState::Idle);
        return;
    }
    SetLabelText(m_searchedLabel, "Searched: 0");
    SetLabelText(m_failedLabel, "Failed: 0");
    m_progressBar->setValue(0);
    // Otherwise OnRunStarted has said how the run gets its results.
    if (m_session->State() == RunState::Starting) ShowStatus("Asking the router to forward the result port...");
}

void MainWindow::OnRunStarted() {
    ShowStatus(m_session->RunPlan().Summary);
    ShowConnectionFindings();
}

void MainWindow::StopRun() {
    m_silenceTimer->stop();
    m_session->Stop();
    SetProgressState(m_progressBar, ProgressState::Error);
    SetProgressState(m_progressBar, ProgressState::Paused);
    ShowRunState(RunState::Idle);
}

void MainWindow::ShowRunState(RunState state) {
    const bool running = state != RunState::Idle;
    m_searchButton->setText(running ? QStringLiteral("Stop") : QStringLiteral("Search"));
    m_refreshButton->setEnabled(!running);
}

void MainWindow::OnProgress(int32_t searched, int32_t failed) {
    SetLabelText(m_searchedLabel, "Searched: " + std::to_string(searched));
    SetLabelText(m_failedLabel, "Failed: " + std::to_string(failed));
    // One update may stand for several hubs counted meanwhile: the bar shows the count, not a step per call.
    m_progressBar->setValue(std::min(searched + failed, m_progressBar->maximum()));
}

void MainWindow::OnHubOutcomes(const std::vector<HubOutcome>& outcomes) {
    m_hubReport->AddOutcomes(outcomes);
}

void MainWindow::OnRunEnded() {
    ShowRunState(RunState::Idle);
    m_silenceTimer->start();
}

void MainWindow::OnResultLimitReached() {
    ShowStatus("Result limit reached \u2014 refine the search");
}

void MainWindow::SetSilenceGrace(std::chrono::milliseconds grace) {
    m_silenceTimer->setInterval(grace);
}

void MainWindow::OnSilenceTimer() {
    if (const std::optional<std::string> hint = m_session->SilentPortHintText()) ShowStatus(*hint);
}

void MainWindow::OnConnectionNote(const std::string& note) {
    ShowStatus(note);
    ShowConnectionFindings();
}

void MainWindow::ShowConnectionFindings() {
    if (m_settingsDialog != nullptr) m_settingsDialog->ShowConnectionStatus(m_session->ConnectionFindings());
}

void MainWindow::ShowStatus(const std::string& text) {
    // The bar spans the window's width; the tool tip holds a line too long for it.
    m_progressBar->setFormat(ToQString(text));
    m_progressBar->setToolTip(ToQString(text));
    m_progressBar->setTextVisible(true);
}

QString MainWindow::StatusText() const {
    return m_progressBar->isTextVisible() ? m_progressBar->format() : QString();
}

void MainWindow::OnFitTimer() {
    if (m_pathFit != PathFit::RowsAdded) return;
    if (m_resultList->FitPathColumn()) m_pathFit = PathFit::Fitted;
}

int32_t MainWindow::ResultCount() const {
    return m_resultList->Model()->StoredRowCount();
}

void MainWindow::OnResult(const SearchResult& result) {
    ResultModel& model = *m_resultList->Model();
    model.AppendStaged(result);
    if (m_pathFit != PathFit::NoResultYet) {
        m_pathFit = PathFit::RowsAdded;
        return;
    }
    // The very first result is fitted at once, so it must be shown at once too.
    m_pathFit = PathFit::RowsAdded;
    model.ShowStaged();
    OnFitTimer();
}

void MainWindow::OnResultsReported() {
    if (!m_rowFlush->isActive()) m_rowFlush->start();
    ShowResultCount();
}

void MainWindow::ShowResultCount() {
    m_resultCountLabel->setText(m_resultControls->CountText(ResultCount()));
    m_resultCountLabel->adjustSize();
}

SearchForm MainWindow::CurrentSearchForm() const {
    return {m_sizeConditionBox->currentIndex(),   FromQString(m_sizeEdit->text()),    m_sizeUnitBox->currentIndex(),
            FromQString(m_upperSizeEdit->text()), m_upperSizeUnitBox->currentIndex(), m_fileTypeBox->currentIndex()};
}

void MainWindow::ApplySearchForm(const SearchForm& form) {
    m_fileTypeBox->setCurrentIndex(form.fileType);
    m_sizeConditionBox->setCurrentIndex(form.sizeCondition);
    m_sizeEdit->setText(ToQString(form.firstValue));
    m_sizeUnitBox->setCurrentIndex(form.firstUnit);
    m_upperSizeEdit->setText(ToQString(form.secondValue));
    m_upperSizeUnitBox->setCurrentIndex(form.secondUnit);
}

void MainWindow::OnSearchForTth(const QString& tth) {
    constexpr int kTthFileType = 8;
    if (RunInProgress()) StopRun();
    m_phraseEdit->setText(tth);
    SearchForm form;
    form.fileType = kTthFileType;
    ApplySearchForm(form);
    OnSearchClicked();
}
