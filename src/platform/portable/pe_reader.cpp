// Resource modules read from PE images (DLL or EXE, 32- or 64-bit).
//
// The image is untrusted: every field is checked against the bytes that are
// really there before it is used, and the resource tree is walked over a
// fixed three levels (type, name, language), so a directory that points back
// at itself cannot make the walk loop. Anything that does not hold together
// makes the whole image fail; a module never serves bytes from outside it.
#include "platform/portable/module.h"

#include <cstring>

namespace {

constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kLfanewOffset = 0x3C;
constexpr uint32_t kCoffHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kDataDirectorySize = 8;

constexpr uint32_t kResDirHeaderSize = 16;
constexpr uint32_t kResDirEntrySize = 8;
constexpr uint32_t kResDataEntrySize = 16;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kTypeRcData = 10;

// A bounded view of bytes; every read goes through Fits first.
struct Bytes {
    const uint8_t *data;
    uint64_t size;

    bool Fits(uint64_t offset, uint64_t length) const
    {
        return offset <= size && length <= size - offset;
    }
};

uint16_t Read16(const uint8_t *p)
{
    uint16_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

uint32_t Read32(const uint8_t *p)
{
    uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

struct Section {
    uint32_t virtualAddress;
    uint32_t mappedSize; // bytes of the section that the file really holds
    uint32_t fileOffset;
};

struct Image {
    Bytes file;
    const uint8_t *sectionTable;
    uint32_t sectionCount;
    uint32_t resourceRva; // 0: the image has no resources
};

// The part of a section that is backed by file bytes: the raw data, cut to
// the virtual size (the loader maps no more) and to the end of the file.
Section SectionAt(const Image &image, uint32_t index)
{
    const uint8_t *header = image.sectionTable + uint64_t{index} * kSectionHeaderSize;
    uint32_t virtualSize = Read32(header + 8);
    Section section{Read32(header + 12), Read32(header + 16), Read32(header + 20)};
    if (virtualSize != 0 && virtualSize < section.mappedSize)
        section.mappedSize = virtualSize;
    if (section.fileOffset >= image.file.size)
        section.mappedSize = 0;
    else if (section.mappedSize > image.file.size - section.fileOffset)
        section.mappedSize = static_cast<uint32_t>(image.file.size - section.fileOffset);
    return section;
}

// Finds the section holding rva and returns the file bytes from rva to the
// end of that section's mapped part; false when no section holds it. The
// sections are in ascending order (SectionsAscend), so a binary search finds
// the last one starting at or below rva, the only one that can hold it.
bool MapRva(const Image &image, uint32_t rva, Bytes *mapped)
{
    uint32_t low = 0;
    uint32_t high = image.sectionCount;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (SectionAt(image, middle).virtualAddress <= rva)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == 0)
        return false;
    Section section = SectionAt(image, low - 1);
    uint64_t into = uint64_t{rva} - section.virtualAddress;
    if (into >= section.mappedSize)
        return false;
    mapped->data = image.file.data + section.fileOffset + into;
    mapped->size = section.mappedSize - into;
    return true;
}

// The loader wants sections in ascending address order without overlap;
// holding images to that keeps every address lookup logarithmic.
bool SectionsAscend(const Image &image)
{
    uint64_t end = 0;
    for (uint32_t i = 0; i < image.sectionCount; ++i) {
        Section section = SectionAt(image, i);
        if (section.virtualAddress < end)
            return false;
        end = uint64_t{section.virtualAddress} + section.mappedSize;
    }
    return true;
}

bool ReadHeaders(Bytes file, Image *image)
{
    if (!file.Fits(0, kDosHeaderSize) || file.data[0] != 'M' || file.data[1] != 'Z')
        return false;
    uint64_t pe = Read32(file.data + kLfanewOffset);
    if (!file.Fits(pe, 4 + kCoffHeaderSize) || std::memcmp(file.data + pe, "PE\0\0", 4) != 0)
        return false;
    const uint8_t *coff = file.data + pe + 4;
    uint32_t sectionCount = Read16(coff + 2);
    uint32_t optionalSize = Read16(coff + 16);
    uint64_t optional = pe + 4 + kCoffHeaderSize;
    if (!file.Fits(optional, optionalSize) || optionalSize < 2)
        return false;

    uint16_t magic = Read16(file.data + optional);
    uint32_t countField;
    uint32_t directories;
    if (magic == kMagicPe32) {
        countField = 92;
        directories = 96;
    } else if (magic == kMagicPe32Plus) {
        countField = 108;
        directories = 112;
    } else {
        return false;
    }
    if (optionalSize < countField + 4)
        return false;
    uint32_t directoryCount = Read32(file.data + optional + countField);
    uint64_t resourceField = directories + uint64_t{kResourceDirectoryIndex} * kDataDirectorySize;
    image->resourceRva = 0;
    if (directoryCount > kResourceDirectoryIndex) {
        if (resourceField + kDataDirectorySize > optionalSize)
            return false;
        image->resourceRva = Read32(file.data + optional + resourceField);
    }

    uint64_t table = optional + optionalSize;
    if (!file.Fits(table, uint64_t{sectionCount} * kSectionHeaderSize))
        return false;
    image->file = file;
    image->sectionTable = file.data + table;
    image->sectionCount = sectionCount;
    return SectionsAscend(*image);
}

struct DirEntry {
    uint32_t name;
    uint32_t target;
};

// One resource directory of the tree: its entries, all checked to lie in
// the tree's bytes.
struct Directory {
    const uint8_t *entries;
    uint32_t count;

    DirEntry At(uint32_t i) const
    {
        const uint8_t *p = entries + uint64_t{i} * kResDirEntrySize;
        return DirEntry{Read32(p), Read32(p + 4)};
    }
};

bool OpenDirectory(Bytes tree, uint32_t target, Directory *directory)
{
    if ((target & kHighBit) == 0)
        return false; // a data entry where a directory belongs
    uint64_t offset = target & ~kHighBit;
    if (!tree.Fits(offset, kResDirHeaderSize))
        return false;
    const uint8_t *header = tree.data + offset;
    uint32_t count = uint32_t{Read16(header + 12)} + Read16(header + 14);
    if (!tree.Fits(offset + kResDirHeaderSize, uint64_t{count} * kResDirEntrySize))
        return false;
    directory->entries = header + kResDirHeaderSize;
    directory->count = count;
    return true;
}

bool IsNamed(const DirEntry &entry)
{
    return (entry.name & kHighBit) != 0;
}

// Reads the data entry of one resource and points the resource at its bytes.
bool ReadDataEntry(const Image &image, Bytes tree, uint32_t target, PortableResource *resource)
{
    if ((target & kHighBit) != 0 || !tree.Fits(target, kResDataEntrySize))
        return false;
    const uint8_t *entry = tree.data + target;
    uint32_t rva = Read32(entry);
    uint32_t size = Read32(entry + 4);
    resource->size = size;
    resource->data = nullptr;
    if (size == 0)
        return true;
    Bytes mapped;
    if (!MapRva(image, rva, &mapped) || !mapped.Fits(0, size))
        return false;
    resource->data = mapped.data;
    return true;
}

// The language level: the first language listed is the one served.
bool ReadLanguages(const Image &image, Bytes tree, uint32_t target, PortableResource *resource,
                   bool *present)
{
    Directory languages;
    if (!OpenDirectory(tree, target, &languages))
        return false;
    *present = languages.count > 0;
    if (!*present)
        return true;
    return ReadDataEntry(image, tree, languages.At(0).target, resource);
}

bool ReadRcData(const Image &image, Bytes tree, uint32_t target, HMODULE module)
{
    Directory names;
    if (!OpenDirectory(tree, target, &names))
        return false;
    for (uint32_t i = 0; i < names.count; ++i) {
        DirEntry entry = names.At(i);
        if (IsNamed(entry) || (entry.name >> 16) != 0)
            continue; // string names are not served; ids are 16 bits
        uint16_t id = static_cast<uint16_t>(entry.name);
        if (module->resources.count(id) != 0)
            continue; // a repeated id: the first one stands
        PortableResource resource;
        bool present = false;
        if (!ReadLanguages(image, tree, entry.target, &resource, &present))
            return false;
        if (present)
            module->resources[id] = resource;
    }
    return true;
}

bool ReadResources(const Image &image, HMODULE module)
{
    if (image.resourceRva == 0)
        return true; // no resource directory: a module without resources
    Bytes tree;
    if (!MapRva(image, image.resourceRva, &tree))
        return false;
    Directory types;
    if (!OpenDirectory(tree, kHighBit, &types))
        return false;
    for (uint32_t i = 0; i < types.count; ++i) {
        DirEntry entry = types.At(i);
        if (!IsNamed(entry) && entry.name == kTypeRcData)
            return ReadRcData(image, tree, entry.target, module);
    }
    return true;
}

} // namespace

HMODULE ppModuleFromPeImage(const uint8_t *bytes, size_t size)
{
    if (bytes == nullptr && size != 0)
        return nullptr;
    // PE offsets are 32 bits wide: no well-formed image is larger.
    if (uint64_t{size} > 0xFFFFFFFFu)
        return nullptr;
    HMODULE module = ppModuleCreate();
    module->image.assign(bytes, bytes + size);
    // Resources point into the module's own copy, which never moves again.
    Image image;
    if (!ReadHeaders(Bytes{module->image.data(), module->image.size()}, &image) ||
        !ReadResources(image, module)) {
        ppCloseModule(module);
        return nullptr;
    }
    return module;
}
