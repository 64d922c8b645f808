#include "engine/sys/log.h"

#include <atomic>
#include <mutex>

#include "engine/text/ascii_case.h"

namespace {

// -1 while no sink is installed, so that the common case needs no lock.
std::atomic<int> g_threshold{-1};
std::mutex g_sinkLock;
std::shared_ptr<LogSink> g_sink;

}  // namespace

void InstallLogSink(std::shared_ptr<LogSink> sink, LogLevel threshold) {
    std::lock_guard guard(g_sinkLock);
    g_sink = std::move(sink);
    g_threshold = g_sink ? static_cast<int>(threshold) : -1;
}

void RemoveLogSink() {
    InstallLogSink(nullptr, LogLevel::Error);
}

bool LogEnabled(LogLevel level) {
    return static_cast<int>(level) <= g_threshold.load(std::memory_order_relaxed);
}

void Log(LogLevel level, std::string_view message) {
    if (!LogEnabled(level)) return;
    std::shared_ptr<LogSink> sink;
    {
        std::lock_guard guard(g_sinkLock);
        sink = g_sink;
    }
    if (sink) sink->Write(level, message);
}

std::optional<LogLevel> ParseLogLevel(std::string_view name) {
    for (const LogLevel level : {LogLevel::Error, LogLevel::Warning, LogLevel::Info, LogLevel::Debug})
        if (EqualsIgnoringAsciiCase(name, LogLevelName(level))) return level;
    return std::nullopt;
}

const char* LogLevelName(LogLevel level) {
    switch (level) {
        case LogLevel::Error:
            return "error";
        case LogLevel::Warning:
            return "warning";
        case LogLevel::Info:
            return "info";
        case LogLevel::Debug:
            return "debug";
    }
    return "?";
}
