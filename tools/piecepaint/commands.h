// The tool's commands, each returning the process exit code: 0 success,
// 1 a finding (check problems, a paint that failed), 2 the command could not
// run. They throw ToolError for failures the user can act on.
#ifndef PIECEPAINT_TOOL_COMMANDS_H
#define PIECEPAINT_TOOL_COMMANDS_H

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pptool {

struct ShowArgs {
    std::string module;
    bool json = false;
    std::string output; // empty: standard output
    std::string binDir; // JSON only: raw resources as <id>.bin files here
};
int RunShow(const ShowArgs &args, std::ostream &out);

struct CheckArgs {
    std::string module;
    std::string aux; // empty: the same module
    std::string hostCodes;
};
int RunCheck(const CheckArgs &args, std::ostream &out);

struct BuildArgs {
    std::string description;
    std::string out;
    bool pe32 = false;
    bool pe32plus = false;
    bool clean = false;
    bool allowProblems = false; // write the module even when the checks find problems
    std::string aux;            // auxiliary module the checks read (default: the same)
    std::string hostCodes;      // codes the host passes itself, for the checks
};
int RunBuild(const BuildArgs &args, std::ostream &out);

inline constexpr const char *defaultRenderOutput = "picture.png";

struct RenderArgs {
    std::string module;
    std::string aux;
    std::string dest = "0,0,640,480";
    std::string avail; // empty: the destination's size
    bool badge = false;
    std::optional<int32_t> level;     // the raw level request: 0 searches, r fixes 5 - r
    std::optional<int32_t> sizeLevel; // the catalogue's own level 0..4
    std::optional<int32_t> zoom;
    int32_t background = 192;
    int32_t brightness = 0;
    std::string optionsFile;
    std::optional<std::string> bits0, bits1, bits2;
    std::string codes;
    std::string device = "truecolor";
    std::string output = defaultRenderOutput;
    std::string canvas; // empty: large enough for the destination
    bool explain = false;
};
int RunRender(const RenderArgs &args, std::ostream &out);

// The level request a render passes to the library: checked against the
// catalogue's size levels (firstLevel to 4), refused with the levels it has.
int32_t LevelRequest(const std::optional<int32_t> &level, const std::optional<int32_t> &sizeLevel,
                     int32_t levelCount);

// A contact sheet: one labelled thumbnail per configuration.
struct SheetArgs {
    std::string module;
    std::string aux;
    std::vector<std::string> vary; // FIELD=v1,v2,...; none: the codes the rules read
    std::string codes;             // extra codes passed in every configuration
    int32_t max = 64;              // more combinations than this: a pairwise-covering subset
    int32_t width = 240;           // each thumbnail's device
    int32_t height = 180;
    int32_t background = 192;
    std::string font;
    std::string output = "sheet.png";
    std::string report; // empty: the output's name with .json
};
int RunSheet(const SheetArgs &args, std::ostream &out);

} // namespace pptool

#endif
