// The processor is asked once, on the first use; a race on that first use
// only asks it twice and stores the same answer.
#include "imageops/cpu.h"

#include <atomic>

namespace {

constexpr int32_t kUnknown = -1;

std::atomic<int32_t> supportedLevel{kUnknown};
std::atomic<int32_t> levelLimit{VECTOR_AVX512};

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
    return before;
}
