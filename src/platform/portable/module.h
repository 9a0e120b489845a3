// Portable resource modules: the objects behind HMODULE, HRSRC and HGLOBAL
// off Windows, and the hooks tests use to build modules in memory.
#ifndef PIECEPAINT_PLATFORM_PORTABLE_MODULE_H
#define PIECEPAINT_PLATFORM_PORTABLE_MODULE_H

#include "piecepaint/host.h"
#include "platform/win32.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// How a resource of an in-memory module fails on purpose.
enum class ResourceFault { None, NotFound, LoadFails, LockFails };

struct PortableResource {
    const uint8_t *data = nullptr; // into the module's storage
    uint32_t size = 0;
    ResourceFault fault = ResourceFault::None;
    int frees = 0; // FreeResource calls on this resource's handle
    int loads = 0; // successful LoadResource calls
};

struct HINSTANCE__ {
    std::vector<uint8_t> image;                         // the file, for PE modules
    std::map<uint16_t, std::vector<uint8_t>> ownedData; // directory and memory modules
    std::map<uint16_t, PortableResource> resources;     // RT_RCDATA by integer id
};

// Builds an empty module in memory; close it with ppCloseModule.
HMODULE ppModuleCreate();
// Adds (or replaces) RT_RCDATA resource id with a copy of the bytes.
void ppModuleAddResource(HMODULE module, uint16_t id, const void *data, uint32_t size);
void ppModuleSetFault(HMODULE module, uint16_t id, ResourceFault fault);
// FreeResource calls on the resource's handle; -1 when there is no such resource.
int ppModuleFreeCount(HMODULE module, uint16_t id);
int ppModuleLoadCount(HMODULE module, uint16_t id);

// Parses a PE image (copied into the module); null when it is malformed.
HMODULE ppModuleFromPeImage(const uint8_t *bytes, size_t size);
// Reads every <decimal id>.bin file of a directory; null when unreadable.
HMODULE ppModuleFromDirectory(const char *path);
// The resource id a directory module serves a file under: true for names
// <decimal id>.bin written without leading zeros, 0 to 65535.
bool ppResourceIdOfFileName(const std::string &name, uint16_t *id);

#endif
