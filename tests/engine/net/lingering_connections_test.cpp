#include "engine/net/lingering_connections.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <mutex>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The far end of a held connection has seen it closed.
bool SeesClosed(int peer) {
    pollfd ready{peer, POLLIN, 0};
    char byte = 0;
    return poll(&ready, 1, 10000) == 1 && read(peer, &byte, 1) == 0;
}

}  // namespace

// A stay ends at its time, or early on a line longer than any line may be; a drop ends none.
TEST(LingeringConnections, ReadsLinesUntilItsTimeAndDropsTheRestWithoutEndingThem) {
    NetworkLoop loop;
    LingeringConnections lingering(loop);
    int timed[2];
    int dropped[2];
    int flooding[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, timed), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, flooding), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, dropped), 0);
    std::mutex lock;
    std::vector<std::string> lines;
    std::promise<void> ended;
    bool droppedEnded = false;

    LingeringConnections::Stay first;
    first.connection.socket = timed[0];
    first.connection.buffered = "one|tw";  // received before the hand-over
    first.terminator = '|';
    first.until = std::chrono::steady_clock::now() + 300ms;
    first.onLine = [&](std::string_view line) {
        std::lock_guard guard(lock);
        lines.emplace_back(line);
    };
    first.onEnd = [&] { ended.set_value(); };
    ASSERT_EQ(write(timed[1], "o|three|", 8), 8);
    lingering.Hold(std::move(first));

    LingeringConnections::Stay flood;
    flood.connection.socket = flooding[0];
    flood.until = std::chrono::steady_clock::now() + std::chrono::hours(1);
    std::promise<void> floodEnded;
    flood.onEnd = [&] { floodEnded.set_value(); };
    const std::string endless(TcpClient::MaxLineLength + 1, 'x');
    ASSERT_EQ(write(flooding[1], endless.data(), endless.size()), static_cast<ssize_t>(endless.size()));
    lingering.Hold(std::move(flood));

    LingeringConnections::Stay second;
    second.connection.socket = dropped[0];
    second.until = std::chrono::steady_clock::now() + std::chrono::hours(1);
    second.onEnd = [&] { droppedEnded = true; };
    lingering.Hold(std::move(second));

    ASSERT_EQ(floodEnded.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(SeesClosed(flooding[1]));
    ASSERT_EQ(ended.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(SeesClosed(timed[1]));
    {
        std::lock_guard guard(lock);
        EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three"}));
    }
    EXPECT_EQ(lingering.Count(), 1u);
    lingering.DropAll();
    EXPECT_TRUE(SeesClosed(dropped[1]));
    EXPECT_EQ(lingering.Count(), 0u);
    EXPECT_FALSE(droppedEnded);
    for (const int peer : {timed[1], dropped[1], flooding[1]}) close(peer);
}
