// Pictures that look like composed pieces: flat grey shapes with stepped
// and slanted edges on a background of 255, a few low accent indices and
// markers, scaled to the picture size so every size has the same content.
#ifndef PIECEPAINT_BENCH_PICTURES_H
#define PIECEPAINT_BENCH_PICTURES_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ppbench {

constexpr uint8_t kBackground = 255;

inline int32_t Stride8(int32_t width)
{
    return (width + 3) & ~3;
}

struct Picture {
    int32_t width;
    int32_t height;
    int32_t stride;
    // stride x height bytes and 2 spare bytes, like the composed picture.
    std::vector<uint8_t> pixels;
    size_t Bytes() const { return static_cast<size_t>(stride) * static_cast<size_t>(height); }
};

Picture MakePicture(int32_t width, int32_t height);

} // namespace ppbench

#endif
