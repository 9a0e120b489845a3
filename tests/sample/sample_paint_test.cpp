// End to end: the sample catalogue, as the build makes it, painted into
// portable device contexts under the configurations of the gallery
// (scripts/make-gallery, docs/gallery). What reached the device is compared
// with checksums taken from pictures that were looked at: the picture's
// StretchDIBits bitmap (header, colour table and rows) and the whole surface
// afterwards.
//
// When a picture changes on purpose: run scripts/make-gallery, look at the
// pictures, then run this test with PP_SAMPLE_PRINT=1 and take the rows it
// prints.
#include "piecepaint/host.h"
#include "platform/portable/device.h"
#include "platform/portable/heap.h"
#include "support/gdi_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The option presets of samples/options/*.json as option records.
enum Preset { NONE, EVERYTHING, WINTER_NIGHT };

OptionRecord PresetRecord(Preset preset)
{
    OptionRecord r{};
    if (preset == EVERYTHING) // F0 4, F1 2, F2 2, P0 1, P1 1, P2 1, M0 1
        r.bits0 = 4u << 14 | 2u << 17 | 2u << 20 | 1u << 8 | 1u << 6 | 1u << 4 | 1u << 12;
    if (preset == WINTER_NIGHT) // F0 1, F1 2, F2 1, P0 1, flags 0x400 and 0x800, M0 2
        r.bits0 = 1u << 14 | 2u << 17 | 1u << 20 | 1u << 8 | 0x400u | 0x800u | 2u << 12;
    return r;
}

struct SampleCase {
    const char *name; // the gallery picture docs/gallery/<name>.png
    const char *catalogue;
    int device;
    int dest[4];
    bool house; // extra code 500
    Preset preset;
    bool badge;
    int level;
    int zoom;
    int background;
    int brightness;
    const char *picturePlace; // x y w h of the picture's StretchDIBits
    uint32_t pictureHash;     // FNV-1a of its header, colour table and rows
    uint32_t surfaceHash;     // FNV-1a of the surface pixels afterwards
    uint32_t corner;          // surface pixel at the bottom-right corner: frame or fill
};

void PrintTo(const SampleCase &c, std::ostream *out)
{
    *out << c.name;
}

constexpr int TC = PP_DEVICE_TRUECOLOR;
constexpr int C16 = PP_DEVICE_COLOR16;

// clang-format off
const SampleCase CASES[] = {
    // name            catalogue  device dest                house preset        badge level zoom  bg  bright  picture          dib         surface     corner
    {"day",            "house",   TC, {0, 0, 640, 480},  true,  NONE,         false, 0, 0,   224, 0,  "60 69 520 342", 0x4f95f57d, 0xe6e1d6a1, 0xe0e0e0},
    {"everything",     "house",   TC, {0, 0, 640, 480},  true,  EVERYTHING,   true,  0, 0,   224, 0,  "60 35 520 434", 0xeb6d3bf7, 0xdbad99b1, 0xffff00},
    {"winter-night",   "house",   TC, {0, 0, 640, 480},  true,  WINTER_NIGHT, false, 0, 0,   48,  0,  "60 31 520 418", 0x0a94e5f3, 0x83dc03b3, 0xff0000},
    {"ground-only",    "house",   TC, {0, 0, 640, 480},  false, NONE,         false, 0, 0,   224, 0,  "60 200 520 80", 0xd303ab96, 0xa81e5385, 0xe0e0e0},
    {"level4",         "house",   TC, {0, 0, 240, 180},  true,  EVERYTHING,   false, 1, 0,   224, 0,  "37 17 166 145", 0x6ef19ae1, 0xcdfc550d, 0xffff00},
    {"zoom150",        "house",   TC, {0, 0, 640, 480},  true,  NONE,         false, 3, 150, 224, 0,  "70 76 499 328", 0x10087994, 0xbf8a0bf9, 0xe0e0e0},
    {"shrink-zoom",    "house",   TC, {0, 0, 260, 200},  true,  EVERYTHING,   false, 5, 45,  224, 0,  "13 2 233 195", 0x6ff5f5d3, 0xed7e85dc, 0xffff00},
    {"shrink-fit",     "house",   TC, {0, 0, 140, 110},  true,  EVERYTHING,   false, 0, 0,   224, 0,  "7 0 125 109", 0x5ffcdf98, 0x68cf88f9, 0xffff00},
    {"enlarge",        "house",   TC, {0, 0, 960, 720},  true,  EVERYTHING,   false, 0, 0,   200, 0,  "49 0 862 720", 0x783533d2, 0x42e34598, 0xffff00},
    {"brightness",     "house",   TC, {0, 0, 640, 480},  true,  EVERYTHING,   false, 0, 0,   160, 40, "60 23 520 434", 0x82d7a061, 0xea27eccf, 0xffff00},
    {"white",          "house",   TC, {0, 0, 640, 480},  true,  EVERYTHING,   false, 0, 0,   255, 0,  "60 23 520 434", 0x5b4dd0aa, 0x2c4caa9c, 0xffff00},
    {"badge-tight",    "house",   TC, {0, 0, 400, 260},  true,  WINTER_NIGHT, true,  0, 0,   128, 0,  "75 30 250 200", 0x49936a1a, 0x9e10cd0d, 0xff0000},
    {"color16-device", "house",   C16, {0, 0, 340, 260}, true,  EVERYTHING,   false, 5, 60,  192, 0,  "14 0 311 260", 0x19214613, 0x052fec77, 0xffff00},
    {"house16",        "house16", TC, {0, 0, 640, 480},  true,  EVERYTHING,   true,  0, 0,   255, 0,  "60 35 520 434", 0x78c55596, 0x891a5e22, 0xffff00},
    {"house16-night",  "house16", TC, {0, 0, 640, 480},  true,  WINTER_NIGHT, false, 0, 0,   40,  0,  "60 31 520 418", 0x45482cbc, 0x77baa215, 0xff0000},
    {"house16-grey",   "house16", TC, {0, 0, 320, 240},  true,  NONE,         false, 2, 0,   128, 0,  "35 38 250 163", 0xbef2b25e, 0xf1f87280, 0x808080},
};
// clang-format on

std::string SampleDir(const std::string &module)
{
    return std::string(PP_BINARY_DIR) + "/samples/" + module;
}

bool SampleBuilt()
{
    return std::filesystem::is_directory(SampleDir("house")) &&
           std::filesystem::is_directory(SampleDir("house16-aux"));
}

// The modules of one catalogue, open for the length of a test.
class Modules {
  public:
    Modules(const std::string &main, const std::string &aux)
        : main_(ppOpenModule(main.c_str())), aux_(ppOpenModule(aux.c_str()))
    {
    }
    ~Modules()
    {
        ppCloseModule(aux_);
        ppCloseModule(main_);
    }
    Modules(const Modules &) = delete;
    Modules &operator=(const Modules &) = delete;
    HMODULE main() const { return main_; }
    HMODULE aux() const { return aux_; }

  private:
    HMODULE main_;
    HMODULE aux_;
};

struct Painted {
    int result = -1;
    std::string place;
    uint32_t pictureHash = 0;
    uint32_t surfaceHash = 0;
    uint32_t corner = 0;
    size_t stretchCalls = 0;
};

uint32_t SurfaceHash(HDC hdc)
{
    int width = 0, height = 0;
    const uint32_t *pixels = ppDCPixels(hdc, &width, &height);
    return Fnv32(reinterpret_cast<const uint8_t *>(pixels),
                 static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
}

// Paints one configuration as the tool's render command does: a device
// just large enough for the destination, the space offered equal to it.
Painted Paint(const SampleCase &c, HMODULE main, HMODULE aux)
{
    pptest::DeviceGuard dc(c.device, c.dest[0] + c.dest[2], c.dest[1] + c.dest[3]);
    OptionRecord options = PresetRecord(c.preset);
    const uint16_t house[] = {500, 0};
    Painted p;
    p.result =
        PaintPrt(dc.get(), main, aux, c.dest[0], c.dest[1], c.dest[2], c.dest[3], c.dest[2],
                 c.dest[3], c.badge ? 1 : 0, c.level, c.zoom, c.preset == NONE ? nullptr : &options,
                 c.background, c.brightness, c.house ? house : nullptr);
    std::vector<DeviceCall> stretches = pptest::CallsNamed(dc.get(), "StretchDIBits");
    p.stretchCalls = stretches.size();
    if (!stretches.empty()) {
        const DeviceCall &picture = stretches.back();
        p.place = std::to_string(picture.args[0]) + " " + std::to_string(picture.args[1]) + " " +
                  std::to_string(picture.args[2]) + " " + std::to_string(picture.args[3]);
        p.pictureHash = Fnv32(picture.payload.data(), picture.payload.size());
    }
    p.surfaceHash = SurfaceHash(dc.get());
    p.corner = pptest::SurfacePixel(dc.get(), c.dest[0] + c.dest[2] - 2, c.dest[1] + c.dest[3] - 2);
    return p;
}

std::string ModuleOf(const SampleCase &c)
{
    return SampleDir(c.catalogue);
}

std::string AuxOf(const SampleCase &c)
{
    return SampleDir(std::string(c.catalogue) + "-aux");
}

class SamplePaint : public testing::TestWithParam<SampleCase> {
  protected:
    void SetUp() override
    {
        if (!SampleBuilt())
            GTEST_SKIP() << "the sample is built with the tools (PIECEPAINT_TOOLS=ON)";
    }
};

TEST_P(SamplePaint, DeviceReceivesTheLookedAtPicture)
{
    const SampleCase &c = GetParam();
    Modules modules(ModuleOf(c), AuxOf(c));
    ASSERT_NE(modules.main(), nullptr);
    ASSERT_NE(modules.aux(), nullptr);

    int32_t liveBefore = ppHeapLiveBlocks();
    Painted p = Paint(c, modules.main(), modules.aux());
    EXPECT_EQ(ppHeapLiveBlocks(), liveBefore) << "the paint left heap blocks behind";

    if (std::getenv("PP_SAMPLE_PRINT") != nullptr)
        std::printf("    {\"%s\", ... \"%s\", 0x%08x, 0x%08x, 0x%06x},\n", c.name, p.place.c_str(),
                    p.pictureHash, p.surfaceHash, p.corner);
    EXPECT_EQ(p.result, PP_RESULT_OK);
    EXPECT_EQ(p.stretchCalls, c.badge ? 2u : 1u) << "the badge and the picture";
    EXPECT_EQ(p.place, c.picturePlace);
    EXPECT_EQ(p.pictureHash, c.pictureHash) << std::hex << "picture bitmap 0x" << p.pictureHash;
    EXPECT_EQ(p.surfaceHash, c.surfaceHash) << std::hex << "surface 0x" << p.surfaceHash;
    EXPECT_EQ(p.corner, c.corner) << std::hex << "corner 0x" << p.corner;
}

INSTANTIATE_TEST_SUITE_P(Gallery, SamplePaint, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<SampleCase> &info) {
                             std::string name = info.param.name;
                             for (char &ch : name)
                                 if (ch == '-')
                                     ch = '_';
                             return name;
                         });

// Every form of a module the build makes paints the same picture.
class SampleForms : public testing::TestWithParam<const char *> {
  protected:
    void SetUp() override
    {
        if (!SampleBuilt())
            GTEST_SKIP() << "the sample is built with the tools (PIECEPAINT_TOOLS=ON)";
    }
};

TEST_P(SampleForms, DirectoryAndBothDllsPaintAlike)
{
    std::string catalogue = GetParam();
    SampleCase c = CASES[1]; // every option, with the badge from the second module
    c.catalogue = GetParam();
    Modules directory(SampleDir(catalogue), SampleDir(catalogue + "-aux"));
    Painted expected = Paint(c, directory.main(), directory.aux());
    ASSERT_EQ(expected.result, PP_RESULT_OK);
    for (const char *suffix : {".dll", "-x64.dll"}) {
        SCOPED_TRACE(suffix);
        Modules dll(SampleDir(catalogue + suffix), SampleDir(catalogue + "-aux" + suffix));
        ASSERT_NE(dll.main(), nullptr);
        ASSERT_NE(dll.aux(), nullptr);
        Painted p = Paint(c, dll.main(), dll.aux());
        EXPECT_EQ(p.result, PP_RESULT_OK);
        EXPECT_EQ(p.pictureHash, expected.pictureHash);
        EXPECT_EQ(p.surfaceHash, expected.surfaceHash);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogues, SampleForms, testing::Values("house", "house16"));

// Positions of the lines that start with name.
std::vector<size_t> LinesNamed(const std::vector<std::string> &lines, const std::string &name)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].rfind(name + " ", 0) == 0)
            at.push_back(i);
    return at;
}

// Both catalogues ask for the library palette: on a palette device that has
// it, the paint selects it before anything is drawn and puts the previous
// one back after the picture; a true-colour device is left alone.
TEST_P(SampleForms, LibraryPaletteIsSelectedRoundTheDrawing)
{
    std::string catalogue = GetParam();
    Modules modules(SampleDir(catalogue), SampleDir(catalogue + "-aux"));
    for (int kind : {PP_DEVICE_PALETTE256, PP_DEVICE_TRUECOLOR}) {
        SCOPED_TRACE(kind);
        pptest::DeviceGuard dc(kind, 640, 480);
        ManagePal(dc.get(), 0, 783); // the host builds the palette
        dc.ClearLogs();
        OptionRecord options = PresetRecord(EVERYTHING);
        const uint16_t house[] = {500, 0};
        EXPECT_EQ(PaintPrt(dc.get(), modules.main(), modules.aux(), 0, 0, 640, 480, 640, 480, 1, 0,
                           0, &options, 224, 0, house),
                  PP_RESULT_OK);
        std::vector<std::string> lines = pptest::Timeline(dc.get());
        std::vector<size_t> selections = LinesNamed(lines, "SelectPalette");
        std::vector<size_t> drawings = LinesNamed(lines, "StretchDIBits");
        ASSERT_EQ(drawings.size(), 2u);
        if (kind == PP_DEVICE_PALETTE256) {
            ASSERT_EQ(selections.size(), 2u);
            EXPECT_LT(selections[0], LinesNamed(lines, "FillRgn").at(0));
            EXPECT_GT(selections[1], drawings[1]);
        } else {
            EXPECT_TRUE(selections.empty());
        }
        ManagePal(dc.get(), 0, 2); // and destroys it
    }
}

} // namespace
