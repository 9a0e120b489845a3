// Catalogue and working records. The catalogue is read in place from its
// resource: records are packed little-endian, with 16-bit fields at odd
// offsets, so every record here is byte-aligned where the file is.
#ifndef PIECEPAINT_CATALOG_RECORDS_H
#define PIECEPAINT_CATALOG_RECORDS_H

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// The resource begins with one CatalogHeader; the bytes between the named
// fields are not read.
struct CatalogHeader {
    uint8_t ignored0[6];
    int16_t reserveHeight; // rows kept above the picture for the badge
    uint8_t ignored8[2];
    int16_t maxPieces; // capacity of the PlacedPiece array
    uint8_t ignored12[2];
    int16_t baseLevel;      // level whose bitmap ids the templates store
    int16_t levelCount;     // 1 to 5 size levels
    int16_t templateCount;  // 0 or less: no templates
    int16_t idStep;         // bitmap id distance between levels
    int16_t idBase;         // added to every level-dependent id
    int16_t templateOffset; // signed byte offset of the template table
    uint8_t ignored26[2];
    int16_t bitsPerPixel; // 8 or 4
    int16_t colorCount;   // 256 or 16
    uint8_t bgIndex0;     // 16-colour background for values 0..63
    uint8_t ignored33;
    uint8_t bgIndex192; // ... for values 160..225
    uint8_t ignored35;
    uint8_t bgIndex128; // ... for values 64..159
    uint8_t ignored37;
    uint8_t keyIndex; // transparent index of every piece; background for 226..255
    uint8_t ignored39;
    uint16_t paintFlags;       // low byte: PAINT_* below
    uint16_t ruleFlags;        // RULES_ENABLED
    int16_t filterStrength[6]; // shrunk, natural, enlarged; then the same on 16-colour devices
};

struct PieceTemplate {
    uint16_t drawOrder; // compared unsigned; smaller first
    uint16_t placeX;    // X placement control word; 0 never drawn, 1 always on
    uint16_t placeY;    // Y placement control word
    uint8_t mapFrom[16];
    uint8_t mapTo[16];
    int16_t bitmapId; // resource id at baseLevel
    uint8_t pieceFlags;
    uint8_t ignored41;
    uint16_t layoutFlags;
    int16_t code;      // option code that selects the template
    int16_t attention; // 30002 yellow, 30004 red
    uint8_t ruleOp;    // <= 16 add rule, >= 17 remove rule with ruleOp - 16
    int16_t ruleCodeA;
    int16_t ruleCodeB;
    uint8_t transparentIndex; // used under PIECE_TRANSPARENT
    int16_t width[5];
    int16_t height[5];
    int16_t offsetX[5];
    int16_t offsetY[5];
};

#pragma pack(pop)

// One selected piece during one paint; natural layout, 54 bytes.
struct PlacedPiece {
    int16_t bitmapId;
    int16_t x; // left column in the picture
    int16_t y; // picture row (from the bottom) of the piece's bottom row
    int16_t templateIndex;
    int16_t width;
    int16_t height;
    uint16_t drawOrder;
    uint16_t flags; // PLACED_* below
    uint16_t placeX;
    uint16_t placeY;
    uint8_t transparentIndex;
    uint8_t mapFrom[16];
    uint8_t mapTo[16];
};

struct LayoutResult {
    int16_t width;
    int16_t height;
    int16_t level;
    int16_t attention;
};

static_assert(sizeof(CatalogHeader) == 56);
static_assert(offsetof(CatalogHeader, reserveHeight) == 6);
static_assert(offsetof(CatalogHeader, maxPieces) == 10);
static_assert(offsetof(CatalogHeader, baseLevel) == 14);
static_assert(offsetof(CatalogHeader, levelCount) == 16);
static_assert(offsetof(CatalogHeader, templateCount) == 18);
static_assert(offsetof(CatalogHeader, idStep) == 20);
static_assert(offsetof(CatalogHeader, idBase) == 22);
static_assert(offsetof(CatalogHeader, templateOffset) == 24);
static_assert(offsetof(CatalogHeader, bitsPerPixel) == 28);
static_assert(offsetof(CatalogHeader, colorCount) == 30);
static_assert(offsetof(CatalogHeader, bgIndex0) == 32);
static_assert(offsetof(CatalogHeader, bgIndex192) == 34);
static_assert(offsetof(CatalogHeader, bgIndex128) == 36);
static_assert(offsetof(CatalogHeader, keyIndex) == 38);
static_assert(offsetof(CatalogHeader, paintFlags) == 40);
static_assert(offsetof(CatalogHeader, ruleFlags) == 42);
static_assert(offsetof(CatalogHeader, filterStrength) == 44);

static_assert(sizeof(PieceTemplate) == 94);
static_assert(offsetof(PieceTemplate, placeX) == 2);
static_assert(offsetof(PieceTemplate, placeY) == 4);
static_assert(offsetof(PieceTemplate, mapFrom) == 6);
static_assert(offsetof(PieceTemplate, mapTo) == 22);
static_assert(offsetof(PieceTemplate, bitmapId) == 38);
static_assert(offsetof(PieceTemplate, pieceFlags) == 40);
static_assert(offsetof(PieceTemplate, layoutFlags) == 42);
static_assert(offsetof(PieceTemplate, code) == 44);
static_assert(offsetof(PieceTemplate, attention) == 46);
static_assert(offsetof(PieceTemplate, ruleOp) == 48);
static_assert(offsetof(PieceTemplate, ruleCodeA) == 49);
static_assert(offsetof(PieceTemplate, ruleCodeB) == 51);
static_assert(offsetof(PieceTemplate, transparentIndex) == 53);
static_assert(offsetof(PieceTemplate, width) == 54);
static_assert(offsetof(PieceTemplate, height) == 64);
static_assert(offsetof(PieceTemplate, offsetX) == 74);
static_assert(offsetof(PieceTemplate, offsetY) == 84);

static_assert(sizeof(PlacedPiece) == 54);
static_assert(offsetof(PlacedPiece, x) == 2);
static_assert(offsetof(PlacedPiece, y) == 4);
static_assert(offsetof(PlacedPiece, templateIndex) == 6);
static_assert(offsetof(PlacedPiece, width) == 8);
static_assert(offsetof(PlacedPiece, height) == 10);
static_assert(offsetof(PlacedPiece, drawOrder) == 12);
static_assert(offsetof(PlacedPiece, flags) == 14);
static_assert(offsetof(PlacedPiece, placeX) == 16);
static_assert(offsetof(PlacedPiece, placeY) == 18);
static_assert(offsetof(PlacedPiece, transparentIndex) == 20);
static_assert(offsetof(PlacedPiece, mapFrom) == 21);
static_assert(offsetof(PlacedPiece, mapTo) == 37);

static_assert(sizeof(LayoutResult) == 8);
static_assert(offsetof(LayoutResult, attention) == 6);

// Sizes of the records as they are stored.
enum : int32_t { CATALOG_HEADER_SIZE = 56, PIECE_TEMPLATE_SIZE = 94, PLACED_PIECE_SIZE = 54 };

// CatalogHeader.paintFlags (low byte).
enum : uint16_t {
    PAINT_SMOOTH = 0x01,
    PAINT_SHRINK = 0x02,
    PAINT_FILTER = 0x04, // filter, brightness and background restore
    PAINT_PALETTE = 0x08
};
// CatalogHeader.ruleFlags.
enum : uint16_t { RULES_ENABLED = 0x02 };

// PieceTemplate.pieceFlags and PlacedPiece.flags.
enum : uint16_t {
    PIECE_RESAMPLE = 0x02,
    PIECE_WIDTH_VARIANTS = 0x04,
    PIECE_HEIGHT_VARIANTS = 0x08,
    PIECE_AUX_MODULE = 0x10,
    PIECE_TRANSPARENT = 0x40,
    PIECE_LATE = PIECE_RESAMPLE | PIECE_WIDTH_VARIANTS | PIECE_HEIGHT_VARIANTS
};

// Attention codes.
enum : int16_t { ATTENTION_NONE = 30000, ATTENTION_YELLOW = 30002, ATTENTION_RED = 30004 };

// Bitmap ids in this range are the same at every size level.
enum : int16_t { FIXED_ID_FIRST = 29890, FIXED_ID_LAST = 32000 };

#endif
