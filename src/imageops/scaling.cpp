// Resampling of 8-bit pixel rows by pixel repetition of a piece into the
// work buffer (the area-average shrink of the picture is in shrink.cpp).
#include "imageops/scaling.h"

#include "imageops/buffers.h"
#include "imageops/vector.h"

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

enum class RowKind { Copy, Gather, Repeat, Walk };

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

// The pattern of one output row. Shrinking keeps at most one copy of each
// source pixel, so a row is a gather through the source column of every
// output pixel; enlarging by less than eight repeats each pixel a counted
// number of times. counts holds the copies of every source pixel. The
// pattern lives on the stack (about 29 KB), as nothing may be allocated
// here beyond the work buffer; wider sources take the plain walk.
struct RowPattern {
    RowKind kind;
    int32_t sourceWidth, targetWidth, pixelsEach, pixelsExtra;
    uint16_t columns[kPatternWidth];
    uint8_t counts[kPatternWidth];
    SqueezeBlock squeeze[kPatternBlocks];
    uint8_t squeezeShifts; // bit i: some block shifts by 2^i
};

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

void MakeRowPattern(RowPattern &p, int32_t sourceWidth, int32_t targetWidth)
{
    p.sourceWidth = sourceWidth;
    p.targetWidth = targetWidth;
    p.pixelsEach = targetWidth / sourceWidth;
    p.pixelsExtra = targetWidth % sourceWidth;
    if (p.pixelsEach == 1 && p.pixelsExtra == 0)
        p.kind = RowKind::Copy;
    else if (p.pixelsEach == 0 && sourceWidth <= kPatternWidth)
        p.kind = RowKind::Gather;
    else if (p.pixelsEach >= 1 && p.pixelsEach < 8 && sourceWidth <= kPatternWidth)
        p.kind = RowKind::Repeat;
    else
        p.kind = RowKind::Walk;
    int32_t h = sourceWidth;
    int32_t out = 0;
    for (int32_t k = 0; k < sourceWidth && p.kind != RowKind::Walk; ++k) {
        h += p.pixelsExtra;
        int32_t n = p.pixelsEach;
        if (h > sourceWidth) {
            ++n;
            h -= sourceWidth;
        }
        p.counts[k] = static_cast<uint8_t>(n);
        if (p.kind == RowKind::Gather && n == 1)
            p.columns[out++] = static_cast<uint16_t>(k);
    }
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

uint8_t *ExpandRow(const uint8_t *source, uint8_t *out, const RowPattern &p, int32_t padding)
{
    switch (p.kind) {
    case RowKind::Copy:
        std::memcpy(out, source, static_cast<size_t>(p.sourceWidth));
        out += p.sourceWidth;
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
    std::memset(out, 0, static_cast<size_t>(padding));
    return out + padding;
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
    MakeRowPattern(pattern, sourceWidth, targetWidth);
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
