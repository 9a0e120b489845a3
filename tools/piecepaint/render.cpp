// render: one PaintPrt call into a software device context, saved as PNG.
#include "catalog_check.h"
#include "commands.h"
#include "explain.h"
#include "module_io.h"
#include "option_json.h"
#include "png_io.h"

#include "piecepaint/host.h"

#include <cctype>
#include <filesystem>
#include <memory>

namespace pptool {

namespace {

int DeviceKind(const std::string &name)
{
    if (name == "truecolor")
        return PP_DEVICE_TRUECOLOR;
    if (name == "palette256")
        return PP_DEVICE_PALETTE256;
    if (name == "color16")
        return PP_DEVICE_COLOR16;
    throw ToolError("--device: unknown device \"" + name + "\"" +
                    DidYouMean(name, {"truecolor", "palette256", "color16"}) +
                    " (known: truecolor, palette256, color16)");
}

std::string LowerCase(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The output must be a PNG file the tool can name: no standard output, no
// other image type under a PNG's bytes.
void CheckOutputName(const std::string &path)
{
    if (path == "-")
        throw ToolError("-o -: the picture cannot go to standard output; give a file name "
                        "ending in .png");
    std::string extension = LowerCase(std::filesystem::path(path).extension().string());
    if (extension != ".png")
        throw ToolError("-o " + path +
                        ": the tool writes PNG files only; give a name ending in "
                        ".png");
}

// Catalogue levels firstLevel to 4, as the user gives them and as the raw
// request spells them.
std::string LevelsText(int32_t levelCount)
{
    int32_t first = 5 - levelCount;
    return "this catalogue has size levels " + std::to_string(first) + " to 4 (--size-level " +
           std::to_string(first) + " to 4, or --level 1 to " + std::to_string(levelCount) + ")";
}

struct ModuleCloser {
    void operator()(HINSTANCE__ *module) const { ppCloseModule(module); }
};
struct DcDeleter {
    void operator()(HDC__ *hdc) const { ppDeleteDC(hdc); }
};

std::optional<uint32_t> RawWord(const std::optional<std::string> &text, const char *name)
{
    if (!text)
        return std::nullopt;
    return static_cast<uint32_t>(ParseInteger(*text, name, 0, 0xFFFFFFFFll));
}

} // namespace

int32_t LevelRequest(const std::optional<int32_t> &level, const std::optional<int32_t> &sizeLevel,
                     int32_t levelCount)
{
    if (level && sizeLevel)
        throw ToolError("--level and --size-level name the same thing; give one of them");
    if (sizeLevel && (*sizeLevel < 0 || *sizeLevel > 4))
        throw ToolError("--size-level: " + std::to_string(*sizeLevel) +
                        " is out of range (0 to 4)");
    if (level && (*level < 0 || *level > 5))
        throw ToolError("--level: " + std::to_string(*level) +
                        " is out of range (0 searches, 1 to 5 fix size level 5 - r)");
    int32_t request = sizeLevel ? 5 - *sizeLevel : level.value_or(0);
    if (request == 0 || levelCount < 1 || levelCount > 5)
        return request; // an unreadable levelCount is the library's to report
    int32_t chosen = 5 - request;
    if (chosen < 5 - levelCount) {
        std::string asked = sizeLevel ? "--size-level " + std::to_string(*sizeLevel)
                                      : "--level " + std::to_string(request) +
                                            " asks for size level " + std::to_string(chosen);
        throw ToolError(asked + ", but " + LevelsText(levelCount));
    }
    return request;
}

namespace {

int32_t LevelCountOf(const ResourceMap &resources)
{
    auto found = resources.find(catalogueId);
    int32_t levelCount = 0;
    uint16_t raw = 0;
    if (found != resources.end() && ReadU16(found->second, 16, raw))
        levelCount = static_cast<int16_t>(raw);
    return levelCount;
}

// Why a paint failed: the placed pieces whose bitmaps the checks find
// missing or broken, by template index, code and bitmap id.
void ExplainFailure(std::ostream &out, const RenderArgs &args, const ResourceMap &resources,
                    const ResourceMap &auxResources, const ExplainInput &input)
{
    auto catalogue = resources.find(catalogueId);
    if (catalogue != resources.end()) {
        ExplainInput plannedInput = input;
        plannedInput.catalogue = &catalogue->second;
        PaintPlan plan = PlanPaint(plannedInput);
        std::vector<Finding> findings =
            CheckModule(resources, args.aux.empty() ? resources : auxResources, {});
        for (const PlannedPiece &piece : plan.pieces) {
            std::string prefix = "bitmap " + std::to_string(piece.bitmapId) +
                                 (piece.aux ? " (auxiliary module)" : "") + " for template " +
                                 std::to_string(piece.templateIndex) + " ";
            for (const Finding &finding : findings)
                if (finding.problem && finding.text.rfind(prefix, 0) == 0)
                    out << "  template " << piece.templateIndex << " (code " << piece.code << "), "
                        << finding.text << "\n";
        }
    }
    out << "  run 'piecepaint catalog check " << args.module
        << (args.aux.empty() ? "" : " --aux " + args.aux) << "' for every problem of the module\n";
}

void WriteDevicePng(const std::string &path, HDC__ *hdc)
{
    int width = 0, height = 0;
    const uint32_t *pixels = ppDCPixels(hdc, &width, &height);
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        image.pixels[i * 4 + 0] = static_cast<uint8_t>(pixels[i] >> 16);
        image.pixels[i * 4 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        image.pixels[i * 4 + 2] = static_cast<uint8_t>(pixels[i]);
        image.pixels[i * 4 + 3] = 255;
    }
    WritePngRgb(path, image);
}

} // namespace

int RunRender(const RenderArgs &args, std::ostream &out)
{
    std::vector<int64_t> dest = ParseIntegerList(args.dest, "--dest", -32768, 32767);
    if (dest.size() != 4)
        throw ToolError("--dest: expected x,y,w,h");
    if (dest[2] < 1 || dest[3] < 1)
        throw ToolError("--dest: the width and height must be 1 to 32767, not " +
                        std::to_string(dest[2]) + " x " + std::to_string(dest[3]));
    std::vector<int64_t> avail = {dest[2], dest[3]};
    if (!args.avail.empty())
        avail = ParseIntegerList(args.avail, "--avail", 1, 32767);
    if (avail.size() != 2)
        throw ToolError("--avail: expected w,h");
    if (args.background < 0 || args.background > 255)
        throw ToolError("--background: " + std::to_string(args.background) +
                        " is out of range (0 to 255)");
    if (args.brightness < -128 || args.brightness > 127)
        throw ToolError("--brightness: " + std::to_string(args.brightness) +
                        " is out of range (-128 to 127)");
    if (args.zoom && (*args.zoom < 0 || *args.zoom > 1000))
        throw ToolError("--zoom: " + std::to_string(*args.zoom) +
                        " is out of range (0 natural size, 1 to 1000 percent)");
    if (args.zoom && !args.level.value_or(0) && !args.sizeLevel)
        throw ToolError("--zoom applies only to a fixed size level; give --size-level too");
    CheckOutputName(args.output);
    int kind = DeviceKind(args.device);

    // Everything that can fail on the user's input is read before painting.
    OptionInput options;
    bool haveOptions = !args.optionsFile.empty() || args.bits0 || args.bits1 || args.bits2;
    std::optional<uint32_t> raw[3] = {RawWord(args.bits0, "--bits0"),
                                      RawWord(args.bits1, "--bits1"),
                                      RawWord(args.bits2, "--bits2")};
    if (!args.optionsFile.empty()) {
        Json fields = ReadJsonFile(args.optionsFile);
        FillOptions(options, &fields, args.optionsFile, raw);
    } else {
        FillOptions(options, nullptr, "", raw);
    }
    std::vector<uint16_t> extra;
    if (!args.codes.empty())
        for (int64_t code : ParseIntegerList(args.codes, "--codes", 1, 65535))
            extra.push_back(static_cast<uint16_t>(code));

    ResourceMap resources = ReadModule(args.module);
    ResourceMap auxResources;
    if (!args.aux.empty())
        auxResources = ReadModule(args.aux);
    int32_t levelRequest = LevelRequest(args.level, args.sizeLevel, LevelCountOf(resources));
    int32_t zoom = args.zoom.value_or(0);
    std::unique_ptr<HINSTANCE__, ModuleCloser> module(OpenMemoryModule(resources));
    std::unique_ptr<HINSTANCE__, ModuleCloser> auxModule;
    if (!args.aux.empty())
        auxModule.reset(OpenMemoryModule(auxResources));

    int64_t canvasWidth = dest[0] + dest[2];
    int64_t canvasHeight = dest[1] + dest[3];
    if (!args.canvas.empty()) {
        std::vector<int64_t> canvas = ParseIntegerList(args.canvas, "--canvas", 1, 16384);
        if (canvas.size() != 2)
            throw ToolError("--canvas: expected w,h");
        canvasWidth = canvas[0];
        canvasHeight = canvas[1];
    }
    if (canvasWidth < 1 || canvasHeight < 1)
        throw ToolError("the destination lies outside the device; move it with --dest or give "
                        "the device's size with --canvas");
    if (canvasWidth > 16384 || canvasHeight > 16384)
        throw ToolError("the destination needs a device of " + std::to_string(canvasWidth) + " x " +
                        std::to_string(canvasHeight) + " pixels; give a smaller one with --canvas");
    std::unique_ptr<HDC__, DcDeleter> hdc(
        ppCreateDC(kind, static_cast<int>(canvasWidth), static_cast<int>(canvasHeight)));
    if (!hdc)
        throw ToolError("cannot create a device context of " + std::to_string(canvasWidth) + " x " +
                        std::to_string(canvasHeight));

    ExplainInput input;
    input.options = haveOptions ? &options.record : nullptr;
    input.extraCodes = extra;
    input.levelRequest = levelRequest;
    input.availWidth = static_cast<int32_t>(avail[0]);
    input.availHeight = static_cast<int32_t>(avail[1]);
    input.showBadge = args.badge;
    input.zoomPercent = zoom;
    for (int i = 0; i < 4; ++i)
        input.dest[i] = static_cast<int32_t>(dest[static_cast<size_t>(i)]);
    if (args.explain) {
        auto catalogue = resources.find(catalogueId);
        if (catalogue == resources.end()) {
            out << "The module has no catalogue (resource 999).\n";
        } else {
            input.catalogue = &catalogue->second;
            Explain(out, input);
        }
    }

    std::vector<uint16_t> codes = extra;
    codes.push_back(0);
    int result =
        PaintPrt(hdc.get(), module.get(), auxModule ? auxModule.get() : module.get(),
                 static_cast<int>(dest[0]), static_cast<int>(dest[1]), static_cast<int>(dest[2]),
                 static_cast<int>(dest[3]), static_cast<int>(avail[0]), static_cast<int>(avail[1]),
                 args.badge ? 1 : 0, levelRequest, zoom, haveOptions ? &options.record : nullptr,
                 args.background, args.brightness, extra.empty() ? nullptr : codes.data());
    out << "result " << result << ": " << ppResultText(result) << "\n";
    if (result != PP_RESULT_OK) {
        if (result == PP_RESULT_NOT_FOUND || result == PP_RESULT_LOAD_FAILED ||
            result == PP_RESULT_LOCK_FAILED)
            ExplainFailure(out, args, resources, auxResources, input);
        out << "nothing written: " << args.output << " is left as it was\n";
        return 1;
    }
    WriteDevicePng(args.output, hdc.get());
    out << "wrote " << args.output << " (" << canvasWidth << " x " << canvasHeight
        << (kind == PP_DEVICE_TRUECOLOR ? "" : ", the device's surface in its colours") << ")\n";
    return 0;
}

} // namespace pptool
