// Device output. Whatever the device cannot create is left out quietly; only
// the badge's load failure is reported.
#include "compose/output.h"
#include "api/loader.h"

#include <cstring>

namespace {

// The frame colour for an attention code, read as unsigned 16 bits; 0 for
// none. The odd codes (badge not shown) frame alike.
COLORREF FrameColour(int32_t attention)
{
    switch (static_cast<uint16_t>(attention)) {
    case 30002:
    case 30003:
        return FRAME_YELLOW;
    case 30004:
    case 30005:
        return FRAME_RED;
    default:
        return 0;
    }
}

// Badge storage besides BI_RGB that the device can be given safely.
enum : uint32_t {
    BADGE_RLE8 = 1,      // coded rows, biSizeImage bytes of them
    BADGE_RLE4 = 2,      // the same, 4 bits a pixel
    BADGE_BITFIELDS = 3, // 16 or 32 bits a pixel, three masks after the 40-byte header
};
enum : uint32_t { BADGE_HEADER_BYTES = 40, BADGE_MASK_BYTES = 12 };

// The bytes the device reads from the pixel offset on, or false when it could
// not be bounded: coded rows without a byte count, masks outside the
// resource, or another compression.
bool BadgePixelBytes(const BITMAPINFOHEADER &info, uint32_t size, uint64_t stride, uint64_t height,
                     uint64_t &bytes)
{
    switch (info.biCompression) {
    case BI_RGB:
        bytes = stride * height;
        return true;
    case BADGE_RLE8:
    case BADGE_RLE4:
        bytes = info.biSizeImage;
        return info.biSizeImage != 0;
    case BADGE_BITFIELDS:
        bytes = stride * height;
        return (info.biBitCount == 16 || info.biBitCount == 32) &&
               BADGE_HEADER_BYTES + BADGE_MASK_BYTES <= size;
    default:
        return false;
    }
}

// Where a badge's pixel rows start and how many bytes they take; false when
// the resource cannot hold what its header describes.
bool BadgeLayout(const uint8_t *bytes, uint32_t size, uint32_t *pixelOffset)
{
    if (size < sizeof(BITMAPINFOHEADER))
        return false;
    BITMAPINFOHEADER info;
    std::memcpy(&info, bytes, sizeof info);
    // The device finds the colour table behind biSize.
    if (info.biSize < sizeof(BITMAPINFOHEADER) || info.biSize > size)
        return false;
    int64_t width = info.biWidth;
    int64_t height = info.biHeight < 0 ? -static_cast<int64_t>(info.biHeight) : info.biHeight;
    if (width < 0 || width > 32767 || height > 32767)
        return false;
    uint32_t colours = static_cast<uint32_t>(info.biPlanes) << (info.biBitCount % 32);
    *pixelOffset = colours == 256 ? 1064 : 104;
    // The device reads the colour table that the header implies.
    uint64_t tableEntries = info.biClrUsed != 0    ? info.biClrUsed
                            : info.biBitCount <= 8 ? (1u << info.biBitCount)
                                                   : 0;
    if (tableEntries > 256)
        tableEntries = 256;
    // The rows are measured with the bit count the colour count reads: the
    // byte at offset 14.
    uint64_t stride = (static_cast<uint64_t>(width) * bytes[14] + 31) / 32 * 4;
    uint64_t pixelBytes = 0;
    if (!BadgePixelBytes(info, size, stride, static_cast<uint64_t>(height), pixelBytes))
        return false;
    return *pixelOffset + pixelBytes <= size && info.biSize + tableEntries * 4 <= size;
}

int32_t DrawBadge(HDC hdc, HMODULE auxModule, int32_t left, int32_t top, UINT colourUse,
                  DWORD rasterOp)
{
    int32_t result = 0;
    HGLOBAL handle = nullptr;
    uint32_t size = 0;
    const uint8_t *bytes = LoadRcData(auxModule, PP_BADGE_ID, &handle, &result, &size);
    uint32_t pixelOffset = 0;
    if (bytes != nullptr && !BadgeLayout(bytes, size, &pixelOffset))
        result = PP_RESULT_LOAD_FAILED;
    else if (bytes != nullptr) {
        const auto *info = reinterpret_cast<const BITMAPINFO *>(bytes);
        int32_t width = info->bmiHeader.biWidth;
        int32_t height = info->bmiHeader.biHeight;
        StretchDIBits(hdc, left, top, width, height, 0, 0, width, height, bytes + pixelOffset, info,
                      colourUse, rasterOp);
    }
    if (handle != nullptr)
        FreeResource(handle);
    return result;
}

} // namespace

int32_t DrawPicture(HDC hdc, HMODULE auxModule, int32_t x, int32_t y, int32_t drawnWidth,
                    int32_t drawnHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                    int32_t sourceHeight, const uint8_t *pixels, const BITMAPINFO *header,
                    UINT colourUse, DWORD rasterOp, int32_t left, int32_t top, int32_t right,
                    int32_t bottom, int32_t attention, int32_t showBadge, uint8_t bg)
{
    int32_t result = 0;
    HRGN region = CreateRectRgn(left, top, right, bottom);
    if (region != nullptr)
        SelectObject(hdc, region);

    HBRUSH grey = CreateSolidBrush(static_cast<COLORREF>(bg) * 0x010101u);
    if (grey != nullptr) {
        if (region != nullptr)
            FillRgn(hdc, region, grey);
        DeleteObject(grey);
    }

    COLORREF frameColour = FrameColour(attention);
    HBRUSH frame = frameColour != 0 ? CreateSolidBrush(frameColour) : nullptr;

    if (showBadge != 0)
        result = DrawBadge(hdc, auxModule, left, top, colourUse, rasterOp);

    if (frame != nullptr) {
        if (region != nullptr)
            FrameRgn(hdc, region, frame, 4, 4);
        DeleteObject(frame);
    }
    if (region != nullptr)
        DeleteObject(region);

    StretchDIBits(hdc, x, y, drawnWidth, drawnHeight, sourceX, sourceY, sourceWidth, sourceHeight,
                  pixels, header, colourUse, rasterOp);
    return result;
}
