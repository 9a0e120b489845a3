// Area-average shrinking of the picture in place: a row pass, then a column
// pass, each output the truncated weighted mean of the source pixels it
// covers. The vector kernels (kernels.h) take each pass whole, or bands of
// rows and strips of columns; the plain loops here do the rest.
#include "imageops/scaling.h"

#include "imageops/divide.h"
#include "imageops/kernels.h"
#include "imageops/lowindex.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace {

[[maybe_unused]] int32_t Stride8(int32_t width)
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
// A block of neighbouring columns is carried along together, one running
// sum per column, and the buffer is read row by row.
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

// A row's padding is at most three bytes where the driver shrinks: a call
// of memset a row costs more than the stores.
void ClearPadding(uint8_t *padding, size_t count)
{
    if (count > 3) {
        std::memset(padding, 0, count);
        return;
    }
    for (size_t i = 0; i < 3; ++i)
        if (i < count)
            padding[i] = 0;
}

// The row pass: bands of 16 rows side by side where possible, the rest one
// row at a time; then the padding of every row becomes zero.
void ShrinkRows(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                int32_t oldStride, int32_t newStride, uint32_t wa, uint32_t wn,
                const ImageKernels &k)
{
    int32_t r = oldHeight;
    if (!k.shrinkRowsWide(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn))
        r = k.shrinkRowBands(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn);
    const ByteMeanDivider rowDivider = MakeByteMeanDivider(wa != 0 ? wa : 1);
    for (; r < oldHeight; ++r) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(r) * oldStride;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(r) * newStride;
        if (newWidth > 0)
            ShrinkRow(source, out, oldWidth, newWidth, wa, wn, rowDivider);
    }
    const size_t padding = static_cast<size_t>(newStride - newWidth);
    for (r = 0; r < oldHeight && padding > 0; ++r)
        ClearPadding(pixels + static_cast<ptrdiff_t>(r) * newStride + newWidth, padding);
}

// The column pass: strips of 16 columns where possible, the rest in blocks.
void ShrinkColumns(uint8_t *pixels, int32_t oldHeight, int32_t newHeight, int32_t newStride,
                   uint32_t ha, uint32_t hn, const ImageKernels &k)
{
    if (k.shrinkColumnsWide(pixels, oldHeight, newHeight, newStride, ha, hn))
        return;
    int32_t first = k.shrinkColumnStrips(pixels, oldHeight, newHeight, newStride, ha, hn);
    const ByteMeanDivider columnDivider = MakeByteMeanDivider(ha);
    for (; first < newStride; first += kColumnBlock) {
        int32_t columns = std::min(kColumnBlock, newStride - first);
        ShrinkColumnBlock(pixels, first, columns, oldHeight, newHeight, newStride, ha, hn,
                          columnDivider);
    }
}

} // namespace

void ShrinkAvg(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
               int32_t newHeight, int32_t oldStride, int32_t newStride)
{
    assert(0 <= newWidth && newWidth <= oldWidth && 0 <= newHeight && newHeight <= oldHeight);
    assert(oldStride == Stride8(oldWidth) && newStride == Stride8(newWidth));
    assert(static_cast<uint32_t>(oldWidth) <= ByteMeanDivider::kMaxDivisor);
    assert(static_cast<uint32_t>(oldHeight) <= ByteMeanDivider::kMaxDivisor);

    uint32_t wa = static_cast<uint32_t>(oldWidth);
    uint32_t wn = static_cast<uint32_t>(newWidth);
    ReduceRatio(wa, wn);
    uint32_t ha = static_cast<uint32_t>(oldHeight);
    uint32_t hn = static_cast<uint32_t>(newHeight);
    ReduceRatio(ha, hn);

    const ImageKernels &k = Kernels();
    ShrinkRows(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn, k);
    if (newHeight > 0)
        ShrinkColumns(pixels, oldHeight, newHeight, newStride, ha, hn, k);
}
