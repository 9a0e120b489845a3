// The three kinds of module (32- and 64-bit PE images, folders of .bin files)
// serve the same bytes for the same ids through the resource functions.
#include "pe_fixture.h"

#include <gtest/gtest.h>

namespace {

using pptest::ModuleCloser;
using pptest::ResourceMap;

std::vector<uint8_t> Pattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return bytes;
}

// Ids at both ends of the range, the catalogue and badge ids, an empty
// resource and sizes that do not fall on alignment boundaries.
ResourceMap SampleResources()
{
    return ResourceMap{{0, {}},
                       {1, {0x42}},
                       {7, Pattern(3, 1)},
                       {999, Pattern(301, 2)},
                       {29891, Pattern(1029, 3)},
                       {65535, Pattern(8, 4)}};
}

enum class Source { Pe32, Pe32Plus, Directory, OpenedPe, OpenedDirectory };

struct SourceCase {
    const char *name;
    Source source;
};

std::ostream &operator<<(std::ostream &out, const SourceCase &c)
{
    return out << c.name;
}

class ModuleSourceTest : public ::testing::TestWithParam<SourceCase> {
  protected:
    HMODULE Open(const ResourceMap &resources)
    {
        switch (GetParam().source) {
        case Source::Pe32:
            return pptest::FromImage(pptool::WriteResourceDll(resources, false));
        case Source::Pe32Plus:
            return pptest::FromImage(pptool::WriteResourceDll(resources, true));
        case Source::Directory:
        case Source::OpenedDirectory:
            for (const auto &[id, bytes] : resources)
                dir_.Write(std::to_string(id) + ".bin", bytes);
            if (GetParam().source == Source::Directory)
                return ppModuleFromDirectory(dir_.path().c_str());
            return ppOpenModule(dir_.path().c_str());
        case Source::OpenedPe:
            dir_.Write("module.dll", pptool::WriteResourceDll(resources, true));
            return ppOpenModule((dir_.path() / "module.dll").c_str());
        }
        return nullptr;
    }

    pptest::TempDir dir_{"sources"};
};

TEST_P(ModuleSourceTest, ServesEveryResourceByteForByte)
{
    ResourceMap resources = SampleResources();
    ModuleCloser module(Open(resources));
    ASSERT_NE(module.module, nullptr);
    EXPECT_EQ(pptest::Served(module.module), resources);
}

TEST_P(ModuleSourceTest, EmptyResourceStillLocksToAPointer)
{
    ModuleCloser module(Open(SampleResources()));
    ASSERT_NE(module.module, nullptr);
    HRSRC found = FindResourceA(module.module, MAKEINTRESOURCEA(0), RT_RCDATA);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(module.module, found), 0u);
    EXPECT_NE(LockResource(LoadResource(module.module, found)), nullptr);
}

TEST_P(ModuleSourceTest, MissingIdsAndOtherTypesAreNotFound)
{
    ModuleCloser module(Open(SampleResources()));
    ASSERT_NE(module.module, nullptr);
    for (int id : {2, 6, 8, 998, 1000, 29890, 65534})
        EXPECT_EQ(FindResourceA(module.module, MAKEINTRESOURCEA(id), RT_RCDATA), nullptr) << id;
    EXPECT_EQ(FindResourceA(module.module, MAKEINTRESOURCEA(999), MAKEINTRESOURCEA(2)), nullptr);
    EXPECT_EQ(FindResourceA(module.module, "CATALOG", RT_RCDATA), nullptr);
}

TEST_P(ModuleSourceTest, ModuleWithoutResourcesOpensEmpty)
{
    ModuleCloser module(Open({}));
    ASSERT_NE(module.module, nullptr);
    EXPECT_TRUE(module.module->resources.empty());
    EXPECT_EQ(FindResourceA(module.module, MAKEINTRESOURCEA(999), RT_RCDATA), nullptr);
}

INSTANTIATE_TEST_SUITE_P(AllSources, ModuleSourceTest,
                         ::testing::Values(SourceCase{"Pe32", Source::Pe32},
                                           SourceCase{"Pe32Plus", Source::Pe32Plus},
                                           SourceCase{"Directory", Source::Directory},
                                           SourceCase{"OpenedPe", Source::OpenedPe},
                                           SourceCase{"OpenedDirectory", Source::OpenedDirectory}),
                         [](const ::testing::TestParamInfo<SourceCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(DirectoryModule, TakesOnlyCanonicalDecimalBinNames)
{
    pptest::TempDir dir("names");
    const std::vector<uint8_t> one{1};
    for (const char *name : {"0.bin", "5.bin", "65535.bin"})
        dir.Write(name, one);
    // Ignored: out of range, leading zeros, signs, other case or suffix,
    // not digits, no digits at all.
    for (const char *name :
         {"65536.bin", "99999.bin", "123456.bin", "007.bin", "00.bin", "+5.bin", "-1.bin", " 5.bin",
          "5 .bin", "5.BIN", "5.bin.txt", "5.bi", "5", "abc.bin", "0x10.bin", ".bin", "1e3.bin"})
        dir.Write(name, {9, 9});
    // A folder with a resource name is not a resource.
    std::filesystem::create_directory(dir.path() / "6.bin");

    ModuleCloser module(ppModuleFromDirectory(dir.path().c_str()));
    ASSERT_NE(module.module, nullptr);
    EXPECT_EQ(pptest::Served(module.module), (ResourceMap{{0, one}, {5, one}, {65535, one}}));
}

TEST(DirectoryModule, UnreadablePathsGiveNull)
{
    pptest::TempDir dir("unreadable");
    dir.Write("file.bin", {1, 2});
    EXPECT_EQ(ppModuleFromDirectory(nullptr), nullptr);
    EXPECT_EQ(ppModuleFromDirectory((dir.path() / "absent").c_str()), nullptr);
    EXPECT_EQ(ppModuleFromDirectory((dir.path() / "file.bin").c_str()), nullptr);
}

TEST(OpenModule, RefusesWhatIsNeitherFolderNorImage)
{
    pptest::TempDir dir("open");
    dir.Write("notes.txt", {'h', 'e', 'l', 'l', 'o'});
    dir.Write("empty.dll", {});
    EXPECT_EQ(ppOpenModule(nullptr), nullptr);
    EXPECT_EQ(ppOpenModule(""), nullptr);
    EXPECT_EQ(ppOpenModule((dir.path() / "absent.dll").c_str()), nullptr);
    EXPECT_EQ(ppOpenModule((dir.path() / "notes.txt").c_str()), nullptr);
    EXPECT_EQ(ppOpenModule((dir.path() / "empty.dll").c_str()), nullptr);
    EXPECT_EQ(ppOpenModule("/dev/null"), nullptr);
    ppCloseModule(nullptr); // ignored
}

} // namespace
