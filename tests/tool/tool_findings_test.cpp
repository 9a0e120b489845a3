// What a catalogue author runs into: fixed levels against the catalogue's
// own, numbers out of range, failed paints that write nothing, builds that
// check, 16-bit art and the default palette. The bad-input table of
// docs/cli.md is generated from the cases here.
#include "tool_harness.h"

#include <png.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace pptest {
namespace {

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// Three size levels (2 to 4) of one always-on piece, art from a.png.
std::string ThreeLevels(const std::string &headerExtra = "", const std::string &artExtra = "")
{
    return R"({"catalogue": {"maxPieces": 4, "levelCount": 3, "idStep": 100, "idBase": 1000,
        "bitsPerPixel": 8, "colorCount": 256, "keyIndex": 13)" +
           headerExtra + R"(,
        "templates": [{"code": 400, "placeX": "0x0001", "placeY": "0x0001", "bitmapId": 1,
                       "width": [0, 0, 8, 6, 4], "height": [0, 0, 4, 3, 2]}]},
      "resources": [{"id": 1001, "png": "a.png", "size": [8, 4]},
                    {"id": 1101, "png": "a.png", "size": [6, 3]})" +
           artExtra + R"(]})";
}
const char *const level4Art = R"(, {"id": 1201, "png": "a.png", "size": [4, 2]})";

class FindingsTest : public ToolTest {
  protected:
    void SetUp() override
    {
        ToolTest::SetUp();
        Bytes grey(8 * 4 * 4, 192);
        WriteBytes(Path("a.png"), EncodePngRgba(8, 4, grey));
        WriteText("m.json", ThreeLevels("", level4Art));
        ToolRun built = Run("catalog build m.json --out m");
        ASSERT_EQ(built.exitCode, 0) << built.output;
    }
};

// ---- bad input: refused with its range or reason, exit 2 ----

struct BadInput {
    const char *args;
    int exitCode;
    const char *message;
};

const BadInput badInputs[] = {
    {"render --module m --level 4 -o x.png", 2,
     "--level 4 asks for size level 1, but this catalogue has size levels 2 to 4"},
    {"render --module m --size-level 1 -o x.png", 2, "--size-level 1, but this catalogue has"},
    {"render --module m --size-level 5 -o x.png", 2, "--size-level: 5 is out of range (0 to 4)"},
    {"render --module m --level -1 -o x.png", 2, "--level: -1 is out of range"},
    {"render --module m --level 9 -o x.png", 2, "--level: 9 is out of range"},
    {"render --module m --level 1 --size-level 4 -o x.png", 2, "give one of them"},
    {"render --module m --dest 0,0,-300,200 -o x.png", 2,
     "--dest: the width and height must be 1 to 32767"},
    {"render --module m --avail 0,100 -o x.png", 2, "--avail: 0 is out of range (1 to 32767)"},
    {"render --module m --size-level 4 --zoom -50 -o x.png", 2, "--zoom: -50 is out of range"},
    {"render --module m --zoom 150 -o x.png", 2, "--zoom applies only to a fixed size level"},
    {"render --module m --background 300 -o x.png", 2,
     "--background: 300 is out of range (0 to 255)"},
    {"render --module m --brightness 1000 -o x.png", 2,
     "--brightness: 1000 is out of range (-128 to 127)"},
    {"render --module m -o x.jpg", 2, "the tool writes PNG files only"},
    {"render --module m -o -", 2, "cannot go to standard output"},
    {"render --module m --device truecolour -o x.png", 2, "(did you mean \"truecolor\"?)"},
    {"render --module m --levle 2", 2, "unknown option --levle (did you mean \"--level\"?)"},
    {"catalog shwo m", 2, "unknown command shwo (did you mean \"show\"?)"},
    {"catalog build m.json --out o --pe32 --pe32plus", 2, "exclude each other"},
};

// The line a user reads first: the tool's own message, else the parser's.
std::string MessageLine(const std::string &output)
{
    std::istringstream in(output);
    std::string line, first, tool;
    while (std::getline(in, line)) {
        if (first.empty())
            first = line;
        if (line.rfind("piecepaint: ", 0) == 0)
            tool = line.substr(12);
    }
    return tool.empty() ? first : tool;
}

TEST_F(FindingsTest, BadInputIsRefusedAndDocsListIt)
{
    std::string table = "| command | exit | message |\n|---|---|---|\n";
    for (const BadInput &c : badInputs) {
        ToolRun run = Run(c.args);
        EXPECT_FALSE(run.crashed) << c.args;
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.output;
        EXPECT_TRUE(Contains(run.output, c.message)) << c.args << "\n" << run.output;
        EXPECT_FALSE(std::filesystem::exists(Path("x.png"))) << c.args;
        table += "| `piecepaint " + std::string(c.args) + "` | " + std::to_string(run.exitCode) +
                 " | " + MessageLine(run.output) + " |\n";
    }
    // docs/cli.md carries this table between its markers; PP_WRITE_DOCS=1
    // rewrites it there.
    std::filesystem::path doc = std::filesystem::path(PP_SOURCE_DIR) / "docs" / "cli.md";
    std::ifstream in(doc);
    std::stringstream text;
    text << in.rdbuf();
    std::string content = text.str();
    const std::string begin = "<!-- bad-input table: begin -->\n";
    const std::string end = "<!-- bad-input table: end -->";
    size_t from = content.find(begin);
    size_t to = content.find(end);
    ASSERT_TRUE(from != std::string::npos && to != std::string::npos) << doc;
    std::string current = content.substr(from + begin.size(), to - from - begin.size());
    const char *write = std::getenv("PP_WRITE_DOCS");
    if (write != nullptr && std::string(write) == "1" && current != table) {
        content.replace(from + begin.size(), current.size(), table);
        std::ofstream(doc) << content;
        return;
    }
    EXPECT_EQ(current, table) << "docs/cli.md is stale: run this test with PP_WRITE_DOCS=1";
}

// ---- paints that fail write nothing and say where they failed ----

TEST_F(FindingsTest, FailedPaintWritesNothingAndNamesThePiece)
{
    std::filesystem::remove(Path("m/1201.bin"));
    WriteText("old.png", "keep me");
    ToolRun run = Run("render --module m --dest 0,0,4,2 -o old.png");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    for (const char *part : {"result 7", "template 0 (code 400), bitmap 1201",
                             "run 'piecepaint catalog check m'", "nothing written: old.png"})
        EXPECT_TRUE(Contains(run.output, part)) << part << "\n" << run.output;
    EXPECT_EQ(ReadText("old.png"), "keep me");

    ToolRun good = Run("render --module m --size-level 3");
    EXPECT_EQ(good.exitCode, 0) << good.output;
    EXPECT_TRUE(Contains(good.output, "wrote picture.png")) << good.output;
    EXPECT_TRUE(std::filesystem::exists(Path("picture.png")));
}

TEST_F(FindingsTest, ExplainNamesAttentionAndShowWritesItsFile)
{
    ToolRun run = Run("render --module m --explain -o p.png");
    EXPECT_TRUE(Contains(run.output, "attention none")) << run.output;
    ToolRun show = Run("catalog show m -o shown.txt");
    EXPECT_EQ(show.exitCode, 0) << show.output;
    EXPECT_TRUE(Contains(ReadText("shown.txt"), "levelCount       3")) << ReadText("shown.txt");
}

// ---- the contact sheet ----

TEST_F(FindingsTest, SheetPaintsEveryCombinationAndNamesTheFailures)
{
    ToolRun good = Run("sheet --module m --vary F0=0,1,2 --vary P0=0,1 -o s.png");
    EXPECT_EQ(good.exitCode, 0) << good.output;
    EXPECT_TRUE(Contains(good.output, "6 configuration(s), 0 failing")) << good.output;
    ToolRun pairwise = Run("sheet --module m --vary F0=0,1,2 --vary F1=0,1,2 --vary F2=0,1,2 "
                           "--max 8 -o p.png");
    EXPECT_TRUE(Contains(pairwise.output, "(a pairwise-covering subset)")) << pairwise.output;
    // Every value pair of every two fields is in some configuration, in
    // fewer than the 27 combinations.
    std::set<std::string> pairs;
    size_t rows = 0;
    std::istringstream pairwiseReport(ReadText("p.json"));
    for (std::string line; std::getline(pairwiseReport, line);) {
        size_t at = line.find("\"configuration\": \"");
        if (at == std::string::npos)
            continue;
        ++rows;
        int value[3] = {0, 0, 0};
        for (int f = 0; f < 3; ++f) {
            size_t field = line.find("F" + std::to_string(f) + "=", at);
            if (field != std::string::npos)
                value[f] = line[field + 3] - '0';
        }
        for (int a = 0; a < 3; ++a)
            for (int b = a + 1; b < 3; ++b)
                pairs.insert(std::to_string(a) + std::to_string(value[a]) + std::to_string(b) +
                             std::to_string(value[b]));
    }
    EXPECT_EQ(pairs.size(), 27u);
    EXPECT_LT(rows, 27u);

    std::filesystem::remove(Path("m/1001.bin")); // level 2, the one that fits
    ToolRun bad = Run("sheet --module m --vary F0=0,1 -o s.png --report r.json");
    EXPECT_EQ(bad.exitCode, 1) << bad.output;
    EXPECT_TRUE(Contains(bad.output, "fails: F0=1 (result 7)")) << bad.output;
    std::string report = ReadText("r.json");
    for (const char *part : {"\"configuration\": \"F0=1\"", "\"fails\": true", "\"failures\": 2"})
        EXPECT_TRUE(Contains(report, part)) << part << "\n" << report;
}

// ---- catalog build checks what it writes ----

struct BuildCase {
    const char *name;
    std::string description;
    const char *problem; // nullptr: builds cleanly
};

TEST_F(FindingsTest, BuildRefusesWhatCheckWouldReport)
{
    const BuildCase cases[] = {
        {"missing bitmap", ThreeLevels(), "bitmap 1201 for template 0 at level 4: missing"},
        {"art of the wrong size",
         ThreeLevels("", R"(, {"id": 1201, "png": "a.png", "size": [5, 2]})"),
         "is 5 x 2, but the template gives 4 x 2"},
        {"more levels than art", ThreeLevels(R"(, "levelCount": 5)", level4Art),
         "1401 for template 0 at level 4: missing"},
        {"baseLevel against levelCount", ThreeLevels(R"(, "baseLevel": 0)", level4Art),
         "baseLevel should be 2"},
        {"16 colours without bands",
         R"({"catalogue": {"maxPieces": 1, "levelCount": 1, "bitsPerPixel": 4, "colorCount": 16,
             "bgIndex0": 0, "templates": [{"code": 400, "placeX": "0x0001", "placeY": "0x0001",
             "bitmapId": 1, "width": 4, "height": 2}]},
             "resources": [{"id": 1, "png": "a.png", "size": [4, 2]}]})",
         "left out: bgIndex128, bgIndex192"},
        {"derived baseLevel", ThreeLevels("", level4Art), nullptr},
    };
    for (const BuildCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(Path("out"));
        WriteText("d.json", c.description);
        ToolRun run = Run("catalog build d.json --out out");
        if (c.problem == nullptr) {
            EXPECT_EQ(run.exitCode, 0) << run.output;
            EXPECT_EQ(ReadModuleDir("out")[999][14], 2) << "baseLevel = 5 - levelCount";
            continue;
        }
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_TRUE(Contains(run.output, c.problem)) << run.output;
        EXPECT_FALSE(std::filesystem::exists(Path("out")));
        ToolRun allowed = Run("catalog build d.json --out out --allow-problems");
        EXPECT_EQ(allowed.exitCode, 0) << allowed.output;
        EXPECT_TRUE(std::filesystem::exists(Path("out/999.bin")));
    }
}

TEST_F(FindingsTest, CheckOfAnUnreadableTableListsNoUnusedResources)
{
    Resources r = ReadModuleDir("m");
    r[999][18] = 50; // more templates than the resource holds
    WriteModule("bad", r);
    ToolRun run = Run("catalog check bad");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(Contains(run.output, "is not used by any template")) << run.output;
}

// ---- art: 16-bit samples and the default palette ----

enum class Chunk { None, Srgb, Linear };

// One 16-bit grey pixel, with the given colour chunk.
Bytes Grey16Png(uint16_t value, Chunk chunk)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t size) {
            auto *bytes = static_cast<Bytes *>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, 1, 1, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (chunk == Chunk::Srgb)
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    if (chunk == Chunk::Linear)
        png_set_gAMA_fixed(png, info, 100000);
    png_write_info(png, info);
    uint8_t row[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    png_write_row(png, row);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST_F(FindingsTest, ArtIsReducedAsItsFileSaysAndDefaultsToTheEffectsPalette)
{
    struct Art {
        const char *name;
        Bytes png;
        const char *palette; // nullptr: the default
        int index;
    };
    Bytes rgba = {192, 192, 192, 255};
    const Art cases[] = {
        {"16-bit, no chunk: taken as sRGB", Grey16Png(0x8080, Chunk::None), "\"grey\"", 128},
        {"16-bit sRGB", Grey16Png(0x4040, Chunk::Srgb), "\"grey\"", 64},
        {"16-bit linear light", Grey16Png(0x8000, Chunk::Linear), "\"grey\"", 186},
        {"default palette keeps grey 192 at 192", EncodePngRgba(1, 1, rgba), nullptr, 192},
        {"library palette by name", EncodePngRgba(1, 1, rgba), "\"library\"", 6},
    };
    for (const Art &c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(Path("art.png"), c.png);
        std::string palette = c.palette ? std::string(", \"palette\": ") + c.palette : "";
        WriteText("d.json",
                  R"({"catalogue": {"bitsPerPixel": 8, "colorCount": 256, "keyIndex": 0})" +
                      palette + R"(, "resources": [{"id": 1, "png": "art.png"}]})");
        std::filesystem::remove_all(Path("out"));
        ToolRun run = Run("catalog build d.json --out out");
        ASSERT_EQ(run.exitCode, 0) << run.output;
        Bytes bitmap = ReadModuleDir("out")[1];
        ASSERT_GT(bitmap.size(), 1064u);
        EXPECT_EQ(bitmap[1064], c.index);
    }

    Bytes truncated = EncodePngRgba(4, 4, Bytes(64, 90));
    truncated.resize(truncated.size() - 20);
    WriteBytes(Path("art.png"), truncated);
    ToolRun run = Run("catalog build d.json --out out2");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Contains(run.output, "the file ends early")) << run.output;
}

} // namespace
} // namespace pptest
