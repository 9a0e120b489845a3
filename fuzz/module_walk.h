// Reads back every resource of a module through the resource functions the
// library uses, touching each byte, so that a module serving bytes from
// outside its storage shows up under the address sanitizer. Painting from
// modules is the paint target's job.
#ifndef PIECEPAINT_FUZZ_MODULE_WALK_H
#define PIECEPAINT_FUZZ_MODULE_WALK_H

#include "piecepaint/host.h"
#include "piecepaint/piecepaint.h"
#include "platform/portable/module.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace ppfuzz {

inline void WalkFail(const char *what)
{
    std::fprintf(stderr, "module walk: %s\n", what);
    std::abort();
}

inline void WalkModule(HMODULE module)
{
    std::vector<uint16_t> ids;
    for (const auto &entry : module->resources)
        ids.push_back(entry.first);
    volatile uint8_t sink = 0;
    for (uint16_t id : ids) {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
        if (found == nullptr)
            WalkFail("a listed resource is not found");
        HGLOBAL handle = LoadResource(module, found);
        const auto *bytes = static_cast<const uint8_t *>(LockResource(handle));
        DWORD size = SizeofResource(module, found);
        if (bytes == nullptr)
            WalkFail("a listed resource does not lock");
        uint8_t sum = 0;
        for (DWORD i = 0; i < size; ++i)
            sum = static_cast<uint8_t>(sum + bytes[i]);
        sink = static_cast<uint8_t>(sink + sum);
        FreeResource(handle);
    }
    (void)sink;
}

} // namespace ppfuzz

#endif
