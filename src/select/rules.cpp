#include "catalog/limits.h"
#include "catalog/registration.h"
#include "select/codeset.h"
#include "select/decode.h"
#include "select/select.h"

#include <cstring>

namespace {

// ruleOp above this value removes the template's code instead of adding it.
constexpr int32_t kRemoveRuleBase = 16;

// Code 0 ends every code list: adding it would hide every code stored
// behind it, so the pass never adds it.
void AddTemplateCode(int16_t code)
{
    if (static_cast<uint16_t>(code) != 0)
        AddCode(code);
}

void RunRule(const PieceTemplate &t)
{
    if (t.ruleCodeA == 0 && t.ruleCodeB == 0)
        return;
    const uint16_t *list = CodeSetOp(CODESET_GET, 0);
    int32_t a = HasCode(list, t.ruleCodeA);
    int32_t b = HasCode(list, t.ruleCodeB);
    if (t.ruleOp <= kRemoveRuleBase) {
        if (EvalRule(a, b, t.ruleOp) != 0)
            AddTemplateCode(t.code);
    } else if (EvalRule(a, b, t.ruleOp - kRemoveRuleBase) != 0) {
        CodeSetOp(CODESET_REMOVE, t.code);
    }
}

void RunRules(const CatalogHeader &header, const PieceTemplate *table)
{
    bool rulesOn = (header.ruleFlags & RULES_ENABLED) != 0;
    for (int32_t i = 0; i < header.templateCount; ++i) {
        const PieceTemplate &t = table[i];
        if (rulesOn)
            RunRule(t);
        // Always-on follows the template's own rule, so it wins over it.
        if (t.placeX == 1)
            AddTemplateCode(t.code);
    }
}

void FillRecord(PlacedPiece *out, const PieceTemplate &t, int32_t index)
{
    InitPlacedPiece(out, &t);
    out->templateIndex = static_cast<int16_t>(index);
    out->bitmapId = t.bitmapId;
    std::memcpy(out->mapFrom, t.mapFrom, sizeof out->mapFrom);
    std::memcpy(out->mapTo, t.mapTo, sizeof out->mapTo);
}

} // namespace

int32_t EvalRule(int32_t a, int32_t b, int32_t op)
{
    int32_t table = op & 0xFF;
    if (table < 1 || table > 14)
        return 1;
    int32_t bit = 2 * (a != 0 ? 1 : 0) + (b != 0 ? 1 : 0);
    return (table >> bit) & 1;
}

PlacedPiece *InitPlacedPiece(PlacedPiece *piece, const PieceTemplate *tmpl)
{
    piece->placeX = tmpl->placeX;
    piece->placeY = tmpl->placeY;
    uint16_t from = tmpl->pieceFlags;
    uint16_t flags = from & 0x7Eu;
    if ((from & 0x01u) != 0)
        flags |= 0x80u;
    piece->flags = flags;
    if ((from & PIECE_TRANSPARENT) != 0)
        piece->transparentIndex = tmpl->transparentIndex;
    return piece;
}

int32_t SelectPieces(PlacedPiece *pieces, const OptionRecord *options, LayoutResult *result,
                     const uint16_t *extraCodes)
{
    const CatalogHeader *header = CatalogHeaderRef(0, nullptr);
    const PieceTemplate *table = TemplateTableRef(0, nullptr);

    bool created = CodeSetOp(CODESET_CREATE, 0) != nullptr;
    if (extraCodes != nullptr) {
        // The host's list is read no further than its limit, terminated or not.
        int32_t limit = CurrentLimits().maxCodes;
        for (int32_t n = 0; n < limit && extraCodes[n] != 0; ++n)
            AddCode(extraCodes[n]);
    }
    if (created && options != nullptr)
        DecodeOptions(options);

    int32_t templateCount = 0;
    int32_t maxPieces = 0;
    if (header != nullptr && table != nullptr) {
        templateCount = header->templateCount;
        maxPieces = pieces != nullptr ? header->maxPieces : 0;
        RunRules(*header, table);
    }

    const uint16_t *list = CodeSetOp(CODESET_GET, 0);
    int32_t count = 0;
    bool yellow = false;
    bool red = false;
    for (int32_t i = 0; i < templateCount; ++i) {
        const PieceTemplate &t = table[i];
        if (HasCode(list, t.code) == 0 || count >= maxPieces)
            continue;
        if (t.placeX != 0) {
            FillRecord(pieces + count, t, i);
            ++count;
        }
        if (t.attention == ATTENTION_YELLOW)
            yellow = true;
        else if (t.attention == ATTENTION_RED)
            red = true;
    }

    if (result != nullptr)
        result->attention = red ? ATTENTION_RED : yellow ? ATTENTION_YELLOW : ATTENTION_NONE;
    return count;
}
