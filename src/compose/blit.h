// Copies one piece bitmap into the picture buffer with the catalogue's key
// index transparent and the piece's colour substitutions applied.
#ifndef PIECEPAINT_COMPOSE_BLIT_H
#define PIECEPAINT_COMPOSE_BLIT_H

#include "catalog/records.h"

#include <cstdint>

// Draws sourceWidth x sourceHeight pixels from source (rows sourceStride
// bytes apart) at (piece->x, piece->y) of the picture, whose rows are
// pictureStride bytes apart, first row in memory first. Strides and sizes are
// taken as signed 16-bit values. Only pixels inside the pictureWidth x
// pictureHeight picture are written; the rest of the piece is clipped away.
// catalogue->bitsPerPixel chooses the 8-bit or 4-bit path; any other depth
// draws nothing.
void BlitPiece(uint8_t *picture, int32_t pictureWidth, int32_t pictureHeight, int32_t pictureStride,
               int32_t sourceStride, int32_t sourceWidth, int32_t sourceHeight,
               const uint8_t *source, const PlacedPiece *piece, const CatalogHeader *catalogue,
               uint8_t keyIndex);

#endif
