// Result datagrams into the real main window: a second process sends 200,000 $SR datagrams (1 to 3 results each)
// on loopback to the port a search run bound, once back to back and then at steps of 100,000 to 500,000 per second.
// Prints, for each, the results lost, datagrams per second from the first send to the last row painted, the longest
// gap between ticks of a 5 ms timer on the event loop meanwhile, CPU time per datagram, and the same datagrams decoded
// and appended on one thread without sockets for comparison. Reports the highest step held: no result lost, no
// stall above 100 ms, and the sender kept to the rate. Then a flood: 4,096 datagrams filled to the limit with the
// shortest results, each from a user of its own, sent back to back; prints the longest stall and the rows kept.
// Not run by the tests.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/net/udp_listener.h"
#include "engine/results/sr_decoder.h"
#include "results_data.h"
#include "support/temp_dir.h"
#include "support/udp_test_sockets.h"
#include "ui/app/main_window.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"
#include "ui/support/message_box.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDatagrams = 200000;
// Datagrams per second the sender keeps to; the goal is to hold 400,000 (the kernel's hand-over on loopback here
// tops out near 450,000).
constexpr int kRateSteps[] = {100000, 200000, 300000, 400000, 500000};
constexpr int64_t kLongestStallHeld = 100000000;  // ns: a longer stall of the event loop fails the step
constexpr double kSenderShortfall = 0.95;         // a sender below this share of the rate did not test the step
constexpr unsigned kSendBatch = 64;               // datagrams per sendmmsg call
constexpr int kFloodDatagrams = 4096;
const char* const kSendMode = "--send";
const char* const kFloodMode = "--flood";

// Nanoseconds on the monotonic clock, which both processes share.
int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// CPU time of this process (all its threads) or of the calling thread, in nanoseconds.
int64_t CpuTime(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double Seconds(int64_t nanoseconds) {
    return static_cast<double>(nanoseconds) / 1e9;
}

struct Datagrams {
    std::vector<std::string> payloads;
    int results = 0;
};

// The same datagrams in both processes. Every result's nick is "r" and its number, so each row can be told apart.
Datagrams BuildDatagrams(int count) {
    std::mt19937 random(7);
    Datagrams out;
    out.payloads.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string payload;
        const int results = 1 + static_cast<int>(random() % 3);
        for (int r = 0; r < results; ++r) {
            std::string message = GeneratedSrMessage(random);
            std::string nick = "r";
            nick += std::to_string(out.results++);
            message.replace(4, message.find(' ', 4) - 4, nick);
            payload += message + '|';
        }
        out.payloads.push_back(std::move(payload));
    }
    return out;
}

// Datagrams as full as the listener takes them of the shortest results, each from a user of its own: the most
// work for the window per byte received.
Datagrams BuildFloodDatagrams() {
    Datagrams out;
    for (int i = 0; i < kFloodDatagrams; ++i) {
        std::string payload;
        while (true) {
            std::string message = "$SR f" + std::to_string(out.results) + " a\x05" + "1 1/1\x05(h)|";
            if (payload.size() + message.size() > UdpListener::MaxDatagramSize) break;
            payload += message;
            ++out.results;
        }
        out.payloads.push_back(std::move(payload));
    }
    return out;
}

// Sender mode: sends every datagram to port, as fast as the socket takes them when rate (datagrams per second) is 0,
// then prints the first and last send times, the number of datagrams the kernel accepted and the CPU time used.
int Send(int32_t port, int rate, const Datagrams& datagrams) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 1;
    const int64_t cpuBefore = CpuTime(CLOCK_PROCESS_CPUTIME_ID);
    const int64_t first = Now();
    std::size_t next = 0;
    int sent = 0;
    while (next < datagrams.payloads.size()) {
        if (rate > 0) {
            // Keeps to the schedule of the given rate; a sender that fell behind catches up at once.
            const int64_t due = first + static_cast<int64_t>(next) * 1000000000 / rate;
            const timespec until{static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
        }
        iovec vectors[kSendBatch];
        mmsghdr messages[kSendBatch] = {};
        const unsigned batch =
            static_cast<unsigned>(std::min<std::size_t>(kSendBatch, datagrams.payloads.size() - next));
        for (unsigned i = 0; i < batch; ++i) {
            const std::string& payload = datagrams.payloads[next + i];
            vectors[i] = {const_cast<char*>(payload.data()), payload.size()};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int done = sendmmsg(fd, messages, batch, 0);
        if (done < 0) {
            if (errno == EINTR || errno == ENOBUFS || errno == EAGAIN) continue;
            break;
        }
        sent += done;
        next += static_cast<std::size_t>(done);
    }
    const int64_t last = Now();
    const int64_t cpu = CpuTime(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
    close(fd);
    std::printf("%lld %lld %d %lld\n", static_cast<long long>(first), static_cast<long long>(last), sent,
                static_cast<long long>(cpu));
    return 0;
}

// The kernel's counters of datagrams dropped on arrival because a receive buffer was full.
long long UdpReceiveBufferErrors() {
    std::ifstream snmp("/proc/net/snmp");
    std::string header;
    std::string values;
    std::string line;
    while (std::getline(snmp, line)) {
        if (line.rfind("Udp:", 0) != 0) continue;
        if (header.empty()) {
            header = line;
        } else {
            values = line;
            break;
        }
    }
    std::istringstream names(header);
    std::istringstream numbers(values);
    std::string name;
    std::string number;
    while (names >> name && numbers >> number) {
        if (name == "RcvbufErrors") return std::stoll(number);
    }
    return -1;
}

// The receive buffer of this process's UDP socket bound to port, in bytes as the kernel reports it (twice the
// requested size), or -1.
int ReceiveBufferOfBoundPort(int32_t port) {
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) return -1;
    int found = -1;
    while (const dirent* entry = readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in address{};
        socklen_t length = sizeof address;
        int type = 0;
        socklen_t typeLength = sizeof type;
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_DGRAM) continue;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET ||
            ntohs(address.sin_port) != port)
            continue;
        socklen_t sizeLength = sizeof found;
        getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &found, &sizeLength);
    }
    closedir(fds);
    return found;
}

// A TCP port on 127.0.0.1 that nothing listens on, so the run's one hub fails at once.
int32_t ClosedTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// Runs the event loop until done() holds or the deadline passes; returns done().
template <typename Done>
bool RunEventsUntil(Done done, std::chrono::milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    // Waits for events rather than spinning, which would take a core from the receiving threads; the timer bounds it.
    QTimer wake;
    wake.start(10);
    while (!done() && Clock::now() < end) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// Records the time of every tick of a 5 ms timer; the largest gap in a span is the longest stall of the loop there.
class StallMeter {
public:
    StallMeter() {
        m_ticks.reserve(100000);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_ticks.push_back(Now()); });
        m_timer.start();
    }
    int64_t LongestGap(int64_t from, int64_t to) const {
        int64_t longest = 0;
        for (std::size_t i = 1; i < m_ticks.size(); ++i) {
            if (m_ticks[i] < from || m_ticks[i - 1] > to) continue;
            longest = std::max(longest, m_ticks[i] - m_ticks[i - 1]);
        }
        return longest;
    }

private:
    QTimer m_timer;
    std::vector<int64_t> m_ticks;
};

struct SenderReport {
    int64_t firstSend = 0;
    int64_t lastSend = 0;
    int sent = -1;
    int64_t cpu = 0;  // the sender's CPU time while sending, kernel delivery on loopback included
};

// The sender process, started from this very program; its report arrives through a pipe.
class Sender {
public:
    Sender(int32_t port, int rate, std::string mode = kSendMode) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        m_readFd = fds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        std::string portText = std::to_string(port);
        std::string rateText = std::to_string(rate);
        std::string self = "/proc/self/exe";
        char* const argv[] = {self.data(), mode.data(), portText.data(), rateText.data(), nullptr};
        if (posix_spawn(&m_pid, self.c_str(), &actions, nullptr, argv, environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_notifier = std::make_unique<QSocketNotifier>(m_readFd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { Read(); });
    }
    ~Sender() {
        m_notifier.reset();
        if (m_readFd >= 0) close(m_readFd);
        if (m_pid > 0) waitpid(m_pid, nullptr, 0);
    }
    bool Finished() const { return m_finished; }
    const SenderReport& Report() const { return m_report; }

private:
    void Read() {
        char buffer[256];
        const ssize_t got = read(m_readFd, buffer, sizeof buffer);
        if (got > 0) {
            m_text.append(buffer, static_cast<std::size_t>(got));
            return;
        }
        m_notifier->setEnabled(false);
        long long first = 0;
        long long last = 0;
        long long cpu = 0;
        std::sscanf(m_text.c_str(), "%lld %lld %d %lld", &first, &last, &m_report.sent, &cpu);
        m_report.firstSend = first;
        m_report.lastSend = last;
        m_report.cpu = cpu;
        m_finished = true;
    }

    int m_readFd = -1;
    pid_t m_pid = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::string m_text;
    SenderReport m_report;
    bool m_finished = false;
};

// Counts rows whose nick is "r" and a number below results, each once; the rest are faults.
int DistinctRows(const ResultModel& model, int results) {
    std::vector<bool> seen(static_cast<std::size_t>(results));
    int distinct = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        const std::string_view user = model.Row(row).User;
        if (user.size() < 2 || user[0] != 'r') continue;
        const int number = std::atoi(std::string(user.substr(1)).c_str());
        if (number < 0 || number >= results || seen[static_cast<std::size_t>(number)]) continue;
        seen[static_cast<std::size_t>(number)] = true;
        ++distinct;
    }
    return distinct;
}

// The window after a search run over one hub that refuses connections: the run ends at once, the port stays bound.
struct Window {
    Window() {
        settings.Nick = "bench";
        settings.IP = "127.0.0.1";
        settings.ShareSizeBytes = "0";
        settings.Threads = 1;
        settings.SearchTimeout = 1;
        settings.MinUDPPort = FreeUdpPorts(2);
        settings.MaxUDPPort = settings.MinUDPPort + 1;
        WriteFile(dir.File("hublist.xml"), "<?xml version=\"1.0\"?><Hublist><Hubs><Hub Address=\"dchub://127.0.0.1:" +
                                               std::to_string(ClosedTcpPort()) + "\"/></Hubs></Hublist>");
        window = std::make_unique<MainWindow>(settings, pending, dir.Path());
        window->SetStartupReady();
        window->show();
    }
    bool StartRun() {
        if (!RunEventsUntil([&] { return window->HubCount() == 1; }, std::chrono::seconds(10))) return false;
        window->m_phraseEdit->setText(QStringLiteral("mp3"));
        window->OnSearchClicked();
        return RunEventsUntil([&] { return window->m_searchButton->text() == QStringLiteral("Search"); },
                              std::chrono::seconds(10));
    }

    AppSettings settings;
    std::string pending;
    TempDir dir;
    std::unique_ptr<MainWindow> window;
};

// When the last expected row was inserted and when the list was next painted after it; in how many passes of the
// event loop rows were inserted (each handler call is one) and how often the list was painted.
class RowWatch : public QObject {
public:
    RowWatch(ResultListView& view, int expected) : m_view(view), m_expected(expected) {
        connect(view.model(), &QAbstractItemModel::rowsInserted, this, [this] { RowsInserted(); });
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this, [this] { ++m_passes; });
        view.viewport()->installEventFilter(this);
    }
    int64_t AllInserted() const { return m_allInserted; }
    int64_t LastInsert() const { return m_lastInsert; }
    int64_t Painted() const { return m_painted; }
    int Batches() const { return m_batches; }
    int Paints() const { return m_paints; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Paint || m_lastInsert == 0) return false;
        ++m_paints;
        if (m_allInserted != 0 && m_painted == 0) m_painted = Now();
        return false;
    }

private:
    void RowsInserted() {
        m_lastInsert = Now();
        if (m_batchPass != m_passes) ++m_batches;
        m_batchPass = m_passes;
        if (m_view.model()->rowCount() == m_expected) m_allInserted = m_lastInsert;
    }

    ResultListView& m_view;
    int m_expected;
    int64_t m_allInserted = 0;
    int64_t m_lastInsert = 0;
    int64_t m_painted = 0;
    int64_t m_passes = 0;
    int64_t m_batchPass = -1;
    int m_batches = 0;
    int m_paints = 0;
};

// How long the window's m_fitTimer step (the Path column fit) takes: an event filter on the timer sees the tick before
// the window's slot runs, a slot connected after the window's runs after it.
class TimerStepMeter : public QObject {
public:
    explicit TimerStepMeter(QTimer& timer) {
        timer.installEventFilter(this);
        connect(&timer, &QTimer::timeout, this, [this] {
            const int64_t took = Now() - m_started;
            m_longest = std::max(m_longest, took);
            m_total += took;
        });
    }
    int64_t Longest() const { return m_longest; }
    int64_t Total() const { return m_total; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Timer) m_started = Now();
        return false;
    }

private:
    int64_t m_started = 0;
    int64_t m_longest = 0;
    int64_t m_total = 0;
};

struct WindowFigures {
    double shownPerSecond = 0;  // datagrams per second shown end to end, 0 when results were lost
    double sentPerSecond = 0;
    int lost = -1;  // results
    int64_t longestStall = 0;
};

// rate: the sender's, 0 = back to back.
WindowFigures MeasureWindow(const Datagrams& datagrams, int rate) {
    if (rate == 0) {
        std::printf("\n== %d datagrams back to back ==\n", kDatagrams);
    } else {
        std::printf("\n== %d datagrams at %d per second ==\n", kDatagrams, rate);
    }
    Window window;
    if (!window.StartRun()) {
        std::printf("the search run did not start and end\n");
        return {};
    }
    const int32_t port = window.window->CurrentUdpPort();
    std::printf("result port %d, receive buffer %d bytes (net.core.rmem_max caps plain SO_RCVBUF)\n", port,
                ReceiveBufferOfBoundPort(port));

    RowWatch watch(*window.window->m_resultList, datagrams.results);
    StallMeter stalls;
    TimerStepMeter fits(*window.window->m_fitTimer);
    const long long droppedBefore = UdpReceiveBufferErrors();
    const int64_t cpuBefore = CpuTime(CLOCK_PROCESS_CPUTIME_ID);
    const int64_t guiCpuBefore = CpuTime(CLOCK_THREAD_CPUTIME_ID);
    Sender sender(port, rate);
    // Done when every row is in and painted, or the sender has finished and no row came for two seconds.
    RunEventsUntil(
        [&] {
            if (watch.Painted() != 0) return true;
            return sender.Finished() && Now() - std::max(watch.LastInsert(), sender.Report().lastSend) > 2000000000;
        },
        std::chrono::seconds(120));
    const long long dropped = UdpReceiveBufferErrors() - droppedBefore;
    // The burst's last Path column fit comes with the next m_fitTimer tick: its stall counts too.
    RunEventsUntil([] { return false; }, std::chrono::milliseconds(600));
    const int64_t settled = Now();
    const int64_t guiCpu = CpuTime(CLOCK_THREAD_CPUTIME_ID) - guiCpuBefore;
    const int64_t cpu = CpuTime(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
    RunEventsUntil([&] { return sender.Finished(); }, std::chrono::seconds(10));

    const SenderReport& report = sender.Report();
    const MainWindow& mainWindow = *window.window;
    const int rows = mainWindow.m_resultList->model()->rowCount();
    std::printf("sent %d of %d datagrams holding %d results in %.3f s (%.0f datagrams/s)\n", report.sent, kDatagrams,
                datagrams.results, Seconds(report.lastSend - report.firstSend),
                report.sent / Seconds(report.lastSend - report.firstSend));
    std::printf("shown: ResultCount %d, rows %d, distinct %d, %s; lost %d; dropped by the kernel (RcvbufErrors) %lld\n",
                mainWindow.ResultCount(), rows, DistinctRows(*mainWindow.m_resultList->Model(), datagrams.results),
                mainWindow.m_resultCountLabel->text().toLatin1().constData(), datagrams.results - rows, dropped);
    const double received = static_cast<double>(kDatagrams) * rows / datagrams.results;
    std::printf(
        "CPU per datagram received: GUI thread %.2f us, receiving thread and the rest of the process %.2f us; "
        "sender %.2f us per datagram sent\n",
        Seconds(guiCpu) * 1e6 / received, Seconds(cpu - guiCpu) * 1e6 / received,
        Seconds(report.cpu) * 1e6 / report.sent);
    std::printf("rows inserted in %d event-loop passes (%.0f datagrams each), list paints %d\n", watch.Batches(),
                received / std::max(1, watch.Batches()), watch.Paints());
    const bool complete = watch.AllInserted() != 0;
    const int64_t end = complete ? watch.Painted() : watch.LastInsert();
    const double seconds = Seconds(end - report.firstSend);
    std::printf("first send to last row %s %.3f s: %.0f datagrams/s, %.0f results/s%s\n",
                complete ? "painted" : "inserted", seconds, received / seconds, rows / seconds,
                complete ? "" : " (of those received)");
    std::printf(
        "longest event-loop stall from the first send to 0.6 s after the last row: %.1f ms; m_fitTimer (Path column "
        "fit) "
        "longest %.1f ms, "
        "%.1f ms in all\n",
        Seconds(stalls.LongestGap(report.firstSend, settled)) * 1e3, Seconds(fits.Longest()) * 1e3,
        Seconds(fits.Total()) * 1e3);
    WindowFigures figures;
    figures.shownPerSecond = complete ? kDatagrams / seconds : 0;
    figures.sentPerSecond = report.sent / Seconds(report.lastSend - report.firstSend);
    figures.lost = datagrams.results - rows;
    figures.longestStall = stalls.LongestGap(report.firstSend, settled);
    return figures;
}

void MeasureFlood() {
    std::printf("\n== flood: %d full datagrams of the shortest results back to back ==\n", kFloodDatagrams);
    Window window;
    if (!window.StartRun()) {
        std::printf("the search run did not start and end\n");
        return;
    }
    const MainWindow& mainWindow = *window.window;
    StallMeter stalls;
    int lastRows = 0;
    int64_t lastChange = Now();
    Sender sender(mainWindow.CurrentUdpPort(), 0, kFloodMode);
    // Done when the sender has finished and no row came for two seconds.
    RunEventsUntil(
        [&] {
            if (mainWindow.ResultCount() != lastRows) {
                lastRows = mainWindow.ResultCount();
                lastChange = Now();
            }
            return sender.Finished() && Now() - lastChange > 2000000000;
        },
        std::chrono::seconds(120));
    const SenderReport& report = sender.Report();
    std::printf("sent %d datagrams, rows kept %d (shown %d) in %.3f s from the first send; %s\n", report.sent,
                mainWindow.ResultCount(), mainWindow.m_resultList->model()->rowCount(),
                Seconds(lastChange - report.firstSend), mainWindow.m_resultCountLabel->text().toLatin1().constData());
    std::printf("longest event-loop stall from the first send to the last row: %.1f ms\n",
                Seconds(stalls.LongestGap(report.firstSend, lastChange)) * 1e3);
}

// The same datagrams decoded and appended to a shown list on one thread, as the window's handler does.
double MeasureBaseline(const Datagrams& datagrams) {
    ResultListView view;
    view.resize(916, 521);
    view.StopFillingPathColumn();
    view.show();
    RunEventsUntil([] { return false; }, std::chrono::milliseconds(100));
    const int64_t start = Now();
    for (const std::string& payload : datagrams.payloads) {
        DecodeDatagram(payload, {}, [&view](const SearchResult& result) {
            view.Append(result);
            return true;
        });
    }
    QCoreApplication::processEvents();
    const double seconds = Seconds(Now() - start);
    std::printf("baseline, decode and append on one thread: %d rows in %.3f s, %.0f datagrams/s\n",
                view.model()->rowCount(), seconds, kDatagrams / seconds);
    return kDatagrams / seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == kSendMode)
        return Send(std::atoi(argv[2]), std::atoi(argv[3]), BuildDatagrams(kDatagrams));
    if (argc == 4 && std::string(argv[1]) == kFloodMode)
        return Send(std::atoi(argv[2]), std::atoi(argv[3]), BuildFloodDatagrams());
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    SetMessageBoxHook([](const std::string& text, MessageIcon) { std::printf("message box: %s\n", text.c_str()); });

    const Datagrams datagrams = BuildDatagrams(kDatagrams);
    const WindowFigures backToBack = MeasureWindow(datagrams, 0);
    std::vector<WindowFigures> steps;
    for (const int rate : kRateSteps) steps.push_back(MeasureWindow(datagrams, rate));
    std::printf("\n");
    const double baseline = MeasureBaseline(datagrams);

    std::printf("\n%-14s %14s %13s %11s %14s  %s\n", "rate (dgram/s)", "sent (dgram/s)", "results lost", "stall (ms)",
                "shown/baseline", "held");
    std::printf("%-14s %14.0f %13d %11.1f %14.2f\n", "back to back", backToBack.sentPerSecond, backToBack.lost,
                Seconds(backToBack.longestStall) * 1e3, backToBack.shownPerSecond / baseline);
    int highestHeld = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const WindowFigures& step = steps[i];
        const int rate = kRateSteps[i];
        const bool senderKept = step.sentPerSecond >= kSenderShortfall * rate;
        const bool held = senderKept && step.lost == 0 && step.longestStall <= kLongestStallHeld;
        if (held) highestHeld = std::max(highestHeld, rate);
        std::printf("%-14d %14.0f %13d %11.1f %14.2f  %s\n", rate, step.sentPerSecond, step.lost,
                    Seconds(step.longestStall) * 1e3, step.shownPerSecond / baseline,
                    held ? "yes" : (senderKept ? "no" : "no (the sender fell short of the rate)"));
    }
    std::printf("highest rate held with 0 lost and no stall above %.0f ms: %d datagrams/s (goal 400000)\n",
                Seconds(kLongestStallHeld) * 1e3, highestHeld);
    MeasureFlood();
    return 0;
}
