#include "ui/support/termination_signals.h"

#include <gtest/gtest.h>

#include <QTest>

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> g_earlierHandlerGot{0};

void EarlierHandler(int signal) {
    g_earlierHandlerGot = signal;
}

class TerminationSignalsTest : public ::testing::TestWithParam<int> {};

TEST_P(TerminationSignalsTest, SignalRunsTheCallbackOnTheEventLoopAndTheEarlierHandlerComesBack) {
    const int signal = GetParam();
    struct sigaction earlier {};
    earlier.sa_handler = &EarlierHandler;
    struct sigaction original {};
    ASSERT_EQ(sigaction(signal, &earlier, &original), 0);
    g_earlierHandlerGot = 0;
    {
        int calls = 0;
        const TerminationSignals termination([&] { ++calls; });
        ASSERT_EQ(raise(signal), 0);
        EXPECT_EQ(calls, 0);  // not from inside the handler
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 10000));
        EXPECT_EQ(g_earlierHandlerGot, 0);
    }
    ASSERT_EQ(raise(signal), 0);
    EXPECT_EQ(g_earlierHandlerGot, signal);
    sigaction(signal, &original, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignalsTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& caseInfo) {
                             return std::string(caseInfo.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

}  // namespace
