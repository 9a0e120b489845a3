// The pictures painted under Wine and on the portable layer: paints of small
// catalogues written as resource DLLs, and direct device calls (stretching in
// every mode and format, frames, fills and clip regions).
#ifndef PIECEPAINT_TESTS_WINDOWS_SCENES_H
#define PIECEPAINT_TESTS_WINDOWS_SCENES_H

#include "windows/device_script.h"

#include <string>

namespace ppwine {

// The seeded random pictures ("rnd_<n>") the script ends with; they are
// compared as one batch rather than one test each.
enum { RANDOM_BATCH_SIZE = 3000 };
inline bool IsRandomBatchPicture(const std::string &name)
{
    return name.rfind("rnd_", 0) == 0;
}

// Builds the whole script. pe32plus decides the kind of the resource DLLs
// (the host's own: PE32 for i686, PE32+ for x86_64).
ScriptWriter BuildScenes(bool pe32plus);

// The prefix of the pictures that a paint made (the others come from direct
// device calls).
inline bool IsPaintPicture(const std::string &name)
{
    return name.rfind("paint_", 0) == 0;
}

} // namespace ppwine

#endif
