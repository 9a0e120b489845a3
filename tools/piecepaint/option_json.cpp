#include "option_json.h"

namespace pptool {

namespace {

struct BitField {
    int word;  // 0, 1 or 2: bits0, bits1, bits2
    int shift; // lowest bit
    int width;
};

BitField FBits(int32_t index)
{
    if (index < 6)
        return {0, 14 + 3 * index, 3};
    if (index < 16)
        return {1, 3 * (index - 6), 3};
    return {2, 3 * (index - 16), 3};
}

// The 2-bit fields run downwards: P0 is the highest pair of the low ten bits.
BitField PBits(int32_t index)
{
    return {0, 8 - 2 * index, 2};
}

uint32_t &Word(OptionRecord &record, int word)
{
    return word == 0 ? record.bits0 : word == 1 ? record.bits1 : record.bits2;
}

uint32_t Word(const OptionRecord &record, int word)
{
    return word == 0 ? record.bits0 : word == 1 ? record.bits1 : record.bits2;
}

void Put(OptionRecord &record, BitField field, uint32_t value)
{
    uint32_t mask = ((1u << field.width) - 1) << field.shift;
    uint32_t &word = Word(record, field.word);
    word = (word & ~mask) | (value << field.shift & mask);
}

int32_t Get(const OptionRecord &record, BitField field)
{
    return static_cast<int32_t>(Word(record, field.word) >> field.shift &
                                ((1u << field.width) - 1));
}

// Field name -> its bits, for the fields packed into the words.
bool PackedField(const std::string &name, BitField &field, int64_t &max)
{
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'P') &&
        name.find_first_not_of("0123456789", 1) == std::string::npos && name.size() <= 3 &&
        !(name.size() == 3 && name[1] == '0')) {
        int32_t index = std::stoi(name.substr(1));
        if (name[0] == 'F' && index <= 19) {
            field = FBits(index);
            max = 7;
            return true;
        }
        if (name[0] == 'P' && index <= 4) {
            field = PBits(index);
            max = 3;
            return true;
        }
        return false;
    }
    if (name == "M0") {
        field = {0, 12, 2};
        max = 3;
        return true;
    }
    if (name == "M2") {
        field = {2, 12, 2};
        max = 3;
        return true;
    }
    if (name == "flag400") {
        field = {0, 10, 1};
        max = 1;
        return true;
    }
    if (name == "flag800") {
        field = {0, 11, 1};
        max = 1;
        return true;
    }
    return false;
}

const char *const knownFields = "F0..F19, P0..P4, M0, M2, flag400, flag800, codeList, singleCode, "
                                "selector1, selector2, extraFlag, bits0, bits1, bits2";

int64_t FlagValue(const Json &value, const std::string &where)
{
    if (value.is_boolean())
        return value.get<bool>() ? 1 : 0;
    return ReadInteger(value, where, 0, 1);
}

} // namespace

void FillOptions(OptionInput &input, const Json *fields, const std::string &where,
                 const std::optional<uint32_t> raw[3])
{
    OptionRecord &record = input.record;
    record = OptionRecord{};
    input.codeList.clear();
    if (fields != nullptr && !fields->is_object())
        throw ToolError(where + ": expected an object of option fields");
    if (fields != nullptr) {
        for (int w = 0; w < 3; ++w) {
            std::string name = "bits" + std::to_string(w);
            if (fields->contains(name))
                Word(record, w) = static_cast<uint32_t>(
                    ReadInteger((*fields)[name], where + "." + name, 0, 0xFFFFFFFFll));
        }
    }
    for (int w = 0; w < 3; ++w)
        if (raw[w])
            Word(record, w) = *raw[w];
    if (fields == nullptr)
        return;
    for (auto &[name, value] : fields->items()) {
        std::string at = where + "." + name;
        BitField field{};
        int64_t max = 0;
        if (PackedField(name, field, max)) {
            int64_t v = max == 1 ? FlagValue(value, at) : ReadInteger(value, at, 0, max);
            Put(record, field, static_cast<uint32_t>(v));
        } else if (name == "singleCode") {
            record.singleCode = static_cast<uint16_t>(ReadInteger(value, at, 0, 65535));
        } else if (name == "selector1") {
            record.selector1 = static_cast<uint16_t>(ReadInteger(value, at, 0, 65535));
        } else if (name == "selector2") {
            record.selector2 = static_cast<uint16_t>(ReadInteger(value, at, 0, 65535));
        } else if (name == "extraFlag") {
            record.extraFlag = static_cast<int16_t>(ReadInteger(value, at, -32768, 32767));
        } else if (name == "codeList") {
            if (!value.is_array())
                throw ToolError(at + ": expected a list of list codes");
            for (size_t i = 0; i < value.size(); ++i)
                input.codeList.push_back(static_cast<uint16_t>(
                    ReadInteger(value[i], at + "[" + std::to_string(i) + "]", 0, 65535)));
            input.codeList.push_back(0);
        } else if (name != "bits0" && name != "bits1" && name != "bits2" && name != "comment") {
            throw ToolError(where + ": unknown option field \"" + name +
                            "\" (known: " + knownFields + ")");
        }
    }
    record.codeList = input.codeList.empty() ? nullptr : input.codeList.data();
}

int32_t FieldF(const OptionRecord &record, int32_t index)
{
    return Get(record, FBits(index));
}

int32_t FieldP(const OptionRecord &record, int32_t index)
{
    return Get(record, PBits(index));
}

int32_t FieldM0(const OptionRecord &record)
{
    return Get(record, {0, 12, 2});
}

int32_t FieldM2(const OptionRecord &record)
{
    return Get(record, {2, 12, 2});
}

} // namespace pptool
