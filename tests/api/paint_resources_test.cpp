// PaintPrt's catalogue stage: result codes, and every resource handle that a
// call obtains released exactly once.
#include "catalog/records.h"
#include "platform/portable/heap.h"
#include "support/builders.h"
#include "support/dib.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using pptest::ModuleGuard;

// Paints into a device whose surface is a known colour and checks that a
// call that fails before composing leaves the device as it was.
int Paint(HMODULE module)
{
    pptest::DeviceGuard device(PP_DEVICE_TRUECOLOR, 16, 16);
    ppDCFill(device.get(), 0x123456);
    ppDCClearLog(device.get());
    int result = PaintPrt(device.get(), module, module, 0, 0, 100, 100, 100, 100, 1, 0, 0, nullptr,
                          192, 0, nullptr);
    if (result != PP_RESULT_OK) {
        EXPECT_STREQ(ppDCLogText(device.get()), "");
        for (uint32_t pixel : device.Pixels())
            EXPECT_EQ(pixel, 0x123456u);
    }
    return result;
}

std::vector<uint8_t> EmptyCatalogue()
{
    return pptest::BuildCatalog(pptest::DefaultHeader(), {});
}

struct FaultCase {
    const char *name;
    ResourceFault fault;
    int expected;
    int expectedFrees;
};

class CatalogueFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CatalogueFaultTest, ReportsTheLoaderCodeAndReleasesWhatWasObtained)
{
    ModuleGuard module;
    module.Add(PP_CATALOGUE_ID, EmptyCatalogue());
    ppModuleSetFault(module.get(), PP_CATALOGUE_ID, GetParam().fault);
    int32_t live = ppHeapLiveBlocks();

    EXPECT_EQ(Paint(module.get()), GetParam().expected);
    EXPECT_EQ(ppModuleFreeCount(module.get(), PP_CATALOGUE_ID), GetParam().expectedFrees);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CatalogueFaultTest,
    ::testing::Values(FaultCase{"NotFound", ResourceFault::NotFound, PP_RESULT_NOT_FOUND, 0},
                      FaultCase{"LoadFails", ResourceFault::LoadFails, PP_RESULT_LOAD_FAILED, 0},
                      // A loaded but unlockable catalogue is still released.
                      FaultCase{"LockFails", ResourceFault::LockFails, PP_RESULT_LOCK_FAILED, 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PaintCatalogue, MissingCatalogueIsNotFound)
{
    ModuleGuard module;
    EXPECT_EQ(Paint(module.get()), PP_RESULT_NOT_FOUND);
}

TEST(PaintCatalogue, PieceArrayAllocationFailureIs12AndReleasesTheCatalogue)
{
    ModuleGuard module;
    module.Add(PP_CATALOGUE_ID, EmptyCatalogue());
    int32_t live = ppHeapLiveBlocks();
    ppHeapFailNth(1);
    EXPECT_EQ(Paint(module.get()), PP_RESULT_NO_PIECE_MEMORY);
    ppHeapFailNth(0);
    EXPECT_EQ(ppModuleFreeCount(module.get(), PP_CATALOGUE_ID), 1);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
}

TEST(PaintCatalogue, NegativeMaxPiecesIs12WithoutAskingTheHeap)
{
    CatalogHeader header = pptest::DefaultHeader();
    header.maxPieces = -1;
    ModuleGuard module;
    module.Add(PP_CATALOGUE_ID, pptest::BuildCatalog(header, {}));
    int64_t calls = ppHeapAllocCalls();
    EXPECT_EQ(Paint(module.get()), PP_RESULT_NO_PIECE_MEMORY);
    EXPECT_EQ(ppHeapAllocCalls(), calls);
    EXPECT_EQ(ppModuleFreeCount(module.get(), PP_CATALOGUE_ID), 1);
}

TEST(PaintCatalogue, ZeroMaxPiecesSelectsNothing)
{
    CatalogHeader header = pptest::DefaultHeader();
    header.maxPieces = 0;
    ModuleGuard module;
    module.Add(PP_CATALOGUE_ID,
               pptest::BuildCatalog(header, {pptest::MakeTemplate(500, 1, 0x8000)}));
    EXPECT_EQ(Paint(module.get()), PP_RESULT_NOTHING_SELECTED);
    EXPECT_EQ(ppModuleFreeCount(module.get(), PP_CATALOGUE_ID), 1);
}

// A catalogue that does not hold what its header claims is a failed load.
struct ShortCase {
    const char *name;
    size_t size;
    int16_t templateCount;
    int16_t templateOffset;
    int expected;
};

class ShortCatalogueTest : public ::testing::TestWithParam<ShortCase> {};

TEST_P(ShortCatalogueTest, IsCheckedAgainstTheResourceSize)
{
    const ShortCase &c = GetParam();
    std::vector<uint8_t> bytes(c.size, 0);
    if (c.size >= CATALOG_HEADER_SIZE) {
        CatalogHeader header = pptest::DefaultHeader();
        header.templateCount = c.templateCount;
        header.templateOffset = c.templateOffset;
        std::memcpy(bytes.data(), &header, sizeof header);
    }
    ModuleGuard module;
    module.Add(PP_CATALOGUE_ID, bytes);
    int32_t live = ppHeapLiveBlocks();
    EXPECT_EQ(Paint(module.get()), c.expected);
    EXPECT_EQ(ppModuleFreeCount(module.get(), PP_CATALOGUE_ID), 1);
    EXPECT_EQ(ppHeapLiveBlocks(), live);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ShortCatalogueTest,
    ::testing::Values(ShortCase{"Empty", 0, 0, 56, PP_RESULT_LOAD_FAILED},
                      ShortCase{"ShortHeader", 55, 0, 56, PP_RESULT_LOAD_FAILED},
                      ShortCase{"HeaderOnly", 56, 0, 56, PP_RESULT_NOTHING_SELECTED},
                      ShortCase{"NegativeCountReadsNoTable", 56, -3, 56,
                                PP_RESULT_NOTHING_SELECTED},
                      ShortCase{"TableOneByteShort", 56 + 94 - 1, 1, 56, PP_RESULT_LOAD_FAILED},
                      ShortCase{"TableBeforeResource", 56 + 94, 1, -94, PP_RESULT_LOAD_FAILED},
                      ShortCase{"TableInsideHeader", 200, 1, 0, PP_RESULT_NOTHING_SELECTED},
                      ShortCase{"TablePastEnd", 56 + 94, 1, 57, PP_RESULT_LOAD_FAILED},
                      ShortCase{"HugeCount", 200, 32767, 56, PP_RESULT_LOAD_FAILED}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
