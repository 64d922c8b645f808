#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/loopback_listener.h"

// What the responder does with each connection.
struct HttpReply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;  // Content-Length is added unless named here or off
    std::string body;
    // Sends only this many body bytes, then keeps the connection open without a word until the responder stops.
    std::size_t stallAfter = SIZE_MAX;
    // Reads the request and closes without any reply.
    bool closeWithoutReply = false;
    // False: no Content-Length, so only the closed connection ends the body.
    bool announcesLength = true;
    // Above zero: sends the body one byte per interval; with endlessContinue, sends "100 Continue" heads at this
    // interval for as long as the client stays, and never the reply.
    std::chrono::milliseconds trickleInterval{0};
    bool endlessContinue = false;
};

// Picks the reply to a request (head and body, whole); runs on the responder's thread.
using HttpHandler = std::function<HttpReply(const std::string& request)>;

// A scripted HTTP/1.1 server on 127.0.0.1 (port 0) answering every connection with the same reply, or with the
// handler's, one connection at a time, on a thread of its own. Stops and joins on destruction.
class HttpResponder {
public:
    explicit HttpResponder(HttpReply reply);
    explicit HttpResponder(HttpHandler handler);
    ~HttpResponder();
    HttpResponder(const HttpResponder&) = delete;
    HttpResponder& operator=(const HttpResponder&) = delete;

    std::uint16_t Port() const { return m_listener.Port(); }
    std::string Url(const std::string& path = "/hublist.xml.bz2") const;
    // Requests received so far: heads and bodies, whole.
    std::vector<std::string> Requests() const;

private:
    HttpResponder(HttpReply reply, HttpHandler handler);
    void Serve();
    void Answer(int client);
    // Waits until fd is readable or the responder stops; false on stop.
    bool WaitReadable(int fd) const;
    // Waits for interval unless the responder stops or the client goes first; false then.
    bool Pause(int client, std::chrono::milliseconds interval) const;
    // Sends bytes one per trickle interval, then the rest of the reply.
    void Trickle(int client, const std::string& head, const HttpReply& reply);

    const HttpReply m_reply;
    const HttpHandler m_handler;  // when set, picks the reply instead
    LoopbackListener m_listener;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};
