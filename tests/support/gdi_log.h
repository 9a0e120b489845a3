// Reading what reached a portable device context: the calls made on it and
// the object calls, merged in call order.
#ifndef PIECEPAINT_TESTS_SUPPORT_GDI_LOG_H
#define PIECEPAINT_TESTS_SUPPORT_GDI_LOG_H

#include "platform/portable/device.h"

#include <string>
#include <vector>

namespace pptest {

// Owns a device context for the length of a test; both logs record every
// call and start empty.
class DeviceGuard {
  public:
    DeviceGuard(int kind, int width, int height);
    ~DeviceGuard();
    DeviceGuard(const DeviceGuard &) = delete;
    DeviceGuard &operator=(const DeviceGuard &) = delete;
    HDC get() const { return hdc_; }
    void ClearLogs();

  private:
    HDC hdc_;
};

// The calls on hdc and the object calls in the order they were made, one
// line each as the logs show them, without " -> result" unless asked for.
// GetDeviceCaps queries are left out.
std::vector<std::string> Timeline(HDC hdc, bool withResults = false);

// Every occurrence of from in the lines replaced by to.
std::vector<std::string> Rename(std::vector<std::string> lines, const std::string &from,
                                const std::string &to);

// The calls named name on hdc, in order.
std::vector<DeviceCall> CallsNamed(HDC hdc, const std::string &name);

// The pixel rows a StretchDIBits call was given, and its 40-byte header.
std::vector<uint8_t> DibRows(const DeviceCall &call);
BITMAPINFOHEADER DibHeader(const DeviceCall &call);

// Surface pixel (0x00RRGGBB) at x, y (y = 0 is the top row).
uint32_t SurfacePixel(HDC hdc, int x, int y);

} // namespace pptest

#endif
