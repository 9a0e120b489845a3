// The resource-only DLL writer: reproducible output that reads back to the
// same resources and keeps the layout rules a Windows loader checks.
#include "pe_fixture.h"

#include <gtest/gtest.h>

namespace {

using pptest::Get16;
using pptest::Get32;
using pptest::ResourceMap;

struct WriterCase {
    const char *name;
    ResourceMap resources;
};

std::ostream &operator<<(std::ostream &out, const WriterCase &c)
{
    return out << c.name;
}

std::vector<uint8_t> Ramp(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i ^ (i >> 8));
    return bytes;
}

const WriterCase kWriterCases[] = {
    {"Empty", {}},
    {"OneByte", {{999, {1}}}},
    {"EmptyResource", {{3, {}}}},
    {"Mixed", {{65535, Ramp(17)}, {0, Ramp(1)}, {999, Ramp(513)}, {29891, Ramp(4096)}}},
    // Spills over into several file and section alignment units.
    {"Large", {{1, Ramp(70000)}, {2, Ramp(0x1000)}, {3, Ramp(0x1FF)}}},
};

class WriterTest : public ::testing::TestWithParam<std::tuple<WriterCase, bool>> {};

TEST_P(WriterTest, SameInputSameBytes)
{
    const auto &[c, pe32plus] = GetParam();
    EXPECT_EQ(pptool::WriteResourceDll(c.resources, pe32plus),
              pptool::WriteResourceDll(c.resources, pe32plus));
}

TEST_P(WriterTest, ReadsBackToTheSameResources)
{
    const auto &[c, pe32plus] = GetParam();
    pptest::ModuleCloser module(pptest::FromImage(pptool::WriteResourceDll(c.resources, pe32plus)));
    ASSERT_NE(module.module, nullptr);
    EXPECT_EQ(pptest::Served(module.module), c.resources);
}

TEST_P(WriterTest, KeepsTheLoaderLayoutRules)
{
    const auto &[c, pe32plus] = GetParam();
    const std::vector<uint8_t> image = pptool::WriteResourceDll(c.resources, pe32plus);
    const auto l = pptest::LayoutOf(image);
    const uint32_t fileAlign = Get32(image, l.optional + 36);
    const uint32_t sectionAlign = Get32(image, l.optional + 32);
    const uint32_t headersSize = Get32(image, l.optional + 60);
    const uint32_t imageSize = Get32(image, l.optional + 56);
    const size_t section = l.sectionTable;
    const uint32_t virtualSize = Get32(image, section + 8);
    const uint32_t address = Get32(image, section + 12);
    const uint32_t rawSize = Get32(image, section + 16);
    const uint32_t rawAt = Get32(image, section + 20);

    EXPECT_EQ(Get16(image, l.coff), pe32plus ? 0x8664u : 0x14Cu);
    EXPECT_EQ(Get16(image, l.optional), pe32plus ? 0x20Bu : 0x10Bu);
    EXPECT_EQ(Get16(image, l.coff + 18) & 0x2002u, 0x2002u); // DLL, executable image
    EXPECT_EQ(Get16(image, l.coff + 2), 1u);
    EXPECT_EQ(Get32(image, l.optional + 16), 0u); // no entry point
    EXPECT_EQ(fileAlign, 0x200u);
    EXPECT_EQ(sectionAlign, 0x1000u);
    EXPECT_GE(headersSize, l.sectionTable + 40);
    EXPECT_EQ(headersSize % fileAlign, 0u);
    EXPECT_EQ(rawAt % fileAlign, 0u);
    EXPECT_EQ(rawSize % fileAlign, 0u);
    EXPECT_EQ(address % sectionAlign, 0u);
    EXPECT_GE(address, headersSize);
    EXPECT_EQ(imageSize % sectionAlign, 0u);
    EXPECT_GE(uint64_t{imageSize}, uint64_t{address} + virtualSize);
    EXPECT_LE(virtualSize, rawSize);
    EXPECT_EQ(uint64_t{rawAt} + rawSize, image.size());
    // The resource directory entry covers the section's contents.
    EXPECT_EQ(Get32(image, l.resourceEntry), address);
    EXPECT_EQ(Get32(image, l.resourceEntry + 4), virtualSize);
    // Import, export and relocation entries are empty.
    for (size_t entry : {size_t{0}, size_t{1}, size_t{5}})
        EXPECT_EQ(Get32(image, l.resourceEntry - 16 + entry * 8), 0u) << "directory " << entry;
}

INSTANTIATE_TEST_SUITE_P(Inputs, WriterTest,
                         ::testing::Combine(::testing::ValuesIn(kWriterCases), ::testing::Bool()),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Pe32Plus" : "_Pe32");
                         });

TEST(Writer, DataBlocksAreAlignedAndIdsAscend)
{
    const ResourceMap resources{{300, Ramp(3)}, {20, Ramp(5)}, {1, Ramp(1)}};
    const std::vector<uint8_t> section = pptool::BuildResourceSection(resources);
    // Root -> RT_RCDATA -> id directory with the ids in ascending order.
    ASSERT_EQ(Get16(section, 14), 1u);
    EXPECT_EQ(Get32(section, 16), 10u);
    const uint32_t names = Get32(section, 20) & 0x7FFFFFFF;
    ASSERT_EQ(Get16(section, names + 14), 3u);
    uint32_t previous = 0;
    for (uint32_t i = 0; i < 3; ++i) {
        const uint32_t id = Get32(section, names + 16 + 8 * i);
        EXPECT_GT(id, previous);
        previous = id;
        const uint32_t language = Get32(section, names + 20 + 8 * i) & 0x7FFFFFFF;
        EXPECT_EQ(Get32(section, language + 16), 0x409u);
        const uint32_t entry = Get32(section, language + 20);
        EXPECT_EQ(Get32(section, entry) % 8, 0u);
    }
}

} // namespace
