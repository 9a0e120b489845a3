// Draw-order sort: pieces with smaller keys are drawn first.
#include "layout/layout.h"

namespace {

void SwapRecords(PlacedPiece &a, PlacedPiece &b)
{
    PlacedPiece held = a;
    a = b;
    b = held;
}

} // namespace

// Exchanges only on a strictly greater key, so equal keys keep the order the
// selection gave them (template order). Keys compare unsigned.
void SortByDrawOrder(int32_t count, PlacedPiece *pieces)
{
    if (count <= 1)
        return;
    bool exchanged = true;
    while (exchanged) {
        exchanged = false;
        for (int32_t i = 0; i + 1 < count; ++i) {
            if (pieces[i].drawOrder > pieces[i + 1].drawOrder) {
                SwapRecords(pieces[i], pieces[i + 1]);
                exchanged = true;
            }
        }
    }
}
