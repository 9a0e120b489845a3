#include "catalog/registration.h"

namespace {
const CatalogHeader *currentHeader = nullptr;
const PieceTemplate *currentTable = nullptr;
} // namespace

const CatalogHeader *CatalogHeaderRef(int32_t set, const CatalogHeader *catalogue)
{
    if (set != 0)
        currentHeader = catalogue;
    return currentHeader;
}

const PieceTemplate *TemplateTableRef(int32_t set, const CatalogHeader *catalogue)
{
    if (set != 0) {
        // The offset is signed: a table may stand before the header. The
        // paint has checked it against the resource before registering.
        const uint8_t *base = reinterpret_cast<const uint8_t *>(catalogue);
        currentTable = reinterpret_cast<const PieceTemplate *>(base + catalogue->templateOffset);
    }
    return currentTable;
}
