#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "event_loop.h"

// A minimal HTTP/1.0-style server that serves one document at one path (GET and HEAD) and 404 for anything else,
// closing each connection after its answer. Loop thread only; must be destroyed before the loop.
class HttpServer {
public:
    // Takes ownership of listenFd, a listening socket.
    HttpServer(EventLoop& loop, int listenFd, std::string path, std::string contentType, std::string body);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    uint16_t Port() const;

private:
    struct Client {
        int fd = -1;
        std::string request;
        std::string response;
        std::size_t sent = 0;
    };

    void Accept();
    void OnClientEvents(int fd, uint32_t events);
    std::string Respond(const std::string& request) const;
    void Drop(int fd);

    // A request head longer than this is refused by closing the connection.
    static constexpr std::size_t MaxRequest = 16384;

    EventLoop& m_loop;
    int m_listenFd;
    std::string m_path;
    std::string m_contentType;
    std::string m_body;
    std::unordered_map<int, Client> m_clients;
};
