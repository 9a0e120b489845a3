// Time spent inside the image operations and the piece blit while a paint
// runs, gathered by link-time wrappers (bench/paint_hooks.cpp) around the
// library's own calls, so that each stage of a real paint is timed on its
// own rather than as a difference of two paints.
#ifndef PIECEPAINT_BENCH_PAINT_HOOKS_H
#define PIECEPAINT_BENCH_PAINT_HOOKS_H

namespace ppbench {

enum HookStage { kHookPieces, kHookEffects, kHookShrink, kHookStages };

// Seconds per stage since the last reset; nothing is gathered unless on.
struct HookTimes {
    double seconds[kHookStages];
};

void HooksOn(bool on);
void ResetHookTimes();
HookTimes ReadHookTimes();

} // namespace ppbench

#endif
