#include "select/codeset.h"
#include "select/decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Packs fields into a record the way a host does, from the field table.
void SetF(OptionRecord &r, int32_t i, uint32_t v)
{
    if (i < 6)
        r.bits0 |= v << (14 + 3 * i);
    else if (i < 16)
        r.bits1 |= v << (3 * (i - 6));
    else
        r.bits2 |= v << (3 * (i - 16));
}
void SetP(OptionRecord &r, int32_t i, uint32_t v)
{
    r.bits0 |= v << (8 - 2 * i);
}
void SetM0(OptionRecord &r, uint32_t v)
{
    r.bits0 |= v << 12;
}
void SetM2(OptionRecord &r, uint32_t v)
{
    r.bits2 |= v << 12;
}

struct Field {
    char kind; // 'F', 'P', '0' (M0), '2' (M2)
    int32_t index;
    uint32_t value;
};

struct DecodeCase {
    std::string name;
    std::vector<Field> fields;
    uint32_t raw0, raw1, raw2; // or-ed into the words after the fields
    uint16_t singleCode;
    std::vector<uint16_t> codeList; // empty: null pointer
    uint16_t selector1, selector2;
    int16_t extraFlag;
    std::vector<uint16_t> expected;
};

OptionRecord MakeRecord(const DecodeCase &c, const std::vector<uint16_t> &list)
{
    OptionRecord r{};
    for (const Field &f : c.fields) {
        if (f.kind == 'F')
            SetF(r, f.index, f.value);
        else if (f.kind == 'P')
            SetP(r, f.index, f.value);
        else if (f.kind == '0')
            SetM0(r, f.value);
        else
            SetM2(r, f.value);
    }
    r.bits0 |= c.raw0;
    r.bits1 |= c.raw1;
    r.bits2 |= c.raw2;
    r.singleCode = c.singleCode;
    r.codeList = list.empty() ? nullptr : list.data();
    r.selector1 = c.selector1;
    r.selector2 = c.selector2;
    r.extraFlag = c.extraFlag;
    return r;
}

std::vector<uint16_t> Decoded(const OptionRecord &r)
{
    EXPECT_NE(CodeSetOp(CODESET_CREATE, 0), nullptr);
    DecodeOptions(&r);
    const CodeSet *set = CodeSetState();
    std::vector<uint16_t> codes(set->codes, set->codes + set->count);
    CodeSetOp(CODESET_RELEASE, 0);
    return codes;
}

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, AddsCodesInOrder)
{
    const DecodeCase &c = GetParam();
    std::vector<uint16_t> list = c.codeList;
    if (!list.empty())
        list.push_back(0);
    OptionRecord r = MakeRecord(c, list);
    EXPECT_EQ(Decoded(r), c.expected);
}

using V = std::vector<uint16_t>;
using Fs = std::vector<Field>;

// Field values, in the order the record decodes them.
INSTANTIATE_TEST_SUITE_P(
    Fields, DecodeTest,
    ::testing::Values(DecodeCase{"Empty", {}, 0, 0, 0, 0, {}, 0, 0, 0, {}},
                      DecodeCase{"F0is1", {{'F', 0, 1}}, 0, 0, 0, 0, {}, 0, 0, 0, {2}},
                      DecodeCase{"F0is3", {{'F', 0, 3}}, 0, 0, 0, 0, {}, 0, 0, 0, {4}},
                      DecodeCase{"F0is4", {{'F', 0, 4}}, 0, 0, 0, 0, {}, 0, 0, 0, {593}},
                      DecodeCase{"F19is3", {{'F', 19, 3}}, 0, 0, 0, 0, {}, 0, 0, 0, {61}},
                      DecodeCase{"F19is7", {{'F', 19, 7}}, 0, 0, 0, 0, {}, 0, 0, 0, {672}},
                      DecodeCase{"P0is1", {{'P', 0, 1}}, 0, 0, 0, 0, {}, 0, 0, 0, {72}},
                      DecodeCase{"P4is3", {{'P', 4, 3}}, 0, 0, 0, 0, {}, 0, 0, 0, {86}},
                      // Raw words pin the bit positions independently of the packers above.
                      DecodeCase{"RawP4", {}, 0x1, 0, 0, 0, {}, 0, 0, 0, {84}},
                      DecodeCase{"RawF5", {}, 0xE0000000u, 0, 0, 0, {}, 0, 0, 0, {616}},
                      DecodeCase{"RawF6", {}, 0, 0x1, 0, 0, {}, 0, 0, 0, {20}},
                      DecodeCase{"RawF15", {}, 0, 0x38000000u, 0, 0, {}, 0, 0, 0, {656}},
                      DecodeCase{"RawF16F19", {}, 0, 0, 0x0E01, 0, {}, 0, 0, 0, {50, 672}},
                      DecodeCase{"UnreadBits", {}, 0, 0xC0000000u, 0xFFFFC000u, 0, {}, 0, 0, 0, {}},
                      DecodeCase{"FieldsThenPairs",
                                 {{'P', 1, 1}, {'F', 2, 2}, {'F', 1, 5}},
                                 0,
                                 0,
                                 0,
                                 0,
                                 {},
                                 0,
                                 0,
                                 0,
                                 {598, 9, 75}},
                      DecodeCase{"FlagsInOrder",
                                 {{'0', 0, 1}, {'2', 0, 2}},
                                 0xC00,
                                 0,
                                 0,
                                 0,
                                 {},
                                 0,
                                 0,
                                 0,
                                 {65, 67, 69, 70}},
                      DecodeCase{"M2is1", {{'2', 0, 1}}, 0, 0, 0, 0, {}, 0, 0, 0, {87}},
                      DecodeCase{"M0is2", {{'0', 0, 2}}, 0, 0, 0, 0, {}, 0, 0, 0, {71}},
                      DecodeCase{
                          "M0andM2is3", {{'0', 0, 3}, {'2', 0, 3}}, 0, 0, 0, 0, {}, 0, 0, 0, {}},
                      DecodeCase{"ExtraFlag1", {}, 0, 0, 0, 0, {}, 0, 0, 1, {88}},
                      DecodeCase{"ExtraFlag2", {}, 0, 0, 0, 0, {}, 0, 0, 2, {}},
                      DecodeCase{"ExtraFlagMinus", {}, 0, 0, 0, 0, {}, 0, 0, -1, {}}),
    [](const ::testing::TestParamInfo<DecodeCase> &info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    ListCodes, DecodeTest,
    ::testing::Values(
        DecodeCase{"Code189M2is3", {{'2', 0, 3}}, 0, 0, 0, 189, {}, 0, 0, 0, {}},
        DecodeCase{"Code189M2is2", {{'2', 0, 2}}, 0, 0, 0, 189, {}, 0, 0, 0, {65, 191}},
        DecodeCase{"Code189M2is1", {{'2', 0, 1}}, 0, 0, 0, 189, {}, 0, 0, 0, {87, 189}},
        DecodeCase{"Code189M2is0", {}, 0, 0, 0, 189, {}, 0, 0, 0, {}},
        DecodeCase{"EmptyListUsesSingle", {}, 0, 0, 0, 7400, {0}, 0, 0, 0, {282}},
        DecodeCase{"ListWinsOverSingle", {}, 0, 0, 0, 7400, {7500, 5}, 0, 0, 0, {433, 5}},
        DecodeCase{"FieldZeroConsumes", {}, 0, 0, 0, 6905, {}, 0, 0, 0, {}},
        DecodeCase{"FieldLow", {{'F', 4, 2}}, 0, 0, 0, 6905, {}, 0, 0, 0, {15, 356}},
        DecodeCase{"FieldHigh", {{'F', 4, 6}}, 0, 0, 0, 6905, {}, 0, 0, 0, {611, 931}},
        DecodeCase{"Fixed7400", {{'F', 0, 7}}, 0, 0, 0, 7400, {}, 0, 0, 0, {596, 282}},
        DecodeCase{"Fixed7500", {}, 0, 0, 0, 7500, {}, 0, 0, 0, {433}},
        DecodeCase{"Outside6900", {}, 0, 0, 0, 6900, {}, 0, 0, 0, {6900}},
        DecodeCase{"Outside7021", {}, 0, 0, 0, 7021, {}, 0, 0, 0, {7021}},
        DecodeCase{"OutsideHighBit", {}, 0, 0, 0, 0xFFFF, {}, 0, 0, 0, {0xFFFF}},
        DecodeCase{"RangeEnds",
                   {{'F', 0, 1}, {'F', 19, 4}},
                   0,
                   0,
                   0,
                   0,
                   {7001, 7020, 7401, 7420, 7501, 7520, 6901, 6920},
                   0,
                   0,
                   0,
                   {2, 669, 222, 829, 283, 909, 434, 1069, 343, 989}},
        DecodeCase{"PairRanges",
                   {{'P', 0, 1}, {'P', 4, 3}},
                   0,
                   0,
                   0,
                   0,
                   {6701, 6705, 7610, 7614, 6201, 6205, 6101, 6105, 6501, 6505, 7201, 7205, 6301,
                    6305, 7601, 7605, 6706, 7606},
                   0,
                   0,
                   0,
                   {72,  86,  403, 417, 1085, 1099, 509, 523, 494,  508,
                    207, 221, 418, 432, 192,  206,  577, 591, 6706, 7606}},
        DecodeCase{"SameCodeTwice", {{'F', 0, 1}}, 0, 0, 0, 2, {}, 0, 0, 0, {2, 2}}),
    [](const ::testing::TestParamInfo<DecodeCase> &info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Selectors, DecodeTest,
    ::testing::Values(DecodeCase{"S1PairSet", {{'P', 0, 1}}, 0, 0, 0, 0, {}, 1, 0, 0, {72, 93}},
                      DecodeCase{"S1PairLast", {{'P', 4, 3}}, 0, 0, 0, 0, {}, 5, 0, 0, {86, 107}},
                      DecodeCase{"S1PairZero", {}, 0, 0, 0, 0, {}, 1, 0, 0, {}},
                      DecodeCase{"S1Six", {}, 0, 0, 0, 0, {}, 6, 0, 0, {89}},
                      DecodeCase{"S1SevenM0is3", {{'0', 0, 3}}, 0, 0, 0, 0, {}, 7, 0, 0, {93}},
                      DecodeCase{"S1SevenM0is1", {{'0', 0, 1}}, 0, 0, 0, 0, {}, 7, 0, 0, {70, 91}},
                      DecodeCase{"S1SevenM0is0", {}, 0, 0, 0, 0, {}, 7, 0, 0, {}},
                      DecodeCase{"S1EightFlag", {}, 0x800, 0, 0, 0, {}, 8, 0, 0, {69, 90}},
                      DecodeCase{"S1EightNoFlag", {}, 0, 0, 0, 0, {}, 8, 0, 0, {}},
                      DecodeCase{"S1Other", {{'P', 0, 1}}, 0, 0, 0, 0, {}, 9, 0, 0, {72}},
                      DecodeCase{"S2One", {}, 0, 0, 0, 0, {}, 0, 1, 0, {168}},
                      DecodeCase{"S2High", {{'F', 0, 5}}, 0, 0, 0, 0, {}, 0, 2, 0, {594, 674}},
                      DecodeCase{"S2Low", {{'F', 19, 2}}, 0, 0, 0, 0, {}, 0, 21, 0, {60, 166}},
                      DecodeCase{"S2FieldZero", {}, 0, 0, 0, 0, {}, 0, 2, 0, {}},
                      DecodeCase{"S2Outside", {{'F', 0, 1}}, 0, 0, 0, 0, {}, 0, 22, 0, {2}}),
    [](const ::testing::TestParamInfo<DecodeCase> &info) { return info.param.name; });

// Every source at once, in the record's decoding order.
INSTANTIATE_TEST_SUITE_P(
    Whole, DecodeTest,
    ::testing::Values(DecodeCase{"Worked",
                                 {},
                                 0x6600,
                                 0,
                                 0x1005,
                                 189,
                                 {},
                                 7,
                                 18,
                                 1,
                                 {2, 658, 73, 87, 67, 71, 189, 92, 738, 88}},
                      DecodeCase{"WorkedWithList",
                                 {},
                                 0x6600,
                                 0,
                                 0x1005,
                                 189,
                                 {6905, 7400, 6703, 1234},
                                 7,
                                 18,
                                 1,
                                 {2, 658, 73, 87, 67, 71, 282, 1234, 92, 738, 88}}),
    [](const ::testing::TestParamInfo<DecodeCase> &info) { return info.param.name; });

struct RangeCase {
    uint16_t listCode;
    int32_t high;           // 1: TranslateRangeHigh, 0: TranslateRange
    int32_t expectedResult; // claimed / in range
    std::vector<uint16_t> expectedCodes;
};

class RangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(RangeTest, ClaimsOnlyItsRange)
{
    const RangeCase &c = GetParam();
    // Values 0, 1, 3, 4, 7 at offsets 0 to 4 of a range starting at 100.
    const uint8_t values[5] = {0, 1, 3, 4, 7};
    ASSERT_NE(CodeSetOp(CODESET_CREATE, 0), nullptr);
    int32_t claimed = c.high != 0 ? TranslateRangeHigh(c.listCode, values, 100, 5, 4, 500, 4)
                                  : TranslateRange(c.listCode, values, 100, 5, 3, 200);
    EXPECT_EQ(claimed, c.expectedResult);
    const CodeSet *set = CodeSetState();
    EXPECT_EQ(std::vector<uint16_t>(set->codes, set->codes + set->count), c.expectedCodes);
    CodeSetOp(CODESET_RELEASE, 0);
}

INSTANTIATE_TEST_SUITE_P(Bounds, RangeTest,
                         ::testing::Values(RangeCase{99, 1, 0, {}}, RangeCase{105, 1, 0, {}},
                                           RangeCase{100, 1, 0, {}}, RangeCase{102, 1, 0, {}},
                                           RangeCase{103, 1, 1, {512}}, RangeCase{104, 1, 1, {519}},
                                           RangeCase{99, 0, 0, {}}, RangeCase{105, 0, 0, {}},
                                           RangeCase{100, 0, 1, {}}, RangeCase{101, 0, 1, {203}},
                                           RangeCase{102, 0, 1, {208}},
                                           RangeCase{0xFFFF, 0, 0, {}}));

} // namespace
