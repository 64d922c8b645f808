#include "support/router_lab.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <vector>

#include "engine/sys/system_error.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto CommandLimit = 10s;
// miniupnpd's STUN check waits up to 3 s for answers, three times over when none come.
constexpr auto RouterStartLimit = 20s;
constexpr auto RouterStopLimit = 5s;
constexpr uint16_t StunPort = 3478;
constexpr uint16_t StunSecondPort = 3479;
constexpr char NamePrefix[] = "hubsift-lab-";
constexpr char SsdpGroup[] = "239.255.255.250";
constexpr uint16_t SsdpPort = 1900;
constexpr char NamespaceFolder[] = "/run/netns/";

// The forwarding filter lets in only answers and what miniupnpd adds to its chains; the outside is masqueraded.
constexpr char RouterRules[] = R"(table inet filter {
    chain miniupnpd {
    }
    chain prerouting_miniupnpd {
    }
    chain postrouting_miniupnpd {
    }
    chain forward {
        type filter hook forward priority 0; policy drop;
        ct state established,related accept
        iifname "lan" oifname "wan" accept
        jump miniupnpd
    }
    chain prerouting {
        type nat hook prerouting priority -100; policy accept;
        jump prerouting_miniupnpd
    }
    chain postrouting {
        type nat hook postrouting priority 100; policy accept;
        jump postrouting_miniupnpd
        oifname "wan" masquerade
    }
}
)";

std::string Joined(const std::vector<std::string>& argv) {
    std::string text;
    for (const std::string& arg : argv) text += (text.empty() ? "" : " ") + arg;
    return text;
}

struct Child {
    pid_t pid = -1;
    int output = -1;  // stdout and stderr
    std::string error;
};

// Starts argv (no shell) with its output into a pipe.
Child Spawn(const std::vector<std::string>& argv) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {-1, -1, "no pipe"};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (result == 0) return {pid, fds[0], ""};
    close(fds[0]);
    return {-1, -1, "cannot start " + argv[0] + ": " + SystemErrorText(result)};
}

// Runs argv to its end, killing it after CommandLimit. The error text with its output, empty on success.
std::string Run(const std::vector<std::string>& argv, std::string* output = nullptr) {
    const Child child = Spawn(argv);
    if (child.pid < 0) return child.error;
    std::string text;
    const auto deadline = Clock::now() + CommandLimit;
    bool late = false;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fd{child.output, POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) == 0) {
            late = true;
            break;
        }
        char buffer[4096];
        const ssize_t size = read(child.output, buffer, sizeof buffer);
        if (size < 0 && errno == EINTR) continue;
        if (size <= 0) break;
        text.append(buffer, static_cast<std::size_t>(size));
    }
    close(child.output);
    if (late) kill(child.pid, SIGKILL);
    int status = 0;
    waitpid(child.pid, &status, 0);
    if (output != nullptr) *output = text;
    if (late) return Joined(argv) + ": did not finish in time";
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return Joined(argv) + " failed: " + text;
    return "";
}

// Runs the commands in turn up to the first failure; its error text.
std::string RunAll(const std::vector<std::vector<std::string>>& commands) {
    for (const auto& command : commands) {
        std::string error = Run(command);
        if (!error.empty()) return error;
    }
    return "";
}

// A lab whose test process ended without tearing it down (a crash) leaves namespaces, maybe with its miniupnpd in
// one; both go. Only names of this lab's pattern whose process is gone are touched.
void RemoveLeftovers() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(NamespaceFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(NamePrefix)) continue;
        const pid_t owner = static_cast<pid_t>(std::strtol(name.c_str() + std::strlen(NamePrefix), nullptr, 10));
        if (owner <= 0 || kill(owner, 0) == 0 || errno != ESRCH) continue;
        std::string pids;
        Run({"ip", "netns", "pids", name}, &pids);
        std::istringstream list(pids);
        for (pid_t pid = 0; list >> pid;)
            if (pid > 0) kill(pid, SIGKILL);
        Run({"ip", "netns", "del", name});
    }
}

std::string Config(const std::string& folder, RouterLab::Services services) {
    const auto yesNo = [](bool on) { return on ? "yes" : "no"; };
    return std::string("ext_ifname=wan\nlistening_ip=lan\nhttp_port=0\n") + "enable_upnp=" + yesNo(services.upnp) +
           "\nenable_natpmp=" + yesNo(services.natPmp) +
           "\next_perform_stun=yes\next_stun_host=" + RouterLab::InternetAddress +
           "\next_stun_port=" + std::to_string(StunPort) + "\nlease_file=" + folder +
           "/leases\nminissdpdsocket=" + folder +
           "/minissdpd.sock\n"
           "upnp_table_name=filter\nupnp_nat_table_name=filter\nupnp_forward_chain=miniupnpd\n"
           "upnp_nat_chain=prerouting_miniupnpd\nupnp_nat_postrouting_chain=postrouting_miniupnpd\n"
           "secure_mode=yes\nsystem_uptime=yes\nuuid=3e4f9a52-7a4e-4c2e-9d3b-6f1b2a0c7d11\n"
           "allow 1024-65535 10.77.1.0/24 1024-65535\ndeny 0-65535 0.0.0.0/0 0-65535\n";
}

// Waits until a datagram that begins with prefix comes to fd, or until deadline.
bool AwaitDatagram(int fd, std::string_view prefix, Clock::time_point deadline) {
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) == 0) return false;
        char buffer[2048];
        const ssize_t size = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (size > 0 && std::string_view(buffer, static_cast<std::size_t>(size)).starts_with(prefix)) return true;
    }
}

}  // namespace

std::string RouterLab::Unavailable() {
    if (geteuid() != 0) return "the router lab needs root (network namespaces, nftables)";
    for (const char* tool : {"/usr/sbin/miniupnpd", "/usr/sbin/nft"})
        if (access(tool, X_OK) != 0) return std::string("the router lab needs ") + tool + " (scripts/deps installs it)";
    const std::string probe = NamePrefix + std::to_string(getpid()) + "-probe";
    const std::string error = Run({"ip", "netns", "add", probe});
    if (!error.empty()) return "cannot create a network namespace: " + error;
    Run({"ip", "netns", "del", probe});
    return "";
}

RouterLab::RouterLab()
    : m_prefix([] {
          static std::atomic<int> labs{0};
          return NamePrefix + std::to_string(getpid()) + "-" + std::to_string(labs++) + "-";
      }()) {
    m_error = m_dir.Path().empty() ? "no temporary folder" : Build();
}

RouterLab::~RouterLab() {
    StopRouterService();
    m_stun.reset();
    for (Side side : {Side::Home, Side::Router, Side::Internet}) Run({"ip", "netns", "del", Name(side)});
}

std::string RouterLab::Name(Side side) const {
    return m_prefix + (side == Side::Home ? "home" : side == Side::Router ? "router" : "internet");
}

std::string RouterLab::Build() {
    RemoveLeftovers();
    const std::string home = Name(Side::Home), router = Name(Side::Router), internet = Name(Side::Internet);
    std::string error = RunAll({
        {"ip", "netns", "add", home},
        {"ip", "netns", "add", router},
        {"ip", "netns", "add", internet},
        {"ip", "-n", home, "link", "set", "lo", "up"},
        {"ip", "-n", router, "link", "set", "lo", "up"},
        {"ip", "-n", internet, "link", "set", "lo", "up"},
        {"ip", "-n", home, "link", "add", "lan0", "type", "veth", "peer", "name", "lan", "netns", router},
        {"ip", "-n", router, "link", "add", "wan", "type", "veth", "peer", "name", "wan0", "netns", internet},
        {"ip", "-n", home, "addr", "add", std::string(HomeAddress) + "/24", "dev", "lan0"},
        {"ip", "-n", router, "addr", "add", std::string(RouterLanAddress) + "/24", "dev", "lan"},
        {"ip", "-n", router, "addr", "add", std::string(RouterOutsideAddress) + "/24", "dev", "wan"},
        {"ip", "-n", internet, "addr", "add", std::string(InternetAddress) + "/24", "dev", "wan0"},
        {"ip", "-n", internet, "addr", "add", std::string(InternetSecondAddress) + "/24", "dev", "wan0"},
        {"ip", "-n", home, "link", "set", "lan0", "up"},
        {"ip", "-n", router, "link", "set", "lan", "up"},
        {"ip", "-n", router, "link", "set", "wan", "up"},
        {"ip", "-n", internet, "link", "set", "wan0", "up"},
        {"ip", "-n", home, "route", "add", "default", "via", RouterLanAddress},
    });
    if (!error.empty()) return error;
    bool forwarding = false;
    RunIn(Side::Router, [&] {
        const int file = open("/proc/sys/net/ipv4/ip_forward", O_WRONLY | O_CLOEXEC);
        forwarding = file >= 0 && write(file, "1", 1) == 1;
        if (file >= 0) close(file);
    });
    if (!forwarding) return "cannot switch on forwarding in the router";
    const std::string rules = m_dir.File("router.nft");
    WriteFile(rules, RouterRules);
    error = Run({"ip", "netns", "exec", router, "nft", "-f", rules});
    return error.empty() ? StartStun() : error;
}

std::string RouterLab::StartStun() {
    const std::array<std::pair<const char*, uint16_t>, 4> endpoints = {{{InternetAddress, StunPort},
                                                                        {InternetAddress, StunSecondPort},
                                                                        {InternetSecondAddress, StunPort},
                                                                        {InternetSecondAddress, StunSecondPort}}};
    std::array<int, 4> sockets{};
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        sockets[i] = UdpSocket(Side::Internet, endpoints[i].first, endpoints[i].second);
        if (sockets[i] < 0) {
            for (std::size_t j = 0; j < i; ++j) close(sockets[j]);
            return "cannot bind the STUN server's sockets";
        }
    }
    m_stun = std::make_unique<StunResponder>(sockets);
    return "";
}

bool RouterLab::RunIn(Side side, const std::function<void()>& fn) const {
    const int original = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = open((NamespaceFolder + Name(side)).c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = original >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (entered) {
        fn();
        setns(original, CLONE_NEWNET);
    }
    if (original >= 0) close(original);
    if (target >= 0) close(target);
    return entered;
}

int RouterLab::UdpSocket(Side side, const std::string& address, uint16_t port) const {
    int fd = -1;
    RunIn(side, [&] { fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); });
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (fd < 0 || inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    return fd;
}

void RouterLab::CollectRouterOutput(int pipe) {
    char buffer[4096];
    ssize_t size = 0;
    while ((size = read(pipe, buffer, sizeof buffer)) != 0) {
        if (size < 0 && errno == EINTR) continue;
        if (size < 0) break;
        std::lock_guard lock(m_mutex);
        m_routerOutput.append(buffer, static_cast<std::size_t>(size));
        m_outputCame.notify_all();
    }
    close(pipe);
    std::lock_guard lock(m_mutex);
    m_routerOutputClosed = true;
    m_outputCame.notify_all();
}

int RouterLab::SsdpListener() const {
    int fd = -1;
    RunIn(Side::Home, [&] { fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); });
    const int reuse = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(SsdpPort);
    ip_mreq group{};
    inet_pton(AF_INET, SsdpGroup, &group.imr_multiaddr);
    inet_pton(AF_INET, HomeAddress, &group.imr_interface);
    if (fd >= 0 && (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
                    bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
                    setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string RouterLab::StartRouterService(Services services) {
    StopRouterService();
    const auto deadline = Clock::now() + RouterStartLimit;
    // miniupnpd opens its SSDP socket after it logs that HTTP listens; its first NOTIFY to the LAN comes once every
    // socket is open.
    const int ssdp = services.upnp ? SsdpListener() : -1;
    if (services.upnp && ssdp < 0) return "cannot listen for SSDP at home";
    const std::string config = m_dir.File("miniupnpd.conf");
    WriteFile(config, Config(m_dir.Path(), services));
    const Child child = Spawn({"ip", "netns", "exec", Name(Side::Router), "/usr/sbin/miniupnpd", "-d", "-f", config,
                               "-P", m_dir.File("miniupnpd.pid")});
    if (child.pid < 0) {
        if (ssdp >= 0) close(ssdp);
        return child.error;
    }
    {
        std::lock_guard lock(m_mutex);
        m_routerPid = child.pid;
        m_routerOutput.clear();
        m_routerOutputClosed = false;
    }
    m_outputReader = std::thread([this, pipe = child.output] { CollectRouterOutput(pipe); });

    std::vector<std::string> signs = {"Port forwarding is now enabled"};
    if (services.upnp) signs.push_back("HTTP listening on port");  // after the SSDP socket is open
    if (services.natPmp) signs.push_back("Listening for NAT-PMP/PCP traffic on port");
    std::unique_lock lock(m_mutex);
    const bool logged = m_outputCame.wait_until(lock, deadline, [&] {
        if (m_routerOutputClosed) return true;
        for (const std::string& sign : signs)
            if (m_routerOutput.find(sign) == std::string::npos) return false;
        return true;
    });
    lock.unlock();
    const bool ready = logged && (ssdp < 0 || AwaitDatagram(ssdp, "NOTIFY * HTTP/1.1", deadline));
    if (ssdp >= 0) close(ssdp);
    lock.lock();
    if (ready && !m_routerOutputClosed) return "";
    const std::string log = m_routerOutput;
    lock.unlock();
    StopRouterService();
    return "miniupnpd did not start:\n" + log;
}

void RouterLab::StopRouterService() {
    if (m_routerPid < 0) return;
    kill(m_routerPid, SIGTERM);
    {
        std::unique_lock lock(m_mutex);
        if (!m_outputCame.wait_for(lock, RouterStopLimit, [this] { return m_routerOutputClosed; }))
            kill(m_routerPid, SIGKILL);
    }
    m_outputReader.join();
    waitpid(m_routerPid, nullptr, 0);
    m_routerPid = -1;
}

std::string RouterLab::SilenceRouter() {
    const std::string router = Name(Side::Router);
    return RunAll(
        {{"ip", "netns", "exec", router, "nft",
          "add chain inet filter input { type filter hook input priority 0; policy accept; }"},
         {"ip", "netns", "exec", router, "nft",
          "add rule inet filter input iifname lan udp dport { " + std::to_string(SsdpPort) + ", 5351 } drop"}});
}

std::string RouterLab::RouterServiceLog() const {
    std::lock_guard lock(m_mutex);
    return m_routerOutput;
}
