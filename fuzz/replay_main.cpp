// A plain main() for a fuzz target: feeds it every file under the paths it
// is given (directories are walked in name order), once each, so that an
// ordinary test run replays the seed corpus and every past finding.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

namespace {

std::vector<std::filesystem::path> Inputs(const std::filesystem::path &root)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_regular_file(root))
        files.push_back(root);
    else if (std::filesystem::is_directory(root))
        for (const auto &entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.' &&
                entry.path().extension() != ".md")
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::filesystem::exists(argv[i])) {
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 2;
        }
        for (const std::filesystem::path &file : Inputs(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++count;
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return count > 0 ? 0 : 1;
}
