// PaintPrt: one call paints one complete picture and owns the catalogue
// and the placed-piece records for its length.
#include "api/loader.h"
#include "catalog/records.h"
#include "catalog/validate.h"
#include "imageops/buffers.h"
#include "platform/win32.h"

namespace {

// Loads resource 999 and checks it against its size; a catalogue that does
// not hold what its header claims is a failed load.
const CatalogHeader *LoadCatalogue(HMODULE resModule, HGLOBAL *handle, int32_t *result)
{
    uint32_t size = 0;
    const uint8_t *bytes = LoadRcData(resModule, PP_CATALOGUE_ID, handle, result, &size);
    if (bytes == nullptr)
        return nullptr;
    if (!CatalogFitsResource(bytes, size)) {
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

extern "C" PIECEPAINT_API int WINAPI PaintPrt(HDC hdc, HMODULE resModule, HMODULE auxModule,
                                              int destLeft, int destTop, int destWidth,
                                              int destHeight, int availWidth, int availHeight,
                                              int showBadge, int levelRequest, int zoomPercent,
                                              const OptionRecord *options, int background,
                                              int brightness, const uint16_t *extraCodes)
{
    (void)hdc, (void)auxModule, (void)destLeft, (void)destTop, (void)destWidth, (void)destHeight;
    (void)availWidth, (void)availHeight, (void)showBadge, (void)levelRequest, (void)zoomPercent;
    (void)options, (void)background, (void)brightness, (void)extraCodes;

    int32_t result = PP_RESULT_OK;
    HGLOBAL catalogueHandle = nullptr;
    PlacedPiece *pieces = nullptr;

    const CatalogHeader *catalogue = LoadCatalogue(resModule, &catalogueHandle, &result);
    if (result == PP_RESULT_OK)
        pieces = AllocPieces(catalogue, &result);

    FreeBuf(pieces);
    if (catalogueHandle != nullptr)
        FreeResource(catalogueHandle);
    return result;
}
