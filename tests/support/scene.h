// A composition scene: a catalogue header, placed pieces and the modules that
// hold their bitmaps, handed to ComposePicture on a portable device context.
#ifndef PIECEPAINT_TESTS_SUPPORT_SCENE_H
#define PIECEPAINT_TESTS_SUPPORT_SCENE_H

#include "compose/compose.h"
#include "support/builders.h"
#include "support/gdi_log.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace pptest {

using Bytes = std::vector<uint8_t>;

constexpr float kThreshold = 1.52f;

// An 8-bit bitmap whose every pixel is value.
inline Bytes Uniform8(int32_t width, int32_t height, uint8_t value)
{
    return BuildBitmap(width, height, 8, 256,
                       Bytes(static_cast<size_t>(width) * static_cast<size_t>(height), value));
}

// A bitmap carrying a variant table: entry k is k pixels narrower (width
// variants) or lower (height variants) than width x height, every pixel of it
// base + k.
inline Bytes VariantBitmap(int32_t width, int32_t height, bool widthVariants, int32_t entries,
                           uint8_t base)
{
    Bytes bytes = BuildBitmap(width, height, 8, 256, {});
    bytes.resize(1064);
    size_t table = bytes.size();
    bytes.resize(table + static_cast<size_t>(entries) * 8, 0);
    for (int32_t k = 0; k < entries; ++k) {
        int32_t w = widthVariants ? width - k : width;
        int32_t h = widthVariants ? height : height - k;
        uint16_t fields[4] = {0, static_cast<uint16_t>(w), static_cast<uint16_t>(h),
                              static_cast<uint16_t>(bytes.size() - table)};
        std::memcpy(bytes.data() + table + static_cast<size_t>(k) * 8, fields, 8);
        int32_t stride = RowStride(w, 8);
        for (int32_t r = 0; r < h; ++r) {
            for (int32_t c = 0; c < stride; ++c)
                bytes.push_back(c < w ? static_cast<uint8_t>(base + k) : 0);
        }
    }
    return bytes;
}

inline PlacedPiece MakePlaced(int16_t id, int16_t x, int16_t y, int16_t width, int16_t height,
                              uint16_t flags = 0)
{
    PlacedPiece p;
    std::memset(&p, 0, sizeof p);
    p.bitmapId = id;
    p.x = x;
    p.y = y;
    p.width = width;
    p.height = height;
    p.flags = flags;
    return p;
}

// Rows of a width x height 8-bit picture, pixel (x, y) from value, padding
// bytes pad.
inline Bytes Rows8(int32_t width, int32_t height, const std::function<uint8_t(int, int)> &value,
                   uint8_t pad)
{
    int32_t stride = RowStride(width, 8);
    Bytes rows;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < stride; ++x)
            rows.push_back(x < width ? value(x, y) : pad);
    }
    return rows;
}

// The width visible pixels of each row, padding dropped.
inline Bytes Visible8(const Bytes &rows, int32_t width, int32_t height)
{
    int32_t stride = RowStride(width, 8);
    Bytes out;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            out.push_back(rows.at(static_cast<size_t>(y) * stride + x));
    }
    return out;
}

struct Scene {
    CatalogHeader header = DefaultHeader();
    std::vector<PlacedPiece> pieces;
    LayoutResult layout{0, 0, 0, ATTENTION_NONE};
    ModuleGuard res;
    ModuleGuard aux;
    int32_t destLeft = 0;
    int32_t destTop = 0;
    int32_t destWidth = 0;
    int32_t destHeight = 0;
    int32_t availWidth = 0;
    int32_t availHeight = 0;
    int32_t showBadge = 0;
    int32_t levelRequest = 1; // natural size unless a test fits or zooms
    int32_t zoomPercent = 0;
    int32_t background = 255;
    int32_t brightness = 0;

    // A natural-size picture with destination and offered space equal to it.
    void Picture(int16_t width, int16_t height)
    {
        layout.width = width;
        layout.height = height;
        destWidth = availWidth = width;
        destHeight = availHeight = height;
    }
    void Add(const PlacedPiece &piece, const Bytes &bitmap)
    {
        pieces.push_back(piece);
        ((piece.flags & PIECE_AUX_MODULE) ? aux : res)
            .Add(static_cast<uint16_t>(piece.bitmapId), bitmap);
    }
    int32_t Compose(HDC hdc)
    {
        return ComposePicture(hdc, res.get(), aux.get(), destLeft, destTop, destWidth, destHeight,
                              availWidth, availHeight, showBadge, levelRequest, zoomPercent,
                              kThreshold, pieces.data(), static_cast<int32_t>(pieces.size()),
                              &layout, &header, background, brightness);
    }
};

// The last StretchDIBits call made on hdc: the picture.
inline DeviceCall PictureCall(HDC hdc)
{
    std::vector<DeviceCall> calls = CallsNamed(hdc, "StretchDIBits");
    return calls.empty() ? DeviceCall{} : calls.back();
}

// The first word of every line.
inline std::vector<std::string> Names(const std::vector<std::string> &lines)
{
    std::vector<std::string> names;
    for (const std::string &line : lines)
        names.push_back(line.substr(0, line.find(' ')));
    return names;
}

} // namespace pptest

#endif
