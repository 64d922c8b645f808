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
// datagrams waiting in the socket, and those arriving within a few milliseconds after, go over in arrival order, in
// batches of at most handOverBytes so that no batch keeps the GUI thread long, while the receiving thread waits. A
// reader may first work on each batch on the receiving thread, so that the GUI thread only takes what it made.
// Datagrams longer than MaxDatagramSize are dropped. Every method runs on the GUI thread.
class UdpListener {
public:
    // The handler runs on the GUI thread, the reader on the receiving thread just before the same batch goes over;
    // the views are valid only during the call. What the reader makes for the handler is the handler's until it
    // returns: the receiving thread waits meanwhile, and no reader call comes after Deactivate returns.
    using Handler = std::function<void(const std::vector<std::string_view>& datagrams)>;
    static constexpr std::size_t MaxDatagramSize = 8192;
    // Decoding this much costs a thread some tens of milliseconds at most, whatever the datagrams hold.
    static constexpr std::size_t DefaultHandOverBytes = std::size_t{256} * 1024;

    // handOverBytes: at least MaxDatagramSize. reader: none when empty.
    UdpListener(GuiThread& gui, Handler handler, std::size_t handOverBytes = DefaultHandOverBytes, Handler reader = {});
    // Joins the receiving threads: destroy it on the GUI thread only after the GuiThread has been closed.
    ~UdpListener();
    UdpListener(const UdpListener&) = delete;
    UdpListener& operator=(const UdpListener&) = delete;

    // Binds ip (dotted text) and port (0: one the system chooses) and starts receiving; false when they cannot be
    // bound. Deactivates first.
    bool Activate(const std::string& ip, int32_t port);
    // Closes the socket at once; no handler call happens after it returns, even when called from the handler.
    // Never waits for the GUI thread.
    void Deactivate();
    bool Active() const { return m_session != nullptr; }
    // The port bound by the last successful Activate; 0 while inactive.
    int32_t BoundPort() const { return m_boundPort; }

    struct Session;

private:
    void ReapFinished();

    GuiThread& m_gui;
    Handler m_handler;
    Handler m_reader;
    std::size_t m_handOverBytes;
    std::shared_ptr<Session> m_session;
    std::thread m_thread;
    int32_t m_boundPort = 0;
    // Threads that were waiting for the GUI thread when deactivated; they end as soon as the step has run.
    std::vector<std::pair<std::shared_ptr<Session>, std::thread>> m_retiring;
};
