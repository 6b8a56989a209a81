// light.h — the engine's own per-vertex lighting: point lights from the level
// record, fixed, riding on the camera or on a tree or person, and the one
// colour function that sums their linear fall-off at a point.
//
// initLight rebuilds the list from Level at the end of every object build
// (scene/objects.h) and at level start; the lights' positionRefs point into
// the object lists and the camera, so they are valid until the next rebuild.
// DestroyLights frees them at level end.  The tree and person drawing
// (scene/draw.h) and the particles call GetLightColor; with the level's
// dynamic lighting switch off nobody does.  Single-threaded; the result is
// one static colour overwritten by every call.
#pragma once

#include <cstdint>

#include "core/mathlib.h"

// Light mask bits (LevLight::mask, and the caller's mask).
enum : uint8_t {
    kLightAllVertices = 4, // every lit vertex and model
    kLightFirstVertex = 8, // only the first vertex of each tree face
};

struct c_light {
    t_rgba colour{1.0f, 1.0f, 1.0f, 1.0f}; // R, G, B, A on 0..255 (A unused)
    float radius = 1.0f;                   // units; the distance divisor of the fall-off
    uint8_t mask = 0;                      // kLight* bits the light affects
    char* attachTo = nullptr;              // owned: "None", "Cam" or an object name
    int32_t attachIndex = 0;               // -1 fixed, -2 camera, >= 0 tree, -3 - p person p
    t_vector* positionRef = nullptr;       // where it shines from (own position, camera, object)
    t_vector position;                     // own position of a fixed light

    c_light() = default;
    ~c_light();
    c_light(const c_light&) = delete;
    c_light& operator=(const c_light&) = delete;
};

// The lights of the level; lightCountBuilt entries (Level->lightCount lights
// are used, which a missing object drops to 0).
extern c_light* Light;
extern uint32_t lightCountBuilt;

// Rebuilds Light from Level.  A light riding on an object that does not exist
// is reported and switches lighting off for the level (lightCount 0, dynamic
// lighting 0).
void initLight();
void DestroyLights();

// The colour at `point`: base plus, for every used light sharing a bit with
// mask, max(0, channel/255 - distance/radius) per channel, clamped to 0..1
// after each light.  The point is in object coordinates: with matrix (16
// floats, column-major) it is transformed by it; without (null) it is offset
// by *objectPosition (null: no offset).  Alpha stays base alpha.  Returns the
// shared static result.
t_rgba* GetLightColor(const t_vector* point, const t_vector* objectPosition, const t_rgba* base, unsigned char mask,
                      const float* matrix);
