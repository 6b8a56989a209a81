// assetgen_scene.cpp — the demo's scene objects: low-polygon meshes as "raw"
// text with their texture definition files and images, and MD2 figures.
//
// Mesh coordinates are engine units with y up; the raw format stores each
// vertex as x, z, y, which Mesh::Tri writes.  MD2 files store z up, so the
// figures are built in engine axes and exchanged on writing.  Everything is
// made from fixed numbers: runs give the same bytes.

#include "tools/assetgen.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace assetgen {
namespace {

V3 operator+(V3 a, V3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 Scaled(V3 a, double s)
{
    return {a.x * s, a.y * s, a.z * s};
}

uint8_t Clamp(double v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// A picture from a colour function of (x, y, grain 0..1).
Image Paint(int size, uint32_t seed, const std::function<Rgb(int x, int y, double grain)>& colour)
{
    Image image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double grain = (Hash(static_cast<uint32_t>(y * size + x) ^ seed) & 0xff) / 255.0;
            image.Set(x, y, colour(x, y, grain));
        }
    }
    return image;
}

Rgb Shade(Rgb c, double f)
{
    return {Clamp(c.r * f), Clamp(c.g * f), Clamp(c.b * f)};
}

// --- Meshes -----------------------------------------------------------------

void Fir(AssetWriter& out)
{
    RawMesh m;
    m.Tex("firbark");
    m.Ring(6, 0.16, -0.6, 0.12, 1.0, true);
    m.Tex("firneedles");
    m.Ring(8, 1.3, 0.5, 0.0, 1.9, false);
    m.Ring(8, 1.0, 1.3, 0.0, 2.6, false);
    m.Ring(8, 0.7, 2.0, 0.0, 3.2, false);
    out.Write("obj/trees/fir.raw", Bytes(m.Text()));
    // Needles: dark green with black gaps that the colour key cuts out.
    out.WritePPM("obj/trees/fir_needles.ppm", Paint(64, 11, [](int x, int y, double g) {
                     const bool gap = ((x + y * 3) % 11 == 0) || g > 0.93;
                     return gap ? Rgb{0, 0, 0} : Shade(Rgb{40, 96, 52}, 0.7 + 0.5 * g);
                 }));
    out.WritePPM("obj/trees/fir_bark.ppm", Paint(32, 12, [](int x, int, double g) {
                     return Shade(Rgb{96, 64, 40}, 0.6 + 0.4 * g + ((x % 8) == 0 ? -0.3 : 0.0));
                 }));
    out.Write("obj/trees/fir.tex", Bytes("# fir: bark as quads, needles cut out by the colour key\n"
                                         "firbark obj/trees/fir_bark.ppm 1 3 quads\n"
                                         "firneedles obj/trees/fir_needles.ppm 1 1 texmode 2\n"));
}

void Birch(AssetWriter& out)
{
    RawMesh m;
    m.Tex("birchbark");
    m.Ring(5, 0.12, -0.6, 0.08, 2.2, true);
    m.Tex("birchleaves");
    // A crown of three overlapping, slightly see-through blobs.
    const V3 centres[3] = {{0, 2.4, 0}, {0.5, 2.0, 0.3}, {-0.4, 2.1, -0.3}};
    for (const V3& c : centres) {
        const V3 top = c + V3{0, 0.9, 0};
        const V3 bottom = c + V3{0, -0.7, 0};
        for (int i = 0; i < 6; ++i) {
            const double a0 = 2 * std::numbers::pi * i / 6;
            const double a1 = 2 * std::numbers::pi * (i + 1) / 6;
            const V3 p0 = c + V3{0.8 * std::cos(a0), 0, 0.8 * std::sin(a0)};
            const V3 p1 = c + V3{0.8 * std::cos(a1), 0, 0.8 * std::sin(a1)};
            m.Tri(p1, p0, top);
            m.Tri(p0, p1, bottom);
        }
    }
    out.Write("obj/trees/birch.raw", Bytes(m.Text()));
    out.WritePPM("obj/trees/birch_bark.ppm", Paint(32, 21, [](int, int y, double g) {
                     const bool mark = (y % 9 == 0) && g > 0.4;
                     return mark ? Rgb{40, 40, 36} : Shade(Rgb{230, 228, 218}, 0.85 + 0.15 * g);
                 }));
    out.WritePPM("obj/trees/birch_leaves.ppm", Paint(64, 22, [](int x, int y, double g) {
                     const bool gap = g > 0.88 || ((x * 7 + y * 5) % 13 == 0);
                     return gap ? Rgb{0, 0, 0} : Shade(Rgb{120, 170, 60}, 0.7 + 0.5 * g);
                 }));
    out.Write("obj/trees/birch.tex", Bytes("# birch: white bark, leaves blended at 85 percent\n"
                                           "birchbark obj/trees/birch_bark.ppm 1 4 quads\n"
                                           "birchleaves obj/trees/birch_leaves.ppm 0.7 0.7 texmode 1 blend 85\n"));
}

void Rock(AssetWriter& out)
{
    RawMesh m;
    m.Tex("rock");
    const double w = 1.3;
    const double d = 1.0;
    const V3 lo[4] = {{-w, -0.4, -d}, {w, -0.4, -d}, {w, -0.4, d}, {-w, -0.4, d}};
    const V3 hi[4] = {
        {-w + 0.3, 0.5, -d + 0.2}, {w - 0.2, 0.5, -d + 0.3}, {w - 0.3, 0.5, d - 0.2}, {-w + 0.2, 0.5, d - 0.3}};
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        m.Quad(lo[j], lo[i], hi[i], hi[j]);
    }
    m.Quad(hi[3], hi[2], hi[1], hi[0]);
    out.Write("obj/rocks/rock.raw", Bytes(m.Text()));
    out.WritePPM("obj/rocks/rock.ppm", Paint(64, 31, [](int x, int y, double g) {
                     const double vein = std::sin((x + 2 * y) * 0.3) * 0.15;
                     return Shade(Rgb{128, 124, 118}, 0.7 + 0.3 * g + vein);
                 }));
    out.Write("obj/rocks/rock.tex", Bytes("rock obj/rocks/rock.ppm 0.5 0.5 texmode 2 quads\n"));
}

void Deck(AssetWriter& out)
{
    // A 4 x 4 plank deck on four posts: the walkway the camera stands on.
    RawMesh m;
    m.Tex("planks");
    m.Box({-2, -0.1, -2}, {2, 0, 2});
    m.Tex("posts");
    for (const V3 p : {V3{-1.8, 0, -1.8}, V3{1.8, 0, -1.8}, V3{1.8, 0, 1.8}, V3{-1.8, 0, 1.8}}) {
        m.Box(p + V3{-0.1, -3.0, -0.1}, p + V3{0.1, -0.1, 0.1});
    }
    out.Write("obj/deck/deck.raw", Bytes(m.Text()));
    out.WritePPM("obj/deck/planks.ppm", Paint(64, 41, [](int, int y, double g) {
                     const bool seam = y % 16 == 0;
                     return seam ? Rgb{50, 34, 20} : Shade(Rgb{150, 108, 66}, 0.8 + 0.3 * g);
                 }));
    out.Write("obj/deck/deck.tex", Bytes("planks obj/deck/planks.ppm 1 1 texmode 2 quads\n"
                                         "posts obj/deck/planks.ppm 0.3 1 quads\n"));
}

void Hut(AssetWriter& out)
{
    RawMesh m;
    m.Tex("hutwall");
    const double w = 1.5;
    const double h = 1.6;
    const V3 c[4] = {{-w, 0, -w}, {w, 0, -w}, {w, 0, w}, {-w, 0, w}};
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        m.Quad(c[j], c[i], c[i] + V3{0, h, 0}, c[j] + V3{0, h, 0});
    }
    m.Tex("hutroof");
    const V3 apex{0, h + 1.2, 0};
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        m.Tri(Scaled(c[j], 1.2) + V3{0, h, 0}, Scaled(c[i], 1.2) + V3{0, h, 0}, apex);
    }
    m.Tex("hutglass");
    m.Quad({-0.5, 0.6, w + 0.01}, {0.5, 0.6, w + 0.01}, {0.5, 1.2, w + 0.01}, {-0.5, 1.2, w + 0.01});
    out.Write("obj/hut/hut.raw", Bytes(m.Text()));
    out.WritePPM("obj/hut/wall.ppm", Paint(64, 51, [](int x, int, double g) {
                     return (x % 16) < 2 ? Rgb{70, 46, 28} : Shade(Rgb{160, 120, 80}, 0.8 + 0.2 * g);
                 }));
    out.WritePPM("obj/hut/roof.ppm", Paint(64, 52, [](int, int y, double g) {
                     return Shade((y % 8) < 2 ? Rgb{90, 40, 30} : Rgb{150, 60, 40}, 0.8 + 0.3 * g);
                 }));
    // A sky reflection for the sphere-mapped window: light on top, dark below.
    out.WritePPM("obj/hut/sky_env.ppm", Paint(64, 53, [](int, int y, double) {
                     const double t = y / 63.0;
                     return Rgb{Clamp(200 - 150 * t), Clamp(220 - 140 * t), Clamp(255 - 100 * t)};
                 }));
    out.Write("obj/hut/hut.tex", Bytes("# hut: walls as quads, the window reflects the sky (sphere map, added)\n"
                                       "hutwall obj/hut/wall.ppm 1 1 quads\n"
                                       "hutroof obj/hut/roof.ppm 2 2 texmode 2\n"
                                       "hutglass obj/hut/sky_env.ppm 1 1 quads envmode blendmode 1\n"));
}

void Crystal(AssetWriter& out)
{
    RawMesh m;
    m.Tex("crystal");
    const V3 top{0, 2.4, 0};
    const V3 bottom{0, -0.2, 0};
    for (int i = 0; i < 5; ++i) {
        const double a0 = 2 * std::numbers::pi * i / 5;
        const double a1 = 2 * std::numbers::pi * (i + 1) / 5;
        const V3 p0{0.5 * std::cos(a0), 1.0, 0.5 * std::sin(a0)};
        const V3 p1{0.5 * std::cos(a1), 1.0, 0.5 * std::sin(a1)};
        m.Tri(p1, p0, top);
        m.Tri(p0, p1, bottom);
    }
    out.Write("obj/crystal/crystal.raw", Bytes(m.Text()));
    out.WritePPM("obj/crystal/env.ppm", Paint(64, 61, [](int x, int y, double g) {
                     const double r = std::hypot(x - 32, y - 24) / 40.0;
                     return Shade(Rgb{120, 200, 255}, 1.2 - r + 0.2 * g);
                 }));
    out.Write("obj/crystal/crystal.tex",
              Bytes("crystal obj/crystal/env.ppm 1 1 envmode blend 70 emissiveRGB 40 60 120\n"));
}

// --- MD2 figures --------------------------------------------------------------

// One part of a figure: a box in its own frame, placed per animation frame.
struct Part {
    V3 half;     // half extents
    double s, t; // texture coordinate of the part's colour on the skin
    std::function<void(double phase, V3& centre, double& tilt)> pose; // tilt: degrees about x
};

void PutLE(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

void PutFloat(std::vector<uint8_t>& b, float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    PutLE(b, v);
}

// An MD2 file: `frames` frames of the parts posed at phase f / frames; each
// part is one strip around its sides and two fans for top and bottom.
std::vector<uint8_t> Figure(const std::vector<Part>& parts, int frames)
{
    const int vertices = static_cast<int>(parts.size()) * 8;
    std::vector<std::vector<V3>> positions(frames);
    V3 lo{1e9, 1e9, 1e9};
    V3 hi{-1e9, -1e9, -1e9};
    for (int f = 0; f < frames; ++f) {
        const double phase = static_cast<double>(f) / frames;
        for (const Part& p : parts) {
            V3 centre{};
            double tilt = 0;
            p.pose(phase, centre, tilt);
            const double a = tilt * std::numbers::pi / 180;
            for (int k = 0; k < 8; ++k) {
                const V3 local{(k & 1) ? p.half.x : -p.half.x, (k & 2) ? p.half.y : -p.half.y,
                               (k & 4) ? p.half.z : -p.half.z};
                // Swing about the part's top edge, like a limb from its joint.
                const double ly = local.y - p.half.y;
                const V3 turned{local.x, ly * std::cos(a) - local.z * std::sin(a) + p.half.y,
                                ly * std::sin(a) + local.z * std::cos(a)};
                const V3 at = centre + turned;
                positions[f].push_back(at);
                lo = {std::min(lo.x, at.x), std::min(lo.y, at.y), std::min(lo.z, at.z)};
                hi = {std::max(hi.x, at.x), std::max(hi.y, at.y), std::max(hi.z, at.z)};
            }
        }
    }
    // File axes: x, engine z, engine y (z up).
    const double fileLo[3] = {lo.x, lo.z, lo.y};
    const double fileHi[3] = {hi.x, hi.z, hi.y};
    std::vector<uint8_t> frameBytes;
    for (int f = 0; f < frames; ++f) {
        float scale[3];
        for (int a = 0; a < 3; ++a) {
            scale[a] = static_cast<float>((fileHi[a] - fileLo[a]) / 255.0 + 1e-6);
            PutFloat(frameBytes, scale[a]);
        }
        for (int a = 0; a < 3; ++a) {
            PutFloat(frameBytes, static_cast<float>(fileLo[a]));
        }
        char name[16] = {};
        std::snprintf(name, sizeof name, "frame%02d", f);
        frameBytes.insert(frameBytes.end(), name, name + 16);
        for (const V3& p : positions[f]) {
            const double file[3] = {p.x, p.z, p.y};
            for (int a = 0; a < 3; ++a) {
                frameBytes.push_back(static_cast<uint8_t>(std::lround((file[a] - fileLo[a]) / scale[a])));
            }
            frameBytes.push_back(0);
        }
    }
    std::vector<int32_t> commands;
    for (size_t i = 0; i < parts.size(); ++i) {
        const int base = static_cast<int>(i) * 8;
        float st[2] = {static_cast<float>(parts[i].s), static_cast<float>(parts[i].t)};
        int32_t sw;
        int32_t tw;
        std::memcpy(&sw, &st[0], 4);
        std::memcpy(&tw, &st[1], 4);
        auto add = [&](int v) { commands.insert(commands.end(), {sw, tw, base + v}); };
        // Sides: a strip around the box, bottom (y-) and top (y+) corners alternating.
        const int around[5] = {0, 1, 5, 4, 0};
        commands.push_back(10);
        for (int v : around) {
            add(v + 2);
            add(v);
        }
        commands.push_back(-4);
        for (int v : {2, 6, 7, 3}) {
            add(v);
        }
        commands.push_back(-4);
        for (int v : {0, 1, 5, 4}) {
            add(v);
        }
    }
    commands.push_back(0);
    const int frameSize = 40 + 4 * vertices;
    const int frameOffset = 68;
    const int commandOffset = frameOffset + frames * frameSize;
    std::vector<uint8_t> file;
    const int32_t header[17] = {0x32504449,
                                8,
                                64,
                                64,
                                frameSize,
                                0,
                                vertices,
                                0,
                                static_cast<int32_t>(parts.size()) * 12,
                                static_cast<int32_t>(commands.size()),
                                frames,
                                68,
                                68,
                                68,
                                frameOffset,
                                commandOffset,
                                commandOffset + static_cast<int32_t>(commands.size()) * 4};
    for (int32_t w : header) {
        PutLE(file, static_cast<uint32_t>(w));
    }
    file.insert(file.end(), frameBytes.begin(), frameBytes.end());
    for (int32_t w : commands) {
        PutLE(file, static_cast<uint32_t>(w));
    }
    return file;
}

// A skin of four colour squares; part colours are picked by (s, t).
Image Skin(Rgb a, Rgb b, Rgb c, Rgb d)
{
    Image image(64, 64);
    image.FillRect(0, 0, 32, 32, a);
    image.FillRect(32, 0, 32, 32, b);
    image.FillRect(0, 32, 32, 32, c);
    image.FillRect(32, 32, 32, 32, d);
    return image;
}

constexpr double kA[2] = {0.25, 0.25}; // skin squares: (s, t)
constexpr double kB[2] = {0.75, 0.25};
constexpr double kC[2] = {0.25, 0.75};
constexpr double kD[2] = {0.75, 0.75};

// A walking person `height` units tall with its feet at y = feet, `ahead`
// units along +z.
std::vector<Part> Walker(double height, double feet, double ahead)
{
    const double u = height / 1.8;
    auto fixed = [=](V3 at) {
        return [=](double, V3& c, double& tilt) {
            c = Scaled(at, u) + V3{0, feet, ahead};
            tilt = 0;
        };
    };
    auto limb = [=](V3 at, double swing, double offset) {
        return [=](double phase, V3& c, double& tilt) {
            c = Scaled(at, u) + V3{0, feet, ahead};
            tilt = swing * std::sin(2 * std::numbers::pi * (phase + offset));
        };
    };
    return {
        {Scaled(V3{0.25, 0.35, 0.15}, u), kB[0], kB[1], fixed({0, 1.2, 0})},          // body
        {Scaled(V3{0.15, 0.15, 0.15}, u), kA[0], kA[1], fixed({0, 1.67, 0})},         // head
        {Scaled(V3{0.09, 0.4, 0.09}, u), kC[0], kC[1], limb({-0.13, 0.4, 0}, 30, 0)}, // legs
        {Scaled(V3{0.09, 0.4, 0.09}, u), kC[0], kC[1], limb({0.13, 0.4, 0}, 30, 0.5)},
        {Scaled(V3{0.07, 0.33, 0.07}, u), kD[0], kD[1], limb({-0.33, 1.18, 0}, 25, 0.5)}, // arms
        {Scaled(V3{0.07, 0.33, 0.07}, u), kD[0], kD[1], limb({0.33, 1.18, 0}, 25, 0)},
    };
}

void Figures(AssetWriter& out)
{
    out.Write("obj/figures/walker.md2", Figure(Walker(1.7, 0, 0), 12));
    out.WritePPM("obj/figures/walker.ppm",
                 Skin(Rgb{230, 190, 160}, Rgb{60, 110, 180}, Rgb{50, 50, 60}, Rgb{200, 160, 130}));
    out.Write("obj/figures/walker.tex", Bytes("walkerskin obj/figures/walker.ppm startframe 0 endframe 11 "
                                              "animspeed 9\n"));
    out.Write("obj/figures/ranger.md2", Figure(Walker(1.9, 0, 0), 12));
    out.WritePPM("obj/figures/ranger.ppm",
                 Skin(Rgb{200, 160, 120}, Rgb{70, 120, 50}, Rgb{90, 70, 40}, Rgb{180, 140, 100}));
    out.Write("obj/figures/ranger.tex", Bytes("rangerskin obj/figures/ranger.ppm startframe 0 endframe 11 "
                                              "animspeed 6\n"));
    // A bird 4 units from its origin: a turning person flies it in a circle.
    const std::vector<Part> bird = {
        {{0.15, 0.1, 0.35},
         kA[0],
         kA[1],
         [](double, V3& c, double& t) {
             c = {4, 0, 0};
             t = 0;
         }},
        {{0.5, 0.02, 0.15},
         kB[0],
         kB[1],
         [](double p, V3& c, double& t) {
             c = {4.5, 0.05 + 0.2 * std::sin(2 * std::numbers::pi * p), 0};
             t = 0;
         }},
        {{0.5, 0.02, 0.15},
         kB[0],
         kB[1],
         [](double p, V3& c, double& t) {
             c = {3.5, 0.05 + 0.2 * std::sin(2 * std::numbers::pi * p), 0};
             t = 0;
         }},
    };
    out.Write("obj/figures/bird.md2", Figure(bird, 8));
    out.WritePPM("obj/figures/bird.ppm", Skin(Rgb{40, 40, 50}, Rgb{230, 230, 235}, Rgb{0, 0, 0}, Rgb{0, 0, 0}));
    out.Write("obj/figures/bird.tex", Bytes("birdskin obj/figures/bird.ppm startframe 0 endframe 7 animspeed 10\n"));
    // The pilot walks 2.2 units ahead of the camera, his feet an eye height
    // (0.6) below it: the engine draws him 0.37 below the camera.
    out.Write("obj/player/pilot/pilot.md2", Figure(Walker(0.55, -0.23, 2.2), 19));
    out.WritePPM("obj/player/pilot/pilot.ppm",
                 Skin(Rgb{240, 200, 170}, Rgb{200, 120, 30}, Rgb{60, 60, 70}, Rgb{200, 120, 30}));
}

} // namespace

void GenerateSceneAssets(AssetWriter& out)
{
    Fir(out);
    Birch(out);
    Rock(out);
    Deck(out);
    Hut(out);
    Crystal(out);
    Figures(out);
}

} // namespace assetgen
