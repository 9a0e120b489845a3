// Builders of catalogues, piece bitmaps and modules for tests.
#ifndef PIECEPAINT_TESTS_SUPPORT_BUILDERS_H
#define PIECEPAINT_TESTS_SUPPORT_BUILDERS_H

#include "catalog/records.h"
#include "platform/portable/module.h"

#include <cstdint>
#include <vector>

namespace pptest {

// An 8-bit, 256-colour header with room for 32 pieces, five levels based at
// level 0, rules enabled, key index 0 and no paint flags.
CatalogHeader DefaultHeader();

// A template with the given code and placement words, all sizes 4 x 4 and
// no substitutions.
PieceTemplate MakeTemplate(int16_t code, uint16_t placeX, uint16_t placeY);

// Sets width/height at every level.
void SetSize(PieceTemplate &t, int16_t width, int16_t height);

// The catalogue resource: header, then the templates right behind it
// (templateOffset 56, templateCount = templates.size()).
std::vector<uint8_t> BuildCatalog(CatalogHeader header,
                                  const std::vector<PieceTemplate> &templates);

// A piece bitmap resource: BITMAPINFOHEADER, a colour table of colorCount
// entries (256 or 16; entry i is grey i, or grey i*17), then the rows.
// pixels holds one index per pixel, bottom row first, width per row.
std::vector<uint8_t> BuildBitmap(int32_t width, int32_t height, int32_t bitsPerPixel,
                                 int32_t colorCount, const std::vector<uint8_t> &pixels);

// Owns a module for the length of a test.
class ModuleGuard {
  public:
    ModuleGuard() : module_(ppModuleCreate()) {}
    ~ModuleGuard() { ppCloseModule(module_); }
    ModuleGuard(const ModuleGuard &) = delete;
    ModuleGuard &operator=(const ModuleGuard &) = delete;
    HMODULE get() const { return module_; }
    void Add(uint16_t id, const std::vector<uint8_t> &bytes)
    {
        ppModuleAddResource(module_, id, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

  private:
    HMODULE module_;
};

} // namespace pptest

#endif
