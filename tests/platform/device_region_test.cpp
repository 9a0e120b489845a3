// Clip regions, FillRgn, FrameRgn, brushes, SelectObject and DeleteObject.
#include "platform/portable/device.h"
#include "support/dib.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

using pptest::DeviceGuard;

const uint32_t painted = 0x00123456;
const COLORREF paint = RGB(0x12, 0x34, 0x56);

// '#' for a painted pixel, '.' for one left black, top row first.
std::vector<std::string> Picture(const DeviceGuard &dc, int width, int height)
{
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x)
            row += dc.At(x, y) == painted ? '#' : (dc.At(x, y) == 0 ? '.' : '?');
        rows.push_back(row);
    }
    return rows;
}

void Clip(HDC dc, int left, int top, int right, int bottom)
{
    HRGN region = CreateRectRgn(left, top, right, bottom);
    SelectObject(dc, region);
    DeleteObject(region);
}

// --- clip region selection -------------------------------------------------

struct SelectCase {
    int left, top, right, bottom;
    int kind;
    std::vector<std::string> filled; // after FillRgn of the whole 6 x 4 surface
};

class ClipSelection : public ::testing::TestWithParam<SelectCase> {};

TEST_P(ClipSelection, ReturnsKindAndClipsLaterDrawing)
{
    const SelectCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 6, 4);
    HRGN region = CreateRectRgn(c.left, c.top, c.right, c.bottom);
    HGDIOBJ result = SelectObject(dc.get(), region);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(result), static_cast<uintptr_t>(c.kind));
    // The context keeps its own copy.
    DeleteObject(region);
    HRGN all = CreateRectRgn(0, 0, 6, 4);
    HBRUSH brush = CreateSolidBrush(paint);
    EXPECT_EQ(FillRgn(dc.get(), all, brush), TRUE);
    EXPECT_EQ(Picture(dc, 6, 4), c.filled);
    DeleteObject(all);
    DeleteObject(brush);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipSelection,
    ::testing::Values(
        SelectCase{1, 1, 4, 3, SIMPLEREGION, {"......", ".###..", ".###..", "......"}},
        // Coordinates in reverse order are put in order.
        SelectCase{4, 3, 1, 1, SIMPLEREGION, {"......", ".###..", ".###..", "......"}},
        // Off the surface: still a simple region, and it hides everything.
        SelectCase{10, 10, 20, 20, SIMPLEREGION, {"......", "......", "......", "......"}},
        SelectCase{-5, -5, 2, 20, SIMPLEREGION, {"##....", "##....", "##....", "##...."}},
        // Empty: a null region, which hides everything.
        SelectCase{2, 1, 2, 3, NULLREGION, {"......", "......", "......", "......"}},
        SelectCase{0, 2, 6, 2, NULLREGION, {"......", "......", "......", "......"}}));

TEST(ClipSelection, SecondSelectionReplacesTheFirst)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 6, 4);
    Clip(dc.get(), 0, 0, 2, 2);
    Clip(dc.get(), 4, 2, 6, 4); // disjoint: an intersection would hide everything
    HRGN all = CreateRectRgn(0, 0, 6, 4);
    HBRUSH brush = CreateSolidBrush(paint);
    FillRgn(dc.get(), all, brush);
    EXPECT_EQ(Picture(dc, 6, 4),
              (std::vector<std::string>{"......", "......", "....##", "....##"}));
    // A later empty selection hides everything again.
    Clip(dc.get(), 0, 0, 0, 0);
    ppDCFill(dc.get(), 0);
    FillRgn(dc.get(), all, brush);
    EXPECT_EQ(Picture(dc, 6, 4),
              (std::vector<std::string>{"......", "......", "......", "......"}));
    DeleteObject(all);
    DeleteObject(brush);
}

// --- FillRgn and FrameRgn ------------------------------------------------------

struct PaintCase {
    std::string name;
    bool frame;
    int left, top, right, bottom; // the region
    int width, height;            // frame size
    bool clipped;
    DeviceRect clip;
    BOOL result;
    std::vector<std::string> picture; // 8 x 8
};

class RegionPaint : public ::testing::TestWithParam<PaintCase> {};

TEST_P(RegionPaint, PaintsTheRightPixels)
{
    const PaintCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    if (c.clipped)
        Clip(dc.get(), c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
    HRGN region = CreateRectRgn(c.left, c.top, c.right, c.bottom);
    HBRUSH brush = CreateSolidBrush(paint);
    BOOL result = c.frame ? FrameRgn(dc.get(), region, brush, c.width, c.height)
                          : FillRgn(dc.get(), region, brush);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(Picture(dc, 8, 8), c.picture);
    DeleteObject(region);
    DeleteObject(brush);
}

const std::vector<std::string> blank(8, "........");

INSTANTIATE_TEST_SUITE_P(
    Cases, RegionPaint,
    ::testing::Values(
        PaintCase{"FillHalfOpen",
                  false,
                  2,
                  1,
                  5,
                  4,
                  0,
                  0,
                  false,
                  {},
                  TRUE,
                  {"........", "..###...", "..###...", "..###...", "........", "........",
                   "........", "........"}},
        PaintCase{"FillClipped",
                  false,
                  0,
                  0,
                  8,
                  8,
                  0,
                  0,
                  true,
                  {3, 2, 5, 3},
                  TRUE,
                  {"........", "........", "...##...", "........", "........", "........",
                   "........", "........"}},
        PaintCase{
            "FillOffSurfaceStillSucceeds", false, 20, 20, 30, 30, 0, 0, false, {}, TRUE, blank},
        PaintCase{"FillClippedAwayStillSucceeds",
                  false,
                  0,
                  0,
                  4,
                  4,
                  0,
                  0,
                  true,
                  {5, 5, 8, 8},
                  TRUE,
                  blank},
        PaintCase{"FillEmptyRegionSucceeds", false, 3, 3, 3, 8, 0, 0, false, {}, TRUE, blank},
        PaintCase{"FrameFourOnSixBySixFillsAll",
                  true,
                  1,
                  1,
                  7,
                  7,
                  4,
                  4,
                  false,
                  {},
                  TRUE,
                  {"........", ".######.", ".######.", ".######.", ".######.", ".######.",
                   ".######.", "........"}},
        // 9 x 9 from the origin: the interior is the single pixel (4, 4).
        PaintCase{"FrameFourOnNineByNine",
                  true,
                  0,
                  0,
                  9,
                  9,
                  4,
                  4,
                  false,
                  {},
                  TRUE,
                  {"########", "########", "########", "########", "####.###", "########",
                   "########", "########"}},
        PaintCase{"FrameTwoByOne",
                  true,
                  0,
                  0,
                  8,
                  6,
                  2,
                  1,
                  false,
                  {},
                  TRUE,
                  {"########", "##....##", "##....##", "##....##", "##....##", "########",
                   "........", "........"}},
        PaintCase{"FrameNegativeSizes",
                  true,
                  0,
                  0,
                  8,
                  6,
                  -2,
                  -1,
                  false,
                  {},
                  TRUE,
                  {"########", "##....##", "##....##", "##....##", "##....##", "########",
                   "........", "........"}},
        PaintCase{"FrameHeightOnly",
                  true,
                  1,
                  0,
                  7,
                  8,
                  0,
                  3,
                  false,
                  {},
                  TRUE,
                  {".######.", ".######.", ".######.", "........", "........", ".######.",
                   ".######.", ".######."}},
        PaintCase{"FrameZeroByZeroDrawsNothing", true, 1, 1, 7, 7, 0, 0, false, {}, TRUE, blank},
        PaintCase{"FrameEmptyRegionFails", true, 3, 3, 3, 8, 4, 4, false, {}, FALSE, blank},
        // The frame comes from the whole rectangle; the clip only hides part of it.
        PaintCase{"FrameClippedToItsInside",
                  true,
                  0,
                  0,
                  8,
                  8,
                  3,
                  3,
                  true,
                  {2, 2, 6, 6},
                  TRUE,
                  {"........", "........", "..####..", "..#..#..", "..#..#..", "..####..",
                   "........", "........"}},
        PaintCase{"FramePartlyOffSurface",
                  true,
                  -4,
                  -4,
                  6,
                  6,
                  4,
                  4,
                  false,
                  {},
                  TRUE,
                  {"..####..", "..####..", "######..", "######..", "######..", "######..",
                   "........", "........"}},
        PaintCase{
            "FrameClippedAwaySucceeds", true, 0, 0, 8, 8, 3, 3, true, {3, 3, 5, 5}, TRUE, blank}),
    [](const ::testing::TestParamInfo<PaintCase> &info) { return info.param.name; });

// --- brushes and objects ---------------------------------------------------------

TEST(Brushes, ColourRefBecomesRgbWithHighByteZero)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 2, 1);
    ppDCFill(dc.get(), 0xFF000000);
    HRGN region = CreateRectRgn(0, 0, 2, 1);
    HBRUSH brush = CreateSolidBrush(RGB(0x01, 0x02, 0x03));
    FillRgn(dc.get(), region, brush);
    EXPECT_EQ(dc.At(0, 0), 0x00010203u);
    DeleteObject(region);
    DeleteObject(brush);
}

// Each kind of brush colour, with the default palette selected and then a
// logical one of three entries.
TEST(Brushes, ColourKindsPaintAsTheirHighByteSays)
{
    struct Row {
        COLORREF color;
        uint32_t withDefault, withLogical;
    };
    const Row rows[] = {
        {0x01000003, 0x808000, 0x102030}, // PALETTEINDEX: entry 3; past the logical table, entry 0
        {0x01000002, 0x008000, 0x708090}, // PALETTEINDEX inside both
        {0x01000103, 0x000000, 0x102030}, // the low word counts: 259 is past, entry 0
        {0x03000002, 0x008000, 0x708090}, // any odd high byte is a palette index
        {0xFF000001, 0x800000, 0x405060},
        {0x10FF0003, 0x000000, 0x000000}, // DIBINDEX: no colour table, pixel 0
        {0x02123456, 0x563412, 0x563412}, // PALETTERGB: the low 24 bits
        {0x20FF0001, 0x0100FF, 0x0100FF}, // other even high bytes likewise
    };
    PALETTEENTRY entries[3] = {{0x10, 0x20, 0x30, 0}, {0x40, 0x50, 0x60, 0}, {0x70, 0x80, 0x90, 0}};
    std::vector<uint8_t> log(4 + sizeof entries);
    LOGPALETTE head{0x300, 3, {}};
    std::memcpy(log.data(), &head, 4);
    std::memcpy(log.data() + 4, entries, sizeof entries);
    HPALETTE logical = CreatePalette(reinterpret_cast<const LOGPALETTE *>(log.data()));
    for (const Row &row : rows) {
        DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 1);
        HRGN region = CreateRectRgn(0, 0, 1, 1);
        HRGN framed = CreateRectRgn(2, 0, 3, 1);
        HBRUSH brush = CreateSolidBrush(row.color);
        FillRgn(dc.get(), region, brush);
        HGDIOBJ stock = SelectPalette(dc.get(), logical, FALSE);
        FrameRgn(dc.get(), framed, brush, 1, 1);
        SelectPalette(dc.get(), static_cast<HPALETTE>(stock), FALSE);
        EXPECT_EQ(dc.At(0, 0), row.withDefault) << std::hex << row.color;
        EXPECT_EQ(dc.At(2, 0), row.withLogical) << std::hex << row.color;
        DeleteObject(brush);
        DeleteObject(framed);
        DeleteObject(region);
    }
    DeleteObject(logical);
}

TEST(Brushes, SelectObjectReturnsThePreviousBrush)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 2, 2);
    HBRUSH first = CreateSolidBrush(RGB(1, 2, 3));
    HBRUSH second = CreateSolidBrush(RGB(4, 5, 6));
    HGDIOBJ stock = SelectObject(dc.get(), first);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(DescribeObject(stock), "brush(0x00ffffff)");
    EXPECT_EQ(SelectObject(dc.get(), second), first);
    // Deleting a selected brush succeeds; it goes once it is let go.
    EXPECT_EQ(DeleteObject(second), TRUE);
    EXPECT_EQ(SelectObject(dc.get(), stock), second);
    EXPECT_EQ(UsableObject(second), nullptr);
    DeleteObject(first);
}

TEST(Objects, DeletedHandlesAreRefused)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 4);
    HRGN region = CreateRectRgn(0, 0, 4, 4);
    HBRUSH brush = CreateSolidBrush(paint);
    EXPECT_EQ(DeleteObject(region), TRUE);
    EXPECT_EQ(DeleteObject(region), FALSE);
    EXPECT_EQ(DeleteObject(nullptr), FALSE);
    EXPECT_EQ(FillRgn(dc.get(), region, brush), FALSE);
    EXPECT_EQ(SelectObject(dc.get(), region), nullptr);
    EXPECT_EQ(dc.At(0, 0), 0u);
    DeleteObject(brush);
}

TEST(Objects, PalettesAreNotSelectedWithSelectObject)
{
    DeviceGuard dc(PP_DEVICE_PALETTE256, 4, 4);
    LOGPALETTE log{0x300, 1, {{1, 2, 3, 0}}};
    HPALETTE palette = CreatePalette(&log);
    EXPECT_EQ(SelectObject(dc.get(), palette), nullptr);
    // The stock palette survives DeleteObject.
    EXPECT_EQ(DeleteObject(StockPalette()), TRUE);
    EXPECT_EQ(SelectPalette(dc.get(), StockPalette(), FALSE), StockPalette());
    DeleteObject(palette);
}

TEST(Objects, FillRgnRefusesABrushAsRegion)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 2, 2);
    HBRUSH brush = CreateSolidBrush(paint);
    EXPECT_EQ(FillRgn(dc.get(), brush, brush), FALSE);
    EXPECT_EQ(FrameRgn(dc.get(), brush, brush, 1, 1), FALSE);
    DeleteObject(brush);
}

} // namespace
