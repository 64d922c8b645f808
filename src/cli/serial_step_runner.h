#pragma once

#include <functional>
#include <mutex>

#include "engine/sys/gui_thread.h"

// The console program's stand-in for a GUI thread: its main thread only waits, so each step runs at once on the
// thread that hands it over, one step at a time. Steps must not hand over steps themselves.
class SerialStepRunner final : public GuiThread {
public:
    bool RunAndWait(const std::function<void()>& step) override;
    // Refuses every later step, as a GUI side does at shutdown; returns once a running step has finished.
    void Close();

private:
    std::mutex m_mutex;
    bool m_closed = false;
};
