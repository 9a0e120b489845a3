#include "png_io.h"

#include "tool_util.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>

namespace pptool {

namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

[[noreturn]] void PngFail(png_structp png, png_const_charp message)
{
    auto *text = static_cast<std::string *>(png_get_error_ptr(png));
    if (text != nullptr)
        *text = message;
    png_longjmp(png, 1);
}

void PngWarn(png_structp, png_const_charp) {}

// libpng's words for a file that ends early.
std::string Reason(const std::string &message)
{
    if (message == "Read Error" || message.find("EOF") != std::string::npos ||
        message.find("Not enough image data") != std::string::npos)
        return "the file ends early (truncated or damaged): " + message;
    return message;
}

// How 16-bit samples become 8-bit ones, from the file's colour chunks: the
// exponent that re-encodes them for the 2.2 display gamma that 8-bit art
// is taken in (1 when they are encoded so already).
struct Reduction {
    double exponent = 1.0;
    std::string refusal; // non-empty: no faithful reduction
};

Reduction ReductionFor(png_structp png, png_infop info)
{
    Reduction r;
    int intent = 0;
    if (png_get_sRGB(png, info, &intent) != 0)
        return r;
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) != 0) {
        r.refusal = "16-bit art with an ICC colour profile cannot be reduced faithfully; save it "
                    "with 8 bits per channel (in sRGB)";
        return r;
    }
    png_fixed_point gamma = 0;
    if (png_get_gAMA_fixed(png, info, &gamma) == 0)
        return r; // no colour information: sRGB, as for 8-bit art
    if (gamma <= 0) {
        r.refusal = "16-bit art with an unusable gAMA chunk";
        return r;
    }
    // gAMA holds the encoding exponent times 100000; 45455 is sRGB's.
    double ratio = 45455.0 / gamma;
    r.exponent = ratio > 0.99 && ratio < 1.01 ? 1.0 : ratio;
    return r;
}

uint8_t Reduce(uint16_t sample, double exponent)
{
    double v = sample / 65535.0;
    if (exponent != 1.0)
        v = std::pow(v, exponent);
    return static_cast<uint8_t>(std::lround(v * 255.0));
}

struct Rows16 {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba; // four big-endian 16-bit samples a pixel, top row first
    std::vector<png_bytep> rowPointers;
    Reduction reduction;
};

// 16-bit files through libpng's full interface: its simplified one takes
// them as linear light whatever their chunks say.
void ReadRows16(std::FILE *file, Rows16 &rows, std::string &message)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, PngFail, PngWarn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        message = "out of memory reading PNG";
        return;
    }
    // libpng reports errors by longjmp: no object with a destructor is
    // created inside this block; the buffers live in rows.
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        rows.reduction = ReductionFor(png, info);
        png_set_expand(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        png_uint_32 width = png_get_image_width(png, info);
        png_uint_32 height = png_get_image_height(png, info);
        if (png_get_rowbytes(png, info) != size_t{width} * 8 ||
            uint64_t{width} * height > uint64_t{1} << 26) {
            message = "16-bit PNG of an unsupported layout or size";
        } else {
            rows.width = static_cast<int32_t>(width);
            rows.height = static_cast<int32_t>(height);
            rows.rgba.resize(size_t{width} * height * 8);
            rows.rowPointers.resize(height);
            for (png_uint_32 y = 0; y < height; ++y)
                rows.rowPointers[y] = rows.rgba.data() + size_t{y} * width * 8;
            png_read_image(png, rows.rowPointers.data());
            png_read_end(png, nullptr);
            message.clear();
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
}

RgbaImage ReadPng16(const std::filesystem::path &path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.string().c_str(), "rb"));
    if (!file)
        throw ToolError(path.string() + ": cannot open PNG");
    Rows16 rows;
    std::string message = "not a PNG file";
    ReadRows16(file.get(), rows, message);
    if (!message.empty())
        throw ToolError(path.string() + ": cannot read PNG: " + Reason(message));
    if (!rows.reduction.refusal.empty())
        throw ToolError(path.string() + ": " + rows.reduction.refusal);
    RgbaImage result;
    result.width = rows.width;
    result.height = rows.height;
    result.pixels.resize(rows.rgba.size() / 2);
    for (size_t i = 0; i < result.pixels.size(); ++i) {
        uint16_t sample = static_cast<uint16_t>(rows.rgba[2 * i] << 8 | rows.rgba[2 * i + 1]);
        result.pixels[i] = Reduce(sample, i % 4 == 3 ? 1.0 : rows.reduction.exponent);
    }
    return result;
}

} // namespace

RgbaImage ReadPngRgba(const std::filesystem::path &path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.string().c_str()))
        throw ToolError(path.string() + ": cannot read PNG: " + Reason(image.message));
    if (image.format & PNG_FORMAT_FLAG_LINEAR) {
        png_image_free(&image);
        return ReadPng16(path);
    }
    image.format = PNG_FORMAT_RGBA;
    RgbaImage result;
    result.width = static_cast<int32_t>(image.width);
    result.height = static_cast<int32_t>(image.height);
    result.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.pixels.data(), 0, nullptr)) {
        std::string message = image.message;
        png_image_free(&image);
        throw ToolError(path.string() + ": cannot read PNG: " + Reason(message));
    }
    return result;
}

IndexedImage ReadPngIndexed(const std::filesystem::path &path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.string().c_str(), "rb"));
    if (!file)
        throw ToolError(path.string() + ": cannot open PNG");
    std::string message = "not a PNG file";
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, PngFail, PngWarn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw ToolError(path.string() + ": out of memory reading PNG");
    }
    IndexedImage result;
    volatile bool paletted = false;
    // libpng reports errors by longjmp: nothing with a destructor may be
    // created between here and the end of the block.
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file.get());
        png_read_png(png, info, PNG_TRANSFORM_PACKING, nullptr);
        paletted = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE;
        if (paletted) {
            result.width = static_cast<int32_t>(png_get_image_width(png, info));
            result.height = static_cast<int32_t>(png_get_image_height(png, info));
            png_bytepp rows = png_get_rows(png, info);
            result.indices.resize(static_cast<size_t>(result.width) * result.height);
            for (int32_t y = 0; y < result.height; ++y)
                for (int32_t x = 0; x < result.width; ++x)
                    result.indices[static_cast<size_t>(y) * result.width + x] = rows[y][x];
        }
        message.clear();
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!message.empty())
        throw ToolError(path.string() + ": cannot read PNG: " + Reason(message));
    if (!paletted)
        throw ToolError(path.string() +
                        ": \"indexed\" art must be a palette-type PNG (its indices are used as "
                        "they are)");
    return result;
}

void WritePngRgb(const std::filesystem::path &path, const RgbaImage &image)
{
    png_image out{};
    out.version = PNG_IMAGE_VERSION;
    out.width = static_cast<png_uint_32>(image.width);
    out.height = static_cast<png_uint_32>(image.height);
    out.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb;
    rgb.reserve(image.pixels.size() / 4 * 3);
    for (size_t i = 0; i + 3 < image.pixels.size(); i += 4)
        rgb.insert(rgb.end(), image.pixels.begin() + static_cast<std::ptrdiff_t>(i),
                   image.pixels.begin() + static_cast<std::ptrdiff_t>(i + 3));
    if (!png_image_write_to_file(&out, path.string().c_str(), 0, rgb.data(), 0, nullptr))
        throw ToolError(path.string() + ": cannot write PNG: " + out.message);
}

} // namespace pptool
