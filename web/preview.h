// The live preview's host: the page (through the WebAssembly module) and the
// native benchmark call these. It keeps the open modules and the last
// picture, reads modules and option fields through the tool's own code and
// paints through PaintPrt into a portable device context, as the tool's
// render command does.
#ifndef PIECEPAINT_WEB_PREVIEW_H
#define PIECEPAINT_WEB_PREVIEW_H

#include <cstdint>

extern "C" {

// Opens the module at path (a directory of <id>.bin files or a DLL) into
// slot 0 (the catalogue module) or 1 (the aux module); an empty path clears
// the aux module. Returns "" on success, else a message; a refused module
// leaves the slot as it was.
const char *ppwOpen(int32_t slot, const char *path);

// What the page builds its controls from, as JSON: the catalogue's header
// facts, every code the templates and rules read, and the option-record
// fields with the codes each value decodes to.
const char *ppwDescribe();

// One paint of the configuration (JSON, see web/README.md) into a fresh
// device. Returns JSON with the result code and its meaning, the explain
// text and the paint time; a refused configuration gives {"error": ...}
// and keeps the last picture.
const char *ppwPaint(const char *config);

// The last picture: width x height RGBA pixels, top row first.
const uint8_t *ppwPixels();
int32_t ppwWidth();
int32_t ppwHeight();

// Milliseconds of PaintPrt alone for the configuration: the mean of the
// fastest of ten batches of runs / 10 paints; negative when it cannot paint.
double ppwBench(const char *config, int32_t runs);
}

#endif
