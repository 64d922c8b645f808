#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// libcurl's handle, held opaque so that users of the client need no libcurl headers.
using CURLM = void;

// Notifications of one transfer, raised on the thread that calls Get. Ends follows Begins on every outcome.
struct HttpTransferEvents {
    std::function<void(int64_t announcedSize)> Begins;  // 0 when the server announces no size
    std::function<void(int64_t bytesSoFar)> Progresses;
    std::function<void()> Ends;
};

// How long a server may take. A transfer fails when it moves fewer than lowSpeedBytesPerSecond on average over a
// whole lowSpeedWindow (so a server that trickles bytes, or sends nothing but "100 Continue", cannot hold it), or
// when it is not done within overall.
struct HttpLimits {
    int64_t lowSpeedBytesPerSecond = 512;
    std::chrono::seconds lowSpeedWindow{30};
    std::chrono::milliseconds overall{std::chrono::minutes(10)};
};

struct HttpGetResult {
    bool ok = false;
    std::string body;
    int64_t received = 0;  // body bytes that came, whether or not the transfer succeeded
    std::string error;     // why it failed, in plain words, for the log and the user's details
};

// One GET at a time into memory over http or https (certificates verified). Redirects are not followed: any status
// outside 2xx is a failure, as is a body above kMaxBodySize or a server slower than the limits allow.
class HttpClient {
public:
    static constexpr std::size_t kMaxBodySize = 64u << 20;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void SetLimits(const HttpLimits& limits) { m_limits = limits; }
    // Blocks until the body is in memory or the transfer failed.
    HttpGetResult Get(const std::string& url, const HttpTransferEvents& events);
    // From any thread: makes a running Get fail at once, and every later one.
    void Cancel();

private:
    struct Transfer;
    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* transfer);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* transfer);

    HttpLimits m_limits;
    std::atomic<bool> m_cancelled{false};
    CURLM* m_multi = nullptr;
};
