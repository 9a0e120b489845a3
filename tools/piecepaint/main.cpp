// piecepaint: render pictures from resource modules, and show, check and
// build catalogue modules.
#include "commands.h"
#include "sheet_label.h"
#include "tool_util.h"

#include "piecepaint/host.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace {

void AddCatalogCommands(CLI::App &app, pptool::ShowArgs &show, pptool::CheckArgs &check,
                        pptool::BuildArgs &build)
{
    CLI::App *catalog = app.add_subcommand("catalog", "Show, check and build catalogue modules");
    catalog->require_subcommand(1);

    CLI::App *showCmd = catalog->add_subcommand("show", "Print a module's catalogue");
    showCmd->add_option("MODULE", show.module, "Module: a DLL or a directory of <id>.bin files")
        ->required();
    showCmd->add_flag("--json", show.json,
                      "Print the catalogue description that 'catalog build' reads");
    showCmd->add_option("-o,--output", show.output, "Write to this file instead of the console");
    showCmd->footer("Examples:\n"
                    "  piecepaint catalog show build/samples/house\n"
                    "  piecepaint catalog show house.dll --json -o house.json --bin-dir raw");
    showCmd->add_option("--bin-dir", show.binDir,
                        "With --json: write raw resources as <id>.bin files into this directory");

    CLI::App *checkCmd = catalog->add_subcommand("check", "Report every structural problem");
    checkCmd->add_option("MODULE", check.module, "Module holding the catalogue")->required();
    checkCmd->add_option("--aux", check.aux, "Auxiliary module (default: the same module)");
    checkCmd->add_option("--host-codes", check.hostCodes,
                         "Codes the host passes itself, e.g. 500,501");
    checkCmd->footer(
        "Exit code 0: no problem (notes allowed); 1: problems found.\n"
        "Example:\n"
        "  piecepaint catalog check build/samples/house --aux build/samples/house-aux");

    CLI::App *buildCmd = catalog->add_subcommand("build", "Build a module from a description");
    buildCmd->add_option("DESCRIPTION", build.description, "Catalogue description (JSON)")
        ->required();
    buildCmd->add_option("--out", build.out, "Output: a directory, or a file ending in .dll")
        ->required();
    // The two flags exclude each other; RunBuild says so. CLI11's own
    // "Excludes:" note would push their help text out of its column.
    buildCmd->add_flag("--pe32", build.pe32, "32-bit DLL (the default; not with --pe32plus)");
    buildCmd->add_flag("--pe32plus", build.pe32plus, "64-bit DLL");
    buildCmd->add_flag("--clean", build.clean,
                       "Remove other <id>.bin files from the output directory");
    buildCmd->add_flag("--allow-problems", build.allowProblems,
                       "Write the module even when 'catalog check' finds problems");
    buildCmd->add_option("--aux", build.aux, "Auxiliary module the checks read (default: same)");
    buildCmd->add_option("--host-codes", build.hostCodes,
                         "Codes the host passes itself, for the checks, e.g. 500,501");
    buildCmd->footer("The module is checked as 'catalog check' does; problems stop the build\n"
                     "(exit 1, nothing written) unless --allow-problems is given.\n"
                     "Examples:\n"
                     "  piecepaint catalog build mycat.json --out mycat/\n"
                     "  piecepaint catalog build mycat.json --out mycat.dll --pe32plus");
}

void AddRenderCommand(CLI::App &app, pptool::RenderArgs &r)
{
    CLI::App *render = app.add_subcommand("render", "Paint a picture into a PNG file");
    render->add_option("--module", r.module, "Module holding the catalogue and bitmaps")
        ->required();
    render->add_option("--aux", r.aux, "Auxiliary module: badge and 0x10 pieces (default: same)");
    render->add_option("--dest", r.dest, "Destination rectangle x,y,w,h")->capture_default_str();
    render->add_option("--avail", r.avail, "Space offered w,h (default: the destination's size)");
    render->add_flag("--badge", r.badge, "Show the badge above the picture");
    // --size-level and --level exclude each other; LevelRequest says so.
    render->add_option("--size-level", r.sizeLevel,
                       "Paint at the catalogue's size level 0-4 (0 the largest)");
    render->add_option("--level", r.level,
                       "Raw level request: 0 searches, r = 1-5 fixes size level 5 - r");
    render->add_option("--zoom", r.zoom, "Zoom in percent at a fixed level; 0 natural size");
    render->add_option("--background", r.background, "Background value 0-255: surround grey, index")
        ->capture_default_str();
    render->add_option("--brightness", r.brightness, "Brightness offset -128 to 127")
        ->capture_default_str();
    render->add_option("--options", r.optionsFile, "Option record as a JSON file");
    render->add_option("--bits0", r.bits0, "Raw option word bits0");
    render->add_option("--bits1", r.bits1, "Raw option word bits1");
    render->add_option("--bits2", r.bits2, "Raw option word bits2");
    render->add_option("--codes", r.codes, "Extra option codes, e.g. 500,501");
    render
        ->add_option("--device", r.device,
                     "truecolor, palette256 or color16; the PNG shows the device's surface")
        ->capture_default_str();
    render->add_option("--canvas", r.canvas, "Device size w,h (default: fits the destination)");
    render->add_option("-o,--output", r.output, "PNG file to write; nothing is written on failure")
        ->capture_default_str();
    render->add_flag("--explain", r.explain,
                     "Explain codes, rules, pieces, level and positions for catalogue authors");
    render->footer("Exit code 0: drawn and written; 1: the paint failed (nothing written).\n"
                   "Examples:\n"
                   "  piecepaint render --module build/samples/house --codes 500 -o house.png\n"
                   "  piecepaint render --module build/samples/house --codes 500 --size-level 2 "
                   "--zoom 150 --explain -o big.png");
}

void AddSheetCommand(CLI::App &app, pptool::SheetArgs &s)
{
    CLI::App *sheet =
        app.add_subcommand("sheet", "Paint every configuration into one labelled contact sheet");
    sheet->add_option("--module", s.module, "Module holding the catalogue and bitmaps")->required();
    sheet->add_option("--aux", s.aux, "Auxiliary module (default: the same)");
    sheet->add_option("--vary", s.vary,
                      "FIELD=v1,v2,... an option field and its values (repeatable); "
                      "default: each code the rules read, passed or not");
    sheet->add_option("--codes", s.codes, "Extra codes passed in every configuration");
    sheet->add_option("--max", s.max, "Past this many combinations, a pairwise-covering subset")
        ->capture_default_str();
    sheet->add_option("--cell-width", s.width, "Thumbnail width")->capture_default_str();
    sheet->add_option("--cell-height", s.height, "Thumbnail height")->capture_default_str();
    sheet->add_option("--background", s.background, "Background value 0-255")
        ->capture_default_str();
    sheet->add_option("--font", s.font, "TrueType font for the labels (default: DejaVu Sans)");
    sheet->add_option("-o,--output", s.output, "PNG file of the sheet")->capture_default_str();
    sheet->add_option("--report", s.report, "JSON report (default: the output's name, .json)");
    sheet->footer("Exit code 0: every configuration painted; 1: some failed (named in the "
                  "report).\n"
                  "Example:\n"
                  "  piecepaint sheet --module build/samples/house --aux build/samples/house-aux "
                  "--codes 500 -o house-sheet.png");
}

const char *const exitCodes = "Exit codes: 0 success; 1 a finding (check problems, a paint that "
                              "failed, a sheet with a failing configuration); 2 the command could "
                              "not run (bad arguments or input).";

// After a parse error: the nearest option or command name for the first
// word the parser did not know.
void SuggestName(CLI::App &app, int argc, char **argv)
{
    CLI::App *current = &app;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        std::vector<std::string> names;
        if (word.rfind("--", 0) == 0) {
            std::string name = word.substr(2, word.find('=') - 2);
            const CLI::Option *known = nullptr;
            for (const CLI::Option *option : current->get_options())
                for (const std::string &lname : option->get_lnames()) {
                    names.push_back("--" + lname);
                    if (lname == name)
                        known = option;
                }
            if (known == nullptr) {
                std::string hint = pptool::DidYouMean("--" + name, names);
                if (!hint.empty())
                    std::cerr << "piecepaint: unknown option " << word << hint << "\n";
                return;
            }
            if (known->get_expected_min() > 0 && word.find('=') == std::string::npos)
                ++i; // its value
            continue;
        }
        if (word.rfind("-", 0) == 0)
            continue;
        CLI::App *next = nullptr;
        for (CLI::App *sub : current->get_subcommands([](CLI::App *) { return true; })) {
            names.push_back(sub->get_name());
            if (sub->get_name() == word)
                next = sub;
        }
        if (next != nullptr) {
            current = next;
        } else if (!names.empty()) {
            std::string hint = pptool::DidYouMean(word, names);
            if (!hint.empty())
                std::cerr << "piecepaint: unknown command " << word << hint << "\n";
            return;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    CLI::App app{"piecepaint: render pictures and work with catalogue modules"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("piecepaint ") + ppVersion());
    app.get_formatter()->column_width(32);
    app.footer(std::string(exitCodes) +
               "\nExamples:\n"
               "  piecepaint catalog build mycat.json --out mycat/\n"
               "  piecepaint catalog check mycat/\n"
               "  piecepaint render --module mycat --codes 500 -o picture.png --explain\n"
               "Each command has its own --help.");
    pptool::ShowArgs show;
    pptool::CheckArgs check;
    pptool::BuildArgs build;
    pptool::RenderArgs render;
    pptool::SheetArgs sheet;
    AddCatalogCommands(app, show, check, build);
    AddRenderCommand(app, render);
    AddSheetCommand(app, sheet);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        app.exit(e);
        SuggestName(app, argc, argv);
        return 2;
    }
    try {
        if (app.got_subcommand("render"))
            return pptool::RunRender(render, std::cout);
        if (app.got_subcommand("sheet")) {
            if (sheet.font.empty())
                sheet.font = pptool::defaultLabelFont;
            return pptool::RunSheet(sheet, std::cout);
        }
        CLI::App *catalog = app.get_subcommand("catalog");
        if (catalog->got_subcommand("show"))
            return pptool::RunShow(show, std::cout);
        if (catalog->got_subcommand("check"))
            return pptool::RunCheck(check, std::cout);
        return pptool::RunBuild(build, std::cout);
    } catch (const pptool::ToolError &e) {
        std::cerr << "piecepaint: " << e.what() << "\n";
    } catch (const std::exception &e) {
        std::cerr << "piecepaint: unexpected failure: " << e.what() << "\n";
    }
    return 2;
}
