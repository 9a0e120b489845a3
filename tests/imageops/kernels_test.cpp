// The kernel table follows the vector level: a lowered level must reach its
// own kernels, or the differential tests would test the widest ones only.
#include "imageops/kernels.h"

#include "support/vector_levels.h"

#include <gtest/gtest.h>

namespace {

TEST(KernelTables, EveryLevelRunsItsOwnTable)
{
    pptest::AtEveryVectorLevel([] { EXPECT_EQ(Kernels().level, ActiveVectorLevel()); });
    // A level above the processor's is held to it.
    const int32_t before = LimitVectorLevel(VECTOR_AVX512);
    EXPECT_EQ(Kernels().level, SupportedVectorLevel());
    LimitVectorLevel(before);
}

} // namespace
