#include "select/decode.h"

#include "catalog/limits.h"
#include "select/codeset.h"

#include <cstddef>

// The host builds this record with its own compiler; its layout is the
// natural C one on both pointer sizes.
static_assert(offsetof(OptionRecord, bits0) == 0);
static_assert(offsetof(OptionRecord, bits1) == 4);
static_assert(offsetof(OptionRecord, bits2) == 8);
static_assert(offsetof(OptionRecord, singleCode) == 12);
static_assert(offsetof(OptionRecord, codeList) == 16);
static_assert(sizeof(void *) == 4 || sizeof(void *) == 8);
static_assert(offsetof(OptionRecord, selector1) == (sizeof(void *) == 4 ? 20 : 24));
static_assert(offsetof(OptionRecord, selector2) == (sizeof(void *) == 4 ? 22 : 26));
static_assert(offsetof(OptionRecord, extraFlag) == (sizeof(void *) == 4 ? 24 : 28));
static_assert(sizeof(OptionRecord) == (sizeof(void *) == 4 ? 28 : 32));

namespace {

constexpr int32_t kFieldCount = 20; // F0..F19, three bits each
constexpr int32_t kPairCount = 5;   // P0..P4, two bits each

constexpr uint32_t kFlag400 = 0x400;
constexpr uint32_t kFlag800 = 0x800;

// The unpacked small fields of one record.
struct Fields {
    uint8_t f[kFieldCount];
    uint8_t p[kPairCount];
    uint8_t m0;
    uint8_t m2;
    bool flag400;
    bool flag800;
};

Fields Unpack(const OptionRecord &options)
{
    Fields fields{};
    for (int32_t i = 0; i < kFieldCount; ++i) {
        uint32_t word;
        int32_t shift;
        if (i < 6) {
            word = options.bits0;
            shift = 14 + 3 * i;
        } else if (i < 16) {
            word = options.bits1;
            shift = 3 * (i - 6);
        } else {
            word = options.bits2;
            shift = 3 * (i - 16);
        }
        fields.f[i] = static_cast<uint8_t>((word >> shift) & 7u);
    }
    // P0 is the highest pair of the low ten bits, P4 the lowest.
    for (int32_t i = 0; i < kPairCount; ++i)
        fields.p[i] = static_cast<uint8_t>((options.bits0 >> (8 - 2 * i)) & 3u);
    fields.m0 = static_cast<uint8_t>((options.bits0 & 0x3000u) >> 12);
    fields.m2 = static_cast<uint8_t>((options.bits2 & 0x3000u) >> 12);
    fields.flag400 = (options.bits0 & kFlag400) != 0;
    fields.flag800 = (options.bits0 & kFlag800) != 0;
    return fields;
}

struct Range {
    int32_t start;
    int32_t lowBase;  // values 1 to 3
    int32_t highBase; // values 4 to 7 (three-bit ranges only)
};

// The order matters only between the high and low pass of one range.
constexpr Range kFieldRanges[] = {
    {6901, 343, 913}, {7501, 434, 993}, {7401, 283, 833}, {7001, 222, 753}};
constexpr Range kPairRanges[] = {{6701, 403, 0}, {7610, 1085, 0}, {6201, 509, 0}, {6101, 494, 0},
                                 {6501, 207, 0}, {7201, 418, 0},  {6301, 192, 0}, {7601, 577, 0}};

constexpr int32_t kFieldRangeLength = 20;
constexpr int32_t kPairRangeLength = 5;
constexpr int32_t kHighMultiplier = 4;
constexpr int32_t kLowMultiplier = 3;
constexpr int32_t kHighThreshold = 4;

void AddFieldCodes(const Fields &fields)
{
    for (int32_t i = 0; i < kFieldCount; ++i) {
        int32_t v = fields.f[i];
        if (v >= 1 && v <= 3)
            AddCode(3 * i + v + 1);
        else if (v >= 4)
            AddCode(4 * i + v + 589);
    }
    for (int32_t i = 0; i < kPairCount; ++i) {
        int32_t v = fields.p[i];
        if (v != 0)
            AddCode(3 * i + v + 71);
    }
}

void AddFlagCodes(const Fields &fields)
{
    if (fields.m2 == 1)
        AddCode(87);
    else if (fields.m2 == 2)
        AddCode(65);
    if (fields.flag400)
        AddCode(67);
    if (fields.flag800)
        AddCode(69);
    if (fields.m0 == 1)
        AddCode(70);
    else if (fields.m0 == 2)
        AddCode(71);
}

bool TranslateFieldRanges(uint16_t c, const Fields &fields)
{
    for (const Range &r : kFieldRanges) {
        if (TranslateRangeHigh(c, fields.f, r.start, kFieldRangeLength, kHighMultiplier, r.highBase,
                               kHighThreshold) != 0)
            return true;
    }
    for (const Range &r : kFieldRanges) {
        if (TranslateRange(c, fields.f, r.start, kFieldRangeLength, kLowMultiplier, r.lowBase) != 0)
            return true;
    }
    for (const Range &r : kPairRanges) {
        if (TranslateRange(c, fields.p, r.start, kPairRangeLength, kLowMultiplier, r.lowBase) != 0)
            return true;
    }
    return false;
}

void TranslateListCode(uint16_t c, const Fields &fields)
{
    if (TranslateFieldRanges(c, fields))
        return;
    if (c == 189) {
        if (fields.m2 == 1)
            AddCode(189);
        else if (fields.m2 == 2)
            AddCode(191);
        return;
    }
    if (c == 7400) {
        AddCode(282);
        return;
    }
    if (c == 7500) {
        AddCode(433);
        return;
    }
    AddCode(c);
}

void AddListCodes(const OptionRecord &options, const Fields &fields)
{
    const uint16_t *list = options.codeList;
    if (list != nullptr && list[0] != 0) {
        // Read no further than the limit, terminated or not.
        int32_t limit = CurrentLimits().maxCodes;
        for (int32_t n = 0; n < limit && list[n] != 0; ++n)
            TranslateListCode(list[n], fields);
        return;
    }
    if (options.singleCode != 0)
        TranslateListCode(options.singleCode, fields);
}

void AddSelector1(uint16_t selector, const Fields &fields)
{
    if (TranslateRange(selector, fields.p, 1, kPairRangeLength, kLowMultiplier, 93) != 0)
        return;
    if (selector == 6) {
        AddCode(89);
    } else if (selector == 7) {
        if (fields.m0 != 0)
            AddCode(90 + fields.m0);
    } else if (selector == 8) {
        if (fields.flag800)
            AddCode(90);
    }
}

void AddSelector2(uint16_t selector, const Fields &fields)
{
    if (TranslateRangeHigh(selector, fields.f, 2, kFieldRangeLength, kHighMultiplier, 673,
                           kHighThreshold) != 0)
        return;
    if (TranslateRange(selector, fields.f, 2, kFieldRangeLength, kLowMultiplier, 108) != 0)
        return;
    if (selector == 1)
        AddCode(168);
}

// Where the list code lies in [start, start + length), its offset; else -1.
int32_t RangeIndex(uint16_t listCode, int32_t start, int32_t length)
{
    int32_t c = listCode;
    if (c < start || c >= start + length)
        return -1;
    return c - start;
}

} // namespace

int32_t TranslateRangeHigh(uint16_t listCode, const uint8_t *values, int32_t start, int32_t length,
                           int32_t multiplier, int32_t base, int32_t threshold)
{
    int32_t k = RangeIndex(listCode, start, length);
    if (k < 0)
        return 0;
    int32_t v = values[k];
    if (v < threshold)
        return 0;
    AddCode(base + multiplier * k + v - threshold);
    return 1;
}

int32_t TranslateRange(uint16_t listCode, const uint8_t *values, int32_t start, int32_t length,
                       int32_t multiplier, int32_t base)
{
    int32_t k = RangeIndex(listCode, start, length);
    if (k < 0)
        return 0;
    int32_t v = values[k];
    // A code in range is consumed even when its field is 0.
    if (v != 0)
        AddCode(base + multiplier * k + v - 1);
    return 1;
}

void DecodeOptions(const OptionRecord *options)
{
    if (options == nullptr)
        return;
    Fields fields = Unpack(*options);
    AddFieldCodes(fields);
    AddFlagCodes(fields);
    AddListCodes(*options, fields);
    AddSelector1(options->selector1, fields);
    AddSelector2(options->selector2, fields);
    if (options->extraFlag == 1)
        AddCode(88);
}
