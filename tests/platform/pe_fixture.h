// Helpers for the module tests: reading and patching PE images, building
// resource trees by hand, reading back what a module serves, temp folders.
#ifndef PIECEPAINT_TESTS_PLATFORM_PE_FIXTURE_H
#define PIECEPAINT_TESTS_PLATFORM_PE_FIXTURE_H

#include "common/pe_writer.h"
#include "platform/portable/module.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace pptest {

using ResourceMap = std::map<uint16_t, std::vector<uint8_t>>;

inline uint32_t Get16(const std::vector<uint8_t> &b, size_t at)
{
    return b.at(at) | (uint32_t{b.at(at + 1)} << 8);
}

inline uint32_t Get32(const std::vector<uint8_t> &b, size_t at)
{
    return Get16(b, at) | (Get16(b, at + 2) << 16);
}

inline void Put16(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    b.at(at) = static_cast<uint8_t>(v);
    b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

inline void Put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// Where the headers of an image sit, read from the image itself.
struct PeLayout {
    size_t peHeader;       // "PE\0\0"
    size_t coff;           // COFF file header
    size_t optional;       // optional header
    size_t directoryCount; // NumberOfRvaAndSizes
    size_t resourceEntry;  // data directory entry 2 (RVA, size)
    size_t sectionTable;   // first section header
};

inline PeLayout LayoutOf(const std::vector<uint8_t> &image)
{
    PeLayout l{};
    l.peHeader = Get32(image, 0x3C);
    l.coff = l.peHeader + 4;
    l.optional = l.coff + 20;
    bool plus = Get16(image, l.optional) == 0x20B;
    l.directoryCount = l.optional + (plus ? 108 : 92);
    l.resourceEntry = l.optional + (plus ? 112 : 96) + 16;
    l.sectionTable = l.optional + Get16(image, l.coff + 16);
    return l;
}

// A resource section built entry by entry, for trees the writer would never
// produce. Offsets are relative to the section, as in the tree itself.
class ResourceTree {
  public:
    static constexpr uint32_t kSubdir = 0x80000000u;
    static constexpr uint32_t kNamed = 0x80000000u;

    // A directory with room for named + ids entries, all zero.
    uint32_t Dir(uint16_t named, uint16_t ids)
    {
        uint32_t at = Append(16 + 8u * (named + ids));
        Put16(bytes, at + 12, named);
        Put16(bytes, at + 14, ids);
        return at;
    }
    void Entry(uint32_t dir, uint32_t index, uint32_t name, uint32_t target)
    {
        Put32(bytes, dir + 16 + 8 * index, name);
        Put32(bytes, dir + 16 + 8 * index + 4, target);
    }
    uint32_t DataEntry(uint32_t rva, uint32_t size)
    {
        uint32_t at = Append(16);
        Put32(bytes, at, rva);
        Put32(bytes, at + 4, size);
        return at;
    }
    // Appends resource bytes; returns their address in the image.
    uint32_t Blob(const std::vector<uint8_t> &data)
    {
        uint32_t at = Append(static_cast<uint32_t>(data.size()));
        std::copy(data.begin(), data.end(), bytes.begin() + at);
        return pptool::kResourceSectionRva + at;
    }
    // Data entry plus its bytes.
    uint32_t Data(const std::vector<uint8_t> &data)
    {
        uint32_t entry = DataEntry(0, static_cast<uint32_t>(data.size()));
        Put32(bytes, entry, Blob(data));
        return entry;
    }
    std::vector<uint8_t> Image(bool pe32plus) const
    {
        return pptool::WrapResourceSection(bytes, pe32plus);
    }

    std::vector<uint8_t> bytes;

  private:
    uint32_t Append(uint32_t size)
    {
        uint32_t at = static_cast<uint32_t>((bytes.size() + 7) / 8 * 8);
        bytes.resize(at + size, 0);
        return at;
    }
};

// Every resource the module holds, read through the resource functions.
inline ResourceMap Served(HMODULE module)
{
    ResourceMap served;
    if (module == nullptr)
        return served;
    for (const auto &[id, resource] : module->resources) {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
        if (found == nullptr)
            continue;
        HGLOBAL handle = LoadResource(module, found);
        const uint8_t *bytes = static_cast<const uint8_t *>(LockResource(handle));
        DWORD size = SizeofResource(module, found);
        if (bytes != nullptr)
            served[id].assign(bytes, bytes + size);
    }
    return served;
}

// Closes a module at the end of a scope.
struct ModuleCloser {
    HMODULE module;
    explicit ModuleCloser(HMODULE m) : module(m) {}
    ~ModuleCloser() { ppCloseModule(module); }
    ModuleCloser(const ModuleCloser &) = delete;
    ModuleCloser &operator=(const ModuleCloser &) = delete;
};

inline HMODULE FromImage(const std::vector<uint8_t> &image)
{
    return ppModuleFromPeImage(image.data(), image.size());
}

// A fresh folder under the temp directory, removed with its contents.
class TempDir {
  public:
    explicit TempDir(const std::string &tag)
    {
        static int serial = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("pp_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    void Write(const std::string &name, const std::vector<uint8_t> &bytes) const
    {
        std::ofstream out(path_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

  private:
    std::filesystem::path path_;
};

} // namespace pptest

#endif
