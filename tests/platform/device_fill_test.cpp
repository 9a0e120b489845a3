// Fills the device defers: the surface must read the same whether it is
// read after every call or only at the end, whatever order of fills,
// frames, pictures and clip regions came between.
#include "support/dib.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using pptest::DeviceGuard;
using pptest::MakeDib;

constexpr int kWidth = 21;
constexpr int kHeight = 17;

int Coord(std::mt19937 &rng, int size)
{
    return static_cast<int>(rng() % static_cast<unsigned>(size + 8)) - 4;
}

// One random call, the same on both device contexts.
void RandomCall(std::mt19937 &rng, const pptest::Dib &dib, HDC a, HDC b)
{
    const int x = Coord(rng, kWidth), y = Coord(rng, kHeight);
    const int w = Coord(rng, kWidth), h = Coord(rng, kHeight);
    const COLORREF colour = rng() & 0xFFFFFFu;
    switch (rng() % 5) {
    case 0:
    case 1: { // FillRgn, the call a paint starts with
        HRGN region = CreateRectRgn(x, y, x + w, y + h);
        HBRUSH brush = CreateSolidBrush(colour);
        FillRgn(a, region, brush);
        FillRgn(b, region, brush);
        DeleteObject(brush);
        DeleteObject(region);
        break;
    }
    case 2: { // FrameRgn
        HRGN region = CreateRectRgn(x, y, x + w, y + h);
        HBRUSH brush = CreateSolidBrush(colour);
        const int band = 1 + static_cast<int>(rng() % 3);
        FrameRgn(a, region, brush, band, 2);
        FrameRgn(b, region, brush, band, 2);
        DeleteObject(brush);
        DeleteObject(region);
        break;
    }
    case 3: { // a picture, enlarged, shrunk or mirrored, in any mode
        const int modes[] = {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR, HALFTONE};
        const int mode = modes[rng() % 4];
        const int sx = static_cast<int>(rng() % 6) - 1, sy = static_cast<int>(rng() % 6) - 1;
        for (HDC dc : {a, b}) {
            SetStretchBltMode(dc, mode);
            StretchDIBits(dc, x, y, w, h, sx, sy, 9, 7, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                          SRCCOPY);
        }
        break;
    }
    default: { // a clip region, or one that hides nothing
        HRGN region =
            rng() % 3 == 0 ? CreateRectRgn(-9, -9, 99, 99) : CreateRectRgn(x, y, x + w, y + h);
        SelectObject(a, region);
        SelectObject(b, region);
        DeleteObject(region);
    }
    }
}

TEST(DeferredFill, SurfaceReadsAlikeReadAfterEveryCallOrAtTheEnd)
{
    std::vector<uint32_t> pixels(10 * 8), colours(256);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint32_t>(i * 7 % 256);
    for (size_t i = 0; i < colours.size(); ++i)
        colours[i] = static_cast<uint32_t>(i * 0x010203u) & 0xFFFFFFu;
    const pptest::Dib dib = MakeDib(10, 8, 8, pixels, colours);
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        DeviceGuard eager(PP_DEVICE_TRUECOLOR, kWidth, kHeight);
        DeviceGuard lazy(PP_DEVICE_TRUECOLOR, kWidth, kHeight);
        ppDCSetLogging(eager.get(), 0);
        ppDCSetLogging(lazy.get(), 0);
        const int calls = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < calls; ++i) {
            RandomCall(rng, dib, eager.get(), lazy.get());
            const std::vector<uint32_t> now = eager.Pixels();
            if (rng() % 4 == 0) {
                ASSERT_EQ(lazy.Pixels(), now) << "seed " << seed << " call " << i;
            }
        }
        ASSERT_EQ(lazy.Pixels(), eager.Pixels()) << "seed " << seed;
    }
}

} // namespace
