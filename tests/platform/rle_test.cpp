// Run-length coded sources: the expansion (pixels, and which of them count as
// written), hostile streams and headers, and how StretchDIBits draws them.
#include "platform/portable/heap.h"
#include "platform/portable/rle.h"
#include "support/dib.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// rows: top row first, a hex digit a pixel; '.' a pixel no closed line wrote
// (it holds index 0 unless a digit follows in pixels).
struct DecodeCase {
    std::string name;
    int bits;
    int32_t width, height;
    Bytes coded;
    uint32_t size; // 0: all of coded
    std::vector<std::string> pixels;
    std::vector<std::string> written;
};

class RleDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(RleDecode, ExpandsPixelsAndClosedLines)
{
    const DecodeCase &c = GetParam();
    // Exactly the bytes the size allows, so a read past them is caught by
    // the sanitizer build.
    uint32_t size = c.size != 0 ? c.size : static_cast<uint32_t>(c.coded.size());
    Bytes data(c.coded.begin(), c.coded.begin() + size);
    RleImage image;
    ASSERT_TRUE(DecodeRle(data.data(), size, c.bits, c.width, c.height, true, image));
    for (int32_t y = 0; y < c.height; ++y) {
        int32_t line = c.height - 1 - y;
        std::string pixels, written;
        for (int32_t x = 0; x < c.width; ++x) {
            pixels += "0123456789abcdef"[image.pixels[line * image.stride + x] & 15];
            written += RleWritten(image, x, line) ? 'x' : '.';
        }
        EXPECT_EQ(pixels, c.pixels[y]) << "row " << y;
        EXPECT_EQ(written, c.written[y]) << "row " << y;
    }
    ReleaseRle(image);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, RleDecode,
    ::testing::ValuesIn(std::vector<DecodeCase>{
        {"Rle8RunsAbsoluteWithPaddingAndEnds",
         8,
         5,
         2,
         {0x02, 0x05, 0x00, 0x03, 0x07, 0x08, 0x09, 0x00, 0x00, 0x00, 0x00, 0x04, 0x01, 0x02, 0x03,
          0x04, 0x00, 0x01},
         0,
         {"12340", "55789"},
         {"xxxx.", "xxxxx"}},
        // Nibbles alternate from the run's start; a run ending on a high
        // nibble fills the low one too (from the data when the absolute run
        // starts on an even column, with 0 from an odd one).
        {"Rle4NibblesFromOddAndEvenColumns",
         4,
         9,
         2,
         {0x03, 0x12, 0x00, 0x03, 0x34, 0x50, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00,
          0x00, 0x03, 0x67, 0x8f, 0x00, 0x02, 0x02, 0x00, 0x01, 0xab, 0x00, 0x01},
         0,
         {"678f0a000", "121345000"},
         {"xxx..x...", "xxxxxx..."}},
        {"RunsPastTheRowEndAreCut",
         8,
         3,
         2,
         {0x09, 0x04, 0x00, 0x00, 0x00, 0x05, 0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x00, 0x01},
         0,
         {"123", "444"},
         {"xxx", "xxx"}},
        // A move closes the stretch before it, also when its two bytes are
        // cut off; one past the row's end stops at it, one past the top ends.
        {"MovesWithinAndAcrossLines",
         8,
         4,
         3,
         {0x01, 0x01, 0x00, 0x02, 0x01, 0x01, 0x01, 0x02, 0x00, 0x02,
          0x09, 0x00, 0x01, 0x03, 0x00, 0x02, 0x00, 0x05, 0x01, 0x04},
         0,
         {"0000", "0020", "1000"},
         {"....", "..x.", "x..."}},
        {"MoveCutOffStillCloses", 8, 3, 1, {0x02, 0x07, 0x00, 0x02}, 0, {"770"}, {"xx."}},
        {"AnOpenLineIsNotWritten",
         8,
         4,
         2,
         {0x02, 0x01, 0x00, 0x00, 0x03, 0x02},
         0,
         {"2220", "1100"},
         {"....", "xx.."}},
        // Size cuts: an absolute run whose bytes run past it writes nothing,
        // a cut end of line leaves the line open, a size of 1 reads nothing.
        {"AbsoluteRunPastTheSize",
         8,
         6,
         1,
         {0x02, 0x03, 0x00, 0x05, 0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x00, 0x01},
         8,
         {"330000"},
         {"......"}},
        {"OddSizeCutsTheLastEscape",
         8,
         6,
         2,
         {0x02, 0x03, 0x00, 0x00, 0x06, 0x07, 0x00, 0x00},
         7,
         {"777777", "330000"},
         {"......", "xx...."}},
        {"SizeOfOneReadsNothing", 4, 2, 1, {0x02, 0x11}, 1, {"00"}, {".."}},
    }),
    [](const ::testing::TestParamInfo<DecodeCase> &info) { return info.param.name; });

TEST(RleDecodeLimits, RefusesBitmapsBeyondTheCapWithoutAllocating)
{
    Bytes coded = {0x00, 0x01};
    RleImage image;
    int64_t calls = ppHeapAllocCalls();
    EXPECT_FALSE(DecodeRle(coded.data(), 2, 8, 65536, 65536, true, image));
    EXPECT_FALSE(DecodeRle(coded.data(), 2, 8, INT32_MAX, 2, false, image));
    EXPECT_EQ(ppHeapAllocCalls(), calls);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(RleDecodeLimits, HeapFailureLeavesNothingHeld)
{
    Bytes coded = {0x02, 0x01, 0x00, 0x01};
    int32_t live = ppHeapLiveBlocks();
    for (int nth = 1; nth <= 2; ++nth) {
        RleImage image;
        ppHeapFailNth(nth);
        EXPECT_FALSE(DecodeRle(coded.data(), 4, 8, 4, 4, true, image)) << nth;
        ppHeapFailNth(0);
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(ppHeapLiveBlocks(), live) << nth;
    }
}

// --- StretchDIBits with coded sources ---------------------------------------

const uint32_t untouched = 0x00FEDCBA;

// A 4 x 2 RLE8 bitmap: the bottom line sets three pixels and is closed, the
// top line one pixel and is left open. Entry i is 0x000100 * (i + 1) + i.
pptest::Dib OpenTopLine()
{
    std::vector<uint32_t> colors;
    for (int i = 0; i < 256; ++i)
        colors.push_back(pptest::RampColor(i));
    return pptest::MakeRleDib(4, 2, 8, {0x03, 0x05, 0x00, 0x00, 0x01, 0x06}, colors);
}

int Draw(HDC dc, const pptest::Dib &dib, int dw, int dh, int sx, int sw)
{
    return StretchDIBits(dc, 0, 0, dw, dh, sx, 0, sw, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                         SRCCOPY);
}

TEST(RleStretch, OneToOneFromTheOriginDrawsOnlyClosedLinesOverAPendingFill)
{
    pptest::Dib dib = OpenTopLine();
    pptest::DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 2);
    ppDCFill(dc.get(), 0);
    HRGN all = CreateRectRgn(0, 0, 4, 2);
    HBRUSH brush = CreateSolidBrush(untouched & 0xFFFFFF);
    FillRgn(dc.get(), all, brush); // kept pending until the surface is read
    EXPECT_EQ(Draw(dc.get(), dib, 4, 2, 0, 4), 2);
    uint32_t five = pptest::RampColor(5);
    EXPECT_EQ(dc.Pixels(), (std::vector<uint32_t>{0xBADCFE, 0xBADCFE, 0xBADCFE, 0xBADCFE, five,
                                                  five, five, 0xBADCFE}));
    DeleteObject(all);
    DeleteObject(brush);
}

TEST(RleStretch, OtherCallsShowUnsetPixelsAsIndexZero)
{
    pptest::Dib dib = OpenTopLine();
    pptest::DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 2);
    ppDCFill(dc.get(), untouched);
    uint32_t zero = pptest::RampColor(0), five = pptest::RampColor(5), six = pptest::RampColor(6);
    // From column 1 at 1:1, then the whole bitmap stretched.
    EXPECT_EQ(Draw(dc.get(), dib, 3, 2, 1, 3), 2);
    EXPECT_EQ(dc.Pixels(),
              (std::vector<uint32_t>{zero, zero, zero, untouched, five, five, zero, untouched}));
    EXPECT_EQ(Draw(dc.get(), dib, 4, 4, 0, 4), 2);
    EXPECT_EQ(dc.Row(0), (std::vector<uint32_t>{six, zero, zero, zero}));
}

TEST(RleStretch, RefusesHeadersItCannotBound)
{
    struct Case {
        const char *name;
        int32_t width, height;
        uint16_t bpp;
        uint32_t size;
    };
    const Case cases[] = {{"top-down", 4, -2, 8, 6},
                          {"no image size", 4, 2, 8, 0},
                          {"bit count not the coding's", 4, 2, 4, 6},
                          {"beyond the cap", 8192, 8192, 8, 6}};
    for (const Case &c : cases) {
        pptest::Dib dib = OpenTopLine();
        dib.Header().biWidth = c.width;
        dib.Header().biHeight = c.height;
        dib.Header().biBitCount = c.bpp;
        dib.Header().biSizeImage = c.size;
        pptest::DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 2);
        ppDCFill(dc.get(), untouched);
        EXPECT_EQ(Draw(dc.get(), dib, 4, 2, 0, 4), 0) << c.name;
        EXPECT_EQ(dc.At(0, 1), untouched) << c.name;
    }
}

} // namespace
