// The call logs and the host functions around device contexts.
#include "platform/portable/device.h"
#include "support/dib.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using pptest::DeviceGuard;
using pptest::Dib;
using pptest::MakeDib;

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

// The fnv of a payload made of exactly these parts, as the log line shows it.
uint32_t Hash(const std::vector<std::vector<uint8_t>> &parts)
{
    uint32_t hash = 2166136261u;
    for (const std::vector<uint8_t> &part : parts)
        hash = Fnv32(part.data(), part.size(), hash);
    return hash;
}

class CallLog : public ::testing::Test {
  protected:
    void SetUp() override { ppGdiClearLog(); }
};

TEST_F(CallLog, DeviceOutputSequenceReadsAsText)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    HRGN region = CreateRectRgn(12, 10, 2, 1);
    SelectObject(dc.get(), region);
    HBRUSH grey = CreateSolidBrush(0x808080);
    FillRgn(dc.get(), region, grey);
    DeleteObject(grey);
    Dib dib = MakeDib(2, 2, 4, {1, 0, 0, 1}, {0x102030, 0x405060}, false, 2);
    StretchDIBits(dc.get(), 3, 4, 4, 4, 0, 0, 2, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                  SRCCOPY);
    HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
    FrameRgn(dc.get(), region, yellow, 4, 4);
    DeleteObject(yellow);
    DeleteObject(region);
    SetStretchBltMode(dc.get(), 9);
    GetDeviceCaps(dc.get(), BITSPIXEL);

    std::vector<uint8_t> header(dib.info.begin(), dib.info.begin() + 40);
    std::vector<uint8_t> table(dib.info.begin() + 40, dib.info.end());
    std::string dibText = "dib(2x2 planes=1 bpp=4 comp=0 used=2 colors=2 rows=8 fnv=" +
                          Hex(Hash({header, table, dib.bits})) + ")";
    EXPECT_EQ(std::string(ppDCLogText(dc.get())),
              "SelectObject rgn(2,1,12,10) -> 2\n"
              "FillRgn rgn(2,1,12,10) brush(0x00808080) -> 1\n"
              "StretchDIBits 3 4 4 4 0 0 2 2 " +
                  dibText +
                  " 0 0x00cc0020 -> 2\n"
                  "FrameRgn rgn(2,1,12,10) brush(0x0000ffff) 4 4 -> 1\n"
                  "SetStretchBltMode 9 -> 0\n"
                  "GetDeviceCaps 12 -> 32\n");
    EXPECT_EQ(std::string(ppGdiLogText()), "CreateRectRgn 12 10 2 1 -> rgn(2,1,12,10)\n"
                                           "CreateSolidBrush 0x00808080 -> brush(0x00808080)\n"
                                           "DeleteObject brush(0x00808080) -> 1\n"
                                           "CreateSolidBrush 0x0000ffff -> brush(0x0000ffff)\n"
                                           "DeleteObject brush(0x0000ffff) -> 1\n"
                                           "DeleteObject rgn(2,1,12,10) -> 1\n");
}

TEST_F(CallLog, StretchDIBitsKeepsACopyOfWhatItWasGiven)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 8, 8);
    Dib dib = MakeDib(3, 2, 8, {0, 1, 2, 2, 1, 0}, {0xFF0000, 0x00FF00, 0x0000FF});
    StretchDIBits(dc.get(), 1, 2, 6, -4, 0, 0, 3, 2, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                  SRCCOPY);
    // The caller may change or free its bitmap; the log keeps what was drawn.
    std::vector<uint8_t> given = dib.bits;
    std::memset(dib.bits.data(), 0xEE, dib.bits.size());

    std::span<const DeviceCall> log = DeviceLog(dc.get());
    ASSERT_EQ(log.size(), 1u);
    const DeviceCall &call = log[0];
    EXPECT_EQ(call.name, "StretchDIBits");
    EXPECT_EQ(call.args, (std::vector<int64_t>{1, 2, 6, -4, 0, 0, 3, 2, DIB_RGB_COLORS, SRCCOPY}));
    EXPECT_EQ(call.result, 2);
    EXPECT_EQ(call.colorOffset, 40u);
    EXPECT_EQ(call.colorCount, 256u);
    EXPECT_EQ(call.pixelOffset, 40u + 4 * 256);
    std::vector<uint8_t> header(call.payload.begin(), call.payload.begin() + 40);
    std::vector<uint8_t> table(call.payload.begin() + 40, call.payload.begin() + call.pixelOffset);
    std::vector<uint8_t> rows(call.payload.begin() + call.pixelOffset, call.payload.end());
    EXPECT_EQ(header, std::vector<uint8_t>(dib.info.begin(), dib.info.begin() + 40));
    EXPECT_EQ(table, std::vector<uint8_t>(dib.info.begin() + 40, dib.info.end()));
    EXPECT_EQ(rows, given);
}

TEST_F(CallLog, RejectedBitmapIsLoggedWithoutRows)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 4);
    Dib dib = MakeDib(2, 2, 8, {0, 0, 0, 0}, {}, false, 1);
    dib.Header().biBitCount = 2;
    EXPECT_EQ(StretchDIBits(dc.get(), 0, 0, 2, 2, 0, 0, 2, 2, dib.Bits(), dib.Info(),
                            DIB_RGB_COLORS, SRCCOPY),
              0);
    std::span<const DeviceCall> log = DeviceLog(dc.get());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].payload.size(), 40u);
    EXPECT_NE(log[0].text.find("bpp=2 comp=0 used=1 colors=0 rows=0"), std::string::npos);
    EXPECT_NE(log[0].text.find("-> 0"), std::string::npos);
}

TEST_F(CallLog, PaletteCallsNameTheirPalettesByContent)
{
    DeviceGuard dc(PP_DEVICE_PALETTE256, 4, 4);
    LOGPALETTE log{0x300, 1, {{1, 2, 3, PC_NOCOLLAPSE}}};
    HPALETTE palette = CreatePalette(&log);
    std::string name = DescribeObject(palette);
    const uint8_t entry[4] = {1, 2, 3, PC_NOCOLLAPSE};
    EXPECT_EQ(name, "pal(1," + Hex(Fnv32(entry, 4)) + ")");
    SelectPalette(dc.get(), palette, TRUE);
    RealizePalette(dc.get());
    SelectPalette(dc.get(), nullptr, FALSE);
    SelectPalette(dc.get(), StockPalette(), FALSE);
    UnrealizeObject(palette);
    DeleteObject(palette);
    SelectPalette(dc.get(), palette, FALSE);
    EXPECT_EQ(std::string(ppDCLogText(dc.get())), "SelectPalette " + name +
                                                      " 1 -> pal(stock)\n"
                                                      "RealizePalette -> 1\n"
                                                      "SelectPalette null 0 -> null\n"
                                                      "SelectPalette pal(stock) 0 -> " +
                                                      name +
                                                      "\n"
                                                      "SelectPalette invalid 0 -> null\n");
    EXPECT_EQ(std::string(ppGdiLogText()), "CreatePalette 0x00000300 1 -> " + name +
                                               "\n"
                                               "UnrealizeObject " +
                                               name +
                                               " -> 1\n"
                                               "DeleteObject " +
                                               name + " -> 1\n");
}

TEST_F(CallLog, ArgumentsRecordObjectSerials)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 4);
    HRGN region = CreateRectRgn(0, 0, 1, 1);
    HBRUSH brush = CreateSolidBrush(0);
    FillRgn(dc.get(), region, brush);
    FillRgn(dc.get(), nullptr, brush);
    std::span<const DeviceCall> log = DeviceLog(dc.get());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].args, (std::vector<int64_t>{static_cast<int64_t>(ObjectSerial(region)),
                                                 static_cast<int64_t>(ObjectSerial(brush))}));
    EXPECT_EQ(log[1].args[0], 0);
    EXPECT_EQ(log[1].result, FALSE);
    // One sequence runs through both logs.
    ASSERT_EQ(ObjectLog().size(), 2u);
    EXPECT_LT(ObjectLog()[1].seq, log[0].seq);
    EXPECT_LT(log[0].seq, log[1].seq);
    DeleteObject(region);
    DeleteObject(brush);
}

TEST_F(CallLog, ClearingAndSwitchingOff)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 4);
    GetDeviceCaps(dc.get(), PLANES);
    ppDCClearLog(dc.get());
    EXPECT_STREQ(ppDCLogText(dc.get()), "");
    ppDCSetLogging(dc.get(), 0);
    GetStretchBltMode(dc.get());
    EXPECT_STREQ(ppDCLogText(dc.get()), "");
    ppDCSetLogging(dc.get(), 1);
    GetStretchBltMode(dc.get());
    EXPECT_STREQ(ppDCLogText(dc.get()), "GetStretchBltMode -> 1\n");

    ppGdiSetLogging(0);
    DeleteObject(CreateRectRgn(0, 0, 1, 1));
    ppGdiSetLogging(1);
    EXPECT_STREQ(ppGdiLogText(), "");
}

// The log bounds: the newest calls that fit both bounds are kept; rows that
// alone exceed the byte bound are left out of their entry.
struct BoundCase {
    const char *name;
    uint32_t maxEntries, maxBytes;
    int calls;            // GetStretchBltMode calls, then one 4x4 8-bit StretchDIBits
    size_t kept;          // entries held afterwards
    uint32_t stretchRows; // rows bytes the StretchDIBits entry holds
};

class LogBounds : public ::testing::TestWithParam<BoundCase> {};

TEST_P(LogBounds, KeepTheNewestCalls)
{
    const BoundCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 4, 4);
    ppDCSetLogLimits(dc.get(), c.maxEntries, c.maxBytes);
    for (int i = 0; i < c.calls; ++i)
        SetStretchBltMode(dc.get(), 1 + i % 4);
    Dib dib = MakeDib(4, 4, 8, std::vector<uint32_t>(16, 1), {0x102030, 0x405060}, false, 2);
    StretchDIBits(dc.get(), 0, 0, 4, 4, 0, 0, 4, 4, dib.Bits(), dib.Info(), DIB_RGB_COLORS,
                  SRCCOPY);
    std::span<const DeviceCall> log = DeviceLog(dc.get());
    ASSERT_EQ(log.size(), c.kept);
    const DeviceCall &last = log.back();
    EXPECT_EQ(last.name, "StretchDIBits");
    EXPECT_EQ(last.payload.size() - last.pixelOffset, c.stretchRows);
    if (log.size() >= 2) { // the call just before it is the last mode set
        EXPECT_EQ(log[log.size() - 2].args[0], 1 + (c.calls - 1) % 4);
    }
    ppDCSetLogLimits(dc.get(), 0, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, LogBounds,
                         ::testing::Values(BoundCase{"Unbounded", 0, 0, 10, 11, 16},
                                           BoundCase{"FewEntries", 3, 0, 10, 3, 16},
                                           BoundCase{"OneEntry", 1, 0, 5, 1, 16},
                                           BoundCase{"ManyCallsRing", 7, 0, 1000, 7, 16},
                                           BoundCase{"RowsAboveByteBound", 0, 8, 2, 1, 0}),
                         [](const ::testing::TestParamInfo<BoundCase> &info) {
                             return info.param.name;
                         });

TEST(LogBounds, NewDeviceContextRecordsNothingUntilAsked)
{
    HDC dc = ppCreateDC(PP_DEVICE_TRUECOLOR, 2, 2);
    GetStretchBltMode(dc);
    EXPECT_STREQ(ppDCLogText(dc), "");
    ppDCSetLogging(dc, 1);
    GetStretchBltMode(dc);
    EXPECT_STREQ(ppDCLogText(dc), "GetStretchBltMode -> 1\n");
    ppDeleteDC(dc);
}

// --- host functions ----------------------------------------------------------

struct CreateCase {
    int kind, width, height;
    bool created;
};

class HostDevice : public ::testing::TestWithParam<CreateCase> {};

TEST_P(HostDevice, CreatesOnlySensibleDevices)
{
    const CreateCase &c = GetParam();
    HDC dc = ppCreateDC(c.kind, c.width, c.height);
    EXPECT_EQ(dc != nullptr, c.created);
    if (dc != nullptr) {
        int width = 0, height = 0;
        const uint32_t *pixels = ppDCPixels(dc, &width, &height);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        for (int i = 0; i < width * height; ++i)
            ASSERT_EQ(pixels[i], 0u);
    }
    ppDeleteDC(dc);
}

INSTANTIATE_TEST_SUITE_P(Cases, HostDevice,
                         ::testing::Values(CreateCase{PP_DEVICE_TRUECOLOR, 3, 2, true},
                                           CreateCase{PP_DEVICE_PALETTE256, 1, 1, true},
                                           CreateCase{PP_DEVICE_COLOR16, 640, 480, true},
                                           CreateCase{3, 4, 4, false}, CreateCase{-1, 4, 4, false},
                                           CreateCase{PP_DEVICE_TRUECOLOR, 0, 4, false},
                                           CreateCase{PP_DEVICE_TRUECOLOR, 4, -1, false},
                                           CreateCase{PP_DEVICE_TRUECOLOR, 70000, 1, false},
                                           CreateCase{PP_DEVICE_TRUECOLOR, 60000, 60000, false}));

TEST(HostDevice, FillSetsEveryPixelAndIgnoresTheClip)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 3, 2);
    HRGN region = CreateRectRgn(0, 0, 1, 1);
    SelectObject(dc.get(), region);
    DeleteObject(region);
    ppDCFill(dc.get(), 0x00A1B2C3);
    EXPECT_EQ(dc.Pixels(), std::vector<uint32_t>(6, 0x00A1B2C3u));
    EXPECT_STREQ(ppDCLogText(dc.get()), "SelectObject rgn(0,0,1,1) -> 2\n");
}

TEST(HostDevice, UnknownHandlesAreHarmless)
{
    int width = 7, height = 7;
    EXPECT_EQ(ppDCPixels(nullptr, &width, &height), nullptr);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_STREQ(ppDCLogText(nullptr), "");
    ppDCFill(nullptr, 0);
    ppDCClearLog(nullptr);
    ppDeleteDC(nullptr);
    HDC dc = ppCreateDC(PP_DEVICE_TRUECOLOR, 2, 2);
    ppDeleteDC(dc);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);
    EXPECT_EQ(SetStretchBltMode(dc, HALFTONE), 0);
}

} // namespace
