// Resampling of 8-bit pixel rows by pixel repetition of a piece into the
// work buffer (the area-average shrink of the picture is in shrink.cpp).
#include "imageops/scaling.h"

#include "imageops/buffers.h"
#include "imageops/cpu.h"
#include "imageops/kernels.h"
#include "imageops/row_pattern.h"

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
    const bool shuffles = level >= VECTOR_SSSE3;
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
    if (level >= VECTOR_SSE2 && p.kind == RowKind::Gather) {
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

// Shrinking keeps at most one copy of each source pixel; the kernel's
// squeezed blocks go first.
uint8_t *GatherRow(const uint8_t *source, uint8_t *out, const RowPattern &p, const ImageKernels &k)
{
    for (int32_t j = k.gatherRow(source, out, p); j < p.targetWidth; ++j)
        out[j] = source[p.columns[j]];
    return out + p.targetWidth;
}

// The outputs after the kernel's whole blocks come through the table of
// columns.
uint8_t *ShuffleRow(const uint8_t *source, uint8_t *out, const RowPattern &p, const ImageKernels &k)
{
    for (int32_t j = k.shuffleRow(source, out, p); j < p.targetWidth; ++j)
        out[j] = source[p.columns[j]];
    return out + p.targetWidth;
}

uint8_t *ExpandRow(const uint8_t *source, uint8_t *out, const RowPattern &p, int32_t padding,
                   const ImageKernels &k)
{
    switch (p.kind) {
    case RowKind::Copy:
        std::memcpy(out, source, static_cast<size_t>(p.sourceWidth));
        out += p.sourceWidth;
        break;
    case RowKind::Shuffle:
        out = ShuffleRow(source, out, p, k);
        break;
    case RowKind::Gather:
        out = GatherRow(source, out, p, k);
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
    const ImageKernels &k = Kernels();
    MakeRowPattern(pattern, sourceWidth, targetWidth, k.level);
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
        out = ExpandRow(source + static_cast<ptrdiff_t>(row) * sourceStride, out, pattern, padding,
                        k);
        for (int32_t k = 1; k < copies; ++k) {
            std::memcpy(out, firstCopy, static_cast<size_t>(targetStride));
            out += targetStride;
        }
    }
    return buffer;
}
