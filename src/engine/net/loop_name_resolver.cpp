#include "engine/net/loop_name_resolver.h"

#include <sys/epoll.h>

#include <chrono>

LoopNameResolver::LoopNameResolver(NetworkLoop& loop, std::string nameServers)
    : m_loop(loop), m_nameServers(std::move(nameServers)) {}

LoopNameResolver::~LoopNameResolver() {
    *m_alive = false;
    m_loop.Cancel(m_retry);
    if (m_channel != nullptr) ares_destroy(m_channel);
}

void LoopNameResolver::Resolve(const std::string& host, AddressFound done) {
    if (IsInvalidName(host)) {
        done(LookupStatus::NotFound, 0);
        return;
    }
    if (m_channel == nullptr) {
        ares_options options{};
        options.sock_state_cb = &LoopNameResolver::OnSocketState;
        options.sock_state_cb_data = this;
        m_channel = OpenLookupChannel(m_nameServers, &options, ARES_OPT_SOCK_STATE_CB);
    }
    if (m_channel == nullptr) {
        done(LookupStatus::Failed, 0);
        return;
    }
    StartAddressLookup(m_channel, host,
                       [alive = m_alive, done = std::move(done)](LookupStatus status, uint32_t address) {
                           if (*alive) done(status, address);
                       });
    ScheduleRetry();
}

void LoopNameResolver::OnSocketState(void* self, ares_socket_t socket, int readable, int writable) {
    auto* resolver = static_cast<LoopNameResolver*>(self);
    NetworkLoop& loop = resolver->m_loop;
    if (readable == 0 && writable == 0) {
        loop.Forget(socket);
        return;
    }
    const uint32_t events = (readable != 0 ? EPOLLIN : 0U) | (writable != 0 ? EPOLLOUT : 0U);
    if (!loop.Watch(socket, events, [resolver, socket](uint32_t ready) {
            const bool in = (ready & (EPOLLIN | EPOLLERR | EPOLLHUP)) != 0;
            const bool out = (ready & EPOLLOUT) != 0;
            resolver->Process(in ? socket : ARES_SOCKET_BAD, out ? socket : ARES_SOCKET_BAD);
        }))
        loop.Change(socket, events);
}

void LoopNameResolver::Process(ares_socket_t readable, ares_socket_t writable) {
    ares_process_fd(m_channel, readable, writable);
    ScheduleRetry();
}

void LoopNameResolver::ScheduleRetry() {
    m_loop.Cancel(m_retry);
    m_retry = 0;
    timeval buffer{};
    const timeval* wait = ares_timeout(m_channel, nullptr, &buffer);
    if (wait == nullptr) return;
    const auto after = std::chrono::seconds(wait->tv_sec) + std::chrono::microseconds(wait->tv_usec);
    m_retry = m_loop.RunAt(NetworkLoop::Clock::now() + after, [this] { Process(ARES_SOCKET_BAD, ARES_SOCKET_BAD); });
}
