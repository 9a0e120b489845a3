// DrawPicture: surround, badge, frame and picture, in that order, read from
// the device log and the surface.
#include "compose/output.h"
#include "platform/portable/heap.h"
#include "support/scene.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using pptest::Bytes;
using pptest::DeviceGuard;
using pptest::MakePlaced;
using pptest::ModuleGuard;
using pptest::Scene;
using Lines = std::vector<std::string>;

// A 2 x 2 8-bit picture with a grey colour table and its header.
struct SmallPicture {
    Bytes bitmap = pptest::BuildBitmap(2, 2, 8, 256, {10, 20, 30, 40});
    const BITMAPINFO *info() const { return reinterpret_cast<const BITMAPINFO *>(bitmap.data()); }
    const uint8_t *pixels() const { return bitmap.data() + 1064; }
};

int32_t Draw(HDC hdc, HMODULE aux, const SmallPicture &p, int32_t attention, int32_t showBadge,
             uint8_t bg, int32_t left = 1, int32_t top = 2, int32_t right = 9, int32_t bottom = 8)
{
    return DrawPicture(hdc, aux, 3, 4, 2, 2, 0, 0, 2, 2, p.pixels(), p.info(), DIB_RGB_COLORS,
                       SRCCOPY, left, top, right, bottom, attention, showBadge, bg);
}

struct FrameCase {
    int32_t attention;
    std::string frame; // empty: no frame
};

class FrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameTest, FramesByAttentionReadAsUnsigned16Bits)
{
    const FrameCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    ModuleGuard aux;
    SmallPicture p;
    ASSERT_EQ(Draw(dc.get(), aux.get(), p, c.attention, 0, 128), PP_RESULT_OK);
    Lines lines = pptest::Timeline(dc.get());
    Lines expected = {"CreateRectRgn 1 2 9 8", "SelectObject rgn(1,2,9,8)",
                      "CreateSolidBrush 0x00808080", "FillRgn rgn(1,2,9,8) brush(0x00808080)",
                      "DeleteObject brush(0x00808080)"};
    if (!c.frame.empty()) {
        expected.push_back("CreateSolidBrush " + c.frame);
        expected.push_back("FrameRgn rgn(1,2,9,8) brush(" + c.frame + ") 4 4");
        expected.push_back("DeleteObject brush(" + c.frame + ")");
    }
    expected.push_back("DeleteObject rgn(1,2,9,8)");
    ASSERT_EQ(lines.size(), expected.size() + 1);
    EXPECT_EQ(Lines(lines.begin(), lines.end() - 1), expected);
    EXPECT_EQ(lines.back().rfind("StretchDIBits 3 4 2 2 0 0 2 2 dib(2x2", 0), 0u) << lines.back();
}

INSTANTIATE_TEST_SUITE_P(Codes, FrameTest,
                         ::testing::Values(FrameCase{30000, ""}, FrameCase{30001, ""},
                                           FrameCase{30002, "0x0000ffff"},
                                           FrameCase{30003, "0x0000ffff"},
                                           FrameCase{30004, "0x000000ff"},
                                           FrameCase{30005, "0x000000ff"}, FrameCase{30006, ""},
                                           FrameCase{65536 + 30004, "0x000000ff"},
                                           FrameCase{30002 - 65536, "0x0000ffff"}));

struct BadgeCase {
    std::string name;
    int32_t bitsPerPixel;
    int32_t colorCount; // colour table the builder writes
    uint32_t pixelOffset;
};

class BadgeTest : public ::testing::TestWithParam<BadgeCase> {};

TEST_P(BadgeTest, DrawsTheBadgeAtItsOwnSizeFromItsPixelOffset)
{
    const BadgeCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    ModuleGuard aux;
    Bytes badge = pptest::BuildBitmap(3, 2, c.bitsPerPixel, c.colorCount, {1, 2, 3, 4, 5, 6});
    aux.Add(PP_BADGE_ID, badge);
    SmallPicture p;
    ASSERT_EQ(Draw(dc.get(), aux.get(), p, 30004, 1, 0), PP_RESULT_OK);
    Lines names = pptest::Names(pptest::Timeline(dc.get()));
    EXPECT_EQ(names, (Lines{"CreateRectRgn", "SelectObject", "CreateSolidBrush", "FillRgn",
                            "DeleteObject", "CreateSolidBrush", "StretchDIBits", "FrameRgn",
                            "DeleteObject", "DeleteObject", "StretchDIBits"}));
    std::vector<DeviceCall> calls = pptest::CallsNamed(dc.get(), "StretchDIBits");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args, (std::vector<int64_t>{1, 2, 3, 2, 0, 0, 3, 2, 0, SRCCOPY}));
    EXPECT_EQ(pptest::DibRows(calls[0]), Bytes(badge.begin() + c.pixelOffset, badge.end()));
    EXPECT_EQ(ppModuleFreeCount(aux.get(), PP_BADGE_ID), 1);
}

INSTANTIATE_TEST_SUITE_P(Depths, BadgeTest,
                         ::testing::Values(BadgeCase{"EightBit", 8, 256, 1064},
                                           BadgeCase{"FourBit", 4, 16, 104}),
                         [](const auto &info) { return info.param.name; });

struct BadgeFailureCase {
    std::string name;
    ResourceFault fault;
    Bytes (*badge)();
    int32_t expected;
    int expectedFrees;
};

Bytes GoodBadge()
{
    return pptest::Uniform8(4, 4, 9);
}
Bytes Truncated(size_t size)
{
    Bytes b = GoodBadge();
    b.resize(size);
    return b;
}
Bytes WithField(size_t offset, uint32_t value)
{
    Bytes b = GoodBadge();
    std::memcpy(b.data() + offset, &value, 4);
    return b;
}

class BadgeFailureTest : public ::testing::TestWithParam<BadgeFailureCase> {};

TEST_P(BadgeFailureTest, LeavesOutOnlyTheBadge)
{
    const BadgeFailureCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    ModuleGuard aux;
    aux.Add(PP_BADGE_ID, c.badge());
    ppModuleSetFault(aux.get(), PP_BADGE_ID, c.fault);
    SmallPicture p;
    EXPECT_EQ(Draw(dc.get(), aux.get(), p, 30002, 1, 0), c.expected);
    EXPECT_EQ(
        pptest::Names(pptest::Timeline(dc.get())),
        (Lines{"CreateRectRgn", "SelectObject", "CreateSolidBrush", "FillRgn", "DeleteObject",
               "CreateSolidBrush", "FrameRgn", "DeleteObject", "DeleteObject", "StretchDIBits"}));
    EXPECT_EQ(ppModuleFreeCount(aux.get(), PP_BADGE_ID), c.expectedFrees);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadgeFailureTest,
    ::testing::Values(
        BadgeFailureCase{"NotFound", ResourceFault::NotFound, GoodBadge, 7, 0},
        BadgeFailureCase{"LoadFails", ResourceFault::LoadFails, GoodBadge, 8, 0},
        BadgeFailureCase{"LockFails", ResourceFault::LockFails, GoodBadge, 14, 1},
        BadgeFailureCase{"HeaderShort", ResourceFault::None, [] { return Truncated(39); }, 8, 1},
        BadgeFailureCase{"TableShort", ResourceFault::None, [] { return Truncated(1000); }, 8, 1},
        BadgeFailureCase{"RowsShort", ResourceFault::None, [] { return Truncated(1064 + 15); }, 8,
                         1},
        // The device would look for the colour table behind a longer header.
        BadgeFailureCase{"TableBehindLongHeader", ResourceFault::None,
                         [] { return WithField(0, 124); }, 8, 1},
        BadgeFailureCase{"Compressed", ResourceFault::None, [] { return WithField(16, 1); }, 8, 1},
        BadgeFailureCase{"AbsurdWidth", ResourceFault::None, [] { return WithField(4, 1u << 20); },
                         8, 1}),
    [](const auto &info) { return info.param.name; });

// The rows are measured with the byte at offset 14, as the colour count
// reads it: a bit count of 0x0108 is an 8-bit badge with 1064 bytes before
// its rows, not one whose rows would take 264 bits a pixel.
TEST(DrawPicture, BadgeRowsUseTheBitCountsLowByte)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    ModuleGuard aux;
    Bytes badge = GoodBadge();
    badge[15] = 1;
    aux.Add(PP_BADGE_ID, badge);
    SmallPicture p;
    EXPECT_EQ(Draw(dc.get(), aux.get(), p, 30002, 1, 0), PP_RESULT_OK);
    EXPECT_EQ(pptest::CallsNamed(dc.get(), "StretchDIBits").size(), 2u);
}

TEST(DrawPicture, HiddenBadgeIsNotTouched)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    ModuleGuard aux;
    aux.Add(PP_BADGE_ID, pptest::Uniform8(2, 2, 9));
    ppModuleSetFault(aux.get(), PP_BADGE_ID, ResourceFault::NotFound);
    SmallPicture p;
    EXPECT_EQ(Draw(dc.get(), aux.get(), p, 30000, 0, 0), PP_RESULT_OK);
    ppModuleSetFault(aux.get(), PP_BADGE_ID, ResourceFault::None);
    EXPECT_EQ(Draw(dc.get(), aux.get(), p, 30000, 0, 0), PP_RESULT_OK);
    EXPECT_EQ(ppModuleLoadCount(aux.get(), PP_BADGE_ID), 0);
}

TEST(DrawPicture, PictureIsClippedToTheRectangle)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 12, 12);
    ppDCFill(dc.get(), 0x123456);
    ModuleGuard aux;
    Bytes bitmap = pptest::Uniform8(8, 8, 200);
    const auto *info = reinterpret_cast<const BITMAPINFO *>(bitmap.data());
    // The picture covers 0..7; the rectangle only 2..5.
    EXPECT_EQ(DrawPicture(dc.get(), aux.get(), 0, 0, 8, 8, 0, 0, 8, 8, bitmap.data() + 1064, info,
                          DIB_RGB_COLORS, SRCCOPY, 2, 2, 6, 6, 30000, 0, 64),
              PP_RESULT_OK);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
            EXPECT_EQ(pptest::SurfacePixel(dc.get(), x, y), inside ? 0xC8C8C8u : 0x123456u)
                << x << "," << y;
        }
    }
}

TEST(DrawPicture, SurroundShowsAroundTheDrawnPicture)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 12, 12);
    ModuleGuard aux;
    SmallPicture p;
    ASSERT_EQ(Draw(dc.get(), aux.get(), p, 30000, 0, 128), PP_RESULT_OK);
    EXPECT_EQ(pptest::SurfacePixel(dc.get(), 1, 2), 0x808080u);
    EXPECT_EQ(pptest::SurfacePixel(dc.get(), 3, 5), 0x0A0A0Au) << "bottom row first: index 10";
    EXPECT_EQ(pptest::SurfacePixel(dc.get(), 0, 0), 0u) << "outside the rectangle";
}

// A region or brush the device cannot create leaves out only what needs it,
// and every object created is deleted.
struct CreateFailureCase {
    std::string name;
    int32_t failNth;
    Lines names;
};

class CreateFailureTest : public ::testing::TestWithParam<CreateFailureCase> {};

TEST_P(CreateFailureTest, LeavesOutWhatNeedsTheObject)
{
    const CreateFailureCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    ModuleGuard aux;
    SmallPicture p;
    ppGdiFailCreateNth(c.failNth);
    EXPECT_EQ(Draw(dc.get(), aux.get(), p, 30004, 0, 0), PP_RESULT_OK);
    ppGdiFailCreateNth(0);
    Lines names = pptest::Names(pptest::Timeline(dc.get()));
    EXPECT_EQ(names, c.names);
    int created = 0;
    int deleted = 0;
    for (const DeviceCall &call : ObjectLog()) {
        if (call.name.rfind("Create", 0) == 0 && call.result != 0)
            ++created;
        if (call.name == "DeleteObject")
            ++deleted;
    }
    EXPECT_EQ(created, deleted);
}

INSTANTIATE_TEST_SUITE_P(
    Objects, CreateFailureTest,
    ::testing::Values(
        CreateFailureCase{"Region",
                          1,
                          {"CreateRectRgn", "CreateSolidBrush", "DeleteObject", "CreateSolidBrush",
                           "DeleteObject", "StretchDIBits"}},
        CreateFailureCase{"GreyBrush",
                          2,
                          {"CreateRectRgn", "SelectObject", "CreateSolidBrush", "CreateSolidBrush",
                           "FrameRgn", "DeleteObject", "DeleteObject", "StretchDIBits"}},
        CreateFailureCase{"FrameBrush",
                          3,
                          {"CreateRectRgn", "SelectObject", "CreateSolidBrush", "FillRgn",
                           "DeleteObject", "CreateSolidBrush", "DeleteObject", "StretchDIBits"}}),
    [](const auto &info) { return info.param.name; });

// Through the composition: the attention is raised when the badge is not
// shown, and a missing badge still lets the picture through.
struct AttentionCase {
    int16_t attention;
    int32_t showBadge;
    int16_t after;
    std::string frame;
};

class ComposeAttentionTest : public ::testing::TestWithParam<AttentionCase> {};

TEST_P(ComposeAttentionTest, RaisesWithoutBadgeAndFrames)
{
    const AttentionCase &c = GetParam();
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    Scene s;
    s.Picture(2, 1);
    s.layout.attention = c.attention;
    s.showBadge = c.showBadge;
    s.aux.Add(PP_BADGE_ID, pptest::Uniform8(1, 1, 5));
    s.Add(MakePlaced(30100, 0, 0, 1, 1), pptest::Uniform8(1, 1, 33));
    ASSERT_EQ(s.Compose(dc.get()), PP_RESULT_OK);
    EXPECT_EQ(s.layout.attention, c.after);
    bool framed = false;
    for (const std::string &line : pptest::Timeline(dc.get())) {
        if (line.rfind("FrameRgn", 0) == 0) {
            framed = true;
            EXPECT_NE(line.find(c.frame), std::string::npos) << line;
        }
    }
    EXPECT_EQ(framed, !c.frame.empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, ComposeAttentionTest,
                         ::testing::Values(AttentionCase{30000, 1, 30000, ""},
                                           AttentionCase{30000, 0, 30001, ""},
                                           AttentionCase{30002, 1, 30002, "0x0000ffff"},
                                           AttentionCase{30002, 0, 30003, "0x0000ffff"},
                                           AttentionCase{30004, 1, 30004, "0x000000ff"},
                                           AttentionCase{30004, 0, 30005, "0x000000ff"}));

TEST(ComposePicture, MissingBadgeIsReportedAfterDrawingThePicture)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 16, 16);
    Scene s;
    s.Picture(2, 1);
    s.showBadge = 1;
    s.Add(MakePlaced(30100, 0, 0, 1, 1), pptest::Uniform8(1, 1, 33));
    int32_t live = ppHeapLiveBlocks();
    EXPECT_EQ(s.Compose(dc.get()), PP_RESULT_NOT_FOUND);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
    EXPECT_EQ(pptest::DibRows(pptest::PictureCall(dc.get())), (Bytes{33, 255, 255, 255}));
}

} // namespace
