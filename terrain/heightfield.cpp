// heightfield.cpp — loading the height map and drawing the terrain with its
// skirt and floor plate.
#include "terrain/heightfield.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/common.h"
#include "core/sys.h"
#include "image/imageio.h"
#include "platform/files.h"
#include "render/display.h"
#include "render/framestats.h"
#include "render/skybox.h"

float terrain[kTerrainSize][kTerrainSize];
STexture grass;
uint8_t Boden = 0;

namespace {

// A 64 x 64 map needs 12 KiB; larger files are read only to name their size.
constexpr size_t kMaxHeightMapBytes = 16u << 20;
constexpr int kGridOffset = 32;        // grid index minus this = world x or z
constexpr float kHeightScale = 100.0f; // image byte per unit of height
constexpr float kSquareOffset = 30.0f; // camera-relative square test: camera - 30 + index

// The skirt walls run from the highest possible terrain down to just below
// the lowest, a hundredth of a unit outside the grid's edge so that they
// never fight with the terrain for the same depth.  The floor plate lies a
// hundredth below the lowest terrain and reaches a hundredth beyond the walls.
constexpr float kSkirtTop = kTerrainBaseY + kTerrainMaxHeight; // -5.45
constexpr float kSkirtBottom = -8.02f;
constexpr float kSkirtLow = -32.01f; // the walls at the grid's low edge
constexpr float kSkirtHigh = 31.01f; // the walls at the grid's high edge
constexpr float kSkirtInset = 0.01f;
constexpr float kFloorY = -8.01f;
constexpr float kFloorLow = -32.02f;
constexpr float kFloorHigh = 31.02f;

// A level record's 256-byte name field need not be NUL-terminated.
std::string fieldString(const char (&field)[256])
{
    return std::string(field, strnlen(field, sizeof field));
}

// One framed German warning about the height map, in the manner of the
// image readers.
void warnHeightMap(const char* file, const char* problem)
{
    char message[400];
    const int length =
        std::snprintf(message, sizeof message, "Warnung!!! Höhenkarte ( %s ): %s, kein Boden!", file, problem);
    printFramedWarning(message, length < 0 ? 0u : std::min(static_cast<unsigned>(length), 90u));
}

void warnWrongSize(const char* file, int width, int height)
{
    char problem[96];
    std::snprintf(problem, sizeof problem, "hat %i x %i Pixel statt %i x %i", width, height, kTerrainSize,
                  kTerrainSize);
    warnHeightMap(file, problem);
}

// The image's blue bytes, walked backwards from the last pixel: the first
// sample read is the bottom-right pixel, so the map lies turned by 180 degrees.
uint32_t g_terrainVersion = 1; // bumped whenever the height table is filled

void fillTable(const uint8_t* pixels)
{
    ++g_terrainVersion;
    const uint8_t* blue = pixels + kTerrainSize * kTerrainSize * 3 - 1;
    for (int z = 0; z < kTerrainSize; ++z) {
        for (int x = 0; x < kTerrainSize; ++x) {
            terrain[x][z] = *blue / kHeightScale;
            blue -= 3;
        }
    }
}

// Grid point (x, z): colour by height (green at the bottom, white at the
// top), then texture coordinate and position.
void gridVertex(int x, int z, float s, float t)
{
    const float h = terrain[x][z];
    glColor3f(h / 2.55f, h / 5.1f + 0.5f, h / 2.55f);
    glTexCoord2f(s, t);
    glVertex3f(static_cast<float>(x - kGridOffset), h + kTerrainBaseY, static_cast<float>(z - kGridOffset));
}

bool insideSquare(float v, float viewDistance)
{
    return -viewDistance < v && v < viewDistance;
}

// The grid as one triangle strip per row x (x to x + 1), two vertices per z,
// with exactly the colours, coordinates and positions gridVertex sends.
struct TerrainArrays {
    uint32_t version = 0;
    std::vector<float> pos;    // 3 per vertex
    std::vector<float> colour; // 3 per vertex
    std::vector<float> uv;     // 2 per vertex
};
TerrainArrays g_terrainArrays;
constexpr int kStripVertices = kTerrainSize * 2;

void putGridVertex(TerrainArrays& a, size_t at, int x, int z, float s, float t)
{
    const float h = terrain[x][z];
    a.colour[at * 3] = h / 2.55f;
    a.colour[at * 3 + 1] = h / 5.1f + 0.5f;
    a.colour[at * 3 + 2] = h / 2.55f;
    a.uv[at * 2] = s;
    a.uv[at * 2 + 1] = t;
    a.pos[at * 3] = static_cast<float>(x - kGridOffset);
    a.pos[at * 3 + 1] = h + kTerrainBaseY;
    a.pos[at * 3 + 2] = static_cast<float>(z - kGridOffset);
}

const TerrainArrays& terrainArrays()
{
    TerrainArrays& a = g_terrainArrays;
    if (a.version == g_terrainVersion) {
        return a;
    }
    const size_t total = static_cast<size_t>(kTerrainSize - 1) * kStripVertices;
    a.pos.assign(total * 3, 0.0f);
    a.colour.assign(total * 3, 0.0f);
    a.uv.assign(total * 2, 0.0f);
    for (int x = 0; x < kTerrainSize - 1; ++x) {
        for (int z = 0; z < kTerrainSize; ++z) {
            // Every row toggles f once per column from 1, so even z has f = 1.
            const float f = z % 2 == 0 ? 1.0f : 0.0f;
            const size_t at = static_cast<size_t>(x) * kStripVertices + static_cast<size_t>(z) * 2;
            putGridVertex(a, at, x + 1, z, f, f);
            putGridVertex(a, at + 1, x, z, 1.0f - f, f);
        }
    }
    a.version = g_terrainVersion;
    return a;
}

// The rows and columns the camera's square holds are contiguous ranges
// (the test is monotonic in the index), so each row is one sub-strip.
void drawTerrainArrays(float camX, float camZ, float viewDistance)
{
    const TerrainArrays& a = terrainArrays();
    int z0 = kTerrainSize;
    int z1 = -1;
    for (int z = 0; z < kTerrainSize; ++z) {
        if (insideSquare(camZ - kSquareOffset + static_cast<float>(z), viewDistance)) {
            z0 = std::min(z0, z);
            z1 = z;
        }
    }
    if (z1 < z0) {
        return;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, a.pos.data());
    glColorPointer(3, GL_FLOAT, 0, a.colour.data());
    glTexCoordPointer(2, GL_FLOAT, 0, a.uv.data());
    int lastRow = -1;
    for (int x = 0; x < kTerrainSize - 1; ++x) {
        if (insideSquare(camX - kSquareOffset + static_cast<float>(x), viewDistance)) {
            glDrawArrays(GL_TRIANGLE_STRIP, x * kStripVertices + z0 * 2, (z1 - z0 + 1) * 2);
            g_frameStats.triangles += static_cast<uint32_t>((z1 - z0 + 1) * 2 - 2);
            lastRow = x;
        }
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (lastRow >= 0) {
        // What the last gridVertex call leaves current.
        const size_t last = static_cast<size_t>(lastRow) * kStripVertices + static_cast<size_t>(z1) * 2 + 1;
        glColor3fv(&a.colour[last * 3]);
        glTexCoord2fv(&a.uv[last * 2]);
    }
}

// Wall `wall` 0..3 at running coordinate p: z = 31.01, z = -32.01, x = 31.01,
// x = -32.01.
void skirtVertex(int wall, float p, float y)
{
    switch (wall) {
    case 0: glVertex3f(p, y, kSkirtHigh); break;
    case 1: glVertex3f(p, y, kSkirtLow); break;
    case 2: glVertex3f(kSkirtHigh, y, p); break;
    default: glVertex3f(kSkirtLow, y, p); break;
    }
}

void drawSkirt(const float* fogColor)
{
    glColor3f(fogColor[0], fogColor[1], fogColor[2]);
    for (int wall = 0; wall < 4; ++wall) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int i = 0; i < kTerrainSize; ++i) {
            const float s = static_cast<float>(i - kGridOffset);
            const float p = i < kTerrainSize - 1 ? s - kSkirtInset : kSkirtHigh;
            glTexCoord2f(s, kSkirtTop);
            skirtVertex(wall, p, kSkirtTop);
            glTexCoord2f(s, kSkirtBottom);
            skirtVertex(wall, p, kSkirtBottom);
        }
        glEnd();
    }
    glBegin(GL_QUADS);
    glVertex3f(kFloorLow, kFloorY, kFloorLow);
    glVertex3f(kFloorHigh, kFloorY, kFloorLow);
    glVertex3f(kFloorHigh, kFloorY, kFloorHigh);
    glVertex3f(kFloorLow, kFloorY, kFloorHigh);
    glEnd();
}

// The reference: one call per vertex.
void drawTerrainImmediate(float camX, float camZ, float viewDistance)
{
    // Every row has an even number of columns, so each starts with f = 1.
    float f = 1.0f;
    for (int x = 0; x < kTerrainSize - 1; ++x) {
        const bool rowInside = insideSquare(camX - kSquareOffset + static_cast<float>(x), viewDistance);
        glBegin(GL_TRIANGLE_STRIP);
        uint32_t sent = 0;
        for (int z = 0; z < kTerrainSize; ++z) {
            if (rowInside && insideSquare(camZ - kSquareOffset + static_cast<float>(z), viewDistance)) {
                gridVertex(x + 1, z, f, f);
                gridVertex(x, z, 1.0f - f, f);
                sent += 2;
            }
            f = 1.0f - f;
        }
        glEnd();
        g_frameStats.triangles += sent >= 2 ? sent - 2 : 0;
    }
}

} // namespace

void init_height_field()
{
    if (Level == nullptr) {
        Boden = 0;
        return;
    }
    const std::string file = fieldString(Level->heightMapFile);
    Boden = 0;
    if (file.empty()) {
        return; // a level without terrain
    }
    std::vector<uint8_t> bytes;
    const FileError error = ReadRegularFile(file.c_str(), kMaxHeightMapBytes, bytes);
    if (error != FileError::None) {
        warnHeightMap(file.c_str(), FileErrorText(error));
        return;
    }
    const char* problem = "";
    const std::unique_ptr<CBitmap> image(TryParsePPM(bytes.data(), bytes.size(), &problem));
    if (image == nullptr) {
        warnHeightMap(file.c_str(), problem);
        return;
    }
    if (image->width != kTerrainSize || image->height != kTerrainSize) {
        warnWrongSize(file.c_str(), image->width, image->height);
        return;
    }
    fillTable(image->pixels);
    Boden = 1;
}

void render_height_field(float camX, float camZ)
{
    const float viewDistance = g_view.viewDistance;
    glEnable(GL_CULL_FACE);
    grass.Select();
    if (g_immediateDraw == 0) {
        drawTerrainArrays(camX, camZ, viewDistance);
    } else {
        drawTerrainImmediate(camX, camZ, viewDistance);
    }
    glDisable(GL_CULL_FACE);
    if (noskybox == 0 && Fogon) {
        // The colour the GL fog has now: the current level's, which a level
        // change and the editor's fog colour keys set.  The view's copy is
        // the start level's and would stand out as a coloured slab.
        drawSkirt(Level != nullptr ? Level->fogColor : g_view.fogColor);
    }
}
