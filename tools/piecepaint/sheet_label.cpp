#include "sheet_label.h"

#include "tool_util.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace pptool {

struct LabelFont::Handles {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

LabelFont::LabelFont(const std::string &path, int pixelHeight) : handles_(new Handles)
{
    if (FT_Init_FreeType(&handles_->library) != 0) {
        delete handles_;
        throw ToolError("cannot start the font library");
    }
    if (FT_New_Face(handles_->library, path.c_str(), 0, &handles_->face) != 0 ||
        FT_Set_Pixel_Sizes(handles_->face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) {
        FT_Done_FreeType(handles_->library);
        delete handles_;
        throw ToolError(path + ": cannot load the label font (install fonts-dejavu-core or give "
                               "--font)");
    }
}

LabelFont::~LabelFont()
{
    FT_Done_Face(handles_->face);
    FT_Done_FreeType(handles_->library);
    delete handles_;
}

void LabelFont::Draw(RgbaImage &image, const std::string &text, int32_t x, int32_t y, int32_t right,
                     Rgb colour) const
{
    FT_Face face = handles_->face;
    int64_t penX = x;
    for (unsigned char c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0)
            continue;
        const FT_Bitmap &glyph = face->glyph->bitmap;
        int64_t left = penX + face->glyph->bitmap_left;
        int64_t top = y - face->glyph->bitmap_top;
        for (unsigned row = 0; row < glyph.rows; ++row)
            for (unsigned col = 0; col < glyph.width; ++col) {
                int64_t px = left + col, py = top + row;
                if (px < 0 || py < 0 || px >= image.width || px >= right || py >= image.height)
                    continue;
                unsigned coverage = glyph.buffer[row * static_cast<unsigned>(glyph.pitch) + col];
                uint8_t *at = &image.pixels[(static_cast<size_t>(py) * image.width + px) * 4];
                for (int k = 0; k < 3; ++k)
                    at[k] = static_cast<uint8_t>((at[k] * (255 - coverage) + colour[k] * coverage) /
                                                 255);
            }
        penX += face->glyph->advance.x >> 6;
    }
}

} // namespace pptool
