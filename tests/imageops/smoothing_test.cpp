#include "guarded.h"
#include "imageops/buffers.h"
#include "imageops/smoothing.h"
#include "platform/portable/heap.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using pptest::Guarded;

constexpr int32_t kWidth = 12, kHeight = 9, kStride = 12;

// Background 255 with a block of 100 in rows 2..5, columns 2..9.
struct Picture {
    std::vector<uint8_t> px = std::vector<uint8_t>(kStride * kHeight, 255);
    Picture()
    {
        for (int32_t r = 2; r <= 5; ++r)
            Fill(r, 2, 9, 100);
    }
    void Fill(int32_t r, int32_t c0, int32_t c1, uint8_t v)
    {
        for (int32_t c = c0; c <= c1; ++c)
            px[r * kStride + c] = v;
    }
    uint8_t &at(int32_t r, int32_t c) { return px[r * kStride + c]; }
};

std::vector<uint8_t> Smooth(const std::vector<uint8_t> &before)
{
    Guarded pixels(before.size());
    pixels.Assign(before);
    uint8_t *work = SmoothEdges(pixels.data(), nullptr, kWidth, kHeight, kStride,
                                static_cast<int32_t>(before.size()), 255);
    EXPECT_NE(work, nullptr);
    EXPECT_TRUE(pixels.GuardsIntact());
    FreeBuf(work);
    return pixels.Contents();
}

TEST(SmoothEdges, OneRowStepGetsARampAlongTheRow)
{
    Picture p;
    p.Fill(6, 2, 5, 100);
    Picture expected = p;
    expected.Fill(6, 6, 6, 138), expected.Fill(6, 7, 7, 176);
    expected.Fill(6, 8, 8, 214), expected.Fill(6, 9, 9, 252);
    EXPECT_EQ(Smooth(p.px), expected.px);
}

TEST(SmoothEdges, TwoRowStepIsLeftAlone)
{
    Picture p;
    p.Fill(6, 2, 5, 100);
    p.Fill(7, 2, 5, 100);
    EXPECT_EQ(Smooth(p.px), p.px);
}

TEST(SmoothEdges, MarkerMakesACornerAndEndsALaterRun)
{
    Picture p;
    p.Fill(6, 2, 5, 100);
    p.at(6, 10) = 1;
    Picture expected = p;
    const uint8_t column[] = {101, 152, 203, 254}; // rows 5 down to 2
    for (int32_t i = 0; i < 4; ++i)
        expected.at(5 - i, 10) = column[i];
    const uint8_t row[] = {131, 162, 193, 224, 255}; // columns 6 to 10
    for (int32_t i = 0; i < 5; ++i)
        expected.at(6, 6 + i) = row[i];
    EXPECT_EQ(Smooth(p.px), expected.px);
}

TEST(SmoothEdges, IsolatedMarkerBecomesBackgroundAndOpenRunsPaintNothing)
{
    Picture marker;
    marker.at(7, 1) = 1;
    Picture expected = marker;
    expected.at(7, 1) = 255;
    EXPECT_EQ(Smooth(marker.px), expected.px);

    // The drawing reaches the right border. From the corner at row 6,
    // column 6 the row run uses up its limit; from row 6, column 11 it ends
    // on the drawing. Both are open and row 6 keeps its pixels.
    Picture open;
    for (int32_t r = 2; r <= 5; ++r)
        open.Fill(r, 2, 11, 100);
    open.Fill(6, 2, 5, 100);
    std::vector<uint8_t> after = Smooth(open.px);
    EXPECT_TRUE(std::equal(after.begin() + 6 * kStride, after.begin() + 7 * kStride,
                           open.px.begin() + 6 * kStride));
}

TEST(SmoothEdges, WithoutWorkBufferOnlyMarkersChange)
{
    Picture p;
    p.Fill(6, 2, 5, 100);
    p.at(8, 8) = 1;
    p.at(0, 0) = 1;
    Picture expected = p;
    expected.at(8, 8) = 255;
    expected.at(0, 0) = 255;
    int32_t live = ppHeapLiveBlocks();
    ppHeapFailNth(1);
    EXPECT_EQ(SmoothEdges(p.px.data(), nullptr, kWidth, kHeight, kStride, kStride * kHeight, 255),
              nullptr);
    EXPECT_EQ(p.px, expected.px);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
}

struct RampCase {
    int32_t d, b, count;
    std::vector<uint8_t> values;
};

std::vector<uint8_t> Series(int32_t first, int32_t step, int32_t n)
{
    std::vector<uint8_t> v;
    for (int32_t i = 0; i < n; ++i)
        v.push_back(static_cast<uint8_t>(first + i * step));
    return v;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FillRamp, WritesTheDocumentedSequences)
{
    const RampCase cases[] = {
        {100, 255, 4, {138, 176, 214, 252}},
        {5, 255, 100, Series(8, 2, 100)},                          // 7 is raised to 8
        {250, 255, 10, {251, 252, 253, 254, 255}},                 // single steps
        {20, 0, 30, Concat(Series(19, -1, 6), Series(14, 0, 14))}, // 13 raised back to 14
        {77, 77, 5, {}},
        {1, 255, 127, Concat(Series(4, 2, 126), {255})}, // 256 stops the ramp
        {0, 255, 300, Concat(Concat(Series(2, 2, 7), Series(15, 1, 241)), {255})},
    };
    for (const RampCase &c : cases) {
        SCOPED_TRACE(::testing::Message() << "d " << c.d << " b " << c.b << " count " << c.count);
        Guarded work(static_cast<size_t>(c.count) * 3, 0xCC);
        // Direction 8 steps one row (stride 3) at a time.
        FillRamp(work.data(), c.count, c.d, c.b, 8, 3);
        std::vector<uint8_t> got = work.Contents();
        for (size_t i = 0; i < got.size(); ++i) {
            uint8_t want = i % 3 == 0 && i / 3 < c.values.size() ? c.values[i / 3] : 0xCC;
            ASSERT_EQ(got[i], want) << "byte " << i;
        }
        EXPECT_TRUE(work.GuardsIntact());
    }
}

// Two rows of width w: row 0 holds the drawing up to column edge, row 1 is
// background; walks run along row 1 to the right with the probe on row 0.
struct LongRunCase {
    int32_t width, edge, limit;
    uint8_t endPixel; // row 1 at column edge
    RunResult expected;
};

TEST(TraceRun, CarriesLongRunsInFullAndStopsAtTheBufferEnds)
{
    const LongRunCase cases[] = {
        {600, 270, 600, 255, {270, 0}}, // closed by background, longer than 255
        {600, 300, 600, 1, {301, 0}},   // the marker closes the run and counts
        {600, 300, 600, 100, {300, 1}}, // met the drawing
        {600, 600, 256, 255, {256, 1}}, // used up its limit
        {600, 600, 0, 255, {0, 1}},     {8, 8, 8, 255, {7, 0}}, // the last byte counts as outside
    };
    for (const LongRunCase &c : cases) {
        SCOPED_TRACE(::testing::Message() << "edge " << c.edge << " limit " << c.limit);
        std::vector<uint8_t> px(static_cast<size_t>(c.width) * 2, 255);
        std::fill(px.begin(), px.begin() + c.edge, 100);
        if (c.edge < c.width)
            px[c.width + c.edge] = c.endPixel;
        RunResult run =
            TraceRun(px.data() + c.width, px.data(), &px.back(), c.width, 255, c.limit, 3);
        EXPECT_EQ(run.length, c.expected.length);
        EXPECT_EQ(run.open, c.expected.open);
        if (c.endPixel == 1) {
            EXPECT_EQ(px[c.width + c.edge], 255);
        }
    }
    // A probe before the start stops the walk at once.
    std::vector<uint8_t> px(8, 255);
    RunResult up = TraceRun(px.data(), px.data(), &px.back(), 4, 255, 4, 3);
    EXPECT_EQ(up.length, 0);
    EXPECT_EQ(up.open, 0);
}

TEST(SmoothEdges, RandomPicturesStayInsideBuffersAndChangeOnlyBackgroundAndMarkers)
{
    std::mt19937 rng(9);
    for (int trial = 0; trial < 400; ++trial) {
        int32_t width = pptest::RandomIn(rng, 1, 30), height = pptest::RandomIn(rng, 1, 20);
        int32_t stride = width + pptest::RandomIn(rng, 0, 3);
        int32_t size = stride * height;
        uint8_t b = trial % 2 ? 255 : 0;
        std::vector<uint8_t> before =
            pptest::RandomBytes(rng, size, {b, b, b, b, b, 1, 2, 100, 200});

        Guarded supplied(size), work(size, 0x5A);
        supplied.Assign(before);
        ASSERT_EQ(SmoothEdges(supplied.data(), work.data(), width, height, stride, size, b),
                  work.data());
        ASSERT_TRUE(supplied.GuardsIntact() && work.GuardsIntact());
        std::vector<uint8_t> after = supplied.Contents();
        for (int32_t i = 0; i < size; ++i) {
            if (after[i] != before[i]) {
                ASSERT_TRUE(before[i] == b || before[i] == 1) << "byte " << i;
            }
            ASSERT_NE(after[i], 1) << "byte " << i;
        }

        Guarded allocated(size);
        allocated.Assign(before);
        uint8_t *own = SmoothEdges(allocated.data(), nullptr, width, height, stride, size, b);
        ASSERT_NE(own, nullptr);
        FreeBuf(own);
        ASSERT_EQ(allocated.Contents(), after);
        ASSERT_TRUE(allocated.GuardsIntact());
    }
}

} // namespace
