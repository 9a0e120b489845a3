#include "catalog_check.h"

#include "catalog_text.h"

#include <map>
#include <sstream>

namespace pptool {

bool InDecodedCodeSpace(uint16_t code)
{
    // The stretches of the decoding table, merged where they touch.
    static const uint16_t ranges[][2] = {{2, 61},     {65, 65},    {67, 67},   {69, 168},
                                         {189, 189},  {191, 191},  {192, 523}, {577, 591},
                                         {593, 1072}, {1085, 1099}};
    for (const auto &range : ranges)
        if (code >= range[0] && code <= range[1])
            return true;
    return false;
}

namespace {

class Report {
  public:
    void Problem(const std::string &text) { findings_.push_back({true, text}); }
    void Note(const std::string &text) { findings_.push_back({false, text}); }
    std::vector<Finding> Take() { return std::move(findings_); }

  private:
    std::vector<Finding> findings_;
};

std::string TemplateName(size_t index)
{
    return "template " + std::to_string(index);
}

void CheckHeader(Report &report, const CatalogView &view, size_t size)
{
    const CatalogHeader &h = view.header;
    if (h.templateCount > 0) {
        int64_t end = int64_t{h.templateOffset} + int64_t{h.templateCount} * PIECE_TEMPLATE_SIZE;
        if (h.templateOffset < 0)
            report.Problem("catalogue: templateOffset " + std::to_string(h.templateOffset) +
                           " places the template table before the resource's start");
        else if (h.templateOffset < CATALOG_HEADER_SIZE)
            report.Problem("catalogue: templateOffset " + std::to_string(h.templateOffset) +
                           " makes the template table overlap the 56-byte header");
        if (end > static_cast<int64_t>(size))
            report.Problem("catalogue: " + std::to_string(h.templateCount) +
                           " templates at offset " + std::to_string(h.templateOffset) +
                           " end at byte " + std::to_string(end) + ", past the resource's " +
                           std::to_string(size) + " bytes (the library refuses to load it)");
    } else if (h.templateCount == 0) {
        report.Problem("catalogue: templateCount is 0, so no piece can ever be drawn");
    } else {
        report.Problem("catalogue: templateCount " + std::to_string(h.templateCount) +
                       " is negative, so no piece can ever be drawn");
    }
    if (h.levelCount < 1 || h.levelCount > 5)
        report.Problem("catalogue: levelCount " + std::to_string(h.levelCount) +
                       " is outside 1 to 5");
    if (h.baseLevel < 0 || h.baseLevel > 4)
        report.Problem("catalogue: baseLevel " + std::to_string(h.baseLevel) +
                       " is outside the size levels 0 to 4");
    else if (h.levelCount >= 1 && h.levelCount <= 5 && h.baseLevel != 5 - h.levelCount)
        report.Problem("catalogue: baseLevel " + std::to_string(h.baseLevel) + " with levelCount " +
                       std::to_string(h.levelCount) + ": the layout searches levels " +
                       std::to_string(5 - h.levelCount) + " to 4, but the fit rule takes level " +
                       std::to_string(h.baseLevel) + " as the largest and level " +
                       std::to_string(h.baseLevel + h.levelCount - 1) +
                       " as the last; baseLevel should be " + std::to_string(5 - h.levelCount));
    if (h.maxPieces <= 0)
        report.Problem("catalogue: maxPieces " + std::to_string(h.maxPieces) +
                       (h.maxPieces == 0 ? " lets no piece be drawn"
                                         : " is negative (the paint fails with result 12)"));
    if (h.bitsPerPixel != 8 && h.bitsPerPixel != 4)
        report.Problem("catalogue: bitsPerPixel " + std::to_string(h.bitsPerPixel) +
                       " is neither 8 nor 4 (no piece would be drawn)");
    if (h.colorCount != 256 && h.colorCount != 16)
        report.Problem("catalogue: colorCount " + std::to_string(h.colorCount) +
                       " is neither 256 nor 16");
    if (h.bitsPerPixel == 8 && h.colorCount == 16)
        report.Problem("catalogue: colorCount 16 with bitsPerPixel 8: 16-colour backgrounds fill "
                       "each byte with two 4-bit indices");
    if (h.bitsPerPixel == 4 && h.colorCount == 256)
        report.Problem("catalogue: colorCount 256 with bitsPerPixel 4: a 4-bit pixel reaches only "
                       "16 colours");
    int32_t colours = h.colorCount == 16 ? 16 : 256;
    if (h.keyIndex >= colours)
        report.Problem("catalogue: keyIndex " + std::to_string(h.keyIndex) + " is beyond the " +
                       std::to_string(colours) + " colours");
    if (h.colorCount == 16) {
        const std::pair<const char *, uint8_t> backgrounds[] = {
            {"bgIndex0", h.bgIndex0}, {"bgIndex128", h.bgIndex128}, {"bgIndex192", h.bgIndex192}};
        for (auto [name, value] : backgrounds)
            if (value >= 16)
                report.Problem(std::string("catalogue: ") + name + " " + std::to_string(value) +
                               " is beyond the 16 colours");
    }
    if (h.bitsPerPixel == 4) {
        bool filter = (h.paintFlags & PAINT_FILTER) &&
                      (h.filterStrength[0] | h.filterStrength[1] | h.filterStrength[2] |
                       h.filterStrength[3] | h.filterStrength[4] | h.filterStrength[5]) != 0;
        if ((h.paintFlags & PAINT_SMOOTH) || filter || (h.paintFlags & PAINT_SHRINK))
            report.Problem("catalogue: a 4-bit catalogue asks for edge smoothing, filtering or "
                           "shrinking, which work on 8-bit pictures only");
    }
    if (h.bitsPerPixel == 4)
        for (size_t i = 0; i < view.templates.size(); ++i)
            if (view.templates[i].pieceFlags & PIECE_RESAMPLE)
                report.Problem(TemplateName(i) +
                               ": pieceFlags 0x02 resamples the bitmap one byte per pixel, which "
                               "works on 8-bit pictures only");
    if (h.paintFlags & 0xFFF0)
        report.Note("catalogue: paintFlags bits " + HexString(h.paintFlags & 0xFFF0u, 4) +
                    " are not read");
    if (h.ruleFlags & ~RULES_ENABLED)
        report.Note("catalogue: ruleFlags bits " +
                    HexString(h.ruleFlags & ~RULES_ENABLED & 0xFFFF, 4) + " are not read");
}

// Codes that may be in the code set when each template's rule runs:
// available[i] before template i, and the last entry after all of them.
// Removal is left out: it can only make a code absent.
struct Availability {
    std::set<uint16_t> base;
    std::vector<std::set<uint16_t>> addedBefore;
};

bool Present(const Availability &a, size_t at, int16_t code)
{
    uint16_t c = static_cast<uint16_t>(code);
    return c != 0 && (a.base.count(c) != 0 || a.addedBefore[at].count(c) != 0);
}

// Whether some reachable pair of inputs makes the operator hold.
bool CanHold(uint32_t op, bool canA, bool canB)
{
    op &= 0xFF;
    if (op == 0 || op >= 15)
        return true;
    for (int a = 0; a <= (canA ? 1 : 0); ++a)
        for (int b = 0; b <= (canB ? 1 : 0); ++b)
            if (op >> (2 * a + b) & 1)
                return true;
    return false;
}

Availability ComputeAvailability(const CatalogView &view, const CheckOptions &options)
{
    Availability a;
    for (uint32_t c = 1; c <= 0xFFFF; ++c)
        if (InDecodedCodeSpace(static_cast<uint16_t>(c)))
            a.base.insert(static_cast<uint16_t>(c));
    a.base.insert(options.hostCodes.begin(), options.hostCodes.end());
    bool rules = view.header.ruleFlags & RULES_ENABLED;
    std::set<uint16_t> added;
    for (size_t i = 0; i < view.templates.size(); ++i) {
        a.addedBefore.push_back(added);
        const PieceTemplate &t = view.templates[i];
        bool hasRule = t.ruleCodeA != 0 || t.ruleCodeB != 0;
        if (rules && hasRule && t.ruleOp <= 16 &&
            CanHold(t.ruleOp, Present(a, i, t.ruleCodeA), Present(a, i, t.ruleCodeB)))
            added.insert(static_cast<uint16_t>(t.code));
        if (t.placeX == 1)
            added.insert(static_cast<uint16_t>(t.code));
    }
    a.addedBefore.push_back(added);
    return a;
}

void CheckRulesAndSelection(Report &report, const CatalogView &view, const CheckOptions &options)
{
    Availability a = ComputeAvailability(view, options);
    bool rules = view.header.ruleFlags & RULES_ENABLED;
    size_t last = view.templates.size();
    for (size_t i = 0; i < view.templates.size(); ++i) {
        const PieceTemplate &t = view.templates[i];
        bool hasRule = t.ruleCodeA != 0 || t.ruleCodeB != 0;
        if (hasRule && !rules)
            report.Note(TemplateName(i) + ": has a rule, but ruleFlags disables all rules");
        if (hasRule && rules) {
            // Copied first: the fields are packed at odd offsets, and a pair
            // built from them would bind references to misaligned shorts.
            int16_t codeA = t.ruleCodeA;
            int16_t codeB = t.ruleCodeB;
            for (auto [label, code] :
                 {std::pair<const char *, int16_t>{"A", codeA}, {"B", codeB}}) {
                if (code == 0 || Present(a, i, code))
                    continue;
                bool later = a.addedBefore[last].count(static_cast<uint16_t>(code)) != 0;
                report.Problem(TemplateName(i) + ": rule code " + label + " = " +
                               std::to_string(static_cast<uint16_t>(code)) +
                               (later ? " is added only by later templates, after this rule runs"
                                      : " is produced by nothing: no option field decodes to it, "
                                        "no template adds it and it is not always on") +
                               " (declare host codes with --host-codes)");
            }
        }
        bool drawn = t.placeX != 0;
        bool signals = t.attention == ATTENTION_YELLOW || t.attention == ATTENTION_RED;
        if (!drawn && !signals)
            continue;
        std::string what = drawn ? "is never drawn" : "never raises its frame";
        if (t.code == 0)
            report.Problem(TemplateName(i) + ": code 0 is never in the code set, so it " + what);
        else if (!Present(a, last, t.code))
            report.Problem(TemplateName(i) + ": code " +
                           std::to_string(static_cast<uint16_t>(t.code)) +
                           " can never reach the code set, so it " + what);
        if (t.attention != 0 && t.attention != ATTENTION_NONE && !signals)
            report.Note(TemplateName(i) + ": attention " + std::to_string(t.attention) +
                        " is neither 30002 nor 30004 and is ignored");
    }
}

struct Expectation {
    int32_t width;
    int32_t height;
    char variants; // 0, 'w' or 'h'
};

std::string Describe(uint16_t id, int32_t level, size_t index, bool aux)
{
    return "bitmap " + std::to_string(id) + (aux ? " (auxiliary module)" : "") + " for " +
           TemplateName(index) + " at level " + std::to_string(level);
}

void CheckVariantTable(Report &report, const std::string &name, const Bytes &bitmap, size_t table,
                       const Expectation &e, int32_t bitsPerPixel, bool shrinkAllowed)
{
    int32_t extent = e.variants == 'w' ? e.width : e.height;
    uint16_t firstOffset = 0;
    if (!ReadU16(bitmap, table + 6, firstOffset)) {
        report.Problem(name + ": has no variant table (the resource ends at its colour table)");
        return;
    }
    int32_t entries = firstOffset / 8;
    int32_t checked = std::min(entries, extent);
    for (int32_t k = 0; k < checked; ++k) {
        uint16_t w = 0, h = 0, offset = 0;
        size_t at = table + static_cast<size_t>(k) * 8;
        if (!ReadU16(bitmap, at + 2, w) || !ReadU16(bitmap, at + 4, h) ||
            !ReadU16(bitmap, at + 6, offset)) {
            report.Problem(name + ": variant entry " + std::to_string(k) +
                           " lies past the end of the resource");
            return;
        }
        int32_t drawWidth = e.variants == 'w' ? e.width - k : w;
        int32_t drawHeight = e.variants == 'h' ? e.height - k : h;
        if (e.variants == 'w' && h > e.height)
            report.Problem(name + ": width variant " + std::to_string(k) + " is " +
                           std::to_string(h) + " rows high, more than the piece's " +
                           std::to_string(e.height));
        if (e.variants == 'h' && w > e.width)
            report.Problem(name + ": height variant " + std::to_string(k) + " is " +
                           std::to_string(w) + " pixels wide, more than the piece's " +
                           std::to_string(e.width));
        size_t end =
            table + offset + static_cast<size_t>(RowStride(drawWidth, bitsPerPixel)) * drawHeight;
        if (end > bitmap.size()) {
            report.Problem(name + ": the pixels of variant " + std::to_string(k) + " end at byte " +
                           std::to_string(end) + ", past the resource's " +
                           std::to_string(bitmap.size()) + " bytes");
            return;
        }
    }
    if (entries < extent) {
        std::string text = name + ": the variant table holds " + std::to_string(entries) +
                           " entries, so the piece cannot be drawn smaller than " +
                           std::to_string(extent - entries + 1) + " pixels along its " +
                           (e.variants == 'w' ? "width" : "height") + " without reading past it";
        // With shrinking allowed a fixed level's zoom can ask for any size,
        // and the whole paint then fails with result 8.
        if (shrinkAllowed)
            report.Problem(text + "; the catalogue allows shrinking, so a small zoom fails the "
                                  "paint (result 8)");
        else
            report.Note(text);
    }
}

void CheckBitmap(Report &report, const std::string &name, const Bytes &bitmap, const Expectation &e,
                 const CatalogHeader &h)
{
    int32_t biSize = 0, width = 0, height = 0, clrUsed = 0, compression = 0;
    uint16_t planes = 0, bitCount = 0;
    if (!ReadI32(bitmap, 0, biSize) || !ReadI32(bitmap, 4, width) || !ReadI32(bitmap, 8, height) ||
        !ReadU16(bitmap, 12, planes) || !ReadU16(bitmap, 14, bitCount) ||
        !ReadI32(bitmap, 16, compression) || !ReadI32(bitmap, 32, clrUsed)) {
        report.Problem(name + ": only " + std::to_string(bitmap.size()) +
                       " bytes, shorter than a 40-byte bitmap header");
        return;
    }
    if (biSize != 40)
        report.Problem(name + ": biSize " + std::to_string(biSize) + ", expected 40");
    if (bitCount != h.bitsPerPixel)
        report.Problem(name + ": " + std::to_string(bitCount) +
                       " bits per pixel, but the catalogue's bitsPerPixel is " +
                       std::to_string(h.bitsPerPixel));
    if (planes != 1)
        report.Problem(name + ": biPlanes " + std::to_string(planes) + ", expected 1");
    if (compression != 0)
        report.Problem(name + ": compressed (biCompression " + std::to_string(compression) +
                       "); pieces are stored uncompressed");
    int32_t colours = h.colorCount == 16 ? 16 : 256;
    if (clrUsed != 0 && clrUsed != colours)
        report.Problem(name + ": biClrUsed " + std::to_string(clrUsed) +
                       ", but the catalogue's colour tables hold " + std::to_string(colours));
    size_t table = 40 + static_cast<size_t>(colours) * 4;
    if (bitmap.size() < table) {
        report.Problem(name + ": " + std::to_string(bitmap.size()) +
                       " bytes, too short for the header and its " + std::to_string(colours) +
                       "-colour table");
        return;
    }
    if (e.variants != 0) {
        CheckVariantTable(report, name, bitmap, table, e, h.bitsPerPixel,
                          (h.paintFlags & PAINT_SHRINK) != 0);
        return;
    }
    if (width != e.width || height != e.height) {
        report.Problem(name + ": is " + std::to_string(width) + " x " + std::to_string(height) +
                       ", but the template gives " + std::to_string(e.width) + " x " +
                       std::to_string(e.height));
    }
    if (width < 0 || height < 0) {
        report.Problem(name + ": negative width or height (pieces are stored bottom-up)");
        return;
    }
    if (width > 32767 || height > 32767) {
        report.Problem(name + ": " + std::to_string(width) + " x " + std::to_string(height) +
                       " is beyond any piece size");
        return;
    }
    size_t rows =
        static_cast<size_t>(RowStride(width, h.bitsPerPixel)) * static_cast<size_t>(height);
    if (table + rows > bitmap.size())
        report.Problem(name + ": its " + std::to_string(height) + " rows need " +
                       std::to_string(table + rows) + " bytes, the resource has " +
                       std::to_string(bitmap.size()));
}

void CheckTemplates(Report &report, const CatalogView &view, const ResourceMap &resources,
                    const ResourceMap &aux, std::set<std::pair<bool, uint16_t>> &used)
{
    const CatalogHeader &h = view.header;
    int32_t firstLevel = h.levelCount >= 1 && h.levelCount <= 5 ? 5 - h.levelCount : 0;
    int32_t colours = h.colorCount == 16 ? 16 : 256;
    for (size_t i = 0; i < view.templates.size(); ++i) {
        const PieceTemplate &t = view.templates[i];
        if ((t.pieceFlags & PIECE_TRANSPARENT) && t.transparentIndex >= colours)
            report.Problem(TemplateName(i) + ": transparentIndex " +
                           std::to_string(t.transparentIndex) + " is beyond the " +
                           std::to_string(colours) + " colours");
        for (int p = 0; p < 16 && t.mapFrom[p] != t.mapTo[p]; ++p)
            if (t.mapFrom[p] >= colours || t.mapTo[p] >= colours)
                report.Problem(TemplateName(i) + ": colour substitution " +
                               std::to_string(t.mapFrom[p]) + " -> " + std::to_string(t.mapTo[p]) +
                               " is beyond the " + std::to_string(colours) + " colours");
        if (t.placeX == 0)
            continue; // never drawn: no bitmap needed
        bool fromAux = t.pieceFlags & PIECE_AUX_MODULE;
        const ResourceMap &module = fromAux ? aux : resources;
        char variants = (t.pieceFlags & PIECE_WIDTH_VARIANTS)    ? 'w'
                        : (t.pieceFlags & PIECE_HEIGHT_VARIANTS) ? 'h'
                                                                 : 0;
        // A host's fixed level request may pick any level: their bitmaps are
        // in use even where the search never goes.
        for (int32_t level = 0; level < firstLevel; ++level)
            used.insert({fromAux, static_cast<uint16_t>(LevelBitmapId(t.bitmapId, level, h))});
        for (int32_t level = firstLevel; level <= 4; ++level) {
            Expectation e{t.width[level], t.height[level], variants};
            if (e.width < 0 || e.height < 0) {
                report.Problem(TemplateName(i) + ": negative size " + std::to_string(e.width) +
                               " x " + std::to_string(e.height) + " at level " +
                               std::to_string(level));
                continue;
            }
            uint16_t id = static_cast<uint16_t>(LevelBitmapId(t.bitmapId, level, h));
            used.insert({fromAux, id});
            std::string name = Describe(id, level, i, fromAux);
            auto found = module.find(id);
            if (found == module.end()) {
                report.Problem(name + ": missing (the paint fails with result 7)");
                continue;
            }
            CheckBitmap(report, name, found->second, e, h);
        }
    }
}

// The bytes a badge's pixels take from their offset on as the library
// measures them, or a problem when the library refuses the storage (result 8).
bool BadgePixelBytes(Report &report, const Bytes &badge, uint16_t bitCount, size_t stride,
                     int32_t height, size_t &bytes)
{
    int32_t compression = 0, imageBytes = 0;
    ReadI32(badge, 16, compression);
    ReadI32(badge, 20, imageBytes);
    switch (compression) {
    case 0: // BI_RGB: plain rows
        bytes = stride * static_cast<size_t>(height);
        return true;
    case 1: // RLE8: coded rows, biSizeImage bytes of them
    case 2: // RLE4
        if ((compression == 1 ? 8 : 4) != bitCount)
            report.Problem("badge: run-length coded for " +
                           std::string(compression == 1 ? "8" : "4") + " bits but " +
                           std::to_string(bitCount) + " bits per pixel; the device draws nothing");
        if (imageBytes <= 0) {
            report.Problem("badge: run-length coded without biSizeImage; the paint fails with "
                           "result 8");
            return false;
        }
        bytes = static_cast<size_t>(imageBytes);
        return true;
    case 3: // BI_BITFIELDS: 16 or 32 bits, three masks after the header
        if (bitCount != 16 && bitCount != 32) {
            report.Problem("badge: BI_BITFIELDS with " + std::to_string(bitCount) +
                           " bits per pixel; the paint fails with result 8");
            return false;
        }
        bytes = stride * static_cast<size_t>(height);
        return true;
    default:
        report.Problem("badge: compression " + std::to_string(compression) +
                       " cannot be bounded; the paint fails with result 8");
        return false;
    }
}

void CheckBadge(Report &report, const ResourceMap &aux, const CatalogHeader &h)
{
    auto found = aux.find(badgeId);
    if (found == aux.end()) {
        report.Note("badge: no resource 29891 in the auxiliary module; a paint that shows the "
                    "badge draws everything else and returns 7");
        return;
    }
    const Bytes &badge = found->second;
    int32_t width = 0, height = 0, compression = 0;
    uint16_t planes = 0, bitCount = 0;
    if (!ReadI32(badge, 4, width) || !ReadI32(badge, 8, height) || !ReadU16(badge, 12, planes) ||
        !ReadU16(badge, 14, bitCount) || !ReadI32(badge, 16, compression)) {
        report.Problem("badge: only " + std::to_string(badge.size()) +
                       " bytes, shorter than a 40-byte bitmap header");
        return;
    }
    uint64_t colours = uint64_t{planes} << (bitCount % 32);
    size_t pixels = colours == 256 ? 1064 : 104;
    bool fields = compression == 3 && (bitCount == 16 || bitCount == 32);
    if (bitCount != 8 && bitCount != 4 && !fields)
        report.Problem("badge: " + std::to_string(bitCount) +
                       " bits per pixel; its pixels are read at byte " + std::to_string(pixels) +
                       ", which fits only 8-bit (256 colours) and 4-bit (16 colours) badges, "
                       "and 16- and 32-bit ones with BI_BITFIELDS masks");
    else if (planes != 1)
        report.Problem("badge: biPlanes " + std::to_string(planes) + ", expected 1");
    if (width < 0 || height <= 0 || width > 32767) {
        report.Problem("badge: size " + std::to_string(width) + " x " + std::to_string(height) +
                       " is not a bottom-up bitmap");
        return;
    }
    size_t stride = (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
    size_t bytes = 0;
    if (BadgePixelBytes(report, badge, bitCount, stride, height, bytes) &&
        pixels + bytes > badge.size())
        report.Problem("badge: its " +
                       std::string(compression == 1 || compression == 2 ? "coded rows (biSizeImage)"
                                                                        : "rows") +
                       " need " + std::to_string(pixels + bytes) + " bytes, the resource has " +
                       std::to_string(badge.size()));
    if (h.reserveHeight < height)
        report.Note("badge: " + std::to_string(height) + " rows high, but reserveHeight keeps " +
                    std::to_string(h.reserveHeight) + " rows for it");
}

} // namespace

std::vector<Finding> CheckModule(const ResourceMap &resources, const ResourceMap &aux,
                                 const CheckOptions &options)
{
    Report report;
    auto found = resources.find(catalogueId);
    if (found == resources.end()) {
        report.Problem("catalogue: the module has no resource 999 (the paint fails with result 7)");
        return report.Take();
    }
    CatalogView view = ViewCatalog(found->second);
    if (!view.headerComplete) {
        report.Problem("catalogue: " + std::to_string(found->second.size()) +
                       " bytes, shorter than its 56-byte header");
        return report.Take();
    }
    CheckHeader(report, view, found->second.size());
    CheckRulesAndSelection(report, view, options);
    std::set<std::pair<bool, uint16_t>> used;
    CheckTemplates(report, view, resources, aux, used);
    CheckBadge(report, aux, view.header);
    bool tableRead = view.templatesMissing == 0 && view.header.templateCount > 0 &&
                     view.header.templateOffset >= CATALOG_HEADER_SIZE;
    if (!tableRead) {
        // Without the templates every bitmap would be listed as unused.
        report.Note("resources are not matched against templates: the template table cannot be "
                    "read");
        return report.Take();
    }
    for (auto &[id, bytes] : resources)
        if (id != catalogueId && id != badgeId && used.count({false, id}) == 0 &&
            (&aux != &resources || used.count({true, id}) == 0))
            report.Note("resource " + std::to_string(id) + " is not used by any template");
    return report.Take();
}

std::vector<Finding> DescriptionFindings(const Json &catalogue)
{
    std::vector<Finding> findings;
    if (!catalogue.is_object() || !catalogue.contains("colorCount"))
        return findings;
    const Json &colours = catalogue["colorCount"];
    bool sixteen = (colours.is_number_integer() && colours.get<int64_t>() == 16) ||
                   (colours.is_string() && colours.get<std::string>() == "16");
    if (!sixteen)
        return findings;
    std::string missing;
    for (const char *band : {"bgIndex0", "bgIndex128", "bgIndex192"})
        if (!catalogue.contains(band))
            missing += (missing.empty() ? "" : ", ") + std::string(band);
    if (!missing.empty())
        findings.push_back({true, "catalogue: a 16-colour catalogue must set its background bands "
                                  "bgIndex0, bgIndex128 and bgIndex192 (left out: " +
                                      missing + "; they would paint the background black)"});
    return findings;
}

} // namespace pptool
