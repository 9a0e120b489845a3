// Software device contexts: the surface, the device queries, the stretch
// mode, FillRgn and FrameRgn, and the host functions that create and read
// them.
#include "platform/portable/device.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// GetDeviceCaps indices beyond the ones the library asks for.
enum : int { TECHNOLOGY = 2, HORZRES = 8, VERTRES = 10, NUMRESERVED = 106, COLORRES = 108 };
enum : int { DT_RASDISPLAY = 1 };
// What a display driver reports besides RC_PALETTE: blits, stretching, DIBs.
enum : int { DISPLAY_RASTERCAPS = 0x7E99 };

// Larger surfaces are refused rather than risk an allocation that cannot be met.
enum : int64_t { MAX_SURFACE_SIDE = 65535, MAX_SURFACE_PIXELS = int64_t{1} << 28 };
enum : size_t { SURFACE_ALIGNMENT = 64 }; // bytes: a cache line

DeviceRect Intersect(DeviceRect a, DeviceRect b)
{
    DeviceRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom)
        r = DeviceRect{0, 0, 0, 0};
    return r;
}

void InitSystemPalette(HDC__ *dc)
{
    const PALETTEENTRY *colors = StaticColors();
    const int half = DEVICE_STATIC_COLORS / 2;
    for (int slot = 0; slot < DEVICE_PALETTE_SLOTS; ++slot) {
        int stat = slot < half ? slot
                               : (slot >= DEVICE_PALETTE_SLOTS - half
                                      ? slot - (DEVICE_PALETTE_SLOTS - DEVICE_STATIC_COLORS)
                                      : -1);
        if (stat < 0) {
            dc->slotOwner[slot] = -1;
            continue;
        }
        const PALETTEENTRY &e = colors[stat];
        dc->systemColors[slot] = (uint32_t{e.peRed} << 16) | (uint32_t{e.peGreen} << 8) | e.peBlue;
        dc->slotOwner[slot] = 0;
    }
}

int DeviceCaps(const HDC__ *dc, int index)
{
    bool palette = dc->kind == PP_DEVICE_PALETTE256;
    switch (index) {
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZRES:
        return dc->width;
    case VERTRES:
        return dc->height;
    case PLANES:
        return 1;
    case BITSPIXEL:
        return dc->kind == PP_DEVICE_TRUECOLOR ? 32 : (palette ? 8 : 4);
    case NUMCOLORS:
        return dc->kind == PP_DEVICE_TRUECOLOR ? -1 : (palette ? DEVICE_STATIC_COLORS : 16);
    case RASTERCAPS:
        return DISPLAY_RASTERCAPS | (palette ? RC_PALETTE : 0);
    case SIZEPALETTE:
        return palette ? DEVICE_PALETTE_SLOTS : 0;
    case NUMRESERVED:
        return palette ? DEVICE_STATIC_COLORS : 0;
    case COLORRES:
        return palette ? 18 : (dc->kind == PP_DEVICE_TRUECOLOR ? 24 : 0);
    default:
        return 0;
    }
}

// The rectangle minus [left+|w|, right-|w|) x [top+|h|, bottom-|h|), as up to
// four bands; the whole rectangle when that interior is empty.
int FrameBands(DeviceRect r, int width, int height, DeviceRect bands[4])
{
    int64_t w = std::abs(static_cast<int64_t>(width));
    int64_t h = std::abs(static_cast<int64_t>(height));
    int64_t innerLeft = r.left + w, innerRight = r.right - w;
    int64_t innerTop = r.top + h, innerBottom = r.bottom - h;
    if (innerLeft >= innerRight || innerTop >= innerBottom) {
        bands[0] = r;
        return 1;
    }
    int32_t il = static_cast<int32_t>(innerLeft), ir = static_cast<int32_t>(innerRight);
    int32_t it = static_cast<int32_t>(innerTop), ib = static_cast<int32_t>(innerBottom);
    bands[0] = DeviceRect{r.left, r.top, r.right, it};
    bands[1] = DeviceRect{r.left, ib, r.right, r.bottom};
    bands[2] = DeviceRect{r.left, it, il, ib};
    bands[3] = DeviceRect{ir, it, r.right, ib};
    return 4;
}

} // namespace

DeviceRect VisibleRect(const HDC__ *dc)
{
    DeviceRect surface{0, 0, dc->width, dc->height};
    return dc->clipped ? Intersect(surface, dc->clip) : Intersect(surface, surface);
}

void FillDeviceRect(HDC__ *dc, DeviceRect r, uint32_t pixel)
{
    DeviceRect v = Intersect(r, VisibleRect(dc));
    if (v.left < v.right && v.top < v.bottom)
        DeferFill(dc, v, pixel);
}

extern "C" HDC ppCreateDC(int kind, int width, int height)
{
    if (kind < PP_DEVICE_TRUECOLOR || kind > PP_DEVICE_COLOR16)
        return nullptr;
    if (width <= 0 || height <= 0 || width > MAX_SURFACE_SIDE || height > MAX_SURFACE_SIDE ||
        int64_t{width} * height > MAX_SURFACE_PIXELS)
        return nullptr;
    // The surface starts on a cache line: the stretch's 64-byte stores of a
    // row that starts at the surface's left edge then never straddle two.
    const size_t bytes =
        (static_cast<size_t>(width) * static_cast<size_t>(height) * sizeof(uint32_t) +
         SURFACE_ALIGNMENT - 1) /
        SURFACE_ALIGNMENT * SURFACE_ALIGNMENT;
    uint32_t *pixels = static_cast<uint32_t *>(std::aligned_alloc(SURFACE_ALIGNMENT, bytes));
    if (pixels == nullptr)
        return nullptr;
    std::memset(pixels, 0, bytes);
    HDC__ *dc = new HDC__();
    dc->kind = kind;
    dc->width = width;
    dc->height = height;
    dc->pixels = pixels;
    dc->brush = StockBrush();
    dc->palette = StockPalette();
    HoldObject(dc->brush);
    HoldObject(dc->palette);
    InitSystemPalette(dc);
    RegisterDevice(dc);
    return dc;
}

extern "C" void ppDeleteDC(HDC hdc)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return;
    UnregisterDevice(dc);
    ReleaseObject(dc->brush);
    ReleaseObject(dc->palette);
    std::free(dc->pixels);
    delete dc;
}

extern "C" const uint32_t *ppDCPixels(HDC hdc, int *width, int *height)
{
    HDC__ *dc = LiveDevice(hdc);
    if (width != nullptr)
        *width = dc != nullptr ? dc->width : 0;
    if (height != nullptr)
        *height = dc != nullptr ? dc->height : 0;
    if (dc == nullptr)
        return nullptr;
    ResolvePendingFill(dc);
    return dc->pixels;
}

extern "C" void ppDCFill(HDC hdc, uint32_t rgb)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return;
    DiscardPendingFill(dc);
    std::fill(dc->pixels, dc->pixels + static_cast<size_t>(dc->width) * dc->height, rgb);
}

extern "C" const char *ppDCLogText(HDC hdc)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return "";
    dc->logText.clear();
    for (const DeviceCall &call : dc->log.Entries())
        dc->logText += call.text + "\n";
    return dc->logText.c_str();
}

extern "C" void ppDCClearLog(HDC hdc)
{
    ClearDeviceLog(hdc);
}

extern "C" void ppDCSetLogging(HDC hdc, int enabled)
{
    if (HDC__ *dc = LiveDevice(hdc))
        dc->log.on = enabled != 0;
}

extern "C" void ppDCSetLogLimits(HDC hdc, uint32_t maxEntries, uint32_t maxBytes)
{
    if (HDC__ *dc = LiveDevice(hdc))
        SetLogLimits(dc->log, maxEntries, maxBytes);
}

extern "C" int GetDeviceCaps(HDC hdc, int index)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return 0;
    int result = DeviceCaps(dc, index);
    CallRecord("GetDeviceCaps", dc).Int(index).Finish(dc, result);
    return result;
}

extern "C" int SetStretchBltMode(HDC hdc, int mode)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return 0;
    int result = 0;
    if (mode >= BLACKONWHITE && mode <= HALFTONE) {
        result = dc->stretchMode;
        dc->stretchMode = mode;
    }
    CallRecord("SetStretchBltMode", dc).Int(mode).Finish(dc, result);
    return result;
}

extern "C" int GetStretchBltMode(HDC hdc)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return 0;
    CallRecord("GetStretchBltMode", dc).Finish(dc, dc->stretchMode);
    return dc->stretchMode;
}

extern "C" BOOL FillRgn(HDC hdc, HRGN region, HBRUSH brush)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return FALSE;
    CallRecord record("FillRgn", dc);
    record.Object(region).Object(brush);
    HGDIOBJ__ *rgn = UsableObject(region, GdiKind::Region);
    HGDIOBJ__ *fill = UsableObject(brush, GdiKind::Brush);
    BOOL result = rgn != nullptr && fill != nullptr ? TRUE : FALSE;
    if (result)
        FillDeviceRect(dc, rgn->rect, BrushPixel(dc, fill->color));
    record.Finish(dc, result);
    return result;
}

extern "C" BOOL FrameRgn(HDC hdc, HRGN region, HBRUSH brush, int width, int height)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return FALSE;
    CallRecord record("FrameRgn", dc);
    record.Object(region).Object(brush).Int(width).Int(height);
    HGDIOBJ__ *rgn = UsableObject(region, GdiKind::Region);
    HGDIOBJ__ *fill = UsableObject(brush, GdiKind::Brush);
    BOOL result = FALSE;
    if (rgn != nullptr && fill != nullptr && rgn->rect.left != rgn->rect.right) {
        result = TRUE;
        if (width != 0 || height != 0) {
            // The bands come from the whole rectangle; only then is the clip applied.
            DeviceRect bands[4];
            int count = FrameBands(rgn->rect, width, height, bands);
            for (int i = 0; i < count; ++i)
                FillDeviceRect(dc, bands[i], BrushPixel(dc, fill->color));
        }
    }
    record.Finish(dc, result);
    return result;
}
