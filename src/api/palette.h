// The library's fixed 256-colour logical palette and the two device queries
// the composition uses to decide on palette handling and filter strengths.
#ifndef PIECEPAINT_API_PALETTE_H
#define PIECEPAINT_API_PALETTE_H

#include "platform/win32.h"

#include <cstdint>

// Palette messages ManagePal answers.
enum : uint32_t {
    PAL_MSG_DESTROY = 2,
    PAL_MSG_PAINT = 15,
    PAL_MSG_QUERY_NEW = 783,
    PAL_MSG_SELECT_BACKGROUND = 1025
};

// Fills the 256 entries of the library palette, each with PC_NOCOLLAPSE.
void BuildPaletteEntries(PALETTEENTRY entries[256]);

// PLANES << BITSPIXEL of the device; 8 (four 1-bit planes) reads as 16.
int32_t GetDevColors(HDC hdc);
// 1 when the device works through a hardware palette, else 0.
int32_t HasDevPalette(HDC hdc);

// The palette handles kept between calls, for tests: the library palette and
// the one its selection displaced.
HPALETTE LibPaletteHandle();
HPALETTE PrevPaletteHandle();
// Forgets both handles without touching any device; tests start from here.
void ForgetPaletteHandles();

#endif
