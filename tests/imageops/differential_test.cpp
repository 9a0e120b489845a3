// The fast image operations against their plain versions (reference.h) on
// many pictures: tiny and odd sizes and strides, pictures of flat shapes on
// a background with markers, and noise, so that every vectored path, every
// fallback and every seam between the two gives the same bytes.
#include "guarded.h"
#include "imageops/buffers.h"
#include "imageops/filter.h"
#include "imageops/scaling.h"
#include "imageops/shrink_wide.h"
#include "imageops/smoothing.h"
#include "reference.h"
#include "support/vector_levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using pptest::Guarded;
using pptest::RandomIn;
using pptest::Stride8;

// Flat rectangles of a few values on the background, some one pixel high
// or wide, some large, with markers and low indices among the values.
std::vector<uint8_t> Shapes(std::mt19937 &rng, int32_t width, int32_t height, int32_t stride,
                            uint8_t background)
{
    std::vector<uint8_t> px(static_cast<size_t>(stride) * height, background);
    const std::vector<uint8_t> values{1, 2, 7, 13, 14, 100, 160, 254, 255, 0};
    int32_t shapes = RandomIn(rng, 0, 12);
    for (int32_t s = 0; s < shapes; ++s) {
        int32_t r0 = RandomIn(rng, 0, height - 1), c0 = RandomIn(rng, 0, width - 1);
        int32_t r1 = RandomIn(rng, r0, height - 1), c1 = RandomIn(rng, c0, width - 1);
        if (s == 0) // one large shape, over most of the picture
            r0 = c0 = 0, r1 = height - 1 - RandomIn(rng, 0, height / 4),
            c1 = width - 1 - RandomIn(rng, 0, width / 4);
        uint8_t v = values[RandomIn(rng, 0, static_cast<int32_t>(values.size()) - 1)];
        for (int32_t r = r0; r <= r1; ++r)
            for (int32_t c = c0; c <= c1; ++c)
                px[static_cast<size_t>(r) * stride + c] = v;
    }
    return px;
}

// Shapes most of the time, noise of a few values or of any value else.
std::vector<uint8_t> Picture(std::mt19937 &rng, int32_t width, int32_t height, int32_t stride,
                             uint8_t background)
{
    if (width < 1 || height < 1)
        return std::vector<uint8_t>(static_cast<size_t>(stride) * std::max(height, 0), background);
    switch (RandomIn(rng, 0, 3)) {
    case 0:
        return pptest::RandomBytes(rng, static_cast<size_t>(stride) * height,
                                   {background, background, 1, 13, 100, 101, 255});
    case 1: {
        std::vector<uint8_t> all(256);
        for (int32_t i = 0; i < 256; ++i)
            all[i] = static_cast<uint8_t>(i);
        return pptest::RandomBytes(rng, static_cast<size_t>(stride) * height, all);
    }
    default:
        return Shapes(rng, width, height, stride, background);
    }
}

// Sizes 1 to 7 half of the time, else wide enough for whole blocks of 16.
int32_t Size(std::mt19937 &rng, int32_t trial, int32_t large)
{
    return trial % 2 ? RandomIn(rng, 1, 7) : RandomIn(rng, 1, large);
}

uint8_t Background(std::mt19937 &rng)
{
    const uint8_t choices[] = {255, 255, 0, 1, 13, 200};
    return choices[RandomIn(rng, 0, 5)];
}

void CheckAdjustBrightAndReplaceIndex()
{
    std::mt19937 rng(21);
    const int32_t offsets[] = {0, 1, -1, 10, -10, 127, -128, 255, 256, 0x12345680, -300};
    for (int32_t trial = 0; trial < 400; ++trial) {
        uint32_t count =
            static_cast<uint32_t>(trial % 3 ? RandomIn(rng, 0, 40) : RandomIn(rng, 0, 3000));
        std::vector<uint8_t> before = Picture(rng, static_cast<int32_t>(count), 1,
                                              static_cast<int32_t>(count), Background(rng));
        int32_t offset = trial % 4 ? offsets[trial % 11] : RandomIn(rng, -100000, 100000);

        std::vector<uint8_t> expected = before;
        pptest::ReferenceAdjust(expected, offset);
        Guarded pixels(count);
        pixels.Assign(before);
        AdjustBright(pixels.data(), offset, count);
        ASSERT_EQ(pixels.Contents(), expected) << "count " << count << " offset " << offset;
        ASSERT_TRUE(pixels.GuardsIntact());

        // An old index of 0 is also what a masked load reads past the end.
        const int32_t oldIndices[] = {255, 0, RandomIn(rng, 0, 300)};
        int32_t newIndex = RandomIn(rng, -300, 600), oldIndex = oldIndices[trial % 3];
        expected = before;
        pptest::ReferenceReplace(expected, newIndex, oldIndex);
        pixels.Assign(before);
        ReplaceIndex(pixels.data(), newIndex, oldIndex, count);
        ASSERT_EQ(pixels.Contents(), expected) << "count " << count;
        ASSERT_TRUE(pixels.GuardsIntact());
    }
}

TEST(Differential, AdjustBrightAndReplaceIndex)
{
    pptest::AtEveryVectorLevel(CheckAdjustBrightAndReplaceIndex);
}

// Filters one picture and compares picture and work buffer with the
// step-by-step version.
void CheckFilterOnce(const std::vector<uint8_t> &before, int32_t width, int32_t height,
                     int32_t stride, uint8_t bg, const pptest::Weights &w)
{
    std::vector<uint8_t> expected = pptest::ReferenceFilter(before, width, height, stride, bg, w);
    const bool nothing = w.corner == 0 && w.edge == 0 && w.centre == 0 && w.offset == 0;
    if (nothing)
        expected = before;

    Guarded pixels(before.size()), work(before.size(), 0xCC);
    pixels.Assign(before);
    FilterPic(pixels.data(), work.data(), width, height, stride, bg, w.corner, w.edge, w.centre,
              w.divisor, w.offset, w.force);
    ASSERT_EQ(pixels.Contents(), expected)
        << width << "x" << height << " stride " << stride << " bg " << int{bg} << " edge " << w.edge
        << " centre " << w.centre << " force " << w.force;
    // The work buffer ends as a copy of the filtered picture, as before.
    if (!nothing) {
        ASSERT_EQ(work.Contents(), expected);
    }
    ASSERT_TRUE(pixels.GuardsIntact() && work.GuardsIntact());
}

void CheckFilterPic()
{
    std::mt19937 rng(22);
    for (int32_t trial = 0; trial < 600; ++trial) {
        int32_t width = Size(rng, trial, trial % 4 ? 70 : 140), height = Size(rng, trial / 2, 24);
        int32_t stride = width + RandomIn(rng, 0, 5);
        uint8_t bg = Background(rng);
        int32_t t = RandomIn(rng, -3, 3);
        pptest::Weights w{0, -t, 4 * t + 5, 5, 0, RandomIn(rng, 0, 1)};
        if (trial % 5 == 0) // other weights: the plain path, or wider sums
            w = {RandomIn(rng, -2, 2),    RandomIn(rng, -40, 40), RandomIn(rng, -60, 130),
                 RandomIn(rng, 0, 6) - 1, RandomIn(rng, -9, 9),   RandomIn(rng, 0, 1)};
        CheckFilterOnce(Picture(rng, width, height, stride, bg), width, height, stride, bg, w);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

TEST(Differential, FilterPic)
{
    pptest::AtEveryVectorLevel(CheckFilterPic);
}

// Weights at the ends of the vectored case: the driver's strongest
// strengths whose sums fit 16 bits (15, -16) and the next ones (16, -17),
// sums either side of 16384 (strengths 7 and 8, -8 and -9),
// centre weights at the ends of a signed byte and past them, the largest
// edge weights; on noise of extreme values, so that the sums reach both
// ends of the 16-bit range.
TEST(Differential, FilterPicWeightsAtTheLimits)
{
    const pptest::Weights cases[] = {
        {0, -15, 65, 5, 0, 0}, {0, 16, -59, 5, 0, 1}, {0, -16, 69, 5, 0, 1}, {0, 17, -63, 5, 0, 0},
        {0, 0, 127, 5, 0, 1},  {0, 0, -128, 5, 0, 1}, {0, 0, 128, 5, 0, 1},  {0, -1, 124, 5, 0, 0},
        {0, 32, 0, 5, 0, 1},   {0, -32, 0, 5, 0, 0},  {0, 32, -1, 5, 0, 1},  {0, -7, 33, 5, 0, 0},
        {0, -8, 37, 5, 0, 1},  {0, 8, -27, 5, 0, 1},  {0, 9, -31, 5, 0, 0},  {0, 0, 64, 5, 0, 1},
    };
    pptest::AtEveryVectorLevel([&] {
        std::mt19937 rng(32);
        for (const pptest::Weights &w : cases) {
            for (int32_t trial = 0; trial < 8; ++trial) {
                const int32_t width = RandomIn(rng, 3, 140), height = RandomIn(rng, 3, 9);
                const uint8_t bg = Background(rng);
                CheckFilterOnce(pptest::RandomBytes(rng, static_cast<size_t>(width) * height,
                                                    {0, 1, 13, 14, 127, 128, 254, 255, bg}),
                                width, height, width, bg, w);
                if (::testing::Test::HasFatalFailure())
                    return;
            }
        }
    });
}

void CheckSmoothEdges()
{
    std::mt19937 rng(23);
    for (int32_t trial = 0; trial < 600; ++trial) {
        int32_t width = Size(rng, trial, trial % 4 ? 70 : 140), height = Size(rng, trial / 2, 24);
        int32_t stride = width + RandomIn(rng, 0, 5);
        uint8_t bg = Background(rng);
        std::vector<uint8_t> before = Picture(rng, width, height, stride, bg);
        std::vector<uint8_t> expected = pptest::ReferenceSmooth(before, width, height, stride, bg);

        Guarded pixels(before.size()), work(before.size(), 0x5A);
        pixels.Assign(before);
        SmoothEdges(pixels.data(), work.data(), width, height, stride,
                    static_cast<int32_t>(before.size()), bg);
        ASSERT_EQ(pixels.Contents(), expected)
            << width << "x" << height << " stride " << stride << " bg " << int{bg};
        ASSERT_TRUE(pixels.GuardsIntact() && work.GuardsIntact());
    }
}

TEST(Differential, SmoothEdges)
{
    pptest::AtEveryVectorLevel(CheckSmoothEdges);
}

// The merge skips rows without a ramp when the scan met no marker: a lone
// marker where the scan does not look (padding, bytes after the last row)
// or only at the border must still become background, and rows past those
// the merge keeps track of must still get their ramps.
TEST(Differential, SmoothEdgesLoneMarkersAndTallPictures)
{
    struct Case {
        const char *what;
        // One value everywhere (no corners, so no walks); -1: shapes; -2: an
        // inner corner at row 4199, its ramps past the rows kept track of.
        int32_t fill;
        int32_t width, height, stride, extra;
        int32_t markerRow, markerColumn; // -1: none
    };
    const Case cases[] = {
        {"in the padding", 100, 40, 12, 43, 0, 5, 41},
        {"after the last row", 100, 40, 12, 40, 7, 12, 3},
        {"in the first column", 100, 70, 9, 70, 0, 4, 0},
        {"in the last row", 100, 70, 9, 72, 0, 8, 33},
        {"inside a row", 100, 70, 9, 72, 0, 3, 40},
        {"none", -1, 140, 20, 140, 0, -1, -1},
        {"tall", -2, 24, 4300, 24, 0, 4200, 5},
    };
    pptest::AtEveryVectorLevel([&] {
        std::mt19937 rng(33);
        for (const Case &c : cases) {
            const uint8_t bg = 255;
            std::vector<uint8_t> before =
                c.fill == -1 ? Shapes(rng, c.width, c.height, c.stride, bg)
                             : std::vector<uint8_t>(static_cast<size_t>(c.stride) * c.height,
                                                    c.fill < 0 ? bg : static_cast<uint8_t>(c.fill));
            before.resize(before.size() + static_cast<size_t>(c.extra), bg);
            std::replace(before.begin(), before.end(), uint8_t{1}, uint8_t{2});
            for (int32_t r = 4199; c.fill == -2 && r < 4250; ++r)
                for (int32_t col = 5; col < (r < 4200 ? 10 : 20); ++col)
                    before[static_cast<size_t>(r) * c.stride + col] = 100;
            if (c.markerRow >= 0)
                before[static_cast<size_t>(c.markerRow) * c.stride + c.markerColumn] = 1;
            std::vector<uint8_t> expected =
                pptest::ReferenceSmooth(before, c.width, c.height, c.stride, bg);
            std::vector<uint8_t> pixels = before, work(before.size());
            SmoothEdges(pixels.data(), work.data(), c.width, c.height, c.stride,
                        static_cast<int32_t>(pixels.size()), bg);
            EXPECT_EQ(pixels, expected) << c.what;
        }
    });
}

// Inner corners of one-pixel steps in the first or the last row, or at a
// column around the seams of 32- and 64-column blocks, the drawing on
// either side, with a marker beside some: the edge rows are scanned apart
// from the kernel, and the kernel's blocks take the columns just outside
// them from single bytes. In an edge row the row outside counts as the
// drawing: three rows of drawing up to the corner's column make a step
// whose ramp runs along the column. In an inner row, the row above reaching
// four columns past the corner makes one whose ramp runs along the row.
TEST(Differential, SmoothEdgesCornersAtEdgeRowsAndBlockSeams)
{
    const int32_t width = 140, height = 8;
    const int32_t columns[] = {1, 2, 31, 32, 33, 63, 64, 65, 66, 74, 75, 128, 129, 137, 138};
    const uint8_t bg = 255;
    auto draw = [&](std::vector<uint8_t> &px, int32_t row, int32_t from, int32_t to, uint8_t v) {
        for (int32_t c = std::max(from, 0); c < std::min(to, width); ++c)
            px[static_cast<size_t>(row) * width + c] = v;
    };
    pptest::AtEveryVectorLevel([&] {
        int32_t painted = 0;
        for (const int32_t column : columns) {
            for (const int32_t row : {0, 3, height - 1}) {
                for (const bool right : {false, true}) {
                    std::vector<uint8_t> before(static_cast<size_t>(width) * height, bg);
                    const int32_t from = right ? column + 1 : 0, to = right ? width : column;
                    if (row == 0 || row == height - 1) {
                        for (int32_t r = row == 0 ? 0 : height - 3; r < (row == 0 ? 3 : height);
                             ++r)
                            draw(before, r, from, to, 60);
                    } else {
                        draw(before, row, from, to, 60);
                        draw(before, row - 1, right ? column - 3 : 0, right ? width : column + 4,
                             100);
                    }
                    // A marker on the corner's row, where a walk may end on it.
                    draw(before, row, right ? column - 5 : column + 5,
                         right ? column - 4 : column + 6, 1);
                    const std::vector<uint8_t> expected =
                        pptest::ReferenceSmooth(before, width, height, width, bg);
                    painted += std::count(expected.begin(), expected.end(), bg) !=
                               std::count(before.begin(), before.end(), bg) + 1;
                    Guarded pixels(before.size()), work(before.size());
                    pixels.Assign(before);
                    SmoothEdges(pixels.data(), work.data(), width, height, width,
                                static_cast<int32_t>(before.size()), bg);
                    ASSERT_EQ(pixels.Contents(), expected)
                        << "column " << column << " row " << row << " right " << right;
                    ASSERT_TRUE(pixels.GuardsIntact() && work.GuardsIntact());
                }
            }
        }
        // Most cases paint a ramp: the table is not passed by doing nothing.
        EXPECT_GT(painted, 60);
    });
}

// New sizes: any, three quarters (small reduced divisors), a half, equal.
int32_t Shrunk(std::mt19937 &rng, int32_t size)
{
    switch (RandomIn(rng, 0, 3)) {
    case 0:
        return size * 3 / 4;
    case 1:
        return size / 2;
    case 2:
        return size;
    default:
        return RandomIn(rng, 0, size);
    }
}

TEST(Differential, ShrinkAvg)
{
    pptest::AtEveryVectorLevel([] {
        std::mt19937 rng(24);
        for (int32_t trial = 0; trial < 500; ++trial) {
            int32_t oldWidth = trial % 2 ? RandomIn(rng, 1, 7) : RandomIn(rng, 1, 140);
            int32_t oldHeight = trial % 3 ? RandomIn(rng, 1, 40) : RandomIn(rng, 1, 7);
            if (trial % 4 == 0) // whole multiples of the common ratios
                oldWidth = 4 * RandomIn(rng, 1, 40), oldHeight = 4 * RandomIn(rng, 1, 12);
            int32_t newWidth = Shrunk(rng, oldWidth), newHeight = Shrunk(rng, oldHeight);
            int32_t oldStride = Stride8(oldWidth), newStride = Stride8(newWidth);
            size_t size = static_cast<size_t>(oldStride) * oldHeight;
            std::vector<uint8_t> before = Picture(rng, oldWidth, oldHeight, oldStride, 255);
            before.push_back(static_cast<uint8_t>(RandomIn(rng, 0, 255)));
            std::vector<uint8_t> expected = before;
            pptest::ReferenceShrink(expected, oldWidth, oldHeight, newWidth, newHeight, oldStride,
                                    newStride);

            Guarded pixels(size + 1);
            pixels.Assign(before);
            ShrinkAvg(pixels.data(), oldWidth, oldHeight, newWidth, newHeight, oldStride,
                      newStride);
            std::vector<uint8_t> got = pixels.Contents();
            size_t used = static_cast<size_t>(newStride) * newHeight;
            ASSERT_TRUE(std::equal(got.begin(), got.begin() + used, expected.begin()))
                << oldWidth << "x" << oldHeight << " -> " << newWidth << "x" << newHeight;
            ASSERT_EQ(got[size], before[size]);
            ASSERT_TRUE(pixels.GuardsIntact());
        }
    });
}

// Large reduced sizes divide by large numbers, in the rows and in the
// columns; 255 everywhere makes the largest sums.
TEST(Differential, ShrinkAvgLargeDivisors)
{
    pptest::AtEveryVectorLevel([] {
        std::mt19937 rng(27);
        for (int32_t trial = 0; trial < 12; ++trial) {
            bool wide = trial % 2 == 0;
            int32_t oldWidth = wide ? 2 * RandomIn(rng, 1000, 16383) + 1 : RandomIn(rng, 16, 40);
            int32_t oldHeight = wide ? RandomIn(rng, 16, 20) : 2 * RandomIn(rng, 1000, 16383) + 1;
            int32_t newWidth = RandomIn(rng, 1, oldWidth), newHeight = RandomIn(rng, 1, oldHeight);
            int32_t oldStride = Stride8(oldWidth), newStride = Stride8(newWidth);
            std::vector<uint8_t> before(static_cast<size_t>(oldStride) * oldHeight + 1, 255);
            if (trial >= 4)
                before = pptest::RandomBytes(rng, before.size(), {0, 1, 13, 128, 254, 255, 255});
            std::vector<uint8_t> expected = before;
            pptest::ReferenceShrink(expected, oldWidth, oldHeight, newWidth, newHeight, oldStride,
                                    newStride);
            std::vector<uint8_t> got = before;
            ShrinkAvg(got.data(), oldWidth, oldHeight, newWidth, newHeight, oldStride, newStride);
            size_t used = static_cast<size_t>(newStride) * newHeight;
            ASSERT_TRUE(std::equal(got.begin(), got.begin() + used, expected.begin()))
                << oldWidth << "x" << oldHeight << " -> " << newWidth << "x" << newHeight;
        }
    });
}

// Divisors too large for the 16-bit weights take the plain path.
TEST(Differential, ShrinkAvgVeryWidePicture)
{
    pptest::AtEveryVectorLevel([] {
        std::mt19937 rng(25);
        const int32_t oldWidth = 33001, oldHeight = 17, newWidth = 20001, newHeight = 12;
        std::vector<uint8_t> before = pptest::RandomBytes(
            rng, static_cast<size_t>(Stride8(oldWidth)) * oldHeight + 1, {0, 1, 50, 255});
        std::vector<uint8_t> expected = before;
        pptest::ReferenceShrink(expected, oldWidth, oldHeight, newWidth, newHeight,
                                Stride8(oldWidth), Stride8(newWidth));
        std::vector<uint8_t> got = before;
        ShrinkAvg(got.data(), oldWidth, oldHeight, newWidth, newHeight, Stride8(oldWidth),
                  Stride8(newWidth));
        size_t used = static_cast<size_t>(Stride8(newWidth)) * newHeight;
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + used, expected.begin()));
    });
}

void CheckScaleRepeat(int32_t sw, int32_t sh, int32_t tw, int32_t th, std::mt19937 &rng)
{
    std::vector<uint8_t> source =
        pptest::RandomBytes(rng, static_cast<size_t>(Stride8(sw)) * sh, {0, 1, 2, 100, 200, 255});
    std::vector<uint8_t> expected = pptest::ReferenceRepeat(source, sw, sh, tw, th);
    int32_t size = Stride8(tw) * th;

    Guarded out(static_cast<size_t>(size), 0xCC);
    ASSERT_EQ(ScaleRepeat(source.data(), out.data(), sw, sh, tw, th, size), out.data());
    ASSERT_EQ(out.Contents(), expected) << sw << "x" << sh << " -> " << tw << "x" << th;
    ASSERT_TRUE(out.GuardsIntact());
}

TEST(Differential, ScaleRepeat)
{
    pptest::AtEveryVectorLevel([] {
        std::mt19937 rng(26);
        for (int32_t trial = 0; trial < 500; ++trial) {
            int32_t sw = trial % 2 ? RandomIn(rng, 1, 7) : RandomIn(rng, 1, 90);
            int32_t sh = RandomIn(rng, 1, 12);
            int32_t tw = RandomIn(rng, 0, trial % 5 ? 2 * sw + 3 : 12 * sw);
            int32_t th = RandomIn(rng, 0, 2 * sh + 2);
            if (trial == 0) // wider than the pattern tables
                sw = 5000, tw = 3777;
            CheckScaleRepeat(sw, sh, tw, th, rng);
        }
    });
}

// Widths where the per-call tables end, ratios either side of one half
// (where 16 outputs stop fitting into 32 source pixels, and 64 into 128)
// and of one, and sources just wide enough for a block.
TEST(Differential, ScaleRepeatWidthsAtTheLimits)
{
    const int32_t widths[][2] = {
        {4096, 4096}, {4096, 4095}, {4097, 4000}, {4000, 4097}, {2048, 4096}, {2049, 4096},
        {64, 32},     {64, 33},     {63, 32},     {62, 31},     {1000, 499},  {1000, 501},
        {32, 16},     {32, 31},     {31, 16},     {33, 17},     {32, 47},     {17, 4096},
        {40, 300},    {1024, 768},  {1024, 627},  {1024, 1536}, {613, 1024},  {16, 16},
        {128, 64},    {127, 64},    {128, 127},   {200, 130},   {300, 150},   {300, 151},
    };
    pptest::AtEveryVectorLevel([&] {
        std::mt19937 rng(27);
        for (const auto &w : widths)
            CheckScaleRepeat(w[0], 3, w[1], RandomIn(rng, 1, 5), rng);
    });
}

// Sizes at the seams of the shuffled row blocks (16 outputs, windows of 16
// source bytes), the paired column rows and the kinds of division: powers of
// two, odd parts with a 16-bit quotient and without one, ratios near one and
// near a half, ratios whose outputs reach too far for a window, rows too long
// for the weight table, and the last row read against the end of the buffer;
// for the blocks of 64 outputs from 128-byte windows, a last block stored in
// part (rows narrower than the blocks) and windows just inside and just past
// their reach.
struct ShrinkSeam {
    int32_t oldWidth, oldHeight, newWidth, newHeight;
};

// Shrinks one picture (stride x height bytes and the one byte after) at
// every vector level and compares with the step-by-step version; the byte
// after the picture is read, never written.
void CheckShrink(const ShrinkSeam &seam, const std::vector<uint8_t> &before, const char *what)
{
    const int32_t oldStride = Stride8(seam.oldWidth), newStride = Stride8(seam.newWidth);
    std::vector<uint8_t> expected = before;
    pptest::ReferenceShrink(expected, seam.oldWidth, seam.oldHeight, seam.newWidth, seam.newHeight,
                            oldStride, newStride);
    const size_t used = static_cast<size_t>(newStride) * seam.newHeight;
    pptest::AtEveryVectorLevel([&] {
        std::vector<uint8_t> got = before;
        ShrinkAvg(got.data(), seam.oldWidth, seam.oldHeight, seam.newWidth, seam.newHeight,
                  oldStride, newStride);
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + used, expected.begin()))
            << seam.oldWidth << "x" << seam.oldHeight << " -> " << seam.newWidth << "x"
            << seam.newHeight << what;
        ASSERT_EQ(got.back(), before.back());
    });
}

size_t ShrinkBytes(const ShrinkSeam &seam)
{
    return static_cast<size_t>(Stride8(seam.oldWidth)) * seam.oldHeight + 1;
}

TEST(Differential, ShrinkAvgSeams)
{
    const ShrinkSeam seams[] = {
        {16, 3, 15, 2},     {17, 5, 16, 4},       {31, 7, 16, 3},       {32, 9, 17, 5},
        {33, 33, 32, 32},   {48, 20, 31, 19},     {63, 17, 33, 9},      {64, 64, 64, 64},
        {100, 30, 99, 29},  {100, 30, 51, 15},    {100, 30, 50, 15},    {101, 31, 34, 10},
        {97, 40, 25, 9},    {200, 100, 66, 7},    {1366, 20, 1025, 15}, {1366, 20, 683, 11},
        {1024, 12, 627, 7}, {768, 384, 470, 235}, {2048, 6, 1255, 5},   {2048, 6, 1536, 5},
        {1793, 4, 1792, 3}, {2000, 4, 1793, 3},   {130, 16, 129, 13},   {514, 10, 257, 9},
        {322, 45, 161, 43}, {20, 770, 19, 257},   {18, 683, 17, 512},   {40, 33, 13, 2},
        {70, 9, 65, 5},     {66, 3, 64, 2},       {129, 6, 65, 4},      {130, 6, 65, 4},
        {131, 6, 65, 4},    {127, 7, 64, 3},      {320, 240, 196, 147}, {1024, 5, 628, 3},
    };
    std::mt19937 rng(28);
    for (const ShrinkSeam &seam : seams) {
        CheckShrink(
            seam,
            pptest::RandomBytes(rng, ShrinkBytes(seam), {0, 1, 2, 13, 14, 127, 128, 254, 255, 255}),
            "");
    }
}

// The row passes draw rows eight at a time once the rows' outputs stay
// clear of the first row's source: heights around where that starts and
// ends (the last row is never in a group), for ratios that start it early
// and late and rows whose blocks reach past the new stride.
TEST(Differential, ShrinkAvgRowsTogether)
{
    const int32_t widths[][2] = {{136, 102}, {200, 123}, {320, 196}, {96, 61}, {64, 33}};
    std::mt19937 rng(29);
    for (const auto &w : widths)
        for (int32_t height = 1; height <= 48; height += RandomIn(rng, 1, 3)) {
            const ShrinkSeam seam{w[0], height, w[1], RandomIn(rng, 1, height)};
            CheckShrink(seam, pptest::RandomBytes(rng, ShrinkBytes(seam), {0, 1, 13, 128, 255}),
                        " (rows together)");
        }
}

// Pictures wide enough for rows of several 64-output blocks and tall enough
// for several groups of rows drawn together, at ratios from just under one
// to just over a half, where a block's window runs from nearly empty to
// past its 128 bytes (then the narrower loops take the row).
TEST(Differential, ShrinkAvgWideRowsAtEveryRatio)
{
    std::mt19937 rng(30);
    for (int32_t trial = 0; trial < 24; ++trial) {
        const int32_t oldWidth = RandomIn(rng, 130, 900), oldHeight = RandomIn(rng, 20, 70);
        const int32_t newWidth = RandomIn(rng, oldWidth / 2 - 2, oldWidth - 1);
        const ShrinkSeam seam{oldWidth, oldHeight, newWidth, RandomIn(rng, 1, oldHeight)};
        CheckShrink(seam, pptest::RandomBytes(rng, ShrinkBytes(seam), {0, 1, 13, 14, 128, 255}),
                    " (wide rows)");
    }
}

// The 16-bit multiply-high division must be exact for every sum an area
// average of bytes can reach, whenever a multiplier is offered.
TEST(Differential, ShrinkNarrowDivisorIsExact)
{
    int32_t found = 0;
    for (uint32_t d = 1; d <= 300; ++d) {
        uint32_t multiplier = 0, shift = 0;
        if (!FindNarrowDivisor(d, multiplier, shift))
            continue;
        ++found;
        ASSERT_LT(multiplier, 65536u);
        for (uint32_t x = 0; x <= 255 * d; ++x)
            ASSERT_EQ((x * multiplier) >> shift, x / d) << x << " / " << d;
    }
    EXPECT_GT(found, 200);
}

// Every ratio from one to a quarter along each axis, on noise and on a
// picture of 255 alone (the largest sums, where 16-bit sums would
// overflow first); then old sizes with large powers of two, whose weights
// are split in two.
TEST(Differential, ShrinkAvgEveryRatio)
{
    struct Axis {
        int32_t firstOld, lastOld, other;
        bool rows;
    };
    const Axis axes[] = {{16, 70, 5, true}, {2, 70, 37, false}};
    std::mt19937 rng(29);
    for (const Axis &axis : axes) {
        for (int32_t old = axis.firstOld; old <= axis.lastOld; ++old) {
            for (int32_t shrunk = std::max(1, old / 4); shrunk <= old; ++shrunk) {
                const ShrinkSeam seam{axis.rows ? old : axis.other, axis.rows ? axis.other : old,
                                      axis.rows ? shrunk : axis.other - 3,
                                      axis.rows ? axis.other - 1 : shrunk};
                CheckShrink(
                    seam,
                    pptest::RandomBytes(rng, ShrinkBytes(seam), {0, 1, 13, 100, 200, 254, 255}),
                    "");
                CheckShrink(seam, std::vector<uint8_t>(ShrinkBytes(seam), 255), " (all 255)");
            }
        }
    }
}

TEST(Differential, ShrinkAvgSplitWeights)
{
    const ShrinkSeam seams[] = {
        {1024, 40, 627, 23},  {1024, 1024, 1023, 627}, {640, 384, 401, 235}, {512, 320, 333, 191},
        {1536, 64, 941, 63},  {2048, 24, 1255, 13},    {448, 896, 447, 449}, {1024, 6, 65, 5},
        {6, 1024, 5, 65},     {768, 768, 576, 576},    {1280, 48, 1279, 47}, {192, 1728, 191, 1081},
        {128, 256, 101, 129}, {256, 128, 129, 97},     {64, 512, 33, 257},   {512, 64, 257, 33},
    };
    std::mt19937 rng(30);
    for (const ShrinkSeam &seam : seams) {
        CheckShrink(seam,
                    pptest::RandomBytes(rng, ShrinkBytes(seam), {0, 1, 2, 13, 127, 128, 254, 255}),
                    "");
        CheckShrink(seam, std::vector<uint8_t>(ShrinkBytes(seam), 255), " (all 255)");
    }
}

// Steep shrinks: an output covering many source rows or pixels, up to and
// past the most the wide passes carry (those sizes take the older paths).
TEST(Differential, ShrinkAvgSteepRatios)
{
    const ShrinkSeam seams[] = {
        {64, 200, 16, 15}, {64, 200, 16, 14}, {64, 200, 16, 13}, {64, 210, 16, 15},
        {64, 420, 20, 29}, {64, 90, 17, 7},   {200, 8, 50, 3},   {200, 8, 40, 3},
        {200, 8, 67, 3},   {201, 9, 13, 2},   {96, 480, 32, 33}, {33, 1000, 32, 71},
        {1000, 4, 333, 1}, {1000, 4, 334, 1}, {48, 64, 12, 16},  {48, 64, 11, 5},
    };
    std::mt19937 rng(31);
    for (const ShrinkSeam &seam : seams) {
        CheckShrink(seam, pptest::RandomBytes(rng, ShrinkBytes(seam), {0, 1, 3, 13, 64, 200, 255}),
                    "");
        CheckShrink(seam, std::vector<uint8_t>(ShrinkBytes(seam), 255), " (all 255)");
    }
}

} // namespace
