#include "engine/hublist/hublist_refresh_thread.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "engine/hublist/bzip2_stream.h"
#include "engine/hublist/hublist_loader.h"
#include "engine/sys/file_replacement.h"
#include "engine/sys/gui_thread.h"
#include "engine/sys/log.h"

namespace {

constexpr std::size_t kWriteBuffer = 65536;
// The decompressed list goes to a FileReplacement's temporary file: hublist.xml followed by "." and six letters or
// digits, as long as this suffix.
constexpr std::string_view kTemporarySuffix = ".XXXXXX";

// A name of such a temporary file.
bool IsTemporaryName(std::string_view name) {
    const std::string_view stem = kHubListFileName;
    if (name.size() != stem.size() + kTemporarySuffix.size() || !name.starts_with(stem) || name[stem.size()] != '.')
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()) + 1, name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

std::string SizeText(std::int64_t bytes) {
    constexpr std::int64_t MiB = std::int64_t{1} << 20;
    return bytes % MiB == 0 ? std::to_string(bytes / MiB) + " MiB" : std::to_string(bytes) + " bytes";
}

// Streams the decompressed list into file, at most limit bytes; why it failed, or nothing.
std::optional<std::string> Decompress(std::string_view compressed, FileReplacement& file, std::int64_t limit) {
    Bzip2ReadStream stream(compressed);
    std::vector<char> buffer(kWriteBuffer);
    std::int64_t written = 0;
    while (true) {
        const std::optional<std::size_t> got = stream.Read(buffer.data(), buffer.size());
        if (!got) return stream.Error();
        if (*got == 0) return std::nullopt;
        written += static_cast<std::int64_t>(*got);
        if (written > limit) return "the hub list is larger than " + SizeText(limit);
        if (!file.Write({buffer.data(), *got})) return file.Error();
    }
}

const char* OutcomeName(HublistRefreshResult::Outcome outcome) {
    switch (outcome) {
        case HublistRefreshResult::Outcome::Replaced:
            return "replaced the stored list";
        case HublistRefreshResult::Outcome::Failed:
            return "failed";
        case HublistRefreshResult::Outcome::Cancelled:
            return "cancelled";
    }
    return "?";
}

void LogRefresh(const std::string& url, const HublistRefreshResult& result, int64_t downloaded,
                std::chrono::steady_clock::duration took) {
    const LogLevel level = result.outcome == HublistRefreshResult::Outcome::Failed ? LogLevel::Warning : LogLevel::Info;
    if (!LogEnabled(level)) return;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f s", std::chrono::duration<double>(took).count());
    std::string line = "hub list refresh from " + url + ": " + OutcomeName(result.outcome) + " after " + seconds +
                       ", " + std::to_string(downloaded) + " bytes downloaded";
    if (!result.reason.empty()) line += ": " + result.reason;
    Log(level, line);
}

}  // namespace

HublistRefreshThread::HublistRefreshThread(GuiThread& gui, std::string url, std::string dataDir,
                                           HublistRefreshSteps steps, const HttpLimits& limits,
                                           std::int64_t maxListSize)
    : m_gui(gui),
      m_url(std::move(url)),
      m_dataDir(std::move(dataDir)),
      m_steps(std::move(steps)),
      m_maxListSize(maxListSize) {
    m_http.SetLimits(limits);
    m_thread = std::thread([this] { Execute(); });
}

HublistRefreshThread::~HublistRefreshThread() {
    Cancel();
    Wait();
}

void HublistRefreshThread::Cancel() {
    m_cancelled = true;
    m_http.Cancel();
}

void HublistRefreshThread::Wait() {
    if (m_thread.joinable()) m_thread.join();
}

void HublistRefreshThread::Execute() {
    const auto started = std::chrono::steady_clock::now();
    Log(LogLevel::Debug, "hub list refresh from " + m_url + " started");
    const std::optional<std::string> failure = Refresh();
    HublistRefreshResult result;
    if (!failure) {
        result.outcome = HublistRefreshResult::Outcome::Replaced;
    } else if (m_cancelled) {
        result.outcome = HublistRefreshResult::Outcome::Cancelled;
    } else {
        result.reason = *failure;
    }
    LogRefresh(m_url, result, m_downloaded, std::chrono::steady_clock::now() - started);
    m_gui.RunAndWait([&] {
        if (m_steps.Completed) m_steps.Completed(result);
    });
    m_finished = true;
}

void HublistRefreshThread::RunStep(const std::function<void()>& step) {
    // A closed GUI side means shutdown: stop the transfer instead of reporting to nobody.
    if (!m_gui.RunAndWait(step)) m_http.Cancel();
}

std::optional<std::string> HublistRefreshThread::Refresh() {
    HttpTransferEvents events;
    if (m_steps.TransferBegins)
        events.Begins = [this](int64_t size) { RunStep([&] { m_steps.TransferBegins(size); }); };
    if (m_steps.TransferProgresses)
        events.Progresses = [this](int64_t count) { RunStep([&] { m_steps.TransferProgresses(count); }); };
    if (m_steps.TransferEnds) events.Ends = [this] { RunStep(m_steps.TransferEnds); };
    const HttpGetResult download = m_http.Get(m_url, events);
    m_downloaded = download.received;
    if (!download.ok) return download.error;

    // The stored list is replaced only by a complete new one: a failed refresh leaves it as it was.
    FileReplacement file(HubListPath(m_dataDir));
    if (std::optional<std::string> failure = Decompress(download.body, file, m_maxListSize)) return failure;
    return file.Commit();
}

int HublistRefreshThread::RemoveStaleTemporaryFiles(const std::string& dataDir,
                                                    std::filesystem::file_time_type startedAt) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(dataDir, error), end; !error && it != end; it.increment(error)) {
        const std::filesystem::directory_entry& entry = *it;
        std::error_code ignored;
        if (!IsTemporaryName(entry.path().filename().string()) || !entry.is_regular_file(ignored) ||
            entry.last_write_time(ignored) >= startedAt)
            continue;
        if (!std::filesystem::remove(entry.path(), ignored)) continue;
        ++removed;
        Log(LogLevel::Info, "removed " + entry.path().string() + ", left by an unfinished hub list refresh");
    }
    return removed;
}
