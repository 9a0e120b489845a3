#include "api/loader.h"

const uint8_t *LoadRcData(HMODULE module, int32_t id, HGLOBAL *handleSlot, int32_t *resultSlot,
                          uint32_t *sizeSlot)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id & 0xFFFF), RT_RCDATA);
    if (found == nullptr) {
        *resultSlot = PP_RESULT_NOT_FOUND;
        return nullptr;
    }
    HGLOBAL handle = LoadResource(module, found);
    *handleSlot = handle;
    if (handle == nullptr) {
        *resultSlot = PP_RESULT_LOAD_FAILED;
        return nullptr;
    }
    const uint8_t *bytes = static_cast<const uint8_t *>(LockResource(handle));
    if (bytes == nullptr) {
        *resultSlot = PP_RESULT_LOCK_FAILED;
        return nullptr;
    }
    if (sizeSlot != nullptr)
        *sizeSlot = SizeofResource(module, found);
    return bytes;
}
