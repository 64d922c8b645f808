#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/sys/gui_thread.h"

// Stands in for the GUI thread in engine tests: one thread of its own runs the steps in order.
// Close() refuses further steps and releases waiters, as the real one does at shutdown.
class FakeGuiThread final : public GuiThread {
public:
    FakeGuiThread();
    ~FakeGuiThread() override;

    bool RunAndWait(const std::function<void()>& step) override;
    void Close();

private:
    void Loop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    bool m_closed = false;
    bool m_quit = false;
    bool m_running = false;
    std::thread m_thread;
};
