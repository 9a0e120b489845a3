// The tool's module check reads templates in place, where the rule codes lie
// at odd offsets. Built with the sanitizers, this test stops on any
// misaligned access; it once bound references to those packed codes.
#include "catalog_check.h"
#include "support/builders.h"

#include <gtest/gtest.h>

namespace {

TEST(ToolCheck, RuleCodesAtOddOffsetsAreReadByValue)
{
    PieceTemplate t = pptest::MakeTemplate(500, 0xA001, 0xA001);
    t.bitmapId = 1000;
    t.ruleOp = 8;
    t.ruleCodeA = 1500; // produced by nothing: the check names it
    t.ruleCodeB = 67;
    pptool::ResourceMap module;
    module[PP_CATALOGUE_ID] = pptest::BuildCatalog(pptest::DefaultHeader(), {t});
    for (int16_t level = 0; level < 5; ++level)
        module[static_cast<uint16_t>(1000 + level)] = pptest::BuildBitmap(4, 4, 8, 256, {});

    std::vector<pptool::Finding> findings = pptool::CheckModule(module, {}, {});
    bool named = false;
    for (const pptool::Finding &f : findings)
        named = named || f.text.find("rule code A = 1500") != std::string::npos;
    EXPECT_TRUE(named);
}

} // namespace
