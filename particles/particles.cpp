// particles.cpp — the particle pool, the snowstorm and the level's systems.
#include "particles/particles.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "core/common.h"
#include "core/sys.h"
#include "image/imageio.h"
#include "image/texlist.h"
#include "render/framestats.h"
#include "render/frustum.h"
#include "scene/draw.h"
#include "scene/light.h"

CSnowstorm* g_snowstorm = nullptr;
uint32_t g_snowstormCount = 0;
int32_t selectedParticlesys = 0;

namespace {

// Alpha of the base colour a lit particle starts from: just below 1, so the
// blend keeps the texture's own alpha as good as unchanged.
constexpr float kLitBaseAlpha = 0.9999998f;

// Light mask bits particles answer to, beside the trees' kLightAllVertices
// and kLightFirstVertex: a level lights its snow with lights carrying these.
constexpr uint8_t kLightParticleAll = 2;    // every corner of every particle
constexpr uint8_t kLightParticleFirst = 16; // the first corner of each particle only

// A value in (-1, 1): the difference of two independent rand() calls over
// RAND_MAX + 1 (2^31 with glibc).  Two statements, so the order of the calls
// is fixed and a seeded run repeats exactly.
float randomSpread()
{
    const int a = std::rand();
    const int b = std::rand();
    return static_cast<float>((static_cast<double>(a) - static_cast<double>(b)) / (RAND_MAX + 1.0));
}

// A level's 256-byte name field need not be NUL-terminated.
char* fieldCopy(const char (&field)[256])
{
    char* copy = new char[sizeof field + 1];
    const size_t n = strnlen(field, sizeof field);
    std::memcpy(copy, field, n);
    copy[n] = '\0';
    return copy;
}

t_vector vectorOf(const float (&v)[3])
{
    return t_vector(v[0], v[1], v[2]);
}

void systemMoved(t_objheader* object)
{
    if (CSnowstorm* system = particleSystemOf(object)) {
        system->calcTBBox();
    }
}

// The particle image as the readers give it (never null; a file they cannot
// read is their placeholder, reported by them), or the placeholder when the
// image is larger than GL can take at its own size.
CBitmap* loadParticleImage(const char* file)
{
    CBitmap* bitmap = fileType(file) == kFileTypeTga ? LoadTGAFile(file) : LoadPPM(file);
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    if (maxSide > 0 && (bitmap->width > maxSide || bitmap->height > maxSide)) {
        char message[400];
        std::snprintf(message, sizeof message,
                      "Warnung!!! Partikelbild %s ist mit %i x %i Pixeln größer als %i x %i, nicht geladen!\n", file,
                      bitmap->width, bitmap->height, maxSide, maxSide);
        printFramedWarning(message, 75);
        const int depth = bitmap->depth;
        delete bitmap;
        bitmap = MakePlaceholder(depth == 32 ? 32 : 24);
    }
    return bitmap;
}

// The array path's per-frame buffers, grown to the largest system drawn
// (once; frames after that allocate nothing).
std::vector<float> g_flakePos;    // 3 per vertex, eye coordinates
std::vector<float> g_flakeUV;     // 2 per vertex
std::vector<float> g_flakeColour; // 4 per vertex
std::vector<float> g_flakeWorld;  // 3 per drawn particle, for the lights

float clampChannel(float v)
{
    v = v > 1.0f ? 1.0f : v;
    return v < 0.0f ? 0.0f : v;
}

// Colours of `count` particles at world positions `world` into 4 vertices
// each, as GetLightColor gives them for the point (0, 0, 0) offset by the
// particle's position: the first corner with the masks of both particle
// kinds, the other three with the every-corner one.  Lights that cannot
// reach the box lo..hi of all positions only clamp, as they do there.
void lightFlakes(const float* world, int32_t count, const float* lo, const float* hi, const t_rgba& base,
                 float* colour)
{
    for (int32_t i = 0; i < count * 4; ++i) {
        colour[i * 4] = base.r;
        colour[i * 4 + 1] = base.g;
        colour[i * 4 + 2] = base.b;
        colour[i * 4 + 3] = base.a;
    }
    uint32_t used = Level != nullptr ? Level->lightCount : 0;
    used = used < lightCountBuilt ? used : lightCountBuilt;
    for (uint32_t k = 0; k < used; ++k) {
        const c_light& light = Light[k];
        const bool toFirst = (light.mask & (kLightParticleFirst | kLightParticleAll)) != 0;
        const bool toOthers = (light.mask & kLightParticleAll) != 0;
        if (!toFirst || light.positionRef == nullptr) {
            continue;
        }
        const t_vector& l = *light.positionRef;
        const double lp[3] = {l.x, l.y, l.z};
        double far2 = 0.0; // squared distance from the light to the nearest point of the box
        for (int a = 0; a < 3; ++a) {
            const double gap = lp[a] < lo[a] ? lo[a] - lp[a] : (lp[a] > hi[a] ? lp[a] - hi[a] : 0.0);
            far2 += gap * gap;
        }
        const double radius = light.radius;
        const double brightest = std::fmax(std::fmax(light.colour.r, light.colour.g), light.colour.b) / 255.0;
        const bool skip = radius > 0.0 && std::isfinite(radius) && std::sqrt(far2) * (1.0 - 1.0e-9) / radius > brightest;
        const double channel[3] = {light.colour.r / 255.0, light.colour.g / 255.0, light.colour.b / 255.0};
        // Corner 0 is the first corner, corner 1 stands for the other three.
        const int corners = toOthers ? 2 : 1;
        for (int32_t i = 0; i < count; ++i) {
            float* c = colour + static_cast<size_t>(i) * 16;
            if (skip) {
                for (int v = 0; v < corners; ++v) {
                    for (int ch = 0; ch < 3; ++ch) {
                        c[v * 4 + ch] = clampChannel(c[v * 4 + ch] + 0.0f);
                    }
                }
                continue;
            }
            const double dx = lp[0] - world[i * 3];
            const double dy = lp[1] - world[i * 3 + 1];
            const double dz = lp[2] - world[i * 3 + 2];
            const double d = std::sqrt(dx * dx + dy * dy + dz * dz) / radius;
            for (int ch = 0; ch < 3; ++ch) {
                double add = channel[ch] - d;
                if (!(add > 0.0)) {
                    add = 0.0;
                }
                for (int v = 0; v < corners; ++v) {
                    c[v * 4 + ch] = clampChannel(c[v * 4 + ch] + static_cast<float>(add));
                }
            }
        }
    }
    // Corners 2 and 3 carry corner 1's colour.
    for (int32_t i = 0; i < count; ++i) {
        float* c = colour + static_cast<size_t>(i) * 16;
        std::memcpy(c + 8, c + 4, 4 * sizeof(float));
        std::memcpy(c + 12, c + 4, 4 * sizeof(float));
    }
}

} // namespace

// --- CParticleSystem -------------------------------------------------------

CParticleSystem::CParticleSystem()
{
    header.type = kObjParticleSystem;
    header.positionRef = &origin;
    header.rotationRef = &header.rotation;
}

CParticleSystem::~CParticleSystem()
{
    delete[] particles;
    delete[] header.name;
}

int CParticleSystem::Emit(int count)
{
    // No pool (before InitializeSystem, after KillSystem): nothing fits.
    while (count > 0 && liveCount < maxCount && particles != nullptr) {
        InitializeParticle(liveCount);
        ++liveCount;
        --count;
    }
    return count;
}

void CParticleSystem::InitializeSystem()
{
    delete[] particles;
    particles = nullptr;
    if (maxCount > 0) {
        particles = new (std::nothrow) particle_t[static_cast<size_t>(maxCount)];
        if (particles == nullptr) {
            std::printf("Partikelsystem %s: kein Speicher für %i Partikel, es bleibt leer\n",
                        header.name != nullptr ? header.name : "", maxCount);
            maxCount = 0;
        }
    }
    liveCount = 0;
    accumulator = 0.0f;
}

void CParticleSystem::KillSystem()
{
    delete[] particles;
    particles = nullptr;
    liveCount = 0;
}

void CParticleSystem::Setvalues(int count, t_vector at)
{
    // A pool sized for the old capacity must not outlive it.
    KillSystem();
    maxCount = count > 0 ? count : 0;
    origin = at;
}

// --- CSnowstorm --------------------------------------------------------------

CSnowstorm::~CSnowstorm()
{
    if (texture != 0) {
        const GLuint name = texture;
        glDeleteTextures(1, &name);
    }
    delete[] textureFile;
}

void CSnowstorm::Setvalues(int count, t_vector at, float hw, float h, float hd, const char* file)
{
    halfWidth = hw;
    height = h;
    halfDepth = hd;
    char* copy = newStringCopy(file);
    delete[] textureFile;
    textureFile = copy;
    CParticleSystem::Setvalues(count, at);
}

void CSnowstorm::calcTBBox()
{
    const float x0 = origin.x - halfWidth;
    const float x1 = origin.x + halfWidth;
    const float z0 = origin.z - halfDepth;
    const float z1 = origin.z + halfDepth;
    const float y[2] = {origin.y - height, origin.y};
    for (int level = 0; level < 2; ++level) {
        box[level * 4 + 0] = t_vector(x0, y[level], z0);
        box[level * 4 + 1] = t_vector(x1, y[level], z0);
        box[level * 4 + 2] = t_vector(x1, y[level], z1);
        box[level * 4 + 3] = t_vector(x0, y[level], z1);
    }
}

void CSnowstorm::InitializeSystem()
{
    CBitmap* bitmap = loadParticleImage(textureFile != nullptr ? textureFile : "");
    if (texture != 0) {
        const GLuint old = texture;
        glDeleteTextures(1, &old);
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const bool rgba = bitmap->depth == 32;
    glTexImage2D(GL_TEXTURE_2D, 0, rgba ? 4 : 3, bitmap->width, bitmap->height, 0, rgba ? GL_RGBA : GL_RGB,
                 GL_UNSIGNED_BYTE, bitmap->pixels);
    texture = name;
    delete bitmap;
    CParticleSystem::InitializeSystem();
}

void CSnowstorm::KillSystem()
{
    CParticleSystem::KillSystem();
}

void CSnowstorm::InitializeParticle(int index)
{
    particle_t& p = particles[index];
    p.position.y = origin.y;
    p.position.x = origin.x + randomSpread() * halfWidth;
    p.position.z = origin.z + randomSpread() * halfDepth;
    p.size = particleSize;
    p.velocity.x = velocityBase.x + randomSpread() * velocityVariance.x;
    p.velocity.y = velocityBase.y + randomSpread() * velocityVariance.y;
    p.velocity.z = velocityBase.z + randomSpread() * velocityVariance.z;
}

void CSnowstorm::Update(float dt)
{
    const float floor = origin.y - height;
    int32_t i = 0;
    while (i < liveCount) {
        particle_t& p = particles[i];
        p.position.x += p.velocity.x * dt;
        p.position.y += p.velocity.y * dt;
        p.position.z += p.velocity.z * dt;
        if (p.position.y <= floor) {
            // The last live particle takes the slot and is moved in this
            // same pass, as i stays.
            --liveCount;
            p = particles[liveCount];
        } else {
            ++i;
        }
    }
    if (rate <= 0.0f) {
        return;
    }
    accumulator += dt;
    const float n = std::trunc(rate * accumulator);
    accumulator -= n * (1.0f / rate);
    // What does not fit the pool is dropped (its time is not given back);
    // a count beyond any pool is capped before it becomes an int.
    Emit(n < 2.0e9f ? static_cast<int>(n) : 2000000000);
}

void CSnowstorm::Render()
{
    lastDrawn = 0;
    // The whole system is culled before any GL call.
    if (liveCount == 0 || Level == nullptr || !boxIntersectsFrustum(box)) {
        return;
    }
    const t_vector eye = g_viewerPosition != nullptr ? *g_viewerPosition : t_vector();
    const float reach = Level->viewDistance;
    const float reach2 = reach * reach;
    const bool lit = Level->dynamicLighting != 0;
    const t_rgba base{Level->litBaseColour[0], Level->litBaseColour[1], Level->litBaseColour[2], kLitBaseAlpha};

    glEnable(GL_BLEND);
    TexList.selectEnvmode(false);
    TexList.selectBlendmode(kBlendAlpha);
    glDepthMask(GL_FALSE);
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Billboards: each quad lies in the eye's x-y plane at the particle's
    // eye-space position, so the model-view is read once and the quads are
    // sent in eye coordinates under an identity matrix, all in one batch.
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glLoadIdentity();
    if (!lit) {
        glColor3f(1.0f, 1.0f, 1.0f);
    }
    if (g_immediateDraw != 0) {
        renderImmediate(m, eye, reach2, lit, base);
    } else {
        renderArrays(m, eye, reach2, lit, base);
    }
    glPopMatrix();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

// One flake's screen-facing quad in eye space, or false when the flake lies
// beyond the view distance.  Corners in drawing order: top left, top right,
// bottom right, bottom left, edge = the flake's size.
bool CSnowstorm::flakeQuad(const particle_t& p, const float* m, const t_vector& eye, float reach2, FlakeQuad& q) const
{
    const float dx = p.position.x - eye.x;
    const float dy = p.position.y - eye.y;
    const float dz = p.position.z - eye.z;
    if (!(dx * dx + dy * dy + dz * dz < reach2)) {
        return false;
    }
    const float ex = m[0] * p.position.x + m[4] * p.position.y + m[8] * p.position.z + m[12];
    const float ey = m[1] * p.position.x + m[5] * p.position.y + m[9] * p.position.z + m[13];
    q.z = m[2] * p.position.x + m[6] * p.position.y + m[10] * p.position.z + m[14];
    const float s = p.size;
    const float cx[4] = {0.0f, s, s, 0.0f};
    const float cy[4] = {0.0f, 0.0f, -s, -s};
    for (int c = 0; c < 4; ++c) {
        q.x[c] = ex + cx[c];
        q.y[c] = ey + cy[c];
    }
    if (scrollTexture) {
        const float u0 = (p.position.x + texOffsetU) * texScaleU;
        const float u1 = (p.position.x + s + texOffsetU) * texScaleU;
        const float v0 = (p.position.y + texOffsetV) * texScaleV;
        const float v1 = (p.position.y - s + texOffsetV) * texScaleV;
        q.u[0] = u0, q.u[1] = u1, q.u[2] = u1, q.u[3] = u0;
        q.v[0] = v0, q.v[1] = v0, q.v[2] = v1, q.v[3] = v1;
    } else {
        q.u[0] = 0.0f, q.u[1] = 1.0f, q.u[2] = 1.0f, q.u[3] = 0.0f;
        q.v[0] = 1.0f, q.v[1] = 1.0f, q.v[2] = 0.0f, q.v[3] = 0.0f;
    }
    return true;
}

void CSnowstorm::renderImmediate(const float* m, const t_vector& eye, float reach2, bool lit, const t_rgba& base)
{
    glBegin(GL_QUADS);
    const t_vector zero;
    FlakeQuad q;
    for (int32_t i = 0; i < liveCount; ++i) {
        const particle_t& p = particles[i];
        if (!flakeQuad(p, m, eye, reach2, q)) {
            continue;
        }
        // The first corner answers to the particle lights of both kinds,
        // the other three (one point, one colour) to the every-corner kind.
        t_rgba first{};
        t_rgba others{};
        if (lit) {
            first = *GetLightColor(&zero, &p.position, &base, kLightParticleFirst | kLightParticleAll, nullptr);
            others = *GetLightColor(&zero, &p.position, &base, kLightParticleAll, nullptr);
        }
        for (int c = 0; c < 4; ++c) {
            if (lit) {
                glColor4fv(c == 0 ? &first.r : &others.r);
            }
            glTexCoord2f(q.u[c], q.v[c]);
            glVertex3f(q.x[c], q.y[c], q.z);
        }
        ++lastDrawn;
    }
    glEnd();
    g_frameStats.triangles += static_cast<uint32_t>(lastDrawn) * 2;
}

void CSnowstorm::renderArrays(const float* m, const t_vector& eye, float reach2, bool lit, const t_rgba& base)
{
    const size_t most = static_cast<size_t>(liveCount);
    if (g_flakeWorld.size() < most * 3) {
        g_flakePos.resize(most * 12);
        g_flakeUV.resize(most * 8);
        g_flakeColour.resize(most * 16);
        g_flakeWorld.resize(most * 3);
    }
    float lo[3] = {0.0f, 0.0f, 0.0f};
    float hi[3] = {0.0f, 0.0f, 0.0f};
    int32_t drawn = 0;
    FlakeQuad q;
    for (int32_t i = 0; i < liveCount; ++i) {
        const particle_t& p = particles[i];
        if (!flakeQuad(p, m, eye, reach2, q)) {
            continue;
        }
        float* pos = &g_flakePos[static_cast<size_t>(drawn) * 12];
        float* uv = &g_flakeUV[static_cast<size_t>(drawn) * 8];
        for (int c = 0; c < 4; ++c) {
            uv[c * 2] = q.u[c];
            uv[c * 2 + 1] = q.v[c];
            pos[c * 3] = q.x[c];
            pos[c * 3 + 1] = q.y[c];
            pos[c * 3 + 2] = q.z;
        }
        // GetLightColor's world point: (0, 0, 0) plus the position.
        const t_vector w = t_vector() + p.position;
        float* world = &g_flakeWorld[static_cast<size_t>(drawn) * 3];
        world[0] = w.x;
        world[1] = w.y;
        world[2] = w.z;
        for (int a = 0; a < 3; ++a) {
            lo[a] = drawn == 0 || world[a] < lo[a] ? world[a] : lo[a];
            hi[a] = drawn == 0 || world[a] > hi[a] ? world[a] : hi[a];
        }
        ++drawn;
    }
    lastDrawn = drawn;
    if (drawn == 0) {
        return;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, g_flakePos.data());
    glTexCoordPointer(2, GL_FLOAT, 0, g_flakeUV.data());
    if (lit) {
        const double t0 = frameClockUs();
        lightFlakes(g_flakeWorld.data(), drawn, lo, hi, base, g_flakeColour.data());
        frameSectionAdd(kSecLighting, t0);
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, 0, g_flakeColour.data());
    }
    glDrawArrays(GL_QUADS, 0, drawn * 4);
    g_frameStats.triangles += static_cast<uint32_t>(drawn) * 2;
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (lit) {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4fv(&g_flakeColour[static_cast<size_t>(drawn - 1) * 16 + 12]);
    }
    const float* lastUV = &g_flakeUV[static_cast<size_t>(drawn - 1) * 8 + 6];
    glTexCoord2fv(lastUV);
}

// --- The level's systems -----------------------------------------------------

void InitParticlesystems(Lev* lev)
{
    DestroyParticlesystems(lev);
    g_particleSystemMoved = systemMoved;
    if (lev == nullptr || lev->particleSystemCount == 0) {
        return;
    }
    const bool complete = lev->particleNames && lev->particleTextureFiles && lev->particleVelocityBase &&
                          lev->particleVelocityVariance && lev->particleSize && lev->particleRate &&
                          lev->particleScrollTexture && lev->particleTexOffsetU && lev->particleTexOffsetV &&
                          lev->particleTexScaleU && lev->particleTexScaleV && lev->particleMaxCount &&
                          lev->particleExtent && lev->particleOrigin;
    if (!complete) {
        std::printf("Partikelsysteme: dem Level fehlen Tabellen zu seinen %u Systemen, keines wird gebaut\n",
                    lev->particleSystemCount);
        return;
    }
    const uint32_t n = lev->particleSystemCount;
    g_snowstorm = new CSnowstorm[n];
    g_snowstormCount = n;
    for (uint32_t i = 0; i < n; ++i) {
        CSnowstorm& s = g_snowstorm[i];
        const float(&extent)[3] = lev->particleExtent[i];
        char* file = fieldCopy(lev->particleTextureFiles[i]);
        // Counts beyond int32 are no pool anyone can allocate.
        const uint32_t count = lev->particleMaxCount[i];
        s.Setvalues(count > 0x7fffffffu ? 0x7fffffff : static_cast<int>(count), vectorOf(lev->particleOrigin[i]),
                    extent[0], extent[1], extent[2], file);
        delete[] file;
        s.velocityBase = vectorOf(lev->particleVelocityBase[i]);
        s.velocityVariance = vectorOf(lev->particleVelocityVariance[i]);
        s.particleSize = lev->particleSize[i];
        s.rate = lev->particleRate[i];
        s.header.name = fieldCopy(lev->particleNames[i]);
        s.header.index = i;
        s.scrollTexture = lev->particleScrollTexture[i] != 0;
        s.texOffsetU = lev->particleTexOffsetU[i];
        s.texOffsetV = lev->particleTexOffsetV[i];
        s.texScaleU = lev->particleTexScaleU[i];
        s.texScaleV = lev->particleTexScaleV[i];
        s.calcTBBox();
        s.InitializeSystem();
    }
}

void DrawParticlesystems(float dt)
{
    const double t = frameClockUs();
    const double lightingBefore = g_frameStats.current[kSecLighting];
    for (uint32_t i = 0; i < g_snowstormCount; ++i) {
        g_snowstorm[i].Update(dt);
        g_snowstorm[i].Render();
    }
    // Lighting timed inside is its own section.
    if (g_frameStatsFinish != 0) {
        frameStatsFinish();
    }
    g_frameStats.current[kSecParticles] +=
        frameClockUs() - t - (g_frameStats.current[kSecLighting] - lightingBefore);
}

void DestroyParticlesystems(Lev*)
{
    for (uint32_t i = 0; i < g_snowstormCount; ++i) {
        g_snowstorm[i].KillSystem();
    }
    delete[] g_snowstorm;
    g_snowstorm = nullptr;
    g_snowstormCount = 0;
}

// --- Selection and editing ---------------------------------------------------

CSnowstorm* particleSystemAt(uint32_t index)
{
    return index < g_snowstormCount ? &g_snowstorm[index] : nullptr;
}

t_objheader* particleSystemHeader(uint32_t index)
{
    CSnowstorm* system = particleSystemAt(index);
    return system != nullptr ? &system->header : nullptr;
}

CSnowstorm* particleSystemOf(const t_objheader* object)
{
    if (object == nullptr || object->type != kObjParticleSystem) {
        return nullptr;
    }
    CSnowstorm* system = particleSystemAt(object->index);
    return system != nullptr && &system->header == object ? system : nullptr;
}

t_objheader* stepParticleSelection(int direction)
{
    const int32_t n = static_cast<int32_t>(g_snowstormCount);
    if (n == 0) {
        return nullptr;
    }
    const int32_t at = selectedParticlesys;
    const bool inside = at >= 0 && at < n;
    if (direction >= 0) {
        selectedParticlesys = inside && at < n - 1 ? at + 1 : 0;
    } else {
        selectedParticlesys = inside && at > 0 ? at - 1 : n - 1;
    }
    return &g_snowstorm[selectedParticlesys].header;
}

void scaleParticleSystem(CSnowstorm& system, float dHalfWidth, float dHeight, float dHalfDepth)
{
    system.halfWidth = std::fmax(0.0f, system.halfWidth + dHalfWidth);
    system.height = std::fmax(0.0f, system.height + dHeight);
    system.halfDepth = std::fmax(0.0f, system.halfDepth + dHalfDepth);
    system.calcTBBox();
}

void particleSystemOutline(const CSnowstorm& system, t_vector* lowCorner, t_vector* size)
{
    const t_vector& o = system.origin;
    *lowCorner = t_vector(o.x - system.halfWidth, o.y - system.height, o.z - system.halfDepth);
    *size = t_vector(2.0f * system.halfWidth, system.height, 2.0f * system.halfDepth);
}

void writeBackParticleSystems(Lev* lev)
{
    if (lev == nullptr || lev->particleExtent == nullptr || lev->particleOrigin == nullptr) {
        return;
    }
    const uint32_t n = g_snowstormCount < lev->particleSystemCount ? g_snowstormCount : lev->particleSystemCount;
    for (uint32_t i = 0; i < n; ++i) {
        const CSnowstorm& s = g_snowstorm[i];
        const t_vector at = s.GetOrigin();
        lev->particleExtent[i][0] = s.halfWidth;
        lev->particleExtent[i][1] = s.height;
        lev->particleExtent[i][2] = s.halfDepth;
        lev->particleOrigin[i][0] = at.x;
        lev->particleOrigin[i][1] = at.y;
        lev->particleOrigin[i][2] = at.z;
    }
}
