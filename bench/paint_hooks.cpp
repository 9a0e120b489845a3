// The wrappers behind paint_hooks.h. The linker sends every call of the
// wrapped functions here (-Wl,--wrap, bench/CMakeLists.txt); each forwards
// to the library's function and, while the hooks are on, adds the time it
// took to its stage.
#include "paint_hooks.h"

#include "catalog/records.h"

#include <chrono>
#include <cstdint>

namespace ppbench {
namespace {

bool hooksOn = false;
HookTimes times{};

template <typename Call> auto Timed(HookStage stage, Call call)
{
    if (!hooksOn)
        return call();
    auto t0 = std::chrono::steady_clock::now();
    struct AddOnExit {
        HookStage stage;
        std::chrono::steady_clock::time_point t0;
        ~AddOnExit()
        {
            times.seconds[stage] +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        }
    } add{stage, t0};
    return call();
}

} // namespace

void HooksOn(bool on)
{
    hooksOn = on;
}
void ResetHookTimes()
{
    times = HookTimes{};
}
HookTimes ReadHookTimes()
{
    return times;
}

} // namespace ppbench

using ppbench::Timed;

// The mangled names of compose/blit.h, imageops/filter.h, smoothing.h,
// buffers.h and scaling.h.
extern "C" {
void __real__Z9BlitPiecePhiiiiiiPKhPK11PlacedPiecePK13CatalogHeaderh(
    uint8_t *, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, const uint8_t *,
    const PlacedPiece *, const CatalogHeader *, uint8_t);
uint8_t *__real__Z11ScaleRepeatPKhPhiiiii(const uint8_t *, uint8_t *, int32_t, int32_t, int32_t,
                                          int32_t, int32_t);
uint8_t *__real__Z9FilterPicPhS_iiiiiiiiii(uint8_t *, uint8_t *, int32_t, int32_t, int32_t, int32_t,
                                           int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
uint8_t *__real__Z11SmoothEdgesPhS_iiiii(uint8_t *, uint8_t *, int32_t, int32_t, int32_t, int32_t,
                                         int32_t);
void __real__Z12AdjustBrightPhij(uint8_t *, int32_t, uint32_t);
void __real__Z12ReplaceIndexPhiij(uint8_t *, int32_t, int32_t, uint32_t);
void __real__Z9ShrinkAvgPhiiiiii(uint8_t *, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);

void __wrap__Z9BlitPiecePhiiiiiiPKhPK11PlacedPiecePK13CatalogHeaderh(
    uint8_t *a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t g, const uint8_t *h,
    const PlacedPiece *i, const CatalogHeader *j, uint8_t k)
{
    Timed(ppbench::kHookPieces, [&] {
        __real__Z9BlitPiecePhiiiiiiPKhPK11PlacedPiecePK13CatalogHeaderh(a, b, c, d, e, f, g, h, i,
                                                                        j, k);
    });
}
uint8_t *__wrap__Z11ScaleRepeatPKhPhiiiii(const uint8_t *a, uint8_t *b, int32_t c, int32_t d,
                                          int32_t e, int32_t f, int32_t g)
{
    return Timed(ppbench::kHookPieces,
                 [&] { return __real__Z11ScaleRepeatPKhPhiiiii(a, b, c, d, e, f, g); });
}
uint8_t *__wrap__Z9FilterPicPhS_iiiiiiiiii(uint8_t *a, uint8_t *b, int32_t c, int32_t d, int32_t e,
                                           int32_t f, int32_t g, int32_t h, int32_t i, int32_t j,
                                           int32_t k, int32_t l)
{
    return Timed(ppbench::kHookEffects, [&] {
        return __real__Z9FilterPicPhS_iiiiiiiiii(a, b, c, d, e, f, g, h, i, j, k, l);
    });
}
uint8_t *__wrap__Z11SmoothEdgesPhS_iiiii(uint8_t *a, uint8_t *b, int32_t c, int32_t d, int32_t e,
                                         int32_t f, int32_t g)
{
    return Timed(ppbench::kHookEffects,
                 [&] { return __real__Z11SmoothEdgesPhS_iiiii(a, b, c, d, e, f, g); });
}
void __wrap__Z12AdjustBrightPhij(uint8_t *a, int32_t b, uint32_t c)
{
    Timed(ppbench::kHookEffects, [&] { __real__Z12AdjustBrightPhij(a, b, c); });
}
void __wrap__Z12ReplaceIndexPhiij(uint8_t *a, int32_t b, int32_t c, uint32_t d)
{
    Timed(ppbench::kHookEffects, [&] { __real__Z12ReplaceIndexPhiij(a, b, c, d); });
}
void __wrap__Z9ShrinkAvgPhiiiiii(uint8_t *a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
                                 int32_t g)
{
    Timed(ppbench::kHookShrink, [&] { __real__Z9ShrinkAvgPhiiiiii(a, b, c, d, e, f, g); });
}
}
