// Internals of the layout engine shared by its files: the placement control
// word, the per-axis state of the first pass and the picture box.
#ifndef PIECEPAINT_LAYOUT_PASSES_H
#define PIECEPAINT_LAYOUT_PASSES_H

#include "catalog/records.h"
#include "layout/arith16.h"

#include <cstdint>

enum LayoutAxis : int32_t { AXIS_X = 0, AXIS_Y = 1, AXIS_COUNT = 2 };

// Bits of the placement control words placeX and placeY.
enum : uint16_t {
    PLACE_COMPUTED = 0x8000,   // first pass: sum of the terms below, then the mode
    PLACE_DEFERRED = 0x4000,   // second pass; wins over PLACE_COMPUTED
    PLACE_ADD_OFFSET = 0x2000, // both passes
    PLACE_ADD_ANCHOR = 0x1000,
    PLACE_ADD_CURSOR = 0x0800,
    PLACE_ADD_GROUP = 0x0400,
    PLACE_ADD_LAST_CENTRED = 0x0200, // second pass only
    PLACE_ADD_LAST_START = 0x0100,
    PLACE_ADD_LAST_END = 0x0080,
    PLACE_MODE_MASK = 0x0007
};

// Modes, the low three bits of a control word. In the first pass every mode
// but 1, 2 and 3 sets the anchor; in the second pass only 4, 5 and 6 have a
// base of their own.
enum : int32_t {
    MODE_ANCHOR = 0,
    MODE_FREE = 1,
    MODE_CURSOR = 2,
    MODE_MEMBER = 3,
    MODE_CENTRE = 4,
    MODE_NEAR = 5,
    MODE_FAR = 6
};

// The three positions a group repeat winds back.
struct AxisMarks {
    Coord16 anchor;
    Coord16 cursor;
    Coord16 groupPosition;
};

// First-pass state of one axis; all zero at the start of every level.
struct AxisState {
    AxisMarks marks;
    bool advance; // mode 2 moves the cursor past the piece
    Coord16 groupStartValue;
    int32_t groupStartSlot;
    AxisMarks snapshot; // marks just after the group-start piece
    int32_t memberCount;
    Coord16 step;
    bool groupOpen;
    bool stepKnown; // the group is being walked a second time
    bool repeatRequested;
};

struct LayoutBox {
    Coord16 min[AXIS_COUNT];
    Coord16 max[AXIS_COUNT];
    Coord16 size[AXIS_COUNT];
};

// What one level's passes work on.
struct LevelContext {
    const PieceTemplate *table;
    PlacedPiece *pieces;
    int32_t count;
    int32_t level; // 0 to 4
};

inline uint16_t ControlWord(const PieceTemplate &t, int32_t axis)
{
    return axis == AXIS_X ? t.placeX : t.placeY;
}

inline Coord16 Extent(const PieceTemplate &t, int32_t axis, int32_t level)
{
    return axis == AXIS_X ? t.width[level] : t.height[level];
}

inline Coord16 Offset(const PieceTemplate &t, int32_t axis, int32_t level)
{
    return axis == AXIS_X ? t.offsetX[level] : t.offsetY[level];
}

inline Coord16 &PositionOf(PlacedPiece &piece, int32_t axis)
{
    return axis == AXIS_X ? piece.x : piece.y;
}

inline const PieceTemplate &TemplateOf(const LevelContext &ctx, const PlacedPiece &piece)
{
    return ctx.table[piece.templateIndex];
}

// Positions every piece on both axes; deferred pieces get 0 and set
// *deferredSeen. Also sets each piece's width and height for the level.
void RunFirstPass(const LevelContext &ctx, bool *deferredSeen);

// The box round the origin and every piece placed by the first pass.
LayoutBox FirstPassBox(const PlacedPiece *pieces, int32_t count);

// Places the deferred pieces against the frozen first-pass box and grows box.
void RunSecondPass(const LevelContext &ctx, const LayoutBox &frozen, LayoutBox *box);

#endif
