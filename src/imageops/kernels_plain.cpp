// The plain level's table: nothing is done by vectors, so every operation's
// own plain loop does all of it; the corner scan tests a pixel at a time.
#include "imageops/kernel_loops.h"
#include "imageops/kernels.h"

namespace {

uint32_t NoPixels(uint8_t *, int32_t, uint32_t)
{
    return 0;
}

uint32_t NoReplace(uint8_t *, uint8_t, uint8_t, uint32_t)
{
    return 0;
}

int32_t NoFilterColumns(const uint8_t *, const uint8_t *, const uint8_t *, uint8_t *, int32_t,
                        const FilterWeights &)
{
    return 1;
}

uint32_t NoMerge(uint8_t *, const uint8_t *, uint32_t, uint8_t)
{
    return 0;
}

int32_t NoOutputs(const uint8_t *, uint8_t *, const RowPattern &)
{
    return 0;
}

int32_t NoRowBands(uint8_t *, int32_t, int32_t, int32_t, int32_t, int32_t, uint32_t, uint32_t)
{
    return 0;
}

int32_t NoColumnStrips(uint8_t *, int32_t, int32_t, int32_t, uint32_t, uint32_t)
{
    return 0;
}

bool NoRowPass(uint8_t *, int32_t, int32_t, int32_t, int32_t, int32_t, uint32_t, uint32_t)
{
    return false;
}

bool NoColumnPass(uint8_t *, int32_t, int32_t, int32_t, uint32_t, uint32_t)
{
    return false;
}

void Blit8Rows(const BlitRows &b, const int16_t table[256], const MatchPlan &)
{
    for (int32_t r = 0; r < b.rows; ++r)
        MapTail(b.source + r * b.sourceStride, b.picture + r * b.pictureStride, 0, b.width, table);
}

int32_t NoNibbleBlocks(const uint8_t *, uint8_t *, int32_t, int32_t c, int32_t, const PairTable &)
{
    return c;
}

} // namespace

int32_t NextCornerPlain(const uint8_t *row, int32_t stride, int32_t c, int32_t width, uint8_t b,
                        bool &markers)
{
    for (; c < width - 1; ++c) {
        const uint8_t *p = row + c;
        markers = markers || p[0] == 1;
        if (p[0] == b && (p[-1] == b) != (p[1] == b) && (p[stride] == b) != (p[-stride] == b))
            return c;
    }
    return c;
}

void FillPlainKernels(ImageKernels &k)
{
    k.adjustBright = NoPixels;
    k.replaceIndex = NoReplace;
    k.filterRow = NoFilterColumns;
    k.mergeRamps = NoMerge;
    k.nextCorner = NextCornerPlain;
    k.gatherRow = NoOutputs;
    k.shuffleRow = NoOutputs;
    k.shrinkRowBands = NoRowBands;
    k.shrinkColumnStrips = NoColumnStrips;
    k.shrinkRowsWide = NoRowPass;
    k.shrinkColumnsWide = NoColumnPass;
    k.blit8 = Blit8Rows;
    k.blit4 = NoNibbleBlocks;
    k.lookUpIndices = nullptr;
    k.spreadBlocks = nullptr;
    k.combineBlocks = nullptr;
    k.combineIndexBlocks = nullptr;
    k.spreadIndexBlocks = nullptr;
}
