// The catalogue description: a JSON form of a resource module, the
// catalogue (resource 999) field by field and every other resource as PNG
// art or raw bytes. docs/catalogue.md describes it for catalogue authors.
#ifndef PIECEPAINT_TOOL_CATALOG_JSON_H
#define PIECEPAINT_TOOL_CATALOG_JSON_H

#include "tool_util.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace pptool {

using ResourceMap = std::map<uint16_t, Bytes>;

constexpr uint16_t catalogueId = 999;
constexpr uint16_t badgeId = 29891;

// The structured form of a catalogue resource, or nothing when the bytes
// cannot be written that way (too short for the header, or a template table
// that overlaps the header or runs past the end); such a catalogue is kept
// as a raw resource.
std::optional<Json> CatalogToJson(const Bytes &catalogue);
// The resource bytes of a structured catalogue.
Bytes CatalogFromJson(const Json &description, const std::string &where);

// How show --json writes resources other than the catalogue.
struct RawStyle {
    std::filesystem::path binDir; // empty: inline base64; else <id>.bin files here
    std::filesystem::path relativeTo;
};

// The whole module; building the result gives back the same bytes.
Json ModuleToJson(const ResourceMap &resources, const RawStyle &style);
// Builds every resource of a description; paths in it are relative to
// baseDir.
ResourceMap ModuleFromJson(const Json &description, const std::filesystem::path &baseDir);

} // namespace pptool

#endif
