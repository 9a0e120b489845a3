// The 3 x 3 neighbourhood filter over the picture buffer. Results are
// computed from the picture as it stood before the call, collected in the
// work buffer and copied back in one block.
#include "imageops/filter.h"

#include "imageops/buffers.h"
#include "imageops/lowindex.h"

#include <cassert>
#include <cstddef>
#include <cstring>

namespace {

struct FilterWeights {
    uint32_t corner;
    uint32_t edge;
    uint32_t centre;
    int32_t divisor;
    uint32_t offset;
    uint8_t background;
    bool force;
};

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

// Interior pixels of one row; out already holds the row as it was.
template <typename Divide>
void FilterRow(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint8_t *out,
               int32_t width, const FilterWeights &w)
{
    for (int32_t c = 1; c < width - 1; ++c) {
        if (row[c] == w.background)
            continue;
        if (!w.force && TouchesBackground(above, row, below, c, w.background))
            continue;
        out[c] = FilterPixel<Divide>(above, row, below, c, w);
    }
}

template <typename Divide>
void FilterInterior(const uint8_t *pixels, uint8_t *work, int32_t width, int32_t height,
                    int32_t stride, const FilterWeights &w)
{
    for (int32_t r = 1; r < height - 1; ++r) {
        const uint8_t *row = pixels + static_cast<ptrdiff_t>(r) * stride;
        FilterRow<Divide>(row - stride, row, row + stride,
                          work + static_cast<ptrdiff_t>(r) * stride, width, w);
    }
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
    // The padding keeps the background the buffer is filled with; every
    // pixel starts as it was and interior pixels are filtered below.
    auto *out = static_cast<uint8_t *>(ReuseBuf(work, size, background, 1));
    if (out == nullptr)
        return nullptr;
    for (int32_t r = 0; r < height; ++r) {
        const ptrdiff_t start = static_cast<ptrdiff_t>(r) * stride;
        std::memcpy(out + start, pixels + start, static_cast<size_t>(width));
    }

    const auto bg = static_cast<uint8_t>(background);
    const FilterWeights w{static_cast<uint32_t>(cornerWeight),
                          static_cast<uint32_t>(edgeWeight),
                          static_cast<uint32_t>(centreWeight),
                          divisor,
                          static_cast<uint32_t>(offset),
                          bg,
                          force != 0};
    if (divisor == 5)
        FilterInterior<DivideByFive>(pixels, out, width, height, stride, w);
    else if (divisor > 1)
        FilterInterior<DivideBy>(pixels, out, width, height, stride, w);
    else
        FilterInterior<NoDivide>(pixels, out, width, height, stride, w);

    CopyBuf(pixels, out, size);
    return out;
}
