// Draw-order sort: pieces with smaller keys are drawn first.
#include "layout/layout.h"

#include <algorithm>

// Pieces with equal keys keep the order the selection gave them (template
// order), as a pass of exchanges on strictly greater keys would leave them;
// a merge sort gets there in n log n steps where such passes take n squared
// (a catalogue may place thousands of pieces). Keys compare unsigned.
void SortByDrawOrder(int32_t count, PlacedPiece *pieces)
{
    if (count <= 1)
        return;
    std::stable_sort(pieces, pieces + count, [](const PlacedPiece &a, const PlacedPiece &b) {
        return a.drawOrder < b.drawOrder;
    });
}
