#include "catalog/registration.h"
#include "platform/portable/heap.h"
#include "select/codeset.h"
#include "select/select.h"
#include "support/builders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using pptest::BuildCatalog;
using pptest::DefaultHeader;
using pptest::MakeTemplate;

constexpr uint16_t kCounted = 2; // placeX that is neither "never" nor "always on"

PieceTemplate Rule(int16_t code, uint16_t placeX, uint8_t op, int16_t a, int16_t b)
{
    PieceTemplate t = MakeTemplate(code, placeX, 0);
    t.ruleOp = op;
    t.ruleCodeA = a;
    t.ruleCodeB = b;
    return t;
}

PieceTemplate Attention(int16_t code, uint16_t placeX, int16_t attention)
{
    PieceTemplate t = MakeTemplate(code, placeX, 0);
    t.attention = attention;
    return t;
}

struct Outcome {
    std::vector<int16_t> templates; // templateIndex of each record, in order
    int16_t attention;
};

class SelectTest : public ::testing::Test {
  protected:
    void SetUp() override { baseline_ = ppHeapLiveBlocks(); }
    void TearDown() override
    {
        ppHeapFailNth(0);
        CodeSetOp(CODESET_RELEASE, 0);
        EXPECT_EQ(ppHeapLiveBlocks(), baseline_);
    }

    Outcome Run(const CatalogHeader &header, const std::vector<PieceTemplate> &templates,
                std::vector<uint16_t> extra, const OptionRecord *options = nullptr)
    {
        catalog_ = BuildCatalog(header, templates);
        return RunRegistered(reinterpret_cast<const CatalogHeader *>(catalog_.data()), extra,
                             options);
    }

    Outcome RunRegistered(const CatalogHeader *catalogue, std::vector<uint16_t> extra,
                          const OptionRecord *options)
    {
        CatalogHeaderRef(1, catalogue);
        TemplateTableRef(1, catalogue);
        int32_t capacity = catalogue->maxPieces > 0 ? catalogue->maxPieces : 0;
        pieces_.assign(static_cast<size_t>(capacity) + 1, PlacedPiece{});
        extra.push_back(0);
        LayoutResult result{};
        int32_t n = SelectPieces(pieces_.data(), options, &result, extra.data());
        EXPECT_GE(n, 0);
        EXPECT_LE(n, capacity);
        Outcome out{{}, result.attention};
        for (int32_t i = 0; i < n; ++i)
            out.templates.push_back(pieces_[i].templateIndex);
        return out;
    }

    std::vector<uint8_t> catalog_;
    std::vector<PlacedPiece> pieces_;
    int32_t baseline_ = 0;
};

struct SelectCase {
    std::string name;
    uint16_t ruleFlags;
    int16_t maxPieces;
    std::vector<PieceTemplate> templates;
    std::vector<uint16_t> extra;
    std::vector<int16_t> selected;
    int16_t attention;
};

class SelectCases : public SelectTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SelectCases, SelectsTheExpectedTemplates)
{
    const SelectCase &c = GetParam();
    CatalogHeader header = DefaultHeader();
    header.ruleFlags = c.ruleFlags;
    header.maxPieces = c.maxPieces;
    Outcome out = Run(header, c.templates, c.extra);
    EXPECT_EQ(out.templates, c.selected);
    EXPECT_EQ(out.attention, c.attention);
}

using T = std::vector<PieceTemplate>;
using C = std::vector<uint16_t>;
using I = std::vector<int16_t>;

// The chain: T0 is always on; T1 adds 501 when 500 and 67 are present;
// T2 removes 500 when 501 is present (operator 10 on its second input).
const T kChain = {MakeTemplate(500, 1, 0), Rule(501, kCounted, 8, 500, 67),
                  Rule(500, kCounted, 26, 0, 501)};

INSTANTIATE_TEST_SUITE_P(
    Rules, SelectCases,
    ::testing::Values(
        SelectCase{"ChainWith67", RULES_ENABLED, 32, kChain, {67}, {1}, 30000},
        SelectCase{"ChainWithout67", RULES_ENABLED, 32, kChain, {}, {0, 2}, 30000},
        SelectCase{"RulesOffAlwaysOnStill",
                   0,
                   32,
                   {Rule(700, kCounted, 0, 1, 0), MakeTemplate(600, 1, 0),
                    Rule(600, kCounted, 31, 600, 0)},
                   {1},
                   {1, 2},
                   30000},
        SelectCase{"NoConditionCodesNoRule",
                   RULES_ENABLED,
                   32,
                   {Rule(700, kCounted, 0, 0, 0), Rule(701, kCounted, 16, 0, 0)},
                   {},
                   {},
                   30000},
        SelectCase{"ZeroConditionIsFalse",
                   RULES_ENABLED,
                   32,
                   {Rule(700, kCounted, 1, 0, 999), Rule(701, kCounted, 12, 0, 999),
                    Rule(702, kCounted, 2, 0, 5)},
                   {5},
                   {0, 2},
                   30000},
        // Template 5 sees what template 2 added; template 2 never sees template 5's code.
        SelectCase{"LaterRuleSeesEarlierAdd",
                   RULES_ENABLED,
                   32,
                   {MakeTemplate(1, kCounted, 0), MakeTemplate(1, kCounted, 0),
                    Rule(800, kCounted, 0, 1, 0), MakeTemplate(1, kCounted, 0),
                    MakeTemplate(1, kCounted, 0), Rule(801, kCounted, 12, 800, 0)},
                   {9},
                   {2, 5},
                   30000},
        SelectCase{"EarlierRuleMissesLaterAdd",
                   RULES_ENABLED,
                   32,
                   {MakeTemplate(1, kCounted, 0), MakeTemplate(1, kCounted, 0),
                    Rule(801, kCounted, 12, 800, 0), MakeTemplate(1, kCounted, 0),
                    MakeTemplate(1, kCounted, 0), Rule(800, kCounted, 0, 9, 0)},
                   {9},
                   {5},
                   30000},
        SelectCase{"RemoveTakesEveryOccurrence",
                   RULES_ENABLED,
                   32,
                   {Rule(500, kCounted, 31, 9, 0), MakeTemplate(500, kCounted, 0)},
                   {500, 9, 500},
                   {},
                   30000},
        SelectCase{"AlwaysOnFollowsOwnRemove",
                   RULES_ENABLED,
                   32,
                   {Rule(500, 1, 31, 9, 0), MakeTemplate(500, kCounted, 0)},
                   {9},
                   {0, 1},
                   30000},
        SelectCase{"LaterRemoveWins",
                   RULES_ENABLED,
                   32,
                   {Rule(500, 1, 31, 9, 0), Rule(500, 0, 31, 9, 0)},
                   {9},
                   {},
                   30000},
        SelectCase{"RemoveOperatorFalse",
                   RULES_ENABLED,
                   32,
                   {Rule(500, kCounted, 24, 9, 0)}, // remove when both: 0 absent
                   {9, 500},
                   {0},
                   30000}),
    [](const ::testing::TestParamInfo<SelectCase> &info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Selection, SelectCases,
    ::testing::Values(SelectCase{"SameCodeTwoTemplates",
                                 RULES_ENABLED,
                                 32,
                                 {MakeTemplate(7, kCounted, 0), MakeTemplate(8, kCounted, 0),
                                  MakeTemplate(7, kCounted, 0)},
                                 {7, 7, 7},
                                 {0, 2},
                                 30000},
                      SelectCase{"ZeroCodeNeverSelected",
                                 RULES_ENABLED,
                                 32,
                                 {MakeTemplate(0, kCounted, 0), MakeTemplate(0, 1, 0),
                                  MakeTemplate(600, 1, 0)},
                                 {},
                                 {2},
                                 30000},
                      SelectCase{"CutOffIgnoresLaterAttention",
                                 RULES_ENABLED,
                                 2,
                                 {MakeTemplate(1, kCounted, 0), Attention(3, 0, 30002),
                                  MakeTemplate(2, kCounted, 0), Attention(3, kCounted, 30004),
                                  Attention(4, kCounted, 30004), Attention(4, 0, 30002)},
                                 {1, 2, 3, 4},
                                 {0, 2},
                                 30002},
                      SelectCase{"MaxPiecesZero",
                                 RULES_ENABLED,
                                 0,
                                 {Attention(1, 0, 30004), MakeTemplate(1, kCounted, 0)},
                                 {1},
                                 {},
                                 30000},
                      SelectCase{"NeverDrawnTurnsRed",
                                 RULES_ENABLED,
                                 32,
                                 {MakeTemplate(1, kCounted, 0), Attention(2, 0, 30004),
                                  MakeTemplate(3, kCounted, 0)},
                                 {1, 2, 3},
                                 {0, 2},
                                 30004},
                      SelectCase{"RedWinsOverYellow",
                                 RULES_ENABLED,
                                 32,
                                 {Attention(1, kCounted, 30004), Attention(2, kCounted, 30002)},
                                 {1, 2},
                                 {0, 1},
                                 30004},
                      SelectCase{"Yellow",
                                 RULES_ENABLED,
                                 32,
                                 {Attention(1, kCounted, 30003), Attention(2, kCounted, 30002),
                                  Attention(3, kCounted, 30004)},
                                 {1, 2},
                                 {0, 1},
                                 30002},
                      SelectCase{"OtherValuesIgnored",
                                 RULES_ENABLED,
                                 32,
                                 {Attention(1, kCounted, 30003), Attention(2, kCounted, 30005),
                                  Attention(3, kCounted, 30000)},
                                 {1, 2, 3},
                                 {0, 1, 2},
                                 30000},
                      SelectCase{"UnselectedAttentionIgnored",
                                 RULES_ENABLED,
                                 32,
                                 {Attention(1, kCounted, 30004)},
                                 {2},
                                 {},
                                 30000},
                      SelectCase{"NoTemplates", RULES_ENABLED, 32, {}, {1, 2}, {}, 30000}),
    [](const ::testing::TestParamInfo<SelectCase> &info) { return info.param.name; });

struct EvalCase {
    int32_t op;
    int32_t results; // bit 2a+b: the result for inputs a, b
};

class EvalRuleTest : public ::testing::TestWithParam<EvalCase> {};

TEST_P(EvalRuleTest, FollowsTheTruthTable)
{
    for (int32_t a = 0; a < 2; ++a) {
        for (int32_t b = 0; b < 2; ++b) {
            EXPECT_EQ(EvalRule(a, b, GetParam().op), (GetParam().results >> (2 * a + b)) & 1)
                << "op " << GetParam().op << " a " << a << " b " << b;
        }
    }
}

// Written out from the operator meanings, input pairs (a, b) = 00, 01, 10, 11.
INSTANTIATE_TEST_SUITE_P(Operators, EvalRuleTest,
                         ::testing::Values(EvalCase{1, 0b0001},   // neither
                                           EvalCase{2, 0b0010},   // b and not a
                                           EvalCase{3, 0b0011},   // not a
                                           EvalCase{4, 0b0100},   // a and not b
                                           EvalCase{5, 0b0101},   // not b
                                           EvalCase{6, 0b0110},   // differ
                                           EvalCase{7, 0b0111},   // not both
                                           EvalCase{8, 0b1000},   // both
                                           EvalCase{9, 0b1001},   // equal
                                           EvalCase{10, 0b1010},  // b
                                           EvalCase{11, 0b1011},  // not a, or b
                                           EvalCase{12, 0b1100},  // a
                                           EvalCase{13, 0b1101},  // a, or not b
                                           EvalCase{14, 0b1110},  // a or b
                                           EvalCase{0, 0b1111},   // always
                                           EvalCase{15, 0b1111},  //
                                           EvalCase{16, 0b1111},  //
                                           EvalCase{255, 0b1111}, //
                                           EvalCase{256 + 8, 0b1000}, EvalCase{512 + 1, 0b0001},
                                           EvalCase{256, 0b1111}));

struct FlagCase {
    uint8_t pieceFlags;
    uint16_t flags;
    bool transparentWritten;
};

class InitPlacedPieceTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(InitPlacedPieceTest, MapsFlags)
{
    PieceTemplate t = MakeTemplate(5, 0x1234, 0x8765);
    t.pieceFlags = GetParam().pieceFlags;
    t.transparentIndex = 0x33;
    PlacedPiece p;
    std::memset(&p, 0xAA, sizeof p);
    EXPECT_EQ(InitPlacedPiece(&p, &t), &p);
    EXPECT_EQ(p.flags, GetParam().flags);
    EXPECT_EQ(p.placeX, 0x1234);
    EXPECT_EQ(p.placeY, 0x8765);
    EXPECT_EQ(p.transparentIndex, GetParam().transparentWritten ? 0x33 : 0xAA);
    EXPECT_EQ(p.x, static_cast<int16_t>(0xAAAA));
    EXPECT_EQ(p.bitmapId, static_cast<int16_t>(0xAAAA));
}

INSTANTIATE_TEST_SUITE_P(Bits, InitPlacedPieceTest,
                         ::testing::Values(FlagCase{0x00, 0x00, false}, FlagCase{0x01, 0x80, false},
                                           FlagCase{0x02, 0x02, false}, FlagCase{0x04, 0x04, false},
                                           FlagCase{0x08, 0x08, false}, FlagCase{0x10, 0x10, false},
                                           FlagCase{0x20, 0x20, false}, FlagCase{0x40, 0x40, true},
                                           FlagCase{0x80, 0x00, false}, FlagCase{0xFF, 0xFE, true},
                                           FlagCase{0xBF, 0xBE, false}));

TEST_F(SelectTest, FillsRecordsInTemplateOrder)
{
    PieceTemplate a = MakeTemplate(11, 0x2001, 0x0042);
    a.bitmapId = 1500;
    a.pieceFlags = 0x41;
    a.transparentIndex = 9;
    a.drawOrder = 77;
    for (int i = 0; i < 16; ++i) {
        a.mapFrom[i] = static_cast<uint8_t>(i + 1);
        a.mapTo[i] = static_cast<uint8_t>(200 - i);
    }
    PieceTemplate b = MakeTemplate(12, kCounted, 3);
    b.bitmapId = -5;
    b.pieceFlags = 0x08;
    catalog_ = BuildCatalog(DefaultHeader(), {MakeTemplate(10, kCounted, 0), a, b});
    const CatalogHeader *header = reinterpret_cast<const CatalogHeader *>(catalog_.data());
    CatalogHeaderRef(1, header);
    TemplateTableRef(1, header);

    std::vector<PlacedPiece> pieces(32);
    std::memset(pieces.data(), 0xAA, pieces.size() * sizeof(PlacedPiece));
    const uint16_t extra[] = {12, 11, 0};
    LayoutResult result{1, 2, 3, 4};
    ASSERT_EQ(SelectPieces(pieces.data(), nullptr, &result, extra), 2);
    EXPECT_EQ(result.width, 1);
    EXPECT_EQ(result.level, 3);
    EXPECT_EQ(result.attention, 30000);

    const PlacedPiece &p = pieces[0];
    EXPECT_EQ(p.templateIndex, 1);
    EXPECT_EQ(p.bitmapId, 1500);
    EXPECT_EQ(p.placeX, 0x2001);
    EXPECT_EQ(p.placeY, 0x0042);
    EXPECT_EQ(p.flags, 0xC0);
    EXPECT_EQ(p.transparentIndex, 9);
    EXPECT_EQ(std::memcmp(p.mapFrom, a.mapFrom, 16), 0);
    EXPECT_EQ(std::memcmp(p.mapTo, a.mapTo, 16), 0);
    // Positions, sizes and draw order are the layout's.
    EXPECT_EQ(p.x, static_cast<int16_t>(0xAAAA));
    EXPECT_EQ(p.width, static_cast<int16_t>(0xAAAA));
    EXPECT_EQ(p.drawOrder, 0xAAAA);

    EXPECT_EQ(pieces[1].templateIndex, 2);
    EXPECT_EQ(pieces[1].bitmapId, -5);
    EXPECT_EQ(pieces[1].flags, 0x08);
    EXPECT_EQ(pieces[1].transparentIndex, 0xAA);
    EXPECT_EQ(pieces[2].templateIndex, static_cast<int16_t>(0xAAAA));
}

TEST_F(SelectTest, DecodedOptionsSelect)
{
    OptionRecord options{};
    options.bits0 = 1u << 14; // F0 = 1: code 2
    options.extraFlag = 1;    // code 88
    Outcome out = Run(DefaultHeader(),
                      {MakeTemplate(88, kCounted, 0), MakeTemplate(3, kCounted, 0),
                       MakeTemplate(2, kCounted, 0), Rule(90, kCounted, 8, 2, 88)},
                      {}, &options);
    EXPECT_EQ(out.templates, (I{0, 2, 3}));
}

TEST_F(SelectTest, NoTemplatesStillFillsTheSet)
{
    OptionRecord options{};
    options.extraFlag = 1;
    CatalogHeader header = DefaultHeader();
    catalog_ = BuildCatalog(header, {MakeTemplate(5, kCounted, 0)});
    reinterpret_cast<CatalogHeader *>(catalog_.data())->templateCount = -3;
    Outcome out =
        RunRegistered(reinterpret_cast<const CatalogHeader *>(catalog_.data()), {5}, &options);
    EXPECT_EQ(out.templates, I{});
    EXPECT_EQ(out.attention, 30000);
    const uint16_t *codes = CodeSetOp(CODESET_GET, 0);
    EXPECT_EQ(HasCode(codes, 5), 1);
    EXPECT_EQ(HasCode(codes, 88), 1);
}

TEST_F(SelectTest, TableBeforeTheHeader)
{
    std::vector<PieceTemplate> templates = {MakeTemplate(4, kCounted, 0),
                                            MakeTemplate(5, kCounted, 0)};
    std::vector<uint8_t> bytes(2 * PIECE_TEMPLATE_SIZE + CATALOG_HEADER_SIZE);
    std::memcpy(bytes.data(), templates.data(), 2 * PIECE_TEMPLATE_SIZE);
    CatalogHeader header = DefaultHeader();
    header.templateCount = 2;
    header.templateOffset = -2 * PIECE_TEMPLATE_SIZE;
    std::memcpy(bytes.data() + 2 * PIECE_TEMPLATE_SIZE, &header, CATALOG_HEADER_SIZE);
    catalog_ = bytes;
    Outcome out = RunRegistered(
        reinterpret_cast<const CatalogHeader *>(catalog_.data() + 2 * PIECE_TEMPLATE_SIZE), {5},
        nullptr);
    EXPECT_EQ(out.templates, I{1});
}

TEST_F(SelectTest, FailedCreateSelectsNothing)
{
    OptionRecord options{};
    options.extraFlag = 1;
    ppHeapFailNth(1);
    Outcome out = Run(DefaultHeader(),
                      {MakeTemplate(5, 1, 0), MakeTemplate(6, kCounted, 0),
                       Attention(88, kCounted, 30004), Rule(7, kCounted, 1, 5, 6)},
                      {6}, &options);
    EXPECT_EQ(out.templates, I{});
    EXPECT_EQ(out.attention, 30000);
    EXPECT_EQ(CodeSetOp(CODESET_GET, 0), nullptr);
    EXPECT_EQ(ppHeapLiveBlocks(), baseline_);
}

TEST_F(SelectTest, FailedGrowthDropsTheCode)
{
    std::vector<uint16_t> extra;
    for (uint16_t code = 1; code <= 99; ++code)
        extra.push_back(code);
    // The first allocation creates the set; the second, the growth for the
    // always-on code 1000, fails and that code is lost.
    ppHeapFailNth(2);
    Outcome out = Run(
        DefaultHeader(),
        {MakeTemplate(1000, 1, 0), MakeTemplate(99, kCounted, 0), MakeTemplate(1001, 1, 0)}, extra);
    EXPECT_EQ(out.templates, (I{1, 2}));
    EXPECT_EQ(CodeSetState()->capacity, 200);
    EXPECT_EQ(ppHeapLiveBlocks(), baseline_ + 1);
}

TEST_F(SelectTest, NullPiecesOrResultAreTolerated)
{
    catalog_ = BuildCatalog(DefaultHeader(), {Attention(5, kCounted, 30002)});
    const CatalogHeader *header = reinterpret_cast<const CatalogHeader *>(catalog_.data());
    CatalogHeaderRef(1, header);
    TemplateTableRef(1, header);
    const uint16_t extra[] = {5, 0};
    LayoutResult result{};
    EXPECT_EQ(SelectPieces(nullptr, nullptr, &result, extra), 0);
    CodeSetOp(CODESET_RELEASE, 0);
    std::vector<PlacedPiece> pieces(32);
    EXPECT_EQ(SelectPieces(pieces.data(), nullptr, nullptr, nullptr), 0);
    CodeSetOp(CODESET_RELEASE, 0);
    EXPECT_EQ(SelectPieces(pieces.data(), nullptr, nullptr, extra), 1);
}

} // namespace
