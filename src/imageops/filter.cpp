// The 3 x 3 neighbourhood filter over the picture buffer. Results are
// computed from the picture as it stood before the call, collected in the
// work buffer and copied back in one block.
#include "imageops/filter.h"

#include "imageops/buffers.h"
#include "imageops/lowindex.h"
#include "imageops/cpu.h"
#include "imageops/kernels.h"

#include <cassert>
#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace {

// The composition driver always divides by 5; a constant divisor lets the
// compiler replace the division. Both truncate toward zero.
struct DivideByFive {
    int32_t operator()(int32_t sum, int32_t) const { return sum / 5; }
};
struct DivideBy {
    int32_t operator()(int32_t sum, int32_t divisor) const { return sum / divisor; }
};
struct NoDivide {
    int32_t operator()(int32_t sum, int32_t) const { return sum; }
};

bool TouchesBackground(const uint8_t *above, const uint8_t *row, const uint8_t *below, int32_t c,
                       uint8_t background)
{
    return above[c - 1] == background || above[c] == background || above[c + 1] == background ||
           row[c - 1] == background || row[c + 1] == background || below[c - 1] == background ||
           below[c] == background || below[c + 1] == background;
}

// The weighted sum wraps like signed 32-bit arithmetic: it is formed in
// unsigned arithmetic and read back as signed, so large weights cannot
// overflow into undefined behaviour.
template <typename Divide>
uint8_t FilterPixel(const uint8_t *above, const uint8_t *row, const uint8_t *below, int32_t c,
                    const FilterWeights &w)
{
    uint32_t corners = uint32_t{above[c - 1]} + above[c + 1] + below[c - 1] + below[c + 1];
    uint32_t edges = uint32_t{row[c - 1]} + row[c + 1] + above[c] + below[c];
    uint32_t raw = w.corner * corners + w.edge * edges + w.centre * row[c];
    int32_t sum = static_cast<int32_t>(Divide{}(static_cast<int32_t>(raw), w.divisor));
    sum = static_cast<int32_t>(static_cast<uint32_t>(sum) + w.offset);
    if (sum < 0)
        sum = 0;
    if (sum > 254)
        sum = 254;
    return static_cast<uint8_t>(LowIndexDown(sum));
}

// Interior pixels of one row from column first on; out already holds the
// row as it was.
template <typename Divide>
void FilterRow(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint8_t *out,
               int32_t first, int32_t width, const FilterWeights &w)
{
    for (int32_t c = first; c < width - 1; ++c) {
        if (row[c] == w.background)
            continue;
        if (!w.force && TouchesBackground(above, row, below, c, w.background))
            continue;
        out[c] = FilterPixel<Divide>(above, row, below, c, w);
    }
}

// The driver's weights (no corner weight, no offset, divisor 5) with sums
// that stay within 16 bits can be computed 8 pixels to a register; weights
// that fit a signed byte can multiply the pixels as bytes (the edge weight
// always does when the sums fit).
bool SixteenBitCase(int32_t cornerWeight, int32_t edgeWeight, int32_t centreWeight, int32_t divisor,
                    int32_t offset)
{
    int64_t largest = 1020 * (edgeWeight < 0 ? -int64_t{edgeWeight} : int64_t{edgeWeight}) +
                      255 * (centreWeight < 0 ? -int64_t{centreWeight} : int64_t{centreWeight});
    return cornerWeight == 0 && offset == 0 && divisor == 5 && largest <= 32767 &&
           centreWeight >= -128 && centreWeight <= 127;
}

// Filters the inner rows into the work buffer. A row of the picture is read
// for the last time when the row below it is filtered, so its result goes
// back into the picture then, while it is still in the cache: the picture
// ends as a copy of the work buffer, as one copy at the end would leave it.
// Returns how many rows from the top went back.
template <typename Divide>
int32_t FilterInterior(uint8_t *pixels, uint8_t *work, int32_t width, int32_t height,
                       int32_t stride, const FilterWeights &w, bool sixteenBits)
{
    const ImageKernels &k = Kernels();
    int32_t copied = 0;
    for (int32_t r = 1; r < height - 1; ++r) {
        const uint8_t *row = pixels + static_cast<ptrdiff_t>(r) * stride;
        uint8_t *out = work + static_cast<ptrdiff_t>(r) * stride;
        int32_t first = 1;
        if (sixteenBits) {
            // The vectored part writes every pixel it covers; the first
            // column and the columns after it are copied as they were.
            out[0] = row[0];
            first = k.filterRow(row - stride, row, row + stride, out, width, w);
            // Mostly the last column alone: a call would cost more.
            for (int32_t c = first; c < width; ++c)
                out[c] = row[c];
        }
        FilterRow<Divide>(row - stride, row, row + stride, out, first, width, w);
        const ptrdiff_t above = static_cast<ptrdiff_t>(r - 1) * stride;
        std::memcpy(pixels + above, work + above, static_cast<size_t>(stride));
        copied = r;
    }
    return copied;
}

} // namespace

uint8_t *FilterPic(uint8_t *pixels, uint8_t *work, int32_t width, int32_t height, int32_t stride,
                   int32_t background, int32_t cornerWeight, int32_t edgeWeight,
                   int32_t centreWeight, int32_t divisor, int32_t offset, int32_t force)
{
    if (cornerWeight == 0 && edgeWeight == 0 && centreWeight == 0 && offset == 0)
        return work;
    assert(width >= 0 && height >= 0 && stride >= width);
    assert(background >= 0 && background <= 255);

    const uint32_t size = height > 0 && stride > 0
                              ? static_cast<uint32_t>(stride) * static_cast<uint32_t>(height)
                              : 0;
    // Every byte of the work buffer is written here, so it is not filled
    // first: the padding takes the background, every pixel starts as it was
    // and interior pixels are filtered below.
    auto *out = static_cast<uint8_t *>(ReuseBuf(work, size, background, 0));
    if (out == nullptr)
        return nullptr;
    // In the vectored case the filter pass writes the inner rows itself.
    const bool sixteenBits =
        Kernels().level >= VECTOR_SSE2 && width >= 3 &&
        SixteenBitCase(cornerWeight, edgeWeight, centreWeight, divisor, offset);
    for (int32_t r = 0; r < height; ++r) {
        const ptrdiff_t start = static_cast<ptrdiff_t>(r) * stride;
        if (!(sixteenBits && r > 0 && r < height - 1))
            std::memcpy(out + start, pixels + start, static_cast<size_t>(width));
        if (stride > width)
            std::memset(out + start + width, background, static_cast<size_t>(stride - width));
    }

    const auto bg = static_cast<uint8_t>(background);
    const FilterWeights w{static_cast<uint32_t>(cornerWeight),
                          static_cast<uint32_t>(edgeWeight),
                          static_cast<uint32_t>(centreWeight),
                          divisor,
                          static_cast<uint32_t>(offset),
                          bg,
                          force != 0};
    int32_t copied = 0;
    if (divisor == 5)
        copied = FilterInterior<DivideByFive>(pixels, out, width, height, stride, w, sixteenBits);
    else if (divisor > 1)
        copied = FilterInterior<DivideBy>(pixels, out, width, height, stride, w, false);
    else
        copied = FilterInterior<NoDivide>(pixels, out, width, height, stride, w, false);

    const uint32_t done = static_cast<uint32_t>(copied) * static_cast<uint32_t>(stride);
    CopyBuf(pixels + done, out + done, size - done);
    return out;
}
