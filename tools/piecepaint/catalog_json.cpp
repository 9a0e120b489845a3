#include "catalog_json.h"

#include "bitmap_art.h"
#include "catalog/records.h"

#include <cstring>
#include <set>

namespace pptool {

namespace {

// How a field is written: signed or unsigned decimal, or hex.
enum class Style { Signed, Unsigned, Hex };

struct Field {
    const char *name;
    size_t offset;
    size_t size; // 1 or 2
    Style style;
    size_t count; // > 1: an array of count values
};

constexpr Field headerFields[] = {
    {"reserveHeight", 6, 2, Style::Signed, 1},   {"maxPieces", 10, 2, Style::Signed, 1},
    {"baseLevel", 14, 2, Style::Signed, 1},      {"levelCount", 16, 2, Style::Signed, 1},
    {"idStep", 20, 2, Style::Signed, 1},         {"idBase", 22, 2, Style::Signed, 1},
    {"bitsPerPixel", 28, 2, Style::Signed, 1},   {"colorCount", 30, 2, Style::Signed, 1},
    {"bgIndex0", 32, 1, Style::Unsigned, 1},     {"bgIndex128", 36, 1, Style::Unsigned, 1},
    {"bgIndex192", 34, 1, Style::Unsigned, 1},   {"keyIndex", 38, 1, Style::Unsigned, 1},
    {"paintFlags", 40, 2, Style::Hex, 1},        {"ruleFlags", 42, 2, Style::Hex, 1},
    {"filterStrength", 44, 2, Style::Signed, 6},
};

constexpr Field templateFields[] = {
    {"drawOrder", 0, 2, Style::Unsigned, 1},  {"placeX", 2, 2, Style::Hex, 1},
    {"placeY", 4, 2, Style::Hex, 1},          {"bitmapId", 38, 2, Style::Unsigned, 1},
    {"pieceFlags", 40, 1, Style::Hex, 1},     {"layoutFlags", 42, 2, Style::Hex, 1},
    {"code", 44, 2, Style::Unsigned, 1},      {"attention", 46, 2, Style::Signed, 1},
    {"ruleOp", 48, 1, Style::Unsigned, 1},    {"ruleCodeA", 49, 2, Style::Unsigned, 1},
    {"ruleCodeB", 51, 2, Style::Unsigned, 1}, {"transparentIndex", 53, 1, Style::Unsigned, 1},
    {"width", 54, 2, Style::Signed, 5},       {"height", 64, 2, Style::Signed, 5},
    {"offsetX", 74, 2, Style::Signed, 5},     {"offsetY", 84, 2, Style::Signed, 5},
};

// Header bytes the library never reads, kept so that any catalogue can be
// rebuilt byte for byte.
struct Span {
    size_t offset;
    size_t size;
};
constexpr Span ignoredHeaderSpans[] = {{0, 6},  {8, 2},  {12, 2}, {26, 2},
                                       {33, 1}, {35, 1}, {37, 1}, {39, 1}};
constexpr size_t templateIgnoredOffset = 41;
constexpr size_t headerSize = CATALOG_HEADER_SIZE;
constexpr size_t templateSize = PIECE_TEMPLATE_SIZE;

int64_t LoadValue(const uint8_t *bytes, const Field &field, size_t index)
{
    const uint8_t *at = bytes + field.offset + index * field.size;
    if (field.size == 1)
        return at[0];
    uint16_t raw = static_cast<uint16_t>(at[0] | at[1] << 8);
    return field.style == Style::Signed ? static_cast<int16_t>(raw) : raw;
}

Json ValueJson(int64_t value, const Field &field)
{
    if (field.style == Style::Hex)
        return HexString(static_cast<uint32_t>(value), static_cast<int>(field.size * 2));
    return value;
}

Json FieldJson(const uint8_t *bytes, const Field &field)
{
    if (field.count == 1)
        return ValueJson(LoadValue(bytes, field, 0), field);
    Json list = Json::array();
    for (size_t i = 0; i < field.count; ++i)
        list.push_back(ValueJson(LoadValue(bytes, field, i), field));
    return list;
}

void StoreValue(uint8_t *bytes, const Field &field, size_t index, int64_t value)
{
    uint8_t *at = bytes + field.offset + index * field.size;
    at[0] = static_cast<uint8_t>(value);
    if (field.size == 2)
        at[1] = static_cast<uint8_t>(value >> 8);
}

// 16-bit signed fields take -32768..32767; unsigned and hex ones 0..65535.
// Codes and ids are compared by their low 16 bits, so either spelling is
// accepted for them.
void ReadField(const Json &value, const Field &field, uint8_t *bytes, const std::string &where)
{
    int64_t min = 0;
    int64_t max = field.size == 1 ? 255 : 65535;
    if (field.style == Style::Signed && field.size == 2) {
        min = -32768;
        max = 32767;
    } else if (field.size == 2 && field.style == Style::Unsigned) {
        min = -32768;
    }
    if (field.count == 1) {
        StoreValue(bytes, field, 0, ReadInteger(value, where, min, max));
        return;
    }
    if (value.is_array()) {
        if (value.size() != field.count)
            throw ToolError(where + ": expected " + std::to_string(field.count) + " values, got " +
                            std::to_string(value.size()));
        for (size_t i = 0; i < field.count; ++i)
            StoreValue(bytes, field, i,
                       ReadInteger(value[i], where + "[" + std::to_string(i) + "]", min, max));
        return;
    }
    // One value stands for every entry (the same size at every level).
    int64_t v = ReadInteger(value, where, min, max);
    for (size_t i = 0; i < field.count; ++i)
        StoreValue(bytes, field, i, v);
}

bool AllZero(const uint8_t *bytes, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

int16_t LoadI16(const Bytes &bytes, size_t offset)
{
    return static_cast<int16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

Json TemplateJson(const uint8_t *t)
{
    Json out = Json::object();
    for (const Field &field : templateFields) {
        out[field.name] = FieldJson(t, field);
        if (std::strcmp(field.name, "placeY") == 0) {
            // The substitution pairs, trimmed of trailing zero pairs.
            size_t used = 16;
            while (used > 0 && t[6 + used - 1] == 0 && t[22 + used - 1] == 0)
                --used;
            if (used > 0) {
                out["mapFrom"] = Json::array();
                out["mapTo"] = Json::array();
                for (size_t i = 0; i < used; ++i) {
                    out["mapFrom"].push_back(t[6 + i]);
                    out["mapTo"].push_back(t[22 + i]);
                }
            }
        }
        if (std::strcmp(field.name, "pieceFlags") == 0 && t[templateIgnoredOffset] != 0)
            out["ignoredByte"] = HexString(t[templateIgnoredOffset], 2);
    }
    return out;
}

void CheckKeys(const Json &object, const std::set<std::string> &known, const std::string &where)
{
    if (!object.is_object())
        throw ToolError(where + ": expected an object");
    for (auto &[key, value] : object.items()) {
        if (known.count(key) == 0) {
            std::string list;
            for (const std::string &name : known)
                list += (list.empty() ? "" : ", ") + name;
            throw ToolError(where + ": unknown key \"" + key + "\" (known: " + list + ")");
        }
    }
}

void TemplateFromJson(const Json &desc, uint8_t *t, const std::string &where)
{
    std::set<std::string> known = {"mapFrom", "mapTo", "ignoredByte", "comment"};
    for (const Field &field : templateFields)
        known.insert(field.name);
    CheckKeys(desc, known, where);
    for (const Field &field : templateFields)
        if (desc.contains(field.name))
            ReadField(desc[field.name], field, t, where + "." + field.name);
    for (auto [name, offset] : {std::pair<const char *, size_t>{"mapFrom", 6}, {"mapTo", 22}}) {
        if (!desc.contains(name))
            continue;
        const Json &list = desc[name];
        std::string at = where + "." + name;
        if (!list.is_array() || list.size() > 16)
            throw ToolError(at + ": expected a list of at most 16 colour indices");
        for (size_t i = 0; i < list.size(); ++i)
            t[offset + i] = static_cast<uint8_t>(
                ReadInteger(list[i], at + "[" + std::to_string(i) + "]", 0, 255));
    }
    if (desc.contains("ignoredByte"))
        t[templateIgnoredOffset] =
            static_cast<uint8_t>(ReadInteger(desc["ignoredByte"], where + ".ignoredByte", 0, 255));
}

} // namespace

std::optional<Json> CatalogToJson(const Bytes &catalogue)
{
    if (catalogue.size() < headerSize)
        return std::nullopt;
    int16_t count = LoadI16(catalogue, 18);
    int16_t offset = LoadI16(catalogue, 24);
    size_t tableEnd = headerSize;
    if (count > 0) {
        if (offset < static_cast<int16_t>(headerSize))
            return std::nullopt;
        tableEnd = static_cast<size_t>(offset) + static_cast<size_t>(count) * templateSize;
        if (tableEnd > catalogue.size())
            return std::nullopt;
    }

    Json out = Json::object();
    for (const Field &field : headerFields) {
        out[field.name] = FieldJson(catalogue.data(), field);
        if (std::strcmp(field.name, "idBase") == 0 && offset != static_cast<int16_t>(headerSize))
            out["templateOffset"] = offset;
    }
    if (count < 0)
        out["templateCount"] = count;
    Json ignored = Json::object();
    for (const Span &span : ignoredHeaderSpans)
        if (!AllZero(catalogue.data() + span.offset, span.size))
            ignored[std::to_string(span.offset)] = ToHex(catalogue.data() + span.offset, span.size);
    if (!ignored.empty())
        out["ignoredBytes"] = ignored;
    if (count > 0) {
        size_t gap = static_cast<size_t>(offset) - headerSize;
        if (!AllZero(catalogue.data() + headerSize, gap))
            out["gapBytes"] = ToHex(catalogue.data() + headerSize, gap);
    }
    out["templates"] = Json::array();
    for (int16_t i = 0; i < count; ++i)
        out["templates"].push_back(TemplateJson(catalogue.data() + offset + i * templateSize));
    if (catalogue.size() > tableEnd)
        out["trailingBytes"] = ToHex(catalogue.data() + tableEnd, catalogue.size() - tableEnd);
    return out;
}

Bytes CatalogFromJson(const Json &desc, const std::string &where)
{
    std::set<std::string> known = {"templateOffset", "templateCount", "ignoredBytes", "gapBytes",
                                   "templates",      "trailingBytes", "comment"};
    for (const Field &field : headerFields)
        known.insert(field.name);
    CheckKeys(desc, known, where);

    Bytes bytes(headerSize, 0);
    for (const Field &field : headerFields)
        if (desc.contains(field.name))
            ReadField(desc[field.name], field, bytes.data(), where + "." + field.name);
    // Left out, baseLevel follows from levelCount: the largest of the levels
    // the layout searches.
    int16_t levelCount = LoadI16(bytes, 16);
    if (!desc.contains("baseLevel") && levelCount >= 1 && levelCount <= 5)
        PutU16(bytes, 14, static_cast<uint16_t>(5 - levelCount));

    if (desc.contains("ignoredBytes")) {
        const Json &ignored = desc["ignoredBytes"];
        if (!ignored.is_object())
            throw ToolError(where + ".ignoredBytes: expected an object of offset: hex bytes");
        for (auto &[key, value] : ignored.items()) {
            std::string at = where + ".ignoredBytes." + key;
            size_t start = static_cast<size_t>(ParseInteger(key, at, 0, headerSize - 1));
            if (!value.is_string())
                throw ToolError(at + ": expected hex bytes");
            Bytes data = FromHex(value.get<std::string>(), at);
            for (size_t i = 0; i < data.size(); ++i) {
                size_t pos = start + i;
                bool inSpan = false;
                for (const Span &span : ignoredHeaderSpans)
                    inSpan = inSpan || (pos >= span.offset && pos < span.offset + span.size);
                if (!inSpan)
                    throw ToolError(at + ": byte " + std::to_string(pos) +
                                    " belongs to a named header field");
                bytes[pos] = data[i];
            }
        }
    }

    const Json empty = Json::array();
    const Json &templates = desc.contains("templates") ? desc["templates"] : empty;
    if (!templates.is_array())
        throw ToolError(where + ".templates: expected a list of templates");
    if (templates.size() > 32767)
        throw ToolError(where + ".templates: more than 32767 templates");
    int64_t count = static_cast<int64_t>(templates.size());
    if (desc.contains("templateCount")) {
        int64_t stated =
            ReadInteger(desc["templateCount"], where + ".templateCount", -32768, 32767);
        // A count of 0 or less means no table; only then may it differ.
        if (stated != count && !(stated <= 0 && count == 0))
            throw ToolError(where + ".templateCount: " + std::to_string(stated) + " but " +
                            std::to_string(count) + " templates are given; leave it out");
        count = stated;
    }
    int64_t offset = headerSize;
    if (desc.contains("templateOffset"))
        offset = ReadInteger(desc["templateOffset"], where + ".templateOffset", -32768, 32767);
    if (count > 0 && offset < static_cast<int64_t>(headerSize))
        throw ToolError(where + ".templateOffset: " + std::to_string(offset) +
                        " puts the template table inside the " + std::to_string(headerSize) +
                        "-byte header; write such a catalogue as a raw resource");
    PutU16(bytes, 18, static_cast<uint16_t>(count));
    PutU16(bytes, 24, static_cast<uint16_t>(offset));

    if (count > 0) {
        Bytes gap(static_cast<size_t>(offset) - headerSize, 0);
        if (desc.contains("gapBytes")) {
            if (!desc["gapBytes"].is_string())
                throw ToolError(where + ".gapBytes: expected hex bytes");
            Bytes given = FromHex(desc["gapBytes"].get<std::string>(), where + ".gapBytes");
            if (given.size() != gap.size())
                throw ToolError(where + ".gapBytes: " + std::to_string(given.size()) +
                                " bytes given, but templateOffset leaves " +
                                std::to_string(gap.size()) + " between header and table");
            gap = given;
        }
        bytes.insert(bytes.end(), gap.begin(), gap.end());
        for (size_t i = 0; i < templates.size(); ++i) {
            uint8_t record[templateSize] = {};
            TemplateFromJson(templates[i], record, where + ".templates[" + std::to_string(i) + "]");
            bytes.insert(bytes.end(), record, record + templateSize);
        }
    } else if (desc.contains("gapBytes")) {
        throw ToolError(where + ".gapBytes: there is no template table; use trailingBytes");
    }
    if (desc.contains("trailingBytes")) {
        if (!desc["trailingBytes"].is_string())
            throw ToolError(where + ".trailingBytes: expected hex bytes");
        Bytes tail = FromHex(desc["trailingBytes"].get<std::string>(), where + ".trailingBytes");
        bytes.insert(bytes.end(), tail.begin(), tail.end());
    }
    return bytes;
}

namespace {

Json RawEntry(uint16_t id, const Bytes &bytes, const RawStyle &style)
{
    Json entry = Json::object();
    entry["id"] = id;
    if (style.binDir.empty()) {
        entry["base64"] = ToBase64(bytes);
        return entry;
    }
    std::filesystem::path file = style.binDir / (std::to_string(id) + ".bin");
    WriteFileBytes(file, bytes);
    std::filesystem::path shown = file;
    if (!style.relativeTo.empty())
        shown = std::filesystem::proximate(file, style.relativeTo);
    entry["file"] = shown.generic_string();
    return entry;
}

Bytes RawBytes(const Json &entry, const std::filesystem::path &baseDir, const std::string &where)
{
    int sources = int{entry.contains("hex")} + int{entry.contains("base64")} +
                  int{entry.contains("file")} + int{entry.contains("png")};
    if (sources != 1)
        throw ToolError(where + ": give exactly one of \"png\", \"hex\", \"base64\" or \"file\"");
    CheckKeys(entry, {"id", "hex", "base64", "file", "comment"}, where);
    if (entry.contains("hex")) {
        if (!entry["hex"].is_string())
            throw ToolError(where + ".hex: expected hex bytes");
        return FromHex(entry["hex"].get<std::string>(), where + ".hex");
    }
    if (entry.contains("base64")) {
        if (!entry["base64"].is_string())
            throw ToolError(where + ".base64: expected base64 text");
        return FromBase64(entry["base64"].get<std::string>(), where + ".base64");
    }
    if (!entry["file"].is_string())
        throw ToolError(where + ".file: expected a file path");
    return ReadFileBytes(baseDir / entry["file"].get<std::string>());
}

ArtSettings ArtFor(const ResourceMap &resources, const Json &description)
{
    auto found = resources.find(catalogueId);
    if (found == resources.end() || found->second.size() < headerSize)
        throw ToolError("PNG art needs the catalogue (resource 999) for its depth and colours");
    const Bytes &catalogue = found->second;
    ArtSettings settings;
    settings.bitsPerPixel = LoadI16(catalogue, 28);
    settings.colorCount = LoadI16(catalogue, 30);
    settings.keyIndex = catalogue[38];
    if (settings.bitsPerPixel != 8 && settings.bitsPerPixel != 4)
        throw ToolError("PNG art needs bitsPerPixel 8 or 4 in the catalogue, not " +
                        std::to_string(settings.bitsPerPixel));
    if (settings.colorCount != 256 && settings.colorCount != 16)
        throw ToolError("PNG art needs colorCount 256 or 16 in the catalogue, not " +
                        std::to_string(settings.colorCount));
    // The default 256-colour palette keeps grey i at index i, so that the
    // caller's background value gives the same grey inside and around the
    // picture, and index arithmetic stays within a ramp.
    Json palette = settings.colorCount == 256 ? Json("effects") : Json("vga16");
    if (description.contains("palette"))
        palette = description["palette"];
    settings.palette = PaletteFromJson(palette, settings.colorCount, settings.keyIndex, "palette");
    return settings;
}

} // namespace

Json ModuleToJson(const ResourceMap &resources, const RawStyle &style)
{
    Json out = Json::object();
    auto catalogue = resources.find(catalogueId);
    std::optional<Json> structured;
    if (catalogue != resources.end())
        structured = CatalogToJson(catalogue->second);
    if (structured)
        out["catalogue"] = *structured;
    out["resources"] = Json::array();
    for (auto &[id, bytes] : resources)
        if (id != catalogueId || !structured)
            out["resources"].push_back(RawEntry(id, bytes, style));
    return out;
}

ResourceMap ModuleFromJson(const Json &description, const std::filesystem::path &baseDir)
{
    CheckKeys(description, {"catalogue", "palette", "resources", "comment"}, "description");
    ResourceMap resources;
    if (description.contains("catalogue"))
        resources[catalogueId] = CatalogFromJson(description["catalogue"], "catalogue");

    const Json empty = Json::array();
    const Json &entries = description.contains("resources") ? description["resources"] : empty;
    if (!entries.is_array())
        throw ToolError("resources: expected a list of resources");
    std::vector<size_t> art;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string where = "resources[" + std::to_string(i) + "]";
        const Json &entry = entries[i];
        if (!entry.is_object())
            throw ToolError(where + ": expected an object");
        if (!entry.contains("id"))
            throw ToolError(where + ": missing \"id\"");
        uint16_t id = static_cast<uint16_t>(ReadInteger(entry["id"], where + ".id", 0, 65535));
        if (resources.count(id) != 0)
            throw ToolError(where + ": resource " + std::to_string(id) +
                            (id == catalogueId && description.contains("catalogue")
                                 ? " is already the catalogue"
                                 : " is given twice"));
        if (entry.contains("png")) {
            resources[id] = {}; // filled once the catalogue is known
            art.push_back(i);
        } else {
            resources[id] = RawBytes(entry, baseDir, where);
        }
    }
    if (!art.empty()) {
        ArtSettings settings = ArtFor(resources, description);
        for (size_t i : art) {
            const Json &entry = entries[i];
            uint16_t id = static_cast<uint16_t>(ReadInteger(entry["id"], "id", 0, 65535));
            resources[id] = BitmapFromPngEntry(entry, settings, baseDir,
                                               "resources[" + std::to_string(i) + "]");
        }
    }
    return resources;
}

} // namespace pptool
