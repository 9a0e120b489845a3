// Portable device contexts and GDI objects: the objects behind HDC and
// HGDIOBJ off Windows, and the call logs that tests and the tool read.
//
// Handles are checked against a table of live objects before use, as GDI
// does, so a deleted or foreign handle makes a call fail instead of touching
// freed memory.
//
// Logs. Recording is off until a host or test asks for it
// (ppDCSetLogging, ppGdiSetLogging). When on, every call made on a device
// context is recorded in that context's log; calls that take no device
// context (CreateRectRgn, CreateSolidBrush, CreatePalette, UnrealizeObject,
// DeleteObject) go to one process-wide object log. Each log is a ring
// bounded by a count of entries and a count of bytes (ppDCSetLogLimits,
// ppGdiSetLogLimits): a new entry pushes out the oldest ones. Every entry carries a process-wide
// sequence number, so the two can be merged into one timeline. Text lines name objects by what they
// hold, never by address, so a line reads the same in every run:
//   rgn(left,top,right,bottom)   brush(0x00bbggrr)   pal(count,0xfnv32)
//   pal(stock)   null   invalid
// and a StretchDIBits bitmap as
//   dib(WxH planes=P bpp=B comp=C used=U colors=N rows=R fnv=0xXXXXXXXX)
// where N is the colour-table entries copied, R the bytes of pixel rows
// copied and fnv the FNV-1a hash of the copied header, table and rows.
#ifndef PIECEPAINT_PLATFORM_PORTABLE_DEVICE_H
#define PIECEPAINT_PLATFORM_PORTABLE_DEVICE_H

#include "piecepaint/host.h"
#include "platform/win32.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

// [left, right) x [top, bottom) in device pixels.
struct DeviceRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// A solid fill not yet written to the surface: rect (already clipped) takes
// pixel, except where a later call has written the holes. Filling a region
// that a picture then mostly covers would write those pixels twice.
// Holes: a badge, four frame bands and the picture.
enum : int { PENDING_FILL_HOLES = 8 };
struct PendingFill {
    bool active = false;
    DeviceRect rect{};
    uint32_t pixel = 0;
    int holeCount = 0;
    DeviceRect holes[PENDING_FILL_HOLES] = {};
};

enum class GdiKind : uint8_t { Region, Brush, Palette };

struct HGDIOBJ__ {
    GdiKind kind = GdiKind::Region;
    bool stock = false;   // never freed; DeleteObject on it succeeds and does nothing
    bool deleted = false; // DeleteObject ran while a device context still held it
    int32_t selections = 0;
    uint64_t serial = 0;               // process-wide, never reused
    DeviceRect rect{};                 // region; an empty region is 0,0,0,0
    COLORREF color = 0;                // brush
    std::vector<PALETTEENTRY> entries; // palette
    uint32_t generation = 0;           // palette: UnrealizeObject starts a new one
};

// One recorded call. Handle arguments are recorded as the object's serial
// (0 for null, -1 for a handle that was not a live object).
struct DeviceCall {
    uint64_t seq = 0;
    std::string name;
    std::vector<int64_t> args;
    int64_t result = 0;
    // StretchDIBits: a copy of the 40-byte header, then the colour table,
    // then the pixel rows, laid out as a packed bitmap.
    std::vector<uint8_t> payload;
    uint32_t colorOffset = 0; // start of the colour table in payload
    uint32_t colorCount = 0;
    uint32_t pixelOffset = 0; // start of the rows in payload
    std::string text;         // the line as ppDCLogText shows it, without newline
};

// One bounded call log: the entries held are slots[first..]. An entry pushed
// out gives its memory back at once; the emptied slots are dropped in one go
// once they are as many as the entries held, so a full log costs a constant
// amount per call and its memory stays put. bytes counts the payload and
// text of the entries held.
struct CallLog {
    bool on = false;
    uint32_t maxEntries = PP_DEFAULT_LOG_ENTRIES;
    uint32_t maxBytes = PP_DEFAULT_LOG_BYTES;
    uint64_t bytes = 0;
    std::vector<DeviceCall> slots;
    size_t first = 0;

    std::span<const DeviceCall> Entries() const
    {
        return std::span<const DeviceCall>(slots).subspan(first);
    }
};

// Files an entry, dropping the oldest ones until both bounds hold again.
void AppendToLog(CallLog &log, DeviceCall &&call);
void ClearLog(CallLog &log);
// Sets the bounds (0 restores a default) and applies them to what is held.
void SetLogLimits(CallLog &log, uint32_t maxEntries, uint32_t maxBytes);

enum : int { DEVICE_PALETTE_SLOTS = 256, DEVICE_STATIC_COLORS = 20 };

// How far a logical palette is realised on one device.
struct RealisedPalette {
    uint32_t generation = 0;
    std::vector<bool> mapped; // per entry
};

struct HDC__ {
    int kind = PP_DEVICE_TRUECOLOR;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t *pixels = nullptr; // 0x00RRGGBB (0xAARRGGBB after a 32-bit source), top row first
    int stretchMode = BLACKONWHITE;
    bool clipped = false; // a clip region is selected
    DeviceRect clip{};    // an empty clip hides everything
    HGDIOBJ brush = nullptr;
    HGDIOBJ palette = nullptr;
    bool paletteBackground = false; // how the selected palette was selected
    // The simulated system palette of a 256-colour device: 0x00RRGGBB per
    // slot, and the serial of the palette that entered it (0 static, -1 free).
    uint32_t systemColors[DEVICE_PALETTE_SLOTS] = {};
    int64_t slotOwner[DEVICE_PALETTE_SLOTS] = {};
    std::map<uint64_t, RealisedPalette> realised; // by palette serial
    PendingFill pendingFill;
    CallLog log;
    std::string logText; // backing store of ppDCLogText
};

// Live-handle checks: null unless the handle names a live object (of that
// kind, and not deleted) or a live device context.
HDC__ *LiveDevice(HDC hdc);
HGDIOBJ__ *UsableObject(HGDIOBJ object, GdiKind kind);
HGDIOBJ__ *UsableObject(HGDIOBJ object);
bool IsRegionResult(HGDIOBJ object); // the small integers SelectObject returns for a region

void RegisterDevice(HDC__ *dc);
void UnregisterDevice(HDC__ *dc);

// Object bookkeeping shared by the device files.
HGDIOBJ NewObject(GdiKind kind);
HGDIOBJ StockPalette();
HGDIOBJ StockBrush();
void HoldObject(HGDIOBJ object);    // a device context selected it
void ReleaseObject(HGDIOBJ object); // a device context let it go; frees a deleted object
int64_t ObjectArg(HGDIOBJ object);
std::string DescribeObject(HGDIOBJ object);
// The static colours of every palette device, in DEFAULT_PALETTE order.
const PALETTEENTRY *StaticColors();

// COLORREF 0x00BBGGRR to a surface pixel 0x00RRGGBB.
inline uint32_t SurfaceColor(COLORREF color)
{
    return ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

// The surface pixel a brush colour paints on dc (palette indices through the
// palette selected in it).
uint32_t BrushPixel(const HDC__ *dc, COLORREF color);

// Builds one log entry; Finish files it with the device context or in the
// object log (when the context is null), when logging is on there.
// One call for the log of dc (the object log when dc is null), the same dc
// Finish is given. While that log is off nothing is formatted: a host that
// paints for hours with recording off spends nothing on it.
class CallRecord {
  public:
    CallRecord(const char *name, const HDC__ *dc);
    CallRecord &Int(int64_t value);
    CallRecord &Hex(uint32_t value);
    CallRecord &Object(HGDIOBJ object);
    CallRecord &Text(const std::string &text); // text only, no argument
    DeviceCall &Entry() { return call_; }
    void Finish(HDC__ *dc, int64_t result, const std::string &resultText);
    void Finish(HDC__ *dc, int64_t result);
    // The result is an object, logged by what it holds.
    void FinishObject(HDC__ *dc, HGDIOBJ object);

  private:
    bool on_;
    DeviceCall call_;
};

bool ObjectLogging();

// Test hook: the n-th next CreateRectRgn, CreateSolidBrush or CreatePalette
// (1 = the very next) fails and returns null; 0 disarms.
void ppGdiFailCreateNth(int32_t n);
// Counts a creation down; true when this one is to fail.
bool CreationFails();

// Reading the logs (tests and the host API).
// Valid until the next call recorded in that log.
std::span<const DeviceCall> DeviceLog(HDC hdc);
void ClearDeviceLog(HDC hdc);
std::span<const DeviceCall> ObjectLog();
void ClearObjectLog();
// The serial a log entry uses for a handle (0 for null).
uint64_t ObjectSerial(HGDIOBJ object);

// Fills r intersected with the visible part of the surface (surface and clip).
void FillDeviceRect(HDC__ *dc, DeviceRect r, uint32_t pixel);
// The pending fill (see PendingFill, pending_fill.cpp). Every call that reads
// the surface resolves it first; one that writes every pixel of a rectangle
// marks the rectangle written instead, and one that writes the surface in
// some other way resolves it first. Discard drops it (the whole surface is
// being overwritten).
void ResolvePendingFill(HDC__ *dc);
void MarkSurfaceWritten(HDC__ *dc, DeviceRect written);
void DiscardPendingFill(HDC__ *dc);
// Defers a fill of v (clipped, not empty).
void DeferFill(HDC__ *dc, DeviceRect v, uint32_t pixel);
// The surface intersected with the clip region; may be empty.
DeviceRect VisibleRect(const HDC__ *dc);

// FNV-1a over bytes, for log lines.
uint32_t Fnv32(const uint8_t *bytes, size_t size, uint32_t hash = 2166136261u);

#endif
