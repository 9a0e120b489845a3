// HALFTONE: two-pass bilinear sampling, as the 32-bit GDI draws it.
//
// What is resampled onto what: the part of the source inside the bitmap and
// the visible destination (destination rectangle, clip region, surface) are
// mapped onto each other first, each narrowed to what the other covers once
// mapped with truncating division and widened by a pixel each side (the same
// narrowing StretchDIBits does in every mode). That part of the source is
// then stretched over that part of the destination, positions counted from
// the visible rectangle's edge: the first destination pixel samples the
// part's first source pixel (its last when the call mirrors the axis), and
// each further one moves by the part's width over the destination's.
//
// Positions: the step is the nearest float to that ratio. Along a row the
// position adds the step exactly; down the columns it is rounded to a float
// before each step, since GDI keeps it in a float between rows. A source not
// in the surface's own layout is copied out first (only the part used), so
// its positions count from that part's first pixel, which changes where that
// rounding falls.
//
// Each pass mixes a pixel and the next (clamped at the part's last pixel) by
// the position's fraction and rounds half up; the horizontal pass comes
// first, on both rows, then the vertical one mixes its two results.
//
// When the call moves the destination (see PlaceMirrored in stretch.cpp) the
// pixels it maps to can start past the visible rectangle's edge; GDI still
// writes them from that edge and leaves the rest of the rectangle as whatever
// its scratch memory held. The portable layer writes the same pixels and
// leaves the rest alone.
#include "platform/portable/stretch_halftone.h"

#include <algorithm>
#include <vector>

namespace {

using Wide = __int128;

// [lo, hi) on one axis.
struct Range {
    Wide lo = 0;
    Wide hi = 0;
    bool Empty() const { return lo >= hi; }
};

// The coordinates a signed extent covers from its origin.
Range Bounds(int64_t origin, int64_t extent)
{
    return extent > 0 ? Range{origin, Wide{origin} + extent}
                      : Range{Wide{origin} + extent + 1, origin + 1};
}

Range Meet(Range a, Range b)
{
    return Range{std::max(a.lo, b.lo), std::min(a.hi, b.hi)};
}

// The two ends mapped, in order, widened by one each side.
Range Widened(Wide a, Wide b)
{
    return Range{std::min(a, b) - 1, std::max(a, b) + 1};
}

// The source part and destination part of one axis that are resampled onto
// each other, and how many destination pixels are written (from dest.lo).
struct AxisParts {
    Range source;
    Range dest;
    int64_t count = 0;
};

bool FindParts(const HalftoneAxis &a, AxisParts &parts)
{
    Range source = Meet(Bounds(a.sOrigin, a.sExtent), Range{0, a.length});
    Range dest = Meet(Bounds(a.dOrigin, a.dExtent), Range{a.visLo, a.visHi});
    if (source.Empty() || dest.Empty())
        return false;
    // Divisions truncate towards zero, as GDI's integer arithmetic does.
    Wide sBase = a.sOrigin + (a.sExtent < 0 ? 1 : 0);
    Wide first = (source.lo - sBase) * a.dExtent / a.sExtent;
    Wide last = (source.hi - sBase) * a.dExtent / a.sExtent;
    dest = Meet(dest, Widened(first + a.dPlaced, last + a.dPlaced));
    if (dest.Empty())
        return false;
    Wide dBase = a.dPlaced + (a.dExtent < 0 ? 1 : 0);
    first = a.sOrigin + (dest.lo - dBase) * a.sExtent / a.dExtent;
    last = a.sOrigin + (dest.hi - dBase) * a.sExtent / a.dExtent;
    source = Meet(source, Widened(first, last));
    if (source.Empty())
        return false;
    Range written = Meet(Bounds(a.dPlaced, a.dExtent), dest);
    parts.source = source;
    parts.dest = dest;
    parts.count = written.Empty() ? 0 : static_cast<int64_t>(written.hi - written.lo);
    return true;
}

int BitLength(Wide v)
{
    int bits = 0;
    for (; v > 0; v >>= 1)
        ++bits;
    return bits;
}

// The float nearest to num / den (both positive, ties to even) as
// mantissa * 2^-scale, 2^23 <= mantissa < 2^24. (GDI divides at a wider
// precision and rounds to float afterwards; for the extents tried that never
// differs from rounding once.)
void NearestFloat(int64_t num, int64_t den, Wide &mantissa, int &scale)
{
    scale = 23 - (BitLength(num) - BitLength(den));
    for (;;) {
        Wide n = scale >= 0 ? Wide{num} << scale : Wide{num};
        Wide d = scale >= 0 ? Wide{den} : Wide{den} << -scale;
        Wide q = n / d, r = n % d;
        if (q < (Wide{1} << 23)) {
            ++scale;
            continue;
        }
        if (q >= (Wide{1} << 24)) {
            --scale;
            continue;
        }
        if (2 * r > d || (2 * r == d && (q & 1) != 0))
            ++q;
        if (q == (Wide{1} << 24)) {
            q >>= 1;
            --scale;
        }
        mantissa = q;
        return;
    }
}

// v (not negative) rounded to 24 significant bits, ties to even: what
// storing it as a float does.
Wide RoundToFloat(Wide v)
{
    int extra = BitLength(v) - 24;
    if (extra <= 0)
        return v;
    Wide kept = v >> extra;
    Wide rest = v - (kept << extra);
    Wide half = Wide{1} << (extra - 1);
    if (rest > half || (rest == half && (kept & 1) != 0))
        ++kept;
    return kept << extra;
}

// Where one destination pixel samples: bitmap coordinates of the pixel and
// of the next one, and the weight of the next in 2^-shift.
struct Sample {
    int32_t c0 = 0, c1 = 0;
    Wide weight = 0;
};

struct AxisSamples {
    std::vector<Sample> samples;
    int shift = 0;
};

// copied: positions count from the part's first pixel; floatSteps: the
// position is rounded to a float before each step.
AxisSamples Sampling(const HalftoneAxis &a, const AxisParts &parts, bool copied, bool floatSteps)
{
    int64_t lo = static_cast<int64_t>(parts.source.lo), hi = static_cast<int64_t>(parts.source.hi);
    int64_t offset = copied ? lo : 0;
    Wide mantissa;
    int scale;
    NearestFloat(hi - lo, parts.count, mantissa, scale);
    AxisSamples out;
    // Every position is a whole number of the step's last bit (or of 1).
    out.shift = std::max(scale, 0);
    Wide step = scale >= 0 ? mantissa : mantissa << -scale;
    bool mirrored = (a.dExtent < 0) != (a.sExtent < 0);
    if (mirrored)
        step = -step;
    Wide first = Wide{lo - offset} << out.shift, last = Wide{hi - 1 - offset} << out.shift;
    Wide position = mirrored ? last : first;
    out.samples.resize(static_cast<size_t>(parts.count));
    for (Sample &sample : out.samples) {
        position = std::clamp(position, first, last);
        int64_t whole = static_cast<int64_t>(position >> out.shift);
        int64_t next = std::min(whole + 1, hi - 1 - offset);
        sample.c0 = static_cast<int32_t>(whole + offset);
        sample.c1 = static_cast<int32_t>(next + offset);
        sample.weight = position - (Wide{whole} << out.shift);
        position = (floatSteps ? RoundToFloat(position) : position) + step;
    }
    return out;
}

// a + (b - a) * weight / 2^shift, plus a half, truncated; per channel.
uint32_t Mix(uint32_t a, uint32_t b, Wide weight, int shift)
{
    if (shift == 0)
        return a;
    uint32_t result = 0;
    for (int channel = 0; channel <= 16; channel += 8) {
        int64_t ca = (a >> channel) & 0xFF, cb = (b >> channel) & 0xFF;
        Wide v = (Wide{ca} << shift) + Wide{cb - ca} * weight + (Wide{1} << (shift - 1));
        result |= static_cast<uint32_t>(v >> shift) << channel;
    }
    return result;
}

// Pixels c0 and c1 (c1 is c0 or the next one) of bitmap row y.
void ReadPair(const HalftoneSource &src, int32_t y, int32_t c0, int32_t c1, uint32_t pair[2])
{
    src.read(src.source, y, c0, c1 - c0 + 1, pair);
    if (c1 == c0)
        pair[1] = pair[0];
}

} // namespace

void DrawHalftone(HDC__ *dc, const HalftoneSource &src, const HalftoneAxis &ax,
                  const HalftoneAxis &ay)
{
    AxisParts px, py;
    if (!FindParts(ax, px) || !FindParts(ay, py) || px.count <= 0 || py.count <= 0)
        return;
    AxisSamples xs = Sampling(ax, px, src.copied, false);
    AxisSamples ys = Sampling(ay, py, src.copied, true);
    ResolvePendingFill(dc);
    int32_t left = static_cast<int32_t>(px.dest.lo), top = static_cast<int32_t>(py.dest.lo);
    for (size_t j = 0; j < ys.samples.size(); ++j) {
        const Sample &sy = ys.samples[j];
        uint32_t *out =
            dc->pixels + (static_cast<size_t>(top) + j) * static_cast<size_t>(dc->width) + left;
        // Pixel by pixel: a shrinking call may span a very wide source row
        // and use a few of its pixels.
        for (size_t i = 0; i < xs.samples.size(); ++i) {
            const Sample &sx = xs.samples[i];
            uint32_t upper[2], lower[2];
            ReadPair(src, sy.c0, sx.c0, sx.c1, upper);
            ReadPair(src, sy.c1, sx.c0, sx.c1, lower);
            out[i] = Mix(Mix(upper[0], upper[1], sx.weight, xs.shift),
                         Mix(lower[0], lower[1], sx.weight, xs.shift), sy.weight, ys.shift);
        }
    }
}
