// The AVX2 level: the kernels 32 bytes at a time. Compiled with -mavx2
// (CMakeLists.txt).
#include "imageops/kernels.h"

#include "imageops/cpu.h"

#if PP_HAVE_AVX2

#include "imageops/kernel_loops.h"
#include "imageops/shrink_loops.h"

namespace {
struct Isa {};
using V32 = Vec256<Isa>;
} // namespace

void AddAvx2Kernels(ImageKernels &k)
{
    k.adjustBright = loops::AdjustBright<V32>;
    k.replaceIndex = loops::ReplaceIndex<V32>;
    k.filterRow = loops::FilterRow<V32>;
    k.mergeRamps = loops::MergeRamps<V32>;
    k.nextCorner = loops::NextCorner<V32>;
    k.shuffleRow = loops::ShuffleRow<V32>;
    k.shrinkRowsWide = loops::ShrinkRowsWide<V32>;
    k.shrinkColumnsWide = loops::ShrinkColumnsWide<V32>;
    k.blit8 = loops::Blit8<V32>;
    k.blit4 = loops::Blit4<V32>;
}

#endif
