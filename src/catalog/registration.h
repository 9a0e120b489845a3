// The two process-wide registration points through which selection and
// layout reach the catalogue of the current paint.
#ifndef PIECEPAINT_CATALOG_REGISTRATION_H
#define PIECEPAINT_CATALOG_REGISTRATION_H

#include "catalog/records.h"

// set != 0 remembers catalogue; always returns the remembered header.
const CatalogHeader *CatalogHeaderRef(int32_t set, const CatalogHeader *catalogue);

// set != 0 remembers catalogue + templateOffset; always returns the
// remembered table.
const PieceTemplate *TemplateTableRef(int32_t set, const CatalogHeader *catalogue);

#endif
