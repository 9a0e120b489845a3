// The portable twin of the Windows host's script interpreter: the same
// commands, in the same order, on ppCreateDC surfaces.
#include "windows/device_script.h"

#include "piecepaint/host.h"
#include "platform/win32.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ppwine {

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int Int(const std::string &token)
{
    return static_cast<int>(std::stol(token, nullptr, 0));
}

// Codes joined by ':' with the terminating 0 added; false for '-'.
bool Codes(const std::string &token, std::vector<uint16_t> &list)
{
    list.clear();
    if (token == "-")
        return false;
    std::stringstream in(token);
    std::string part;
    while (std::getline(in, part, ':'))
        list.push_back(static_cast<uint16_t>(std::stoul(part, nullptr, 0)));
    list.push_back(0);
    return true;
}

bool Options(const std::string &token, OptionRecord &options)
{
    std::vector<uint16_t> unused;
    if (token == "-")
        return false;
    std::stringstream in(token);
    std::string part;
    long v[7] = {};
    for (long &value : v) {
        if (!std::getline(in, part, ':'))
            break;
        value = static_cast<long>(std::stoul(part, nullptr, 0));
    }
    std::memset(&options, 0, sizeof options);
    options.bits0 = static_cast<uint32_t>(v[0]);
    options.bits1 = static_cast<uint32_t>(v[1]);
    options.bits2 = static_cast<uint32_t>(v[2]);
    options.singleCode = static_cast<uint16_t>(v[3]);
    options.selector1 = static_cast<uint16_t>(v[4]);
    options.selector2 = static_cast<uint16_t>(v[5]);
    options.extraFlag = static_cast<int16_t>(v[6]);
    return true;
}

class PortableRunner {
  public:
    explicit PortableRunner(fs::path folder) : folder_(std::move(folder)) {}
    ~PortableRunner()
    {
        if (dc_ != nullptr)
            ppDeleteDC(dc_);
        for (auto &[name, module] : modules_)
            ppCloseModule(module);
    }
    PortableRunner(const PortableRunner &) = delete;
    PortableRunner &operator=(const PortableRunner &) = delete;

    void Run(const std::vector<std::string> &t, ScriptOutcome &out)
    {
        std::string name = dc_ != nullptr ? current_ : "-";
        if (t[0] == "picture")
            name = t.at(1);
        int result = Command(t, out);
        std::string line = t[0] + " " + std::to_string(result);
        if (name == "-")
            out.global.push_back(line);
        else
            out.pictures[name].results.push_back(line);
    }

  private:
    HMODULE Module(const std::string &token)
    {
        if (token == "-")
            return nullptr;
        auto found = modules_.find(token);
        if (found != modules_.end())
            return found->second;
        std::string file = token[0] == '+' ? token.substr(1) : token;
        HMODULE module = ppOpenModule((folder_ / file).string().c_str());
        modules_[token] = module;
        return module;
    }

    int Command(const std::vector<std::string> &t, ScriptOutcome &out)
    {
        const std::string &c = t[0];
        if (c == "picture") {
            if (t.size() != 5 || dc_ != nullptr)
                return -1;
            dc_ = ppCreateDC(PP_DEVICE_TRUECOLOR, Int(t[2]), Int(t[3]));
            if (dc_ == nullptr)
                return -2;
            ppDCSetLogging(dc_, 0);
            ppDCFill(dc_, static_cast<uint32_t>(std::stoul(t[4], nullptr, 0)));
            current_ = t[1];
            out.order.push_back(current_);
            return 1;
        }
        if (dc_ == nullptr)
            return -1;
        if (c == "end")
            return End(out);
        if (c == "paint")
            return Paint(t);
        if (c == "mode" && t.size() == 2)
            return SetStretchBltMode(dc_, Int(t[1]));
        if (c == "clip" || c == "fill" || c == "frame")
            return Region(t);
        if (c == "stretch")
            return Stretch(t);
        if (c == "palette")
            return Palette(t);
        if (c == "caps" && t.size() == 3)
            return GetDeviceCaps(dc_, Int(t[1])) & Int(t[2]);
        if (c == "pal" && t.size() == 3)
            return ManagePal(dc_, Int(t[1]), static_cast<unsigned>(std::stoul(t[2], nullptr, 0)));
        return -1;
    }

    int End(ScriptOutcome &out)
    {
        PictureOutcome &picture = out.pictures[current_];
        int width = 0, height = 0;
        const uint32_t *pixels = ppDCPixels(dc_, &width, &height);
        picture.width = width;
        picture.height = height;
        picture.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height);
        ppDeleteDC(dc_);
        if (palette_ != nullptr)
            DeleteObject(palette_);
        palette_ = nullptr;
        dc_ = nullptr;
        return 1;
    }

    int Paint(const std::vector<std::string> &t)
    {
        if (t.size() != 17)
            return -1;
        HMODULE res = Module(t[1]);
        HMODULE aux = Module(t[2]);
        OptionRecord options;
        std::vector<uint16_t> codeList, extra;
        bool hasOptions = Options(t[14], options);
        if (hasOptions && Codes(t[15], codeList))
            options.codeList = codeList.data();
        bool hasExtra = Codes(t[16], extra);
        return PaintPrt(dc_, res, aux, Int(t[3]), Int(t[4]), Int(t[5]), Int(t[6]), Int(t[7]),
                        Int(t[8]), Int(t[9]), Int(t[10]), Int(t[11]),
                        hasOptions ? &options : nullptr, Int(t[12]), Int(t[13]),
                        hasExtra ? extra.data() : nullptr);
    }

    int Region(const std::vector<std::string> &t)
    {
        const std::string &c = t[0];
        if ((c == "clip" && t.size() != 5) || (c == "fill" && t.size() != 6) ||
            (c == "frame" && t.size() != 8))
            return -1;
        HRGN region = CreateRectRgn(Int(t[1]), Int(t[2]), Int(t[3]), Int(t[4]));
        HBRUSH brush = nullptr;
        if (c != "clip")
            brush = CreateSolidBrush(static_cast<COLORREF>(std::stoul(t[5], nullptr, 0)));
        int result;
        if (c == "clip")
            result = static_cast<int>(reinterpret_cast<intptr_t>(SelectObject(dc_, region)));
        else if (c == "fill")
            result = FillRgn(dc_, region, brush);
        else
            result = FrameRgn(dc_, region, brush, Int(t[6]), Int(t[7]));
        if (brush != nullptr)
            DeleteObject(brush);
        DeleteObject(region);
        return result;
    }

    int Palette(const std::vector<std::string> &t)
    {
        if (t.size() != 2)
            return -1;
        std::vector<uint8_t> bytes(4);
        std::stringstream in(t[1]);
        std::string part;
        uint16_t count = 0;
        while (count < 256 && std::getline(in, part, ':')) {
            unsigned long rgb = std::stoul(part, nullptr, 0);
            bytes.insert(bytes.end(),
                         {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                          static_cast<uint8_t>(rgb), 0});
            ++count;
        }
        LOGPALETTE head{0x300, count, {}};
        std::memcpy(bytes.data(), &head, 4);
        HPALETTE palette = CreatePalette(reinterpret_cast<const LOGPALETTE *>(bytes.data()));
        if (palette == nullptr || SelectPalette(dc_, palette, FALSE) == nullptr)
            return 0;
        if (palette_ != nullptr)
            DeleteObject(palette_);
        palette_ = palette;
        return 1;
    }

    int Stretch(const std::vector<std::string> &t)
    {
        if (t.size() != 11)
            return -1;
        std::vector<uint8_t> dib = ReadBytes(folder_ / t[9]);
        size_t size = dib.size();
        long offset = std::stol(t[10], nullptr, 0);
        if (offset < 0 || static_cast<size_t>(offset) > size)
            return -4;
        dib.resize(size + 16); // as the host allocates
        return StretchDIBits(dc_, Int(t[1]), Int(t[2]), Int(t[3]), Int(t[4]), Int(t[5]), Int(t[6]),
                             Int(t[7]), Int(t[8]), dib.data() + offset,
                             reinterpret_cast<const BITMAPINFO *>(dib.data()), DIB_RGB_COLORS,
                             SRCCOPY);
    }

    fs::path folder_;
    HDC dc_ = nullptr;
    HPALETTE palette_ = nullptr;
    std::string current_;
    std::map<std::string, HMODULE> modules_;
};

std::vector<std::string> Tokens(const std::string &line)
{
    std::vector<std::string> tokens;
    std::stringstream in(line);
    std::string token;
    while (in >> token)
        tokens.push_back(token);
    return tokens;
}

} // namespace

std::vector<std::string> ScriptWriter::Pictures() const
{
    std::vector<std::string> names;
    std::stringstream in(text_);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> t = Tokens(line);
        if (t.size() > 1 && t[0] == "picture")
            names.push_back(t[1]);
    }
    return names;
}

uint32_t ScriptWriter::Fingerprint() const
{
    uint32_t hash = 2166136261u;
    auto mix = [&hash](const void *data, size_t size) {
        const uint8_t *bytes = static_cast<const uint8_t *>(data);
        for (size_t i = 0; i < size; ++i)
            hash = (hash ^ bytes[i]) * 16777619u;
    };
    mix(text_.data(), text_.size());
    for (const auto &[name, bytes] : files_) {
        mix(name.data(), name.size());
        mix(bytes.data(), bytes.size());
    }
    return hash;
}

fs::path ScriptWriter::Save(const fs::path &folder) const
{
    fs::create_directories(folder);
    for (const auto &[name, bytes] : files_) {
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + (folder / name).string());
    }
    fs::path path = folder / "script.txt";
    std::ofstream out(path);
    out << text_;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
    return path;
}

ScriptOutcome RunPortable(const fs::path &script)
{
    std::ifstream in(script);
    if (!in)
        throw std::runtime_error("cannot read " + script.string());
    ScriptOutcome out;
    PortableRunner runner(script.parent_path());
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> tokens = Tokens(line);
        if (tokens.empty() || tokens[0][0] == '#')
            continue;
        runner.Run(tokens, out);
    }
    return out;
}

ScriptOutcome ReadHostOutput(const fs::path &folder)
{
    std::ifstream in(folder / "results.txt");
    if (!in)
        throw std::runtime_error("no results.txt in " + folder.string());
    ScriptOutcome out;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> t = Tokens(line);
        if (t.size() != 3)
            throw std::runtime_error("malformed result line: " + line);
        if (t[0] == "-") {
            out.global.push_back(t[1] + " " + t[2]);
            continue;
        }
        if (t[1] == "picture")
            out.order.push_back(t[0]);
        out.pictures[t[0]].results.push_back(t[1] + " " + t[2]);
    }
    for (auto &[name, picture] : out.pictures) {
        std::vector<uint8_t> bytes = ReadBytes(folder / (name + ".pix"));
        uint32_t head[3];
        if (bytes.size() < sizeof head)
            throw std::runtime_error(name + ".pix is truncated");
        std::memcpy(head, bytes.data(), sizeof head);
        size_t count = static_cast<size_t>(head[1]) * head[2];
        if (std::memcmp(head, "PPX1", 4) != 0 || bytes.size() != sizeof head + 4 * count)
            throw std::runtime_error(name + ".pix is malformed");
        picture.width = static_cast<int32_t>(head[1]);
        picture.height = static_cast<int32_t>(head[2]);
        picture.pixels.resize(count);
        std::memcpy(picture.pixels.data(), bytes.data() + sizeof head, 4 * count);
    }
    return out;
}

std::string DescribeDifferences(const PictureOutcome &expected, const PictureOutcome &actual,
                                size_t limit)
{
    std::ostringstream text;
    if (expected.width != actual.width || expected.height != actual.height) {
        text << "size " << expected.width << "x" << expected.height << " vs " << actual.width << "x"
             << actual.height;
        return text.str();
    }
    size_t differing = 0;
    char line[96];
    for (size_t i = 0; i < expected.pixels.size(); ++i) {
        if (expected.pixels[i] == actual.pixels[i])
            continue;
        if (differing < limit) {
            std::snprintf(line, sizeof line, "(%zu,%zu) 0x%08x vs 0x%08x; ",
                          i % static_cast<size_t>(expected.width),
                          i / static_cast<size_t>(expected.width), expected.pixels[i],
                          actual.pixels[i]);
            text << line;
        }
        ++differing;
    }
    if (differing > 0)
        text << differing << " pixels differ";
    return text.str();
}

} // namespace ppwine
