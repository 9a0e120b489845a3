// Piece bitmap resources built from PNG art: palettes, quantisation to the
// catalogue's palette and depth, and width and height variant tables.
#ifndef PIECEPAINT_TOOL_BITMAP_ART_H
#define PIECEPAINT_TOOL_BITMAP_ART_H

#include "png_io.h"
#include "tool_util.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pptool {

using Rgb = std::array<uint8_t, 3>;

struct Palette {
    std::vector<Rgb> colors; // colorCount entries
    std::vector<bool> avoid; // entries the quantiser never picks
};

// What every bitmap of a catalogue shares.
struct ArtSettings {
    int32_t bitsPerPixel = 8;
    int32_t colorCount = 256;
    int32_t keyIndex = 0;
    Palette palette;
};

// The 256 colours the library selects on palette devices.
std::vector<Rgb> LibraryPalette();
// The tool's default for 256 colours, laid out for the effects that
// compute on indices: 0 black, 1 the marker, accents at 2 to 12 (odd ones
// repeating the even one below), 13 a key colour, 14 to 254 greys equal to
// their index, 255 white.
std::vector<Rgb> EffectsPalette();
// "effects" (256), "library" (256), "grey" (256 or 16) or "vga16" (16).
std::vector<Rgb> BuiltinPalette(const std::string &name, int32_t colorCount,
                                const std::string &where);
// The "palette" value of a description: a built-in name, a list of colours
// ("#rrggbb" or [r, g, b]), or {"colors": ..., "avoid": [indices]}.
Palette PaletteFromJson(const Json &value, int32_t colorCount, int32_t keyIndex,
                        const std::string &where);

// One indexed image, top row first.
struct IndexPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> indices;
};

IndexPicture Quantise(const RgbaImage &image, const ArtSettings &settings);
// Area-averaging resize (alpha-weighted).
RgbaImage ResizeRgba(const RgbaImage &image, int32_t width, int32_t height);

// BITMAPINFOHEADER + colour table + bottom-up rows.
Bytes EncodeBitmap(const IndexPicture &picture, const ArtSettings &settings);
// BITMAPINFOHEADER + colour table + variant table, entry k holding the
// piece k pixels narrower (axis 'w') or lower (axis 'h').
Bytes EncodeVariantBitmap(const std::vector<IndexPicture> &variants, char axis,
                          const ArtSettings &settings, const std::string &where);

// The largest piece art the tool builds, in pixels (4096 x 4096): art is
// resized four bytes a pixel, and a bitmap beyond this is larger than any
// picture the library paints under its default limits.
constexpr int64_t largestArtPixels = int64_t{4096} * 4096;

// A resource entry of the description with a "png" key.
Bytes BitmapFromPngEntry(const Json &entry, const ArtSettings &settings,
                         const std::filesystem::path &baseDir, const std::string &where);

} // namespace pptool

#endif
