// Device-independent bitmaps and device contexts for tests.
#ifndef PIECEPAINT_TESTS_SUPPORT_DIB_H
#define PIECEPAINT_TESTS_SUPPORT_DIB_H

#include "piecepaint/host.h"
#include "platform/win32.h"

#include <cstdint>
#include <vector>

namespace pptest {

// A BITMAPINFO (header and colour table) and its pixel rows.
struct Dib {
    std::vector<uint8_t> info;
    std::vector<uint8_t> bits;
    const BITMAPINFO *Info() const { return reinterpret_cast<const BITMAPINFO *>(info.data()); }
    BITMAPINFOHEADER &Header() { return *reinterpret_cast<BITMAPINFOHEADER *>(info.data()); }
    const void *Bits() const { return bits.data(); }
};

// Builds a BI_RGB bitmap. pixels: one value per pixel, top row first, width
// per row: palette indices for 1, 4 and 8 bits, raw 5-5-5 words for 16 bits,
// 0xAARRGGBB for 24 bits (AA dropped) and 32 bits. colors: 0xAARRGGBB, AA
// going to rgbReserved; the table has clrUsed entries, or 2^bpp when clrUsed
// is 0 (only for bpp <= 8), entries beyond colors being 0. topDown stores the
// rows top first with a negative biHeight.
Dib MakeDib(int32_t width, int32_t height, int bpp, const std::vector<uint32_t> &pixels,
            const std::vector<uint32_t> &colors = {}, bool topDown = false, uint32_t clrUsed = 0);

// Builds a run-length coded bitmap, BI_RLE8 for bpp 8 and BI_RLE4 for bpp 4,
// bottom-up, from its coded rows; biSizeImage is their length. colors and
// clrUsed as for MakeDib.
Dib MakeRleDib(int32_t width, int32_t height, int bpp, const std::vector<uint8_t> &coded,
               const std::vector<uint32_t> &colors = {}, uint32_t clrUsed = 0);

// Codes palette indices (top row first, width per row) as BI_RLE8 or BI_RLE4
// rows: repeats as runs, stretches of three or more differing pixels
// given one by one, every line closed, the last by end of bitmap.
std::vector<uint8_t> EncodeRle(int32_t width, int32_t height, int bpp,
                               const std::vector<uint32_t> &pixels);

// A one-row 8-bit bitmap whose pixel x is index x and whose entry i is the
// colour 0x000100 * (i + 1) + i, so every column reads back distinctly.
Dib ColumnRamp(int32_t width);
uint32_t RampColor(int32_t index);

// Owns a device context for the length of a test; it and the object log
// record every call.
class DeviceGuard {
  public:
    DeviceGuard(int kind, int width, int height) : dc_(ppCreateDC(kind, width, height))
    {
        ppDCSetLogging(dc_, 1);
        ppGdiSetLogging(1);
    }
    ~DeviceGuard() { ppDeleteDC(dc_); }
    DeviceGuard(const DeviceGuard &) = delete;
    DeviceGuard &operator=(const DeviceGuard &) = delete;
    HDC get() const { return dc_; }
    uint32_t At(int x, int y) const;
    std::vector<uint32_t> Row(int y) const;
    std::vector<uint32_t> Pixels() const;

  private:
    HDC dc_;
};

} // namespace pptest

#endif
