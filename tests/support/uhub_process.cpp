#include "support/uhub_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"

extern char** environ;

namespace {

constexpr char kUhub[] = "/usr/bin/uhub";
constexpr char kAuthPlugin[] = "/usr/lib/uhub/mod_auth_simple.so";
constexpr int kStartAttempts = 10;
constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr int kStopTimeoutMs = 5000;

// A port on 127.0.0.1 that was free a moment ago.
uint16_t RecentlyFreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (probe >= 0 && bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (probe >= 0) close(probe);
    return port;
}

}  // namespace

UhubProcess::UhubProcess(const UhubSetup& setup) {
    if (access(kUhub, X_OK) != 0) {
        m_problem = "uhub is not installed (Debian package uhub)";
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "hubsift-uhub-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        m_problem = "cannot make a folder for uhub's configuration";
        return;
    }
    m_folder = pattern;
    WriteConfiguration(setup);
    for (int attempt = 0; attempt < kStartAttempts && !Running(); ++attempt) {
        const uint16_t port = RecentlyFreePort();
        if (port != 0 && Start(port)) return;
        if (Log().find("Address already in use") == std::string::npos) break;
    }
    m_problem = "uhub did not start: " + Log();
}

UhubProcess::~UhubProcess() {
    Stop();
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

std::string UhubProcess::Log() const {
    std::lock_guard lock(m_mutex);
    return m_log;
}

void UhubProcess::WriteConfiguration(const UhubSetup& setup) {
    std::string users;
    for (const std::string& nick : setup.RegisteredNicks) users += "user " + nick + " secret\n";
    WriteFile(m_folder + "/users.conf", users);
    WriteFile(m_folder + "/plugins.conf",
              std::string("plugin ") + kAuthPlugin + " \"file=" + m_folder + "/users.conf\"\n");
    std::string configuration =
        "server_bind_addr=127.0.0.1\nhub_name=Hubsift test hub\nmax_users=20\nfile_plugins=" + m_folder +
        "/plugins.conf\n";
    if (!setup.CertificatePem.empty()) {
        WriteFile(m_folder + "/hub.crt", setup.CertificatePem);
        WriteFile(m_folder + "/hub.key", setup.KeyPem);
        configuration += "tls_enable=yes\ntls_require=no\ntls_certificate=" + m_folder + "/hub.crt\n" +
                         "tls_private_key=" + m_folder + "/hub.key\n";
    }
    WriteFile(m_folder + "/uhub.conf", configuration);
}

bool UhubProcess::Start(uint16_t port) {
    Stop();
    std::string configuration = ReadFile(m_folder + "/uhub.conf");
    WriteFile(m_folder + "/run.conf", configuration + "server_port=" + std::to_string(port) + "\n");
    {
        std::lock_guard lock(m_mutex);
        m_log.clear();
        m_logEnded = false;
    }
    int logPipe[2];
    if (pipe2(logPipe, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, logPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_adddup2(&actions, logPipe[1], STDOUT_FILENO);
    const std::string configPath = m_folder + "/run.conf";
    char* argv[] = {const_cast<char*>(kUhub), const_cast<char*>("-c"), const_cast<char*>(configPath.c_str()), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, kUhub, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(logPipe[1]);
    if (spawned != 0) {
        close(logPipe[0]);
        return false;
    }
    m_pid = pid;
    m_pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    // Drains the log as uhub writes it, so a full pipe never stalls the hub.
    m_logReader = std::thread([this, fd = logPipe[0]] {
        char chunk[4096];
        ssize_t n = 0;
        while ((n = read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR)) {
            std::lock_guard lock(m_mutex);
            if (n > 0) m_log.append(chunk, static_cast<std::size_t>(n));
            m_logChanged.notify_all();
        }
        close(fd);
        std::lock_guard lock(m_mutex);
        m_logEnded = true;
        m_logChanged.notify_all();
    });
    std::unique_lock lock(m_mutex);
    const bool listening = m_logChanged.wait_for(lock, kStartTimeout, [&] {
        return m_logEnded || m_log.find("listening on") != std::string::npos;
    }) && !m_logEnded;
    lock.unlock();
    if (!listening) {
        Stop();
        return false;
    }
    m_port = port;
    return true;
}

void UhubProcess::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        pollfd exited{m_pidFd, POLLIN, 0};
        if (m_pidFd < 0 || poll(&exited, 1, kStopTimeoutMs) <= 0) kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        if (m_pidFd >= 0) close(m_pidFd);
        m_pid = -1;
        m_pidFd = -1;
    }
    if (m_logReader.joinable()) m_logReader.join();
}
