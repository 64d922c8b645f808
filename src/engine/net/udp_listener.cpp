#include "engine/net/udp_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

namespace {

constexpr unsigned BatchSlots = 256;             // datagrams per recvmmsg call
constexpr std::size_t MaxBatchDatagrams = 4096;  // handed over at most in one step
constexpr int StopCheckMs = 1000;
constexpr std::chrono::milliseconds GatherTime{5};  // a hand-over waits this long at most for more datagrams
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;

}  // namespace

// What the receiving thread shares with the listener; it outlives a listener thread that is still waiting for the
// GUI thread when deactivated.
struct UdpListener::Session {
    ~Session() {
        if (socketFd >= 0) close(socketFd);
        if (stopFd >= 0) close(stopFd);
    }

    std::mutex lock;
    int socketFd = -1;  // owned by the receiving thread, except while it waits for the GUI thread
    int stopFd = -1;
    bool stopping = false;
    bool handing = false;  // the receiving thread waits in RunAndWait and does not touch socketFd
    std::atomic<bool> finished{false};
};

namespace {

// Receives the waiting datagrams into buffers, appending the views of the kept ones, until MaxBatchDatagrams have been
// received since the last Reset.
class BatchReceiver {
public:
    void Reset(std::vector<std::string_view>& datagrams) {
        datagrams.clear();
        m_used = 0;
    }
    bool Full() const { return m_used >= MaxBatchDatagrams; }
    // Returns the bytes of the datagrams kept.
    std::size_t Receive(int socketFd, std::vector<std::string_view>& datagrams) {
        std::size_t bytes = 0;
        while (!Full()) {
            const std::size_t chunk = m_used / BatchSlots;
            const auto first = static_cast<unsigned>(m_used % BatchSlots);
            const unsigned slots = BatchSlots - first;
            if (m_chunks.size() <= chunk) m_chunks.emplace_back(BatchSlots * UdpListener::MaxDatagramSize);
            char* base = m_chunks[chunk].data() + std::size_t{first} * UdpListener::MaxDatagramSize;
            iovec vectors[BatchSlots];
            mmsghdr messages[BatchSlots] = {};
            for (unsigned i = 0; i < slots; ++i) {
                vectors[i] = {base + i * UdpListener::MaxDatagramSize, UdpListener::MaxDatagramSize};
                messages[i].msg_hdr.msg_iov = &vectors[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            const int count = recvmmsg(socketFd, messages, slots, MSG_DONTWAIT, nullptr);
            if (count <= 0) return bytes;
            m_used += static_cast<std::size_t>(count);
            for (int i = 0; i < count; ++i) {
                // A datagram that did not fit is cut off by the kernel; drop it whole.
                if ((messages[i].msg_hdr.msg_flags & MSG_TRUNC) != 0) continue;
                datagrams.emplace_back(base + i * UdpListener::MaxDatagramSize, messages[i].msg_len);
                bytes += messages[i].msg_len;
            }
            if (static_cast<unsigned>(count) < slots) return bytes;
        }
        return bytes;
    }

private:
    std::vector<std::vector<char>> m_chunks;
    std::size_t m_used = 0;  // slots filled since Reset
};

// Runs handler on the GUI thread with one batch; false when the listener stops or the GUI thread has closed.
bool HandOver(UdpListener::Session& session, GuiThread& gui, const UdpListener::Handler& handler,
              const std::vector<std::string_view>& batch) {
    {
        std::lock_guard guard(session.lock);
        if (session.stopping) return false;
        session.handing = true;
    }
    const bool delivered = gui.RunAndWait([&] {
        {
            std::lock_guard guard(session.lock);
            if (session.stopping) return;
        }
        handler(batch);
    });
    std::lock_guard guard(session.lock);
    session.handing = false;
    return delivered && !session.stopping;
}

void ReceiveLoop(const std::shared_ptr<UdpListener::Session>& session, GuiThread& gui,
                 const UdpListener::Handler& reader, const UdpListener::Handler& handler, std::size_t handOverBytes) {
    BatchReceiver receiver;
    std::vector<std::string_view> datagrams;
    std::vector<std::string_view> batch;
    const int socketFd = session->socketFd;
    pollfd fds[2] = {{socketFd, POLLIN, 0}, {session->stopFd, POLLIN, 0}};
    while (true) {
        const int ready = poll(fds, 2, StopCheckMs);
        if (ready < 0 && errno != EINTR) break;
        {
            std::lock_guard guard(session->lock);
            if (session->stopping) break;
        }
        if (ready <= 0 || fds[0].revents == 0) continue;
        receiver.Reset(datagrams);
        std::size_t received = receiver.Receive(socketFd, datagrams);
        // What arrives shortly after joins, so that a steady stream goes over in a few large hand-overs rather than
        // in many small ones, each of which wakes the GUI thread.
        const auto gatherEnd = std::chrono::steady_clock::now() + GatherTime;
        while (!receiver.Full() && received < handOverBytes) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(gatherEnd - std::chrono::steady_clock::now()).count();
            if (left <= 0 || poll(fds, 2, static_cast<int>(left)) <= 0 || fds[0].revents == 0) break;
            received += receiver.Receive(socketFd, datagrams);
        }
        bool open = true;
        for (std::size_t next = 0; open && next < datagrams.size();) {
            batch.clear();
            std::size_t bytes = 0;
            for (; next < datagrams.size() && bytes + datagrams[next].size() <= handOverBytes; ++next) {
                bytes += datagrams[next].size();
                batch.push_back(datagrams[next]);
            }
            if (reader) reader(batch);
            open = HandOver(*session, gui, handler, batch);
        }
        if (!open) break;
    }
    session->finished = true;
}

}  // namespace

UdpListener::UdpListener(GuiThread& gui, Handler handler, std::size_t handOverBytes, Handler reader)
    : m_gui(gui),
      m_handler(std::move(handler)),
      m_reader(std::move(reader)),
      m_handOverBytes(std::max(handOverBytes, MaxDatagramSize)) {}

UdpListener::~UdpListener() {
    Deactivate();
    for (auto& [session, thread] : m_retiring) thread.join();
}

bool UdpListener::Activate(const std::string& ip, int32_t port) {
    Deactivate();
    ReapFinished();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (port < 0 || port > 65535 || inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) return false;
    address.sin_port = htons(static_cast<uint16_t>(port));

    auto session = std::make_shared<Session>();
    session->socketFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    session->stopFd = eventfd(0, EFD_CLOEXEC);
    if (session->socketFd < 0 || session->stopFd < 0) return false;
    // Large bursts of results arrive while the GUI thread is busy; root may exceed the system's limit.
    const int size = ReceiveBufferBytes;
    if (setsockopt(session->socketFd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        setsockopt(session->socketFd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    if (bind(session->socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return false;
    socklen_t length = sizeof address;
    if (getsockname(session->socketFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    m_boundPort = ntohs(address.sin_port);

    m_thread =
        std::thread(ReceiveLoop, session, std::ref(m_gui), std::cref(m_reader), std::cref(m_handler), m_handOverBytes);
    m_session = std::move(session);
    return true;
}

void UdpListener::Deactivate() {
    m_boundPort = 0;
    if (!m_session) return;
    bool handing = false;
    {
        std::lock_guard guard(m_session->lock);
        m_session->stopping = true;
        handing = m_session->handing;
        if (handing) {
            // The thread waits for this very GUI thread: close the port now, let the thread go when the step runs.
            close(m_session->socketFd);
            m_session->socketFd = -1;
        }
    }
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(m_session->stopFd, &one, sizeof one);
    if (handing) {
        m_retiring.emplace_back(std::move(m_session), std::move(m_thread));
    } else {
        // It will never start waiting for the GUI thread now, so joining is quick.
        m_thread.join();
    }
    m_session.reset();
}

void UdpListener::ReapFinished() {
    std::erase_if(m_retiring, [](auto& retiring) {
        if (!retiring.first->finished) return false;
        retiring.second.join();
        return true;
    });
}
