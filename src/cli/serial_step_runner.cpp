#include "cli/serial_step_runner.h"

bool SerialStepRunner::RunAndWait(const std::function<void()>& step) {
    std::lock_guard lock(m_mutex);
    if (m_closed) return false;
    step();
    return true;
}

void SerialStepRunner::Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
}
