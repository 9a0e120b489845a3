// Resource modules read from the file system: a directory of <id>.bin files,
// or a PE image file. Only the error-code forms of std::filesystem are used,
// so nothing here throws on a bad path.
#include "platform/portable/module.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kLargestResource = 0xFFFFFFFFu; // SizeofResource is 32 bits

} // namespace

// The id of a file named <decimal id>.bin, written the one canonical way:
// digits only, no leading zeros except "0" itself, 0 to 65535.
bool ppResourceIdOfFileName(const std::string &name, uint16_t *id)
{
    const std::string suffix = ".bin";
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::string digits = name.substr(0, name.size() - suffix.size());
    if (digits.size() > 5 || (digits.size() > 1 && digits[0] == '0'))
        return false;
    uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > 0xFFFF)
        return false;
    *id = static_cast<uint16_t>(value);
    return true;
}

namespace {

// Reads a whole file of at most `limit` bytes.
bool ReadWholeFile(const fs::path &path, uint64_t limit, std::vector<uint8_t> *bytes)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes->clear();
    bool ok = true;
    uint8_t chunk[65536];
    for (;;) {
        size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (got > limit - bytes->size()) {
            ok = false;
            break;
        }
        bytes->insert(bytes->end(), chunk, chunk + got);
        if (got < sizeof chunk) {
            ok = std::ferror(file) == 0;
            break;
        }
    }
    std::fclose(file);
    return ok;
}

} // namespace

HMODULE ppModuleFromDirectory(const char *path)
{
    if (path == nullptr)
        return nullptr;
    std::error_code error;
    fs::directory_iterator entries(path, error);
    if (error)
        return nullptr;
    HMODULE module = ppModuleCreate();
    for (fs::directory_iterator end; entries != end; entries.increment(error)) {
        if (error)
            break;
        uint16_t id = 0;
        if (!ppResourceIdOfFileName(entries->path().filename().string(), &id))
            continue;
        std::error_code kindError;
        if (!entries->is_regular_file(kindError))
            continue;
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(entries->path(), kLargestResource, &bytes)) {
            error = std::make_error_code(std::errc::io_error);
            break;
        }
        ppModuleAddResource(module, id, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    if (error) {
        // A listing or a resource that cannot be read in full: no partial module.
        ppCloseModule(module);
        return nullptr;
    }
    return module;
}

extern "C" HMODULE ppOpenModule(const char *path)
{
    if (path == nullptr)
        return nullptr;
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (error)
        return nullptr;
    if (fs::is_directory(status))
        return ppModuleFromDirectory(path);
    if (!fs::is_regular_file(status))
        return nullptr;
    std::vector<uint8_t> image;
    if (!ReadWholeFile(path, kLargestResource, &image))
        return nullptr;
    return ppModuleFromPeImage(image.data(), image.size());
}
