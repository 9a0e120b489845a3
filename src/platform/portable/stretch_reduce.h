// Row kernels of the portable StretchDIBits for shrinking with BLACKONWHITE
// (every source pixel of a group ANDed) or WHITEONBLACK (ORed): first the
// rows of a destination row's group are combined into one row of surface
// values, then each destination pixel combines its group of columns of it.
// Both operations are idempotent, so a source value met twice changes
// nothing; the kernels lean on that.
//
// SSE2 loops where the build has SSE2, plain loops otherwise (and in
// PP_PLAIN_LOOPS builds); both write the same pixels.
#ifndef PIECEPAINT_PLATFORM_PORTABLE_STRETCH_REDUCE_H
#define PIECEPAINT_PLATFORM_PORTABLE_STRETCH_REDUCE_H

#include <cstddef>
#include <cstdint>
#include <vector>

// acc[x] = acc[x] op values[x] for x < count.
void CombineValues(uint32_t *acc, const uint32_t *values, size_t count, bool useAnd);

// out[x] = a[x] op b[x] for x < count.
void CombinePair(const uint32_t *a, const uint32_t *b, size_t count, bool useAnd, uint32_t *out);

// acc[x] = table[rows[0][x]] op ... op table[rows[rowCount - 1][x]] for
// x < count; rowCount is at least 1. flat[c] is set to 1 where the result is
// one value over full chunk c (SPREAD_CHUNK columns), else 0.
void CombineIndexRows(const uint8_t *const *rows, size_t rowCount, size_t count,
                      const uint32_t *table, bool useAnd, uint32_t *acc, uint8_t *flat);

// Destination pixels [begin, end) from one row of 8-bit indices (a group
// whose rows are all alike): pixel i combines the colours of columns
// lo[i] .. hi[i].
void CombineIndexGroups(const uint8_t *indices, const uint32_t *table, const int32_t *lo,
                        const int32_t *hi, size_t begin, size_t end, bool useAnd, uint32_t *out);

// How the destination pixels of a row combine their columns. Level m of a
// table of combined values holds, at s, the values s .. s + 2^m - 1 combined;
// a group of c columns from lo is two overlapping level-m entries
// (2^m <= c <= 2^(m+1)), at first[i] and second[i] of the table (equal for a
// single column). Groups of up to two columns need no level beyond the row
// itself. Groups too wide for four levels are read column by column.
struct ReducePlan {
    size_t span = 0;   // values a row holds
    int levels = 1;    // of the table, level 0 being the row itself
    bool wide = false; // groups read column by column: lo and count
    std::vector<int32_t> first, second;
    std::vector<int32_t> lo, count;
};

// From each destination pixel's group, columns [lo[i], lo[i] + count[i]) of
// a row of span values (count at least 1).
void PlanReduce(const int32_t *lo, const int32_t *count, size_t width, size_t span,
                ReducePlan &plan);

// Values the table of a plan takes: the row itself at the start, then the
// levels the plan reads.
size_t ReduceTableSize(const ReducePlan &plan);

// table holds the combined row in its first span values; writes the further
// levels the plan reads behind it.
void BuildReduceLevels(uint32_t *table, const ReducePlan &plan, bool useAnd);

// Destination pixels [begin, end) of the row from a table the levels are
// built in; out points at the row's first pixel.
void ReduceRange(const uint32_t *table, const ReducePlan &plan, size_t begin, size_t end,
                 bool useAnd, uint32_t *out);

#endif
