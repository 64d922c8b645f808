#include "engine/net/network_loop.h"

#include <gtest/gtest.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <string>

using namespace std::chrono_literals;

namespace {

// Runs step on the loop thread and waits for it (bounded).
void OnLoop(NetworkLoop& loop, const std::function<void()>& step) {
    std::promise<void> done;
    loop.Post([&] {
        step();
        done.set_value();
    });
    ASSERT_EQ(done.get_future().wait_for(10s), std::future_status::ready);
}

}  // namespace

TEST(NetworkLoop, RunsPostedTasksThenTimersInOrderOnItsThreadAndNotCancelledOnes) {
    NetworkLoop loop;
    std::string order;  // loop thread only, read after the last step
    std::promise<void> last;
    loop.Post([&] { order += loop.OnLoopThread() ? "a" : "?"; });
    loop.Post([&] {
        const auto now = NetworkLoop::Clock::now();
        loop.RunAt(now + 30ms, [&] {
            order += "3";
            last.set_value();
        });
        loop.RunAt(now, [&] { order += "1"; });
        loop.Cancel(loop.RunAt(now + 10ms, [&] { order += "x"; }));
        loop.RunAt(now + 20ms, [&] { order += "2"; });
    });
    ASSERT_EQ(last.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_EQ(order, "a123");
    EXPECT_FALSE(loop.OnLoopThread());
}

TEST(NetworkLoop, ASocketForgottenInTheSameRoundGetsNoEvent) {
    NetworkLoop loop;
    int first[2];
    int second[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, first), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, second), 0);
    // Both become readable before the loop looks; whichever handler runs first forgets both sockets.
    ASSERT_EQ(write(first[1], "x", 1), 1);
    ASSERT_EQ(write(second[1], "x", 1), 1);
    std::promise<void> handled;
    int calls = 0;
    OnLoop(loop, [&] {
        const auto forgetBoth = [&](uint32_t events) {
            EXPECT_NE(events & EPOLLIN, 0u);
            ++calls;
            loop.Forget(first[0]);
            loop.Forget(second[0]);
            handled.set_value();
        };
        ASSERT_TRUE(loop.Watch(first[0], EPOLLIN, forgetBoth));
        ASSERT_TRUE(loop.Watch(second[0], EPOLLIN, forgetBoth));
    });
    ASSERT_EQ(handled.get_future().wait_for(10s), std::future_status::ready);
    OnLoop(loop, [] {});  // one more round: a stale event would have arrived by now
    OnLoop(loop, [&] { EXPECT_EQ(calls, 1); });
    for (const int fd : {first[0], first[1], second[0], second[1]}) close(fd);
}
