#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "render/accum_grid.h"
#include "render/ray_list.h"
#include "render/streak_profile.h"
#include "render/trace_ray.h"

namespace {

using Points = std::vector<std::pair<int32_t, int32_t>>;

struct Traced {
    Points points;
    std::vector<double> weights;
};

Traced Trace(double angle, int32_t width, int32_t height, double density = 0.5) {
    ProfileTable* table = NewProfileTable(width, height, 1.0, density, 343, 0, 343, 0, 15625, 50, 1.0);
    RayList* list = NewRayList(128);
    EXPECT_TRUE(TraceRay(list, width, height, angle, table));
    Traced traced;
    for (int32_t i = 0; i <= list->last; ++i) {
        traced.points.emplace_back(list->points[i].dx, list->points[i].dy);
        traced.weights.push_back(list->points[i].weight);
    }
    FreeRayList(list);
    FreeProfileTable(table);
    return traced;
}

Points Diagonal(int count, int sx, int sy) {
    Points points;
    for (int s = 0; s < count; ++s) points.emplace_back(s * sx, s * sy);
    return points;
}

// The reduction the renderer always used for the angles it generates.
double ClassicReduction(double angle) {
    while (angle >= 180) angle -= 180;
    if (angle > 90) angle -= 180;
    return angle;
}

}  // namespace

TEST(TraceRay, AxisAndDiagonalLines) {
    EXPECT_EQ(Trace(0, 6, 6).points, Diagonal(6, 1, 0));
    EXPECT_EQ(Trace(90, 6, 6).points, Diagonal(6, 0, 1));
    EXPECT_EQ(Trace(45, 6, 6).points, Diagonal(6, 1, 1));
    EXPECT_EQ(Trace(135, 6, 6).points, Diagonal(6, 1, -1)) << "135 is the line of -45";
    EXPECT_EQ(Trace(-45, 6, 6).points, Diagonal(6, 1, -1));
}

TEST(TraceRay, AnglesReduceIntoTheHalfOpenQuarterTurns) {
    EXPECT_EQ(NormaliseLineAngle(360), 0);
    EXPECT_EQ(NormaliseLineAngle(270), 90);
    EXPECT_EQ(NormaliseLineAngle(200), 20);
    EXPECT_EQ(NormaliseLineAngle(100), -80);
    EXPECT_EQ(NormaliseLineAngle(-90), 90);
    EXPECT_EQ(NormaliseLineAngle(-135), 45);
    EXPECT_EQ(NormaliseLineAngle(-32768), NormaliseLineAngle(-32768 + 182 * 180));
    for (int angle = -60; angle <= 494; ++angle)
        ASSERT_EQ(NormaliseLineAngle(angle), ClassicReduction(angle)) << angle;
}

TEST(TraceRay, AnAngleAndItsHalfTurnsDrawTheSameLine) {
    for (int angle : {30, 75, -20, 0, 90}) {
        const Traced reference = Trace(angle, 40, 30);
        for (int turns : {-3, -2, -1, 1, 2, 5}) {
            const Traced other = Trace(angle + 180.0 * turns, 40, 30);
            EXPECT_EQ(other.points, reference.points) << angle << " + " << turns << " x 180";
            EXPECT_EQ(other.weights, reference.weights);
        }
    }
}

TEST(TraceRay, ThirtyDegreesInATenByThreeRectangle) {
    const Points expected = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}};
    EXPECT_EQ(Trace(30, 10, 3).points, expected);
}

TEST(TraceRay, EndsAtTheRectangleAndStartsWithTwoFullWeights) {
    const Traced ten = Trace(0, 10, 4);
    ASSERT_EQ(ten.points.size(), 10u);
    EXPECT_EQ(ten.points.back(), std::make_pair(9, 0));
    EXPECT_EQ(ten.weights[0], 1.0);
    EXPECT_EQ(ten.weights[1], 1.0) << "point 1 carries the weight at distance 0";
    EXPECT_EQ(ten.weights[2], StreakProfile(1, 0.5, 343, 0, 343, 0, 15625, 50, 1.0));

    EXPECT_EQ(Trace(37, 1, 1).points, (Points{{0, 0}}));
    EXPECT_TRUE(Trace(37, 0, 5).points.empty());

    const Traced dark = Trace(20, 30, 30, 0.0);
    EXPECT_EQ(dark.weights[0], 1.0);
    EXPECT_EQ(dark.weights[1], 1.0);
    for (size_t i = 2; i < dark.weights.size(); ++i) EXPECT_EQ(dark.weights[i], 0.0) << i;
}

TEST(TraceRay, SteepLinesWalkRowsAndStayWithinTheTable) {
    const Traced steep = Trace(80, 50, 200);
    for (size_t s = 0; s < steep.points.size(); ++s) {
        EXPECT_EQ(steep.points[s].second, int32_t(s));
        EXPECT_LT(std::abs(steep.points[s].first), 50);
    }
    // Every angle a script can deliver, in the widest shapes, reads only inside the table.
    for (int angle = -32768; angle <= 32767; angle += 997) {
        const Traced wide = Trace(angle, 300, 7);
        const Traced tall = Trace(angle, 7, 300);
        EXPECT_FALSE(wide.points.empty());
        EXPECT_FALSE(tall.points.empty());
    }
}

TEST(RayList, GrowsByDoublingAndKeepsItsPoints) {
    RayList* list = NewRayList(128);
    for (int i = 0; i < 129; ++i) ASSERT_TRUE(AppendRayPoint(list, i, -i, i * 0.5));
    EXPECT_EQ(list->capacity, 256);
    EXPECT_EQ(list->last, 128);
    for (int i = 0; i < 129; ++i) {
        EXPECT_EQ(list->points[i].dx, i);
        EXPECT_EQ(list->points[i].dy, -i);
        EXPECT_EQ(list->points[i].weight, i * 0.5);
    }
    ClearRayList(list);
    EXPECT_EQ(list->last, -1);
    EXPECT_EQ(list->capacity, 256);
    FreeRayList(list);
    FreeRayList(nullptr);
}

namespace {
std::vector<double> Stamp(int32_t width, int32_t height, int32_t column, int32_t row, double value,
                          const std::vector<RayPoint>& points) {
    AccumGrid* grid = NewAccumGrid(height, width);
    ClearAccumGrid(grid);
    RayList* list = NewRayList(128);
    for (const RayPoint& p : points) AppendRayPoint(list, p.dx, p.dy, p.weight);
    StampRays(grid, width, height, column, row, value, list);
    std::vector<double> cells(grid->block, grid->block + size_t(width) * size_t(height));
    FreeRayList(list);
    FreeAccumGrid(grid);
    return cells;
}
}  // namespace

TEST(StampRays, AddsBothDirectionsScaledByTheSourceAndSkipsOutsidePoints) {
    const std::vector<RayPoint> line = {{0, 0, 1.0}, {1, 0, 1.0}, {2, 0, 0.5}, {3, 0, 0.25}};
    const std::vector<double> middle = Stamp(7, 1, 3, 0, 0.8, line);
    const std::vector<double> expected = {0.8 * 0.25, 0.8 * 0.5, 0.8, 0.8, 0.8, 0.8 * 0.5, 0.8 * 0.25};
    EXPECT_EQ(middle, expected);

    // A source in the corner keeps only the half of the line inside the rectangle.
    const std::vector<RayPoint> diagonal = {{0, 0, 1.0}, {1, 1, 1.0}, {2, 2, 0.5}};
    const std::vector<double> corner = Stamp(3, 3, 0, 0, 1.0, diagonal);
    EXPECT_EQ(corner, (std::vector<double>{1, 0, 0, 0, 1, 0, 0, 0, 0.5}));

    for (double value : {0.0, -0.5}) {
        const std::vector<double> none = Stamp(7, 1, 3, 0, value, line);
        for (double cell : none) EXPECT_EQ(cell, 0.0) << "a source of " << value << " stamps nothing";
    }
    const std::vector<double> single = Stamp(1, 1, 0, 0, 0.3, {{0, 0, 1.0}});
    EXPECT_EQ(single, std::vector<double>{0.3});
}

TEST(AccumGrid, ASizeThatCannotBeExpressedIsRefusedWithTheMessage) {
    ::testing::internal::CaptureStderr();
    AccumGrid* grid = NewAccumGrid(INT32_MAX, INT32_MAX);  // 2^65 bytes wrap a 64-bit size
    EXPECT_EQ(grid, nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Allocation Failure!\n");
    EXPECT_EQ(NewAccumGrid(-1, 5), nullptr);
}
