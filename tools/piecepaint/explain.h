// render --explain: how a paint comes about, for catalogue authors. It
// re-runs the selection and layout through the library's own operations and
// reports what each step did.
#ifndef PIECEPAINT_TOOL_EXPLAIN_H
#define PIECEPAINT_TOOL_EXPLAIN_H

#include "catalog_json.h"
#include "piecepaint/piecepaint.h"

#include <ostream>
#include <string>
#include <vector>

namespace pptool {

struct ExplainInput {
    const Bytes *catalogue = nullptr;
    const OptionRecord *options = nullptr; // may be null
    std::vector<uint16_t> extraCodes;      // without the terminator
    int32_t levelRequest = 0;
    int32_t availWidth = 0;
    int32_t availHeight = 0;
    bool showBadge = false;
    int32_t zoomPercent = 0;
    int32_t dest[4] = {0, 0, 0, 0}; // left, top, width, height
};

void Explain(std::ostream &out, const ExplainInput &input);

// One piece of the layout that a paint would draw.
struct PlannedPiece {
    int32_t templateIndex = 0;
    uint16_t code = 0;
    uint16_t bitmapId = 0;
    bool aux = false; // the bitmap comes from the auxiliary module
    int32_t width = 0;
    int32_t height = 0;
};

// What the selection, layout and scale decision give for one paint, without
// drawing it. readable is false when the catalogue does not fit its resource
// or allows no piece.
struct PaintPlan {
    bool readable = false;
    int32_t level = 0;
    int32_t width = 0; // the picture at its level
    int32_t height = 0;
    int32_t drawnWidth = 0; // on the device, after shrinking or enlarging
    int32_t drawnHeight = 0;
    int32_t attention = 0;
    std::vector<PlannedPiece> pieces;
};
PaintPlan PlanPaint(const ExplainInput &input);

// "none", "yellow" or "red" for a layout's attention value; other values as
// their number.
std::string AttentionName(int32_t attention);

} // namespace pptool

#endif
