// PNG files in and out, through libpng.
#ifndef PIECEPAINT_TOOL_PNG_IO_H
#define PIECEPAINT_TOOL_PNG_IO_H

#include <cstdint>
#include <filesystem>
#include <vector>

namespace pptool {

// Pixels top row first, four bytes (red, green, blue, alpha) per pixel.
struct RgbaImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
};

// A palettised PNG as it is stored: one index per pixel, top row first.
struct IndexedImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> indices;
};

RgbaImage ReadPngRgba(const std::filesystem::path &path);
// Fails unless the file is a palette-type PNG.
IndexedImage ReadPngIndexed(const std::filesystem::path &path);
// Writes an opaque RGB picture (alpha ignored).
void WritePngRgb(const std::filesystem::path &path, const RgbaImage &image);

} // namespace pptool

#endif
