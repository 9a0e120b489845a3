// Text on the contact sheet, drawn with FreeType from a TrueType font.
#ifndef PIECEPAINT_TOOL_SHEET_LABEL_H
#define PIECEPAINT_TOOL_SHEET_LABEL_H

#include "bitmap_art.h"
#include "png_io.h"

#include <string>

namespace pptool {

// The DejaVu font that fonts-dejavu-core installs.
inline constexpr const char *defaultLabelFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// The largest sheet the tool draws, in pixels (four bytes each in memory).
inline constexpr int64_t largestSheetPixels = int64_t{8192} * 8192;

class LabelFont {
  public:
    explicit LabelFont(const std::string &path, int pixelHeight = 11);
    ~LabelFont();
    LabelFont(const LabelFont &) = delete;
    LabelFont &operator=(const LabelFont &) = delete;
    // Draws text with its baseline at y, blending the glyphs' coverage;
    // nothing at or right of column right.
    void Draw(RgbaImage &image, const std::string &text, int32_t x, int32_t y, int32_t right,
              Rgb colour) const;

  private:
    struct Handles;
    Handles *handles_;
};

} // namespace pptool

#endif
