// piecepaint: render pictures from resource modules, and show, check and
// build catalogue modules.
#include "commands.h"
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
    showCmd->add_option("--bin-dir", show.binDir,
                        "With --json: write raw resources as <id>.bin files into this directory");

    CLI::App *checkCmd = catalog->add_subcommand("check", "Report every structural problem");
    checkCmd->add_option("MODULE", check.module, "Module holding the catalogue")->required();
    checkCmd->add_option("--aux", check.aux, "Auxiliary module (default: the same module)");
    checkCmd->add_option("--host-codes", check.hostCodes,
                         "Codes the host passes itself, e.g. 500,501");

    CLI::App *buildCmd = catalog->add_subcommand("build", "Build a module from a description");
    buildCmd->add_option("DESCRIPTION", build.description, "Catalogue description (JSON)")
        ->required();
    buildCmd->add_option("--out", build.out, "Output: a directory, or a file ending in .dll")
        ->required();
    CLI::Option *pe32 = buildCmd->add_flag("--pe32", build.pe32, "32-bit DLL (the default)");
    buildCmd->add_flag("--pe32plus", build.pe32plus, "64-bit DLL")->excludes(pe32);
    buildCmd->add_flag("--clean", build.clean,
                       "Remove other <id>.bin files from the output directory");
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
    render->add_option("--level", r.level, "Size level request: 0 searches, 1-5 fix a level")
        ->capture_default_str();
    render->add_option("--zoom", r.zoom, "Zoom in percent with --level; 0 natural size")
        ->capture_default_str();
    render->add_option("--background", r.background, "Background grey / index")
        ->capture_default_str();
    render->add_option("--brightness", r.brightness, "Brightness offset")->capture_default_str();
    render->add_option("--options", r.optionsFile, "Option record as a JSON file");
    render->add_option("--bits0", r.bits0, "Raw option word bits0");
    render->add_option("--bits1", r.bits1, "Raw option word bits1");
    render->add_option("--bits2", r.bits2, "Raw option word bits2");
    render->add_option("--codes", r.codes, "Extra option codes, e.g. 500,501");
    render->add_option("--device", r.device, "truecolor, palette256 or color16")
        ->capture_default_str();
    render->add_option("--canvas", r.canvas, "Device size w,h (default: fits the destination)");
    render->add_option("-o,--output", r.output, "PNG file to write");
    render->add_flag("--explain", r.explain,
                     "Explain codes, rules, pieces, level and positions for catalogue authors");
}

} // namespace

int main(int argc, char **argv)
{
    CLI::App app{"piecepaint: render pictures and work with catalogue modules"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("piecepaint ") + ppVersion());
    pptool::ShowArgs show;
    pptool::CheckArgs check;
    pptool::BuildArgs build;
    pptool::RenderArgs render;
    AddCatalogCommands(app, show, check, build);
    AddRenderCommand(app, render);
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
        return 2;
    }
    try {
        if (app.got_subcommand("render"))
            return pptool::RunRender(render, std::cout);
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
