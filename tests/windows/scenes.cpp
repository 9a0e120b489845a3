// The pictures of the Wine comparison. Paints use catalogues built here and
// written as resource DLLs; the device pictures call GDI directly with
// bitmaps of every format. Everything is deterministic: the same script for
// every run.
#include "windows/scenes.h"

#include "catalog/records.h"
#include "common/pe_writer.h"
#include "support/builders.h"
#include "support/dib.h"
#include "support/layout_run.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>

namespace ppwine {

namespace {

using Bytes = std::vector<uint8_t>;

// A colour for table entry i that differs from its neighbours in every
// channel, so that AND and OR of a group show which pixels took part.
uint32_t TableColour(uint32_t i, uint32_t seed)
{
    uint32_t r = (i * 37u + 11u + seed) & 0xFFu;
    uint32_t g = (i * 91u + 50u + 3u * seed) & 0xFFu;
    uint32_t b = (i * 53u + 200u + 7u * seed) & 0xFFu;
    return (r << 16) | (g << 8) | b;
}

std::vector<uint32_t> Table(uint32_t entries, uint32_t seed)
{
    std::vector<uint32_t> colours;
    for (uint32_t i = 0; i < entries; ++i)
        colours.push_back(TableColour(i, seed));
    return colours;
}

// A piece bitmap of 8 or 4 bits whose colour table is Table(seed); index
// gives pixel (x, y), y counted from the top.
Bytes PieceBitmap(int32_t width, int32_t height, int bpp, uint32_t seed,
                  const std::function<uint8_t(int, int)> &index)
{
    int32_t colours = bpp == 8 ? 256 : 16;
    Bytes pixels;
    for (int32_t y = height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x)
            pixels.push_back(index(x, y));
    }
    Bytes bytes = pptest::BuildBitmap(width, height, bpp, colours, pixels);
    for (int32_t i = 0; i < colours; ++i) {
        uint32_t c = TableColour(static_cast<uint32_t>(i), seed);
        uint8_t *q = bytes.data() + 40 + 4 * i;
        q[0] = static_cast<uint8_t>(c);
        q[1] = static_cast<uint8_t>(c >> 8);
        q[2] = static_cast<uint8_t>(c >> 16);
        q[3] = static_cast<uint8_t>(i * 5); // reserved bytes are not colour
    }
    return bytes;
}

struct Catalogue {
    CatalogHeader header = pptest::DefaultHeader();
    std::vector<PieceTemplate> templates;
    std::map<uint16_t, Bytes> res;
    std::map<uint16_t, Bytes> aux;

    // One size level, so that fitting shrinks and enlarges the picture.
    Catalogue()
    {
        header.levelCount = 1;
        header.baseLevel = 4;
    }
    void Add(size_t index, int16_t id, int16_t x, int16_t y, int16_t width, int16_t height,
             const Bytes &bitmap, uint8_t flags = 0, int16_t attention = 0)
    {
        PieceTemplate t = pptest::PlacedTemplate(index, 0xA001, 0xA001);
        pptest::SetSize(t, width, height);
        pptest::SetOffsets(t, x, y);
        t.bitmapId = id;
        t.drawOrder = static_cast<uint16_t>(index + 1);
        t.pieceFlags = flags;
        if (attention != 0)
            t.attention = attention;
        templates.push_back(t);
        ((flags & PIECE_AUX_MODULE) ? aux : res)[static_cast<uint16_t>(id)] = bitmap;
    }
    void Write(ScriptWriter &w, const std::string &name, bool pe32plus)
    {
        res[PP_CATALOGUE_ID] = pptest::BuildCatalog(header, templates);
        w.File(name + "_res.dll", pptool::WriteResourceDll(res, pe32plus));
        w.File(name + "_aux.dll", pptool::WriteResourceDll(aux, pe32plus));
    }
};

// Patterns with transparent holes (key index) so later pieces show through.
std::function<uint8_t(int, int)> Pattern(int a, int b, int offset, int key, int mask)
{
    return [=](int x, int y) {
        if ((x * 3 + y * 5) % 11 == 0)
            return static_cast<uint8_t>(key);
        int v = (x * a + y * b + offset) & mask;
        return static_cast<uint8_t>(v == key ? (v + 1) & mask : v);
    };
}

constexpr int16_t ID_FIRST = 30100;

// Pieces 0 to 2 make the picture (2 from the second module); 3 asks for a
// yellow frame, 4 for a red one. Codes 1000 + index switch them on.
void EightBitPieces(Catalogue &c)
{
    c.header.reserveHeight = 6;
    c.Add(0, ID_FIRST, 0, 0, 24, 14, PieceBitmap(24, 14, 8, 1, Pattern(7, 19, 3, 0, 255)));
    c.Add(1, ID_FIRST + 1, 6, 4, 12, 9, PieceBitmap(12, 9, 8, 2, Pattern(13, 5, 90, 0, 255)));
    c.Add(2, ID_FIRST + 2, 16, 10, 10, 8, PieceBitmap(10, 8, 8, 3, Pattern(29, 3, 170, 0, 255)),
          PIECE_AUX_MODULE);
    c.Add(3, ID_FIRST + 3, 2, 9, 6, 4, PieceBitmap(6, 4, 8, 4, Pattern(1, 1, 40, 0, 255)), 0,
          ATTENTION_YELLOW);
    c.Add(4, ID_FIRST + 4, 20, 1, 5, 5, PieceBitmap(5, 5, 8, 5, Pattern(2, 9, 60, 0, 255)), 0,
          ATTENTION_RED);
    c.aux[PP_BADGE_ID] = PieceBitmap(9, 5, 8, 6, Pattern(17, 23, 5, 300, 255));
}

void FourBitPieces(Catalogue &c)
{
    c.header.bitsPerPixel = 4;
    c.header.colorCount = 16;
    c.header.keyIndex = 15;
    c.header.bgIndex0 = 0;
    c.header.bgIndex128 = 7;
    c.header.bgIndex192 = 8;
    c.header.reserveHeight = 5;
    c.Add(0, ID_FIRST, 0, 0, 19, 11, PieceBitmap(19, 11, 4, 7, Pattern(3, 5, 1, 15, 15)));
    c.Add(1, ID_FIRST + 1, 5, 3, 9, 7, PieceBitmap(9, 7, 4, 8, Pattern(5, 2, 6, 15, 15)));
    c.Add(2, ID_FIRST + 2, 12, 8, 8, 5, PieceBitmap(8, 5, 4, 9, Pattern(1, 7, 9, 15, 15)),
          PIECE_AUX_MODULE);
    c.Add(3, ID_FIRST + 3, 1, 7, 4, 3, PieceBitmap(4, 3, 4, 10, Pattern(1, 1, 2, 15, 15)), 0,
          ATTENTION_YELLOW);
    c.Add(4, ID_FIRST + 4, 14, 1, 4, 4, PieceBitmap(4, 4, 4, 11, Pattern(2, 3, 4, 15, 15)), 0,
          ATTENTION_RED);
    c.aux[PP_BADGE_ID] = PieceBitmap(7, 4, 4, 12, Pattern(3, 1, 5, 99, 15));
}

struct Paint {
    std::string res;
    std::string aux = "-";
    int destLeft = 0, destTop = 0, destWidth = 0, destHeight = 0;
    int availWidth = 0, availHeight = 0;
    int showBadge = 0, level = 0, zoom = 0, background = 128, brightness = 0;
    std::string options = "-", codeList = "-", extra = "1000:1001:1002";
};

std::string PaintLine(const Paint &p)
{
    return "paint " + p.res + " " + p.aux + " " + std::to_string(p.destLeft) + " " +
           std::to_string(p.destTop) + " " + std::to_string(p.destWidth) + " " +
           std::to_string(p.destHeight) + " " + std::to_string(p.availWidth) + " " +
           std::to_string(p.availHeight) + " " + std::to_string(p.showBadge) + " " +
           std::to_string(p.level) + " " + std::to_string(p.zoom) + " " +
           std::to_string(p.background) + " " + std::to_string(p.brightness) + " " + p.options +
           " " + p.codeList + " " + p.extra;
}

// A paint into a dest rectangle that is also the offered space.
Paint Into(const std::string &catalogue, int left, int top, int width, int height)
{
    Paint p;
    p.res = catalogue + "_res.dll";
    p.aux = catalogue + "_aux.dll";
    p.destLeft = left;
    p.destTop = top;
    p.destWidth = p.availWidth = width;
    p.destHeight = p.availHeight = height;
    return p;
}

Paint Zoom(Paint p, int zoom)
{
    p.level = 1;
    p.zoom = zoom;
    return p;
}

Paint Badge(Paint p)
{
    p.showBadge = 1;
    return p;
}

Paint With(Paint p, const std::string &extraCodes)
{
    p.extra += ":" + extraCodes;
    return p;
}

void Picture(ScriptWriter &w, const std::string &name, int width, int height, uint32_t fill,
             const std::vector<std::string> &lines)
{
    char head[128];
    std::snprintf(head, sizeof head, "picture %s %d %d 0x%06x", name.c_str(), width, height, fill);
    w.Line(head);
    for (const std::string &line : lines)
        w.Line(line);
    w.Line("end");
}

void PaintPictures(ScriptWriter &w, const std::string &c, int bits)
{
    const std::string p = "paint_" + c + "_";
    const int W = 72, H = 56;
    const uint32_t fill = 0x3C5A78;
    Paint base = Into(c, 4, 3, 60, 44);
    Picture(w, p + "natural", W, H, fill, {PaintLine(Zoom(base, 0))});
    Picture(w, p + "fit_enlarge", W, H, fill, {PaintLine(Into(c, 1, 2, 70, 52))});
    Picture(w, p + "fit_shrink", W, H, fill, {PaintLine(Into(c, 3, 3, 20 - bits, 12))});
    Picture(w, p + "zoom_enlarge", W, H, fill, {PaintLine(Zoom(base, 230))});
    Picture(w, p + "zoom_enlarge_odd", W, H, fill, {PaintLine(Zoom(base, 137))});
    Picture(w, p + "zoom_shrink", W, H, fill, {PaintLine(Zoom(base, 45))});
    Picture(w, p + "zoom_shrink_odd", W, H, fill, {PaintLine(Zoom(base, 71))});
    Picture(w, p + "badge", W, H, fill, {PaintLine(Badge(Into(c, 2, 2, 66, 50)))});
    Picture(w, p + "badge_shrink", W, H, fill, {PaintLine(Badge(Into(c, 2, 2, 16, 15)))});
    Picture(w, p + "yellow_badge", W, H, fill, {PaintLine(With(Badge(base), "1003"))});
    Picture(w, p + "yellow_nobadge", W, H, fill, {PaintLine(With(base, "1003"))});
    Picture(w, p + "red_badge", W, H, fill,
            {PaintLine(With(Badge(Into(c, 5, 6, 30, 30)), "1004"))});
    Picture(w, p + "red_nobadge", W, H, fill, {PaintLine(With(Into(c, 0, 0, 72, 56), "1004"))});
    // The picture is larger than the destination rectangle: the clip region
    // (the rectangle) cuts it.
    Picture(w, p + "clip_rectangle", W, H, fill, {PaintLine(Zoom(Into(c, 10, 8, 30, 20), 300))});
    Picture(w, p + "clip_surface_topleft", W, H, fill,
            {PaintLine(With(Zoom(Into(c, -7, -5, 60, 50), 250), "1004"))});
    Picture(w, p + "clip_surface_bottomright", W, H, fill,
            {PaintLine(Badge(With(Zoom(Into(c, 40, 30, 50, 40), 190), "1003")))});
    // The second paint's clip region replaces the first one's.
    Picture(w, p + "two_paints", W, H, fill,
            {PaintLine(Zoom(Into(c, 0, 0, 40, 30), 100)),
             PaintLine(With(Zoom(Into(c, 30, 20, 42, 36), 150), "1004"))});
    Paint background = base;
    background.background = 0;
    Picture(w, p + "background_black", W, H, fill, {PaintLine(background)});
    background.background = 200;
    background.brightness = 30;
    Picture(w, p + "background_light", W, H, fill, {PaintLine(background)});
    // The badge is missing from a null second module: 7, the rest is drawn.
    Paint noBadge = Badge(base);
    noBadge.aux = "-";
    noBadge.extra = "1000:1001";
    Picture(w, p + "badge_missing", W, H, fill, {PaintLine(noBadge)});
    // Nothing selected: 1, nothing drawn.
    Paint nothing = base;
    nothing.extra = "4242";
    Picture(w, p + "nothing_selected", W, H, fill, {PaintLine(nothing)});
    // The pieces chosen through the option record's code list instead.
    Paint options = base;
    options.options = "0:0:0:1004:0:0:0";
    options.codeList = "1000:1001";
    options.extra = "-";
    Picture(w, p + "option_record", W, H, fill, {PaintLine(options)});
    // The resource DLL mapped as an image rather than as a data file.
    Paint image = Badge(base);
    image.res = "+" + image.res;
    image.aux = "+" + image.aux;
    Picture(w, p + "image_modules", W, H, fill, {PaintLine(image)});
}

void EffectPictures(ScriptWriter &w)
{
    const int W = 64, H = 48;
    const uint32_t fill = 0x102030;
    Paint shrink = Into("fx", 2, 2, 17, 11);
    shrink.brightness = 25;
    Picture(w, "paint_fx_shrink", W, H, fill, {PaintLine(shrink)});
    Picture(w, "paint_fx_shrink_badge", W, H, fill, {PaintLine(Badge(Into("fx", 2, 2, 20, 20)))});
    Picture(w, "paint_fx_enlarge", W, H, fill, {PaintLine(With(Into("fx", 0, 0, 64, 48), "1003"))});
    Picture(w, "paint_fx_natural", W, H, fill, {PaintLine(Zoom(Into("fx", 3, 4, 50, 40), 0))});
}

// Bitmaps for the direct device pictures, written as packed DIB files.
struct Source {
    std::string name;
    int32_t width;
    int32_t height;
    size_t bitsOffset; // header and colour table
};

std::vector<uint32_t> SourcePixels(int32_t width, int32_t height, int bpp, uint32_t seed)
{
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t v = static_cast<uint32_t>(x * 7 + y * 19) + seed;
            switch (bpp) {
            case 1:
                pixels.push_back((x + y + seed) % 3 == 0 ? 1 : 0);
                break;
            case 4:
                pixels.push_back(v & 15);
                break;
            case 8:
                pixels.push_back(v & 255);
                break;
            case 16:
                pixels.push_back((v * 2654435761u) >> 17);
                break;
            default:
                pixels.push_back(TableColour(v, seed) | ((v * 29u & 0xFFu) << 24));
                break;
            }
        }
    }
    return pixels;
}

std::vector<Source> WriteSources(ScriptWriter &w)
{
    struct Spec {
        std::string name;
        int32_t width, height;
        int bpp;
        bool topDown;
        uint32_t clrUsed;
    };
    const Spec specs[] = {{"src8", 13, 11, 8, false, 0},  {"src8td", 13, 11, 8, true, 0},
                          {"src4", 11, 7, 4, false, 0},   {"src1", 17, 9, 1, false, 0},
                          {"src16", 9, 6, 16, false, 0},  {"src24", 10, 7, 24, false, 0},
                          {"src32", 10, 7, 32, false, 0}, {"src8used", 12, 10, 8, false, 20}};
    std::vector<Source> sources;
    uint32_t seed = 0;
    for (const Spec &s : specs) {
        ++seed;
        uint32_t entries = s.clrUsed != 0 ? s.clrUsed : (s.bpp <= 8 ? 1u << s.bpp : 0u);
        std::vector<uint32_t> table = Table(entries, seed);
        for (size_t i = 0; i < table.size(); ++i)
            table[i] |= static_cast<uint32_t>(i * 17u & 0xFFu) << 24; // reserved bytes
        pptest::Dib dib =
            pptest::MakeDib(s.width, s.height, s.bpp, SourcePixels(s.width, s.height, s.bpp, seed),
                            table, s.topDown, s.clrUsed);
        Bytes packed = dib.info;
        packed.insert(packed.end(), dib.bits.begin(), dib.bits.end());
        w.File(s.name + ".dib", packed);
        sources.push_back(Source{s.name, s.width, s.height, dib.info.size()});
    }
    // BI_BITFIELDS: 16 and 32 bits with the masks after the header, among
    // them runs longer than a byte, short ones, and the surface's own layout.
    struct Masked {
        std::string name;
        int bpp;
        uint32_t masks[3];
    };
    const Masked masked[] = {{"bf565", 16, {0xF800, 0x07E0, 0x001F}},
                             {"bf444", 16, {0x000F, 0x0F00, 0xF000}},
                             {"bf32rgb", 32, {0xFF0000, 0xFF00, 0xFF}},
                             {"bf32wide", 32, {0x3FF00000, 0x000FFC00, 0x000003FF}}};
    for (const Masked &m : masked) {
        ++seed;
        pptest::Dib dib =
            pptest::MakeDib(9, 7, m.bpp, SourcePixels(9, 7, m.bpp == 16 ? 16 : 32, seed));
        dib.Header().biCompression = 3;
        for (uint32_t mask : m.masks) {
            for (int b = 0; b < 4; ++b)
                dib.info.push_back(static_cast<uint8_t>(mask >> (8 * b)));
        }
        Bytes packed = dib.info;
        packed.insert(packed.end(), dib.bits.begin(), dib.bits.end());
        w.File(m.name + ".dib", packed);
        sources.push_back(Source{m.name, 9, 7, dib.info.size()});
    }
    return sources;
}

// Writes a run-length coded bitmap as a packed DIB file, its table
// Table(entries, seed); sizeImage (when not 0) replaces biSizeImage, the file
// keeping every coded byte.
Source RleSource(ScriptWriter &w, const std::string &name, int32_t width, int32_t height, int bpp,
                 const Bytes &coded, uint32_t seed, uint32_t sizeImage = 0, uint32_t clrUsed = 0)
{
    pptest::Dib dib = pptest::MakeRleDib(width, height, bpp, coded,
                                         Table(clrUsed != 0 ? clrUsed : 1u << bpp, seed), clrUsed);
    if (sizeImage != 0)
        dib.Header().biSizeImage = sizeImage;
    Bytes packed = dib.info;
    packed.insert(packed.end(), dib.bits.begin(), dib.bits.end());
    w.File(name + ".dib", packed);
    return Source{name, width, height, dib.info.size()};
}

// Coded rows with every kind of run and escape: encoded runs, absolute runs
// of odd and even lengths (4 bits: from odd and even columns), moves within a
// line and across lines, runs longer than the row, lines left with pixels no
// run set, end of bitmap before the last row.
const Bytes RLE8_ALL = {
    0x03, 0x11, 0x00, 0x03, 0x21, 0x22, 0x23, 0x00, 0x02, 0x31, 0x00, 0x00,         // line 0
    0x00, 0x04, 0x41, 0x42, 0x43, 0x44, 0x0C, 0x51, 0x00, 0x00,                     // 1
    0x02, 0x61, 0x00, 0x02, 0x03, 0x01, 0x02, 0x62, 0x00, 0x00,                     // 2, then 3
    0x00, 0x05, 0x71, 0x72, 0x73, 0x74, 0x75, 0x00, 0x00, 0x0A, 0x81, 0x82, 0x83,   // 4
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x00, 0x00,                           //
    0x01, 0x91, 0x00, 0x02, 0x01, 0x00, 0x03, 0x92, 0x00, 0x00,                     // 5
    0x04, 0xA1, 0x00, 0x01, 0x09, 0xB1, 0x00, 0x00};                                // 6, ended
const Bytes RLE4_ALL = {0x05, 0x12, 0x00, 0x03, 0x34, 0x50, 0x03, 0x67, 0x00, 0x00, // line 0
                        0x01, 0x89, 0x00, 0x04, 0xAB, 0xCD, 0x04, 0xEF, 0x00, 0x02, 0x01, // 1
                        0x00, 0x00, 0x00,                                                 //
                        0x00, 0x05, 0x12, 0x34, 0x50, 0x00, 0x0F, 0x9A, 0x00, 0x00,       // 2
                        0x00, 0x02, 0x03, 0x01,                                           // 3, to 4
                        0x03, 0xBC, 0x02, 0xDE, 0x01, 0xF1, 0x00, 0x02, 0x05, 0x00,       // 4
                        0x00, 0x00,                                                       //
                        0x00, 0x03, 0x12, 0x3F, 0x00, 0x02, 0x01, 0x00, 0x02, 0x45,       // 5
                        0x00, 0x01};
// Cut short: the last line's runs with neither end of line nor end of bitmap.
const Bytes RLE8_OPEN = {0x03, 0x11, 0x00, 0x03, 0x21, 0x22, 0x23, 0x00, 0x00,
                         0x00, 0x02, 0x41, 0x00, 0x04, 0x51, 0x52, 0x53, 0x54};

// The coded sources of the comparison; the first ones are drawn in every
// way, the rest (short image sizes, open lines, refused headers) at 1:1 and
// enlarged.
std::vector<Source> WriteRleSources(ScriptWriter &w)
{
    return {RleSource(w, "rle8", 9, 7, 8, RLE8_ALL, 31),
            RleSource(w, "rle4", 11, 6, 4, RLE4_ALL, 32),
            RleSource(w, "rle8used", 9, 7, 8, RLE8_ALL, 33, 0, 0x50),
            // Cut inside line 4's first absolute run, in its second, and
            // after its closing end of line.
            RleSource(w, "rle8cut_abs", 9, 7, 8, RLE8_ALL, 34, 34),
            RleSource(w, "rle8cut_line", 9, 7, 8, RLE8_ALL, 35, 46),
            RleSource(w, "rle8cut_eol", 9, 7, 8, RLE8_ALL, 36, 54),
            // An odd size that cuts off line 5's end of line, and one that
            // cuts off the end of bitmap.
            RleSource(w, "rle8cut_odd", 9, 7, 8, RLE8_ALL, 37, 63),
            RleSource(w, "rle8cut_end", 9, 7, 8, RLE8_ALL, 37, 67),
            // A move cut after its first byte, and a line cut after a run.
            RleSource(w, "rle4cut_delta", 11, 6, 4, RLE4_ALL, 38, 21),
            RleSource(w, "rle4cut_line", 11, 6, 4, RLE4_ALL, 39, 45),
            RleSource(w, "rle8open", 6, 3, 8, RLE8_OPEN, 40),
            RleSource(w, "rle8tall", 9, 30, 8, RLE8_ALL, 41),
            RleSource(w, "rle8one", 9, 7, 8, RLE8_ALL, 42, 1)};
}

// Headers StretchDIBits refuses for coded rows: top-down, no image size, and
// a bit count that is not the coding's.
std::vector<Source> WriteRefusedRle(ScriptWriter &w)
{
    std::vector<Source> refused;
    const char *names[] = {"rle_topdown", "rle_nosize", "rle8_bpp4", "rle4_bpp8"};
    for (int i = 0; i < 4; ++i) {
        pptest::Dib dib = pptest::MakeRleDib(9, 7, i == 3 ? 4 : 8, RLE8_ALL, Table(256, 50));
        BITMAPINFOHEADER &h = dib.Header();
        if (i == 0)
            h.biHeight = -7;
        if (i == 1)
            h.biSizeImage = 0;
        if (i == 2)
            h.biBitCount = 4;
        if (i == 3)
            h.biBitCount = 8;
        Bytes packed = dib.info;
        packed.insert(packed.end(), dib.bits.begin(), dib.bits.end());
        w.File(std::string(names[i]) + ".dib", packed);
        refused.push_back(Source{names[i], 9, 7, dib.info.size()});
    }
    return refused;
}

// Random coded rows for the random batch: runs, absolute runs, escapes in
// any order, sometimes without an end, sometimes with a short image size.
Source RandomRleSource(ScriptWriter &w, std::mt19937 &random, int n)
{
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    int bpp = n % 2 == 0 ? 8 : 4;
    int32_t width = pick(3, 14), height = pick(2, 9);
    int mask = bpp == 8 ? 255 : 15;
    Bytes coded;
    for (int ops = pick(4, 30); ops > 0; --ops) {
        int kind = pick(0, 9);
        if (kind < 4) {
            coded.push_back(static_cast<uint8_t>(pick(1, width + 2)));
            coded.push_back(static_cast<uint8_t>(pick(0, 255)));
        } else if (kind < 7) {
            int count = pick(3, width + 2);
            coded.push_back(0);
            coded.push_back(static_cast<uint8_t>(count));
            int bytes = (count * bpp + 7) / 8;
            for (int i = 0; i < bytes + (bytes & 1); ++i)
                coded.push_back(static_cast<uint8_t>(pick(0, 255) & (bpp == 8 ? mask : 255)));
        } else if (kind < 9) {
            coded.push_back(0);
            coded.push_back(0);
        } else {
            coded.push_back(0);
            coded.push_back(2);
            coded.push_back(static_cast<uint8_t>(pick(0, 4)));
            coded.push_back(static_cast<uint8_t>(pick(0, 2)));
        }
    }
    if (pick(0, 2) != 0) {
        coded.push_back(0);
        coded.push_back(1);
    }
    uint32_t size =
        pick(0, 3) == 0 ? static_cast<uint32_t>(pick(1, static_cast<int>(coded.size()))) : 0;
    uint32_t used = pick(0, 3) == 0 ? static_cast<uint32_t>(pick(1, 1 << bpp)) : 0;
    return RleSource(w, "rle_rnd" + std::to_string(n), width, height, bpp, coded,
                     static_cast<uint32_t>(60 + n), size, used);
}

std::string Stretch(const Source &s, int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh)
{
    return "stretch " + std::to_string(dx) + " " + std::to_string(dy) + " " + std::to_string(dw) +
           " " + std::to_string(dh) + " " + std::to_string(sx) + " " + std::to_string(sy) + " " +
           std::to_string(sw) + " " + std::to_string(sh) + " " + s.name + ".dib " +
           std::to_string(s.bitsOffset);
}

std::string Frame(int l, int t, int r, int b, uint32_t colour, int fw, int fh)
{
    char line[128];
    std::snprintf(line, sizeof line, "frame %d %d %d %d 0x%06x %d %d", l, t, r, b, colour, fw, fh);
    return line;
}

std::string Fill(int l, int t, int r, int b, uint32_t colour)
{
    char line[128];
    std::snprintf(line, sizeof line, "fill %d %d %d %d 0x%06x", l, t, r, b, colour);
    return line;
}

std::string Colour(const char *command, int l, int t, int r, int b, uint32_t colour)
{
    char line[128];
    std::snprintf(line, sizeof line, "%s %d %d %d %d 0x%08x", command, l, t, r, b, colour);
    return line;
}

std::string Clip(int l, int t, int r, int b)
{
    return "clip " + std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " +
           std::to_string(b);
}

// Every stretch mode the paint may meet, on every source format: shrinking,
// enlarging, both at once, mirrored and from a source partly off the bitmap.
void StretchPictures(ScriptWriter &w, const std::vector<Source> &sources)
{
    for (int mode = 1; mode <= 3; ++mode) {
        for (const Source &s : sources) {
            int sw = s.width, sh = s.height;
            Picture(w, "gdi_mode" + std::to_string(mode) + "_" + s.name, 64, 44, 0x808080,
                    {"mode " + std::to_string(mode), Stretch(s, 1, 1, 5, 4, 0, 0, sw, sh),
                     Stretch(s, 8, 1, 6, sh, 0, 0, sw, sh),
                     Stretch(s, 16, 1, 2 * sw + 3, 2 * sh + 1, 0, 0, sw, sh),
                     Stretch(s, 50, 1, sw / 2, 2 * sh - 3, 0, 0, sw, sh),
                     Stretch(s, 1, 7, sw, sh, 0, 0, sw, sh),
                     Stretch(s, 62, 26, -9, 10, 0, 0, sw, sh),
                     Stretch(s, 1, 28, 8, 10, -3, 2, sw - 3, sh + 1),
                     Stretch(s, 16, 30, 7, 13, 2, 1, -5, sh - 2)});
        }
    }
    // Top-down bitmaps: from the origin at 1:1 the rows are taken as they
    // stand; any other call counts source rows from the bottom.
    const Source &td = sources[1];
    Picture(w, "gdi_topdown", 48, 32, 0x204060,
            {Stretch(td, 0, 0, 13, 11, 0, 0, 13, 11), Stretch(td, 15, 0, 9, 7, 0, 0, 9, 7),
             Stretch(td, 26, 0, 9, 7, 2, 3, 9, 7), Stretch(td, 0, 14, 26, 11, 0, 0, 13, 11),
             Stretch(td, 30, 14, 9, 7, 0, 0, 9, 8)});
}

void RegionPictures(ScriptWriter &w, const std::vector<Source> &sources)
{
    const uint32_t red = 0x0000FF, yellow = 0x00FFFF, blue = 0xFF3010;
    std::vector<std::string> frames = {
        Frame(2, 2, 30, 20, yellow, 4, 4),    Frame(35, 2, 60, 12, red, 1, 3),
        Frame(2, 24, 12, 30, blue, 20, 20),   Frame(40, 20, 52, 36, red, -2, -3),
        Frame(20, 30, 20, 38, red, 4, 4),     Frame(14, 24, 34, 34, red, 0, 0),
        Frame(-3, -3, 10, 10, blue, 4, 4),    Frame(56, 34, 70, 50, yellow, 4, 4),
        Frame(30, 40, 14, 22, 0x123456, 3, 2)};
    Picture(w, "gdi_frames", 64, 44, 0x808080, frames);
    std::vector<std::string> clipped = {Clip(5, 5, 40, 30)};
    clipped.insert(clipped.end(), frames.begin(), frames.end());
    Picture(w, "gdi_frames_clipped", 64, 44, 0x808080, clipped);
    Picture(w, "gdi_fills", 64, 44, 0x808080,
            {Fill(30, 20, 10, 5, red), Fill(-5, 30, 8, 60, blue), Fill(50, 2, 50, 9, yellow),
             Clip(40, 2, 60, 20), Fill(35, 0, 64, 10, yellow), Clip(10, 10, 10, 20),
             Fill(0, 0, 64, 44, red), Clip(100, 100, 120, 120), Fill(0, 0, 64, 44, red),
             Clip(50, 40, 20, 30), Fill(0, 0, 64, 44, 0x00FF00)});
    const Source &s8 = sources[0];
    Picture(w, "gdi_clipped_stretch", 64, 44, 0x808080,
            {Clip(3, 4, 25, 19), Stretch(s8, 0, 0, 40, 30, 0, 0, 13, 11), Clip(30, 20, 64, 44),
             "mode 1", Stretch(s8, 28, 18, 9, 7, 0, 0, 13, 11),
             Stretch(s8, 40, 18, 30, 30, 0, 0, 13, 11), Clip(0, 0, 0, 0),
             Stretch(s8, 0, 0, 64, 44, 0, 0, 13, 11)});
    // One fill and one frame per kind of brush colour, with the default
    // palette and then with a logical one of three entries.
    std::vector<std::string> colours;
    const uint32_t kinds[] = {0x01000003, 0x01000013, 0x01000103, 0x03000002,
                              0xFF000001, 0x11FF0002, 0x10FF0003, 0x10FF0000,
                              0x02123456, 0x20FF0001, 0xFE00FF00, 0x00345678};
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            colours.push_back("palette 0x102030:0x405060:0x708090");
        for (int i = 0; i < 12; ++i) {
            int x = 2 * i, y = 6 * pass;
            colours.push_back(Colour("fill", x, y, x + 2, y + 2, kinds[i]));
            colours.push_back(Colour("frame", x, y + 3, x + 2, y + 5, kinds[i]) + " 1 1");
        }
    }
    Picture(w, "gdi_brush_colours", 24, 12, 0x808080, colours);
    // Stretches whose source part and visible destination meet once mapped
    // but draw no pixel report 0; those whose mapped ranges miss report rows.
    const Source &s24 = sources[5];
    Picture(w, "gdi_stretch_draws_nothing", 24, 8, 0x445566,
            {Clip(0, 0, 10, 8), Stretch(s24, 0, 0, 20, 7, -5, 0, 10, 7),
             Stretch(s24, 19, 0, -20, 7, -5, 0, 10, 7), "mode 3",
             Stretch(s24, 0, 0, 20, 7, -5, 0, 10, 7), Stretch(s24, 0, 0, 20, 7, -4, 0, 10, 7),
             Clip(12, 0, 24, 8), "mode 2", Stretch(s24, 0, 0, 20, 7, 4, 0, 10, 7), Clip(0, 0, 1, 8),
             Stretch(s24, 0, 0, 5, 7, -4, 0, 10, 7), Stretch(s24, 0, 0, 5, 7, -6, 0, 10, 7)});
    Picture(w, "gdi_queries", 8, 8, 0,
            {"caps 14 -1", "caps 12 -1", "caps 38 256", "caps 104 -1", "mode 0", "mode 5", "mode 3",
             "mode 2", "mode 1"});
    // Calls refused or that draw nothing, and what each returns.
    Picture(w, "gdi_stretch_results", 32, 24, 0x445566,
            {Stretch(s8, 0, 0, 5, 5, 0, 0, 0, 11), Stretch(s8, 0, 0, 5, 5, 0, 0, 13, 0),
             Stretch(s8, 0, 0, 5, 5, 20, 0, 4, 4), Stretch(s8, 0, 0, 5, 5, 0, 30, 4, 4),
             Stretch(s8, 40, 0, 5, 5, 0, 0, 13, 11), Stretch(s8, 0, 0, 0, 5, 0, 0, 13, 11),
             Stretch(s8, 10, 10, 5, 5, 10, 8, 6, 6)});
}

// Coded sources: at 1:1 from the origin only the pixels of closed lines are
// drawn (here over a pending fill), any other call shows the pixels no run
// set as index 0; each mode, enlarged, shrunk, mirrored, clipped, partly off
// the bitmap. HALFTONE only at 1:1, where the mode takes no part.
void RlePictures(ScriptWriter &w, const std::vector<Source> &rle,
                 const std::vector<Source> &refused)
{
    for (size_t i = 0; i < 3; ++i) {
        const Source &s = rle[i];
        int sw = s.width, sh = s.height;
        for (int mode = 1; mode <= 3; ++mode) {
            Picture(w, "gdi_rle_mode" + std::to_string(mode) + "_" + s.name, 64, 44, 0x808080,
                    {"mode " + std::to_string(mode), Fill(0, 0, 14, 10, 0x0000FF),
                     Stretch(s, 1, 1, sw, sh, 0, 0, sw, sh),
                     Stretch(s, 14, 1, sw - 2, sh - 2, 1, 1, sw - 2, sh - 2),
                     Stretch(s, 26, 1, 2 * sw + 3, 2 * sh + 1, 0, 0, sw, sh),
                     Stretch(s, 1, 20, sw / 2, sh - 3, 0, 0, sw, sh),
                     Stretch(s, 8 + sw, 20, -sw, sh, 0, 0, sw, sh),
                     Stretch(s, 20, 20, sw, sh, sw - 1, 0, -sw, sh),
                     Stretch(s, 32, 20, sw + 3, sh + 2, -2, -1, sw + 3, sh + 2),
                     Stretch(s, 46, 20, sw + 2, sh + 2, 0, 0, sw + 2, sh + 2),
                     Stretch(s, 1, 32, sw + 4, sh - 1, 0, 0, sw, sh),
                     Stretch(s, 30, 36, sw / 3, sh / 2, 0, 0, sw, sh)});
        }
        Picture(w, "gdi_rle_clipped_" + s.name, 40, 30, 0x808080,
                {Clip(3, 2, 10, 6), Stretch(s, 0, 0, sw, sh, 0, 0, sw, sh), Clip(14, 3, 30, 20),
                 "mode 3", Stretch(s, 12, 0, 2 * sw, 3 * sh, 0, 0, sw, sh),
                 Stretch(s, 20, 12, sw, sh, 0, 0, sw, sh), Clip(0, 20, 40, 30), "mode 4",
                 Stretch(s, -3, 18, sw, sh, 0, 0, sw, sh)});
    }
    std::vector<std::string> cut = {"mode 3"};
    int x = 0;
    for (size_t i = 3; i < rle.size(); ++i) {
        const Source &s = rle[i];
        int y = s.height > 10 ? 32 : 16;
        cut.push_back(Stretch(s, x, 0, s.width, s.height, 0, 0, s.width, s.height));
        cut.push_back(Stretch(s, x, y, s.width, 2 * s.height, 0, 0, s.width, s.height));
        x += s.width + 1;
    }
    Picture(w, "gdi_rle_cut", 112, 96, 0x808080, cut);
    std::vector<std::string> refusals;
    for (const Source &s : refused)
        refusals.push_back(Stretch(s, 0, 0, s.width, s.height, 0, 0, s.width, s.height));
    Picture(w, "gdi_rle_refused", 12, 8, 0x808080, refusals);
}

// A badge stored run-length coded: the plain badge's header and table, then
// the coded rows.
Bytes CodedBadge(int32_t width, int32_t height, int bpp, uint32_t seed, const Bytes &coded)
{
    Bytes bytes = PieceBitmap(width, height, bpp, seed, [](int, int) { return uint8_t{0}; });
    bytes.resize(bpp == 8 ? 1064 : 104);
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes.data(), sizeof h);
    h.biCompression = bpp == 8 ? 1 : 2;
    h.biSizeImage = static_cast<DWORD>(coded.size());
    std::memcpy(bytes.data(), &h, sizeof h);
    bytes.insert(bytes.end(), coded.begin(), coded.end());
    return bytes;
}

std::vector<uint32_t> Indices(int32_t width, int32_t height,
                              const std::function<uint8_t(int, int)> &index)
{
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            pixels.push_back(index(x, y));
    }
    return pixels;
}

// Paints whose badge is stored run-length coded (every line closed, and one
// with open lines and moves, over the surround) or as BI_BITFIELDS.
void StoredBadgePictures(ScriptWriter &w, bool pe32plus)
{
    struct Stored {
        std::string name;
        bool fourBit;
        Bytes badge;
    };
    pptest::Dib masked = pptest::MakeDib(9, 5, 16, SourcePixels(9, 5, 16, 70));
    masked.Header().biCompression = 3;
    for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) {
        for (int b = 0; b < 4; ++b)
            masked.info.push_back(static_cast<uint8_t>(mask >> (8 * b)));
    }
    masked.info.resize(104);
    Bytes maskedBadge = masked.info;
    maskedBadge.insert(maskedBadge.end(), masked.bits.begin(), masked.bits.end());
    const Stored stored[] = {
        {"rle8", false,
         CodedBadge(9, 5, 8, 6,
                    pptest::EncodeRle(9, 5, 8, Indices(9, 5, Pattern(17, 23, 5, 300, 255))))},
        {"rle4", true,
         CodedBadge(7, 4, 4, 12,
                    pptest::EncodeRle(7, 4, 4, Indices(7, 4, Pattern(3, 1, 5, 99, 15))))},
        {"rle8_open", false, CodedBadge(9, 7, 8, 6, RLE8_ALL)},
        {"bitfields", false, maskedBadge}};
    for (const Stored &b : stored) {
        Catalogue c;
        if (b.fourBit)
            FourBitPieces(c);
        else
            EightBitPieces(c);
        c.aux[PP_BADGE_ID] = b.badge;
        std::string name = "badge_" + b.name;
        c.Write(w, name, pe32plus);
        Picture(w, "paint_" + name, 72, 56, 0x3C5A78, {PaintLine(Badge(Into(name, 2, 2, 66, 50)))});
        Picture(w, "paint_" + name + "_clipped", 72, 56, 0x3C5A78,
                {PaintLine(Badge(Into(name, -3, -2, 40, 30)))});
    }
}

// HALFTONE ties between two levels, rising and falling, unclipped. Only the
// 32-bit GDI is the judge here: the 64-bit one rounds falling ties the other
// way.
void HalftoneTiePicture(ScriptWriter &w)
{
    // HALFTONE ties between two levels, rising and falling, unclipped.
    std::vector<std::string> ties = {"mode 4"};
    const uint32_t pairs[][2] = {{0x000000, 0x030303}, {0x030303, 0x000000}, {0x5A3C1E, 0x0764C8}};
    for (size_t i = 0; i < 3; ++i) {
        pptest::Dib dib = pptest::MakeDib(2, 1, 24, {pairs[i][0], pairs[i][1]});
        Bytes packed = dib.info;
        packed.insert(packed.end(), dib.bits.begin(), dib.bits.end());
        Source tie{"tie" + std::to_string(i), 2, 1, dib.info.size()};
        w.File(tie.name + ".dib", packed);
        int y = static_cast<int>(i);
        ties.push_back(Stretch(tie, 0, y, 12, 1, 0, 0, 2, 1));
        ties.push_back(Stretch(tie, 12, y, 4, 1, 0, 0, 2, 1));
        ties.push_back(Stretch(tie, 16, y, 8, 1, 0, 0, 2, 1));
    }
    Picture(w, "gdi_halftone_ties", 24, 3, 0x445566, ties);
}

// HALFTONE against the 32-bit GDI, one picture per source and case: the
// part of the source inside the bitmap resampled onto the visible
// destination, counted from its edge. Sources of 8 bits both ways up, 24 bits,
// 16 bits (all copied out in the surface's layout first) and 32 bits (read in
// place). No case has exactly one negative extent on an axis whose source
// runs past the bitmap: GDI leaves part of that destination as whatever its
// scratch memory held (docs/design.md).
void HalftonePictures(ScriptWriter &w, const std::vector<Source> &sources)
{
    struct Case {
        const char *name;
        int clip[4]; // left > right: no clip region
        int dx, dy, dw, dh;
        // Source rectangle from the bitmap's width and height.
        std::function<std::array<int, 4>(int, int)> source;
    };
    auto whole = [](int, int) { return std::array<int, 4>{0, 0, 0, 0}; };
    const Case cases[] = {
        {"enlarge", {1, 0, 0, 0}, 1, 1, 37, 29, whole},
        {"shrink", {1, 0, 0, 0}, 2, 2, 6, 5, whole},
        {"enlarge_shrink", {1, 0, 0, 0}, 2, 2, 31, 4, whole},
        {"clipped", {5, 4, 25, 19}, 0, 0, 38, 30, whole},
        {"clipped_shrink", {3, 2, 7, 5}, 1, 1, 8, 6, whole},
        {"clipped_mirrored", {8, 6, 30, 26}, 35, 28, -32, -26, whole},
        {"off_top_left", {1, 0, 0, 0}, -7, -5, 30, 25, whole},
        {"off_bottom_right", {1, 0, 0, 0}, 20, 15, 30, 25, whole},
        {"mirror_dest_x", {1, 0, 0, 0}, 30, 1, -25, 20, whole},
        {"mirror_dest_y", {1, 0, 0, 0}, 1, 25, 25, -20, whole},
        {"mirror_source_x",
         {1, 0, 0, 0},
         1,
         1,
         25,
         20,
         [](int sw, int sh) {
             return std::array<int, 4>{sw - 1, 0, -sw, sh};
         }},
        {"mirror_source_y",
         {1, 0, 0, 0},
         1,
         1,
         25,
         20,
         [](int sw, int sh) {
             return std::array<int, 4>{0, sh, sw, -sh};
         }},
        {"mirror_both_x",
         {1, 0, 0, 0},
         30,
         1,
         -25,
         20,
         [](int sw, int sh) {
             return std::array<int, 4>{sw - 1, 0, -sw, sh};
         }},
        {"outside",
         {1, 0, 0, 0},
         1,
         1,
         30,
         22,
         [](int sw, int sh) {
             return std::array<int, 4>{-3, 2, sw + 2, sh};
         }},
        {"outside_shrink",
         {1, 0, 0, 0},
         2,
         2,
         5,
         4,
         [](int sw, int sh) {
             return std::array<int, 4>{-2, -1, sw + 3, sh + 2};
         }},
        {"outside_mirrored_both",
         {4, 3, 36, 28},
         35,
         1,
         -30,
         22,
         [](int sw, int sh) {
             return std::array<int, 4>{sw + 1, 0, -(sw + 4), sh};
         }},
    };
    for (const char *name : {"src8", "src8td", "src24", "src16", "src32"}) {
        const Source &s = *std::find_if(sources.begin(), sources.end(),
                                        [&](const Source &source) { return source.name == name; });
        for (const Case &c : cases) {
            std::array<int, 4> r = c.source(s.width, s.height);
            if (r[2] == 0)
                r = {0, 0, s.width, s.height};
            std::vector<std::string> lines = {"mode 4"};
            if (c.clip[0] <= c.clip[2])
                lines.push_back(Clip(c.clip[0], c.clip[1], c.clip[2], c.clip[3]));
            lines.push_back(Stretch(s, c.dx, c.dy, c.dw, c.dh, r[0], r[1], r[2], r[3]));
            Picture(w, "gdi_halftone_" + s.name + "_" + c.name, 40, 32, 0x808080, lines);
        }
    }
}

// The library palette through its messages, on a device without a palette.
void PalettePicture(ScriptWriter &w)
{
    Picture(w, "gdi_palette_messages", 8, 8, 0,
            {"pal 0 2", "pal 0 15", "pal 1 15", "pal 0 783", "pal 0 783", "pal 0 1025", "pal 0 15",
             "pal 0 15", "pal 1 15", "pal 7 12345", "pal 0 16", "pal 0 2", "pal 0 15", "pal 0 1025",
             "pal 0 2"});
}

// Seeded random stretching: any source, mode, clip and rectangle, the
// extents sometimes negative and the source sometimes partly off the bitmap.
void RandomPictures(ScriptWriter &w, const std::vector<Source> &sources, int count)
{
    std::mt19937 random(20240601u);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int n = 0; n < count; ++n) {
        std::vector<std::string> lines = {"mode " + std::to_string(pick(1, 3))};
        if (pick(0, 2) == 0) {
            int left = pick(-5, 30), top = pick(-5, 20);
            int right = pick(10, 60), bottom = pick(8, 45);
            lines.push_back(Clip(left, top, right, bottom));
        }
        for (int k = 0; k < 4; ++k) {
            const Source &s = sources[static_cast<size_t>(pick(0, 7))];
            // One draw per statement: the order of the draws is the script.
            auto sign = [&](int oneIn) { return pick(0, oneIn - 1) == 0 ? -1 : 1; };
            int dw = pick(1, 40);
            dw *= sign(10);
            int dh = pick(1, 30);
            dh *= sign(10);
            int sx = pick(0, 4) == 0 ? pick(-4, s.width - 1) : 0;
            int sy = pick(0, 4) == 0 ? pick(-4, s.height - 1) : 0;
            int sw = pick(1, s.width + 2);
            sw *= sign(13);
            int sh = pick(1, s.height + 2);
            if (sx == 0 && sy == 0 && pick(0, 1) == 0) {
                sw = s.width;
                sh = s.height;
            }
            int dx = pick(-10, 50);
            int dy = pick(-8, 36);
            lines.push_back(Stretch(s, dx, dy, dw, dh, sx, sy, sw, sh));
        }
        Picture(w, "gdi_random_" + std::to_string(n), 56, 40, 0x6B4F2A, lines);
    }
}

// Brush colours of every kind: plain, palette indices (the 0x01 high byte,
// any odd one, a low word past the palette), DIB indices and the even high
// bytes, through the default palette and through a selected logical one.
uint32_t RandomColour(std::mt19937 &random)
{
    auto pick = [&](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(random);
    };
    switch (pick(0, 6)) {
    case 0:
        return 0x01000000u | pick(0, 24);
    case 1:
        return (pick(0, 127) * 2 + 1) << 24 | pick(0, 0x1FF);
    case 2:
        return 0x10FF0000u | pick(0, 300);
    case 3:
        return (pick(1, 127) * 2) << 24 | pick(0, 0xFFFFFF);
    default:
        return pick(0, 0xFFFFFF);
    }
}

// A HALFTONE call with exactly one negative extent on an axis whose source
// runs past the bitmap leaves part of its destination as GDI's scratch memory
// held it: such an axis has its destination extent turned round instead.
void AvoidScratchPixels(const Source &s, int &dw, int &dh, int sx, int sy, int sw, int sh)
{
    int xLo = sw > 0 ? sx : sx + sw + 1, xHi = sw > 0 ? sx + sw : sx + 1;
    if ((dw < 0) != (sw < 0) && (xLo < 0 || xHi > s.width))
        dw = -dw;
    if ((dh < 0) != (sh < 0) && (sy < 0 || sy + sh > s.height))
        dh = -dh;
}

// Seeded random device scripts, compared as one batch: clip regions, fills
// and frames in every kind of colour, logical palettes, and stretches in the
// three nearest-neighbour modes (and, with halftone, in HALFTONE in about a
// quarter of the pictures) from every source format, mirrored, clipped and
// partly outside the bitmap or the surface. HALFTONE is drawn from a second
// generator, so the pictures are otherwise the same with it and without.
void RandomBatch(ScriptWriter &w, const std::vector<Source> &sources, int count, bool halftone)
{
    std::mt19937 random(20261209u);
    std::mt19937 halftoneRandom(20260417u);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    auto sign = [&](int oneIn) { return pick(0, oneIn - 1) == 0 ? -1 : 1; };
    for (int n = 0; n < count; ++n) {
        int mode = pick(1, 3);
        if (halftone && std::uniform_int_distribution<int>(0, 3)(halftoneRandom) == 0)
            mode = HALFTONE;
        std::vector<std::string> lines = {"mode " + std::to_string(mode)};
        if (pick(0, 2) == 0) {
            std::string entries;
            for (int i = pick(1, 6); i > 0; --i) {
                char entry[16];
                std::snprintf(entry, sizeof entry, "%s0x%06x", entries.empty() ? "" : ":",
                              static_cast<unsigned>(random() & 0xFFFFFF));
                entries += entry;
            }
            lines.push_back("palette " + entries);
        }
        if (pick(0, 1) == 0)
            lines.push_back(Clip(pick(-3, 14), pick(-3, 10), pick(4, 27), pick(3, 19)));
        for (int k = pick(1, 3); k > 0; --k) {
            int kind = pick(0, 3);
            if (kind == 0) {
                lines.push_back(Colour("fill", pick(-4, 20), pick(-4, 14), pick(0, 28), pick(0, 20),
                                       RandomColour(random)));
            } else if (kind == 1) {
                lines.push_back(Colour("frame", pick(-4, 20), pick(-4, 14), pick(0, 28),
                                       pick(0, 20), RandomColour(random)) +
                                " " + std::to_string(pick(-3, 5)) + " " +
                                std::to_string(pick(-3, 5)));
            } else {
                const Source &s =
                    sources[static_cast<size_t>(pick(0, static_cast<int>(sources.size()) - 1))];
                int dw = pick(1, 30) * sign(5), dh = pick(1, 20) * sign(5);
                int sx = pick(0, 2) == 0 ? pick(-4, s.width - 1) : 0;
                int sy = pick(0, 2) == 0 ? pick(-3, s.height - 1) : 0;
                int sw = pick(1, s.width + 2) * sign(7), sh = pick(1, s.height + 2);
                if (sx == 0 && sy == 0 && pick(0, 2) == 0) {
                    sw = s.width;
                    sh = s.height;
                }
                if (mode == HALFTONE)
                    AvoidScratchPixels(s, dw, dh, sx, sy, sw, sh);
                lines.push_back(Stretch(s, pick(-10, 20), pick(-8, 14), dw, dh, sx, sy, sw, sh));
            }
        }
        Picture(w, "rnd_" + std::to_string(n), 24, 16, 0x6B4F2A, lines);
    }
}

#ifdef PP_SAMPLE_MODULES
Bytes ReadSample(const std::string &file)
{
    std::ifstream in(std::string(PP_SAMPLE_MODULES) + "/" + file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The sample catalogue as the build makes it, 256 and 16 colours, under the
// option presets of samples/options: everything (mail: yellow frame) and a
// winter night (alarm: red frame).
void SamplePictures(ScriptWriter &w, bool pe32plus)
{
    const std::string suffix = pe32plus ? "-x64.dll" : ".dll";
    for (const char *name : {"house", "house-aux", "house16", "house16-aux"})
        w.File(std::string("sample_") + name + ".dll", ReadSample(name + suffix));
    // F0 4, F1 2, F2 2, P0 1, P1 1, P2 1, M0 1 in bits0.
    const std::string everything =
        std::to_string(4u << 14 | 2u << 17 | 2u << 20 | 1u << 8 | 1u << 6 | 1u << 4 | 1u << 12) +
        ":0:0:0:0:0:0";
    // F0 1, F1 2, F2 1, P0 1, flags 0x400 and 0x800, M0 2.
    const std::string winterNight =
        std::to_string(1u << 14 | 2u << 17 | 1u << 20 | 1u << 8 | 0x400u | 0x800u | 2u << 12) +
        ":0:0:0:0:0:0";
    struct Case {
        std::string name;
        std::string catalogue;
        int width, height;
        int dest[4];
        std::string options;
        int badge, level, zoom, background;
    };
    const Case cases[] = {
        {"day", "house", 640, 480, {0, 0, 640, 480}, "-", 0, 0, 0, 224},
        {"everything_badge", "house", 640, 480, {0, 0, 640, 480}, everything, 1, 0, 0, 224},
        {"winter_night", "house", 640, 480, {0, 0, 640, 480}, winterNight, 0, 0, 0, 48},
        {"level4", "house", 240, 180, {0, 0, 240, 180}, everything, 0, 1, 0, 224},
        {"zoom150", "house", 640, 480, {0, 0, 640, 480}, "-", 0, 3, 150, 224},
        {"shrink_zoom", "house", 260, 200, {0, 0, 260, 200}, everything, 0, 5, 45, 224},
        {"shrink_fit", "house", 140, 110, {0, 0, 140, 110}, everything, 1, 0, 0, 224},
        {"enlarge", "house", 960, 720, {0, 0, 960, 720}, everything, 0, 0, 0, 200},
        {"clipped", "house", 400, 300, {-60, -45, 520, 390}, winterNight, 1, 0, 0, 128},
        {"clipped_zoom", "house", 300, 220, {20, 15, 250, 180}, everything, 1, 2, 160, 96},
        {"house16_everything_badge",
         "house16",
         640,
         480,
         {0, 0, 640, 480},
         everything,
         1,
         0,
         0,
         255},
        {"house16_winter_night", "house16", 640, 480, {0, 0, 640, 480}, winterNight, 0, 0, 0, 40},
        {"house16_zoom_enlarge", "house16", 500, 380, {10, 10, 480, 360}, "-", 0, 4, 190, 128},
        {"house16_shrink", "house16", 150, 120, {5, 5, 140, 110}, everything, 1, 0, 0, 160},
        {"house16_clipped", "house16", 320, 240, {100, 60, 400, 300}, winterNight, 1, 0, 0, 0},
    };
    for (const Case &c : cases) {
        Paint p;
        p.res = "sample_" + c.catalogue + ".dll";
        p.aux = "sample_" + c.catalogue + "-aux.dll";
        p.destLeft = c.dest[0];
        p.destTop = c.dest[1];
        p.destWidth = p.availWidth = c.dest[2];
        p.destHeight = p.availHeight = c.dest[3];
        p.showBadge = c.badge;
        p.level = c.level;
        p.zoom = c.zoom;
        p.background = c.background;
        p.options = c.options;
        p.extra = "500";
        Picture(w, "paint_sample_" + c.name, c.width, c.height, 0x5A6B7C, {PaintLine(p)});
    }
}
#endif

} // namespace

ScriptWriter BuildScenes(bool pe32plus)
{
    ScriptWriter w;
    Catalogue c8;
    EightBitPieces(c8);
    c8.Write(w, "c8", pe32plus);
    Catalogue c4;
    FourBitPieces(c4);
    c4.Write(w, "c4", pe32plus);
    Catalogue fx;
    EightBitPieces(fx);
    fx.header.paintFlags = PAINT_SMOOTH | PAINT_SHRINK | PAINT_FILTER | PAINT_PALETTE;
    for (int16_t &strength : fx.header.filterStrength)
        strength = 1;
    fx.Write(w, "fx", pe32plus);

    w.Comment("paints of an 8-bit and a 16-colour catalogue");
    PaintPictures(w, "c8", 0);
    PaintPictures(w, "c4", 1);
    EffectPictures(w);
#ifdef PP_SAMPLE_MODULES
    w.Comment("the sample catalogue");
    SamplePictures(w, pe32plus);
#endif
    w.Comment("direct device calls");
    std::vector<Source> sources = WriteSources(w);
    StretchPictures(w, sources);
    RegionPictures(w, sources);
    PalettePicture(w);
    if (!pe32plus) {
        HalftoneTiePicture(w);
        HalftonePictures(w, sources);
    }
    std::vector<Source> rle = WriteRleSources(w);
    RlePictures(w, rle, WriteRefusedRle(w));
    StoredBadgePictures(w, pe32plus);
    RandomPictures(w, sources, 40);
    w.Comment("the random batch");
    std::vector<Source> batchSources = sources;
    std::mt19937 random(20261210u);
    for (int n = 0; n < 8; ++n)
        batchSources.push_back(RandomRleSource(w, random, n));
    batchSources.push_back(rle[0]);
    batchSources.push_back(rle[1]);
    // HALFTONE on i686 only: the 64-bit GDI differs by a level in about one
    // call in a hundred (docs/design.md).
    RandomBatch(w, batchSources, RANDOM_BATCH_SIZE, !pe32plus);
    return w;
}

} // namespace ppwine
