#pragma once

#include <QWidget>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/run_values.h"
#include "settings/app_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class ResultListView;
class TForm2;
class TForm3;
class QtGuiThread;
class SearchRunner;
class UdpListener;
class TMyHublistRefreshThread;
class TMyQueue;

// The main window: the result list on top, the search form, buttons, status labels and progress bar below.
// Everything here runs on the GUI thread. Controls keep their designer names as object names.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    // settings and pendingIPMessage are owned by the program and outlive the window.
    TForm1(AppSettings& settings, std::string& pendingIPMessage, std::string appDataDir);
    ~TForm1() override;

    // The dialogs are created after the window; it needs them for its buttons and the start-up steps.
    void SetDialogs(TForm2* settingsDialog, TForm3* aboutDialog);
    // Start-up has read the settings and detected the address: the first layout may now run the hub list step.
    void SetStartupReady();

    void FormResize();
    void ComboBox2Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

    ResultListView* VST1;
    QLineEdit* Edit1;
    QPushButton* Button1;
    QComboBox* ComboBox1;
    QCheckBox* cbxOnlyFreeSlots;
    QComboBox* ComboBox2;
    QLineEdit* Edit2;
    QComboBox* ComboBox3;
    QLineEdit* Edit3;
    QComboBox* ComboBox4;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QProgressBar* ProgressBar1;
    QTimer* Timer1;

    // Run by a worker through the GUI hand-over after each counted hub.
    void UpdateRunProgress();
    void Timer1Timer();
    // One batch of datagrams received on the result port, in arrival order.
    void IdUDPServer1UDPRead(const std::vector<std::string_view>& datagrams);

    int32_t HubCount() const { return m_hubCount; }
    int32_t ResultCount() const { return m_resultCount; }
    int32_t CurrentUdpPort() const { return m_currentUdpPort; }
    // Replaces the idle worker pool with one whose waits on real hubs are these; tests shorten them.
    void SetExchangeTimings(const HubExchangeTimings& timings);
    const TMyQueue& HubQueue() const { return *m_queue; }

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
    bool RunInProgress() const;
    // The checks before a run; false when one failed and its message was shown.
    bool RunChecksPass();
    void StartRun();
    void StopRun();
    void EndRun();
    void RefreshCompleted(bool refreshFailed);
    bool RefreshInProgress() const;
    // Ends every background thread; the window stays usable for nothing after it. Safe to call twice.
    void Shutdown();
    void SetLabelText(QLabel* label, const std::string& text);

    AppSettings& m_settings;
    std::string& m_pendingIPMessage;
    const std::string m_appDataDir;
    TForm2* m_settingsDialog = nullptr;
    TForm3* m_aboutDialog = nullptr;
    std::unique_ptr<QtGuiThread> m_gui;
    std::unique_ptr<TMyQueue> m_queue;
    std::unique_ptr<TMyHublistRefreshThread> m_refresh;
    uint64_t m_refreshGeneration = 0;
    std::unique_ptr<UdpListener> IdUDPServer1;
    std::unique_ptr<SearchRunner> m_runner;
    int32_t m_currentUdpPort = -1;
    int32_t m_resultCount = 0;
    int64_t SizeFilterLow = -1;
    int64_t SizeFilterHigh = -1;
    // Timer1's marker: -1 no result yet since start-up, 1 rows added since the Path column was fitted, 0 fitted.
    int m_timer1Tag = -1;
    // Shows the rows staged by result batches at most every 40 ms, so a flood costs one insert and repaint per tick.
    QTimer* m_rowFlush = nullptr;
    bool m_closing = false;
    bool StartupRefresh = false;
    int32_t m_hubCount = 0;
    bool m_startupReady = false;
    bool m_startupStepQueued = false;
    bool StartupLoadPending = true;
};
