// Host limits: no catalogue or code list makes one paint take unbounded
// memory or time.
#include "malformed_support.h"
#include "platform/portable/heap.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using pptest::LimitsTest;

// One piece of width x height at every level, with a bitmap of that size
// when it is small enough to build.
void AddPicture(pptest::ModuleGuard &module, int16_t width, int16_t height)
{
    PieceTemplate t = pptest::MakeTemplate(500, 0xA001, 0xA001);
    t.bitmapId = 1000;
    pptest::SetSize(t, width, height);
    module.Add(PP_CATALOGUE_ID, pptest::BuildCatalog(pptest::DefaultHeader(), {t}));
    if (int32_t{width} * height <= 1 << 16)
        module.Add(1000, pptest::BuildBitmap(width, height, 8, 256, {}));
}

TEST(Limits, DefaultsAndResets)
{
    PpLimits limits{};
    ppGetLimits(&limits);
    EXPECT_EQ(limits.maxPictureBytes, PP_DEFAULT_MAX_PICTURE_BYTES);
    EXPECT_EQ(limits.maxPictureBytes, 64u << 20);
    EXPECT_EQ(limits.maxTemplates, PP_DEFAULT_MAX_TEMPLATES);
    EXPECT_EQ(limits.maxCodes, PP_DEFAULT_MAX_CODES);

    struct Case {
        PpLimits given;
        PpLimits expected;
    };
    const Case cases[] = {
        {{1000, 7, 9}, {1000, 7, 9}},
        // Zero and negative fields stand for their defaults.
        {{0, 0, 0}, {PP_DEFAULT_MAX_PICTURE_BYTES, PP_DEFAULT_MAX_TEMPLATES, PP_DEFAULT_MAX_CODES}},
        {{5, -1, -7}, {5, PP_DEFAULT_MAX_TEMPLATES, PP_DEFAULT_MAX_CODES}},
        // No catalogue can claim more than a 16-bit count.
        {{5, 100000, 100000}, {5, 32767, 100000}},
    };
    for (const Case &c : cases) {
        ppSetLimits(&c.given);
        ppGetLimits(&limits);
        EXPECT_EQ(limits.maxPictureBytes, c.expected.maxPictureBytes);
        EXPECT_EQ(limits.maxTemplates, c.expected.maxTemplates);
        EXPECT_EQ(limits.maxCodes, c.expected.maxCodes);
    }
    ppSetLimits(nullptr);
    ppGetLimits(&limits);
    EXPECT_EQ(limits.maxPictureBytes, PP_DEFAULT_MAX_PICTURE_BYTES);
    ppGetLimits(nullptr); // ignored
}

struct PictureCase {
    const char *name;
    uint32_t limit; // 0: the default
    int16_t width;
    int16_t height;
    int expected;
};

class PictureLimitTest : public LimitsTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(PictureLimitTest, LargerPicturesAreRefusedBeforeAnyMemoryIsAskedFor)
{
    const PictureCase &c = GetParam();
    SetLimits(c.limit, 0, 0);
    pptest::ModuleGuard module;
    AddPicture(module, c.width, c.height);
    const uint16_t codes[] = {500, 0};
    int32_t live = ppHeapLiveBlocks();
    ppHeapResetLargestRequest();

    EXPECT_EQ(pptest::PaintModule(module.get(), 5, nullptr, codes), c.expected);

    uint64_t picture = uint64_t((c.width + 3) / 4 * 4) * uint64_t(c.height);
    if (c.expected == PP_RESULT_NO_PICTURE_MEMORY)
        EXPECT_LT(ppHeapLargestRequest(), 64u * 1024u);
    else
        EXPECT_GE(ppHeapLargestRequest(), picture + 2);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
    EXPECT_EQ(ppModuleFreeCount(module.get(), PP_CATALOGUE_ID), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PictureLimitTest,
    ::testing::Values(
        // 30000 x 30000 bytes would be 900 MB: refused as a failed picture.
        PictureCase{"ThirtyThousandSquare", 0, 30000, 30000, PP_RESULT_NO_PICTURE_MEMORY},
        PictureCase{"ThirtyThousandWide", 0, 30000, 2300, PP_RESULT_NO_PICTURE_MEMORY},
        // The limit bounds stride x height: 64 x 64 is 4096 bytes.
        PictureCase{"AtTheLimit", 4096, 64, 64, PP_RESULT_OK},
        PictureCase{"OneRowOver", 4096, 64, 65, PP_RESULT_NO_PICTURE_MEMORY},
        // Width 61 takes a stride of 64, as much as width 64.
        PictureCase{"StrideCounts", 4095, 61, 64, PP_RESULT_NO_PICTURE_MEMORY},
        PictureCase{"EmptyPicture", 1, 0, 0, PP_RESULT_OK}),
    [](const auto &info) { return std::string(info.param.name); });

class TemplateLimitTest : public LimitsTest {};

TEST_F(TemplateLimitTest, CatalogueClaimingMoreTemplatesIsAFailedLoad)
{
    SetLimits(0, 3, 0);
    for (int16_t count : {3, 4}) {
        pptest::ModuleGuard module;
        std::vector<PieceTemplate> templates(static_cast<size_t>(count),
                                             pptest::MakeTemplate(500, 0xA001, 0xA001));
        for (PieceTemplate &t : templates)
            t.bitmapId = 1000;
        module.Add(PP_CATALOGUE_ID, pptest::BuildCatalog(pptest::DefaultHeader(), templates));
        module.Add(1000, pptest::BuildBitmap(4, 4, 8, 256, {}));
        const uint16_t codes[] = {500, 0};
        int32_t live = ppHeapLiveBlocks();
        EXPECT_EQ(pptest::PaintModule(module.get(), 1, nullptr, codes),
                  count <= 3 ? PP_RESULT_OK : PP_RESULT_LOAD_FAILED)
            << count << " templates";
        EXPECT_EQ(ppHeapLiveBlocks(), live);
        EXPECT_EQ(ppModuleFreeCount(module.get(), PP_CATALOGUE_ID), 1);
    }
}

// Two templates: code 500 draws at x 0, code 600 at x 8; the picture's width
// tells which were selected.
class CodeLimitTest : public LimitsTest {
  protected:
    void SetUp() override
    {
        PieceTemplate a = pptest::MakeTemplate(500, 0xA001, 0xA001);
        PieceTemplate b = pptest::MakeTemplate(600, 0xA001, 0xA001);
        a.bitmapId = b.bitmapId = 1000;
        for (int level = 0; level < 5; ++level)
            b.offsetX[level] = 8;
        module_.Add(PP_CATALOGUE_ID, pptest::BuildCatalog(pptest::DefaultHeader(), {a, b}));
        module_.Add(1000, pptest::BuildBitmap(4, 4, 8, 256, {}));
    }
    pptest::ModuleGuard module_;
};

TEST_F(CodeLimitTest, ExtraCodesAreReadNoFurtherThanTheLimit)
{
    SetLimits(0, 0, 4);
    // Exactly four entries and no terminator: the list ends at the limit,
    // and nothing behind it is read (the sanitizer build would see it).
    std::vector<uint16_t> unterminated = {7, 7, 7, 500};
    EXPECT_EQ(pptest::PaintModule(module_.get(), 1, nullptr, unterminated.data()), PP_RESULT_OK);
    // A code behind the limit is not read, even with a terminator after it.
    std::vector<uint16_t> longer = {7, 7, 7, 7, 500, 0};
    EXPECT_EQ(pptest::PaintModule(module_.get(), 1, nullptr, longer.data()),
              PP_RESULT_NOTHING_SELECTED);
}

TEST_F(CodeLimitTest, OptionCodeListIsReadNoFurtherThanTheLimit)
{
    SetLimits(0, 0, 3);
    std::vector<uint16_t> unterminated = {7, 7, 600};
    OptionRecord options{};
    options.codeList = unterminated.data();
    EXPECT_EQ(pptest::PaintModule(module_.get(), 1, &options), PP_RESULT_OK);
    std::vector<uint16_t> longer = {7, 7, 7, 600, 0};
    options.codeList = longer.data();
    EXPECT_EQ(pptest::PaintModule(module_.get(), 1, &options), PP_RESULT_NOTHING_SELECTED);
}

} // namespace
