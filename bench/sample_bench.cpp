// PaintPrt on the sample catalogue (a house in its garden, every option on)
// fitted into destinations of the three sizes: the small one shrinks the
// picture, the others enlarge it on the device. The baseline is the
// destination surface's bytes. Skipped when the sample has not been built
// (it needs the tools).
//
// Stages beside the whole paint: the selection and the layout (run alone on
// the sample's catalogue), the effects (the paint less a paint of the same
// catalogue with its filter and smoothing flags cleared) and the device
// output (the paint's StretchDIBits calls replayed on the same device, its
// clip region still selected). Composition is what remains, the shrink of
// the picture included.
#include "against_memcpy.h"

#include "catalog/registration.h"
#include "layout/layout.h"
#include "piecepaint/host.h"
#include "piecepaint/piecepaint.h"
#include "platform/portable/device.h"
#include "platform/portable/module.h"
#include "select/codeset.h"
#include "select/select.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::string SampleDir(const std::string &module)
{
    return std::string(PP_BINARY_DIR) + "/samples/" + module;
}

// The sample's main module copied into memory, with some paint flags of its
// catalogue cleared; the catalogue's bytes are kept in catalogue.
HMODULE CopyModule(const std::string &dir, uint16_t clearFlags, Bytes &catalogue)
{
    HMODULE module = ppModuleCreate();
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".bin")
            continue;
        const auto id = static_cast<uint16_t>(std::stoi(entry.path().stem().string()));
        std::ifstream in(entry.path(), std::ios::binary);
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (id == PP_CATALOGUE_ID && bytes.size() >= sizeof(CatalogHeader)) {
            CatalogHeader header;
            std::memcpy(&header, bytes.data(), sizeof header);
            header.paintFlags = static_cast<uint16_t>(header.paintFlags & ~clearFlags);
            std::memcpy(bytes.data(), &header, sizeof header);
            catalogue = bytes;
        }
        ppModuleAddResource(module, id, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    return module;
}

// The StretchDIBits calls of one paint: their arguments and bitmaps.
std::vector<DeviceCall> StretchCalls(HDC hdc)
{
    std::vector<DeviceCall> calls;
    for (const DeviceCall &call : DeviceLog(hdc)) {
        if (call.name == "StretchDIBits" && call.args.size() >= 10)
            calls.push_back(call);
    }
    return calls;
}

void Replay(HDC hdc, const std::vector<DeviceCall> &calls)
{
    for (const DeviceCall &c : calls) {
        const auto *info = reinterpret_cast<const BITMAPINFO *>(c.payload.data());
        const int32_t a[8] = {static_cast<int32_t>(c.args[0]), static_cast<int32_t>(c.args[1]),
                              static_cast<int32_t>(c.args[2]), static_cast<int32_t>(c.args[3]),
                              static_cast<int32_t>(c.args[4]), static_cast<int32_t>(c.args[5]),
                              static_cast<int32_t>(c.args[6]), static_cast<int32_t>(c.args[7])};
        StretchDIBits(hdc, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7],
                      c.payload.data() + c.pixelOffset, info, static_cast<UINT>(c.args[8]),
                      static_cast<DWORD>(c.args[9]));
    }
}

void BM_PaintSample(benchmark::State &state)
{
    if (!std::filesystem::is_directory(SampleDir("house"))) {
        state.SkipWithError("the sample is not built (configure with PIECEPAINT_TOOLS=ON)");
        return;
    }
    Bytes catalogue, plainCatalogue;
    HMODULE main = CopyModule(SampleDir("house"), 0, catalogue);
    HMODULE plain = CopyModule(SampleDir("house"), PAINT_FILTER | PAINT_SMOOTH, plainCatalogue);
    HMODULE aux = ppOpenModule(SampleDir("house-aux").c_str());
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, width, height);
    ppGdiSetLogging(0);
    // The first paint is recorded: its StretchDIBits calls are replayed below.
    ppDCSetLogging(hdc, 1);
    // Every garden option: blue roof, six flowers, four rows of logs, smoke,
    // birds, flagpole, the mailbox flag up.
    OptionRecord options{};
    options.bits0 = 4u << 14 | 2u << 17 | 2u << 20 | 1u << 8 | 1u << 6 | 1u << 4 | 1u << 12;
    const uint16_t house[] = {500, 0};
    auto paint = [&](HMODULE module) {
        return PaintPrt(hdc, module, aux, 0, 0, width, height, width, height, 1, 0, 0, &options,
                        224, 0, house);
    };
    const int32_t result = paint(main);
    const std::vector<DeviceCall> output = StretchCalls(hdc);
    ppDCClearLog(hdc);
    ppDCSetLogging(hdc, 0);
    if (result != PP_RESULT_OK || output.empty() || catalogue.empty()) {
        state.SkipWithError("the sample did not paint");
    } else {
        const auto *header = reinterpret_cast<const CatalogHeader *>(catalogue.data());
        std::vector<PlacedPiece> pieces(
            static_cast<size_t>(std::max<int16_t>(header->maxPieces, 0)) + 1);
        LayoutResult laid{};
        const size_t bytes = static_cast<size_t>(width) * height * 4;
        Bytes scratch(bytes);
        int dcWidth = 0, dcHeight = 0;
        const auto *surface =
            reinterpret_cast<const uint8_t *>(ppDCPixels(hdc, &dcWidth, &dcHeight));

        enum { kPaint, kPlain, kSelect, kLayout, kOutput, kMemcpy, kStages };
        ppbench::StageTimer timer(kStages);
        for (auto _ : state) {
            state.SetIterationTime(timer.Time(kPaint, [&] { paint(main); }));
            timer.Time(kPlain, [&] { paint(plain); });
            timer.Time(kSelect, [&] {
                CatalogHeaderRef(1, header);
                TemplateTableRef(1, header);
                SelectPieces(pieces.data(), &options, &laid, house);
                CodeSetOp(CODESET_RELEASE, 0);
            });
            timer.Time(kLayout, [&] {
                LayoutPieces(0, width, height, &options, pieces.data(), &laid, header, house);
            });
            timer.Time(kOutput, [&] { Replay(hdc, output); });
            timer.Time(kMemcpy, [&] {
                std::memcpy(scratch.data(), surface, bytes);
                benchmark::DoNotOptimize(scratch.data());
            });
        }
        const double whole = timer.MedianOf(kPaint);
        state.counters["x_memcpy"] = whole / timer.MedianOf(kMemcpy);
        state.counters["bytes"] = static_cast<double>(bytes);
        ppbench::ReportShares(state, {whole, timer.MedianOf(kSelect), timer.MedianOf(kLayout),
                                      std::max(whole - timer.MedianOf(kPlain), 0.0),
                                      timer.MedianOf(kOutput)});
    }
    ppDeleteDC(hdc);
    ppCloseModule(aux);
    ppCloseModule(plain);
    ppCloseModule(main);
}

BENCHMARK(BM_PaintSample)->Apply([](auto *b) {
    b->ArgNames({"w", "h"});
    for (auto [w, h] : {std::pair{320, 240}, {1024, 768}, {2048, 1536}})
        b->Args({w, h});
    b->UseManualTime()->Unit(benchmark::kMicrosecond);
});

} // namespace
