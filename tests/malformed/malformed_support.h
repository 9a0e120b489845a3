// Shared pieces of the malformed-input tests: a paint of a module into a
// small device context, and a fixture that puts the host limits back.
#ifndef PIECEPAINT_TESTS_MALFORMED_MALFORMED_SUPPORT_H
#define PIECEPAINT_TESTS_MALFORMED_MALFORMED_SUPPORT_H

#include "piecepaint/host.h"
#include "support/builders.h"
#include "support/dib.h"

#include <gtest/gtest.h>

namespace pptest {

// Paints at natural size (level request levelRequest, no zoom) with the whole
// module serving both roles.
inline int PaintModule(HMODULE module, int32_t levelRequest = 1,
                       const OptionRecord *options = nullptr, const uint16_t *extraCodes = nullptr)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 64, 64);
    ppDCSetLogging(dc.get(), 0);
    return PaintPrt(dc.get(), module, module, 0, 0, 64, 64, 64, 64, 0, levelRequest, 0, options,
                    128, 0, extraCodes);
}

// Limits changed by a test do not outlive it.
class LimitsTest : public ::testing::Test {
  protected:
    void TearDown() override { ppSetLimits(nullptr); }
    static void SetLimits(uint32_t pictureBytes, int32_t templates, int32_t codes)
    {
        PpLimits limits{pictureBytes, templates, codes};
        ppSetLimits(&limits);
    }
};

} // namespace pptest

#endif
