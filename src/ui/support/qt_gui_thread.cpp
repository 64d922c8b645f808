#include "ui/support/qt_gui_thread.h"

#include <QMetaObject>

#include <memory>

QtGuiThread::QtGuiThread() = default;

QtGuiThread::~QtGuiThread() {
    Close();
}

bool QtGuiThread::RunAndWait(const std::function<void()>& step) {
    struct Call {
        bool finished = false;
    };
    auto call = std::make_shared<Call>();
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return false;
    }
    QMetaObject::invokeMethod(
        &m_target,
        [this, call, &step] {
            {
                std::lock_guard lock(m_mutex);
                // After Close the caller has gone and step may be dangling: never run it then.
                if (m_closed) return;
            }
            step();
            std::lock_guard lock(m_mutex);
            call->finished = true;
            m_done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return call->finished || m_closed; });
    return call->finished;
}

void QtGuiThread::Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_done.notify_all();
}
