// The vector kernels of the image operations and the piece blit, one table
// per vector level. Each level's kernels live in a file of their own
// (kernels_plain.cpp, kernels_sse2.cpp, kernels_ssse3.cpp, kernels_avx2.cpp,
// kernels_avx512.cpp), compiled for that level's instructions alone; most
// are written once over a vector width (kernel_loops.h, shrink_loops.h) and
// instantiated in each file. A level's table starts as a copy of the level
// below and replaces the slots it has kernels for. The table is chosen when
// the level is set (cpu.h) and read by every call.
//
// A kernel does the part of an operation vectors suit and says how far it
// got; the operation's own plain loop does the rest, and at the plain level
// all of it. The device stretch's slots are null below the level that has
// them: the stretch then draws its rows another way.
#ifndef PIECEPAINT_IMAGEOPS_KERNELS_H
#define PIECEPAINT_IMAGEOPS_KERNELS_H

#include <cstddef>
#include <cstdint>

struct FilterWeights;
struct RowPattern;
struct BlitRows;
struct MatchPlan;
struct PairTable;

// The surface values of 256 indices split into their blue, green and red
// bytes (the fourth byte of a surface value is always 0).
struct SurfacePlanes {
    alignas(64) uint8_t plane[3][256];
};

// A destination row's pixels in blocks of 64 for combining straight from
// 8-bit indices. Pixel j of block b reads columns base[b] + first[64 b + j]
// and base[b] + last[64 b + j] of every row (each offset below 128, the
// columns between them being one of the two); the rows hold span indices
// and the last block has tail pixels (1 to 64).
struct IndexBlocks {
    const int32_t *base;
    const uint8_t *first;
    const uint8_t *last;
    size_t blocks;
    uint32_t tail;
    int32_t span;
};

struct ImageKernels {
    int32_t level; // the VectorLevel the table was made for

    // The brightness shift of the first pixels (not 0); returns how many.
    uint32_t (*adjustBright)(uint8_t *pixels, int32_t shift, uint32_t count);
    // from becomes to in the first pixels; returns how many were looked at.
    uint32_t (*replaceIndex)(uint8_t *pixels, uint8_t to, uint8_t from, uint32_t count);
    // The driver's filter on columns 1 on of an inner row; returns the first
    // column left.
    int32_t (*filterRow)(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                         uint8_t *out, int32_t width, const FilterWeights &w);
    // The ramps merged into the first pixels; returns how many.
    uint32_t (*mergeRamps)(uint8_t *pixels, const uint8_t *ramps, uint32_t size, uint8_t b);
    // The first column from c on of an inner row that may be a corner, by
    // the corner test without the picture's border; width - 1 or more when
    // none is. markers is set when a pixel looked at on the way is a marker
    // (1), and left alone otherwise.
    int32_t (*nextCorner)(const uint8_t *row, int32_t stride, int32_t c, int32_t width, uint8_t b,
                          bool &markers);
    // Shrinking by pixel repetition: the first outputs of a row; returns
    // how many.
    int32_t (*gatherRow)(const uint8_t *source, uint8_t *out, const RowPattern &p);
    // Repetition through the pattern's shuffle blocks; returns how many
    // outputs.
    int32_t (*shuffleRow)(const uint8_t *source, uint8_t *out, const RowPattern &p);
    // The area-average row pass for bands of rows; returns how many rows
    // from the top are done (their padding is left).
    int32_t (*shrinkRowBands)(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                              int32_t newWidth, int32_t oldStride, int32_t newStride, uint32_t wa,
                              uint32_t wn);
    // The column pass for strips of columns; returns the first column left.
    int32_t (*shrinkColumnStrips)(uint8_t *pixels, int32_t oldHeight, int32_t newHeight,
                                  int32_t newStride, uint32_t ha, uint32_t hn);
    // The whole row pass, or false with nothing written (shrink_wide.h).
    bool (*shrinkRowsWide)(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                           int32_t oldStride, int32_t newStride, uint32_t wa, uint32_t wn);
    // The whole column pass, or false with nothing written.
    bool (*shrinkColumnsWide)(uint8_t *pixels, int32_t oldHeight, int32_t newHeight,
                              int32_t newStride, uint32_t ha, uint32_t hn);
    // An 8-bit piece, every covered row.
    void (*blit8)(const BlitRows &b, const int16_t table[256], const MatchPlan &plan);
    // A 4-bit piece's row from an even column c on; returns the first
    // column left.
    int32_t (*blit4)(const uint8_t *src, uint8_t *dst, int32_t x, int32_t c, int32_t end,
                     const PairTable &pairs);

    // The portable device's StretchDIBits (src/platform/portable).
    // The first indices through a table of 256 surface values; returns how
    // many. out may already hold the values of previous (else null), which
    // are then kept where the indices are the same.
    uint32_t (*lookUpIndices)(const uint8_t *indices, const uint8_t *previous, uint32_t count,
                              const uint32_t *table, uint32_t *out);
    // Destination pixels eight at a time: pixel j of block b shows
    // values[base[b] + byte j of offsets[b]], every offset below 16 and
    // values readable 16 past every base. Each block goes to all rowCount
    // rows alike.
    void (*spreadBlocks)(const uint32_t *values, const int32_t *base, const uint64_t *offsets,
                         size_t blocks, uint32_t *const *rows, size_t rowCount);
    // As spreadBlocks into one row, each pixel ANDing (or ORing) the value
    // at its offset with the one at its last offset.
    void (*combineBlocks)(const uint32_t *values, const int32_t *base, const uint64_t *offsets,
                          const uint64_t *lastOffsets, size_t blocks, bool useAnd, uint32_t *out);
    // A destination row whose pixels AND (or OR) the values of their
    // columns in every one of rowCount rows of indices.
    void (*combineIndexBlocks)(const uint8_t *const *rows, size_t rowCount,
                               const IndexBlocks &blocks, const SurfacePlanes &planes, bool useAnd,
                               uint32_t *out);
    // Destination pixels that each show the value of their first column of
    // one row of indices, into all rowCount rows alike (last is not read).
    void (*spreadIndexBlocks)(const uint8_t *indices, const IndexBlocks &blocks,
                              const SurfacePlanes &planes, uint32_t *const *rows, size_t rowCount);
};

// The table of the active level.
const ImageKernels &Kernels();

// Each kernel file's part of the tables: the plain level fills every slot,
// the others put in what they have.
void FillPlainKernels(ImageKernels &k);
void AddSse2Kernels(ImageKernels &k);
void AddSsse3Kernels(ImageKernels &k);
void AddAvx2Kernels(ImageKernels &k);
void AddAvx512Kernels(ImageKernels &k);

#endif
