#include "pictures.h"

#include "imageops/scaling.h"
#include "piecepaint/host.h"
#include "piecepaint/piecepaint.h"
#include "platform/portable/device.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

namespace ppbench {

namespace {

class Canvas {
  public:
    explicit Canvas(Picture &p) : p_(p) {}

    // Coordinates are fractions of the picture size.
    void Rect(double x0, double y0, double x1, double y1, uint8_t v)
    {
        for (int32_t r = Row(y0); r < Row(y1); ++r)
            for (int32_t c = Col(x0); c < Col(x1); ++c)
                Set(r, c, v);
    }
    void Ellipse(double cx, double cy, double rx, double ry, uint8_t v)
    {
        for (int32_t r = Row(cy - ry); r <= Row(cy + ry); ++r) {
            for (int32_t c = Col(cx - rx); c <= Col(cx + rx); ++c) {
                double dx = (c + 0.5 - cx * p_.width) / (rx * p_.width);
                double dy = (r + 0.5 - cy * p_.height) / (ry * p_.height);
                if (dx * dx + dy * dy <= 1.0)
                    Set(r, c, v);
            }
        }
    }
    // A triangle with one slanted side: its edge is a staircase of steps.
    void Slope(double x0, double y0, double x1, double y1, uint8_t v)
    {
        for (int32_t r = Row(y0); r < Row(y1); ++r) {
            double t = (r - y0 * p_.height) / ((y1 - y0) * p_.height);
            int32_t end = Col(x0 + (x1 - x0) * t);
            for (int32_t c = Col(x0); c < end; ++c)
                Set(r, c, v);
        }
    }
    // Shading: a band whose value changes along the row.
    void Shade(double x0, double y0, double x1, double y1, uint8_t from, uint8_t to)
    {
        int32_t c0 = Col(x0), c1 = std::max(Col(x1), c0 + 1);
        for (int32_t r = Row(y0); r < Row(y1); ++r)
            for (int32_t c = c0; c < c1; ++c)
                Set(r, c, static_cast<uint8_t>(from + (to - from) * (c - c0) / (c1 - c0)));
    }

  private:
    int32_t Row(double y) const
    {
        return std::clamp<int32_t>(std::lround(y * p_.height), 0, p_.height);
    }
    int32_t Col(double x) const
    {
        return std::clamp<int32_t>(std::lround(x * p_.width), 0, p_.width);
    }
    void Set(int32_t r, int32_t c, uint8_t v)
    {
        if (r >= 0 && r < p_.height && c >= 0 && c < p_.width)
            p_.pixels[static_cast<size_t>(r) * p_.stride + c] = v;
    }
    Picture &p_;
};

std::string SampleDir(const std::string &module)
{
    return std::string(PP_BINARY_DIR) + "/samples/" + module;
}

// The 8-bit picture of the last StretchDIBits on the device: its rows as
// the paint handed them over (bottom row first, as composed).
Picture PictureSentTo(HDC hdc)
{
    std::span<const DeviceCall> log = DeviceLog(hdc);
    for (auto call = log.rbegin(); call != log.rend(); ++call) {
        BITMAPINFOHEADER header;
        if (call->name != "StretchDIBits" || call->payload.size() < sizeof header)
            continue;
        std::memcpy(&header, call->payload.data(), sizeof header);
        Picture p{header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight, 0, {}};
        p.stride = Stride8(p.width);
        if (header.biBitCount != 8 || call->payload.size() < call->pixelOffset + p.Bytes())
            return Picture{};
        auto rows = call->payload.begin() + call->pixelOffset;
        p.pixels.assign(rows, rows + static_cast<ptrdiff_t>(p.Bytes()));
        p.pixels.resize(p.Bytes() + 2, kBackground);
        return p;
    }
    return Picture{};
}

// Every garden option: blue roof, six flowers, four rows of logs, smoke,
// birds, flagpole, the mailbox flag up; natural size at the largest level.
Picture ComposeSample()
{
    if (!std::filesystem::is_directory(SampleDir("house")))
        return Picture{};
    HMODULE main = ppOpenModule(SampleDir("house").c_str());
    HMODULE aux = ppOpenModule(SampleDir("house-aux").c_str());
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, 64, 64);
    ppDCSetLogging(hdc, 1);
    OptionRecord options{};
    options.bits0 = 4u << 14 | 2u << 17 | 2u << 20 | 1u << 8 | 1u << 6 | 1u << 4 | 1u << 12;
    const uint16_t house[] = {500, 0};
    Picture p;
    if (PaintPrt(hdc, main, aux, 0, 0, 64, 64, 4096, 4096, 0, 0, 100, &options, 255, 0, house) ==
        PP_RESULT_OK)
        p = PictureSentTo(hdc);
    ppDeleteDC(hdc);
    ppCloseModule(aux);
    ppCloseModule(main);
    return p;
}

const Picture &Sample()
{
    static const Picture sample = ComposeSample();
    return sample;
}

Picture MakeDrawing(int32_t width, int32_t height);

} // namespace

const char *PictureSource()
{
    return Sample().width > 0 ? "sample" : "drawing";
}

Picture MakePicture(int32_t width, int32_t height)
{
    const Picture &sample = Sample();
    if (sample.width <= 0 || sample.height <= 0)
        return MakeDrawing(width, height);
    Picture p{width, height, Stride8(width), {}};
    p.pixels.assign(p.Bytes() + 2, kBackground);
    ScaleRepeat(sample.pixels.data(), p.pixels.data(), sample.width, sample.height, width, height,
                static_cast<int32_t>(p.Bytes()));
    return p;
}

namespace {

Picture MakeDrawing(int32_t width, int32_t height)
{
    Picture p{width, height, Stride8(width), {}};
    p.pixels.assign(p.Bytes() + 2, kBackground);
    Canvas canvas(p);
    // A body with a stepped top, a slanted front, two wheels, windows, a
    // shaded panel, small accents in the low indices and a few markers.
    canvas.Rect(0.10, 0.35, 0.90, 0.70, 160);
    canvas.Rect(0.25, 0.20, 0.70, 0.35, 160);
    canvas.Rect(0.30, 0.15, 0.60, 0.20, 140);
    canvas.Slope(0.70, 0.20, 0.88, 0.35, 150);
    canvas.Rect(0.30, 0.23, 0.45, 0.33, 200);
    canvas.Rect(0.48, 0.23, 0.66, 0.33, 200);
    canvas.Shade(0.15, 0.45, 0.85, 0.55, 96, 180);
    canvas.Ellipse(0.25, 0.72, 0.08, 0.10, 40);
    canvas.Ellipse(0.75, 0.72, 0.08, 0.10, 40);
    canvas.Ellipse(0.25, 0.72, 0.03, 0.04, 100);
    canvas.Ellipse(0.75, 0.72, 0.03, 0.04, 100);
    canvas.Rect(0.12, 0.38, 0.16, 0.42, 6);
    canvas.Rect(0.84, 0.38, 0.88, 0.42, 12);
    canvas.Rect(0.05, 0.80, 0.95, 0.83, 60);
    canvas.Ellipse(0.50, 0.88, 0.20, 0.03, 120);
    canvas.Rect(0.92, 0.05, 0.97, 0.30, 1);
    canvas.Rect(0.93, 0.10, 0.96, 0.25, 180);
    return p;
}

} // namespace

} // namespace ppbench
