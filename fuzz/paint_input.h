// The input of the whole-paint fuzz target: the call's arguments, then
// chunks holding the catalogue, piece bitmaps, the badge, the code lists and
// any further resources.
#ifndef PIECEPAINT_FUZZ_PAINT_INPUT_H
#define PIECEPAINT_FUZZ_PAINT_INPUT_H

#include "fuzz_input.h"

#include <cstdint>

namespace ppfuzz {

#pragma pack(push, 1)
struct PaintArgs {
    uint8_t deviceKind;  // modulo 3: true colour, 256-colour palette, 16 colours
    uint8_t deviceWidth; // 1 + value % 128
    uint8_t deviceHeight;
    uint8_t switches; // SWITCH_* below
    int16_t destLeft;
    int16_t destTop;
    int16_t destWidth;
    int16_t destHeight;
    int16_t availWidth;
    int16_t availHeight;
    uint8_t showBadge;
    int8_t levelRequest;
    int16_t zoomPercent;
    uint8_t background;
    int8_t brightness;
    uint8_t faultTarget; // which resource of the piece module fails, by order of id
    uint8_t faultKind;   // modulo 4: none, not found, load fails, lock fails
    uint8_t heapFailNth; // 0: none; else this allocation of the paint fails
    // Left shifts (modulo 16) that widen the 16-bit values to the 32 bits the
    // call takes: the destination rectangle, the offered space, the zoom.
    uint8_t destShift;
    uint8_t availShift;
    uint8_t zoomShift;
    uint32_t bits0;
    uint32_t bits1;
    uint32_t bits2;
    uint16_t singleCode;
    uint16_t selector1;
    uint16_t selector2;
    int16_t extraFlag;
};
#pragma pack(pop)
static_assert(sizeof(PaintArgs) == 48);

enum : uint8_t {
    SWITCH_OPTIONS = 0x01,     // pass an OptionRecord
    SWITCH_EXTRA_CODES = 0x02, // pass the extraCodes list (empty without a chunk)
    SWITCH_CODE_LIST = 0x04,   // the record's codeList points at the list chunk
    SWITCH_AUX_MODULE = 0x08,  // a second module for the badge and 0x10 pieces
    SWITCH_PALETTE = 0x10,     // build the library palette first, destroy it after
    SWITCH_REPAINT = 0x20,     // paint a second time with the same inputs
};

// Chunk tags, taken modulo 8; bit 0x80 of a TAG_RESOURCE tag puts the
// resource in the second module.
enum : uint8_t {
    TAG_CATALOGUE = 0,      // resource 999, as is
    TAG_BITMAP = 1,         // a piece bitmap, as is
    TAG_COMPACT_BITMAP = 2, // a piece bitmap without its header (CompactBitmap)
    TAG_BADGE = 3,          // resource 29891, as is
    TAG_EXTRA_CODES = 4,    // 16-bit codes; the target adds the terminator
    TAG_CODE_LIST = 5,      // 16-bit list codes; the target adds the terminator
    TAG_RESOURCE = 6,       // 16-bit id, then the bytes
    TAG_COMPACT_BADGE = 7,
};

// A bitmap given by its size and depth; the target writes the 40-byte header
// and a grey colour table (1024 bytes for 256-colour catalogues or an 8-bit
// badge, else 64) in front of the data, which holds the rows or a variant
// table and its variants.
#pragma pack(push, 1)
struct CompactBitmap {
    int16_t width;
    int16_t height;
    uint8_t bitCount;
};
#pragma pack(pop)

} // namespace ppfuzz

#endif
