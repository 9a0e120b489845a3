// The header's option-field helpers put each field where decoding reads it:
// every field at every value, set alone, adds the code of the field table.
#include "piecepaint/piecepaint.h"
#include "select/codeset.h"
#include "select/decode.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

std::vector<uint16_t> Decoded(const OptionRecord &r)
{
    EXPECT_NE(CodeSetOp(CODESET_CREATE, 0), nullptr);
    DecodeOptions(&r);
    const CodeSet *set = CodeSetState();
    std::vector<uint16_t> codes(set->codes, set->codes + set->count);
    CodeSetOp(CODESET_RELEASE, 0);
    return codes;
}

struct FieldKind {
    const char *name;
    int count, maxValue;
    std::function<void(OptionRecord *, int, uint32_t)> set;
    std::function<int(int, uint32_t)> code; // 0: none
};

TEST(OptionFields, HelpersMatchTheFieldTable)
{
    const FieldKind kinds[] = {
        {"F", PP_OPTION_F_COUNT, 7, ppOptionSetField,
         [](int i, uint32_t v) { return v <= 3 ? 3 * i + int(v) + 1 : 4 * i + int(v) + 589; }},
        {"P", PP_OPTION_P_COUNT, 3, ppOptionSetPair,
         [](int i, uint32_t v) { return 3 * i + int(v) + 71; }},
        {"M0", 1, 3, [](OptionRecord *r, int, uint32_t v) { ppOptionSetM0(r, v); },
         [](int, uint32_t v) { return v == 1 ? 70 : (v == 2 ? 71 : 0); }},
        {"M2", 1, 3, [](OptionRecord *r, int, uint32_t v) { ppOptionSetM2(r, v); },
         [](int, uint32_t v) { return v == 1 ? 87 : (v == 2 ? 65 : 0); }},
    };
    for (const FieldKind &k : kinds) {
        for (int i = 0; i < k.count; ++i) {
            for (uint32_t v = 1; v <= uint32_t(k.maxValue); ++v) {
                // Set over a full word: the helper clears the field's other bits only.
                OptionRecord r{};
                k.set(&r, i, k.maxValue);
                k.set(&r, i, v);
                int code = k.code(i, v);
                EXPECT_EQ(Decoded(r),
                          code ? std::vector<uint16_t>{uint16_t(code)} : std::vector<uint16_t>{})
                    << k.name << i << " = " << v;
            }
        }
    }
    OptionRecord flags{};
    flags.bits0 = PP_OPTION_FLAG_400 | PP_OPTION_FLAG_800;
    EXPECT_EQ(Decoded(flags), (std::vector<uint16_t>{67, 69}));
}

} // namespace
