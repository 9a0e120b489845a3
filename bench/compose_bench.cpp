// Piece blits, and PaintPrt end to end with the share of each stage.
#include "against_memcpy.h"
#include "pictures.h"

#include "catalog/registration.h"
#include "compose/blit.h"
#include "compose/compose.h"
#include "compose/output.h"
#include "imageops/buffers.h"
#include "imageops/filter.h"
#include "imageops/smoothing.h"
#include "layout/layout.h"
#include "piecepaint/host.h"
#include "piecepaint/piecepaint.h"
#include "platform/portable/device.h"
#include "select/codeset.h"
#include "select/select.h"
#include "support/builders.h"
#include "support/layout_run.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using ppbench::AgainstMemcpy;
using ppbench::MakePicture;
using ppbench::Picture;
using Bytes = std::vector<uint8_t>;

// The key index of 8-bit pieces: the sample's, which a composed picture
// never holds (the low-index rule makes 13 into 12). 16-colour pieces take
// 0, which their odd nibbles never are.
constexpr uint8_t kKey = 13;
constexpr uint8_t kKey4 = 0;

// The composed picture's drawing as piece pixels: background becomes the
// key index, so it stays transparent.
Bytes PieceRows8(const Picture &p)
{
    Bytes rows(p.pixels.begin(), p.pixels.begin() + static_cast<ptrdiff_t>(p.Bytes()));
    for (uint8_t &v : rows)
        v = v == ppbench::kBackground ? kKey : v;
    return rows;
}

// The same drawing in 16 colours, two pixels a byte, left pixel high.
Bytes PieceRows4(const Picture &p, int32_t stride)
{
    Bytes rows(static_cast<size_t>(stride) * p.height, 0);
    for (int32_t r = 0; r < p.height; ++r) {
        for (int32_t c = 0; c < p.width; ++c) {
            uint8_t v = p.pixels[static_cast<size_t>(r) * p.stride + c];
            uint8_t nibble = v == ppbench::kBackground ? kKey4 : static_cast<uint8_t>((v >> 4) | 1);
            rows[static_cast<size_t>(r) * stride + c / 2] |=
                static_cast<uint8_t>(c % 2 ? nibble : nibble << 4);
        }
    }
    return rows;
}

// A piece at the picture's origin recolouring two of its values.
PlacedPiece WholePiece(const Picture &p, uint8_t from0, uint8_t to0, uint8_t from1, uint8_t to1)
{
    PlacedPiece piece;
    std::memset(&piece, 0, sizeof piece);
    piece.width = static_cast<int16_t>(p.width);
    piece.height = static_cast<int16_t>(p.height);
    piece.mapFrom[0] = from0;
    piece.mapTo[0] = to0;
    piece.mapFrom[1] = from1;
    piece.mapTo[1] = to1;
    return piece;
}

// The whole picture as one piece over a background picture; the baseline
// is the picture's bytes.
void BM_BlitPiece(benchmark::State &state)
{
    const int32_t bits = static_cast<int32_t>(state.range(2));
    Picture drawing =
        MakePicture(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
    CatalogHeader header = pptest::DefaultHeader();
    header.bitsPerPixel = static_cast<uint16_t>(bits);
    header.keyIndex = bits == 8 ? kKey : kKey4;
    const int32_t stride = RowStride(drawing.width, bits);
    Bytes source = bits == 8 ? PieceRows8(drawing) : PieceRows4(drawing, stride);
    PlacedPiece piece =
        bits == 8 ? WholePiece(drawing, 6, 2, 10, 8) : WholePiece(drawing, 11, 12, 3, 5);
    Bytes picture(static_cast<size_t>(stride) * drawing.height + 2, bits == 8 ? 255 : 0xFF);
    AgainstMemcpy(state, static_cast<size_t>(stride) * drawing.height, picture.data(),
                  ppbench::NoPrepare, [&] {
                      BlitPiece(picture.data(), drawing.width, drawing.height, stride, stride,
                                drawing.width, drawing.height, source.data(), &piece, &header,
                                static_cast<uint8_t>(header.keyIndex));
                  });
}

// A catalogue of one large piece holding the drawing and a row of small
// ones over it, all at fixed places, filtered, brightened and smoothed.
struct PaintScene {
    int32_t width, height;
    CatalogHeader header = pptest::DefaultHeader();
    std::vector<PieceTemplate> templates;
    std::vector<Bytes> bitmaps;
    Bytes catalogue;
    std::vector<uint16_t> codes;
    HMODULE res = ppModuleCreate();
    HMODULE aux = ppModuleCreate();

    PaintScene(int32_t w, int32_t h) : width(w), height(h)
    {
        header.levelCount = 1;
        header.baseLevel = 4;
        header.keyIndex = kKey;
        header.paintFlags = 0x01 | 0x04;
        for (int16_t &t : header.filterStrength)
            t = 1;
        AddPiece(0, 0, MakePicture(w, h));
        const int32_t small = w / 6;
        for (int32_t i = 0; i < 5; ++i)
            AddPiece(small / 4 + i * (small + small / 5), h / 12, MakePicture(small, h / 6));
        catalogue = pptest::BuildCatalog(header, templates);
        ppModuleAddResource(res, PP_CATALOGUE_ID, catalogue.data(),
                            static_cast<uint32_t>(catalogue.size()));
        codes.push_back(0);
    }
    ~PaintScene()
    {
        ppCloseModule(res);
        ppCloseModule(aux);
    }
    PaintScene(const PaintScene &) = delete;
    PaintScene &operator=(const PaintScene &) = delete;

    void AddPiece(int32_t x, int32_t y, const Picture &drawing)
    {
        const size_t index = templates.size();
        PieceTemplate t = pptest::PlacedTemplate(index, 0xA001, 0xA001);
        pptest::SetSize(t, static_cast<int16_t>(drawing.width),
                        static_cast<int16_t>(drawing.height));
        pptest::SetOffsets(t, static_cast<int16_t>(x), static_cast<int16_t>(y));
        t.bitmapId = static_cast<int16_t>(30100 + index);
        t.drawOrder = static_cast<uint16_t>(index + 1);
        templates.push_back(t);
        codes.push_back(static_cast<uint16_t>(t.code));
        bitmaps.push_back(pptest::BuildBitmap(drawing.width, drawing.height, 8, 256,
                                              Visible(PieceRows8(drawing), drawing)));
        ppModuleAddResource(res, static_cast<uint16_t>(t.bitmapId), bitmaps.back().data(),
                            static_cast<uint32_t>(bitmaps.back().size()));
    }

    static Bytes Visible(const Bytes &rows, const Picture &p)
    {
        Bytes out;
        for (int32_t r = 0; r < p.height; ++r)
            out.insert(out.end(), rows.begin() + static_cast<ptrdiff_t>(r) * p.stride,
                       rows.begin() + static_cast<ptrdiff_t>(r) * p.stride + p.width);
        return out;
    }

    int32_t Paint(HDC hdc) const
    {
        return PaintPrt(hdc, res, aux, 0, 0, width, height, width, height, 0, 1, 0, nullptr, 255,
                        10, codes.data());
    }
    const CatalogHeader *Catalogue() const
    {
        return reinterpret_cast<const CatalogHeader *>(catalogue.data());
    }
};

// What the device received from one paint: the header with its colour
// table, and the rows.
struct DrawnPicture {
    Bytes info;
    Bytes rows;
};

DrawnPicture CaptureComposed(PaintScene &scene, HDC hdc)
{
    // Without effects the device receives the picture as composed.
    uint16_t flags = scene.header.paintFlags;
    reinterpret_cast<CatalogHeader *>(scene.catalogue.data())->paintFlags = 0;
    ppDCSetLogging(hdc, 1);
    scene.Paint(hdc);
    reinterpret_cast<CatalogHeader *>(scene.catalogue.data())->paintFlags = flags;
    DrawnPicture drawn;
    for (const DeviceCall &call : DeviceLog(hdc)) {
        if (call.name != "StretchDIBits")
            continue;
        drawn.info.assign(call.payload.begin(), call.payload.begin() + call.pixelOffset);
        drawn.rows.assign(call.payload.begin() + call.pixelOffset, call.payload.end());
    }
    drawn.rows.resize(drawn.rows.size() + 2);
    ppDCClearLog(hdc);
    ppDCSetLogging(hdc, 0);
    return drawn;
}

// Stages: the whole paint, selection, layout (with selection), the effects
// on the composed picture, the device output of the finished picture.
// Composition is what remains.
void BM_PaintPrt(benchmark::State &state)
{
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    PaintScene scene(width, height);
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, width, height);
    ppGdiSetLogging(0);
    DrawnPicture composed = CaptureComposed(scene, hdc);
    if (scene.Paint(hdc) != PP_RESULT_OK || composed.info.size() != 1064) {
        state.SkipWithError("the scene does not paint");
        ppDeleteDC(hdc);
        return;
    }
    const int32_t stride = RowStride(width, 8);
    const size_t bytes = static_cast<size_t>(stride) * height;
    Bytes picture = composed.rows;
    std::vector<PlacedPiece> pieces(scene.header.maxPieces + 1);
    std::vector<uint8_t> scratch(bytes + 4096);
    uint8_t *target = ppbench::CopyTarget(scratch, picture.data());
    LayoutResult result{};

    enum { kPaint, kSelect, kLayout, kEffects, kOutput, kMemcpy, kStages };
    ppbench::StageTimer timer(kStages);
    for (auto _ : state) {
        state.SetIterationTime(timer.Time(kPaint, [&] { scene.Paint(hdc); }));
        timer.Time(kSelect, [&] {
            CatalogHeaderRef(1, scene.Catalogue());
            TemplateTableRef(1, scene.Catalogue());
            SelectPieces(pieces.data(), nullptr, &result, scene.codes.data());
            CodeSetOp(CODESET_RELEASE, 0);
        });
        timer.Time(kLayout, [&] {
            LayoutPieces(1, width, height, nullptr, pieces.data(), &result, scene.Catalogue(),
                         scene.codes.data());
        });
        std::memcpy(picture.data(), composed.rows.data(), picture.size());
        timer.Time(kEffects, [&] {
            uint8_t *work =
                FilterPic(picture.data(), nullptr, width, height, stride, 255, 0, -1, 9, 5, 0, 0);
            AdjustBright(picture.data(), 10, static_cast<uint32_t>(bytes));
            work = SmoothEdges(picture.data(), work, width, height, stride,
                               static_cast<int32_t>(bytes), 255);
            FreeBuf(work);
        });
        timer.Time(kOutput, [&] {
            DrawPicture(hdc, scene.aux, 0, 0, width, height, 0, 0, width, height, picture.data(),
                        reinterpret_cast<const BITMAPINFO *>(composed.info.data()), DIB_RGB_COLORS,
                        SRCCOPY, 0, 0, width, height, ATTENTION_NONE, 0, 255);
        });
        timer.Time(kMemcpy, [&] {
            std::memcpy(target, picture.data(), bytes);
            benchmark::DoNotOptimize(target);
        });
    }
    const double paint = timer.MedianOf(kPaint);
    state.counters["x_memcpy"] = paint / timer.MedianOf(kMemcpy);
    state.counters["bytes"] = static_cast<double>(bytes);
    ppbench::ReportShares(state, {paint, timer.MedianOf(kSelect), timer.MedianOf(kLayout),
                                  timer.MedianOf(kEffects), timer.MedianOf(kOutput)});
    ppDeleteDC(hdc);
}

void Sizes(benchmark::internal::Benchmark *b, const std::vector<const char *> &names,
           const std::vector<std::vector<int64_t>> &extras)
{
    std::vector<std::string> all{"w", "h"};
    all.insert(all.end(), names.begin(), names.end());
    b->ArgNames(all);
    for (auto [w, h] : {std::pair{320, 240}, {1024, 768}, {2048, 1536}}) {
        for (const auto &extra : extras) {
            std::vector<int64_t> args{w, h};
            args.insert(args.end(), extra.begin(), extra.end());
            b->Args(args);
        }
    }
    b->UseManualTime()->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_BlitPiece)->Apply([](auto *b) { Sizes(b, {"bits"}, {{8}, {4}}); });
BENCHMARK(BM_PaintPrt)->Apply([](auto *b) { Sizes(b, {}, {{}}); });

} // namespace
