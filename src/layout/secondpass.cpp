// Second pass of the layout: deferred pieces placed against the box of the
// first pass, chained to one another through three accumulators per axis.
#include "layout/passes.h"

namespace {

struct Accumulators {
    Coord16 lastCentred;
    Coord16 lastStart;
    Coord16 lastEnd;
};

// The base always comes from the frozen first-pass box, never from the box
// as earlier deferred pieces have grown it.
Coord16 DeferredBase(int32_t mode, const LayoutBox &frozen, int32_t axis, Coord16 extent)
{
    switch (mode) {
    case MODE_CENTRE:
        return Add16(frozen.min[axis], Half16(Sub16(frozen.size[axis], extent)));
    case MODE_NEAR:
        return frozen.min[axis];
    case MODE_FAR:
        return frozen.max[axis];
    default:
        return 0;
    }
}

Coord16 DeferredPosition(uint16_t word, Coord16 base, Coord16 offset, const Accumulators &acc)
{
    Coord16 position = base;
    if (word & PLACE_ADD_OFFSET)
        position = Add16(position, offset);
    if (word & PLACE_ADD_LAST_CENTRED)
        position = Add16(position, acc.lastCentred);
    if (word & PLACE_ADD_LAST_START)
        position = Add16(position, acc.lastStart);
    if (word & PLACE_ADD_LAST_END)
        position = Add16(position, acc.lastEnd);
    return position;
}

void Remember(Accumulators &acc, int32_t mode, Coord16 position)
{
    if (mode == MODE_CENTRE)
        acc.lastCentred = position;
    else if (mode == MODE_NEAR)
        acc.lastStart = position;
    else if (mode == MODE_FAR)
        acc.lastEnd = position;
}

} // namespace

void RunSecondPass(const LevelContext &ctx, const LayoutBox &frozen, LayoutBox *box)
{
    Accumulators acc[AXIS_COUNT] = {};
    for (int32_t slot = 0; slot < ctx.count; ++slot) {
        PlacedPiece &piece = ctx.pieces[slot];
        const PieceTemplate &t = TemplateOf(ctx, piece);
        for (int32_t axis = AXIS_X; axis < AXIS_COUNT; ++axis) {
            uint16_t word = ControlWord(t, axis);
            if (!(word & PLACE_DEFERRED))
                continue;
            int32_t mode = word & PLACE_MODE_MASK;
            Coord16 extent = Extent(t, axis, ctx.level);
            Coord16 base = DeferredBase(mode, frozen, axis, extent);
            Coord16 position = DeferredPosition(word, base, Offset(t, axis, ctx.level), acc[axis]);
            if (position < box->min[axis])
                box->min[axis] = position;
            Coord16 end = Add16(position, extent);
            if (end > box->max[axis])
                box->max[axis] = end;
            Remember(acc[axis], mode, position);
            box->size[axis] = Sub16(box->max[axis], box->min[axis]);
            PositionOf(piece, axis) = position;
        }
    }
}
