// ManagePal and the library palette. The two handles are the only state that
// survives from call to call; the host calls from its window thread only.
#include "api/palette.h"
#include "imageops/buffers.h"

namespace {

HPALETTE libPalette = nullptr;
HPALETTE prevPalette = nullptr;

constexpr int32_t ENTRY_COUNT = 256;
constexpr int32_t GREY_END = 132; // entries 5..131 are greys
constexpr uint32_t LOGPALETTE_BYTES = 4 + ENTRY_COUNT * sizeof(PALETTEENTRY);

void SetEntry(PALETTEENTRY &entry, int32_t red, int32_t green, int32_t blue)
{
    entry.peRed = static_cast<BYTE>(red);
    entry.peGreen = static_cast<BYTE>(green);
    entry.peBlue = static_cast<BYTE>(blue);
    entry.peFlags = PC_NOCOLLAPSE;
}

// Greys in passes of halving steps, so that the coarse levels come first and
// survive when a device keeps only the start of the palette.
int32_t AppendGreys(PALETTEENTRY entries[], int32_t count)
{
    int32_t a = 256;
    int32_t b = 128;
    while (b != 0 && count < GREY_END) {
        for (int32_t n = 255; n >= 1; --n) {
            if (count < GREY_END && n % a != 0 && n % b == 0)
                SetEntry(entries[count++], n, n, n);
        }
        a = b;
        b /= 2;
    }
    return count;
}

// Colour cubes of growing resolution fill the rest; greys already exist.
void AppendCubes(PALETTEENTRY entries[], int32_t count)
{
    for (int32_t levels = 3; count < ENTRY_COUNT; ++levels) {
        int32_t step = 255 / levels;
        for (int32_t r = step; r < 256; r += step) {
            for (int32_t g = step; g < 256; g += step) {
                for (int32_t b = step; b < 256; b += step) {
                    if (r == g && g == b)
                        continue;
                    SetEntry(entries[count++], r, g, b);
                    if (count == ENTRY_COUNT)
                        return;
                }
            }
        }
    }
}

// Builds libPalette from a temporary LOGPALETTE; false when the buffer could
// not be had (nothing else happened then).
bool CreateLibPalette()
{
    auto *logical = static_cast<LOGPALETTE *>(AllocBuf(LOGPALETTE_BYTES, 0, 0));
    if (logical == nullptr)
        return false;
    logical->palVersion = 0x300;
    logical->palNumEntries = ENTRY_COUNT;
    BuildPaletteEntries(logical->palPalEntry);
    libPalette = CreatePalette(logical);
    FreeBuf(logical);
    return true;
}

int32_t OnDestroy(HDC hdc)
{
    if (libPalette == nullptr)
        return 0;
    SelectPalette(hdc, prevPalette, FALSE);
    RealizePalette(hdc);
    DeleteObject(libPalette);
    // The handle now names a deleted object; the next 783 or 1025 builds anew.
    libPalette = nullptr;
    return 0;
}

int32_t OnPaint(HDC hdc, int32_t flag)
{
    if (libPalette == nullptr)
        return 0;
    if (flag == 0) {
        prevPalette = SelectPalette(hdc, libPalette, TRUE);
        RealizePalette(hdc);
        return 0;
    }
    if (prevPalette == nullptr)
        return 0;
    SelectPalette(hdc, prevPalette, TRUE);
    RealizePalette(hdc);
    return 0;
}

int32_t OnRealize(HDC hdc, BOOL forceBackground)
{
    int32_t first = 0;
    if (libPalette == nullptr) {
        if (!CreateLibPalette())
            return 0;
        prevPalette = SelectPalette(hdc, libPalette, forceBackground);
        first = static_cast<int32_t>(RealizePalette(hdc));
        UnrealizeObject(libPalette);
        if (libPalette == nullptr)
            return first;
    }
    if (first != 0 && prevPalette != nullptr)
        SelectPalette(hdc, libPalette, forceBackground);
    else
        prevPalette = SelectPalette(hdc, libPalette, forceBackground);
    int32_t second = static_cast<int32_t>(RealizePalette(hdc));
    if (prevPalette != nullptr) {
        SelectPalette(hdc, prevPalette, TRUE);
        RealizePalette(hdc);
    }
    return static_cast<int32_t>(static_cast<uint32_t>(first) + static_cast<uint32_t>(second));
}

} // namespace

void BuildPaletteEntries(PALETTEENTRY entries[256])
{
    SetEntry(entries[0], 255, 0, 0);
    SetEntry(entries[1], 255, 255, 0);
    SetEntry(entries[2], 0, 255, 0);
    SetEntry(entries[3], 0, 255, 255);
    SetEntry(entries[4], 255, 0, 255);
    int32_t count = AppendGreys(entries, 5);
    AppendCubes(entries, count);
}

int32_t GetDevColors(HDC hdc)
{
    uint32_t planes = static_cast<uint32_t>(GetDeviceCaps(hdc, PLANES));
    uint32_t bits = static_cast<uint32_t>(GetDeviceCaps(hdc, BITSPIXEL));
    int32_t colors = static_cast<int32_t>(planes << (bits % 32));
    return colors == 8 ? 16 : colors;
}

int32_t HasDevPalette(HDC hdc)
{
    return (GetDeviceCaps(hdc, RASTERCAPS) & RC_PALETTE) != 0 ? 1 : 0;
}

HPALETTE LibPaletteHandle()
{
    return libPalette;
}

HPALETTE PrevPaletteHandle()
{
    return prevPalette;
}

void ForgetPaletteHandles()
{
    libPalette = nullptr;
    prevPalette = nullptr;
}

extern "C" PIECEPAINT_API int WINAPI ManagePal(HDC hdc, int flag, unsigned int message)
{
    switch (message) {
    case PAL_MSG_DESTROY:
        return OnDestroy(hdc);
    case PAL_MSG_PAINT:
        return OnPaint(hdc, flag);
    case PAL_MSG_QUERY_NEW:
        return OnRealize(hdc, FALSE);
    case PAL_MSG_SELECT_BACKGROUND:
        return OnRealize(hdc, TRUE);
    default:
        return 0;
    }
}

extern "C" PIECEPAINT_API void WINAPI ShowPrtInit(void) {}
