// The directory module reader. The input names a handful of entries (files
// with their bytes, or sub-directories). Every input is read the way the
// reader reads a directory listing, from memory: each name through
// ppResourceIdOfFileName, the last file of a name winning. When the high
// nibble of the first chunk's tag is 8, the entries are also written to a
// scratch directory (in memory where /dev/shm exists), which is opened with
// ppOpenModule and must serve exactly the same resources; its first file is
// then opened as a PE image too. Writing files is slow, so only those inputs
// pay for it.
//
// Input: chunks (fuzz_input.h) whose tag bit 0 asks for a directory instead
// of a file, and whose data is a name length, the name, then the contents.
#include "fuzz_input.h"
#include "module_walk.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr size_t kMostEntries = 8;

fs::path scratch;

struct Entry {
    std::string name;
    bool directory;
    ppfuzz::Bytes contents;
};

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

std::vector<Entry> Entries(const uint8_t *data, size_t size)
{
    std::vector<Entry> entries;
    std::vector<ppfuzz::Chunk> chunks = ppfuzz::SplitChunks(data, size);
    for (size_t i = 0; i < chunks.size() && i < kMostEntries; ++i) {
        const ppfuzz::Bytes &bytes = chunks[i].data;
        if (bytes.empty())
            continue;
        size_t nameLength = bytes[0] < bytes.size() - 1 ? bytes[0] : bytes.size() - 1;
        Entry entry{SafeName(bytes.data() + 1, nameLength), (chunks[i].tag & 1) != 0, {}};
        entry.contents.assign(bytes.begin() + 1 + static_cast<std::ptrdiff_t>(nameLength),
                              bytes.end());
        entries.push_back(std::move(entry));
    }
    return entries;
}

// What a directory holding the entries serves, as the reader would list it:
// the first entry of a name fixes whether it is a file, a later file of the
// same name replaces its bytes.
std::map<uint16_t, ppfuzz::Bytes> Expected(const std::vector<Entry> &entries,
                                           const std::vector<bool> &made)
{
    std::map<std::string, const Entry *> byName;
    std::map<std::string, ppfuzz::Bytes> files;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!made[i])
            continue;
        const Entry &e = entries[i];
        auto [at, fresh] = byName.emplace(e.name, &e);
        if (!at->second->directory && !e.directory)
            files[e.name] = e.contents;
        (void)fresh;
    }
    std::map<uint16_t, ppfuzz::Bytes> served;
    for (const auto &[name, contents] : files) {
        uint16_t id = 0;
        if (ppResourceIdOfFileName(name, &id))
            served[id] = contents;
    }
    return served;
}

void ClearScratch()
{
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(scratch, error))
        fs::remove_all(entry.path(), error);
}

// Writes the entries; made[i] tells whether entry i exists afterwards as
// what it asked to be.
std::vector<bool> WriteEntries(const std::vector<Entry> &entries, fs::path *firstFile)
{
    std::vector<bool> made(entries.size(), false);
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        fs::path path = scratch / e.name;
        std::error_code error;
        if (e.directory) {
            made[i] = fs::create_directory(path, error) || fs::is_directory(path, error);
            continue;
        }
        if (fs::is_directory(path, error))
            continue;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out)
            continue;
        out.write(reinterpret_cast<const char *>(e.contents.data()),
                  static_cast<std::streamsize>(e.contents.size()));
        out.close();
        made[i] = static_cast<bool>(out);
        if (made[i] && firstFile->empty())
            *firstFile = path;
    }
    return made;
}

HMODULE ModuleOf(const std::map<uint16_t, ppfuzz::Bytes> &resources)
{
    HMODULE module = ppModuleCreate();
    for (const auto &[id, bytes] : resources)
        ppModuleAddResource(module, id, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return module;
}

void CheckServes(HMODULE module, const std::map<uint16_t, ppfuzz::Bytes> &expected)
{
    if (module->resources.size() != expected.size())
        ppfuzz::WalkFail("the directory module serves other resources than its files");
    for (const auto &[id, bytes] : expected) {
        auto found = module->resources.find(id);
        if (found == module->resources.end() || found->second.size != bytes.size() ||
            (!bytes.empty() && std::memcmp(found->second.data, bytes.data(), bytes.size()) != 0))
            ppfuzz::WalkFail("a directory module resource differs from its file");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
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
    std::vector<Entry> entries = Entries(data, size);
    bool onDisk = size >= 1 && (data[0] & 0xF0) == 0x80;
    if (!onDisk) {
        HMODULE module = ModuleOf(Expected(entries, std::vector<bool>(entries.size(), true)));
        ppfuzz::WalkModule(module);
        ppCloseModule(module);
        return 0;
    }

    ClearScratch();
    fs::path firstFile;
    std::vector<bool> made = WriteEntries(entries, &firstFile);
    // ppOpenModule reads a directory with ppModuleFromDirectory.
    HMODULE module = ppOpenModule(scratch.c_str());
    if (module == nullptr)
        ppfuzz::WalkFail("a readable directory does not open");
    CheckServes(module, Expected(entries, made));
    ppfuzz::WalkModule(module);
    ppCloseModule(module);
    if (!firstFile.empty()) {
        module = ppOpenModule(firstFile.c_str());
        if (module != nullptr) {
            ppfuzz::WalkModule(module);
            ppCloseModule(module);
        }
    }
    return 0;
}
