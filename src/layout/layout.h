// Layout engine and draw-order sort.
#ifndef PIECEPAINT_LAYOUT_LAYOUT_H
#define PIECEPAINT_LAYOUT_LAYOUT_H

#include "catalog/records.h"
#include "piecepaint/piecepaint.h"

#include <cstdint>

int32_t LayoutPieces(int32_t levelRequest, int32_t maxWidth, int32_t maxHeight,
                     const OptionRecord *options, PlacedPiece *pieces, LayoutResult *result,
                     const CatalogHeader *catalogue, const uint16_t *extraCodes);
bool IsFirstPassPlaced(uint16_t word);
void SortByDrawOrder(int32_t count, PlacedPiece *pieces);

#endif
