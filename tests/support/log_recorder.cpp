#include "support/log_recorder.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

class LogRecorder::Sink final : public LogSink {
public:
    void Write(LogLevel level, std::string_view message) override {
        std::lock_guard guard(lock);
        lines.push_back(std::string(LogLevelName(level)) + ": " + std::string(message));
        written.notify_all();
    }

    mutable std::mutex lock;
    mutable std::condition_variable written;
    std::vector<std::string> lines;
};

namespace {

bool ContainsAll(const std::string& line, std::initializer_list<std::string_view> parts) {
    return std::all_of(parts.begin(), parts.end(),
                       [&](std::string_view part) { return line.find(part) != std::string::npos; });
}

}  // namespace

LogRecorder::LogRecorder() : m_sink(std::make_shared<Sink>()) {
    InstallLogSink(m_sink, LogLevel::Debug);
}

LogRecorder::~LogRecorder() {
    RemoveLogSink();
}

std::vector<std::string> LogRecorder::Lines() const {
    std::lock_guard guard(m_sink->lock);
    return m_sink->lines;
}

std::vector<std::string> LogRecorder::Matching(std::initializer_list<std::string_view> parts) const {
    std::vector<std::string> found;
    for (const std::string& line : Lines())
        if (ContainsAll(line, parts)) found.push_back(line);
    return found;
}

bool LogRecorder::WaitFor(std::initializer_list<std::string_view> parts, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(m_sink->lock);
    return m_sink->written.wait_for(guard, timeout, [&] {
        return std::any_of(m_sink->lines.begin(), m_sink->lines.end(),
                           [&](const std::string& line) { return ContainsAll(line, parts); });
    });
}
