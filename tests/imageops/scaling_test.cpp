#include "guarded.h"
#include "reference.h"
#include "imageops/buffers.h"
#include "imageops/divide.h"
#include "imageops/lowindex.h"
#include "imageops/scaling.h"
#include "platform/portable/heap.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using pptest::Guarded;
using pptest::ReferenceRepeat;
using pptest::ReferenceShrink;
using pptest::Stride8;

TEST(ByteMeanDivider, ExactForEveryByteMean)
{
    for (uint32_t d = 1; d <= 700; ++d) {
        ByteMeanDivider divider = MakeByteMeanDivider(d);
        for (uint32_t x = 0; x <= 255 * d; ++x)
            ASSERT_EQ(DivideByteMean(divider, x), x / d) << x << " / " << d;
    }
    std::mt19937 rng(7);
    for (int i = 0; i < 200000; ++i) {
        uint32_t d = static_cast<uint32_t>(pptest::RandomIn(rng, 1, ByteMeanDivider::kMaxDivisor));
        uint32_t x = static_cast<uint32_t>(pptest::RandomIn(rng, 0, 255)) * d +
                     static_cast<uint32_t>(pptest::RandomIn(rng, 0, 1)) * (d - 1);
        ASSERT_EQ(DivideByteMean(MakeByteMeanDivider(d), x), x / d) << x << " / " << d;
    }
}

struct ShrinkCase {
    int32_t oldWidth, oldHeight, newWidth, newHeight;
    std::vector<uint8_t> before; // oldStride x oldHeight
    std::vector<uint8_t> after;  // newStride x newHeight
};

TEST(ShrinkAvg, Examples)
{
    const ShrinkCase cases[] = {
        // Row pass 13, 26, 43, 56; the column pass lowers the odd 13.
        {6, 1, 4, 1, {10, 20, 30, 40, 50, 60, 7, 7}, {12, 26, 43, 56}},
        {3, 1, 2, 1, {100, 200, 50, 9}, {133, 100, 0, 0}},
        {1, 4, 1, 2, {3, 0, 0, 0, 5, 0, 0, 0, 7, 0, 0, 0, 9, 0, 0, 0}, {4, 0, 0, 0, 8, 0, 0, 0}},
        // Same size: only odd values below 14 and the padding change.
        {5,
         2,
         5,
         2,
         {1, 13, 14, 15, 255, 9, 9, 9, 0, 2, 3, 200, 11, 9, 9, 9},
         {0, 12, 14, 15, 255, 0, 0, 0, 0, 2, 2, 200, 10, 0, 0, 0}},
    };
    for (const ShrinkCase &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.oldWidth << "x" << c.oldHeight << " -> "
                                          << c.newWidth << "x" << c.newHeight);
        Guarded pixels(c.before.size());
        pixels.Assign(c.before);
        ShrinkAvg(pixels.data(), c.oldWidth, c.oldHeight, c.newWidth, c.newHeight,
                  Stride8(c.oldWidth), Stride8(c.newWidth));
        std::vector<uint8_t> got = pixels.Contents();
        got.resize(c.after.size());
        EXPECT_EQ(got, c.after);
        EXPECT_TRUE(pixels.GuardsIntact());
    }
}

TEST(ShrinkAvg, MatchesStepByStepAverageAndStaysInsideItsBuffer)
{
    std::mt19937 rng(11);
    for (int trial = 0; trial < 400; ++trial) {
        int32_t oldWidth = pptest::RandomIn(rng, 1, trial < 390 ? 70 : 700);
        int32_t oldHeight = pptest::RandomIn(rng, 1, trial < 390 ? 40 : 300);
        int32_t newWidth = pptest::RandomIn(rng, 0, oldWidth);
        int32_t newHeight = pptest::RandomIn(rng, 0, oldHeight);
        int32_t oldStride = Stride8(oldWidth), newStride = Stride8(newWidth);
        size_t size = static_cast<size_t>(oldStride) * oldHeight;
        std::vector<uint8_t> before = pptest::RandomBytes(rng, size + 1, {0, 1, 7, 13, 100, 255});
        std::vector<uint8_t> expected = before;
        ReferenceShrink(expected, oldWidth, oldHeight, newWidth, newHeight, oldStride, newStride);

        // The byte past the last row may be read, never written.
        Guarded pixels(size + 1);
        pixels.Assign(before);
        ShrinkAvg(pixels.data(), oldWidth, oldHeight, newWidth, newHeight, oldStride, newStride);
        std::vector<uint8_t> got = pixels.Contents();
        size_t used = static_cast<size_t>(newStride) * newHeight;
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + used, expected.begin()))
            << oldWidth << "x" << oldHeight << " -> " << newWidth << "x" << newHeight;
        ASSERT_EQ(got[size], before[size]);
        ASSERT_TRUE(pixels.GuardsIntact());
    }
}

// Source n x n with distinct pixels; target m x m must take row and column
// i from source index map[i].
struct RepeatCase {
    int32_t n, m;
    std::vector<int32_t> map;
};

class ScaleRepeatPattern : public ::testing::TestWithParam<RepeatCase> {};

TEST_P(ScaleRepeatPattern, RepeatsWithExtrasFirstAndPadsWithZeros)
{
    const RepeatCase &c = GetParam();
    int32_t sourceStride = Stride8(c.n), targetStride = Stride8(c.m);
    std::vector<uint8_t> source(static_cast<size_t>(sourceStride) * c.n, 0xEE);
    for (int32_t r = 0; r < c.n; ++r)
        for (int32_t col = 0; col < c.n; ++col)
            source[r * sourceStride + col] = static_cast<uint8_t>(16 * r + col + 1);
    int32_t size = targetStride * c.m;
    Guarded work(size, 0xCC);
    ASSERT_EQ(ScaleRepeat(source.data(), work.data(), c.n, c.n, c.m, c.m, size), work.data());
    for (int32_t r = 0; r < c.m; ++r) {
        for (int32_t col = 0; col < targetStride; ++col) {
            uint8_t want = col < c.m ? source[c.map[r] * sourceStride + c.map[col]] : 0;
            EXPECT_EQ(work.data()[r * targetStride + col], want) << "row " << r << " col " << col;
        }
    }
    EXPECT_TRUE(work.GuardsIntact());
}

INSTANTIATE_TEST_SUITE_P(Patterns, ScaleRepeatPattern,
                         ::testing::Values(RepeatCase{3, 5, {0, 0, 1, 1, 2}},
                                           RepeatCase{4, 6, {0, 0, 1, 2, 2, 3}},
                                           RepeatCase{2, 3, {0, 0, 1}}, RepeatCase{5, 3, {0, 1, 3}},
                                           RepeatCase{3, 3, {0, 1, 2}},
                                           RepeatCase{2, 11, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1}},
                                           RepeatCase{6, 0, {}}));

TEST(ScaleRepeat, FailedAllocationReturnsNullAndSuppliedBufferAllocatesNothing)
{
    const uint8_t source[4] = {1, 2, 3, 0};
    int32_t live = ppHeapLiveBlocks();
    ppHeapFailNth(1);
    EXPECT_EQ(ScaleRepeat(source, nullptr, 3, 1, 5, 1, 8), nullptr);
    EXPECT_EQ(ppHeapLiveBlocks(), live);

    uint8_t work[8] = {};
    int64_t calls = ppHeapAllocCalls();
    EXPECT_EQ(ScaleRepeat(source, work, 3, 1, 5, 1, 8), work);
    EXPECT_EQ(ppHeapAllocCalls(), calls);
}

TEST(ScaleRepeat, OutOfContractSizesStayInsideTheBuffer)
{
    const uint8_t source[4] = {1, 2, 3, 0};
    // An empty source gives zero rows of the target size.
    Guarded empty(16, 0xCC);
    ScaleRepeat(source, empty.data(), 0, 1, 5, 2, 16);
    EXPECT_EQ(empty.Contents(), std::vector<uint8_t>(16, 0));
    // Rows that would pass size bytes are left out.
    Guarded small(12, 0xCC);
    ScaleRepeat(source, small.data(), 3, 1, 5, 3, 12);
    EXPECT_EQ(small.Contents(),
              (std::vector<uint8_t>{1, 1, 2, 2, 3, 0, 0, 0, 0xCC, 0xCC, 0xCC, 0xCC}));
    EXPECT_TRUE(empty.GuardsIntact() && small.GuardsIntact());
}

TEST(ScaleRepeat, MatchesErrorTermWalkWhetherBufferIsSuppliedOrAllocated)
{
    std::mt19937 rng(5);
    for (int trial = 0; trial < 300; ++trial) {
        int32_t sw = pptest::RandomIn(rng, 1, 40), sh = pptest::RandomIn(rng, 1, 30);
        int32_t tw = pptest::RandomIn(rng, 0, 90), th = pptest::RandomIn(rng, 0, 70);
        std::vector<uint8_t> source =
            pptest::RandomBytes(rng, static_cast<size_t>(Stride8(sw)) * sh, {0, 1, 2, 100, 255});
        std::vector<uint8_t> expected = ReferenceRepeat(source, sw, sh, tw, th);
        int32_t size = Stride8(tw) * th + pptest::RandomIn(rng, 0, 5);

        Guarded supplied(size, 0xCC);
        ASSERT_EQ(ScaleRepeat(source.data(), supplied.data(), sw, sh, tw, th, size),
                  supplied.data());
        std::vector<uint8_t> got = supplied.Contents();
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), got.begin()))
            << sw << "x" << sh << " -> " << tw << "x" << th;
        ASSERT_TRUE(std::all_of(got.begin() + expected.size(), got.end(),
                                [](uint8_t b) { return b == 0xCC; }));
        ASSERT_TRUE(supplied.GuardsIntact());

        auto *allocated = ScaleRepeat(source.data(), nullptr, sw, sh, tw, th, size);
        ASSERT_NE(allocated, nullptr);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), allocated));
        FreeBuf(allocated);
    }
}

} // namespace
