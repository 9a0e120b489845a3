// KERNEL32's resource functions over portable modules. A resource handle
// (HRSRC) and a loaded handle (HGLOBAL) both name the PortableResource.
#include "platform/portable/module.h"

namespace {

PortableResource *ResourceOf(HGLOBAL handle)
{
    return reinterpret_cast<PortableResource *>(handle);
}

PortableResource *ResourceOf(HRSRC handle)
{
    return reinterpret_cast<PortableResource *>(handle);
}

// LockResource on an empty resource still yields a pointer.
const uint8_t emptyResource[1] = {0};

} // namespace

HMODULE ppModuleCreate()
{
    return new HINSTANCE__();
}

void ppModuleAddResource(HMODULE module, uint16_t id, const void *data, uint32_t size)
{
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    std::vector<uint8_t> &stored = module->ownedData[id];
    stored.assign(bytes, bytes + size);
    PortableResource &resource = module->resources[id];
    resource.data = stored.data();
    resource.size = size;
}

void ppModuleSetFault(HMODULE module, uint16_t id, ResourceFault fault)
{
    module->resources[id].fault = fault;
}

int ppModuleFreeCount(HMODULE module, uint16_t id)
{
    auto found = module->resources.find(id);
    return found == module->resources.end() ? -1 : found->second.frees;
}

int ppModuleLoadCount(HMODULE module, uint16_t id)
{
    auto found = module->resources.find(id);
    return found == module->resources.end() ? -1 : found->second.loads;
}

extern "C" void ppCloseModule(HMODULE module)
{
    delete module;
}

extern "C" HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    // Only integer names and the RT_RCDATA type exist in portable modules.
    if (module == nullptr || !IS_INTRESOURCE(name) || type != RT_RCDATA)
        return nullptr;
    uint16_t id = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name));
    auto found = module->resources.find(id);
    if (found == module->resources.end() || found->second.fault == ResourceFault::NotFound)
        return nullptr;
    return reinterpret_cast<HRSRC>(&found->second);
}

extern "C" HGLOBAL LoadResource(HMODULE module, HRSRC resource)
{
    PortableResource *entry = ResourceOf(resource);
    if (module == nullptr || entry == nullptr || entry->fault == ResourceFault::LoadFails)
        return nullptr;
    ++entry->loads;
    return reinterpret_cast<HGLOBAL>(entry);
}

extern "C" LPVOID LockResource(HGLOBAL handle)
{
    PortableResource *entry = ResourceOf(handle);
    if (entry == nullptr || entry->fault == ResourceFault::LockFails)
        return nullptr;
    const uint8_t *data = entry->size == 0 ? emptyResource : entry->data;
    return const_cast<uint8_t *>(data);
}

extern "C" DWORD SizeofResource(HMODULE module, HRSRC resource)
{
    PortableResource *entry = ResourceOf(resource);
    if (module == nullptr || entry == nullptr)
        return 0;
    return entry->size;
}

extern "C" BOOL FreeResource(HGLOBAL handle)
{
    PortableResource *entry = ResourceOf(handle);
    if (entry != nullptr)
        ++entry->frees;
    // Windows answers FALSE: there is nothing to free in a mapped image.
    return FALSE;
}
