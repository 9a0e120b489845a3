// Rule evaluation and piece selection.
#ifndef PIECEPAINT_SELECT_SELECT_H
#define PIECEPAINT_SELECT_SELECT_H

#include "catalog/records.h"
#include "piecepaint/piecepaint.h"

#include <cstdint>

// Two-input truth table: bit 2a+b of op (operators 1..14); others always 1.
int32_t EvalRule(int32_t a, int32_t b, int32_t op);
PlacedPiece *InitPlacedPiece(PlacedPiece *piece, const PieceTemplate *tmpl);
// Fills the first records of pieces, in template order; returns their count.
int32_t SelectPieces(PlacedPiece *pieces, const OptionRecord *options, LayoutResult *result,
                     const uint16_t *extraCodes);

#endif
