#include "engine/net/loop_name_resolver.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/fake_name_server.h"
#include "support/log_recorder.h"

namespace {

using namespace std::chrono_literals;

struct Answer {
    bool done = false;
    LookupStatus status = LookupStatus::Failed;
    std::string address;
};

// Lookups under way at once on one channel, each answered by its own rule; the loop never waits for any of them.
// Each address found goes to the debug log.
TEST(LoopNameResolver, AnswersLookupsUnderWayTogether) {
    LogRecorder log;
    FakeNameServer names(std::map<std::string, std::string>{{"hub.test", "127.0.0.7"}, {"b.invalid", "127.0.0.1"}});
    const struct {
        std::string host;
        LookupStatus status;
        std::string address;
    } cases[] = {
        {"HUB.test", LookupStatus::Found, "127.0.0.7"},
        {"localhost", LookupStatus::Found, "127.0.0.1"},  // from the hosts file
        {"missing.test", LookupStatus::NotFound, ""},
        {"b.INVALID.", LookupStatus::NotFound, ""},  // never asked for, whatever a server says
    };
    NetworkLoop loop;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Answer> answers(std::size(cases));
    std::unique_ptr<LoopNameResolver> resolver;
    loop.Post([&] {
        resolver = std::make_unique<LoopNameResolver>(loop, names.Address());
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            resolver->Resolve(cases[i].host, [&, i](LookupStatus status, uint32_t address) {
                char dotted[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &address, dotted, sizeof dotted);
                std::lock_guard guard(lock);
                answers[i] = Answer{true, status, status == LookupStatus::Found ? dotted : ""};
                changed.notify_all();
            });
        }
    });
    std::unique_lock guard(lock);
    ASSERT_TRUE(changed.wait_for(guard, 10s, [&] {
        return std::all_of(answers.begin(), answers.end(), [](const Answer& answer) { return answer.done; });
    }));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(answers[i].status, cases[i].status) << cases[i].host;
        EXPECT_EQ(answers[i].address, cases[i].address) << cases[i].host;
    }
    guard.unlock();
    EXPECT_EQ(log.Matching({"debug: name HUB.test is 127.0.0.7"}).size(), 1u);
    // The resolver ends on the loop thread, as it must.
    std::promise<void> ended;
    loop.Post([&] {
        resolver.reset();
        ended.set_value();
    });
    ended.get_future().wait();
}

}  // namespace
