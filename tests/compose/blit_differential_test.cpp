// BlitPiece against a pixel-by-pixel reading of the mapping rule, on random
// pieces, lists, keys and positions (inside and clipped), 8 and 4 bits.
#include "compose/blit.h"
#include "support/vector_levels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

uint8_t MapOne(uint8_t s, uint8_t c, const PlacedPiece &piece, uint8_t key)
{
    if (s == key)
        return c;
    int32_t noReplacement = (piece.flags & PIECE_TRANSPARENT) ? piece.transparentIndex : 256;
    for (int32_t i = 0; i < 16 && piece.mapFrom[i] != piece.mapTo[i]; ++i) {
        if (piece.mapFrom[i] == s)
            return piece.mapTo[i] == noReplacement ? c : piece.mapTo[i];
    }
    return s;
}

void CheckRandomPieces()
{
    std::mt19937 rng(20261208);
    CatalogHeader catalogue{};
    catalogue.bitsPerPixel = 8;
    for (int round = 0; round < 2000; ++round) {
        // Now and then wide enough for the widest vectors (64 bytes).
        const bool wide = round % 4 == 0;
        int32_t pictureWidth = 1 + static_cast<int32_t>(rng() % (wide ? 200 : 70));
        int32_t pictureHeight = 1 + static_cast<int32_t>(rng() % 6);
        int32_t pictureStride = (pictureWidth + 3) / 4 * 4;
        int32_t width = 1 + static_cast<int32_t>(rng() % (wide ? 180 : 60));
        int32_t height = 1 + static_cast<int32_t>(rng() % 6);
        int32_t sourceStride = (width + 3) / 4 * 4;
        // A few values only, so keys and list entries meet the pixels often.
        auto value = [&rng] { return static_cast<uint8_t>(rng() % 8 * 31); };

        PlacedPiece piece{};
        piece.x = static_cast<int16_t>(static_cast<int32_t>(rng() % (wide ? 220 : 90)) - 20);
        piece.y = static_cast<int16_t>(static_cast<int32_t>(rng() % 10) - 3);
        int32_t pairs = static_cast<int32_t>(rng() % 17);
        for (int32_t i = 0; i < 16; ++i) {
            piece.mapFrom[i] = value();
            piece.mapTo[i] = i < pairs ? static_cast<uint8_t>(piece.mapFrom[i] + 1 + rng() % 200)
                                       : piece.mapFrom[i];
        }
        if (rng() % 2) {
            piece.flags = PIECE_TRANSPARENT;
            piece.transparentIndex = piece.mapTo[rng() % 16];
        }
        uint8_t key = value();

        std::vector<uint8_t> source(static_cast<size_t>(sourceStride) * height);
        for (uint8_t &b : source)
            b = value();
        std::vector<uint8_t> picture(static_cast<size_t>(pictureStride) * pictureHeight + 2);
        for (uint8_t &b : picture)
            b = value();
        std::vector<uint8_t> expected = picture;
        for (int32_t r = 0; r < height; ++r) {
            for (int32_t c = 0; c < width; ++c) {
                int32_t px = piece.x + c;
                int32_t py = piece.y + r;
                if (px < 0 || px >= pictureWidth || py < 0 || py >= pictureHeight)
                    continue;
                uint8_t &dst = expected[static_cast<size_t>(py) * pictureStride + px];
                dst = MapOne(source[static_cast<size_t>(r) * sourceStride + c], dst, piece, key);
            }
        }

        BlitPiece(picture.data(), pictureWidth, pictureHeight, pictureStride, sourceStride, width,
                  height, source.data(), &piece, &catalogue, key);
        ASSERT_EQ(picture, expected) << "round " << round;
    }
}

TEST(BlitPieceDifferential, MatchesTheRuleOnRandomPieces)
{
    pptest::AtEveryVectorLevel(CheckRandomPieces);
}

// Pieces of widths around the blocks' (16, 32 and 64 bytes) drawn against
// the right edge of the picture: each row's last block ends at the row's
// end, and on the last row at the picture's last byte. A sentinel after the
// picture (and, under ASan, the end of each buffer) shows a block that goes
// further.
TEST(BlitPieceDifferential, RowsEndingAtTheBuffersEnd)
{
    const int32_t widths[] = {1, 2, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 127, 128, 129, 191};
    const size_t kSentinel = 64;
    CatalogHeader catalogue{};
    catalogue.bitsPerPixel = 8;
    pptest::AtEveryVectorLevel([&] {
        for (const int32_t width : widths) {
            const int32_t height = 3, pictureWidth = (width + 5 + 3) / 4 * 4;
            const int32_t sourceStride = (width + 3) / 4 * 4;
            PlacedPiece piece{};
            piece.x = static_cast<int16_t>(pictureWidth - width);
            piece.mapFrom[0] = 7; // 7 becomes 70, 8 is kept, 9 is the key
            piece.mapTo[0] = 70;
            piece.mapFrom[1] = 8;
            piece.mapTo[1] = 200;
            piece.flags = PIECE_TRANSPARENT;
            piece.transparentIndex = 200;
            std::vector<uint8_t> source(static_cast<size_t>(sourceStride) * height);
            for (size_t i = 0; i < source.size(); ++i)
                source[i] = static_cast<uint8_t>(6 + i % 5);
            std::vector<uint8_t> picture(static_cast<size_t>(pictureWidth) * height + kSentinel,
                                         0xEE);
            std::vector<uint8_t> expected = picture;
            for (int32_t r = 0; r < height; ++r)
                for (int32_t c = 0; c < width; ++c) {
                    uint8_t &dst = expected[static_cast<size_t>(r) * pictureWidth + piece.x + c];
                    dst = MapOne(source[static_cast<size_t>(r) * sourceStride + c], dst, piece, 9);
                }
            BlitPiece(picture.data(), pictureWidth, height, pictureWidth, sourceStride, width,
                      height, source.data(), &piece, &catalogue, 9);
            ASSERT_EQ(picture, expected) << "width " << width;
        }
    });
}

// The 4-bit rule: the key keeps the picture's nibble, the first matching
// pair gives its replacement's low four bits (there is no no-replacement
// value), anything else is written as it is.
uint8_t MapNibble(uint8_t s, uint8_t c, const PlacedPiece &piece, uint8_t key)
{
    if (s == key)
        return c;
    for (int32_t i = 0; i < 16 && piece.mapFrom[i] != piece.mapTo[i]; ++i) {
        if (piece.mapFrom[i] == s)
            return piece.mapTo[i] & 0x0F;
    }
    return s;
}

uint8_t Nibble(const std::vector<uint8_t> &bytes, size_t rowStart, int32_t column)
{
    uint8_t b = bytes[rowStart + static_cast<size_t>(column >> 1)];
    return (column & 1) ? b & 0x0F : b >> 4;
}

void SetNibble(std::vector<uint8_t> &bytes, size_t rowStart, int32_t column, uint8_t value)
{
    uint8_t &b = bytes[rowStart + static_cast<size_t>(column >> 1)];
    b = (column & 1) ? static_cast<uint8_t>((b & 0xF0) | value)
                     : static_cast<uint8_t>((b & 0x0F) | (value << 4));
}

// Odd and even positions and widths meet every pairing of the source's and
// the picture's nibbles, and the picture's own nibble before an odd x.
// Pictures up to maxWidth columns; the widest vectors take 128 at a time.
void CheckRandomFourBitPieces(int32_t maxWidth, int32_t rounds)
{
    std::mt19937 rng(20261209);
    CatalogHeader catalogue{};
    catalogue.bitsPerPixel = 4;
    for (int round = 0; round < rounds; ++round) {
        int32_t pictureWidth = 1 + static_cast<int32_t>(rng() % maxWidth);
        int32_t pictureHeight = 1 + static_cast<int32_t>(rng() % 4);
        int32_t pictureStride = ((pictureWidth + 1) / 2 + 3) / 4 * 4;
        int32_t width = 1 + static_cast<int32_t>(rng() % (maxWidth - 30));
        int32_t height = 1 + static_cast<int32_t>(rng() % 4);
        int32_t sourceStride = ((width + 1) / 2 + 3) / 4 * 4;
        auto value = [&rng] { return static_cast<uint8_t>(rng() % 16); };

        PlacedPiece piece{};
        piece.x = static_cast<int16_t>(static_cast<int32_t>(rng() % (maxWidth + 10)) - 30);
        piece.y = static_cast<int16_t>(static_cast<int32_t>(rng() % 6) - 2);
        int32_t pairs = static_cast<int32_t>(rng() % 6);
        for (int32_t i = 0; i < 16; ++i) {
            piece.mapFrom[i] = value();
            piece.mapTo[i] = i < pairs ? static_cast<uint8_t>(piece.mapFrom[i] + 1 + rng() % 40)
                                       : piece.mapFrom[i];
        }
        uint8_t key = value();

        std::vector<uint8_t> source(static_cast<size_t>(sourceStride) * height);
        for (uint8_t &b : source)
            b = static_cast<uint8_t>(rng());
        std::vector<uint8_t> picture(static_cast<size_t>(pictureStride) * pictureHeight + 2);
        for (uint8_t &b : picture)
            b = static_cast<uint8_t>(rng());
        std::vector<uint8_t> expected = picture;
        for (int32_t r = 0; r < height; ++r) {
            int32_t py = piece.y + r;
            if (py < 0 || py >= pictureHeight || piece.x >= pictureWidth || piece.x + width <= 0)
                continue;
            size_t at = static_cast<size_t>(py) * pictureStride;
            if (piece.x & 1 && piece.x >= 1) {
                uint8_t own = Nibble(expected, at, piece.x - 1);
                SetNibble(expected, at, piece.x - 1, MapNibble(own, own, piece, key));
            }
            for (int32_t c = 0; c < width; ++c) {
                int32_t px = piece.x + c;
                if (px < 0 || px >= pictureWidth)
                    continue;
                uint8_t s = Nibble(source, static_cast<size_t>(r) * sourceStride, c);
                SetNibble(expected, at, px, MapNibble(s, Nibble(expected, at, px), piece, key));
            }
        }

        BlitPiece(picture.data(), pictureWidth, pictureHeight, pictureStride, sourceStride, width,
                  height, source.data(), &piece, &catalogue, key);
        ASSERT_EQ(picture, expected) << "round " << round << " x " << piece.x;
    }
}

TEST(BlitPieceDifferential, FourBitsMatchTheRuleOnRandomPieces)
{
    pptest::AtEveryVectorLevel([] { CheckRandomFourBitPieces(150, 3000); });
}

TEST(BlitPieceDifferential, WideFourBitPiecesMatchTheRule)
{
    pptest::AtEveryVectorLevel([] { CheckRandomFourBitPieces(420, 600); });
}

} // namespace
