#include "explain.h"

#include "api/paint.h"
#include "catalog/validate.h"
#include "catalog_text.h"
#include "compose/scale.h"
#include "layout/layout.h"
#include "option_json.h"
#include "select/codeset.h"
#include "select/decode.h"
#include "select/select.h"

#include <string>

namespace pptool {

namespace {

using Codes = std::vector<uint16_t>;

std::string List(const Codes &codes)
{
    if (codes.empty())
        return "nothing";
    std::string text;
    for (uint16_t code : codes)
        text += (text.empty() ? "" : ", ") + std::to_string(code);
    return text;
}

Codes CurrentCodes()
{
    Codes codes;
    for (const uint16_t *at = CodeSetOp(CODESET_GET, 0); at != nullptr && *at != 0; ++at)
        codes.push_back(*at);
    return codes;
}

// The codes DecodeOptions adds for one record, through the library's own
// code set (created and released around it).
Codes Decoded(const OptionRecord &record)
{
    CodeSetOp(CODESET_CREATE, 0);
    DecodeOptions(&record);
    Codes codes = CurrentCodes();
    CodeSetOp(CODESET_RELEASE, 0);
    return codes;
}

Codes After(const Codes &all, const Codes &prefix)
{
    return Codes(all.begin() + static_cast<std::ptrdiff_t>(std::min(prefix.size(), all.size())),
                 all.end());
}

void Line(std::ostream &out, const std::string &source, const Codes &codes)
{
    if (!codes.empty())
        out << "  " << source << " -> " << List(codes) << "\n";
}

// Each source of decoded codes on its own, in the order decoding takes them.
void ExplainDecoding(std::ostream &out, const OptionRecord &full)
{
    out << "Codes decoded from the option record:\n";
    for (int32_t i = 0; i < 20; ++i) {
        OptionRecord only{};
        int32_t v = FieldF(full, i);
        if (v == 0)
            continue;
        // Keep just this field's bits.
        uint32_t shift = i < 6 ? 14 + 3 * i : i < 16 ? 3 * (i - 6) : 3 * (i - 16);
        uint32_t mask = 7u << shift;
        (i < 6    ? only.bits0
         : i < 16 ? only.bits1
                  : only.bits2) = (i < 6    ? full.bits0
                                   : i < 16 ? full.bits1
                                            : full.bits2) &
                                  mask;
        Line(out, "F" + std::to_string(i) + " = " + std::to_string(v), Decoded(only));
    }
    for (int32_t i = 0; i < 5; ++i) {
        OptionRecord only{};
        only.bits0 = full.bits0 & (3u << (8 - 2 * i));
        if (only.bits0 != 0)
            Line(out, "P" + std::to_string(i) + " = " + std::to_string(FieldP(full, i)),
                 Decoded(only));
    }
    OptionRecord m2{};
    m2.bits2 = full.bits2 & 0x3000;
    Line(out, "M2 = " + std::to_string(FieldM2(full)), Decoded(m2));
    OptionRecord flags{};
    flags.bits0 = full.bits0 & 0x400;
    Line(out, "flag 0x400", Decoded(flags));
    flags.bits0 = full.bits0 & 0x800;
    Line(out, "flag 0x800", Decoded(flags));
    OptionRecord m0{};
    m0.bits0 = full.bits0 & 0x3000;
    Line(out, "M0 = " + std::to_string(FieldM0(full)), Decoded(m0));

    // List codes and selectors read the fields: decode them with the words
    // in place and keep what they add beyond the words' own codes.
    OptionRecord words{};
    words.bits0 = full.bits0;
    words.bits1 = full.bits1;
    words.bits2 = full.bits2;
    Codes fromWords = Decoded(words);
    Codes list;
    if (full.codeList != nullptr && full.codeList[0] != 0)
        for (const uint16_t *at = full.codeList; *at != 0; ++at)
            list.push_back(*at);
    else if (full.singleCode != 0)
        list.push_back(full.singleCode);
    for (uint16_t code : list) {
        OptionRecord one = words;
        one.singleCode = code;
        Codes added = After(Decoded(one), fromWords);
        out << "  list code " << code << " -> " << List(added) << "\n";
    }
    if (full.selector1 != 0) {
        OptionRecord one = words;
        one.selector1 = full.selector1;
        out << "  selector1 = " << full.selector1 << " -> " << List(After(Decoded(one), fromWords))
            << "\n";
    }
    if (full.selector2 != 0) {
        OptionRecord one = words;
        one.selector2 = full.selector2;
        out << "  selector2 = " << full.selector2 << " -> " << List(After(Decoded(one), fromWords))
            << "\n";
    }
    OptionRecord extra{};
    extra.extraFlag = full.extraFlag;
    Line(out, "extraFlag = " + std::to_string(full.extraFlag), Decoded(extra));
}

// The rule loop of the selection, step by step, on the library's code set.
void ExplainRules(std::ostream &out, const CatalogView &view, const ExplainInput &input)
{
    out << "Rules, in template order"
        << ((view.header.ruleFlags & RULES_ENABLED)
                ? ""
                : " (rules are disabled by ruleFlags; only always-on templates add codes)")
        << ":\n";
    bool any = false;
    if (CodeSetOp(CODESET_CREATE, 0) == nullptr) {
        out << "  the code set could not be created\n";
        return;
    }
    for (uint16_t code : input.extraCodes)
        AddCode(code);
    if (input.options != nullptr)
        DecodeOptions(input.options);
    bool rules = view.header.ruleFlags & RULES_ENABLED;
    for (size_t i = 0; i < view.templates.size(); ++i) {
        const PieceTemplate &t = view.templates[i];
        uint16_t code = static_cast<uint16_t>(t.code);
        if (rules && (t.ruleCodeA != 0 || t.ruleCodeB != 0)) {
            int32_t a = HasCode(CodeSetOp(CODESET_GET, 0), t.ruleCodeA);
            int32_t b = HasCode(CodeSetOp(CODESET_GET, 0), t.ruleCodeB);
            bool remove = t.ruleOp > 16;
            int32_t op = remove ? t.ruleOp - 16 : t.ruleOp;
            if (EvalRule(a, b, op) == 1) {
                any = true;
                out << "  template " << i << ": " << (remove ? "removes " : "adds ") << code << " ("
                    << DescribeOperator(static_cast<uint32_t>(op)) << "; A "
                    << static_cast<uint16_t>(t.ruleCodeA) << (a ? " present" : " absent") << ", B "
                    << static_cast<uint16_t>(t.ruleCodeB) << (b ? " present" : " absent") << ")\n";
                if (remove)
                    CodeSetOp(CODESET_REMOVE, code);
                else
                    AddCode(code);
            }
        }
        if (t.placeX == 1) {
            any = true;
            out << "  template " << i << ": always on, adds " << code << "\n";
            AddCode(code);
        }
    }
    if (!any)
        out << "  no rule fired\n";
    out << "Final code set: " << List(CurrentCodes()) << "\n";
    CodeSetOp(CODESET_RELEASE, 0);
}

struct LayoutRun {
    int32_t count = 0;
    LayoutResult result{};
    std::vector<PlacedPiece> pieces;
};

LayoutRun RunLayout(const ExplainInput &input, const CatalogHeader *header, int32_t levelRequest,
                    int32_t heightLimit)
{
    LayoutRun run;
    run.pieces.resize(static_cast<size_t>(header->maxPieces));
    std::vector<uint16_t> extra = input.extraCodes;
    extra.push_back(0);
    run.count = LayoutPieces(levelRequest, input.availWidth, heightLimit, input.options,
                             run.pieces.data(), &run.result, header, extra.data());
    return run;
}

void ExplainLevels(std::ostream &out, const ExplainInput &input, const CatalogHeader *header,
                   int32_t heightLimit)
{
    out << "Size levels (room " << input.availWidth << " x " << heightLimit;
    if (input.showBadge)
        out << ", the badge keeps " << header->reserveHeight << " rows";
    out << "):\n";
    if (input.levelRequest != 0) {
        out << "  level request " << input.levelRequest << " fixes one level\n";
        return;
    }
    if (header->levelCount < 1 || header->levelCount > 5) {
        out << "  levelCount " << header->levelCount << " is outside 1 to 5\n";
        return;
    }
    for (int32_t level = 5 - header->levelCount; level <= 4; ++level) {
        LayoutRun run = RunLayout(input, header, 5 - level, heightLimit);
        bool fits = run.result.width <= input.availWidth && run.result.height <= heightLimit;
        out << "  level " << level << ": " << run.result.width << " x " << run.result.height
            << (fits ? " fits" : " does not fit") << "\n";
        if (fits)
            break;
    }
}

void ExplainPieces(std::ostream &out, const LayoutRun &run, const CatalogView &view)
{
    out << "Chosen level " << run.result.level << ", picture " << run.result.width << " x "
        << run.result.height << ", attention " << AttentionName(run.result.attention) << "\n";
    out << "Pieces in drawing order (y counts rows from the picture's bottom):\n";
    for (int32_t i = 0; i < run.count; ++i) {
        const PlacedPiece &p = run.pieces[static_cast<size_t>(i)];
        uint16_t code = 0;
        if (p.templateIndex >= 0 && static_cast<size_t>(p.templateIndex) < view.templates.size())
            code = static_cast<uint16_t>(view.templates[static_cast<size_t>(p.templateIndex)].code);
        out << "  template " << p.templateIndex << " (code " << code << "): at " << p.x << ", "
            << p.y << ", size " << p.width << " x " << p.height << ", bitmap "
            << static_cast<uint16_t>(p.bitmapId) << ((p.flags & PIECE_AUX_MODULE) ? " (aux)" : "")
            << ", drawOrder " << p.drawOrder << ((p.flags & PIECE_LATE) ? ", late" : "") << "\n";
    }
}

ScaleDecision Decide(const ExplainInput &input, const CatalogHeader *header,
                     const LayoutResult &result)
{
    ScaleInput in{};
    in.width = result.width;
    in.height = result.height;
    in.level = result.level;
    in.baseLevel = header->baseLevel;
    in.levelCount = header->levelCount;
    in.reserveHeight = header->reserveHeight;
    in.shrinkAllowed = (header->paintFlags & PAINT_SHRINK) ? 1 : 0;
    in.levelRequest = input.levelRequest;
    in.zoomPercent = input.zoomPercent;
    in.availWidth = input.availWidth;
    in.availHeight = input.availHeight;
    in.destLeft = input.dest[0];
    in.destTop = input.dest[1];
    in.destWidth = input.dest[2];
    in.destHeight = input.dest[3];
    in.threshold = 1.52f;
    in.showBadge = input.showBadge ? 1 : 0;
    return DecideScale(in);
}

void ExplainScale(std::ostream &out, const ExplainInput &input, const CatalogHeader *header,
                  const LayoutResult &result)
{
    ScaleDecision d = Decide(input, header, result);
    out << "Planned picture: " << d.drawnWidth << " x " << d.drawnHeight << " at " << d.x << ", "
        << d.y;
    if (d.shrink)
        out << ", shrunk by " << d.scale;
    else if (d.enlarge)
        out << ", enlarged by " << d.scale;
    else
        out << ", natural size";
    if (input.showBadge && !d.showBadge)
        out << "; no room is left for the badge, so it is not drawn";
    out << "\n";
}

} // namespace

void Explain(std::ostream &out, const ExplainInput &input)
{
    const Bytes &bytes = *input.catalogue;
    if (!CatalogFitsResource(bytes.data(), static_cast<uint32_t>(bytes.size()))) {
        out << "The catalogue does not fit its resource; the paint fails with result 8.\n";
        return;
    }
    CatalogView view = ViewCatalog(bytes);
    out << "Extra codes: " << List(input.extraCodes) << "\n";
    if (input.options != nullptr)
        ExplainDecoding(out, *input.options);
    else
        out << "No option record.\n";
    ExplainRules(out, view, input);
    const CatalogHeader *header = reinterpret_cast<const CatalogHeader *>(bytes.data());
    if (header->maxPieces <= 0) {
        out << "maxPieces is " << header->maxPieces << ": no piece can be placed.\n";
        return;
    }
    int32_t heightLimit =
        PaintHeightLimit(input.availHeight, header->reserveHeight, input.showBadge ? 1 : 0);
    ExplainLevels(out, input, header, heightLimit);
    LayoutRun run = RunLayout(input, header, input.levelRequest, heightLimit);
    out << "Selected templates:";
    std::vector<int16_t> selected;
    for (int32_t i = 0; i < run.count; ++i)
        selected.push_back(run.pieces[static_cast<size_t>(i)].templateIndex);
    std::sort(selected.begin(), selected.end());
    for (int16_t index : selected)
        out << " " << index;
    out << (selected.empty() ? " none\n" : "\n");
    ExplainPieces(out, run, view);
    if (run.count > 0)
        ExplainScale(out, input, header, run.result);
}

std::string AttentionName(int32_t attention)
{
    if (attention == ATTENTION_NONE)
        return "none";
    if (attention == ATTENTION_YELLOW)
        return "yellow";
    if (attention == ATTENTION_RED)
        return "red";
    return std::to_string(attention);
}

PaintPlan PlanPaint(const ExplainInput &input)
{
    PaintPlan plan;
    const Bytes &bytes = *input.catalogue;
    if (!CatalogFitsResource(bytes.data(), static_cast<uint32_t>(bytes.size())))
        return plan;
    const CatalogHeader *header = reinterpret_cast<const CatalogHeader *>(bytes.data());
    if (header->maxPieces <= 0)
        return plan;
    CatalogView view = ViewCatalog(bytes);
    int32_t heightLimit =
        PaintHeightLimit(input.availHeight, header->reserveHeight, input.showBadge ? 1 : 0);
    LayoutRun run = RunLayout(input, header, input.levelRequest, heightLimit);
    plan.readable = true;
    plan.level = run.result.level;
    plan.width = run.result.width;
    plan.height = run.result.height;
    plan.attention = run.result.attention;
    for (int32_t i = 0; i < run.count; ++i) {
        const PlacedPiece &p = run.pieces[static_cast<size_t>(i)];
        PlannedPiece piece;
        piece.templateIndex = p.templateIndex;
        if (p.templateIndex >= 0 && static_cast<size_t>(p.templateIndex) < view.templates.size())
            piece.code =
                static_cast<uint16_t>(view.templates[static_cast<size_t>(p.templateIndex)].code);
        piece.bitmapId = static_cast<uint16_t>(p.bitmapId);
        piece.aux = p.flags & PIECE_AUX_MODULE;
        piece.width = p.width;
        piece.height = p.height;
        plan.pieces.push_back(piece);
    }
    if (run.count > 0) {
        ScaleDecision d = Decide(input, header, run.result);
        plan.drawnWidth = d.drawnWidth;
        plan.drawnHeight = d.drawnHeight;
    }
    return plan;
}

} // namespace pptool
