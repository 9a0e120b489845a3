// Edge smoothing: background pixels in the inner corner of a one-pixel step
// get a ramp of indices along the longer side of the step, from the colour
// of the step towards the background. Ramps are collected in the work
// buffer and merged into the picture at the end.
#include "imageops/smoothing.h"

#include "imageops/buffers.h"
#include "imageops/lowindex.h"
#include "imageops/kernels.h"

#include <cassert>
#include <cstddef>

namespace {

constexpr uint8_t kMarker = 1;

// How a walk moves and where the edge pixel beside it lies, in columns and
// rows, for directions 1 to 8.
struct DirectionMove {
    int32_t stepColumns;
    int32_t stepRows;
    int32_t probeColumns;
    int32_t probeRows;
};

constexpr DirectionMove kDirections[8] = {
    {+1, 0, 0, +1}, {-1, 0, 0, +1}, {+1, 0, 0, -1}, {-1, 0, 0, -1},
    {0, -1, -1, 0}, {0, -1, +1, 0}, {0, +1, -1, 0}, {0, +1, +1, 0},
};

bool ValidDirection(int32_t direction)
{
    return direction >= 1 && direction <= 8;
}

ptrdiff_t StepOffset(int32_t direction, int32_t stride)
{
    const DirectionMove &m = kDirections[direction - 1];
    return m.stepColumns + static_cast<ptrdiff_t>(m.stepRows) * stride;
}

ptrdiff_t ProbeOffset(int32_t direction, int32_t stride)
{
    const DirectionMove &m = kDirections[direction - 1];
    return m.probeColumns + static_cast<ptrdiff_t>(m.probeRows) * stride;
}

// The four edge neighbours of a pixel. A neighbour outside the picture is
// not background for the corner test but has the background's value.
struct Neighbours {
    bool leftBg, rightBg, nextBg, previousBg;
    int32_t left, right, next, previous;
};

Neighbours ReadNeighbours(const uint8_t *pixel, int32_t r, int32_t c, int32_t width, int32_t height,
                          int32_t stride, uint8_t b)
{
    Neighbours n{false, false, false, false, b, b, b, b};
    if (c > 0) {
        n.left = pixel[-1];
        n.leftBg = n.left == b;
    }
    if (c < width - 1) {
        n.right = pixel[1];
        n.rightBg = n.right == b;
    }
    if (r < height - 1) {
        n.next = pixel[stride];
        n.nextBg = n.next == b;
    }
    if (r > 0) {
        n.previous = pixel[-stride];
        n.previousBg = n.previous == b;
    }
    return n;
}

// A corner pixel: exactly one horizontal and one vertical neighbour belong
// to the drawing (or lie outside), which makes the pixel the inner corner of
// a step. Run A follows the row, run B the column.
struct Corner {
    int32_t d;
    int32_t directionA, limitA;
    int32_t directionB, limitB;
};

bool FindCorner(const Neighbours &n, int32_t r, int32_t c, int32_t width, int32_t height,
                Corner &corner)
{
    if (n.leftBg == n.rightBg || n.nextBg == n.previousBg)
        return false;
    if (!n.nextBg) {
        if (!n.leftBg)
            corner = {(n.next + n.left) / 2, 1, width - c, 5, r};
        else
            corner = {(n.next + n.right) / 2, 2, c, 6, r};
    } else {
        if (!n.leftBg)
            corner = {(n.previous + n.left) / 2, 3, width - c, 7, height - r};
        else
            corner = {(n.previous + n.right) / 2, 4, c, 8, height - r};
    }
    return true;
}

// The ramps buffer, and what the merge needs to look at: which of the
// first kTrackedRows rows have a ramp (rows past them count as having one),
// and whether the scan met a marker. Most rows have no ramp and most
// pictures no marker; the merge reads only the ramps of rows that have one,
// and the rest of the picture only where it may hold a marker.
struct Ramps {
    static constexpr int32_t kTrackedRows = 4096;
    uint8_t *bytes;
    uint64_t rows[kTrackedRows / 64];
    bool markers;

    // count rows from row on, a step of rows apart (a ramp along a row
    // takes its row alone).
    void MarkRows(int32_t row, int32_t count, int32_t step)
    {
        for (int32_t i = 0; i < (step == 0 ? 1 : count); ++i, row += step)
            if (row >= 0 && row < kTrackedRows)
                rows[row / 64] |= uint64_t{1} << (row % 64);
    }

    bool HasRow(int32_t row) const
    {
        return row >= kTrackedRows || ((rows[row / 64] >> (row % 64)) & 1) != 0;
    }
};

void PaintRamp(Ramps &ramps, ptrdiff_t at, int32_t r, int32_t length, int32_t d, uint8_t b,
               int32_t direction, int32_t stride)
{
    FillRamp(ramps.bytes + at, length, d, b, direction, stride);
    ramps.MarkRows(r, length, kDirections[direction - 1].stepRows);
}

void PaintCorner(uint8_t *pixels, Ramps &ramps, ptrdiff_t at, int32_t r, const uint8_t *last,
                 int32_t stride, uint8_t b, const Corner &corner)
{
    // Run A goes first: it may turn a marker into background before run B
    // looks at it.
    RunResult runA =
        TraceRun(pixels + at, pixels, last, stride, b, corner.limitA, corner.directionA);
    RunResult runB =
        TraceRun(pixels + at, pixels, last, stride, b, corner.limitB, corner.directionB);
    if (runA.length >= 2 && runB.length >= 2)
        return;
    int32_t lengthA = runA.open ? 0 : runA.length;
    int32_t lengthB = runB.open ? 0 : runB.length;
    if (lengthA >= 2)
        PaintRamp(ramps, at, r, lengthA, corner.d, b, corner.directionA, stride);
    if (lengthB >= 2)
        PaintRamp(ramps, at, r, lengthB, corner.d, b, corner.directionB, stride);
}

// Ramps win over the picture; elsewhere markers become background.
void MergeSpan(uint8_t *pixels, const uint8_t *ramps, uint32_t size, uint8_t b)
{
    for (uint32_t i = Kernels().mergeRamps(pixels, ramps, size, b); i < size; ++i) {
        uint8_t ramp = ramps[i];
        uint8_t pixel = pixels[i];
        pixels[i] = ramp != b ? ramp : (pixel == kMarker ? b : pixel);
    }
}

// Rows without a ramp need only the markers made background, which reads
// the picture alone, and nothing when there are none. The rows go in runs
// of one kind; the last run takes the rest of the buffer, where no ramp is
// ever painted.
void MergeRamps(uint8_t *pixels, const Ramps &ramps, uint32_t size, int32_t height, int32_t stride,
                uint8_t b)
{
    for (int32_t r = 0; r < height;) {
        const bool hasRamp = ramps.HasRow(r);
        int32_t end = r + 1;
        while (end < height && ramps.HasRow(end) == hasRamp)
            ++end;
        const uint32_t from = static_cast<uint32_t>(r) * static_cast<uint32_t>(stride);
        uint32_t to = static_cast<uint32_t>(end) * static_cast<uint32_t>(stride);
        if (end == height || to > size)
            to = size;
        if (hasRamp)
            MergeSpan(pixels + from, ramps.bytes + from, to - from, b);
        else if (ramps.markers)
            ReplaceIndex(pixels + from, b, kMarker, to - from);
        r = end;
    }
}

// Whether the bytes of the buffer the scan does not look at hold a marker:
// the padding of every row and whatever follows the last row.
bool MarkerOutsideRows(const uint8_t *pixels, uint32_t size, int32_t width, int32_t height,
                       int32_t stride)
{
    auto any = [pixels](uint64_t from, uint64_t to) {
        for (uint64_t i = from; i < to; ++i)
            if (pixels[i] == kMarker)
                return true;
        return false;
    };
    for (int32_t r = 0; r < height; ++r) {
        const uint64_t start = static_cast<uint64_t>(r) * static_cast<uint64_t>(stride);
        const uint64_t end = start + static_cast<uint64_t>(stride);
        if (any(start + static_cast<uint64_t>(width), end < size ? end : size))
            return true;
    }
    return any(static_cast<uint64_t>(height) * static_cast<uint64_t>(stride), size);
}

// Looks at one pixel of the scan and paints its ramp if it is a corner.
void VisitPixel(uint8_t *pixels, Ramps &ramps, const uint8_t *last, int32_t r, int32_t c,
                int32_t width, int32_t height, int32_t stride, uint8_t b)
{
    const ptrdiff_t at = static_cast<ptrdiff_t>(r) * stride + c;
    uint8_t *pixel = pixels + at;
    ramps.markers = ramps.markers || *pixel == kMarker;
    if (*pixel != b)
        return;
    Corner corner;
    if (FindCorner(ReadNeighbours(pixel, r, c, width, height, stride, b), r, c, width, height,
                   corner))
        PaintCorner(pixels, ramps, at, r, last, stride, b, corner);
}

// A pixel the kernel does not scan: in the first or last row, or column.
// Most are open background or inside a shape, and fail a part of the corner
// test cheap to make first: away from the first and last column, exactly
// one of left and right is background; in those columns of an inner row,
// the neighbour outside counts as no background, so the one inside must be
// and exactly one of next and previous is. Inlined: called twice a row,
// the call cost more than the test.
[[gnu::always_inline]] inline void VisitBorderPixel(uint8_t *pixels, Ramps &ramps,
                                                    const uint8_t *last, int32_t r, int32_t c,
                                                    int32_t width, int32_t height, int32_t stride,
                                                    uint8_t b)
{
    const uint8_t *pixel = pixels + static_cast<ptrdiff_t>(r) * stride + c;
    bool maybe = pixel[0] == b;
    if (maybe && c > 0 && c < width - 1) {
        maybe = (pixel[-1] == b) != (pixel[1] == b);
    } else if (maybe && width >= 2 && r > 0 && r < height - 1) {
        maybe = pixel[c == 0 ? 1 : -1] == b && (pixel[stride] == b) != (pixel[-stride] == b);
    }
    if (maybe)
        VisitPixel(pixels, ramps, last, r, c, width, height, stride, b);
    else
        ramps.markers = ramps.markers || pixel[0] == kMarker;
}

// Columns 1 to width - 2 of an inner row: corner pixels are rare, and the
// kernel skips to the next pixel that passes the corner test without the
// picture's border. A corner's walks may turn a marker ahead of the scan
// into background, so the scan goes on from the pixel after each corner
// with a fresh look. Returns the first column left to the caller.
int32_t ScanInnerRow(uint8_t *pixels, Ramps &ramps, const uint8_t *last, int32_t r, int32_t width,
                     int32_t height, int32_t stride, uint8_t b, const ImageKernels &k)
{
    const uint8_t *row = pixels + static_cast<ptrdiff_t>(r) * stride;
    int32_t c = 1;
    for (;;) {
        c = k.nextCorner(row, stride, c, width, b, ramps.markers);
        if (c >= width - 1)
            return c;
        VisitPixel(pixels, ramps, last, r, c, width, height, stride, b);
        ++c;
    }
}

// Columns 1 to width - 2 of the first or the last row of a picture at least
// two rows high: the row outside counts as no background, so a corner needs
// the row inside to be background beside it, besides exactly one of left
// and right. Returns the first column that passes, or width - 1.
int32_t NextEdgeCandidate(const uint8_t *row, const uint8_t *inside, int32_t c, int32_t width,
                          uint8_t b, bool &markers)
{
    bool seen = false;
    for (; c < width - 1; ++c) {
        seen = seen || row[c] == kMarker;
        if (row[c] == b && inside[c] == b && (row[c - 1] == b) != (row[c + 1] == b))
            break;
    }
    markers = markers || seen;
    return c;
}

// As ScanInnerRow, for the first or the last row.
int32_t ScanEdgeRow(uint8_t *pixels, Ramps &ramps, const uint8_t *last, int32_t r, int32_t width,
                    int32_t height, int32_t stride, uint8_t b)
{
    const uint8_t *row = pixels + static_cast<ptrdiff_t>(r) * stride;
    const uint8_t *inside = r == 0 ? row + stride : row - stride;
    int32_t c = 1;
    for (;;) {
        c = NextEdgeCandidate(row, inside, c, width, b, ramps.markers);
        if (c >= width - 1)
            return c;
        VisitPixel(pixels, ramps, last, r, c, width, height, stride, b);
        ++c;
    }
}

} // namespace

// Positions are handled as offsets from the buffer start so that a probe
// before the start or past the end is compared, never formed as a pointer.
// Lengths of 256 or more are carried in full beside the open-end flag; a
// length is never cut to 8 bits.
RunResult TraceRun(uint8_t *start, const uint8_t *bufferStart, const uint8_t *bufferLast,
                   int32_t stride, int32_t b, int32_t limit, int32_t direction)
{
    assert(ValidDirection(direction));
    assert(start >= bufferStart && start <= bufferLast);
    if (!ValidDirection(direction))
        return RunResult{0, 0};
    const ptrdiff_t s = StepOffset(direction, stride);
    const ptrdiff_t q = ProbeOffset(direction, stride);
    const ptrdiff_t last = bufferLast - bufferStart;
    // The one pixel a walk may write lies in the same buffer as start.
    ptrdiff_t p = start - bufferStart;
    uint8_t *base = start - p;

    int32_t n = limit;
    while (n > 0) {
        if (p < 0 || p >= last || p + q < 0 || p + q >= last)
            break;
        if (base[p] != b || base[p + q] == b)
            break;
        --n;
        p += s;
    }
    const int32_t length = limit - n;
    if (n == 0)
        return RunResult{length, 1};
    // Only a walk given a limit beyond the picture can end outside the
    // buffer; nothing there can close it.
    if (p < 0 || p > last)
        return RunResult{length, 1};
    if (base[p] == b)
        return RunResult{length, 0};
    if (base[p] == kMarker) {
        base[p] = static_cast<uint8_t>(b);
        return RunResult{length + 1, 0};
    }
    return RunResult{length, 1};
}

// Values above 255 cannot be stored: such a value is written as 255 and the
// ramp ends there.
void FillRamp(uint8_t *position, int32_t count, int32_t d, int32_t b, int32_t direction,
              int32_t stride)
{
    assert(ValidDirection(direction));
    assert(count >= 0);
    if (!ValidDirection(direction) || count <= 0)
        return;
    int32_t q;
    int32_t n;
    if (b > d) {
        q = (b - d) / count;
        n = count;
        if (q == 0) {
            q = 1;
            n = b - d;
        }
    } else {
        q = -((d - b) / count);
        n = count;
        if (q == 0) {
            q = -1;
            n = d - b;
        }
    }
    const ptrdiff_t s = StepOffset(direction, stride);
    int32_t v = d;
    uint8_t *p = position;
    for (int32_t i = 0; i < n; ++i) {
        v = LowIndexUp(v + q);
        if (v > 255) {
            *p = 255;
            return;
        }
        *p = static_cast<uint8_t>(v);
        p += s;
    }
}

uint8_t *SmoothEdges(uint8_t *pixels, uint8_t *work, int32_t width, int32_t height, int32_t stride,
                     int32_t size, int32_t background)
{
    assert(width >= 0 && height >= 0 && stride >= width && size >= 0);
    assert(height == 0 || static_cast<int64_t>(height - 1) * stride + width <= size);
    assert(background >= 0 && background <= 255);
    const uint32_t bytes = size > 0 ? static_cast<uint32_t>(size) : 0;
    const auto b = static_cast<uint8_t>(background);

    Ramps ramps{static_cast<uint8_t *>(ReuseBuf(work, bytes, background, 1)), {}, false};
    if (ramps.bytes == nullptr) {
        ReplaceIndex(pixels, background, kMarker, bytes);
        return nullptr;
    }
    if (bytes == 0)
        return ramps.bytes;

    // The scan sees the picture as earlier walks of this call left it.
    const uint8_t *last = pixels + (bytes - 1);
    const ImageKernels &k = Kernels();
    for (int32_t r = 0; r < height; ++r) {
        int32_t c = 0;
        if (width >= 3 && height >= 2) {
            VisitBorderPixel(pixels, ramps, last, r, 0, width, height, stride, b);
            c = r > 0 && r < height - 1
                    ? ScanInnerRow(pixels, ramps, last, r, width, height, stride, b, k)
                    : ScanEdgeRow(pixels, ramps, last, r, width, height, stride, b);
        }
        for (; c < width; ++c)
            VisitBorderPixel(pixels, ramps, last, r, c, width, height, stride, b);
    }
    ramps.markers = ramps.markers || MarkerOutsideRows(pixels, bytes, width, height, stride);

    MergeRamps(pixels, ramps, bytes, height, stride, b);
    return ramps.bytes;
}
