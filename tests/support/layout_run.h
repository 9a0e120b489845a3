// Runs the layout on a catalogue built in memory, with every template
// switched on through the extra code list.
#ifndef PIECEPAINT_TESTS_SUPPORT_LAYOUT_RUN_H
#define PIECEPAINT_TESTS_SUPPORT_LAYOUT_RUN_H

#include "catalog/records.h"

#include <cstdint>
#include <vector>

namespace pptest {

// Codes given to templates by AutoCode: template i gets 1000 + i.
int16_t AutoCode(size_t index);

// A template switched on by AutoCode(index), with the same control words at
// every level.
PieceTemplate PlacedTemplate(size_t index, uint16_t placeX, uint16_t placeY,
                             uint16_t layoutFlags = 0);

void SetOffsets(PieceTemplate &t, int16_t offsetX, int16_t offsetY);

struct LayoutRun {
    int32_t count = 0;
    LayoutResult result = {};
    std::vector<PlacedPiece> pieces; // the first count records, in draw order
    std::vector<int16_t> x;          // by template index
    std::vector<int16_t> y;
};

// Lays out templates under header; every template whose code is AutoCode of
// its index is selected.
LayoutRun RunLayout(const CatalogHeader &header, const std::vector<PieceTemplate> &templates,
                    int32_t levelRequest = 0, int32_t maxWidth = 30000, int32_t maxHeight = 30000);

// The same with an explicit zero-terminated code list instead.
LayoutRun RunLayoutWithCodes(const CatalogHeader &header,
                             const std::vector<PieceTemplate> &templates,
                             const std::vector<uint16_t> &codes, int32_t levelRequest,
                             int32_t maxWidth, int32_t maxHeight);

} // namespace pptest

#endif
