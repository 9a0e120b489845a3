// The directory module reader: the input names a handful of entries (files
// with their bytes, or sub-directories) written to a scratch directory (in
// memory where /dev/shm exists), which is then opened as a module, and its
// first file as a PE image.
//
// Input: chunks (fuzz_input.h) whose tag bit 0 asks for a directory instead
// of a file, and whose data is a name length, the name, then the contents.
#include "fuzz_input.h"
#include "module_walk.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr size_t kMostEntries = 8;

fs::path scratch;

std::string SafeName(const uint8_t *bytes, size_t length)
{
    std::string name(reinterpret_cast<const char *>(bytes), length);
    for (char &c : name) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        name = "_";
    return name;
}

void ClearScratch()
{
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(scratch, error))
        fs::remove_all(entry.path(), error);
}

// Writes the entries; returns the first file written, or an empty path.
fs::path WriteEntries(const uint8_t *data, size_t size)
{
    fs::path firstFile;
    std::vector<ppfuzz::Chunk> chunks = ppfuzz::SplitChunks(data, size);
    for (size_t i = 0; i < chunks.size() && i < kMostEntries; ++i) {
        const ppfuzz::Bytes &bytes = chunks[i].data;
        if (bytes.empty())
            continue;
        size_t nameLength = bytes[0] < bytes.size() - 1 ? bytes[0] : bytes.size() - 1;
        fs::path path = scratch / SafeName(bytes.data() + 1, nameLength);
        std::error_code error;
        if (chunks[i].tag & 1) {
            fs::create_directory(path, error);
            continue;
        }
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out)
            continue;
        size_t contents = 1 + nameLength;
        out.write(reinterpret_cast<const char *>(bytes.data() + contents),
                  static_cast<std::streamsize>(bytes.size() - contents));
        if (firstFile.empty())
            firstFile = path;
    }
    return firstFile;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Memory-backed when the machine has it: the target writes files for
    // every input.
    std::string base =
        fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    std::string pattern = base + "/ppfuzz-dir-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    scratch = pattern;
    std::atexit([] {
        std::error_code error;
        fs::remove_all(scratch, error);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ClearScratch();
    fs::path firstFile = WriteEntries(data, size);

    // ppOpenModule reads a directory with ppModuleFromDirectory.
    HMODULE module = ppOpenModule(scratch.c_str());
    if (module != nullptr) {
        ppfuzz::WalkModule(module);
        ppCloseModule(module);
    }
    if (!firstFile.empty()) {
        module = ppOpenModule(firstFile.c_str());
        if (module != nullptr) {
            ppfuzz::WalkModule(module);
            ppCloseModule(module);
        }
    }
    return 0;
}
