// Resampling of 8-bit pixel rows by pixel repetition of a piece into the
// work buffer (the area-average shrink of the picture is in shrink.cpp).
#include "imageops/scaling.h"

#include "imageops/buffers.h"
#include "imageops/cpu.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace {

int32_t Stride8(int32_t width)
{
    return (width + 3) & ~3;
}

// Writes one source row at the target width: each pixel n times, where n
// takes the extra copy whenever the error term passes the source width, so
// the extra copies are spread evenly and fall on the first pixel of a group.
// The error term is back at its start after a whole row, so every row
// repeats the same pattern: it is worked out once per call (RowPattern) and
// this walk is left for rows too wide for the pattern's tables.
uint8_t *WalkRow(const uint8_t *source, uint8_t *out, int32_t sourceWidth, int32_t pixelsEach,
                 int32_t pixelsExtra)
{
    int32_t h = sourceWidth;
    for (int32_t k = 0; k < sourceWidth; ++k) {
        h += pixelsExtra;
        int32_t n = pixelsEach;
        if (h > sourceWidth) {
            ++n;
            h -= sourceWidth;
        }
        std::memset(out, source[k], static_cast<size_t>(n));
        out += n;
    }
    return out;
}

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

// The pattern of one output row: the source column of every output pixel
// (shuffled or gathered into place), or for enlarging by less than eight
// without shuffles the copies of every source pixel (counts). Only the
// tables the kind uses are filled. The pattern lives on the stack (about
// 43 KB), as nothing may be allocated here beyond the work buffer; wider
// rows take the plain walk.
struct RowPattern {
    RowKind kind;
    int32_t sourceWidth, targetWidth, pixelsEach, pixelsExtra;
    uint16_t columns[kPatternWidth + 8]; // 8 entries of slack for the last pixel
    uint8_t counts[kPatternWidth];
    SqueezeBlock squeeze[kPatternBlocks];
    uint8_t squeezeShifts; // bit i: some block shifts by 2^i
    ShuffleTable shuffle;
    int32_t shuffleBlocks; // whole blocks of 16 outputs; the rest are gathered
    bool wide;             // 32-byte vectors
    PermuteTable permute;
    int32_t permuteBlocks; // whole blocks of 64 outputs, before the shuffled ones
};
static_assert(sizeof(RowPattern) <= 44 * 1024, "the row pattern lives on the stack");

// Follows every pixel of the block through the four shifts.
// Returns the shifts the block uses, one bit each.
uint8_t MakeSqueezeBlock(SqueezeBlock &block, const uint8_t *counts)
{
    int32_t shift[16];
    int32_t at[16]; // the pixel at each place, or -1
    int32_t dropped = 0;
    int32_t used = 0;
    block.kept = 0;
    for (int32_t i = 0; i < 16; ++i) {
        shift[i] = dropped;
        at[i] = i;
        dropped += counts[i] == 0;
        block.kept = static_cast<uint8_t>(block.kept + (counts[i] != 0));
    }
    for (int32_t stage = 0; stage < 4; ++stage) {
        const int32_t s = 1 << stage;
        int32_t next[16];
        for (int32_t i = 0; i < 16; ++i) {
            const bool leaves = at[i] >= 0 && (shift[at[i]] & s) != 0;
            const bool arrives = i + s < 16 && at[i + s] >= 0 && (shift[at[i + s]] & s) != 0;
            next[i] = arrives ? at[i + s] : (leaves ? -1 : at[i]);
            block.masks[stage][i] = arrives ? 0xFF : 0;
            used |= arrives ? s : 0;
        }
        std::memcpy(at, next, sizeof at);
    }
    return static_cast<uint8_t>(used);
}

// Picks the source window of every whole block of 16 outputs; the window
// stays inside the row. False when some block spans more than 32 source
// pixels (shrinking to less than about half), which the shuffle cannot do.
bool MakeShuffleBlocks(RowPattern &p)
{
    p.shuffleBlocks = 0;
    for (int32_t b = 0; b < p.targetWidth / 16; ++b) {
        const uint16_t *columns = p.columns + 16 * b;
        int32_t start = std::min<int32_t>(columns[0], p.sourceWidth - 32);
        if (columns[15] - columns[0] >= 32)
            return false;
        if (start < 0)
            break;
        p.shuffle.start[b] = start;
        // A shuffle reads the low four bits of a byte, or picks nothing when
        // the top bit is set: at 16..31 gets that bit for the low row, and
        // at 0..15 wraps below zero (240..255) for the high row.
        for (int32_t i = 0; i < 16; ++i) {
            const int32_t at = columns[i] - start;
            p.shuffle.low[b][i] = static_cast<uint8_t>(at | ((at & 16) << 3));
            p.shuffle.high[b][i] = static_cast<uint8_t>(at - 16);
        }
        p.shuffleBlocks = b + 1;
    }
    return true;
}

// Blocks of 64 outputs while their sources span at most 128 pixels and the
// window fits inside the row; the blocks of 16 carry on after them.
void MakePermuteBlocks(RowPattern &p)
{
    p.permuteBlocks = 0;
    for (int32_t b = 0; b < p.shuffleBlocks / 4; ++b) {
        const uint16_t *columns = p.columns + 64 * b;
        int32_t start = std::min<int32_t>(columns[0], p.sourceWidth - 128);
        if (start < 0 || columns[63] - columns[0] >= 128)
            return;
        p.permute.start[b] = start;
        for (int32_t i = 0; i < 64; ++i)
            p.permute.index[b][i] = static_cast<uint8_t>(columns[i] - start);
        p.permuteBlocks = b + 1;
    }
}

void MakeRowPattern(RowPattern &p, int32_t sourceWidth, int32_t targetWidth, int32_t level)
{
    const bool shuffles = PP_HAVE_DISPATCH && level >= VECTOR_SSSE3;
    p.wide = level >= VECTOR_AVX2;
    p.permuteBlocks = 0;
    p.sourceWidth = sourceWidth;
    p.targetWidth = targetWidth;
    p.pixelsEach = targetWidth / sourceWidth;
    p.pixelsExtra = targetWidth % sourceWidth;
    if (p.pixelsEach == 1 && p.pixelsExtra == 0)
        p.kind = RowKind::Copy;
    else if (shuffles && targetWidth <= kPatternWidth && sourceWidth <= kPatternWidth)
        p.kind = RowKind::Shuffle;
    else if (p.pixelsEach == 0 && sourceWidth <= kPatternWidth)
        p.kind = RowKind::Gather;
    else if (p.pixelsEach >= 1 && p.pixelsEach < 8 && sourceWidth <= kPatternWidth)
        p.kind = RowKind::Repeat;
    else
        p.kind = RowKind::Walk;
    // The columns: k is written as eight entries and the table moves on by
    // its count (later pixels overwrite the rest), so that shrinking, where
    // pixels are kept or dropped in no regular order, takes no branch.
    // The extra copy is taken without a branch as well.
    const bool columns = p.kind == RowKind::Shuffle || p.kind == RowKind::Gather;
    const int32_t pixelsEach = p.pixelsEach, pixelsExtra = p.pixelsExtra;
    int32_t h = sourceWidth;
    int32_t out = 0;
    for (int32_t k = 0; k < sourceWidth && p.kind != RowKind::Walk; ++k) {
        h += pixelsExtra;
        const int32_t n = pixelsEach + (h > sourceWidth);
        h = h > sourceWidth ? h - sourceWidth : h;
        p.counts[k] = static_cast<uint8_t>(n);
        if (!columns)
            continue;
        const uint64_t four = k * uint64_t{0x0001000100010001};
        std::memcpy(p.columns + out, &four, sizeof four);
        std::memcpy(p.columns + out + 4, &four, sizeof four);
        for (int32_t c = 8; c < n; ++c)
            p.columns[out + c] = static_cast<uint16_t>(k);
        out += n;
    }
    if (p.kind == RowKind::Shuffle && !MakeShuffleBlocks(p)) {
        // Too far apart for a shuffle: shrinking to under half; the gather
        // below takes every pixel from the table of columns made above.
        p.kind = RowKind::Gather;
    }
    if (p.kind == RowKind::Shuffle && level >= VECTOR_AVX512)
        MakePermuteBlocks(p);
    p.squeezeShifts = 0;
    if (PP_HAVE_SSE2 && p.kind == RowKind::Gather) {
        for (int32_t b = 0; b < sourceWidth / 16; ++b)
            p.squeezeShifts |= MakeSqueezeBlock(p.squeeze[b], p.counts + 16 * b);
    }
}

// Each pixel is written as eight copies and the output moves on by its
// count, which later pixels overwrite; the last pixels of the row are
// written exactly so nothing lands past the row.
uint8_t *RepeatRow(const uint8_t *source, uint8_t *out, const RowPattern &p)
{
    uint8_t *end = out + p.targetWidth;
    int32_t k = 0;
    for (; k < p.sourceWidth && end - out >= 8; ++k) {
        uint64_t eight = source[k] * uint64_t{0x0101010101010101};
        std::memcpy(out, &eight, sizeof eight);
        out += p.counts[k];
    }
    for (; k < p.sourceWidth; ++k) {
        std::memset(out, source[k], p.counts[k]);
        out += p.counts[k];
    }
    return out;
}

// Shrinking keeps at most one copy of each source pixel. Each squeezed
// block is stored whole and the next one lands on its unused end; blocks
// stop where a store would pass the row, and the gather does the rest.
uint8_t *GatherRow(const uint8_t *source, uint8_t *out, const RowPattern &p)
{
    int32_t j = 0;
#if PP_HAVE_SSE2
    for (int32_t b = 0; b < p.sourceWidth / 16 && j + 16 <= p.targetWidth; ++b) {
        const SqueezeBlock &q = p.squeeze[b];
        __m128i v = Load16(source + 16 * b);
        // Only a block that drops 8 pixels before a kept one shifts by 8
        // (shrinking to about half or less); otherwise that shift is left
        // out.
        v = Select(Load16(q.masks[0]), _mm_srli_si128(v, 1), v);
        v = Select(Load16(q.masks[1]), _mm_srli_si128(v, 2), v);
        v = Select(Load16(q.masks[2]), _mm_srli_si128(v, 4), v);
        if (p.squeezeShifts & 8)
            v = Select(Load16(q.masks[3]), _mm_srli_si128(v, 8), v);
        Store16(out + j, v);
        j += q.kept;
    }
#endif
    for (; j < p.targetWidth; ++j)
        out[j] = source[p.columns[j]];
    return out + p.targetWidth;
}

#if PP_HAVE_DISPATCH
// The outputs after the whole blocks come through the table of columns.
uint8_t *FinishRow(const uint8_t *source, uint8_t *out, const RowPattern &p, int32_t done)
{
    for (int32_t j = done; j < p.targetWidth; ++j)
        out[j] = source[p.columns[j]];
    return out + p.targetWidth;
}

PP_TARGET_SSSE3 uint8_t *ShuffleRow(const uint8_t *source, uint8_t *out, const RowPattern &p)
{
    const ShuffleTable &t = p.shuffle;
    const int32_t blocks = p.shuffleBlocks;
    for (int32_t b = 4 * p.permuteBlocks; b < blocks; ++b) {
        __m128i low = _mm_shuffle_epi8(Load16(source + t.start[b]), Load16(t.low[b]));
        __m128i high = _mm_shuffle_epi8(Load16(source + t.start[b] + 16), Load16(t.high[b]));
        Store16(out + 16 * b, _mm_or_si128(low, high));
    }
    return FinishRow(source, out, p, 16 * blocks);
}
#endif

#if PP_HAVE_AVX2
PP_TARGET_AVX2 __m256i LoadTwo(const uint8_t *first, const uint8_t *second)
{
    __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(first));
    __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(second));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// Two blocks at a time, one in each half of the vector, after the blocks of
// 64 outputs that the permutes wrote.
PP_TARGET_AVX2 uint8_t *ShuffleRowAvx2(const uint8_t *source, uint8_t *out, const RowPattern &p)
{
    const ShuffleTable &t = p.shuffle;
    const int32_t blocks = p.shuffleBlocks;
    int32_t b = 4 * p.permuteBlocks;
    for (; b + 2 <= blocks; b += 2) {
        const uint8_t *first = source + t.start[b];
        const uint8_t *second = source + t.start[b + 1];
        __m256i lowMask = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(t.low[b]));
        __m256i highMask = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(t.high[b]));
        __m256i low = _mm256_shuffle_epi8(LoadTwo(first, second), lowMask);
        __m256i high = _mm256_shuffle_epi8(LoadTwo(first + 16, second + 16), highMask);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 16 * b), _mm256_or_si256(low, high));
    }
    if (b < blocks) {
        __m128i low = _mm_shuffle_epi8(Load16(source + t.start[b]), Load16(t.low[b]));
        __m128i high = _mm_shuffle_epi8(Load16(source + t.start[b] + 16), Load16(t.high[b]));
        Store16(out + 16 * b, _mm_or_si128(low, high));
        ++b;
    }
    return FinishRow(source, out, p, 16 * b);
}
#endif

#if PP_HAVE_AVX512
// The blocks of 64 outputs; the shuffles go on after them.
PP_TARGET_AVX512 void PermuteRow(const uint8_t *source, uint8_t *out, const RowPattern &p)
{
    const PermuteTable &t = p.permute;
    for (int32_t b = 0; b < p.permuteBlocks; ++b) {
        __m512i first = _mm512_loadu_si512(source + t.start[b]);
        __m512i second = _mm512_loadu_si512(source + t.start[b] + 64);
        __m512i index = _mm512_loadu_si512(t.index[b]);
        _mm512_storeu_si512(out + 64 * b, _mm512_permutex2var_epi8(first, index, second));
    }
}
#endif

uint8_t *ExpandRow(const uint8_t *source, uint8_t *out, const RowPattern &p, int32_t padding)
{
    switch (p.kind) {
    case RowKind::Copy:
        std::memcpy(out, source, static_cast<size_t>(p.sourceWidth));
        out += p.sourceWidth;
        break;
    case RowKind::Shuffle:
#if PP_HAVE_AVX512
        if (p.permuteBlocks > 0)
            PermuteRow(source, out, p);
#endif
#if PP_HAVE_AVX2
        if (p.wide) {
            out = ShuffleRowAvx2(source, out, p);
            break;
        }
#endif
#if PP_HAVE_DISPATCH
        out = ShuffleRow(source, out, p);
#endif
        break;
    case RowKind::Gather:
        out = GatherRow(source, out, p);
        break;
    case RowKind::Repeat:
        out = RepeatRow(source, out, p);
        break;
    case RowKind::Walk:
        out = WalkRow(source, out, p.sourceWidth, p.pixelsEach, p.pixelsExtra);
        break;
    }
    // At most three bytes: a call to memset would cost more.
    for (int32_t i = 0; i < padding; ++i)
        *out++ = 0;
    return out;
}

} // namespace

uint8_t *ScaleRepeat(const uint8_t *source, uint8_t *work, int32_t sourceWidth,
                     int32_t sourceHeight, int32_t targetWidth, int32_t targetHeight, int32_t size)
{
    assert(targetWidth >= 0 && targetHeight >= 0 && size >= 0);
    auto *buffer =
        static_cast<uint8_t *>(ReuseBuf(work, static_cast<uint32_t>(std::max(size, 0)), 0, 0));
    if (buffer == nullptr || targetWidth < 0 || targetHeight < 0)
        return buffer;

    // Sizes come from piece bitmaps; rows that would not fit into size bytes
    // are left out rather than written past the buffer.
    const int32_t targetStride = Stride8(targetWidth);
    int32_t rowsLeft = targetHeight;
    if (targetStride > 0)
        rowsLeft = std::min(rowsLeft, std::max(size, 0) / targetStride);

    // An empty source has nothing to repeat: the target gets defined zeros.
    if (sourceWidth < 1 || sourceHeight < 1) {
        std::memset(buffer, 0, static_cast<size_t>(rowsLeft) * static_cast<size_t>(targetStride));
        return buffer;
    }

    const int32_t sourceStride = Stride8(sourceWidth);
    const int32_t rowsEach = targetHeight / sourceHeight;
    const int32_t rowsExtra = targetHeight % sourceHeight;
    RowPattern pattern;
    MakeRowPattern(pattern, sourceWidth, targetWidth, ActiveVectorLevel());
    const int32_t padding = targetStride - targetWidth;

    int32_t v = sourceHeight;
    uint8_t *out = buffer;
    for (int32_t row = 0; row < sourceHeight && rowsLeft > 0; ++row) {
        v += rowsExtra;
        int32_t copies = rowsEach;
        if (v > sourceHeight) {
            ++copies;
            v -= sourceHeight;
        }
        if (copies == 0)
            continue;
        copies = std::min(copies, rowsLeft);
        rowsLeft -= copies;
        // Later copies of a row are byte for byte the first one.
        uint8_t *firstCopy = out;
        out = ExpandRow(source + static_cast<ptrdiff_t>(row) * sourceStride, out, pattern, padding);
        for (int32_t k = 1; k < copies; ++k) {
            std::memcpy(out, firstCopy, static_cast<size_t>(targetStride));
            out += targetStride;
        }
    }
    return buffer;
}
