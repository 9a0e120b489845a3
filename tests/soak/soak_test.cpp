// A long-lived host: the sample painted thousands of times into one device
// context keeps what it holds constant, with the logs off (as a host has
// them) and with them on and bounded.
//
// Live heap blocks are counted here: every operator new and delete of this
// program, and the library's own heap (HeapAlloc).
#include "piecepaint/host.h"
#include "platform/portable/device.h"
#include "platform/portable/heap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

namespace {
std::atomic<int64_t> liveNew{0};

void *Allocate(size_t bytes)
{
    void *block = std::malloc(bytes != 0 ? bytes : 1);
    if (block == nullptr)
        throw std::bad_alloc();
    ++liveNew;
    return block;
}

void Release(void *block)
{
    if (block == nullptr)
        return;
    --liveNew;
    std::free(block);
}
} // namespace

void *operator new(size_t bytes)
{
    return Allocate(bytes);
}
void *operator new[](size_t bytes)
{
    return Allocate(bytes);
}
void *operator new(size_t bytes, const std::nothrow_t &) noexcept
{
    try {
        return Allocate(bytes);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}
void *operator new[](size_t bytes, const std::nothrow_t &tag) noexcept
{
    return operator new(bytes, tag);
}
void operator delete(void *block) noexcept
{
    Release(block);
}
void operator delete[](void *block) noexcept
{
    Release(block);
}
void operator delete(void *block, size_t) noexcept
{
    Release(block);
}
void operator delete[](void *block, size_t) noexcept
{
    Release(block);
}

namespace {

struct Held {
    int64_t blocks;     // operator new blocks and library heap blocks
    size_t deviceLog;   // bytes of ppDCLogText
    size_t objectLog;   // bytes of ppGdiLogText
    size_t deviceCalls; // entries held
    size_t objectCalls;

    bool operator==(const Held &) const = default;
};

void PrintTo(const Held &h, std::ostream *out)
{
    *out << "blocks " << h.blocks << ", device log " << h.deviceCalls << " calls / " << h.deviceLog
         << " bytes, object log " << h.objectCalls << " calls / " << h.objectLog << " bytes";
}

std::string SampleDir(const std::string &module)
{
    return std::string(PP_BINARY_DIR) + "/samples/" + module;
}

// Paints the sample with every garden option, the badge and the library
// palette 10 000 times into one small device context; what is held after
// the 10th paint and after the last.
void PaintMany(bool logging, Held &afterTenth, Held &afterLast)
{
    HMODULE main = ppOpenModule(SampleDir("house").c_str());
    HMODULE aux = ppOpenModule(SampleDir("house-aux").c_str());
    ASSERT_NE(main, nullptr);
    ASSERT_NE(aux, nullptr);
    HDC hdc = ppCreateDC(PP_DEVICE_PALETTE256, 48, 36);
    ppDCSetLogging(hdc, logging ? 1 : 0);
    ppGdiSetLogging(logging ? 1 : 0);
    // Small bounds, so the rings fill within the first ten paints.
    ppDCSetLogLimits(hdc, 50, 64u << 10);
    ppGdiSetLogLimits(30, 0);
    ManagePal(hdc, 0, 783);
    OptionRecord options{};
    options.bits0 = 4u << 14 | 2u << 17 | 2u << 20 | 1u << 8 | 1u << 6 | 1u << 4 | 1u << 12;
    const uint16_t house[] = {500, 0};
    // The texts first: their backing strings are blocks too.
    auto held = [&] {
        size_t deviceText = std::strlen(ppDCLogText(hdc));
        size_t objectText = std::strlen(ppGdiLogText());
        return Held{liveNew.load() + ppHeapLiveBlocks(), deviceText, objectText,
                    DeviceLog(hdc).size(), ObjectLog().size()};
    };
    for (int paint = 1; paint <= 10000; ++paint) {
        int result =
            PaintPrt(hdc, main, aux, 0, 0, 48, 36, 48, 36, 1, 0, 0, &options, 224, 0, house);
        ASSERT_EQ(result, PP_RESULT_OK) << "paint " << paint;
        if (paint == 10)
            afterTenth = held();
    }
    afterLast = held();
    ManagePal(hdc, 0, 2);
    ppDeleteDC(hdc);
    ppCloseModule(aux);
    ppCloseModule(main);
    ppGdiSetLogLimits(0, 0);
}

class Soak : public testing::TestWithParam<bool> {};

TEST_P(Soak, TenThousandPaintsHoldWhatTenHold)
{
    if (!std::filesystem::is_directory(SampleDir("house")))
        GTEST_SKIP() << "the sample is built with the tools (PIECEPAINT_TOOLS=ON)";
    Held tenth{}, last{};
    PaintMany(GetParam(), tenth, last);
    EXPECT_EQ(tenth, last);
    if (GetParam()) {
        EXPECT_EQ(last.deviceCalls, 50u);
        EXPECT_EQ(last.objectCalls, 30u);
    } else {
        EXPECT_EQ(last.deviceLog + last.objectLog, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Logs, Soak, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &info) {
                             return info.param ? "Recorded" : "Quiet";
                         });

// What a host gets without asking: a paint leaves its device context's log
// empty.
TEST(QuietDevice, NewDeviceContextRecordsNothing)
{
    if (!std::filesystem::is_directory(SampleDir("house")))
        GTEST_SKIP() << "the sample is built with the tools (PIECEPAINT_TOOLS=ON)";
    HMODULE main = ppOpenModule(SampleDir("house").c_str());
    HMODULE aux = ppOpenModule(SampleDir("house-aux").c_str());
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, 48, 36);
    EXPECT_EQ(PaintPrt(hdc, main, aux, 0, 0, 48, 36, 48, 36, 1, 0, 0, nullptr, 224, 0, nullptr),
              PP_RESULT_OK);
    EXPECT_STREQ(ppDCLogText(hdc), "");
    EXPECT_TRUE(DeviceLog(hdc).empty());
    ppDeleteDC(hdc);
    ppCloseModule(aux);
    ppCloseModule(main);
}

} // namespace
