// PaintPrt on the sample catalogue (a house in its garden, every option on)
// fitted into destinations of the three sizes: the small one shrinks the
// picture, the others enlarge it on the device. The baseline is the
// destination surface's bytes. Skipped when the sample has not been built
// (it needs the tools).
//
// Each stage timed on its own: the selection and the layout (run alone on
// the sample's catalogue); the piece drawing (BlitPiece and the resampling
// of pieces), the effects (filter, brightness, index replacement,
// smoothing) and the shrink of the picture, timed inside the paint
// (paint_hooks.h); the grey fill of the destination and the StretchDIBits
// calls, replayed on the same device with its clip region still selected.
// The rest (loading, buffers, palette, clipping) is what remains. Page
// faults per paint come from getrusage around each paint.
#include "against_memcpy.h"
#include "paint_hooks.h"

#include "catalog/registration.h"
#include "layout/layout.h"
#include "piecepaint/host.h"
#include "piecepaint/piecepaint.h"
#include "platform/portable/device.h"
#include "platform/portable/module.h"
#include "select/codeset.h"
#include "select/select.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

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

// The grey of the destination's fill, from the paint's brush creation.
COLORREF FillColour()
{
    for (const DeviceCall &call : ObjectLog()) {
        if (call.name == "CreateSolidBrush" && !call.args.empty())
            return static_cast<COLORREF>(call.args[0]);
    }
    return 0;
}

long FaultsSoFar()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

void BM_PaintSample(benchmark::State &state)
{
    if (!std::filesystem::is_directory(SampleDir("house"))) {
        state.SkipWithError("the sample is not built (configure with PIECEPAINT_TOOLS=ON)");
        return;
    }
    Bytes catalogue;
    HMODULE main = CopyModule(SampleDir("house"), 0, catalogue);
    HMODULE aux = ppOpenModule(SampleDir("house-aux").c_str());
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, width, height);
    // The first paint is recorded: its fill colour and StretchDIBits calls
    // are read back below.
    ppGdiSetLogging(1);
    ClearObjectLog();
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
    const COLORREF grey = FillColour();
    ppGdiSetLogging(0);
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
        Bytes scratch(bytes + 4096);
        int dcWidth = 0, dcHeight = 0;
        const auto *surface =
            reinterpret_cast<const uint8_t *>(ppDCPixels(hdc, &dcWidth, &dcHeight));
        uint8_t *target = ppbench::CopyTarget(scratch, surface);

        HRGN region = CreateRectRgn(0, 0, width, height);
        HBRUSH brush = CreateSolidBrush(grey);
        enum { kPaint, kSelect, kLayout, kFill, kOutput, kMemcpy, kStages };
        ppbench::StageTimer timer(kStages);
        std::vector<double> hooked[ppbench::kHookStages];
        std::vector<double> faults;
        for (auto _ : state) {
            ppbench::ResetHookTimes();
            ppbench::HooksOn(true);
            const long faultsBefore = FaultsSoFar();
            state.SetIterationTime(timer.Time(kPaint, [&] { paint(main); }));
            faults.push_back(static_cast<double>(FaultsSoFar() - faultsBefore));
            ppbench::HooksOn(false);
            const ppbench::HookTimes inside = ppbench::ReadHookTimes();
            for (int k = 0; k < ppbench::kHookStages; ++k)
                hooked[k].push_back(inside.seconds[k]);
            timer.Time(kFill, [&] { FillRgn(hdc, region, brush); });
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
                std::memcpy(target, surface, bytes);
                benchmark::DoNotOptimize(target);
            });
        }
        DeleteObject(brush);
        DeleteObject(region);
        const double whole = timer.MedianOf(kPaint);
        state.counters["x_memcpy"] = whole / timer.MedianOf(kMemcpy);
        state.counters["bytes"] = static_cast<double>(bytes);
        // Faults of the first paint (before the timing loop) are not counted.
        state.counters["faults"] = ppbench::Median(faults);
        const double drawing = ppbench::Median(hooked[ppbench::kHookPieces]);
        const double effects = ppbench::Median(hooked[ppbench::kHookEffects]);
        const double shrink = ppbench::Median(hooked[ppbench::kHookShrink]);
        const double fill = timer.MedianOf(kFill);
        const double output = timer.MedianOf(kOutput);
        const double layout = timer.MedianOf(kLayout);
        auto share = [whole](double seconds) { return std::max(seconds, 0.0) / whole; };
        state.counters["share_select"] = share(timer.MedianOf(kSelect));
        state.counters["share_layout"] = share(layout - timer.MedianOf(kSelect));
        state.counters["share_pieces"] = share(drawing);
        state.counters["share_effects"] = share(effects);
        state.counters["share_shrink"] = share(shrink);
        state.counters["share_fill"] = share(fill);
        state.counters["share_stretch"] = share(output);
        state.counters["share_rest"] =
            share(whole - layout - drawing - effects - shrink - fill - output);
    }
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
