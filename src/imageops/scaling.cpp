// Resampling of 8-bit pixel rows: area-average shrinking of the picture in
// place, and pixel repetition of a piece into the work buffer.
#include "imageops/scaling.h"

#include "imageops/buffers.h"
#include "imageops/divide.h"
#include "imageops/lowindex.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace {

int32_t Stride8(int32_t width)
{
    return (width + 3) & ~3;
}

// Common factors of two carry no information about the ratio; removing them
// keeps the weight x value products small.
void ReduceRatio(uint32_t &oldSize, uint32_t &newSize)
{
    while (oldSize != 0 && newSize != 0 && (oldSize & 1) == 0 && (newSize & 1) == 0) {
        oldSize >>= 1;
        newSize >>= 1;
    }
}

// One row of the horizontal pass. Every source pixel weighs wn and every
// output collects wa; a pixel that straddles two outputs is split between
// them. out may start inside the source row but never overtakes the reading.
// The last output is complete once the last source pixel is in (the pixel
// past the row would come in with weight zero), so it is emitted after the
// loop without reading beyond the row.
void ShrinkRow(const uint8_t *source, uint8_t *out, int32_t oldWidth, int32_t newWidth, uint32_t wa,
               uint32_t wn, ByteMeanDivider divider)
{
    uint32_t f = wa;
    uint32_t g = 0;
    int32_t count = 0;
    for (int32_t i = 0; i < oldWidth; ++i) {
        uint32_t v = source[i];
        if (f >= wn) {
            g += wn * v;
            f -= wn;
        } else {
            out[count++] = static_cast<uint8_t>(DivideByteMean(divider, f * v + g));
            g = (wn - f) * v;
            f += wa - wn;
        }
    }
    assert(count == newWidth - 1 && f == 0);
    (void)newWidth;
    out[count] = static_cast<uint8_t>(DivideByteMean(divider, g));
}

// The vertical pass walks every column (padding included) down the rows.
// The weight bookkeeping depends only on the row, so a block of neighbouring
// columns is carried along together, one running sum per column, and the
// buffer is read row by row.
constexpr int32_t kColumnBlock = 256;

void ShrinkColumnBlock(uint8_t *pixels, int32_t first, int32_t columns, int32_t oldHeight,
                       int32_t newHeight, int32_t newStride, uint32_t ha, uint32_t hn,
                       ByteMeanDivider divider)
{
    uint32_t g[kColumnBlock] = {};
    uint32_t f = ha;
    int32_t count = 0;
    for (int32_t row = 0; row < oldHeight; ++row) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(row) * newStride + first;
        if (f >= hn) {
            for (int32_t j = 0; j < columns; ++j)
                g[j] += hn * source[j];
            f -= hn;
            continue;
        }
        // The output row is never below the source row, so reading before
        // writing each byte is enough when the two coincide.
        uint8_t *out = pixels + static_cast<ptrdiff_t>(count) * newStride + first;
        uint32_t rest = hn - f;
        for (int32_t j = 0; j < columns; ++j) {
            uint32_t v = source[j];
            out[j] = static_cast<uint8_t>(LowIndexDown(DivideByteMean(divider, f * v + g[j])));
            g[j] = rest * v;
        }
        ++count;
        f += ha - hn;
    }
    if (count < newHeight) {
        uint8_t *out = pixels + static_cast<ptrdiff_t>(count) * newStride + first;
        for (int32_t j = 0; j < columns; ++j)
            out[j] = static_cast<uint8_t>(LowIndexDown(DivideByteMean(divider, g[j])));
    }
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

// The pattern of one output row. Shrinking keeps at most one copy of each
// source pixel, so a row is a gather through the source column of every
// output pixel; enlarging by less than eight repeats each pixel a counted
// number of times.
struct RowPattern {
    RowKind kind;
    int32_t sourceWidth, targetWidth, pixelsEach, pixelsExtra;
    uint16_t columns[kPatternWidth];
    uint8_t counts[kPatternWidth];
};

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
        if (p.kind == RowKind::Repeat)
            p.counts[k] = static_cast<uint8_t>(n);
        else if (p.kind == RowKind::Gather && n == 1)
            p.columns[out++] = static_cast<uint16_t>(k);
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

// Shrinking keeps at most one copy of each source pixel.
uint8_t *GatherRow(const uint8_t *source, uint8_t *out, const RowPattern &p)
{
    for (int32_t j = 0; j < p.targetWidth; ++j)
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

void ShrinkAvg(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
               int32_t newHeight, int32_t oldStride, int32_t newStride)
{
    assert(0 <= newWidth && newWidth <= oldWidth && 0 <= newHeight && newHeight <= oldHeight);
    assert(oldStride == Stride8(oldWidth) && newStride == Stride8(newWidth));
    assert(static_cast<uint32_t>(oldWidth) <= ByteMeanDivider::kMaxDivisor);
    assert(static_cast<uint32_t>(oldHeight) <= ByteMeanDivider::kMaxDivisor);
    (void)oldStride;

    uint32_t wa = static_cast<uint32_t>(oldWidth);
    uint32_t wn = static_cast<uint32_t>(newWidth);
    ReduceRatio(wa, wn);
    uint32_t ha = static_cast<uint32_t>(oldHeight);
    uint32_t hn = static_cast<uint32_t>(newHeight);
    ReduceRatio(ha, hn);

    const size_t padding = static_cast<size_t>(newStride - newWidth);
    const ByteMeanDivider rowDivider = MakeByteMeanDivider(wa != 0 ? wa : 1);
    for (int32_t r = 0; r < oldHeight; ++r) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(r) * oldStride;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(r) * newStride;
        if (newWidth > 0)
            ShrinkRow(source, out, oldWidth, newWidth, wa, wn, rowDivider);
        std::memset(out + newWidth, 0, padding);
    }

    if (newHeight == 0)
        return;
    const ByteMeanDivider columnDivider = MakeByteMeanDivider(ha);
    for (int32_t first = 0; first < newStride; first += kColumnBlock) {
        int32_t columns = std::min(kColumnBlock, newStride - first);
        ShrinkColumnBlock(pixels, first, columns, oldHeight, newHeight, newStride, ha, hn,
                          columnDivider);
    }
}

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
