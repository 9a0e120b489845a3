/* piecepaint portable host API.
 *
 * Off Windows the library carries its own stand-in for the KERNEL32 resource
 * functions and the GDI32 device calls it uses. A host opens its resource
 * modules and creates device contexts through these functions and passes the
 * handles to PaintPrt and ManagePal exactly as a Windows host would pass
 * module and device-context handles.
 */
#ifndef PIECEPAINT_HOST_H
#define PIECEPAINT_HOST_H

#include "piecepaint/piecepaint.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Functions of this header that a Windows DLL does not export: its exports are the three of
 * piecepaint.h. */
#ifdef _WIN32
#define PIECEPAINT_HOST_API
#else
#define PIECEPAINT_HOST_API PIECEPAINT_API
#endif

/* The library's version as PIECEPAINT_VERSION_STRING spells it, for a host
 * to compare the library it runs with against the header it was built with. */
PIECEPAINT_HOST_API const char *ppVersion(void);

/* A result code of PaintPrt in words: what happened and what was drawn;
 * "unknown result" for any other value. The text is static. */
PIECEPAINT_HOST_API const char *ppResultText(int result);

/* Bounds on what one paint may take, whatever its catalogue and code lists
 * hold. They are process-wide, like the rest of the library's state, and
 * apply to every later PaintPrt call.
 *   maxPictureBytes  largest picture buffer, row stride x height bytes; a
 *                    larger picture is refused before any memory is asked
 *                    for, as a failed picture allocation (result 3);
 *   maxTemplates     largest templateCount a catalogue may claim; a larger
 *                    catalogue is a failed load (result 8);
 *   maxCodes         most entries read from the extraCodes list and from
 *                    OptionRecord.codeList; a list without its terminator
 *                    within that many entries is read no further.
 * A field of 0 (and a negative count) stands for its default. */
typedef struct PpLimits {
    uint32_t maxPictureBytes;
    int32_t maxTemplates;
    int32_t maxCodes;
} PpLimits;

#define PP_DEFAULT_MAX_PICTURE_BYTES (64u * 1024u * 1024u)
#define PP_DEFAULT_MAX_TEMPLATES 4096
#define PP_DEFAULT_MAX_CODES 4096

/* Sets the limits; null restores every default. */
PIECEPAINT_HOST_API void ppSetLimits(const PpLimits *limits);
/* The limits in force, defaults filled in. */
PIECEPAINT_HOST_API void ppGetLimits(PpLimits *limits);

/* Paints keep up to four of their large buffers (64 KiB and more) after
 * they end, for the next paint to reuse, so that steady paints ask the
 * system for no fresh memory. This returns every kept buffer to the process
 * heap; the next paint allocates afresh. (The Windows DLL keeps none.) */
PIECEPAINT_HOST_API void ppReleaseBuffers(void);

/* Opens a resource module: a PE image (DLL or EXE, 32- or 64-bit) whose
 * RT_RCDATA resources have integer ids, or a directory of files named
 * <decimal id>.bin. Returns null when the path cannot be read or is not a
 * well-formed module. */
PIECEPAINT_API HMODULE ppOpenModule(const char *path);

/* Closes a module opened with ppOpenModule; null is ignored. */
PIECEPAINT_API void ppCloseModule(HMODULE module);

/* Software device contexts. The kind fixes what GetDeviceCaps answers:
 * PP_DEVICE_TRUECOLOR  32 bits per pixel, no palette;
 * PP_DEVICE_PALETTE256 8 bits per pixel, RC_PALETTE, a 256-entry system palette;
 * PP_DEVICE_COLOR16    4 bits per pixel, no palette.
 * Every kind keeps a surface of 32-bit 0x00RRGGBB pixels (the top row first),
 * black at creation. */
enum { PP_DEVICE_TRUECOLOR = 0, PP_DEVICE_PALETTE256 = 1, PP_DEVICE_COLOR16 = 2 };

/* Creates a device context; null for an unknown kind or a width or height
 * outside 1..65535 (or more than 2^28 pixels in all). */
PIECEPAINT_API HDC ppCreateDC(int kind, int width, int height);

/* Destroys a device context; null and unknown handles are ignored. */
PIECEPAINT_API void ppDeleteDC(HDC hdc);

/* The surface: width * height pixels, row after row from the top, as the
 * calls made so far left it. The pointer stays valid until ppDeleteDC, but
 * after further drawing calls ask again: the device may defer part of a
 * fill until its pixels are read. */
PIECEPAINT_API const uint32_t *ppDCPixels(HDC hdc, int *width, int *height);

/* Sets every pixel of the surface to rgb (0x00RRGGBB), ignoring the clip
 * region. Not recorded in the log. */
PIECEPAINT_API void ppDCFill(HDC hdc, uint32_t rgb);

/* Call logs. A device context and the process-wide object log record
 * nothing until logging is switched on for them. When on, each log keeps
 * at most maxEntries calls and maxBytes bytes of copied bitmaps and text;
 * a new call pushes out the oldest ones. The newest call is always kept; a
 * StretchDIBits whose rows alone exceed maxBytes is recorded without them. */
#define PP_DEFAULT_LOG_ENTRIES 4096u
#define PP_DEFAULT_LOG_BYTES (64u * 1024u * 1024u)

/* The calls made on the device context, one line each:
 *   <name> <arguments...> -> <result>
 * Integers in decimal, colours and raster operations as 0x%08x, objects as
 * rgn(left,top,right,bottom), brush(0x00bbggrr), pal(entries,0xhash),
 * pal(stock), null or invalid; StretchDIBits shows its bitmap as
 *   dib(WxH planes=P bpp=B comp=C used=U colors=N rows=R fnv=0xXXXXXXXX).
 * The text stays valid until the next call of this function for the same
 * device context. */
PIECEPAINT_API const char *ppDCLogText(HDC hdc);
/* Empties the log and gives its memory back. */
PIECEPAINT_API void ppDCClearLog(HDC hdc);
/* Off for a new device context; nonzero switches recording on. Switching it
 * off keeps what was recorded. */
PIECEPAINT_API void ppDCSetLogging(HDC hdc, int enabled);
/* Bounds of the device context's log; 0 stands for the default. */
PIECEPAINT_API void ppDCSetLogLimits(HDC hdc, uint32_t maxEntries, uint32_t maxBytes);

/* The calls that take no device context (CreateRectRgn, CreateSolidBrush,
 * CreatePalette, UnrealizeObject, DeleteObject), process-wide, in the same
 * format, off until switched on, bounded the same way. */
PIECEPAINT_API const char *ppGdiLogText(void);
PIECEPAINT_API void ppGdiClearLog(void);
PIECEPAINT_API void ppGdiSetLogging(int enabled);
PIECEPAINT_API void ppGdiSetLogLimits(uint32_t maxEntries, uint32_t maxBytes);

#ifdef __cplusplus
}
#endif

#endif
