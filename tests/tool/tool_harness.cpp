#include "tool_harness.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace pptest {

void ToolTest::SetUp()
{
#ifndef PP_TOOL_PATH
    GTEST_SKIP() << "the tool is not built (PIECEPAINT_TOOLS=OFF)";
#else
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("pp_tool_test_" + std::to_string(getpid()) + "_" + std::to_string(serial++));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
#endif
}

void ToolTest::TearDown()
{
    if (!dir_.empty())
        std::filesystem::remove_all(dir_);
}

ToolRun ToolTest::Run(const std::string &args) const
{
    ToolRun run;
#ifdef PP_TOOL_PATH
    std::string command = "cd '" + dir_.string() + "' && '" PP_TOOL_PATH "' " + args + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    std::array<char, 4096> buffer;
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.output.append(buffer.data(), got);
    int status = pclose(pipe);
    // The shell reports a child killed by a signal as 128 + the signal.
    if (WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) > 128)) {
        run.crashed = true;
    } else if (WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
#else
    (void)args;
#endif
    return run;
}

void ToolTest::WriteModule(const std::string &name, const Resources &resources) const
{
    std::filesystem::create_directories(Path(name));
    for (const auto &[id, bytes] : resources)
        WriteBytes(Path(name) / (std::to_string(id) + ".bin"), bytes);
}

Resources ToolTest::ReadModuleDir(const std::string &name) const
{
    Resources resources;
    for (const auto &item : std::filesystem::directory_iterator(Path(name))) {
        std::string file = item.path().filename().string();
        resources[static_cast<uint16_t>(std::stoi(file))] = ReadBytes(item.path());
    }
    return resources;
}

void ToolTest::WriteText(const std::string &name, const std::string &text) const
{
    WriteBytes(Path(name), Bytes(text.begin(), text.end()));
}

std::string ToolTest::ReadText(const std::string &name) const
{
    Bytes bytes = ReadBytes(Path(name));
    return std::string(bytes.begin(), bytes.end());
}

void WriteBytes(const std::filesystem::path &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

namespace {

uint32_t Crc32(const uint8_t *data, size_t size, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBig32(Bytes &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(Bytes &png, const char *type, const Bytes &data)
{
    PutBig32(png, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    PutBig32(png, Crc32(body.data(), body.size()));
}

// A zlib stream of stored (uncompressed) blocks.
Bytes StoredZlib(const Bytes &raw)
{
    Bytes out = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t len = std::min<size_t>(65535, raw.size() - pos);
        out.push_back(pos + len == raw.size() ? 1 : 0);
        out.push_back(static_cast<uint8_t>(len));
        out.push_back(static_cast<uint8_t>(len >> 8));
        out.push_back(static_cast<uint8_t>(~len));
        out.push_back(static_cast<uint8_t>(~len >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                   raw.begin() + static_cast<std::ptrdiff_t>(pos + len));
        pos += len;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(out, b << 16 | a);
    return out;
}

Bytes EncodePng(int32_t width, int32_t height, uint8_t colourType, const Bytes &pixels,
                size_t bytesPerPixel, const Bytes &palette)
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBig32(header, static_cast<uint32_t>(width));
    PutBig32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, colourType, 0, 0, 0});
    Chunk(png, "IHDR", header);
    if (!palette.empty())
        Chunk(png, "PLTE", palette);
    Bytes raw;
    size_t row = static_cast<size_t>(width) * bytesPerPixel;
    for (int32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y * row),
                   pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
    }
    Chunk(png, "IDAT", StoredZlib(raw));
    Chunk(png, "IEND", {});
    return png;
}

} // namespace

Bytes EncodePngRgba(int32_t width, int32_t height, const Bytes &rgba)
{
    return EncodePng(width, height, 6, rgba, 4, {});
}

Bytes EncodePngIndexed(int32_t width, int32_t height, const Bytes &indices, const Bytes &palette)
{
    return EncodePng(width, height, 3, indices, 1, palette);
}

} // namespace pptest
