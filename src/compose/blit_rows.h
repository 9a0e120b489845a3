// The piece blit's records as its vector kernels (imageops/kernels.h) take
// them.
#ifndef PIECEPAINT_COMPOSE_BLIT_ROWS_H
#define PIECEPAINT_COMPOSE_BLIT_ROWS_H

#include <cstddef>
#include <cstdint>

// Table value meaning "the picture's pixel stays".
constexpr int16_t KEEP = -1;

// The substitution list as the vector loops walk it: the values whose
// pixel leaves the picture's pixel as it was (the key, and pairs naming the
// no-replacement value), and the values written in place of others. An
// entry for a value listed before is dropped, as the first match of a value
// wins, so at most one entry matches a pixel and the loops may test the
// entries in any order and merge what matched. Values no entry matches are
// written as they are.
struct MatchPlan {
    int32_t keepCount;
    uint8_t keep[17];
    int32_t mapCount;
    uint8_t from[16];
    uint8_t to[16];
};

// An 8-bit piece over the picture: the first covered row of both buffers
// from the first clipped column on, and how many rows and columns.
struct BlitRows {
    uint8_t *picture;
    ptrdiff_t pictureStride;
    const uint8_t *source;
    ptrdiff_t sourceStride;
    int32_t rows;
    int32_t width;
};

// Columns c to end - 1 of one row through the table, as the plain loop
// does them.
void MapTail(const uint8_t *src, uint8_t *dst, int32_t c, int32_t end, const int16_t table[256]);

// The 4-bit path maps two nibbles at a time through tables of source bytes:
// what the pair of pixels becomes, and which of the two keep the picture's
// nibble. The same for one nibble in either half of a byte, as 16-entry
// tables for byte shuffles.
struct PairTable {
    uint8_t mapped[256];
    uint8_t keep[256];
    uint8_t low[16], lowKeep[16], high[16], highKeep[16];
};

#endif
