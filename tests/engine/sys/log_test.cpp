#include "engine/sys/log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/log_recorder.h"

namespace {

TEST(Log, ParsesLevelNamesInAnyCase) {
    const struct {
        const char* name;
        std::optional<LogLevel> level;
    } cases[] = {
        {"error", LogLevel::Error}, {"warning", LogLevel::Warning},
        {"INFO", LogLevel::Info},   {"Debug", LogLevel::Debug},
        {"", std::nullopt},         {"verbose", std::nullopt},
        {"debug ", std::nullopt},   {"warn", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseLogLevel(c.name), c.level) << "'" << c.name << "'";
}

class Collector final : public LogSink {
public:
    void Write(LogLevel level, std::string_view message) override {
        lines.push_back(std::string(LogLevelName(level)) + " " + std::string(message));
    }
    std::vector<std::string> lines;
};

TEST(Log, SinkGetsItsLevelAndAboveUntilRemoved) {
    auto sink = std::make_shared<Collector>();
    InstallLogSink(sink, LogLevel::Warning);
    EXPECT_TRUE(LogEnabled(LogLevel::Warning));
    EXPECT_FALSE(LogEnabled(LogLevel::Info));
    for (const LogLevel level : {LogLevel::Debug, LogLevel::Info, LogLevel::Warning, LogLevel::Error})
        Log(level, "one");
    RemoveLogSink();
    EXPECT_FALSE(LogEnabled(LogLevel::Error));
    Log(LogLevel::Error, "after");
    EXPECT_EQ(sink->lines, (std::vector<std::string>{"warning one", "error one"}));
}

TEST(Log, RecorderSeesEveryLevel) {
    LogRecorder log;
    Log(LogLevel::Debug, "details");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"debug: details"});
}

}  // namespace
