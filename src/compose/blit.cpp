// Piece blit. The key index and the substitution list are folded into a
// lookup table once per piece, so the pixel loops only look values up.
#include "compose/blit.h"
#include "imageops/cpu.h"

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

// The columns a vector loop left over.
void MapTail(const uint8_t *src, uint8_t *dst, int32_t c, int32_t end, const int16_t table[256])
{
    for (; c < end; ++c) {
        int16_t value = table[src[c]];
        if (value != KEEP)
            dst[c] = static_cast<uint8_t>(value);
    }
}

// An 8-bit piece over the picture: the covered rows, and in each the clipped
// columns, which start at the first clipped column of both buffers' rows.
struct BlitRows {
    uint8_t *picture;
    int32_t pictureStride;
    const uint8_t *source;
    int32_t sourceStride;
    RowRange rows;
    int32_t x, y;
    Clip clip;
};

uint8_t *PictureRow(const BlitRows &b, int32_t r)
{
    return b.picture + static_cast<ptrdiff_t>(b.y + r) * b.pictureStride + b.clip.firstColumn;
}

const uint8_t *SourceRow(const BlitRows &b, int32_t r)
{
    return b.source + static_cast<ptrdiff_t>(r) * b.sourceStride + (b.clip.firstColumn - b.x);
}

int32_t ClippedWidth(const BlitRows &b)
{
    return b.clip.endColumn - b.clip.firstColumn;
}

void Blit8Plain(const BlitRows &b, const int16_t table[256])
{
    for (int32_t r = b.rows.first; r < b.rows.end; ++r)
        MapTail(SourceRow(b, r), PictureRow(b, r), 0, ClippedWidth(b), table);
}

#if PP_HAVE_SSE2
void Blit8Sse2(const BlitRows &b, const int16_t table[256], const MatchPlan &plan)
{
    __m128i keep[17], from[16], to[16];
    for (int32_t i = 0; i < plan.keepCount; ++i)
        keep[i] = Splat8(plan.keep[i]);
    for (int32_t i = 0; i < plan.mapCount; ++i) {
        from[i] = Splat8(plan.from[i]);
        to[i] = Splat8(plan.to[i]);
    }
    const int32_t width = ClippedWidth(b);
    for (int32_t r = b.rows.first; r < b.rows.end; ++r) {
        uint8_t *dst = PictureRow(b, r);
        const uint8_t *src = SourceRow(b, r);
        int32_t c = 0;
        for (; c + 16 <= width; c += 16) {
            __m128i s = Load16(src + c);
            __m128i kept = _mm_cmpeq_epi8(s, keep[0]);
            for (int32_t i = 1; i < plan.keepCount; ++i)
                kept = _mm_or_si128(kept, _mm_cmpeq_epi8(s, keep[i]));
            __m128i matched = _mm_setzero_si128();
            __m128i mapped = _mm_setzero_si128();
            for (int32_t i = 0; i < plan.mapCount; ++i) {
                __m128i hit = _mm_cmpeq_epi8(s, from[i]);
                matched = _mm_or_si128(matched, hit);
                mapped = _mm_or_si128(mapped, _mm_and_si128(hit, to[i]));
            }
            __m128i value = _mm_or_si128(mapped, _mm_andnot_si128(matched, s));
            Store16(dst + c, Select(kept, Load16(dst + c), value));
        }
        MapTail(src, dst, c, width, table);
    }
}
#endif

#if PP_HAVE_AVX2
PP_TARGET_AVX2 void Blit8Avx2(const BlitRows &b, const int16_t table[256], const MatchPlan &plan)
{
    __m256i keep[17], from[16], to[16];
    for (int32_t i = 0; i < plan.keepCount; ++i)
        keep[i] = _mm256_set1_epi8(static_cast<char>(plan.keep[i]));
    for (int32_t i = 0; i < plan.mapCount; ++i) {
        from[i] = _mm256_set1_epi8(static_cast<char>(plan.from[i]));
        to[i] = _mm256_set1_epi8(static_cast<char>(plan.to[i]));
    }
    const int32_t width = ClippedWidth(b);
    for (int32_t r = b.rows.first; r < b.rows.end; ++r) {
        uint8_t *dst = PictureRow(b, r);
        const uint8_t *src = SourceRow(b, r);
        int32_t c = 0;
        for (; c + 32 <= width; c += 32) {
            __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + c));
            __m256i kept = _mm256_cmpeq_epi8(s, keep[0]);
            for (int32_t i = 1; i < plan.keepCount; ++i)
                kept = _mm256_or_si256(kept, _mm256_cmpeq_epi8(s, keep[i]));
            __m256i matched = _mm256_setzero_si256();
            __m256i mapped = _mm256_setzero_si256();
            for (int32_t i = 0; i < plan.mapCount; ++i) {
                __m256i hit = _mm256_cmpeq_epi8(s, from[i]);
                matched = _mm256_or_si256(matched, hit);
                mapped = _mm256_or_si256(mapped, _mm256_and_si256(hit, to[i]));
            }
            __m256i value = _mm256_or_si256(mapped, _mm256_andnot_si256(matched, s));
            __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(dst + c));
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst + c),
                                _mm256_blendv_epi8(value, d, kept));
        }
        MapTail(src, dst, c, width, table);
    }
}
#endif

void Blit8(uint8_t *picture, int32_t pictureHeight, int32_t pictureStride, int32_t sourceStride,
           int32_t sourceHeight, const uint8_t *source, int32_t x, int32_t y, Clip clip,
           const int16_t table[256], const MatchPlan &plan)
{
    const BlitRows b{picture,
                     pictureStride,
                     source,
                     sourceStride,
                     CoveredRows(y, sourceHeight, pictureHeight),
                     x,
                     y,
                     clip};
    int32_t level = ActiveVectorLevel();
#if PP_HAVE_AVX2
    if (level >= VECTOR_AVX2) {
        Blit8Avx2(b, table, plan);
        return;
    }
#endif
#if PP_HAVE_SSE2
    if (level >= VECTOR_SSE2) {
        Blit8Sse2(b, table, plan);
        return;
    }
#endif
    (void)level;
    (void)plan;
    Blit8Plain(b, table);
}

// The 4-bit path maps two nibbles at a time through tables of source bytes:
// what the pair of pixels becomes, and which of the two keep the picture's
// nibble.
// The same for one nibble in either half of a byte, as 16-entry tables for
// byte shuffles.
struct PairTable {
    uint8_t mapped[256];
    uint8_t keep[256];
    uint8_t low[16], lowKeep[16], high[16], highKeep[16];
};

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

#if PP_HAVE_DISPATCH
// 32 columns (16 picture bytes) at a time from an even column c on; returns
// the first column left.
PP_TARGET_SSSE3 int32_t Blit4Vector(const uint8_t *src, uint8_t *dst, int32_t x, int32_t c,
                                    int32_t end, const PairTable &pairs)
{
    const __m128i nibbles = Splat8(0x0F);
    const __m128i low = Load16(pairs.low), lowKeep = Load16(pairs.lowKeep);
    const __m128i high = Load16(pairs.high), highKeep = Load16(pairs.highKeep);
    for (; c + 32 <= end; c += 32) {
        const uint8_t *at = src + ((c - x) >> 1);
        __m128i s = Load16(at);
        if ((x & 1) != 0) {
            __m128i next = _mm_and_si128(_mm_srli_epi16(Load16(at + 1), 4), nibbles);
            s = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(s, nibbles), 4), next);
        }
        __m128i lowNibble = _mm_and_si128(s, nibbles);
        __m128i highNibble = _mm_and_si128(_mm_srli_epi16(s, 4), nibbles);
        __m128i keep = _mm_or_si128(_mm_shuffle_epi8(lowKeep, lowNibble),
                                    _mm_shuffle_epi8(highKeep, highNibble));
        __m128i mapped =
            _mm_or_si128(_mm_shuffle_epi8(low, lowNibble), _mm_shuffle_epi8(high, highNibble));
        uint8_t *d = dst + (c >> 1);
        Store16(d, _mm_or_si128(_mm_and_si128(Load16(d), keep), mapped));
    }
    return c;
}
#endif

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
              const PairTable &pairs, [[maybe_unused]] bool shuffles)
{
    int32_t c = clip.firstColumn;
    const int32_t end = clip.endColumn;
    if ((c & 1) != 0) {
        MapNibble(dst, c, GetNibble(src, c - x), table);
        ++c;
    }
#if PP_HAVE_DISPATCH
    if (shuffles)
        c = Blit4Vector(src, dst, x, c, end, pairs);
#endif
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
    const bool shuffles = ActiveVectorLevel() >= VECTOR_SSSE3;
    const RowRange rows = CoveredRows(y, sourceHeight, pictureHeight);
    for (int32_t r = rows.first; r < rows.end; ++r) {
        uint8_t *dst = picture + static_cast<ptrdiff_t>(y + r) * pictureStride;
        const uint8_t *src = source + static_cast<ptrdiff_t>(r) * sourceStride;
        if (leadingNibble)
            MapNibble(dst, x - 1, GetNibble(dst, x - 1), table);
        Blit4Row(src, dst, x, clip, table, pairs, shuffles);
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
