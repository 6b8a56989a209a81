// assetgen.h — shared pieces of the demo asset generator (vext_assetgen).
//
// The generator writes every binary file the demo data need below one data
// directory, at build time.  Output is reproducible: no clock, no random
// generator state, only fixed tables and integer hashes, so two runs give the
// same bytes.  A file whose content is unchanged is not touched, which keeps
// rebuilds quiet and time stamps stable.
//
// One function per asset family (GenerateFontAndScreens, GenerateGuiImages,
// GenerateLevelImages); later families (meshes, models, samples) add theirs
// beside them and are called from main in assetgen.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Rgb {
    uint8_t r, g, b;
};

// A 24-bit picture, rows top first as PPM stores them.
struct Image {
    int width;                // pixels
    int height;               // pixels
    std::vector<uint8_t> rgb; // width * height * 3 bytes, R,G,B

    Image(int w, int h, Rgb fill = {0, 0, 0});
    // Points outside the picture are ignored.
    void Set(int x, int y, Rgb colour);
    Rgb Get(int x, int y) const;
    void FillRect(int x, int y, int w, int h, Rgb colour);
};

// Binary PPM: "P6\n<w> <h>\n255\n" and the pixels.
std::vector<uint8_t> EncodePPM(const Image& image);

// Writes files below the data directory, creating directories as needed and
// leaving files whose content is already right alone.  A failure is printed
// to stderr (naming the file) and counted; generation goes on.
class AssetWriter {
public:
    explicit AssetWriter(std::string root);
    // relativePath uses "/" separators, e.g. "gfx/gui/arrow.ppm".
    void Write(const std::string& relativePath, const std::vector<uint8_t>& bytes);
    void WritePPM(const std::string& relativePath, const Image& image);
    // The data directory the files go below; generators that follow what a
    // level file says read it from here.
    const std::string& Root() const { return root_; }

    int written = 0;   // files created or replaced
    int unchanged = 0; // files that already held these bytes
    int failed = 0;    // files that could not be written

private:
    std::string root_;
};

// --- Font (assetgen_font.cpp) ----------------------------------------------

constexpr int kGlyphSize = 8; // glyph cell, pixels square

// The glyph of an ISO-8859-1 code: 8 bytes, top row first, bit 7 = leftmost
// column.  Codes without a drawn glyph are blank.
const uint8_t* GlyphRows(uint8_t code);
// Draws text with its top-left corner at (x, y), each font pixel as a
// scale x scale square, advancing 8 * scale pixels per character.
void DrawText(Image& image, int x, int y, const char* text, int scale, Rgb colour);

// --- Asset families (assetgen_images.cpp) ----------------------------------

// gfx/conchars.ppm (font sheet), gfx/load.ppm (load screen),
// gfx/texrender.ppm (the fixed tree texture).
void GenerateFontAndScreens(AssetWriter& out);
// The nine pictures of gfx/gui/.
void GenerateGuiImages(AssetWriter& out);
// Height maps, sky faces and the one-image sky of the demo levels.  The sky
// takes its horizon colour from the fog colour and its viewpoint from the
// camera start of the level's files below out.Root(), so fog and sky meet
// without a seam.
void GenerateLevelImages(AssetWriter& out);
// levels/select/snowflake.tga and flakes.tga (the snow), and
// levels/second/grain1.tga .. grain<kGrainFrames>.tga (the film grain
// overlay) (assetgen_effects.cpp).
constexpr unsigned kGrainFrames = 6;
void GenerateEffectImages(AssetWriter& out);
// The demo's music, footstep pair and fire loop (assetgen_sounds.cpp).
void GenerateSounds(AssetWriter& out);

// --- Camera path (assetgen_campath.cpp) --------------------------------------

// The demo flight through "select" as path records (flight.movie).
std::vector<uint8_t> DemoFlight();
void GenerateCamPaths(AssetWriter& out);

// --- Raw meshes and small shared helpers (assetgen_mesh.cpp) ----------------

// An integer hash: every "random" choice of the generator comes from it, so
// the bytes never change between builds.
uint32_t Hash(uint32_t x);
// A text file's bytes.
std::vector<uint8_t> Bytes(const std::string& text);

// Engine units, y up.
struct V3 {
    double x, y, z;
};

// A raw mesh being written: texture lines and triangles of the text format
// (each vertex stored x, z, y), counting its triangles.
class RawMesh {
public:
    void Tex(const char* name);
    void Tri(V3 a, V3 b, V3 c);
    // Corners counter-clockwise seen from outside; written as the triangle
    // pair (a, b, c), (c, d, a) whose vertices 1, 2, 3 and 5 are a, b, c, d.
    void Quad(V3 a, V3 b, V3 c, V3 d);
    // An n-sided band around the vertical axis through (cx, cz): radius r0
    // at y0 to r1 at y1; a cone when r1 is 0.
    void Ring(int n, double r0, double y0, double r1, double y1, bool asQuads, double cx = 0, double cz = 0);
    // Axis-aligned box from lo to hi, six quads.
    void Box(V3 lo, V3 hi);
    const std::string& Text() const { return text_; }
    int triangles = 0;

private:
    std::string text_;
};

// --- Scene objects (assetgen_scene.cpp) -------------------------------------

// data/obj/: raw meshes with their .tex files and images, MD2 figures and
// the player's pilot figure.
void GenerateSceneAssets(AssetWriter& out);

// --- The benchmark's reference level (assetgen_bench.cpp) --------------------

// levels/bench/: level.toml (1000 trees, 20 figures, 4 snow systems, 8
// lights), height.ppm and path.movie (the benchmark's camera path); obj/bench/: its three tree meshes and images.
void GenerateBenchLevel(AssetWriter& out);

} // namespace assetgen
