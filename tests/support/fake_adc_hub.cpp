#include "support/fake_adc_hub.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

FakeAdcHub::FakeAdcHub(FakeAdcHubScript script) : m_script(std::move(script)) {
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, 8) != 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(m_wake, O_CLOEXEC) != 0)
        throw std::runtime_error("FakeAdcHub: cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

FakeAdcHub::~FakeAdcHub() {
    const char stop = 1;
    (void)!write(m_wake[1], &stop, 1);
    m_thread.join();
    close(m_listener);
    close(m_wake[0]);
    close(m_wake[1]);
}

std::vector<std::string> FakeAdcHub::Finished(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [&] { return m_finished.size() >= count; });
    return m_finished;
}

bool FakeAdcHub::WaitReadable(int fd) const {
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    while (poll(fds, 2, -1) < 0) {
    }
    return (fds[1].revents & POLLIN) == 0;
}

void FakeAdcHub::Serve() {
    while (WaitReadable(m_listener)) {
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
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
