#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/search/adc_run.h"
#include "engine/search/search_runner.h"
#include "support/fake_adc_hub.h"
#include "support/fake_gui_thread.h"
#include "support/fake_hub.h"
#include "support/log_recorder.h"
#include "support/test_run_values.h"
#include "support/unanswered_port.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using NickAnswer = FakeHubBehaviour::NickAnswer;

FakeHubBehaviour Answering() {
    return FakeHubBehaviour{};
}

FakeHubBehaviour Silent() {
    FakeHubBehaviour hub;
    hub.nickAnswer = NickAnswer::Silent;
    return hub;
}

bool Contains(const std::vector<std::string>& received, const std::string& part) {
    for (const std::string& bytes : received)
        if (bytes.find(part) != std::string::npos) return true;
    return false;
}

std::ptrdiff_t OpenDescriptors() {
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return std::distance(begin(entries), end(entries));
}

// A search run against fake hubs; progress updates are counted on the fake GUI thread, with the hub count each saw
// (one update stands for every hub counted while it was pending).
class SearchRun : public testing::Test {
protected:
    SearchRun()
        : runner(
              gui,
              [this] {
                  ++updates;
                  std::vector<HubOutcome> taken = runner.TakeOutcomes();
                  {
                      std::lock_guard guard(outcomesLock);
                      outcomes.insert(outcomes.end(), taken.begin(), taken.end());
                  }
                  shown = runner.SearchedCount() + runner.FailedCount();
              },
              QuickTimings()) {}

    void AddHubs(int count, const FakeHubBehaviour& behaviour) {
        for (int i = 0; i < count; ++i) {
            const int hub = hubs.AddHub(behaviour);
            queue.AddHub("127.0.0.1", hubs.Port(hub));
        }
    }

    bool WaitComplete(std::chrono::milliseconds timeout) {
        return hubs.WaitUntil([&] { return runner.IsComplete(queue.Count()) && shown == queue.Count(); }, timeout);
    }

    int SearchesSent() {
        int sent = 0;
        for (int hub = 0; hub < queue.Count(); ++hub) sent += Contains(hubs.Received(hub), "$Search ") ? 1 : 0;
        return sent;
    }

    FakeHubServer hubs;
    FakeGuiThread gui;
    std::atomic<int> updates{0};
    std::atomic<int> shown{-1};
    std::mutex outcomesLock;
    std::vector<HubOutcome> outcomes;  // handed on with the progress updates
    HubQueue queue;
    SearchRunner runner;
};

TEST_F(SearchRun, CountsAnsweringAndSilentHubs) {
    AddHubs(3, Answering());
    AddHubs(2, Silent());
    runner.ResizePool(5);
    runner.Start(queue, TestRunValues());
    ASSERT_TRUE(WaitComplete(5s));
    EXPECT_EQ(runner.SearchedCount(), 3);
    EXPECT_EQ(runner.FailedCount(), 2);
    EXPECT_TRUE(hubs.WaitUntil([&] { return SearchesSent() == 3; }, 2s));
}

TEST_F(SearchRun, HandsOnEachHubsOutcomeWithTheHubsWords) {
    FakeHubBehaviour refusing = Silent();
    refusing.nickAnswer = NickAnswer::Refuse;
    refusing.chat = "<HubBot> Nick taken";
    FakeHubBehaviour moved = Silent();
    moved.nickAnswer = NickAnswer::Redirect;
    moved.redirectTo = "elsewhere.example:411";
    FakeHubBehaviour shareRule;
    shareRule.closeOnMyInfo = true;
    shareRule.chat = "<HubBot> Share at least 10 GiB";
    const struct {
        FakeHubBehaviour hub;
        HubReason reason;
        std::string words;
        std::string redirect;
    } cases[] = {
        {Answering(), HubReason::Searched, "", ""},
        {refusing, HubReason::NickRefused, "<HubBot> Nick taken", ""},
        {moved, HubReason::Redirected, "", "elsewhere.example:411"},
        {shareRule, HubReason::ClosedAfterMyInfo, "<HubBot> Share at least 10 GiB", ""},
    };
    for (const auto& c : cases) AddHubs(1, c.hub);
    runner.ResizePool(4);
    // Refusals end at once: only the read time-out of an hour could end them otherwise.
    runner.Start(queue, PatientValues());
    ASSERT_TRUE(WaitComplete(10s));
    std::lock_guard guard(outcomesLock);
    ASSERT_EQ(outcomes.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto found = std::find_if(outcomes.begin(), outcomes.end(),
                                        [&](const HubOutcome& outcome) { return outcome.port == hubs.Port(int(i)); });
        ASSERT_NE(found, outcomes.end()) << i;
        EXPECT_EQ(found->host, "127.0.0.1");
        EXPECT_STREQ(DescribeReason(found->reason), DescribeReason(cases[i].reason));
        EXPECT_EQ(found->hubMessage, cases[i].words) << i;
        EXPECT_EQ(found->redirect, cases[i].redirect) << i;
    }
}

// Hubs that never answer a connect hold no worker: one worker searches every answering hub while they are still
// pending, although they come first, and each is counted failed at the connect time-out.
TEST_F(SearchRun, HubsThatNeverAnswerHoldNoWorker) {
    const UnansweredPort unanswered[3];
    if (!unanswered[0].Hangs(200)) GTEST_SKIP() << "this system resets a connect to a full accept queue";
    for (const UnansweredPort& port : unanswered) queue.AddHub("127.0.0.1", port.Port());
    AddHubs(3, Answering());
    LogRecorder log;
    runner.ResizePool(1);
    runner.Start(queue, TestRunValues());
    ASSERT_TRUE(WaitComplete(10s));
    EXPECT_EQ(runner.SearchedCount(), 3);
    EXPECT_EQ(runner.FailedCount(), 3);
    std::lock_guard guard(outcomesLock);
    ASSERT_EQ(outcomes.size(), 6u);
    for (std::size_t i = 0; i < outcomes.size(); ++i)
        EXPECT_STREQ(DescribeReason(outcomes[i].reason),
                     DescribeReason(i < 3 ? HubReason::Searched : HubReason::NoAnswer))
            << i;
    EXPECT_EQ(log.Matching({"failed (no answer)", ": connect timed out"}).size(), 3u);
}

// Stop closes every connection of the run: the worker's, the one connected ahead for the next hub and the connect to a
// hub that never answers; none of them is counted.
TEST_F(SearchRun, StopClosesEveryConnectionOfTheRun) {
    const UnansweredPort unanswered;
    if (!unanswered.Hangs(200)) GTEST_SKIP() << "this system resets a connect to a full accept queue";
    AddHubs(1, Silent());
    AddHubs(1, Answering());
    queue.AddHub("127.0.0.1", unanswered.Port());
    runner.ResizePool(1);
    const std::ptrdiff_t before = OpenDescriptors();
    runner.Start(queue, PatientValues());
    // Both hubs' connections on both sides, and the connect under way.
    ASSERT_TRUE(hubs.WaitUntil([&] { return OpenDescriptors() == before + 5; }, 5s));
    EXPECT_EQ(hubs.OpenConnections(0) + hubs.OpenConnections(1), 2);
    runner.Stop();
    EXPECT_TRUE(hubs.WaitUntil([&] { return OpenDescriptors() == before; }, 5s));
    EXPECT_EQ(runner.SearchedCount() + runner.FailedCount(), 0);
}

// ADC hubs go through the ADC exchange, count like NMDC ones and fail with the same reasons; without an identity
// they cannot log in at all.
TEST_F(SearchRun, AdcHubsAreSearchedWithTheRunsIdentityAndGiveTheirReasons) {
    FakeAdcHubScript asksPassword;
    asksPassword.onInfo = "IGPA AAAAAAAAAAAAAAAA\n";
    asksPassword.echoInfo = false;
    FakeAdcHub answering({});
    FakeAdcHub registered(asksPassword);
    queue.AddHub("127.0.0.1", answering.Port(), {}, HubProtocol::Adc);
    queue.AddHub("127.0.0.1", registered.Port(), {}, HubProtocol::Adc);
    RunValues values = PatientValues();
    values.Adc = std::make_shared<AdcRun>();
    values.Adc->Identity = {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY"};
    values.Adc->Query.Words = {"big"};
    const auto reasons = [&] {
        std::lock_guard guard(outcomesLock);
        std::vector<std::string> described;
        for (const uint16_t port : {answering.Port(), registered.Port()})
            for (const HubOutcome& outcome : outcomes)
                if (outcome.port == port) described.emplace_back(DescribeReason(outcome.reason));
        outcomes.clear();
        return described;
    };
    runner.ResizePool(2);

    runner.Start(queue, values);
    ASSERT_TRUE(WaitComplete(10s));
    EXPECT_EQ(runner.SearchedCount(), 1);
    EXPECT_EQ(reasons(), (std::vector<std::string>{"searched", "password required"}));
    ASSERT_EQ(answering.Finished(1, 5s).size(), 1u);
    EXPECT_NE(answering.Finished(1, 5s)[0].find("BSCH AAAB ANbig TO"), std::string::npos);

    values.Adc.reset();
    shown = -1;
    runner.Start(queue, values);
    ASSERT_TRUE(WaitComplete(10s));
    EXPECT_EQ(runner.FailedCount(), 2);
    EXPECT_EQ(reasons(), (std::vector<std::string>{"no ADC identity", "no ADC identity"}));
}

TEST_F(SearchRun, FewerHubsThanWorkersAndRepeatedRuns) {
    AddHubs(3, Answering());
    runner.ResizePool(30);
    for (int run = 0; run < 3; ++run) {
        shown = -1;
        runner.Start(queue, TestRunValues());
        ASSERT_TRUE(WaitComplete(5s)) << "run " << run;
        EXPECT_EQ(runner.SearchedCount(), 3);
    }
    for (int hub = 0; hub < 3; ++hub) EXPECT_EQ(hubs.Received(hub).size(), 3u);
}

TEST_F(SearchRun, ThreadsBelowOneRunOneWorker) {
    AddHubs(4, Answering());
    runner.ResizePool(0);
    EXPECT_EQ(runner.PoolSize(), 1u);
    runner.Start(queue, TestRunValues());
    ASSERT_TRUE(WaitComplete(5s));
    EXPECT_EQ(runner.SearchedCount(), 4);
}

TEST_F(SearchRun, PoolGrowsShrinksAndStaysWithinLimits) {
    const std::pair<int32_t, std::size_t> steps[] = {{30, 30}, {10, 10}, {500, 100}, {-3, 1}, {2, 2}};
    for (const auto& [threads, size] : steps) {
        runner.ResizePool(threads);
        EXPECT_EQ(runner.PoolSize(), size) << threads;
    }
    AddHubs(6, Answering());
    runner.Start(queue, TestRunValues());
    ASSERT_TRUE(WaitComplete(5s));
    EXPECT_EQ(runner.SearchedCount(), 6);
}

TEST_F(SearchRun, ShrinkDuringExchangesEndsTheSurplusWorkers) {
    AddHubs(8, Silent());
    runner.ResizePool(8);
    runner.Start(queue, PatientValues());
    ASSERT_TRUE(hubs.WaitUntil([&] { return Contains(hubs.Received(7), "$ValidateNick"); }, 10s));
    runner.ResizePool(2);
    runner.Stop();
    // The time-out is an hour: every connection that goes was cut short.
    EXPECT_TRUE(hubs.WaitUntil(
        [&] {
            for (int hub = 0; hub < 8; ++hub)
                if (hubs.OpenConnections(hub) != 0) return false;
            return true;
        },
        30s));
    EXPECT_EQ(runner.PoolSize(), 2u);
}

TEST_F(SearchRun, StopWhileWaitingForHelloSendsNoSearchAndCountsNothing) {
    AddHubs(3, Silent());
    runner.ResizePool(3);
    runner.Start(queue, PatientValues());
    ASSERT_TRUE(hubs.WaitUntil(
        [&] {
            for (int hub = 0; hub < 3; ++hub)
                if (!Contains(hubs.Received(hub), "$ValidateNick")) return false;
            return true;
        },
        2s));
    runner.Stop();
    EXPECT_TRUE(hubs.WaitUntil(
        [&] { return hubs.OpenConnections(0) + hubs.OpenConnections(1) + hubs.OpenConnections(2) == 0; }, 30s));
    EXPECT_EQ(SearchesSent(), 0);
    EXPECT_EQ(runner.SearchedCount() + runner.FailedCount(), 0);
    EXPECT_EQ(updates, 0);
}

TEST_F(SearchRun, NewRunAfterStopCountsOnlyItsOwnHubs) {
    AddHubs(4, Answering());
    FakeHubBehaviour slow;
    slow.answerDelay = 300ms;
    AddHubs(2, slow);
    runner.ResizePool(6);
    runner.Start(queue, TestRunValues());
    runner.Stop();
    shown = -1;
    runner.Start(queue, TestRunValues());
    ASSERT_TRUE(WaitComplete(5s));
    EXPECT_EQ(runner.SearchedCount(), 6);
    EXPECT_EQ(runner.FailedCount(), 0);
}

TEST_F(SearchRun, NoSearchLostWithRealHubBehaviours) {
    FakeHubBehaviour wantsSupports;
    wantsSupports.lock = "EXTENDEDPROTOCOL_supports";
    wantsSupports.requireSupports = true;
    FakeHubBehaviour strict;
    strict.lock = "EXTENDEDPROTOCOL_strict";
    strict.strict = true;
    strict.answerDelay = 50ms;
    strict.forwardInterval = 300ms;
    AddHubs(5, wantsSupports);
    AddHubs(5, strict);
    SearchRunner realRunner(
        gui, [&] { shown = realRunner.SearchedCount() + realRunner.FailedCount(); }, HubExchangeTimings{2000ms, 500ms});
    realRunner.ResizePool(4);
    realRunner.Start(queue, TestRunValues());
    ASSERT_TRUE(hubs.WaitUntil([&] { return realRunner.IsComplete(10) && shown == 10; }, 10s));
    EXPECT_EQ(realRunner.SearchedCount(), 10);
    for (int hub = 0; hub < 10; ++hub) {
        EXPECT_EQ(hubs.Forwarded(hub).size(), 1u) << hub;
        EXPECT_TRUE(hubs.Ignored(hub).empty()) << hub;
    }
}

TEST_F(SearchRun, ShutdownDuringRunEndsPromptly) {
    AddHubs(40, Silent());
    AddHubs(40, Answering());
    runner.ResizePool(40);
    runner.Start(queue, PatientValues());
    ASSERT_TRUE(hubs.WaitUntil([&] { return Contains(hubs.Received(39), "$ValidateNick"); }, 10s));
    // The time-out is an hour: Shutdown returns only because every exchange was cut short.
    gui.Close();
    runner.Shutdown();
    EXPECT_EQ(runner.PoolSize(), 0u);
}

TEST_F(SearchRun, ShutdownReleasesWorkersWaitingForTheGuiThread) {
    AddHubs(10, Answering());
    runner.ResizePool(10);
    // Keep the GUI thread busy so that workers pile up in the hand-over.
    std::mutex mutex;
    std::condition_variable changed;
    bool release = false;
    std::thread busy([&] {
        gui.RunAndWait([&] {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, 5s, [&] { return release; });
        });
    });
    runner.Start(queue, TestRunValues());
    EXPECT_TRUE(hubs.WaitUntil([&] { return runner.SearchedCount() == 10; }, 5s));
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    gui.Close();
    const auto started = Clock::now();
    runner.Shutdown();
    EXPECT_LT(Clock::now() - started, 2s);
    busy.join();
}

}  // namespace
