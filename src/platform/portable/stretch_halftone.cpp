// HALFTONE: bilinear sampling at d * src / dst, without a half-pixel offset,
// clamped at the last pixel, rounded after the horizontal and again after the
// vertical pass.
#include "platform/portable/stretch_halftone.h"

#include <algorithm>
#include <vector>

namespace {

using Wide = __int128;

struct Sample {
    int32_t c0 = 0, c1 = 0; // bitmap coordinates
    uint64_t weight = 0;    // of c1, in 1/2^32
    bool valid = false;
};

int32_t Bitmap(const HalftoneAxis &axis, int64_t s)
{
    return static_cast<int32_t>(axis.sOrigin + axis.sDir * s);
}

int64_t Index(const HalftoneAxis &axis, int32_t c)
{
    return (c - axis.dOrigin) * axis.dDir;
}

std::vector<Sample> HalftoneSamples(const HalftoneAxis &axis)
{
    std::vector<Sample> samples(static_cast<size_t>(axis.hi - axis.lo));
    // Positions advance by src / dst in 32.32 fixed point, rounded up: a tie
    // between two source pixels leans to the second.
    Wide step = ((Wide{axis.src} << 32) + axis.dst - 1) / axis.dst;
    for (size_t i = 0; i < samples.size(); ++i) {
        int64_t d = Index(axis, axis.lo + static_cast<int32_t>(i));
        Wide position = Wide{d} * step;
        int64_t s0 = static_cast<int64_t>(position >> 32);
        uint64_t fraction = static_cast<uint64_t>(position & 0xFFFFFFFFu);
        int64_t s1 = std::min(s0 + 1, axis.src - 1);
        if (s0 < axis.inLo || s0 >= axis.inHi)
            continue;
        if (s1 >= axis.inHi)
            s1 = s0;
        samples[i] = Sample{Bitmap(axis, s0), Bitmap(axis, s1), fraction, true};
    }
    return samples;
}

// a and b mixed by weight / 2^32 of b, each channel rounded to nearest.
uint32_t Blend(uint32_t a, uint32_t b, uint64_t weight)
{
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint64_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        uint64_t c =
            (ca * ((uint64_t{1} << 32) - weight) + cb * weight + (uint64_t{1} << 31)) >> 32;
        result |= static_cast<uint32_t>(c) << shift;
    }
    return result;
}

uint32_t SourcePixel(const HalftoneSource &src, int32_t y, int32_t x)
{
    uint32_t pixel = 0;
    src.read(src.source, y, x, 1, &pixel);
    return pixel;
}

} // namespace

void DrawHalftone(HDC__ *dc, const HalftoneSource &src, const HalftoneAxis &ax,
                  const HalftoneAxis &ay)
{
    std::vector<Sample> xs = HalftoneSamples(ax);
    std::vector<Sample> ys = HalftoneSamples(ay);
    for (int32_t y = ay.lo; y < ay.hi; ++y) {
        const Sample &sy = ys[static_cast<size_t>(y - ay.lo)];
        if (!sy.valid)
            continue;
        uint32_t *out =
            dc->pixels + static_cast<size_t>(y) * static_cast<size_t>(dc->width) + ax.lo;
        for (size_t i = 0; i < xs.size(); ++i) {
            const Sample &sx = xs[i];
            if (!sx.valid)
                continue;
            uint32_t top =
                Blend(SourcePixel(src, sy.c0, sx.c0), SourcePixel(src, sy.c0, sx.c1), sx.weight);
            uint32_t bottom =
                Blend(SourcePixel(src, sy.c1, sx.c0), SourcePixel(src, sy.c1, sx.c1), sx.weight);
            out[i] = Blend(top, bottom, sy.weight);
        }
    }
}
