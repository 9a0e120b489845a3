// Row kernels of the portable StretchDIBits where every destination pixel
// shows one source pixel (enlarging, equal sizes, COLORONCOLOR): converting a
// source row to surface values, and spreading or picking those values into a
// destination row by a map fixed once per call.
//
// Each kernel has an SSE2 loop where the build has SSE2 (x86-64, and the
// WebAssembly build through emscripten's SSE2 header) and a plain loop
// otherwise (and in PP_PLAIN_LOOPS builds); both write the same pixels.
#ifndef PIECEPAINT_PLATFORM_PORTABLE_STRETCH_ROWS_H
#define PIECEPAINT_PLATFORM_PORTABLE_STRETCH_ROWS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// Enlarging along a row: source pixel first + k * step (step 1, or -1 for a
// mirrored call) fills lengths[k] destination pixels, one run after the
// other from the start of the row. The first wide runs may be written a
// four-pixel vector at a time, past their own end but never past the row's.
struct SpreadPlan {
    int32_t first = 0;
    int32_t step = 1;
    std::vector<int32_t> lengths;
    size_t wide = 0;
};

// Runs from a column map in which every destination pixel shows one source
// pixel and neighbouring pixels show the same or the next source pixel in
// one direction; false when the map is not like that (a shrinking call).
bool PlanSpread(const int32_t *columns, size_t width, SpreadPlan &plan);

// A row of a composed picture is mostly long runs of one index, so the
// kernels look at the source span sixteen columns (one chunk) at a time: a
// chunk of one value fills its destination pixels without a lookup each.
enum : int32_t { SPREAD_CHUNK = 16 };

// Destination pixels [begin, end) of a row; all of them read source columns
// of full chunks first .. last of the span alone (equal unless a pixel's
// group crosses a chunk's edge), or first and last are -1 (pixels that read
// the span's last, partial chunk).
struct Segment {
    int32_t begin;
    int32_t end;
    int32_t first;
    int32_t last;
};

// Segments of a row whose pixel i reads span columns [lo[i], hi[i]], in
// destination order; span is the number of columns.
void PlanSegments(const int32_t *lo, const int32_t *hi, size_t width, size_t span,
                  std::vector<Segment> &segments);

// count copies of value.
void FillRun(uint32_t *out, size_t count, uint32_t value);

// Where a row's destination pixels sit over runs of equal source columns,
// counted in column order (the destination order, or its reverse for a
// mirrored call): pixel j reads columns [lo_j, hi_j], both rising with j.
// startBefore[s] counts the pixels whose group starts before column s,
// endBefore[s] those whose group ends before it (s from 0 to span).
struct RunMap {
    bool reversed = false;
    size_t width = 0;
    std::vector<int32_t> startBefore;
    std::vector<int32_t> endBefore;
};

// lo and hi in destination order; false when they do not rise (or fall)
// together, which a nearest-neighbour map always does.
bool PlanRuns(const int32_t *lo, const int32_t *hi, size_t width, size_t span, RunMap &map);

// The ends of the runs of equal indices in a row of span (at least 1)
// indices, rising, the last being span; returns how many. ends holds span.
size_t RunEnds(const uint8_t *indices, size_t span, int32_t *ends);

// How many runs of equal indices a row of span (at least 1) indices holds,
// without noting where they end.
size_t CountRuns(const uint8_t *indices, size_t span);

// A destination row from a row of 8-bit indices, a run at a time: the
// pixels inside a run of at least eight equal indices take its colour at
// once; perPixel(begin, end) draws every other pixel (the runs shorter than
// that, together, and the pixels whose group crosses a run's end). ends
// is scratch for span values.
template <typename PerPixel>
void DrawRuns(const uint8_t *indices, const uint32_t *table, size_t span, const RunMap &map,
              int32_t *ends, PerPixel perPixel, uint32_t *out)
{
    const int32_t *startBefore = map.startBefore.data();
    const int32_t *endBefore = map.endBefore.data();
    const int32_t width = static_cast<int32_t>(map.width);
    // [a, b) in column order, as destination pixels.
    auto draw = [&](int32_t a, int32_t b, bool fill, uint32_t value) {
        if (a >= b)
            return;
        int32_t begin = map.reversed ? width - b : a;
        int32_t end = map.reversed ? width - a : b;
        if (fill)
            FillRun(out + begin, static_cast<size_t>(end - begin), value);
        else
            perPixel(static_cast<size_t>(begin), static_cast<size_t>(end));
    };
    // A row of short runs (noise, dithering) is drawn faster pixel by pixel
    // than run by run, and counting its runs costs less than listing them.
    if (CountRuns(indices, span) * 8 > span) {
        perPixel(0, map.width);
        return;
    }
    const size_t runs = RunEnds(indices, span, ends);
    int32_t s = 0;       // the run's first column
    int32_t pending = 0; // the first column of the short runs not drawn yet
    for (size_t r = 0; r < runs; ++r) {
        const int32_t e = ends[r];
        if (e - s >= 8) {
            draw(startBefore[pending], startBefore[s], false, 0);
            draw(startBefore[s], endBefore[e], true, table[indices[s]]);
            draw(endBefore[e], startBefore[e], false, 0);
            pending = e;
        }
        s = e;
    }
    draw(startBefore[pending], startBefore[span], false, 0);
}

// Destination pixels eight at a time, for the vector kernels that pick each
// block's pixels out of the sixteen values from its base (kernels.h): pixel
// j of block b shows values[base[b] + byte j of offsets[b]] (and, where a
// pixel combines two values, of lastOffsets[b]). The pixels after the last
// whole block are left to the caller.
struct BlockPlan {
    std::vector<int32_t> base;
    std::vector<uint64_t> offsets;
    std::vector<uint64_t> lastOffsets;
    size_t blocks = 0;
};

// Values a row read through a block plan must hold past its span.
enum : size_t { BLOCK_REACH = 16 };

// From a map of width pixels to values[columns[i]], and to
// values[lastColumns[i]] as well unless that is null; false when some
// block's pixels lie sixteen or more values apart.
bool PlanBlocks(const int32_t *columns, const int32_t *lastColumns, size_t width, BlockPlan &plan);

// Asks for bytes [p, p + count) to be brought into the cache: the next
// source row, while this one is drawn, so the surface's writes do not wait
// on its reads.
void PrefetchBytes(const uint8_t *p, size_t count);

// count 24-bit pixels (blue, green, red) as surface values; reads one byte
// past the last pixel.
void ExpandRgb24(const uint8_t *pixels, size_t count, uint32_t *out);

// count 32-bit pixels as they stand. Not memcpy: the C library's copy
// slows down many times over when source and destination rows lie a few
// bytes apart modulo 4 KiB, as a packed bitmap and the surface often do.
void CopyPixels(const uint8_t *pixels, size_t count, uint32_t *out);

// count 8-bit indices through the colour table.
void LookUpRun(const uint8_t *indices, size_t count, const uint32_t *table, uint32_t *out);

// The plan's runs of values[...] into out.
void SpreadValues(const uint32_t *values, const SpreadPlan &plan, uint32_t *out);

// out[i] = values[columns[i]], and the 8-bit form table[indices[columns[i]]].
void PickValues(const uint32_t *values, const int32_t *columns, size_t width, uint32_t *out);
void PickIndices(const uint8_t *indices, const uint32_t *table, const int32_t *columns,
                 size_t width, uint32_t *out);

#endif
