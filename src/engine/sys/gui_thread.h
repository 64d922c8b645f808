#pragma once

#include <functional>

// How background threads (connection workers, the UDP listener, the hub list refresh) reach the GUI thread.
// The program passes the Qt implementation; tests pass a fake that runs steps on a thread of their own.
class GuiThread {
public:
    virtual ~GuiThread() = default;

    // Called from a background thread, never from the GUI thread: runs step on the GUI thread and blocks until it
    // has run. Returns false without running it once the GUI side has been closed for shutdown, so that a waiting
    // thread is released instead of deadlocking against a GUI thread that is joining it.
    virtual bool RunAndWait(const std::function<void()>& step) = 0;
};
