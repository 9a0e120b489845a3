// Plain, step-by-step versions of the image operations, written straight
// from their rules with no shortcut, against which the fast versions are
// compared byte for byte.
#ifndef PIECEPAINT_TESTS_IMAGEOPS_REFERENCE_H
#define PIECEPAINT_TESTS_IMAGEOPS_REFERENCE_H

#include "guarded.h"
#include "imageops/lowindex.h"
#include "imageops/smoothing.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pptest {

struct Weights {
    int32_t corner, edge, centre, divisor, offset, force;
};

// The filter written out pixel by pixel from a copy of the picture.
inline std::vector<uint8_t> ReferenceFilter(const std::vector<uint8_t> &in, int32_t width,
                                            int32_t height, int32_t stride, uint8_t bg,
                                            const Weights &w)
{
    std::vector<uint8_t> out(in.size(), bg);
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t c = 0; c < width; ++c) {
            auto at = [&](int32_t dr, int32_t dc) { return in[(r + dr) * stride + c + dc]; };
            uint8_t m = at(0, 0);
            out[r * stride + c] = m;
            if (m == bg || r == 0 || r == height - 1 || c == 0 || c == width - 1)
                continue;
            bool touches = false;
            for (int32_t dr = -1; dr <= 1; ++dr)
                for (int32_t dc = -1; dc <= 1; ++dc)
                    touches |= (dr || dc) && at(dr, dc) == bg;
            if (touches && !w.force)
                continue;
            int64_t sum = int64_t{w.corner} * (at(-1, -1) + at(-1, 1) + at(1, -1) + at(1, 1)) +
                          int64_t{w.edge} * (at(0, -1) + at(0, 1) + at(-1, 0) + at(1, 0)) +
                          int64_t{w.centre} * m;
            if (w.divisor > 1)
                sum /= w.divisor;
            sum = std::clamp<int64_t>(sum + w.offset, 0, 254);
            out[r * stride + c] = static_cast<uint8_t>(LowIndexDown(static_cast<int32_t>(sum)));
        }
    }
    return out;
}

// The area average written out step by step, one column at a time, reading
// the pixel past each row as it goes.
inline void ReferenceShrink(std::vector<uint8_t> &px, int32_t oldWidth, int32_t oldHeight,
                            int32_t newWidth, int32_t newHeight, int32_t oldStride,
                            int32_t newStride)
{
    uint32_t wa = oldWidth, wn = newWidth, ha = oldHeight, hn = newHeight;
    while (wa && wn && wa % 2 == 0 && wn % 2 == 0)
        wa /= 2, wn /= 2;
    while (ha && hn && ha % 2 == 0 && hn % 2 == 0)
        ha /= 2, hn /= 2;
    for (int32_t r = 0; r < oldHeight; ++r) {
        size_t in = r * oldStride, out = r * newStride;
        uint32_t f = wa, g = 0;
        for (int32_t count = 0; count < newWidth; ++in) {
            uint32_t v = px[in];
            if (f >= wn) {
                g += wn * v, f -= wn;
            } else {
                px[out++] = static_cast<uint8_t>((f * v + g) / wa);
                ++count, g = (wn - f) * v, f += wa - wn;
            }
        }
        for (int32_t k = newWidth; k < newStride; ++k)
            px[out++] = 0;
    }
    for (int32_t c = 0; c < newStride; ++c) {
        uint32_t f = ha, g = 0;
        int32_t count = 0;
        for (int32_t r = 0; r < oldHeight; ++r) {
            uint32_t v = px[r * newStride + c];
            if (f >= hn) {
                g += hn * v, f -= hn;
            } else {
                px[count++ * newStride + c] = static_cast<uint8_t>(LowIndexDown((f * v + g) / ha));
                g = (hn - f) * v, f += ha - hn;
            }
        }
        if (count < newHeight)
            px[count * newStride + c] = static_cast<uint8_t>(LowIndexDown(g / ha));
    }
}

// The error-term walk written out with one term carried over all rows.
inline std::vector<uint8_t> ReferenceRepeat(const std::vector<uint8_t> &source, int32_t sw,
                                            int32_t sh, int32_t tw, int32_t th)
{
    int32_t ss = Stride8(sw), ts = Stride8(tw);
    std::vector<uint8_t> out;
    int32_t v = sh, h = sw;
    for (int32_t r = 0; r < sh; ++r) {
        v += th % sh;
        int32_t copies = th / sh;
        if (v > sh)
            ++copies, v -= sh;
        for (int32_t k = 0; k < copies; ++k) {
            for (int32_t c = 0; c < sw; ++c) {
                h += tw % sw;
                int32_t n = tw / sw;
                if (h > sw)
                    ++n, h -= sw;
                out.insert(out.end(), n, source[r * ss + c]);
            }
            out.insert(out.end(), ts - tw, 0);
        }
    }
    return out;
}

// Brightness byte by byte.
inline void ReferenceAdjust(std::vector<uint8_t> &px, int32_t offset)
{
    int32_t shift = static_cast<int8_t>(offset & 0xFF);
    for (uint8_t &v : px) {
        if (shift == 0 || v == 255 || v == 1)
            continue;
        v = static_cast<uint8_t>(LowIndexDown(std::clamp(v + shift, 0, 254)));
    }
}

inline void ReferenceReplace(std::vector<uint8_t> &px, int32_t newIndex, int32_t oldIndex)
{
    for (uint8_t &v : px)
        if (v == static_cast<uint8_t>(oldIndex))
            v = static_cast<uint8_t>(newIndex);
}

// Edge smoothing pixel by pixel: the corner test with the picture's border,
// the two walks, the ramp, and the merge. The walks and ramps themselves
// are the library's, which have their own tests.
inline std::vector<uint8_t> ReferenceSmooth(std::vector<uint8_t> px, int32_t width, int32_t height,
                                            int32_t stride, uint8_t b)
{
    std::vector<uint8_t> work(px.size(), b);
    if (px.empty())
        return px;
    const uint8_t *last = px.data() + px.size() - 1;
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t c = 0; c < width; ++c) {
            uint8_t *p = &px[r * stride + c];
            if (*p != b)
                continue;
            auto inside = [&](int32_t dr, int32_t dc) {
                return r + dr >= 0 && r + dr < height && c + dc >= 0 && c + dc < width;
            };
            auto value = [&](int32_t dr, int32_t dc) -> int32_t {
                return inside(dr, dc) ? px[(r + dr) * stride + c + dc] : b;
            };
            auto bg = [&](int32_t dr, int32_t dc) { return inside(dr, dc) && value(dr, dc) == b; };
            bool left = bg(0, -1), right = bg(0, 1), next = bg(1, 0), previous = bg(-1, 0);
            int32_t d, dirA, limA, dirB, limB;
            if (!left && right && !next && previous)
                d = (value(1, 0) + value(0, -1)) / 2, dirA = 1, limA = width - c, dirB = 5,
                limB = r;
            else if (left && !right && !next && previous)
                d = (value(1, 0) + value(0, 1)) / 2, dirA = 2, limA = c, dirB = 6, limB = r;
            else if (!left && right && next && !previous)
                d = (value(-1, 0) + value(0, -1)) / 2, dirA = 3, limA = width - c, dirB = 7,
                limB = height - r;
            else if (left && !right && next && !previous)
                d = (value(-1, 0) + value(0, 1)) / 2, dirA = 4, limA = c, dirB = 8,
                limB = height - r;
            else
                continue;
            RunResult a = TraceRun(p, px.data(), last, stride, b, limA, dirA);
            RunResult e = TraceRun(p, px.data(), last, stride, b, limB, dirB);
            if (a.length >= 2 && e.length >= 2)
                continue;
            int32_t lengthA = a.open ? 0 : a.length, lengthB = e.open ? 0 : e.length;
            if (lengthA >= 2)
                FillRamp(&work[r * stride + c], lengthA, d, b, dirA, stride);
            if (lengthB >= 2)
                FillRamp(&work[r * stride + c], lengthB, d, b, dirB, stride);
        }
    }
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = work[i] != b ? work[i] : (px[i] == 1 ? b : px[i]);
    return px;
}

} // namespace pptest

#endif
