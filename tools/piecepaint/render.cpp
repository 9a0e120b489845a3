#include "commands.h"
#include "tool_util.h"

namespace pptool {
int RunRender(const RenderArgs &, std::ostream &)
{
    throw ToolError("render: not built yet");
}
} // namespace pptool
