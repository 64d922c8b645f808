#include "engine/sys/stream_log_sink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

namespace {

// Runs body with a sink on a pipe, then returns everything the pipe carried. With fillFirst the pipe is full before
// the sink starts, so its writer blocks until body has returned and a reader drains the pipe.
std::string WrittenThroughPipe(std::size_t capacity, bool fillFirst, const std::function<void(StreamLogSink&)>& body) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return "pipe failed";
    std::size_t filled = 0;
    if (fillFirst) {
        fcntl(fds[1], F_SETFL, O_NONBLOCK);
        const std::string chunk(4096, 'f');
        ssize_t written;
        while ((written = write(fds[1], chunk.data(), chunk.size())) > 0) filled += static_cast<std::size_t>(written);
        fcntl(fds[1], F_SETFL, 0);
    }
    std::string text;
    std::optional<std::thread> reader;
    {
        StreamLogSink sink(fds[1], capacity);
        body(sink);
        reader.emplace([&] {
            char buffer[65536];
            ssize_t got;
            while ((got = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
        });
    }
    close(fds[1]);
    reader->join();
    close(fds[0]);
    return text.substr(filled);
}

TEST(StreamLogSink, WritesStampedLinesInOrderWithControlBytesEscaped) {
    const std::string text = WrittenThroughPipe(StreamLogSink::kDefaultCapacity, false, [](StreamLogSink& sink) {
        sink.Write(LogLevel::Info, "hub a:411 searched");
        sink.Write(LogLevel::Warning, "said \x1b[31mred\n");
    });
    const std::regex expected(
        "\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d info: hub a:411 searched\n"
        "\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d warning: said \\\\x1b\\[31mred\\\\x0a\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST(StreamLogSink, NeverWaitsForABlockedStreamAndCountsWhatItDrops) {
    constexpr int kWritten = 50;
    // The writer is stuck on the full pipe while every Write is made: they must all return, the surplus dropped.
    const std::string text = WrittenThroughPipe(4, true, [](StreamLogSink& sink) {
        for (int i = 0; i < kWritten; ++i) sink.Write(LogLevel::Debug, "line " + std::to_string(i));
    });
    int kept = 0;
    int dropped = 0;
    int last = -1;
    const std::regex keptLine(R"(.* debug: line (\d+))");
    const std::regex droppedLine(R"(.* warning: (\d+) log lines dropped)");
    std::smatch match;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, match, keptLine)) {
            EXPECT_GT(std::stoi(match[1]), last) << line;
            last = std::stoi(match[1]);
            ++kept;
        } else if (std::regex_match(line, match, droppedLine)) {
            dropped += std::stoi(match[1]);
        } else {
            ADD_FAILURE() << "unexpected line: " << line;
        }
    }
    // At most two queues' worth: the batch the writer took before the pipe blocked it, and the one queued behind.
    EXPECT_LE(kept, 8);
    EXPECT_EQ(kept + dropped, kWritten);
}

}  // namespace
