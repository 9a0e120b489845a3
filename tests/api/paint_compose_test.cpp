// PaintPrt end to end on small catalogues: what reached the device in each
// sizing mode, and every allocation and every resource failing in turn.
#include "api/palette.h"
#include "compose/compose.h"
#include "imageops/scaling.h"
#include "platform/portable/heap.h"
#include "support/builders.h"
#include "support/gdi_log.h"
#include "support/layout_run.h"
#include "support/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using pptest::DeviceGuard;
using pptest::ModuleGuard;
using Bytes = std::vector<uint8_t>;

constexpr int16_t ID_A = 30100;
constexpr int16_t ID_B = 30101;
constexpr int16_t ID_C = 30102;
constexpr int16_t ID_D = 30103;

// A template at a fixed place with its bitmap id, drawn in order.
PieceTemplate Piece(size_t index, int16_t id, int16_t x, int16_t y, int16_t width, int16_t height,
                    uint8_t flags = 0)
{
    PieceTemplate t = pptest::PlacedTemplate(index, 0xA001, 0xA001);
    pptest::SetSize(t, width, height);
    pptest::SetOffsets(t, x, y);
    t.bitmapId = id;
    t.drawOrder = static_cast<uint16_t>(index + 1);
    t.pieceFlags = flags;
    return t;
}

struct Catalogue {
    CatalogHeader header = pptest::DefaultHeader();
    std::vector<PieceTemplate> templates;
    std::vector<uint16_t> codes;
    ModuleGuard res;
    ModuleGuard aux;

    // One size level, the base one, so that fitting may shrink or enlarge.
    Catalogue()
    {
        header.levelCount = 1;
        header.baseLevel = 4;
    }
    void Add(const PieceTemplate &t, const Bytes &bitmap)
    {
        templates.push_back(t);
        codes.push_back(static_cast<uint16_t>(t.code));
        ((t.pieceFlags & PIECE_AUX_MODULE) ? aux : res)
            .Add(static_cast<uint16_t>(t.bitmapId), bitmap);
    }
    void Finish()
    {
        res.Add(PP_CATALOGUE_ID, pptest::BuildCatalog(header, templates));
        codes.push_back(0);
    }
};

struct Request {
    int32_t availWidth;
    int32_t availHeight;
    int32_t levelRequest = 0;
    int32_t zoomPercent = 0;
    int32_t showBadge = 0;
    int32_t background = 255;
};

int32_t Paint(HDC hdc, Catalogue &c, const Request &r)
{
    return PaintPrt(hdc, c.res.get(), c.aux.get(), 7, 9, 20, 10, r.availWidth, r.availHeight,
                    r.showBadge, r.levelRequest, r.zoomPercent, nullptr, r.background, 0,
                    c.codes.data());
}

// Two overlapping 8-bit pieces (key index 0) making a 5 x 3 picture.
void TwoPieces(Catalogue &c)
{
    c.Add(Piece(0, ID_A, 0, 0, 4, 2),
          pptest::BuildBitmap(4, 2, 8, 256, {20, 21, 22, 23, 30, 31, 32, 33}));
    c.Add(Piece(1, ID_B, 2, 1, 3, 2), pptest::BuildBitmap(3, 2, 8, 256, {0, 40, 41, 42, 0, 43}));
    c.Finish();
}

Bytes TwoPiecesRows()
{
    return {20, 21,  22,  23,  255, 255, 255, 255, 30, 31,  32,  40,
            41, 255, 255, 255, 255, 255, 42,  255, 43, 255, 255, 255};
}

struct ModeCase {
    std::string name;
    Request request;
    uint16_t paintFlags;
    std::vector<int64_t> args; // x, y, drawn width, drawn height, 0, 0, picture width, height
};

class PaintModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(PaintModeTest, DrawsThePictureAtTheDecidedSizeAndPlace)
{
    const ModeCase &m = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 40, 40);
    Catalogue c;
    c.header.paintFlags = m.paintFlags;
    TwoPieces(c);
    int32_t live = ppHeapLiveBlocks();
    ASSERT_EQ(Paint(dc.get(), c, m.request), PP_RESULT_OK);
    EXPECT_EQ(ppHeapLiveBlocks(), live);

    DeviceCall call = pptest::CallsNamed(dc.get(), "StretchDIBits").back();
    std::vector<int64_t> args = m.args;
    args.push_back(DIB_RGB_COLORS);
    args.push_back(SRCCOPY);
    EXPECT_EQ(call.args, args);
    Bytes expected = TwoPiecesRows();
    int32_t width = static_cast<int32_t>(m.args[6]);
    int32_t height = static_cast<int32_t>(m.args[7]);
    if (width != 5) {
        // The picture itself was shrunk by area averaging.
        expected.resize(expected.size() + 2);
        ShrinkAvg(expected.data(), 5, 3, width, height, 8, RowStride(width, 8));
        expected.resize(static_cast<size_t>(RowStride(width, 8)) * height);
    }
    EXPECT_EQ(pptest::DibRows(call), expected);
    BITMAPINFOHEADER header = pptest::DibHeader(call);
    EXPECT_EQ(header.biWidth, width);
    EXPECT_EQ(header.biHeight, height);
    for (int16_t id : {ID_A, ID_B})
        EXPECT_EQ(ppModuleFreeCount(c.res.get(), static_cast<uint16_t>(id)), 1);
    EXPECT_EQ(ppModuleFreeCount(c.res.get(), PP_CATALOGUE_ID), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PaintModeTest,
    ::testing::Values(ModeCase{"FitAsIs", {5, 3}, 0, {14, 12, 5, 3, 0, 0, 5, 3}},
                      ModeCase{"FitEnlarged", {10, 6}, 0, {12, 11, 10, 6, 0, 0, 5, 3}},
                      // 0.8 x 3 truncates to 2.
                      ModeCase{"FitShrunk", {4, 3}, PAINT_SHRINK, {15, 13, 4, 2, 0, 0, 4, 2}},
                      ModeCase{"FitShrinkNotAllowed", {4, 3}, 0, {15, 13, 4, 2, 0, 0, 5, 3}},
                      ModeCase{"Natural", {1, 1, 1, 0}, 0, {14, 12, 5, 3, 0, 0, 5, 3}},
                      ModeCase{"ZoomDouble", {1, 1, 1, 200}, 0, {12, 11, 10, 6, 0, 0, 5, 3}},
                      ModeCase{
                          "ZoomHalf", {1, 1, 1, 50}, PAINT_SHRINK, {16, 13, 2, 1, 0, 0, 2, 1}}),
    [](const auto &info) { return info.param.name; });

TEST(PaintPrt, SixteenColourPictureEndToEnd)
{
    DeviceGuard dc(PP_DEVICE_COLOR16, 40, 40);
    Catalogue c;
    c.header.bitsPerPixel = 4;
    c.header.colorCount = 16;
    c.header.keyIndex = 15;
    c.header.bgIndex128 = 7;
    c.Add(Piece(0, ID_A, 0, 0, 3, 2), pptest::BuildBitmap(3, 2, 4, 16, {1, 2, 3, 4, 15, 5}));
    c.Add(Piece(1, ID_B, 3, 1, 2, 1), pptest::BuildBitmap(2, 1, 4, 16, {6, 15}));
    c.Finish();
    Request r{5, 2};
    r.background = 100; // band 64..159: index 7, grey 128
    ASSERT_EQ(Paint(dc.get(), c, r), PP_RESULT_OK);
    DeviceCall call = pptest::CallsNamed(dc.get(), "StretchDIBits").back();
    EXPECT_EQ(pptest::DibRows(call), (Bytes{0x12, 0x37, 0x77, 0x77, 0x47, 0x56, 0x77, 0x77}));
    EXPECT_EQ(pptest::DibHeader(call).biBitCount, 4);
    EXPECT_EQ(pptest::Timeline(dc.get())[2], "CreateSolidBrush 0x00808080");
}

TEST(PaintPrt, EnlargementThresholdIsTheSinglePrecision152)
{
    for (int32_t avail : {151, 152}) {
        DeviceGuard dc(PP_DEVICE_TRUECOLOR, 200, 20);
        Catalogue c;
        c.Add(Piece(0, ID_A, 0, 0, 100, 1), pptest::BuildBitmap(100, 1, 8, 256, {}));
        c.Finish();
        ASSERT_EQ(Paint(dc.get(), c, Request{avail, 100}), PP_RESULT_OK);
        DeviceCall call = pptest::CallsNamed(dc.get(), "StretchDIBits").back();
        // S = 1.52f lies just below 1.52 yet reaches the threshold: 151 wide.
        EXPECT_EQ(call.args[2], avail == 152 ? 151 : 100) << avail;
    }
}

// A catalogue that uses every path: palette, effects, shrinking, an aux
// piece, a resampled and a width-variant late piece, a red frame and a badge.
void FullCatalogue(Catalogue &c)
{
    c.header.paintFlags = PAINT_SMOOTH | PAINT_SHRINK | PAINT_FILTER | PAINT_PALETTE;
    for (int16_t &t : c.header.filterStrength)
        t = 1;
    c.header.reserveHeight = 2;
    Bytes gradient;
    for (int i = 0; i < 32; ++i)
        gradient.push_back(static_cast<uint8_t>(20 + 5 * i));
    PieceTemplate a = Piece(0, ID_A, 0, 0, 8, 4);
    a.attention = ATTENTION_RED;
    c.Add(a, pptest::BuildBitmap(8, 4, 8, 256, gradient));
    c.Add(Piece(1, ID_B, 2, 1, 4, 2, PIECE_AUX_MODULE), pptest::Uniform8(4, 2, 90));
    c.Add(Piece(2, ID_C, 4, 2, 4, 2, PIECE_RESAMPLE), pptest::Uniform8(4, 2, 120));
    c.Add(Piece(3, ID_D, 0, 3, 8, 1, PIECE_WIDTH_VARIANTS), pptest::Uniform8(8, 1, 0));
    c.aux.Add(PP_BADGE_ID, pptest::Uniform8(3, 2, 7));
    c.Finish();
    // The variant table replaces the rows of piece D.
    Bytes variants = pptest::BuildBitmap(8, 1, 8, 256, {});
    variants.resize(1064);
    for (int k = 0; k < 8; ++k) {
        uint16_t entry[4] = {0, static_cast<uint16_t>(8 - k), 1, static_cast<uint16_t>(64 + 8 * k)};
        variants.insert(variants.end(), reinterpret_cast<uint8_t *>(entry),
                        reinterpret_cast<uint8_t *>(entry) + 8);
    }
    for (int k = 0; k < 8; ++k)
        variants.insert(variants.end(), 8, static_cast<uint8_t>(200 + k));
    c.res.Add(ID_D, variants);
}

Request FullRequest()
{
    Request r{4, 4};
    r.showBadge = 1;
    r.background = 128;
    return r;
}

class PaintFaultTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ForgetPaletteHandles();
        ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
        FullCatalogue(c_);
    }
    void TearDown() override
    {
        ppHeapFailNth(0);
        ManagePal(dc_.get(), 0, PAL_MSG_DESTROY);
        ForgetPaletteHandles();
    }
    // Every resource of both modules has been released as often as loaded.
    void ExpectBalanced(const std::string &context)
    {
        for (uint16_t id :
             {uint16_t{PP_CATALOGUE_ID}, uint16_t(ID_A), uint16_t(ID_C), uint16_t(ID_D)})
            EXPECT_EQ(ppModuleFreeCount(c_.res.get(), id), ppModuleLoadCount(c_.res.get(), id))
                << context << ", resource " << id;
        for (uint16_t id : {uint16_t(ID_B), uint16_t{PP_BADGE_ID}})
            EXPECT_EQ(ppModuleFreeCount(c_.aux.get(), id), ppModuleLoadCount(c_.aux.get(), id))
                << context << ", aux resource " << id;
    }
    // The device's palette is the stock one again after the paint.
    void ExpectPaletteRestored(const std::string &context)
    {
        std::vector<std::string> lines = pptest::Timeline(dc_.get());
        std::string last;
        for (const std::string &line : lines) {
            if (line.rfind("SelectPalette", 0) == 0)
                last = line;
        }
        if (!last.empty()) {
            EXPECT_EQ(last, "SelectPalette pal(stock) 1") << context;
        }
    }

    DeviceGuard dc_{PP_DEVICE_PALETTE256, 40, 40};
    Catalogue c_;
};

TEST_F(PaintFaultTest, CleanPaintUsesEveryPath)
{
    dc_.ClearLogs();
    EXPECT_EQ(Paint(dc_.get(), c_, FullRequest()), PP_RESULT_OK);
    std::vector<std::string> names = pptest::Names(pptest::Timeline(dc_.get()));
    EXPECT_EQ(names.front(), "SelectPalette");
    EXPECT_EQ(std::count(names.begin(), names.end(), "StretchDIBits"), 2) << "badge and picture";
    EXPECT_EQ(std::count(names.begin(), names.end(), "FrameRgn"), 1);
    DeviceCall call = pptest::CallsNamed(dc_.get(), "StretchDIBits").back();
    EXPECT_EQ(call.args[6], 4) << "shrunk from 8 to the offered width";
    EXPECT_EQ(call.args[7], 2) << "S = 0.5: 4 rows become 2 (the reserve leaves 2 of 4)";
    ExpectBalanced("clean");
    ExpectPaletteRestored("clean");
}

TEST_F(PaintFaultTest, EveryAllocationFailingInTurn)
{
    int64_t before = ppHeapAllocCalls();
    ASSERT_EQ(Paint(dc_.get(), c_, FullRequest()), PP_RESULT_OK);
    int64_t allocations = ppHeapAllocCalls() - before;
    ASSERT_GE(allocations, 4);
    std::set<int32_t> seen;
    for (int32_t n = 1; n <= allocations; ++n) {
        dc_.ClearLogs();
        int32_t live = ppHeapLiveBlocks();
        ppHeapFailNth(n);
        int32_t result = Paint(dc_.get(), c_, FullRequest());
        ppHeapFailNth(0);
        std::string context = "allocation " + std::to_string(n);
        seen.insert(result);
        EXPECT_TRUE(result == PP_RESULT_OK || result == PP_RESULT_NOTHING_SELECTED ||
                    result == PP_RESULT_NO_HEADER_MEMORY || result == PP_RESULT_NO_PICTURE_MEMORY ||
                    result == PP_RESULT_NO_PIECE_MEMORY)
            << context << ": " << result;
        EXPECT_EQ(ppHeapLiveBlocks(), live) << context;
        if (result != PP_RESULT_OK) {
            EXPECT_TRUE(pptest::CallsNamed(dc_.get(), "StretchDIBits").empty()) << context;
        }
        ExpectBalanced(context);
        ExpectPaletteRestored(context);
    }
    for (int32_t code : {PP_RESULT_NO_PIECE_MEMORY, PP_RESULT_NO_HEADER_MEMORY,
                         PP_RESULT_NO_PICTURE_MEMORY, PP_RESULT_OK})
        EXPECT_TRUE(seen.count(code)) << "no allocation gave " << code;
}

struct ResourceFaultCase {
    std::string name;
    uint16_t id;
    bool aux;
    bool pictureDrawn; // only the badge's failure lets the picture through
};

class PaintResourceFaultTest : public PaintFaultTest,
                               public ::testing::WithParamInterface<ResourceFaultCase> {};

TEST_P(PaintResourceFaultTest, EachFaultGivesItsCodeAndReleasesOnce)
{
    const ResourceFaultCase &r = GetParam();
    struct Fault {
        ResourceFault fault;
        int32_t code;
    };
    for (Fault f : {Fault{ResourceFault::NotFound, PP_RESULT_NOT_FOUND},
                    Fault{ResourceFault::LoadFails, PP_RESULT_LOAD_FAILED},
                    Fault{ResourceFault::LockFails, PP_RESULT_LOCK_FAILED}}) {
        HMODULE module = r.aux ? c_.aux.get() : c_.res.get();
        ppModuleSetFault(module, r.id, f.fault);
        dc_.ClearLogs();
        int32_t live = ppHeapLiveBlocks();
        std::string context = r.name + " fault " + std::to_string(f.code);
        EXPECT_EQ(Paint(dc_.get(), c_, FullRequest()), f.code) << context;
        ppModuleSetFault(module, r.id, ResourceFault::None);
        EXPECT_EQ(ppHeapLiveBlocks(), live) << context;
        EXPECT_EQ(pptest::CallsNamed(dc_.get(), "StretchDIBits").size(), r.pictureDrawn ? 1u : 0u)
            << context;
        ExpectBalanced(context);
        ExpectPaletteRestored(context);
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, PaintResourceFaultTest,
                         ::testing::Values(ResourceFaultCase{"Catalogue", PP_CATALOGUE_ID, false,
                                                             false},
                                           ResourceFaultCase{"EarlyPiece", ID_A, false, false},
                                           ResourceFaultCase{"AuxPiece", ID_B, true, false},
                                           ResourceFaultCase{"ResampledPiece", ID_C, false, false},
                                           ResourceFaultCase{"VariantPiece", ID_D, false, false},
                                           ResourceFaultCase{"Badge", PP_BADGE_ID, true, true}),
                         [](const auto &info) { return info.param.name; });

} // namespace
