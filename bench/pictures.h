// The pictures the benchmarks work on: the sample catalogue's composed
// picture (a house in its garden, every option on, on the background 255)
// resampled to the size by pixel repetition, so every size has the same
// content. Where the sample has not been built (it needs the tools), a
// drawing that looks like composed pieces stands in: flat grey shapes with
// stepped and slanted edges, a few low accent indices and markers.
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

// Which of the two MakePicture gives: "sample" or "drawing".
const char *PictureSource();

} // namespace ppbench

#endif
