// The in-place image operations on composed pictures of three sizes.
#include "against_memcpy.h"
#include "pictures.h"

#include "imageops/buffers.h"
#include "imageops/filter.h"
#include "imageops/scaling.h"
#include "imageops/smoothing.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using ppbench::AgainstMemcpy;
using ppbench::MakePicture;
using ppbench::Picture;

// The picture as composed, and a working copy restored before every call.
struct Subject {
    Picture pristine;
    Picture picture;
    explicit Subject(const benchmark::State &state)
        : pristine(MakePicture(static_cast<int32_t>(state.range(0)),
                               static_cast<int32_t>(state.range(1)))),
          picture(pristine)
    {
    }
    void Restore()
    {
        std::memcpy(picture.pixels.data(), pristine.pixels.data(), pristine.pixels.size());
    }
    uint8_t *Pixels() { return picture.pixels.data(); }
    uint32_t Bytes() const { return static_cast<uint32_t>(picture.Bytes()); }
};

void BM_AdjustBright(benchmark::State &state)
{
    Subject s(state);
    AgainstMemcpy(
        state, s.Bytes(), s.Pixels(), [&] { s.Restore(); },
        [&] { AdjustBright(s.Pixels(), 10, s.Bytes()); });
}

void BM_ReplaceIndex(benchmark::State &state)
{
    Subject s(state);
    AgainstMemcpy(
        state, s.Bytes(), s.Pixels(), [&] { s.Restore(); },
        [&] { ReplaceIndex(s.Pixels(), 200, 255, s.Bytes()); });
}

// Strength t in range 2, force in range 3 (the driver's weights).
void BM_FilterPic(benchmark::State &state)
{
    Subject s(state);
    const auto t = static_cast<int32_t>(state.range(2));
    const auto force = static_cast<int32_t>(state.range(3));
    std::vector<uint8_t> work(s.Bytes());
    const Picture &p = s.picture;
    AgainstMemcpy(
        state, s.Bytes(), s.Pixels(), [&] { s.Restore(); },
        [&] {
            FilterPic(s.Pixels(), work.data(), p.width, p.height, p.stride, 255, 0, -t, 4 * t + 5,
                      5, 0, force);
        });
}

void BM_SmoothEdges(benchmark::State &state)
{
    Subject s(state);
    std::vector<uint8_t> work(s.Bytes());
    const Picture &p = s.picture;
    AgainstMemcpy(
        state, s.Bytes(), s.Pixels(), [&] { s.Restore(); },
        [&] {
            SmoothEdges(s.Pixels(), work.data(), p.width, p.height, p.stride,
                        static_cast<int32_t>(s.Bytes()), 255);
        });
}

// The new size is range 2 per mille of the old, truncated like the driver.
int32_t Scaled(int32_t size, int64_t perMille)
{
    return static_cast<int32_t>(size * perMille / 1000);
}

void BM_ShrinkAvg(benchmark::State &state)
{
    Subject s(state);
    const Picture &p = s.picture;
    const int32_t newWidth = Scaled(p.width, state.range(2));
    const int32_t newHeight = Scaled(p.height, state.range(2));
    AgainstMemcpy(
        state, s.Bytes(), s.Pixels(), [&] { s.Restore(); },
        [&] {
            ShrinkAvg(s.Pixels(), p.width, p.height, newWidth, newHeight, p.stride,
                      ppbench::Stride8(newWidth));
        });
}

// The picture resampled as one piece; the baseline is the bytes written.
void BM_ScaleRepeat(benchmark::State &state)
{
    Subject s(state);
    const Picture &p = s.picture;
    const int32_t targetWidth = Scaled(p.width, state.range(2));
    const int32_t targetHeight = Scaled(p.height, state.range(2));
    const size_t written = static_cast<size_t>(ppbench::Stride8(targetWidth)) * targetHeight;
    std::vector<uint8_t> work(written);
    AgainstMemcpy(state, written, work.data(), ppbench::NoPrepare, [&] {
        ScaleRepeat(s.Pixels(), work.data(), p.width, p.height, targetWidth, targetHeight,
                    static_cast<int32_t>(written));
    });
}

void BM_Memcpy(benchmark::State &state)
{
    Subject s(state);
    std::vector<uint8_t> to(s.Bytes());
    for (auto _ : state) {
        std::memcpy(to.data(), s.Pixels(), s.Bytes());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * s.Bytes());
}

// 320 x 240, 1024 x 768 and 2048 x 1536, each with the extra arguments.
void Sizes(benchmark::internal::Benchmark *b, const std::vector<std::vector<int64_t>> &extras)
{
    for (auto [w, h] : {std::pair{320, 240}, {1024, 768}, {2048, 1536}}) {
        for (const auto &extra : extras) {
            std::vector<int64_t> args{w, h};
            args.insert(args.end(), extra.begin(), extra.end());
            b->Args(args);
        }
    }
    b->Unit(benchmark::kMicrosecond);
}

void Timed(benchmark::internal::Benchmark *b, const std::vector<const char *> &names,
           const std::vector<std::vector<int64_t>> &extras)
{
    std::vector<std::string> all{"w", "h"};
    all.insert(all.end(), names.begin(), names.end());
    b->ArgNames(all);
    Sizes(b, extras);
    b->UseManualTime();
}

BENCHMARK(BM_Memcpy)->ArgNames({"w", "h"})->Apply([](auto *b) { Sizes(b, {{}}); });
BENCHMARK(BM_AdjustBright)->Apply([](auto *b) { Timed(b, {}, {{}}); });
BENCHMARK(BM_ReplaceIndex)->Apply([](auto *b) { Timed(b, {}, {{}}); });
BENCHMARK(BM_FilterPic)->Apply([](auto *b) { Timed(b, {"t", "force"}, {{1, 0}, {-2, 1}}); });
BENCHMARK(BM_SmoothEdges)->Apply([](auto *b) { Timed(b, {}, {{}}); });
BENCHMARK(BM_ShrinkAvg)->Apply([](auto *b) { Timed(b, {"permille"}, {{750}, {613}}); });
BENCHMARK(BM_ScaleRepeat)->Apply([](auto *b) {
    Timed(b, {"permille"}, {{750}, {613}, {1000}, {1500}});
});

} // namespace
