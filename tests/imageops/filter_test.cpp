#include "guarded.h"
#include "reference.h"
#include "imageops/buffers.h"
#include "imageops/filter.h"
#include "imageops/lowindex.h"
#include "platform/portable/heap.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

using pptest::Guarded;
using pptest::ReferenceFilter;
using pptest::Weights;

// The driver's weights for strength t.
constexpr Weights Strength(int32_t t, int32_t force = 0)
{
    return {0, -t, 4 * t + 5, 5, 0, force};
}

uint8_t *Filter(uint8_t *pixels, uint8_t *work, int32_t width, int32_t height, int32_t stride,
                int32_t background, const Weights &w)
{
    return FilterPic(pixels, work, width, height, stride, background, w.corner, w.edge, w.centre,
                     w.divisor, w.offset, w.force);
}

// One interior pixel in a 3 x 3 picture (stride 4) with background 255.
struct PixelCase {
    const char *what;
    Weights weights;
    uint8_t centre, edges, corners;
    uint8_t expected;
};

class FilterPixel : public ::testing::TestWithParam<PixelCase> {};

TEST_P(FilterPixel, ComputesTheCentre)
{
    const PixelCase &c = GetParam();
    Guarded pixels(12);
    pixels.Assign({c.corners, c.edges, c.corners, 9, c.edges, c.centre, c.edges, 9, c.corners,
                   c.edges, c.corners, 9});
    uint8_t *work = Filter(pixels.data(), nullptr, 3, 3, 4, 255, c.weights);
    ASSERT_NE(work, nullptr);
    std::vector<uint8_t> got = pixels.Contents();
    EXPECT_EQ(got[5], c.expected);
    EXPECT_EQ(got[0], c.corners); // the border stays
    EXPECT_EQ(got[3], 255);       // padding takes the background
    EXPECT_TRUE(pixels.GuardsIntact());
    FreeBuf(work);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterPixel,
    ::testing::Values(PixelCase{"t=1 sharpens", Strength(1), 100, 80, 0, 116},
                      PixelCase{"corners do not count", Strength(1), 100, 80, 200, 116},
                      PixelCase{"t=1 dark", Strength(1), 50, 100, 0, 10},
                      PixelCase{"uniform stays", Strength(3), 77, 77, 77, 77},
                      // -7 / 5 truncates to -1 (not -2), then the offset 3 gives 2.
                      PixelCase{"truncation toward zero", {0, 0, -7, 5, 3, 0}, 1, 0, 0, 2},
                      PixelCase{"below zero", Strength(2), 10, 200, 0, 0},
                      PixelCase{"255 becomes 254", {0, 0, 1, 1, 155, 0}, 100, 0, 0, 254},
                      PixelCase{"odd low value lowered", {0, 0, 1, 0, 0, 0}, 13, 0, 0, 12},
                      PixelCase{"offset after division", {1, 1, 1, 3, 10, 0}, 30, 0, 0, 20},
                      // 4 x 0x40000001 wraps to 4 in 32 bits.
                      PixelCase{"sum wraps", {0, 0, 0x40000001, 1, 0, 0}, 4, 0, 0, 4},
                      PixelCase{"background never changes", Strength(1, 1), 255, 0, 0, 255},
                      PixelCase{"next to background unforced", Strength(1), 100, 80, 255, 100},
                      PixelCase{"next to background forced", Strength(1, 1), 100, 80, 255, 116}),
    [](const auto &info) {
        std::string name = info.param.what;
        for (char &ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(FilterPic, NarrowPicturesOnlyGetBackgroundPadding)
{
    // Width 0 with a stride of 0 has no bytes at all.
    const int32_t sizes[][3] = {{1, 5, 4}, {2, 5, 5}, {5, 1, 8}, {5, 2, 8},
                                {2, 2, 5}, {0, 5, 3}, {0, 5, 0}};
    for (const auto &size : sizes) {
        int32_t width = size[0], height = size[1], stride = size[2];
        std::vector<uint8_t> before(static_cast<size_t>(stride) * height, 7);
        std::vector<uint8_t> expected = before;
        for (int32_t r = 0; r < height; ++r)
            for (int32_t c = width; c < stride; ++c)
                expected[r * stride + c] = 200;
        Guarded pixels(before.size());
        pixels.Assign(before);
        FreeBuf(Filter(pixels.data(), nullptr, width, height, stride, 200, Strength(4, 1)));
        EXPECT_EQ(pixels.Contents(), expected) << width << "x" << height;
        EXPECT_TRUE(pixels.GuardsIntact());
    }
}

TEST(FilterPic, AllZeroWeightsDoNothingAndHandBackTheWorkBuffer)
{
    uint8_t pixels[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    uint8_t work[16] = {};
    int64_t calls = ppHeapAllocCalls();
    EXPECT_EQ(Filter(pixels, nullptr, 4, 4, 4, 0, {0, 0, 0, 0, 0, 1}), nullptr);
    EXPECT_EQ(Filter(pixels, work, 4, 4, 4, 0, {0, 0, 0, 7, 0, 1}), work);
    EXPECT_EQ(ppHeapAllocCalls(), calls);
    EXPECT_EQ(pixels[5], 6);
    EXPECT_EQ(pixels[0], 1);
    EXPECT_EQ(work[0], 0);
}

TEST(FilterPic, FailedAllocationLeavesThePictureAlone)
{
    uint8_t pixels[16] = {1, 2, 3, 4, 5, 60, 70, 8, 9, 100, 110, 12, 13, 14, 15, 16};
    int32_t live = ppHeapLiveBlocks();
    ppHeapFailNth(1);
    EXPECT_EQ(Filter(pixels, nullptr, 4, 4, 4, 0, Strength(1, 1)), nullptr);
    EXPECT_EQ(pixels[5], 60);
    EXPECT_EQ(pixels[10], 110);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
}

TEST(FilterPic, MatchesPixelByPixelFilterWhetherBufferIsSuppliedOrAllocated)
{
    std::mt19937 rng(3);
    for (int trial = 0; trial < 300; ++trial) {
        int32_t width = pptest::RandomIn(rng, 1, 30), height = pptest::RandomIn(rng, 1, 20);
        int32_t stride = width + pptest::RandomIn(rng, 0, 4);
        uint8_t bg = trial % 2 ? 255 : 0;
        Weights w{pptest::RandomIn(rng, -3, 3),   pptest::RandomIn(rng, -4, 4),
                  pptest::RandomIn(rng, -5, 25),  pptest::RandomIn(rng, 0, 7),
                  pptest::RandomIn(rng, -20, 20), trial % 3 == 0};
        if (trial % 4 == 0)
            w = Strength(pptest::RandomIn(rng, -3, 3), w.force);
        std::vector<uint8_t> before = pptest::RandomBytes(rng, static_cast<size_t>(stride) * height,
                                                          {0, 1, 13, 60, 61, 140, 200, 255});
        std::vector<uint8_t> expected = ReferenceFilter(before, width, height, stride, bg, w);
        if (w.corner == 0 && w.edge == 0 && w.centre == 0 && w.offset == 0)
            expected = before;

        Guarded supplied(before.size()), work(before.size(), 0xCC);
        supplied.Assign(before);
        uint8_t *used = Filter(supplied.data(), work.data(), width, height, stride, bg, w);
        ASSERT_EQ(used, work.data());
        ASSERT_EQ(supplied.Contents(), expected) << width << "x" << height << " stride " << stride;
        ASSERT_TRUE(supplied.GuardsIntact() && work.GuardsIntact());

        Guarded allocated(before.size());
        allocated.Assign(before);
        FreeBuf(Filter(allocated.data(), nullptr, width, height, stride, bg, w));
        ASSERT_EQ(allocated.Contents(), expected);
        ASSERT_TRUE(allocated.GuardsIntact());
    }
}

} // namespace
