// The tool's own operations: option fields to bits, catalogue bytes to JSON
// and back, encodings, and the code space that check relies on.
#ifdef PP_TOOL_LIB

#include "catalog/records.h"
#include "catalog_check.h"
#include "catalog_json.h"
#include "catalog_text.h"
#include "option_json.h"
#include "select/codeset.h"
#include "select/decode.h"
#include "tool_util.h"

#include <gtest/gtest.h>

#include <random>

namespace pptool {
namespace {

struct FieldCase {
    const char *json;
    uint32_t bits0, bits1, bits2;
};

class OptionFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(OptionFieldTest, LandsInItsBits)
{
    OptionInput input;
    Json fields = Json::parse(GetParam().json);
    std::optional<uint32_t> raw[3];
    FillOptions(input, &fields, "o", raw);
    EXPECT_EQ(input.record.bits0, GetParam().bits0);
    EXPECT_EQ(input.record.bits1, GetParam().bits1);
    EXPECT_EQ(input.record.bits2, GetParam().bits2);
}

INSTANTIATE_TEST_SUITE_P(
    Tool, OptionFieldTest,
    ::testing::Values(FieldCase{R"({"P4": 3})", 0x3, 0, 0}, FieldCase{R"({"P0": 1})", 0x100, 0, 0},
                      FieldCase{R"({"flag400": true, "flag800": 1})", 0xC00, 0, 0},
                      FieldCase{R"({"M0": 3})", 0x3000, 0, 0},
                      FieldCase{R"({"F0": 7})", 7u << 14, 0, 0},
                      FieldCase{R"({"F5": 5})", 5u << 29, 0, 0},
                      FieldCase{R"({"F6": 7, "F15": 1})", 0, 7u | 1u << 27, 0},
                      FieldCase{R"({"F16": 2, "F19": 7, "M2": 2})", 0, 0, 2u | 7u << 9 | 2u << 12},
                      FieldCase{R"({"bits0": "0xffffffff", "F0": 0})", 0xFFFE3FFF, 0, 0}));

TEST(ToolOptions, RawWordsThenNamedFields)
{
    OptionInput input;
    Json fields = Json::parse(R"({"bits1": 5, "P4": 2, "codeList": [6905, 7400]})");
    std::optional<uint32_t> raw[3] = {0xF, std::nullopt, 0x1000};
    FillOptions(input, &fields, "o", raw);
    EXPECT_EQ(input.record.bits0, 0xEu);
    EXPECT_EQ(input.record.bits1, 5u);
    EXPECT_EQ(input.record.bits2, 0x1000u);
    ASSERT_NE(input.record.codeList, nullptr);
    EXPECT_EQ(input.record.codeList[1], 7400);
    EXPECT_EQ(input.record.codeList[2], 0);
    EXPECT_EQ(FieldP(input.record, 4), 2);
    EXPECT_EQ(FieldM2(input.record), 1);
}

// Every code that decoding produces lies in the code space check accepts,
// and the gaps between the stretches stay outside it.
TEST(ToolCheck, CodeSpaceMatchesDecoding)
{
    auto decode = [](const OptionRecord &record) {
        CodeSetOp(CODESET_CREATE, 0);
        DecodeOptions(&record);
        std::vector<uint16_t> codes;
        for (const uint16_t *at = CodeSetOp(CODESET_GET, 0); *at != 0; ++at)
            codes.push_back(*at);
        CodeSetOp(CODESET_RELEASE, 0);
        return codes;
    };
    std::vector<uint16_t> listCodes = {189, 7400, 7500};
    for (uint16_t start : {6901, 7501, 7401, 7001})
        for (uint16_t k = 0; k < 20; ++k)
            listCodes.push_back(static_cast<uint16_t>(start + k));
    for (uint16_t start : {6701, 7610, 6201, 6101, 6501, 7201, 6301, 7601})
        for (uint16_t k = 0; k < 5; ++k)
            listCodes.push_back(static_cast<uint16_t>(start + k));
    size_t produced = 0;
    for (uint32_t v = 1; v <= 7; ++v) {
        OptionRecord record{};
        uint32_t p = v & 3;
        record.bits0 = p | p << 2 | p << 4 | p << 6 | p << 8 | 0xC00 | p << 12;
        for (int i = 0; i < 6; ++i)
            record.bits0 |= v << (14 + 3 * i);
        for (int i = 0; i < 10; ++i)
            record.bits1 |= v << (3 * i);
        for (int i = 0; i < 4; ++i)
            record.bits2 |= v << (3 * i);
        record.bits2 |= p << 12;
        record.extraFlag = 1;
        for (uint16_t list : listCodes) {
            for (uint16_t s1 = 1; s1 <= 8; ++s1) {
                record.singleCode = list;
                record.selector1 = s1;
                record.selector2 = static_cast<uint16_t>(1 + (list + s1) % 21);
                for (uint16_t code : decode(record)) {
                    EXPECT_TRUE(InDecodedCodeSpace(code)) << code;
                    ++produced;
                }
            }
        }
    }
    EXPECT_GT(produced, 1000u);
    for (uint16_t outside :
         {1, 62, 64, 66, 68, 169, 188, 190, 524, 576, 592, 1073, 1084, 1100, 1500, 6905})
        EXPECT_FALSE(InDecodedCodeSpace(outside)) << outside;
}

// Random catalogue bytes: whatever has a structured form rebuilds to the
// same bytes; the rest is left to the raw form.
TEST(ToolCatalogJson, RandomCataloguesRoundTrip)
{
    std::mt19937 random(20240611);
    int structured = 0;
    for (int round = 0; round < 400; ++round) {
        int16_t count = static_cast<int16_t>(static_cast<int>(random() % 7) - 2);
        int16_t offset = static_cast<int16_t>(40 + random() % 60);
        size_t size = 56 + (random() % 2 ? 0 : random() % 30);
        if (count > 0 && offset >= 56)
            size += static_cast<size_t>(offset - 56) + static_cast<size_t>(count) * 94;
        if (random() % 8 == 0 && size > 0)
            size -= 1 + random() % 20; // a table cut short
        Bytes bytes(size);
        for (uint8_t &b : bytes)
            b = static_cast<uint8_t>(random() % 4 == 0 ? random() : 0);
        if (bytes.size() >= 56) {
            PutU16(bytes, 18, static_cast<uint16_t>(count));
            PutU16(bytes, 24, static_cast<uint16_t>(offset));
        }
        std::optional<Json> json = CatalogToJson(bytes);
        if (!json)
            continue;
        ++structured;
        // Through text, as a description file would be.
        Json reread = Json::parse(json->dump());
        EXPECT_EQ(CatalogFromJson(reread, "catalogue"), bytes) << json->dump();
    }
    EXPECT_GT(structured, 100);
}

TEST(ToolCatalogJson, RefusesWhatItCannotWrite)
{
    EXPECT_FALSE(CatalogToJson(Bytes(55, 0)));
    EXPECT_THROW(CatalogFromJson(Json::parse(R"({"templateOffset": 20, "templates": [{}]})"), "c"),
                 ToolError);
    EXPECT_THROW(CatalogFromJson(Json::parse(R"({"ignoredBytes": {"5": "0102"}})"), "c"),
                 ToolError); // byte 6 is reserveHeight
    EXPECT_THROW(CatalogFromJson(Json::parse(R"({"templateCount": 2, "templates": [{}]})"), "c"),
                 ToolError);
    EXPECT_THROW(CatalogFromJson(Json::parse(R"({"templates": [{"width": [1, 2]}]})"), "c"),
                 ToolError);
    Bytes one =
        CatalogFromJson(Json::parse(R"({"templates": [{"width": 7, "code": 65535}]})"), "c");
    ASSERT_EQ(one.size(), 56u + 94);
    EXPECT_EQ(one[56 + 54 + 8], 7); // width at level 4
    EXPECT_EQ(one[56 + 44], 0xFF);
    EXPECT_EQ(one[56 + 45], 0xFF);
}

TEST(ToolEncoding, HexAndBase64RoundTrip)
{
    std::mt19937 random(7);
    for (size_t size : {0, 1, 2, 3, 4, 5, 63, 64, 65, 1000}) {
        Bytes bytes(size);
        for (uint8_t &b : bytes)
            b = static_cast<uint8_t>(random());
        EXPECT_EQ(FromBase64(ToBase64(bytes), "b"), bytes);
        EXPECT_EQ(FromHex(ToHex(bytes.data(), bytes.size()), "h"), bytes);
    }
    EXPECT_EQ(FromHex("0a 0B\n10", "h"), (Bytes{0x0A, 0x0B, 0x10}));
    EXPECT_THROW(FromHex("0a0", "h"), ToolError);
    EXPECT_THROW(FromHex("0 a", "h"), ToolError);
    EXPECT_THROW(FromBase64("ab$d", "b"), ToolError);
    EXPECT_EQ(ParseInteger("-0x10", "n", -100, 100), -16);
    EXPECT_THROW(ParseInteger("12a", "n", 0, 1000), ToolError);
    EXPECT_THROW(ParseInteger("0x", "n", 0, 1000), ToolError);
    EXPECT_THROW(ReadInteger(Json(1.5), "n", 0, 10), ToolError);
}

TEST(ToolText, LevelIdsAndControlWords)
{
    CatalogHeader h{};
    h.baseLevel = 2;
    h.idStep = 100;
    struct {
        int16_t id;
        int32_t level;
        int16_t expected;
    } cases[] = {{1000, 3, 1100},   {29889, 3, 29989}, {32001, 3, 32101}, {29890, 0, 29890},
                 {32000, 4, 32000}, {1000, 0, 800},    {32700, 4, -32636}};
    for (auto c : cases)
        EXPECT_EQ(LevelBitmapId(c.id, c.level, h), c.expected) << c.id << " at " << c.level;
    EXPECT_EQ(DescribePlacement(0x0000, 'x'), "none: position 0");
    EXPECT_EQ(DescribePlacement(0xA001, 'x'), "computed as offset; mode 1 (no state change)");
    EXPECT_EQ(DescribePlacement(0x6080, 'y'),
              "deferred to the second pass; base 0; + offset; + lastEnd");
    EXPECT_EQ(DescribeOperator(26 - 16), "B");
    EXPECT_EQ(DescribeOperator(31), "always");
}

} // namespace
} // namespace pptool

#endif
