// Draw-order sort: unsigned keys, stable, whole records moved.
#include "layout/layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Records tagged by templateIndex (their original slot) and a distinct x,
// so a record moved in pieces would show.
std::vector<PlacedPiece> WithKeys(const std::vector<uint16_t> &keys)
{
    std::vector<PlacedPiece> pieces(keys.size());
    std::memset(pieces.data(), 0, pieces.size() * sizeof(PlacedPiece));
    for (size_t i = 0; i < keys.size(); ++i) {
        pieces[i].drawOrder = keys[i];
        pieces[i].templateIndex = static_cast<int16_t>(i);
        pieces[i].x = static_cast<int16_t>(100 + i);
        pieces[i].mapTo[15] = static_cast<uint8_t>(200 + i);
    }
    return pieces;
}

struct SortCase {
    const char *name;
    std::vector<uint16_t> keys;
    std::vector<int16_t> order; // original slots, in the order expected
};

class DrawOrderSort : public ::testing::TestWithParam<SortCase> {};

TEST_P(DrawOrderSort, OrdersWholeRecords)
{
    const SortCase &c = GetParam();
    std::vector<PlacedPiece> pieces = WithKeys(c.keys);
    SortByDrawOrder(static_cast<int32_t>(pieces.size()), pieces.data());
    std::vector<int16_t> order;
    for (const PlacedPiece &p : pieces) {
        order.push_back(p.templateIndex);
        EXPECT_EQ(p.x, 100 + p.templateIndex);
        EXPECT_EQ(p.mapTo[15], 200 + p.templateIndex);
        EXPECT_EQ(p.drawOrder, c.keys[static_cast<size_t>(p.templateIndex)]);
    }
    EXPECT_EQ(order, c.order);
}

INSTANTIATE_TEST_SUITE_P(Layout, DrawOrderSort,
                         ::testing::Values(SortCase{"ThreeKeys", {3, 1, 2}, {1, 2, 0}},
                                           SortCase{"KeysAreUnsigned", {0x8000, 0x7FFF}, {1, 0}},
                                           SortCase{
                                               "TopKeyLast", {0xFFFF, 0, 0x8000, 1}, {1, 3, 2, 0}},
                                           SortCase{"EqualKeysKeepOrderWhileOthersPass",
                                                    {5, 2, 9, 2, 0, 2},
                                                    {4, 1, 3, 5, 0, 2}},
                                           SortCase{"AllEqual", {4, 4, 4}, {0, 1, 2}},
                                           SortCase{"Reversed", {5, 4, 3, 2, 1}, {4, 3, 2, 1, 0}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DrawOrderSort, ShortOrSortedArraysAreLeftUntouched)
{
    struct {
        std::vector<uint16_t> keys;
        int32_t count;
    } const cases[] = {{{9, 1}, 0}, {{9, 1}, 1}, {{1, 2, 2, 0xFFFF}, 4}, {{3, 1}, -1}};
    for (const auto &c : cases) {
        std::vector<PlacedPiece> pieces = WithKeys(c.keys);
        std::vector<PlacedPiece> before = pieces;
        SortByDrawOrder(c.count, pieces.data());
        EXPECT_EQ(std::memcmp(pieces.data(), before.data(), pieces.size() * sizeof(PlacedPiece)), 0)
            << "count " << c.count;
    }
}

TEST(DrawOrderSort, OnlyTheFirstCountRecordsTakePart)
{
    std::vector<PlacedPiece> pieces = WithKeys({3, 2, 1});
    SortByDrawOrder(2, pieces.data());
    EXPECT_EQ(pieces[0].templateIndex, 1);
    EXPECT_EQ(pieces[1].templateIndex, 0);
    EXPECT_EQ(pieces[2].templateIndex, 2);
}

// Many keys, few distinct: the order a pass of exchanges on strictly greater
// keys gives.
TEST(DrawOrderSort, MatchesRepeatedExchangePasses)
{
    std::mt19937 rng(7);
    std::vector<uint16_t> keys(500);
    for (uint16_t &k : keys)
        k = static_cast<uint16_t>(rng() % 3 == 0 ? 0xFFF0 + rng() % 16 : rng() % 40);
    std::vector<PlacedPiece> pieces = WithKeys(keys), expected = pieces;
    for (bool exchanged = true; exchanged;) {
        exchanged = false;
        for (size_t i = 0; i + 1 < expected.size(); ++i)
            if (expected[i].drawOrder > expected[i + 1].drawOrder) {
                std::swap(expected[i], expected[i + 1]);
                exchanged = true;
            }
    }
    SortByDrawOrder(static_cast<int32_t>(pieces.size()), pieces.data());
    EXPECT_EQ(std::memcmp(pieces.data(), expected.data(), pieces.size() * sizeof(PlacedPiece)), 0);
}

} // namespace
