// LoadRcData over in-memory modules with injected faults: the result codes,
// what lands in the handle slot, and that each handle is freed once.
#include "api/loader.h"
#include "pe_fixture.h"
#include "support/builders.h"

#include <gtest/gtest.h>

namespace {

constexpr uint16_t kId = 999;
constexpr int32_t kUntouchedResult = -12345;
HGLOBAL const kUntouchedHandle = reinterpret_cast<HGLOBAL>(uintptr_t{0xBADC0DE});

struct FaultCase {
    const char *name;
    ResourceFault fault;
    int32_t result;     // kUntouchedResult: the slot is not written
    bool bytes;         // a pointer comes back
    bool handleWritten; // the handle slot was written ...
    bool handleNull;    // ... with null
};

std::ostream &operator<<(std::ostream &out, const FaultCase &c)
{
    return out << c.name;
}

class LoadRcDataTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(LoadRcDataTest, ResultAndSlots)
{
    const FaultCase &c = GetParam();
    const std::vector<uint8_t> payload{10, 20, 30, 40, 50};
    pptest::ModuleGuard module;
    module.Add(kId, payload);
    ppModuleSetFault(module.get(), kId, c.fault);

    HGLOBAL handle = kUntouchedHandle;
    int32_t result = kUntouchedResult;
    uint32_t size = 0xFFFFFFFF;
    const uint8_t *bytes = LoadRcData(module.get(), kId, &handle, &result, &size);

    EXPECT_EQ(result, c.result);
    EXPECT_EQ(bytes != nullptr, c.bytes);
    if (!c.handleWritten)
        EXPECT_EQ(handle, kUntouchedHandle);
    else if (c.handleNull)
        EXPECT_EQ(handle, nullptr);
    else
        EXPECT_NE(handle, nullptr);
    if (c.bytes) {
        ASSERT_EQ(size, payload.size());
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size), payload);
    }

    // The holder of a non-null handle frees it; the count proves it reached
    // the right resource, once.
    if (handle != nullptr && handle != kUntouchedHandle)
        FreeResource(handle);
    int expectedFrees = (c.handleWritten && !c.handleNull) ? 1 : 0;
    EXPECT_EQ(ppModuleFreeCount(module.get(), kId), expectedFrees);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LoadRcDataTest,
    ::testing::Values(
        FaultCase{"Loaded", ResourceFault::None, kUntouchedResult, true, true, false},
        FaultCase{"NotFound", ResourceFault::NotFound, PP_RESULT_NOT_FOUND, false, false, false},
        FaultCase{"LoadFails", ResourceFault::LoadFails, PP_RESULT_LOAD_FAILED, false, true, true},
        FaultCase{"LockFails", ResourceFault::LockFails, PP_RESULT_LOCK_FAILED, false, true,
                  false}),
    [](const ::testing::TestParamInfo<FaultCase> &info) { return std::string(info.param.name); });

struct IdCase {
    int32_t requested;
    uint16_t served; // only the low 16 bits name the resource
};

std::ostream &operator<<(std::ostream &out, const IdCase &c)
{
    return out << c.requested << " -> " << c.served;
}

class LoadRcDataIdTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(LoadRcDataIdTest, UsesLowSixteenBits)
{
    pptest::ModuleGuard module;
    for (uint16_t id : {0, 5, 999, 65535})
        module.Add(id, {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)});
    HGLOBAL handle = nullptr;
    int32_t result = 0;
    uint32_t size = 0;
    const uint8_t *bytes = LoadRcData(module.get(), GetParam().requested, &handle, &result, &size);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(size, 2u);
    EXPECT_EQ(bytes[0] | (bytes[1] << 8), GetParam().served);
    FreeResource(handle);
    EXPECT_EQ(ppModuleFreeCount(module.get(), GetParam().served), 1);
}

INSTANTIATE_TEST_SUITE_P(Ids, LoadRcDataIdTest,
                         ::testing::Values(IdCase{999, 999}, IdCase{0x10000 + 5, 5},
                                           IdCase{-1, 65535}, IdCase{0x7FFF0000, 0},
                                           IdCase{static_cast<int32_t>(0x800003E7), 999}));

TEST(LoadRcData, WorksWithoutSizeSlotAndMissingModule)
{
    pptest::ModuleGuard module;
    module.Add(7, {1, 2, 3});
    HGLOBAL handle = nullptr;
    int32_t result = 0;
    EXPECT_NE(LoadRcData(module.get(), 7, &handle, &result), nullptr);
    EXPECT_EQ(result, 0);
    FreeResource(handle);

    handle = kUntouchedHandle;
    EXPECT_EQ(LoadRcData(nullptr, 7, &handle, &result), nullptr);
    EXPECT_EQ(result, PP_RESULT_NOT_FOUND);
    EXPECT_EQ(handle, kUntouchedHandle);
}

TEST(ModuleCounts, LoadsAndFreesAreCountedPerResource)
{
    pptest::ModuleGuard module;
    module.Add(1, {1});
    module.Add(2, {2});
    HRSRC one = FindResourceA(module.get(), MAKEINTRESOURCEA(1), RT_RCDATA);
    HGLOBAL first = LoadResource(module.get(), one);
    HGLOBAL second = LoadResource(module.get(), one);
    FreeResource(first);
    FreeResource(second);
    FreeResource(nullptr); // counted nowhere
    EXPECT_EQ(ppModuleLoadCount(module.get(), 1), 2);
    EXPECT_EQ(ppModuleFreeCount(module.get(), 1), 2);
    EXPECT_EQ(ppModuleLoadCount(module.get(), 2), 0);
    EXPECT_EQ(ppModuleFreeCount(module.get(), 2), 0);
    EXPECT_EQ(ppModuleFreeCount(module.get(), 3), -1);
}

TEST(ModuleCounts, FaultsAlsoApplyToPeModules)
{
    // Fault injection works the same on a module read from an image.
    pptest::ModuleCloser module(pptest::FromImage(pptool::WriteResourceDll({{4, {1, 2}}}, false)));
    ASSERT_NE(module.module, nullptr);
    ppModuleSetFault(module.module, 4, ResourceFault::LockFails);
    HGLOBAL handle = nullptr;
    int32_t result = 0;
    EXPECT_EQ(LoadRcData(module.module, 4, &handle, &result), nullptr);
    EXPECT_EQ(result, PP_RESULT_LOCK_FAILED);
    ASSERT_NE(handle, nullptr);
    FreeResource(handle);
    EXPECT_EQ(ppModuleFreeCount(module.module, 4), 1);
}

} // namespace
