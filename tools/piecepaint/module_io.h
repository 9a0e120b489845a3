// Resource modules on disk: a directory of <decimal id>.bin files or a
// resource-only PE DLL.
#ifndef PIECEPAINT_TOOL_MODULE_IO_H
#define PIECEPAINT_TOOL_MODULE_IO_H

#include "catalog_json.h"
#include "piecepaint/piecepaint.h"

#include <filesystem>

namespace pptool {

// Every RT_RCDATA resource of a module, by id.
ResourceMap ReadModule(const std::filesystem::path &path);

// Writes <id>.bin files into dir (created when missing). Other <id>.bin
// files already there would become part of the module, so they are an error
// unless clean is set, which removes them.
void WriteModuleDirectory(const std::filesystem::path &dir, const ResourceMap &resources,
                          bool clean);
// Writes a resource-only DLL (32-bit, or 64-bit with pe32plus).
void WriteModuleDll(const std::filesystem::path &file, const ResourceMap &resources, bool pe32plus);

// An in-memory module for the library, built from the resources; close it
// with ppCloseModule.
HMODULE OpenMemoryModule(const ResourceMap &resources);

} // namespace pptool

#endif
