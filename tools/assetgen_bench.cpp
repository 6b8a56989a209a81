// assetgen_bench.cpp — the reference level "bench" for frame-time
// measurements: a forest of 1000 trees of three kinds on rolling terrain,
// 20 walking figures, four snow systems and eight lights, at 800 x 600 with
// fog.  The level file itself is written here (data/levels/bench/level.toml)
// because it lists every tree; it uses the sky faces of "select" and the
// figures and snow images of the other demo assets.  Beside it the camera
// path the benchmark flies (path.movie, a camera recording).
//
// Everything follows from integer hashes: runs give the same bytes.

#include "tools/assetgen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace assetgen {
namespace {

// 0..1 from a hash of (a, b).
double Unit(uint32_t a, uint32_t b)
{
    return (Hash(a * 0x9e3779b9u ^ Hash(b)) & 0xffffff) / double(0x1000000);
}

Image Grain(int size, uint32_t seed, Rgb base, double gapAbove)
{
    Image image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double g = Unit(seed, static_cast<uint32_t>(y * size + x));
            if (g > gapAbove) {
                image.Set(x, y, {0, 0, 0}); // cut out by the colour key
                continue;
            }
            const double f = 0.65 + 0.5 * g;
            auto c = [f](uint8_t v) { return static_cast<uint8_t>(std::fmin(255.0, v * f)); };
            image.Set(x, y, {c(base.r), c(base.g), c(base.b)});
        }
    }
    return image;
}

// Pine: quad bark, six tiers of needle cones (about 140 triangles).
void Pine(AssetWriter& out)
{
    RawMesh m;
    m.Tex("benchbark");
    m.Ring(8, 0.18, -0.5, 0.1, 1.2, true);
    m.Tex("benchneedles");
    for (int tier = 0; tier < 6; ++tier) {
        const double y0 = 0.6 + tier * 0.45;
        m.Ring(20, 1.5 - tier * 0.2, y0, 0.0, y0 + 1.0, false);
    }
    out.Write("obj/bench/pine.raw", Bytes(m.Text()));
    out.Write("obj/bench/pine.tex", Bytes("benchbark obj/bench/bark.ppm 1 3 quads\n"
                                          "benchneedles obj/bench/needles.ppm 1 1 texmode 2\n"));
}

// Broadleaf: quad bark and a crown of six blended blobs (about 210 triangles).
void Broadleaf(AssetWriter& out)
{
    RawMesh m;
    m.Tex("benchbark");
    m.Ring(10, 0.2, -0.5, 0.14, 2.0, true);
    m.Tex("benchleaves");
    const V3 centres[6] = {{0, 2.6, 0},      {0.6, 2.2, 0.3},  {-0.5, 2.3, -0.3},
                           {0.2, 3.1, -0.4}, {-0.3, 2.9, 0.5}, {0.4, 2.0, -0.6}};
    for (const V3& c : centres) {
        m.Ring(16, 0.8, c.y, 0.0, c.y + 0.8, false, c.x, c.z);
        m.Ring(16, 0.8, c.y, 0.0, c.y - 0.6, false, c.x, c.z);
    }
    out.Write("obj/bench/broadleaf.raw", Bytes(m.Text()));
    out.Write("obj/bench/broadleaf.tex", Bytes("benchbark obj/bench/bark.ppm 1 3 quads\n"
                                               "benchleaves obj/bench/leaves.ppm 0.7 0.7 texmode 1 blend 85\n"));
}

// Ice tree: a quad trunk and sphere-mapped facets, some as quads, some
// added on top (about 120 triangles).
void IceTree(AssetWriter& out)
{
    RawMesh m;
    m.Tex("benchbark");
    m.Ring(6, 0.15, -0.5, 0.1, 1.0, true);
    m.Tex("benchice");
    m.Ring(12, 0.9, 1.0, 0.6, 2.2, true);
    m.Ring(12, 0.6, 2.2, 0.0, 3.0, false);
    m.Tex("benchglow");
    m.Ring(12, 0.5, 1.0, 0.0, 0.3, false);
    m.Ring(12, 0.35, 2.0, 0.0, 3.4, false);
    m.Tex("benchice");
    m.Ring(12, 1.0, 0.95, 0.9, 1.0, true);
    out.Write("obj/bench/icetree.raw", Bytes(m.Text()));
    out.Write("obj/bench/icetree.tex",
              Bytes("benchbark obj/bench/bark.ppm 1 3 quads\n"
                    "benchice obj/bench/ice.ppm 1 1 quads envmode blend 70 emissiveRGB 20 30 60\n"
                    "benchglow obj/bench/ice.ppm 1 1 envmode blendmode 1\n"));
}

void Images(AssetWriter& out)
{
    out.WritePPM("obj/bench/bark.ppm", Grain(32, 71, Rgb{110, 80, 50}, 2.0));
    out.WritePPM("obj/bench/needles.ppm", Grain(64, 72, Rgb{36, 90, 48}, 0.9));
    out.WritePPM("obj/bench/leaves.ppm", Grain(64, 73, Rgb{110, 160, 60}, 0.86));
    Image ice(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const double r = std::hypot(x - 32, y - 26) / 40.0;
            const double f = std::fmax(0.2, 1.2 - r);
            ice.Set(x, y,
                    {static_cast<uint8_t>(std::fmin(255.0, 150 * f)), static_cast<uint8_t>(std::fmin(255.0, 210 * f)),
                     static_cast<uint8_t>(std::fmin(255.0, 255 * f))});
        }
    }
    out.WritePPM("obj/bench/ice.ppm", ice);
}

// Terrain height in image bytes at image pixel (x, y): rolling hills.
double BenchHeight(int x, int y)
{
    return 110 + 60 * std::sin(x * 0.21) * std::cos(y * 0.17) + 40 * std::sin((x + y) * 0.09);
}

// World height of (wx, wz): the engine reads the map turned by 180 degrees,
// grid point g = world + 32, image pixel 63 - g; 100 bytes per unit, base -8.
double WorldHeight(double wx, double wz)
{
    const int gx = std::clamp(static_cast<int>(std::lround(wx + 32)), 0, 63);
    const int gz = std::clamp(static_cast<int>(std::lround(wz + 32)), 0, 63);
    const double byte = std::clamp(BenchHeight(63 - gx, 63 - gz), 0.0, 255.0);
    return static_cast<uint8_t>(byte) / 100.0 - 8.0;
}

std::string Vec(double x, double y, double z)
{
    char text[96];
    std::snprintf(text, sizeof text, "[%.2f, %.2f, %.2f]", x, y, z);
    return text;
}

std::string LevelFile()
{
    std::string t;
    t += "# levels/bench/level.toml — written by vext_assetgen (tools/assetgen_bench.cpp);\n"
         "# edits are overwritten.  The reference scene of the frame-time benchmark.\n\n"
         "height_map = \"levels/bench/height.ppm\"\n"
         "sky = [\n";
    for (int face = 0; face < 6; ++face) {
        t += "    \"levels/select/sky" + std::to_string(face) + ".ppm\",\n";
    }
    t += "]\n"
         "inherit_bindings = true\n\n"
         "[display]\nwidth = 800\nheight = 600\n\n"
         "[view]\ndistance = 40.0\n\n"
         "[camera]\nstart = [0.0, -4.0, 24.0]\nyaw = 0.0\n\n"
         "[fog]\non = true\nmode = \"LIN\"\ncolor = [0.6, 0.68, 0.8, 1.0]\nstart = 8.0\nend = 38.0\n"
         "density = 0.03\n\n"
         "[lighting]\ndynamic = true\nlit_base = [0.3, 0.3, 0.32]\n\n";
    const char* kinds[3] = {"pine", "broadleaf", "icetree"};
    const char* names[3] = {"pine", "leaf", "ice"};
    std::string trees;
    std::string firstOf[3];
    for (uint32_t i = 0; i < 1000; ++i) {
        // Kinds 45 : 45 : 10; positions over the grid's inner 60 x 60 units.
        const double k = Unit(i, 1);
        const int kind = k < 0.45 ? 0 : (k < 0.9 ? 1 : 2);
        const double x = -30 + 60 * Unit(i, 2);
        const double z = -30 + 60 * Unit(i, 3);
        const std::string name = std::string(names[kind]) + std::to_string(i);
        if (firstOf[kind].empty()) {
            firstOf[kind] = name;
        }
        trees += "[[tree]]\nname = \"" + name + "\"\nfile = \"obj/bench/" + kinds[kind] +
                 ".raw\"\nposition = " + Vec(x, WorldHeight(x, z), z) +
                 "\nrotation = " + Vec(0, std::floor(360 * Unit(i, 4)), 0) + "\n";
        if (kind == 2 && i % 3 == 0) {
            trees += "rotation_speed = [0.00, 0.00, 20.00]\n";
        }
        trees += "\n";
    }
    // Masks: 4 every tree vertex and figure, 8 first corners of tree faces,
    // 2 every snow flake corner, 16 first flake corners.
    struct LightDef {
        double radius;
        V3 at;
        Rgb colour;
        int mask;
        const char* attach;
    };
    const LightDef lights[8] = {
        {12, {-16, -5, -16}, {255, 210, 150}, 6, "None"},
        {12, {16, -5, -16}, {150, 200, 255}, 4, "None"},
        {12, {-16, -5, 16}, {200, 255, 150}, 4, "None"},
        {12, {16, -5, 16}, {255, 150, 200}, 28, "None"},
        {7, {0, 0, 0}, {160, 160, 160}, 6, "Cam"},
        {8, {0, 0, 0}, {255, 120, 40}, 8, firstOf[0].c_str()},
        {6, {0, 0, 0}, {80, 150, 255}, 4, firstOf[2].c_str()},
        {6, {0, 0, 0}, {255, 255, 200}, 4, "figure3"},
    };
    for (const LightDef& l : lights) {
        t += "[[light]]\nradius = " + std::to_string(l.radius) + "\nposition = " + Vec(l.at.x, l.at.y, l.at.z) +
             "\ncolor = [" + std::to_string(l.colour.r) + ".0, " + std::to_string(l.colour.g) + ".0, " +
             std::to_string(l.colour.b) + ".0, 255.0]\nmask = " + std::to_string(l.mask) + "\nattach = \"" + l.attach +
             "\"\n\n";
    }
    t += trees;
    const char* figures[3] = {"walker", "ranger", "bird"};
    for (uint32_t i = 0; i < 20; ++i) {
        const int kind = static_cast<int>(i % 3);
        const double x = -24 + 48 * Unit(i, 11);
        const double z = -24 + 48 * Unit(i, 12);
        const double y = kind == 2 ? -2.0 : WorldHeight(x, z);
        t += "[[person]]\nname = \"figure" + std::to_string(i) + "\"\nfile = \"obj/figures/" + figures[kind] +
             ".md2\"\nposition = " + Vec(x, y, z) + "\nrotation = " + Vec(0, std::floor(360 * Unit(i, 13)), 0) + "\n";
        if (kind == 2) {
            t += "rotation_speed = [0.00, 40.00, 0.00]\n";
        }
        t += "\n";
    }
    for (int s = 0; s < 4; ++s) {
        const double x = s % 2 == 0 ? -12.0 : 12.0;
        const double z = s < 2 ? -12.0 : 12.0;
        t += "[[particles]]\nname = \"snow" + std::to_string(s) + "\"\ntexture = \"levels/select/snowflake.tga\"\n" +
             "origin = " + Vec(x, 0.0, z) +
             "\nextent = [10.0, 8.0, 10.0]\nvelocity = [0.1, -1.6, 0.0]\n"
             "velocity_variance = [0.25, 0.3, 0.25]\nsize = 0.08\nrate = 400.0\nmax_count = 2000\n\n";
    }
    return t;
}

// The benchmark's camera path as a recording ("recfile.movie" layout: 28-byte
// records of seven big-endian floats x, y, z, yaw, pitch, move speed, turn
// speed; one record per 0.04 s): a circle of radius 14 around the middle of
// the forest, 1.5 units above the highest ground, looking along the circle,
// once round in kBenchPathRecords records.
constexpr int kBenchPathRecords = 250;

void PutBigEndian(std::vector<uint8_t>& b, float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    for (int shift = 24; shift >= 0; shift -= 8) {
        b.push_back(static_cast<uint8_t>(v >> shift));
    }
}

std::vector<uint8_t> CameraPath()
{
    std::vector<uint8_t> bytes;
    for (int i = 0; i < kBenchPathRecords; ++i) {
        const double a = 2.0 * std::numbers::pi * i / kBenchPathRecords;
        // Yaw 0 looks along -z; the circle's tangent is (-sin a, 0, cos a).
        const double yaw = std::fmod(360.0 + 180.0 - a * 180.0 / std::numbers::pi, 360.0);
        const float record[7] = {static_cast<float>(14.0 * std::cos(a)),
                                 -4.0f,
                                 static_cast<float>(14.0 * std::sin(a)),
                                 static_cast<float>(yaw),
                                 5.0f,
                                 0.03f,
                                 0.5f};
        for (float f : record) {
            PutBigEndian(bytes, f);
        }
    }
    return bytes;
}

} // namespace

void GenerateBenchLevel(AssetWriter& out)
{
    Pine(out);
    Broadleaf(out);
    IceTree(out);
    Images(out);
    Image map(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const auto h = static_cast<uint8_t>(std::clamp(BenchHeight(x, y), 0.0, 255.0));
            map.Set(x, y, {h, h, h});
        }
    }
    out.WritePPM("levels/bench/height.ppm", map);
    out.Write("levels/bench/level.toml", Bytes(LevelFile()));
    out.Write("levels/bench/path.movie", CameraPath());
}

} // namespace assetgen
