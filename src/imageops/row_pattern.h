// The pattern of one output row of the pixel-repeat resampling
// (scaling.cpp), shared with the kernels that follow it.
#ifndef PIECEPAINT_IMAGEOPS_ROW_PATTERN_H
#define PIECEPAINT_IMAGEOPS_ROW_PATTERN_H

#include <cstdint>

constexpr int32_t kPatternWidth = 4096;

enum class RowKind { Copy, Shuffle, Gather, Repeat, Walk };

constexpr int32_t kPatternBlocks = kPatternWidth / 16;

// Shrinking squeezes the dropped pixels out of 16 source pixels at a time:
// four shifts of the block, by 1, 2, 4 and 8 bytes, each taken where the
// pixel that lands there moves by that much (its count of dropped pixels
// before it in the block has that bit). Going from the small shifts to the
// large, kept pixels never land on one another.
struct SqueezeBlock {
    uint8_t masks[4][16];
    uint8_t kept;
};

// With byte shuffles, 16 outputs at a time are picked from 32 source bytes
// from a block's start on: its low row picks from the first 16 of them, its
// high row from the next 16 (a byte with the top bit set picks nothing).
// The rows of neighbouring blocks lie side by side, so that 32-byte vectors
// take two blocks at once.
struct ShuffleTable {
    int32_t start[kPatternBlocks];
    uint8_t low[kPatternBlocks][16];
    uint8_t high[kPatternBlocks][16];
};

// With byte permutes over two 64-byte vectors, 64 outputs at a time come
// from the 128 source bytes from a block's start on.
constexpr int32_t kPermuteBlocks = kPatternWidth / 64;

struct PermuteTable {
    int32_t start[kPermuteBlocks];
    uint8_t index[kPermuteBlocks][64];
};

// The source column of every output pixel (shuffled or gathered into
// place), or for enlarging by less than eight without shuffles the copies
// of every source pixel (counts). Only the tables the kind uses are filled.
// The pattern lives on the stack (about 43 KB), as nothing may be allocated
// here beyond the work buffer; wider rows take the plain walk.
struct RowPattern {
    RowKind kind;
    int32_t sourceWidth, targetWidth, pixelsEach, pixelsExtra;
    uint16_t columns[kPatternWidth + 8]; // 8 entries of slack for the last pixel
    uint8_t counts[kPatternWidth];
    SqueezeBlock squeeze[kPatternBlocks];
    uint8_t squeezeShifts; // bit i: some block shifts by 2^i
    ShuffleTable shuffle;
    int32_t shuffleBlocks; // whole blocks of 16 outputs; the rest are gathered
    PermuteTable permute;
    int32_t permuteBlocks; // whole blocks of 64 outputs, before the shuffled ones
};
static_assert(sizeof(RowPattern) <= 44 * 1024, "the row pattern lives on the stack");

#endif
