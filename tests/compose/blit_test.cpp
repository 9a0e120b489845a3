#include "compose/blit.h"
#include "support/builders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Pairs = std::vector<std::pair<uint8_t, uint8_t>>;

struct BlitCase {
    std::string name;
    int16_t bitsPerPixel;
    int32_t pictureWidth;
    int32_t pictureHeight;
    int32_t pictureStride;
    Bytes picture; // bytes before the blit
    int32_t sourceStride;
    int32_t sourceWidth;
    int32_t sourceHeight;
    Bytes source;
    int16_t x;
    int16_t y;
    uint8_t key;
    Pairs pairs; // the substitution list; an equal pair is appended when fewer than 16
    uint16_t flags;
    uint8_t transparentIndex;
    Bytes expected; // picture bytes after the blit
};

PlacedPiece MakePiece(const BlitCase &c)
{
    PlacedPiece piece;
    std::memset(&piece, 0, sizeof piece);
    piece.x = c.x;
    piece.y = c.y;
    piece.flags = c.flags;
    piece.transparentIndex = c.transparentIndex;
    for (size_t i = 0; i < c.pairs.size(); ++i) {
        piece.mapFrom[i] = c.pairs[i].first;
        piece.mapTo[i] = c.pairs[i].second;
    }
    for (size_t i = c.pairs.size(); i < 16; ++i) {
        piece.mapFrom[i] = 0xEE;
        piece.mapTo[i] = 0xEE;
    }
    return piece;
}

class BlitPieceTest : public ::testing::TestWithParam<BlitCase> {};

TEST_P(BlitPieceTest, WritesExactlyTheExpectedBytes)
{
    const BlitCase &c = GetParam();
    CatalogHeader header = pptest::DefaultHeader();
    header.bitsPerPixel = c.bitsPerPixel;
    header.keyIndex = c.key;
    PlacedPiece piece = MakePiece(c);
    // Guard bytes on both sides catch writes outside the picture.
    Bytes buffer(c.picture.size() + 32, 0xAB);
    std::memcpy(buffer.data() + 16, c.picture.data(), c.picture.size());
    Bytes source = c.source;
    BlitPiece(buffer.data() + 16, c.pictureWidth, c.pictureHeight, c.pictureStride, c.sourceStride,
              c.sourceWidth, c.sourceHeight, source.data(), &piece, &header, c.key);
    Bytes picture(buffer.begin() + 16, buffer.end() - 16);
    EXPECT_EQ(picture, c.expected);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(buffer[i], 0xAB) << "byte before the picture at " << i;
        EXPECT_EQ(buffer[buffer.size() - 1 - i], 0xAB) << "byte after the picture";
    }
    EXPECT_EQ(source, c.source) << "the source is only read";
}

const Pairs kSixteenPairs = [] {
    Pairs p;
    for (uint8_t i = 0; i < 16; ++i)
        p.push_back({static_cast<uint8_t>(20 + i), static_cast<uint8_t>(40 + i)});
    return p;
}();

std::vector<BlitCase> EightBitCases()
{
    return {
        // Only the pairs before the first equal one count: 5 -> 7 is not used.
        {"KeyAndListStopAtEqualPair",
         8,
         4,
         1,
         4,
         {10, 10, 10, 10},
         4,
         4,
         1,
         {255, 3, 5, 4},
         0,
         0,
         255,
         {{3, 9}, {4, 4}, {5, 7}},
         0,
         0,
         {10, 9, 5, 4}},
        {"TransparentIndexKeepsPicture",
         8,
         2,
         1,
         4,
         {10, 10, 0, 0},
         4,
         2,
         1,
         {3, 6},
         0,
         0,
         255,
         {{3, 9}},
         PIECE_TRANSPARENT,
         9,
         {10, 6, 0, 0}},
        {"TransparentIndexUnusedWithoutFlag",
         8,
         2,
         1,
         4,
         {10, 10, 0, 0},
         4,
         2,
         1,
         {3, 6},
         0,
         0,
         255,
         {{3, 9}},
         0,
         9,
         {9, 6, 0, 0}},
        // 256 never matches a byte, so without the flag no mapTo keeps the picture.
        {"MapToZeroIsAValueNotTransparent",
         8,
         1,
         1,
         4,
         {10, 0, 0, 0},
         4,
         1,
         1,
         {3},
         0,
         0,
         255,
         {{3, 0}},
         0,
         0,
         {0, 0, 0, 0}},
        {"KeyIsNeverSubstituted",
         8,
         2,
         1,
         4,
         {10, 10, 0, 0},
         4,
         2,
         1,
         {7, 8},
         0,
         0,
         7,
         {{7, 1}, {8, 2}},
         0,
         0,
         {10, 2, 0, 0}},
        {"FirstMatchingPairWins",
         8,
         1,
         1,
         4,
         {10, 0, 0, 0},
         4,
         1,
         1,
         {3},
         0,
         0,
         255,
         {{3, 9}, {3, 8}},
         0,
         0,
         {9, 0, 0, 0}},
        {"SixteenUnequalPairsAllApply",
         8,
         3,
         1,
         4,
         {1, 1, 1, 0},
         4,
         3,
         1,
         {20, 35, 36},
         0,
         0,
         255,
         kSixteenPairs,
         0,
         0,
         {40, 55, 36, 0}},
        // Row 0 of the source lands on picture row y, row 1 on y + 1.
        {"RowsInMemoryOrderAtXY",
         8,
         4,
         3,
         4,
         Bytes(12, 0),
         4,
         2,
         2,
         {1, 2, 0, 0, 3, 4, 0, 0},
         1,
         1,
         255,
         {},
         0,
         0,
         {0, 0, 0, 0, 0, 1, 2, 0, 0, 3, 4, 0}},
        {"ZeroWidthWritesNothing",
         8,
         2,
         1,
         4,
         {5, 5, 0, 0},
         4,
         0,
         1,
         {1, 1},
         0,
         0,
         255,
         {},
         0,
         0,
         {5, 5, 0, 0}},
        // Clipping: the part outside the picture is dropped, no row wraps.
        {"ClippedAtLeftEdge",
         8,
         4,
         2,
         4,
         Bytes(8, 0),
         4,
         3,
         1,
         {1, 2, 3, 0},
         -1,
         1,
         255,
         {},
         0,
         0,
         {0, 0, 0, 0, 2, 3, 0, 0}},
        {"ClippedAtRightEdgeDoesNotWrap",
         8,
         3,
         2,
         4,
         Bytes(8, 0),
         4,
         3,
         1,
         {1, 2, 3, 0},
         2,
         0,
         255,
         {},
         0,
         0,
         {0, 0, 1, 0, 0, 0, 0, 0}},
        {"ClippedAtTop",
         8,
         2,
         2,
         4,
         Bytes(8, 0),
         4,
         2,
         2,
         {1, 2, 0, 0, 3, 4, 0, 0},
         0,
         1,
         255,
         {},
         0,
         0,
         {0, 0, 0, 0, 1, 2, 0, 0}},
        {"ClippedBelowBottom",
         8,
         2,
         2,
         4,
         Bytes(8, 0),
         4,
         2,
         2,
         {1, 2, 0, 0, 3, 4, 0, 0},
         0,
         -1,
         255,
         {},
         0,
         0,
         {3, 4, 0, 0, 0, 0, 0, 0}},
        {"WhollyOutsideWritesNothing",
         8,
         2,
         2,
         4,
         Bytes(8, 7),
         4,
         2,
         1,
         {1, 2, 0, 0},
         2,
         0,
         255,
         {},
         0,
         0,
         Bytes(8, 7)},
        {"NegativeWidthWritesNothing",
         8,
         2,
         1,
         4,
         {5, 5, 0, 0},
         4,
         -2,
         1,
         {1, 1, 0, 0},
         0,
         0,
         255,
         {},
         0,
         0,
         {5, 5, 0, 0}},
    };
}

// 4-bit pictures: 8 columns, stride 4.
std::vector<BlitCase> FourBitCases()
{
    return {
        // Columns 4..6 are the high and low nibble of byte 2 and the high of
        // byte 3; column 7 (low nibble of byte 3) keeps its value.
        {"EvenXOddWidth",
         4,
         8,
         1,
         4,
         {0x11, 0x11, 0x11, 0x11},
         4,
         3,
         1,
         {0x23, 0x40, 0, 0},
         4,
         0,
         15,
         {},
         0,
         0,
         {0x11, 0x11, 0x23, 0x41}},
        // Column 4 is carried along and mapped over itself: not in the list.
        {"OddXKeepsLeadingNibble",
         4,
         8,
         1,
         4,
         {0x11, 0x11, 0x56, 0x11},
         4,
         3,
         1,
         {0x23, 0x40, 0, 0},
         5,
         0,
         15,
         {},
         0,
         0,
         {0x11, 0x11, 0x52, 0x34}},
        {"OddXMapsLeadingNibbleInList",
         4,
         8,
         1,
         4,
         {0x11, 0x11, 0x56, 0x11},
         4,
         3,
         1,
         {0x23, 0x40, 0, 0},
         5,
         0,
         15,
         {{5, 9}},
         0,
         0,
         {0x11, 0x11, 0x92, 0x34}},
        {"KeyNibbleKeepsPicture",
         4,
         8,
         1,
         4,
         {0x11, 0x11, 0x11, 0x11},
         4,
         4,
         1,
         {0xF2, 0x3F, 0, 0},
         0,
         0,
         15,
         {},
         0,
         0,
         {0x12, 0x31, 0x11, 0x11}},
        // The no-replacement value belongs to the 8-bit path only.
        {"TransparentIndexIgnored",
         4,
         8,
         1,
         4,
         {0x11, 0x11, 0x11, 0x11},
         4,
         2,
         1,
         {0x23, 0, 0, 0},
         0,
         0,
         15,
         {{2, 9}},
         PIECE_TRANSPARENT,
         9,
         {0x93, 0x11, 0x11, 0x11}},
        {"OddXSecondRowAtStride",
         4,
         8,
         2,
         4,
         Bytes(8, 0),
         4,
         2,
         2,
         {0x12, 0, 0, 0, 0x34, 0, 0, 0},
         3,
         0,
         15,
         {},
         0,
         0,
         {0x00, 0x01, 0x20, 0, 0x00, 0x03, 0x40, 0}},
        {"ClippedAtLeftFromOddX",
         4,
         8,
         1,
         4,
         {0x11, 0x11, 0x11, 0x11},
         4,
         3,
         1,
         {0x23, 0x40, 0, 0},
         -1,
         0,
         15,
         {},
         0,
         0,
         {0x34, 0x11, 0x11, 0x11}},
        {"ClippedAtRightEdge",
         4,
         7,
         1,
         4,
         {0x11, 0x11, 0x11, 0x11},
         4,
         3,
         1,
         {0x23, 0x40, 0, 0},
         5,
         0,
         15,
         {},
         0,
         0,
         {0x11, 0x11, 0x12, 0x31}},
    };
}

std::vector<BlitCase> OtherDepthCases()
{
    std::vector<BlitCase> cases;
    for (int16_t depth : {1, 16, 24}) {
        cases.push_back({"Depth" + std::to_string(depth) + "LeavesPicture",
                         depth,
                         4,
                         1,
                         4,
                         {10, 10, 10, 10},
                         4,
                         4,
                         1,
                         {1, 2, 3, 4},
                         0,
                         0,
                         255,
                         {},
                         0,
                         0,
                         {10, 10, 10, 10}});
    }
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<BlitCase> &info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(EightBit, BlitPieceTest, ::testing::ValuesIn(EightBitCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(FourBit, BlitPieceTest, ::testing::ValuesIn(FourBitCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(OtherDepths, BlitPieceTest, ::testing::ValuesIn(OtherDepthCases()),
                         CaseName);

} // namespace
