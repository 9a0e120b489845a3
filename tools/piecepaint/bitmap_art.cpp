#include "bitmap_art.h"

#include "api/palette.h"

#include <cmath>
#include <limits>
#include <map>

namespace pptool {

std::vector<Rgb> LibraryPalette()
{
    PALETTEENTRY entries[256];
    BuildPaletteEntries(entries);
    std::vector<Rgb> colors;
    for (const PALETTEENTRY &entry : entries)
        colors.push_back({entry.peRed, entry.peGreen, entry.peBlue});
    return colors;
}

std::vector<Rgb> EffectsPalette()
{
    // Accents at even indices 2 to 12, each repeated at the odd index above
    // it (the effects lower a computed odd index below 14 by one).
    static const Rgb accents[6] = {{196, 48, 36},  {72, 156, 56}, {64, 116, 196},
                                   {248, 204, 40}, {128, 80, 40}, {32, 100, 44}};
    std::vector<Rgb> colors(256);
    colors[0] = {0, 0, 0};
    colors[1] = {255, 0, 255}; // the marker
    for (size_t i = 0; i < 6; ++i)
        colors[2 + 2 * i] = colors[3 + 2 * i] = accents[i];
    colors[13] = {255, 0, 255}; // a key colour
    for (size_t i = 14; i < 256; ++i)
        colors[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)};
    return colors;
}

std::vector<Rgb> BuiltinPalette(const std::string &name, int32_t colorCount,
                                const std::string &where)
{
    if (name == "effects") {
        if (colorCount != 256)
            throw ToolError(where +
                            ": the \"effects\" palette has 256 colours but the catalogue "
                            "has colorCount " +
                            std::to_string(colorCount));
        return EffectsPalette();
    }
    if (name == "grey" || name == "gray") {
        std::vector<Rgb> colors;
        for (int32_t i = 0; i < colorCount; ++i) {
            uint8_t v = static_cast<uint8_t>(colorCount == 16 ? i * 17 : i);
            colors.push_back({v, v, v});
        }
        return colors;
    }
    if (name == "library") {
        if (colorCount != 256)
            throw ToolError(where +
                            ": the \"library\" palette has 256 colours but the catalogue "
                            "has colorCount " +
                            std::to_string(colorCount));
        return LibraryPalette();
    }
    if (name == "vga16") {
        if (colorCount != 16)
            throw ToolError(where +
                            ": the \"vga16\" palette has 16 colours but the catalogue has "
                            "colorCount " +
                            std::to_string(colorCount));
        return {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    }
    throw ToolError(where + ": unknown built-in palette \"" + name + "\"" +
                    DidYouMean(name, {"effects", "library", "grey", "vga16"}) +
                    " (known: effects, library, grey, vga16)");
}

namespace {

Rgb ColourFromJson(const Json &value, const std::string &where)
{
    if (value.is_string()) {
        std::string text = value.get<std::string>();
        if (text.size() == 7 && text[0] == '#') {
            Bytes bytes = FromHex(text.substr(1), where);
            return {bytes[0], bytes[1], bytes[2]};
        }
    } else if (value.is_array() && value.size() == 3) {
        Rgb colour;
        for (size_t i = 0; i < 3; ++i)
            colour[i] = static_cast<uint8_t>(
                ReadInteger(value[i], where + "[" + std::to_string(i) + "]", 0, 255));
        return colour;
    }
    throw ToolError(where + ": a colour is \"#rrggbb\" or [red, green, blue], got " + value.dump());
}

std::vector<Rgb> ColoursFromJson(const Json &value, int32_t colorCount, const std::string &where)
{
    if (value.is_string())
        return BuiltinPalette(value.get<std::string>(), colorCount, where);
    if (!value.is_array())
        throw ToolError(where + ": expected a built-in palette name or a list of colours");
    if (value.size() != static_cast<size_t>(colorCount))
        throw ToolError(where + ": the palette has " + std::to_string(value.size()) +
                        " colours but the catalogue's colorCount is " + std::to_string(colorCount));
    std::vector<Rgb> colors;
    for (size_t i = 0; i < value.size(); ++i)
        colors.push_back(ColourFromJson(value[i], where + "[" + std::to_string(i) + "]"));
    return colors;
}

} // namespace

Palette PaletteFromJson(const Json &value, int32_t colorCount, int32_t keyIndex,
                        const std::string &where)
{
    Palette palette;
    const Json *colours = &value;
    // In a 256-colour picture 255 is the background while composing and 1 a
    // marker that edge smoothing turns into background: art avoids both.
    std::vector<int64_t> avoid;
    if (colorCount == 256)
        avoid = {1, 255};
    if (value.is_object()) {
        for (auto &[key, item] : value.items())
            if (key != "colors" && key != "avoid" && key != "comment")
                throw ToolError(where + ": unknown key \"" + key +
                                "\" (known: colors, avoid, comment)");
        if (!value.contains("colors"))
            throw ToolError(where + ": missing \"colors\"");
        colours = &value["colors"];
        if (value.contains("avoid")) {
            avoid.clear();
            const Json &list = value["avoid"];
            if (!list.is_array())
                throw ToolError(where + ".avoid: expected a list of colour indices");
            for (size_t i = 0; i < list.size(); ++i)
                avoid.push_back(ReadInteger(list[i], where + ".avoid[" + std::to_string(i) + "]", 0,
                                            colorCount - 1));
        }
    }
    palette.colors = ColoursFromJson(*colours, colorCount, where);
    palette.avoid.assign(static_cast<size_t>(colorCount), false);
    for (int64_t index : avoid)
        palette.avoid[static_cast<size_t>(index)] = true;
    if (keyIndex >= 0 && keyIndex < colorCount)
        palette.avoid[static_cast<size_t>(keyIndex)] = true;
    return palette;
}

IndexPicture Quantise(const RgbaImage &image, const ArtSettings &settings)
{
    IndexPicture picture;
    picture.width = image.width;
    picture.height = image.height;
    picture.indices.resize(static_cast<size_t>(image.width) * image.height);
    std::map<uint32_t, uint8_t> nearest;
    const std::vector<Rgb> &colors = settings.palette.colors;
    for (size_t p = 0; p < picture.indices.size(); ++p) {
        const uint8_t *px = &image.pixels[p * 4];
        if (px[3] < 128) {
            picture.indices[p] = static_cast<uint8_t>(settings.keyIndex);
            continue;
        }
        uint32_t key = uint32_t{px[0]} << 16 | uint32_t{px[1]} << 8 | px[2];
        auto found = nearest.find(key);
        if (found == nearest.end()) {
            int64_t best = std::numeric_limits<int64_t>::max();
            uint8_t bestIndex = 0;
            for (size_t i = 0; i < colors.size(); ++i) {
                if (settings.palette.avoid[i])
                    continue;
                int64_t dr = int64_t{px[0]} - colors[i][0];
                int64_t dg = int64_t{px[1]} - colors[i][1];
                int64_t db = int64_t{px[2]} - colors[i][2];
                int64_t distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                if (distance < best) {
                    best = distance;
                    bestIndex = static_cast<uint8_t>(i);
                }
            }
            found = nearest.emplace(key, bestIndex).first;
        }
        picture.indices[p] = found->second;
    }
    return picture;
}

namespace {

// Weights of the source cells that cover each destination cell along one
// axis: pairs of (source index, weight), weights summing to 1.
std::vector<std::vector<std::pair<int32_t, double>>> AreaWeights(int32_t from, int32_t to)
{
    std::vector<std::vector<std::pair<int32_t, double>>> weights(static_cast<size_t>(to));
    double scale = static_cast<double>(from) / to;
    for (int32_t d = 0; d < to; ++d) {
        double start = d * scale;
        double end = start + scale;
        for (int32_t s = static_cast<int32_t>(std::floor(start)); s < end && s < from; ++s) {
            double overlap = std::min<double>(end, s + 1) - std::max<double>(start, s);
            if (overlap > 1e-9)
                weights[static_cast<size_t>(d)].push_back({s, overlap / scale});
        }
    }
    return weights;
}

} // namespace

RgbaImage ResizeRgba(const RgbaImage &image, int32_t width, int32_t height)
{
    if (width == image.width && height == image.height)
        return image;
    auto wx = AreaWeights(image.width, width);
    auto wy = AreaWeights(image.height, height);
    RgbaImage out;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<size_t>(width) * height * 4);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            double sum[4] = {0, 0, 0, 0};
            for (auto [sy, fy] : wy[static_cast<size_t>(y)]) {
                for (auto [sx, fx] : wx[static_cast<size_t>(x)]) {
                    const uint8_t *px =
                        &image.pixels[(static_cast<size_t>(sy) * image.width + sx) * 4];
                    double w = fx * fy * px[3] / 255.0;
                    sum[0] += px[0] * w;
                    sum[1] += px[1] * w;
                    sum[2] += px[2] * w;
                    sum[3] += fx * fy * px[3];
                }
            }
            uint8_t *dst = &out.pixels[(static_cast<size_t>(y) * width + x) * 4];
            double alpha = sum[3] / 255.0;
            for (int c = 0; c < 3; ++c)
                dst[c] = alpha > 0 ? static_cast<uint8_t>(std::lround(sum[c] / alpha)) : 0;
            dst[3] = static_cast<uint8_t>(std::lround(sum[3]));
        }
    }
    return out;
}

namespace {

constexpr size_t infoHeaderSize = 40;

Bytes InfoAndColours(int32_t width, int32_t height, uint32_t imageSize, const ArtSettings &settings)
{
    size_t tableBytes = static_cast<size_t>(settings.colorCount) * 4;
    Bytes bytes(infoHeaderSize + tableBytes, 0);
    PutU32(bytes, 0, infoHeaderSize);
    PutU32(bytes, 4, static_cast<uint32_t>(width));
    PutU32(bytes, 8, static_cast<uint32_t>(height));
    PutU16(bytes, 12, 1);
    PutU16(bytes, 14, static_cast<uint16_t>(settings.bitsPerPixel));
    PutU32(bytes, 20, imageSize);
    PutU32(bytes, 32, static_cast<uint32_t>(settings.colorCount));
    for (size_t i = 0; i < settings.palette.colors.size(); ++i) {
        const Rgb &c = settings.palette.colors[i];
        bytes[infoHeaderSize + i * 4 + 0] = c[2];
        bytes[infoHeaderSize + i * 4 + 1] = c[1];
        bytes[infoHeaderSize + i * 4 + 2] = c[0];
    }
    return bytes;
}

// Bottom-up rows of the picture at the catalogue's depth.
Bytes PackRows(const IndexPicture &picture, int32_t bitsPerPixel)
{
    int32_t stride = RowStride(picture.width, bitsPerPixel);
    Bytes rows(static_cast<size_t>(stride) * picture.height, 0);
    for (int32_t r = 0; r < picture.height; ++r) {
        const uint8_t *src =
            &picture.indices[static_cast<size_t>(picture.height - 1 - r) * picture.width];
        uint8_t *dst = &rows[static_cast<size_t>(r) * stride];
        for (int32_t c = 0; c < picture.width; ++c) {
            if (bitsPerPixel == 8)
                dst[c] = src[c];
            else if (c % 2 == 0)
                dst[c / 2] = static_cast<uint8_t>(dst[c / 2] | (src[c] & 0x0F) << 4);
            else
                dst[c / 2] = static_cast<uint8_t>(dst[c / 2] | (src[c] & 0x0F));
        }
    }
    return rows;
}

} // namespace

Bytes EncodeBitmap(const IndexPicture &picture, const ArtSettings &settings)
{
    Bytes rows = PackRows(picture, settings.bitsPerPixel);
    Bytes bytes =
        InfoAndColours(picture.width, picture.height, static_cast<uint32_t>(rows.size()), settings);
    bytes.insert(bytes.end(), rows.begin(), rows.end());
    return bytes;
}

Bytes EncodeVariantBitmap(const std::vector<IndexPicture> &variants, char axis,
                          const ArtSettings &settings, const std::string &where)
{
    const IndexPicture &full = variants.front();
    Bytes table(variants.size() * 8, 0);
    for (size_t k = 0; k < variants.size(); ++k) {
        if (table.size() > 0xFFFF)
            throw ToolError(where + ": the variant table outgrows its 16-bit offsets at entry " +
                            std::to_string(k) + "; give a smaller \"variantCount\"");
        PutU16(table, k * 8 + 2, static_cast<uint16_t>(variants[k].width));
        PutU16(table, k * 8 + 4, static_cast<uint16_t>(variants[k].height));
        PutU16(table, k * 8 + 6, static_cast<uint16_t>(table.size()));
        Bytes rows = PackRows(variants[k], settings.bitsPerPixel);
        table.insert(table.end(), rows.begin(), rows.end());
    }
    (void)axis;
    Bytes bytes = InfoAndColours(full.width, full.height, 0, settings);
    bytes.insert(bytes.end(), table.begin(), table.end());
    return bytes;
}

namespace {

IndexPicture IndexedArt(const std::filesystem::path &path, const ArtSettings &settings,
                        const std::string &where)
{
    IndexedImage image = ReadPngIndexed(path);
    for (uint8_t index : image.indices)
        if (index >= settings.colorCount)
            throw ToolError(where + ": " + path.string() + " uses colour index " +
                            std::to_string(index) + ", beyond the catalogue's " +
                            std::to_string(settings.colorCount) + " colours");
    return {image.width, image.height, image.indices};
}

IndexPicture CropMiddle(const IndexPicture &picture, int32_t width, int32_t height)
{
    IndexPicture out{width, height, {}};
    out.indices.resize(static_cast<size_t>(width) * height);
    // Keep both ends: the first half of the kept columns (rows) from the
    // start, the rest from the end.
    int32_t leftKeep = (width + 1) / 2;
    int32_t topKeep = (height + 1) / 2;
    for (int32_t y = 0; y < height; ++y) {
        int32_t sy = y < topKeep ? y : picture.height - (height - y);
        for (int32_t x = 0; x < width; ++x) {
            int32_t sx = x < leftKeep ? x : picture.width - (width - x);
            out.indices[static_cast<size_t>(y) * width + x] =
                picture.indices[static_cast<size_t>(sy) * picture.width + sx];
        }
    }
    return out;
}

const char *const pngEntryKeys[] = {"id",       "png",          "size",          "indexed",
                                    "variants", "variantCount", "variantMethod", "comment"};

} // namespace

Bytes BitmapFromPngEntry(const Json &entry, const ArtSettings &settings,
                         const std::filesystem::path &baseDir, const std::string &where)
{
    for (auto &[key, value] : entry.items()) {
        bool known = false;
        for (const char *name : pngEntryKeys)
            known = known || key == name;
        if (!known)
            throw ToolError(where + ": unknown key \"" + key +
                            "\" for PNG art (known: id, png, size, indexed, variants, "
                            "variantCount, variantMethod, comment)");
    }
    if (!entry["png"].is_string())
        throw ToolError(where + ".png: expected a file path");
    std::filesystem::path path = baseDir / entry["png"].get<std::string>();
    bool indexed =
        entry.contains("indexed") && entry["indexed"].is_boolean() && entry["indexed"].get<bool>();
    if (entry.contains("indexed") && !entry["indexed"].is_boolean())
        throw ToolError(where + ".indexed: expected true or false");

    RgbaImage rgba;
    IndexPicture picture;
    if (indexed) {
        picture = IndexedArt(path, settings, where);
    } else {
        rgba = ReadPngRgba(path);
    }
    int32_t width = indexed ? picture.width : rgba.width;
    int32_t height = indexed ? picture.height : rgba.height;
    if (entry.contains("size")) {
        const Json &size = entry["size"];
        if (!size.is_array() || size.size() != 2)
            throw ToolError(where + ".size: expected [width, height]");
        width = static_cast<int32_t>(ReadInteger(size[0], where + ".size[0]", 1, 32767));
        height = static_cast<int32_t>(ReadInteger(size[1], where + ".size[1]", 1, 32767));
        if (indexed && (width != picture.width || height != picture.height))
            throw ToolError(where + ": \"indexed\" art is used at its own size; drop \"size\"");
    }
    // Checked before anything is resized: a size the description asks for
    // would otherwise be allocated four bytes a pixel, up to 4 GiB.
    if (int64_t{width} * height > largestArtPixels)
        throw ToolError(where + ": art of " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels is larger than a piece can be (" +
                        std::to_string(largestArtPixels) + " pixels)");
    if (!indexed) {
        rgba = ResizeRgba(rgba, width, height);
        picture = Quantise(rgba, settings);
    }

    if (!entry.contains("variants"))
        return EncodeBitmap(picture, settings);

    std::string axisName =
        entry["variants"].is_string() ? entry["variants"].get<std::string>() : "";
    if (axisName != "width" && axisName != "height")
        throw ToolError(where + ".variants: expected \"width\" or \"height\"");
    char axis = axisName[0] == 'w' ? 'w' : 'h';
    int32_t extent = axis == 'w' ? width : height;
    int32_t count = extent;
    if (entry.contains("variantCount"))
        count = static_cast<int32_t>(
            ReadInteger(entry["variantCount"], where + ".variantCount", 1, extent));
    std::string method = "scale";
    if (entry.contains("variantMethod")) {
        method =
            entry["variantMethod"].is_string() ? entry["variantMethod"].get<std::string>() : "";
        if (method != "scale" && method != "middle")
            throw ToolError(where + ".variantMethod: expected \"scale\" or \"middle\"");
    }
    if (indexed && method == "scale")
        throw ToolError(where + ": \"indexed\" art makes its variants with \"variantMethod\": "
                                "\"middle\"");
    // The table's offsets are 16 bits: refuse a count they cannot reach
    // before building any variant, as the encoder would after building all.
    size_t tableBytes = static_cast<size_t>(count) * 8;
    for (int32_t k = 0; k < count; ++k) {
        if (tableBytes > 0xFFFF)
            throw ToolError(where + ": the variant table outgrows its 16-bit offsets at entry " +
                            std::to_string(k) + "; give a smaller \"variantCount\"");
        int32_t w = axis == 'w' ? width - k : width;
        int32_t h = axis == 'h' ? height - k : height;
        tableBytes += static_cast<size_t>(RowStride(w, settings.bitsPerPixel)) * h;
    }
    std::vector<IndexPicture> variants;
    for (int32_t k = 0; k < count; ++k) {
        int32_t w = axis == 'w' ? width - k : width;
        int32_t h = axis == 'h' ? height - k : height;
        if (method == "middle")
            variants.push_back(CropMiddle(picture, w, h));
        else
            variants.push_back(k == 0 ? picture : Quantise(ResizeRgba(rgba, w, h), settings));
    }
    return EncodeVariantBitmap(variants, axis, settings, where);
}

} // namespace pptool
