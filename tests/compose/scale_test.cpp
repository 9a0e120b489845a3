#include "compose/scale.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float kThreshold = std::bit_cast<float>(0x3FC28F5Cu); // 1.52f

// A fit-mode request at level 0 of a five-level catalogue based at 0, with
// the destination equal to the offered space.
ScaleInput FitRequest(int32_t width, int32_t height, int32_t availWidth, int32_t availHeight)
{
    ScaleInput in{};
    in.width = width;
    in.height = height;
    in.level = 0;
    in.baseLevel = 0;
    in.levelCount = 5;
    in.availWidth = availWidth;
    in.availHeight = availHeight;
    in.destWidth = availWidth;
    in.destHeight = availHeight;
    in.threshold = kThreshold;
    return in;
}

struct DecisionCase {
    std::string name;
    ScaleInput in;
    float scale; // checked only when scaleChecked
    bool scaleChecked;
    int32_t shrink;
    int32_t enlarge;
    int32_t drawnWidth;
    int32_t drawnHeight;
};

ScaleInput AtLevel(ScaleInput in, int16_t level)
{
    in.level = level;
    return in;
}

ScaleInput WithLevels(ScaleInput in, int16_t base, int16_t count, int16_t level)
{
    in.baseLevel = base;
    in.levelCount = count;
    in.level = level;
    return in;
}

ScaleInput Zoom(int32_t width, int32_t height, int32_t zoom, bool shrinkAllowed)
{
    ScaleInput in = FitRequest(width, height, 1000, 1000);
    in.levelRequest = 3;
    in.zoomPercent = zoom;
    in.shrinkAllowed = shrinkAllowed;
    return in;
}

std::vector<DecisionCase> DecisionCases()
{
    ScaleInput natural = FitRequest(200, 100, 50, 50);
    natural.levelRequest = 2;
    ScaleInput reserved = AtLevel(FitRequest(200, 100, 400, 180), 0);
    reserved.reserveHeight = 20;
    reserved.showBadge = 1;
    ScaleInput reserveIgnored = reserved;
    reserveIgnored.showBadge = 0;
    return {
        {"ShrinkAtLastLevel", AtLevel(FitRequest(400, 200, 300, 200), 4), 0.75f, true, 1, 0, 300,
         150},
        {"EnlargeAtBaseLevel", FitRequest(200, 100, 400, 160), 1.6f, true, 0, 1, 320, 160},
        {"BelowThresholdNoDecision", FitRequest(200, 100, 400, 150), 1.5f, true, 0, 0, 200, 100},
        // The single-precision ratio equals the threshold and lies just below
        // 1.52, so 100 x S truncates to 151.
        {"ThresholdReachedExactly", FitRequest(100, 100, 152, 1000), kThreshold, true, 0, 1, 151,
         151},
        {"MiddleLevelNeverScales", AtLevel(FitRequest(200, 100, 1000, 1000), 2), 0, false, 0, 0,
         200, 100},
        {"MiddleLevelNeverShrinks", AtLevel(FitRequest(200, 100, 100, 50), 2), 0, false, 0, 0, 200,
         100},
        {"LastLevelRoomyDoesNotShrink", AtLevel(FitRequest(200, 100, 1000, 1000), 4), 0, false, 0,
         0, 200, 100},
        {"SingleLevelEnlargesAtAnyLevel", WithLevels(FitRequest(100, 100, 200, 300), 3, 1, 2), 2.0f,
         true, 0, 1, 200, 200},
        // The last level of a catalogue based at 1 with 3 levels is 3.
        {"LastLevelFollowsBase", WithLevels(FitRequest(100, 100, 50, 100), 1, 3, 3), 0.5f, true, 1,
         0, 50, 50},
        {"BadgeReserveLowersHeightRatio", reserved, 1.6f, true, 0, 1, 320, 160},
        // 1.8f lies below 1.8: 200 x S truncates to 359.
        {"BadgeReserveOnlyWithBadge", reserveIgnored, 1.8f, true, 0, 1, 359, 179},
        {"NaturalMode", natural, 1.0f, true, 0, 0, 200, 100},
        {"ZoomHundredIsExactlyOne", Zoom(123, 45, 100, true), 1.0f, true, 0, 0, 123, 45},
        {"ZoomThreeTruncatesBelow", Zoom(100, 100, 3, true), 0.03f, true, 1, 0, 2, 2},
        {"ZoomHalfWithoutShrink", Zoom(200, 101, 50, false), 0.5f, true, 0, 0, 100, 50},
        {"ZoomHalfWithShrink", Zoom(200, 101, 50, true), 0.5f, true, 1, 0, 100, 50},
        {"ZoomEnlarges", Zoom(200, 100, 150, false), 1.5f, true, 0, 1, 300, 150},
        // An empty picture gives infinite or NaN ratios: sizes stay 0.
        {"EmptyPictureFit", FitRequest(0, 0, 100, 100), 0, false, 0, 1, 0, 0},
        {"ZeroWidthFit", FitRequest(0, 50, 100, 100), 2.0f, true, 0, 1, 0, 100},
    };
}

class DecideScaleTest : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(DecideScaleTest, DecidesAndSizes)
{
    const DecisionCase &c = GetParam();
    ScaleDecision out = DecideScale(c.in);
    if (c.scaleChecked) {
        EXPECT_EQ(std::bit_cast<uint32_t>(out.scale), std::bit_cast<uint32_t>(c.scale))
            << out.scale;
    }
    EXPECT_EQ(out.shrink, c.shrink);
    EXPECT_EQ(out.enlarge, c.enlarge);
    EXPECT_EQ(out.drawnWidth, c.drawnWidth);
    EXPECT_EQ(out.drawnHeight, c.drawnHeight);
}

INSTANTIATE_TEST_SUITE_P(Cases, DecideScaleTest, ::testing::ValuesIn(DecisionCases()),
                         [](const auto &info) { return info.param.name; });

struct PlacementCase {
    std::string name;
    int32_t drawnHeight; // natural mode: the picture's own height
    int32_t destHeight;
    int32_t availHeight;
    int16_t reserve;
    int32_t showBadge;
    int32_t y0;
    int32_t badgeAfter;
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, PlacesBelowTheBadge)
{
    const PlacementCase &c = GetParam();
    ScaleInput in = FitRequest(301, c.drawnHeight, 400, c.availHeight);
    in.levelRequest = 1; // natural size
    in.destLeft = 1000;
    in.destTop = 2000;
    in.destWidth = 400;
    in.destHeight = c.destHeight;
    in.reserveHeight = c.reserve;
    in.showBadge = c.showBadge;
    ScaleDecision out = DecideScale(in);
    EXPECT_EQ(out.x, 1049) << "(400 - 301) / 2 = 49";
    EXPECT_EQ(out.y, 2000 + c.y0);
    EXPECT_EQ(out.showBadge, c.badgeAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlacementTest,
    ::testing::Values(PlacementCase{"CentredRoundsDown", 103, 100, 100, 0, 0, -2, 0},
                      PlacementCase{"CentredAboveReserveKept", 250, 300, 280, 20, 1, 25, 1},
                      PlacementCase{"PushedBelowReserve", 265, 300, 280, 20, 1, 22, 1},
                      PlacementCase{"NoRoomClearsBadge", 270, 300, 280, 20, 1, 15, 0},
                      PlacementCase{"NoReserveWithoutBadge", 270, 300, 280, 20, 0, 15, 0}),
    [](const auto &info) { return info.param.name; });

TEST(TruncScaled, FormsTheProductInDoublePrecision)
{
    EXPECT_EQ(TruncScaled(40, 0.75f), 30);
    // 0.9f lies below 0.9: 35.99999... truncates to 35 (a float product would round to 36).
    EXPECT_EQ(TruncScaled(40, 0.9f), 35);
    EXPECT_EQ(TruncScaled(-7, 0.5f), -3) << "toward zero";
}

TEST(TruncScaled, NeverConvertsAnUnrepresentableValue)
{
    EXPECT_EQ(TruncScaled(0, std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(TruncScaled(5, std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(TruncScaled(5, std::numeric_limits<float>::infinity()),
              std::numeric_limits<int32_t>::max());
    EXPECT_EQ(TruncScaled(-5, std::numeric_limits<float>::infinity()),
              std::numeric_limits<int32_t>::min());
    EXPECT_EQ(TruncScaled(2000000000, 3.0f), std::numeric_limits<int32_t>::max());
}

} // namespace
