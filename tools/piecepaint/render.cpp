// render: one PaintPrt call into a software device context, saved as PNG.
#include "commands.h"
#include "explain.h"
#include "module_io.h"
#include "option_json.h"
#include "png_io.h"

#include "piecepaint/host.h"

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
    throw ToolError("--device: unknown device \"" + name +
                    "\" (known: truecolor, palette256, color16)");
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

int RunRender(const RenderArgs &args, std::ostream &out)
{
    std::vector<int64_t> dest = ParseIntegerList(args.dest, "--dest", -32768, 32767);
    if (dest.size() != 4)
        throw ToolError("--dest: expected x,y,w,h");
    std::vector<int64_t> avail = {dest[2], dest[3]};
    if (!args.avail.empty())
        avail = ParseIntegerList(args.avail, "--avail", -32768, 32767);
    if (avail.size() != 2)
        throw ToolError("--avail: expected w,h");
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
    std::unique_ptr<HINSTANCE__, ModuleCloser> module(OpenMemoryModule(resources));
    std::unique_ptr<HINSTANCE__, ModuleCloser> auxModule;
    if (!args.aux.empty())
        auxModule.reset(OpenMemoryModule(auxResources));

    int64_t canvasWidth = std::max<int64_t>(1, dest[0] + dest[2]);
    int64_t canvasHeight = std::max<int64_t>(1, dest[1] + dest[3]);
    if (!args.canvas.empty()) {
        std::vector<int64_t> canvas = ParseIntegerList(args.canvas, "--canvas", 1, 16384);
        if (canvas.size() != 2)
            throw ToolError("--canvas: expected w,h");
        canvasWidth = canvas[0];
        canvasHeight = canvas[1];
    }
    if (canvasWidth > 16384 || canvasHeight > 16384)
        throw ToolError("the destination needs a device of " + std::to_string(canvasWidth) + " x " +
                        std::to_string(canvasHeight) + " pixels; give a smaller one with --canvas");
    std::unique_ptr<HDC__, DcDeleter> hdc(
        ppCreateDC(kind, static_cast<int>(canvasWidth), static_cast<int>(canvasHeight)));
    if (!hdc)
        throw ToolError("cannot create a device context of " + std::to_string(canvasWidth) + " x " +
                        std::to_string(canvasHeight));

    if (args.explain) {
        auto catalogue = resources.find(catalogueId);
        if (catalogue == resources.end()) {
            out << "The module has no catalogue (resource 999).\n";
        } else {
            ExplainInput input;
            input.catalogue = &catalogue->second;
            input.options = haveOptions ? &options.record : nullptr;
            input.extraCodes = extra;
            input.levelRequest = args.level;
            input.availWidth = static_cast<int32_t>(avail[0]);
            input.availHeight = static_cast<int32_t>(avail[1]);
            input.showBadge = args.badge;
            input.zoomPercent = args.zoom;
            for (int i = 0; i < 4; ++i)
                input.dest[i] = static_cast<int32_t>(dest[static_cast<size_t>(i)]);
            Explain(out, input);
        }
    }

    std::vector<uint16_t> codes = extra;
    codes.push_back(0);
    int result =
        PaintPrt(hdc.get(), module.get(), auxModule ? auxModule.get() : module.get(),
                 static_cast<int>(dest[0]), static_cast<int>(dest[1]), static_cast<int>(dest[2]),
                 static_cast<int>(dest[3]), static_cast<int>(avail[0]), static_cast<int>(avail[1]),
                 args.badge ? 1 : 0, args.level, args.zoom, haveOptions ? &options.record : nullptr,
                 args.background, args.brightness, extra.empty() ? nullptr : codes.data());
    out << "result " << result << ": " << ppResultText(result) << "\n";

    if (!args.output.empty()) {
        int width = 0, height = 0;
        const uint32_t *pixels = ppDCPixels(hdc.get(), &width, &height);
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
        WritePngRgb(args.output, image);
    }
    return result == PP_RESULT_OK ? 0 : 1;
}

} // namespace pptool
