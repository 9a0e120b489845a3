// Logical palettes and a simulated system palette.
//
// A 256-colour device keeps a system palette of 256 slots: the 20 static
// colours in the first and last ten, 236 free slots in between. Realising a
// palette enters, in entry order, each entry that is not yet in the system
// palette (or every entry flagged PC_NOCOLLAPSE or PC_RESERVED) into the next
// free slot, and returns how many it entered. A palette realised again
// enters only what found no room before, so a repeat enters nothing;
// UnrealizeObject makes its next realisation start over, giving back the
// slots it held. A palette selected as a
// foreground palette first takes back the slots of every other palette. The
// stock palette holds only static colours and enters nothing. Devices without
// a palette map nothing. Surfaces hold RGB on every device; the system
// palette only decides the counts RealizePalette reports.
#include "platform/portable/device.h"

namespace {

uint32_t EntryColor(const PALETTEENTRY &entry)
{
    return (uint32_t{entry.peRed} << 16) | (uint32_t{entry.peGreen} << 8) | entry.peBlue;
}

void FreeSlots(HDC__ *dc, int64_t owner)
{
    for (int slot = 0; slot < DEVICE_PALETTE_SLOTS; ++slot) {
        if (dc->slotOwner[slot] == owner)
            dc->slotOwner[slot] = -1;
    }
    dc->realised.erase(static_cast<uint64_t>(owner));
}

void FreeOtherPalettes(HDC__ *dc, int64_t keep)
{
    for (int slot = 0; slot < DEVICE_PALETTE_SLOTS; ++slot) {
        int64_t owner = dc->slotOwner[slot];
        if (owner > 0 && owner != keep)
            FreeSlots(dc, owner);
    }
}

bool InSystemPalette(const HDC__ *dc, uint32_t color)
{
    for (int slot = 0; slot < DEVICE_PALETTE_SLOTS; ++slot) {
        if (dc->slotOwner[slot] >= 0 && dc->systemColors[slot] == color)
            return true;
    }
    return false;
}

int FreeSlot(const HDC__ *dc)
{
    for (int slot = 0; slot < DEVICE_PALETTE_SLOTS; ++slot) {
        if (dc->slotOwner[slot] < 0)
            return slot;
    }
    return -1;
}

UINT Realise(HDC__ *dc, HGDIOBJ__ *palette)
{
    if (dc->kind != PP_DEVICE_PALETTE256 || palette == nullptr || palette->stock)
        return 0;
    int64_t owner = static_cast<int64_t>(palette->serial);
    auto found = dc->realised.find(palette->serial);
    if (found != dc->realised.end() && found->second.generation != palette->generation)
        FreeSlots(dc, owner);
    if (!dc->paletteBackground)
        FreeOtherPalettes(dc, owner);
    RealisedPalette &state = dc->realised[palette->serial];
    state.generation = palette->generation;
    state.mapped.resize(palette->entries.size(), false);
    UINT entered = 0;
    for (size_t i = 0; i < palette->entries.size(); ++i) {
        if (state.mapped[i])
            continue;
        const PALETTEENTRY &entry = palette->entries[i];
        uint32_t color = EntryColor(entry);
        bool ownSlot = (entry.peFlags & (PC_NOCOLLAPSE | PC_RESERVED)) != 0;
        if (!ownSlot && InSystemPalette(dc, color)) {
            state.mapped[i] = true;
            continue;
        }
        int slot = FreeSlot(dc);
        if (slot < 0)
            break; // the rest stays unmapped until slots come free
        dc->systemColors[slot] = color;
        dc->slotOwner[slot] = owner;
        state.mapped[i] = true;
        ++entered;
    }
    return entered;
}

} // namespace

uint32_t BrushPixel(const HDC__ *dc, COLORREF color)
{
    // Bit 24 makes the low word an index into the selected logical palette,
    // whatever the rest of the high byte holds; an index past the palette
    // takes its first entry.
    if ((color & 0x01000000u) != 0) {
        const std::vector<PALETTEENTRY> &entries = dc->palette->entries;
        size_t index = color & 0xFFFFu;
        if (entries.empty())
            return 0;
        return EntryColor(entries[index < entries.size() ? index : 0]);
    }
    // DIBINDEX names an entry of the surface's own colour table; a 32-bit
    // surface has none, so the pixel value is the index's 0.
    if ((color >> 16) == 0x10FFu)
        return 0;
    return SurfaceColor(color); // RGB and PALETTERGB alike: the low 24 bits
}

extern "C" HPALETTE CreatePalette(const LOGPALETTE *palette)
{
    CallRecord record("CreatePalette", nullptr);
    if (palette == nullptr) {
        record.Text("null").Finish(nullptr, 0, "null");
        return nullptr;
    }
    record.Hex(palette->palVersion).Int(palette->palNumEntries);
    if (palette->palNumEntries == 0 || CreationFails()) {
        record.Finish(nullptr, 0, "null");
        return nullptr;
    }
    HGDIOBJ object = NewObject(GdiKind::Palette);
    object->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    record.FinishObject(nullptr, object);
    return object;
}

extern "C" HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return nullptr;
    CallRecord record("SelectPalette", dc);
    record.Object(palette).Int(forceBackground);
    HGDIOBJ__ *usable = UsableObject(palette, GdiKind::Palette);
    if (usable == nullptr) {
        record.Finish(dc, 0, "null");
        return nullptr;
    }
    HGDIOBJ previous = dc->palette;
    HoldObject(usable);
    dc->palette = usable;
    dc->paletteBackground = forceBackground != FALSE;
    record.FinishObject(dc, previous);
    ReleaseObject(previous);
    return previous;
}

extern "C" UINT RealizePalette(HDC hdc)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return 0;
    UINT entered = Realise(dc, dc->palette);
    CallRecord("RealizePalette", dc).Finish(dc, entered);
    return entered;
}
