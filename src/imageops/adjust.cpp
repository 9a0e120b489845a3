#include "imageops/buffers.h"
#include "imageops/lowindex.h"
#include "imageops/kernels.h"

namespace {

// One table per call: the adjustment of a pixel depends only on its value.
void BuildBrightTable(uint8_t table[256], int32_t shift)
{
    for (int32_t v = 0; v < 256; ++v) {
        if (v == 255 || v == 1) {
            table[v] = static_cast<uint8_t>(v);
            continue;
        }
        int32_t adjusted = v + shift;
        if (adjusted < 0)
            adjusted = 0;
        if (adjusted > 254)
            adjusted = 254;
        table[v] = static_cast<uint8_t>(LowIndexDown(adjusted));
    }
}

} // namespace

void AdjustBright(uint8_t *pixels, int32_t offset, uint32_t count)
{
    int32_t shift = static_cast<int8_t>(offset & 0xFF);
    if (shift == 0)
        return;
    // The vectors' saturating byte arithmetic gives this table's values.
    uint32_t done = Kernels().adjustBright(pixels, shift, count);
    if (done == count)
        return;
    uint8_t table[256];
    BuildBrightTable(table, shift);
    for (uint32_t i = done; i < count; ++i)
        pixels[i] = table[pixels[i]];
}

void ReplaceIndex(uint8_t *pixels, int32_t newIndex, int32_t oldIndex, uint32_t count)
{
    uint8_t from = static_cast<uint8_t>(oldIndex);
    uint8_t to = static_cast<uint8_t>(newIndex);
    for (uint32_t i = Kernels().replaceIndex(pixels, to, from, count); i < count; ++i) {
        if (pixels[i] == from)
            pixels[i] = to;
    }
}
