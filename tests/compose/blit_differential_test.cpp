// BlitPiece's 8-bit path against a pixel-by-pixel reading of the mapping
// rule, on random pieces, lists, keys and positions (inside and clipped).
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
        int32_t pictureWidth = 1 + static_cast<int32_t>(rng() % 70);
        int32_t pictureHeight = 1 + static_cast<int32_t>(rng() % 6);
        int32_t pictureStride = (pictureWidth + 3) / 4 * 4;
        int32_t width = 1 + static_cast<int32_t>(rng() % 60);
        int32_t height = 1 + static_cast<int32_t>(rng() % 6);
        int32_t sourceStride = (width + 3) / 4 * 4;
        // A few values only, so keys and list entries meet the pixels often.
        auto value = [&rng] { return static_cast<uint8_t>(rng() % 8 * 31); };

        PlacedPiece piece{};
        piece.x = static_cast<int16_t>(static_cast<int32_t>(rng() % 90) - 20);
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

} // namespace
