// assetgen_images.cpp — the demo's pictures: font sheet, load screen, tree
// texture, GUI parts, height maps and skies.
//
// Every picture is a binary PPM.  Black (0,0,0) is the engine's transparency
// key for the font and the GUI, so opaque parts of those never use it.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <numbers>
#include <string>
#include <system_error>

#include <toml++/toml.h>

#include "tools/assetgen.h"

namespace assetgen {
namespace {

// ---------------------------------------------------------------------------
// Small helpers: colours and deterministic noise
// ---------------------------------------------------------------------------

// Rounded and limited to 0..255.
uint8_t ToByte(double v)
{
    return static_cast<uint8_t>(std::clamp(v + 0.5, 0.0, 255.0));
}

Rgb Mix(Rgb a, Rgb b, double t)
{
    return {ToByte(a.r + (b.r - a.r) * t), ToByte(a.g + (b.g - a.g) * t), ToByte(a.b + (b.b - a.b) * t)};
}

Rgb Scale(Rgb c, double f)
{
    return {ToByte(c.r * f), ToByte(c.g * f), ToByte(c.b * f)};
}

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed)
{
    uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// 0..1 per lattice point.
double Lattice(int x, int y, int period, uint32_t seed)
{
    const int px = ((x % period) + period) % period;
    const int py = ((y % period) + period) % period;
    return (Hash(static_cast<uint32_t>(px), static_cast<uint32_t>(py), seed) & 0xFFFF) / 65535.0;
}

// Smooth value noise, 0..1, with `cell` pixels between lattice points; it
// repeats every `period` cells, so a picture of period * cell pixels tiles.
double ValueNoise(int x, int y, int cell, int period, uint32_t seed)
{
    const int gx = x / cell;
    const int gy = y / cell;
    const double fx = static_cast<double>(x % cell) / cell;
    const double fy = static_cast<double>(y % cell) / cell;
    const double sx = fx * fx * (3 - 2 * fx);
    const double sy = fy * fy * (3 - 2 * fy);
    const double top = Lattice(gx, gy, period, seed) * (1 - sx) + Lattice(gx + 1, gy, period, seed) * sx;
    const double bottom = Lattice(gx, gy + 1, period, seed) * (1 - sx) + Lattice(gx + 1, gy + 1, period, seed) * sx;
    return top * (1 - sy) + bottom * sy;
}

// ---------------------------------------------------------------------------
// Font sheet, load screen, tree texture
// ---------------------------------------------------------------------------

// 16 x 16 cells of 8 x 8; the glyph of code c sits in cell column c % 16,
// cell row c / 16, top row first.  White glyphs on the black key colour.
Image FontSheet()
{
    Image sheet(16 * kGlyphSize, 16 * kGlyphSize);
    for (int code = 0; code < 256; ++code) {
        const uint8_t* rows = GlyphRows(static_cast<uint8_t>(code));
        const int left = (code % 16) * kGlyphSize;
        const int top = (code / 16) * kGlyphSize;
        for (int row = 0; row < kGlyphSize; ++row) {
            for (int col = 0; col < kGlyphSize; ++col) {
                if ((rows[row] & (0x80 >> col)) != 0) {
                    sheet.Set(left + col, top + row, {255, 255, 255});
                }
            }
        }
    }
    return sheet;
}

// Width in pixels of text as DrawText lays it out, without the blank
// columns after the last glyph (glyphs use columns 1..5 of their cell).
int TextInkWidth(int length, int scale)
{
    return length <= 0 ? 0 : ((length - 1) * kGlyphSize + 6) * scale;
}

void DrawCentredText(Image& image, int y, const char* text, int scale, Rgb colour, Rgb shadow)
{
    const int length = static_cast<int>(std::char_traits<char>::length(text));
    const int x = (image.width - TextInkWidth(length, scale)) / 2;
    DrawText(image, x + scale / 2 + 1, y + scale / 2 + 1, text, scale, shadow);
    DrawText(image, x, y, text, scale, colour);
}

// Dusk sky over a row of dark hills, with the engine's name.
Image LoadScreen()
{
    const int size = 256;
    Image screen(size, size);
    const Rgb skyTop{18, 26, 64};
    const Rgb skyLow{120, 110, 150};
    const Rgb hills{22, 40, 30};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double ridge = 196 + 14 * std::sin(x * 0.045) + 8 * std::sin(x * 0.13 + 1.0);
            const Rgb sky = Mix(skyTop, skyLow, y / 255.0);
            screen.Set(x, y, y >= ridge ? Scale(hills, 1.0 - (y - ridge) / 160.0) : sky);
        }
    }
    DrawCentredText(screen, 72, "VEXT", 6, {250, 236, 180}, {10, 12, 30});
    DrawCentredText(screen, 134, "Vext-Engine 0.42", 1, {220, 220, 235}, {10, 12, 30});
    DrawCentredText(screen, 150, "Bitte warten ...", 1, {170, 170, 200}, {10, 12, 30});
    return screen;
}

// The one texture every tree gets with "-tex": foliage above, bark below.
// Tiles horizontally.
Image TreeTexture()
{
    const int size = 64;
    const int barkTop = 40;
    Image texture(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (y < barkTop) {
                const double clump = ValueNoise(x, y, 8, size / 8, 11);
                const double speck = (Hash(x, y, 12) & 0xFF) / 255.0;
                const Rgb leaf = Mix(Rgb{24, 70, 22}, Rgb{96, 170, 60}, clump);
                texture.Set(x, y, Scale(leaf, 0.75 + 0.35 * speck));
            } else {
                const double grain = ValueNoise(x, y * 4, 4, size / 4, 21);
                const double furrow = 0.5 + 0.5 * std::cos(x * 2 * std::numbers::pi / 8 + grain * 2.0);
                texture.Set(x, y, Scale(Rgb{112, 78, 46}, 0.55 + 0.5 * furrow));
            }
        }
    }
    return texture;
}

// ---------------------------------------------------------------------------
// GUI
// ---------------------------------------------------------------------------

// Even-odd test of the pixel centre against a closed polygon.
bool InsidePolygon(const double (*points)[2], int count, double x, double y)
{
    bool inside = false;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        const double xi = points[i][0], yi = points[i][1];
        const double xj = points[j][0], yj = points[j][1];
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) {
            inside = !inside;
        }
    }
    return inside;
}

// The mouse pointer: a white arrow with a dark rim whose tip is the top-left
// pixel, the point the GUI places at the pointer position.
Image Arrow()
{
    static const double kShape[][2] = {{0, 0}, {0, 23}, {6, 17}, {10, 27}, {14, 25}, {10, 16}, {17, 16}};
    const int count = static_cast<int>(std::size(kShape));
    const int size = 32;
    auto inside = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < size && y < size && InsidePolygon(kShape, count, x + 0.5, y + 0.5);
    };
    Image arrow(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (!inside(x, y)) {
                continue;
            }
            const bool rim = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            arrow.Set(x, y, rim ? Rgb{48, 48, 56} : Rgb{250, 250, 250});
        }
    }
    return arrow;
}

// A window body: dark blue panel with a light frame (drawn half transparent).
// Windows stretch it over up to the whole screen width, so the frame is one
// texel of a wide image: a line of a pixel or two, not a band.
Image WindowBody()
{
    const int w = 256;
    const int h = 128;
    Image body(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool frame = x < 1 || y < 1 || x >= w - 1 || y >= h - 1;
            body.Set(x, y, frame ? Rgb{120, 132, 176} : Mix(Rgb{50, 60, 96}, Rgb{26, 32, 54}, y / (h - 1.0)));
        }
    }
    return body;
}

// A raised button: light top and left edges, dark bottom and right edges.
Image Button()
{
    const int w = 64;
    const int h = 16;
    Image button(w, h, {92, 104, 146});
    for (int x = 0; x < w; ++x) {
        button.Set(x, 0, {176, 186, 224});
        button.Set(x, h - 1, {38, 44, 70});
    }
    for (int y = 0; y < h; ++y) {
        button.Set(0, y, {176, 186, 224});
        button.Set(w - 1, y, {38, 44, 70});
    }
    return button;
}

struct TitleColours {
    Rgb top;       // first row of the gradient
    Rgb bottom;    // last row of the gradient
    Rgb highlight; // edge line at the top and the outer end
    Rgb shadow;    // edge line at the bottom
};

const TitleColours kTitle{{72, 92, 152}, {30, 40, 92}, {150, 170, 232}, {18, 22, 48}};
const TitleColours kTitleSelected{{214, 132, 44}, {132, 62, 12}, {255, 204, 124}, {70, 30, 6}};

// One piece of a title bar.  roundLeft / roundRight cut a rounded outer
// corner (left into the key colour) and draw the outer edge line.
Image TitlePiece(int w, const TitleColours& c, bool roundLeft, bool roundRight)
{
    const int h = 16;
    const int radius = 6;
    Image piece(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Rgb colour = Mix(c.top, c.bottom, y / static_cast<double>(h - 1));
            if (y == 0) {
                colour = c.highlight;
            } else if (y == h - 1) {
                colour = c.shadow;
            }
            const bool outerLeft = roundLeft && x == 0;
            const bool outerRight = roundRight && x == w - 1;
            if (outerLeft || outerRight) {
                colour = c.highlight;
            }
            // Corner: outside a quarter circle of the given radius.
            const int cx =
                roundLeft && x < radius ? radius - x : (roundRight && x >= w - radius ? x - (w - 1 - radius) : 0);
            const int cy = radius - y;
            if (cx > 0 && cy > 0 && cx * cx + cy * cy > radius * radius) {
                colour = {0, 0, 0};
            }
            piece.Set(x, y, colour);
        }
    }
    return piece;
}

// ---------------------------------------------------------------------------
// Levels: height maps and skies
// ---------------------------------------------------------------------------

constexpr int kHeightMapSize = 64;

// The engine reads only the blue byte (height = byte / 100, 0..2.55 units);
// we write grey so that the picture shows the same heights in every channel.
Image HeightImage(double (*heightAt)(int x, int y))
{
    Image map(kHeightMapSize, kHeightMapSize);
    for (int y = 0; y < kHeightMapSize; ++y) {
        for (int x = 0; x < kHeightMapSize; ++x) {
            const uint8_t h = ToByte(heightAt(x, y));
            map.Set(x, y, {h, h, h});
        }
    }
    return map;
}

double Bump(int x, int y, double cx, double cy, double radius, double amplitude)
{
    const double dx = x - cx;
    const double dy = y - cy;
    return amplitude * std::exp(-(dx * dx + dy * dy) / (radius * radius));
}

double SmoothStep(double edge0, double edge1, double v)
{
    const double t = std::clamp((v - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Pixel (x, y) of a height map lies at world (31 - x, 31 - y) on the x and z
// axes: the engine turns the picture by 180 degrees.  Distance in cells from
// the map's middle, and from its nearest edge.
double FromMiddle(int x, int y)
{
    const double dx = x - 31.5;
    const double dy = y - 31.5;
    return std::sqrt(dx * dx + dy * dy);
}

double FromEdge(int x, int y)
{
    return std::min({x, y, kHeightMapSize - 1 - x, kHeightMapSize - 1 - y});
}

// Level "select": a broad valley running from the start point (picture
// bottom, world +z) to the far end, with rolling hills on both sides.  The
// land climbs to a ridge near every edge, so the terrain ends in a crest
// that the fog swallows instead of in a cliff.
double SelectHeight(int x, int y)
{
    // The valley floor winds a little from side to side.
    const double valleyX = 31.5 + 5 * std::sin(y * 0.11);
    const double across = (x - valleyX) / 13.0;
    const double valley = 1 - std::exp(-across * across);
    double h = 18 + 110 * valley;
    h += 34 * ValueNoise(x, y, 8, kHeightMapSize / 8, 31) + 14 * ValueNoise(x, y, 4, kHeightMapSize / 4, 32);
    h += Bump(x, y, 12, 20, 7, 70);
    h += Bump(x, y, 52, 40, 8, 60);
    h += Bump(x, y, 36, 10, 5, 40);
    // A pond-like hollow beside the path, a few steps ahead of the start.
    h -= Bump(x, y, 35, 24, 4, 14);
    // The crest rises and falls along the edge, so the land's end reads as a
    // line of hills in the haze.
    const double crest = 150 + 100 * ValueNoise(x, y, 8, kHeightMapSize / 8, 33);
    const double rim = 1 - SmoothStep(0, 9, FromEdge(x, y));
    return h + (crest - h) * 0.9 * rim;
}

// Level "second": a low basin inside a ring-shaped ridge, with a gap to the
// north-east and a hill in the basin.
double SecondHeight(int x, int y)
{
    const double ring = (FromMiddle(x, y) - 21) / 6;
    const double gap = 1 - 0.7 * Bump(x, y, 50, 14, 8, 1.0);
    double h = 16 + 190 * std::exp(-ring * ring) * gap + 26 * ValueNoise(x, y, 4, kHeightMapSize / 4, 41);
    h += Bump(x, y, 26, 36, 6, 60);
    const double rim = 1 - SmoothStep(0, 6, FromEdge(x, y));
    return h + (200 - h) * 0.7 * rim;
}

struct Vec3 {
    double x, y, z;
};

Vec3 Normalised(Vec3 v)
{
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

double Radians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

// What a level's files say about its look.  Defaults as the game module's.
struct LevelLook {
    Rgb fog{153, 179, 204}; // fog colour, also the sky at and below the horizon
    Vec3 eye{0, -4, 10};    // camera start, world units
};

// Colour 0..1 to bytes the way the GL does when it writes a fragment.
Rgb FromUnit(double r, double g, double b)
{
    return {ToByte(r * 255), ToByte(g * 255), ToByte(b * 255)};
}

// Takes fog.color and camera.start from one parsed file, where present.
void ApplyLookKeys(const toml::table& file, LevelLook& look)
{
    if (const toml::array* colour = file["fog"]["color"].as_array(); colour != nullptr && colour->size() >= 3) {
        const double r = colour->get(0)->value<double>().value_or(-1);
        const double g = colour->get(1)->value<double>().value_or(-1);
        const double b = colour->get(2)->value<double>().value_or(-1);
        if (r >= 0 && g >= 0 && b >= 0) {
            look.fog = FromUnit(r, g, b);
        }
    }
    if (const toml::array* start = file["camera"]["start"].as_array(); start != nullptr && start->size() == 3) {
        look.eye = {start->get(0)->value<double>().value_or(look.eye.x),
                    start->get(1)->value<double>().value_or(look.eye.y),
                    start->get(2)->value<double>().value_or(look.eye.z)};
    }
}

// config.cfg first, then the level's own file, as the game module reads them.
// A missing file is skipped (the generator may fill an empty directory); one
// that does not parse is named and skipped: the sky then keeps the defaults
// and the game module will report the file at run time.
LevelLook ReadLevelLook(const std::string& root, const std::string& level)
{
    LevelLook look;
    for (const std::string& name : {root + "/config.cfg", root + "/levels/" + level + "/level.toml"}) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(name, ec)) {
            continue;
        }
        try {
            ApplyLookKeys(toml::parse_file(name), look);
        } catch (const toml::parse_error& e) {
            std::fprintf(stderr, "vext_assetgen: %s: %s; its sky keeps the default colours\n", name.c_str(),
                         std::string(e.description()).c_str());
        }
    }
    return look;
}

// The engine's sky box (world units; y up, -z ahead at yaw 0) and the
// corners of each face in the order that receives the texture coordinates
// (a,a), (b,a), (b,b), (a,b) with a = 1/256, b = 255/256.  Face 0 lies
// ahead (-z), 1 left (-x), 2 behind (+z), 3 right (+x), 4 up, 5 down.  The
// box is drawn at fixed world coordinates, so directions are taken from the
// level's camera start; walking across the 64-unit terrain moves a point on
// the 500..800-unit faces by a few degrees at most.
const Vec3 kSkyCorners[8] = {
    {-604, 820, -519}, {664, 820, -519}, {664, -448, -519}, {-604, -448, -519},
    {-604, 820, 817},  {664, 820, 817},  {664, -448, 817},  {-604, -448, 817},
};
const int kSkyFaces[6][4] = {{1, 0, 3, 2}, {0, 4, 7, 3}, {4, 5, 6, 7}, {5, 1, 2, 6}, {0, 1, 5, 4}, {7, 6, 2, 3}};

// Above the horizon the fog colour holds for this many degrees, then gives
// way to the sky; the margin covers the horizon's drift while walking.
constexpr double kHazeBand = 2.0;     // degrees
constexpr double kHazeFalloff = 14.0; // degrees for the haze to drop to 1/e

// Smooth value noise at a real position, 0..1, not repeating.
double Noise(double x, double y, uint32_t seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int gx = static_cast<int>(fx);
    const int gy = static_cast<int>(fy);
    const double sx = (x - fx) * (x - fx) * (3 - 2 * (x - fx));
    const double sy = (y - fy) * (y - fy) * (3 - 2 * (y - fy));
    auto at = [&](int px, int py) {
        return (Hash(static_cast<uint32_t>(px), static_cast<uint32_t>(py), seed) & 0xFFFF) / 65535.0;
    };
    const double top = at(gx, gy) * (1 - sx) + at(gx + 1, gy) * sx;
    const double bottom = at(gx, gy + 1) * (1 - sx) + at(gx + 1, gy + 1) * sx;
    return top * (1 - sy) + bottom * sy;
}

// Four octaves, 0..1.
double CloudNoise(double x, double y)
{
    double sum = 0;
    double weight = 0.5;
    for (int octave = 0; octave < 4; ++octave) {
        sum += weight * Noise(x, y, 70 + octave);
        x = x * 2.03 + 17.1;
        y = y * 2.03 - 5.3;
        weight *= 0.5;
    }
    return sum / 0.9375;
}

// The sun of "select": 15 degrees high, 22 degrees right of straight ahead,
// in the top right corner of the start view.
Vec3 SunDirection()
{
    const double elevation = Radians(15);
    const double azimuth = Radians(22);
    return {std::sin(azimuth) * std::cos(elevation), std::sin(elevation), -std::cos(azimuth) * std::cos(elevation)};
}

// Sky colour seen along a unit direction: the fog colour at and below the
// horizon, rising into blue with soft clouds and a sun.
Rgb SkyColour(Vec3 d, Rgb fog)
{
    const double elevation = std::asin(std::clamp(d.y, -1.0, 1.0)) * 180 / std::numbers::pi;
    if (elevation <= kHazeBand) {
        return fog;
    }
    const double clear = 1 - std::exp(-(elevation - kHazeBand) / kHazeFalloff);
    Rgb colour = Mix(fog, Rgb{58, 104, 180}, clear);

    // Clouds on a flat layer above the viewer, seen in perspective; they thin
    // out into the haze towards the horizon.
    const double toLayer = 1.0 / d.y;
    const double cx = d.x * toLayer * 1.6;
    const double cz = d.z * toLayer * 1.6;
    const double cover = SmoothStep(0.52, 0.78, CloudNoise(cx, cz));
    const double shade = CloudNoise(cx * 1.7 + 3.0, cz * 1.7 - 8.0);
    const Rgb cloud = Mix(Rgb{250, 250, 252}, Rgb{196, 204, 220}, shade);
    colour = Mix(colour, cloud, 0.85 * cover * SmoothStep(kHazeBand, 20, elevation));

    const Vec3 sun = SunDirection();
    const double angle = std::acos(std::clamp(d.x * sun.x + d.y * sun.y + d.z * sun.z, -1.0, 1.0));
    colour = Mix(colour, Rgb{255, 240, 200}, 0.6 * std::exp(-angle / Radians(7)) * clear);
    // A soft rim: a texel covers about half a degree here.
    return Mix(colour, Rgb{255, 252, 236}, 1 - SmoothStep(Radians(1.4), Radians(2.4), angle));
}

// One face: each texel looks along the direction from the eye to the point
// of the box face that the engine maps it to, so the six faces meet without
// seams whatever the face orientation.
Image SkyFace(int face, const LevelLook& look)
{
    const int size = 256;
    const double a = 1.0 / 256;
    const double b = 255.0 / 256;
    const Vec3& c0 = kSkyCorners[kSkyFaces[face][0]];
    const Vec3& c1 = kSkyCorners[kSkyFaces[face][1]];
    const Vec3& c2 = kSkyCorners[kSkyFaces[face][2]];
    const Vec3& c3 = kSkyCorners[kSkyFaces[face][3]];
    Image image(size, size);
    for (int row = 0; row < size; ++row) {
        // Row 0 of the file is texture coordinate t = 0.
        const double v = ((row + 0.5) / size - a) / (b - a);
        for (int col = 0; col < size; ++col) {
            const double u = ((col + 0.5) / size - a) / (b - a);
            auto lerp = [&](double p0, double p1, double p2, double p3) {
                return (1 - v) * ((1 - u) * p0 + u * p1) + v * ((1 - u) * p3 + u * p2);
            };
            const Vec3 point{lerp(c0.x, c1.x, c2.x, c3.x), lerp(c0.y, c1.y, c2.y, c3.y), lerp(c0.z, c1.z, c2.z, c3.z)};
            const Vec3 eye = look.eye;
            image.Set(col, row, SkyColour(Normalised({point.x - eye.x, point.y - eye.y, point.z - eye.z}), look.fog));
        }
    }
    return image;
}

// The one-image sky of a level without faces.  Its first pixel becomes the
// level's fog and clear colour; the rest is shown only on the oldest
// graphics chips, as a box tinted with that colour, so the whole picture is
// the fog colour: the level's file and the screen then say the same.
Image BackgroundSky(Rgb fog)
{
    return Image(128, 128, fog);
}

} // namespace

void GenerateFontAndScreens(AssetWriter& out)
{
    out.WritePPM("gfx/conchars.ppm", FontSheet());
    out.WritePPM("gfx/load.ppm", LoadScreen());
    out.WritePPM("gfx/texrender.ppm", TreeTexture());
}

void GenerateGuiImages(AssetWriter& out)
{
    out.WritePPM("gfx/gui/arrow.ppm", Arrow());
    out.WritePPM("gfx/gui/window.ppm", WindowBody());
    out.WritePPM("gfx/gui/button.ppm", Button());
    // The GUI draws "borderr" at the left end of a title bar and "borderl" at
    // the right end, with "border" stretched between them.
    out.WritePPM("gfx/gui/border.ppm", TitlePiece(64, kTitle, false, false));
    out.WritePPM("gfx/gui/borderr.ppm", TitlePiece(16, kTitle, true, false));
    out.WritePPM("gfx/gui/borderl.ppm", TitlePiece(16, kTitle, false, true));
    out.WritePPM("gfx/gui/bordersel.ppm", TitlePiece(64, kTitleSelected, false, false));
    out.WritePPM("gfx/gui/borderrsel.ppm", TitlePiece(16, kTitleSelected, true, false));
    out.WritePPM("gfx/gui/borderlsel.ppm", TitlePiece(16, kTitleSelected, false, true));
}

void GenerateLevelImages(AssetWriter& out)
{
    const LevelLook select = ReadLevelLook(out.Root(), "select");
    out.WritePPM("levels/select/height.ppm", HeightImage(SelectHeight));
    for (int face = 0; face < 6; ++face) {
        out.WritePPM("levels/select/sky" + std::to_string(face) + ".ppm", SkyFace(face, select));
    }
    // Level "second" has no sky faces; the engine then uses stdbg.ppm from
    // the level's directory.
    out.WritePPM("levels/second/height.ppm", HeightImage(SecondHeight));
    out.WritePPM("levels/second/stdbg.ppm", BackgroundSky(ReadLevelLook(out.Root(), "second").fog));
}

} // namespace assetgen
