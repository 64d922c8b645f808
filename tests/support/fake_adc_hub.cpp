#include "support/fake_adc_hub.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

FakeAdcHub::FakeAdcHub(FakeAdcHubScript script) : m_script(std::move(script)), m_listener("FakeAdcHub") {
    m_thread = std::thread([this] { Serve(); });
}

FakeAdcHub::~FakeAdcHub() {
    m_listener.Stop();
    m_thread.join();
}

std::vector<std::string> FakeAdcHub::Finished(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [&] { return m_finished.size() >= count; });
    return m_finished;
}

bool FakeAdcHub::WaitReadable(int fd) const {
    return m_listener.Wait(fd, POLLIN) == LoopbackListener::Woken::Ready;
}

void FakeAdcHub::Serve() {
    while (WaitReadable(m_listener.Fd())) {
        const int client = accept4(m_listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Answer(client);
        close(client);
    }
}

void FakeAdcHub::Answer(int client) {
    std::string received;
    std::size_t answered = 0;  // bytes of received whose lines have been answered
    bool open = true;
    const auto reply = [&](const std::string& text, bool thenClose) {
        if (!text.empty()) (void)!send(client, text.data(), text.size(), MSG_NOSIGNAL);
        if (thenClose) open = false;
    };
    while (open && WaitReadable(client)) {
        char chunk[4096];
        const ssize_t n = recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        received.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end = received.find('\n', answered); open && end != std::string::npos;
             end = received.find('\n', answered)) {
            const std::string line = received.substr(answered, end + 1 - answered);
            answered = end + 1;
            if (line.starts_with("HSUP ")) reply(m_script.onSupports, m_script.closeAfterSupports);
            if (line.starts_with("BINF "))
                reply(m_script.onInfo + (m_script.echoInfo ? line : std::string()), m_script.closeAfterInfo);
            if (line.starts_with("BSCH ")) reply(m_script.onSearch, m_script.closeAfterSearch);
        }
    }
    std::lock_guard lock(m_mutex);
    m_finished.push_back(received);
    m_changed.notify_all();
}
