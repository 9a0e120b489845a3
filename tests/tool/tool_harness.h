// Runs the built piecepaint tool in a scratch directory and builds the
// modules and art files it reads.
#ifndef PIECEPAINT_TESTS_TOOL_HARNESS_H
#define PIECEPAINT_TESTS_TOOL_HARNESS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace pptest {

using Bytes = std::vector<uint8_t>;
using Resources = std::map<uint16_t, Bytes>;

struct ToolRun {
    int exitCode = -1;
    bool crashed = false; // ended by a signal
    std::string output;   // standard output and error together
};

class ToolTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs "piecepaint <args>" with the scratch directory as the working
    // directory.
    ToolRun Run(const std::string &args) const;
    std::filesystem::path Path(const std::string &name) const { return dir_ / name; }

    void WriteModule(const std::string &name, const Resources &resources) const;
    Resources ReadModuleDir(const std::string &name) const;
    void WriteText(const std::string &name, const std::string &text) const;
    std::string ReadText(const std::string &name) const;

  private:
    std::filesystem::path dir_;
};

// PNG files without compression, enough for test art. rgba: four bytes per
// pixel, top row first; indices: one per pixel with a palette of RGB
// triples.
Bytes EncodePngRgba(int32_t width, int32_t height, const Bytes &rgba);
Bytes EncodePngIndexed(int32_t width, int32_t height, const Bytes &indices, const Bytes &palette);

void WriteBytes(const std::filesystem::path &path, const Bytes &bytes);
Bytes ReadBytes(const std::filesystem::path &path);

} // namespace pptest

#endif
