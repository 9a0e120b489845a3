// Draws the sample catalogue's art: a house in its garden, piece by piece,
// at the five size levels, as palette-type PNGs whose indices go into the
// piece bitmaps unchanged.
//
//   generate_art OUTDIR
//
// writes OUTDIR/art8/<piece>_<level>.png (256 colours) and
// OUTDIR/art4/<piece>_<level>.png (16 colours), plus the level-free pieces
// (birds, badge) as <piece>.png. Every piece is described once, as layers of
// shapes in level-0 units (x to the right, y downwards); each level samples
// the shapes at its own scale, so every size is drawn crisply rather than
// resized from another.
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

// Size of each level relative to level 0. The catalogue descriptions hold
// the same sizes: round(value x factor), halves away from zero.
constexpr std::array<double, 5> LEVEL_SCALE = {1.0, 0.8, 0.64, 0.48, 0.32};

int Scaled(double value, int level)
{
    return static_cast<int>(std::lround(value * LEVEL_SCALE[static_cast<size_t>(level)]));
}

// ---------------------------------------------------------------------------
// Palette. 256 colours: index 0 black, accents at the even indices 2 to 12
// (each odd index 3 to 11 repeats the accent below it, since computed odd
// indices below 14 are lowered by one), 1 the marker, 13 the key (never
// drawn: transparent in every piece), 14 to 254 greys equal to their index,
// 255 white, the background while a picture is composed.
enum Index : int {
    BLACK = 0,
    MARKER = 1,
    RED = 2,
    GREEN = 4,
    BLUE = 6,
    YELLOW = 8,
    BROWN = 10,
    DARK_GREEN = 12,
    KEY = 13,
    // An odd index below 14 repeats the accent below it, so art may use it
    // for a part that substitutions treat apart: the tree's branches.
    BRANCH = 11,
    // The outline grey of the pieces drawn before the effects. Averaging and
    // the filter's sharpening work on indices: black (0) would average into
    // accents, and a grey much darker than this would sharpen below 14.
    DARK = 56,
};

struct Rgb {
    uint8_t r, g, b;
};

std::array<Rgb, 256> Palette256()
{
    std::array<Rgb, 256> p{};
    p[BLACK] = {0, 0, 0};
    p[MARKER] = {255, 0, 255};
    p[RED] = {196, 48, 36};
    p[GREEN] = {72, 156, 56};
    p[BLUE] = {64, 116, 196};
    p[YELLOW] = {248, 204, 40};
    p[BROWN] = {128, 80, 40};
    p[DARK_GREEN] = {32, 100, 44};
    for (int i = 3; i <= 11; i += 2)
        p[static_cast<size_t>(i)] = p[static_cast<size_t>(i - 1)];
    p[KEY] = {255, 0, 255};
    for (int i = 14; i < 256; ++i)
        p[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                     static_cast<uint8_t>(i)};
    return p;
}

// The 16 colours of the 4-bit catalogue: the standard 16, whose black,
// grey, silver and white are the background bands 0, 128, 192 and 255.
// White (15) is the key.
std::array<Rgb, 16> Palette16()
{
    return {{{0, 0, 0},
             {128, 0, 0},
             {0, 128, 0},
             {128, 128, 0},
             {0, 0, 128},
             {128, 0, 128},
             {0, 128, 128},
             {192, 192, 192},
             {128, 128, 128},
             {255, 0, 0},
             {0, 255, 0},
             {255, 255, 0},
             {0, 0, 255},
             {255, 0, 255},
             {0, 255, 255},
             {255, 255, 255}}};
}

constexpr int KEY16 = 15;

// The 4-bit index that stands for an index of the 256-colour art.
int To16(int index)
{
    switch (index) {
    case KEY:
        return KEY16;
    case BLACK:
        return 0;
    case RED:
        return 9;
    case GREEN:
        return 2;
    case BLUE:
        return 12;
    case YELLOW:
        return 11;
    case BROWN:
        return 3;
    case DARK_GREEN:
        return 2;
    case BRANCH:
        return 1;
    default:
        break;
    }
    if (index < 64)
        return 0;
    if (index < 160)
        return 8;
    return 7; // silver: white is the key
}

// ---------------------------------------------------------------------------
// Shapes: signed distances in level-0 units, negative inside.
struct Vec {
    double x, y;
};

using Shape = std::function<double(Vec)>;

Shape Rect(double x0, double y0, double x1, double y1)
{
    return [=](Vec p) {
        double dx = std::max(x0 - p.x, p.x - x1);
        double dy = std::max(y0 - p.y, p.y - y1);
        if (dx <= 0 && dy <= 0)
            return std::max(dx, dy);
        return std::hypot(std::max(dx, 0.0), std::max(dy, 0.0));
    };
}

Shape Circle(double cx, double cy, double r)
{
    return [=](Vec p) { return std::hypot(p.x - cx, p.y - cy) - r; };
}

Shape Ellipse(double cx, double cy, double rx, double ry)
{
    return [=](Vec p) {
        double k = std::hypot((p.x - cx) / rx, (p.y - cy) / ry);
        return (k - 1.0) * std::min(rx, ry);
    };
}

double SegmentDistance(Vec p, Vec a, Vec b)
{
    double vx = b.x - a.x, vy = b.y - a.y;
    double t = ((p.x - a.x) * vx + (p.y - a.y) * vy) / (vx * vx + vy * vy);
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - a.x - t * vx, p.y - a.y - t * vy);
}

Shape Polygon(std::vector<Vec> points)
{
    return [points](Vec p) {
        double best = 1e30;
        bool inside = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            Vec a = points[i], b = points[j];
            best = std::min(best, SegmentDistance(p, a, b));
            if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
                inside = !inside;
        }
        return inside ? -best : best;
    };
}

Shape Union(std::vector<Shape> shapes)
{
    return [shapes](Vec p) {
        double d = 1e30;
        for (const Shape &s : shapes)
            d = std::min(d, s(p));
        return d;
    };
}

Shape Minus(Shape a, Shape b)
{
    return [a, b](Vec p) { return std::max(a(p), -b(p)); };
}

Shape Within(Shape a, Shape b)
{
    return [a, b](Vec p) { return std::max(a(p), b(p)); };
}

// One layer of a piece: a filled shape with an optional outline, or a
// stroke along a polyline. Outlines and strokes are at least one pixel wide
// at every level, so thin lines survive the small levels.
struct Layer {
    Shape shape;
    int fill = -1;    // index, or -1: only the outline
    int outline = -1; // index, or -1: none
    double outlineWidth = 0;
    bool stroke = false;
    std::vector<Vec> path;
    double radius = 0;
};

Layer Fill(Shape shape, int fill, int outline = -1, double width = 0)
{
    Layer l;
    l.shape = std::move(shape);
    l.fill = fill;
    l.outline = outline;
    l.outlineWidth = width;
    return l;
}

Layer Stroke(std::vector<Vec> path, double radius, int colour)
{
    Layer l;
    l.stroke = true;
    l.path = std::move(path);
    l.radius = radius;
    l.fill = colour;
    return l;
}

struct Piece {
    std::string name;
    double width, height; // level 0
    std::vector<Layer> layers;
    bool levelFree = false; // one size at every level
};

struct Picture {
    int width, height;
    std::vector<uint8_t> indices; // top row first
};

double StrokeDistance(const Layer &l, Vec p)
{
    double d = 1e30;
    for (size_t i = 0; i + 1 < l.path.size(); ++i)
        d = std::min(d, SegmentDistance(p, l.path[i], l.path[i + 1]));
    return d;
}

Picture Draw(const Piece &piece, int level)
{
    double f = piece.levelFree ? 1.0 : LEVEL_SCALE[static_cast<size_t>(level)];
    int w =
        piece.levelFree ? static_cast<int>(piece.width) : std::max(1, Scaled(piece.width, level));
    int h =
        piece.levelFree ? static_cast<int>(piece.height) : std::max(1, Scaled(piece.height, level));
    double fx = w / piece.width, fy = h / piece.height;
    Picture out{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h, KEY)};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Vec p{(x + 0.5) / fx, (y + 0.5) / fy};
            uint8_t &px = out.indices[static_cast<size_t>(y) * w + x];
            for (const Layer &l : piece.layers) {
                if (l.stroke) {
                    double d = StrokeDistance(l, p) * f;
                    if (d <= std::max(l.radius * f, 0.5))
                        px = static_cast<uint8_t>(l.fill);
                    continue;
                }
                double d = l.shape(p) * f; // in pixels
                if (d > 0)
                    continue;
                double band = l.outline >= 0 ? std::max(1.0, std::round(l.outlineWidth * f)) : 0;
                if (l.outline >= 0 && d > -band)
                    px = static_cast<uint8_t>(l.outline);
                else if (l.fill >= 0)
                    px = static_cast<uint8_t>(l.fill);
            }
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// The pieces.

std::vector<Piece> MainPieces()
{
    std::vector<Piece> pieces;

    {
        // The road is drawn first in every picture and is shrunk with it, so
        // it keeps to greys: their indices average into greys.
        Piece p{"road", 520, 24, {}};
        p.layers.push_back(Fill(Rect(-1, 0, 521, 25), 92));
        p.layers.push_back(Fill(Rect(-1, 0, 521, 3), 164));
        for (double x = 8; x < 520; x += 48)
            p.layers.push_back(Fill(Rect(x, 13, x + 24, 15.5), 236));
        pieces.push_back(p);
    }
    {
        Piece p{"lawn", 520, 56, {}};
        p.layers.push_back(Fill(Rect(-1, 0, 521, 57), GREEN));
        p.layers.push_back(Fill(Rect(-1, -1, 521, 2.5), DARK_GREEN));
        // Tufts of grass, spread by a fixed sequence.
        unsigned seed = 7;
        for (int i = 0; i < 40; ++i) {
            seed = seed * 1103515245u + 12345u;
            double x = 6 + (seed >> 8) % 508;
            seed = seed * 1103515245u + 12345u;
            double y = 12 + (seed >> 8) % 40;
            p.layers.push_back(Stroke({{x - 3, y}, {x - 1, y - 5}}, 0.6, DARK_GREEN));
            p.layers.push_back(Stroke({{x + 2, y}, {x + 3, y - 6}}, 0.6, DARK_GREEN));
        }
        p.layers.push_back(
            Fill(Polygon({{237, -1}, {263, -1}, {292, 57}, {208, 57}}), 200, 150, 1.5));
        pieces.push_back(p);
    }
    {
        Piece p{"walls", 200, 140, {}};
        p.layers.push_back(Fill(Rect(0, 0, 200, 140), 228, DARK, 2));
        for (double y : {26.0, 50.0, 74.0, 98.0})
            p.layers.push_back(Stroke({{3, y}, {197, y}}, 0.5, 206));
        p.layers.push_back(Fill(Rect(0, 124, 200, 140), 150, DARK, 2));
        pieces.push_back(p);
    }
    Shape roof = Polygon({{0, 100}, {120, 0}, {240, 100}});
    {
        Piece p{"roof", 240, 100, {}};
        p.layers.push_back(Fill(roof, RED, BLACK, 2.5));
        for (double y : {34.0, 56.0, 78.0})
            p.layers.push_back(Fill(Within(Rect(0, y - 0.8, 240, y + 0.8), roof), BLACK));
        pieces.push_back(p);
    }
    {
        Piece p{"snowcap", 240, 100, {}};
        Shape cap = [](Vec q) { return q.y - (34 + 4 * std::sin(q.x / 7.0)); };
        p.layers.push_back(Fill(Within(roof, cap), 246, 196, 1.5));
        pieces.push_back(p);
    }
    {
        Piece p{"chimney", 28, 70, {}};
        p.layers.push_back(Fill(Rect(2, 8, 26, 70), 120, DARK, 2));
        for (double y : {24.0, 40.0, 56.0})
            p.layers.push_back(Stroke({{4, y}, {24, y}}, 0.5, 92));
        p.layers.push_back(Fill(Rect(0, 0, 28, 10), 84, DARK, 2));
        pieces.push_back(p);
    }
    {
        Piece p{"window", 30, 38, {}};
        p.layers.push_back(Fill(Rect(0, 0, 30, 38), 244, BLACK, 2));
        p.layers.push_back(Fill(Rect(5, 5, 25, 33), BLUE));
        p.layers.push_back(Stroke({{15, 5}, {15, 33}}, 1.2, 244));
        p.layers.push_back(Stroke({{5, 19}, {25, 19}}, 1.2, 244));
        pieces.push_back(p);
    }
    {
        Piece p{"door", 30, 58, {}};
        p.layers.push_back(Fill(Rect(0, 0, 30, 58), BROWN, BLACK, 2));
        p.layers.push_back(Fill(Rect(7, 8, 23, 24), -1, BLACK, 1));
        p.layers.push_back(Fill(Rect(7, 30, 23, 50), -1, BLACK, 1));
        p.layers.push_back(Fill(Circle(23, 33, 2.2), YELLOW));
        pieces.push_back(p);
    }
    {
        // Leaves and their outline use only the two greens, so that one
        // substitution can take all of them away for winter. The branches
        // are drawn over the leaves in BRANCH, which the summer tree turns
        // into leaf green.
        Piece p{"tree", 90, 170, {}};
        p.layers.push_back(
            Fill(Polygon({{37, 171}, {53, 171}, {50, 84}, {40, 84}}), BROWN, BLACK, 1.5));
        Shape crown = Union({Circle(45, 56, 34), Circle(22, 76, 21), Circle(68, 76, 21),
                             Circle(45, 28, 26), Circle(45, 92, 16)});
        Shape lit = Union({Circle(40, 51, 34), Circle(17, 71, 21), Circle(63, 71, 21),
                           Circle(40, 23, 26), Circle(40, 87, 16)});
        p.layers.push_back(Fill(crown, GREEN, DARK_GREEN, 2));
        p.layers.push_back(Fill(Minus(crown, lit), DARK_GREEN));
        p.layers.push_back(Stroke({{45, 100}, {45, 30}}, 2.5, BRANCH));
        p.layers.push_back(Stroke({{45, 104}, {22, 66}, {16, 54}}, 2.0, BRANCH));
        p.layers.push_back(Stroke({{45, 96}, {68, 62}, {74, 48}}, 2.0, BRANCH));
        p.layers.push_back(Stroke({{45, 70}, {30, 40}}, 1.5, BRANCH));
        p.layers.push_back(Stroke({{45, 62}, {60, 30}}, 1.5, BRANCH));
        p.layers.push_back(Stroke({{45, 46}, {36, 18}}, 1.2, BRANCH));
        p.layers.push_back(Stroke({{22, 66}, {26, 50}}, 1.2, BRANCH));
        p.layers.push_back(Stroke({{68, 62}, {62, 50}}, 1.2, BRANCH));
        pieces.push_back(p);
    }
    {
        Piece p{"post", 8, 44, {}};
        p.layers.push_back(
            Fill(Polygon({{0, 45}, {0, 6}, {4, 0}, {8, 6}, {8, 45}}), BROWN, BLACK, 1.5));
        pieces.push_back(p);
    }
    {
        Piece p{"rail", 116, 3, {}};
        p.layers.push_back(Fill(Rect(0, 0, 116, 3), BROWN, BLACK, 0.8));
        pieces.push_back(p);
    }
    {
        Piece p{"logs", 38, 12, {}};
        for (double x : {6.0, 19.0, 32.0}) {
            p.layers.push_back(Fill(Circle(x, 6, 6), BROWN, BLACK, 1.2));
            p.layers.push_back(Fill(Circle(x, 6, 2.4), 176));
        }
        pieces.push_back(p);
    }
    {
        Piece p{"flower", 22, 26, {}};
        p.layers.push_back(Stroke({{11, 26}, {11, 10}}, 1.2, GREEN));
        p.layers.push_back(Fill(Ellipse(15.5, 19, 4, 2), GREEN));
        for (int i = 0; i < 5; ++i) {
            double a = i * 2 * 3.14159265358979 / 5 - 1.5708;
            p.layers.push_back(
                Fill(Circle(11 + 5 * std::cos(a), 8 + 5 * std::sin(a), 4), RED, BLACK, 0.8));
        }
        p.layers.push_back(Fill(Circle(11, 8, 3), YELLOW));
        pieces.push_back(p);
    }
    {
        Piece p{"mailbox", 16, 44, {}};
        p.layers.push_back(Fill(Rect(6, 16, 10, 45), BROWN, BLACK, 1));
        p.layers.push_back(Fill(Rect(0, 4, 16, 18), 96, BLACK, 1.5));
        p.layers.push_back(Fill(Rect(1.5, 8, 14.5, 11), 60));
        pieces.push_back(p);
    }
    {
        Piece p{"mailflag", 8, 12, {}};
        p.layers.push_back(Stroke({{1, 12}, {1, 0}}, 0.8, BLACK));
        p.layers.push_back(Fill(Rect(1, 0, 8, 5), RED));
        pieces.push_back(p);
    }
    for (int i = 0; i < 5; ++i) {
        double w = 16 + 4 * i, h = 12 + 3 * i;
        Piece p{"smoke" + std::to_string(i + 1), w, h, {}};
        p.layers.push_back(Fill(Ellipse(w / 2, h / 2, w / 2, h / 2), 236, 200, 1.5));
        pieces.push_back(p);
    }
    {
        Piece p{"flag", 36, 24, {}};
        p.layers.push_back(Fill(Rect(0, 0, 36, 8), RED));
        p.layers.push_back(Fill(Rect(0, 8, 36, 16), YELLOW));
        p.layers.push_back(Fill(Rect(0, 16, 36, 24), BLUE));
        p.layers.push_back(Fill(Rect(0, 0, 36, 24), -1, BLACK, 1));
        pieces.push_back(p);
    }
    {
        Piece p{"pole", 4, 160, {}};
        p.layers.push_back(Fill(Rect(0.8, 4, 3.2, 160), 72));
        p.layers.push_back(Fill(Circle(2, 2.5, 2.5), YELLOW));
        pieces.push_back(p);
    }
    {
        Piece p{"sun", 56, 56, {}};
        for (int i = 0; i < 12; ++i) {
            double a = i * 2 * 3.14159265358979 / 12;
            p.layers.push_back(Stroke({{28 + 19 * std::cos(a), 28 + 19 * std::sin(a)},
                                       {28 + 26 * std::cos(a), 28 + 26 * std::sin(a)}},
                                      1.6, YELLOW));
        }
        p.layers.push_back(Fill(Circle(28, 28, 16), YELLOW));
        pieces.push_back(p);
    }
    {
        Piece p{"cloud1", 90, 36, {}};
        p.layers.push_back(Fill(Union({Circle(20, 23, 12), Circle(42, 17, 16), Circle(64, 20, 13),
                                       Circle(77, 25, 10), Rect(14, 22, 80, 35)}),
                                252, 204, 1.5));
        pieces.push_back(p);
    }
    {
        Piece p{"cloud2", 70, 28, {}};
        p.layers.push_back(Fill(Union({Circle(16, 18, 9), Circle(32, 13, 12), Circle(51, 16, 10),
                                       Circle(60, 20, 7), Rect(10, 17, 63, 27)}),
                                252, 204, 1.5));
        pieces.push_back(p);
    }
    return pieces;
}

std::vector<Piece> AuxPieces()
{
    std::vector<Piece> pieces;
    {
        Piece p{"moon", 44, 44, {}};
        p.layers.push_back(Fill(Minus(Circle(22, 22, 19), Circle(31, 15, 16)), YELLOW));
        pieces.push_back(p);
    }
    {
        Piece p{"bird", 14, 8, {}};
        p.levelFree = true;
        p.layers.push_back(Stroke({{0.5, 1.5}, {7, 6.5}, {13.5, 1.5}}, 0.7, BLACK));
        pieces.push_back(p);
    }
    {
        // The badge is drawn straight onto the device, without a key, so it
        // is a whole plaque.
        Piece p{"badge", 64, 22, {}};
        p.levelFree = true;
        p.layers.push_back(Fill(Rect(0, 0, 64, 22), 240, BLACK, 1));
        p.layers.push_back(Stroke({{9, 3}, {9, 19}}, 0.8, 64));
        p.layers.push_back(Fill(Polygon({{10, 3}, {30, 7.5}, {10, 12}}), RED));
        p.layers.push_back(Fill(Rect(39, 10, 55, 19), 228, BLACK, 1));
        p.layers.push_back(Fill(Polygon({{36, 11}, {47, 3}, {58, 11}}), RED, BLACK, 1));
        p.layers.push_back(Fill(Rect(45, 13, 49, 19), BROWN));
        pieces.push_back(p);
    }
    return pieces;
}

// ---------------------------------------------------------------------------
// Output.

template <size_t N>
void WritePng(const std::filesystem::path &path, const Picture &picture,
              const std::array<Rgb, N> &palette, int key, int (*map)(int))
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGBA_COLORMAP;
    image.colormap_entries = N;
    std::vector<uint8_t> colormap(N * 4);
    for (size_t i = 0; i < N; ++i) {
        colormap[i * 4 + 0] = palette[i].r;
        colormap[i * 4 + 1] = palette[i].g;
        colormap[i * 4 + 2] = palette[i].b;
        colormap[i * 4 + 3] = static_cast<int>(i) == key ? 0 : 255;
    }
    std::vector<uint8_t> pixels(picture.indices.size());
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(map(picture.indices[i]));
    if (!png_image_write_to_file(&image, path.string().c_str(), 0, pixels.data(), 0,
                                 colormap.data())) {
        std::fprintf(stderr, "generate_art: cannot write %s: %s\n", path.string().c_str(),
                     image.message);
        std::exit(1);
    }
}

int Same(int index)
{
    return index;
}

void WritePiece(const std::filesystem::path &dir, const Piece &piece)
{
    static const std::array<Rgb, 256> palette256 = Palette256();
    static const std::array<Rgb, 16> palette16 = Palette16();
    int levels = piece.levelFree ? 1 : 5;
    for (int level = 0; level < levels; ++level) {
        Picture picture = Draw(piece, level);
        std::string file = piece.levelFree ? piece.name + ".png"
                                           : piece.name + "_" + std::to_string(level) + ".png";
        WritePng(dir / "art8" / file, picture, palette256, KEY, Same);
        WritePng(dir / "art4" / file, picture, palette16, KEY16, To16);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: generate_art OUTDIR\n");
        return 2;
    }
    std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out / "art8");
    std::filesystem::create_directories(out / "art4");
    for (const Piece &piece : MainPieces())
        WritePiece(out, piece);
    for (const Piece &piece : AuxPieces())
        WritePiece(out, piece);
    return 0;
}
