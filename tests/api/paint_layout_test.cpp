// The paint request's use of the layout: nothing selected, the height limit
// it offers, and the release of everything it took.
#include "api/paint.h"
#include "layout/layout.h"
#include "platform/portable/heap.h"
#include "support/builders.h"
#include "support/layout_run.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using pptest::ModuleGuard;

int Paint(HMODULE module, int availHeight, int showBadge, const uint16_t *codes)
{
    return PaintPrt(nullptr, module, module, 0, 0, 400, 400, 400, availHeight, showBadge, 0, 0,
                    nullptr, 128, 0, codes);
}

struct NothingCase {
    const char *name;
    int16_t maxPieces;
    int16_t templateCount; // templates in the catalogue, none switched on
};

class PaintNothingSelected : public ::testing::TestWithParam<NothingCase> {};

TEST_P(PaintNothingSelected, ReturnsOneAndReleasesEverything)
{
    const NothingCase &c = GetParam();
    CatalogHeader header = pptest::DefaultHeader();
    header.maxPieces = c.maxPieces;
    std::vector<PieceTemplate> templates;
    for (int16_t i = 0; i < c.templateCount; ++i)
        templates.push_back(pptest::MakeTemplate(static_cast<int16_t>(500 + i), 0x8001, 0x8001));
    ModuleGuard module;
    module.Add(PP_CATALOGUE_ID, pptest::BuildCatalog(header, templates));
    const uint16_t codes[] = {77, 0};
    int32_t liveBefore = ppHeapLiveBlocks();

    EXPECT_EQ(Paint(module.get(), 300, 1, codes), PP_RESULT_NOTHING_SELECTED);
    EXPECT_EQ(ppModuleFreeCount(module.get(), PP_CATALOGUE_ID), 1);
    EXPECT_EQ(ppHeapLiveBlocks(), liveBefore);
}

INSTANTIATE_TEST_SUITE_P(Paint, PaintNothingSelected,
                         ::testing::Values(NothingCase{"CodesMatchNoTemplate", 32, 3},
                                           NothingCase{"NoTemplates", 32, 0},
                                           NothingCase{"NoRoomForPieces", 0, 3}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Paint, SelectedPiecesAreNotReportedAsNothingAndEverythingIsReleased)
{
    // An always-on template and one switched on by the code list.
    std::vector<PieceTemplate> templates = {pptest::MakeTemplate(500, 1, 0),
                                            pptest::MakeTemplate(501, 0x8001, 0x8001)};
    ModuleGuard module;
    module.Add(PP_CATALOGUE_ID, pptest::BuildCatalog(pptest::DefaultHeader(), templates));
    const uint16_t codes[] = {501, 0};
    int32_t liveBefore = ppHeapLiveBlocks();

    EXPECT_NE(Paint(module.get(), 300, 0, codes), PP_RESULT_NOTHING_SELECTED);
    EXPECT_NE(Paint(module.get(), 300, 0, nullptr), PP_RESULT_NOTHING_SELECTED);
    EXPECT_EQ(ppModuleFreeCount(module.get(), PP_CATALOGUE_ID), 2);
    EXPECT_EQ(ppHeapLiveBlocks(), liveBefore);
}

struct LimitCase {
    int32_t availHeight;
    int32_t reserveHeight;
    int32_t showBadge;
    int32_t limit;
    int16_t level; // chosen for a piece 290 high at level 3 and 270 at level 4
};

class PaintHeight : public ::testing::TestWithParam<LimitCase> {};

TEST_P(PaintHeight, BadgeReserveComesOffTheLayoutLimit)
{
    const LimitCase &c = GetParam();
    int32_t limit = PaintHeightLimit(c.availHeight, c.reserveHeight, c.showBadge);
    EXPECT_EQ(limit, c.limit);

    CatalogHeader header = pptest::DefaultHeader();
    header.levelCount = 2;
    header.reserveHeight = static_cast<int16_t>(c.reserveHeight);
    PieceTemplate piece = pptest::PlacedTemplate(0, 0x8001, 0x8001);
    piece.height[3] = 290;
    piece.height[4] = 270;
    pptest::LayoutRun run = pptest::RunLayout(header, {piece}, 0, 400, limit);
    EXPECT_EQ(run.result.level, c.level);
}

INSTANTIATE_TEST_SUITE_P(Paint, PaintHeight,
                         ::testing::Values(LimitCase{300, 20, 1, 280, 4},
                                           LimitCase{300, 20, 0, 300, 3},
                                           LimitCase{300, 20, -7, 280, 4}, // any non-zero
                                           LimitCase{300, -20, 1, 320, 3},
                                           LimitCase{INT32_MIN, 1, 1, INT32_MAX, 3}));

} // namespace
