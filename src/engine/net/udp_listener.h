#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/sys/gui_thread.h"

// Receives datagrams on one IPv4 address and port on a thread of its own and hands them to the GUI thread: the
// datagrams waiting in the socket go over in arrival order, in batches of at most handOverBytes so that no batch
// keeps the GUI thread long, while the receiving thread waits. Datagrams longer than MaxDatagramSize are dropped.
// Every method runs on the GUI thread.
class UdpListener {
public:
    // Runs on the GUI thread; the views are valid only during the call.
    using Handler = std::function<void(const std::vector<std::string_view>& datagrams)>;
    static constexpr std::size_t MaxDatagramSize = 8192;
    // Decoding this much costs the GUI thread some tens of milliseconds at most, whatever the datagrams hold.
    static constexpr std::size_t DefaultHandOverBytes = 256 * 1024;

    // handOverBytes: at least MaxDatagramSize.
    UdpListener(GuiThread& gui, Handler handler, std::size_t handOverBytes = DefaultHandOverBytes);
    // Joins the receiving threads: destroy it on the GUI thread only after the GuiThread has been closed.
    ~UdpListener();
    UdpListener(const UdpListener&) = delete;
    UdpListener& operator=(const UdpListener&) = delete;

    // Binds ip (dotted text) and port and starts receiving; false when they cannot be bound. Deactivates first.
    bool Activate(const std::string& ip, int32_t port);
    // Closes the socket at once; no handler call happens after it returns, even when called from the handler.
    // Never waits for the GUI thread.
    void Deactivate();
    bool Active() const { return m_session != nullptr; }

    struct Session;

private:
    void ReapFinished();

    GuiThread& m_gui;
    Handler m_handler;
    std::size_t m_handOverBytes;
    std::shared_ptr<Session> m_session;
    std::thread m_thread;
    // Threads that were waiting for the GUI thread when deactivated; they end as soon as the step has run.
    std::vector<std::pair<std::shared_ptr<Session>, std::thread>> m_retiring;
};
