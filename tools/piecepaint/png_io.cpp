#include "png_io.h"

#include "tool_util.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

namespace pptool {

RgbaImage ReadPngRgba(const std::filesystem::path &path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.string().c_str()))
        throw ToolError(path.string() + ": cannot read PNG: " + image.message);
    image.format = PNG_FORMAT_RGBA;
    RgbaImage result;
    result.width = static_cast<int32_t>(image.width);
    result.height = static_cast<int32_t>(image.height);
    result.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.pixels.data(), 0, nullptr)) {
        std::string message = image.message;
        png_image_free(&image);
        throw ToolError(path.string() + ": cannot read PNG: " + message);
    }
    return result;
}

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

} // namespace

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
        throw ToolError(path.string() + ": cannot read PNG: " + message);
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
