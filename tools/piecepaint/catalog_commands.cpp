// catalog show, check and build.
#include "catalog_check.h"
#include "catalog_text.h"
#include "commands.h"
#include "module_io.h"

#include <fstream>
#include <sstream>
#include <iostream>

namespace pptool {

int RunShow(const ShowArgs &args, std::ostream &out)
{
    ResourceMap resources = ReadModule(args.module);
    if (!args.json) {
        if (!args.binDir.empty())
            throw ToolError("--bin-dir goes with --json");
        if (args.output.empty()) {
            ShowCatalog(out, resources);
            return 0;
        }
        std::ostringstream text;
        ShowCatalog(text, resources);
        std::string shown = text.str();
        WriteFileBytes(args.output, Bytes(shown.begin(), shown.end()));
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

namespace {

CheckOptions ReadCheckOptions(const std::string &hostCodes)
{
    CheckOptions options;
    if (!hostCodes.empty())
        for (int64_t code : ParseIntegerList(hostCodes, "--host-codes", 1, 65535))
            options.hostCodes.insert(static_cast<uint16_t>(code));
    return options;
}

// Prints the findings; returns the number of problems among them.
size_t PrintFindings(std::ostream &out, const std::vector<Finding> &findings)
{
    size_t problems = 0;
    for (const Finding &finding : findings) {
        out << (finding.problem ? "problem: " : "note: ") << finding.text << "\n";
        problems += finding.problem ? 1 : 0;
    }
    return problems;
}

} // namespace

int RunCheck(const CheckArgs &args, std::ostream &out)
{
    ResourceMap resources = ReadModule(args.module);
    ResourceMap aux;
    if (!args.aux.empty())
        aux = ReadModule(args.aux);
    CheckOptions options = ReadCheckOptions(args.hostCodes);
    std::vector<Finding> findings =
        CheckModule(resources, args.aux.empty() ? resources : aux, options);
    size_t problems = PrintFindings(out, findings);
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

bool HasTemplates(const Json &description)
{
    if (!description.is_object() || !description.contains("catalogue"))
        return false;
    const Json &catalogue = description["catalogue"];
    return catalogue.is_object() && catalogue.contains("templates") &&
           catalogue["templates"].is_array() && !catalogue["templates"].empty();
}

} // namespace

int RunBuild(const BuildArgs &args, std::ostream &out)
{
    if (args.pe32 && args.pe32plus)
        throw ToolError("--pe32 and --pe32plus exclude each other; give one");
    Json description = ReadJsonFile(args.description);
    std::filesystem::path base = std::filesystem::path(args.description).parent_path();
    ResourceMap resources;
    try {
        resources = ModuleFromJson(description, base);
    } catch (const ToolError &e) {
        throw ToolError(args.description + ": " + e.what());
    }
    if (HasTemplates(description)) {
        // A catalogue without templates only gives an auxiliary module's art
        // its depth and colours; that module is checked with the catalogue
        // that uses it (--aux).
        ResourceMap aux;
        if (!args.aux.empty())
            aux = ReadModule(args.aux);
        std::vector<Finding> findings = DescriptionFindings(description["catalogue"]);
        for (Finding &finding : CheckModule(resources, args.aux.empty() ? resources : aux,
                                            ReadCheckOptions(args.hostCodes)))
            findings.push_back(std::move(finding));
        size_t problems = PrintFindings(out, findings);
        if (problems != 0 && !args.allowProblems) {
            out << args.description << ": " << problems
                << " problem(s); nothing written (--allow-problems writes the module anyway)\n";
            return 1;
        }
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
