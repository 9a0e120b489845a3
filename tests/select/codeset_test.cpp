#include "platform/portable/heap.h"
#include "select/codeset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The stored codes (the first count entries), after checking that every
// entry behind them is 0 and that end sits right behind them.
std::vector<uint16_t> StoredCodes()
{
    const CodeSet *set = CodeSetState();
    EXPECT_NE(set->codes, nullptr);
    if (set->codes == nullptr)
        return {};
    EXPECT_LE(set->count, set->capacity - 1);
    for (int32_t i = set->count; i < set->capacity; ++i)
        EXPECT_EQ(set->codes[i], 0) << "entry " << i;
    return std::vector<uint16_t>(set->codes, set->codes + set->count);
}

class CodeSetTest : public ::testing::Test {
  protected:
    void SetUp() override { baseline_ = ppHeapLiveBlocks(); }
    void TearDown() override
    {
        ppHeapFailNth(0);
        EXPECT_EQ(CodeSetOp(CODESET_RELEASE, 0), nullptr);
        EXPECT_EQ(ppHeapLiveBlocks(), baseline_);
    }
    int32_t baseline_ = 0;
};

struct GrowthCase {
    int32_t adds;
    int32_t capacity;
};

class CodeSetGrowth : public CodeSetTest, public ::testing::WithParamInterface<GrowthCase> {};

TEST_P(CodeSetGrowth, KeepsEveryCodeInOrder)
{
    const GrowthCase &c = GetParam();
    uint16_t *codes = CodeSetOp(CODESET_CREATE, 0);
    ASSERT_NE(codes, nullptr);
    std::vector<uint16_t> expected;
    for (int32_t i = 0; i < c.adds; ++i) {
        uint16_t code = static_cast<uint16_t>(1000 + i * 7);
        codes = AddCode(code);
        expected.push_back(code);
    }
    const CodeSet *set = CodeSetState();
    EXPECT_EQ(codes, set->codes);
    EXPECT_EQ(set->capacity, c.capacity);
    EXPECT_EQ(set->count, c.adds);
    EXPECT_EQ(set->end, set->codes + c.adds);
    EXPECT_EQ(StoredCodes(), expected);
    for (uint16_t code : expected)
        EXPECT_EQ(HasCode(codes, code), 1);
}

// The last entry of a buffer is never written: 99 codes fill 100 entries.
INSTANTIATE_TEST_SUITE_P(Steps, CodeSetGrowth,
                         ::testing::Values(GrowthCase{0, 100}, GrowthCase{99, 100},
                                           GrowthCase{100, 200}, GrowthCase{199, 200},
                                           GrowthCase{200, 300}, GrowthCase{450, 500}));

struct Step {
    int32_t operation;
    int32_t code;
};

struct EditCase {
    std::string name;
    std::vector<Step> steps;
    std::vector<uint16_t> expected;
};

class CodeSetEdits : public CodeSetTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(CodeSetEdits, LeavesTheExpectedCodes)
{
    ASSERT_NE(CodeSetOp(CODESET_CREATE, 0), nullptr);
    uint16_t *buffer = CodeSetState()->codes;
    for (const Step &s : GetParam().steps)
        EXPECT_EQ(CodeSetOp(s.operation, s.code), buffer) << "operation " << s.operation;
    EXPECT_EQ(StoredCodes(), GetParam().expected);
    EXPECT_EQ(CodeSetState()->end, buffer + GetParam().expected.size());
}

constexpr int32_t kAdd = CODESET_ADD;
constexpr int32_t kRemove = CODESET_REMOVE;

INSTANTIATE_TEST_SUITE_P(
    Cases, CodeSetEdits,
    ::testing::Values(
        EditCase{"DuplicatesAreKept", {{kAdd, 5}, {kAdd, 5}, {kAdd, 6}}, {5, 5, 6}},
        EditCase{"RemoveTakesEveryOccurrence",
                 {{kAdd, 5}, {kAdd, 7}, {kAdd, 5}, {kAdd, 9}, {kAdd, 5}, {kRemove, 5}},
                 {7, 9}},
        EditCase{"AddAfterRemoveWritesBehindLastKept",
                 {{kAdd, 5}, {kAdd, 7}, {kAdd, 5}, {kRemove, 5}, {kAdd, 11}},
                 {7, 11}},
        EditCase{"RemoveAll", {{kAdd, 3}, {kAdd, 3}, {kAdd, 3}, {kRemove, 3}}, {}},
        EditCase{"RemoveAbsent", {{kAdd, 1}, {kAdd, 2}, {kRemove, 4}}, {1, 2}},
        EditCase{"RemoveFromEmpty", {{kRemove, 4}}, {}},
        EditCase{"LowSixteenBits", {{kAdd, 0x10005}, {kAdd, 0x7FFF0006}, {kRemove, 0x30006}}, {5}},
        EditCase{"NegativeIsItsLowBits", {{kAdd, -1}, {kAdd, 2}}, {0xFFFF, 2}},
        EditCase{"OtherOperationsChangeNothing",
                 {{kAdd, 4}, {0, 8}, {3, 8}, {4, 8}, {6, 8}, {8, 4}, {10, 4}, {-1, 4}},
                 {4}},
        EditCase{"ZeroIsStored", {{kAdd, 3}, {kAdd, 0}, {kAdd, 4}}, {3, 0, 4}}),
    [](const ::testing::TestParamInfo<EditCase> &info) { return info.param.name; });

TEST_F(CodeSetTest, ZeroEntryHidesTheCodesBehindIt)
{
    CodeSetOp(CODESET_CREATE, 0);
    AddCode(3);
    AddCode(0);
    uint16_t *codes = AddCode(4);
    EXPECT_EQ(HasCode(codes, 3), 1);
    EXPECT_EQ(HasCode(codes, 4), 0);
    EXPECT_EQ(HasCode(codes, 0), 0);
}

TEST_F(CodeSetTest, GrowthCopiesUpToTheFirstZeroEntry)
{
    CodeSetOp(CODESET_CREATE, 0);
    AddCode(1);
    AddCode(0);
    for (int32_t i = 2; i < 99; ++i)
        AddCode(i);
    uint16_t *codes = AddCode(500);
    EXPECT_EQ(codes[0], 1);
    EXPECT_EQ(codes[1], 500);
    EXPECT_EQ(codes[2], 0);
    EXPECT_EQ(CodeSetState()->end, codes + 2);
    EXPECT_EQ(CodeSetState()->count, 100);
    EXPECT_EQ(CodeSetState()->capacity, 200);
    // The set stays usable inside its buffer.
    EXPECT_EQ(AddCode(600)[2], 600);
    CodeSetOp(CODESET_REMOVE, 600);
    EXPECT_EQ(HasCode(CodeSetOp(CODESET_GET, 0), 600), 0);
}

struct HasCase {
    std::vector<uint16_t> list; // terminator added by the test
    int32_t code;
    int32_t expected;
};

class HasCodeTest : public ::testing::TestWithParam<HasCase> {};

TEST_P(HasCodeTest, Answers)
{
    std::vector<uint16_t> list = GetParam().list;
    list.push_back(0);
    list.push_back(GetParam().code); // behind the terminator: never seen
    EXPECT_EQ(HasCode(list.data(), GetParam().code), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lists, HasCodeTest,
                         ::testing::Values(HasCase{{}, 5, 0}, HasCase{{}, 0, 0},
                                           HasCase{{1, 2, 3}, 0, 0}, HasCase{{1, 2, 3}, 3, 1},
                                           HasCase{{1, 2, 3}, 1, 1}, HasCase{{1, 2, 3}, 4, 0},
                                           HasCase{{0xFFFF}, -1, 1}, HasCase{{7}, 0x70007, 1}));

TEST(HasCode, NullListContainsNothing)
{
    EXPECT_EQ(HasCode(nullptr, 1), 0);
}

TEST_F(CodeSetTest, WithoutASetEveryOperationAnswersNull)
{
    CodeSetOp(CODESET_RELEASE, 0);
    for (int32_t op :
         std::vector<int32_t>{CODESET_RELEASE, CODESET_GET, CODESET_ADD, CODESET_REMOVE, 0, 3, 12})
        EXPECT_EQ(CodeSetOp(op, 9), nullptr) << "operation " << op;
    EXPECT_EQ(AddCode(9), nullptr);
    const CodeSet *set = CodeSetState();
    EXPECT_EQ(set->codes, nullptr);
    EXPECT_EQ(set->end, nullptr);
    EXPECT_EQ(set->count, 0);
    EXPECT_EQ(set->capacity, 0);
}

TEST_F(CodeSetTest, ReleaseClearsTheState)
{
    CodeSetOp(CODESET_CREATE, 0);
    AddCode(4);
    EXPECT_EQ(CodeSetOp(CODESET_RELEASE, 0), nullptr);
    const CodeSet *set = CodeSetState();
    EXPECT_EQ(set->codes, nullptr);
    EXPECT_EQ(set->end, nullptr);
    EXPECT_EQ(set->count, 0);
    EXPECT_EQ(set->capacity, 0);
    EXPECT_EQ(ppHeapLiveBlocks(), baseline_);
}

TEST_F(CodeSetTest, CreateWhileHeldStartsEmptyWithoutLeaking)
{
    CodeSetOp(CODESET_CREATE, 0);
    AddCode(4);
    ASSERT_NE(CodeSetOp(CODESET_CREATE, 0), nullptr);
    EXPECT_EQ(StoredCodes(), std::vector<uint16_t>{});
    EXPECT_EQ(ppHeapLiveBlocks(), baseline_ + 1);
}

TEST_F(CodeSetTest, FailedCreateLeavesAnEmptySetWithoutBuffer)
{
    ppHeapFailNth(1);
    EXPECT_EQ(CodeSetOp(CODESET_CREATE, 0), nullptr);
    EXPECT_EQ(AddCode(4), nullptr);
    EXPECT_EQ(CodeSetOp(CODESET_REMOVE, 4), nullptr);
    EXPECT_EQ(HasCode(CodeSetOp(CODESET_GET, 0), 4), 0);
    const CodeSet *set = CodeSetState();
    EXPECT_EQ(set->codes, nullptr);
    EXPECT_EQ(set->end, nullptr);
    EXPECT_EQ(set->count, 0);
    EXPECT_EQ(set->capacity, 0);
    EXPECT_EQ(ppHeapLiveBlocks(), baseline_);
}

TEST_F(CodeSetTest, FailedGrowthDropsOnlyThatCode)
{
    CodeSetOp(CODESET_CREATE, 0);
    std::vector<uint16_t> expected;
    for (uint16_t i = 1; i <= 99; ++i) {
        AddCode(i);
        expected.push_back(i);
    }
    uint16_t *before = CodeSetState()->codes;
    ppHeapFailNth(1);
    EXPECT_EQ(AddCode(777), before);
    EXPECT_EQ(CodeSetState()->capacity, 100);
    EXPECT_EQ(CodeSetState()->end, before + 99);
    EXPECT_EQ(StoredCodes(), expected);
    EXPECT_EQ(ppHeapLiveBlocks(), baseline_ + 1);
    // The next add grows normally.
    AddCode(778);
    expected.push_back(778);
    EXPECT_EQ(CodeSetState()->capacity, 200);
    EXPECT_EQ(StoredCodes(), expected);
    EXPECT_EQ(ppHeapLiveBlocks(), baseline_ + 1);
}

} // namespace
