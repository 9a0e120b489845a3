#include "tool_util.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace pptool {

namespace {

std::string RangeText(int64_t min, int64_t max)
{
    return std::to_string(min) + " to " + std::to_string(max);
}

// Parses the whole text as one integer; false when it is not one.
bool ParseWhole(const std::string &text, int64_t &value)
{
    if (text.empty())
        return false;
    size_t start = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        start = 1;
    }
    int base = 10;
    if (text.size() > start + 2 && text[start] == '0' &&
        (text[start + 1] == 'x' || text[start + 1] == 'X')) {
        base = 16;
        start += 2;
    }
    if (start >= text.size())
        return false;
    uint64_t magnitude = 0;
    for (size_t i = start; i < text.size(); ++i) {
        char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > (uint64_t{1} << 40))
            return false; // far outside every field
    }
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

} // namespace

int64_t ParseInteger(const std::string &text, const std::string &where, int64_t min, int64_t max)
{
    int64_t value = 0;
    if (!ParseWhole(text, value))
        throw ToolError(where + ": \"" + text + "\" is not an integer (decimal or 0x hex)");
    if (value < min || value > max)
        throw ToolError(where + ": " + text + " is out of range (" + RangeText(min, max) + ")");
    return value;
}

int64_t ReadInteger(const Json &value, const std::string &where, int64_t min, int64_t max)
{
    if (value.is_number_integer()) {
        int64_t v = value.is_number_unsigned() && value.get<uint64_t>() > uint64_t{1} << 40
                        ? max + 1
                        : value.get<int64_t>();
        if (v < min || v > max)
            throw ToolError(where + ": " + value.dump() + " is out of range (" +
                            RangeText(min, max) + ")");
        return v;
    }
    if (value.is_string())
        return ParseInteger(value.get<std::string>(), where, min, max);
    throw ToolError(where +
                    ": expected an integer (a number or a string such as \"0x8802\"), got " +
                    value.dump());
}

std::vector<int64_t> ParseIntegerList(const std::string &text, const std::string &where,
                                      int64_t min, int64_t max)
{
    std::vector<int64_t> values;
    std::string item;
    std::istringstream in(text);
    while (std::getline(in, item, ',')) {
        size_t first = item.find_first_not_of(" \t");
        size_t last = item.find_last_not_of(" \t");
        if (first == std::string::npos)
            throw ToolError(where + ": empty item in \"" + text + "\"");
        values.push_back(ParseInteger(item.substr(first, last - first + 1), where, min, max));
    }
    return values;
}

size_t EditDistance(const std::string &a, const std::string &b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string DidYouMean(const std::string &given, const std::vector<std::string> &known)
{
    // A third of the name may be wrong, at least two letters (a swap) and at
    // most three.
    size_t limit = std::clamp<size_t>(given.size() / 3, 2, 3);
    const std::string *best = nullptr;
    size_t bestDistance = limit + 1;
    for (const std::string &name : known) {
        size_t distance = EditDistance(given, name);
        if (distance < bestDistance) {
            best = &name;
            bestDistance = distance;
        }
    }
    return best == nullptr || bestDistance == 0 ? "" : " (did you mean \"" + *best + "\"?)";
}

std::string HexString(uint32_t value, int digits)
{
    static const char *const hex = "0123456789abcdef";
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = hex[value & 0xF];
    return "0x" + text;
}

std::string ToHex(const uint8_t *bytes, size_t size)
{
    static const char *const hex = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text.push_back(hex[bytes[i] >> 4]);
        text.push_back(hex[bytes[i] & 0xF]);
    }
    return text;
}

Bytes FromHex(const std::string &text, const std::string &where)
{
    Bytes bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
            if (high >= 0)
                throw ToolError(where + ": hex text splits a byte across a space");
            continue;
        }
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            throw ToolError(where + ": '" + std::string(1, c) + "' is not a hex digit");
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0)
        throw ToolError(where + ": hex text has an odd number of digits");
    return bytes;
}

namespace {
const char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

std::string ToBase64(const Bytes &bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t chunk = uint32_t{bytes[i]} << 16;
        if (i + 1 < bytes.size())
            chunk |= uint32_t{bytes[i + 1]} << 8;
        if (i + 2 < bytes.size())
            chunk |= bytes[i + 2];
        text.push_back(base64Alphabet[chunk >> 18 & 63]);
        text.push_back(base64Alphabet[chunk >> 12 & 63]);
        text.push_back(i + 1 < bytes.size() ? base64Alphabet[chunk >> 6 & 63] : '=');
        text.push_back(i + 2 < bytes.size() ? base64Alphabet[chunk & 63] : '=');
    }
    return text;
}

Bytes FromBase64(const std::string &text, const std::string &where)
{
    Bytes bytes;
    uint32_t chunk = 0;
    int bits = 0;
    bool padding = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\t' || c == '\r')
            continue;
        if (c == '=') {
            padding = true;
            continue;
        }
        const char *found = c == '\0' ? nullptr : std::strchr(base64Alphabet, c);
        if (found == nullptr || padding)
            throw ToolError(where + ": '" + std::string(1, c) + "' does not belong in base64 text");
        chunk = chunk << 6 | static_cast<uint32_t>(found - base64Alphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<uint8_t>(chunk >> bits));
        }
    }
    return bytes;
}

Bytes ReadFileBytes(const std::filesystem::path &path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw ToolError(path.string() + ": is a directory, expected a file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ToolError(path.string() + ": cannot open (" + std::strerror(errno) + ")");
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw ToolError(path.string() + ": read error");
    return bytes;
}

void WriteFileBytes(const std::filesystem::path &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw ToolError(path.string() + ": cannot write (" + std::strerror(errno) + ")");
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw ToolError(path.string() + ": write failed");
}

namespace {

void PrettyInto(std::string &text, const Json &value, int indent)
{
    std::string pad(static_cast<size_t>(indent + 2), ' ');
    if (value.is_object() && !value.empty()) {
        text += "{\n";
        size_t i = 0;
        for (auto &[key, item] : value.items()) {
            text += pad + Json(key).dump() + ": ";
            PrettyInto(text, item, indent + 2);
            text += ++i < value.size() ? ",\n" : "\n";
        }
        text += std::string(static_cast<size_t>(indent), ' ') + "}";
        return;
    }
    bool flat = true;
    if (value.is_array())
        for (const Json &item : value)
            flat = flat && !item.is_structured();
    if (value.is_array() && !flat) {
        text += "[\n";
        for (size_t i = 0; i < value.size(); ++i) {
            text += pad;
            PrettyInto(text, value[i], indent + 2);
            text += i + 1 < value.size() ? ",\n" : "\n";
        }
        text += std::string(static_cast<size_t>(indent), ' ') + "]";
        return;
    }
    if (value.is_array()) {
        text += "[";
        for (size_t i = 0; i < value.size(); ++i)
            text += (i == 0 ? "" : ", ") + value[i].dump();
        text += "]";
        return;
    }
    text += value.dump();
}

} // namespace

std::string PrettyJson(const Json &value)
{
    std::string text;
    PrettyInto(text, value, 0);
    return text + "\n";
}

Json ReadJsonFile(const std::filesystem::path &path)
{
    Bytes bytes = ReadFileBytes(path);
    try {
        return Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::parse_error &e) {
        throw ToolError(path.string() + ": not valid JSON: " + e.what());
    }
}

bool ReadU16(const Bytes &bytes, size_t offset, uint16_t &value)
{
    if (offset > bytes.size() || bytes.size() - offset < 2)
        return false;
    value = static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
    return true;
}

bool ReadI32(const Bytes &bytes, size_t offset, int32_t &value)
{
    if (offset > bytes.size() || bytes.size() - offset < 4)
        return false;
    uint32_t v = uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8 |
                 uint32_t{bytes[offset + 2]} << 16 | uint32_t{bytes[offset + 3]} << 24;
    value = static_cast<int32_t>(v);
    return true;
}

void PutU16(Bytes &bytes, size_t offset, uint16_t value)
{
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(Bytes &bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

int32_t RowStride(int32_t width, int32_t bitsPerPixel)
{
    if (bitsPerPixel == 8)
        return (width + 3) / 4 * 4;
    return ((width + 1) / 2 + 3) / 4 * 4;
}

} // namespace pptool
