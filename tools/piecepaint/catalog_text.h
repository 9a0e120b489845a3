// Words for the numbers of a catalogue: control words, flags, rules and
// level-adjusted bitmap ids, shared by show, check and render --explain.
#ifndef PIECEPAINT_TOOL_CATALOG_TEXT_H
#define PIECEPAINT_TOOL_CATALOG_TEXT_H

#include "catalog/records.h"
#include "catalog_json.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace pptool {

std::string DescribePlacement(uint16_t word, char axis);
std::string DescribeLayoutFlags(uint16_t flags);
std::string DescribePieceFlags(uint8_t flags);
std::string DescribePaintFlags(uint16_t flags);
// "A and not B"-style words for a two-input truth table operator.
std::string DescribeOperator(uint32_t op);
// The whole rule of a template, or "no rule".
std::string DescribeRule(const PieceTemplate &t);
std::string DescribeAttention(int16_t attention);

// The bitmap id that a template's bitmapId stands for at level.
int16_t LevelBitmapId(int16_t bitmapId, int32_t level, const CatalogHeader &header);

// Templates of a catalogue resource, read with bounds checks: only the
// records that lie wholly inside the resource.
struct CatalogView {
    CatalogHeader header{};
    std::vector<PieceTemplate> templates;
    bool headerComplete = false;
    int32_t templatesMissing = 0; // records the header claims beyond the resource
};
CatalogView ViewCatalog(const Bytes &catalogue);

// The readable form of show.
void ShowCatalog(std::ostream &out, const ResourceMap &resources);

} // namespace pptool

#endif
