// Piece blit. The key index and the substitution list are folded into a
// lookup table once per piece, so the pixel loops only look values up.
#include "compose/blit.h"
#include "imageops/vector.h"

#include <algorithm>
#include <cstddef>

namespace {

// Table value meaning "the picture's pixel stays".
constexpr int16_t KEEP = -1;

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
void BuildTable8(const PlacedPiece *piece, uint8_t keyIndex, int16_t table[256])
{
    int32_t pairs = SubstitutionCount(piece);
    int32_t noReplacement = (piece->flags & PIECE_TRANSPARENT) ? piece->transparentIndex : 256;
    for (int32_t s = 0; s < 256; ++s) {
        int16_t result = static_cast<int16_t>(s);
        for (int32_t i = 0; i < pairs; ++i) {
            if (piece->mapFrom[i] == s) {
                result = piece->mapTo[i] == noReplacement ? KEEP : piece->mapTo[i];
                break;
            }
        }
        table[s] = s == keyIndex ? KEEP : result;
    }
}

// The 4-bit path has no no-replacement value; results are nibbles.
void BuildTable4(const PlacedPiece *piece, uint8_t keyIndex, int16_t table[16])
{
    int32_t pairs = SubstitutionCount(piece);
    for (int32_t s = 0; s < 16; ++s) {
        int16_t result = static_cast<int16_t>(s);
        for (int32_t i = 0; i < pairs; ++i) {
            if (piece->mapFrom[i] == s) {
                result = static_cast<int16_t>(piece->mapTo[i] & 0x0F);
                break;
            }
        }
        table[s] = s == keyIndex ? KEEP : result;
    }
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

// The substitution list as the vector loop walks it: the key first (the
// picture's pixel stays), then the pairs in list order, the first match of a
// value winning. Values no entry matches are written as they are.
struct MatchPlan {
    int32_t count;
    uint8_t from[17];
    int16_t to[17]; // KEEP or the value to write
};

MatchPlan BuildMatchPlan(const PlacedPiece *piece, uint8_t keyIndex)
{
    MatchPlan plan{};
    int32_t noReplacement = (piece->flags & PIECE_TRANSPARENT) ? piece->transparentIndex : 256;
    plan.from[0] = keyIndex;
    plan.to[0] = KEEP;
    plan.count = 1;
    int32_t pairs = SubstitutionCount(piece);
    for (int32_t i = 0; i < pairs; ++i) {
        plan.from[plan.count] = piece->mapFrom[i];
        plan.to[plan.count] = piece->mapTo[i] == noReplacement ? KEEP : piece->mapTo[i];
        ++plan.count;
    }
    return plan;
}

#if PP_HAVE_SSE2
// Maps 16 source bytes over 16 picture bytes.
__m128i MapSixteen(__m128i src, __m128i dst, const MatchPlan &plan)
{
    __m128i matched = _mm_setzero_si128();
    __m128i result = dst;
    for (int32_t i = 0; i < plan.count; ++i) {
        __m128i hit = _mm_andnot_si128(matched, _mm_cmpeq_epi8(src, Splat8(plan.from[i])));
        if (plan.to[i] != KEEP)
            result = Select(hit, Splat8(plan.to[i]), result);
        matched = _mm_or_si128(matched, hit);
    }
    return Select(matched, result, src);
}
#endif

void Blit8(uint8_t *picture, int32_t pictureHeight, int32_t pictureStride, int32_t sourceStride,
           int32_t sourceHeight, const uint8_t *source, int32_t x, int32_t y, Clip clip,
           const int16_t table[256], [[maybe_unused]] const MatchPlan &plan)
{
    for (int32_t r = 0; r < sourceHeight; ++r) {
        int32_t row = y + r;
        if (row < 0 || row >= pictureHeight)
            continue;
        uint8_t *dst = picture + static_cast<ptrdiff_t>(row) * pictureStride;
        const uint8_t *src = source + static_cast<ptrdiff_t>(r) * sourceStride;
        int32_t c = clip.firstColumn;
#if PP_HAVE_SSE2
        for (; c + 16 <= clip.endColumn; c += 16)
            Store16(dst + c, MapSixteen(Load16(src + (c - x)), Load16(dst + c), plan));
#endif
        for (; c < clip.endColumn; ++c) {
            int16_t value = table[src[c - x]];
            if (value != KEEP)
                dst[c] = static_cast<uint8_t>(value);
        }
    }
}

// Equivalent to pairing a nibble stream with the picture's nibbles: at an odd
// x the stream starts with the picture's own nibble at x - 1, which is mapped
// over itself; every other nibble outside the piece keeps its value.
void Blit4(uint8_t *picture, int32_t pictureHeight, int32_t pictureStride, int32_t sourceStride,
           int32_t sourceHeight, const uint8_t *source, int32_t x, int32_t y, Clip clip,
           const int16_t table[16])
{
    bool leadingNibble = (x & 1) != 0 && x >= 1;
    for (int32_t r = 0; r < sourceHeight; ++r) {
        int32_t row = y + r;
        if (row < 0 || row >= pictureHeight)
            continue;
        uint8_t *dst = picture + static_cast<ptrdiff_t>(row) * pictureStride;
        const uint8_t *src = source + static_cast<ptrdiff_t>(r) * sourceStride;
        if (leadingNibble) {
            int16_t value = table[GetNibble(dst, x - 1)];
            if (value != KEEP)
                SetNibble(dst, x - 1, value);
        }
        for (int32_t c = clip.firstColumn; c < clip.endColumn; ++c) {
            int16_t value = table[GetNibble(src, c - x)];
            if (value != KEEP)
                SetNibble(dst, c, value);
        }
    }
}

} // namespace

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
