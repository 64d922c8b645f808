#pragma once

#include <QObject>

#include <condition_variable>
#include <mutex>

#include "engine/sys/gui_thread.h"

// GuiThread over the Qt event loop. Create it on the GUI thread. Close() (GUI thread, at shutdown) releases every
// background thread waiting in RunAndWait and refuses further steps, so the GUI thread may then join those threads.
class QtGuiThread final : public GuiThread {
public:
    QtGuiThread();
    ~QtGuiThread() override;

    bool RunAndWait(const std::function<void()>& step) override;
    void Close();

private:
    QObject m_target;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_closed = false;
};
