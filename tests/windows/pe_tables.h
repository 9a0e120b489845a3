// The export and import tables of a PE image, read for the DLL checks.
#ifndef PIECEPAINT_TESTS_WINDOWS_PE_TABLES_H
#define PIECEPAINT_TESTS_WINDOWS_PE_TABLES_H

#include <cstdint>
#include <string>
#include <vector>

namespace ppwine {

struct PeTables {
    bool pe32plus = false;
    uint16_t machine = 0;
    std::string exportedDllName;         // the export directory's own name
    std::vector<std::string> exports;    // names, as stored (sorted by the linker)
    std::vector<std::string> importDlls; // in table order
};

// Reads the tables; throws std::runtime_error for an image that is not a
// well-formed PE file.
PeTables ReadPeTables(const std::vector<uint8_t> &image);

} // namespace ppwine

#endif
