#include "catalog/validate.h"

bool CatalogFitsResource(const uint8_t *bytes, uint32_t size)
{
    if (bytes == nullptr || size < static_cast<uint32_t>(CATALOG_HEADER_SIZE))
        return false;
    const CatalogHeader *header = reinterpret_cast<const CatalogHeader *>(bytes);
    if (header->templateCount <= 0)
        return true; // no table is ever read
    int64_t first = header->templateOffset;
    int64_t last = first + int64_t{header->templateCount} * PIECE_TEMPLATE_SIZE;
    return first >= 0 && last <= int64_t{size};
}
