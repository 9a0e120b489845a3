// render --explain: how a paint comes about, for catalogue authors. It
// re-runs the selection and layout through the library's own operations and
// reports what each step did.
#ifndef PIECEPAINT_TOOL_EXPLAIN_H
#define PIECEPAINT_TOOL_EXPLAIN_H

#include "catalog_json.h"
#include "piecepaint/piecepaint.h"

#include <ostream>
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

} // namespace pptool

#endif
