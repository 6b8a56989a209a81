// overlay.cpp — the noise overlay's series, timer and full-screen drawing.
#include "render/overlay.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include "core/sys.h"
#include "image/texlist.h"
#include "render/display.h"
#include "render/draw2d.h"

namespace {

// Characters of a pattern's extension (".ppm").
constexpr size_t kExtensionLength = 4;
// Longest image name looked for, terminating zero included.
constexpr size_t kNameSize = 512;

} // namespace

bool noiseImageName(const char* pattern, uint32_t number, char* out, size_t size)
{
    if (pattern == nullptr) {
        return false;
    }
    const size_t length = std::strlen(pattern);
    if (length <= kExtensionLength) {
        return false;
    }
    const int baseLength = static_cast<int>(length - kExtensionLength);
    const int n = std::snprintf(out, size, "%.*s%u%s", baseLength, pattern, number, pattern + baseLength);
    return n > 0 && static_cast<size_t>(n) < size;
}

CNoise::~CNoise()
{
    for (uint32_t i = 0; i < count; ++i) {
        images[i].freeTexture();
    }
    delete[] images;
}

void CNoise::init(const SNoise* s)
{
    for (uint32_t i = 0; i < count; ++i) {
        images[i].freeTexture();
    }
    delete[] images;
    images = nullptr;
    count = 0;
    current = 0;
    if (s == nullptr) {
        return;
    }
    elapsed = s->startTime;
    frameTime = s->secondsPerImage;
    colour = t_rgba{s->tint[0], s->tint[1], s->tint[2], s->tint[3]};

    char name[kNameSize];
    uint32_t found = 0;
    while (found < kNoiseMaxImages && noiseImageName(s->filePattern, found + 1, name, sizeof name) &&
           sysFileExist(name)) {
        ++found;
    }
    if (found == kNoiseMaxImages && noiseImageName(s->filePattern, found + 1, name, sizeof name) &&
        sysFileExist(name)) {
        std::printf("Rauschbilder %s: nur die ersten %u werden gezeigt\n", s->filePattern, kNoiseMaxImages);
    }
    if (found > 0) {
        images = new STexture[found];
        for (uint32_t i = 0; i < found; ++i) {
            noiseImageName(s->filePattern, i + 1, name, sizeof name);
            images[i].createTexture(name, GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
        }
    }
    count = found;
    std::printf("%f %f %f %f\n", colour.r, colour.g, colour.b, colour.a);
}

void CNoise::update(float dt)
{
    elapsed += dt;
    if (count == 0) {
        return;
    }
    if (elapsed > frameTime) {
        current = current + 1 < count ? current + 1 : 0;
        elapsed = 0.0f;
    }
    g_view.imageRefWidth = images[current].imageWidth;
    g_view.imageRefHeight = images[current].imageHeight;
}

void CNoise::render()
{
    if (count == 0) {
        return;
    }
    TexList.selectBlendmode(kBlendAlpha);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 1.0, 1.0, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    drawImage(&images[current], 0, 0, &colour);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
