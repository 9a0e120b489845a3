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
};
int RunBuild(const BuildArgs &args, std::ostream &out);

struct RenderArgs {
    std::string module;
    std::string aux;
    std::string dest = "0,0,640,480";
    std::string avail; // empty: the destination's size
    bool badge = false;
    int32_t level = 0;
    int32_t zoom = 0;
    int32_t background = 192;
    int32_t brightness = 0;
    std::string optionsFile;
    std::optional<std::string> bits0, bits1, bits2;
    std::string codes;
    std::string device = "truecolor";
    std::string output;
    std::string canvas; // empty: large enough for the destination
    bool explain = false;
};
int RunRender(const RenderArgs &args, std::ostream &out);

} // namespace pptool

#endif
