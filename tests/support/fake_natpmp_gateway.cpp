#include "support/fake_natpmp_gateway.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

constexpr unsigned char AddressRequest = 0;
constexpr unsigned char UdpMappingRequest = 1;
constexpr unsigned char ResponseFlag = 128;
constexpr uint32_t Epoch = 1000;

void Put16(std::string& out, uint16_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value & 0xff);
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value >> 16));
    Put16(out, static_cast<uint16_t>(value & 0xffff));
}

uint16_t Get16(const unsigned char* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

}  // namespace

FakeNatPmpGateway::FakeNatPmpGateway(Options options) : m_options(std::move(options)), m_held(m_options.held) {
    m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    m_wake = eventfd(0, EFD_CLOEXEC);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || m_wake < 0 || bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("FakeNatPmpGateway: cannot bind 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

FakeNatPmpGateway::~FakeNatPmpGateway() {
    const uint64_t one = 1;
    (void)!write(m_wake, &one, sizeof one);
    m_thread.join();
    close(m_socket);
    close(m_wake);
}

std::string FakeNatPmpGateway::Address() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

std::map<uint16_t, FakeNatPmpGateway::Mapping> FakeNatPmpGateway::Mappings() const {
    std::lock_guard lock(m_mutex);
    return m_mappings;
}

int FakeNatPmpGateway::RequestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool FakeNatPmpGateway::WaitForRequests(int count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(m_mutex);
    return m_requestCame.wait_for(lock, limit, [&] { return m_requests >= count; });
}

void FakeNatPmpGateway::Serve() {
    while (true) {
        pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if ((fds[1].revents & POLLIN) != 0) return;
        unsigned char request[64];
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const ssize_t size =
            recvfrom(m_socket, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&peer), &length);
        if (size <= 0) continue;
        if (!MayAnswer(std::string(reinterpret_cast<const char*>(request), static_cast<std::size_t>(size)), peer))
            continue;
        const std::string answer = Answer(request, static_cast<std::size_t>(size));
        if (!answer.empty())
            sendto(m_socket, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr*>(&peer), length);
    }
}

bool FakeNatPmpGateway::MayAnswer(const std::string& request, const sockaddr_in& peer) {
    std::lock_guard lock(m_mutex);
    if (!m_held) return true;
    ++m_requests;
    m_requestCame.notify_all();
    m_heldRequest = request;
    m_heldPeer = peer;
    return false;
}

void FakeNatPmpGateway::Release() {
    std::string request;
    sockaddr_in peer{};
    {
        std::lock_guard lock(m_mutex);
        m_held = false;
        request.swap(m_heldRequest);
        peer = m_heldPeer;
    }
    if (request.empty()) return;
    // Answered here rather than on the next resend, which may be seconds away.
    const std::string answer = Answer(reinterpret_cast<const unsigned char*>(request.data()), request.size());
    if (!answer.empty())
        sendto(m_socket, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
}

std::string FakeNatPmpGateway::Answer(const unsigned char* request, std::size_t size) {
    std::lock_guard lock(m_mutex);
    ++m_requests;
    m_requestCame.notify_all();
    if (m_options.silent || size < 2 || request[0] != 0) return "";
    std::string answer;
    answer += '\0';
    answer += static_cast<char>(ResponseFlag | request[1]);
    if (request[1] == AddressRequest) {
        Put16(answer, 0);
        Put32(answer, Epoch);
        in_addr external{};
        inet_pton(AF_INET, m_options.externalAddress.c_str(), &external);
        answer.append(reinterpret_cast<const char*>(&external), sizeof external);
        return answer;
    }
    if (request[1] != UdpMappingRequest || size < 12) return "";
    const uint16_t internal = Get16(request + 4);
    uint16_t external = Get16(request + 6);
    const uint32_t lifetime = static_cast<uint32_t>(Get16(request + 8)) << 16 | Get16(request + 10);
    Put16(answer, m_options.mappingResult);
    Put32(answer, Epoch);
    Put16(answer, internal);
    if (m_options.mappingResult != 0 || lifetime == 0) {
        if (m_options.mappingResult == 0) m_mappings.erase(internal);
        Put16(answer, 0);
        Put32(answer, 0);
        return answer;
    }
    while (m_options.takenPorts.count(external) != 0) ++external;
    m_mappings[internal] = {external, lifetime};
    Put16(answer, external);
    Put32(answer, lifetime);
    return answer;
}
