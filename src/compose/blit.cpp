// Piece blit. The key index and the substitution list are folded into a
// lookup table once per piece, so the pixel loops only look values up.
#include "compose/blit.h"

#include "compose/blit_rows.h"
#include "imageops/kernels.h"

#include <algorithm>
#include <cstddef>

namespace {

// Pairs before the first equal pair; all 16 when none is equal.
int32_t SubstitutionCount(const PlacedPiece *piece)
{
    for (int32_t i = 0; i < 16; ++i) {
        if (piece->mapFrom[i] == piece->mapTo[i])
            return i;
    }
    return 16;
}

// What a source value becomes over the picture: KEEP, or the value to write.
// The first pair that lists a value decides it, so the pairs are laid in
// from the last.
void BuildTable8(const PlacedPiece *piece, uint8_t keyIndex, int16_t table[256])
{
    int32_t noReplacement = (piece->flags & PIECE_TRANSPARENT) ? piece->transparentIndex : 256;
    for (int32_t s = 0; s < 256; ++s)
        table[s] = static_cast<int16_t>(s);
    for (int32_t i = SubstitutionCount(piece) - 1; i >= 0; --i)
        table[piece->mapFrom[i]] = piece->mapTo[i] == noReplacement ? KEEP : piece->mapTo[i];
    table[keyIndex] = KEEP;
}

// The 4-bit path has no no-replacement value; results are nibbles, and
// pairs whose source is not a nibble match nothing.
void BuildTable4(const PlacedPiece *piece, uint8_t keyIndex, int16_t table[16])
{
    for (int32_t s = 0; s < 16; ++s)
        table[s] = static_cast<int16_t>(s);
    for (int32_t i = SubstitutionCount(piece) - 1; i >= 0; --i)
        if (piece->mapFrom[i] < 16)
            table[piece->mapFrom[i]] = static_cast<int16_t>(piece->mapTo[i] & 0x0F);
    if (keyIndex < 16)
        table[keyIndex] = KEEP;
}

uint8_t GetNibble(const uint8_t *row, int32_t column)
{
    uint8_t byte = row[column >> 1];
    return (column & 1) == 0 ? static_cast<uint8_t>(byte >> 4) : static_cast<uint8_t>(byte & 0x0F);
}

void SetNibble(uint8_t *row, int32_t column, int32_t value)
{
    uint8_t &byte = row[column >> 1];
    byte = (column & 1) == 0 ? static_cast<uint8_t>((byte & 0x0F) | (value << 4))
                             : static_cast<uint8_t>((byte & 0xF0) | value);
}

int32_t RowBytes(int32_t width, int32_t bitsPerPixel)
{
    return bitsPerPixel == 8 ? width : (width + 1) / 2;
}

struct Clip {
    int32_t firstColumn; // picture columns firstColumn..endColumn-1 are drawn
    int32_t endColumn;
};

bool Listed(const MatchPlan &plan, uint8_t value)
{
    for (int32_t i = 0; i < plan.keepCount; ++i) {
        if (plan.keep[i] == value)
            return true;
    }
    for (int32_t i = 0; i < plan.mapCount; ++i) {
        if (plan.from[i] == value)
            return true;
    }
    return false;
}

MatchPlan BuildMatchPlan(const PlacedPiece *piece, uint8_t keyIndex)
{
    MatchPlan plan{};
    int32_t noReplacement = (piece->flags & PIECE_TRANSPARENT) ? piece->transparentIndex : 256;
    plan.keep[plan.keepCount++] = keyIndex;
    int32_t pairs = SubstitutionCount(piece);
    for (int32_t i = 0; i < pairs; ++i) {
        uint8_t from = piece->mapFrom[i];
        if (Listed(plan, from))
            continue;
        if (piece->mapTo[i] == noReplacement) {
            plan.keep[plan.keepCount++] = from;
        } else {
            plan.from[plan.mapCount] = from;
            plan.to[plan.mapCount++] = piece->mapTo[i];
        }
    }
    return plan;
}

// The picture rows the piece covers, as source rows.
struct RowRange {
    int32_t first, end;
};

RowRange CoveredRows(int32_t y, int32_t sourceHeight, int32_t pictureHeight)
{
    return RowRange{std::max(0, -y), std::min(sourceHeight, pictureHeight - y)};
}

void Blit8(uint8_t *picture, int32_t pictureHeight, int32_t pictureStride, int32_t sourceStride,
           int32_t sourceHeight, const uint8_t *source, int32_t x, int32_t y, Clip clip,
           const int16_t table[256], const MatchPlan &plan)
{
    const RowRange rows = CoveredRows(y, sourceHeight, pictureHeight);
    const BlitRows b{
        picture + static_cast<ptrdiff_t>(y + rows.first) * pictureStride + clip.firstColumn,
        pictureStride,
        source + static_cast<ptrdiff_t>(rows.first) * sourceStride + (clip.firstColumn - x),
        sourceStride,
        rows.end - rows.first,
        clip.endColumn - clip.firstColumn};
    Kernels().blit8(b, table, plan);
}

void BuildPairTable(const int16_t table[16], PairTable &pairs)
{
    for (int32_t b = 0; b < 256; ++b) {
        const int16_t high = table[b >> 4];
        const int16_t low = table[b & 0x0F];
        pairs.mapped[b] =
            static_cast<uint8_t>(((high == KEEP ? 0 : high) << 4) | (low == KEEP ? 0 : low));
        pairs.keep[b] = static_cast<uint8_t>((high == KEEP ? 0xF0 : 0) | (low == KEEP ? 0x0F : 0));
    }
    for (int32_t n = 0; n < 16; ++n) {
        const bool keep = table[n] == KEEP;
        pairs.low[n] = static_cast<uint8_t>(keep ? 0 : table[n]);
        pairs.high[n] = static_cast<uint8_t>(pairs.low[n] << 4);
        pairs.lowKeep[n] = keep ? 0x0F : 0;
        pairs.highKeep[n] = keep ? 0xF0 : 0;
    }
}

void MapNibble(uint8_t *dst, int32_t column, uint8_t sourceNibble, const int16_t table[16])
{
    const int16_t value = table[sourceNibble];
    if (value != KEEP)
        SetNibble(dst, column, value);
}

// Picture columns c and c + 1 (c even) share a byte. At an even x their
// source nibbles share one too; at an odd x the pair straddles two source
// bytes and is put together first. A column left alone at either end of
// the clip is mapped by itself.
void Blit4Row(const uint8_t *src, uint8_t *dst, int32_t x, Clip clip, const int16_t table[16],
              const PairTable &pairs, const ImageKernels &k)
{
    int32_t c = clip.firstColumn;
    const int32_t end = clip.endColumn;
    if ((c & 1) != 0) {
        MapNibble(dst, c, GetNibble(src, c - x), table);
        ++c;
    }
    c = k.blit4(src, dst, x, c, end, pairs);
    if ((x & 1) == 0) {
        for (; c + 1 < end; c += 2) {
            const uint8_t s = src[(c - x) >> 1];
            uint8_t &d = dst[c >> 1];
            d = static_cast<uint8_t>((d & pairs.keep[s]) | pairs.mapped[s]);
        }
    } else {
        for (; c + 1 < end; c += 2) {
            const int32_t k = c - x;
            const auto s = static_cast<uint8_t>((src[k >> 1] << 4) | (src[(k + 1) >> 1] >> 4));
            uint8_t &d = dst[c >> 1];
            d = static_cast<uint8_t>((d & pairs.keep[s]) | pairs.mapped[s]);
        }
    }
    if (c < end)
        MapNibble(dst, c, GetNibble(src, c - x), table);
}

// Equivalent to pairing a nibble stream with the picture's nibbles: at an odd
// x the stream starts with the picture's own nibble at x - 1, which is mapped
// over itself; every other nibble outside the piece keeps its value.
void Blit4(uint8_t *picture, int32_t pictureHeight, int32_t pictureStride, int32_t sourceStride,
           int32_t sourceHeight, const uint8_t *source, int32_t x, int32_t y, Clip clip,
           const int16_t table[16])
{
    PairTable pairs;
    BuildPairTable(table, pairs);
    const bool leadingNibble = (x & 1) != 0 && x >= 1;
    const ImageKernels &k = Kernels();
    const RowRange rows = CoveredRows(y, sourceHeight, pictureHeight);
    for (int32_t r = rows.first; r < rows.end; ++r) {
        uint8_t *dst = picture + static_cast<ptrdiff_t>(y + r) * pictureStride;
        const uint8_t *src = source + static_cast<ptrdiff_t>(r) * sourceStride;
        if (leadingNibble)
            MapNibble(dst, x - 1, GetNibble(dst, x - 1), table);
        Blit4Row(src, dst, x, clip, table, pairs, k);
    }
}

} // namespace

void MapTail(const uint8_t *src, uint8_t *dst, int32_t c, int32_t end, const int16_t table[256])
{
    for (; c < end; ++c) {
        int16_t value = table[src[c]];
        if (value != KEEP)
            dst[c] = static_cast<uint8_t>(value);
    }
}

void BlitPiece(uint8_t *picture, int32_t pictureWidth, int32_t pictureHeight, int32_t pictureStride,
               int32_t sourceStride, int32_t sourceWidth, int32_t sourceHeight,
               const uint8_t *source, const PlacedPiece *piece, const CatalogHeader *catalogue,
               uint8_t keyIndex)
{
    int32_t bitsPerPixel = catalogue->bitsPerPixel;
    if (bitsPerPixel != 8 && bitsPerPixel != 4)
        return;
    int32_t picStride = static_cast<int16_t>(pictureStride);
    int32_t srcStride = static_cast<int16_t>(sourceStride);
    int32_t width = static_cast<int16_t>(sourceWidth);
    int32_t height = static_cast<int16_t>(sourceHeight);
    if (width <= 0 || height <= 0 || pictureWidth <= 0 || pictureHeight <= 0)
        return;
    // A stride that cannot hold its row (a size that wrapped in 16 bits)
    // would walk outside the buffers.
    if (picStride < RowBytes(pictureWidth, bitsPerPixel) ||
        srcStride < RowBytes(width, bitsPerPixel))
        return;

    int32_t x = piece->x;
    int32_t y = piece->y;
    Clip clip{std::max(x, 0), std::min(x + width, pictureWidth)};
    if (clip.firstColumn >= clip.endColumn || y >= pictureHeight || y + height <= 0)
        return;

    if (bitsPerPixel == 8) {
        int16_t table[256];
        BuildTable8(piece, keyIndex, table);
        Blit8(picture, pictureHeight, picStride, srcStride, height, source, x, y, clip, table,
              BuildMatchPlan(piece, keyIndex));
    } else {
        int16_t table[16];
        BuildTable4(piece, keyIndex, table);
        Blit4(picture, pictureHeight, picStride, srcStride, height, source, x, y, clip, table);
    }
}
