// Runs a check once at every vector level the machine offers, from the
// level built in to the widest, and leaves the level as it was.
#ifndef PIECEPAINT_TESTS_SUPPORT_VECTOR_LEVELS_H
#define PIECEPAINT_TESTS_SUPPORT_VECTOR_LEVELS_H

#include "imageops/cpu.h"

#include <gtest/gtest.h>

#include <string>

namespace pptest {

template <typename Check> void AtEveryVectorLevel(Check check)
{
    const int32_t before = ActiveVectorLevel();
    for (int32_t level = BaseVectorLevel(); level <= SupportedVectorLevel(); ++level) {
        LimitVectorLevel(level);
        SCOPED_TRACE("vector level " + std::to_string(level));
        check();
    }
    LimitVectorLevel(before);
}

} // namespace pptest

#endif
