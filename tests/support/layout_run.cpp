#include "support/layout_run.h"

#include "layout/layout.h"
#include "support/builders.h"

#include <cstring>

namespace pptest {

int16_t AutoCode(size_t index)
{
    return static_cast<int16_t>(1000 + index);
}

PieceTemplate PlacedTemplate(size_t index, uint16_t placeX, uint16_t placeY, uint16_t layoutFlags)
{
    PieceTemplate t = MakeTemplate(AutoCode(index), placeX, placeY);
    t.layoutFlags = layoutFlags;
    return t;
}

void SetOffsets(PieceTemplate &t, int16_t offsetX, int16_t offsetY)
{
    for (int level = 0; level < 5; ++level) {
        t.offsetX[level] = offsetX;
        t.offsetY[level] = offsetY;
    }
}

LayoutRun RunLayout(const CatalogHeader &header, const std::vector<PieceTemplate> &templates,
                    int32_t levelRequest, int32_t maxWidth, int32_t maxHeight)
{
    std::vector<uint16_t> codes;
    for (const PieceTemplate &t : templates)
        codes.push_back(static_cast<uint16_t>(t.code));
    codes.push_back(0);
    return RunLayoutWithCodes(header, templates, codes, levelRequest, maxWidth, maxHeight);
}

LayoutRun RunLayoutWithCodes(const CatalogHeader &header,
                             const std::vector<PieceTemplate> &templates,
                             const std::vector<uint16_t> &codes, int32_t levelRequest,
                             int32_t maxWidth, int32_t maxHeight)
{
    std::vector<uint8_t> catalogue = BuildCatalog(header, templates);

    size_t capacity = header.maxPieces > 0 ? static_cast<size_t>(header.maxPieces) : 0;
    std::vector<PlacedPiece> pieces(capacity + 1);
    std::memset(pieces.data(), 0xCD, pieces.size() * sizeof(PlacedPiece));

    LayoutRun run;
    run.count =
        LayoutPieces(levelRequest, maxWidth, maxHeight, nullptr, pieces.data(), &run.result,
                     reinterpret_cast<const CatalogHeader *>(catalogue.data()), codes.data());
    run.pieces.assign(pieces.begin(), pieces.begin() + run.count);
    run.x.assign(templates.size(), INT16_MIN);
    run.y.assign(templates.size(), INT16_MIN);
    for (const PlacedPiece &p : run.pieces) {
        run.x.at(static_cast<size_t>(p.templateIndex)) = p.x;
        run.y.at(static_cast<size_t>(p.templateIndex)) = p.y;
    }
    return run;
}

} // namespace pptest
