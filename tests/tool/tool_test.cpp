// The piecepaint tool end to end: failures are reported, never crashes;
// show --json and build give back every byte; check finds seeded faults;
// render paints and explains.
#include "piecepaint/piecepaint.h"
#include "support/builders.h"
#include "tool_harness.h"

#include <cstring>
#include <functional>

namespace pptest {
namespace {

// A clean module: one size level (4), two pieces side by side, the second
// switched on by a rule, and a badge.
struct Module {
    CatalogHeader header = DefaultHeader();
    std::vector<PieceTemplate> templates;
    Resources resources;
    std::function<void(Bytes &)> patchCatalogue;

    Module()
    {
        header.levelCount = 1;
        header.baseLevel = 4;
        header.reserveHeight = 10;
        PieceTemplate first = MakeTemplate(1500, 0x8802, 0x8001);
        SetSize(first, 10, 6);
        first.bitmapId = 1000;
        first.layoutFlags = 0x040;
        PieceTemplate second = MakeTemplate(1501, 0x8802, 0x8001);
        SetSize(second, 8, 6);
        second.bitmapId = 1001;
        second.ruleOp = 8;
        second.ruleCodeA = 1500;
        second.ruleCodeB = 67;
        second.drawOrder = 1;
        templates = {first, second};
        resources[1000] = BuildBitmap(10, 6, 8, 256, std::vector<uint8_t>(60, 7));
        resources[1001] = BuildBitmap(8, 6, 8, 256, std::vector<uint8_t>(48, 9));
        resources[29891] = BuildBitmap(16, 8, 8, 256, std::vector<uint8_t>(128, 3));
    }

    Resources Build() const
    {
        Resources out = resources;
        out[999] = BuildCatalog(header, templates);
        if (patchCatalogue)
            patchCatalogue(out[999]);
        return out;
    }
};

void PutI16(Bytes &bytes, size_t offset, int16_t value)
{
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8);
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// ---- failures: a clear message and a non-zero exit, never a crash ----

struct FailureCase {
    const char *name;
    std::function<void(ToolTest &,
                       const std::function<void(const std::string &, const Resources &)> &,
                       const std::function<void(const std::string &, const std::string &)> &)>
        setup;
    const char *args;
    int exitCode;
    const char *message;
};

class FailureTest : public ToolTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, ReportsClearly)
{
    const FailureCase &c = GetParam();
    auto module = [this](const std::string &name, const Resources &r) { WriteModule(name, r); };
    auto text = [this](const std::string &name, const std::string &t) { WriteText(name, t); };
    if (c.setup)
        c.setup(*this, module, text);
    ToolRun run = Run(c.args);
    EXPECT_FALSE(run.crashed) << run.output;
    EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
    EXPECT_TRUE(Contains(run.output, c.message)) << "expected \"" << c.message << "\" in:\n"
                                                 << run.output;
    EXPECT_FALSE(Contains(run.output, "unexpected failure")) << run.output;
}

const FailureCase failureCases[] = {
    {"ShowMissingModule", nullptr, "catalog show nowhere", 2, "nowhere: no such module"},
    {"RenderMissingModule", nullptr, "render --module nowhere -o x.png", 2, "no such module"},
    {"CheckMissingCatalogue", [](auto &, auto module, auto) { module("m", Module().resources); },
     "catalog check m", 1, "no resource 999"},
    {"RenderMissingCatalogue", [](auto &, auto module, auto) { module("m", Module().resources); },
     "render --module m --codes 1500", 1, "result 7"},
    {"RenderMissingPiece",
     [](auto &, auto module, auto) {
         Resources r = Module().Build();
         r.erase(1000);
         module("m", r);
     },
     "render --module m --codes 1500 -o x.png", 1, "result 7: a resource was not found"},
    {"NotAModuleFile", [](auto &, auto, auto text) { text("m.dll", "not a PE image"); },
     "catalog show m.dll", 2, "not a resource module"},
    {"BadJson", [](auto &, auto, auto text) { text("d.json", "{ \"catalogue\": [1, 2"); },
     "catalog build d.json --out out", 2, "d.json: not valid JSON"},
    {"MissingDescription", nullptr, "catalog build absent.json --out out", 2,
     "absent.json: cannot open"},
    {"UnknownTemplateKey",
     [](auto &, auto, auto text) {
         text("d.json", R"({"catalogue": {"templates": [{"placeZ": 1}]}})");
     },
     "catalog build d.json --out out", 2, "catalogue.templates[0]: unknown key \"placeZ\""},
    {"BadHexValue",
     [](auto &, auto, auto text) {
         text("d.json", R"({"catalogue": {"templates": [{"placeX": "0x88zz"}]}})");
     },
     "catalog build d.json --out out", 2, "templates[0].placeX: \"0x88zz\" is not an integer"},
    {"ValueOutOfRange",
     [](auto &, auto, auto text) { text("d.json", R"({"catalogue": {"keyIndex": 300}})"); },
     "catalog build d.json --out out", 2, "catalogue.keyIndex: 300 is out of range"},
    {"DuplicateResource",
     [](auto &, auto, auto text) {
         text("d.json", R"({"resources": [{"id": 5, "hex": "00"}, {"id": 5, "hex": "01"}]})");
     },
     "catalog build d.json --out out", 2, "resource 5 is given twice"},
    {"MissingArt",
     [](auto &, auto, auto text) {
         text("d.json", R"({"catalogue": {"bitsPerPixel": 8, "colorCount": 256},
                            "resources": [{"id": 5, "png": "none.png"}]})");
     },
     "catalog build d.json --out out", 2, "none.png"},
    {"UnknownOptionField",
     [](auto &, auto module, auto text) {
         module("m", Module().Build());
         text("o.json", R"({"F0": 1, "F20": 2})");
     },
     "render --module m --options o.json", 2, "unknown option field \"F20\""},
    {"OptionValueOutOfRange",
     [](auto &, auto module, auto text) {
         module("m", Module().Build());
         text("o.json", R"({"P1": 4})");
     },
     "render --module m --options o.json", 2, "o.json.P1: 4 is out of range"},
    {"UnwritablePng", [](auto &, auto module, auto) { module("m", Module().Build()); },
     "render --module m --codes 1500 -o missing/dir/x.png", 2, "cannot write PNG"},
    {"UnwritableModuleDir",
     [](auto &, auto, auto text) {
         text("d.json", "{}");
         text("file", "x");
     },
     "catalog build d.json --out file", 2, "file: exists and is not a directory"},
    {"UnwritableDll", [](auto &, auto, auto text) { text("d.json", "{}"); },
     "catalog build d.json --out missing/dir/m.dll", 2, "m.dll: cannot write"},
    {"StaleResourceFiles",
     [](auto &, auto module, auto text) {
         text("d.json", R"({"resources": [{"id": 5, "hex": "00"}]})");
         module("out", {{7, {1}}});
     },
     "catalog build d.json --out out", 2, "7.bin; they would become part of the module"},
    {"UnknownDevice", [](auto &, auto module, auto) { module("m", Module().Build()); },
     "render --module m --device mono", 2, "unknown device \"mono\""},
    {"BadDestination", [](auto &, auto module, auto) { module("m", Module().Build()); },
     "render --module m --dest 1,2,3", 2, "--dest: expected x,y,w,h"},
    {"UnknownCommand", nullptr, "catalog frobnicate", 2, "A subcommand is required"},
};

INSTANTIATE_TEST_SUITE_P(Tool, FailureTest, ::testing::ValuesIn(failureCases),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- show --json and build give back every byte ----

struct RoundTripCase {
    const char *name;
    std::function<Resources()> module;
};

class RoundTripTest : public ToolTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTripTest, DirectoryAndDllRebuildIdentically)
{
    Resources original = GetParam().module();
    WriteModule("original", original);

    ToolRun show = Run("catalog show original --json -o desc.json");
    ASSERT_EQ(show.exitCode, 0) << show.output;
    ToolRun build = Run("catalog build desc.json --out rebuilt --allow-problems");
    ASSERT_EQ(build.exitCode, 0) << build.output;
    EXPECT_EQ(ReadModuleDir("rebuilt"), original);

    // Through a DLL, its description, and a DLL again.
    ASSERT_EQ(Run("catalog build desc.json --out m.dll --allow-problems").exitCode, 0);
    ASSERT_EQ(Run("catalog show m.dll --json -o dll.json").exitCode, 0);
    EXPECT_EQ(ReadText("dll.json"), ReadText("desc.json"));
    ASSERT_EQ(Run("catalog build dll.json --out m64.dll --pe32plus --allow-problems").exitCode, 0);
    ASSERT_EQ(Run("catalog show m64.dll --json --bin-dir bins -o files.json").exitCode, 0);
    ASSERT_EQ(Run("catalog build files.json --out again --allow-problems").exitCode, 0);
    EXPECT_EQ(ReadModuleDir("again"), original);
}

Resources OddCatalogue()
{
    Module m;
    m.templates[0].ignored41 = 0x5A;
    m.templates[0].offsetX[2] = -7;
    m.templates[0].code = static_cast<int16_t>(40000);
    m.templates[1].bitmapId = -12;
    m.templates[1].mapFrom[15] = 4;
    m.templates[1].attention = ATTENTION_RED;
    m.patchCatalogue = [](Bytes &bytes) {
        bytes[0] = 'C';
        bytes[27] = 0x80;
        bytes[39] = 1;
        // Move the table 10 bytes on, with a non-zero gap, and add a tail.
        Bytes table(bytes.begin() + 56, bytes.end());
        bytes.resize(56);
        Bytes gap = {1, 2, 3, 0, 0, 0, 0, 0, 0, 9};
        bytes.insert(bytes.end(), gap.begin(), gap.end());
        bytes.insert(bytes.end(), table.begin(), table.end());
        bytes.insert(bytes.end(), {0, 0, 0xEE});
        PutI16(bytes, 24, 66);
    };
    return m.Build();
}

const RoundTripCase roundTripCases[] = {
    {"Clean", [] { return Module().Build(); }},
    {"OddBytesEverywhere", OddCatalogue},
    {"NegativeCountWithTail",
     [] {
         Module m;
         m.patchCatalogue = [](Bytes &bytes) {
             PutI16(bytes, 18, -3);
             PutI16(bytes, 24, -5);
         };
         return m.Build();
     }},
    {"ShorterThanHeader",
     [] {
         return Resources{{999, Bytes(30, 0x11)}, {1000, {}}};
     }},
    {"TableOverlapsHeader",
     [] {
         Module m;
         m.patchCatalogue = [](Bytes &bytes) { PutI16(bytes, 24, 20); };
         return m.Build();
     }},
    {"TablePastTheEnd",
     [] {
         Module m;
         m.patchCatalogue = [](Bytes &bytes) { PutI16(bytes, 18, 9); };
         return m.Build();
     }},
    {"NoCatalogue",
     [] {
         return Resources{{1, {1, 2, 3}}, {65535, {}}};
     }},
};

INSTANTIATE_TEST_SUITE_P(Tool, RoundTripTest, ::testing::ValuesIn(roundTripCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ToolTest, ShowDecodesTemplates)
{
    WriteModule("m", Module().Build());
    ToolRun run = Run("catalog show m");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "0x8802  computed as cursor; mode 2")) << run.output;
    EXPECT_TRUE(Contains(run.output, "add 1501 when A and B (ruleOp 8, A = 1500, B = 67)"));
    EXPECT_TRUE(Contains(run.output, "X advance on"));
}

// ---- check finds every seeded fault ----

// An 8-bit badge of 16 x 8 whose header is then given a compression and an
// image size (biCompression at 16, biSizeImage at 20).
Bytes StoredBadge(int32_t bitCount, uint32_t compression, uint32_t imageBytes)
{
    Bytes badge = BuildBitmap(16, 8, 8, 256, {});
    badge[14] = static_cast<uint8_t>(bitCount);
    for (int k = 0; k < 4; ++k) {
        badge[16 + k] = static_cast<uint8_t>(compression >> (8 * k));
        badge[20 + k] = static_cast<uint8_t>(imageBytes >> (8 * k));
    }
    return badge;
}

struct FaultCase {
    const char *name;
    std::function<void(Module &)> seed;
    const char *message;
};

class CheckFaultTest : public ToolTest, public ::testing::WithParamInterface<FaultCase> {};

const FaultCase faultCases[] = {
    {"LevelCount", [](Module &m) { m.header.levelCount = 0; }, "levelCount 0 is outside 1 to 5"},
    {"BaseLevel", [](Module &m) { m.header.baseLevel = 2; }, "baseLevel should be 4"},
    {"MaxPieces", [](Module &m) { m.header.maxPieces = 0; }, "maxPieces 0 lets no piece"},
    {"Depth", [](Module &m) { m.header.bitsPerPixel = 6; }, "bitsPerPixel 6 is neither"},
    {"FourBitEffects",
     [](Module &m) {
         m.header.bitsPerPixel = 4;
         m.header.colorCount = 16;
         m.header.paintFlags = PAINT_SMOOTH;
     },
     "work on 8-bit pictures only"},
    {"KeyIndex",
     [](Module &m) {
         m.header.bitsPerPixel = 4;
         m.header.colorCount = 16;
         m.header.keyIndex = 16;
     },
     "keyIndex 16 is beyond the 16 colours"},
    {"TablePastEnd", [](Module &m) { m.patchCatalogue = [](Bytes &b) { PutI16(b, 18, 3); }; },
     "end at byte 338, past the resource's 244 bytes"},
    {"MissingBitmap", [](Module &m) { m.resources.erase(1001); },
     "bitmap 1001 for template 1 at level 4: missing"},
    {"LevelIds",
     [](Module &m) {
         m.header.levelCount = 2;
         m.header.baseLevel = 3;
         m.header.idStep = 100;
     },
     "bitmap 1100 for template 0 at level 4: missing"},
    {"BitmapSize", [](Module &m) { SetSize(m.templates[0], 12, 6); },
     "bitmap 1000 for template 0 at level 4: is 10 x 6, but the template gives 12 x 6"},
    {"BitmapDepth", [](Module &m) { m.resources[1000] = BuildBitmap(10, 6, 4, 256, {}); },
     "4 bits per pixel, but the catalogue's bitsPerPixel is 8"},
    {"ColourTable", [](Module &m) { m.resources[1000].resize(600); },
     "too short for the header and its 256-colour table"},
    {"TruncatedRows", [](Module &m) { m.resources[1000].resize(m.resources[1000].size() - 1); },
     "its 6 rows need 1136 bytes, the resource has 1135"},
    {"VariantTable",
     [](Module &m) {
         m.templates[0].pieceFlags = PIECE_WIDTH_VARIANTS;
         Bytes bitmap = BuildBitmap(10, 6, 8, 256, {});
         bitmap.resize(1064 + 10 * 8, 0);
         for (int k = 0; k < 10; ++k) {
             bitmap[1064 + k * 8 + 4] = 6;                            // height
             bitmap[1064 + k * 8 + 6] = static_cast<uint8_t>(80 + k); // rows: none stored
         }
         m.resources[1000] = bitmap;
     },
     "the pixels of variant 0 end at byte"},
    {"TransparentIndex",
     [](Module &m) {
         m.header.bitsPerPixel = 4;
         m.header.colorCount = 16;
         m.templates[0].pieceFlags = PIECE_TRANSPARENT;
         m.templates[0].transparentIndex = 200;
     },
     "transparentIndex 200 is beyond the 16 colours"},
    {"UnproducibleRuleCode", [](Module &m) { m.templates[1].ruleCodeB = 4000; },
     "rule code B = 4000 is produced by nothing"},
    {"RuleCodeAddedLater",
     [](Module &m) {
         PieceTemplate adder = MakeTemplate(4100, 0, 0);
         adder.ruleOp = 0;
         adder.ruleCodeA = 500;
         m.templates.push_back(adder);
         m.templates[1].ruleCodeB = 4100;
     },
     "rule code B = 4100 is added only by later templates"},
    {"NeverSelected", [](Module &m) { m.templates[0].code = 4001; },
     "template 0: code 4001 can never reach the code set"},
    {"CodeZero", [](Module &m) { m.templates[0].code = 0; },
     "template 0: code 0 is never in the code set"},
    {"Badge", [](Module &m) { m.resources[29891] = BuildBitmap(16, 8, 1, 2, {}); },
     "badge: 1 bits per pixel"},
    {"BadgeCodedWithoutSize", [](Module &m) { m.resources[29891] = StoredBadge(8, 1, 0); },
     "badge: run-length coded without biSizeImage"},
    {"BadgeCodedPastTheResource", [](Module &m) { m.resources[29891] = StoredBadge(8, 1, 100000); },
     "badge: its coded rows (biSizeImage) need"},
    {"BadgeUnknownCompression", [](Module &m) { m.resources[29891] = StoredBadge(8, 4, 16); },
     "badge: compression 4 cannot be bounded"},
};

TEST_P(CheckFaultTest, ReportsTheFault)
{
    Module m;
    GetParam().seed(m);
    WriteModule("m", m.Build());
    ToolRun run = Run("catalog check m --host-codes 1500");
    EXPECT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, GetParam().message))
        << "expected \"" << GetParam().message << "\" in:\n"
        << run.output;
}

INSTANTIATE_TEST_SUITE_P(Tool, CheckFaultTest, ::testing::ValuesIn(faultCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ToolTest, CheckPassesACleanModuleAndNamesHostCodes)
{
    WriteModule("m", Module().Build());
    ToolRun clean = Run("catalog check m --host-codes 1500");
    EXPECT_EQ(clean.exitCode, 0) << clean.output;
    EXPECT_TRUE(Contains(clean.output, "0 problem(s)"));

    // Without the host's code, nothing produces 1500.
    ToolRun bare = Run("catalog check m");
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_TRUE(Contains(bare.output, "rule code A = 1500 is produced by nothing")) << bare.output;
}

// Storage the library draws: the check has nothing to say of it.
TEST_F(ToolTest, CheckAcceptsBadgesStoredCodedOrWithMasks)
{
    for (Bytes badge : {StoredBadge(8, 1, 2), StoredBadge(16, 3, 0), StoredBadge(32, 3, 0)}) {
        Module m;
        m.resources[29891] = badge;
        WriteModule("m", m.Build());
        ToolRun run = Run("catalog check m --host-codes 1500");
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_FALSE(Contains(run.output, "badge:")) << run.output;
    }
}

TEST_F(ToolTest, CheckReportsEverySeededFaultAtOnce)
{
    Module m;
    for (const FaultCase &c : faultCases)
        if (std::string(c.name) == "MissingBitmap" || std::string(c.name) == "BitmapSize" ||
            std::string(c.name) == "UnproducibleRuleCode" || std::string(c.name) == "Badge" ||
            std::string(c.name) == "MaxPieces")
            c.seed(m);
    WriteModule("m", m.Build());
    ToolRun run = Run("catalog check m --host-codes 1500");
    EXPECT_EQ(run.exitCode, 1);
    for (const char *part : {"maxPieces 0", "1001 for template 1 at level 4: missing",
                             "but the template gives 12 x 6", "B = 4000", "badge: 1 bits"})
        EXPECT_TRUE(Contains(run.output, part)) << part << " missing from:\n" << run.output;
}

// ---- render ----

TEST_F(ToolTest, RenderWritesThePictureAndExplains)
{
    WriteModule("m", Module().Build());
    ToolRun run = Run("render --module m --codes 1500,67 --dest 0,0,40,20 --explain -o out.png");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char *part :
         {"Extra codes: 1500, 67", "template 1: adds 1501 (A and B; A 1500 present, B 67 present)",
          "Final code set: 1500, 67, 1501", "level 4: 18 x 6 fits", "Selected templates: 0 1",
          "template 0 (code 1500): at 0, 0, size 10 x 6, bitmap 1000",
          "template 1 (code 1501): at 10, 0, size 8 x 6, bitmap 1001", "result 0: picture drawn"})
        EXPECT_TRUE(Contains(run.output, part)) << part << " missing from:\n" << run.output;
    Bytes png = ReadBytes(Path("out.png"));
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG", 4), 0);

    ToolRun none = Run("render --module m");
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(Contains(none.output, "result 1: the configuration selects no piece"));
}

// The example record of the option decoding, by field names and by raw words.
TEST_F(ToolTest, ExplainAttributesDecodedCodes)
{
    WriteModule("m", Module().Build());
    WriteText("named.json", R"({"F0": 1, "P0": 2, "flag400": true, "M0": 2, "F16": 5, "M2": 1,
                               "singleCode": 189, "selector1": 7, "selector2": 18,
                               "extraFlag": 1})");
    WriteText("rest.json", R"({"singleCode": 189, "selector1": 7, "selector2": 18,
                              "extraFlag": 1})");
    ToolRun named = Run("render --module m --options named.json --explain");
    ToolRun raw =
        Run("render --module m --options rest.json --bits0 0x6600 --bits2 0x1005 --explain");
    for (const ToolRun *run : {&named, &raw}) {
        for (const char *part :
             {"F0 = 1 -> 2", "F16 = 5 -> 658", "P0 = 2 -> 73", "M2 = 1 -> 87", "flag 0x400 -> 67",
              "M0 = 2 -> 71", "list code 189 -> 189", "selector1 = 7 -> 92",
              "selector2 = 18 -> 738", "extraFlag = 1 -> 88",
              "Final code set: 2, 658, 73, 87, 67, 71, 189, 92, 738, 88"})
            EXPECT_TRUE(Contains(run->output, part)) << part << " missing from:\n" << run->output;
    }
}

// ---- PNG art ----

uint32_t ReadU32(const Bytes &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST_F(ToolTest, BuildsArtAtTheCataloguesDepth)
{
    // 3 x 2 art: a transparent pixel, greys and a colour; the grey palette
    // makes the expected indices plain.
    Bytes rgba = {0,  0,  0,  0,   10,  10,  10,  255, 200, 200, 200, 255,
                  99, 99, 99, 255, 255, 255, 255, 255, 0,   0,   0,   255};
    WriteBytes(Path("art.png"), EncodePngRgba(3, 2, rgba));
    Bytes palette;
    for (int i = 0; i < 16; ++i)
        palette.insert(palette.end(), {static_cast<uint8_t>(i * 17), 0, 0});
    WriteBytes(Path("idx.png"), EncodePngIndexed(3, 2, {1, 2, 3, 15, 0, 5}, palette));
    WriteText("d8.json", R"({"catalogue": {"bitsPerPixel": 8, "colorCount": 256, "keyIndex": 3},
        "palette": "grey",
        "resources": [{"id": 1, "png": "art.png"},
                      {"id": 2, "png": "art.png", "size": [6, 4]}]})");
    WriteText("d4.json", R"({"catalogue": {"bitsPerPixel": 4, "colorCount": 16, "keyIndex": 0},
        "palette": "grey",
        "resources": [{"id": 1, "png": "art.png"}, {"id": 2, "png": "idx.png", "indexed": true},
                      {"id": 3, "png": "idx.png", "indexed": true, "variants": "width",
                       "variantMethod": "middle"}]})");
    ToolRun run8 = Run("catalog build d8.json --out m8");
    ASSERT_EQ(run8.exitCode, 0) << run8.output;
    Resources m8 = ReadModuleDir("m8");
    const Bytes &b8 = m8[1];
    ASSERT_EQ(b8.size(), 40u + 1024 + 2 * 4);
    EXPECT_EQ(ReadU32(b8, 4), 3u);
    EXPECT_EQ(ReadU32(b8, 8), 2u);
    EXPECT_EQ(b8[14], 8);
    EXPECT_EQ(b8[40 + 200 * 4], 200); // grey table entry
    // Bottom row first; white avoids 255, transparency takes the key index.
    EXPECT_EQ(Bytes(b8.begin() + 1064, b8.begin() + 1067), (Bytes{99, 254, 0}));
    EXPECT_EQ(Bytes(b8.begin() + 1068, b8.begin() + 1071), (Bytes{3, 10, 200}));
    EXPECT_EQ(ReadU32(m8[2], 4), 6u);

    ToolRun run4 = Run("catalog build d4.json --out m4");
    ASSERT_EQ(run4.exitCode, 0) << run4.output;
    Resources m4 = ReadModuleDir("m4");
    ASSERT_EQ(m4[1].size(), 40u + 64 + 2 * 4);
    // Grey levels 10 -> 1 (17), 200 -> 12 (204), 99 -> 6, black avoids the
    // key index 0; transparent -> key 0.
    EXPECT_EQ(m4[1][104], 0x6F);
    EXPECT_EQ(m4[1][105], 0x10);
    EXPECT_EQ(m4[1][104 + 4], 0x01);
    EXPECT_EQ(m4[1][104 + 5], 0xC0);
    EXPECT_EQ(m4[2][104], 0xF0); // indexed bottom row 15, 0, 5
    EXPECT_EQ(m4[2][105], 0x50);
    // Width variants of 3, 2 and 1 pixels, rows after a 24-byte table.
    const Bytes &v = m4[3];
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(v[104 + k * 8 + 2], 3 - k);
        EXPECT_EQ(v[104 + k * 8 + 4], 2);
        EXPECT_EQ(v[104 + k * 8 + 6], 24 + 8 * k);
    }
    EXPECT_EQ(v[104 + 24 + 16], 0xF0); // the 1-pixel variant keeps the first column
}

} // namespace
} // namespace pptest

namespace pptest {
namespace {

TEST_F(ToolTest, VersionNamesTheLibrary)
{
    ToolRun run = Run("--version");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, std::string("piecepaint ") + PIECEPAINT_VERSION_STRING + "\n");
}

} // namespace
} // namespace pptest
