// Small helpers shared by the tool's commands: the error type every command
// reports through, integer parsing from JSON and text, hex and base64.
#ifndef PIECEPAINT_TOOL_UTIL_H
#define PIECEPAINT_TOOL_UTIL_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace pptool {

using Json = nlohmann::ordered_json;
using Bytes = std::vector<uint8_t>;

// A failure the user can act on; main() prints it and exits non-zero.
class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An integer from JSON: a number, or a string holding a decimal or "0x" hex
// number. where names the value in messages ("templates[2].placeX").
int64_t ReadInteger(const Json &value, const std::string &where, int64_t min, int64_t max);
// The same from command-line text.
int64_t ParseInteger(const std::string &text, const std::string &where, int64_t min, int64_t max);
// Comma-separated integers ("500,501" or "0,0,640,480").
std::vector<int64_t> ParseIntegerList(const std::string &text, const std::string &where,
                                      int64_t min, int64_t max);

// " (did you mean \"x\"?)" for the nearest of the known names within a
// few edits of given, else empty.
std::string DidYouMean(const std::string &given, const std::vector<std::string> &known);
// The edit distance between two names, letters compared without case.
size_t EditDistance(const std::string &a, const std::string &b);

std::string HexString(uint32_t value, int digits); // "0x8802"
std::string ToHex(const uint8_t *bytes, size_t size);
// Hex digits; spaces and line breaks between byte pairs are allowed.
Bytes FromHex(const std::string &text, const std::string &where);
std::string ToBase64(const Bytes &bytes);
Bytes FromBase64(const std::string &text, const std::string &where);

Bytes ReadFileBytes(const std::filesystem::path &path);
void WriteFileBytes(const std::filesystem::path &path, const Bytes &bytes);
// Indented JSON with lists of plain values kept on one line.
std::string PrettyJson(const Json &value);
// Parses a JSON file, reporting the file and position of syntax errors.
Json ReadJsonFile(const std::filesystem::path &path);

// Little-endian reads from a resource, checked against its size.
bool ReadU16(const Bytes &bytes, size_t offset, uint16_t &value);
bool ReadI32(const Bytes &bytes, size_t offset, int32_t &value);
void PutU16(Bytes &bytes, size_t offset, uint16_t value);
void PutU32(Bytes &bytes, size_t offset, uint32_t value);

// Bytes per row of a device-independent bitmap as the library draws it.
int32_t RowStride(int32_t width, int32_t bitsPerPixel);

} // namespace pptool

#endif
