// The tool's catalogue description reader. An input that starts with a zero
// byte is a binary catalogue resource instead, which the tool must be able to
// describe and build back byte for byte; any other input is a description,
// which must either be refused with an error or build a module whose own
// description builds the same module again.
//
// Descriptions may name files (raw bytes and PNG art). They are read from a
// scratch directory holding a few fixtures; a name with a path separator is
// not tried, so nothing outside it is read.
#include "catalog_json.h"
#include "png_io.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

fs::path scratch;

void Fail(const char *what)
{
    std::fprintf(stderr, "fuzz_catalog_json: %s\n", what);
    std::abort();
}

bool NamesOnlyScratchFiles(const pptool::Json &value)
{
    if (value.is_string()) {
        const std::string &text = value.get_ref<const std::string &>();
        return text.find('/') == std::string::npos && text.find('\\') == std::string::npos &&
               text != "." && text != "..";
    }
    if (value.is_array() || value.is_object()) {
        for (const auto &item : value) {
            if (!NamesOnlyScratchFiles(item))
                return false;
        }
        if (value.is_object()) {
            for (const auto &item : value.items()) {
                if (!NamesOnlyScratchFiles(pptool::Json(item.key())))
                    return false;
            }
        }
    }
    return true;
}

void MakeFixtures()
{
    pptool::WriteFileBytes(scratch / "raw.bin", pptool::Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    pptool::RgbaImage image;
    image.width = 6;
    image.height = 4;
    for (int32_t i = 0; i < image.width * image.height; ++i) {
        uint8_t v = static_cast<uint8_t>(i * 10);
        image.pixels.insert(image.pixels.end(), {v, static_cast<uint8_t>(255 - v), 64, 255});
    }
    pptool::WritePngRgb(scratch / "art.png", image);
}

void BinaryRoundTrip(const uint8_t *data, size_t size)
{
    pptool::Bytes catalogue(data, data + size);
    std::optional<pptool::Json> described;
    try {
        described = pptool::CatalogToJson(catalogue);
    } catch (const std::exception &) {
        Fail("describing a catalogue threw");
    }
    if (!described)
        return;
    pptool::Bytes again;
    try {
        again = pptool::CatalogFromJson(*described, "catalogue");
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        Fail("a catalogue's own description does not build");
    }
    if (again != catalogue)
        Fail("a catalogue's own description builds other bytes");
}

void DescriptionRoundTrip(const uint8_t *data, size_t size)
{
    pptool::Json description = pptool::Json::parse(data, data + size, nullptr, false);
    if (description.is_discarded() || !NamesOnlyScratchFiles(description))
        return;
    pptool::ResourceMap built;
    try {
        built = pptool::ModuleFromJson(description, scratch);
    } catch (const std::exception &) {
        return; // refused with an error: what a bad description should get
    }
    pptool::ResourceMap again;
    try {
        again = pptool::ModuleFromJson(pptool::ModuleToJson(built, pptool::RawStyle{}), scratch);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        Fail("a module's own description does not build");
    }
    if (again != built)
        Fail("a module's own description builds other resources");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string pattern = (fs::temp_directory_path() / "ppfuzz-json-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    scratch = pattern;
    MakeFixtures();
    std::atexit([] {
        std::error_code error;
        fs::remove_all(scratch, error);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size >= 1 && data[0] == 0)
        BinaryRoundTrip(data + 1, size - 1);
    else
        DescriptionRoundTrip(data, size);
    return 0;
}
