// The resource loader through which every resource of the library is read.
#ifndef PIECEPAINT_API_LOADER_H
#define PIECEPAINT_API_LOADER_H

#include "platform/win32.h"

#include <cstdint>

// Finds, loads and locks RT_RCDATA resource (low 16 bits of) id. On failure
// stores 7 (not found), 8 (load failed) or 14 (lock failed) in *resultSlot
// and returns null; on success leaves *resultSlot alone. *handleSlot gets the
// loaded handle (null included) once the resource was found; the caller frees
// a non-null handle. sizeSlot, when given, receives the resource's size so
// that every read of its bytes can be checked.
const uint8_t *LoadRcData(HMODULE module, int32_t id, HGLOBAL *handleSlot, int32_t *resultSlot,
                          uint32_t *sizeSlot = nullptr);

#endif
