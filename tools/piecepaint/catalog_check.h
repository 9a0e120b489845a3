// Structural checks of a resource module: the catalogue against its
// resource, the bitmaps each template needs, and rules and templates that
// can never take effect.
#ifndef PIECEPAINT_TOOL_CATALOG_CHECK_H
#define PIECEPAINT_TOOL_CATALOG_CHECK_H

#include "catalog_json.h"

#include <set>
#include <string>
#include <vector>

namespace pptool {

struct Finding {
    bool problem; // false: a note that does not fail the check
    std::string text;
};

struct CheckOptions {
    // Codes the host passes itself (extra codes, or list codes that reach
    // the code set unchanged); they count as producible.
    std::set<uint16_t> hostCodes;
};

// True for the codes that decoding an option record can produce.
bool InDecodedCodeSpace(uint16_t code);

std::vector<Finding> CheckModule(const ResourceMap &resources, const ResourceMap &aux,
                                 const CheckOptions &options);

// What only the description shows: a 16-colour catalogue that leaves its
// background bands out (they would all be index 0, black).
std::vector<Finding> DescriptionFindings(const Json &catalogue);

} // namespace pptool

#endif
