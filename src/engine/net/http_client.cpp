#include "engine/net/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

namespace {

constexpr char kUserAgent[] = "Hubsift/" HUBSIFT_VERSION;

void InitCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsSuccess(long status) {
    return status >= 200 && status <= 299;
}

}  // namespace

// The state of one Get, shared with libcurl's callbacks on the calling thread.
struct HttpClient::Transfer {
    CURL* easy = nullptr;
    const HttpTransferEvents* events = nullptr;
    const std::atomic<bool>* cancelled = nullptr;
    std::string body;
    std::string error;
    bool begun = false;

    bool Refuse(std::string why) {
        error = std::move(why);
        return false;
    }
    bool HeadersEnded();
    bool Append(const char* data, std::size_t size);
};

bool HttpClient::Transfer::HeadersEnded() {
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 100 && status <= 199) return true;
    if (!IsSuccess(status)) return Refuse("HTTP status " + std::to_string(status));
    curl_off_t announced = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced > static_cast<curl_off_t>(kMaxBodySize)) return Refuse("response body too large");
    if (announced > 0) body.reserve(static_cast<std::size_t>(announced));
    begun = true;
    if (events->Begins) events->Begins(std::max<curl_off_t>(announced, 0));
    return true;
}

bool HttpClient::Transfer::Append(const char* data, std::size_t size) {
    if (*cancelled) return Refuse("cancelled");
    if (size > kMaxBodySize - body.size()) return Refuse("response body too large");
    body.append(data, size);
    if (events->Progresses) events->Progresses(static_cast<int64_t>(body.size()));
    return true;
}

std::size_t HttpClient::OnHeader(char* data, std::size_t size, std::size_t count, void* transfer) {
    auto* t = static_cast<Transfer*>(transfer);
    const std::size_t length = size * count;
    const bool blankLine = (length == 2 && data[0] == '\r') || (length == 1 && data[0] == '\n');
    if (blankLine && !t->HeadersEnded()) return 0;
    return length;
}

std::size_t HttpClient::OnBody(char* data, std::size_t size, std::size_t count, void* transfer) {
    const std::size_t length = size * count;
    return static_cast<Transfer*>(transfer)->Append(data, length) ? length : 0;
}

HttpClient::HttpClient() {
    InitCurl();
    m_multi = curl_multi_init();
}

HttpClient::~HttpClient() {
    if (m_multi != nullptr) curl_multi_cleanup(m_multi);
}

void HttpClient::Cancel() {
    m_cancelled = true;
    if (m_multi != nullptr) curl_multi_wakeup(m_multi);
}

HttpGetResult HttpClient::Get(const std::string& url, const HttpTransferEvents& events) {
    Transfer t;
    t.events = &events;
    t.cancelled = &m_cancelled;
    t.easy = curl_easy_init();
    if (t.easy == nullptr || m_multi == nullptr) {
        if (t.easy != nullptr) curl_easy_cleanup(t.easy);
        return {false, {}, 0, "libcurl unavailable"};
    }
    char curlError[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(t.easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(t.easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(t.easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(t.easy, CURLOPT_PROXY, "");
    curl_easy_setopt(t.easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(t.easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(t.easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(t.easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(t.easy, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(t.easy, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(m_limits.lowSpeedBytesPerSecond));
    curl_easy_setopt(t.easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(m_limits.lowSpeedWindow.count()));
    curl_easy_setopt(t.easy, CURLOPT_TIMEOUT_MS, static_cast<long>(m_limits.overall.count()));
    curl_easy_setopt(t.easy, CURLOPT_HEADERFUNCTION, &HttpClient::OnHeader);
    curl_easy_setopt(t.easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(t.easy, CURLOPT_WRITEFUNCTION, &HttpClient::OnBody);
    curl_easy_setopt(t.easy, CURLOPT_WRITEDATA, &t);
    curl_multi_add_handle(m_multi, t.easy);

    // libcurl enforces the limits; this loop only wakes at once on Cancel.
    CURLcode outcome = CURLE_OK;
    bool finished = false;
    while (!finished) {
        int running = 0;
        if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
            t.error = "libcurl failed";
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(m_multi, &left))
                if (msg->msg == CURLMSG_DONE) outcome = msg->data.result;
            finished = true;
            break;
        }
        if (m_cancelled) {
            t.error = "cancelled";
            break;
        }
        curl_multi_poll(m_multi, nullptr, 0, 1000, nullptr);
    }
    curl_multi_remove_handle(m_multi, t.easy);
    long status = 0;
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(t.easy);
    if (t.begun && events.Ends) events.Ends();

    HttpGetResult result;
    result.received = static_cast<int64_t>(t.body.size());
    if (finished && outcome == CURLE_OK && IsSuccess(status)) {
        result.ok = true;
        result.body = std::move(t.body);
    } else if (t.error.empty()) {
        result.error = finished && outcome == CURLE_OK ? "HTTP status " + std::to_string(status)
                       : curlError[0] != '\0'          ? std::string(curlError)
                                                       : std::string(curl_easy_strerror(outcome));
    } else {
        result.error = std::move(t.error);
    }
    return result;
}
