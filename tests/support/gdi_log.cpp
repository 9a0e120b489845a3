#include "support/gdi_log.h"

#include <algorithm>
#include <cstring>

namespace pptest {

DeviceGuard::DeviceGuard(int kind, int width, int height) : hdc_(ppCreateDC(kind, width, height))
{
    ppDCSetLogging(hdc_, 1);
    ppGdiSetLogging(1);
    ClearLogs();
}

DeviceGuard::~DeviceGuard()
{
    ppDeleteDC(hdc_);
}

void DeviceGuard::ClearLogs()
{
    ClearDeviceLog(hdc_);
    ClearObjectLog();
}

std::vector<std::string> Timeline(HDC hdc, bool withResults)
{
    std::vector<const DeviceCall *> calls;
    for (const DeviceCall &call : DeviceLog(hdc))
        calls.push_back(&call);
    for (const DeviceCall &call : ObjectLog())
        calls.push_back(&call);
    std::sort(calls.begin(), calls.end(),
              [](const DeviceCall *a, const DeviceCall *b) { return a->seq < b->seq; });
    std::vector<std::string> lines;
    for (const DeviceCall *call : calls) {
        if (call->name == "GetDeviceCaps")
            continue;
        std::string text = call->text;
        size_t arrow = text.find(" -> ");
        if (!withResults && arrow != std::string::npos)
            text.erase(arrow);
        lines.push_back(text);
    }
    return lines;
}

std::vector<std::string> Rename(std::vector<std::string> lines, const std::string &from,
                                const std::string &to)
{
    for (std::string &line : lines) {
        for (size_t at = line.find(from); at != std::string::npos; at = line.find(from, at)) {
            line.replace(at, from.size(), to);
            at += to.size();
        }
    }
    return lines;
}

std::vector<DeviceCall> CallsNamed(HDC hdc, const std::string &name)
{
    std::vector<DeviceCall> found;
    for (const DeviceCall &call : DeviceLog(hdc)) {
        if (call.name == name)
            found.push_back(call);
    }
    return found;
}

std::vector<uint8_t> DibRows(const DeviceCall &call)
{
    return std::vector<uint8_t>(call.payload.begin() + call.pixelOffset, call.payload.end());
}

BITMAPINFOHEADER DibHeader(const DeviceCall &call)
{
    BITMAPINFOHEADER header{};
    std::memcpy(&header, call.payload.data(), std::min<size_t>(sizeof header, call.payload.size()));
    return header;
}

uint32_t SurfacePixel(HDC hdc, int x, int y)
{
    int width = 0;
    int height = 0;
    const uint32_t *pixels = ppDCPixels(hdc, &width, &height);
    return pixels[static_cast<size_t>(y) * width + x];
}

} // namespace pptest
