#include "engine/hublist/hublist_refresh_thread.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "engine/hublist/bzip2_stream.h"
#include "engine/hublist/hublist_loader.h"
#include "engine/sys/gui_thread.h"

namespace {

constexpr std::size_t kWriteBuffer = 65536;

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Streams the decompressed list into fd, at most limit bytes.
bool Decompress(std::string_view compressed, int fd, std::int64_t limit) {
    Bzip2ReadStream stream(compressed);
    std::vector<char> buffer(kWriteBuffer);
    std::int64_t written = 0;
    while (true) {
        const std::optional<std::size_t> got = stream.Read(buffer.data(), buffer.size());
        if (!got) return false;
        if (*got == 0) return true;
        written += static_cast<std::int64_t>(*got);
        if (written > limit || !WriteAll(fd, buffer.data(), *got)) return false;
    }
}

}  // namespace

HublistRefreshThread::HublistRefreshThread(GuiThread& gui, std::string url, std::string dataDir,
                                           HublistRefreshSteps steps, std::chrono::milliseconds readTimeout,
                                           std::int64_t maxListSize)
    : m_gui(gui),
      m_url(std::move(url)),
      m_dataDir(std::move(dataDir)),
      m_steps(std::move(steps)),
      m_maxListSize(maxListSize) {
    m_http.SetReadTimeout(readTimeout);
    m_thread = std::thread([this] { Execute(); });
}

HublistRefreshThread::~HublistRefreshThread() {
    Cancel();
    Wait();
}

void HublistRefreshThread::Cancel() {
    m_http.Cancel();
}

void HublistRefreshThread::Wait() {
    if (m_thread.joinable()) m_thread.join();
}

void HublistRefreshThread::Execute() {
    const bool failed = !Refresh();
    m_gui.RunAndWait([&] {
        if (m_steps.Completed) m_steps.Completed(failed);
    });
    m_finished = true;
}

void HublistRefreshThread::RunStep(const std::function<void()>& step) {
    // A closed GUI side means shutdown: stop the transfer instead of reporting to nobody.
    if (!m_gui.RunAndWait(step)) m_http.Cancel();
}

bool HublistRefreshThread::Refresh() {
    HttpTransferEvents events;
    if (m_steps.TransferBegins)
        events.Begins = [this](int64_t size) { RunStep([&] { m_steps.TransferBegins(size); }); };
    if (m_steps.TransferProgresses)
        events.Progresses = [this](int64_t count) { RunStep([&] { m_steps.TransferProgresses(count); }); };
    if (m_steps.TransferEnds) events.Ends = [this] { RunStep(m_steps.TransferEnds); };
    const HttpGetResult download = m_http.Get(m_url, events);
    if (!download.ok) return false;

    // The stored list is replaced only by a complete new one: a failed refresh leaves it as it was.
    const std::string target = HubListPath(m_dataDir);
    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = Decompress(download.body, fd, m_maxListSize);
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) unlink(temporary.c_str());
    return ok;
}
