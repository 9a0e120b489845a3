// Run-length coded bitmap rows (BI_RLE8, BI_RLE4) expanded for StretchDIBits.
//
// The coded rows start at the bottom of the bitmap. Each pair of bytes is
//   n, v    (n > 0) n pixels of v; for 4 bits the two nibbles of v alternate,
//           the high one first
//   0, 0    end of line: the next row, column 0
//   0, 1    end of bitmap
//   0, 2, dx, dy   moves right by dx and up by dy rows
//   0, n    (n > 2) n pixels given one by one, padded to an even byte count
// Nothing is read past the image size the header gives, so a truncated or
// hostile stream only draws less.
#ifndef PIECEPAINT_PLATFORM_PORTABLE_RLE_H
#define PIECEPAINT_PLATFORM_PORTABLE_RLE_H

#include <cstddef>
#include <cstdint>

// Largest bitmap (width x height) a coded source may claim: its expansion
// takes a byte a pixel, so a header alone cannot make a call allocate more.
enum : uint64_t { RLE_MAX_PIXELS = uint64_t{1} << 24 };

// The expanded bitmap. Pixels no run set hold index 0. Runs set pixels
// beyond their own end the way GDI's expansion does: a 4-bit run ending on a
// byte's high nibble fills the low one as well.
struct RleImage {
    uint8_t *pixels = nullptr; // a palette index a pixel, bottom row first
    // One bit a pixel (bit x & 7 of byte x >> 3 of the row), set where a run
    // wrote a pixel of a line that an escape closed; null unless asked for.
    uint8_t *written = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;     // bytes a row of pixels
    size_t maskStride = 0; // bytes a row of written
};

// Expands size bytes of coded rows of bits (4 or 8) per pixel into a bitmap of
// width x height (both above 0, their product at most RLE_MAX_PIXELS), with
// the written mask when withMask is set. False, with nothing held, when the
// heap refuses the buffers or the size is out of range.
bool DecodeRle(const uint8_t *data, uint32_t size, int bits, int32_t width, int32_t height,
               bool withMask, RleImage &image);

// Gives the buffers back to the heap; safe on an image never decoded.
void ReleaseRle(RleImage &image);

// Whether the written mask has pixel (x, row), row counted from the bottom.
inline bool RleWritten(const RleImage &image, int32_t x, int32_t row)
{
    const uint8_t *mask = image.written + static_cast<size_t>(row) * image.maskStride;
    return (mask[x >> 3] >> (x & 7)) & 1;
}

#endif
