// StretchDIBits: results, rejections, which source pixel lands where, the
// stretch modes, clipping and the source formats.
#include "support/dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using pptest::ColumnRamp;
using pptest::DeviceGuard;
using pptest::Dib;
using pptest::MakeDib;
using pptest::RampColor;

const uint32_t untouched = 0x00FEDCBA;
const uint32_t red = 0x00FF0000, green = 0x0000FF00, blue = 0x000000FF;

int Draw(HDC dc, const Dib &dib, int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh)
{
    return StretchDIBits(dc, dx, dy, dw, dh, sx, sy, sw, sh, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                         SRCCOPY);
}

// A bitmap whose pixels are all different: index y * width + x.
Dib Numbered(int width, int height, bool topDown = false)
{
    std::vector<uint32_t> pixels, colors;
    for (int i = 0; i < width * height; ++i)
        pixels.push_back(static_cast<uint32_t>(i));
    for (int i = 0; i < 256; ++i)
        colors.push_back(RampColor(i));
    return MakeDib(width, height, 8, pixels, colors, topDown);
}

// --- result and rejection -------------------------------------------------

struct ResultCase {
    std::string name;
    std::function<void(Dib &)> change; // applied to a 4 x 3 8-bit bitmap
    int dx, dy, dw, dh, sx, sy, sw, sh;
    int expected;
    bool draws;
};

class StretchResult : public ::testing::TestWithParam<ResultCase> {};

TEST_P(StretchResult, ReturnsRowsOrRejects)
{
    const ResultCase &c = GetParam();
    Dib dib = Numbered(4, 3);
    if (c.change)
        c.change(dib);
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    ppDCFill(dc.get(), untouched);
    EXPECT_EQ(Draw(dc.get(), dib, c.dx, c.dy, c.dw, c.dh, c.sx, c.sy, c.sw, c.sh), c.expected);
    bool drawn = false;
    for (uint32_t pixel : dc.Pixels())
        drawn = drawn || pixel != untouched;
    EXPECT_EQ(drawn, c.draws);
}

auto SetHeader(std::function<void(BITMAPINFOHEADER &)> f)
{
    return [f](Dib &dib) { f(dib.Header()); };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StretchResult,
    ::testing::Values(
        ResultCase{"Whole", nullptr, 0, 0, 4, 3, 0, 0, 4, 3, 3, true},
        ResultCase{"SourceRectSmallerStillBitmapHeight", nullptr, 0, 0, 2, 1, 1, 1, 2, 1, 3, true},
        ResultCase{"TopDown", SetHeader([](BITMAPINFOHEADER &h) { h.biHeight = -3; }), 0, 0, 4, 3,
                   0, 0, 4, 3, 3, true},
        ResultCase{"DestinationOffSurface", nullptr, 20, 20, 4, 3, 0, 0, 4, 3, 3, false},
        ResultCase{"DestinationWidthZero", nullptr, 0, 0, 0, 3, 0, 0, 4, 3, 3, false},
        ResultCase{"DestinationHeightZero", nullptr, 0, 0, 4, 0, 0, 0, 4, 3, 3, false},
        ResultCase{"SourcePartlyOutside", nullptr, 0, 0, 4, 3, 2, -1, 4, 3, 3, true},
        ResultCase{"SourceWidthZero", nullptr, 0, 0, 4, 3, 0, 0, 0, 3, 0, false},
        ResultCase{"SourceHeightZero", nullptr, 0, 0, 4, 3, 0, 0, 4, 0, 0, false},
        ResultCase{"SourceRight", nullptr, 0, 0, 4, 3, 4, 0, 4, 3, 0, false},
        ResultCase{"SourceLeft", nullptr, 0, 0, 4, 3, -4, 0, 4, 3, 0, false},
        ResultCase{"SourceAbove", nullptr, 0, 0, 4, 3, 0, 3, 4, 3, 0, false},
        ResultCase{"SourceBelow", nullptr, 0, 0, 4, 3, 0, -3, 4, 3, 0, false},
        ResultCase{"PlanesZero", SetHeader([](BITMAPINFOHEADER &h) { h.biPlanes = 0; }), 0, 0, 4, 3,
                   0, 0, 4, 3, 0, false},
        ResultCase{"PlanesTwoDrawnAsOne", SetHeader([](BITMAPINFOHEADER &h) { h.biPlanes = 2; }), 0,
                   0, 4, 3, 0, 0, 4, 3, 3, true},
        ResultCase{"BitCountZero", SetHeader([](BITMAPINFOHEADER &h) { h.biBitCount = 0; }), 0, 0,
                   4, 3, 0, 0, 4, 3, 0, false},
        ResultCase{"BitCountTwo", SetHeader([](BITMAPINFOHEADER &h) { h.biBitCount = 2; }), 0, 0, 4,
                   3, 0, 0, 4, 3, 0, false},
        ResultCase{"WidthZero", SetHeader([](BITMAPINFOHEADER &h) { h.biWidth = 0; }), 0, 0, 4, 3,
                   0, 0, 4, 3, 0, false},
        ResultCase{"WidthNegative", SetHeader([](BITMAPINFOHEADER &h) { h.biWidth = -4; }), 0, 0, 4,
                   3, 0, 0, 4, 3, 0, false},
        ResultCase{"HeightZero", SetHeader([](BITMAPINFOHEADER &h) { h.biHeight = 0; }), 0, 0, 4, 3,
                   0, 0, 4, 3, 0, false},
        ResultCase{"Compressed", SetHeader([](BITMAPINFOHEADER &h) { h.biCompression = 1; }), 0, 0,
                   4, 3, 0, 0, 4, 3, 0, false},
        ResultCase{"ShortHeader", SetHeader([](BITMAPINFOHEADER &h) { h.biSize = 12; }), 0, 0, 4, 3,
                   0, 0, 4, 3, 0, false}),
    [](const ::testing::TestParamInfo<ResultCase> &info) { return info.param.name; });

TEST(StretchResult, RejectsNullArgumentsAndOtherOperations)
{
    Dib dib = Numbered(2, 2);
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 4);
    EXPECT_EQ(StretchDIBits(dc.get(), 0, 0, 2, 2, 0, 0, 2, 2, nullptr, dib.Info(), DIB_RGB_COLORS,
                            SRCCOPY),
              0);
    EXPECT_EQ(StretchDIBits(dc.get(), 0, 0, 2, 2, 0, 0, 2, 2, dib.Bits(), nullptr, DIB_RGB_COLORS,
                            SRCCOPY),
              0);
    EXPECT_EQ(StretchDIBits(dc.get(), 0, 0, 2, 2, 0, 0, 2, 2, dib.Bits(), dib.Info(), 2, SRCCOPY),
              0);
    EXPECT_EQ(StretchDIBits(nullptr, 0, 0, 2, 2, 0, 0, 2, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                            SRCCOPY),
              0);
    EXPECT_EQ(dc.At(0, 0), 0u);
}

TEST(StretchResult, ClippedAwayStillReportsRows)
{
    Dib dib = Numbered(4, 3);
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    HRGN empty = CreateRectRgn(2, 2, 2, 6);
    SelectObject(dc.get(), empty);
    DeleteObject(empty);
    EXPECT_EQ(Draw(dc.get(), dib, 0, 0, 8, 8, 0, 0, 4, 3), 3);
    EXPECT_EQ(dc.Pixels(), std::vector<uint32_t>(64, 0u));
}

// A stretch whose source part and visible destination meet once mapped (each
// widened by a pixel) but that draws no pixel reports 0; one whose mapped
// ranges miss each other reports its rows.
TEST(StretchResult, StretchThatMeetsButDrawsNothingReportsZero)
{
    struct Case {
        int clipLeft, clipRight, dx, dw, sx, sw, mode, expected;
    };
    const Case cases[] = {
        {0, 4, 0, 8, -2, 4, BLACKONWHITE, 0}, // source columns land on 4..7, the clip ends at 4
        {0, 4, 0, 8, -2, 4, COLORONCOLOR, 0},
        {0, 4, 7, -8, -2, 4, BLACKONWHITE, 0}, // mirrored destination
        {0, 5, 0, 8, -2, 4, BLACKONWHITE, 3},  // pixel 4 is drawn
        {5, 8, 0, 8, 2, 4, BLACKONWHITE, 3},   // mapped range [0, 4) misses [5, 8) even widened
        {0, 1, 0, 2, -2, 4, WHITEONBLACK, 0},  // shrinking: pixel 0's group lies outside
        {0, 1, 0, 1, -3, 4, WHITEONBLACK, 3},  // back-mapped source misses the bitmap
        {0, 4, 0, 4, -2, 4, BLACKONWHITE, 3},  // 1:1 is not stretching: rows reported
    };
    Dib dib = Numbered(4, 3);
    for (const Case &c : cases) {
        DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 3);
        ppDCFill(dc.get(), untouched);
        HRGN clip = CreateRectRgn(c.clipLeft, 0, c.clipRight, 3);
        SelectObject(dc.get(), clip);
        DeleteObject(clip);
        SetStretchBltMode(dc.get(), c.mode);
        EXPECT_EQ(Draw(dc.get(), dib, c.dx, 0, c.dw, 3, c.sx, 0, c.sw, 3), c.expected)
            << c.clipLeft << " " << c.clipRight << " " << c.dx << " " << c.dw << " " << c.sx;
    }
}

// BI_BITFIELDS: each channel's run of mask bits, its top eight bits made a
// level and the run repeated once below itself; the surface's own 32-bit
// layout keeps the fourth byte as a plain 32-bit source does.
TEST(StretchFormats, BitfieldMasksSpreadEachChannelOverALevel)
{
    struct Case {
        int bpp;
        uint32_t masks[3];
        uint32_t pixel;
        uint32_t expected;
    };
    const Case cases[] = {
        {16, {0xF800, 0x07E0, 0x001F}, 0x8421, 0x848608}, // 5-6-5
        {16, {0x7C00, 0x03E0, 0x001F}, 0x7FFF, 0xFFFFFF}, // 5-5-5
        {16, {0x0F00, 0x00F0, 0x000F}, 0x0F31, 0xFF3311}, // 4 bits: v << 4 | v
        {16, {0x0003, 0x0000, 0xC000}, 0xC003, 0xF000F0}, // 2 bits spread once only; no mask: 0
        {32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0x3FF003FF, 0xFF00FF}, // 10 bits: the top 8
        {32, {0xFF000000, 0x00FF0000, 0x0000FF00}, 0x12345678, 0x123456},
        {32, {0x00FF0000, 0x0000FF00, 0x000000FF}, 0x9A123456, 0x9A123456}, // fourth byte kept
    };
    for (const Case &c : cases) {
        Dib dib = MakeDib(1, 1, c.bpp, {c.pixel});
        dib.Header().biCompression = 3;
        for (uint32_t mask : c.masks) {
            for (int b = 0; b < 4; ++b)
                dib.info.push_back(static_cast<uint8_t>(mask >> (8 * b)));
        }
        if (c.bpp == 32)
            std::memcpy(dib.bits.data(), &c.pixel, 4); // with its fourth byte
        DeviceGuard dc(PP_DEVICE_TRUECOLOR, 2, 1);
        EXPECT_EQ(Draw(dc.get(), dib, 0, 0, 1, 1, 0, 0, 1, 1), 1);
        EXPECT_EQ(Draw(dc.get(), dib, 1, 0, 1, 1, 0, 0, -1, 1), 1); // a stretching call
        EXPECT_EQ(dc.At(0, 0), c.expected) << std::hex << c.pixel;
        EXPECT_EQ(dc.At(1, 0), c.expected) << std::hex << c.pixel;
    }
}

// --- which source pixel lands where ----------------------------------------

// The groups the nearest-neighbour rule gives, straight from its two formulas.
std::vector<std::vector<int>> ReferenceGroups(int src, int dst)
{
    std::vector<std::vector<int>> groups(static_cast<size_t>(dst));
    if (dst >= src) {
        for (int d = 0; d < dst; ++d)
            groups[d].push_back(((2 * d + 1) * src - 1) / (2 * dst));
    } else {
        for (int s = 0; s < src; ++s)
            groups[((2 * s + 1) * dst - 1) / (2 * src)].push_back(s);
    }
    return groups;
}

struct MappingCase {
    int src, dst;
    std::vector<int> columns; // COLORONCOLOR: the column each destination pixel shows
};

class StretchMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(StretchMapping, Horizontal)
{
    const MappingCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 1);
    SetStretchBltMode(dc.get(), COLORONCOLOR);
    Draw(dc.get(), ColumnRamp(c.src), 0, 0, c.dst, 1, 0, 0, c.src, 1);
    for (int d = 0; d < c.dst; ++d)
        EXPECT_EQ(dc.At(d, 0), RampColor(c.columns[d])) << "destination " << d;
}

TEST_P(StretchMapping, Vertical)
{
    const MappingCase &c = GetParam();
    // One column; row y (from the top) holds index y.
    std::vector<uint32_t> pixels, colors;
    for (int y = 0; y < c.src; ++y)
        pixels.push_back(static_cast<uint32_t>(y));
    for (int i = 0; i < 256; ++i)
        colors.push_back(RampColor(i));
    Dib dib = MakeDib(1, c.src, 8, pixels, colors);
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 1, 16);
    SetStretchBltMode(dc.get(), COLORONCOLOR);
    Draw(dc.get(), dib, 0, 0, 1, c.dst, 0, 0, 1, c.src);
    std::vector<std::vector<int>> groups = ReferenceGroups(c.src, c.dst);
    for (int d = 0; d < c.dst; ++d) // COLORONCOLOR keeps the first row of a group
        EXPECT_EQ(dc.At(0, d), RampColor(groups[d].front())) << "destination " << d;
}

INSTANTIATE_TEST_SUITE_P(Examples, StretchMapping,
                         ::testing::Values(MappingCase{4, 10, {0, 0, 0, 1, 1, 2, 2, 2, 3, 3}},
                                           MappingCase{3, 7, {0, 0, 1, 1, 1, 2, 2}},
                                           // groups {0,1,2} {3,4} {5,6,7} {8,9}: last column
                                           MappingCase{10, 4, {2, 4, 7, 9}},
                                           MappingCase{5, 5, {0, 1, 2, 3, 4}},
                                           MappingCase{1, 3, {0, 0, 0}}, MappingCase{7, 1, {6}}));

TEST(StretchMapping, EveryPairOfSmallSizesFollowsTheFormulas)
{
    for (int src = 1; src <= 12; ++src) {
        for (int dst = 1; dst <= 12; ++dst) {
            std::vector<std::vector<int>> groups = ReferenceGroups(src, dst);
            for (int mode : {COLORONCOLOR, BLACKONWHITE, WHITEONBLACK}) {
                DeviceGuard dc(PP_DEVICE_TRUECOLOR, 12, 1);
                SetStretchBltMode(dc.get(), mode);
                Draw(dc.get(), ColumnRamp(src), 0, 0, dst, 1, 0, 0, src, 1);
                for (int d = 0; d < dst; ++d) {
                    uint32_t expected = mode == BLACKONWHITE ? 0xFFFFFFFFu : 0u;
                    if (mode == COLORONCOLOR)
                        expected = RampColor(groups[d].back());
                    for (int s : groups[d]) {
                        if (mode == BLACKONWHITE)
                            expected &= RampColor(s);
                        else if (mode == WHITEONBLACK)
                            expected |= RampColor(s);
                    }
                    ASSERT_EQ(dc.At(d, 0), expected)
                        << src << " -> " << dst << " mode " << mode << " pixel " << d;
                }
            }
        }
    }
}

// --- stretch modes when shrinking ------------------------------------------

struct ModeCase {
    int mode;
    int srcW, srcH;
    std::vector<uint32_t> colors; // the pixels, top row first, as colours
    uint32_t expected;
};

class StretchModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(StretchModes, CombineAGroupIntoOnePixel)
{
    const ModeCase &c = GetParam();
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i < c.colors.size(); ++i)
        pixels.push_back(static_cast<uint32_t>(i));
    Dib dib = MakeDib(c.srcW, c.srcH, 8, pixels, c.colors);
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 2, 2);
    // The destination's own pixel never takes part, whatever it holds.
    ppDCFill(dc.get(), c.mode == BLACKONWHITE ? 0 : 0x00FFFFFF);
    SetStretchBltMode(dc.get(), c.mode);
    Draw(dc.get(), dib, 0, 0, 1, 1, 0, 0, c.srcW, c.srcH);
    EXPECT_EQ(dc.At(0, 0), c.expected);
    EXPECT_EQ(dc.At(1, 1), c.mode == BLACKONWHITE ? 0u : 0x00FFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StretchModes,
    ::testing::Values(
        // AND of the colours, not of the indices 0 and 1 (which would give 0).
        ModeCase{BLACKONWHITE, 2, 1, {0x00FF8001, 0x00FF0003}, 0x00FF0001},
        // Red and green: their indices 1 and 2 would AND to 0 too, their colours give black.
        ModeCase{BLACKONWHITE, 3, 1, {0x00FFFFFF, red, green}, 0},
        ModeCase{BLACKONWHITE, 1, 2, {0x00F0F0F0, 0x00333333}, 0x00303030},
        ModeCase{BLACKONWHITE, 2, 2, {0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FF00FF}, 0x00FF00FF},
        ModeCase{WHITEONBLACK, 2, 1, {red, green}, 0x00FFFF00},
        ModeCase{WHITEONBLACK, 2, 2, {0, 0, 0, blue}, blue},
        // COLORONCOLOR: last column, first row.
        ModeCase{COLORONCOLOR, 3, 1, {red, green, blue}, blue},
        ModeCase{COLORONCOLOR, 1, 3, {red, green, blue}, red},
        ModeCase{COLORONCOLOR, 2, 2, {red, green, blue, 0x00123456}, green}));

TEST(StretchModes, ShrinkOneAxisEnlargeTheOther)
{
    // 2 x 1 -> 1 x 2: columns combine, the row repeats.
    Dib dib = MakeDib(2, 1, 8, {0, 1}, {0x00F0F000, 0x000FF000});
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 1, 2);
    Draw(dc.get(), dib, 0, 0, 1, 2, 0, 0, 2, 1);
    EXPECT_EQ(dc.At(0, 0), 0x0000F000u);
    EXPECT_EQ(dc.At(0, 1), 0x0000F000u);
}

TEST(StretchModes, EqualSizesIgnoreTheMode)
{
    for (int mode : {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR, HALFTONE}) {
        Dib dib = MakeDib(2, 1, 32, {0x80102030, 0x01FFFFFF});
        DeviceGuard dc(PP_DEVICE_TRUECOLOR, 2, 1);
        SetStretchBltMode(dc.get(), mode);
        Draw(dc.get(), dib, 0, 0, 2, 1, 0, 0, 2, 1);
        EXPECT_EQ(dc.Row(0), (std::vector<uint32_t>{0x80102030, 0x01FFFFFF})) << "mode " << mode;
    }
}

// --- source rectangles partly outside, mirroring ----------------------------

struct PlacementCase {
    std::string name;
    int dx, dw, sx, sw;
    std::vector<int> columns; // per destination pixel 0..7: column shown, -1 untouched
};

class StretchPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(StretchPlacement, Horizontal)
{
    const PlacementCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 1);
    ppDCFill(dc.get(), untouched);
    SetStretchBltMode(dc.get(), COLORONCOLOR);
    EXPECT_EQ(Draw(dc.get(), ColumnRamp(4), c.dx, 0, c.dw, 1, c.sx, 0, c.sw, 1), 1);
    for (int x = 0; x < 8; ++x) {
        uint32_t expected = c.columns[x] < 0 ? untouched : RampColor(c.columns[x]);
        EXPECT_EQ(dc.At(x, 0), expected) << "pixel " << x;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StretchPlacement,
    ::testing::Values(
        PlacementCase{"Plain", 2, 4, 0, 4, {-1, -1, 0, 1, 2, 3, -1, -1}},
        PlacementCase{"SourceStartsLeftOfBitmap", 0, 4, -2, 4, {-1, -1, 0, 1, -1, -1, -1, -1}},
        PlacementCase{"SourceEndsRightOfBitmap", 0, 8, 2, 4, {2, 2, 3, 3, -1, -1, -1, -1}},
        // 6 -> 3 from column -2: groups {-2,-1} {0,1} {2,3}.
        PlacementCase{"ShrinkPartlyOutside", 0, 3, -2, 6, {-1, 1, 3, -1, -1, -1, -1, -1}},
        PlacementCase{"DestinationMirrored", 5, -4, 0, 4, {-1, -1, 3, 2, 1, 0, -1, -1}},
        PlacementCase{"SourceMirrored", 0, 4, 3, -4, {3, 2, 1, 0, -1, -1, -1, -1}},
        PlacementCase{"BothMirrored", 5, -4, 3, -4, {-1, -1, 0, 1, 2, 3, -1, -1}},
        PlacementCase{"MirroredEnlarged", 7, -8, 0, 4, {3, 3, 2, 2, 1, 1, 0, 0}},
        // A mirrored axis whose source runs past the bitmap: GDI moves the
        // destination instead of mirroring around the columns that exist, and
        // draws only the room those columns map to (seen under Wine).
        PlacementCase{"SourceMirroredPartlyOutside", 0, 4, 1, -4, {-1, -1, 1, 0, -1, -1, -1, -1}},
        PlacementCase{
            "SourceMirroredPartlyOutsideShrunk", 0, 3, 1, -6, {-1, -1, 0, -1, -1, -1, -1, -1}},
        PlacementCase{
            "SourceMirroredPartlyOutsideEnlarged", 0, 8, 1, -4, {-1, -1, -1, -1, 1, 1, 0, 0}},
        PlacementCase{
            "DestinationMirroredSourcePastRight", 7, -4, 2, 4, {-1, -1, -1, -1, 3, 2, -1, -1}},
        PlacementCase{
            "DestinationMirroredShrunkPartlyOutside", 5, -3, -2, 6, {-1, -1, -1, -1, 3, 1, -1, -1}},
        PlacementCase{
            "DestinationMirroredEnlargedPartlyOutside", 7, -8, -1, 4, {-1, -1, 2, 2, 1, 1, 0, 0}},
        PlacementCase{"DestinationOffLeftEdge", -2, 4, 0, 4, {2, 3, -1, -1, -1, -1, -1, -1}}),
    [](const ::testing::TestParamInfo<PlacementCase> &info) { return info.param.name; });

struct RowCase {
    std::string name;
    bool topDown;
    int dy, dh, sy, sh;
    int result;
    std::vector<int>
        rows; // per destination row 0..3: bitmap row (from the top) shown, -1 untouched
};

class StretchRows : public ::testing::TestWithParam<RowCase> {};

TEST_P(StretchRows, SourceYCountsFromTheBottom)
{
    const RowCase &c = GetParam();
    // Four rows, row y (from the top) holds index y.
    std::vector<uint32_t> colors;
    for (int i = 0; i < 256; ++i)
        colors.push_back(RampColor(i));
    Dib dib = MakeDib(1, 4, 8, {0, 1, 2, 3}, colors, c.topDown);
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 1, 4);
    ppDCFill(dc.get(), untouched);
    SetStretchBltMode(dc.get(), COLORONCOLOR);
    EXPECT_EQ(Draw(dc.get(), dib, 0, c.dy, 1, c.dh, 0, c.sy, 1, c.sh), c.result);
    for (int y = 0; y < 4; ++y) {
        uint32_t expected = c.rows[y] < 0 ? untouched : RampColor(c.rows[y]);
        EXPECT_EQ(dc.At(0, y), expected) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StretchRows,
    ::testing::Values(RowCase{"WholeBottomUp", false, 0, 4, 0, 4, 4, {0, 1, 2, 3}},
                      RowCase{"WholeTopDown", true, 0, 4, 0, 4, 4, {0, 1, 2, 3}},
                      // SY 0, SH 2 covers rows H-2 .. H-1.
                      RowCase{"BottomUpFromOrigin", false, 0, 2, 0, 2, 4, {2, 3, -1, -1}},
                      // A top-down bitmap at 1:1 from the origin takes rows 0 .. SH-1 ...
                      RowCase{"TopDownFromOriginOneToOne", true, 0, 2, 0, 2, 4, {0, 1, -1, -1}},
                      // ... but not when stretched ...
                      RowCase{"TopDownFromOriginStretched", true, 0, 4, 0, 2, 4, {2, 2, 3, 3}},
                      // ... nor from another origin.
                      RowCase{"TopDownOffsetOneToOne", true, 0, 2, 1, 2, 4, {1, 2, -1, -1}},
                      RowCase{"BottomUpOffset", false, 1, 2, 1, 2, 4, {-1, 1, 2, -1}},
                      RowCase{"DestinationMirrored", false, 3, -4, 0, 4, 4, {3, 2, 1, 0}},
                      // Negative SH: rows H-SY+1 .. H-SY-SH, mirrored; 4-1+1 .. 4-1+2 is 4 .. 5,
                      // wholly below the bitmap.
                      RowCase{"NegativeHeightBelow", false, 0, 2, 1, -2, 0, {-1, -1, -1, -1}},
                      // SY 3, SH -2: rows 2 .. 3, the bottom one first.
                      RowCase{"NegativeHeightMirrored", false, 0, 2, 3, -2, 4, {3, 2, -1, -1}},
                      // SY 2, SH -4: rows 3 .. 6 run past the last row and move up to 0 .. 3.
                      RowCase{"NegativeHeightMovedUp", false, 0, 4, 2, -4, 4, {3, 2, 1, 0}},
                      RowCase{"SourcePartlyBelow", false, 0, 4, -2, 4, 4, {2, 3, -1, -1}}),
    [](const ::testing::TestParamInfo<RowCase> &info) { return info.param.name; });

// --- clipping never moves pixels ---------------------------------------------

struct ClipCase {
    int left, top, right, bottom; // clip region
    int dx, dy, dw, dh;           // destination
    int sw, sh;                   // source size from a 6 x 5 bitmap
};

class StretchClipping : public ::testing::TestWithParam<ClipCase> {};

TEST_P(StretchClipping, ClipAndEdgesOnlyHidePixels)
{
    const ClipCase &c = GetParam();
    Dib dib = Numbered(6, 5);
    for (int mode : {BLACKONWHITE, COLORONCOLOR}) {
        // Reference: the same call, unclipped, on a surface large enough for all of it.
        DeviceGuard whole(PP_DEVICE_TRUECOLOR, 40, 40);
        ppDCFill(whole.get(), untouched);
        SetStretchBltMode(whole.get(), mode);
        Draw(whole.get(), dib, c.dx + 20, c.dy + 20, c.dw, c.dh, 0, 0, c.sw, c.sh);

        DeviceGuard dc(PP_DEVICE_TRUECOLOR, 12, 10);
        ppDCFill(dc.get(), untouched);
        SetStretchBltMode(dc.get(), mode);
        HRGN clip = CreateRectRgn(c.left, c.top, c.right, c.bottom);
        SelectObject(dc.get(), clip);
        DeleteObject(clip);
        Draw(dc.get(), dib, c.dx, c.dy, c.dw, c.dh, 0, 0, c.sw, c.sh);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 12; ++x) {
                bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                uint32_t expected = inside ? whole.At(x + 20, y + 20) : untouched;
                ASSERT_EQ(dc.At(x, y), expected) << "mode " << mode << " at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StretchClipping,
                         ::testing::Values(ClipCase{0, 0, 12, 10, -3, -2, 13, 11, 6, 5},
                                           ClipCase{3, 2, 9, 7, 0, 0, 12, 10, 6, 5},
                                           ClipCase{1, 1, 5, 4, 0, 0, 4, 3, 6, 5},
                                           ClipCase{2, 3, 11, 9, -5, -4, 17, 14, 5, 4},
                                           ClipCase{4, 0, 12, 10, 11, 0, -9, 7, 6, 5},
                                           ClipCase{-5, -5, 30, 30, 7, 6, 4, 3, 6, 5}));

// --- source formats ------------------------------------------------------------

struct FormatCase {
    std::string name;
    int bpp;
    int width;
    std::vector<uint32_t> pixels; // one row
    std::vector<uint32_t> colors;
    uint32_t clrUsed;
    std::vector<uint32_t> expected;
};

class StretchFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(StretchFormats, OneToOneRow)
{
    const FormatCase &c = GetParam();
    for (bool topDown : {false, true}) {
        Dib dib = MakeDib(c.width, 1, c.bpp, c.pixels, c.colors, topDown, c.clrUsed);
        DeviceGuard dc(PP_DEVICE_TRUECOLOR, c.width, 1);
        ppDCFill(dc.get(), untouched);
        EXPECT_EQ(Draw(dc.get(), dib, 0, 0, c.width, 1, 0, 0, c.width, 1), 1);
        EXPECT_EQ(dc.Row(0), c.expected) << (topDown ? "top-down" : "bottom-up");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StretchFormats,
    ::testing::Values(
        // The reserved byte of a colour table entry never reaches the surface.
        FormatCase{"OneBit",
                   1,
                   10,
                   {1, 0, 0, 1, 1, 0, 1, 0, 0, 1},
                   {0xAA102030, 0x55405060},
                   0,
                   {0x405060, 0x102030, 0x102030, 0x405060, 0x405060, 0x102030, 0x405060, 0x102030,
                    0x102030, 0x405060}},
        FormatCase{"FourBit",
                   4,
                   3,
                   {15, 1, 14},
                   {0, 0x010203, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0E0E0E, 0xFF0F0F0F},
                   0,
                   {0x0F0F0F, 0x010203, 0x0E0E0E}},
        FormatCase{"EightBit", 8, 3, {2, 0, 1}, {red, green, blue}, 3, {blue, red, green}},
        // 5-5-5, each channel widened by repeating its top bits.
        FormatCase{"SixteenBit",
                   16,
                   4,
                   {0x7C00, 0x03E0, 0x001F, 0x8421},
                   {},
                   0,
                   {0xFF0000, 0x00FF00, 0x0000FF, 0x080808}},
        FormatCase{"TwentyFourBit",
                   24,
                   3,
                   {0x112233, 0xFFA0B0C0, 0x000001},
                   {},
                   0,
                   {0x112233, 0xA0B0C0, 0x000001}},
        // A 32-bit source keeps its fourth byte.
        FormatCase{
            "ThirtyTwoBit", 32, 2, {0x7F112233, 0xFF000000}, {}, 0, {0x7F112233, 0xFF000000}},
        // Indices at or beyond the table paint black; 0 means the full 2^bpp.
        FormatCase{
            "IndexBeyondUsedEntries", 8, 3, {0, 1, 2}, {red, green, blue}, 2, {red, green, 0}},
        FormatCase{"IndexBeyondFourBitTable",
                   4,
                   2,
                   {1, 5},
                   {red, green, blue, 0, 0, 0x123456},
                   2,
                   {green, 0}},
        FormatCase{"UsedEntriesBeyondTwoToTheBits", 1, 2, {0, 1}, {red, green}, 300, {red, green}}),
    [](const ::testing::TestParamInfo<FormatCase> &info) { return info.param.name; });

TEST(StretchFormats, RowPaddingIsIgnored)
{
    // 3 pixels of 8 bits: one padding byte per row, set to an index with a colour.
    Dib dib = MakeDib(3, 2, 8, {0, 1, 0, 1, 0, 1}, {red, green, blue, 0x00ABCDEF});
    dib.bits[3] = 3;
    dib.bits[7] = 3;
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 2);
    ppDCFill(dc.get(), untouched);
    Draw(dc.get(), dib, 0, 0, 3, 2, 0, 0, 3, 2);
    EXPECT_EQ(dc.Row(0), (std::vector<uint32_t>{red, green, red, untouched}));
    EXPECT_EQ(dc.Row(1), (std::vector<uint32_t>{green, red, green, untouched}));
}

TEST(StretchFormats, ThirtyTwoBitFourthByteTakesPartInShrinking)
{
    Dib dib = MakeDib(2, 1, 32, {0xF0FFFFFF, 0x3FFFFFFF});
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 1, 1);
    Draw(dc.get(), dib, 0, 0, 1, 1, 0, 0, 2, 1);
    EXPECT_EQ(dc.At(0, 0), 0x30FFFFFFu);
    SetStretchBltMode(dc.get(), WHITEONBLACK);
    Draw(dc.get(), dib, 0, 0, 1, 1, 0, 0, 2, 1);
    EXPECT_EQ(dc.At(0, 0), 0xFFFFFFFFu);
}

TEST(StretchFormats, PaletteIndicesReadTheSelectedPalette)
{
    // DIB_PAL_COLORS: the table holds 16-bit indices into the selected palette.
    Dib dib = MakeDib(2, 1, 1, {0, 1});
    dib.info.resize(sizeof(BITMAPINFOHEADER) + 4);
    uint16_t indices[2] = {13, 16}; // of the stock palette: red, blue
    std::memcpy(dib.info.data() + sizeof(BITMAPINFOHEADER), indices, sizeof indices);
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 2, 1);
    EXPECT_EQ(StretchDIBits(dc.get(), 0, 0, 2, 1, 0, 0, 2, 1, dib.Bits(), dib.Info(),
                            DIB_PAL_COLORS, SRCCOPY),
              1);
    EXPECT_EQ(dc.Row(0), (std::vector<uint32_t>{red, blue}));
}

TEST(StretchFormats, LargeEightBitPictureScaledBothWays)
{
    // The picture path: every row and column at 1:1, then at 3:2 and 2:3.
    const int w = 37, h = 23;
    Dib dib = Numbered(w, h);
    // Numbered wraps past 256 indices; the table repeats nothing, so compare to
    // a per-pixel reading of the bitmap itself.
    auto index = [&](int x, int y) { return dib.bits[static_cast<size_t>((h - 1 - y) * 40 + x)]; };
    for (int dw : {w, w * 3 / 2, w * 2 / 3}) {
        DeviceGuard dc(PP_DEVICE_TRUECOLOR, 64, 64);
        SetStretchBltMode(dc.get(), COLORONCOLOR);
        Draw(dc.get(), dib, 0, 0, dw, h, 0, 0, w, h);
        std::vector<std::vector<int>> groups = ReferenceGroups(w, dw);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < dw; ++x)
                ASSERT_EQ(dc.At(x, y), RampColor(index(groups[x].back(), y)))
                    << dw << " at " << x << "," << y;
    }
}

// --- HALFTONE ------------------------------------------------------------------

TEST(StretchHalftone, BilinearWithinTwoPerChannel)
{
    // 2 x 2 -> 4 x 4: samples at 0, 0.5, 1, 1 (clamped) on each axis.
    Dib dib = MakeDib(2, 2, 24, {0x000000, 0xC8C8C8, 0x0000C8, 0xC80000});
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 4);
    EXPECT_EQ(SetStretchBltMode(dc.get(), HALFTONE), BLACKONWHITE);
    Draw(dc.get(), dib, 0, 0, 4, 4, 0, 0, 2, 2);
    auto lerp = [](double a, double b, double t) { return a + (b - a) * t; };
    const double w[4] = {0, 0.5, 1, 1};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint32_t got = dc.At(x, y);
            for (int shift : {0, 8, 16}) {
                auto channel = [&](uint32_t v) { return static_cast<double>((v >> shift) & 0xFF); };
                double top = lerp(channel(0x000000), channel(0xC8C8C8), w[x]);
                double bottom = lerp(channel(0x0000C8), channel(0xC80000), w[x]);
                double expected = lerp(top, bottom, w[y]);
                EXPECT_NEAR(static_cast<double>((got >> shift) & 0xFF), expected, 2.0)
                    << x << "," << y << " shift " << shift;
            }
        }
    }
}

// The step is the nearest float to src / dst, here just above it, so a tie
// between two levels rounds towards the second pixel, upwards or downwards.
TEST(StretchHalftone, TiesLeanToTheSecondPixel)
{
    struct Case {
        uint32_t first, second;
        int width;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {0x000000, 0x030303, 12, {0, 1, 1, 2, 2, 3, 3, 3, 3, 3, 3, 3}},
        {0x030303, 0x000000, 4, {3, 2, 0, 0}},
        {0x030303, 0x000000, 8, {3, 2, 2, 1, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        Dib dib = MakeDib(2, 1, 24, {c.first, c.second});
        DeviceGuard dc(PP_DEVICE_TRUECOLOR, c.width, 1);
        SetStretchBltMode(dc.get(), HALFTONE);
        Draw(dc.get(), dib, 0, 0, c.width, 1, 0, 0, 2, 1);
        for (int x = 0; x < c.width; ++x)
            EXPECT_EQ(dc.At(x, 0), c.expected[static_cast<size_t>(x)] * 0x010101u) << x;
    }
}

// Where exactly one extent of an axis is negative and the source runs past
// the bitmap, GDI writes the pixels the source part maps to from the visible
// rectangle's edge and leaves the rest of it as its scratch memory held it;
// the portable layer leaves that rest as it was.
TEST(StretchHalftone, MovedMirroredCallLeavesTheRestAlone)
{
    Dib dib = MakeDib(4, 1, 24, {red, green, blue, 0xFFFFFF});
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 6, 1);
    ppDCFill(dc.get(), untouched);
    SetStretchBltMode(dc.get(), HALFTONE);
    EXPECT_EQ(Draw(dc.get(), dib, 0, 0, 3, 1, 1, 0, -3, 1), 1);
    const uint32_t expected[] = {green, red, untouched, untouched, untouched, untouched};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(dc.At(x, 0), expected[x]) << x;
}

// Extents near the limits of int: positions stay exact, so a one-colour
// bitmap shows its colour on every visible pixel the destination covers, and
// nothing else is written.
TEST(StretchHalftone, ExtremeExtentsShowTheColourWhereCovered)
{
    const uint32_t colour = 0x00336699;
    struct Case {
        const char *name;
        int bitmapWidth;
        int dx, dy, dw, dh;
        int coveredRight, coveredBottom; // covered: [0, right) x [0, bottom)
    };
    const Case cases[] = {
        {"HugeEnlargement", 1, -1000000000, 0, 2000000000, 6, 8, 6},
        {"HugeMirroredEnlargement", 1, 5, 4, -2147483647, -2147483647, 6, 5},
        {"HugeShrink", 1 << 20, 0, 0, 3, 2, 3, 2},
        {"FarOffSurface", 1, -2147483647, 0, 9, 9, 0, 0},
    };
    for (const Case &c : cases) {
        Dib dib = MakeDib(c.bitmapWidth, 1, 8, std::vector<uint32_t>(c.bitmapWidth, 0), {colour});
        DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
        ppDCFill(dc.get(), untouched);
        SetStretchBltMode(dc.get(), HALFTONE);
        EXPECT_EQ(Draw(dc.get(), dib, c.dx, c.dy, c.dw, c.dh, 0, 0, c.bitmapWidth, 1), 1) << c.name;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                bool covered = x < c.coveredRight && y < c.coveredBottom;
                ASSERT_EQ(dc.At(x, y), covered ? colour : untouched)
                    << c.name << " " << x << "," << y;
            }
        }
    }
}

} // namespace
