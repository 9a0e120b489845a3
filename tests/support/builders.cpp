#include "support/builders.h"

#include <cstring>

namespace pptest {

CatalogHeader DefaultHeader()
{
    CatalogHeader h;
    std::memset(&h, 0, sizeof h);
    h.maxPieces = 32;
    h.baseLevel = 0;
    h.levelCount = 5;
    h.idStep = 0;
    h.idBase = 0;
    h.templateOffset = CATALOG_HEADER_SIZE;
    h.bitsPerPixel = 8;
    h.colorCount = 256;
    h.keyIndex = 0;
    h.ruleFlags = RULES_ENABLED;
    return h;
}

PieceTemplate MakeTemplate(int16_t code, uint16_t placeX, uint16_t placeY)
{
    PieceTemplate t;
    std::memset(&t, 0, sizeof t);
    t.code = code;
    t.placeX = placeX;
    t.placeY = placeY;
    SetSize(t, 4, 4);
    return t;
}

void SetSize(PieceTemplate &t, int16_t width, int16_t height)
{
    for (int level = 0; level < 5; ++level) {
        t.width[level] = width;
        t.height[level] = height;
    }
}

std::vector<uint8_t> BuildCatalog(CatalogHeader header, const std::vector<PieceTemplate> &templates)
{
    header.templateOffset = CATALOG_HEADER_SIZE;
    header.templateCount = static_cast<int16_t>(templates.size());
    std::vector<uint8_t> bytes(CATALOG_HEADER_SIZE + templates.size() * PIECE_TEMPLATE_SIZE);
    std::memcpy(bytes.data(), &header, CATALOG_HEADER_SIZE);
    if (!templates.empty())
        std::memcpy(bytes.data() + CATALOG_HEADER_SIZE, templates.data(),
                    templates.size() * PIECE_TEMPLATE_SIZE);
    return bytes;
}

std::vector<uint8_t> BuildBitmap(int32_t width, int32_t height, int32_t bitsPerPixel,
                                 int32_t colorCount, const std::vector<uint8_t> &pixels)
{
    int32_t stride = bitsPerPixel == 8 ? (width + 3) / 4 * 4 : ((width + 1) / 2 + 3) / 4 * 4;
    size_t tableBytes = static_cast<size_t>(colorCount) * 4;
    std::vector<uint8_t> bytes(40 + tableBytes + static_cast<size_t>(stride) * height, 0);
    BITMAPINFOHEADER info{};
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = static_cast<WORD>(bitsPerPixel);
    info.biClrUsed = static_cast<DWORD>(colorCount);
    std::memcpy(bytes.data(), &info, 40);
    for (int32_t i = 0; i < colorCount; ++i) {
        uint8_t grey = static_cast<uint8_t>(colorCount == 16 ? i * 17 : i);
        bytes[40 + i * 4 + 0] = grey;
        bytes[40 + i * 4 + 1] = grey;
        bytes[40 + i * 4 + 2] = grey;
    }
    uint8_t *rows = bytes.data() + 40 + tableBytes;
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t c = 0; c < width; ++c) {
            size_t index = static_cast<size_t>(r) * width + c;
            uint8_t value = index < pixels.size() ? pixels[index] : 0;
            if (bitsPerPixel == 8) {
                rows[r * stride + c] = value;
            } else {
                uint8_t &byte = rows[r * stride + c / 2];
                byte = (c % 2 == 0) ? static_cast<uint8_t>((byte & 0x0F) | (value << 4))
                                    : static_cast<uint8_t>((byte & 0xF0) | (value & 0x0F));
            }
        }
    }
    return bytes;
}

} // namespace pptest
