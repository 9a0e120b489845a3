#include "common/pe_writer.h"

#include <cstring>
#include <stdexcept>

namespace pptool {
namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kPeOffset = 0x80;
constexpr uint32_t kCoffHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kDataDirectoryCount = 16;
// A section and the image around it stay well inside 32-bit addresses.
constexpr uint64_t kLargestSection = 0x7FFF0000u;

constexpr uint32_t kTypeRcData = 10;
constexpr uint32_t kLanguageEnglishUs = 0x409;
constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr uint32_t kDirHeaderSize = 16;
constexpr uint32_t kDirEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;
constexpr uint32_t kDataAlignment = 8;

// A real-mode program that prints the usual refusal and exits with 1.
const uint8_t kDosStubCode[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                                0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
const char kDosStubMessage[] = "This program cannot be run in DOS mode.\r\r\n$";

uint64_t AlignUp(uint64_t value, uint64_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

void Put16(std::vector<uint8_t> &out, uint64_t offset, uint32_t value)
{
    out.at(offset) = static_cast<uint8_t>(value);
    out.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t> &out, uint64_t offset, uint32_t value)
{
    Put16(out, offset, value & 0xFFFF);
    Put16(out, offset + 2, value >> 16);
}

void Put64(std::vector<uint8_t> &out, uint64_t offset, uint64_t value)
{
    Put32(out, offset, static_cast<uint32_t>(value));
    Put32(out, offset + 4, static_cast<uint32_t>(value >> 32));
}

void PutDirectoryHeader(std::vector<uint8_t> &out, uint64_t offset, uint32_t idEntries)
{
    // Characteristics, time stamp and version stay 0 so that output is
    // reproducible; all entries are integer ids.
    Put16(out, offset + 14, idEntries);
}

void PutDirectoryEntry(std::vector<uint8_t> &out, uint64_t offset, uint32_t id, uint32_t target)
{
    Put32(out, offset, id);
    Put32(out, offset + 4, target);
}

void WriteDosHeader(std::vector<uint8_t> &out)
{
    out[0] = 'M';
    out[1] = 'Z';
    Put16(out, 0x02, 0x90);   // bytes in the last page
    Put16(out, 0x04, 3);      // pages
    Put16(out, 0x08, 4);      // header size in paragraphs
    Put16(out, 0x0C, 0xFFFF); // most paragraphs wanted
    Put16(out, 0x10, 0xB8);   // initial stack pointer
    Put16(out, 0x18, 0x40);   // relocation table offset
    Put32(out, 0x3C, kPeOffset);
    std::memcpy(out.data() + 0x40, kDosStubCode, sizeof kDosStubCode);
    std::memcpy(out.data() + 0x40 + sizeof kDosStubCode, kDosStubMessage,
                sizeof kDosStubMessage - 1);
}

uint32_t Checksum(const std::vector<uint8_t> &image, uint64_t checksumOffset)
{
    uint64_t sum = 0;
    for (uint64_t i = 0; i + 1 < image.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2)
            continue;
        sum += image[i] | (uint32_t{image[i + 1]} << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + image.size());
}

} // namespace

std::vector<uint8_t> BuildResourceSection(const std::map<uint16_t, std::vector<uint8_t>> &rcdata)
{
    const uint64_t count = rcdata.size();
    const uint64_t rootSize = kDirHeaderSize + (count > 0 ? kDirEntrySize : 0);
    const uint64_t namesAt = rootSize;
    const uint64_t languagesAt = namesAt + kDirHeaderSize + count * kDirEntrySize;
    const uint64_t languageSize = kDirHeaderSize + kDirEntrySize;
    const uint64_t entriesAt = languagesAt + count * languageSize;
    uint64_t end = entriesAt + count * kDataEntrySize;
    for (const auto &[id, bytes] : rcdata) {
        end = AlignUp(end, kDataAlignment) + bytes.size();
        if (end > kLargestSection)
            throw std::length_error("resources too large for one module");
    }

    std::vector<uint8_t> section(end, 0);
    PutDirectoryHeader(section, 0, count > 0 ? 1 : 0);
    if (count == 0)
        return section;
    PutDirectoryEntry(section, kDirHeaderSize, kTypeRcData,
                      kSubdirectory | static_cast<uint32_t>(namesAt));
    PutDirectoryHeader(section, namesAt, static_cast<uint32_t>(count));

    uint64_t index = 0;
    uint64_t dataAt = entriesAt + count * kDataEntrySize;
    for (const auto &[id, bytes] : rcdata) {
        const uint64_t language = languagesAt + index * languageSize;
        const uint64_t entry = entriesAt + index * kDataEntrySize;
        PutDirectoryEntry(section, namesAt + kDirHeaderSize + index * kDirEntrySize, id,
                          kSubdirectory | static_cast<uint32_t>(language));
        PutDirectoryHeader(section, language, 1);
        PutDirectoryEntry(section, language + kDirHeaderSize, kLanguageEnglishUs,
                          static_cast<uint32_t>(entry));
        dataAt = AlignUp(dataAt, kDataAlignment);
        Put32(section, entry, static_cast<uint32_t>(kResourceSectionRva + dataAt));
        Put32(section, entry + 4, static_cast<uint32_t>(bytes.size()));
        std::copy(bytes.begin(), bytes.end(), section.begin() + static_cast<ptrdiff_t>(dataAt));
        dataAt += bytes.size();
        ++index;
    }
    return section;
}

std::vector<uint8_t> WrapResourceSection(const std::vector<uint8_t> &section, bool pe32plus)
{
    if (section.size() > kLargestSection)
        throw std::length_error("resource section too large for one module");
    const uint32_t optionalSize = pe32plus ? 240 : 224;
    const uint64_t coff = kPeOffset + 4;
    const uint64_t optional = coff + kCoffHeaderSize;
    const uint64_t sectionTable = optional + optionalSize;
    const uint64_t headersSize = AlignUp(sectionTable + kSectionHeaderSize, kFileAlignment);
    const uint64_t rawSize = AlignUp(section.size(), kFileAlignment);
    const uint64_t virtualSize = section.empty() ? 1 : section.size();
    const uint64_t imageSize =
        AlignUp(kResourceSectionRva + AlignUp(virtualSize, kSectionAlignment), kSectionAlignment);
    static_assert(kResourceSectionRva % kSectionAlignment == 0);

    std::vector<uint8_t> out(headersSize + rawSize, 0);
    WriteDosHeader(out);
    std::memcpy(out.data() + kPeOffset, "PE\0\0", 4);

    Put16(out, coff, pe32plus ? 0x8664 : 0x14C); // amd64 or i386
    Put16(out, coff + 2, 1);                     // one section
    Put16(out, coff + 16, optionalSize);
    // Executable image and DLL; 32-bit machine words, or large-address aware.
    Put16(out, coff + 18, 0x2002 | (pe32plus ? 0x0020 : 0x0100));

    Put16(out, optional, pe32plus ? 0x20B : 0x10B);
    out[optional + 2] = 1;                                    // linker version 1.0
    Put32(out, optional + 8, static_cast<uint32_t>(rawSize)); // initialised data
    // Entry point and base of code stay 0: the image has no code.
    const uint64_t wide = pe32plus ? 16 : 0; // growth of the fields after the image base
    if (pe32plus) {
        Put64(out, optional + 24, 0x180000000ull);
    } else {
        Put32(out, optional + 24, kResourceSectionRva); // base of data
        Put32(out, optional + 28, 0x10000000u);
    }
    Put32(out, optional + 32, kSectionAlignment);
    Put32(out, optional + 36, kFileAlignment);
    Put16(out, optional + 40, 6); // operating system version 6.0
    Put16(out, optional + 48, 6); // subsystem version 6.0
    Put32(out, optional + 56, static_cast<uint32_t>(imageSize));
    Put32(out, optional + 60, static_cast<uint32_t>(headersSize));
    Put16(out, optional + 68, 2); // Windows GUI subsystem
    // NX compatible; the PE32 image also declares that it has no SEH handlers.
    Put16(out, optional + 70, 0x0100 | (pe32plus ? 0 : 0x0400));
    const uint64_t stack = optional + 72;
    if (pe32plus) {
        Put64(out, stack, 0x100000);
        Put64(out, stack + 8, 0x1000);
        Put64(out, stack + 16, 0x100000);
        Put64(out, stack + 24, 0x1000);
    } else {
        Put32(out, stack, 0x100000);
        Put32(out, stack + 4, 0x1000);
        Put32(out, stack + 8, 0x100000);
        Put32(out, stack + 12, 0x1000);
    }
    Put32(out, optional + 92 + wide, kDataDirectoryCount);
    const uint64_t resourceDirectory = optional + 96 + wide + 2 * 8;
    Put32(out, resourceDirectory, kResourceSectionRva);
    Put32(out, resourceDirectory + 4, static_cast<uint32_t>(section.size()));

    std::memcpy(out.data() + sectionTable, ".rsrc", 5);
    Put32(out, sectionTable + 8, static_cast<uint32_t>(section.size()));
    Put32(out, sectionTable + 12, kResourceSectionRva);
    Put32(out, sectionTable + 16, static_cast<uint32_t>(rawSize));
    Put32(out, sectionTable + 20, static_cast<uint32_t>(rawSize == 0 ? 0 : headersSize));
    Put32(out, sectionTable + 36, 0x40000040u); // initialised data, readable

    std::copy(section.begin(), section.end(), out.begin() + static_cast<ptrdiff_t>(headersSize));
    Put32(out, optional + 64, Checksum(out, optional + 64));
    return out;
}

std::vector<uint8_t> WriteResourceDll(const std::map<uint16_t, std::vector<uint8_t>> &rcdata,
                                      bool pe32plus)
{
    return WrapResourceSection(BuildResourceSection(rcdata), pe32plus);
}

} // namespace pptool
