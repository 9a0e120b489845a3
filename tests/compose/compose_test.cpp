// ComposePicture end to end on a portable device: what reached the device,
// read from its log, byte for byte.
#include "api/palette.h"
#include "compose/compose.h"
#include "platform/portable/heap.h"
#include "support/scene.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

namespace {

using pptest::Bytes;
using pptest::DeviceGuard;
using pptest::MakePlaced;
using pptest::Scene;
using Lines = std::vector<std::string>;

constexpr int16_t ID_A = 30100;
constexpr int16_t ID_B = 30101;
constexpr int16_t ID_C = 30102;

TEST(RowStride, RoundsRowsToFourBytes)
{
    EXPECT_EQ(RowStride(10, 8), 12);
    EXPECT_EQ(RowStride(7, 4), 4);
    EXPECT_EQ(RowStride(9, 4), 8);
    EXPECT_EQ(RowStride(0, 8), 0);
    EXPECT_EQ(RowStride(8, 8), 8);
    EXPECT_EQ(RowStride(1, 1), 4) << "any depth other than 8 counts as 4-bit";
}

TEST(ComposePicture, EightBitPictureReachesTheDeviceByteForByte)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 64, 64);
    Scene s;
    s.Picture(6, 3);
    s.destLeft = 10;
    s.destTop = 20;
    s.destWidth = 20;
    s.destHeight = 13;
    Bytes a = pptest::BuildBitmap(4, 2, 8, 256, {10, 11, 12, 13, 20, 21, 22, 23});
    s.Add(MakePlaced(ID_A, 0, 0, 4, 2), a);
    PlacedPiece b = MakePlaced(ID_B, 3, 1, 3, 2);
    b.mapFrom[0] = 41;
    b.mapTo[0] = 99; // the list ends at the zero pair behind it
    s.Add(b, pptest::BuildBitmap(3, 2, 8, 256, {0, 40, 41, 42, 0, 43}));

    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);

    DeviceCall call = pptest::PictureCall(dc.get());
    EXPECT_EQ(call.args, (std::vector<int64_t>{17, 25, 6, 3, 0, 0, 6, 3, DIB_RGB_COLORS, SRCCOPY}));
    EXPECT_EQ(pptest::DibRows(call),
              (Bytes{10, 11, 12,  13,  255, 255, 255, 255, 20,  21, 22,  23,
                     40, 99, 255, 255, 255, 255, 255, 42,  255, 43, 255, 255}));
    // The header is piece 0's, with the picture's size and no image size.
    BITMAPINFOHEADER expected;
    std::memcpy(&expected, a.data(), 40);
    expected.biWidth = 6;
    expected.biHeight = 3;
    expected.biSizeImage = 0;
    BITMAPINFOHEADER header = pptest::DibHeader(call);
    EXPECT_EQ(std::memcmp(&header, &expected, 40), 0);
    EXPECT_EQ(Bytes(call.payload.begin() + 40, call.payload.begin() + call.pixelOffset),
              Bytes(a.begin() + 40, a.begin() + 1064));

    EXPECT_EQ(pptest::Names(pptest::Timeline(dc.get())),
              (Lines{"CreateRectRgn", "SelectObject", "CreateSolidBrush", "FillRgn", "DeleteObject",
                     "DeleteObject", "StretchDIBits"}));
    EXPECT_EQ(pptest::Timeline(dc.get())[0], "CreateRectRgn 10 20 30 33");
    EXPECT_EQ(pptest::Timeline(dc.get())[2], "CreateSolidBrush 0x00ffffff");
    for (int16_t id : {ID_A, ID_B}) {
        EXPECT_EQ(ppModuleLoadCount(s.res.get(), static_cast<uint16_t>(id)), 1);
        EXPECT_EQ(ppModuleFreeCount(s.res.get(), static_cast<uint16_t>(id)), 1);
    }
}

TEST(ComposePicture, CopiedHeaderIsBroughtBackToWhatTheBuffersHold)
{
    // Piece 0 claims 32 bits per pixel, a longer header, compression and
    // more colours than its table: the device must still read only the
    // 8-bit picture and the 256-entry table.
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    Scene s;
    s.Picture(2, 1);
    Bytes piece = pptest::Uniform8(2, 1, 77);
    BITMAPINFOHEADER claimed;
    std::memcpy(&claimed, piece.data(), 40);
    claimed.biSize = 124;
    claimed.biBitCount = 32;
    claimed.biCompression = 1;
    claimed.biClrUsed = 999;
    std::memcpy(piece.data(), &claimed, 40);
    s.Add(MakePlaced(ID_A, 0, 0, 2, 1), piece);
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    DeviceCall call = pptest::PictureCall(dc.get());
    BITMAPINFOHEADER header = pptest::DibHeader(call);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_EQ(header.biCompression, 0u);
    EXPECT_EQ(header.biClrUsed, 256u);
    EXPECT_EQ(pptest::DibRows(call), (Bytes{77, 77, 255, 255}));
}

TEST(ComposePicture, FourBitPictureKeepsNibblesAndSixteenColourHeader)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    Scene s;
    s.header.bitsPerPixel = 4;
    s.header.colorCount = 16;
    s.header.keyIndex = 15;
    s.Picture(5, 2);
    Bytes piece = pptest::BuildBitmap(3, 2, 4, 16, {1, 2, 3, 4, 15, 5});
    s.Add(MakePlaced(ID_A, 1, 0, 3, 2), piece);
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);

    DeviceCall call = pptest::PictureCall(dc.get());
    EXPECT_EQ(pptest::DibRows(call), (Bytes{0xF1, 0x23, 0xFF, 0xFF, 0xF4, 0xF5, 0xFF, 0xFF}));
    EXPECT_EQ(pptest::DibHeader(call).biBitCount, 4);
    EXPECT_EQ(Bytes(call.payload.begin() + 40, call.payload.begin() + 104),
              Bytes(piece.begin() + 40, piece.begin() + 104));
}

struct BandCase {
    int32_t background;
    uint8_t keyIndex;
    uint8_t fill;
    std::string brush;
};

class BandedBackgroundTest : public ::testing::TestWithParam<BandCase> {};

TEST_P(BandedBackgroundTest, FillsWithTheBandIndexAndGreysTheSurround)
{
    const BandCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.header.bitsPerPixel = 4;
    s.header.colorCount = 16;
    s.header.bgIndex0 = 1;
    s.header.bgIndex128 = 2;
    s.header.bgIndex192 = 3;
    s.header.keyIndex = c.keyIndex;
    s.background = c.background;
    s.Picture(2, 1);
    // A piece of key pixels only leaves the background showing.
    s.Add(MakePlaced(ID_A, 0, 0, 2, 1), pptest::BuildBitmap(2, 1, 4, 16, {c.keyIndex, c.keyIndex}));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    EXPECT_EQ(pptest::DibRows(pptest::PictureCall(dc.get())), Bytes(4, c.fill));
    EXPECT_EQ(pptest::Timeline(dc.get())[2], "CreateSolidBrush " + c.brush);
}

INSTANTIATE_TEST_SUITE_P(
    Bands, BandedBackgroundTest,
    ::testing::Values(BandCase{63, 4, 0x11, "0x00000000"}, BandCase{64, 4, 0x22, "0x00808080"},
                      BandCase{159, 4, 0x22, "0x00808080"}, BandCase{160, 4, 0x33, "0x00c0c0c0"},
                      BandCase{225, 4, 0x33, "0x00c0c0c0"}, BandCase{226, 4, 0x44, "0x00ffffff"},
                      BandCase{255, 15, 0xFF, "0x00ffffff"},
                      // Only the low byte of the background counts.
                      BandCase{256 + 63, 4, 0x11, "0x00000000"}));

struct RestoreCase {
    std::string name;
    uint16_t paintFlags;
    int32_t brightness;
    uint8_t background; // in the picture and the surround
    uint8_t piece;
};

class BackgroundRestoreTest : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(BackgroundRestoreTest, RestoresTheCallersIndexOnlyWithEffects)
{
    const RestoreCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.header.paintFlags = c.paintFlags;
    s.background = 200;
    s.brightness = c.brightness;
    s.Picture(3, 1);
    s.Add(MakePlaced(ID_A, 0, 0, 2, 1), pptest::BuildBitmap(2, 1, 8, 256, {0, 100}));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    uint8_t bg = c.background;
    EXPECT_EQ(pptest::DibRows(pptest::PictureCall(dc.get())), (Bytes{bg, c.piece, bg, bg}));
    char brush[32];
    std::snprintf(brush, sizeof brush, "CreateSolidBrush 0x00%02x%02x%02x", bg, bg, bg);
    EXPECT_EQ(pptest::Timeline(dc.get())[2], brush);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BackgroundRestoreTest,
    ::testing::Values(RestoreCase{"WithoutEffectsKeeps255", 0, 0, 255, 100},
                      RestoreCase{"EffectsRestore200", PAINT_FILTER, 0, 200, 100},
                      // Brightness runs before the restore: the background is not brightened.
                      RestoreCase{"BrightnessThenRestore", PAINT_FILTER, 10, 200, 110}),
    [](const auto &info) { return info.param.name; });

TEST(ComposePicture, LatePieceIsDrawnAfterTheEffects)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.header.paintFlags = PAINT_FILTER;
    s.brightness = 10;
    s.Picture(3, 1);
    s.Add(MakePlaced(ID_A, 0, 0, 1, 1), pptest::Uniform8(1, 1, 100));
    s.Add(MakePlaced(ID_B, 1, 0, 1, 1), pptest::Uniform8(1, 1, 100));
    s.Add(MakePlaced(ID_C, 2, 0, 1, 1, PIECE_RESAMPLE), pptest::Uniform8(1, 1, 100));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    EXPECT_EQ(pptest::DibRows(pptest::PictureCall(dc.get())), (Bytes{110, 110, 100, 255}));
    EXPECT_EQ(ppModuleLoadCount(s.res.get(), ID_C), 1) << "each piece is loaded once";
}

TEST(ComposePicture, LateFirstPieceLeavesTheHeaderUncopied)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.Picture(2, 1);
    s.Add(MakePlaced(ID_A, 0, 0, 1, 1, PIECE_RESAMPLE), pptest::Uniform8(1, 1, 100));
    s.Add(MakePlaced(ID_B, 1, 0, 1, 1), pptest::Uniform8(1, 1, 100));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    // Zeros but for the size: the device refuses such a header.
    DeviceCall call = pptest::PictureCall(dc.get());
    EXPECT_NE(call.text.find("dib(2x1 planes=0 bpp=0 comp=0 used=0 colors=0 rows=0"),
              std::string::npos)
        << call.text;
    EXPECT_EQ(call.result, 0);
}

// A fitted picture at the catalogue's only level, shrunk by the scale factor:
// an early piece fills it with 50; a late width-variant piece 40 wide stands
// at (x, y) and is drawn from the entry its shrunk width asks for.
struct VariantCase {
    std::string name;
    int16_t width; // natural picture
    int16_t height;
    int32_t availWidth; // gives S = availWidth / width
    int16_t x;
    int16_t y;
    int32_t drawnWidth; // the shrunk picture
    int32_t drawnHeight;
    int32_t entry; // the variant used: 40 - entry pixels wide
    int32_t drawnX;
    int32_t drawnY;
};

class VariantTest : public ::testing::TestWithParam<VariantCase> {};

TEST_P(VariantTest, UsesTheEntryOfTheTruncatedWidth)
{
    const VariantCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 128, 128);
    Scene s;
    s.header.levelCount = 1;
    s.header.paintFlags = PAINT_SHRINK;
    s.Picture(c.width, c.height);
    s.levelRequest = 0;
    s.availWidth = s.destWidth = c.availWidth;
    s.availHeight = s.destHeight = 100;
    s.Add(MakePlaced(ID_A, 0, 0, c.width, c.height), pptest::Uniform8(c.width, c.height, 50));
    PlacedPiece late = MakePlaced(ID_B, c.x, c.y, 40, 2, PIECE_WIDTH_VARIANTS);
    s.Add(late, pptest::VariantBitmap(40, 2, true, 12, 100));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);

    DeviceCall call = pptest::PictureCall(dc.get());
    ASSERT_EQ(call.args.size(), 10u);
    EXPECT_EQ(call.args[2], c.drawnWidth);
    EXPECT_EQ(call.args[3], c.drawnHeight);
    EXPECT_EQ(call.args[6], c.drawnWidth) << "the picture itself was shrunk";
    EXPECT_EQ(call.args[7], c.drawnHeight);
    EXPECT_EQ(pptest::DibHeader(call).biWidth, c.drawnWidth);
    EXPECT_EQ(s.pieces[1].x, c.drawnX);
    EXPECT_EQ(s.pieces[1].y, c.drawnY);
    int32_t variantWidth = 40 - c.entry;
    Bytes expected = pptest::Rows8(
        c.drawnWidth, c.drawnHeight,
        [&](int x, int y) -> uint8_t {
            bool inVariant =
                y >= c.drawnY && y < c.drawnY + 2 && x >= c.drawnX && x < c.drawnX + variantWidth;
            return inVariant ? static_cast<uint8_t>(100 + c.entry) : 50;
        },
        0);
    EXPECT_EQ(pptest::Visible8(pptest::DibRows(call), c.drawnWidth, c.drawnHeight),
              pptest::Visible8(expected, c.drawnWidth, c.drawnHeight));
}

INSTANTIATE_TEST_SUITE_P(
    Factors, VariantTest,
    ::testing::Values(VariantCase{"ThreeQuarters", 48, 8, 36, 8, 4, 36, 6, 10, 6, 3},
                      // 0.9f lies below 0.9: 40 x S truncates to 35 (entry 5), 50 x S to
                      // 44, 10 x S to 8, and the position 10, 5 to 8, 4.
                      VariantCase{"NineTenths", 50, 10, 45, 10, 5, 44, 8, 5, 8, 4}),
    [](const auto &info) { return info.param.name; });

TEST(ComposePicture, HeightVariantTakesItsWidthFromTheEntry)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    Scene s;
    s.header.levelCount = 1;
    s.header.paintFlags = PAINT_SHRINK;
    s.Picture(8, 10);
    s.levelRequest = 0;
    s.availWidth = s.destWidth = 4;
    s.availHeight = s.destHeight = 5; // S = 0.5
    s.Add(MakePlaced(ID_A, 0, 0, 8, 10), pptest::Uniform8(8, 10, 50));
    // 6 rows shrink to 3: entry 3, drawn at its own width 4 (not 4 x S) from
    // (1, 1), so its last column falls outside the picture.
    s.Add(MakePlaced(ID_B, 2, 2, 4, 6, PIECE_HEIGHT_VARIANTS),
          pptest::VariantBitmap(4, 6, false, 5, 60));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    Bytes expected = pptest::Rows8(
        4, 5, [](int x, int y) -> uint8_t { return x >= 1 && y >= 1 && y < 4 ? 63 : 50; }, 0);
    EXPECT_EQ(pptest::DibRows(pptest::PictureCall(dc.get())), expected);
}

TEST(ComposePicture, UnshrunkVariantPieceUsesEntryZero)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    Scene s;
    s.Picture(6, 3);
    s.Add(MakePlaced(ID_A, 0, 0, 1, 1), pptest::Uniform8(1, 1, 0)); // key: transparent
    s.Add(MakePlaced(ID_B, 1, 1, 4, 2, PIECE_WIDTH_VARIANTS),
          pptest::VariantBitmap(4, 2, true, 3, 70));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    Bytes expected = pptest::Rows8(
        6, 3, [](int x, int y) -> uint8_t { return x >= 1 && x < 5 && y >= 1 ? 70 : 255; }, 255);
    EXPECT_EQ(pptest::DibRows(pptest::PictureCall(dc.get())), expected);
}

TEST(ComposePicture, UnshrunkPictureKeepsLatePiecesAtNaturalSize)
{
    // The fit rule decides to shrink, but the catalogue does not allow the
    // picture to be shrunk: the device scales the whole picture, so late
    // pieces keep their natural size and place inside it.
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 64, 64);
    Scene s;
    s.header.levelCount = 1;
    s.Picture(48, 4);
    s.levelRequest = 0;
    s.availWidth = s.destWidth = 24;
    s.Add(MakePlaced(ID_A, 0, 0, 1, 1), pptest::Uniform8(1, 1, 0)); // key: transparent
    s.Add(MakePlaced(ID_B, 4, 2, 40, 2, PIECE_WIDTH_VARIANTS),
          pptest::VariantBitmap(40, 2, true, 30, 100));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    DeviceCall call = pptest::PictureCall(dc.get());
    EXPECT_EQ(call.args[2], 24) << "drawn at half size by the device";
    EXPECT_EQ(call.args[6], 48);
    EXPECT_EQ(s.pieces[1].x, 4);
    EXPECT_EQ(s.pieces[1].y, 2);
    Bytes expected = pptest::Rows8(
        48, 4, [](int x, int y) -> uint8_t { return x >= 4 && x < 44 && y >= 2 ? 100 : 255; }, 255);
    EXPECT_EQ(pptest::DibRows(call), expected);
}

TEST(ComposePicture, ResampledLatePieceFollowsTheShrunkPicture)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    Scene s;
    s.header.levelCount = 1;
    s.header.paintFlags = PAINT_SHRINK;
    s.Picture(8, 4);
    s.levelRequest = 0;
    s.availWidth = s.destWidth = 4;
    s.availHeight = s.destHeight = 2; // S = 0.5
    s.Add(MakePlaced(ID_A, 0, 0, 8, 4), pptest::Uniform8(8, 4, 50));
    s.Add(MakePlaced(ID_B, 4, 2, 4, 2, PIECE_RESAMPLE),
          pptest::BuildBitmap(4, 2, 8, 256, {20, 21, 22, 23, 24, 25, 26, 27}));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    // 4 x 2 pixels become 2 x 1 by dropping: pixels 0 and 2 of row 0, at (2, 1).
    EXPECT_EQ(pptest::Visible8(pptest::DibRows(pptest::PictureCall(dc.get())), 4, 2),
              (Bytes{50, 50, 50, 50, 50, 50, 20, 22}));
}

TEST(ComposePicture, FourBitPictureSkipsTheBytewiseEffects)
{
    DeviceGuard dc(PP_DEVICE_COLOR16, 16, 16);
    Scene s;
    s.header.bitsPerPixel = 4;
    s.header.colorCount = 16;
    s.header.keyIndex = 15;
    s.header.levelCount = 1;
    s.header.paintFlags = PAINT_SMOOTH | PAINT_SHRINK | PAINT_FILTER;
    for (int16_t &t : s.header.filterStrength)
        t = 3;
    s.brightness = 50;
    s.Picture(4, 2);
    s.levelRequest = 0;
    s.availWidth = s.destWidth = 2;
    s.availHeight = s.destHeight = 1;
    s.Add(MakePlaced(ID_A, 0, 0, 4, 2), pptest::BuildBitmap(4, 2, 4, 16, {1, 2, 3, 4, 5, 6, 7, 8}));
    s.Add(MakePlaced(ID_B, 0, 0, 2, 1, PIECE_RESAMPLE), pptest::BuildBitmap(2, 1, 4, 16, {9, 10}));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    DeviceCall call = pptest::PictureCall(dc.get());
    EXPECT_EQ(call.args[2], 2) << "drawn at the decided size";
    EXPECT_EQ(call.args[6], 4) << "from the unshrunk picture";
    EXPECT_EQ(pptest::DibRows(call), (Bytes{0x9A, 0x34, 0xFF, 0xFF, 0x56, 0x78, 0xFF, 0xFF}));
}

TEST(ComposePicture, PiecesAreClippedToThePicture)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    Scene s;
    s.Picture(3, 2);
    s.Add(MakePlaced(ID_A, -1, -1, 2, 2), pptest::BuildBitmap(2, 2, 8, 256, {1, 2, 3, 4}));
    s.Add(MakePlaced(ID_B, 2, 1, 3, 3), pptest::Uniform8(3, 3, 9));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    EXPECT_EQ(pptest::DibRows(pptest::PictureCall(dc.get())),
              (Bytes{4, 255, 255, 255, 255, 255, 9, 255}));
}

struct StrengthCase {
    std::string name;
    int deviceKind;
    int32_t levelRequest;
    int32_t zoomPercent;
    int32_t availWidth; // fit mode: below 5 shrinks
    int strengthSlot;   // the only non-zero strength
    bool filtered;
};

class FilterStrengthTest : public ::testing::TestWithParam<StrengthCase> {};

TEST_P(FilterStrengthTest, TakesTheStrengthOfTheScaleCaseAndDevice)
{
    const StrengthCase &c = GetParam();
    DeviceGuard dc(c.deviceKind, 32, 32);
    Scene s;
    s.header.levelCount = 1;
    s.header.paintFlags = PAINT_FILTER; // shrinking not allowed: the picture keeps its size
    s.header.filterStrength[c.strengthSlot] = 1;
    s.Picture(5, 5);
    s.levelRequest = c.levelRequest;
    s.zoomPercent = c.zoomPercent;
    s.availWidth = c.availWidth;
    Bytes pixels(25, 100);
    pixels[12] = 50;
    s.Add(MakePlaced(ID_A, 0, 0, 5, 5), pptest::BuildBitmap(5, 5, 8, 256, pixels));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    Bytes rows = pptest::DibRows(pptest::PictureCall(dc.get()));
    // With t = 1 the centre 50 among edge neighbours of 100 becomes 10.
    EXPECT_EQ(rows.at(2 * 8 + 2), c.filtered ? 10 : 50);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterStrengthTest,
    ::testing::Values(
        StrengthCase{"ShrunkUsesSlot0", PP_DEVICE_TRUECOLOR, 0, 0, 4, 0, true},
        StrengthCase{"ShrunkIgnoresSlot1", PP_DEVICE_TRUECOLOR, 0, 0, 4, 1, false},
        StrengthCase{"NaturalUsesSlot1", PP_DEVICE_TRUECOLOR, 1, 0, 5, 1, true},
        StrengthCase{"NaturalIgnoresSlot0", PP_DEVICE_TRUECOLOR, 1, 0, 5, 0, false},
        StrengthCase{"EnlargedUsesSlot2", PP_DEVICE_TRUECOLOR, 1, 200, 5, 2, true},
        StrengthCase{"PaletteDeviceUsesSlot1", PP_DEVICE_PALETTE256, 1, 0, 5, 1, true},
        StrengthCase{"SixteenColoursShrunkUsesSlot3", PP_DEVICE_COLOR16, 0, 0, 4, 3, true},
        StrengthCase{"SixteenColoursNaturalUsesSlot4", PP_DEVICE_COLOR16, 1, 0, 5, 4, true},
        StrengthCase{"SixteenColoursIgnoresSlot1", PP_DEVICE_COLOR16, 1, 0, 5, 1, false},
        StrengthCase{"SixteenColoursEnlargedUsesSlot5", PP_DEVICE_COLOR16, 1, 300, 5, 5, true}),
    [](const auto &info) { return info.param.name; });

// Failures: the documented code, nothing drawn for a piece, every buffer
// freed and every obtained handle released once.
struct FailureCase {
    std::string name;
    int32_t failAllocation; // 0: none
    ResourceFault fault;    // on piece A
    Bytes (*bitmap)();      // piece A's bitmap
    int32_t expected;
};

Bytes GoodBitmap()
{
    return pptest::Uniform8(2, 2, 7);
}
Bytes HeaderOnly()
{
    Bytes b = GoodBitmap();
    b.resize(1063);
    return b;
}
Bytes RowsShort()
{
    Bytes b = GoodBitmap();
    b.resize(b.size() - 1);
    return b;
}
Bytes HugeHeight()
{
    Bytes b = GoodBitmap();
    int32_t height = 40000;
    std::memcpy(b.data() + 8, &height, 4);
    return b;
}

class ComposeFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ComposeFailureTest, ReportsTheCodeAndReleasesEverything)
{
    const FailureCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.Picture(4, 4);
    s.Add(MakePlaced(ID_A, 0, 0, 2, 2), c.bitmap());
    s.Add(MakePlaced(ID_B, 2, 2, 2, 2), GoodBitmap());
    ppModuleSetFault(s.res.get(), ID_A, c.fault);
    int32_t live = ppHeapLiveBlocks();
    ppHeapFailNth(c.failAllocation);
    int32_t result = s.Compose(dc.get());
    ppHeapFailNth(0);
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
    EXPECT_EQ(pptest::Timeline(dc.get()), Lines{}) << "nothing is drawn";
    EXPECT_EQ(ppModuleLoadCount(s.res.get(), ID_B), 0) << "the walk stops at the failure";
    EXPECT_EQ(ppModuleFreeCount(s.res.get(), ID_A), ppModuleLoadCount(s.res.get(), ID_A));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComposeFailureTest,
    ::testing::Values(FailureCase{"NoHeaderMemory", 1, ResourceFault::None, GoodBitmap, 2},
                      FailureCase{"NoPictureMemory", 2, ResourceFault::None, GoodBitmap, 3},
                      FailureCase{"PieceNotFound", 0, ResourceFault::NotFound, GoodBitmap, 7},
                      FailureCase{"PieceLoadFails", 0, ResourceFault::LoadFails, GoodBitmap, 8},
                      FailureCase{"PieceLockFails", 0, ResourceFault::LockFails, GoodBitmap, 14},
                      FailureCase{"ColourTableShort", 0, ResourceFault::None, HeaderOnly, 8},
                      FailureCase{"RowsShort", 0, ResourceFault::None, RowsShort, 8},
                      FailureCase{"AbsurdHeight", 0, ResourceFault::None, HugeHeight, 8}),
    [](const auto &info) { return info.param.name; });

// Sizes that are never read, or that leave nothing to draw, are no failure:
// a plain piece claiming no size is left out, a variant piece's biWidth and
// biHeight are not its sizes. A plain piece above 32767 stays a failed load.
struct SizeCase {
    const char *name;
    uint16_t flags;
    int32_t width, height; // written into biWidth and biHeight of piece A
    int32_t expected;
};

class PieceSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PieceSizeTest, OnlyAPlainPiecesSizeIsChecked)
{
    const SizeCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.Picture(4, 4);
    Bytes a = c.flags ? pptest::VariantBitmap(4, 2, true, 1, 60) : GoodBitmap();
    std::memcpy(a.data() + 4, &c.width, 4);
    std::memcpy(a.data() + 8, &c.height, 4);
    s.Add(MakePlaced(ID_A, 0, 0, c.flags ? 4 : 2, 2, c.flags), a);
    s.Add(MakePlaced(ID_B, 2, 2, 2, 2), GoodBitmap());
    EXPECT_EQ(s.Compose(dc.get()), c.expected);
    EXPECT_EQ(ppModuleLoadCount(s.res.get(), ID_B), c.expected == PP_RESULT_OK ? 1 : 0);
    EXPECT_EQ(ppModuleFreeCount(s.res.get(), ID_A), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PieceSizeTest,
    ::testing::Values(
        SizeCase{"PlainNegativeWidth", 0, -2, 2, PP_RESULT_OK},
        SizeCase{"PlainNegativeHeight", 0, 2, -2, PP_RESULT_OK},
        SizeCase{"PlainZeroWidth", 0, 0, 2, PP_RESULT_OK},
        SizeCase{"PlainMostNegative", 0, INT32_MIN, INT32_MIN, PP_RESULT_OK},
        SizeCase{"PlainTooWide", 0, 32768, 2, PP_RESULT_LOAD_FAILED},
        SizeCase{"WidthVariantAnySize", PIECE_WIDTH_VARIANTS, 40000, -7, PP_RESULT_OK},
        SizeCase{"WidthVariantNegative", PIECE_WIDTH_VARIANTS, -1, 70000, PP_RESULT_OK}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ComposePicture, ShortVariantTableIsAFailedLoad)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.Picture(4, 4);
    // Entry 0 lies beyond an empty table.
    s.Add(MakePlaced(ID_A, 0, 0, 4, 2, PIECE_WIDTH_VARIANTS),
          pptest::VariantBitmap(4, 2, true, 0, 60));
    EXPECT_EQ(s.Compose(dc.get()), PP_RESULT_LOAD_FAILED);
    EXPECT_EQ(ppModuleFreeCount(s.res.get(), ID_A), 1);
}

TEST(ComposePicture, ShortVariantRowsAreAFailedLoad)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.Picture(4, 4);
    Bytes bitmap = pptest::VariantBitmap(4, 2, true, 1, 60);
    bitmap.resize(bitmap.size() - 1);
    s.Add(MakePlaced(ID_A, 0, 0, 4, 2, PIECE_WIDTH_VARIANTS), bitmap);
    EXPECT_EQ(s.Compose(dc.get()), PP_RESULT_LOAD_FAILED);
    EXPECT_EQ(ppModuleFreeCount(s.res.get(), ID_A), 1);
}

TEST(ComposePicture, WrappedPictureSizeIsAnAllocationFailure)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.Picture(4, 4);
    s.layout.width = -4;
    s.Add(MakePlaced(ID_A, 0, 0, 2, 2), GoodBitmap());
    int32_t live = ppHeapLiveBlocks();
    EXPECT_EQ(s.Compose(dc.get()), PP_RESULT_NO_PICTURE_MEMORY);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
    EXPECT_EQ(ppModuleLoadCount(s.res.get(), ID_A), 0);
}

TEST(ComposePicture, PiecesFlaggedAuxComeFromTheSecondModule)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Scene s;
    s.Picture(2, 1);
    s.Add(MakePlaced(ID_A, 0, 0, 1, 1, PIECE_AUX_MODULE), pptest::Uniform8(1, 1, 33));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    EXPECT_EQ(ppModuleFreeCount(s.aux.get(), ID_A), 1);
    EXPECT_EQ(pptest::DibRows(pptest::PictureCall(dc.get())), (Bytes{33, 255, 255, 255}));
}

// The library palette is selected round the drawing on a palette device
// when the catalogue asks for it, and put back also after a failure.
class ComposePaletteTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ForgetPaletteHandles();
        ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
        lib_ = DescribeObject(LibPaletteHandle());
        dc_.ClearLogs();
        s_.Picture(2, 1);
        s_.Add(MakePlaced(ID_A, 0, 0, 1, 1), pptest::Uniform8(1, 1, 33));
    }
    void TearDown() override
    {
        ManagePal(dc_.get(), 0, PAL_MSG_DESTROY);
        ForgetPaletteHandles();
    }
    Lines Calls() { return pptest::Rename(pptest::Timeline(dc_.get()), lib_, "lib"); }

    DeviceGuard dc_{PP_DEVICE_PALETTE256, 8, 8};
    Scene s_;
    std::string lib_;
};

TEST_F(ComposePaletteTest, SelectsTheLibraryRoundTheDrawing)
{
    s_.header.paintFlags = PAINT_PALETTE;
    ASSERT_EQ(s_.Compose(dc_.get()), PP_RESULT_OK);
    Lines calls = Calls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(Lines(calls.begin(), calls.begin() + 2),
              (Lines{"SelectPalette lib 1", "RealizePalette"}));
    EXPECT_EQ(pptest::Names(Lines(calls.end() - 3, calls.end())),
              (Lines{"StretchDIBits", "SelectPalette", "RealizePalette"}));
    EXPECT_EQ(calls[calls.size() - 2], "SelectPalette pal(stock) 1");
}

TEST_F(ComposePaletteTest, RestoresThePaletteWhenAPieceFails)
{
    s_.header.paintFlags = PAINT_PALETTE;
    ppModuleSetFault(s_.res.get(), ID_A, ResourceFault::NotFound);
    EXPECT_EQ(s_.Compose(dc_.get()), PP_RESULT_NOT_FOUND);
    EXPECT_EQ(Calls(), (Lines{"SelectPalette lib 1", "RealizePalette", "SelectPalette pal(stock) 1",
                              "RealizePalette"}));
}

TEST_F(ComposePaletteTest, LeavesThePaletteAloneUnlessAsked)
{
    ASSERT_EQ(s_.Compose(dc_.get()), PP_RESULT_OK);
    for (const std::string &name : pptest::Names(Calls()))
        EXPECT_NE(name, "SelectPalette");
}

TEST(ComposePicture, NoPaletteCallsOnADeviceWithoutPalette)
{
    ForgetPaletteHandles();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    ManagePal(dc.get(), 0, PAL_MSG_QUERY_NEW);
    dc.ClearLogs();
    Scene s;
    s.header.paintFlags = PAINT_PALETTE;
    s.Picture(2, 1);
    s.Add(MakePlaced(ID_A, 0, 0, 1, 1), pptest::Uniform8(1, 1, 33));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    for (const std::string &name : pptest::Names(pptest::Timeline(dc.get())))
        EXPECT_NE(name, "SelectPalette");
    ManagePal(dc.get(), 0, PAL_MSG_DESTROY);
    ForgetPaletteHandles();
}

} // namespace
