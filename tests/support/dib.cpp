#include "support/dib.h"

#include <cstring>

namespace pptest {

namespace {

void PutPixel(uint8_t *row, int32_t x, int bpp, uint32_t value)
{
    switch (bpp) {
    case 1:
        row[x / 8] = static_cast<uint8_t>(row[x / 8] | ((value & 1) << (7 - x % 8)));
        break;
    case 4:
        row[x / 2] = static_cast<uint8_t>(row[x / 2] | ((value & 15) << (x % 2 ? 0 : 4)));
        break;
    case 8:
        row[x] = static_cast<uint8_t>(value);
        break;
    case 16:
        row[2 * x] = static_cast<uint8_t>(value);
        row[2 * x + 1] = static_cast<uint8_t>(value >> 8);
        break;
    case 24:
        row[3 * x] = static_cast<uint8_t>(value);
        row[3 * x + 1] = static_cast<uint8_t>(value >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(value >> 16);
        break;
    default:
        std::memcpy(row + 4 * x, &value, 4);
        break;
    }
}

// Appends the literal run of pixels [x, x + count) of one row.
void PutLiteral(std::vector<uint8_t> &out, const uint32_t *row, int32_t x, int32_t count, int bpp)
{
    out.push_back(0);
    out.push_back(static_cast<uint8_t>(count));
    size_t start = out.size();
    for (int32_t k = 0; k < count; ++k) {
        uint8_t v = static_cast<uint8_t>(row[x + k]);
        if (bpp == 8)
            out.push_back(v);
        else if (k % 2 == 0)
            out.push_back(static_cast<uint8_t>((v & 15) << 4));
        else
            out.back() = static_cast<uint8_t>(out.back() | (v & 15));
    }
    if ((out.size() - start) % 2 != 0)
        out.push_back(0);
}

// The pixels from x on that repeat row[x], at most 255.
int32_t RepeatLength(const uint32_t *row, int32_t x, int32_t width)
{
    int32_t n = 1;
    while (x + n < width && n < 255 && row[x + n] == row[x])
        ++n;
    return n;
}

} // namespace

std::vector<uint8_t> EncodeRle(int32_t width, int32_t height, int bpp,
                               const std::vector<uint32_t> &pixels)
{
    std::vector<uint8_t> out;
    for (int32_t y = height - 1; y >= 0; --y) {
        const uint32_t *row = pixels.data() + static_cast<size_t>(y) * width;
        int32_t x = 0;
        while (x < width) {
            int32_t literal = 0;
            while (x + literal < width && literal < 255 &&
                   RepeatLength(row, x + literal, width) == 1)
                ++literal;
            if (literal >= 3) {
                PutLiteral(out, row, x, literal, bpp);
                x += literal;
                continue;
            }
            int32_t n = RepeatLength(row, x, width);
            uint8_t v = static_cast<uint8_t>(row[x]);
            out.push_back(static_cast<uint8_t>(n));
            out.push_back(bpp == 8 ? v : static_cast<uint8_t>((v & 15) * 17));
            x += n;
        }
        out.push_back(0);
        out.push_back(y == 0 ? 1 : 0);
    }
    return out;
}

Dib MakeRleDib(int32_t width, int32_t height, int bpp, const std::vector<uint8_t> &coded,
               const std::vector<uint32_t> &colors, uint32_t clrUsed)
{
    Dib dib = MakeDib(1, 1, bpp, {0}, colors, false, clrUsed);
    BITMAPINFOHEADER &h = dib.Header();
    h.biWidth = width;
    h.biHeight = height;
    h.biCompression = bpp == 8 ? 1 : 2;
    h.biSizeImage = static_cast<DWORD>(coded.size());
    dib.bits = coded;
    return dib;
}

Dib MakeDib(int32_t width, int32_t height, int bpp, const std::vector<uint32_t> &pixels,
            const std::vector<uint32_t> &colors, bool topDown, uint32_t clrUsed)
{
    uint32_t entries = clrUsed != 0 ? clrUsed : (bpp <= 8 ? 1u << bpp : 0u);
    Dib dib;
    dib.info.assign(sizeof(BITMAPINFOHEADER) + 4 * entries, 0);
    BITMAPINFOHEADER &h = dib.Header();
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = topDown ? -height : height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bpp);
    h.biCompression = BI_RGB;
    h.biClrUsed = clrUsed;
    for (uint32_t i = 0; i < entries && i < colors.size(); ++i) {
        uint8_t *q = dib.info.data() + sizeof(BITMAPINFOHEADER) + 4 * i;
        q[0] = static_cast<uint8_t>(colors[i]);
        q[1] = static_cast<uint8_t>(colors[i] >> 8);
        q[2] = static_cast<uint8_t>(colors[i] >> 16);
        q[3] = static_cast<uint8_t>(colors[i] >> 24);
    }
    size_t stride = (static_cast<size_t>(width) * bpp + 31) / 32 * 4;
    dib.bits.assign(stride * height, 0);
    for (int32_t y = 0; y < height; ++y) {
        int32_t stored = topDown ? y : height - 1 - y;
        uint8_t *row = dib.bits.data() + stride * stored;
        for (int32_t x = 0; x < width; ++x)
            PutPixel(row, x, bpp, pixels[static_cast<size_t>(y * width + x)]);
    }
    return dib;
}

uint32_t RampColor(int32_t index)
{
    return 0x000100u * static_cast<uint32_t>(index + 1) + static_cast<uint32_t>(index);
}

Dib ColumnRamp(int32_t width)
{
    std::vector<uint32_t> pixels, colors;
    for (int32_t x = 0; x < width; ++x)
        pixels.push_back(static_cast<uint32_t>(x));
    for (int32_t i = 0; i < 256; ++i)
        colors.push_back(RampColor(i));
    return MakeDib(width, 1, 8, pixels, colors);
}

uint32_t DeviceGuard::At(int x, int y) const
{
    int width = 0, height = 0;
    const uint32_t *pixels = ppDCPixels(dc_, &width, &height);
    return pixels[static_cast<size_t>(y) * width + x];
}

std::vector<uint32_t> DeviceGuard::Row(int y) const
{
    int width = 0, height = 0;
    const uint32_t *pixels = ppDCPixels(dc_, &width, &height);
    return std::vector<uint32_t>(pixels + static_cast<size_t>(y) * width,
                                 pixels + static_cast<size_t>(y + 1) * width);
}

std::vector<uint32_t> DeviceGuard::Pixels() const
{
    int width = 0, height = 0;
    const uint32_t *pixels = ppDCPixels(dc_, &width, &height);
    return std::vector<uint32_t>(pixels, pixels + static_cast<size_t>(width) * height);
}

} // namespace pptest
