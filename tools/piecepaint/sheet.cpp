// sheet: one PNG grid with a labelled thumbnail of every configuration of a
// catalogue, and a JSON report of what each paint gave.
#include "commands.h"
#include "explain.h"
#include "module_io.h"
#include "option_json.h"
#include "png_io.h"
#include "sheet_label.h"

#include "catalog_text.h"
#include "select/codeset.h"
#include "select/decode.h"
#include "piecepaint/host.h"

#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <memory>
#include <set>

namespace pptool {

namespace {

// One thing that varies: an option field with its values, or an extra code
// that is either passed or not.
struct Factor {
    std::string name;
    std::vector<int64_t> values;
    bool isCode = false; // values 0 (absent) and 1 (present)
    uint16_t code = 0;
};

using Configuration = std::vector<size_t>; // a value index per factor

Factor ParseVary(const std::string &text)
{
    size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw ToolError("--vary " + text + ": expected FIELD=v1,v2,... (e.g. F0=0,1,2)");
    Factor factor;
    factor.name = text.substr(0, equals);
    factor.values = ParseIntegerList(text.substr(equals + 1), "--vary " + factor.name,
                                     -2147483648ll, 4294967295ll);
    if (factor.values.empty())
        throw ToolError("--vary " + factor.name + ": no values");
    return factor;
}

// The codes one option field's value decodes to, through the library's
// own decoding.
std::set<uint16_t> DecodedBy(const std::string &field, int64_t value)
{
    OptionInput options;
    Json fields = {{field, value}};
    std::optional<uint32_t> raw[3];
    FillOptions(options, &fields, "--vary", raw);
    std::set<uint16_t> codes;
    CodeSetOp(CODESET_CREATE, 0);
    DecodeOptions(&options.record);
    for (const uint16_t *at = CodeSetOp(CODESET_GET, 0); at != nullptr && *at != 0; ++at)
        codes.insert(*at);
    CodeSetOp(CODESET_RELEASE, 0);
    return codes;
}

// The factors of a catalogue: each option field whose values decode to a
// code its rules read (with 0 and those values), then each code read that
// no field produces and no always-on template adds, passed or not.
std::vector<Factor> RuleFactors(const Bytes &catalogue, const std::vector<uint16_t> &fixedCodes)
{
    CatalogView view = ViewCatalog(catalogue);
    std::set<uint16_t> alwaysOn, read;
    for (const PieceTemplate &t : view.templates)
        if (t.placeX == 1)
            alwaysOn.insert(static_cast<uint16_t>(t.code));
    if (view.header.ruleFlags & RULES_ENABLED)
        for (const PieceTemplate &t : view.templates)
            for (int16_t code :
                 {static_cast<int16_t>(t.ruleCodeA), static_cast<int16_t>(t.ruleCodeB)})
                if (code != 0 && alwaysOn.count(static_cast<uint16_t>(code)) == 0)
                    read.insert(static_cast<uint16_t>(code));
    for (uint16_t code : fixedCodes)
        read.erase(code); // passed in every configuration

    std::vector<std::pair<std::string, int64_t>> fields;
    for (int i = 0; i < 20; ++i)
        fields.push_back({"F" + std::to_string(i), 7});
    for (int i = 0; i < 5; ++i)
        fields.push_back({"P" + std::to_string(i), 3});
    fields.insert(fields.end(), {{"M0", 3}, {"M2", 3}, {"flag400", 1}, {"flag800", 1}});
    std::vector<Factor> factors;
    std::set<uint16_t> covered;
    for (auto &[name, max] : fields) {
        Factor factor;
        factor.name = name;
        factor.values = {0};
        for (int64_t value = 1; value <= max; ++value) {
            bool reads = false;
            for (uint16_t code : DecodedBy(name, value))
                if (read.count(code) != 0) {
                    reads = true;
                    covered.insert(code);
                }
            if (reads)
                factor.values.push_back(value);
        }
        if (factor.values.size() > 1)
            factors.push_back(factor);
    }
    for (uint16_t code : read) {
        if (covered.count(code) != 0)
            continue;
        Factor factor;
        factor.name = "code " + std::to_string(code);
        factor.values = {0, 1};
        factor.isCode = true;
        factor.code = code;
        factors.push_back(factor);
    }
    return factors;
}

size_t CombinationCount(const std::vector<Factor> &factors)
{
    size_t count = 1;
    for (const Factor &f : factors) {
        if (count > (size_t{1} << 32) / f.values.size())
            return size_t{1} << 32;
        count *= f.values.size();
    }
    return count;
}

std::vector<Configuration> AllCombinations(const std::vector<Factor> &factors)
{
    std::vector<Configuration> all(1, Configuration(factors.size(), 0));
    for (size_t f = 0; f < factors.size(); ++f) {
        std::vector<Configuration> next;
        for (const Configuration &c : all)
            for (size_t v = 0; v < factors[f].values.size(); ++v) {
                Configuration d = c;
                d[f] = v;
                next.push_back(d);
            }
        all = std::move(next);
    }
    return all;
}

// Every pair of values of every two factors appears in some configuration;
// built greedily, each new configuration covering as many open pairs as it
// can.
std::vector<Configuration> PairwiseCover(const std::vector<Factor> &factors)
{
    if (factors.size() < 2)
        return AllCombinations(factors); // no pairs: each value once

    std::set<std::array<size_t, 4>> open;
    for (size_t i = 0; i < factors.size(); ++i)
        for (size_t j = i + 1; j < factors.size(); ++j)
            for (size_t a = 0; a < factors[i].values.size(); ++a)
                for (size_t b = 0; b < factors[j].values.size(); ++b)
                    open.insert({i, a, j, b});
    std::vector<Configuration> rows;
    while (!open.empty()) {
        std::array<size_t, 4> seed = *open.begin();
        Configuration row(factors.size(), SIZE_MAX);
        row[seed[0]] = seed[1];
        row[seed[2]] = seed[3];
        for (size_t f = 0; f < factors.size(); ++f) {
            if (row[f] != SIZE_MAX)
                continue;
            size_t best = 0, bestGain = 0;
            for (size_t v = 0; v < factors[f].values.size(); ++v) {
                size_t gain = 0;
                for (size_t g = 0; g < factors.size(); ++g) {
                    if (row[g] == SIZE_MAX || g == f)
                        continue;
                    std::array<size_t, 4> pair = g < f ? std::array<size_t, 4>{g, row[g], f, v}
                                                       : std::array<size_t, 4>{f, v, g, row[g]};
                    gain += open.count(pair);
                }
                if (gain > bestGain) {
                    best = v;
                    bestGain = gain;
                }
            }
            row[f] = best;
        }
        for (size_t i = 0; i < factors.size(); ++i)
            for (size_t j = i + 1; j < factors.size(); ++j)
                open.erase({i, row[i], j, row[j]});
        rows.push_back(row);
    }
    return rows;
}

// The values that differ from "off": a field at 0 or a code not passed is
// left out, so that the label stays short.
std::string Label(const std::vector<Factor> &factors, const Configuration &c)
{
    std::string text;
    for (size_t f = 0; f < factors.size(); ++f) {
        if (factors[f].values[c[f]] == 0)
            continue;
        std::string part = factors[f].isCode
                               ? "+" + std::to_string(factors[f].code)
                               : factors[f].name + "=" + std::to_string(factors[f].values[c[f]]);
        text += (text.empty() ? "" : " ") + part;
    }
    return text.empty() ? "(all off)" : text;
}

struct Outcome {
    int result = 0;
    PaintPlan plan;
    RgbaImage picture;
    bool fails = false, nothing = false, smallest = false;
};

struct ModuleCloser {
    void operator()(HINSTANCE__ *module) const { ppCloseModule(module); }
};
struct DcDeleter {
    void operator()(HDC__ *hdc) const { ppDeleteDC(hdc); }
};

class Painter {
  public:
    Painter(const SheetArgs &args) : args_(args)
    {
        resources_ = ReadModule(args.module);
        if (!args.aux.empty())
            auxResources_ = ReadModule(args.aux);
        module_.reset(OpenMemoryModule(resources_));
        if (!args.aux.empty())
            aux_.reset(OpenMemoryModule(auxResources_));
        auto found = resources_.find(catalogueId);
        if (found == resources_.end())
            throw ToolError(args.module + ": the module has no catalogue (resource 999)");
        catalogue_ = &found->second;
        for (int64_t code :
             ParseIntegerList(args.codes.empty() ? "0" : args.codes, "--codes", 0, 65535))
            if (code != 0)
                fixedCodes_.push_back(static_cast<uint16_t>(code));
    }

    const Bytes &Catalogue() const { return *catalogue_; }
    const std::vector<uint16_t> &FixedCodes() const { return fixedCodes_; }

    Outcome Paint(const std::vector<Factor> &factors, const Configuration &c) const
    {
        Json fields = Json::object();
        std::vector<uint16_t> extra = fixedCodes_;
        for (size_t f = 0; f < factors.size(); ++f) {
            if (factors[f].isCode) {
                if (c[f])
                    extra.push_back(factors[f].code);
            } else {
                fields[factors[f].name] = factors[f].values[c[f]];
            }
        }
        OptionInput options;
        std::optional<uint32_t> raw[3];
        bool haveOptions = !fields.empty();
        FillOptions(options, &fields, "--vary", raw);
        std::vector<uint16_t> codes = extra;
        codes.push_back(0);

        Outcome o;
        ExplainInput input;
        input.catalogue = catalogue_;
        input.options = haveOptions ? &options.record : nullptr;
        input.extraCodes = extra;
        input.availWidth = args_.width;
        input.availHeight = args_.height;
        input.dest[2] = args_.width;
        input.dest[3] = args_.height;
        o.plan = PlanPaint(input);

        std::unique_ptr<HDC__, DcDeleter> hdc(
            ppCreateDC(PP_DEVICE_TRUECOLOR, args_.width, args_.height));
        if (!hdc)
            throw ToolError("cannot create a device context for a thumbnail");
        o.result = PaintPrt(hdc.get(), module_.get(), aux_ ? aux_.get() : module_.get(), 0, 0,
                            args_.width, args_.height, args_.width, args_.height, 0, 0, 0,
                            haveOptions ? &options.record : nullptr, args_.background, 0,
                            extra.empty() ? nullptr : codes.data());
        int width = 0, height = 0;
        const uint32_t *pixels = ppDCPixels(hdc.get(), &width, &height);
        o.picture.width = width;
        o.picture.height = height;
        o.picture.pixels.resize(static_cast<size_t>(width) * height * 4);
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
            o.picture.pixels[i * 4 + 0] = static_cast<uint8_t>(pixels[i] >> 16);
            o.picture.pixels[i * 4 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
            o.picture.pixels[i * 4 + 2] = static_cast<uint8_t>(pixels[i]);
            o.picture.pixels[i * 4 + 3] = 255;
        }
        o.nothing = o.result == PP_RESULT_NOTHING_SELECTED || o.plan.pieces.empty();
        o.fails = o.result != PP_RESULT_OK && o.result != PP_RESULT_NOTHING_SELECTED;
        o.smallest =
            o.plan.level == 4 && (o.plan.width > args_.width || o.plan.height > args_.height);
        return o;
    }

  private:
    const SheetArgs &args_;
    ResourceMap resources_, auxResources_;
    std::unique_ptr<HINSTANCE__, ModuleCloser> module_, aux_;
    const Bytes *catalogue_ = nullptr;
    std::vector<uint16_t> fixedCodes_;
};

void Progress(size_t done, size_t total)
{
    const size_t width = 30;
    size_t filled = total == 0 ? width : done * width / total;
    std::cerr << "\r[" << std::string(filled, '#') << std::string(width - filled, '.') << "] "
              << done << "/" << total << (done == total ? "\n" : "") << std::flush;
}

void Blit(RgbaImage &sheet, const RgbaImage &from, int32_t left, int32_t top)
{
    for (int32_t y = 0; y < from.height && top + y < sheet.height; ++y)
        for (int32_t x = 0; x < from.width && left + x < sheet.width; ++x)
            for (int c = 0; c < 4; ++c)
                sheet.pixels[(static_cast<size_t>(top + y) * sheet.width + left + x) * 4 + c] =
                    from.pixels[(static_cast<size_t>(y) * from.width + x) * 4 + c];
}

std::string Status(const Outcome &o)
{
    std::string text = "result " + std::to_string(o.result) + ", level " +
                       std::to_string(o.plan.level) + ", " + std::to_string(o.plan.pieces.size()) +
                       " pieces";
    if (o.fails)
        text += "  FAILS";
    else if (o.nothing)
        text += "  NOTHING DRAWN";
    if (o.smallest)
        text += "  SMALLEST LEVEL";
    return text;
}

} // namespace

int RunSheet(const SheetArgs &args, std::ostream &out)
{
    if (args.width < 16 || args.width > 2048 || args.height < 16 || args.height > 2048)
        throw ToolError("--cell-width and --cell-height: each must be 16 to 2048 pixels");
    if (args.max < 1 || args.max > 4096)
        throw ToolError("--max: " + std::to_string(args.max) + " is out of range (1 to 4096)");
    if (args.background < 0 || args.background > 255)
        throw ToolError("--background: " + std::to_string(args.background) +
                        " is out of range (0 to 255)");
    if (std::filesystem::path(args.output).extension() != ".png")
        throw ToolError("-o " + args.output +
                        ": the sheet is a PNG file; give a name ending in .png");
    std::vector<Factor> factors;
    for (const std::string &vary : args.vary) {
        factors.push_back(ParseVary(vary));
        for (int64_t value : factors.back().values)
            DecodedBy(factors.back().name, value); // refuses unknown fields and values early
    }
    Painter painter(args);
    LabelFont font(args.font);
    if (factors.empty())
        factors = RuleFactors(painter.Catalogue(), painter.FixedCodes());

    std::vector<Configuration> configurations =
        CombinationCount(factors) <= static_cast<size_t>(args.max) ? AllCombinations(factors)
                                                                   : PairwiseCover(factors);
    bool pairwise = CombinationCount(factors) > static_cast<size_t>(args.max) && factors.size() > 1;

    const int32_t labelHeight = 34;
    size_t n = configurations.size();
    int32_t columns = static_cast<int32_t>(std::ceil(std::sqrt(static_cast<double>(n))));
    int32_t rows = static_cast<int32_t>((n + columns - 1) / columns);
    RgbaImage sheet;
    sheet.width = columns * (args.width + 4);
    sheet.height = rows * (args.height + labelHeight + 4);
    if (int64_t{sheet.width} * sheet.height > largestSheetPixels)
        throw ToolError(std::to_string(n) + " configurations make a sheet of " +
                        std::to_string(sheet.width) + " x " + std::to_string(sheet.height) +
                        " pixels; give a smaller --cell-width, --cell-height or --max");
    sheet.pixels.assign(static_cast<size_t>(sheet.width) * sheet.height * 4, 255);

    Json report = Json::object();
    report["module"] = args.module;
    report["factors"] = Json::array();
    for (const Factor &f : factors)
        report["factors"].push_back({{"name", f.name}, {"values", f.values}});
    report["selection"] = pairwise ? "pairwise" : "all";
    report["configurations"] = Json::array();
    size_t failures = 0;
    for (size_t i = 0; i < n; ++i) {
        Progress(i, n);
        Outcome o = painter.Paint(factors, configurations[i]);
        int32_t left = static_cast<int32_t>(i % columns) * (args.width + 4) + 2;
        int32_t top = static_cast<int32_t>(i / columns) * (args.height + labelHeight + 4) + 2;
        Blit(sheet, o.picture, left, top);
        std::string label = Label(factors, configurations[i]);
        int32_t right = left + args.width - 2;
        font.Draw(sheet, label, left + 2, top + args.height + 14, right, {0, 0, 0});
        font.Draw(sheet, Status(o), left + 2, top + args.height + 29, right,
                  o.fails                   ? Rgb{200, 0, 0}
                  : o.nothing || o.smallest ? Rgb{160, 100, 0}
                                            : Rgb{60, 60, 60});
        Json entry = {{"configuration", label},
                      {"result", o.result},
                      {"level", o.plan.level},
                      {"drawnWidth", o.plan.drawnWidth},
                      {"drawnHeight", o.plan.drawnHeight},
                      {"pieces", o.plan.pieces.size()},
                      {"fails", o.fails},
                      {"nothingDrawn", o.nothing},
                      {"smallestLevel", o.smallest}};
        report["configurations"].push_back(entry);
        failures += o.fails ? 1 : 0;
    }
    Progress(n, n);
    report["failures"] = failures;
    WritePngRgb(args.output, sheet);
    std::string text = PrettyJson(report);
    std::filesystem::path reportPath = args.report;
    if (reportPath.empty())
        reportPath = std::filesystem::path(args.output).replace_extension(".json");
    WriteFileBytes(reportPath, Bytes(text.begin(), text.end()));
    out << "wrote " << args.output << " and " << reportPath.string() << ": " << n
        << " configuration(s)" << (pairwise ? " (a pairwise-covering subset)" : "") << ", "
        << failures << " failing\n";
    for (const Json &entry : report["configurations"])
        if (entry["fails"].get<bool>())
            out << "  fails: " << entry["configuration"].get<std::string>() << " (result "
                << entry["result"].get<int>() << ")\n";
    return failures == 0 ? 0 : 1;
}

} // namespace pptool
