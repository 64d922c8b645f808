#include "cli/search_command.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "cli/cli_options.h"
#include "cli/cli_program.h"
#include "cli/console_signals.h"
#include "cli/hub_list_commands.h"
#include "cli/result_writer.h"
#include "cli/serial_step_runner.h"
#include "engine/net/local_addresses.h"
#include "engine/net/port_mapper.h"
#include "engine/search/hub_queue.h"
#include "engine/search/search_session.h"
#include "engine/settings/ip_detection.h"
#include "engine/settings/settings_store.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFailedExit = 1;
constexpr auto kProgressInterval = std::chrono::seconds(1);

// The settings a run needs, with the command line's overrides; the reason on failure.
std::optional<std::string> PrepareSettings(const CliOptions& options, AppSettings& settings) {
    if (options.threads) settings.Threads = *options.threads;
    if (options.timeoutSeconds) settings.SearchTimeout = *options.timeoutSeconds;
    if (options.ports) {
        settings.MinUDPPort = options.ports->first;
        settings.MaxUDPPort = options.ports->last;
    }
    if (settings.Nick.empty()) return "no nick in the settings (enter one in the window's Settings dialog)";
    if (!NickIsSafe(settings.Nick)) return "the nick in the settings holds '$' or '|'";
    // An address given on the command line is vouched for: results are sent to it as given, unless --mode says
    // otherwise.
    if (options.ip) settings.Connection = ConnectionMode::Active;
    if (options.mode) settings.Connection = *options.mode;
    // Only Active needs an address of its own: Automatic and Passive find their way without one.
    const bool active = settings.Connection == ConnectionMode::Active;
    if (options.ip) {
        settings.IP = *options.ip;
    } else if (settings.AutodetectIP) {
        std::string reason;
        settings.IP = DetectLocalIP(reason);
        if (settings.IP.empty() && active) return "no address found for results (give one with --ip): " + reason;
    }
    if (settings.IP.empty() && active) return "no address for results in the settings (give one with --ip)";
    settings.ShareSizeBytes = ShareSizeToBytes(settings.ShareSize);
    return {};
}

// Prints what the session reports. Its calls come through the step runner, one at a time.
class SearchPrinter final : public SearchSessionObserver {
public:
    SearchPrinter(const CliOptions& options, const CliStreams& streams, ConsoleSignals& signals, int32_t hubCount)
        : m_streams(streams), m_signals(signals), m_writer(options.format, streams.out), m_hubCount(hubCount) {}

    void OnProgress(int32_t searched, int32_t failed) override {
        m_searched = searched;
        m_failed = failed;
        DrawProgress();
    }
    void OnResult(const SearchResult& result) override {
        ClearProgress();
        m_writer.Write(result);
        ++m_results;
    }
    void OnResultsReported() override { DrawProgress(); }
    void OnRunEnded() override {
        m_ended = true;
        m_signals.Wake();
    }
    void OnResultLimitReached() override { m_limitReached = true; }
    void OnRunStarted() override { PrintLine(m_session->RunPlan().Summary); }
    void OnConnectionNote(const std::string& note) override { PrintLine(note); }

    // The session whose route the first line tells; set before it starts.
    void SetSession(const SearchSession& session) { m_session = &session; }
    void Begin() {
        m_started = Clock::now();
        m_writer.WriteHeader();
        DrawProgress();
    }
    bool Ended() const { return m_ended; }
    // Refreshes the elapsed time.
    void DrawProgress() {
        if (!m_streams.errIsTerminal) return;
        m_streams.err << "\r" << Counts() << "\x1b[K" << std::flush;
        m_progressShown = true;
    }
    void WriteSummary(bool interrupted) {
        ClearProgress();
        m_streams.err << (interrupted ? "Stopped: " : "Done: ") << Counts();
        if (m_limitReached) m_streams.err << " (result limit reached: refine the search)";
        m_streams.err << '\n';
    }

private:
    std::string Counts() const {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", std::chrono::duration<double>(Clock::now() - m_started).count());
        return std::to_string(m_results) + " results; " + std::to_string(m_searched) + " hubs searched, " +
               std::to_string(m_failed) + " failed of " + std::to_string(m_hubCount) + "; " + seconds + " s";
    }
    void PrintLine(const std::string& line) {
        ClearProgress();
        m_streams.err << line << '\n';
    }
    void ClearProgress() {
        if (!m_progressShown) return;
        m_streams.err << "\r\x1b[K" << std::flush;
        m_progressShown = false;
    }

    const CliStreams& m_streams;
    ConsoleSignals& m_signals;
    ResultWriter m_writer;
    const int32_t m_hubCount;
    Clock::time_point m_started;
    int32_t m_searched = 0;
    int32_t m_failed = 0;
    int32_t m_results = 0;
    bool m_ended = false;
    bool m_limitReached = false;
    bool m_progressShown = false;
    const SearchSession* m_session = nullptr;
};

}  // namespace

int RunSearch(const CliOptions& options, AppSettings settings, const std::string& dataDir, ConsoleSignals& signals,
              const CliStreams& streams) {
    if (const std::optional<std::string> problem = PrepareSettings(options, settings)) {
        streams.err << "hubsift-cli: " << *problem << '\n';
        return kFailedExit;
    }
    HubQueue queue;
    if (!LoadStoredHubList(dataDir, queue, streams.err)) return kFailedExit;
    if (queue.Count() == 0) {
        streams.err << "hubsift-cli: the hub list holds no hubs (run: hubsift-cli refresh)\n";
        return kFailedExit;
    }

    SerialStepRunner steps;
    SearchPrinter printer(options, streams, signals, queue.Count());
    SearchSession session(steps, printer);
    session.LoadAdcIdentity(dataDir);
    printer.SetSession(session);
    RunStart start;
    // The main thread acts on the session through the runner too, so it never overlaps a step of a worker.
    steps.RunAndWait([&] {
        // Only a machine without a public address of its own has a router to look for, as the window finds.
        if (settings.Connection == ConnectionMode::Automatic &&
            PublicLocalAddress(settings.IP, UpInterfaceAddressTexts()).empty())
            session.UseRouter(std::make_unique<PortMapper>(PortMapperConfig{}));
        session.SetLiveFilter(options.form.sizeCondition == kAtMost, options.freeSlotsOnly);
        start = session.Start(queue, settings, options.form, options.phrase);
        if (start.failure == RunStartFailure::None) printer.Begin();
    });
    if (start.failure != RunStartFailure::None) {
        if (start.failure == RunStartFailure::BadCriteria)
            streams.err << "hubsift-cli: " << start.message << '\n';
        else
            streams.err << "hubsift-cli: no UDP port from " << settings.MinUDPPort << " to " << settings.MaxUDPPort
                        << " could be opened" << (settings.IP.empty() ? "" : " on " + settings.IP) << '\n';
        return kFailedExit;
    }

    bool interrupted = false;
    std::optional<Clock::time_point> lateResultsEnd;
    while (!interrupted) {
        bool ended = false;
        steps.RunAndWait([&] { ended = printer.Ended(); });
        if (ended && !lateResultsEnd) lateResultsEnd = Clock::now() + std::chrono::seconds(kLateResultsSeconds);
        const Clock::duration wait = lateResultsEnd
                                         ? std::min<Clock::duration>(*lateResultsEnd - Clock::now(), kProgressInterval)
                                         : Clock::duration(kProgressInterval);
        if (lateResultsEnd && wait <= Clock::duration::zero()) break;
        const ConsoleSignals::Event event = signals.WaitFor(wait);
        interrupted = event == ConsoleSignals::Event::Interrupted;
        if (event == ConsoleSignals::Event::TimedOut) steps.RunAndWait([&] { printer.DrawProgress(); });
    }
    steps.RunAndWait([&] { session.Stop(); });
    steps.Close();
    session.Shutdown();
    printer.WriteSummary(interrupted);
    return interrupted ? kInterruptedExitCode : 0;
}
