// The whole paint: a catalogue, piece bitmaps, a badge, the option record,
// the code lists and the call's arguments, served from in-memory modules and
// painted into a portable device context. Besides the sanitizers, each run
// checks what the library promises on every path: the result is one of its
// codes, every buffer of the paint is freed, and every resource it loaded is
// released exactly once.
#include "catalog/records.h"
#include "paint_input.h"
#include "piecepaint/host.h"
#include "piecepaint/piecepaint.h"
#include "platform/portable/heap.h"
#include "platform/portable/module.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

using namespace ppfuzz;

// Pieces beyond these find no bitmap of their own; enough to reach every path.
constexpr size_t kMostTemplatesServed = 96;
constexpr size_t kMostIdsServed = 160;

// PPFUZZ_VERBOSE=1 prints each paint's result, to see what a reproducer does.
bool verbose = false;

void Fail(const char *what)
{
    std::fprintf(stderr, "fuzz_paint: %s\n", what);
    std::abort();
}

// The bitmap ids the catalogue's templates ask for at every level, in
// template order, so that pieces find their bitmaps whatever level is laid
// out. Mirrors the library's level rule; a catalogue that cannot be read
// asks for nothing.
std::vector<uint16_t> DerivedIds(const Bytes &catalogue)
{
    std::vector<uint16_t> ids;
    if (catalogue.size() < sizeof(CatalogHeader))
        return ids;
    CatalogHeader header;
    std::memcpy(&header, catalogue.data(), sizeof header);
    if (header.templateCount <= 0 || header.templateOffset < 0)
        return ids;
    std::set<uint16_t> seen;
    for (size_t i = 0; i < static_cast<size_t>(header.templateCount) && i < kMostTemplatesServed;
         ++i) {
        size_t at = static_cast<size_t>(header.templateOffset) + i * sizeof(PieceTemplate);
        if (at + sizeof(PieceTemplate) > catalogue.size())
            break;
        PieceTemplate t;
        std::memcpy(&t, catalogue.data() + at, sizeof t);
        for (int32_t level = 0; level < 5; ++level) {
            int32_t id = t.bitmapId;
            if (t.bitmapId < FIXED_ID_FIRST || t.bitmapId > FIXED_ID_LAST)
                id += (level - header.baseLevel) * header.idStep + header.idBase;
            uint16_t wrapped = static_cast<uint16_t>(id);
            if (seen.insert(wrapped).second)
                ids.push_back(wrapped);
        }
        if (ids.size() >= kMostIdsServed)
            break;
    }
    return ids;
}

Bytes GreyTable(size_t entries)
{
    Bytes table(entries * 4, 0);
    for (size_t i = 0; i < entries; ++i) {
        uint8_t grey = static_cast<uint8_t>(entries == 16 ? i * 17 : i);
        table[i * 4] = table[i * 4 + 1] = table[i * 4 + 2] = grey;
    }
    return table;
}

Bytes ExpandCompact(const Bytes &data, bool fullTable)
{
    const uint8_t *p = data.data();
    size_t size = data.size();
    CompactBitmap compact = TakeRecord<CompactBitmap>(p, size);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = compact.width;
    info.biHeight = compact.height;
    info.biPlanes = 1;
    info.biBitCount = compact.bitCount;
    info.biClrUsed = fullTable ? 256 : 16;
    Bytes bytes(sizeof info);
    std::memcpy(bytes.data(), &info, sizeof info);
    Bytes table = GreyTable(fullTable ? 256 : 16);
    bytes.insert(bytes.end(), table.begin(), table.end());
    bytes.insert(bytes.end(), p, p + size);
    return bytes;
}

std::vector<uint16_t> CodeList(const Bytes &data)
{
    std::vector<uint16_t> codes;
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        codes.push_back(ReadU16(data.data() + i));
    codes.push_back(0);
    return codes;
}

struct Inputs {
    PaintArgs args{};
    Bytes catalogue;
    bool hasCatalogue = false;
    std::vector<Bytes> bitmaps;
    Bytes badge;
    bool hasBadge = false;
    std::vector<uint16_t> extraCodes{0};
    std::vector<uint16_t> codeList{0};
    std::vector<std::pair<uint16_t, Bytes>> resources[2];
};

Inputs Parse(const uint8_t *data, size_t size)
{
    Inputs in;
    in.args = TakeRecord<PaintArgs>(data, size);
    std::vector<Chunk> chunks = SplitChunks(data, size);
    bool fullTable = false;
    for (const Chunk &chunk : chunks) {
        if ((chunk.tag & 7) == TAG_CATALOGUE) {
            in.catalogue = chunk.data;
            in.hasCatalogue = true;
        }
    }
    if (in.catalogue.size() >= sizeof(CatalogHeader)) {
        CatalogHeader header;
        std::memcpy(&header, in.catalogue.data(), sizeof header);
        fullTable = header.colorCount == 256;
    }
    for (const Chunk &chunk : chunks) {
        switch (chunk.tag & 7) {
        case TAG_BITMAP:
            in.bitmaps.push_back(chunk.data);
            break;
        case TAG_COMPACT_BITMAP:
            in.bitmaps.push_back(ExpandCompact(chunk.data, fullTable));
            break;
        case TAG_BADGE:
            in.badge = chunk.data;
            in.hasBadge = true;
            break;
        case TAG_COMPACT_BADGE:
            in.badge = ExpandCompact(chunk.data, chunk.data.size() > 4 && chunk.data[4] == 8);
            in.hasBadge = true;
            break;
        case TAG_EXTRA_CODES:
            in.extraCodes = CodeList(chunk.data);
            break;
        case TAG_CODE_LIST:
            in.codeList = CodeList(chunk.data);
            break;
        case TAG_RESOURCE:
            if (chunk.data.size() >= 2)
                in.resources[(chunk.tag & 0x80) ? 1 : 0].emplace_back(
                    ReadU16(chunk.data.data()), Bytes(chunk.data.begin() + 2, chunk.data.end()));
            break;
        default:
            break;
        }
    }
    return in;
}

void Add(HMODULE module, uint16_t id, const Bytes &bytes)
{
    ppModuleAddResource(module, id, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void FillModules(const Inputs &in, HMODULE res, HMODULE aux)
{
    if (in.hasCatalogue)
        Add(res, PP_CATALOGUE_ID, in.catalogue);
    if (!in.bitmaps.empty()) {
        std::vector<uint16_t> ids = DerivedIds(in.catalogue);
        for (size_t j = 0; j < ids.size(); ++j) {
            if (ids[j] == PP_CATALOGUE_ID)
                continue;
            const Bytes &bitmap = in.bitmaps[j % in.bitmaps.size()];
            Add(res, ids[j], bitmap);
            if (aux != res)
                Add(aux, ids[j], bitmap);
        }
    }
    if (in.hasBadge)
        Add(aux, PP_BADGE_ID, in.badge);
    for (const auto &[id, bytes] : in.resources[0])
        Add(res, id, bytes);
    for (const auto &[id, bytes] : in.resources[1])
        Add(aux, id, bytes);
}

void InjectFault(const PaintArgs &args, HMODULE res)
{
    ResourceFault kinds[4] = {ResourceFault::None, ResourceFault::NotFound,
                              ResourceFault::LoadFails, ResourceFault::LockFails};
    ResourceFault kind = kinds[args.faultKind & 3];
    if (kind == ResourceFault::None || res->resources.empty())
        return;
    auto target = res->resources.begin();
    std::advance(target, args.faultTarget % res->resources.size());
    target->second.fault = kind;
}

// Every resource the paint loaded has been released as often as it was loaded.
void CheckReleased(HMODULE module)
{
    for (const auto &[id, resource] : module->resources) {
        if (resource.frees != resource.loads)
            Fail("a loaded resource was not released exactly once");
    }
}

bool IsResultCode(int result)
{
    switch (result) {
    case PP_RESULT_OK:
    case PP_RESULT_NOTHING_SELECTED:
    case PP_RESULT_NO_HEADER_MEMORY:
    case PP_RESULT_NO_PICTURE_MEMORY:
    case PP_RESULT_NOT_FOUND:
    case PP_RESULT_LOAD_FAILED:
    case PP_RESULT_NO_PIECE_MEMORY:
    case PP_RESULT_LOCK_FAILED:
        return true;
    default:
        return false;
    }
}

int32_t Widen(int16_t value, uint8_t shift)
{
    return static_cast<int32_t>(static_cast<uint32_t>(int32_t{value}) << (shift & 15));
}

int PaintOnce(const Inputs &in, HDC hdc, HMODULE res, HMODULE aux)
{
    const PaintArgs &a = in.args;
    OptionRecord options{};
    options.bits0 = a.bits0;
    options.bits1 = a.bits1;
    options.bits2 = a.bits2;
    options.singleCode = a.singleCode;
    options.codeList = (a.switches & SWITCH_CODE_LIST) ? in.codeList.data() : nullptr;
    options.selector1 = a.selector1;
    options.selector2 = a.selector2;
    options.extraFlag = a.extraFlag;

    int32_t liveBefore = ppHeapLiveBlocks();
    if (a.heapFailNth != 0)
        ppHeapFailNth(a.heapFailNth);
    int result =
        PaintPrt(hdc, res, aux, Widen(a.destLeft, a.destShift), Widen(a.destTop, a.destShift),
                 Widen(a.destWidth, a.destShift), Widen(a.destHeight, a.destShift),
                 Widen(a.availWidth, a.availShift), Widen(a.availHeight, a.availShift), a.showBadge,
                 a.levelRequest, Widen(a.zoomPercent, a.zoomShift),
                 (a.switches & SWITCH_OPTIONS) ? &options : nullptr, a.background, a.brightness,
                 (a.switches & SWITCH_EXTRA_CODES) ? in.extraCodes.data() : nullptr);
    ppHeapFailNth(0);
    if (verbose)
        std::fprintf(stderr, "fuzz_paint: result %d\n", result);
    if (!IsResultCode(result))
        Fail("PaintPrt returned a code outside its set");
    if (ppHeapLiveBlocks() != liveBefore)
        Fail("PaintPrt left a buffer allocated");
    return result;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Small pictures keep runs fast; a larger one takes the refused-picture
    // path, which is fuzzed all the same.
    PpLimits limits{};
    limits.maxPictureBytes = 16u << 10;
    limits.maxTemplates = 512;
    limits.maxCodes = 512;
    ppSetLimits(&limits);
    ppGdiSetLogging(0);
    verbose = std::getenv("PPFUZZ_VERBOSE") != nullptr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Inputs in = Parse(data, size);
    const PaintArgs &a = in.args;

    HMODULE res = ppModuleCreate();
    HMODULE aux = (a.switches & SWITCH_AUX_MODULE) ? ppModuleCreate() : res;
    FillModules(in, res, aux);
    InjectFault(a, res);

    HDC hdc = ppCreateDC(a.deviceKind % 3, 1 + a.deviceWidth % 64, 1 + a.deviceHeight % 64);
    if (hdc == nullptr)
        Fail("no device context");
    ppDCSetLogging(hdc, 0);

    bool palette = (a.switches & SWITCH_PALETTE) != 0;
    if (palette)
        ManagePal(hdc, 0, 783);
    int first = PaintOnce(in, hdc, res, aux);
    if (a.switches & SWITCH_REPAINT) {
        // Nothing of a paint but the palette carries over to the next one.
        if (PaintOnce(in, hdc, res, aux) != first && a.heapFailNth == 0)
            Fail("the same paint gave another result the second time");
    }
    if (palette)
        ManagePal(hdc, 0, 2);

    CheckReleased(res);
    if (aux != res) {
        CheckReleased(aux);
        ppCloseModule(aux);
    }
    ppCloseModule(res);
    ppDeleteDC(hdc);
    return 0;
}
