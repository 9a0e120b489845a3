// Bounds on what one paint may take from an untrusted catalogue and from the
// host's code lists: the picture's size, the templates walked and the code
// list entries read. Hosts set them through ppSetLimits (piecepaint/host.h).
#ifndef PIECEPAINT_CATALOG_LIMITS_H
#define PIECEPAINT_CATALOG_LIMITS_H

#include "piecepaint/host.h"

#include <cstdint>

// The limits in force, every field filled in.
PpLimits CurrentLimits();

#endif
