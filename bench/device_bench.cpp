// The portable StretchDIBits: an 8-bit picture onto the true-colour surface
// at 1:1, shrunk and enlarged in the default mode (BLACKONWHITE, which a
// paint leaves set); then, at 1024 x 768, the other nearest-neighbour modes
// and 24- and 32-bit copies of the picture. The baseline is the surface
// bytes written.
#include "against_memcpy.h"
#include "pictures.h"

#include "piecepaint/host.h"
#include "platform/win32.h"
#include "support/builders.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The picture as a bitmap of bpp bits a pixel: the 8-bit one with its grey
// table, or the same greys written out as 24- or 32-bit pixels.
std::vector<uint8_t> PictureBitmap(const ppbench::Picture &p, int bpp)
{
    std::vector<uint8_t> visible;
    for (int32_t r = 0; r < p.height; ++r)
        visible.insert(visible.end(), p.pixels.begin() + static_cast<ptrdiff_t>(r) * p.stride,
                       p.pixels.begin() + static_cast<ptrdiff_t>(r) * p.stride + p.width);
    if (bpp == 8)
        return pptest::BuildBitmap(p.width, p.height, 8, 256, visible);
    // Rows bottom first, as BuildBitmap writes them; grey i as i, i, i.
    const int32_t bytesPerPixel = bpp / 8;
    const size_t stride = (static_cast<size_t>(p.width) * bytesPerPixel + 3) / 4 * 4;
    std::vector<uint8_t> bytes(40 + stride * p.height, 0);
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = p.width;
    header.biHeight = p.height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bpp);
    std::memcpy(bytes.data(), &header, sizeof header);
    for (int32_t r = 0; r < p.height; ++r)
        for (int32_t c = 0; c < p.width; ++c)
            for (int32_t k = 0; k < 3; ++k)
                bytes[40 + r * stride + static_cast<size_t>(c) * bytesPerPixel + k] =
                    visible[static_cast<size_t>(r) * p.width + c];
    return bytes;
}

void StretchPicture(benchmark::State &state, int32_t w, int32_t h, int64_t permille, int mode,
                    int bpp)
{
    ppbench::Picture p = ppbench::MakePicture(w, h);
    std::vector<uint8_t> dib = PictureBitmap(p, bpp);
    const auto *info = reinterpret_cast<const BITMAPINFO *>(dib.data());
    const uint8_t *bits = dib.data() + info->bmiHeader.biSize + (bpp == 8 ? 1024 : 0);

    const int32_t destWidth = static_cast<int32_t>(p.width * permille / 1000);
    const int32_t destHeight = static_cast<int32_t>(p.height * permille / 1000);
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, destWidth, destHeight);
    ppDCSetLogging(hdc, 0);
    SetStretchBltMode(hdc, mode);
    int width = 0, height = 0;
    const auto *surface = reinterpret_cast<const uint8_t *>(ppDCPixels(hdc, &width, &height));
    const size_t bytes = static_cast<size_t>(destWidth) * destHeight * 4;
    ppbench::AgainstMemcpy(state, bytes, surface, ppbench::NoPrepare, [&] {
        StretchDIBits(hdc, 0, 0, destWidth, destHeight, 0, 0, p.width, p.height, bits, info,
                      DIB_RGB_COLORS, SRCCOPY);
    });
    ppDeleteDC(hdc);
}

void BM_StretchDIBits(benchmark::State &state)
{
    StretchPicture(state, static_cast<int32_t>(state.range(0)),
                   static_cast<int32_t>(state.range(1)), state.range(2), BLACKONWHITE, 8);
}

BENCHMARK(BM_StretchDIBits)->Apply([](auto *b) {
    b->ArgNames({"w", "h", "permille"});
    for (auto [w, h] : {std::pair{320, 240}, {1024, 768}, {2048, 1536}})
        for (int64_t scale : {1000, 750, 1500})
            b->Args({w, h, scale});
    b->UseManualTime()->Unit(benchmark::kMicrosecond);
});

// Modes: 1 BLACKONWHITE, 2 WHITEONBLACK, 3 COLORONCOLOR.
void BM_StretchDIBitsAt1024(benchmark::State &state)
{
    StretchPicture(state, 1024, 768, state.range(0), static_cast<int>(state.range(1)),
                   static_cast<int>(state.range(2)));
}

BENCHMARK(BM_StretchDIBitsAt1024)->Apply([](auto *b) {
    b->ArgNames({"permille", "mode", "bpp"});
    for (int64_t mode : {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR})
        for (int64_t scale : {750, 613})
            b->Args({scale, mode, 8});
    for (int64_t bpp : {24, 32})
        for (int64_t scale : {1000, 750, 1500})
            b->Args({scale, BLACKONWHITE, bpp});
    b->UseManualTime()->Unit(benchmark::kMicrosecond);
});

} // namespace
