#pragma once

#include <QWidget>

#include <chrono>
#include <memory>
#include <string>

#include "engine/search/run_values.h"
#include "engine/search/search_session.h"
#include "engine/settings/app_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class ResultListView;
class SettingsDialog;
class AboutDialog;
class QtGuiThread;
class HublistRefreshThread;
struct HublistRefreshResult;
class HubQueue;
class PhraseHistory;
class ResultListControls;
class HubReportWindow;
class HubHistory;
struct SearchForm;

// The main window: the result list on top, the search form, buttons, status labels and progress bar below. It shows
// what its search session reports and drives it from the form. Everything here runs on the GUI thread.
class MainWindow : public QWidget, public SearchSessionObserver {
    Q_OBJECT

public:
    // settings and pendingIPMessage are owned by the program and outlive the window.
    MainWindow(AppSettings& settings, std::string& pendingIPMessage, std::string appDataDir);
    ~MainWindow() override;

    // The dialogs are created after the window; it needs them for its buttons and the start-up steps.
    void SetDialogs(SettingsDialog* settingsDialog, AboutDialog* aboutDialog);
    // Start-up has read the settings and detected the address: the first layout may now run the hub list step.
    void SetStartupReady();

    void ApplyResizeRules();
    void OnSizeConditionChanged();
    void OnSearchClicked();
    void OnRefreshClicked();
    void OnSettingsClicked();
    void OnAboutClicked();
    // "Search for this file": a new run for the file with this TTH.
    void OnSearchForTth(const QString& tth);

    ResultListView* m_resultList;
    QLineEdit* m_phraseEdit;
    QPushButton* m_searchButton;
    QComboBox* m_fileTypeBox;
    QCheckBox* m_freeSlotsCheck;
    QComboBox* m_sizeConditionBox;
    QLineEdit* m_sizeEdit;
    QComboBox* m_sizeUnitBox;
    QLineEdit* m_upperSizeEdit;
    QComboBox* m_upperSizeUnitBox;
    QPushButton* m_refreshButton;
    QPushButton* m_settingsButton;
    QPushButton* m_aboutButton;
    QLabel* m_hubCountLabel;
    QLabel* m_searchedLabel;
    QLabel* m_failedLabel;
    QLabel* m_resultCountLabel;
    QProgressBar* m_progressBar;
    QTimer* m_fitTimer;
    ResultListControls* m_resultControls;
    PhraseHistory* m_phraseHistory;
    // Opened by the Searched and Failed counters.
    HubReportWindow* m_hubReport;

    void OnFitTimer();
    void OnProgress(int32_t searched, int32_t failed) override;
    void OnResult(const SearchResult& result) override;
    void OnResultsReported() override;
    void OnRunStarted() override;
    void OnRunEnded() override;
    void OnResultLimitReached() override;
    void OnConnectionNote(const std::string& note) override;
    void OnHubOutcomes(const std::vector<HubOutcome>& outcomes) override;

    int32_t HubCount() const { return m_hubCount; }
    // The rows of the list, shown or about to be.
    int32_t ResultCount() const;
    int32_t CurrentUdpPort() const { return m_session->CurrentUdpPort(); }
    // Replaces the idle worker pool with one whose waits on real hubs are these; tests shorten them.
    void SetExchangeTimings(const HubExchangeTimings& timings) { m_session->SetExchangeTimings(timings); }
    const HubQueue& Hubs() const { return *m_queue; }
    SearchSession& Session() { return *m_session; }
    // How long after a run's end the window looks whether any datagram reached the port; tests shorten it.
    void SetSilenceGrace(std::chrono::milliseconds grace);
    // The status line under the controls: how the run gets its results, or why none arrive.
    QString StatusText() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void RunStartupSteps();
    // False when the stored list could not be read; the window then keeps what it shows.
    bool LoadHubList();
    void ShowHubCount();
    bool RunInProgress() const { return m_session->State() != RunState::Idle; }
    // The checks before a run; false when one failed and its message was shown.
    bool RunChecksPass();
    void StartRun();
    void StopRun();
    // Shows whether a run is under way: the search button's caption and whether a refresh may start.
    void ShowRunState(RunState state);
    void PassLiveFilter();
    void RefreshCompleted(const HublistRefreshResult& result);
    bool RefreshInProgress() const { return m_refreshState == RefreshState::Downloading; }
    // Ends every background thread; the window stays usable for nothing after it. Safe to call twice.
    void Shutdown();
    void SetLabelText(QLabel* label, const std::string& text);
    void ShowResultCount();
    void ShowStatus(const std::string& text);
    // The run's hubs are done and the grace has passed: says so when not one datagram came.
    void OnSilenceTimer();
    // The settings dialog shows what Automatic found last.
    void ShowConnectionFindings();
    SearchForm CurrentSearchForm() const;
    void ApplySearchForm(const SearchForm& form);

    AppSettings& m_settings;
    std::string& m_pendingIPMessage;
    const std::string m_appDataDir;
    SettingsDialog* m_settingsDialog = nullptr;
    AboutDialog* m_aboutDialog = nullptr;
    enum class RefreshState { Idle, Downloading };
    // m_fitTimer's marker.
    enum class PathFit {
        NoResultYet,  // since start-up: the first result is fitted at once
        RowsAdded,    // since the Path column was last widened
        Fitted,
    };

    std::unique_ptr<QtGuiThread> m_gui;
    std::unique_ptr<HubQueue> m_queue;
    std::unique_ptr<HublistRefreshThread> m_refresh;
    uint64_t m_refreshGeneration = 0;
    RefreshState m_refreshState = RefreshState::Idle;
    // Declared before the session, which uses it until it is destroyed.
    std::unique_ptr<HubHistory> m_hubHistory;
    std::unique_ptr<SearchSession> m_session;
    PathFit m_pathFit = PathFit::NoResultYet;
    // Shows the rows staged by result batches at most every 40 ms, so a flood costs one insert and repaint per tick.
    QTimer* m_rowFlush = nullptr;
    QTimer* m_silenceTimer = nullptr;
    bool m_closing = false;
    bool m_startupRefresh = false;
    int32_t m_hubCount = 0;
    bool m_startupReady = false;
    bool m_startupStepQueued = false;
    bool m_startupLoadPending = true;
};
