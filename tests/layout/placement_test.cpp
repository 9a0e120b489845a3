// Positions and picture boxes produced by the two placement passes.
#include "support/builders.h"
#include "support/layout_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pptest::LayoutRun;
using pptest::RunLayout;

struct Shape {
    uint16_t placeX;
    uint16_t placeY;
    uint16_t flags = 0;
    int16_t width = 4;
    int16_t height = 4;
    int16_t offsetX = 0;
    int16_t offsetY = 0;
};

std::vector<PieceTemplate> Build(const std::vector<Shape> &shapes)
{
    std::vector<PieceTemplate> templates;
    for (size_t i = 0; i < shapes.size(); ++i) {
        const Shape &s = shapes[i];
        PieceTemplate t = pptest::PlacedTemplate(i, s.placeX, s.placeY, s.flags);
        pptest::SetSize(t, s.width, s.height);
        pptest::SetOffsets(t, s.offsetX, s.offsetY);
        templates.push_back(t);
    }
    return templates;
}

struct PlacementCase {
    std::string name;
    std::vector<Shape> shapes;
    std::vector<int16_t> x; // after normalisation, by template
    std::vector<int16_t> y; // empty: not checked
    int16_t width;
    int16_t height;
};

std::vector<Shape> Group(int16_t lastOffset)
{
    return {{0xA001, 0x8001, 0x010},
            {0x8003, 0x8001},
            {0x8003, 0x8001},
            {0x8003, 0x8001},
            {0xA001, 0x8001, 0x020, 4, 4, lastOffset}};
}

// A first-pass piece of 100 x 50 at the origin, then the given pieces.
std::vector<Shape> AfterFrame(std::vector<Shape> rest)
{
    rest.insert(rest.begin(), Shape{0xA001, 0xA001, 0, 100, 50});
    return rest;
}

std::vector<PlacementCase> PlacementCases()
{
    return {
        {"FlowAdvancesCursorPastEachPiece",
         {{0x8802, 0x8001, 0x040, 10, 5}, {0x8802, 0x8001, 0, 20, 7}, {0x8802, 0x8001, 0, 30, 6}},
         {0, 10, 30},
         {0, 0, 0},
         60,
         7},
        {"CursorResetRestartsFlow",
         {{0x8802, 0x8001, 0x040, 10, 5},
          {0x8802, 0x8001, 0x001, 20, 7},
          {0x8802, 0x8001, 0, 30, 6}},
         {0, 0, 20},
         {},
         50,
         7},
        {"AdvanceOnAndOffTogetherLeaveItOff",
         {{0x8802, 0x8001, 0x040, 10}, {0x8802, 0x8001, 0x0C0, 20}, {0x8802, 0x8001, 0, 30}},
         {0, 10, 10},
         {},
         40,
         4},
        {"CursorResetActsOnUncomputedWord",
         {{0x8802, 0x8001, 0x040, 10}, {0x2001, 0x8001, 0x001, 4, 4, 50}, {0x8802, 0x8001}},
         {0, 0, 0},
         {},
         10,
         4},
        {"UncomputedWordStandsAtZeroButCountsInBox",
         {{0xA001, 0x8001, 0, 4, 4, -8}, {0x2001, 0x8001, 0, 4, 4, 50}},
         {0, 8},
         {},
         12,
         4},
        {"NormalisationShiftsYEvenWithoutPlaceY",
         {{0x8001, 0xA001, 0, 4, 4, 0, -10}, {0x8001, 0x0000}},
         {0, 0},
         {0, 10},
         4,
         10},
        {"GroupSpacesMembersEvenly", Group(100), {0, 25, 50, 75, 100}, {}, 104, 4},
        {"GroupStepTruncates", Group(10), {0, 2, 4, 6, 10}, {}, 14, 4},
        {"GroupStepNegative", Group(-10), {10, 8, 6, 4, 0}, {}, 14, 4},
        {"GroupSpanWiderThan16Bits",
         {{0xA001, 0x8001, 0x010, 4, 4, -20000},
          {0x8003, 0x8001},
          {0xA001, 0x8001, 0x020, 4, 4, 20000}},
         {0, 20000, -25536},
         {},
         -25532,
         4},
        {"GroupEndWithoutMembersLeavesGroupOpen",
         {{0xA001, 0x8001, 0x010},
          {0xA001, 0x8001, 0x020, 4, 4, 30},
          {0x8003, 0x8001},
          {0xA001, 0x8001, 0x020, 4, 4, 60}},
         {0, 30, 0, 60},
         {},
         64,
         4},
        {"SecondGroupStartReopensAndKeepsMembers",
         {{0xA001, 0x8001, 0x010},
          {0x8003, 0x8001},
          {0xA001, 0x8001, 0x010, 4, 4, 10},
          {0x8003, 0x8001},
          {0xA001, 0x8001, 0x020, 4, 4, 40}},
         {0, 0, 10, 20, 40},
         {},
         44,
         4},
        {"RepeatOnXRecomputesYFromCurrentState",
         {{0xA001, 0x8802, 0x110}, {0x8003, 0x8802}, {0xA001, 0x8802, 0x020, 4, 4, 20}},
         {0, 10, 20},
         {0, 12, 16},
         24,
         20},
        {"RepeatOnBothAxesFromDifferentSlots",
         {{0x9802, 0xA001, 0x044},
          {0x8801, 0x8003, 0x010},
          {0x8003, 0x8003},
          {0xA000, 0xA001, 0x028, 4, 4, 40, 30}},
         {44, 48, 22, 40}, // X is not wound back: its anchor of 40 carries into slot 0
         {0, 10, 20, 30},
         52,
         34},
        {"PositionSumWraps",
         {{0xA000, 0x8001, 0, 4, 4, 30000}, {0xB001, 0x8001, 0, 4, 4, 10000}},
         {-10000, 0},
         {},
         -9996,
         4},
        {"CentredOnFirstPassBox", AfterFrame({{0x4004, 0x8001, 0, 30}}), {0, 35}, {}, 100, 50},
        {"CentredOddRemainder", AfterFrame({{0x4004, 0x8001, 0, 31}}), {0, 34}, {}, 100, 50},
        {"CentredWiderThanBoxGrowsIt",
         AfterFrame({{0x4004, 0x8001, 0, 130}}),
         {15, 0},
         {},
         130,
         50},
        {"CentredShiftTruncatesTowardZero",
         AfterFrame({{0x4004, 0x8001, 0, 131}}),
         {15, 0},
         {},
         131,
         50},
        {"DeferredStacking",
         AfterFrame({{0xA001, 0x4006, 0, 4, 10}, {0xA001, 0x6080, 0, 4, 10, 0, 10}}),
         {},
         {0, 50, 60},
         100,
         70},
        {"DeferredBaseIgnoresGrownBox",
         AfterFrame({{0x4006, 0x8001, 0, 20}, {0x4006, 0x8001, 0, 10}}),
         {0, 100, 100},
         {},
         120,
         50},
        {"DeferredAccumulatorsChain",
         AfterFrame({{0x4004, 0x8001, 0, 30},
                     {0x4200, 0x8001},
                     {0x6005, 0x8001, 0, 4, 4, 7},
                     {0x4100, 0x8001}}),
         {0, 35, 35, 7, 7},
         {},
         100,
         50},
    };
}

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, PositionsAndBox)
{
    const PlacementCase &c = GetParam();
    LayoutRun run = RunLayout(pptest::DefaultHeader(), Build(c.shapes));
    ASSERT_EQ(run.count, static_cast<int32_t>(c.shapes.size()));
    if (!c.x.empty()) {
        EXPECT_EQ(run.x, c.x);
    }
    if (!c.y.empty()) {
        EXPECT_EQ(run.y, c.y);
    }
    EXPECT_EQ(run.result.width, c.width);
    EXPECT_EQ(run.result.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(Layout, Placement, ::testing::ValuesIn(PlacementCases()),
                         [](const auto &info) { return info.param.name; });

TEST(Placement, PiecesCarryTheirExtentAtTheChosenLevel)
{
    std::vector<PieceTemplate> templates = Build({{0x8001, 0x8001}});
    for (int level = 0; level < 5; ++level) {
        templates[0].width[level] = static_cast<int16_t>(10 + level);
        templates[0].height[level] = static_cast<int16_t>(20 + level);
    }
    LayoutRun run = RunLayout(pptest::DefaultHeader(), templates, 2);
    ASSERT_EQ(run.count, 1);
    EXPECT_EQ(run.pieces[0].width, 13);
    EXPECT_EQ(run.pieces[0].height, 23);
    EXPECT_EQ(run.result.level, 3);
}

} // namespace
