#include "support/fake_gui_thread.h"

#include <memory>

FakeGuiThread::FakeGuiThread() : m_thread([this] { Loop(); }) {}

FakeGuiThread::~FakeGuiThread() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool FakeGuiThread::RunAndWait(const std::function<void()>& step) {
    auto done = std::make_shared<bool>(false);
    std::unique_lock lock(m_mutex);
    if (m_closed) return false;
    m_tasks.push_back([this, done, &step] {
        step();
        std::lock_guard inner(m_mutex);
        *done = true;
        m_changed.notify_all();
    });
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return *done || m_closed; });
    return *done;
}

void FakeGuiThread::Close() {
    std::unique_lock lock(m_mutex);
    m_closed = true;
    // Steps of released callers may dangle: drop them, and let a running one finish first, as on a real GUI thread.
    m_tasks.clear();
    m_changed.wait(lock, [&] { return !m_running; });
    m_changed.notify_all();
}

void FakeGuiThread::Loop() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [&] { return m_quit || !m_tasks.empty(); });
        if (m_tasks.empty()) return;
        auto task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_running = true;
        lock.unlock();
        task();
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}
