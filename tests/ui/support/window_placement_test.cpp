#include "ui/support/window_placement.h"

#include <gtest/gtest.h>

#include <string>

#include "support/param_name.h"

namespace {

struct PlacementCase {
    QRect owner;
    QSize dialog;
    QPoint desktopTopLeft;
    QPoint expected;
};

class CentredPositionTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(CentredPositionTest, CentresTruncatingTowardZeroWithinTheDesktop) {
    const PlacementCase& c = GetParam();
    EXPECT_EQ(CentredPosition(c.owner, c.dialog, c.desktopTopLeft), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CentredPositionTest,
                         ::testing::Values(PlacementCase{{100, 100, 800, 600}, {358, 313}, {0, 0}, {321, 243}},
                                           PlacementCase{{100, 100, 801, 601}, {358, 313}, {0, 0}, {321, 244}},
                                           // a dialog wider than its owner: -257 / 2 is -128, not -129
                                           PlacementCase{{500, 500, 101, 100}, {358, 313}, {0, 0}, {372, 394}},
                                           PlacementCase{{10, 20, 100, 100}, {358, 313}, {0, 0}, {0, 0}},
                                           PlacementCase{{-1900, 50, 100, 100}, {358, 313}, {-1920, 0}, {-1920, 0}},
                                           PlacementCase{
                                               {-1000, -500, 800, 600}, {358, 313}, {-1920, -1080}, {-779, -357}}),
                         [](const auto& caseInfo) {
                             const QRect& owner = caseInfo.param.owner;
                             return ParamName("owner at " + std::to_string(owner.x()) + " " +
                                                  std::to_string(owner.y()) + " size " + std::to_string(owner.width()) +
                                                  " " + std::to_string(owner.height()),
                                              caseInfo.index);
                         });

}  // namespace
