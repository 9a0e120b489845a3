// The Windows DLLs under Wine against the portable layer.
//
// scripts/run-windows-tests cross-builds piecepaint.dll and the test host for
// i686 and x86_64 into $PP_WINE_DIR/<arch>/ and runs these tests with
// PP_WINE_DIR set. Each architecture's host runs the whole script once in a
// Wine prefix of its own bitness ($PP_WINE_DIR/prefix-<arch>, made here when
// missing); every picture is then compared with the same script painted on
// the portable layer's true-colour device contexts. Without PP_WINE_DIR the
// tests are skipped.
#include "api/palette.h"
#include "windows/device_script.h"
#include "windows/pe_tables.h"
#include "windows/scenes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ppwine::ScriptOutcome;

struct Arch {
    std::string name;
    bool pe32plus;
    std::string wineArch;
    uint16_t machine;
};

void PrintTo(const Arch &arch, std::ostream *out)
{
    *out << arch.name;
}

const Arch kArchs[] = {{"i686", false, "win32", 0x014C}, {"x86_64", true, "win64", 0x8664}};

const char *WineDir()
{
    const char *dir = std::getenv("PP_WINE_DIR");
    return dir != nullptr && *dir != '\0' ? dir : nullptr;
}

std::string Quote(const fs::path &path)
{
    return "'" + path.string() + "'";
}

std::vector<uint8_t> ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string Tail(const fs::path &path)
{
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

// Everything one architecture produced, run once and shared by its tests.
struct ArchRun {
    std::string error; // why the run could not be made
    ScriptOutcome portable;
    std::map<std::string, ScriptOutcome> wine; // by host variant
};

const char *const kHosts[] = {"pp_wine_host", "pp_wine_host_linked"};
const char *const kBinaries[] = {"piecepaint.dll", "pp_wine_host.exe", "pp_wine_host_linked.exe"};

std::string Wine(const fs::path &prefix, const Arch &arch)
{
    // No display (DIB sections need none) and no offer to install the .NET
    // and HTML runtimes when the prefix is made.
    return "env -u DISPLAY WINEPREFIX=" + Quote(prefix) + " WINEARCH=" + arch.wineArch +
           " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree=;mshtml=' ";
}

// Serialises the test processes of one architecture: ctest runs every test
// in a process of its own, and only the first runs Wine.
class FileLock {
  public:
    explicit FileLock(const fs::path &path) : fd_(open(path.c_str(), O_CREAT | O_RDWR, 0644))
    {
        if (fd_ >= 0)
            flock(fd_, LOCK_EX);
    }
    ~FileLock()
    {
        if (fd_ >= 0)
            close(fd_); // releases the lock
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

  private:
    int fd_;
};

// A hash of the script, its files and the Windows binaries: a saved run with
// the same stamp is this run.
std::string Stamp(const ppwine::ScriptWriter &script, const fs::path &built)
{
    uint32_t hash = script.Fingerprint();
    for (const char *file : kBinaries) {
        for (uint8_t byte : ReadFile(built / file))
            hash = (hash ^ byte) * 16777619u;
    }
    return std::to_string(hash);
}

std::string RunHosts(const Arch &arch, const fs::path &root, const fs::path &work)
{
    fs::path prefix = root / ("prefix-" + arch.name);
    if (!fs::exists(prefix / "system.reg")) {
        fs::path log = root / ("wineboot-" + arch.name + ".log");
        std::string boot = Wine(prefix, arch) + "wineboot -i > " + Quote(log) + " 2>&1 && " +
                           Wine(prefix, arch) + "wineserver -w";
        if (std::system(boot.c_str()) != 0)
            return "wineboot failed: " + Tail(log);
    }
    for (const char *variant : kHosts) {
        fs::path out = work / (std::string("out-") + variant);
        fs::create_directories(out);
        fs::path log = work / (std::string(variant) + ".log");
        std::string command = "cd " + Quote(work) + " && " + Wine(prefix, arch) +
                              "timeout 900 wine " + variant + ".exe piecepaint.dll script.txt " +
                              out.filename().string() + " > " + Quote(log) + " 2>&1";
        if (std::system(command.c_str()) != 0)
            return std::string(variant) + " failed under Wine: " + Tail(log);
    }
    return {};
}

std::string Prepare(const Arch &arch, const fs::path &root, ArchRun &run)
{
    fs::path built = root / arch.name;
    for (const char *file : kBinaries) {
        if (!fs::exists(built / file))
            return (built / file).string() + " is missing";
    }
    FileLock lock(root / (arch.name + ".lock"));
    ppwine::ScriptWriter script = ppwine::BuildScenes(arch.pe32plus);
    std::string stamp = Stamp(script, built);
    fs::path work = built / "run";
    std::ifstream saved(work / "stamp");
    std::string savedStamp;
    saved >> savedStamp;
    if (savedStamp != stamp) {
        fs::remove_all(work);
        script.Save(work);
        for (const char *file : kBinaries)
            fs::copy_file(built / file, work / file);
        std::string error = RunHosts(arch, root, work);
        if (!error.empty())
            return error;
        std::ofstream(work / "stamp") << stamp << "\n";
    }
    for (const char *variant : kHosts) {
        fs::path out = work / (std::string("out-") + variant);
        try {
            run.wine[variant] = ppwine::ReadHostOutput(out);
        } catch (const std::exception &e) {
            return std::string(variant) + ": " + e.what();
        }
    }
    // A fresh process starts without a library palette; so does this run.
    ForgetPaletteHandles();
    run.portable = ppwine::RunPortable(work / "script.txt");
    ForgetPaletteHandles();
    return {};
}

const ArchRun &RunFor(const Arch &arch)
{
    static std::map<std::string, ArchRun> runs;
    auto found = runs.find(arch.name);
    if (found != runs.end())
        return found->second;
    ArchRun &run = runs[arch.name];
    try {
        run.error = Prepare(arch, WineDir(), run);
    } catch (const std::exception &e) {
        run.error = e.what();
    }
    return run;
}

#define REQUIRE_WINE()                                                                             \
    do {                                                                                           \
        if (WineDir() == nullptr)                                                                  \
            GTEST_SKIP() << "PP_WINE_DIR is not set; scripts/run-windows-tests runs these";        \
    } while (0)

// Whether Wine of the architecture's bitness is there to run its hosts:
// scripts/run-windows-tests lists the bitnesses it has in PP_WINE_ARCHS
// (all when unset).
bool WineRuns(const Arch &arch)
{
    const char *archs = std::getenv("PP_WINE_ARCHS");
    if (archs == nullptr)
        return true;
    std::istringstream names(archs);
    for (std::string name; names >> name;)
        if (name == arch.name)
            return true;
    return false;
}

#define REQUIRE_WINE_RUNS(arch)                                                                    \
    do {                                                                                           \
        REQUIRE_WINE();                                                                            \
        if (!WineRuns(arch))                                                                       \
            GTEST_SKIP() << "no Wine for " << (arch).name << " here (PP_WINE_ARCHS)";              \
    } while (0)

class WineDll : public ::testing::TestWithParam<Arch> {};

TEST_P(WineDll, ExportsExactlyTheThreeUndecoratedNames)
{
    REQUIRE_WINE();
    const Arch &arch = GetParam();
    ppwine::PeTables tables =
        ppwine::ReadPeTables(ReadFile(fs::path(WineDir()) / arch.name / "piecepaint.dll"));
    EXPECT_EQ(tables.machine, arch.machine);
    EXPECT_EQ(tables.pe32plus, arch.pe32plus);
    EXPECT_EQ(tables.exportedDllName, "piecepaint.dll");
    EXPECT_EQ(tables.exports, (std::vector<std::string>{"ManagePal", "PaintPrt", "ShowPrtInit"}));
}

TEST_P(WineDll, ImportsOnlySystemDlls)
{
    REQUIRE_WINE();
    const Arch &arch = GetParam();
    ppwine::PeTables tables =
        ppwine::ReadPeTables(ReadFile(fs::path(WineDir()) / arch.name / "piecepaint.dll"));
    const std::set<std::string> system = {"kernel32.dll", "gdi32.dll", "user32.dll", "msvcrt.dll"};
    ASSERT_FALSE(tables.importDlls.empty());
    for (std::string dll : tables.importDlls) {
        std::transform(dll.begin(), dll.end(), dll.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_TRUE(system.count(dll)) << dll << " is not a system DLL";
    }
}

// The host calls every export with zero arguments through a thunk that
// measures how much of the stack the callee released: stdcall on i686
// releases all of it. Both hosts (GetProcAddress and import library) agree.
TEST_P(WineDll, ExportsUseTheWinapiConvention)
{
    const Arch &arch = GetParam();
    REQUIRE_WINE_RUNS(arch);
    const ArchRun &run = RunFor(arch);
    ASSERT_TRUE(run.error.empty()) << run.error;
    std::vector<std::string> expected;
    if (!arch.pe32plus)
        expected = {"stdcall-PaintPrt 64", "stdcall-ManagePal 12", "stdcall-ShowPrtInit 0"};
    for (const auto &[variant, outcome] : run.wine)
        EXPECT_EQ(outcome.global, expected) << variant;
}

TEST_P(WineDll, EveryPictureWasDrawnByBothHosts)
{
    REQUIRE_WINE_RUNS(GetParam());
    const ArchRun &run = RunFor(GetParam());
    ASSERT_TRUE(run.error.empty()) << run.error;
    std::vector<std::string> names = ppwine::BuildScenes(GetParam().pe32plus).Pictures();
    size_t paints = 0;
    for (const std::string &name : names)
        paints += ppwine::IsPaintPicture(name) ? 1 : 0;
    EXPECT_GE(paints, 12u);
#ifdef PP_SAMPLE_MODULES
    size_t samples = std::count_if(names.begin(), names.end(), [](const std::string &name) {
        return name.rfind("paint_sample_", 0) == 0;
    });
    EXPECT_GE(samples, 12u);
#endif
    for (const auto &[variant, outcome] : run.wine)
        EXPECT_EQ(outcome.order, names) << variant;
    EXPECT_EQ(run.portable.order, names);
}

#ifdef PP_SAMPLE_MODULES
// The sample's paints read its resource DLLs; a missing one would make both
// sides fail alike and prove nothing.
TEST(WineSample, ResourceDllsWereBuilt)
{
    for (const char *name : {"house", "house-aux", "house16", "house16-aux"}) {
        for (const char *suffix : {".dll", "-x64.dll"}) {
            fs::path path = fs::path(PP_SAMPLE_MODULES) / (std::string(name) + suffix);
            EXPECT_TRUE(fs::exists(path)) << path;
        }
    }
}
#endif

INSTANTIATE_TEST_SUITE_P(Arch, WineDll, ::testing::ValuesIn(kArchs),
                         [](const auto &info) { return info.param.name; });

struct PictureCase {
    Arch arch;
    std::string picture;
};

void PrintTo(const PictureCase &c, std::ostream *out)
{
    *out << c.arch.name << " " << c.picture;
}

class WinePicture : public ::testing::TestWithParam<PictureCase> {};

// What a paint picture's PaintPrt calls return: the pictures that leave the
// badge out or select nothing say so in their names; every other one draws.
std::string ExpectedPaintResult(const std::string &picture)
{
    if (picture.find("badge_missing") != std::string::npos)
        return "paint 7";
    if (picture.find("nothing_selected") != std::string::npos)
        return "paint 1";
    return "paint 0";
}

TEST_P(WinePicture, MatchesThePortableLayer)
{
    const PictureCase &c = GetParam();
    REQUIRE_WINE_RUNS(c.arch);
    const ArchRun &run = RunFor(c.arch);
    ASSERT_TRUE(run.error.empty()) << run.error;
    auto mine = run.portable.pictures.find(c.picture);
    ASSERT_NE(mine, run.portable.pictures.end());
    for (const auto &[variant, outcome] : run.wine) {
        auto theirs = outcome.pictures.find(c.picture);
        ASSERT_NE(theirs, outcome.pictures.end()) << variant;
        EXPECT_EQ(mine->second.results, theirs->second.results) << variant << ": call results";
        if (ppwine::IsPaintPicture(c.picture)) {
            for (const std::string &line : theirs->second.results) {
                if (line.rfind("paint ", 0) == 0) {
                    EXPECT_EQ(line, ExpectedPaintResult(c.picture)) << variant;
                }
            }
        }
        EXPECT_EQ(ppwine::DescribeDifferences(theirs->second, mine->second), "")
            << variant << ": Wine vs portable";
    }
}

// The random batch: every call result and every pixel of every picture.
TEST_P(WineDll, RandomBatchMatchesThePortableLayer)
{
    REQUIRE_WINE_RUNS(GetParam());
    const ArchRun &run = RunFor(GetParam());
    ASSERT_TRUE(run.error.empty()) << run.error;
    for (const auto &[variant, outcome] : run.wine) {
        size_t compared = 0, differing = 0;
        for (const auto &[name, theirs] : outcome.pictures) {
            if (!ppwine::IsRandomBatchPicture(name))
                continue;
            ++compared;
            auto mine = run.portable.pictures.find(name);
            ASSERT_NE(mine, run.portable.pictures.end()) << name;
            std::string pixels = ppwine::DescribeDifferences(theirs, mine->second, 4);
            if (mine->second.results == theirs.results && pixels.empty())
                continue;
            if (++differing <= 5) {
                ADD_FAILURE() << variant << " " << name << ": "
                              << (mine->second.results == theirs.results ? "" : "call results; ")
                              << pixels;
            }
        }
        EXPECT_EQ(compared, size_t{ppwine::RANDOM_BATCH_SIZE}) << variant;
        EXPECT_EQ(differing, 0u) << variant << ": of " << compared << " random pictures";
    }
}

std::vector<PictureCase> AllPictures()
{
    std::vector<PictureCase> cases;
    for (const Arch &arch : kArchs) {
        for (const std::string &name : ppwine::BuildScenes(arch.pe32plus).Pictures()) {
            if (!ppwine::IsRandomBatchPicture(name))
                cases.push_back(PictureCase{arch, name});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Scenes, WinePicture, ::testing::ValuesIn(AllPictures()),
                         [](const auto &info) {
                             return info.param.arch.name + "_" + info.param.picture;
                         });

} // namespace
