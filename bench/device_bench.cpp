// The portable StretchDIBits: an 8-bit picture onto the true-colour surface
// at 1:1, shrunk and enlarged. The baseline is the surface bytes written.
#include "against_memcpy.h"
#include "pictures.h"

#include "piecepaint/host.h"
#include "platform/win32.h"
#include "support/builders.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

void BM_StretchDIBits(benchmark::State &state)
{
    ppbench::Picture p = ppbench::MakePicture(static_cast<int32_t>(state.range(0)),
                                              static_cast<int32_t>(state.range(1)));
    std::vector<uint8_t> visible;
    for (int32_t r = 0; r < p.height; ++r)
        visible.insert(visible.end(), p.pixels.begin() + static_cast<ptrdiff_t>(r) * p.stride,
                       p.pixels.begin() + static_cast<ptrdiff_t>(r) * p.stride + p.width);
    std::vector<uint8_t> dib = pptest::BuildBitmap(p.width, p.height, 8, 256, visible);
    const auto *info = reinterpret_cast<const BITMAPINFO *>(dib.data());
    const uint8_t *bits = dib.data() + 1064;

    const int32_t destWidth = static_cast<int32_t>(p.width * state.range(2) / 1000);
    const int32_t destHeight = static_cast<int32_t>(p.height * state.range(2) / 1000);
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, destWidth, destHeight);
    ppDCSetLogging(hdc, 0);
    int width = 0, height = 0;
    const auto *surface = reinterpret_cast<const uint8_t *>(ppDCPixels(hdc, &width, &height));
    const size_t bytes = static_cast<size_t>(destWidth) * destHeight * 4;
    ppbench::AgainstMemcpy(state, bytes, surface, ppbench::NoPrepare, [&] {
        StretchDIBits(hdc, 0, 0, destWidth, destHeight, 0, 0, p.width, p.height, bits, info,
                      DIB_RGB_COLORS, SRCCOPY);
    });
    ppDeleteDC(hdc);
}

BENCHMARK(BM_StretchDIBits)->Apply([](auto *b) {
    b->ArgNames({"w", "h", "permille"});
    for (auto [w, h] : {std::pair{320, 240}, {1024, 768}, {2048, 1536}})
        for (int64_t scale : {1000, 750, 1500})
            b->Args({w, h, scale});
    b->UseManualTime()->Unit(benchmark::kMicrosecond);
});

} // namespace
