// The tail cut: which points of a line's tail the fast paths may leave out.
#include <gtest/gtest.h>

#include <cmath>

#include "core/parameter_table.h"
#include "render/ray_list.h"
#include "render/tail_cut.h"

TEST(TailCut, KeepsEveryPointWhoseTailWouldPassTheBudget) {
    RayList* list = NewRayList(kRayListCapacity);
    const double weights[] = {1.0, 1.0, 0.5, 0.25, 1e-20, 3e-21, 1e-21, 1e-22};
    for (int32_t s = 0; s < 8; ++s) AppendRayPoint(list, s, 0, weights[s]);
    EXPECT_EQ(KeptPointCount(list, 0.0), 8) << "no budget: every point stays";
    EXPECT_EQ(KeptPointCount(list, 1e-22), 7) << "exactly the budget may be skipped";
    EXPECT_EQ(KeptPointCount(list, 1.1e-21 - 1e-36), 7);
    EXPECT_EQ(KeptPointCount(list, 1.1e-21), 6);
    EXPECT_EQ(KeptPointCount(list, 4.1e-21), 5);
    EXPECT_EQ(KeptPointCount(list, 1e-3), 4);
    EXPECT_EQ(KeptPointCount(list, 1e9), 1) << "the source itself always stays";
    list->points[6].weight = std::nan("");
    EXPECT_EQ(KeptPointCount(list, 1e-3), 7) << "nothing before a weight that is not a number is skipped";
    FreeRayList(list);
    // The budget shrinks with more lines, brighter sources and more gain, never below 0.
    EXPECT_EQ(LineTailBudget(1, 1.0, 1.0), kSkippedLightBound / 2);
    EXPECT_EQ(LineTailBudget(4, 2.0, 2.0), kSkippedLightBound / 32);
    EXPECT_EQ(LineTailBudget(2, 0.5, 0.02), kSkippedLightBound / 4);
    EXPECT_EQ(LineTailBudget(2, INFINITY, 1.0), 0.0);
}
