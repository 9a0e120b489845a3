#include "catalog/limits.h"

namespace {

// The largest count a 16-bit templateCount can hold.
constexpr int32_t kLargestTemplateCount = 32767;

PpLimits Defaults()
{
    return PpLimits{PP_DEFAULT_MAX_PICTURE_BYTES, PP_DEFAULT_MAX_TEMPLATES, PP_DEFAULT_MAX_CODES};
}

PpLimits current = Defaults();

} // namespace

PpLimits CurrentLimits()
{
    return current;
}

extern "C" void ppSetLimits(const PpLimits *limits)
{
    PpLimits defaults = Defaults();
    if (limits == nullptr) {
        current = defaults;
        return;
    }
    current.maxPictureBytes =
        limits->maxPictureBytes != 0 ? limits->maxPictureBytes : defaults.maxPictureBytes;
    current.maxTemplates = limits->maxTemplates > 0 ? limits->maxTemplates : defaults.maxTemplates;
    if (current.maxTemplates > kLargestTemplateCount)
        current.maxTemplates = kLargestTemplateCount;
    current.maxCodes = limits->maxCodes > 0 ? limits->maxCodes : defaults.maxCodes;
}

extern "C" void ppGetLimits(PpLimits *limits)
{
    if (limits != nullptr)
        *limits = current;
}
