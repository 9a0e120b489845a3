// The PE resource reader: any bytes as a DLL or EXE image.
#include "module_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HMODULE module = ppModuleFromPeImage(data, size);
    if (module == nullptr)
        return 0;
    ppfuzz::WalkModule(module);
    ppCloseModule(module);
    return 0;
}
