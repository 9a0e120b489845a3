// Badges stored as BI_BITFIELDS or run-length coded reach the device as
// they are stored, drawn as the plain badge would be, when the resource bounds
// what the device reads.
#include "compose/output.h"
#include "support/builders.h"
#include "support/dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using pptest::DeviceGuard;
using pptest::ModuleGuard;

// A 2 x 2 8-bit picture with a grey colour table, drawn after the badge.
struct SmallPicture {
    Bytes bitmap = pptest::BuildBitmap(2, 2, 8, 256, {10, 20, 30, 40});
    const BITMAPINFO *info() const { return reinterpret_cast<const BITMAPINFO *>(bitmap.data()); }
    const uint8_t *pixels() const { return bitmap.data() + 1064; }
};

int32_t Draw(HDC hdc, HMODULE aux, const SmallPicture &p, int32_t attention, int32_t showBadge,
             uint8_t bg)
{
    return DrawPicture(hdc, aux, 3, 4, 2, 2, 0, 0, 2, 2, p.pixels(), p.info(), DIB_RGB_COLORS,
                       SRCCOPY, 1, 2, 9, 8, attention, showBadge, bg);
}

// The resource: header, table or masks, rows from the pixel offset on.
Bytes BadgeResource(const pptest::Dib &dib)
{
    bool fullTable = dib.Info()->bmiHeader.biBitCount == 8;
    Bytes bytes = dib.info;
    bytes.resize(fullTable ? 1064 : 104, 0);
    bytes.insert(bytes.end(), dib.bits.begin(), dib.bits.end());
    return bytes;
}

// A 5 x 3 badge with repeats and stretches of differing pixels.
const std::vector<uint32_t> kBadgeIndices = {1, 1, 1, 2, 3, 4, 5, 6, 6, 7, 8, 8, 9, 9, 9};

pptest::Dib PlainBadge(int bpp)
{
    std::vector<uint32_t> colours, pixels;
    for (int i = 0; i < 256; ++i)
        colours.push_back(pptest::RampColor(i));
    for (uint32_t i : kBadgeIndices)
        pixels.push_back(bpp <= 8 ? i : (bpp == 16 ? i * 0x0C63u : colours[i]));
    return pptest::MakeDib(5, 3, bpp, pixels, colours);
}

pptest::Dib CodedBadge(int bpp)
{
    pptest::Dib plain = PlainBadge(bpp);
    pptest::Dib coded = pptest::MakeRleDib(5, 3, bpp, pptest::EncodeRle(5, 3, bpp, kBadgeIndices));
    std::copy(plain.info.begin() + 40, plain.info.end(), coded.info.begin() + 40);
    return coded;
}

pptest::Dib MaskedBadge(int bpp)
{
    pptest::Dib dib = PlainBadge(bpp);
    dib.Header().biCompression = 3;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bpp == 32)
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    dib.info.resize(52);
    std::memcpy(dib.info.data() + 40, masks, sizeof masks);
    return dib;
}

struct StoredBadgeCase {
    std::string name;
    int bpp;
    pptest::Dib (*stored)(int);
    std::function<void(Bytes &)> change; // spoils the resource, or null
    int32_t expected;
};

class StoredBadgeTest : public ::testing::TestWithParam<StoredBadgeCase> {};

std::vector<uint32_t> DrawnSurface(const Bytes &badge, int32_t &result)
{
    DeviceGuard dc(PP_DEVICE_TRUECOLOR, 12, 10);
    ModuleGuard aux;
    aux.Add(PP_BADGE_ID, badge);
    SmallPicture p;
    result = Draw(dc.get(), aux.get(), p, 30000, 1, 0);
    return dc.Pixels();
}

TEST_P(StoredBadgeTest, DrawsAsThePlainBadgeWhenBounded)
{
    const StoredBadgeCase &c = GetParam();
    Bytes stored = BadgeResource(c.stored(c.bpp));
    if (c.change)
        c.change(stored);
    int32_t plainResult = 0, storedResult = 0;
    std::vector<uint32_t> plain = DrawnSurface(BadgeResource(PlainBadge(c.bpp)), plainResult);
    std::vector<uint32_t> drawn = DrawnSurface(stored, storedResult);
    ASSERT_EQ(plainResult, PP_RESULT_OK);
    EXPECT_EQ(storedResult, c.expected);
    if (c.expected == PP_RESULT_OK)
        EXPECT_EQ(drawn, plain);
    else
        EXPECT_NE(drawn, plain) << "a refused badge is left out";
}

void SetField(Bytes &b, size_t offset, uint32_t value)
{
    std::memcpy(b.data() + offset, &value, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Storage, StoredBadgeTest,
    ::testing::Values(
        StoredBadgeCase{"Rle8", 8, CodedBadge, nullptr, PP_RESULT_OK},
        StoredBadgeCase{"Rle4", 4, CodedBadge, nullptr, PP_RESULT_OK},
        StoredBadgeCase{"Bitfields16", 16, MaskedBadge, nullptr, PP_RESULT_OK},
        StoredBadgeCase{"Bitfields32", 32, MaskedBadge, nullptr, PP_RESULT_OK},
        StoredBadgeCase{"Rle8WithoutImageSize", 8, CodedBadge, [](Bytes &b) { SetField(b, 20, 0); },
                        PP_RESULT_LOAD_FAILED},
        StoredBadgeCase{"Rle4ImageSizePastTheResource", 4, CodedBadge,
                        [](Bytes &b) { SetField(b, 20, static_cast<uint32_t>(b.size() - 103)); },
                        PP_RESULT_LOAD_FAILED},
        StoredBadgeCase{"Rle8CodedRowsCut", 8, CodedBadge, [](Bytes &b) { b.pop_back(); },
                        PP_RESULT_LOAD_FAILED},
        StoredBadgeCase{"Bitfields16RowsCut", 16, MaskedBadge, [](Bytes &b) { b.pop_back(); },
                        PP_RESULT_LOAD_FAILED},
        StoredBadgeCase{"Bitfields24", 24, MaskedBadge, nullptr, PP_RESULT_LOAD_FAILED},
        StoredBadgeCase{"OtherCompression", 8, CodedBadge, [](Bytes &b) { SetField(b, 16, 4); },
                        PP_RESULT_LOAD_FAILED}),
    [](const auto &info) { return info.param.name; });

} // namespace
