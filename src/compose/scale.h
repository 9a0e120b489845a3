// The scale decision: at what size the composed picture is shown on the
// device, whether the picture buffer is shrunk first, and where it stands in
// the destination rectangle with room kept for the badge.
#ifndef PIECEPAINT_COMPOSE_SCALE_H
#define PIECEPAINT_COMPOSE_SCALE_H

#include <cstdint>

struct ScaleInput {
    int32_t width;  // natural picture width (LayoutResult.width)
    int32_t height; // natural picture height
    int16_t level;  // level the layout chose
    int16_t baseLevel;
    int16_t levelCount;
    int16_t reserveHeight; // rows kept for the badge when it is shown
    int32_t shrinkAllowed; // CatalogHeader.paintFlags has PAINT_SHRINK
    int32_t levelRequest;  // 0: fit the offered space
    int32_t zoomPercent;   // with a level request: 0 natural size, else zoom
    int32_t availWidth;    // offered space
    int32_t availHeight;   // offered space, badge reserve included
    int32_t destLeft;      // destination rectangle
    int32_t destTop;
    int32_t destWidth;
    int32_t destHeight;
    float threshold;   // scale factor from which a fitted picture is enlarged
    int32_t showBadge; // zero or not
};

struct ScaleDecision {
    float scale;        // S; only meaningful with a decision or in zoom mode
    int32_t shrink;     // drawn smaller than natural
    int32_t enlarge;    // drawn larger than natural
    int32_t drawnWidth; // size on the device
    int32_t drawnHeight;
    int32_t x; // device position of the picture's top-left corner
    int32_t y;
    int32_t showBadge; // cleared when the badge's room cannot be kept
};

ScaleDecision DecideScale(const ScaleInput &in);

// value x scale, formed in double precision and truncated toward zero. A NaN
// becomes 0 and a value beyond the 32-bit range the nearest end of it.
int32_t TruncScaled(int32_t value, float scale);

#endif
