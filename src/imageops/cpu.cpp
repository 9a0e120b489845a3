// The processor is asked once, on the first use; a race on that first use
// only asks it twice and stores the same answer.
#include "imageops/cpu.h"

#include "imageops/kernels.h"

#include <atomic>

namespace {

constexpr int32_t kUnknown = -1;

std::atomic<int32_t> supportedLevel{kUnknown};
std::atomic<int32_t> levelLimit{VECTOR_AVX512};
std::atomic<const ImageKernels *> activeKernels{nullptr};

int32_t AskProcessor()
{
    int32_t level = BaseVectorLevel();
#if PP_HAVE_DISPATCH
    __builtin_cpu_init();
    if (__builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1"))
        level = VECTOR_SSSE3;
    if (PP_HAVE_AVX2 && level == VECTOR_SSSE3 && __builtin_cpu_supports("avx2"))
        level = VECTOR_AVX2;
    if (PP_HAVE_AVX512 && level == VECTOR_AVX2 && __builtin_cpu_supports("avx512f") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi"))
        level = VECTOR_AVX512;
#endif
    return level;
}

// Every level's table, each a copy of the one below with its own kernels
// put in; made once, on the first use.
struct KernelTables {
    ImageKernels level[VECTOR_AVX512 + 1];

    KernelTables()
    {
        FillPlainKernels(level[VECTOR_PLAIN]);
        level[VECTOR_PLAIN].level = VECTOR_PLAIN;
        for (int32_t l = VECTOR_SSE2; l <= VECTOR_AVX512; ++l) {
            level[l] = level[l - 1];
            level[l].level = l;
            AddKernels(l, level[l]);
        }
    }

    // Only the levels the build has kernel files for add any.
    static void AddKernels(int32_t l, ImageKernels &k)
    {
#if PP_HAVE_SSE2
        if (l == VECTOR_SSE2)
            AddSse2Kernels(k);
#endif
#if PP_HAVE_DISPATCH
        if (l == VECTOR_SSSE3)
            AddSsse3Kernels(k);
#endif
#if PP_HAVE_AVX2
        if (l == VECTOR_AVX2)
            AddAvx2Kernels(k);
#endif
#if PP_HAVE_AVX512
        if (l == VECTOR_AVX512)
            AddAvx512Kernels(k);
#endif
        (void)l;
        (void)k;
    }
};

const ImageKernels *TableFor(int32_t level)
{
    static const KernelTables tables;
    return &tables.level[level];
}

} // namespace

int32_t BaseVectorLevel()
{
    return PP_HAVE_SSE2 ? VECTOR_SSE2 : VECTOR_PLAIN;
}

int32_t SupportedVectorLevel()
{
    int32_t level = supportedLevel.load(std::memory_order_relaxed);
    if (level == kUnknown) {
        level = AskProcessor();
        supportedLevel.store(level, std::memory_order_relaxed);
    }
    return level;
}

int32_t ActiveVectorLevel()
{
    int32_t supported = SupportedVectorLevel();
    int32_t limit = levelLimit.load(std::memory_order_relaxed);
    return limit < supported ? limit : supported;
}

int32_t LimitVectorLevel(int32_t level)
{
    int32_t before = ActiveVectorLevel();
    int32_t base = BaseVectorLevel();
    levelLimit.store(level < base ? base : level, std::memory_order_relaxed);
    activeKernels.store(TableFor(ActiveVectorLevel()), std::memory_order_release);
    return before;
}

const ImageKernels &Kernels()
{
    const ImageKernels *k = activeKernels.load(std::memory_order_acquire);
    if (k == nullptr) {
        k = TableFor(ActiveVectorLevel());
        activeKernels.store(k, std::memory_order_release);
    }
    return *k;
}
