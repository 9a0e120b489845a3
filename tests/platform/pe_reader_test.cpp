// PE images as untrusted input: trees the writer never makes are read the
// way the loader reads them, and every kind of damage gives null, never a
// crash, a hang or bytes from outside the image.
#include "pe_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using pptest::Get16;
using pptest::Get32;
using pptest::ModuleCloser;
using pptest::Put16;
using pptest::Put32;
using pptest::ResourceMap;
using pptest::ResourceTree;

constexpr uint32_t kRcData = 10;
const std::vector<uint8_t> kPayload{0xDE, 0xAD, 0xBE, 0xEF, 0x01};

// The smallest complete tree: RT_RCDATA -> id 5 -> language 0x409 -> data.
struct StandardTree {
    ResourceTree tree;
    uint32_t root, names, languages, entry;

    StandardTree()
    {
        root = tree.Dir(0, 1);
        names = tree.Dir(0, 1);
        languages = tree.Dir(0, 1);
        entry = tree.Data(kPayload);
        tree.Entry(root, 0, kRcData, ResourceTree::kSubdir | names);
        tree.Entry(names, 0, 5, ResourceTree::kSubdir | languages);
        tree.Entry(languages, 0, 0x409, entry);
    }
};

// ---- Trees the writer never produces, read as the loader reads them.

struct TreeCase {
    const char *name;
    std::function<void(ResourceTree &)> build;
    ResourceMap expected;
};

std::ostream &operator<<(std::ostream &out, const TreeCase &c)
{
    return out << c.name;
}

class HandBuiltTreeTest : public ::testing::TestWithParam<std::tuple<TreeCase, bool>> {};

TEST_P(HandBuiltTreeTest, ServesOnlyIntegerIdsOfRcData)
{
    const auto &[c, pe32plus] = GetParam();
    ResourceTree tree;
    c.build(tree);
    ModuleCloser module(pptest::FromImage(tree.Image(pe32plus)));
    ASSERT_NE(module.module, nullptr);
    EXPECT_EQ(pptest::Served(module.module), c.expected);
}

const TreeCase kTreeCases[] = {
    {"OtherTypesAndNamedTypesIgnored",
     [](ResourceTree &t) {
         uint32_t root = t.Dir(1, 2);
         uint32_t decoy = t.Dir(0, 1);
         uint32_t decoyLanguage = t.Dir(0, 1);
         t.Entry(decoy, 0, 5, ResourceTree::kSubdir | decoyLanguage);
         t.Entry(decoyLanguage, 0, 0x409, t.Data({0xBB}));
         uint32_t names = t.Dir(0, 1);
         uint32_t language = t.Dir(0, 1);
         t.Entry(names, 0, 5, ResourceTree::kSubdir | language);
         t.Entry(language, 0, 0x409, t.Data({0xAA}));
         // A named type whose name string would spell nothing useful,
         // RT_BITMAP, then RT_RCDATA.
         t.Entry(root, 0, ResourceTree::kNamed | 0, ResourceTree::kSubdir | decoy);
         t.Entry(root, 1, 2, ResourceTree::kSubdir | decoy);
         t.Entry(root, 2, kRcData, ResourceTree::kSubdir | names);
     },
     {{5, {0xAA}}}},
    {"NamedIdsAndWideIdsIgnored",
     [](ResourceTree &t) {
         uint32_t root = t.Dir(0, 1);
         uint32_t names = t.Dir(1, 2);
         uint32_t language = t.Dir(0, 1);
         t.Entry(root, 0, kRcData, ResourceTree::kSubdir | names);
         t.Entry(language, 0, 0x409, t.Data({0xCC}));
         t.Entry(names, 0, ResourceTree::kNamed | 0, ResourceTree::kSubdir | language);
         t.Entry(names, 1, 0x10005, ResourceTree::kSubdir | language); // not a 16-bit id
         t.Entry(names, 2, 6, ResourceTree::kSubdir | language);
     },
     {{6, {0xCC}}}},
    {"FirstLanguageServed",
     [](ResourceTree &t) {
         uint32_t root = t.Dir(0, 1);
         uint32_t names = t.Dir(0, 1);
         uint32_t languages = t.Dir(0, 3);
         t.Entry(root, 0, kRcData, ResourceTree::kSubdir | names);
         t.Entry(names, 0, 9, ResourceTree::kSubdir | languages);
         t.Entry(languages, 0, 0x407, t.Data({1, 1}));
         t.Entry(languages, 1, 0x409, t.Data({2, 2}));
         t.Entry(languages, 2, 0x40C, t.Data({3, 3}));
     },
     {{9, {1, 1}}}},
    {"RepeatedIdFirstStands",
     [](ResourceTree &t) {
         uint32_t root = t.Dir(0, 1);
         uint32_t names = t.Dir(0, 2);
         uint32_t first = t.Dir(0, 1);
         uint32_t second = t.Dir(0, 1);
         t.Entry(root, 0, kRcData, ResourceTree::kSubdir | names);
         t.Entry(names, 0, 3, ResourceTree::kSubdir | first);
         t.Entry(names, 1, 3, ResourceTree::kSubdir | second);
         t.Entry(first, 0, 0x409, t.Data({0x11}));
         t.Entry(second, 0, 0x409, t.Data({0x22}));
     },
     {{3, {0x11}}}},
    {"IdWithoutLanguagesAbsent",
     [](ResourceTree &t) {
         uint32_t root = t.Dir(0, 1);
         uint32_t names = t.Dir(0, 2);
         uint32_t none = t.Dir(0, 0);
         uint32_t language = t.Dir(0, 1);
         t.Entry(root, 0, kRcData, ResourceTree::kSubdir | names);
         t.Entry(names, 0, 1, ResourceTree::kSubdir | none);
         t.Entry(names, 1, 2, ResourceTree::kSubdir | language);
         t.Entry(language, 0, 0x409, t.Data({0x33}));
     },
     {{2, {0x33}}}},
    {"SharedSubtreesAreFine",
     [](ResourceTree &t) {
         // Two ids share one language directory: a DAG, not a cycle.
         uint32_t root = t.Dir(0, 1);
         uint32_t names = t.Dir(0, 2);
         uint32_t language = t.Dir(0, 1);
         t.Entry(root, 0, kRcData, ResourceTree::kSubdir | names);
         t.Entry(names, 0, 1, ResourceTree::kSubdir | language);
         t.Entry(names, 1, 2, ResourceTree::kSubdir | language);
         t.Entry(language, 0, 0x409, t.Data({0x44}));
     },
     {{1, {0x44}}, {2, {0x44}}}},
    {"NoRcDataType",
     [](ResourceTree &t) {
         uint32_t root = t.Dir(0, 1);
         uint32_t names = t.Dir(0, 0);
         t.Entry(root, 0, 3, ResourceTree::kSubdir | names);
     },
     {}},
};

INSTANTIATE_TEST_SUITE_P(Trees, HandBuiltTreeTest,
                         ::testing::Combine(::testing::ValuesIn(kTreeCases), ::testing::Bool()),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Pe32Plus" : "_Pe32");
                         });

// ---- Damage to the headers or the tree.

struct Damage {
    const char *name;
    // Patches the image (whose tree is a StandardTree, offsets in `tree`).
    std::function<void(std::vector<uint8_t> &, const StandardTree &)> apply;
};

std::ostream &operator<<(std::ostream &out, const Damage &d)
{
    return out << d.name;
}

// File offset of a tree offset in a wrapped StandardTree.
size_t InTree(const std::vector<uint8_t> &image, uint32_t offset)
{
    return Get32(image, pptest::LayoutOf(image).sectionTable + 20) + offset;
}

void SetSectionCount(std::vector<uint8_t> &image, uint32_t count)
{
    Put16(image, pptest::LayoutOf(image).coff + 2, count);
}

const Damage kDamages[] = {
    {"NoMzSignature", [](auto &image, auto &) { image[1] = 'Y'; }},
    {"PeOffsetAtEnd",
     [](auto &image, auto &) { Put32(image, 0x3C, static_cast<uint32_t>(image.size())); }},
    {"PeOffsetHuge", [](auto &image, auto &) { Put32(image, 0x3C, 0xFFFFFFFC); }},
    {"PeHeaderCutByEnd",
     [](auto &image, auto &) { Put32(image, 0x3C, static_cast<uint32_t>(image.size() - 12)); }},
    {"NoPeSignature", [](auto &image, auto &) { image[pptest::LayoutOf(image).peHeader] = 'N'; }},
    {"UnknownOptionalMagic",
     [](auto &image, auto &) { Put16(image, pptest::LayoutOf(image).optional, 0x107); }},
    {"OptionalHeaderPastEnd",
     [](auto &image, auto &) { Put16(image, pptest::LayoutOf(image).coff + 16, 0xFFFF); }},
    {"OptionalHeaderTooShortForCount",
     [](auto &image, auto &) { Put16(image, pptest::LayoutOf(image).coff + 16, 40); }},
    {"OptionalHeaderTooShortForResourceEntry",
     [](auto &image, auto &) {
         auto l = pptest::LayoutOf(image);
         Put16(image, l.coff + 16, static_cast<uint32_t>(l.resourceEntry - l.optional));
     }},
    {"SectionTablePastEnd", [](auto &image, auto &) { SetSectionCount(image, 0xFFFF); }},
    {"NoSections", [](auto &image, auto &) { SetSectionCount(image, 0); }},
    {"ResourceRvaOutsideEverySection",
     [](auto &image, auto &) { Put32(image, pptest::LayoutOf(image).resourceEntry, 0x500000); }},
    {"ResourceRvaInHeaders",
     [](auto &image, auto &) { Put32(image, pptest::LayoutOf(image).resourceEntry, 0x10); }},
    {"ResourceRvaWraps",
     [](auto &image, auto &) { Put32(image, pptest::LayoutOf(image).resourceEntry, 0xFFFFFFF0); }},
    {"SectionRawDataPastEnd",
     [](auto &image, auto &) {
         Put32(image, pptest::LayoutOf(image).sectionTable + 20, 0xFFFFFE00);
     }},
    {"SectionsOverlap",
     [](auto &image, auto &) {
         // A second section header starting inside the first.
         size_t second = pptest::LayoutOf(image).sectionTable + 40;
         std::copy_n(image.begin() + static_cast<ptrdiff_t>(second - 40), 40,
                     image.begin() + static_cast<ptrdiff_t>(second));
         Put32(image, second + 12, pptool::kResourceSectionRva + 8);
         SetSectionCount(image, 2);
     }},
    {"HugeTypeCount",
     [](auto &image, auto &t) {
         Put16(image, InTree(image, t.root) + 12, 0xFFFF);
         Put16(image, InTree(image, t.root) + 14, 0xFFFF);
     }},
    {"HugeIdCount",
     [](auto &image, auto &t) { Put16(image, InTree(image, t.names) + 14, 0xFFFF); }},
    {"HugeLanguageCount",
     [](auto &image, auto &t) { Put16(image, InTree(image, t.languages) + 12, 0xFFFF); }},
    {"TypeEntryPointsOutside",
     [](auto &image, auto &t) {
         Put32(image, InTree(image, t.root) + 20, ResourceTree::kSubdir | 0x7FFFFFF0);
     }},
    {"TypeEntryIsData",
     [](auto &image, auto &t) { Put32(image, InTree(image, t.root) + 20, t.entry); }},
    {"IdEntryPointsOutside",
     [](auto &image, auto &t) {
         Put32(image, InTree(image, t.names) + 20, ResourceTree::kSubdir | 0x10000);
     }},
    {"LanguageEntryPointsOutside",
     [](auto &image, auto &t) { Put32(image, InTree(image, t.languages) + 20, 0x7FFFFFFF); }},
    {"LanguageEntryIsDirectory",
     [](auto &image, auto &t) {
         Put32(image, InTree(image, t.languages) + 20, ResourceTree::kSubdir | t.languages);
     }},
    {"TypeEntryPointsAtRoot",
     [](auto &image, auto &t) {
         Put32(image, InTree(image, t.root) + 20, ResourceTree::kSubdir | t.root);
     }},
    {"IdEntryPointsAtItsOwnDirectory",
     [](auto &image, auto &t) {
         Put32(image, InTree(image, t.names) + 20, ResourceTree::kSubdir | t.names);
     }},
    {"DataPastEnd",
     [](auto &image, auto &t) {
         Put32(image, InTree(image, t.entry), static_cast<uint32_t>(image.size()) + 0x1000);
     }},
    {"DataSizePastSection",
     [](auto &image, auto &t) { Put32(image, InTree(image, t.entry) + 4, 0x1000); }},
    {"DataSizeHuge",
     [](auto &image, auto &t) { Put32(image, InTree(image, t.entry) + 4, 0xFFFFFFFF); }},
    {"DataAddressWraps",
     [](auto &image, auto &t) {
         Put32(image, InTree(image, t.entry), 0xFFFFFFF0);
         Put32(image, InTree(image, t.entry) + 4, 0x20);
     }},
    {"DataInHeaders", [](auto &image, auto &t) { Put32(image, InTree(image, t.entry), 0x40); }},
};

class DamagedImageTest : public ::testing::TestWithParam<std::tuple<Damage, bool>> {};

TEST_P(DamagedImageTest, GivesNull)
{
    const auto &[damage, pe32plus] = GetParam();
    StandardTree tree;
    std::vector<uint8_t> image = tree.tree.Image(pe32plus);
    {
        // The undamaged image is fine: the damage alone makes it fail.
        ModuleCloser module(pptest::FromImage(image));
        ASSERT_EQ(pptest::Served(module.module), (ResourceMap{{5, kPayload}}));
    }
    damage.apply(image, tree);
    EXPECT_EQ(pptest::FromImage(image), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedImageTest,
                         ::testing::Combine(::testing::ValuesIn(kDamages), ::testing::Bool()),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Pe32Plus" : "_Pe32");
                         });

// ---- Truncation and images that stay readable.

class TruncatedImageTest : public ::testing::TestWithParam<bool> {};

TEST_P(TruncatedImageTest, EveryLengthEitherFailsOrServesTheOriginal)
{
    const ResourceMap resources{
        {1, {1, 2, 3}}, {999, std::vector<uint8_t>(200, 0x5A)}, {4000, {9}}};
    const std::vector<uint8_t> full = pptool::WriteResourceDll(resources, GetParam());
    const size_t sectionAt = Get32(full, pptest::LayoutOf(full).sectionTable + 20);
    // The image reads once the section's last byte is there; the padding
    // behind it is not needed.
    const size_t needed = sectionAt + pptool::BuildResourceSection(resources).size();
    for (size_t length = 0; length <= full.size(); ++length) {
        // An exact-size copy, so a read past the end is a read past the block.
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(length));
        ModuleCloser module(pptest::FromImage(cut));
        if (length < needed) {
            EXPECT_EQ(module.module, nullptr) << "length " << length;
        } else {
            ASSERT_NE(module.module, nullptr) << "length " << length;
            EXPECT_EQ(pptest::Served(module.module), resources) << "length " << length;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, TruncatedImageTest, ::testing::Bool());

TEST(PeImage, NullAndEmptyInputs)
{
    EXPECT_EQ(ppModuleFromPeImage(nullptr, 0), nullptr);
    EXPECT_EQ(ppModuleFromPeImage(nullptr, 100), nullptr);
    const uint8_t mz[] = {'M', 'Z'};
    EXPECT_EQ(ppModuleFromPeImage(mz, sizeof mz), nullptr);
}

TEST(PeImage, NoResourceDirectoryIsAnEmptyModule)
{
    for (bool pe32plus : {false, true}) {
        std::vector<uint8_t> image = StandardTree().tree.Image(pe32plus);
        auto l = pptest::LayoutOf(image);
        std::vector<uint8_t> noEntry = image;
        Put32(noEntry, l.resourceEntry, 0);
        std::vector<uint8_t> fewDirectories = image;
        Put32(fewDirectories, l.directoryCount, 2);
        for (const auto &variant : {noEntry, fewDirectories}) {
            ModuleCloser module(pptest::FromImage(variant));
            ASSERT_NE(module.module, nullptr);
            EXPECT_TRUE(module.module->resources.empty());
        }
    }
}

TEST(PeImage, DataMayLiveInAnotherSection)
{
    // The tree in .rsrc, the bytes in a second section further up: the data
    // address goes through the section table, not through the tree.
    StandardTree tree;
    std::vector<uint8_t> image = tree.tree.Image(false);
    auto l = pptest::LayoutOf(image);
    const uint32_t fileAt = static_cast<uint32_t>(image.size());
    for (uint32_t i = 0; i < 0x200; ++i)
        image.push_back(static_cast<uint8_t>(i * 3));
    const size_t second = l.sectionTable + 40;
    Put32(image, second + 8, 0x200);   // virtual size
    Put32(image, second + 12, 0x3000); // address
    Put32(image, second + 16, 0x200);  // raw size
    Put32(image, second + 20, fileAt); // raw data
    SetSectionCount(image, 2);
    Put32(image, InTree(image, tree.entry), 0x3000 + 0x10);
    Put32(image, InTree(image, tree.entry) + 4, 4);

    ModuleCloser module(pptest::FromImage(image));
    ASSERT_NE(module.module, nullptr);
    EXPECT_EQ(pptest::Served(module.module), (ResourceMap{{5, {0x30, 0x33, 0x36, 0x39}}}));
}

TEST(PeImage, ModuleKeepsItsOwnCopy)
{
    std::vector<uint8_t> image = pptool::WriteResourceDll({{2, {7, 7, 7}}}, true);
    ModuleCloser module(pptest::FromImage(image));
    std::fill(image.begin(), image.end(), 0);
    image.clear();
    image.shrink_to_fit();
    EXPECT_EQ(pptest::Served(module.module), (ResourceMap{{2, {7, 7, 7}}}));
}

TEST(PeImage, RandomDamageNeverEscapesTheImage)
{
    // Seeded corruption of the headers and the tree: whatever still parses
    // must point only into the module's own copy of the image.
    StandardTree tree;
    const std::vector<uint8_t> original = tree.tree.Image(true);
    const size_t damageable = InTree(original, tree.entry) + 16;
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    int parsed = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> image = original;
        const int flips = 1 + static_cast<int>(next() % 4);
        for (int i = 0; i < flips; ++i)
            image[next() % damageable] = static_cast<uint8_t>(next());
        ModuleCloser module(pptest::FromImage(image));
        if (module.module == nullptr)
            continue;
        ++parsed;
        const uint8_t *begin = module.module->image.data();
        const uint8_t *end = begin + module.module->image.size();
        for (const auto &[id, resource] : module.module->resources) {
            if (resource.size == 0)
                continue;
            EXPECT_TRUE(resource.data >= begin && resource.data <= end &&
                        resource.size <= static_cast<size_t>(end - resource.data))
                << "round " << round << " id " << id;
        }
    }
    // Most single-byte damage lands in fields that do not matter.
    EXPECT_GT(parsed, 0);
}

} // namespace
