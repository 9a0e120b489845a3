// The one door to the platform. The core names KERNEL32 and GDI32 only
// through this header: on Windows it is <windows.h>; elsewhere the same names
// are declared here and implemented by the portable layer in portable/.
#ifndef PIECEPAINT_PLATFORM_WIN32_H
#define PIECEPAINT_PLATFORM_WIN32_H

#include "piecepaint/piecepaint.h"

#include <cstddef>
#include <cstdint>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "piecepaint reads its records in place and needs a little-endian target"
#endif

#ifdef _WIN32

#include <windows.h>

#else

extern "C" {

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef uint32_t COLORREF;
typedef const char *LPCSTR;
typedef void *LPVOID;
typedef void *HANDLE;

typedef struct HRSRC__ *HRSRC;
typedef struct HGLOBAL__ *HGLOBAL;
typedef struct HGDIOBJ__ *HGDIOBJ;
// GDI objects share one handle space, as on Windows: every object handle
// converts to HGDIOBJ.
typedef HGDIOBJ HPALETTE;
typedef HGDIOBJ HRGN;
typedef HGDIOBJ HBRUSH;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<uintptr_t>(p) >> 16) == 0)
#define RT_RCDATA MAKEINTRESOURCEA(10)

#define RGB(r, g, b)                                                                               \
    (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                           (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))

// GetDeviceCaps indices and answers.
enum : int { PLANES = 14, BITSPIXEL = 12, RASTERCAPS = 38, NUMCOLORS = 24, SIZEPALETTE = 104 };
enum : int { RC_PALETTE = 0x0100 };

// Region kinds returned by SelectObject for a region.
enum : int { ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3 };

// Stretch modes.
enum : int { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4 };

enum : UINT { DIB_RGB_COLORS = 0, DIB_PAL_COLORS = 1 };
enum : DWORD { SRCCOPY = 0x00CC0020 };
enum : DWORD { BI_RGB = 0 };
enum : BYTE { PC_RESERVED = 1, PC_EXPLICIT = 2, PC_NOCOLLAPSE = 4 };
enum : DWORD { HEAP_ZERO_MEMORY = 0x00000008 };

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};
struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};
#pragma pack(pop)

// KERNEL32: resources.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL handle);
DWORD SizeofResource(HMODULE module, HRSRC resource);
BOOL FreeResource(HGLOBAL handle);

// KERNEL32: the process heap.
HANDLE GetProcessHeap(void);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, size_t bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID memory);

// GDI32.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
HBRUSH CreateSolidBrush(COLORREF color);
BOOL FillRgn(HDC hdc, HRGN region, HBRUSH brush);
BOOL FrameRgn(HDC hdc, HRGN region, HBRUSH brush, int width, int height);
BOOL DeleteObject(HGDIOBJ object);
int StretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void *bits, const BITMAPINFO *info, UINT usage,
                  DWORD rop);
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);
HPALETTE CreatePalette(const LOGPALETTE *palette);
HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC hdc);
BOOL UnrealizeObject(HGDIOBJ object);
int GetDeviceCaps(HDC hdc, int index);

} // extern "C"

#endif // _WIN32

static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD is 4 bytes");
static_assert(sizeof(PALETTEENTRY) == 4, "PALETTEENTRY is 4 bytes");

#endif
