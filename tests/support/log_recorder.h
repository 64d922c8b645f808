#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sys/log.h"

// Records what the engine logs, at every level, for as long as it lives: it installs itself as the process-wide
// sink and removes it again. One per test at a time. Lines read "level: message".
class LogRecorder {
public:
    LogRecorder();
    ~LogRecorder();
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    std::vector<std::string> Lines() const;
    // The lines that contain every one of parts.
    std::vector<std::string> Matching(std::initializer_list<std::string_view> parts) const;
    // Waits until a line contains every one of parts; false at the deadline.
    bool WaitFor(std::initializer_list<std::string_view> parts, std::chrono::milliseconds timeout) const;

private:
    class Sink;
    std::shared_ptr<Sink> m_sink;
};
