// PaintPrt on the sample catalogue (a house in its garden, every option on)
// fitted into destinations of the three sizes: the small one shrinks the
// picture, the others enlarge it on the device. The baseline is the
// destination surface's bytes. Skipped when the sample has not been built
// (it needs the tools).
#include "against_memcpy.h"

#include "piecepaint/host.h"
#include "piecepaint/piecepaint.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

std::string SampleDir(const std::string &module)
{
    return std::string(PP_BINARY_DIR) + "/samples/" + module;
}

void BM_PaintSample(benchmark::State &state)
{
    if (!std::filesystem::is_directory(SampleDir("house"))) {
        state.SkipWithError("the sample is not built (configure with PIECEPAINT_TOOLS=ON)");
        return;
    }
    HMODULE main = ppOpenModule(SampleDir("house").c_str());
    HMODULE aux = ppOpenModule(SampleDir("house-aux").c_str());
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, width, height);
    ppDCSetLogging(hdc, 0);
    ppGdiSetLogging(0);
    // Every garden option: blue roof, six flowers, four rows of logs, smoke,
    // birds, flagpole, the mailbox flag up.
    OptionRecord options{};
    options.bits0 = 4u << 14 | 2u << 17 | 2u << 20 | 1u << 8 | 1u << 6 | 1u << 4 | 1u << 12;
    const uint16_t house[] = {500, 0};
    int width0 = 0, height0 = 0;
    const auto *surface = reinterpret_cast<const uint8_t *>(ppDCPixels(hdc, &width0, &height0));
    int32_t result = PP_RESULT_OK;
    ppbench::AgainstMemcpy(state, static_cast<size_t>(width) * height * 4, surface,
                           ppbench::NoPrepare, [&] {
                               result = PaintPrt(hdc, main, aux, 0, 0, width, height, width, height,
                                                 1, 0, 0, &options, 224, 0, house);
                           });
    if (result != PP_RESULT_OK)
        state.SkipWithError("the sample did not paint");
    ppDeleteDC(hdc);
    ppCloseModule(aux);
    ppCloseModule(main);
}

BENCHMARK(BM_PaintSample)->Apply([](auto *b) {
    b->ArgNames({"w", "h"});
    for (auto [w, h] : {std::pair{320, 240}, {1024, 768}, {2048, 1536}})
        b->Args({w, h});
    b->UseManualTime()->Unit(benchmark::kMicrosecond);
});

} // namespace
