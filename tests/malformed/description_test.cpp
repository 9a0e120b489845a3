// Catalogue descriptions that ask the tool for more than a piece can be are
// refused with an error before anything is built.
#include "bitmap_art.h"
#include "catalog_json.h"
#include "png_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class ArtDescriptionTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
               ("pp_malformed_art_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        pptool::RgbaImage image;
        image.width = 6;
        image.height = 4;
        image.pixels.assign(6 * 4 * 4, 200);
        pptool::WritePngRgb(dir_ / "art.png", image);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // The message of the error the description is refused with.
    std::string Refusal(const std::string &text)
    {
        std::string message;
        try {
            pptool::ModuleFromJson(pptool::Json::parse(text), dir_);
        } catch (const pptool::ToolError &e) {
            message = e.what();
        }
        return message;
    }

    fs::path dir_;
};

constexpr const char *kCatalogue = R"("catalogue": {"bitsPerPixel": 8, "colorCount": 256})";

TEST_F(ArtDescriptionTest, OversizedArtIsRefusedBeforeItIsResized)
{
    // 32767 x 32767 would have been resized into a 4 GiB buffer.
    struct Case {
        const char *size;
        bool refused;
    };
    const Case cases[] = {{"[32767, 32767]", true}, {"[4097, 4096]", true}, {"[64, 32]", false}};
    for (const Case &c : cases) {
        std::string text = std::string("{") + kCatalogue +
                           R"(, "resources": [{"id": 1000, "png": "art.png", "size": )" + c.size +
                           "}]}";
        std::string message = Refusal(text);
        EXPECT_EQ(message.find("larger than a piece can be") != std::string::npos, c.refused)
            << c.size << ": " << message;
    }
}

TEST_F(ArtDescriptionTest, VariantTableBeyondItsOffsetsIsRefusedBeforeAnyVariantIsBuilt)
{
    // 4096 width variants of a 4096 x 4096 piece: building them first would
    // resize the art 4096 times before the encoder noticed.
    std::string text = std::string("{") + kCatalogue +
                       R"(, "resources": [{"id": 1000, "png": "art.png", "size": [4096, 4096],
                          "variants": "width"}]})";
    std::string message = Refusal(text);
    EXPECT_NE(message.find("outgrows its 16-bit offsets at entry 1"), std::string::npos) << message;

    // A table that fits is built: 8 variants of 20 x 10.
    text = std::string("{") + kCatalogue +
           R"(, "resources": [{"id": 1000, "png": "art.png", "size": [20, 10],
               "variants": "width", "variantCount": 8}]})";
    pptool::ResourceMap built = pptool::ModuleFromJson(pptool::Json::parse(text), dir_);
    EXPECT_EQ(built.at(1000).size(), 1064u + 8 * 8 + 10 * (20 + 20 + 20 + 20 + 16 + 16 + 16 + 16));
}

} // namespace
