// Expanding BI_RLE8 and BI_RLE4 rows (see rle.h for the coding).
//
// The written mask follows GDI: the pixels a line's runs set count only once
// an escape (end of line, end of bitmap or a move) closes the stretch of them;
// a line the data stops in the middle of, or an end of bitmap the image size
// cuts off, leaves them out.
#include "platform/portable/rle.h"

#include "platform/win32.h"

#include <cstring>

namespace {

// Escape codes: the byte after a 0 count.
enum : uint8_t {
    ESCAPE_END_OF_LINE = 0,   // next row, column 0
    ESCAPE_END_OF_BITMAP = 1, // stop
    ESCAPE_DELTA = 2,         // two more bytes: right, up
};

struct Decoder {
    const uint8_t *data;
    uint64_t size;
    uint64_t at = 0; // next byte to read
    int bits;
    RleImage *image;
    int32_t x = 0;
    int32_t line = 0; // from the bottom
    int32_t left = 0; // the open stretch of pixels set on this line
    int32_t right = 0;
};

uint8_t *PixelRow(const RleImage &image, int32_t line)
{
    return image.pixels + static_cast<size_t>(line) * image.stride;
}

// Nibble k of a byte sequence, the high one of each byte first.
uint8_t Nibble(const uint8_t *bytes, int32_t k)
{
    return (bytes[k >> 1] >> ((k & 1) ? 0 : 4)) & 15;
}

// A run's length cut at the row's end.
int32_t CutRun(const Decoder &d, int32_t count)
{
    return count > d.image->width - d.x ? d.image->width - d.x : count;
}

void WriteEncoded(Decoder &d, int32_t count, uint8_t value)
{
    uint8_t *row = PixelRow(*d.image, d.line) + d.x;
    if (d.bits == 8) {
        std::memset(row, value, static_cast<size_t>(count));
        return;
    }
    uint8_t pair[1] = {value};
    // GDI fills whole bytes: a run ending on a high nibble sets the low one too.
    int32_t end = count + (((d.x + count) & 1) && d.x + count < d.image->width ? 1 : 0);
    for (int32_t k = 0; k < end; ++k)
        row[k] = Nibble(pair, k & 1);
}

void WriteAbsolute(Decoder &d, int32_t count, const uint8_t *in)
{
    uint8_t *row = PixelRow(*d.image, d.line) + d.x;
    if (d.bits == 8) {
        std::memcpy(row, in, static_cast<size_t>(count));
        return;
    }
    for (int32_t k = 0; k < count; ++k)
        row[k] = Nibble(in, k);
    // Ending on a high nibble: from an even column GDI copies the byte's low
    // nibble from the data as well; from an odd one it clears it.
    if (((d.x + count) & 1) && d.x + count < d.image->width)
        row[count] = (d.x & 1) ? 0 : Nibble(in, count);
}

void CloseStretch(Decoder &d)
{
    if (d.image->written != nullptr) {
        uint8_t *mask = d.image->written + static_cast<size_t>(d.line) * d.image->maskStride;
        for (int32_t x = d.left; x < d.right; ++x)
            mask[x >> 3] = static_cast<uint8_t>(mask[x >> 3] | (1u << (x & 7)));
    }
    d.left = d.right = d.x;
}

// An escape; false when decoding stops.
bool Escape(Decoder &d, uint8_t code)
{
    CloseStretch(d);
    if (code == ESCAPE_END_OF_BITMAP)
        return false;
    if (code == ESCAPE_END_OF_LINE) {
        d.x = d.left = d.right = 0;
        return ++d.line < d.image->height;
    }
    if (d.at + 1 >= d.size)
        return false;
    int32_t dx = d.data[d.at], dy = d.data[d.at + 1];
    d.at += 2;
    d.x = d.x + dx > d.image->width ? d.image->width : d.x + dx;
    d.left = d.right = d.x;
    d.line += dy;
    return d.line < d.image->height;
}

// An absolute run of count pixels; false when its bytes run past the data.
bool Absolute(Decoder &d, int32_t count)
{
    uint64_t bytes = (static_cast<uint64_t>(count) * static_cast<uint64_t>(d.bits) + 7) / 8;
    if (bytes > d.size - d.at)
        return false;
    const uint8_t *in = d.data + d.at;
    d.at += (bytes + 1) & ~uint64_t{1};
    count = CutRun(d, count);
    if (count > 0)
        WriteAbsolute(d, count, in);
    d.x += count;
    d.right = d.x;
    return true;
}

bool AllocateImage(int32_t width, int32_t height, bool withMask, RleImage &image)
{
    image = RleImage{};
    image.width = width;
    image.height = height;
    image.stride = static_cast<size_t>(width);
    image.maskStride = (static_cast<size_t>(width) + 7) / 8;
    size_t rows = static_cast<size_t>(height);
    image.pixels =
        static_cast<uint8_t *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, image.stride * rows));
    if (image.pixels != nullptr && withMask) {
        image.written = static_cast<uint8_t *>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, image.maskStride * rows));
        if (image.written == nullptr)
            ReleaseRle(image);
    }
    return image.pixels != nullptr;
}

} // namespace

bool DecodeRle(const uint8_t *data, uint32_t size, int bits, int32_t width, int32_t height,
               bool withMask, RleImage &image)
{
    image = RleImage{};
    if (width <= 0 || height <= 0 || (bits != 4 && bits != 8) ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > RLE_MAX_PIXELS)
        return false;
    if (!AllocateImage(width, height, withMask, image))
        return false;
    Decoder d{data, size, 0, bits, &image};
    while (d.at + 1 < d.size) {
        uint8_t count = data[d.at], value = data[d.at + 1];
        d.at += 2;
        bool more = true;
        if (count != 0) {
            int32_t cut = CutRun(d, count);
            if (cut > 0)
                WriteEncoded(d, cut, value);
            d.x += cut;
            d.right = d.x;
        } else if (value <= ESCAPE_DELTA) {
            more = Escape(d, value);
        } else {
            more = Absolute(d, value);
        }
        if (!more)
            break;
    }
    return true;
}

void ReleaseRle(RleImage &image)
{
    HeapFree(GetProcessHeap(), 0, image.pixels);
    HeapFree(GetProcessHeap(), 0, image.written);
    image = RleImage{};
}
