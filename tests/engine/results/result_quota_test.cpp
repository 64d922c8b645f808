#include <gtest/gtest.h>

#include <string>

#include "engine/results/result_quota.h"

namespace {

TEST(ResultQuota, EachUserOnEachHubHasItsOwnLimit) {
    ResultQuota quota;
    // Enough senders that the table grows several times while counts are kept.
    constexpr int kUsers = 5000;
    for (int round = 0; round < 3; ++round)
        for (int user = 0; user < kUsers; ++user)
            ASSERT_EQ(quota.Admit("u" + std::to_string(user), "hub", 3), Admission::Admitted) << user << " " << round;
    for (int user = 0; user < kUsers; ++user) {
        EXPECT_EQ(quota.Admit("u" + std::to_string(user), "hub", 3), Admission::FirstRefused) << user;
        EXPECT_EQ(quota.Admit("u" + std::to_string(user), "hub", 3), Admission::Refused) << user;
    }

    EXPECT_EQ(quota.Admit("u1", "other hub", 3), Admission::Admitted) << "the same nick on another hub";
    EXPECT_EQ(quota.Admit("hub", "u1", 3), Admission::Admitted) << "nick and hub swapped";
    quota.Clear();
    EXPECT_EQ(quota.Admit("u1", "hub", 3), Admission::Admitted);
}

}  // namespace
