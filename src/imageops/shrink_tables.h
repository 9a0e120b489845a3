// The weight tables of the vectored area-average shrink (shrink_loops.h),
// worked out once per call by the plain code of shrink_wide.cpp.
#ifndef PIECEPAINT_IMAGEOPS_SHRINK_TABLES_H
#define PIECEPAINT_IMAGEOPS_SHRINK_TABLES_H

#include "imageops/divide.h"

#include <cstdint>

// Weights and pixels are multiplied as signed 16-bit numbers.
constexpr uint32_t kMaxWeight = 32767;

enum DivisionKind : int32_t {
    DIVIDE_SHIFT,  // a power of two
    DIVIDE_NARROW, // shift, then a 16-bit multiply-high by the odd part
    DIVIDE_WIDE,   // the whole divisor, 32-bit lanes with 64-bit products
};

struct SplitDivisor {
    int32_t kind;
    int32_t shift;
    uint32_t multiplier;
    int32_t postShift;
};

// Where the weights are small the pixels are multiplied as bytes, two to an
// instruction, with 16-bit sums. Larger weights are split at a power of two
// 2^b that divides the old size: w = 2^b x high + low, and since
// floor((2^b x H + L) / 2^b) = H + floor(L / 2^b), the sums H of the high
// parts and L of the low parts give floor(sum / 2^b) in 16 bits; what is
// left of the divisor is a shift when it is a power of two, else one 16-bit
// multiply-high and shift.
struct ByteSplit {
    int32_t bits;  // b
    int32_t kind;  // DIVIDE_SHIFT or DIVIDE_NARROW
    int32_t shift; // DIVIDE_SHIFT: the power of two left
    uint32_t multiplier;
    int32_t postShift;
};

// One output row: the source rows it covers and their weights. A row never
// covers more than (old / new) + 2 source rows.
constexpr int32_t kMaxColumnTaps = 16;

struct ColumnTaps {
    int32_t count;
    const uint8_t *rows[kMaxColumnTaps];
    uint32_t weights[kMaxColumnTaps];
};

// Source rows in pairs, the weights of a pair side by side in 32 bits; an
// odd row out is paired with itself at weight zero.
struct ColumnPairs {
    int32_t count;
    const uint8_t *a[kMaxColumnTaps / 2];
    const uint8_t *b[kMaxColumnTaps / 2];
    int32_t weights[kMaxColumnTaps / 2];
};

struct ColumnBytePairs {
    int32_t count;
    const uint8_t *a[kMaxColumnTaps / 2];
    const uint8_t *b[kMaxColumnTaps / 2];
    int16_t high[kMaxColumnTaps / 2];
    int16_t low[kMaxColumnTaps / 2];
};

// Outputs of a row in blocks of 16, four groups of four. Group g reads the
// 16 source bytes from base[g]; for every output, pair p of the masks picks
// its source pixels 2p and 2p + 1 as 16-bit values (0x80 gives zero), and
// the weights of the pair multiply them. The two halves of the masks and
// weights hold groups 0 and 2 (half 0) and groups 1 and 3 (half 1), each
// group in 16 bytes, so that packing the sums of the halves together puts
// the outputs back in order.
constexpr int32_t kRowBlockOutputs = 16;
constexpr int32_t kMaxRowBlocks = 112;
constexpr int32_t kMaxRowTaps = 4;
constexpr int32_t kRowWindow = 16;
constexpr int32_t kRowBounce = 128;

struct RowBlock {
    int32_t base[4];
    int32_t end; // one past the last byte any group reads
    uint8_t mask[2][2][32];
    int16_t weight[2][2][16];
};

struct RowTable {
    int32_t blocks;
    int32_t pairs; // 2 when some output covers more than two source pixels
    RowBlock block[kMaxRowBlocks];
};

// The same with byte weights: a block is two groups of eight outputs, one
// per 16-byte half, each output's pixels picked as a pair of bytes.
struct ByteRowBlock {
    int32_t base[2];
    int32_t end;
    uint8_t mask[2][32]; // [pair]
    int8_t high[2][32];
    int8_t low[2][32];
};

struct ByteRowTable {
    int32_t blocks;
    int32_t pairs;
    ByteRowBlock block[kMaxRowBlocks];
};

// Byte weights for byte permutes across 128 bytes: a block is 64 outputs,
// all read from the 128 source bytes from base. Its outputs are summed in
// two registers of 32 words, half 0 holding outputs 0-7, 16-23, 32-39 and
// 48-55, half 1 the others, so that packing the two puts them in order.
// For every output, pair p of the indices picks its source pixels 2p and
// 2p + 1 (an unused one at weight zero).
constexpr int32_t kPermuteOutputs = 64;
constexpr int32_t kPermuteWindow = 128;
constexpr int32_t kMaxPermuteBlocks = kMaxRowBlocks * kRowBlockOutputs / kPermuteOutputs;

struct PermuteRowBlock {
    int32_t base;
    uint8_t index[2][2][64]; // [half][pair]
    int8_t high[2][2][64];
    int8_t low[2][2][64];
};

struct PermuteRowTable {
    int32_t blocks;
    int32_t pairs;
    PermuteRowBlock block[kMaxPermuteBlocks];
};

// Leading blocks that are stored whole and read the row directly: all of
// them but those near the end of a row.
struct RowSpans {
    int32_t inner; // for every row but the last
    int32_t last;
};

// floor(x / (2^s x odd)) equals floor(floor(x / 2^s) / odd); the split of
// the divisor d of the word-weight passes.
SplitDivisor MakeSplitDivisor(uint32_t d);

// The byte-weight split of divisor for weights up to maxWeight and up to
// maxTaps pixels an output; false when the bytes cannot hold it.
bool MakeByteSplit(uint32_t divisor, uint32_t maxWeight, uint32_t maxTaps, ByteSplit &split);

// Columns first to columns - 1 of one output row, one at a time.
void ColumnTail(uint8_t *out, int32_t first, int32_t columns, const ColumnTaps &taps,
                ByteMeanDivider divider);

ColumnPairs PairUp(const ColumnTaps &taps);
ColumnBytePairs PairBytes(const ColumnTaps &taps, int32_t bits);

// The tables of one row's weights; false when the row is too long for the
// table or an output reaches too far.
bool BuildRowTable(int32_t oldWidth, int32_t newWidth, uint32_t wa, uint32_t wn, RowTable &table);
bool BuildByteRowTable(int32_t oldWidth, int32_t newWidth, uint32_t wa, uint32_t wn, int32_t bits,
                       ByteRowTable &table);

// The same for the 64-output blocks; false also when a block's outputs
// reach 128 bytes or more past its first pixel.
bool BuildPermuteRowTable(int32_t oldWidth, int32_t newWidth, uint32_t wa, uint32_t wn,
                          int32_t bits, PermuteRowTable &table);

// A block whose windows would reach past what may be read takes its source
// bytes from a copy, zero beyond the row.
void FillBounce(uint8_t copy[kRowBounce], int32_t first, int32_t end, const uint8_t *source,
                int32_t oldWidth);

// How far from its start a shrunk row may be written. Bytes past its
// outputs are its padding, zeroed at the end, or the start of the next
// shrunk rows, written afterwards; with whole blocks reaching no further
// than the old stride they stay clear of every source row still to be read
// and inside the buffer.
int32_t RowRoom(int32_t blocks, int32_t newWidth, int32_t oldStride);

// Block q's outputs, as far as the room goes.
void StoreRowBlock(uint8_t *out, int32_t q, int32_t room, const uint8_t bytes[16]);

// Rows drawn together by the row passes, a block at a time.
constexpr int32_t kRowsTogether = 8;

// Whether rows r to r + count - 1 may be drawn together, block by block:
// no row's outputs (room bytes from its start) reach into the first row's
// source, still being read.
inline bool RowsApart(int32_t r, int32_t count, int32_t oldStride, int32_t newStride, int32_t room)
{
    return int64_t{r + count - 1} * newStride + room <= int64_t{r} * oldStride;
}

RowSpans DirectSpans(const ByteRowTable &table, int32_t room, int32_t oldWidth, int32_t oldStride);

#endif
