#include "imageops/buffers.h"
#include "piecepaint/host.h"
#include "platform/portable/heap.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct BrightCase {
    int32_t offset;
    uint8_t before;
    uint8_t after;
};

class AdjustBrightTest : public ::testing::TestWithParam<BrightCase> {};

TEST_P(AdjustBrightTest, MapsOnePixel)
{
    const BrightCase &c = GetParam();
    uint8_t pixel = c.before;
    AdjustBright(&pixel, c.offset, 1);
    EXPECT_EQ(pixel, c.after) << "offset " << c.offset << " on " << int{c.before};
}

INSTANTIATE_TEST_SUITE_P(Examples, AdjustBrightTest,
                         ::testing::Values(
                             // Low byte 0: nothing is touched, not even odd low indices.
                             BrightCase{256, 3, 3}, BrightCase{0, 13, 13},
                             // -1: lowered by one, then odd values below 14 go down to even.
                             BrightCase{255, 100, 99}, BrightCase{255, 14, 12},
                             BrightCase{255, 2, 0}, BrightCase{255, 0, 0},
                             // +127: clamps at 254, never 255; 255 and the marker 1 stay.
                             BrightCase{127, 200, 254}, BrightCase{127, 254, 254},
                             BrightCase{127, 255, 255}, BrightCase{127, 1, 1},
                             BrightCase{127, 0, 127}, BrightCase{127, 2, 129},
                             // -128.
                             BrightCase{-128, 100, 0}, BrightCase{-128, 140, 12},
                             BrightCase{-128, 141, 12}, BrightCase{0x180, 141, 12}));

TEST(AdjustBright, TouchesOnlyCountBytes)
{
    std::vector<uint8_t> pixels = {100, 100, 100, 100};
    AdjustBright(pixels.data(), 1, 2);
    EXPECT_EQ(pixels, (std::vector<uint8_t>{101, 101, 100, 100}));
}

TEST(ReplaceIndex, ReplacesOnlyTheOldIndex)
{
    std::vector<uint8_t> pixels = {255, 3, 255, 0, 254};
    ReplaceIndex(pixels.data(), 0x100, 0x1FF, 5); // only low bytes count
    EXPECT_EQ(pixels, (std::vector<uint8_t>{0, 3, 0, 0, 254}));
}

struct FillCase {
    int32_t fillValue;
    uint8_t expected;
};

class AllocFillTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(AllocFillTest, FillsWithTheDocumentedByte)
{
    auto *buffer = static_cast<uint8_t *>(AllocBuf(8, 1, GetParam().fillValue));
    ASSERT_NE(buffer, nullptr);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(buffer[i], GetParam().expected);
    FreeBuf(buffer);
}

INSTANTIATE_TEST_SUITE_P(Examples, AllocFillTest,
                         ::testing::Values(FillCase{0x0101, 1}, FillCase{0x00FF, 255},
                                           FillCase{0x0000, 0}, FillCase{0xFF00, 255},
                                           FillCase{0x12345678, 0x56}));

TEST(AllocBuf, ZeroBytesSucceedsAndFailureIsNull)
{
    int32_t live = ppHeapLiveBlocks();
    void *empty = AllocBuf(0, 0, 0);
    EXPECT_NE(empty, nullptr);
    EXPECT_EQ(ppHeapLiveBlocks(), live + 1);
    FreeBuf(empty);
    EXPECT_EQ(ppHeapLiveBlocks(), live);

    ppHeapFailNth(2);
    void *first = AllocBuf(4, 0, 0);
    void *second = AllocBuf(4, 1, 0);
    void *third = AllocBuf(4, 0, 0);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    FreeBuf(first);
    FreeBuf(third);
    FreeBuf(nullptr);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
}

TEST(ReuseBuf, GivenBufferWithoutFillIsUntouchedAndNothingIsAllocated)
{
    uint8_t bytes[4] = {1, 2, 3, 4};
    int64_t calls = ppHeapAllocCalls();
    EXPECT_EQ(ReuseBuf(bytes, 4, 9, 0), bytes);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[3], 4);
    EXPECT_EQ(ReuseBuf(bytes, 3, 0x109, 1), bytes);
    EXPECT_EQ(bytes[0], 9);
    EXPECT_EQ(bytes[2], 9);
    EXPECT_EQ(bytes[3], 4);
    EXPECT_EQ(ppHeapAllocCalls(), calls);
}

TEST(ReuseBuf, NullBufferAllocatesFilledWithTheLowByte)
{
    auto *buffer = static_cast<uint8_t *>(ReuseBuf(nullptr, 5, 0x1FE, 1));
    ASSERT_NE(buffer, nullptr);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(buffer[i], 0xFE);
    FreeBuf(buffer);
}

TEST(FillAndCopy, CountZeroDoesNothing)
{
    uint8_t a[3] = {1, 2, 3};
    uint8_t b[3] = {7, 8, 9};
    FillBuf(a, 5, 0);
    CopyBuf(a, b, 0);
    EXPECT_EQ(a[0], 1);
    CopyBuf(a, b, 2);
    FillBuf(b, 0x105, 3);
    EXPECT_EQ(a[0], 7);
    EXPECT_EQ(a[1], 8);
    EXPECT_EQ(a[2], 3);
    EXPECT_EQ(b[2], 5);
}

} // namespace

// Large blocks are kept for the next request they fit; the hooks count a
// kept block as freed and taking it back as an allocation.
TEST(BufferCache, ReusesLargeBlocksAndCountsThemReleased)
{
    ppReleaseBuffers();
    const int32_t live = ppHeapLiveBlocks();
    void *big = AllocBuf(200000, 0, 0);
    ASSERT_NE(big, nullptr);
    FreeBuf(big);
    EXPECT_EQ(ppHeapLiveBlocks(), live);

    struct Case {
        uint32_t size;
        bool reused;
    } cases[] = {{300000, false}, {90000, false}, {64 * 1024 - 1, false}, {150000, true}};
    for (const Case &c : cases) {
        const int64_t calls = ppHeapAllocCalls();
        auto *again = static_cast<uint8_t *>(AllocBuf(c.size, 1, 7));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again == big, c.reused) << c.size;
        EXPECT_EQ(again[c.size - 1], 7);
        EXPECT_EQ(ppHeapAllocCalls(), calls + 1);
        EXPECT_EQ(ppHeapLiveBlocks(), live + 1);
        FreeBuf(again);
    }
    // An injected failure fails a reuse too, and keeps the block.
    ppHeapFailNth(1);
    EXPECT_EQ(AllocBuf(150000, 0, 0), nullptr);
    ppReleaseBuffers();
    EXPECT_EQ(ppHeapLiveBlocks(), live);
}
