// light.cpp — the level's point lights and the colour function.
#include "scene/light.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "core/common.h"
#include "scene/draw.h"
#include "scene/objects.h"

c_light* Light = nullptr;
uint32_t lightCountBuilt = 0;

c_light::~c_light()
{
    std::free(attachTo);
}

void DestroyLights()
{
    delete[] Light;
    Light = nullptr;
    lightCountBuilt = 0;
}

void initLight()
{
    DestroyLights();
    if (Level == nullptr || Level->lightTable == nullptr || Level->lightCount == 0) {
        return;
    }
    const uint32_t count = Level->lightCount;
    Light = new c_light[count];
    lightCountBuilt = count;
    for (uint32_t k = 0; k < count; ++k) {
        const LevLight& rec = Level->lightTable[k];
        c_light& light = Light[k];
        const char* name = rec.attachTo != nullptr ? rec.attachTo : "None";
        light.attachTo = strdup(strcasecmp(name, "None") == 0 ? "None" : name);
        light.position = t_vector(rec.position[0], rec.position[1], rec.position[2]);
        light.positionRef = &light.position;
        light.colour = t_rgba{rec.colour[0], rec.colour[1], rec.colour[2], rec.colour[3]};
        light.mask = rec.mask;
        light.radius = rec.radius;
    }
    const uint32_t trees = baum != nullptr ? Level->treeCount : 0;
    const uint32_t persons = player != nullptr ? Level->personCount : 0;
    for (uint32_t k = 0; k < count; ++k) {
        c_light& light = Light[k];
        const char* name = light.attachTo != nullptr ? light.attachTo : "None";
        if (strcasecmp(name, "None") == 0) {
            light.attachIndex = -1;
            continue;
        }
        if (strcasecmp(name, "Cam") == 0) {
            light.attachIndex = -2;
            if (g_viewerPosition != nullptr) {
                light.positionRef = g_viewerPosition;
            }
            continue;
        }
        bool found = false;
        for (uint32_t t = 0; t < trees; ++t) {
            if (strncasecmp(Level->treeTable[t].name, name, sizeof Level->treeTable[t].name) == 0) {
                light.positionRef = baum[t].header.positionRef;
                light.attachIndex = static_cast<int32_t>(t);
                found = true;
            }
        }
        for (uint32_t p = 0; p < persons; ++p) {
            if (strncasecmp(Level->personTable[p].name, name, sizeof Level->personTable[p].name) == 0) {
                light.positionRef = player[p].header.positionRef;
                light.attachIndex = -3 - static_cast<int32_t>(p);
                found = true;
            }
        }
        if (!found) {
            std::printf("lightmodul meldet: Uuaaa wer hat da geschlampt das Objekt %s gibt es garnicht\n", name);
            Level->lightCount = 0;
            Level->dynamicLighting = 0;
            return;
        }
    }
}

t_rgba* GetLightColor(const t_vector* point, const t_vector* objectPosition, const t_rgba* base, unsigned char mask,
                      const float* matrix)
{
    static t_rgba result;
    result = *base;
    t_vector w;
    if (matrix != nullptr) {
        w = t_vector(matrix[0] * point->x + matrix[4] * point->y + matrix[8] * point->z + matrix[12],
                     matrix[1] * point->x + matrix[5] * point->y + matrix[9] * point->z + matrix[13],
                     matrix[2] * point->x + matrix[6] * point->y + matrix[10] * point->z + matrix[14]);
    } else {
        w = *point;
        if (objectPosition != nullptr) {
            w = w + *objectPosition;
        }
    }
    uint32_t used = Level != nullptr ? Level->lightCount : 0;
    if (used > lightCountBuilt) {
        used = lightCountBuilt;
    }
    for (uint32_t k = 0; k < used; ++k) {
        const c_light& light = Light[k];
        if ((light.mask & mask) == 0 || light.positionRef == nullptr) {
            continue;
        }
        const t_vector& l = *light.positionRef;
        const double dx = static_cast<double>(l.x) - w.x;
        const double dy = static_cast<double>(l.y) - w.y;
        const double dz = static_cast<double>(l.z) - w.z;
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz) / static_cast<double>(light.radius);
        float* channel[3] = {&result.r, &result.g, &result.b};
        const float source[3] = {light.colour.r, light.colour.g, light.colour.b};
        for (int c = 0; c < 3; ++c) {
            double add = source[c] / 255.0 - d;
            // Negative (and NaN, from a zero radius at distance 0) adds nothing.
            if (!(add > 0.0)) {
                add = 0.0;
            }
            float v = *channel[c] + static_cast<float>(add);
            v = v > 1.0f ? 1.0f : v;
            v = v < 0.0f ? 0.0f : v;
            *channel[c] = v;
        }
    }
    return &result;
}
