// A small reader for the export and import directories of a PE image. Every
// read is checked against the file, so a damaged image throws instead of
// reading past its end.
#include "windows/pe_tables.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace ppwine {

namespace {

enum : uint16_t { PE32_MAGIC = 0x10B, PE32PLUS_MAGIC = 0x20B };

struct Section {
    uint32_t rva;
    uint32_t size;
    uint32_t fileOffset;
    uint32_t fileSize;
};

class Image {
  public:
    explicit Image(const std::vector<uint8_t> &bytes) : bytes_(bytes) {}

    template <typename T> T At(uint64_t offset) const
    {
        if (offset + sizeof(T) > bytes_.size())
            throw std::runtime_error("read past the end of the image");
        T value;
        std::memcpy(&value, bytes_.data() + offset, sizeof value);
        return value;
    }

    std::string StringAt(uint64_t offset) const
    {
        std::string text;
        for (;; ++offset) {
            char c = static_cast<char>(At<uint8_t>(offset));
            if (c == '\0')
                return text;
            text += c;
            if (text.size() > 4096)
                throw std::runtime_error("unterminated name");
        }
    }

    void AddSection(const Section &s) { sections_.push_back(s); }

    uint64_t Offset(uint32_t rva) const
    {
        for (const Section &s : sections_) {
            if (rva >= s.rva && rva - s.rva < std::max(s.size, s.fileSize)) {
                if (rva - s.rva >= s.fileSize)
                    throw std::runtime_error("address in a section's uninitialised part");
                return uint64_t{s.fileOffset} + (rva - s.rva);
            }
        }
        throw std::runtime_error("address outside every section");
    }

  private:
    const std::vector<uint8_t> &bytes_;
    std::vector<Section> sections_;
};

} // namespace

PeTables ReadPeTables(const std::vector<uint8_t> &bytes)
{
    Image image(bytes);
    if (image.At<uint16_t>(0) != 0x5A4D)
        throw std::runtime_error("no MZ signature");
    uint32_t pe = image.At<uint32_t>(0x3C);
    if (image.At<uint32_t>(pe) != 0x00004550)
        throw std::runtime_error("no PE signature");
    PeTables tables;
    tables.machine = image.At<uint16_t>(pe + 4);
    uint16_t sectionCount = image.At<uint16_t>(pe + 6);
    uint16_t optionalSize = image.At<uint16_t>(pe + 20);
    uint64_t optional = pe + 24;
    uint16_t magic = image.At<uint16_t>(optional);
    if (magic != PE32_MAGIC && magic != PE32PLUS_MAGIC)
        throw std::runtime_error("unknown optional header");
    tables.pe32plus = magic == PE32PLUS_MAGIC;
    uint64_t directories = optional + (tables.pe32plus ? 112 : 96);
    uint32_t directoryCount = image.At<uint32_t>(directories - 4);
    uint64_t sections = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        uint64_t s = sections + 40u * i;
        image.AddSection(Section{image.At<uint32_t>(s + 12), image.At<uint32_t>(s + 8),
                                 image.At<uint32_t>(s + 20), image.At<uint32_t>(s + 16)});
    }

    if (directoryCount > 0 && image.At<uint32_t>(directories + 4) != 0) {
        uint64_t dir = image.Offset(image.At<uint32_t>(directories));
        tables.exportedDllName = image.StringAt(image.Offset(image.At<uint32_t>(dir + 12)));
        uint32_t names = image.At<uint32_t>(dir + 24);
        uint64_t nameTable = names > 0 ? image.Offset(image.At<uint32_t>(dir + 32)) : 0;
        for (uint32_t i = 0; i < names; ++i)
            tables.exports.push_back(
                image.StringAt(image.Offset(image.At<uint32_t>(nameTable + 4u * i))));
    }
    if (directoryCount > 1 && image.At<uint32_t>(directories + 12) != 0) {
        uint64_t entry = image.Offset(image.At<uint32_t>(directories + 8));
        for (;; entry += 20) {
            uint32_t name = image.At<uint32_t>(entry + 12);
            if (name == 0)
                break;
            tables.importDlls.push_back(image.StringAt(image.Offset(name)));
        }
    }
    return tables;
}

} // namespace ppwine
