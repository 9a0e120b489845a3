// Writes resource-only DLLs: a minimal PE image with one .rsrc section, no
// code, no imports and no entry point. Windows hosts load it with
// LoadLibraryEx(..., LOAD_LIBRARY_AS_DATAFILE); the portable layer opens it
// with ppOpenModule.
#ifndef PIECEPAINT_TOOLS_COMMON_PE_WRITER_H
#define PIECEPAINT_TOOLS_COMMON_PE_WRITER_H

#include <cstdint>
#include <map>
#include <vector>

namespace pptool {

// Where the .rsrc section is placed in the image (its relative virtual
// address); resource data entries hold addresses relative to the image.
constexpr uint32_t kResourceSectionRva = 0x1000;

// The .rsrc section for RT_RCDATA resources: one type, the ids ascending,
// each in language 0x409, followed by the data, each block 8-byte aligned.
// Throws std::length_error when the section would pass 2 GiB.
std::vector<uint8_t> BuildResourceSection(const std::map<uint16_t, std::vector<uint8_t>> &rcdata);

// Wraps a resource section laid out for kResourceSectionRva into a DLL image
// for i386 (PE32) or amd64 (PE32+). The result is the same for the same input.
std::vector<uint8_t> WrapResourceSection(const std::vector<uint8_t> &section, bool pe32plus);

// BuildResourceSection then WrapResourceSection.
std::vector<uint8_t> WriteResourceDll(const std::map<uint16_t, std::vector<uint8_t>> &rcdata,
                                      bool pe32plus);

} // namespace pptool

#endif
