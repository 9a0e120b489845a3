// LayoutPieces: selects the pieces, lays them out at the largest size level
// that fits the offered space and finishes them for drawing.
#include "layout/layout.h"

#include "catalog/registration.h"
#include "layout/passes.h"
#include "select/codeset.h"
#include "select/select.h"

namespace {

enum : int32_t { LEVEL_LARGEST = 0, LEVEL_SMALLEST = 4, LEVELS = 5 };

struct LevelRange {
    int32_t first;
    int32_t last;
};

// A request of 0 searches the catalogue's levels from the largest it offers
// down to the smallest. A levelCount outside 1..5 would give an empty range
// or one that starts before level 0; it is clamped into 1..5 so that the
// search always lays out at least level 4 and never reads past the arrays.
LevelRange ChooseLevelRange(int32_t levelRequest, int32_t levelCount)
{
    if (levelRequest == 0) {
        int32_t offered = levelCount < 1 ? 1 : (levelCount > LEVELS ? LEVELS : levelCount);
        return {LEVELS - offered, LEVEL_SMALLEST};
    }
    if (levelRequest > LEVELS)
        return {LEVEL_LARGEST, LEVEL_LARGEST};
    if (levelRequest < 0)
        return {LEVEL_SMALLEST, LEVEL_SMALLEST};
    return {LEVELS - levelRequest, LEVELS - levelRequest};
}

// Lays out every piece at one level and returns the picture's box there.
LayoutBox LayOutLevel(const LevelContext &ctx, bool *deferredSeen)
{
    RunFirstPass(ctx, deferredSeen);
    LayoutBox box = FirstPassBox(ctx.pieces, ctx.count);
    const LayoutBox frozen = box;
    if (*deferredSeen && ctx.count >= 1)
        RunSecondPass(ctx, frozen, &box);
    return box;
}

bool Fits(const LayoutBox &box, int32_t maxWidth, int32_t maxHeight)
{
    return int32_t{box.size[AXIS_X]} <= maxWidth && int32_t{box.size[AXIS_Y]} <= maxHeight;
}

// Moves the picture so that its box starts at (0, 0). Only placeX decides,
// for both coordinates.
void Normalise(const LevelContext &ctx, const LayoutBox &box)
{
    for (int32_t slot = 0; slot < ctx.count; ++slot) {
        PlacedPiece &piece = ctx.pieces[slot];
        if (piece.placeX == 0)
            continue;
        piece.x = Sub16(piece.x, box.min[AXIS_X]);
        piece.y = Sub16(piece.y, box.min[AXIS_Y]);
    }
}

// The templates store the ids of baseLevel; other levels lie idStep apart.
// Ids of the fixed range serve every level.
int16_t LevelBitmapId(int16_t stored, int32_t level, const CatalogHeader &header)
{
    if (stored >= FIXED_ID_FIRST && stored <= FIXED_ID_LAST)
        return stored;
    Coord16 levelDistance = Wrap16(level - int32_t{header.baseLevel});
    Coord16 shift = Wrap16(int32_t{levelDistance} * int32_t{header.idStep});
    return Add16(Add16(stored, shift), header.idBase);
}

void AssignIdsAndKeys(const LevelContext &ctx, const CatalogHeader &header)
{
    for (int32_t slot = 0; slot < ctx.count; ++slot) {
        PlacedPiece &piece = ctx.pieces[slot];
        const PieceTemplate &t = TemplateOf(ctx, piece);
        piece.bitmapId = LevelBitmapId(t.bitmapId, ctx.level, header);
        piece.drawOrder = t.drawOrder;
    }
}

} // namespace

int32_t LayoutPieces(int32_t levelRequest, int32_t maxWidth, int32_t maxHeight,
                     const OptionRecord *options, PlacedPiece *pieces, LayoutResult *result,
                     const CatalogHeader *catalogue, const uint16_t *extraCodes)
{
    CatalogHeaderRef(1, catalogue);
    const PieceTemplate *table = TemplateTableRef(1, catalogue);
    int32_t count = SelectPieces(pieces, options, result, extraCodes);

    LevelRange range = ChooseLevelRange(levelRequest, catalogue->levelCount);
    LevelContext ctx = {table, pieces, count, range.first};
    bool deferredSeen = false;
    LayoutBox box = LayOutLevel(ctx, &deferredSeen);
    while (!Fits(box, maxWidth, maxHeight) && ctx.level < range.last) {
        ctx.level += 1;
        box = LayOutLevel(ctx, &deferredSeen);
    }

    Normalise(ctx, box);
    AssignIdsAndKeys(ctx, *catalogue);
    SortByDrawOrder(count, pieces);
    result->level = static_cast<int16_t>(ctx.level);
    result->width = box.size[AXIS_X];
    result->height = box.size[AXIS_Y];
    // The selection left the code set held for the length of the layout.
    CodeSetOp(CODESET_RELEASE, 0);
    return count;
}
