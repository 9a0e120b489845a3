// The composition driver. One call owns the picture header, the picture
// buffer and the work buffer; each piece bitmap is held only while its piece
// is drawn. Every step tests the result code and the releases always run.
#include "compose/compose.h"
#include "api/loader.h"
#include "api/palette.h"
#include "catalog/limits.h"
#include "compose/blit.h"
#include "compose/output.h"
#include "compose/scale.h"
#include "imageops/buffers.h"
#include "imageops/filter.h"
#include "imageops/scaling.h"
#include "imageops/smoothing.h"

#include <cstring>

namespace {

struct Picture {
    uint8_t *pixels = nullptr;
    uint32_t size = 0; // stride x height at the natural size, kept for the whole call
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};

struct Composition {
    HDC hdc = nullptr;
    HMODULE resModule = nullptr;
    HMODULE auxModule = nullptr;
    const CatalogHeader *catalogue = nullptr;
    int32_t result = PP_RESULT_OK;
    uint8_t *header = nullptr;
    Picture picture;
    uint8_t *work = nullptr;
    uint8_t bg = 0;
    uint8_t savedBg = 0;
    bool bgReplaced = false;
    ScaleDecision scale{};
    int32_t devColors = 0;
    int32_t devPalette = 0;
    // Set once the picture buffer itself has been shrunk to the drawn size;
    // only then are late pieces sized and placed by the scale factor.
    bool shrunk = false;
    bool eightBit = false;
    uint32_t pixelOffset = 0; // header and colour table of every piece bitmap
};

// The piece bitmap a placed piece reads and what it holds.
struct PieceBitmap {
    HGLOBAL handle = nullptr;
    const uint8_t *bytes = nullptr;
    uint32_t size = 0;
    int32_t width = 0;  // biWidth
    int32_t height = 0; // biHeight
};

// The pixels one piece is blitted from.
struct Source {
    const uint8_t *pixels;
    uint32_t available; // bytes readable from pixels on
    int32_t width;
    int32_t height;
};

uint16_t ReadU16(const uint8_t *at)
{
    uint16_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

int32_t ReadI32(const uint8_t *at)
{
    int32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

bool IsLate(const PlacedPiece &piece)
{
    return (piece.flags & PIECE_LATE) != 0;
}

// The background byte in force while composing, and the byte the picture
// buffer starts filled with.
uint8_t ChooseBackground(Composition &c, int32_t background)
{
    const CatalogHeader *cat = c.catalogue;
    c.bg = static_cast<uint8_t>(background);
    if (cat->colorCount == 256) {
        if (c.bg != 255) {
            c.savedBg = c.bg;
            c.bgReplaced = true;
            c.bg = 255;
        }
        return 255;
    }
    if (cat->colorCount != 16)
        return c.bg;
    uint8_t index;
    if (c.bg <= 63) {
        index = cat->bgIndex0;
        c.bg = 0;
    } else if (c.bg <= 159) {
        index = cat->bgIndex128;
        c.bg = 128;
    } else if (c.bg <= 225) {
        index = cat->bgIndex192;
        c.bg = 192;
    } else {
        index = cat->keyIndex;
        c.bg = 255;
    }
    return static_cast<uint8_t>(index * 17);
}

bool AllocPicture(Composition &c, const LayoutResult *layout, uint8_t fill)
{
    // A negative size is a 16-bit size that wrapped: no such picture exists.
    if (layout->width < 0 || layout->height < 0)
        return false;
    Picture &p = c.picture;
    p.width = layout->width;
    p.height = layout->height;
    p.stride = RowStride(p.width, c.catalogue->bitsPerPixel);
    p.size = static_cast<uint32_t>(p.stride) * static_cast<uint32_t>(p.height);
    // The size comes from the catalogue: beyond the host's limit the picture
    // is refused before anything is asked of the heap.
    if (p.size > CurrentLimits().maxPictureBytes)
        return false;
    p.pixels = static_cast<uint8_t *>(AllocBuf(p.size + 2, 1, fill * 257));
    return p.pixels != nullptr;
}

bool UsesLibraryPalette(const Composition &c)
{
    return c.devPalette == 1 && c.devColors == 256 &&
           (c.catalogue->paintFlags & PAINT_PALETTE) != 0;
}

ScaleDecision Decide(const Composition &c, const LayoutResult *layout, const ScaleInput &request)
{
    ScaleInput in = request;
    in.width = layout->width;
    in.height = layout->height;
    in.level = layout->level;
    in.baseLevel = c.catalogue->baseLevel;
    in.levelCount = c.catalogue->levelCount;
    in.reserveHeight = c.catalogue->reserveHeight;
    in.shrinkAllowed = (c.catalogue->paintFlags & PAINT_SHRINK) != 0;
    return DecideScale(in);
}

bool HasVariants(const PlacedPiece &piece)
{
    return (piece.flags & (PIECE_WIDTH_VARIANTS | PIECE_HEIGHT_VARIANTS)) != 0;
}

// Loads a piece's bitmap and checks that it holds its header and colour
// table; anything less is a failed load. A variant piece takes its sizes
// from its placement and its table, never from biWidth and biHeight, so
// only a plain piece's sizes are checked: above 32767 is a failed load, and
// zero or below is a piece with nothing to draw (see DrawPiece).
bool LoadPiece(Composition &c, const PlacedPiece &piece, PieceBitmap &bitmap)
{
    HMODULE module = (piece.flags & PIECE_AUX_MODULE) ? c.auxModule : c.resModule;
    bitmap.bytes = LoadRcData(module, piece.bitmapId, &bitmap.handle, &c.result, &bitmap.size);
    if (bitmap.bytes == nullptr)
        return false;
    if (bitmap.size >= c.pixelOffset) {
        bitmap.width = ReadI32(bitmap.bytes + 4);
        bitmap.height = ReadI32(bitmap.bytes + 8);
        if (HasVariants(piece) || (bitmap.width <= 32767 && bitmap.height <= 32767))
            return true;
    }
    c.result = PP_RESULT_LOAD_FAILED;
    return false;
}

bool RowsFit(int32_t width, int32_t height, int32_t bitsPerPixel, uint64_t available)
{
    if (width <= 0 || height <= 0)
        return true; // nothing is read
    return static_cast<uint64_t>(RowStride(width, bitsPerPixel)) * static_cast<uint64_t>(height) <=
           available;
}

// Resamples the source into the work buffer; false when that was skipped or
// failed, and the piece is then read from its stored pixels.
bool Resample(Composition &c, Source &src, int32_t width, int32_t height)
{
    if (!c.eightBit || src.width < 1 || src.height < 1 || width < 0 || height < 0)
        return false;
    if (!RowsFit(width, height, 8, c.picture.size))
        return false; // the result would not fit the work buffer
    c.work = ScaleRepeat(src.pixels, c.work, src.width, src.height, width, height,
                         static_cast<int32_t>(c.picture.size));
    if (c.work == nullptr)
        return false;
    src.pixels = c.work;
    src.available = c.picture.size;
    return true;
}

// Points the source at variant entry k of the table that starts at
// src.pixels; false when the bitmap does not hold the entry.
bool UseVariant(Source &src, int32_t k, int32_t *width, int32_t *height, bool widthVariant)
{
    uint64_t entryAt = static_cast<uint64_t>(k) * 8;
    if (entryAt + 8 > src.available)
        return false;
    const uint8_t *entry = src.pixels + entryAt;
    uint16_t offset = ReadU16(entry + 6);
    if (offset > src.available)
        return false;
    if (widthVariant)
        *height = ReadU16(entry + 4);
    else
        *width = ReadU16(entry + 2);
    src.pixels += offset;
    src.available -= offset;
    return true;
}

// Sizes a late or scaled piece: resampled, or a stored variant chosen by how
// many pixels the drawing lacks along the variable axis.
bool SizePiece(Composition &c, PlacedPiece &piece, Source &src)
{
    int32_t width = src.width;
    int32_t height = src.height;
    if (c.shrunk) {
        width = TruncScaled(width, c.scale.scale);
        height = TruncScaled(height, c.scale.scale);
    }
    if (piece.flags & PIECE_RESAMPLE) {
        if (!RowsFit(src.width, src.height, c.catalogue->bitsPerPixel, src.available))
            return false;
        Resample(c, src, width, height);
    } else if (piece.flags & PIECE_WIDTH_VARIANTS) {
        if (width < 1)
            width = 1;
        int32_t k = src.width > width ? src.width - width : 0;
        if (!UseVariant(src, k, &width, &height, true))
            return false;
    } else {
        if (height < 1)
            height = 1;
        int32_t k = src.height > height ? src.height - height : 0;
        if (!UseVariant(src, k, &width, &height, false))
            return false;
    }
    src.width = width;
    src.height = height;
    if (c.shrunk) {
        piece.x = static_cast<int16_t>(TruncScaled(piece.x, c.scale.scale));
        piece.y = static_cast<int16_t>(TruncScaled(piece.y, c.scale.scale));
    }
    return true;
}

// Blits a loaded piece; a failed load when its rows do not fit the resource.
void BlitLoaded(Composition &c, PlacedPiece &piece, const PieceBitmap &bitmap, bool secondPass,
                bool copyHeader)
{
    bool variants = HasVariants(piece);
    Source src{bitmap.bytes + c.pixelOffset, bitmap.size - c.pixelOffset,
               variants ? piece.width : bitmap.width, variants ? piece.height : bitmap.height};
    bool sized = (secondPass && c.shrunk) || variants;
    int32_t bpp = c.catalogue->bitsPerPixel;
    if ((sized && !SizePiece(c, piece, src)) ||
        !RowsFit(src.width, src.height, bpp, src.available)) {
        c.result = PP_RESULT_LOAD_FAILED;
        return;
    }
    const Picture &p = c.picture;
    BlitPiece(p.pixels, p.width, p.height, p.stride, RowStride(src.width, bpp), src.width,
              src.height, src.pixels, &piece, c.catalogue, c.catalogue->keyIndex);
    if (copyHeader)
        CopyBuf(c.header, bitmap.bytes, c.pixelOffset);
}

void DrawPiece(Composition &c, PlacedPiece &piece, bool secondPass, bool copyHeader)
{
    PieceBitmap bitmap;
    if (LoadPiece(c, piece, bitmap)) {
        if (!HasVariants(piece) && (bitmap.width <= 0 || bitmap.height <= 0)) {
            // Nothing to draw; its header and colour table are there all the same.
            if (copyHeader)
                CopyBuf(c.header, bitmap.bytes, c.pixelOffset);
        } else {
            BlitLoaded(c, piece, bitmap, secondPass, copyHeader);
        }
    }
    if (bitmap.handle != nullptr)
        FreeResource(bitmap.handle);
}

int32_t FilterStrength(const Composition &c)
{
    int32_t group = c.devColors == 16 ? 3 : 0;
    int32_t scaleCase = c.scale.shrink ? 0 : c.scale.enlarge ? 2 : 1;
    return c.catalogue->filterStrength[group + scaleCase];
}

// The effects between the two passes. The one-byte-per-pixel operations
// leave a 4-bit picture alone: they would walk past its rows.
void RunEffects(Composition &c, int32_t brightness)
{
    Picture &p = c.picture;
    uint16_t flags = c.catalogue->paintFlags;
    if (flags & PAINT_FILTER) {
        int32_t t = FilterStrength(c);
        if (t != 0 && c.eightBit)
            c.work = FilterPic(p.pixels, c.work, p.width, p.height, p.stride, c.bg, 0, -t,
                               4 * t + 5, 5, 0, c.devColors == 16 ? 1 : 0);
        if (c.eightBit)
            AdjustBright(p.pixels, brightness, p.size);
        if (c.bgReplaced) {
            ReplaceIndex(p.pixels, c.savedBg, 255, p.size);
            c.bg = c.savedBg;
        }
    }
    if ((flags & PAINT_SMOOTH) && c.eightBit)
        c.work = SmoothEdges(p.pixels, c.work, p.width, p.height, p.stride,
                             static_cast<int32_t>(p.size), c.bg);
    const ScaleDecision &s = c.scale;
    if (s.shrink && (flags & PAINT_SHRINK) && c.eightBit && s.drawnWidth >= 0 &&
        s.drawnWidth <= p.width && s.drawnHeight >= 0 && s.drawnHeight <= p.height) {
        int32_t stride = RowStride(s.drawnWidth, 8);
        ShrinkAvg(p.pixels, p.width, p.height, s.drawnWidth, s.drawnHeight, p.stride, stride);
        p.width = s.drawnWidth;
        p.height = s.drawnHeight;
        p.stride = stride;
        c.shrunk = true;
    }
}

// Early pieces, the effects, then the late pieces; a failed piece stops the
// walk and nothing more is drawn.
void DrawPasses(Composition &c, PlacedPiece *pieces, int32_t count, int32_t brightness)
{
    bool lateSeen = false;
    for (int32_t i = 0; i < count && c.result == PP_RESULT_OK; ++i) {
        if (IsLate(pieces[i]))
            lateSeen = true;
        else
            DrawPiece(c, pieces[i], false, i == 0);
    }
    if (c.result != PP_RESULT_OK)
        return;
    RunEffects(c, brightness);
    if (!lateSeen)
        return;
    for (int32_t i = 0; i < count && c.result == PP_RESULT_OK; ++i) {
        if (IsLate(pieces[i]))
            DrawPiece(c, pieces[i], true, false);
    }
}

// The header comes from an untrusted piece bitmap, but the device reads the
// picture buffer and the colour table through it: a header that describes
// more bytes than the buffers hold (another depth, a longer header, a
// compressed format, more colours) is brought back to what they hold. A
// header left zero (no piece copied it) stays zero and draws nothing.
void MatchHeaderToBuffers(Composition &c, BITMAPINFOHEADER *info)
{
    if (info->biSize != 0)
        info->biSize = sizeof(BITMAPINFOHEADER);
    WORD depth = c.eightBit ? 8 : 4;
    if (info->biBitCount != 0)
        info->biBitCount = depth;
    info->biCompression = BI_RGB;
    DWORD tableEntries = (c.pixelOffset - sizeof(BITMAPINFOHEADER)) / sizeof(RGBQUAD);
    if (info->biClrUsed > tableEntries)
        info->biClrUsed = tableEntries;
    if (info->biBitCount == 8 && info->biClrUsed == 0 && tableEntries < 256)
        info->biClrUsed = tableEntries;
}

void Output(Composition &c, const LayoutResult *layout, int32_t destLeft, int32_t destTop,
            int32_t destWidth, int32_t destHeight)
{
    auto *info = reinterpret_cast<BITMAPINFOHEADER *>(c.header);
    MatchHeaderToBuffers(c, info);
    info->biWidth = c.picture.width;
    info->biHeight = c.picture.height;
    info->biSizeImage = 0;
    int32_t right = static_cast<int32_t>(static_cast<uint32_t>(destLeft) + destWidth);
    int32_t bottom = static_cast<int32_t>(static_cast<uint32_t>(destTop) + destHeight);
    const ScaleDecision &s = c.scale;
    c.result = DrawPicture(c.hdc, c.auxModule, s.x, s.y, s.drawnWidth, s.drawnHeight, 0, 0,
                           c.picture.width, c.picture.height, c.picture.pixels,
                           reinterpret_cast<const BITMAPINFO *>(c.header), DIB_RGB_COLORS, SRCCOPY,
                           destLeft, destTop, right, bottom, layout->attention, s.showBadge, c.bg);
}

} // namespace

int32_t RowStride(int32_t width, int32_t bitsPerPixel)
{
    if (width < 0)
        return 0;
    uint32_t bytes = static_cast<uint32_t>(bitsPerPixel == 8 ? width : width / 2 + (width & 1));
    return static_cast<int32_t>((bytes + 3) & ~3u);
}

int32_t ComposePicture(HDC hdc, HMODULE resModule, HMODULE auxModule, int32_t destLeft,
                       int32_t destTop, int32_t destWidth, int32_t destHeight, int32_t availWidth,
                       int32_t availHeight, int32_t showBadge, int32_t levelRequest,
                       int32_t zoomPercent, float threshold, PlacedPiece *pieces, int32_t count,
                       LayoutResult *layout, const CatalogHeader *catalogue, int32_t background,
                       int32_t brightness)
{
    Composition c;
    c.hdc = hdc;
    c.resModule = resModule;
    c.auxModule = auxModule;
    c.catalogue = catalogue;
    c.eightBit = catalogue->bitsPerPixel == 8;
    c.pixelOffset = catalogue->colorCount == 256 ? 1064 : 104;

    c.devColors = GetDevColors(hdc);
    c.devPalette = HasDevPalette(hdc);
    if (showBadge == 0)
        layout->attention = static_cast<int16_t>(layout->attention + 1);
    c.header = static_cast<uint8_t *>(AllocBuf(catalogue->colorCount == 256 ? 1068 : 108, 1, 0));
    if (c.header == nullptr)
        return PP_RESULT_NO_HEADER_MEMORY;

    uint8_t fill = ChooseBackground(c, background);
    if (!AllocPicture(c, layout, fill)) {
        FreeBuf(c.header);
        return PP_RESULT_NO_PICTURE_MEMORY;
    }

    bool palette = UsesLibraryPalette(c);
    if (palette)
        ManagePal(hdc, 0, PAL_MSG_PAINT);

    ScaleInput request{};
    request.levelRequest = levelRequest;
    request.zoomPercent = zoomPercent;
    request.availWidth = availWidth;
    request.availHeight = availHeight;
    request.destLeft = destLeft;
    request.destTop = destTop;
    request.destWidth = destWidth;
    request.destHeight = destHeight;
    request.threshold = threshold;
    request.showBadge = showBadge;
    c.scale = Decide(c, layout, request);

    DrawPasses(c, pieces, count, brightness);
    if (c.result == PP_RESULT_OK)
        Output(c, layout, destLeft, destTop, destWidth, destHeight);

    if (palette)
        ManagePal(hdc, 1, PAL_MSG_PAINT);
    FreeBuf(c.picture.pixels);
    FreeBuf(c.work);
    FreeBuf(c.header);
    return c.result;
}
