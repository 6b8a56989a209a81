// particles.h — falling-particle volumes (snow, rain, ash): one CSnowstorm
// per particle system of the level.
//
// Each system is an axis-aligned box; particles are born at random points of
// its top face, fall with a randomised velocity and die when they drop below
// its floor.  The engine builds all systems from the level record at level
// start (InitParticlesystems), updates and draws them once per frame in the
// 3D pass after the sky (DrawParticlesystems) and frees them at level end
// (DestroyParticlesystems).  The camera's closest-object search, the
// object movement, the editor and `saveinitfile` reach the systems through
// the selection functions at the end of this header.
//
// Particles live in one fixed pool per system: no allocation per frame, a
// dead particle is replaced by the last live one.  A system whose box lies
// outside the view frustum (render/frustum.h, rebuilt by the object pass of
// the same frame) makes no GL call at all; each particle beyond the level's
// view distance from the viewer is skipped.  Births use rand(), which the
// engine seeds once at start-up (a test seeds it to repeat a run).
// Needs the GL context for InitializeSystem, Render and the destruction of a
// system (its texture); single-threaded.
#pragma once

#include <cstdint>

#include "core/lev.h"
#include "core/mathlib.h"
#include "scene/objects.h"

struct particle_t {
    t_vector position; // world units
    t_vector velocity; // units per second
    float size;        // edge of the drawn quad, units
};

// A fixed-capacity pool with swap-remove death and an emission-rate
// accumulator; what a particle does is the subclass's.
class CParticleSystem {
public:
    t_objheader header;              // type kObjParticleSystem, name, index; positionRef = &origin
    int32_t liveCount = 0;           // particles alive, always particles[0 .. liveCount-1]
    float accumulator = 0.0f;        // seconds of emission not yet turned into particles
    particle_t* particles = nullptr; // maxCount entries (owned), null before InitializeSystem
    int32_t maxCount = 0;            // pool capacity
    t_vector origin;                 // world position of the centre of the box's top face

    CParticleSystem();
    virtual ~CParticleSystem();
    CParticleSystem(const CParticleSystem&) = delete;
    CParticleSystem& operator=(const CParticleSystem&) = delete;

    virtual void Update(float dt) = 0;
    virtual void Render() = 0;
    // Starts up to `count` particles in the free slots; returns how many did
    // not fit.
    virtual int Emit(int count);
    // Allocates the pool (the old one is freed): empty, accumulator 0.  A pool
    // that cannot be had leaves maxCount 0, with a message.
    virtual void InitializeSystem();
    // Frees the pool; liveCount 0.
    virtual void KillSystem();
    virtual void InitializeParticle(int index) = 0;

    // Capacity (negative counts as 0) and origin; the pool is freed, the next
    // InitializeSystem makes the new one.
    void Setvalues(int maxCount, t_vector origin);
    t_vector GetOrigin() const { return origin; }
};

class CSnowstorm : public CParticleSystem {
public:
    t_vector velocityBase;       // mean start velocity, units per second
    t_vector velocityVariance;   // per-axis spread: base +- variance
    float particleSize = 0.0f;   // units
    float rate = 0.0f;           // particles per second; <= 0 emits nothing
    bool scrollTexture = false;  // texture coordinates from world x, y
    float texOffsetU = 0.0f;     // added to world x (units) before scaling
    float texOffsetV = 0.0f;     // added to world y
    float texScaleU = 1.0f;      // texture repeats per unit along x
    float texScaleV = 1.0f;      // texture repeats per unit along y
    float height = 0.0f;         // fall height: particles die at origin.y - height
    float halfWidth = 0.0f;      // half extent in x, units
    float halfDepth = 0.0f;      // half extent in z, units
    char* textureFile = nullptr; // owned copy of the particle image's name
    t_vector box[8];             // world corners for culling (calcTBBox)
    uint32_t texture = 0;        // GL texture name, 0 before InitializeSystem
    uint32_t lastDrawn = 0;      // particles drawn by the last Render (a frame statistic)

    CSnowstorm() = default;
    ~CSnowstorm() override; // deletes the GL texture

    // Moves every live particle by its velocity, kills those at or below the
    // floor (the moved-in particle is updated in the same pass), then emits
    // trunc(rate * accumulated time) new ones.
    void Update(float dt) override;
    // Camera-facing quads with the system's texture, blended, no depth
    // writes.  With the level's dynamic lighting on, coloured by the lights
    // whose mask has bit value 2 (all four corners) or 16 (the first corner
    // only) over the level's lit base colour; the tree bits 4 and 8 do not
    // reach particles, so a level chooses which lights shine on its snow.
    void Render() override;
    // The two drawing paths of Render (g_immediateDraw): one GL call per
    // vertex, or the same quads from arrays; `m` is the model-view matrix.
    struct FlakeQuad {
        float x[4], y[4], z; // eye-space corners
        float u[4], v[4];    // texture coordinates per corner
    };
    bool flakeQuad(const particle_t& p, const float* m, const t_vector& eye, float reach2, FlakeQuad& q) const;
    void renderImmediate(const float* m, const t_vector& eye, float reach2, bool lit, const t_rgba& base);
    void renderArrays(const float* m, const t_vector& eye, float reach2, bool lit, const t_rgba& base);
    // Loads textureFile (TGA by its ending, PPM otherwise) at its own size
    // (a missing or broken image: the reader's placeholder and its message
    // naming the file), then the base InitializeSystem.
    void InitializeSystem() override;
    void KillSystem() override;
    // A particle on the top face at a random x, z, velocity base +- variance.
    void InitializeParticle(int index) override;

    // Extents (units) and a fresh copy of the image name, then the base Setvalues.
    void Setvalues(int maxCount, t_vector origin, float halfWidth, float height, float halfDepth,
                   const char* textureFile);
    // Recomputes `box` from origin and extents: the four bottom corners
    // (x0,z0), (x1,z0), (x1,z1), (x0,z1) at y = origin.y - height, then the
    // same four at origin.y (x0/z0 the low, x1/z1 the high bounds).  Call
    // after changing origin or extents.
    void calcTBBox();
};

// All systems of the level, g_snowstormCount entries; null when the level has none.
extern CSnowstorm* g_snowstorm;
extern uint32_t g_snowstormCount;

// Builds one system per particle system of `lev` (nothing for null or a
// count of 0; a record missing one of its particle tables builds none, with
// a message).  Frees the previous systems first.
void InitParticlesystems(Lev* lev);
// Update(dt), then Render(), for each system in level order.
void DrawParticlesystems(float dt);
// Kills and frees every system (textures included).  `lev` is not read.
void DestroyParticlesystems(Lev* lev);

// --- Selection and editing (camera, object movement, editor, commands) ---

// The editor's selected particle system (an index into g_snowstorm).  Kept
// across level changes; every user checks it against the count.
extern int32_t selectedParticlesys;

// System `index`, or null outside 0 .. g_snowstormCount - 1.
CSnowstorm* particleSystemAt(uint32_t index);
// Its object header (what selectedObj points at when a system is
// selected), or null.  The camera's getClosestObj scans these.
t_objheader* particleSystemHeader(uint32_t index);
// The system an object header belongs to, or null for any other object.
CSnowstorm* particleSystemOf(const t_objheader* object);

// The step of `+scrollparticles` (direction > 0) and `-scrollparticles`
// (direction < 0): selectedParticlesys moves to the next / previous system,
// wrapping at both ends (an index outside the list restarts at the first /
// last), and its header is returned for selectedObj.  Null without systems.
t_objheader* stepParticleSelection(int direction);

// The editor's scale edit: adds the deltas (units) to half width, fall
// height and half depth, none below 0 (a level file keeps no negative
// extent), and recomputes the box.
void scaleParticleSystem(CSnowstorm& system, float dHalfWidth, float dHeight, float dHalfDepth);

// The volume particles fall through, for the editor's outline: the low
// corner (origin.x - halfWidth, origin.y - height, origin.z - halfDepth) and
// the positive size (2 halfWidth, height, 2 halfDepth).  The top face is at
// origin.y; the box reaches down from it.
void particleSystemOutline(const CSnowstorm& system, t_vector* lowCorner, t_vector* size);

// `saveinitfile`'s part: every system's origin and extents (half width, fall
// height, half depth) into lev's particleOrigin and particleExtent tables.
// Systems beyond lev's count, or a record without those tables, are left out.
void writeBackParticleSystems(Lev* lev);
