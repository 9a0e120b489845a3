// The nearest-neighbour StretchDIBits against the mapping worked out pixel by
// pixel: random sizes and ratios (enlarging, shrinking up to 80 to 1, one
// axis each way), mirrored, clipped and partly outside the bitmap and the
// surface, in the three nearest-neighbour modes, from every source format,
// on pictures with flat runs and repeated rows as composed pictures have;
// at every vector level, whose kernels draw the rows differently.
#include "support/dib.h"
#include "support/vector_levels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using pptest::DeviceGuard;
using pptest::Dib;

// 800 bytes a row: rows start on 32-byte boundaries but not all on 64-byte
// ones. kAlignedWidth's rows all start on 64-byte boundaries.
constexpr int kSurfaceWidth = 200;
constexpr int kAlignedWidth = 192;
constexpr int kSurfaceHeight = 30;
constexpr uint32_t kUntouched = 0x00FEDCBA;

struct Format {
    std::string name;
    int bpp;
    bool rgb565; // BI_BITFIELDS with 5-6-5 masks
    friend void PrintTo(const Format &f, std::ostream *os) { *os << f.name; }
};

struct Picture {
    Dib dib;
    int width, height;
    std::vector<uint32_t> colour; // the surface value of each pixel, top row first
};

uint32_t Expand(uint32_t v, int bits)
{
    return bits == 5 ? (v << 3) | (v >> 2) : (v << 2) | (v >> 4);
}

// Runs of a few values, and rows that often repeat the row above.
Picture MakePicture(const Format &f, std::mt19937 &rng, int width, int height)
{
    Picture p;
    p.width = width;
    p.height = height;
    const uint32_t valueMask = f.bpp >= 24 ? 0xFFFFFFFFu : (1u << f.bpp) - 1;
    uint32_t values[3];
    for (uint32_t &v : values)
        v = rng() & valueMask;
    std::vector<uint32_t> pixels;
    for (int y = 0; y < p.height; ++y) {
        if (y > 0 && rng() % 2 == 0) {
            pixels.insert(pixels.end(), pixels.end() - p.width, pixels.end());
            continue;
        }
        for (int x = 0; x < p.width;) {
            const uint32_t v = rng() % 4 == 0 ? rng() & valueMask : values[rng() % 3];
            // Often a run that ends where the kernels' 16-column chunks do.
            const int length = rng() % 4 ? 16 - x % 16 : 1 + static_cast<int>(rng() % 40);
            for (int run = length; run > 0 && x < p.width; --run, ++x)
                pixels.push_back(v);
        }
    }
    std::vector<uint32_t> table;
    if (f.bpp <= 8)
        for (int i = 0; i < (1 << f.bpp); ++i)
            table.push_back(rng());
    p.dib = pptest::MakeDib(p.width, p.height, f.bpp, pixels, table);
    if (f.rgb565) {
        p.dib.Header().biCompression = 3;
        for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu})
            for (int k = 0; k < 4; ++k)
                p.dib.info.push_back(static_cast<uint8_t>(mask >> (8 * k)));
    }
    for (uint32_t v : pixels) {
        if (f.bpp <= 8)
            p.colour.push_back(table[v] & 0xFFFFFFu);
        else if (f.rgb565)
            p.colour.push_back(Expand(v >> 11 & 31, 5) << 16 | Expand(v >> 5 & 63, 6) << 8 |
                               Expand(v & 31, 5));
        else if (f.bpp == 16)
            p.colour.push_back(Expand(v >> 10 & 31, 5) << 16 | Expand(v >> 5 & 31, 5) << 8 |
                               Expand(v & 31, 5));
        else
            p.colour.push_back(f.bpp == 24 ? v & 0xFFFFFFu : v);
    }
    return p;
}

Picture MakePicture(const Format &f, std::mt19937 &rng)
{
    const int width = 1 + static_cast<int>(rng() % (rng() % 3 == 0 ? 160 : 80));
    return MakePicture(f, rng, width, 1 + static_cast<int>(rng() % 24));
}

// The bitmap coordinates, in mapping order, that destination coordinate c
// shows along one axis; empty when c is outside the destination.
std::vector<int> Sources(int c, int origin, int extent, int sOrigin, int sExtent, int length)
{
    const int64_t dst = std::abs(extent), src = std::abs(sExtent);
    const int64_t d = static_cast<int64_t>(c - origin) * (extent < 0 ? -1 : 1);
    std::vector<int> out;
    if (d < 0 || d >= dst)
        return out;
    for (int64_t s = 0; s < src; ++s) {
        const bool mine = dst >= src ? s == ((2 * d + 1) * src - 1) / (2 * dst)
                                     : d == ((2 * s + 1) * dst - 1) / (2 * src);
        const int64_t b = sOrigin + (sExtent < 0 ? -s : s);
        if (mine && b >= 0 && b < length)
            out.push_back(static_cast<int>(b));
    }
    return out;
}

struct Call {
    int dx, dy, dw, dh, sx, sy, sw, sh;
};

// An extent and an origin along one axis. Where the call mirrors that axis
// the source stays inside the bitmap: GDI places a mirrored source that
// runs past the bitmap differently, which other tests cover.
void RandomAxis(std::mt19937 &rng, int length, int surface, int &d, int &dExtent, int &s,
                int &sExtent)
{
    const int src = 1 + static_cast<int>(rng() % (rng() % 3 == 0 ? 80 : 30));
    const int dst = 1 + static_cast<int>(rng() % (rng() % 3 == 0 ? 120 : 40));
    sExtent = rng() % 4 == 0 ? -src : src;
    dExtent = rng() % 4 == 0 ? -dst : dst;
    d = static_cast<int>(rng() % static_cast<unsigned>(surface + 20)) - 10;
    if (sExtent < 0 || dExtent < 0) {
        const int inside = std::min(src, length);
        sExtent = sExtent < 0 ? -inside : inside;
        const int lo = static_cast<int>(rng() % static_cast<unsigned>(length - inside + 1));
        s = sExtent < 0 ? lo + inside - 1 : lo;
    } else {
        s = static_cast<int>(rng() % static_cast<unsigned>(length + 10)) - 5;
    }
}

std::vector<uint32_t> Expected(const Picture &p, const Call &c, int mode, int clipLeft,
                               int clipRight, int surfaceWidth)
{
    std::vector<uint32_t> surface(static_cast<size_t>(surfaceWidth * kSurfaceHeight), kUntouched);
    // Source rows count from the bottom of the bitmap; the mapping runs over
    // rows counted from the top.
    const int top = p.height - c.sy - c.sh;
    const bool shrinking = std::abs(c.dw) < std::abs(c.sw) || std::abs(c.dh) < std::abs(c.sh);
    const bool combine = shrinking && mode != COLORONCOLOR;
    for (int y = 0; y < kSurfaceHeight; ++y) {
        const std::vector<int> rows = Sources(y, c.dy, c.dh, top, c.sh, p.height);
        for (int x = clipLeft; x < clipRight && !rows.empty(); ++x) {
            const std::vector<int> columns = Sources(x, c.dx, c.dw, c.sx, c.sw, p.width);
            if (columns.empty())
                continue;
            // COLORONCOLOR keeps the group's last column and first row.
            uint32_t value = p.colour[static_cast<size_t>(rows[0] * p.width + columns.back())];
            for (int r : rows)
                for (int col : columns) {
                    if (!combine)
                        break;
                    const uint32_t v = p.colour[static_cast<size_t>(r * p.width + col)];
                    value = mode == BLACKONWHITE ? value & v : value | v;
                }
            surface[static_cast<size_t>(y * surfaceWidth + x)] = value;
        }
    }
    return surface;
}

// One call on a fresh surface against the mapping worked out pixel by pixel.
void CheckCall(const Picture &p, const Call &c, int mode, int clipLeft, int clipRight, int i,
               int surfaceWidth = kSurfaceWidth)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, surfaceWidth, kSurfaceHeight);
    ppDCSetLogging(dc.get(), 0);
    ppDCFill(dc.get(), kUntouched);
    HRGN clip = CreateRectRgn(clipLeft, -5, clipRight, kSurfaceHeight + 5);
    SelectObject(dc.get(), clip);
    DeleteObject(clip);
    SetStretchBltMode(dc.get(), mode);
    StretchDIBits(dc.get(), c.dx, c.dy, c.dw, c.dh, c.sx, c.sy, c.sw, c.sh, p.dib.Bits(),
                  p.dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    ASSERT_EQ(dc.Pixels(), Expected(p, c, mode, clipLeft, clipRight, surfaceWidth))
        << "call " << i << ": " << p.width << "x" << p.height << " dest " << c.dx << "," << c.dy
        << " " << c.dw << "x" << c.dh << " source " << c.sx << "," << c.sy << " " << c.sw << "x"
        << c.sh << " mode " << mode << " clip " << clipLeft << ".." << clipRight;
}

void CheckRandomCalls(const Format &f)
{
    std::mt19937 rng(static_cast<unsigned>(f.bpp * 7 + f.rgb565));
    for (int i = 0; i < 2000; ++i) {
        const Picture p = MakePicture(f, rng);
        Call c{};
        RandomAxis(rng, p.width, kSurfaceWidth, c.dx, c.dw, c.sx, c.sw);
        RandomAxis(rng, p.height, kSurfaceHeight, c.dy, c.dh, c.sy, c.sh);
        c.sy = p.height - c.sy - c.sh; // the call counts source rows from the bottom
        const int modes[] = {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR};
        const int clipLeft = rng() % 2 ? static_cast<int>(rng() % 30) : 0;
        const int clipRight = kSurfaceWidth - (rng() % 2 ? static_cast<int>(rng() % 30) : 0);
        CheckCall(p, c, modes[i % 3], clipLeft, clipRight, i);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

// Widths around the limits of the kernels' blocks: the last partial block
// of eight pixels, sources of exactly twice the destination (a block of
// eight spans sixteen columns, one of 64 spans 128) and one more (groups of
// three columns, drawn another way), rows of several blocks of 64 with a
// short last one, 1:1, and enlarging; each mirrored as well, and with the
// rows shrunk to groups of two and three too.
void CheckBlockEdges(const Format &f)
{
    const struct {
        int src, dst;
    } widths[] = {{160, 80}, {161, 80}, {158, 79}, {90, 89},   {89, 89},
                  {50, 89},  {45, 90},  {7, 9},    {400, 200}, {300, 193}};
    const struct {
        int src, dst;
    } heights[] = {{12, 20}, {30, 12}};
    std::mt19937 rng(static_cast<unsigned>(f.bpp));
    int i = 0;
    for (const auto &w : widths)
        for (const auto &h : heights)
            for (bool mirrored : {false, true})
                for (int mode : {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR}) {
                    const Picture p = MakePicture(f, rng, w.src, h.src);
                    Call c{0, 2, w.dst, h.dst, 0, 0, w.src, h.src};
                    if (mirrored) {
                        c.sx = w.src - 1;
                        c.sw = -w.src;
                    }
                    CheckCall(p, c, mode, 0, kSurfaceWidth, i++);
                    if (::testing::Test::HasFatalFailure())
                        return;
                }
}

// Destinations starting at every pixel of a 64-byte block of a surface
// whose rows all start on one: the kernels' blocks then start after a lead
// of one to fifteen pixels drawn apart.
void CheckAlignedLeads(const Format &f)
{
    std::mt19937 rng(static_cast<unsigned>(f.bpp + 100));
    int i = 0;
    for (int x = 0; x < 16; ++x)
        for (const int src : {150, 300})
            for (int mode : {BLACKONWHITE, COLORONCOLOR}) {
                const Picture p = MakePicture(f, rng, src, 12);
                const Call c{x, 1, 160, 16, 0, 0, src, 12};
                CheckCall(p, c, mode, 0, kAlignedWidth, i++, kAlignedWidth);
                if (::testing::Test::HasFatalFailure())
                    return;
            }
}

class StretchKernels : public ::testing::TestWithParam<Format> {};

TEST_P(StretchKernels, MatchThePixelByPixelMapping)
{
    pptest::AtEveryVectorLevel([this] { CheckRandomCalls(GetParam()); });
}

TEST_P(StretchKernels, BlockEdgesMatchThePixelByPixelMapping)
{
    pptest::AtEveryVectorLevel([this] { CheckBlockEdges(GetParam()); });
}

TEST_P(StretchKernels, AlignedLeadsMatchThePixelByPixelMapping)
{
    pptest::AtEveryVectorLevel([this] { CheckAlignedLeads(GetParam()); });
}

INSTANTIATE_TEST_SUITE_P(Formats, StretchKernels,
                         ::testing::Values(Format{"bpp1", 1, false}, Format{"bpp4", 4, false},
                                           Format{"bpp8", 8, false}, Format{"bpp16", 16, false},
                                           Format{"bpp16_565", 16, true},
                                           Format{"bpp24", 24, false}, Format{"bpp32", 32, false}),
                         [](const auto &info) { return info.param.name; });

} // namespace
