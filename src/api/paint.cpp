// PaintPrt: one call paints one complete picture and owns the catalogue
// and the placed-piece records for its length.
#include "api/loader.h"
#include "api/paint.h"
#include "catalog/limits.h"
#include "catalog/records.h"
#include "catalog/validate.h"
#include "compose/compose.h"
#include "imageops/buffers.h"
#include "layout/layout.h"
#include "platform/win32.h"

#include <bit>

namespace {

// The scale factor from which a fitted picture is drawn enlarged; its single-
// precision value (bit pattern 0x3FC28F5C) lies just below 1.52.
constexpr float ENLARGE_THRESHOLD = 1.52f;
static_assert(std::bit_cast<uint32_t>(ENLARGE_THRESHOLD) == 0x3FC28F5Cu);

// Loads resource 999 and checks it against its size; a catalogue that does
// not hold what its header claims is a failed load.
const CatalogHeader *LoadCatalogue(HMODULE resModule, HGLOBAL *handle, int32_t *result)
{
    uint32_t size = 0;
    const uint8_t *bytes = LoadRcData(resModule, PP_CATALOGUE_ID, handle, result, &size);
    if (bytes == nullptr)
        return nullptr;
    // Beyond the host's template limit the rule pass, the selection and the
    // draw-order sort (quadratic in the pieces) would take unbounded time.
    if (!CatalogFitsResource(bytes, size) ||
        reinterpret_cast<const CatalogHeader *>(bytes)->templateCount >
            CurrentLimits().maxTemplates) {
        *result = PP_RESULT_LOAD_FAILED;
        return nullptr;
    }
    return reinterpret_cast<const CatalogHeader *>(bytes);
}

PlacedPiece *AllocPieces(const CatalogHeader *catalogue, int32_t *result)
{
    // A negative capacity would ask the heap for a huge block.
    if (catalogue->maxPieces < 0) {
        *result = PP_RESULT_NO_PIECE_MEMORY;
        return nullptr;
    }
    uint32_t bytes = static_cast<uint32_t>(catalogue->maxPieces) * PLACED_PIECE_SIZE;
    void *pieces = AllocBuf(bytes, 0, 0);
    if (pieces == nullptr)
        *result = PP_RESULT_NO_PIECE_MEMORY;
    return static_cast<PlacedPiece *>(pieces);
}

} // namespace

int32_t PaintHeightLimit(int32_t availHeight, int32_t reserveHeight, int32_t showBadge)
{
    if (showBadge == 0)
        return availHeight;
    return static_cast<int32_t>(static_cast<uint32_t>(availHeight) -
                                static_cast<uint32_t>(reserveHeight));
}

extern "C" PIECEPAINT_API int WINAPI PaintPrt(HDC hdc, HMODULE resModule, HMODULE auxModule,
                                              int destLeft, int destTop, int destWidth,
                                              int destHeight, int availWidth, int availHeight,
                                              int showBadge, int levelRequest, int zoomPercent,
                                              const OptionRecord *options, int background,
                                              int brightness, const uint16_t *extraCodes)
{
    int32_t result = PP_RESULT_OK;
    HGLOBAL catalogueHandle = nullptr;
    PlacedPiece *pieces = nullptr;

    const CatalogHeader *catalogue = LoadCatalogue(resModule, &catalogueHandle, &result);
    if (result == PP_RESULT_OK)
        pieces = AllocPieces(catalogue, &result);

    int32_t count = 0;
    LayoutResult layout = {};
    if (result == PP_RESULT_OK) {
        int32_t heightLimit = PaintHeightLimit(availHeight, catalogue->reserveHeight, showBadge);
        count = LayoutPieces(levelRequest, availWidth, heightLimit, options, pieces, &layout,
                             catalogue, extraCodes);
    }
    if (result == PP_RESULT_OK && count == 0) {
        result = PP_RESULT_NOTHING_SELECTED;
    } else if (result == PP_RESULT_OK) {
        result = ComposePicture(hdc, resModule, auxModule, destLeft, destTop, destWidth, destHeight,
                                availWidth, availHeight, showBadge, levelRequest, zoomPercent,
                                ENLARGE_THRESHOLD, pieces, count, &layout, catalogue, background,
                                brightness);
    }

    FreeBuf(pieces);
    if (catalogueHandle != nullptr)
        FreeResource(catalogueHandle);
    return result;
}
