// Writes the seed corpora of the fuzz targets from catalogues and bitmaps
// built the way the tests build them (tests/support/builders.h): layouts of
// every placement mode, groups, deferred pieces, level searches, variant and
// resampled pieces, 16-colour pictures, rules, badges and option records.
//   pp_fuzz_corpus <corpus directory> [<built samples directory>]
// The second argument (normally build/samples) adds seeds made from the
// sample catalogue: its catalogue resources with the bitmaps of their
// smallest level.
// Every file is named after what it holds and is rewritten the same way on
// every run.
#include "catalog_json.h"
#include "common/pe_writer.h"
#include "paint_input.h"
#include "support/builders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace fs = std::filesystem;
using ppfuzz::Bytes;

namespace {

fs::path root;

void Write(const std::string &target, const std::string &name, const Bytes &bytes)
{
    fs::path dir = root / target;
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + (dir / name).string());
}

int32_t Stride(int32_t width, int32_t bitsPerPixel)
{
    int32_t bytes = bitsPerPixel == 8 ? width : (width + 1) / 2;
    return (bytes + 3) / 4 * 4;
}

// Rows of one value, with a frame of another, so that effects have edges.
Bytes Rows(int32_t width, int32_t height, int32_t bitsPerPixel, uint8_t fill, uint8_t edge)
{
    int32_t stride = Stride(width, bitsPerPixel);
    Bytes rows(static_cast<size_t>(stride) * height, 0);
    for (int32_t r = 0; r < height; ++r) {
        for (int32_t c = 0; c < width; ++c) {
            bool border = r == 0 || c == 0 || r == height - 1 || c == width - 1;
            uint8_t v = border ? edge : fill;
            if (bitsPerPixel == 8) {
                rows[r * stride + c] = v;
            } else {
                uint8_t &byte = rows[r * stride + c / 2];
                byte = c % 2 == 0 ? static_cast<uint8_t>((byte & 0x0F) | (v << 4))
                                  : static_cast<uint8_t>((byte & 0xF0) | (v & 0x0F));
            }
        }
    }
    return rows;
}

Bytes Compact(int32_t width, int32_t height, int32_t bitsPerPixel, const Bytes &data)
{
    Bytes out;
    ppfuzz::CompactBitmap c{static_cast<int16_t>(width), static_cast<int16_t>(height),
                            static_cast<uint8_t>(bitsPerPixel)};
    ppfuzz::AppendRecord(out, c);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// An 8 x 6 RLE8 badge: header and grey table, then the coded rows.
Bytes RleBadge()
{
    Bytes badge = pptest::BuildBitmap(8, 6, 8, 256, {});
    badge.resize(1064);
    const Bytes coded = {0x08, 0x05, 0x00, 0x00, 0x02, 0x06, 0x00, 0x03, 0x07, 0x08, 0x09,
                         0x00, 0x03, 0x0A, 0x00, 0x00, 0x00, 0x02, 0x02, 0x01, 0x04, 0x0B,
                         0x00, 0x00, 0x0A, 0x0C, 0x00, 0x00, 0x03, 0x0D, 0x00, 0x01};
    uint32_t compression = 1, size = static_cast<uint32_t>(coded.size());
    std::memcpy(badge.data() + 16, &compression, 4);
    std::memcpy(badge.data() + 20, &size, 4);
    badge.insert(badge.end(), coded.begin(), coded.end());
    return badge;
}

// A variant table and its variants: entry k is k pixels narrower (or lower).
Bytes Variants(int32_t width, int32_t height, bool widthVariants, int32_t entries,
               int32_t bitsPerPixel)
{
    Bytes table(static_cast<size_t>(entries) * 8, 0);
    Bytes rows;
    for (int32_t k = 0; k < entries; ++k) {
        int32_t w = widthVariants ? width - k : width;
        int32_t h = widthVariants ? height : height - k;
        uint16_t fields[4] = {0, static_cast<uint16_t>(w), static_cast<uint16_t>(h),
                              static_cast<uint16_t>(table.size() + rows.size())};
        std::memcpy(table.data() + k * 8, fields, 8);
        Bytes variant = Rows(w, h, bitsPerPixel, static_cast<uint8_t>(40 + k), 7);
        rows.insert(rows.end(), variant.begin(), variant.end());
    }
    table.insert(table.end(), rows.begin(), rows.end());
    return table;
}

PieceTemplate Piece(int16_t code, uint16_t placeX, uint16_t placeY, int16_t bitmapId, int16_t width,
                    int16_t height)
{
    PieceTemplate t = pptest::MakeTemplate(code, placeX, placeY);
    t.bitmapId = bitmapId;
    pptest::SetSize(t, width, height);
    return t;
}

ppfuzz::PaintArgs DefaultArgs()
{
    ppfuzz::PaintArgs a{};
    a.deviceKind = 0;
    a.deviceWidth = 95;
    a.deviceHeight = 79;
    a.switches = ppfuzz::SWITCH_OPTIONS | ppfuzz::SWITCH_EXTRA_CODES;
    a.destWidth = 96;
    a.destHeight = 80;
    a.availWidth = 96;
    a.availHeight = 80;
    a.background = 128;
    return a;
}

struct PaintSeed {
    ppfuzz::PaintArgs args = DefaultArgs();
    Bytes catalogue;
    std::vector<std::pair<uint8_t, Bytes>> chunks;
    std::vector<uint16_t> extraCodes{500};

    Bytes Encode() const
    {
        Bytes out;
        ppfuzz::AppendRecord(out, args);
        ppfuzz::AppendChunk(out, ppfuzz::TAG_CATALOGUE, catalogue);
        for (const auto &[tag, data] : chunks)
            ppfuzz::AppendChunk(out, tag, data);
        Bytes codes;
        for (uint16_t c : extraCodes) {
            codes.push_back(static_cast<uint8_t>(c));
            codes.push_back(static_cast<uint8_t>(c >> 8));
        }
        ppfuzz::AppendChunk(out, ppfuzz::TAG_EXTRA_CODES, codes);
        return out;
    }
    void Bitmap(int32_t width, int32_t height, int32_t bpp, uint8_t fill)
    {
        chunks.emplace_back(ppfuzz::TAG_COMPACT_BITMAP,
                            Compact(width, height, bpp, Rows(width, height, bpp, fill, 9)));
    }
};

std::map<std::string, PaintSeed> PaintSeeds()
{
    std::map<std::string, PaintSeed> seeds;
    CatalogHeader h = pptest::DefaultHeader();

    { // Flow along X with the cursor and advance.
        PaintSeed s;
        std::vector<PieceTemplate> t = {Piece(500, 0x8802, 0x8001, 1000, 10, 5),
                                        Piece(500, 0x8802, 0x8001, 1001, 20, 7),
                                        Piece(500, 0x8802, 0x8001, 1002, 30, 6)};
        t[0].layoutFlags = 0x040;
        s.catalogue = pptest::BuildCatalog(h, t);
        s.Bitmap(10, 5, 8, 100);
        s.Bitmap(20, 7, 8, 120);
        s.Bitmap(30, 6, 8, 140);
        seeds["flow"] = s;
    }
    { // Evenly spaced groups on both axes.
        PaintSeed s;
        std::vector<PieceTemplate> t = {
            Piece(500, 0xA001, 0xA001, 1000, 4, 4), Piece(500, 0x8003, 0x8003, 1000, 4, 4),
            Piece(500, 0x8003, 0x8003, 1000, 4, 4), Piece(500, 0x8003, 0x8003, 1000, 4, 4),
            Piece(500, 0xA001, 0xA001, 1000, 4, 4)};
        t[0].layoutFlags = 0x010 | 0x004;
        t[4].layoutFlags = 0x020 | 0x008;
        t[4].offsetX[0] = 60;
        t[4].offsetY[0] = 40;
        s.catalogue = pptest::BuildCatalog(h, t);
        s.Bitmap(4, 4, 8, 60);
        seeds["groups"] = s;
    }
    { // Deferred pieces centred, flush and stacked against the first-pass box.
        PaintSeed s;
        std::vector<PieceTemplate> t = {
            Piece(500, 0xA001, 0xA001, 1000, 40, 20), Piece(500, 0x4004, 0x4005, 1001, 12, 6),
            Piece(500, 0xA001, 0x4006, 1002, 8, 5), Piece(500, 0xA001, 0x6080, 1003, 8, 5)};
        t[3].offsetY[0] = 5;
        s.catalogue = pptest::BuildCatalog(h, t);
        s.Bitmap(40, 20, 8, 30);
        s.Bitmap(12, 6, 8, 50);
        s.Bitmap(8, 5, 8, 70);
        s.Bitmap(8, 5, 8, 90);
        seeds["deferred"] = s;
    }
    { // A level search: ids 100 apart per level, sizes halving.
        PaintSeed s;
        CatalogHeader lh = h;
        lh.levelCount = 3;
        lh.baseLevel = 2;
        lh.idStep = 100;
        PieceTemplate t = Piece(500, 0xA001, 0xA001, 2000, 4, 4);
        for (int level = 0; level < 5; ++level) {
            t.width[level] = static_cast<int16_t>(48 >> level);
            t.height[level] = static_cast<int16_t>(36 >> level);
        }
        s.catalogue = pptest::BuildCatalog(lh, {t});
        for (int level = 0; level < 5; ++level)
            s.Bitmap(48 >> level, 36 >> level, 8, static_cast<uint8_t>(20 * level + 30));
        seeds["levels"] = s;
    }
    { // Sixteen colours at 4 bits, banded background.
        PaintSeed s;
        CatalogHeader ch = h;
        ch.bitsPerPixel = 4;
        ch.colorCount = 16;
        ch.bgIndex0 = 1;
        ch.bgIndex128 = 8;
        ch.bgIndex192 = 7;
        ch.keyIndex = 15;
        PieceTemplate a = Piece(500, 0xA001, 0xA001, 1000, 9, 7);
        PieceTemplate b = Piece(500, 0xA001, 0xA001, 1001, 5, 3);
        b.offsetX[0] = 3;
        b.mapFrom[0] = 4;
        b.mapTo[0] = 12;
        s.catalogue = pptest::BuildCatalog(ch, {a, b});
        s.Bitmap(9, 7, 4, 4);
        s.Bitmap(5, 3, 4, 2);
        s.args.deviceKind = 2;
        seeds["sixteen"] = s;
    }
    { // Late pieces: width and height variants and a resampled piece, shrunk.
        PaintSeed s;
        CatalogHeader eh = h;
        eh.paintFlags = PAINT_SHRINK;
        eh.levelCount = 1;
        eh.baseLevel = 4;
        PieceTemplate base = Piece(500, 0xA001, 0xA001, 1000, 60, 40);
        PieceTemplate wide = Piece(500, 0xA001, 0xA001, 1001, 24, 8);
        wide.pieceFlags = 0x04;
        PieceTemplate tall = Piece(500, 0xA001, 0xA001, 1002, 8, 24);
        tall.pieceFlags = 0x08;
        tall.offsetX[4] = 30;
        PieceTemplate sampled = Piece(500, 0xA001, 0xA001, 1003, 12, 12);
        sampled.pieceFlags = 0x02;
        sampled.offsetY[4] = 20;
        s.catalogue = pptest::BuildCatalog(eh, {base, wide, tall, sampled});
        s.Bitmap(60, 40, 8, 200);
        s.chunks.emplace_back(ppfuzz::TAG_COMPACT_BITMAP,
                              Compact(24, 8, 8, Variants(24, 8, true, 12, 8)));
        s.chunks.emplace_back(ppfuzz::TAG_COMPACT_BITMAP,
                              Compact(8, 24, 8, Variants(8, 24, false, 12, 8)));
        s.Bitmap(12, 12, 8, 90);
        s.args.availWidth = 40;
        s.args.availHeight = 30;
        seeds["variants"] = s;
    }
    { // Every effect: smoothing, filter, brightness, palette, with strengths.
        PaintSeed s;
        CatalogHeader fh = h;
        fh.paintFlags = PAINT_SMOOTH | PAINT_SHRINK | PAINT_FILTER | PAINT_PALETTE;
        for (int i = 0; i < 6; ++i)
            fh.filterStrength[i] = static_cast<int16_t>(i + 1);
        PieceTemplate a = Piece(500, 0xA001, 0xA001, 1000, 30, 20);
        PieceTemplate b = Piece(500, 0xA001, 0xA001, 1001, 10, 10);
        b.offsetX[0] = 25;
        b.offsetY[0] = 15;
        b.pieceFlags = 0x40;
        b.transparentIndex = 9;
        b.mapFrom[0] = 3;
        b.mapTo[0] = 9;
        s.catalogue = pptest::BuildCatalog(fh, {a, b});
        s.Bitmap(30, 20, 8, 100);
        s.chunks.emplace_back(ppfuzz::TAG_COMPACT_BITMAP,
                              Compact(10, 10, 8, Rows(10, 10, 8, 3, 1)));
        s.args.deviceKind = 1;
        s.args.switches |= ppfuzz::SWITCH_PALETTE;
        s.args.background = 200;
        s.args.brightness = -20;
        seeds["effects"] = s;
    }
    { // Rules: an always-on code, an add rule and a remove rule.
        PaintSeed s;
        std::vector<PieceTemplate> t = {Piece(500, 1, 0x8001, 1000, 6, 6),
                                        Piece(501, 0xA001, 0xA001, 1001, 6, 6),
                                        Piece(500, 0xA002, 0xA001, 1002, 6, 6)};
        t[1].ruleOp = 8;
        t[1].ruleCodeA = 500;
        t[1].ruleCodeB = 67;
        t[2].ruleOp = 26;
        t[2].ruleCodeB = 501;
        t[2].attention = ATTENTION_RED;
        s.catalogue = pptest::BuildCatalog(h, t);
        s.Bitmap(6, 6, 8, 10);
        s.extraCodes = {67, 500};
        seeds["rules"] = s;
    }
    { // The option record decoded, with a code list, and the badge shown.
        PaintSeed s;
        CatalogHeader bh = h;
        bh.reserveHeight = 12;
        std::vector<PieceTemplate> t = {Piece(2, 0xA001, 0xA001, 1000, 20, 10),
                                        Piece(282, 0xA001, 0xA001, 1001, 8, 8),
                                        Piece(1234, 0xA001, 0xA001, 1002, 8, 8)};
        t[1].offsetX[0] = 10;
        t[1].attention = ATTENTION_YELLOW;
        t[2].pieceFlags = 0x10;
        s.catalogue = pptest::BuildCatalog(bh, t);
        s.Bitmap(20, 10, 8, 77);
        s.args.bits0 = 0x6600;
        s.args.bits2 = 0x1005;
        s.args.singleCode = 189;
        s.args.selector1 = 7;
        s.args.selector2 = 18;
        s.args.extraFlag = 1;
        s.args.showBadge = 1;
        s.args.switches |= ppfuzz::SWITCH_CODE_LIST | ppfuzz::SWITCH_AUX_MODULE;
        Bytes list = {0xF9, 0x1A, 0xE8, 0x1C, 0x2F, 0x1A, 0xD2, 0x04}; // 6905 7400 6703 1234
        s.chunks.emplace_back(ppfuzz::TAG_CODE_LIST, list);
        s.chunks.emplace_back(ppfuzz::TAG_COMPACT_BADGE, Compact(16, 8, 8, Rows(16, 8, 8, 5, 6)));
        seeds["options_badge"] = s;
        // The same badge stored run-length coded: runs, absolute runs, a move
        // and lines closed and left open.
        s.chunks.back() = {ppfuzz::TAG_BADGE, RleBadge()};
        seeds["rle_badge"] = s;
    }
    { // A picture far beyond the picture limit.
        PaintSeed s;
        s.catalogue = pptest::BuildCatalog(h, {Piece(500, 0xA001, 0xA001, 1000, 30000, 30000)});
        s.Bitmap(8, 8, 8, 1);
        s.args.levelRequest = 5;
        seeds["huge_picture"] = s;
    }
    return seeds;
}

std::map<uint16_t, Bytes> ModuleOf(const PaintSeed &seed)
{
    // The paint target's own framing, read back the simple way: the
    // catalogue, compact bitmaps under ids from 1000 on, and the first few
    // explicit resources.
    std::map<uint16_t, Bytes> resources;
    resources[PP_CATALOGUE_ID] = seed.catalogue;
    for (size_t i = 0; i < seed.chunks.size(); ++i) {
        if (seed.chunks[i].first == ppfuzz::TAG_RESOURCE && resources.size() <= 4) {
            const Bytes &data = seed.chunks[i].second;
            resources[ppfuzz::ReadU16(data.data())] = Bytes(data.begin() + 2, data.end());
            continue;
        }
        if (seed.chunks[i].first != ppfuzz::TAG_COMPACT_BITMAP)
            continue;
        const Bytes &compact = seed.chunks[i].second;
        ppfuzz::CompactBitmap c;
        std::memcpy(&c, compact.data(), sizeof c);
        Bytes bitmap =
            pptest::BuildBitmap(c.width, c.height, c.bitCount, c.bitCount == 8 ? 256 : 16, {});
        bitmap.resize(bitmap.size() - static_cast<size_t>(Stride(c.width, c.bitCount)) * c.height);
        bitmap.insert(bitmap.end(), compact.begin() + sizeof c, compact.end());
        resources[static_cast<uint16_t>(1000 + i)] = bitmap;
    }
    return resources;
}

Bytes DirEntry(const std::string &name, const Bytes &contents)
{
    Bytes data;
    data.push_back(static_cast<uint8_t>(name.size()));
    data.insert(data.end(), name.begin(), name.end());
    data.insert(data.end(), contents.begin(), contents.end());
    return data;
}

// A description without the values that are zero anyway, written compactly:
// the reader takes a missing field as 0, and short seeds fuzz faster.
pptool::Json Minimal(const pptool::Json &value)
{
    if (value.is_object()) {
        pptool::Json out = pptool::Json::object();
        for (const auto &item : value.items()) {
            pptool::Json kept = Minimal(item.value());
            bool zero = kept == 0 || (kept.is_array() &&
                                      std::all_of(kept.begin(), kept.end(),
                                                  [](const pptool::Json &v) { return v == 0; }));
            if (!zero || item.key() == "id")
                out[item.key()] = kept;
        }
        return out;
    }
    if (value.is_array()) {
        pptool::Json out = pptool::Json::array();
        for (const auto &item : value)
            out.push_back(Minimal(item));
        return out;
    }
    return value;
}

// A catalogue cut to its first templates, so that it stays a short seed.
Bytes FirstTemplates(Bytes catalogue, int16_t most)
{
    CatalogHeader h;
    std::memcpy(&h, catalogue.data(), sizeof h);
    if (h.templateCount > most) {
        h.templateCount = most;
        std::memcpy(catalogue.data(), &h, sizeof h);
        catalogue.resize(static_cast<size_t>(h.templateOffset) +
                         size_t(most) * sizeof(PieceTemplate));
    }
    return catalogue;
}

Bytes ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The sample catalogue of one built module directory, with a few of its
// smallest level-4 bitmaps as explicit resources.
PaintSeed SampleSeed(const fs::path &moduleDir, bool sixteen)
{
    PaintSeed s;
    s.catalogue = ReadFile(moduleDir / "999.bin");
    CatalogHeader h;
    std::memcpy(&h, s.catalogue.data(), sizeof h);
    for (int16_t i = 0; i < h.templateCount && s.chunks.size() < 6; ++i) {
        PieceTemplate t;
        std::memcpy(&t, s.catalogue.data() + h.templateOffset + i * sizeof t, sizeof t);
        int32_t id = t.bitmapId;
        if (id < FIXED_ID_FIRST || id > FIXED_ID_LAST)
            id += (4 - h.baseLevel) * h.idStep + h.idBase;
        fs::path file = moduleDir / (std::to_string(static_cast<uint16_t>(id)) + ".bin");
        if (!fs::exists(file) || fs::file_size(file) > 2048)
            continue;
        Bytes data{static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)};
        Bytes bitmap = ReadFile(file);
        data.insert(data.end(), bitmap.begin(), bitmap.end());
        s.chunks.emplace_back(ppfuzz::TAG_RESOURCE, data);
    }
    // Every other piece finds one of these under its ids.
    int32_t bpp = sixteen ? 4 : 8;
    s.Bitmap(8, 8, bpp, sixteen ? 3 : 120);
    s.Bitmap(12, 6, bpp, sixteen ? 5 : 60);
    s.args.levelRequest = 1;
    s.args.deviceKind = sixteen ? 2 : 1;
    // samples/options/everything.json: F0 4, F1 2, F2 2, P0 1, P1 1, P2 1, M0 1.
    s.args.bits0 =
        (4u << 14) | (2u << 17) | (2u << 20) | (1u << 8) | (1u << 6) | (1u << 4) | (1u << 12);
    s.extraCodes = {};
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: pp_fuzz_corpus <corpus directory> [<samples directory>]\n");
        return 2;
    }
    root = argv[1];
    std::map<std::string, PaintSeed> seeds = PaintSeeds();
    if (argc == 3) {
        seeds["sample_house"] = SampleSeed(fs::path(argv[2]) / "house", false);
        seeds["sample_house16"] = SampleSeed(fs::path(argv[2]) / "house16", true);
    }
    for (const auto &[name, seed] : seeds)
        Write("fuzz_paint", name, seed.Encode());

    // Resource DLLs of both widths, holding the seeds' catalogues and bitmaps.
    for (const char *name : {"flow", "levels", "sixteen", "variants", "sample_house"}) {
        if (seeds.count(name) == 0)
            continue;
        std::map<uint16_t, Bytes> module = ModuleOf(seeds.at(name));
        Write("fuzz_pe_module", std::string(name) + "_pe32",
              pptool::WriteResourceDll(module, false));
        Write("fuzz_pe_module", std::string(name) + "_pe32plus",
              pptool::WriteResourceDll(module, true));
    }
    Write("fuzz_pe_module", "empty_pe32", pptool::WriteResourceDll({}, false));

    // Directories: well-named files, names the reader passes over, a
    // sub-directory, and a DLL as the first file.
    {
        std::map<uint16_t, Bytes> module = ModuleOf(seeds.at("flow"));
        Bytes input;
        for (const auto &[id, bytes] : module)
            ppfuzz::AppendChunk(input, 0, DirEntry(std::to_string(id) + ".bin", bytes));
        ppfuzz::AppendChunk(input, 0, DirEntry("0.bin", {}));
        ppfuzz::AppendChunk(input, 0, DirEntry("007.bin", {1}));
        ppfuzz::AppendChunk(input, 0, DirEntry("65536.bin", {2}));
        ppfuzz::AppendChunk(input, 1, DirEntry("12.bin", {}));
        Write("fuzz_dir_module", "flow_directory", input);
        input[0] |= 0x80; // also written to disk and opened there
        Write("fuzz_dir_module", "flow_directory_disk", input);

        Bytes dll;
        ppfuzz::AppendChunk(dll, 0, DirEntry("art.dll", pptool::WriteResourceDll(module, false)));
        ppfuzz::AppendChunk(dll, 0, DirEntry("999.bin", module.at(PP_CATALOGUE_ID)));
        dll[0] |= 0x80;
        Write("fuzz_dir_module", "dll_file_disk", dll);
    }

    // Binary catalogues for the description round trip (a leading zero byte).
    for (const auto &[name, seed] : seeds) {
        Bytes input{0};
        Bytes catalogue = FirstTemplates(seed.catalogue, 16);
        input.insert(input.end(), catalogue.begin(), catalogue.end());
        Write("fuzz_catalog_json", "binary_" + name, input);
    }
    // Descriptions: the seeds' modules as the tool describes them, and art
    // read from the target's fixtures (raw.bin, art.png).
    for (const char *name : {"flow", "groups", "sixteen", "options_badge"}) {
        if (seeds.count(name) == 0)
            continue;
        pptool::ResourceMap module;
        for (const auto &[id, bytes] : ModuleOf(seeds.at(name)))
            if (id == PP_CATALOGUE_ID || bytes.size() <= 1024)
                module[id] = bytes;
        std::string text = Minimal(pptool::ModuleToJson(module, pptool::RawStyle{})).dump();
        Write("fuzz_catalog_json", std::string("description_") + name,
              Bytes(text.begin(), text.end()));
    }
    {
        pptool::ResourceMap module;
        module[PP_CATALOGUE_ID] = seeds.at("variants").catalogue;
        pptool::Json description = pptool::ModuleToJson(module, pptool::RawStyle{});
        description["palette"] = "grey";
        description["resources"] = pptool::Json::array(
            {{{"id", 1000}, {"png", "art.png"}},
             {{"id", 1001}, {"png", "art.png"}, {"size", {12, 5}}, {"variants", "width"}},
             {{"id", 1002},
              {"png", "art.png"},
              {"variants", "height"},
              {"variantCount", 3},
              {"variantMethod", "middle"}},
             {{"id", 1003}, {"file", "raw.bin"}},
             {{"id", 1004}, {"hex", "00ff10"}}});
        std::string text = Minimal(description).dump();
        Write("fuzz_catalog_json", "description_art", Bytes(text.begin(), text.end()));
    }
    return 0;
}
