// First pass of the layout: computed placement, cursors, anchors and evenly
// spaced groups, axis by axis.
#include "layout/layout.h"
#include "layout/passes.h"

namespace {

// The layoutFlags bits that act on one axis.
struct AxisFlagBits {
    uint16_t cursorReset;
    uint16_t groupStart;
    uint16_t groupEnd;
    uint16_t advanceOn;
    uint16_t advanceOff;
};

constexpr AxisFlagBits kAxisFlags[AXIS_COUNT] = {
    {0x001, 0x010, 0x020, 0x040, 0x080}, // X
    {0x002, 0x004, 0x008, 0x100, 0x200}, // Y
};

// Cursor reset and advance switches act whatever the control word says,
// and in this order, so "on" and "off" together leave advance off.
void ApplySwitches(AxisState &state, uint16_t flags, const AxisFlagBits &bits)
{
    if (flags & bits.cursorReset)
        state.marks.cursor = 0;
    if (flags & bits.advanceOn)
        state.advance = true;
    if (flags & bits.advanceOff)
        state.advance = false;
}

Coord16 SumTerms(const AxisState &state, uint16_t word, Coord16 offset)
{
    Coord16 position = 0;
    if (word & PLACE_ADD_OFFSET)
        position = Add16(position, offset);
    if (word & PLACE_ADD_ANCHOR)
        position = Add16(position, state.marks.anchor);
    if (word & PLACE_ADD_CURSOR)
        position = Add16(position, state.marks.cursor);
    if (word & PLACE_ADD_GROUP)
        position = Add16(position, state.marks.groupPosition);
    return position;
}

void ApplyMode(AxisState &state, int32_t mode, Coord16 position, Coord16 extent)
{
    switch (mode) {
    case MODE_FREE:
    case MODE_MEMBER:
        break;
    case MODE_CURSOR:
        state.marks.cursor = state.advance ? Add16(position, extent) : position;
        break;
    default:
        state.marks.anchor = position;
        break;
    }
}

// A second start mark met before the first end re-opens the group here and
// keeps the members already counted.
void OpenGroup(AxisState &state, Coord16 position, int32_t slot)
{
    state.groupStartValue = position;
    state.groupStartSlot = slot;
    state.snapshot = state.marks;
    state.groupOpen = true;
}

Coord16 PlaceMember(AxisState &state)
{
    state.memberCount += 1;
    state.groupStartValue = Add16(state.groupStartValue, state.step);
    state.marks.groupPosition = state.groupStartValue;
    return state.groupStartValue;
}

// The step is the span divided among the gaps; the span is taken at full
// width so that a start and end more than 32767 apart still give the right
// direction, and the quotient (at most half the span) fits 16 bits.
Coord16 GroupStep(Coord16 startValue, Coord16 endPosition, int32_t memberCount)
{
    int32_t span = int32_t{endPosition} - int32_t{startValue};
    return Wrap16(span / (memberCount + 1));
}

void EndGroup(AxisState &state, Coord16 position)
{
    if (!state.stepKnown) {
        state.step = GroupStep(state.groupStartValue, position, state.memberCount);
        state.stepKnown = true;
        state.repeatRequested = true;
        return;
    }
    state.groupStartValue = 0;
    state.step = 0;
    state.memberCount = 0;
    state.groupStartSlot = 0;
    state.groupOpen = false;
    state.stepKnown = false;
}

// One piece on one axis; returns its position there.
Coord16 TreatOnAxis(AxisState &state, const PieceTemplate &t, int32_t slot, int32_t axis,
                    int32_t level, bool *deferredSeen)
{
    const AxisFlagBits &bits = kAxisFlags[axis];
    uint16_t word = ControlWord(t, axis);
    uint16_t flags = t.layoutFlags;

    ApplySwitches(state, flags, bits);
    if (word & PLACE_DEFERRED) {
        *deferredSeen = true;
        return 0;
    }
    if (!(word & PLACE_COMPUTED))
        return 0;

    Coord16 position = SumTerms(state, word, Offset(t, axis, level));
    int32_t mode = word & PLACE_MODE_MASK;
    ApplyMode(state, mode, position, Extent(t, axis, level));
    if ((flags & bits.groupStart) && !state.stepKnown)
        OpenGroup(state, position, slot);
    if (mode == MODE_MEMBER && state.groupOpen)
        position = PlaceMember(state);
    if ((flags & bits.groupEnd) && state.memberCount != 0 && state.groupOpen)
        EndGroup(state, position);
    return position;
}

// Picks the slot of the next turn and the axes it treats. A repeat goes
// back to the slot that opened the group and winds back only the marks of
// the axis that asked for it; the rest of the group state carries on.
int32_t ChooseTurn(AxisState axes[AXIS_COUNT], int32_t next, bool treat[AXIS_COUNT])
{
    bool repeatX = axes[AXIS_X].repeatRequested;
    bool repeatY = axes[AXIS_Y].repeatRequested;
    axes[AXIS_X].repeatRequested = false;
    axes[AXIS_Y].repeatRequested = false;
    treat[AXIS_X] = true;
    treat[AXIS_Y] = true;
    if (!repeatX && !repeatY)
        return next;

    int32_t slot;
    if (repeatX && repeatY) {
        slot = axes[AXIS_Y].groupStartSlot < axes[AXIS_X].groupStartSlot
                   ? axes[AXIS_Y].groupStartSlot
                   : axes[AXIS_X].groupStartSlot;
    } else {
        slot = repeatX ? axes[AXIS_X].groupStartSlot : axes[AXIS_Y].groupStartSlot;
        treat[AXIS_X] = repeatX;
        treat[AXIS_Y] = repeatY;
    }
    for (int32_t axis = AXIS_X; axis < AXIS_COUNT; ++axis) {
        if (treat[axis] && axes[axis].groupStartSlot == slot)
            axes[axis].marks = axes[axis].snapshot;
    }
    return slot;
}

} // namespace

void RunFirstPass(const LevelContext &ctx, bool *deferredSeen)
{
    AxisState axes[AXIS_COUNT] = {};
    int32_t slot = 0;
    while (slot < ctx.count || axes[AXIS_X].repeatRequested || axes[AXIS_Y].repeatRequested) {
        bool treat[AXIS_COUNT];
        slot = ChooseTurn(axes, slot, treat);
        PlacedPiece &piece = ctx.pieces[slot];
        const PieceTemplate &t = TemplateOf(ctx, piece);
        piece.width = t.width[ctx.level];
        piece.height = t.height[ctx.level];
        for (int32_t axis = AXIS_X; axis < AXIS_COUNT; ++axis) {
            if (treat[axis])
                PositionOf(piece, axis) =
                    TreatOnAxis(axes[axis], t, slot, axis, ctx.level, deferredSeen);
        }
        ++slot;
    }
}

bool IsFirstPassPlaced(uint16_t word)
{
    return word != 0 && (word & PLACE_DEFERRED) == 0;
}

LayoutBox FirstPassBox(const PlacedPiece *pieces, int32_t count)
{
    LayoutBox box = {};
    for (int32_t slot = 0; slot < count; ++slot) {
        const PlacedPiece &piece = pieces[slot];
        if (IsFirstPassPlaced(piece.placeX)) {
            box.min[AXIS_X] = Min16(box.min[AXIS_X], piece.x);
            box.max[AXIS_X] = Max16(box.max[AXIS_X], Add16(piece.x, piece.width));
        }
        if (IsFirstPassPlaced(piece.placeY)) {
            box.min[AXIS_Y] = Min16(box.min[AXIS_Y], piece.y);
            box.max[AXIS_Y] = Max16(box.max[AXIS_Y], Add16(piece.y, piece.height));
        }
    }
    for (int32_t axis = AXIS_X; axis < AXIS_COUNT; ++axis)
        box.size[axis] = Sub16(box.max[axis], box.min[axis]);
    return box;
}
