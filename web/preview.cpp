#include "preview.h"

#include "catalog_text.h"
#include "explain.h"
#include "module_io.h"
#include "option_json.h"
#include "select/codeset.h"
#include "select/decode.h"

#include "piecepaint/host.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace {

using pptool::Bytes;
using pptool::Json;
using pptool::ResourceMap;
using pptool::ToolError;

struct ModuleCloser {
    void operator()(HINSTANCE__ *module) const { ppCloseModule(module); }
};
struct DcDeleter {
    void operator()(HDC__ *hdc) const { ppDeleteDC(hdc); }
};
using ModuleHandle = std::unique_ptr<HINSTANCE__, ModuleCloser>;
using DcHandle = std::unique_ptr<HDC__, DcDeleter>;

struct Slot {
    ResourceMap resources;
    ModuleHandle module;
    bool open = false;
};

// The page has one preview; these live as long as the module.
Slot slots[2];
std::string reply;
std::vector<uint8_t> picture;
int32_t pictureWidth = 0;
int32_t pictureHeight = 0;

// The words the page shows beside the picture for each result code.
std::string ResultMeaning(int result)
{
    switch (result) {
    case PP_RESULT_OK: // everything drawn
        return "picture drawn";
    case PP_RESULT_NOTHING_SELECTED: // no template selected
        return "the configuration selects no piece; nothing drawn";
    case PP_RESULT_NO_HEADER_MEMORY: // the picture header's allocation
        return "out of memory for the picture header; nothing drawn";
    case PP_RESULT_NO_PICTURE_MEMORY: // the picture's allocation, or the size limit
        return "out of memory for the picture; nothing drawn";
    case PP_RESULT_NOT_FOUND: // catalogue, piece or badge resource
        return "a resource was not found (the catalogue or a piece: nothing drawn; the badge: "
               "everything else drawn)";
    case PP_RESULT_LOAD_FAILED: // a resource that does not hold what it claims
        return "a resource could not be loaded, or does not hold what it claims (the catalogue "
               "or a piece: nothing drawn; the badge: everything else drawn)";
    case PP_RESULT_NO_PIECE_MEMORY: // the placed-piece array
        return "out of memory for the piece records; nothing drawn";
    case PP_RESULT_LOCK_FAILED: // a resource that cannot be locked
        return "a resource could not be locked (the catalogue or a piece: nothing drawn; the "
               "badge: everything else drawn)";
    default:
        return "unknown result";
    }
}

// A catalogue module must hold a catalogue the library can read whole;
// anything else is refused before it replaces the module on the page.
void CheckCatalogue(const ResourceMap &resources)
{
    auto found = resources.find(pptool::catalogueId);
    if (found == resources.end())
        throw ToolError("the module has no catalogue (resource 999)");
    pptool::CatalogView view = pptool::ViewCatalog(found->second);
    if (!view.headerComplete)
        throw ToolError(
            "the catalogue (resource 999) is truncated: " + std::to_string(found->second.size()) +
            " bytes, shorter than its " + std::to_string(CATALOG_HEADER_SIZE) + "-byte header");
    if (view.templatesMissing > 0)
        throw ToolError("the catalogue (resource 999) is truncated: its header claims " +
                        std::to_string(view.header.templateCount) + " templates, only " +
                        std::to_string(view.templates.size()) + " lie inside its " +
                        std::to_string(found->second.size()) + " bytes");
}

std::string OpenSlot(int32_t slot, const std::string &path)
{
    if (slot != 0 && slot != 1)
        return "unknown module slot";
    if (slot == 1 && path.empty()) {
        slots[1] = Slot{};
        return "";
    }
    try {
        ResourceMap resources = pptool::ReadModule(path);
        if (resources.empty())
            throw ToolError("no resources: neither a directory of <id>.bin files nor a module");
        if (slot == 0)
            CheckCatalogue(resources);
        Slot opened;
        opened.resources = std::move(resources);
        opened.module.reset(pptool::OpenMemoryModule(opened.resources));
        opened.open = true;
        slots[slot] = std::move(opened);
        return "";
    } catch (const std::exception &error) {
        return error.what();
    }
}

// The codes one option record decodes to, through the library's code set.
std::vector<uint16_t> Decoded(const OptionRecord &record)
{
    std::vector<uint16_t> codes;
    if (CodeSetOp(CODESET_CREATE, 0) == nullptr)
        return codes;
    DecodeOptions(&record);
    for (const uint16_t *at = CodeSetOp(CODESET_GET, 0); at != nullptr && *at != 0; ++at)
        codes.push_back(*at);
    CodeSetOp(CODESET_RELEASE, 0);
    return codes;
}

// A field of the option record as the page offers it: its name as the
// options JSON spells it, its largest value, and for each value the codes
// it decodes to on its own.
Json DescribeField(const std::string &name, int32_t max, const std::set<uint16_t> &read)
{
    Json field = {{"name", name}, {"max", max}};
    Json values = Json::array();
    bool relevant = false;
    for (int32_t value = 0; value <= max; ++value) {
        pptool::OptionInput input;
        Json fields = {{name, value}};
        std::optional<uint32_t> raw[3];
        pptool::FillOptions(input, &fields, "the page", raw);
        std::vector<uint16_t> codes = Decoded(input.record);
        for (uint16_t code : codes)
            relevant = relevant || read.count(code) != 0;
        values.push_back(codes);
    }
    field["codes"] = values;
    field["read"] = relevant;
    return field;
}

std::string Describe()
{
    if (!slots[0].open)
        return Json{{"error", "no catalogue module is open"}}.dump();
    pptool::CatalogView view = pptool::ViewCatalog(slots[0].resources.at(pptool::catalogueId));
    // Every code a template reads, with what reads it.
    std::map<uint16_t, std::vector<std::string>> readers;
    for (size_t i = 0; i < view.templates.size(); ++i) {
        const PieceTemplate &t = view.templates[i];
        std::string where = "template " + std::to_string(i);
        if (t.code != 0)
            readers[static_cast<uint16_t>(t.code)].push_back(where + " selected");
        if (t.ruleCodeA != 0 || t.ruleCodeB != 0) {
            std::string rule = where + " rule: " + pptool::DescribeRule(t);
            if (t.ruleCodeA != 0)
                readers[static_cast<uint16_t>(t.ruleCodeA)].push_back(rule);
            if (t.ruleCodeB != 0 && t.ruleCodeB != t.ruleCodeA)
                readers[static_cast<uint16_t>(t.ruleCodeB)].push_back(rule);
        }
    }
    std::set<uint16_t> read;
    Json codes = Json::array();
    for (auto &[code, who] : readers) {
        read.insert(code);
        codes.push_back({{"code", code}, {"readers", who}});
    }
    Json fields = Json::array();
    for (int32_t i = 0; i < 20; ++i)
        fields.push_back(DescribeField("F" + std::to_string(i), 7, read));
    for (int32_t i = 0; i < 5; ++i)
        fields.push_back(DescribeField("P" + std::to_string(i), 3, read));
    fields.push_back(DescribeField("M0", 3, read));
    fields.push_back(DescribeField("M2", 3, read));
    fields.push_back(DescribeField("flag400", 1, read));
    fields.push_back(DescribeField("flag800", 1, read));
    const CatalogHeader &h = view.header;
    Json header = {{"templates", view.templates.size()},
                   {"levelCount", h.levelCount},
                   {"bitsPerPixel", h.bitsPerPixel},
                   {"colorCount", h.colorCount},
                   {"reserveHeight", h.reserveHeight},
                   {"paintFlags", h.paintFlags},
                   {"ruleFlags", h.ruleFlags}};
    return Json{
        {"header", header},
        {"codes", codes},
        {"fields", fields},
        {"aux", slots[1].open},
        {"badge", (slots[1].open ? slots[1] : slots[0]).resources.count(pptool::badgeId) != 0}}
        .dump();
}

int32_t Integer(const Json &config, const char *name, int64_t min, int64_t max, int32_t fallback)
{
    if (!config.contains(name))
        return fallback;
    return static_cast<int32_t>(pptool::ReadInteger(config[name], name, min, max));
}

// A configuration read from the page, every value checked like the tool's
// command line.
struct Config {
    int32_t dest[4] = {0, 0, 640, 480};
    int32_t avail[2] = {640, 480};
    bool badge = false;
    int32_t level = 0;
    int32_t zoom = 0;
    int32_t background = 192;
    int32_t brightness = 0;
    int32_t device = PP_DEVICE_TRUECOLOR;
    bool haveOptions = false;
    pptool::OptionInput options;
    std::vector<uint16_t> codes; // zero-terminated when not empty
    bool explain = false;
};

void ReadList(const Json &config, const char *name, int32_t *into, size_t count)
{
    if (!config.contains(name))
        return;
    const Json &list = config[name];
    if (!list.is_array() || list.size() != count)
        throw ToolError(std::string(name) + ": expected " + std::to_string(count) + " integers");
    for (size_t i = 0; i < count; ++i)
        into[i] = static_cast<int32_t>(pptool::ReadInteger(list[i], name, -32768, 32767));
}

void ReadConfig(const std::string &text, Config &config)
{
    Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        throw ToolError("the configuration is not a JSON object");
    ReadList(json, "dest", config.dest, 4);
    config.avail[0] = config.dest[2];
    config.avail[1] = config.dest[3];
    ReadList(json, "avail", config.avail, 2);
    config.badge = json.value("badge", false);
    config.explain = json.value("explain", false);
    config.level = Integer(json, "level", INT32_MIN, INT32_MAX, 0);
    config.zoom = Integer(json, "zoom", INT32_MIN, INT32_MAX, 0);
    config.background = Integer(json, "background", INT32_MIN, INT32_MAX, 192);
    config.brightness = Integer(json, "brightness", INT32_MIN, INT32_MAX, 0);
    std::string device = json.value("device", "truecolor");
    if (device == "palette256")
        config.device = PP_DEVICE_PALETTE256;
    else if (device == "color16")
        config.device = PP_DEVICE_COLOR16;
    else if (device != "truecolor")
        throw ToolError("device: unknown device \"" + device + "\"");
    std::optional<uint32_t> raw[3];
    if (json.contains("options") && json["options"].is_object() && !json["options"].empty()) {
        config.haveOptions = true;
        pptool::FillOptions(config.options, &json["options"], "options", raw);
    }
    if (json.contains("codes")) {
        for (const Json &code : json["codes"])
            config.codes.push_back(
                static_cast<uint16_t>(pptool::ReadInteger(code, "codes", 1, 65535)));
        if (!config.codes.empty())
            config.codes.push_back(0);
    }
}

// The device a paint draws into: as large as the destination reaches, the
// tool's default canvas.
DcHandle MakeDevice(const Config &config)
{
    int64_t width = std::max<int64_t>(1, int64_t{config.dest[0]} + config.dest[2]);
    int64_t height = std::max<int64_t>(1, int64_t{config.dest[1]} + config.dest[3]);
    if (width > 16384 || height > 16384)
        throw ToolError("the destination needs a device of " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels, more than 16384 on a side");
    DcHandle hdc(ppCreateDC(config.device, static_cast<int>(width), static_cast<int>(height)));
    if (!hdc)
        throw ToolError("cannot create a device context of " + std::to_string(width) + " x " +
                        std::to_string(height));
    ppDCSetLogging(hdc.get(), 0);
    return hdc;
}

int CallPaint(HDC hdc, const Config &config)
{
    HMODULE module = slots[0].module.get();
    HMODULE aux = slots[1].open ? slots[1].module.get() : module;
    return PaintPrt(hdc, module, aux, config.dest[0], config.dest[1], config.dest[2],
                    config.dest[3], config.avail[0], config.avail[1], config.badge ? 1 : 0,
                    config.level, config.zoom,
                    config.haveOptions ? &config.options.record : nullptr, config.background,
                    config.brightness, config.codes.empty() ? nullptr : config.codes.data());
}

std::string ExplainText(const Config &config)
{
    pptool::ExplainInput input;
    input.catalogue = &slots[0].resources.at(pptool::catalogueId);
    input.options = config.haveOptions ? &config.options.record : nullptr;
    if (!config.codes.empty())
        input.extraCodes.assign(config.codes.begin(), config.codes.end() - 1);
    input.levelRequest = config.level;
    input.availWidth = config.avail[0];
    input.availHeight = config.avail[1];
    input.showBadge = config.badge;
    input.zoomPercent = config.zoom;
    for (int i = 0; i < 4; ++i)
        input.dest[i] = config.dest[i];
    std::ostringstream out;
    pptool::Explain(out, input);
    return out.str();
}

void KeepPicture(HDC hdc)
{
    int width = 0, height = 0;
    const uint32_t *pixels = ppDCPixels(hdc, &width, &height);
    picture.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (size_t i = 0; i < static_cast<size_t>(width) * static_cast<size_t>(height); ++i) {
        picture[i * 4 + 0] = static_cast<uint8_t>(pixels[i] >> 16);
        picture[i * 4 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        picture[i * 4 + 2] = static_cast<uint8_t>(pixels[i]);
        picture[i * 4 + 3] = 255;
    }
    pictureWidth = width;
    pictureHeight = height;
}

double Milliseconds(std::chrono::steady_clock::duration span)
{
    return std::chrono::duration<double, std::milli>(span).count();
}

std::string Paint(const std::string &text)
{
    try {
        if (!slots[0].open)
            throw ToolError("no catalogue module is open");
        Config config;
        ReadConfig(text, config);
        DcHandle hdc = MakeDevice(config);
        auto start = std::chrono::steady_clock::now();
        int result = CallPaint(hdc.get(), config);
        double ms = Milliseconds(std::chrono::steady_clock::now() - start);
        KeepPicture(hdc.get());
        Json answer = {{"result", result},
                       {"meaning", ResultMeaning(result)},
                       {"ms", ms},
                       {"width", pictureWidth},
                       {"height", pictureHeight}};
        if (config.explain)
            answer["explain"] = ExplainText(config);
        return answer.dump();
    } catch (const std::exception &error) {
        return Json{{"error", error.what()}}.dump();
    }
}

double Bench(const std::string &text, int32_t runs)
{
    try {
        if (!slots[0].open || runs < 1)
            return -1;
        Config config;
        ReadConfig(text, config);
        DcHandle hdc = MakeDevice(config);
        CallPaint(hdc.get(), config); // the first paint warms the caches
        // The fastest of ten batches: the machine's other work only slows a
        // batch down.
        int32_t batch = std::max(1, runs / 10);
        double best = -1;
        for (int32_t b = 0; b < 10; ++b) {
            auto start = std::chrono::steady_clock::now();
            for (int32_t i = 0; i < batch; ++i)
                CallPaint(hdc.get(), config);
            double ms = Milliseconds(std::chrono::steady_clock::now() - start) / batch;
            best = best < 0 || ms < best ? ms : best;
        }
        return best;
    } catch (const std::exception &) {
        return -1;
    }
}

} // namespace

extern "C" {

const char *ppwOpen(int32_t slot, const char *path)
{
    reply = OpenSlot(slot, path != nullptr ? path : "");
    return reply.c_str();
}

const char *ppwDescribe()
{
    reply = Describe();
    return reply.c_str();
}

const char *ppwPaint(const char *config)
{
    reply = Paint(config != nullptr ? config : "");
    return reply.c_str();
}

const uint8_t *ppwPixels()
{
    return picture.data();
}

int32_t ppwWidth()
{
    return pictureWidth;
}

int32_t ppwHeight()
{
    return pictureHeight;
}

double ppwBench(const char *config, int32_t runs)
{
    return Bench(config != nullptr ? config : "", runs);
}
}
