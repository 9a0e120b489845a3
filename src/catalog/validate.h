// Checks of an untrusted catalogue resource against its size, made before
// anything reads it.
#ifndef PIECEPAINT_CATALOG_VALIDATE_H
#define PIECEPAINT_CATALOG_VALIDATE_H

#include "catalog/records.h"

#include <cstdint>

// True when the header and the template table lie wholly inside the size
// bytes of the resource.
bool CatalogFitsResource(const uint8_t *bytes, uint32_t size);

#endif
