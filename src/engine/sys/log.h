#pragma once

#include <memory>
#include <optional>
#include <string_view>

// From the most to the least important; a sink installed at one level receives that level and those above it.
enum class LogLevel { Error, Warning, Info, Debug };

// Where log lines go. Write is called from any thread, concurrently, and must return promptly: connection workers
// log between two network steps.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void Write(LogLevel level, std::string_view message) = 0;
};

// The process-wide log. Without a sink nothing is written and Log costs one atomic load.
// Any thread: a sink replaced or removed here may still finish a Write that had begun; the shared ownership keeps
// it alive until then.
void InstallLogSink(std::shared_ptr<LogSink> sink, LogLevel threshold);
void RemoveLogSink();
// Whether a message of this level would be written: callers check it before building an expensive message.
bool LogEnabled(LogLevel level);
void Log(LogLevel level, std::string_view message);

// "error", "warning", "info" or "debug" (any case); nullopt for anything else.
std::optional<LogLevel> ParseLogLevel(std::string_view name);
const char* LogLevelName(LogLevel level);
