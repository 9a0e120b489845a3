// Scale decision. The ratios are formed in double precision and the factor
// is kept in single precision, so that the threshold and the drawn sizes fall
// exactly where the catalogues were tuned; every conversion to an integer
// goes through TruncToInt, which never meets a value it cannot represent.
#include "compose/scale.h"

#include <cmath>
#include <limits>

namespace {

int32_t TruncToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// num / den as IEEE division gives it, a zero den included (an empty
// picture yields an infinite or NaN ratio, which the decisions then ignore).
double Ratio(int32_t num, int32_t den)
{
    if (den != 0)
        return static_cast<double>(num) / den;
    if (num == 0)
        return std::numeric_limits<double>::quiet_NaN();
    return num > 0 ? std::numeric_limits<double>::infinity()
                   : -std::numeric_limits<double>::infinity();
}

// Device coordinates add and subtract with 32-bit wrap-around.
int32_t Add(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t Sub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
// Halving rounds toward minus infinity, as an arithmetic shift does.
int32_t Half(int32_t value)
{
    return value >> 1;
}

void FitToSpace(const ScaleInput &in, int32_t reserve, ScaleDecision &out)
{
    double wr = Ratio(in.availWidth, in.width);
    double hr = static_cast<float>(Ratio(Sub(in.availHeight, reserve), in.height));
    out.scale = static_cast<float>(hr < wr ? hr : wr);

    int16_t lastLevel = static_cast<int16_t>(in.baseLevel + in.levelCount - 1);
    if (in.level == lastLevel && (wr < 1.0 || hr < 1.0))
        out.shrink = 1;
    else if (out.scale >= in.threshold && (in.level == in.baseLevel || in.levelCount <= 1))
        out.enlarge = 1;
}

void Zoom(const ScaleInput &in, ScaleDecision &out)
{
    // The exact product, rounded once to single precision.
    out.scale = static_cast<float>(static_cast<long double>(in.zoomPercent) * 0.01f);
    out.shrink = in.shrinkAllowed != 0 && in.zoomPercent < 100;
    out.enlarge = in.zoomPercent > 100;
}

void Place(const ScaleInput &in, int32_t reserve, ScaleDecision &out)
{
    int32_t x0 = Half(Sub(in.destWidth, out.drawnWidth));
    int32_t y0 = Half(Sub(in.destHeight, out.drawnHeight));
    if (reserve != 0 && y0 < reserve) {
        int32_t margin = Half(Sub(in.destHeight, in.availHeight));
        int32_t room = Sub(Sub(in.destHeight, reserve), margin);
        if (out.drawnHeight < room)
            y0 = Add(reserve, Half(Sub(room, out.drawnHeight)));
        else
            out.showBadge = 0;
    }
    out.x = Add(in.destLeft, x0);
    out.y = Add(in.destTop, y0);
}

} // namespace

int32_t TruncScaled(int32_t value, float scale)
{
    return TruncToInt(static_cast<double>(value) * static_cast<double>(scale));
}

ScaleDecision DecideScale(const ScaleInput &in)
{
    ScaleDecision out{};
    out.scale = 1.0f;
    out.showBadge = in.showBadge;
    int32_t reserve = in.showBadge != 0 ? in.reserveHeight : 0;

    bool scaled;
    if (in.levelRequest == 0) {
        FitToSpace(in, reserve, out);
        scaled = out.shrink || out.enlarge;
    } else if (in.zoomPercent == 0) {
        scaled = false;
    } else {
        Zoom(in, out);
        scaled = true;
    }
    out.drawnWidth = scaled ? TruncScaled(in.width, out.scale) : in.width;
    out.drawnHeight = scaled ? TruncScaled(in.height, out.scale) : in.height;

    Place(in, reserve, out);
    return out;
}
