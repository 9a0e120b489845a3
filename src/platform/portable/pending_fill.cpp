// The deferred solid fill of a device context. A paint fills its region
// grey and then draws the picture over most of it; the fill is kept as a
// rectangle and the picture's rectangle as a hole in it, and only what shows
// of the grey is written, when the surface is next read or drawn on in a way
// that cannot be tracked.
#include "platform/portable/device.h"
#include "platform/portable/stretch_rows.h"

#include <algorithm>

namespace {

bool Empty(const DeviceRect &r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

bool Contains(const DeviceRect &outer, const DeviceRect &inner)
{
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

// Fills columns [left, right) of row y, less the holes that cross the row.
void FillRowAround(HDC__ *dc, const PendingFill &f, int32_t y)
{
    uint32_t *row = dc->pixels + static_cast<size_t>(y) * static_cast<size_t>(dc->width);
    int32_t x = f.rect.left;
    while (x < f.rect.right) {
        // The first hole on this row that starts at or covers x.
        int32_t next = f.rect.right, skipTo = x;
        for (int i = 0; i < f.holeCount; ++i) {
            const DeviceRect &h = f.holes[i];
            if (y < h.top || y >= h.bottom || h.right <= x)
                continue;
            if (h.left <= x)
                skipTo = std::max(skipTo, h.right);
            else
                next = std::min(next, h.left);
        }
        if (skipTo > x) {
            x = skipTo;
            continue;
        }
        FillRun(row + x, static_cast<size_t>(next - x), f.pixel);
        x = next;
    }
}

} // namespace

void ResolvePendingFill(HDC__ *dc)
{
    PendingFill &f = dc->pendingFill;
    if (!f.active)
        return;
    for (int32_t y = f.rect.top; y < f.rect.bottom; ++y)
        FillRowAround(dc, f, y);
    f = PendingFill{};
}

void DiscardPendingFill(HDC__ *dc)
{
    dc->pendingFill = PendingFill{};
}

void MarkSurfaceWritten(HDC__ *dc, DeviceRect written)
{
    PendingFill &f = dc->pendingFill;
    if (!f.active || Empty(written))
        return;
    DeviceRect overlap{std::max(written.left, f.rect.left), std::max(written.top, f.rect.top),
                       std::min(written.right, f.rect.right),
                       std::min(written.bottom, f.rect.bottom)};
    if (Empty(overlap))
        return;
    if (Contains(overlap, f.rect)) {
        f = PendingFill{}; // nothing of the fill shows any more
        return;
    }
    if (f.holeCount == PENDING_FILL_HOLES) {
        ResolvePendingFill(dc);
        return;
    }
    f.holes[f.holeCount++] = overlap;
}

void DeferFill(HDC__ *dc, DeviceRect v, uint32_t pixel)
{
    PendingFill &f = dc->pendingFill;
    if (!f.active || Contains(v, f.rect)) {
        // Nothing pending, or nothing of it would show: v is the fill now.
        f = PendingFill{};
        f.active = true;
        f.rect = v;
        f.pixel = pixel;
        return;
    }
    // Any other fill (the bands of a frame) is written at once, as a hole
    // in the pending one, so the two land in their order.
    MarkSurfaceWritten(dc, v);
    for (int32_t y = v.top; y < v.bottom; ++y) {
        uint32_t *row = dc->pixels + static_cast<size_t>(y) * static_cast<size_t>(dc->width);
        FillRun(row + v.left, static_cast<size_t>(v.right - v.left), pixel);
    }
}
