// Device scripts: the commands the Windows host (tests/windows/host/host.c)
// runs on DIB-section device contexts under Wine, built here and run again on
// the portable layer so that the two can be compared picture for picture.
#ifndef PIECEPAINT_TESTS_WINDOWS_DEVICE_SCRIPT_H
#define PIECEPAINT_TESTS_WINDOWS_DEVICE_SCRIPT_H

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ppwine {

// What one picture ended as: the result line of every command made on it
// ("<command> <result>") and its pixels, 0x00RRGGBB (or the source's fourth
// byte on top after a 32-bit source), the top row first.
struct PictureOutcome {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<std::string> results;
    std::vector<uint32_t> pixels;
};

struct ScriptOutcome {
    std::vector<std::string> global; // lines not tied to a picture
    std::map<std::string, PictureOutcome> pictures;
    std::vector<std::string> order; // picture names in script order
};

// Builds the text of a script and the files it names, in memory.
class ScriptWriter {
  public:
    void File(const std::string &name, std::vector<uint8_t> bytes)
    {
        files_[name] = std::move(bytes);
    }
    void Line(const std::string &line) { text_ += line + "\n"; }
    void Comment(const std::string &text) { text_ += "# " + text + "\n"; }
    // The names of the pictures, in script order.
    std::vector<std::string> Pictures() const;
    // A hash of the script and every file, to tell whether a saved run is
    // still this script's.
    uint32_t Fingerprint() const;
    // Writes the files and script.txt into folder; returns the script's path.
    std::filesystem::path Save(const std::filesystem::path &folder) const;

  private:
    std::map<std::string, std::vector<uint8_t>> files_;
    std::string text_;
};

// Runs a script on the portable layer, modules opened from its folder.
ScriptOutcome RunPortable(const std::filesystem::path &script);

// Reads what the Windows host wrote: results.txt and <picture>.pix files.
// Throws std::runtime_error when a file is missing or malformed.
ScriptOutcome ReadHostOutput(const std::filesystem::path &folder);

// The first differences between two pictures, described for a failure
// message; empty when they are identical.
std::string DescribeDifferences(const PictureOutcome &expected, const PictureOutcome &actual,
                                size_t limit = 8);

} // namespace ppwine

#endif
