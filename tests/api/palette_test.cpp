// The library palette: its 256 entries, and the GDI calls ManagePal makes
// for each message, read from the device and object logs.
#include "api/palette.h"
#include "platform/portable/heap.h"
#include "support/gdi_log.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using pptest::DeviceGuard;
using pptest::Rename;
using pptest::Timeline;
using Lines = std::vector<std::string>;

struct EntryCheck {
    int index;
    int red;
    int green;
    int blue;
};

TEST(PaletteEntries, MatchTheCheckValues)
{
    PALETTEENTRY entries[256];
    BuildPaletteEntries(entries);
    const EntryCheck checks[] = {
        {0, 255, 0, 0},       {1, 255, 255, 0},   {2, 0, 255, 0},       {3, 0, 255, 255},
        {4, 255, 0, 255},     {5, 128, 128, 128}, {6, 192, 192, 192},   {7, 64, 64, 64},
        {131, 2, 2, 2},       {132, 85, 85, 170}, {155, 255, 255, 170}, {156, 63, 63, 126},
        {215, 252, 252, 189}, {216, 51, 51, 102}, {253, 102, 153, 255}, {254, 102, 204, 51},
        {255, 102, 204, 102},
    };
    for (const EntryCheck &c : checks) {
        EXPECT_EQ(entries[c.index].peRed, c.red) << "entry " << c.index;
        EXPECT_EQ(entries[c.index].peGreen, c.green) << "entry " << c.index;
        EXPECT_EQ(entries[c.index].peBlue, c.blue) << "entry " << c.index;
    }
}

TEST(PaletteEntries, GreysAreEveryEvenLevelOnceAndFlagsNoCollapse)
{
    PALETTEENTRY entries[256];
    BuildPaletteEntries(entries);
    std::set<int> greys;
    for (int i = 5; i < 132; ++i) {
        EXPECT_EQ(entries[i].peRed, entries[i].peGreen);
        EXPECT_EQ(entries[i].peRed, entries[i].peBlue);
        greys.insert(entries[i].peRed);
    }
    std::set<int> even;
    for (int n = 2; n <= 254; n += 2)
        even.insert(n);
    EXPECT_EQ(greys, even);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(entries[i].peFlags, PC_NOCOLLAPSE) << "entry " << i;
        bool black = entries[i].peRed == 0 && entries[i].peGreen == 0 && entries[i].peBlue == 0;
        bool white =
            entries[i].peRed == 255 && entries[i].peGreen == 255 && entries[i].peBlue == 255;
        EXPECT_FALSE(black || white) << "entry " << i;
    }
    // Cube entries never repeat a grey.
    for (int i = 132; i < 256; ++i)
        EXPECT_FALSE(entries[i].peRed == entries[i].peGreen &&
                     entries[i].peGreen == entries[i].peBlue);
}

TEST(DeviceQueries, ReportColoursAndPaletteByDeviceKind)
{
    struct Case {
        int kind;
        int32_t colors;
        int32_t palette;
    };
    // A 32-bit device shifts by 32 mod 32 = 0: one colour.
    for (Case c : {Case{PP_DEVICE_TRUECOLOR, 1, 0}, Case{PP_DEVICE_PALETTE256, 256, 1},
                   Case{PP_DEVICE_COLOR16, 16, 0}}) {
        DeviceGuard dc(c.kind, 4, 4);
        EXPECT_EQ(GetDevColors(dc.get()), c.colors) << "kind " << c.kind;
        EXPECT_EQ(HasDevPalette(dc.get()), c.palette) << "kind " << c.kind;
    }
}

// Every test starts without a library palette and deletes the one it made.
class ManagePalTest : public ::testing::Test {
  protected:
    void SetUp() override { ForgetPaletteHandles(); }
    void TearDown() override
    {
        ManagePal(dc_.get(), 0, PAL_MSG_DESTROY);
        ForgetPaletteHandles();
        ppHeapFailNth(0);
        ppGdiFailCreateNth(0);
    }

    // The log with the library palette named "lib".
    Lines Calls()
    {
        Lines lines = Timeline(dc_.get());
        return libName_.empty() ? lines : Rename(lines, libName_, "lib");
    }
    void NameLibrary() { libName_ = DescribeObject(LibPaletteHandle()); }

    DeviceGuard dc_{PP_DEVICE_PALETTE256, 8, 8};
    std::string libName_;
};

TEST_F(ManagePalTest, UnknownMessagesAndMessagesBeforeAPaletteMakeNoCall)
{
    for (unsigned message : {0u, 1u, 3u, 14u, 16u, 782u, 784u, 1024u, 1026u, 0xFFFFFFFFu})
        EXPECT_EQ(ManagePal(dc_.get(), 0, message), 0) << message;
    EXPECT_EQ(ManagePal(dc_.get(), 0, PAL_MSG_DESTROY), 0);
    EXPECT_EQ(ManagePal(dc_.get(), 0, PAL_MSG_PAINT), 0);
    EXPECT_EQ(ManagePal(dc_.get(), 1, PAL_MSG_PAINT), 0);
    EXPECT_EQ(Calls(), Lines{});
    EXPECT_EQ(LibPaletteHandle(), nullptr);
}

TEST_F(ManagePalTest, FirstQueryBuildsRealisesAndRestores)
{
    int32_t live = ppHeapLiveBlocks();
    int result = ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
    ASSERT_NE(LibPaletteHandle(), nullptr);
    NameLibrary();
    EXPECT_EQ(ppHeapLiveBlocks(), live) << "the LOGPALETTE buffer is freed";
    EXPECT_EQ(Calls(), (Lines{"CreatePalette 0x00000300 256", "SelectPalette lib 0",
                              "RealizePalette", "UnrealizeObject lib", "SelectPalette lib 0",
                              "RealizePalette", "SelectPalette pal(stock) 1", "RealizePalette"}));
    std::vector<DeviceCall> realised = pptest::CallsNamed(dc_.get(), "RealizePalette");
    ASSERT_EQ(realised.size(), 3u);
    EXPECT_GT(realised[0].result, 0);
    EXPECT_EQ(result, realised[0].result + realised[1].result);

    const HGDIOBJ__ *lib = UsableObject(LibPaletteHandle(), GdiKind::Palette);
    ASSERT_NE(lib, nullptr);
    PALETTEENTRY expected[256];
    BuildPaletteEntries(expected);
    ASSERT_EQ(lib->entries.size(), 256u);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(lib->entries[i].peRed, expected[i].peRed);
        EXPECT_EQ(lib->entries[i].peGreen, expected[i].peGreen);
        EXPECT_EQ(lib->entries[i].peBlue, expected[i].peBlue);
        EXPECT_EQ(lib->entries[i].peFlags, PC_NOCOLLAPSE);
    }
}

TEST_F(ManagePalTest, SecondQueryRealisesOnceWithoutBuilding)
{
    ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
    NameLibrary();
    dc_.ClearLogs();
    int result = ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
    EXPECT_EQ(Calls(), (Lines{"SelectPalette lib 0", "RealizePalette", "SelectPalette pal(stock) 1",
                              "RealizePalette"}));
    EXPECT_EQ(result, pptest::CallsNamed(dc_.get(), "RealizePalette")[0].result);
    EXPECT_EQ(PrevPaletteHandle(), StockPalette());
}

TEST_F(ManagePalTest, Message1025SelectsTheLibraryAsBackground)
{
    ManagePal(dc_.get(), 0, PAL_MSG_SELECT_BACKGROUND);
    NameLibrary();
    EXPECT_EQ(Calls(), (Lines{"CreatePalette 0x00000300 256", "SelectPalette lib 1",
                              "RealizePalette", "UnrealizeObject lib", "SelectPalette lib 1",
                              "RealizePalette", "SelectPalette pal(stock) 1", "RealizePalette"}));
}

TEST_F(ManagePalTest, PaintTwiceWithoutRestoreLeavesTheLibraryAsPrevious)
{
    ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
    NameLibrary();
    dc_.ClearLogs();
    EXPECT_EQ(ManagePal(dc_.get(), 0, PAL_MSG_PAINT), 0);
    EXPECT_EQ(PrevPaletteHandle(), StockPalette());
    EXPECT_EQ(ManagePal(dc_.get(), 0, PAL_MSG_PAINT), 0);
    EXPECT_EQ(PrevPaletteHandle(), LibPaletteHandle());
    EXPECT_EQ(ManagePal(dc_.get(), 1, PAL_MSG_PAINT), 0);
    EXPECT_EQ(Calls(), (Lines{"SelectPalette lib 1", "RealizePalette", "SelectPalette lib 1",
                              "RealizePalette", "SelectPalette lib 1", "RealizePalette"}));
}

TEST_F(ManagePalTest, PaintRestoreWithoutPreviousMakesNoCall)
{
    // Selections into a dead device context return null, so prevPalette
    // stays null while the palette itself is built.
    EXPECT_EQ(ManagePal(nullptr, 0, PAL_MSG_QUERY_NEW), 0);
    ASSERT_NE(LibPaletteHandle(), nullptr);
    EXPECT_EQ(PrevPaletteHandle(), nullptr);
    dc_.ClearLogs();
    EXPECT_EQ(ManagePal(dc_.get(), 1, PAL_MSG_PAINT), 0);
    EXPECT_EQ(Calls(), Lines{});
}

TEST_F(ManagePalTest, DestroyDeletesAndForgetsTheLibrary)
{
    ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
    NameLibrary();
    dc_.ClearLogs();
    EXPECT_EQ(ManagePal(dc_.get(), 0, PAL_MSG_DESTROY), 0);
    EXPECT_EQ(Calls(), (Lines{"SelectPalette pal(stock) 0", "RealizePalette", "DeleteObject lib"}));
    EXPECT_EQ(LibPaletteHandle(), nullptr);
    EXPECT_EQ(PrevPaletteHandle(), StockPalette()) << "prevPalette keeps its value";

    // Until the next query builds a new palette, 2 and 15 do nothing.
    dc_.ClearLogs();
    EXPECT_EQ(ManagePal(dc_.get(), 0, PAL_MSG_DESTROY), 0);
    EXPECT_EQ(ManagePal(dc_.get(), 0, PAL_MSG_PAINT), 0);
    EXPECT_EQ(Calls(), Lines{});
    ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
    EXPECT_NE(LibPaletteHandle(), nullptr);
    EXPECT_EQ(Calls().front(), "CreatePalette 0x00000300 256");
}

TEST_F(ManagePalTest, FailedBufferReturnsZeroAndTriesAgainLater)
{
    int32_t live = ppHeapLiveBlocks();
    ppHeapFailNth(1);
    EXPECT_EQ(ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW), 0);
    EXPECT_EQ(Calls(), Lines{});
    EXPECT_EQ(LibPaletteHandle(), nullptr);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
    EXPECT_GT(ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW), 0);
    EXPECT_NE(LibPaletteHandle(), nullptr);
}

TEST_F(ManagePalTest, FailedCreationFreesTheBufferAndReturnsTheOneRealisation)
{
    int32_t live = ppHeapLiveBlocks();
    ppGdiFailCreateNth(1);
    int result = ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
    EXPECT_EQ(LibPaletteHandle(), nullptr);
    EXPECT_EQ(PrevPaletteHandle(), nullptr);
    EXPECT_EQ(Calls(), (Lines{"CreatePalette 0x00000300 256", "SelectPalette null 0",
                              "RealizePalette", "UnrealizeObject null"}));
    EXPECT_EQ(result, pptest::CallsNamed(dc_.get(), "RealizePalette")[0].result);
    // The next message tries again.
    ManagePal(dc_.get(), 0, PAL_MSG_QUERY_NEW);
    EXPECT_NE(LibPaletteHandle(), nullptr);
}

TEST(ShowPrtInit, DoesNothing)
{
    int32_t live = ppHeapLiveBlocks();
    ShowPrtInit();
    EXPECT_EQ(ppHeapLiveBlocks(), live);
}

} // namespace
