// GDI objects off Windows: the handle table, the stock objects, regions,
// brushes, SelectObject and DeleteObject, and the call logs.
#include "platform/portable/device.h"

#include <cstdio>
#include <unordered_set>

namespace {

// Serials 1 and 2 belong to the stock objects, so they read the same in
// every run whatever else was created first.
enum : uint64_t { STOCK_PALETTE_SERIAL = 1, STOCK_BRUSH_SERIAL = 2, FIRST_SERIAL = 16 };

struct HandleTable {
    std::unordered_set<const void *> objects;
    std::unordered_set<const void *> devices;
    uint64_t nextSerial = FIRST_SERIAL;
    uint64_t nextSeq = 1;
    CallLog objectLog;
};

HandleTable &Table()
{
    static HandleTable table;
    return table;
}

// DEFAULT_PALETTE: the 20 colours every palette device reserves.
const PALETTEENTRY staticColors[DEVICE_STATIC_COLORS] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};

HGDIOBJ__ *MakeStock(GdiKind kind, uint64_t serial)
{
    HGDIOBJ__ *object = new HGDIOBJ__();
    object->kind = kind;
    object->stock = true;
    object->serial = serial;
    Table().objects.insert(object);
    return object;
}

void DestroyObject(HGDIOBJ object)
{
    Table().objects.erase(object);
    delete object;
}

bool IsLive(HGDIOBJ object)
{
    return object != nullptr && Table().objects.count(object) != 0;
}

std::string Format(const char *format, int64_t a, int64_t b = 0, int64_t c = 0, int64_t d = 0)
{
    char text[96];
    std::snprintf(text, sizeof text, format, static_cast<long long>(a), static_cast<long long>(b),
                  static_cast<long long>(c), static_cast<long long>(d));
    return text;
}

DeviceRect NormalisedRect(int left, int top, int right, int bottom)
{
    DeviceRect r{left < right ? left : right, top < bottom ? top : bottom,
                 left < right ? right : left, top < bottom ? bottom : top};
    if (r.left == r.right || r.top == r.bottom)
        r = DeviceRect{0, 0, 0, 0};
    return r;
}

int32_t createFailCountdown = 0;

} // namespace

void ppGdiFailCreateNth(int32_t n)
{
    createFailCountdown = n > 0 ? n : 0;
}

bool CreationFails()
{
    return createFailCountdown > 0 && --createFailCountdown == 0;
}

void RegisterDevice(HDC__ *dc)
{
    Table().devices.insert(dc);
}

void UnregisterDevice(HDC__ *dc)
{
    Table().devices.erase(dc);
}

HDC__ *LiveDevice(HDC hdc)
{
    if (hdc == nullptr || Table().devices.count(hdc) == 0)
        return nullptr;
    return hdc;
}

HGDIOBJ__ *UsableObject(HGDIOBJ object)
{
    if (!IsLive(object) || object->deleted)
        return nullptr;
    return object;
}

HGDIOBJ__ *UsableObject(HGDIOBJ object, GdiKind kind)
{
    HGDIOBJ__ *usable = UsableObject(object);
    return usable != nullptr && usable->kind == kind ? usable : nullptr;
}

bool IsRegionResult(HGDIOBJ object)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(object);
    return value >= NULLREGION && value <= COMPLEXREGION;
}

HGDIOBJ NewObject(GdiKind kind)
{
    HGDIOBJ__ *object = new HGDIOBJ__();
    object->kind = kind;
    object->serial = Table().nextSerial++;
    Table().objects.insert(object);
    return object;
}

HGDIOBJ StockPalette()
{
    static HGDIOBJ__ *palette = [] {
        HGDIOBJ__ *stock = MakeStock(GdiKind::Palette, STOCK_PALETTE_SERIAL);
        stock->entries.assign(staticColors, staticColors + DEVICE_STATIC_COLORS);
        return stock;
    }();
    return palette;
}

HGDIOBJ StockBrush()
{
    static HGDIOBJ__ *brush = [] {
        HGDIOBJ__ *stock = MakeStock(GdiKind::Brush, STOCK_BRUSH_SERIAL);
        stock->color = RGB(255, 255, 255);
        return stock;
    }();
    return brush;
}

const PALETTEENTRY *StaticColors()
{
    return staticColors;
}

void HoldObject(HGDIOBJ object)
{
    if (IsLive(object))
        ++object->selections;
}

void ReleaseObject(HGDIOBJ object)
{
    if (!IsLive(object))
        return;
    --object->selections;
    if (object->deleted && object->selections <= 0 && !object->stock)
        DestroyObject(object);
}

int64_t ObjectArg(HGDIOBJ object)
{
    if (object == nullptr)
        return 0;
    return IsLive(object) ? static_cast<int64_t>(object->serial) : -1;
}

uint64_t ObjectSerial(HGDIOBJ object)
{
    return IsLive(object) ? object->serial : 0;
}

uint32_t Fnv32(const uint8_t *bytes, size_t size, uint32_t hash)
{
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 16777619u;
    }
    return hash;
}

std::string DescribeObject(HGDIOBJ object)
{
    if (object == nullptr)
        return "null";
    if (!IsLive(object))
        return "invalid";
    switch (object->kind) {
    case GdiKind::Region:
        return Format("rgn(%lld,%lld,%lld,%lld)", object->rect.left, object->rect.top,
                      object->rect.right, object->rect.bottom);
    case GdiKind::Brush:
        return Format("brush(0x%08llx)", object->color);
    case GdiKind::Palette:
        if (object->stock)
            return "pal(stock)";
        return Format("pal(%lld,0x%08llx)", static_cast<int64_t>(object->entries.size()),
                      Fnv32(reinterpret_cast<const uint8_t *>(object->entries.data()),
                            object->entries.size() * sizeof(PALETTEENTRY)));
    }
    return "invalid";
}

CallRecord::CallRecord(const char *name, const HDC__ *dc)
    : on_(dc != nullptr ? dc->log.on : Table().objectLog.on)
{
    if (!on_)
        return;
    call_.name = name;
    call_.text = name;
}

CallRecord &CallRecord::Int(int64_t value)
{
    if (!on_)
        return *this;
    call_.args.push_back(value);
    call_.text += Format(" %lld", value);
    return *this;
}

CallRecord &CallRecord::Hex(uint32_t value)
{
    if (!on_)
        return *this;
    call_.args.push_back(value);
    call_.text += Format(" 0x%08llx", value);
    return *this;
}

CallRecord &CallRecord::Object(HGDIOBJ object)
{
    if (!on_)
        return *this;
    call_.args.push_back(ObjectArg(object));
    call_.text += " " + DescribeObject(object);
    return *this;
}

CallRecord &CallRecord::Text(const std::string &text)
{
    if (!on_)
        return *this;
    call_.text += " " + text;
    return *this;
}

void CallRecord::Finish(HDC__ *dc, int64_t result, const std::string &resultText)
{
    HandleTable &table = Table();
    // Every call takes a number, logged or not, as it always has.
    call_.seq = table.nextSeq++;
    if (!on_)
        return;
    call_.result = result;
    call_.text += " -> " + resultText;
    CallLog &log = dc != nullptr ? dc->log : table.objectLog;
    if (log.on)
        AppendToLog(log, std::move(call_));
}

void CallRecord::Finish(HDC__ *dc, int64_t result)
{
    Finish(dc, result, on_ ? Format("%lld", result) : std::string());
}

void CallRecord::FinishObject(HDC__ *dc, HGDIOBJ object)
{
    Finish(dc, ObjectArg(object), on_ ? DescribeObject(object) : std::string());
}

namespace {

uint64_t EntryBytes(const DeviceCall &call)
{
    return call.payload.size() + call.text.size();
}

void TrimLog(CallLog &log)
{
    // The newest entry stays whatever its size; its rows were left out when
    // they alone exceed the byte bound.
    while (log.slots.size() - log.first > 1 &&
           (log.slots.size() - log.first > log.maxEntries || log.bytes > log.maxBytes)) {
        DeviceCall gone = std::move(log.slots[log.first++]);
        log.bytes -= EntryBytes(gone);
    }
    if (log.first >= log.slots.size() - log.first) {
        log.slots.erase(log.slots.begin(),
                        log.slots.begin() + static_cast<std::ptrdiff_t>(log.first));
        log.first = 0;
    }
}

} // namespace

void AppendToLog(CallLog &log, DeviceCall &&call)
{
    log.bytes += EntryBytes(call);
    log.slots.push_back(std::move(call));
    TrimLog(log);
}

void ClearLog(CallLog &log)
{
    // A cleared log gives its memory back, so a long-lived host that clears
    // it keeps nothing from earlier paints.
    std::vector<DeviceCall>().swap(log.slots);
    log.first = 0;
    log.bytes = 0;
}

void SetLogLimits(CallLog &log, uint32_t maxEntries, uint32_t maxBytes)
{
    log.maxEntries = maxEntries != 0 ? maxEntries : PP_DEFAULT_LOG_ENTRIES;
    log.maxBytes = maxBytes != 0 ? maxBytes : PP_DEFAULT_LOG_BYTES;
    TrimLog(log);
}

bool ObjectLogging()
{
    return Table().objectLog.on;
}

std::span<const DeviceCall> DeviceLog(HDC hdc)
{
    HDC__ *dc = LiveDevice(hdc);
    return dc != nullptr ? dc->log.Entries() : std::span<const DeviceCall>();
}

void ClearDeviceLog(HDC hdc)
{
    if (HDC__ *dc = LiveDevice(hdc))
        ClearLog(dc->log);
}

std::span<const DeviceCall> ObjectLog()
{
    return Table().objectLog.Entries();
}

void ClearObjectLog()
{
    ClearLog(Table().objectLog);
}

extern "C" const char *ppGdiLogText(void)
{
    static std::string text;
    text.clear();
    for (const DeviceCall &call : Table().objectLog.Entries())
        text += call.text + "\n";
    return text.c_str();
}

extern "C" void ppGdiClearLog(void)
{
    ClearObjectLog();
}

extern "C" void ppGdiSetLogging(int enabled)
{
    Table().objectLog.on = enabled != 0;
}

extern "C" void ppGdiSetLogLimits(uint32_t maxEntries, uint32_t maxBytes)
{
    SetLogLimits(Table().objectLog, maxEntries, maxBytes);
}

extern "C" HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    if (CreationFails()) {
        CallRecord("CreateRectRgn", nullptr)
            .Int(left)
            .Int(top)
            .Int(right)
            .Int(bottom)
            .Finish(nullptr, 0, "null");
        return nullptr;
    }
    HGDIOBJ region = NewObject(GdiKind::Region);
    region->rect = NormalisedRect(left, top, right, bottom);
    CallRecord record("CreateRectRgn", nullptr);
    record.Int(left).Int(top).Int(right).Int(bottom);
    record.FinishObject(nullptr, region);
    return region;
}

extern "C" HBRUSH CreateSolidBrush(COLORREF color)
{
    if (CreationFails()) {
        CallRecord("CreateSolidBrush", nullptr).Hex(color).Finish(nullptr, 0, "null");
        return nullptr;
    }
    HGDIOBJ brush = NewObject(GdiKind::Brush);
    brush->color = color;
    CallRecord record("CreateSolidBrush", nullptr);
    record.Hex(color).FinishObject(nullptr, brush);
    return brush;
}

extern "C" BOOL DeleteObject(HGDIOBJ object)
{
    CallRecord record("DeleteObject", nullptr);
    record.Object(object);
    HGDIOBJ__ *usable = UsableObject(object);
    BOOL result = usable != nullptr ? TRUE : FALSE;
    record.Finish(nullptr, result);
    if (usable == nullptr || usable->stock)
        return result;
    // Like GDI, an object still selected somewhere goes when it is let go.
    if (usable->selections > 0)
        usable->deleted = true;
    else
        DestroyObject(usable);
    return result;
}

extern "C" BOOL UnrealizeObject(HGDIOBJ object)
{
    CallRecord record("UnrealizeObject", nullptr);
    record.Object(object);
    HGDIOBJ__ *usable = UsableObject(object);
    if (usable != nullptr && usable->kind == GdiKind::Palette)
        ++usable->generation;
    BOOL result = usable != nullptr ? TRUE : FALSE;
    record.Finish(nullptr, result);
    return result;
}

extern "C" HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object)
{
    HDC__ *dc = LiveDevice(hdc);
    if (dc == nullptr)
        return nullptr;
    CallRecord record("SelectObject", dc);
    record.Object(object);
    HGDIOBJ__ *usable = UsableObject(object);
    if (usable != nullptr && usable->kind == GdiKind::Region) {
        // The context keeps its own copy: the region may be deleted at once.
        dc->clipped = true;
        dc->clip = usable->rect;
        bool empty = usable->rect.left == usable->rect.right;
        int kind = empty ? NULLREGION : SIMPLEREGION;
        record.Finish(dc, kind);
        return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(kind));
    }
    if (usable != nullptr && usable->kind == GdiKind::Brush) {
        HGDIOBJ previous = dc->brush;
        HoldObject(usable);
        dc->brush = usable;
        record.FinishObject(dc, previous);
        ReleaseObject(previous);
        return previous;
    }
    // Palettes are selected with SelectPalette only.
    record.Finish(dc, 0, "null");
    return nullptr;
}
