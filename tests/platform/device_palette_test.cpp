// Device queries and palette calls.
#include "platform/portable/device.h"
#include "support/dib.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using pptest::DeviceGuard;

struct CapsCase {
    int kind;
    int planes, bitsPixel;
    bool palette;
    int sizePalette, numColors;
    int devColors; // PLANES << (BITSPIXEL % 32), as the library computes it
};

class DeviceCaps : public ::testing::TestWithParam<CapsCase> {};

TEST_P(DeviceCaps, AnswersForTheKind)
{
    const CapsCase &c = GetParam();
    DeviceGuard dc(c.kind, 4, 4);
    ASSERT_NE(dc.get(), nullptr);
    EXPECT_EQ(GetDeviceCaps(dc.get(), PLANES), c.planes);
    EXPECT_EQ(GetDeviceCaps(dc.get(), BITSPIXEL), c.bitsPixel);
    EXPECT_EQ((GetDeviceCaps(dc.get(), RASTERCAPS) & RC_PALETTE) != 0, c.palette);
    EXPECT_EQ(GetDeviceCaps(dc.get(), SIZEPALETTE), c.sizePalette);
    EXPECT_EQ(GetDeviceCaps(dc.get(), NUMCOLORS), c.numColors);
    uint32_t planes = static_cast<uint32_t>(GetDeviceCaps(dc.get(), PLANES));
    EXPECT_EQ(static_cast<int>(planes << (GetDeviceCaps(dc.get(), BITSPIXEL) % 32)), c.devColors);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeviceCaps,
                         ::testing::Values(CapsCase{PP_DEVICE_TRUECOLOR, 1, 32, false, 0, -1, 1},
                                           CapsCase{PP_DEVICE_PALETTE256, 1, 8, true, 256, 20, 256},
                                           CapsCase{PP_DEVICE_COLOR16, 1, 4, false, 0, 16, 16}));

TEST(DeviceCaps, StretchModeDefaultsAndRejectsInvalidModes)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 1, 1);
    EXPECT_EQ(GetStretchBltMode(dc.get()), BLACKONWHITE);
    struct Step {
        int mode, result, after;
    };
    const Step steps[] = {{COLORONCOLOR, BLACKONWHITE, COLORONCOLOR},
                          {0, 0, COLORONCOLOR},
                          {5, 0, COLORONCOLOR},
                          {-1, 0, COLORONCOLOR},
                          {HALFTONE, COLORONCOLOR, HALFTONE},
                          {WHITEONBLACK, HALFTONE, WHITEONBLACK},
                          {BLACKONWHITE, WHITEONBLACK, BLACKONWHITE}};
    for (const Step &step : steps) {
        EXPECT_EQ(SetStretchBltMode(dc.get(), step.mode), step.result) << "mode " << step.mode;
        EXPECT_EQ(GetStretchBltMode(dc.get()), step.after);
    }
}

// A palette of count entries (r, g, b) = (i + 1, 7, 9), all with flags.
HPALETTE MakePalette(int count, BYTE flags, std::vector<PALETTEENTRY> extra = {})
{
    std::vector<uint8_t> buffer(4 + 4 * static_cast<size_t>(count + extra.size()));
    LOGPALETTE *log = reinterpret_cast<LOGPALETTE *>(buffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = static_cast<WORD>(count + extra.size());
    for (int i = 0; i < count; ++i)
        log->palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(i + 1), 7, 9, flags};
    for (size_t i = 0; i < extra.size(); ++i)
        log->palPalEntry[count + i] = extra[i];
    return CreatePalette(log);
}

TEST(CreatePalette, RefusesNullAndEmptyAndCopiesTheEntries)
{
    EXPECT_EQ(CreatePalette(nullptr), nullptr);
    LOGPALETTE empty{0x300, 0, {{1, 2, 3, 0}}};
    EXPECT_EQ(CreatePalette(&empty), nullptr);

    LOGPALETTE one{0x300, 1, {{10, 20, 30, PC_NOCOLLAPSE}}};
    HPALETTE palette = CreatePalette(&one);
    ASSERT_NE(palette, nullptr);
    one.palPalEntry[0].peRed = 99;
    ASSERT_EQ(palette->entries.size(), 1u);
    EXPECT_EQ(palette->entries[0].peRed, 10);
    EXPECT_EQ(palette->entries[0].peFlags, PC_NOCOLLAPSE);
    EXPECT_EQ(UnrealizeObject(palette), TRUE);
    EXPECT_EQ(DeleteObject(palette), TRUE);
    EXPECT_EQ(UnrealizeObject(palette), FALSE);
}

TEST(SelectPalette, ReturnsThePreviousPalette)
{
    DeviceGuard dc(PP_DEVICE_PALETTE256, 2, 2);
    HPALETTE a = MakePalette(3, 0);
    HPALETTE b = MakePalette(4, 0);
    // Every context starts with the stock palette.
    HPALETTE first = SelectPalette(dc.get(), a, FALSE);
    EXPECT_EQ(first, StockPalette());
    EXPECT_NE(first, nullptr);
    // The same palette again returns itself.
    EXPECT_EQ(SelectPalette(dc.get(), a, TRUE), a);
    // A null palette selects nothing and returns null.
    EXPECT_EQ(SelectPalette(dc.get(), nullptr, FALSE), nullptr);
    EXPECT_EQ(SelectPalette(dc.get(), b, FALSE), a);
    EXPECT_EQ(SelectPalette(dc.get(), first, TRUE), b);
    // A deleted palette cannot be selected.
    DeleteObject(b);
    EXPECT_EQ(SelectPalette(dc.get(), b, FALSE), nullptr);
    EXPECT_EQ(SelectPalette(nullptr, a, FALSE), nullptr);
    DeleteObject(a);
}

TEST(SelectPalette, DeletingTheSelectedPaletteWaitsForItsRelease)
{
    DeviceGuard dc(PP_DEVICE_PALETTE256, 2, 2);
    HPALETTE a = MakePalette(3, PC_NOCOLLAPSE);
    SelectPalette(dc.get(), a, FALSE);
    EXPECT_EQ(DeleteObject(a), TRUE);
    // Still selected and usable by the context.
    EXPECT_EQ(RealizePalette(dc.get()), 3u);
    EXPECT_EQ(SelectPalette(dc.get(), StockPalette(), FALSE), a);
    EXPECT_EQ(UsableObject(a), nullptr);
}

struct RealiseCase {
    const char *name;
    int kind;
    int count;    // entries (i + 1, 7, 9)
    BYTE flags;   // on those entries
    bool statics; // adds white, black and a repeat of entry 0, unflagged
    UINT first;   // the first realisation
};

class RealizePaletteCount : public ::testing::TestWithParam<RealiseCase> {};

TEST_P(RealizePaletteCount, CountsEntriesNewlyMapped)
{
    const RealiseCase &c = GetParam();
    DeviceGuard dc(c.kind, 2, 2);
    std::vector<PALETTEENTRY> extra;
    if (c.statics)
        extra = {{255, 255, 255, 0}, {0, 0, 0, 0}, {1, 7, 9, 0}};
    HPALETTE palette = MakePalette(c.count, c.flags, extra);
    // The stock palette holds only static colours.
    EXPECT_EQ(RealizePalette(dc.get()), 0u);
    SelectPalette(dc.get(), palette, FALSE);
    EXPECT_EQ(RealizePalette(dc.get()), c.first);
    EXPECT_EQ(RealizePalette(dc.get()), 0u); // nothing changed
    UnrealizeObject(palette);
    EXPECT_EQ(RealizePalette(dc.get()), c.first); // starts over
    SelectPalette(dc.get(), StockPalette(), TRUE);
    EXPECT_EQ(RealizePalette(dc.get()), 0u);
    DeleteObject(palette);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealizePaletteCount,
    ::testing::Values(RealiseCase{"Plain", PP_DEVICE_PALETTE256, 5, 0, false, 5},
                      // Static colours and repeats collapse onto existing slots ...
                      RealiseCase{"Collapsing", PP_DEVICE_PALETTE256, 5, 0, true, 5},
                      // ... unless the entries ask for their own slot.
                      RealiseCase{"NoCollapse", PP_DEVICE_PALETTE256, 5, PC_NOCOLLAPSE, false, 5},
                      // 236 free slots between the 20 static colours.
                      RealiseCase{"Full", PP_DEVICE_PALETTE256, 250, PC_NOCOLLAPSE, false, 236},
                      RealiseCase{"TrueColour", PP_DEVICE_TRUECOLOR, 5, 0, false, 0},
                      RealiseCase{"SixteenColours", PP_DEVICE_COLOR16, 5, 0, false, 0}),
    [](const ::testing::TestParamInfo<RealiseCase> &info) { return info.param.name; });

TEST(RealizePaletteCount, NoCollapseEntriesTakeTheirOwnSlots)
{
    DeviceGuard dc(PP_DEVICE_PALETTE256, 2, 2);
    HPALETTE palette =
        MakePalette(2, PC_NOCOLLAPSE, {{255, 255, 255, PC_NOCOLLAPSE}, {1, 7, 9, PC_NOCOLLAPSE}});
    SelectPalette(dc.get(), palette, FALSE);
    EXPECT_EQ(RealizePalette(dc.get()), 4u);
    SelectPalette(dc.get(), StockPalette(), FALSE);
    DeleteObject(palette);
}

TEST(RealizePaletteCount, ForegroundPaletteTakesSlotsBackgroundOnlyFreeOnes)
{
    DeviceGuard dc(PP_DEVICE_PALETTE256, 2, 2);
    HPALETTE big = MakePalette(236, PC_NOCOLLAPSE);
    LOGPALETTE other{0x300, 1, {{200, 100, 50, 0}}};
    HPALETTE small = CreatePalette(&other);
    SelectPalette(dc.get(), big, FALSE);
    EXPECT_EQ(RealizePalette(dc.get()), 236u);
    SelectPalette(dc.get(), small, TRUE);
    EXPECT_EQ(RealizePalette(dc.get()), 0u); // no free slot left
    SelectPalette(dc.get(), small, FALSE);
    EXPECT_EQ(RealizePalette(dc.get()), 1u); // takes the slots back
    SelectPalette(dc.get(), big, TRUE);
    EXPECT_EQ(RealizePalette(dc.get()), 235u); // all but the one slot now taken
    SelectPalette(dc.get(), StockPalette(), FALSE);
    DeleteObject(big);
    DeleteObject(small);
}

TEST(RealizePaletteCount, LibraryStylePaletteMessageSequence)
{
    // Create, select, realise, unrealise, select again, realise, put the
    // previous palette back: what a palette message does on first use.
    DeviceGuard dc(PP_DEVICE_PALETTE256, 2, 2);
    HPALETTE library = MakePalette(256, PC_NOCOLLAPSE);
    HPALETTE previous = SelectPalette(dc.get(), library, FALSE);
    UINT first = RealizePalette(dc.get());
    UnrealizeObject(library);
    EXPECT_EQ(previous, StockPalette());
    EXPECT_EQ(first, 236u);
    EXPECT_EQ(SelectPalette(dc.get(), library, FALSE), library);
    EXPECT_EQ(RealizePalette(dc.get()), 236u);
    EXPECT_EQ(SelectPalette(dc.get(), previous, TRUE), library);
    EXPECT_EQ(RealizePalette(dc.get()), 0u);
    // A second message: the palette is already realised.
    EXPECT_EQ(SelectPalette(dc.get(), library, FALSE), StockPalette());
    EXPECT_EQ(RealizePalette(dc.get()), 0u);
    SelectPalette(dc.get(), previous, TRUE);
    DeleteObject(library);
}

} // namespace
