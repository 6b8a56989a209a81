// skybox.cpp — the sky box, its single-image fallback and the fallback's
// fog and clear colour.
#include "render/skybox.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/common.h"
#include "core/sys.h"
#include "image/imageio.h"
#include "render/display.h"

STexture skyboxTexture[6];
uint8_t noskybox = 0;

namespace {

// Corners of the box, model-view units (x, y, z).
constexpr float kBoxCorner[8][3] = {
    {-604.0f, 820.0f, -519.0f}, {664.0f, 820.0f, -519.0f}, {664.0f, -448.0f, -519.0f}, {-604.0f, -448.0f, -519.0f},
    {-604.0f, 820.0f, 817.0f},  {664.0f, 820.0f, 817.0f},  {664.0f, -448.0f, 817.0f},  {-604.0f, -448.0f, 817.0f},
};

// Corner indices of each face, in the order the texture coordinates below
// are given to them.
constexpr int kFaceCorners[6][4] = {
    {1, 0, 3, 2}, {0, 4, 7, 3}, {4, 5, 6, 7}, {5, 1, 2, 6}, {0, 1, 5, 4}, {7, 6, 2, 3},
};

// Texture coordinates stay 1/256 inside the face's edges, so that linear
// filtering under the default repeat wrap does not blend in the opposite
// border.
constexpr float kTexLow = 1.0f / 256.0f;
constexpr float kTexHigh = 255.0f / 256.0f;
constexpr float kFaceTexCoord[4][2] = {
    {kTexLow, kTexLow},
    {kTexHigh, kTexLow},
    {kTexHigh, kTexHigh},
    {kTexLow, kTexHigh},
};

constexpr double kSkyFovY = 45.0;    // degrees
constexpr double kSkyNear = 0.1;     // units
constexpr double kSkyFar = 100000.0; // units

// A level record's 256-byte name field need not be NUL-terminated.
std::string fieldString(const char (&field)[256])
{
    return std::string(field, strnlen(field, sizeof field));
}

// The image readers turn a file they cannot read into their 8 x 8 RGB
// placeholder after printing a warning; a colour taken from it would be a
// failure passed off as a result.
bool isReaderPlaceholder(const CBitmap& bitmap)
{
    if (bitmap.width != 8 || bitmap.height != 8 || bitmap.depth != 24 || bitmap.pixels == nullptr) {
        return false;
    }
    int w = 0;
    int h = 0;
    const std::unique_ptr<uint8_t[]> reference(GetRGBImage(&w, &h));
    return std::memcmp(reference.get(), bitmap.pixels, static_cast<size_t>(w) * h * 3) == 0;
}

bool allFacesPresent(const Lev& level)
{
    for (const auto& face : level.skyFaceFiles) {
        if (!sysFileExist(fieldString(face).c_str())) {
            return false;
        }
    }
    return true;
}

// "<level directory>/stdbg.ppm"; a level without a directory looks in the
// current one rather than at the root of the file system.
std::string fallbackImageName(const Lev& level)
{
    const char* dir = level.levelDirectory != nullptr ? level.levelDirectory : ".";
    return std::string(dir) + "/stdbg.ppm";
}

void useFallback(Lev& level)
{
    const std::string name = fallbackImageName(level);
    skyboxTexture[0].createTexture(name.c_str(), GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    getPixelColorPPM(name.c_str(), level.fogColor); // unreadable: the colour stays
    glClearColor(level.fogColor[0], level.fogColor[1], level.fogColor[2], 1.0f);
    glFogfv(GL_FOG_COLOR, level.fogColor);
    noskybox = 1;
}

void drawFace(int face)
{
    glBegin(GL_QUADS);
    for (int k = 0; k < 4; ++k) {
        const float* corner = kBoxCorner[kFaceCorners[face][k]];
        glTexCoord2f(kFaceTexCoord[k][0], kFaceTexCoord[k][1]);
        glVertex3f(corner[0], corner[1], corner[2]);
    }
    glEnd();
}

} // namespace

bool getPixelColorPPM(const char* file, float out[4])
{
    if (file == nullptr || !sysFileExist(file)) {
        return false;
    }
    const std::unique_ptr<CBitmap> image(LoadPPM(file));
    if (image->pixels == nullptr || image->width <= 0 || image->height <= 0 || isReaderPlaceholder(*image)) {
        return false;
    }
    out[0] = image->pixels[0] * kByteToUnit;
    out[1] = image->pixels[1] * kByteToUnit;
    out[2] = image->pixels[2] * kByteToUnit;
    out[3] = 1.0f;
    return true;
}

void skyboxInit()
{
    if (Level == nullptr) {
        return;
    }
    if (!allFacesPresent(*Level)) {
        useFallback(*Level);
        return;
    }
    for (int i = 0; i < 6; ++i) {
        const std::string name = fieldString(Level->skyFaceFiles[i]);
        skyboxTexture[i].createTexture(name.c_str(), GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    }
    noskybox = 0;
}

void drawSkybox()
{
    if (noskybox && !g_isOldGraka) {
        return;
    }
    const bool fallback = noskybox != 0;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    double aspect = 1.0;
    if (g_view.screenHeight > 0) {
        aspect = static_cast<double>(static_cast<float>(g_view.screenWidth) / static_cast<float>(g_view.screenHeight));
    }
    gluPerspective(kSkyFovY, aspect, kSkyNear, kSkyFar);

    // The sky lies far beyond any fog end; fogged it would vanish.
    const bool fogPaused = Level != nullptr && Level->fogOn && !fallback;
    if (fogPaused) {
        glDisable(GL_FOG);
    }
    if (fallback) {
        const float* fog = Level != nullptr ? Level->fogColor : nullptr;
        glColor3f(fog ? fog[0] : 1.0f, fog ? fog[1] : 1.0f, fog ? fog[2] : 1.0f);
        skyboxTexture[0].Select();
    } else {
        glColor3f(1.0f, 1.0f, 1.0f);
    }
    for (int face = 0; face < 6; ++face) {
        if (!fallback) {
            skyboxTexture[face].Select();
        }
        drawFace(face);
    }
    if (fogPaused) {
        glEnable(GL_FOG);
    }
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void skyboxDestroy()
{
    for (STexture& face : skyboxTexture) {
        face.freeTexture();
    }
}
