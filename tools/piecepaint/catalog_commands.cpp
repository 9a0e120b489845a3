// catalog show, check and build.
#include "catalog_check.h"
#include "catalog_text.h"
#include "commands.h"
#include "module_io.h"

#include <fstream>
#include <iostream>

namespace pptool {

int RunShow(const ShowArgs &args, std::ostream &out)
{
    ResourceMap resources = ReadModule(args.module);
    if (!args.json) {
        if (!args.binDir.empty())
            throw ToolError("--bin-dir goes with --json");
        ShowCatalog(out, resources);
        return 0;
    }
    RawStyle style;
    if (!args.binDir.empty()) {
        style.binDir = args.binDir;
        std::error_code error;
        std::filesystem::create_directories(style.binDir, error);
        if (error)
            throw ToolError(args.binDir + ": cannot create the directory (" + error.message() +
                            ")");
        // Paths in the description are relative to where it is written.
        style.relativeTo = args.output.empty()
                               ? std::filesystem::current_path()
                               : std::filesystem::absolute(args.output).parent_path();
    }
    std::string text = PrettyJson(ModuleToJson(resources, style));
    if (args.output.empty()) {
        out << text;
    } else {
        WriteFileBytes(args.output, Bytes(text.begin(), text.end()));
    }
    return 0;
}

int RunCheck(const CheckArgs &args, std::ostream &out)
{
    ResourceMap resources = ReadModule(args.module);
    ResourceMap aux;
    if (!args.aux.empty())
        aux = ReadModule(args.aux);
    CheckOptions options;
    if (!args.hostCodes.empty())
        for (int64_t code : ParseIntegerList(args.hostCodes, "--host-codes", 1, 65535))
            options.hostCodes.insert(static_cast<uint16_t>(code));
    std::vector<Finding> findings =
        CheckModule(resources, args.aux.empty() ? resources : aux, options);
    size_t problems = 0;
    for (const Finding &finding : findings) {
        out << (finding.problem ? "problem: " : "note: ") << finding.text << "\n";
        problems += finding.problem ? 1 : 0;
    }
    out << args.module << ": " << problems << " problem(s), " << findings.size() - problems
        << " note(s)\n";
    return problems == 0 ? 0 : 1;
}

namespace {

bool EndsWithDll(const std::string &path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char &c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".dll";
}

} // namespace

int RunBuild(const BuildArgs &args, std::ostream &out)
{
    Json description = ReadJsonFile(args.description);
    std::filesystem::path base = std::filesystem::path(args.description).parent_path();
    ResourceMap resources;
    try {
        resources = ModuleFromJson(description, base);
    } catch (const ToolError &e) {
        throw ToolError(args.description + ": " + e.what());
    }
    if (EndsWithDll(args.out)) {
        WriteModuleDll(args.out, resources, args.pe32plus);
    } else {
        if (args.pe32plus || args.pe32)
            throw ToolError("--pe32 and --pe32plus go with an output file ending in .dll");
        WriteModuleDirectory(args.out, resources, args.clean);
    }
    out << "wrote " << resources.size() << " resource(s) to " << args.out << "\n";
    return 0;
}

} // namespace pptool
