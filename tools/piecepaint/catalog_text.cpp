#include "catalog_text.h"

#include <cstring>
#include <sstream>

namespace pptool {

namespace {

std::string Join(const std::vector<std::string> &parts, const char *separator)
{
    std::string text;
    for (const std::string &part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

} // namespace

std::string DescribePlacement(uint16_t word, char axis)
{
    const char *extent = axis == 'x' ? "width" : "height";
    std::vector<std::string> parts;
    if (word & 0x4000) {
        parts.push_back("deferred to the second pass");
        static const char *const bases[8] = {"base 0",
                                             "base 0",
                                             "base 0",
                                             "base 0",
                                             "centred on the first-pass box",
                                             "at the first-pass box's start",
                                             "at the first-pass box's end",
                                             "base 0"};
        parts.push_back(bases[word & 7]);
        if (word & 0x2000)
            parts.push_back("+ offset");
        if (word & 0x0200)
            parts.push_back("+ lastCentred");
        if (word & 0x0100)
            parts.push_back("+ lastStart");
        if (word & 0x0080)
            parts.push_back("+ lastEnd");
        if (word & 0x8000)
            parts.push_back("(bit 15 has no effect with bit 14)");
    } else if (word & 0x8000) {
        std::vector<std::string> terms;
        if (word & 0x2000)
            terms.push_back("offset");
        if (word & 0x1000)
            terms.push_back("anchor");
        if (word & 0x0800)
            terms.push_back("cursor");
        if (word & 0x0400)
            terms.push_back("groupPosition");
        parts.push_back("computed as " + (terms.empty() ? std::string("0") : Join(terms, " + ")));
        switch (word & 7) {
        case 1:
            parts.push_back("mode 1 (no state change)");
            break;
        case 2:
            parts.push_back(std::string("mode 2 (cursor := position, + ") + extent +
                            " when advance is on)");
            break;
        case 3:
            parts.push_back("mode 3 (group member)");
            break;
        default:
            parts.push_back("mode " + std::to_string(word & 7) + " (anchor := position)");
            break;
        }
        if (word & 0x0380)
            parts.push_back("(bits 9-7 are read only in the second pass)");
    } else {
        parts.push_back(word == 0 ? "none: position 0" : "position 0");
        if (word & 0x3FFF)
            parts.push_back("(other bits unused without bit 15 or 14)");
    }
    if ((word & 0xC000) != 0 && (word & 0x0078) != 0)
        parts.push_back("(bits 6-3 unused)");
    return Join(parts, "; ");
}

std::string DescribeLayoutFlags(uint16_t flags)
{
    static const char *const names[10] = {
        "X cursor reset", "Y cursor reset", "Y group start", "Y group end",  "X group start",
        "X group end",    "X advance on",   "X advance off", "Y advance on", "Y advance off"};
    std::vector<std::string> parts;
    for (int bit = 0; bit < 10; ++bit)
        if (flags & (1u << bit))
            parts.push_back(names[bit]);
    if (flags & 0xFC00)
        parts.push_back("unused bits " + HexString(flags & 0xFC00u, 4));
    return parts.empty() ? "none" : Join(parts, ", ");
}

std::string DescribePieceFlags(uint8_t flags)
{
    std::vector<std::string> parts;
    if (flags & 0x02)
        parts.push_back("resampled when scaled");
    if (flags & 0x04)
        parts.push_back("width variants");
    if (flags & 0x08)
        parts.push_back(flags & 0x04 ? "height variants (width variants win)" : "height variants");
    if (flags & PIECE_LATE)
        parts.push_back("late piece (drawn after the effects)");
    if (flags & 0x10)
        parts.push_back("bitmap from the auxiliary module");
    if (flags & 0x40)
        parts.push_back("transparentIndex applies");
    if (flags & 0xA1)
        parts.push_back("no-effect bits " + HexString(flags & 0xA1u, 2));
    return parts.empty() ? "none" : Join(parts, ", ");
}

std::string DescribePaintFlags(uint16_t flags)
{
    std::vector<std::string> parts;
    if (flags & 0x01)
        parts.push_back("edge smoothing");
    if (flags & 0x02)
        parts.push_back("shrinking allowed");
    if (flags & 0x04)
        parts.push_back("filter, brightness and background restore");
    if (flags & 0x08)
        parts.push_back("library palette on palette devices");
    if (flags & 0xFFF0)
        parts.push_back("unread bits " + HexString(flags & 0xFFF0u, 4));
    return parts.empty() ? "none" : Join(parts, ", ");
}

std::string DescribeOperator(uint32_t op)
{
    static const char *const words[15] = {"always",
                                          "neither A nor B",
                                          "B and not A",
                                          "not A",
                                          "A and not B",
                                          "not B",
                                          "A differs from B",
                                          "not both A and B",
                                          "A and B",
                                          "A equals B",
                                          "B",
                                          "not A, or B",
                                          "A",
                                          "A, or not B",
                                          "A or B"};
    op &= 0xFF;
    return op >= 1 && op <= 14 ? words[op] : words[0];
}

std::string DescribeRule(const PieceTemplate &t)
{
    if (t.ruleCodeA == 0 && t.ruleCodeB == 0)
        return "no rule";
    uint16_t code = static_cast<uint16_t>(t.code);
    std::ostringstream text;
    if (t.ruleOp <= 16)
        text << "add " << code << " when " << DescribeOperator(t.ruleOp);
    else
        text << "remove " << code << " when " << DescribeOperator(t.ruleOp - 16u);
    text << " (ruleOp " << int{t.ruleOp} << ", A = " << static_cast<uint16_t>(t.ruleCodeA)
         << ", B = " << static_cast<uint16_t>(t.ruleCodeB) << ")";
    return text.str();
}

std::string DescribeAttention(int16_t attention)
{
    if (attention == ATTENTION_YELLOW)
        return "30002 (yellow frame)";
    if (attention == ATTENTION_RED)
        return "30004 (red frame)";
    return std::to_string(attention) + " (none)";
}

int16_t LevelBitmapId(int16_t bitmapId, int32_t level, const CatalogHeader &header)
{
    if (bitmapId >= FIXED_ID_FIRST && bitmapId <= FIXED_ID_LAST)
        return bitmapId;
    return static_cast<int16_t>(bitmapId + (level - header.baseLevel) * header.idStep +
                                header.idBase);
}

CatalogView ViewCatalog(const Bytes &catalogue)
{
    CatalogView view;
    if (catalogue.size() < static_cast<size_t>(CATALOG_HEADER_SIZE))
        return view;
    std::memcpy(&view.header, catalogue.data(), sizeof view.header);
    view.headerComplete = true;
    for (int32_t i = 0; i < view.header.templateCount; ++i) {
        int64_t start = int64_t{view.header.templateOffset} + int64_t{i} * PIECE_TEMPLATE_SIZE;
        if (start < 0 || start + PIECE_TEMPLATE_SIZE > static_cast<int64_t>(catalogue.size())) {
            view.templatesMissing = view.header.templateCount - i;
            break;
        }
        PieceTemplate t;
        std::memcpy(&t, catalogue.data() + start, sizeof t);
        view.templates.push_back(t);
    }
    return view;
}

namespace {

void ShowHeader(std::ostream &out, const CatalogHeader &h, size_t size)
{
    out << "Catalogue (resource 999, " << size << " bytes)\n";
    out << "  reserveHeight    " << h.reserveHeight << " (rows above the picture for the badge)\n";
    out << "  maxPieces        " << h.maxPieces << "\n";
    out << "  baseLevel        " << h.baseLevel << "\n";
    out << "  levelCount       " << h.levelCount;
    if (h.levelCount >= 1 && h.levelCount <= 5)
        out << " (the layout searches levels " << 5 - h.levelCount << " to 4)";
    out << "\n";
    out << "  idStep, idBase   " << h.idStep << ", " << h.idBase << "\n";
    out << "  templates        " << h.templateCount << " at offset " << h.templateOffset << "\n";
    out << "  bitsPerPixel     " << h.bitsPerPixel << "\n";
    out << "  colorCount       " << h.colorCount << "\n";
    out << "  keyIndex         " << int{h.keyIndex} << " (transparent in every piece)\n";
    out << "  bgIndex0/128/192 " << int{h.bgIndex0} << ", " << int{h.bgIndex128} << ", "
        << int{h.bgIndex192} << " (16-colour backgrounds)\n";
    out << "  paintFlags       " << HexString(h.paintFlags, 4) << ": "
        << DescribePaintFlags(h.paintFlags) << "\n";
    out << "  ruleFlags        " << HexString(h.ruleFlags, 4) << ": "
        << ((h.ruleFlags & RULES_ENABLED) ? "rules enabled" : "rules disabled") << "\n";
    out << "  filterStrength   shrunk " << h.filterStrength[0] << ", natural "
        << h.filterStrength[1] << ", enlarged " << h.filterStrength[2] << "; on 16-colour devices "
        << h.filterStrength[3] << ", " << h.filterStrength[4] << ", " << h.filterStrength[5]
        << "\n";
}

void ShowLevels(std::ostream &out, const char *label, const int16_t *values)
{
    out << "    " << label;
    for (int level = 0; level < 5; ++level)
        out << (level == 0 ? " " : ", ") << values[level];
    out << "\n";
}

void ShowTemplate(std::ostream &out, int32_t index, const PieceTemplate &t, const CatalogHeader &h)
{
    out << "\nTemplate " << index << ": code " << static_cast<uint16_t>(t.code) << ", drawOrder "
        << t.drawOrder;
    if (t.placeX == 0)
        out << "  [never drawn: placeX 0]";
    else if (t.placeX == 1)
        out << "  [always on: placeX 1]";
    out << "\n";
    out << "    placeX      " << HexString(t.placeX, 4) << "  " << DescribePlacement(t.placeX, 'x')
        << "\n";
    out << "    placeY      " << HexString(t.placeY, 4) << "  " << DescribePlacement(t.placeY, 'y')
        << "\n";
    out << "    layoutFlags " << HexString(t.layoutFlags, 4) << "  "
        << DescribeLayoutFlags(t.layoutFlags) << "\n";
    out << "    pieceFlags  " << HexString(t.pieceFlags, 2) << "  "
        << DescribePieceFlags(t.pieceFlags);
    if (t.pieceFlags & PIECE_TRANSPARENT)
        out << " (transparentIndex " << int{t.transparentIndex} << ")";
    out << "\n";
    out << "    rule        " << DescribeRule(t);
    if ((h.ruleFlags & RULES_ENABLED) == 0 && (t.ruleCodeA != 0 || t.ruleCodeB != 0))
        out << " [rules are disabled]";
    out << "\n";
    out << "    attention   " << DescribeAttention(t.attention) << "\n";
    out << "    bitmapId    " << static_cast<uint16_t>(t.bitmapId) << "; by level:";
    for (int level = 0; level < 5; ++level)
        out << (level == 0 ? " " : ", ")
            << static_cast<uint16_t>(LevelBitmapId(t.bitmapId, level, h));
    out << "\n";
    ShowLevels(out, "width      ", t.width);
    ShowLevels(out, "height     ", t.height);
    ShowLevels(out, "offsetX    ", t.offsetX);
    ShowLevels(out, "offsetY    ", t.offsetY);
    std::vector<std::string> pairs;
    for (int i = 0; i < 16 && t.mapFrom[i] != t.mapTo[i]; ++i)
        pairs.push_back(std::to_string(t.mapFrom[i]) + " -> " + std::to_string(t.mapTo[i]));
    out << "    colours     " << (pairs.empty() ? "no substitution" : Join(pairs, ", ")) << "\n";
}

} // namespace

void ShowCatalog(std::ostream &out, const ResourceMap &resources)
{
    auto found = resources.find(catalogueId);
    if (found == resources.end()) {
        out << "No catalogue (resource 999) in this module.\n";
    } else {
        CatalogView view = ViewCatalog(found->second);
        if (!view.headerComplete) {
            out << "Catalogue (resource 999) is only " << found->second.size()
                << " bytes, shorter than its " << CATALOG_HEADER_SIZE << "-byte header.\n";
        } else {
            ShowHeader(out, view.header, found->second.size());
            for (size_t i = 0; i < view.templates.size(); ++i)
                ShowTemplate(out, static_cast<int32_t>(i), view.templates[i], view.header);
            if (view.templatesMissing > 0)
                out << "\n"
                    << view.templatesMissing
                    << " template(s) lie outside the resource and are not shown.\n";
        }
    }
    out << "\nResources:";
    for (auto &[id, bytes] : resources)
        out << " " << id << " (" << bytes.size() << " bytes)";
    out << "\n";
}

} // namespace pptool
