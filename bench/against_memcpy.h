// Times an operation against a memcpy of a given number of bytes, the two
// interleaved in every iteration so that both see the same load on a shared
// machine and the same cache state. The ratio is the x_memcpy counter.
#ifndef PIECEPAINT_BENCH_AGAINST_MEMCPY_H
#define PIECEPAINT_BENCH_AGAINST_MEMCPY_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ppbench {

inline double Median(std::vector<double> &times)
{
    if (times.empty())
        return 0;
    auto middle = times.begin() + static_cast<ptrdiff_t>(times.size() / 2);
    std::nth_element(times.begin(), middle, times.end());
    return *middle;
}

// The copy's destination lies half a page from its source, modulo the page:
// the C library's copy of large blocks slows down several times over on
// some processors when the two lie a little apart modulo 4096, and where
// the allocator happens to put the scratch block would then decide the
// baseline.
inline uint8_t *CopyTarget(std::vector<uint8_t> &scratch, const uint8_t *copyFrom)
{
    const auto from = reinterpret_cast<uintptr_t>(copyFrom);
    const auto base = reinterpret_cast<uintptr_t>(scratch.data());
    const uintptr_t skip = (from + 2048 - base) % 4096;
    return scratch.data() + skip;
}

// prepare() runs untimed before each call (it restores pictures that the
// operation changes in place); op() is timed; then bytes bytes are copied
// from copyFrom into a scratch block and timed as the baseline.
template <typename Prepare, typename Op>
void AgainstMemcpy(benchmark::State &state, size_t bytes, const uint8_t *copyFrom, Prepare prepare,
                   Op op)
{
    using Clock = std::chrono::steady_clock;
    std::vector<uint8_t> scratch(bytes + 4096);
    uint8_t *target = CopyTarget(scratch, copyFrom);
    std::vector<double> opTimes, copyTimes;
    for (auto _ : state) {
        prepare();
        benchmark::ClobberMemory();
        auto t0 = Clock::now();
        op();
        benchmark::ClobberMemory();
        auto t1 = Clock::now();
        std::memcpy(target, copyFrom, bytes);
        benchmark::DoNotOptimize(target);
        benchmark::ClobberMemory();
        auto t2 = Clock::now();
        double opTime = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(opTime);
        opTimes.push_back(opTime);
        copyTimes.push_back(std::chrono::duration<double>(t2 - t1).count());
    }
    // Medians: a call that the scheduler interrupts does not count.
    double copy = Median(copyTimes);
    state.counters["x_memcpy"] = copy > 0 ? Median(opTimes) / copy : 0;
    state.counters["bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

inline void NoPrepare() {}

// Several steps timed one after another in every iteration; each gets the
// median of its times. The first step's times are the benchmark's time.
class StageTimer {
  public:
    explicit StageTimer(size_t stages) : times_(stages) {}

    template <typename Step> double Time(size_t stage, Step step)
    {
        auto t0 = std::chrono::steady_clock::now();
        step();
        benchmark::ClobberMemory();
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        times_[stage].push_back(seconds);
        return seconds;
    }

    double MedianOf(size_t stage) { return Median(times_[stage]); }

  private:
    std::vector<std::vector<double>> times_;
};

// Medians of a paint's stages, in seconds: the whole paint, the selection,
// the layout (which runs the selection), the effects and the device output.
struct PaintStages {
    double whole, select, layout, effects, output;
};

// The share of the whole each stage takes, as counters; composition is what
// the others leave. Differences of medians can come out a hair below zero.
inline void ReportShares(benchmark::State &state, const PaintStages &s)
{
    auto share = [&s](double seconds) { return std::max(seconds, 0.0) / s.whole; };
    state.counters["share_select"] = share(s.select);
    state.counters["share_layout"] = share(s.layout - s.select);
    state.counters["share_compose"] = share(s.whole - s.layout - s.effects - s.output);
    state.counters["share_effects"] = share(s.effects);
    state.counters["share_output"] = share(s.output);
}

} // namespace ppbench

#endif
