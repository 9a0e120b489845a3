// StretchDIBits onto a software surface.
//
// Every source pixel is first turned into the surface's format (0x00RRGGBB
// through the colour table, or the whole 32-bit word of a 32-bit source);
// shrinking then combines those values, never palette indices.
//
// Each axis maps by nearest neighbour, counted from the destination
// rectangle's origin (its right or bottom edge when the extent is negative):
//   enlarging or equal: destination pixel d shows source pixel
//     floor(((2d+1)*src - 1) / (2*dst));
//   shrinking: source pixel s belongs to destination pixel
//     floor(((2s+1)*dst - 1) / (2*src)).
// The mapping is fixed before clipping, so the clip region, the surface
// edges and a source rectangle partly outside the bitmap only decide which
// destination pixels are written, never what they show. Destination pixels
// whose source pixels all lie outside the bitmap are left as they were. One
// exception, where exactly one extent of an axis is negative and the source
// runs past the bitmap: see PlaceMirrored.
#include "imageops/kernels.h"
#include "platform/portable/device.h"
#include "platform/portable/rle.h"
#include "platform/portable/stretch_halftone.h"
#include "platform/portable/stretch_reduce.h"
#include "platform/portable/stretch_rows.h"

#include <algorithm>
#include <cstring>

namespace {

enum : uint32_t { HEADER_BYTES = 40 };
// Compression codes StretchDIBits takes besides BI_RGB.
enum : uint32_t {
    COMPRESSION_RLE8 = 1,      // 8 bits a pixel, run-length coded, bottom-up only
    COMPRESSION_RLE4 = 2,      // 4 bits a pixel, run-length coded, bottom-up only
    COMPRESSION_BITFIELDS = 3, // 16 or 32 bits a pixel, colour masks after the 40-byte header
};

// One colour channel of a BI_BITFIELDS pixel: the mask's lowest bit and its
// run of set bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int length = 0;
};

struct DibFormat {
    int32_t width = 0;
    int32_t height = 0; // rows, whatever the direction
    bool topDown = false;
    int bpp = 0;
    uint32_t colors = 0; // colour-table entries in use
    size_t stride = 0;
    uint64_t imageBytes = 0;
    bool bitfields = false;
    Channel channels[3]; // red, green, blue
    bool rle = false;    // imageBytes of coded rows, expanded before drawing
};

Channel ReadChannel(uint32_t mask)
{
    Channel channel{mask};
    if (mask == 0)
        return channel;
    while ((mask & 1) == 0) {
        mask >>= 1;
        ++channel.shift;
    }
    while ((mask & 1) == 1) {
        mask >>= 1;
        ++channel.length;
    }
    return channel;
}

// A channel's bits as an 8-bit level: the top eight bits of its run (a
// shorter run moved to the top of the byte), then the run once more below
// itself, so 5 bits give v << 3 | v >> 2 and 8 or more bits stand as read.
uint32_t ChannelLevel(uint32_t pixel, const Channel &channel)
{
    if (channel.length == 0)
        return 0;
    int down = channel.shift + channel.length - 8;
    uint32_t field = down >= 0 ? (pixel & channel.mask) >> down : (pixel & channel.mask) << -down;
    int kept = std::min(channel.length, 8);
    field &= (0xFF00u >> kept) & 0xFFu;
    return field | (field >> channel.length);
}

// Masks sit right after the 40-byte header: in the colour table's place for
// a plain header, inside the header for the longer ones.
void ReadMasks(const BITMAPINFO *info, DibFormat &format)
{
    const uint8_t *masks = reinterpret_cast<const uint8_t *>(info) + HEADER_BYTES;
    for (int i = 0; i < 3; ++i) {
        uint32_t mask;
        std::memcpy(&mask, masks + 4 * i, sizeof mask);
        format.channels[i] = ReadChannel(mask);
    }
}

bool ReadFormat(const BITMAPINFO *info, DibFormat &format)
{
    const BITMAPINFOHEADER &h = info->bmiHeader;
    if (h.biSize < HEADER_BYTES || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes == 0)
        return false;
    int bpp = h.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return false;
    if (h.biCompression == COMPRESSION_BITFIELDS && (bpp == 16 || bpp == 32)) {
        ReadMasks(info, format);
        // The surface's own layout: taken as a plain 32-bit source, fourth
        // byte and all.
        const Channel *c = format.channels;
        format.bitfields =
            !(bpp == 32 && c[0].mask == 0xFF0000u && c[1].mask == 0xFF00u && c[2].mask == 0xFFu);
    } else if (h.biCompression == COMPRESSION_RLE8 || h.biCompression == COMPRESSION_RLE4) {
        // Coded rows run bottom-up and need their byte count; the expansion
        // takes a byte a pixel, so the bitmap's size is bounded.
        int coded = h.biCompression == COMPRESSION_RLE8 ? 8 : 4;
        if (bpp != coded || h.biHeight < 0 || h.biSizeImage == 0 ||
            static_cast<uint64_t>(h.biWidth) * static_cast<uint64_t>(h.biHeight) > RLE_MAX_PIXELS)
            return false;
        format.rle = true;
    } else if (h.biCompression != BI_RGB) {
        return false;
    }
    int64_t rows = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    uint64_t stride = (static_cast<uint64_t>(h.biWidth) * static_cast<uint64_t>(bpp) + 31) / 32 * 4;
    // The whole image must be addressable with 32 bits, as GDI requires.
    if (stride * static_cast<uint64_t>(rows) > UINT32_MAX)
        return false;
    format.width = h.biWidth;
    format.height = static_cast<int32_t>(rows);
    format.topDown = h.biHeight < 0;
    format.bpp = bpp;
    format.stride = static_cast<size_t>(stride);
    format.imageBytes = format.rle ? h.biSizeImage : stride * static_cast<uint64_t>(rows);
    if (bpp <= 8) {
        uint32_t most = 1u << bpp;
        format.colors = h.biClrUsed == 0 ? most : std::min<uint32_t>(h.biClrUsed, most);
    }
    return true;
}

const uint8_t *ColorTable(const BITMAPINFO *info)
{
    return reinterpret_cast<const uint8_t *>(info) + info->bmiHeader.biSize;
}

struct SourceImage {
    const uint8_t *bits = nullptr;
    DibFormat format;
    uint32_t table[256] = {}; // surface values; entries beyond the table stay black
};

void BuildTable(const BITMAPINFO *info, UINT usage, const HDC__ *dc, SourceImage &src)
{
    const uint8_t *table = ColorTable(info);
    for (uint32_t i = 0; i < src.format.colors; ++i) {
        if (usage == DIB_PAL_COLORS) {
            // Indices into the selected logical palette.
            uint16_t index;
            std::memcpy(&index, table + 2 * i, sizeof index);
            const std::vector<PALETTEENTRY> &entries = dc->palette->entries;
            const PALETTEENTRY &e = entries[index % entries.size()];
            src.table[i] = (uint32_t{e.peRed} << 16) | (uint32_t{e.peGreen} << 8) | e.peBlue;
        } else {
            const uint8_t *q = table + 4 * i; // blue, green, red, reserved (ignored)
            src.table[i] = (uint32_t{q[2]} << 16) | (uint32_t{q[1]} << 8) | q[0];
        }
    }
}

const uint8_t *SourceRow(const SourceImage &src, int32_t top)
{
    size_t row = src.format.topDown ? static_cast<size_t>(top)
                                    : static_cast<size_t>(src.format.height - 1 - top);
    return src.bits + row * src.format.stride;
}

uint32_t Expand5(uint32_t v)
{
    return (v << 3) | (v >> 2);
}

uint32_t MaskedPixel(const DibFormat &format, uint32_t pixel)
{
    return (ChannelLevel(pixel, format.channels[0]) << 16) |
           (ChannelLevel(pixel, format.channels[1]) << 8) | ChannelLevel(pixel, format.channels[2]);
}

uint32_t SourcePixel(const SourceImage &src, const uint8_t *row, int32_t x)
{
    if (src.format.bitfields) {
        uint32_t v = 0;
        std::memcpy(&v, row + static_cast<size_t>(x) * (src.format.bpp / 8), src.format.bpp / 8);
        return MaskedPixel(src.format, v);
    }
    switch (src.format.bpp) {
    case 1:
        return src.table[(row[x >> 3] >> (7 - (x & 7))) & 1];
    case 4:
        return src.table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
    case 8:
        return src.table[row[x]];
    case 16: {
        uint32_t v = row[2 * x] | (uint32_t{row[2 * x + 1]} << 8);
        return (Expand5((v >> 10) & 31) << 16) | (Expand5((v >> 5) & 31) << 8) | Expand5(v & 31);
    }
    case 24: {
        const uint8_t *p = row + 3 * static_cast<size_t>(x);
        return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    }
    default: {
        uint32_t v;
        std::memcpy(&v, row + 4 * static_cast<size_t>(x), sizeof v);
        return v; // the fourth byte travels with the colour
    }
    }
}

// Columns [x0, x0 + count) of one row in surface format.
void ConvertSpan(const SourceImage &src, const uint8_t *row, int32_t x0, int32_t count,
                 uint32_t *out)
{
    size_t n = static_cast<size_t>(count);
    if (src.format.bitfields) {
        for (size_t i = 0; i < n; ++i)
            out[i] = SourcePixel(src, row, x0 + static_cast<int32_t>(i));
        return;
    }
    switch (src.format.bpp) {
    case 8:
        LookUpRun(row + x0, n, src.table, out);
        return;
    case 24: {
        // A 32-bit read holds a pixel and the next one's first byte; the
        // bitmap's last column, whose row may end right after it, is read
        // byte by byte.
        int32_t end = std::max(x0, std::min(x0 + count, src.format.width - 1));
        ExpandRgb24(row + 3 * static_cast<size_t>(x0), static_cast<size_t>(end - x0), out);
        for (int32_t x = end; x < x0 + count; ++x)
            out[x - x0] = SourcePixel(src, row, x);
        return;
    }
    case 32:
        CopyPixels(row + 4 * static_cast<size_t>(x0), n, out);
        return;
    default:
        for (size_t i = 0; i < n; ++i)
            out[i] = SourcePixel(src, row, x0 + static_cast<int32_t>(i));
    }
}

using Wide = __int128;

// floor((step * d + offset) / divisor) for count values of d from first
// on: the quotient and remainder are carried from one d to the next, which
// spares a division per pixel. step >= 0 and divisor > 0; only the first
// product may need more than 64 bits.
void FloorSeries(int64_t step, int64_t offset, int64_t divisor, int64_t first, size_t count,
                 std::vector<int64_t> &out)
{
    const Wide n = Wide{step} * first + offset;
    Wide q = n / divisor;
    if (n % divisor < 0)
        --q;
    auto quotient = static_cast<int64_t>(q);
    auto remainder = static_cast<int64_t>(n - q * divisor);
    const int64_t stepQuotient = step / divisor, stepRemainder = step % divisor;
    out.resize(count);
    for (size_t k = 0; k < count; ++k) {
        out[k] = quotient;
        quotient += stepQuotient;
        remainder += stepRemainder;
        if (remainder >= divisor) {
            remainder -= divisor;
            ++quotient;
        }
    }
}

// One axis of the mapping over the visible destination pixels.
struct Axis {
    int64_t dOrigin = 0;
    int dDir = 1;
    int64_t dst = 0; // |destination extent|
    int64_t sOrigin = 0;
    int sDir = 1;
    int64_t src = 0;            // |source extent|
    int64_t inLo = 0, inHi = 0; // source indices whose pixel lies in the bitmap
    int32_t lo = 0, hi = 0;     // visible destination coordinates
    bool shrinking = false;
    // Per coordinate in [lo, hi): bitmap coordinate of the group's first
    // source pixel in mapping order, and the group's size in the bitmap.
    std::vector<int32_t> first;
    std::vector<int32_t> count;

    int32_t Bitmap(int64_t s) const { return static_cast<int32_t>(sOrigin + sDir * s); }
    int64_t Index(int32_t c) const { return (c - dOrigin) * dDir; }
};

// Sets up the geometry; false when no destination pixel is visible or the
// source indices miss the bitmap.
bool SetUpAxis(int64_t dOrigin, int64_t dExtent, int64_t sOrigin, int64_t sExtent, int32_t visLo,
               int32_t visHi, int32_t length, Axis &axis)
{
    axis.dOrigin = dOrigin;
    axis.dDir = dExtent < 0 ? -1 : 1;
    axis.dst = dExtent < 0 ? -dExtent : dExtent;
    axis.sOrigin = sOrigin;
    axis.sDir = sExtent < 0 ? -1 : 1;
    axis.src = sExtent < 0 ? -sExtent : sExtent;
    axis.shrinking = axis.dst < axis.src;
    int64_t dLo = axis.dDir > 0 ? dOrigin : dOrigin - axis.dst + 1;
    int64_t lo = std::max<int64_t>(dLo, visLo);
    int64_t hi = std::min<int64_t>(dLo + axis.dst, visHi);
    if (axis.sDir > 0) {
        axis.inLo = std::max<int64_t>(0, -sOrigin);
        axis.inHi = std::min<int64_t>(axis.src, length - sOrigin);
    } else {
        axis.inLo = std::max<int64_t>(0, sOrigin - length + 1);
        axis.inHi = std::min<int64_t>(axis.src, sOrigin + 1);
    }
    if (lo >= hi || axis.inLo >= axis.inHi)
        return false;
    axis.lo = static_cast<int32_t>(lo);
    axis.hi = static_cast<int32_t>(hi);
    return true;
}

// Fills the nearest-neighbour groups and trims the visible range to the
// pixels that have a source pixel in the bitmap. Destination pixel d shows
// source pixel ((2d + 1) src - 1) / (2 dst) when enlarging; shrinking, its
// group starts at the first source pixel s with (2s + 1) dst - 1 >= 2 d src
// (so the groups tile the source), that is at (2 d src + dst) / (2 dst).
bool MapNearest(Axis &axis)
{
    size_t size = static_cast<size_t>(axis.hi - axis.lo);
    axis.first.assign(size, 0);
    axis.count.assign(size, 0);
    // The visible pixels' d run one way or the other over [dLow, dLow + size).
    const int64_t dLow = std::min(axis.Index(axis.lo), axis.Index(axis.hi - 1));
    std::vector<int64_t> start;
    FloorSeries(2 * axis.src, axis.shrinking ? axis.dst : axis.src - 1, 2 * axis.dst, dLow,
                size + 1, start);
    size_t firstUsed = size, lastUsed = 0;
    for (size_t i = 0; i < size; ++i) {
        const auto k = static_cast<size_t>(axis.Index(axis.lo + static_cast<int32_t>(i)) - dLow);
        int64_t a, b;
        if (axis.shrinking) {
            a = std::max<int64_t>(start[k], 0);
            b = std::max<int64_t>(start[k + 1], 0);
        } else {
            a = start[k];
            b = a + 1;
        }
        a = std::max(a, axis.inLo);
        b = std::min(b, axis.inHi);
        if (a >= b)
            continue;
        axis.first[i] = axis.Bitmap(a);
        axis.count[i] = static_cast<int32_t>(b - a);
        firstUsed = std::min(firstUsed, i);
        lastUsed = i;
    }
    if (firstUsed == size)
        return false;
    // Groups are contiguous, so the pixels with a source form one run.
    axis.first.erase(axis.first.begin() + static_cast<ptrdiff_t>(lastUsed) + 1, axis.first.end());
    axis.count.erase(axis.count.begin() + static_cast<ptrdiff_t>(lastUsed) + 1, axis.count.end());
    axis.first.erase(axis.first.begin(), axis.first.begin() + static_cast<ptrdiff_t>(firstUsed));
    axis.count.erase(axis.count.begin(), axis.count.begin() + static_cast<ptrdiff_t>(firstUsed));
    axis.hi = axis.lo + static_cast<int32_t>(lastUsed) + 1;
    axis.lo += static_cast<int32_t>(firstUsed);
    return true;
}

// The bitmap columns the groups of an axis touch: [low, high].
void Span(const Axis &axis, int32_t &low, int32_t &high)
{
    low = INT32_MAX;
    high = INT32_MIN;
    for (size_t i = 0; i < axis.first.size(); ++i) {
        int32_t last = axis.first[i] + axis.sDir * (axis.count[i] - 1);
        low = std::min({low, axis.first[i], last});
        high = std::max({high, axis.first[i], last});
    }
}

uint32_t *SurfaceRow(HDC__ *dc, int32_t y)
{
    return dc->pixels + static_cast<size_t>(y) * static_cast<size_t>(dc->width);
}

void CopyRowFromAbove(HDC__ *dc, const Axis &ax, int32_t y)
{
    size_t width = static_cast<size_t>(ax.hi - ax.lo);
    CopyPixels(reinterpret_cast<const uint8_t *>(SurfaceRow(dc, y - 1) + ax.lo), width,
               SurfaceRow(dc, y) + ax.lo);
}

// Destination row y shows the same source rows as the one above it (an
// enlarging call): the pixels are copied from there.
bool CopyRowAbove(HDC__ *dc, const Axis &ax, const Axis &ay, int32_t y)
{
    size_t yi = static_cast<size_t>(y - ay.lo);
    if (yi == 0 || ay.first[yi] != ay.first[yi - 1] || ay.count[yi] != ay.count[yi - 1])
        return false;
    CopyRowFromAbove(dc, ax, y);
    return true;
}

// Whether the 8-bit row indices repeats above, the indices the row above
// was drawn from alone (null when it was not): composed pictures repeat rows.
bool RepeatsAbove(const uint8_t *indices, const uint8_t *above, int32_t span)
{
    return above != nullptr && std::memcmp(indices, above, static_cast<size_t>(span)) == 0;
}

// How many destination rows from y on show the same source rows as y.
int32_t RowsAlike(const Axis &ay, int32_t y)
{
    const size_t yi = static_cast<size_t>(y - ay.lo);
    int32_t n = 1;
    while (y + n < ay.hi && ay.first[yi + static_cast<size_t>(n)] == ay.first[yi] &&
           ay.count[yi + static_cast<size_t>(n)] == ay.count[yi])
        ++n;
    return n;
}

// The source row's span [low, low + span) as surface values, BLOCK_REACH
// values of padding behind. For an 8-bit row, values may hold the values of
// the indices at previous already (else previous is null).
void ReadValues(const ImageKernels &k, const SourceImage &src, const uint8_t *row, int32_t low,
                int32_t span, const uint8_t *previous, uint32_t *values)
{
    if (src.format.bpp != 8) {
        ConvertSpan(src, row, low, span, values);
        return;
    }
    const uint8_t *indices = row + low;
    const uint32_t n = static_cast<uint32_t>(span);
    const uint32_t done = k.lookUpIndices(indices, previous, n, src.table, values);
    LookUpRun(indices + done, n - done, src.table, values + done);
}

// A row's blocks of 64 pixels for the kernels that draw straight from the
// indices, from each pixel's lowest and highest column relative to the
// span's start; IndexBlocks points into it.
struct IndexBlockPlan {
    std::vector<int32_t> base;
    std::vector<uint8_t> first, last;
    IndexBlocks blocks{};
};

// False when a block's columns reach 128 or more past its lowest, which
// groups of one or two columns never do.
bool PlanIndexBlocks(const int32_t *lowest, const int32_t *highest, size_t width, int32_t span,
                     IndexBlockPlan &plan)
{
    if (width == 0)
        return false;
    const size_t blocks = (width + 63) / 64;
    plan.base.assign(blocks, 0);
    // Pixels past the row's end read the block's base.
    plan.first.assign(64 * blocks, 0);
    plan.last.assign(64 * blocks, 0);
    for (size_t b = 0; b < blocks; ++b) {
        const size_t begin = 64 * b, end = std::min(width, begin + 64);
        const int32_t base = *std::min_element(lowest + begin, lowest + end);
        for (size_t i = begin; i < end; ++i) {
            if (highest[i] - base >= 128)
                return false;
            plan.first[i] = static_cast<uint8_t>(lowest[i] - base);
            plan.last[i] = static_cast<uint8_t>(highest[i] - base);
        }
        plan.base[b] = base;
    }
    plan.blocks = IndexBlocks{plan.base.data(),
                              plan.first.data(),
                              plan.last.data(),
                              blocks,
                              static_cast<uint32_t>(width - 64 * (blocks - 1)),
                              span};
    return true;
}

void SplitTable(const uint32_t table[256], SurfacePlanes &planes)
{
    for (int i = 0; i < 256; ++i)
        for (int p = 0; p < 3; ++p)
            planes.plane[p][i] = static_cast<uint8_t>(table[i] >> (8 * p));
}

// The pixels before the first row's next boundary of bytes (a power of two
// up to 64), when every row lies alike (the surface's width a multiple of
// that many bytes): the kernels' blocks after them store whole vectors that
// never straddle two cache lines, which stores from anywhere in a row do
// time and again.
size_t AlignedLead(HDC__ *dc, const Axis &ax, const Axis &ay, size_t width, size_t bytes)
{
    if (dc->width * sizeof(uint32_t) % bytes != 0)
        return 0;
    const uintptr_t at = reinterpret_cast<uintptr_t>(SurfaceRow(dc, ay.lo) + ax.lo);
    return std::min<size_t>((bytes - at % bytes) % bytes / sizeof(uint32_t), width);
}

// DrawSingle with the vector kernels that pick a block of eight pixels at
// once: each source row is read into surface values once and picked from
// into every destination row that shows it.
void DrawSingleBlocks(HDC__ *dc, const SourceImage &src, const Axis &ax, const Axis &ay,
                      const std::vector<int32_t> &column, int32_t low, int32_t span, size_t lead,
                      const BlockPlan &plan)
{
    const ImageKernels &k = Kernels();
    const size_t width = static_cast<size_t>(ax.hi - ax.lo);
    const size_t tail = lead + 8 * plan.blocks;
    std::vector<uint32_t> values(static_cast<size_t>(span) + BLOCK_REACH);
    std::vector<uint32_t *> rows;
    const uint8_t *above = nullptr;
    for (int32_t y = ay.lo; y < ay.hi;) {
        const int32_t n = RowsAlike(ay, y);
        const uint8_t *row = SourceRow(src, ay.first[static_cast<size_t>(y - ay.lo)]);
        if (y + n < ay.hi)
            PrefetchBytes(SourceRow(src, ay.first[static_cast<size_t>(y + n - ay.lo)]) + low,
                          static_cast<size_t>(span));
        if (src.format.bpp == 8 && RepeatsAbove(row + low, above, span)) {
            for (int32_t j = 0; j < n; ++j)
                CopyRowFromAbove(dc, ax, y + j);
            y += n;
            continue;
        }
        ReadValues(k, src, row, low, span, above, values.data());
        above = src.format.bpp == 8 ? row + low : nullptr;
        rows.clear();
        for (int32_t j = 0; j < n; ++j)
            rows.push_back(SurfaceRow(dc, y + j) + ax.lo + lead);
        k.spreadBlocks(values.data(), plan.base.data(), plan.offsets.data(), plan.blocks,
                       rows.data(), rows.size());
        for (uint32_t *out : rows) {
            PickValues(values.data(), column.data(), lead, out - lead);
            PickValues(values.data(), column.data() + tail, width - tail, out - lead + tail);
        }
        y += n;
    }
}

// DrawSingle for an 8-bit source, by the kernel that looks up 64 pixels at
// once straight from the indices: the lead pixels before the blocks are
// picked one by one.
void DrawSingleIndices(HDC__ *dc, const SourceImage &src, const Axis &ax, const Axis &ay,
                       const std::vector<int32_t> &column, int32_t low, int32_t span, size_t lead,
                       const IndexBlocks &blocks)
{
    const ImageKernels &k = Kernels();
    SurfacePlanes planes;
    SplitTable(src.table, planes);
    std::vector<uint32_t *> rows;
    const uint8_t *above = nullptr;
    for (int32_t y = ay.lo; y < ay.hi;) {
        const int32_t n = RowsAlike(ay, y);
        const uint8_t *indices = SourceRow(src, ay.first[static_cast<size_t>(y - ay.lo)]) + low;
        if (y + n < ay.hi)
            PrefetchBytes(SourceRow(src, ay.first[static_cast<size_t>(y + n - ay.lo)]) + low,
                          static_cast<size_t>(span));
        if (RepeatsAbove(indices, above, span)) {
            for (int32_t j = 0; j < n; ++j)
                CopyRowFromAbove(dc, ax, y + j);
            y += n;
            continue;
        }
        above = indices;
        rows.clear();
        for (int32_t j = 0; j < n; ++j)
            rows.push_back(SurfaceRow(dc, y + j) + ax.lo + lead);
        k.spreadIndexBlocks(indices, blocks, planes, rows.data(), rows.size());
        for (uint32_t *out : rows)
            PickIndices(indices, src.table, column.data(), lead, out - lead);
        y += n;
    }
}

// One source pixel per destination pixel: enlarging, equal sizes, or
// COLORONCOLOR, which keeps the last column and the first row of a group.
// Each source row is read once and spread (enlarging) or picked (shrinking)
// by a column map fixed for the call.
void DrawSingle(HDC__ *dc, const SourceImage &src, const Axis &ax, const Axis &ay)
{
    size_t width = static_cast<size_t>(ax.hi - ax.lo);
    int32_t low, high;
    Span(ax, low, high);
    // Columns relative to low, the first column of the span.
    std::vector<int32_t> column(width);
    bool identity = true;
    for (size_t i = 0; i < width; ++i) {
        column[i] = ax.first[i] + ax.sDir * (ax.count[i] - 1) - low;
        identity = identity && column[i] == column[0] + static_cast<int32_t>(i);
    }
    int32_t span = high - low + 1;
    // At 1:1 rows go straight into place (8-bit rows a run at a time).
    if (Kernels().spreadIndexBlocks != nullptr && src.format.bpp == 8 && !identity) {
        const size_t lead = AlignedLead(dc, ax, ay, width, 64);
        IndexBlockPlan plan;
        if (PlanIndexBlocks(column.data() + lead, column.data() + lead, width - lead, span, plan)) {
            DrawSingleIndices(dc, src, ax, ay, column, low, span, lead, plan.blocks);
            return;
        }
    }
    BlockPlan blocks;
    const size_t lead = AlignedLead(dc, ax, ay, width, 32);
    if (Kernels().spreadBlocks != nullptr && !identity &&
        PlanBlocks(column.data() + lead, nullptr, width - lead, blocks)) {
        DrawSingleBlocks(dc, src, ax, ay, column, low, span, lead, blocks);
        return;
    }
    bool indexed = src.format.bpp == 8;
    RunMap runs;
    SpreadPlan plan;
    bool spread = false;
    if (indexed)
        indexed = PlanRuns(column.data(), column.data(), width, static_cast<size_t>(span), runs);
    if (!indexed)
        spread = !identity && PlanSpread(column.data(), width, plan);
    std::vector<uint32_t> converted(indexed || identity ? 0 : static_cast<size_t>(span));
    std::vector<int32_t> ends(indexed ? static_cast<size_t>(span) : 0);
    const uint8_t *above = nullptr;
    for (int32_t y = ay.lo; y < ay.hi; ++y) {
        if (CopyRowAbove(dc, ax, ay, y))
            continue;
        const uint8_t *row = SourceRow(src, ay.first[static_cast<size_t>(y - ay.lo)]);
        uint32_t *out = SurfaceRow(dc, y) + ax.lo;
        if (y + 1 < ay.hi)
            PrefetchBytes(SourceRow(src, ay.first[static_cast<size_t>(y + 1 - ay.lo)]) + low,
                          static_cast<size_t>(span));
        if (indexed) {
            const uint8_t *indices = row + low;
            if (RepeatsAbove(indices, above, span)) {
                CopyRowFromAbove(dc, ax, y);
                continue;
            }
            above = indices;
            const uint32_t *table = src.table;
            const int32_t *columns = column.data();
            DrawRuns(
                indices, table, static_cast<size_t>(span), runs, ends.data(),
                [&](size_t begin, size_t end) {
                    if (identity)
                        LookUpRun(indices + columns[begin], end - begin, table, out + begin);
                    else
                        PickIndices(indices, table, columns + begin, end - begin, out + begin);
                },
                out);
        } else if (identity) {
            ConvertSpan(src, row, low + column[0], static_cast<int32_t>(width), out);
        } else {
            ConvertSpan(src, row, low, span, converted.data());
            if (spread)
                SpreadValues(converted.data(), plan, out);
            else
                PickValues(converted.data(), column.data(), width, out);
        }
    }
}

// The source rows of destination row yi's group combined, columns
// [low, low + span), into acc; flat marks the chunks of one value (only
// looked for in 8-bit sources).
void CombineGroupRows(const SourceImage &src, const Axis &ay, size_t yi, int32_t low, int32_t span,
                      bool useAnd, std::vector<const uint8_t *> &rows,
                      std::vector<uint32_t> &converted, uint32_t *acc, uint8_t *flat)
{
    int32_t count = ay.count[yi];
    if (src.format.bpp == 8) {
        rows.clear();
        for (int32_t j = 0; j < count; ++j)
            rows.push_back(SourceRow(src, ay.first[yi] + ay.sDir * j) + low);
        CombineIndexRows(rows.data(), rows.size(), static_cast<size_t>(span), src.table, useAnd,
                         acc, flat);
        return;
    }
    ConvertSpan(src, SourceRow(src, ay.first[yi]), low, span, acc);
    for (int32_t j = 1; j < count; ++j) {
        ConvertSpan(src, SourceRow(src, ay.first[yi] + ay.sDir * j), low, span, converted.data());
        CombineValues(acc, converted.data(), static_cast<size_t>(span), useAnd);
    }
}

// Asks for the source rows of the group after destination row yi's, if any.
void PrefetchNextGroup(const SourceImage &src, const Axis &ay, size_t yi, int32_t low, int32_t span)
{
    if (yi + 1 >= ay.first.size())
        return;
    for (int32_t j = 0; j < ay.count[yi + 1]; ++j)
        PrefetchBytes(SourceRow(src, ay.first[yi + 1] + ay.sDir * j) + low,
                      static_cast<size_t>(span));
}

// Whether the source rows of destination row yi's group hold the same
// indices over columns [low, low + span): then the group is its first row.
bool GroupRowsAlike(const SourceImage &src, const Axis &ay, size_t yi, int32_t low, int32_t span)
{
    const uint8_t *first = SourceRow(src, ay.first[yi]) + low;
    for (int32_t j = 1; j < ay.count[yi]; ++j) {
        const uint8_t *row = SourceRow(src, ay.first[yi] + ay.sDir * j) + low;
        if (std::memcmp(row, first, static_cast<size_t>(span)) != 0)
            return false;
    }
    return true;
}

// Whether every chunk a segment reads is one value, the same for all: then
// each of its pixels is that value.
bool SegmentFlat(const Segment &seg, const uint8_t *flat, const uint32_t *acc, uint32_t &value)
{
    if (seg.first < 0)
        return false;
    int32_t from = std::min(seg.first, seg.last), to = std::max(seg.first, seg.last);
    value = acc[static_cast<size_t>(from) * SPREAD_CHUNK];
    for (int32_t c = from; c <= to; ++c)
        if (!flat[c] || acc[static_cast<size_t>(c) * SPREAD_CHUNK] != value)
            return false;
    return true;
}

// A destination row from a combined row acc (the table of reduce) whose
// flat chunks are marked: neighbouring flat segments of one value are
// filled at once, the pixels between them reduced together.
void DrawSegments(const std::vector<Segment> &segments, const uint8_t *flat, const uint32_t *acc,
                  const ReducePlan &reduce, bool useAnd, size_t width, uint32_t *out)
{
    size_t pending = 0; // the first pixel not drawn yet
    size_t fillBegin = 0, fillEnd = 0;
    uint32_t fillValue = 0;
    auto flushFill = [&] {
        FillRun(out + fillBegin, fillEnd - fillBegin, fillValue);
        fillBegin = fillEnd = 0;
    };
    for (const Segment &seg : segments) {
        uint32_t value;
        if (!SegmentFlat(seg, flat, acc, value))
            continue;
        size_t begin = static_cast<size_t>(seg.begin), end = static_cast<size_t>(seg.end);
        if (fillEnd != 0 && fillEnd == begin && value == fillValue) {
            fillEnd = end;
            pending = end;
            continue;
        }
        if (fillEnd != 0)
            flushFill();
        if (pending < begin)
            ReduceRange(acc, reduce, pending, begin, useAnd, out);
        fillBegin = begin;
        fillEnd = end;
        fillValue = value;
        pending = end;
    }
    if (fillEnd != 0)
        flushFill();
    if (pending < width)
        ReduceRange(acc, reduce, pending, width, useAnd, out);
}

// The values of the first two rows of the last group drawn, each read over
// what that row's slot held before (composed pictures change little from
// row to row), and the group's rows combined.
struct GroupRows {
    std::vector<uint32_t> slot[2];
    const uint8_t *indices[2] = {nullptr, nullptr}; // what each slot holds the values of
    std::vector<uint32_t> more, combined;

    explicit GroupRows(size_t values) : more(values), combined(values)
    {
        slot[0].resize(values);
        slot[1].resize(values);
    }
};

// The surface values of destination row yi's group, combined down its rows
// (only its first when they are alike); BLOCK_REACH values of padding behind.
const uint32_t *GroupValues(const ImageKernels &k, const SourceImage &src, const Axis &ay,
                            size_t yi, int32_t low, int32_t span, bool alike, bool useAnd,
                            GroupRows &g)
{
    const int32_t count = alike ? 1 : ay.count[yi];
    for (int32_t j = 0; j < std::min(count, 2); ++j) {
        const uint8_t *row = SourceRow(src, ay.first[yi] + ay.sDir * j);
        ReadValues(k, src, row, low, span, g.indices[j], g.slot[j].data());
        g.indices[j] = src.format.bpp == 8 ? row + low : nullptr;
    }
    if (count == 1)
        return g.slot[0].data();
    const size_t n = static_cast<size_t>(span);
    CombinePair(g.slot[0].data(), g.slot[1].data(), n, useAnd, g.combined.data());
    for (int32_t j = 2; j < count; ++j) {
        ReadValues(k, src, SourceRow(src, ay.first[yi] + ay.sDir * j), low, span, nullptr,
                   g.more.data());
        CombineValues(g.combined.data(), g.more.data(), n, useAnd);
    }
    return g.combined.data();
}

// DrawCombined where every pixel's group is one or two columns, with the
// vector kernels that pick and combine a block of eight pixels at once: the
// plan's offsets and last offsets read the first and the last column of
// each group.
void DrawCombinedBlocks(HDC__ *dc, const SourceImage &src, const Axis &ax, const Axis &ay,
                        int32_t low, int32_t span, const ReducePlan &reduce, const BlockPlan &plan,
                        bool useAnd)
{
    const ImageKernels &k = Kernels();
    const size_t width = static_cast<size_t>(ax.hi - ax.lo);
    const size_t tail = 8 * plan.blocks;
    GroupRows rows(static_cast<size_t>(span) + BLOCK_REACH);
    const uint8_t *above = nullptr; // the rows of the row above, when they were alike
    for (int32_t y = ay.lo; y < ay.hi; ++y) {
        const size_t yi = static_cast<size_t>(y - ay.lo);
        uint32_t *out = SurfaceRow(dc, y) + ax.lo;
        PrefetchNextGroup(src, ay, yi, low, span);
        // A group whose rows are alike and repeat the row above's draws the
        // same pixels.
        const bool alike = src.format.bpp == 8 && GroupRowsAlike(src, ay, yi, low, span);
        const uint8_t *indices = alike ? SourceRow(src, ay.first[yi]) + low : nullptr;
        if (alike && RepeatsAbove(indices, above, span)) {
            CopyRowFromAbove(dc, ax, y);
            continue;
        }
        above = indices;
        const uint32_t *values = GroupValues(k, src, ay, yi, low, span, alike, useAnd, rows);
        k.combineBlocks(values, plan.base.data(), plan.offsets.data(), plan.lastOffsets.data(),
                        plan.blocks, useAnd, out);
        ReduceRange(values, reduce, tail, width, useAnd, out);
    }
}

// DrawCombined for an 8-bit source whose pixels' groups are one or two
// columns, by the kernel that looks up and combines 64 pixels at once
// straight from the indices.
void DrawCombinedIndices(HDC__ *dc, const SourceImage &src, const Axis &ax, const Axis &ay,
                         int32_t low, int32_t span, const IndexBlocks &blocks, bool useAnd)
{
    const ImageKernels &k = Kernels();
    SurfacePlanes planes;
    SplitTable(src.table, planes);
    std::vector<const uint8_t *> rows;
    const uint8_t *above = nullptr; // the rows of the row above, when they were alike
    for (int32_t y = ay.lo; y < ay.hi; ++y) {
        const size_t yi = static_cast<size_t>(y - ay.lo);
        PrefetchNextGroup(src, ay, yi, low, span);
        // A group whose rows are alike is its first row, and draws the
        // pixels of the row above when that had the same.
        const bool alike = GroupRowsAlike(src, ay, yi, low, span);
        const uint8_t *indices = SourceRow(src, ay.first[yi]) + low;
        if (alike && RepeatsAbove(indices, above, span)) {
            CopyRowFromAbove(dc, ax, y);
            continue;
        }
        above = alike ? indices : nullptr;
        rows.clear();
        for (int32_t j = 0; j < (alike ? 1 : ay.count[yi]); ++j)
            rows.push_back(SourceRow(src, ay.first[yi] + ay.sDir * j) + low);
        k.combineIndexBlocks(rows.data(), rows.size(), blocks, planes, useAnd,
                             SurfaceRow(dc, y) + ax.lo);
    }
}

// Shrinking with BLACKONWHITE (AND) or WHITEONBLACK (OR): every source pixel
// of a group's rows and columns takes part; the destination's own pixels do
// not. The group's rows are combined first, then each pixel's columns.
void DrawCombined(HDC__ *dc, const SourceImage &src, const Axis &ax, const Axis &ay, bool useAnd)
{
    size_t width = static_cast<size_t>(ax.hi - ax.lo);
    int32_t low, high;
    Span(ax, low, high);
    int32_t span = high - low + 1;
    // Each group's columns relative to low, lowest first: the order within
    // a group does not change an AND or an OR.
    std::vector<int32_t> lowest(width), highest(width);
    for (size_t i = 0; i < width; ++i) {
        lowest[i] = std::min(ax.first[i], ax.first[i] + ax.sDir * (ax.count[i] - 1)) - low;
        highest[i] = lowest[i] + ax.count[i] - 1;
    }
    ReducePlan reduce;
    PlanReduce(lowest.data(), ax.count.data(), width, static_cast<size_t>(span), reduce);
    IndexBlockPlan indexBlocks;
    if (Kernels().combineIndexBlocks != nullptr && src.format.bpp == 8 && !reduce.wide &&
        reduce.levels == 1 &&
        PlanIndexBlocks(lowest.data(), highest.data(), width, span, indexBlocks)) {
        DrawCombinedIndices(dc, src, ax, ay, low, span, indexBlocks.blocks, useAnd);
        return;
    }
    BlockPlan blocks;
    if (Kernels().combineBlocks != nullptr && !reduce.wide && reduce.levels == 1 &&
        PlanBlocks(reduce.first.data(), reduce.second.data(), width, blocks)) {
        DrawCombinedBlocks(dc, src, ax, ay, low, span, reduce, blocks, useAnd);
        return;
    }
    std::vector<Segment> segments;
    PlanSegments(lowest.data(), highest.data(), width, static_cast<size_t>(span), segments);
    std::vector<uint32_t> table(ReduceTableSize(reduce));
    std::vector<uint32_t> converted(src.format.bpp == 8 ? 0 : static_cast<size_t>(span));
    std::vector<uint8_t> flat(static_cast<size_t>(span) / SPREAD_CHUNK);
    std::vector<const uint8_t *> rows;
    RunMap runs;
    bool indexed = src.format.bpp == 8 &&
                   PlanRuns(lowest.data(), highest.data(), width, static_cast<size_t>(span), runs);
    std::vector<int32_t> ends(indexed ? static_cast<size_t>(span) : 0);
    const uint8_t *above = nullptr;
    for (int32_t y = ay.lo; y < ay.hi; ++y) {
        if (CopyRowAbove(dc, ax, ay, y))
            continue;
        size_t yi = static_cast<size_t>(y - ay.lo);
        uint32_t *out = SurfaceRow(dc, y) + ax.lo;
        PrefetchNextGroup(src, ay, yi, low, span);
        if (indexed && GroupRowsAlike(src, ay, yi, low, span)) {
            const uint8_t *indices = SourceRow(src, ay.first[yi]) + low;
            if (RepeatsAbove(indices, above, span)) {
                CopyRowFromAbove(dc, ax, y);
                continue;
            }
            above = indices;
            DrawRuns(
                indices, src.table, static_cast<size_t>(span), runs, ends.data(),
                [&](size_t begin, size_t end) {
                    CombineIndexGroups(indices, src.table, lowest.data(), highest.data(), begin,
                                       end, useAnd, out);
                },
                out);
            continue;
        }
        above = nullptr;
        CombineGroupRows(src, ay, yi, low, span, useAnd, rows, converted, table.data(),
                         flat.data());
        BuildReduceLevels(table.data(), reduce, useAnd);
        if (src.format.bpp != 8) {
            ReduceRange(table.data(), reduce, 0, width, useAnd, out);
            continue;
        }
        DrawSegments(segments, flat.data(), table.data(), reduce, useAnd, width, out);
    }
}

// HALFTONE (stretch_halftone.cpp) reads the source through this.
void ReadSpan(const void *source, int32_t y, int32_t x0, int32_t count, uint32_t *out)
{
    const SourceImage &src = *static_cast<const SourceImage *>(source);
    ConvertSpan(src, SourceRow(src, y), x0, count, out);
}

// Half-open range [lo, hi) a signed extent covers from its origin.
void Bounds(int64_t origin, int64_t extent, int64_t &lo, int64_t &hi)
{
    lo = extent > 0 ? origin : origin + extent + 1;
    hi = extent > 0 ? origin + extent : origin + 1;
}

// When exactly one of the two extents of an axis is negative (the picture is
// mirrored) and the source runs past the bitmap on that axis, GDI does not
// mirror the destination around the part of the source that exists: it moves
// the destination origin instead, by the room the missing source columns
// would have taken at the start less the room they take at the end, and draws
// only the room the existing columns map to. Only stretching calls do this.
// [visLo, visHi) is the part of the source inside the bitmap; sizes are mapped
// with truncating integer division, as GDI maps them.
struct MirrorPlacement {
    int64_t origin;
    bool limited = false; // only [lo, hi) of the destination is drawn
    int64_t lo = 0;
    int64_t hi = 0;
};

MirrorPlacement PlaceMirrored(int64_t dOrigin, int64_t dExtent, int64_t sOrigin, int64_t sExtent,
                              int64_t visLo, int64_t visHi)
{
    MirrorPlacement place{dOrigin};
    int64_t base = sOrigin + (sExtent < 0 ? 1 : 0);
    int64_t a = (visLo - base) * dExtent / sExtent;
    int64_t b = (visHi - base) * dExtent / sExtent;
    int64_t lo = std::min(a, b), hi = std::max(a, b);
    if (sExtent < 0 && dExtent > 0 && (sOrigin + sExtent + 1 < visLo || sOrigin > visHi))
        place.origin = dOrigin + (dExtent - hi) - lo;
    else if (sExtent > 0 && dExtent < 0 && (sOrigin < visLo || sOrigin + sExtent > visHi))
        place.origin = dOrigin - (hi - (dExtent - lo));
    else
        return place;
    // A destination running leftwards (upwards) counts its pixels from the
    // far side of each coordinate.
    int64_t edge = dExtent < 0 ? 1 : 0;
    place.limited = true;
    place.lo = place.origin + lo + edge;
    place.hi = place.origin + hi + edge;
    return place;
}

// Whether a stretching call finds anything to draw before any pixel is
// mapped: the part of the source inside the bitmap, mapped to the destination
// with truncating division and widened by a pixel each side, must meet the
// visible destination, and that overlap, mapped back and widened alike, must
// meet the source again. A call that fails this draws nothing and still
// reports its rows; one that passes yet draws no pixel reports 0. dOrigin is
// the origin PlaceMirrored settled on; [sVisLo, sVisHi) and [dVisLo, dVisHi)
// are the source inside the bitmap and the visible destination.
bool MappedRangesMeet(int64_t dOrigin, int64_t dExtent, int64_t sOrigin, int64_t sExtent,
                      int64_t sVisLo, int64_t sVisHi, int64_t dVisLo, int64_t dVisHi)
{
    int64_t sBase = sOrigin + (sExtent < 0 ? 1 : 0);
    int64_t a = (sVisLo - sBase) * dExtent / sExtent;
    int64_t b = (sVisHi - sBase) * dExtent / sExtent;
    int64_t lo = std::max(std::min(a, b) + dOrigin - 1, dVisLo);
    int64_t hi = std::min(std::max(a, b) + dOrigin + 1, dVisHi);
    if (lo >= hi)
        return false;
    int64_t dBase = dOrigin + (dExtent < 0 ? 1 : 0);
    a = sOrigin + (lo - dBase) * sExtent / dExtent;
    b = sOrigin + (hi - dBase) * sExtent / dExtent;
    return std::max(std::min(a, b) - 1, sVisLo) < std::min(std::max(a, b) + 1, sVisHi);
}

// A coded source's expansion, held for one call and released on every path.
struct ExpandedSource {
    RleImage image;
    ExpandedSource() = default;
    ExpandedSource(const ExpandedSource &) = delete;
    ExpandedSource &operator=(const ExpandedSource &) = delete;
    ~ExpandedSource() { ReleaseRle(image); }
};

// Expands src's coded rows and makes src an 8-bit bitmap of them. GDI draws
// only the pixels of closed lines at 1:1 from the bitmap's origin (so the
// written mask is kept then); every other call shows the rest as index 0.
// False when the heap refuses the buffers.
bool ExpandSource(SourceImage &src, bool fromOrigin, RleImage &image)
{
    if (!DecodeRle(src.bits, static_cast<uint32_t>(src.format.imageBytes), src.format.bpp,
                   src.format.width, src.format.height, fromOrigin, image))
        return false;
    src.bits = image.pixels;
    src.format.bpp = 8;
    src.format.stride = image.stride;
    return true;
}

// The source as the drawing reads it: its colour table resolved and, for a
// coded source, its rows expanded. False when the heap refuses the expansion.
bool PrepareSource(const void *bits, const BITMAPINFO *info, UINT usage, const HDC__ *dc,
                   const DibFormat &format, bool fromOrigin, SourceImage &src,
                   ExpandedSource &expanded)
{
    src.bits = static_cast<const uint8_t *>(bits);
    src.format = format;
    BuildTable(info, usage, dc, src);
    return !format.rle || ExpandSource(src, fromOrigin, expanded.image);
}

// A 1:1 call from the origin of a coded source: only the pixels its closed
// lines set.
void DrawWrittenPixels(HDC__ *dc, const SourceImage &src, const RleImage &image, const Axis &ax,
                       const Axis &ay)
{
    size_t width = static_cast<size_t>(ax.hi - ax.lo);
    for (int32_t y = ay.lo; y < ay.hi; ++y) {
        int32_t sourceY = ay.first[static_cast<size_t>(y - ay.lo)];
        int32_t line = src.format.height - 1 - sourceY;
        const uint8_t *row = SourceRow(src, sourceY);
        uint32_t *out = SurfaceRow(dc, y) + ax.lo;
        for (size_t i = 0; i < width; ++i) {
            if (RleWritten(image, ax.first[i], line))
                out[i] = src.table[row[ax.first[i]]];
        }
    }
}

// Copies header, colour table and (when the call was accepted) rows into the
// log entry, and describes them.
// Rows larger than the log's byte bound are left out, so one entry never
// outweighs the whole log.
std::string LogBitmap(DeviceCall &entry, const void *bits, const BITMAPINFO *info, UINT usage,
                      const DibFormat *format, bool accepted, uint64_t maxRows)
{
    if (info == nullptr)
        return "dib(null)";
    const BITMAPINFOHEADER &h = info->bmiHeader;
    uint32_t headerBytes = std::min<uint32_t>(std::max<uint32_t>(h.biSize, 4), HEADER_BYTES);
    const uint8_t *header = reinterpret_cast<const uint8_t *>(info);
    entry.payload.assign(header, header + headerBytes);
    entry.colorOffset = headerBytes;
    if (format != nullptr) {
        size_t tableBytes = format->colors * (usage == DIB_PAL_COLORS ? 2u : 4u);
        entry.colorCount = format->colors;
        entry.payload.insert(entry.payload.end(), ColorTable(info), ColorTable(info) + tableBytes);
    }
    entry.pixelOffset = static_cast<uint32_t>(entry.payload.size());
    if (accepted && bits != nullptr && format->imageBytes <= maxRows) {
        const uint8_t *rows = static_cast<const uint8_t *>(bits);
        entry.payload.insert(entry.payload.end(), rows, rows + format->imageBytes);
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "dib(%dx%d planes=%u bpp=%u comp=%u used=%u colors=%u rows=%u fnv=0x%08x)",
                  static_cast<int>(h.biWidth), static_cast<int>(h.biHeight), unsigned{h.biPlanes},
                  unsigned{h.biBitCount}, unsigned{h.biCompression}, unsigned{h.biClrUsed},
                  unsigned{entry.colorCount},
                  static_cast<unsigned>(entry.payload.size() - entry.pixelOffset),
                  static_cast<unsigned>(Fnv32(entry.payload.data(), entry.payload.size())));
    return text;
}

// Checks the call and draws it; returns the result StretchDIBits reports.
int Stretch(HDC__ *dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
            int srcWidth, int srcHeight, const void *bits, const BITMAPINFO *info, UINT usage,
            DWORD rop, DibFormat &format, bool &valid)
{
    valid = info != nullptr && ReadFormat(info, format);
    if (!valid || bits == nullptr || usage > DIB_PAL_COLORS || rop != SRCCOPY)
        return 0;
    if (srcWidth == 0 || srcHeight == 0)
        return 0;
    int64_t height = format.height;
    // Source y counts from the bottom row, except for a top-down bitmap drawn
    // from its origin at 1:1, whose rows are taken as they stand.
    bool fromOrigin = xSrc == 0 && ySrc == 0 && srcWidth == destWidth && srcHeight == destHeight;
    int64_t sy =
        format.topDown && fromOrigin ? int64_t{ySrc} : height - int64_t{ySrc} - int64_t{srcHeight};
    // A mirrored source that runs past an edge is moved back inside it.
    if (sy >= height && sy + srcHeight + 1 < height)
        sy = height - 1;
    else if (sy > 0 && sy + srcHeight + 1 < 0)
        sy = -int64_t{srcHeight} - 1;
    int64_t xLo, xHi, yLo, yHi;
    Bounds(xSrc, srcWidth, xLo, xHi);
    Bounds(sy, srcHeight, yLo, yHi);
    if (std::max<int64_t>(xLo, 0) >= std::min<int64_t>(xHi, format.width) ||
        std::max<int64_t>(yLo, 0) >= std::min<int64_t>(yHi, height))
        return 0;
    int result = format.height;
    if (destWidth == 0 || destHeight == 0)
        return result;

    bool stretching = srcWidth != destWidth || srcHeight != destHeight;
    MirrorPlacement px{xDest}, py{yDest};
    if (stretching) {
        px = PlaceMirrored(xDest, destWidth, xSrc, srcWidth, std::max<int64_t>(xLo, 0),
                           std::min<int64_t>(xHi, format.width));
        py = PlaceMirrored(yDest, destHeight, sy, srcHeight, std::max<int64_t>(yLo, 0),
                           std::min<int64_t>(yHi, height));
    }
    if (stretching && dc->stretchMode == HALFTONE) {
        // A coded source is resampled from its expansion, where the pixels
        // no run set hold index 0, as in every stretching call.
        SourceImage src;
        ExpandedSource expanded;
        if (!PrepareSource(bits, info, usage, dc, format, false, src, expanded))
            return 0;
        DeviceRect shown = VisibleRect(dc);
        // Only a source in the surface's own layout is read in place.
        bool copied = src.format.bpp != 32 || src.format.bitfields;
        DrawHalftone(dc, HalftoneSource{&src, ReadSpan, copied},
                     HalftoneAxis{xDest, px.origin, destWidth, xSrc, srcWidth, format.width,
                                  shown.left, shown.right},
                     HalftoneAxis{yDest, py.origin, destHeight, sy, srcHeight, format.height,
                                  shown.top, shown.bottom});
        return result;
    }
    DeviceRect vis = VisibleRect(dc);
    if (px.limited) {
        vis.left = static_cast<int32_t>(std::clamp<int64_t>(px.lo, vis.left, vis.right));
        vis.right = static_cast<int32_t>(std::clamp<int64_t>(px.hi, vis.left, vis.right));
    }
    if (py.limited) {
        vis.top = static_cast<int32_t>(std::clamp<int64_t>(py.lo, vis.top, vis.bottom));
        vis.bottom = static_cast<int32_t>(std::clamp<int64_t>(py.hi, vis.top, vis.bottom));
    }
    if (stretching) {
        DeviceRect shown = VisibleRect(dc);
        int64_t dxLo, dxHi, dyLo, dyHi;
        Bounds(xDest, destWidth, dxLo, dxHi);
        Bounds(yDest, destHeight, dyLo, dyHi);
        bool meet =
            MappedRangesMeet(px.origin, destWidth, xSrc, srcWidth, std::max<int64_t>(xLo, 0),
                             std::min<int64_t>(xHi, format.width),
                             std::max<int64_t>(dxLo, shown.left),
                             std::min<int64_t>(dxHi, shown.right)) &&
            MappedRangesMeet(py.origin, destHeight, sy, srcHeight, std::max<int64_t>(yLo, 0),
                             std::min<int64_t>(yHi, height), std::max<int64_t>(dyLo, shown.top),
                             std::min<int64_t>(dyHi, shown.bottom));
        if (!meet)
            return result;
    }
    // From here on a stretching call that draws no pixel reports 0.
    int drawnNothing = stretching ? 0 : result;
    Axis ax, ay;
    if (!SetUpAxis(px.origin, destWidth, xSrc, srcWidth, vis.left, vis.right, format.width, ax) ||
        !SetUpAxis(py.origin, destHeight, sy, srcHeight, vis.top, vis.bottom, format.height, ay))
        return drawnNothing;

    SourceImage src;
    ExpandedSource expanded;
    if (!PrepareSource(bits, info, usage, dc, format, fromOrigin, src, expanded))
        return 0;

    int mode = stretching ? dc->stretchMode : COLORONCOLOR;
    if (!MapNearest(ax) || !MapNearest(ay))
        return drawnNothing;
    if (expanded.image.written != nullptr) {
        // Pixels are left alone here and there: the pending fill cannot
        // take the rectangle as a hole.
        ResolvePendingFill(dc);
        DrawWrittenPixels(dc, src, expanded.image, ax, ay);
        return result;
    }
    // Every pixel of the mapped rectangle is written; none is read.
    MarkSurfaceWritten(dc, DeviceRect{ax.lo, ay.lo, ax.hi, ay.hi});
    bool shrinking = ax.shrinking || ay.shrinking;
    if (!shrinking || mode == COLORONCOLOR)
        DrawSingle(dc, src, ax, ay);
    else
        DrawCombined(dc, src, ax, ay, mode == BLACKONWHITE);
    return result;
}

} // namespace

extern "C" int StretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc,
                             int ySrc, int srcWidth, int srcHeight, const void *bits,
                             const BITMAPINFO *info, UINT usage, DWORD rop)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return 0;
    DibFormat format;
    bool valid = false;
    int result = Stretch(dc, xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight,
                         bits, info, usage, rop, format, valid);
    if (dc->log.on) {
        CallRecord record("StretchDIBits", dc);
        record.Int(xDest).Int(yDest).Int(destWidth).Int(destHeight);
        record.Int(xSrc).Int(ySrc).Int(srcWidth).Int(srcHeight);
        record.Text(LogBitmap(record.Entry(), bits, info, usage, valid ? &format : nullptr,
                              result != 0, dc->log.maxBytes));
        record.Int(usage).Hex(rop).Finish(dc, result);
    }
    return result;
}
