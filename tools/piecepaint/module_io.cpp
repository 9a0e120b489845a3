#include "module_io.h"

#include "common/pe_writer.h"
#include "platform/portable/module.h"

#include <set>

namespace pptool {

namespace {

// The id of a file named <decimal id>.bin, or -1.
int32_t IdOfFileName(const std::string &name)
{
    if (name.size() < 5 || name.size() > 9 || name.substr(name.size() - 4) != ".bin")
        return -1;
    int32_t id = 0;
    for (size_t i = 0; i + 4 < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        id = id * 10 + (name[i] - '0');
    }
    return id <= 65535 ? id : -1;
}

ResourceMap ReadDirectoryModule(const std::filesystem::path &dir)
{
    ResourceMap resources;
    std::error_code error;
    for (const auto &item : std::filesystem::directory_iterator(dir, error)) {
        int32_t id = IdOfFileName(item.path().filename().string());
        if (id >= 0 && item.is_regular_file())
            resources[static_cast<uint16_t>(id)] = ReadFileBytes(item.path());
    }
    if (error)
        throw ToolError(dir.string() + ": cannot list the directory (" + error.message() + ")");
    return resources;
}

ResourceMap ReadPeModule(const std::filesystem::path &file)
{
    Bytes image = ReadFileBytes(file);
    HMODULE module = ppModuleFromPeImage(image.data(), image.size());
    if (module == nullptr)
        throw ToolError(file.string() +
                        ": not a resource module (neither a directory of <id>.bin files nor a "
                        "well-formed PE image)");
    ResourceMap resources;
    for (auto &[id, resource] : module->resources)
        resources[id] = Bytes(resource.data, resource.data + resource.size);
    ppCloseModule(module);
    return resources;
}

} // namespace

ResourceMap ReadModule(const std::filesystem::path &path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        throw ToolError(path.string() + ": no such module (file or directory)");
    if (std::filesystem::is_directory(path, error))
        return ReadDirectoryModule(path);
    return ReadPeModule(path);
}

void WriteModuleDirectory(const std::filesystem::path &dir, const ResourceMap &resources,
                          bool clean)
{
    std::error_code error;
    if (std::filesystem::exists(dir, error) && !std::filesystem::is_directory(dir, error))
        throw ToolError(dir.string() + ": exists and is not a directory");
    std::filesystem::create_directories(dir, error);
    if (error)
        throw ToolError(dir.string() + ": cannot create the directory (" + error.message() + ")");
    std::vector<std::filesystem::path> stale;
    for (const auto &item : std::filesystem::directory_iterator(dir, error)) {
        int32_t id = IdOfFileName(item.path().filename().string());
        if (id >= 0 && resources.count(static_cast<uint16_t>(id)) == 0)
            stale.push_back(item.path());
    }
    if (!stale.empty() && !clean)
        throw ToolError(dir.string() + ": holds " + std::to_string(stale.size()) +
                        " resource file(s) that the description does not, for example " +
                        stale.front().filename().string() +
                        "; they would become part of the module (use --clean to remove them)");
    for (const auto &path : stale)
        std::filesystem::remove(path, error);
    for (auto &[id, bytes] : resources)
        WriteFileBytes(dir / (std::to_string(id) + ".bin"), bytes);
}

void WriteModuleDll(const std::filesystem::path &file, const ResourceMap &resources, bool pe32plus)
{
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        throw ToolError(file.string() + ": is a directory, expected a DLL file name");
    Bytes image;
    try {
        image = WriteResourceDll(resources, pe32plus);
    } catch (const std::length_error &) {
        throw ToolError(file.string() + ": the resources are too large for one PE image");
    }
    WriteFileBytes(file, image);
}

HMODULE OpenMemoryModule(const ResourceMap &resources)
{
    HMODULE module = ppModuleCreate();
    for (auto &[id, bytes] : resources)
        ppModuleAddResource(module, id, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return module;
}

} // namespace pptool
