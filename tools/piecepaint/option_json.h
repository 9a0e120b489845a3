// The host's option record from a JSON file of named fields and from raw
// words given on the command line.
#ifndef PIECEPAINT_TOOL_OPTION_JSON_H
#define PIECEPAINT_TOOL_OPTION_JSON_H

#include "piecepaint/piecepaint.h"
#include "tool_util.h"

#include <optional>
#include <string>
#include <vector>

namespace pptool {

// An option record together with the storage its code list points into.
struct OptionInput {
    OptionRecord record{};
    std::vector<uint16_t> codeList; // zero-terminated when used
    OptionInput() = default;
    OptionInput(const OptionInput &) = delete;
    OptionInput &operator=(const OptionInput &) = delete;
};

// Words from "bits0".."bits2" of the JSON, replaced by any raw word given,
// then every named field written into its bits. where names the source in
// messages.
void FillOptions(OptionInput &input, const Json *fields, const std::string &where,
                 const std::optional<uint32_t> raw[3]);

// F0..F19, P0..P4 and the other fields as read back from a record.
int32_t FieldF(const OptionRecord &record, int32_t index);
int32_t FieldP(const OptionRecord &record, int32_t index);
int32_t FieldM0(const OptionRecord &record);
int32_t FieldM2(const OptionRecord &record);

} // namespace pptool

#endif
