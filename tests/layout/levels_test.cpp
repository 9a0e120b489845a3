// Level choice, level-dependent bitmap ids and what the layout hands back.
#include "layout/layout.h"
#include "select/codeset.h"
#include "support/builders.h"
#include "support/layout_run.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using pptest::LayoutRun;
using pptest::RunLayout;

// One piece 500, 400, 300, 200, 100 wide at levels 0 to 4.
std::vector<PieceTemplate> ShrinkingPiece()
{
    PieceTemplate t = pptest::PlacedTemplate(0, 0x8001, 0x8001);
    for (int level = 0; level < 5; ++level)
        t.width[level] = static_cast<int16_t>(500 - 100 * level);
    return {t};
}

struct LevelCase {
    int16_t levelCount;
    int32_t levelRequest;
    int32_t maxWidth;
    int16_t level;
    int16_t width;
};

class LevelChoice : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelChoice, ChoosesLevelAndWidth)
{
    const LevelCase &c = GetParam();
    CatalogHeader header = pptest::DefaultHeader();
    header.levelCount = c.levelCount;
    LayoutRun run = RunLayout(header, ShrinkingPiece(), c.levelRequest, c.maxWidth, 1000);
    ASSERT_EQ(run.count, 1);
    EXPECT_EQ(run.result.level, c.level);
    EXPECT_EQ(run.result.width, c.width);
    EXPECT_EQ(run.pieces[0].width, c.width);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, LevelChoice,
    ::testing::Values(
        // Searching the two smallest levels.
        LevelCase{2, 0, 250, 3, 200}, LevelCase{2, 0, 200, 3, 200}, // fit is inclusive
        LevelCase{2, 0, 150, 4, 100}, LevelCase{2, 0, 50, 4, 100},  // nothing fits: last level
        LevelCase{5, 0, 1000, 0, 500}, LevelCase{5, 0, 350, 2, 300},
        // A request lays out exactly one level, fitting or not.
        LevelCase{2, 3, 50, 2, 300}, LevelCase{2, 3, 1000, 2, 300}, LevelCase{2, 1, 1000, 4, 100},
        LevelCase{2, 5, 10, 0, 500}, LevelCase{2, 6, 10, 0, 500}, LevelCase{2, -1, 1000, 4, 100},
        // levelCount outside 1..5 is clamped into 1..5 for the search.
        LevelCase{0, 0, 1000, 4, 100}, LevelCase{-3, 0, 1000, 4, 100},
        LevelCase{9, 0, 1000, 0, 500}, LevelCase{9, 0, 250, 3, 200}));

TEST(LevelChoice, HeightTakesPartInTheFit)
{
    std::vector<PieceTemplate> templates = ShrinkingPiece();
    for (int level = 0; level < 5; ++level)
        templates[0].height[level] = static_cast<int16_t>(50 - 10 * level);
    LayoutRun run = RunLayout(pptest::DefaultHeader(), templates, 0, 1000, 25);
    EXPECT_EQ(run.result.level, 3);
    EXPECT_EQ(run.result.height, 20);
}

TEST(LevelChoice, NoPieceSelectedGivesEmptyPictureAtFirstLevel)
{
    CatalogHeader header = pptest::DefaultHeader();
    header.levelCount = 2;
    const std::vector<uint16_t> otherCode = {7, 0};
    LayoutRun run = pptest::RunLayoutWithCodes(header, ShrinkingPiece(), otherCode, 0, 0, 0);
    EXPECT_EQ(run.count, 0);
    EXPECT_EQ(run.result.level, 3);
    EXPECT_EQ(run.result.width, 0);
    EXPECT_EQ(run.result.height, 0);
    EXPECT_EQ(run.result.attention, ATTENTION_NONE);

    // Nothing fits a negative width.
    run = pptest::RunLayoutWithCodes(header, ShrinkingPiece(), otherCode, 0, -1, 0);
    EXPECT_EQ(run.result.level, 4);
}

TEST(BitmapIds, AdjustedByLevelOutsideTheFixedRange)
{
    const std::vector<int16_t> stored = {1000, 29889, 29890, 32000, 32001, 32700, -5};
    const std::vector<int16_t> atLevel3 = {1100, 29989, 29890, 32000, 32101, -32736, 95};
    CatalogHeader header = pptest::DefaultHeader();
    header.baseLevel = 2;
    header.idStep = 100;
    header.idBase = 0;
    std::vector<PieceTemplate> templates;
    for (size_t i = 0; i < stored.size(); ++i) {
        templates.push_back(pptest::PlacedTemplate(i, 0x8001, 0x8001));
        templates.back().bitmapId = stored[i];
        templates.back().drawOrder = static_cast<uint16_t>(i);
    }
    LayoutRun run = RunLayout(header, templates, 2);
    ASSERT_EQ(run.count, static_cast<int32_t>(stored.size()));
    for (size_t i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(run.pieces[i].bitmapId, atLevel3[i]) << "stored id " << stored[i];
        EXPECT_EQ(run.pieces[i].drawOrder, i);
    }
}

TEST(BitmapIds, BaseAndNegativeLevelDistance)
{
    CatalogHeader header = pptest::DefaultHeader();
    header.baseLevel = 4;
    header.idStep = 10;
    header.idBase = 3;
    std::vector<PieceTemplate> templates = {pptest::PlacedTemplate(0, 0x8001, 0x8001)};
    templates[0].bitmapId = 500;
    EXPECT_EQ(RunLayout(header, templates, 5).pieces.at(0).bitmapId, 500 - 40 + 3);
    EXPECT_EQ(RunLayout(header, templates, 1).pieces.at(0).bitmapId, 503);
}

TEST(LayoutResultOrder, PiecesComeBackInDrawOrderWithTheirPositions)
{
    std::vector<PieceTemplate> templates;
    const uint16_t keys[] = {3, 1, 2};
    for (size_t i = 0; i < 3; ++i) {
        templates.push_back(pptest::PlacedTemplate(i, 0xA001, 0x8001));
        pptest::SetOffsets(templates.back(), static_cast<int16_t>(10 * i), 0);
        templates.back().drawOrder = keys[i];
    }
    LayoutRun run = RunLayout(pptest::DefaultHeader(), templates);
    ASSERT_EQ(run.count, 3);
    const int16_t order[] = {1, 2, 0};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(run.pieces[i].templateIndex, order[i]);
        EXPECT_EQ(run.pieces[i].x, 10 * order[i]);
    }
}

TEST(LayoutResultOrder, CodeSetIsReleasedAndCatalogueStaysRegistered)
{
    LayoutRun run = RunLayout(pptest::DefaultHeader(), ShrinkingPiece());
    EXPECT_EQ(run.count, 1);
    EXPECT_EQ(CodeSetState()->codes, nullptr);
}

TEST(FirstPassPlaced, NonZeroWordsWithoutDeferredBit)
{
    struct {
        uint16_t word;
        bool placed;
    } const cases[] = {{0x0000, false}, {0x4000, false}, {0xC004, false}, {0x4006, false},
                       {0x0001, true},  {0x8000, true},  {0x2001, true},  {0xBFFF, true}};
    for (const auto &c : cases)
        EXPECT_EQ(IsFirstPassPlaced(c.word), c.placed) << std::hex << c.word;
}

} // namespace
