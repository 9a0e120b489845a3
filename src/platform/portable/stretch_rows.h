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

// count 8-bit indices through the colour table.
void LookUpRun(const uint8_t *indices, size_t count, const uint32_t *table, uint32_t *out);

// The plan's runs of values[...] into out.
void SpreadValues(const uint32_t *values, const SpreadPlan &plan, uint32_t *out);
// The same from 8-bit indices through the colour table.
void SpreadIndices(const uint8_t *indices, const uint32_t *table, const SpreadPlan &plan,
                   uint32_t *out);

// out[i] = values[columns[i]], and the 8-bit form table[indices[columns[i]]].
void PickValues(const uint32_t *values, const int32_t *columns, size_t width, uint32_t *out);
void PickIndices(const uint8_t *indices, const uint32_t *table, const int32_t *columns,
                 size_t width, uint32_t *out);

#endif
