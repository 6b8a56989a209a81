// treebatch.h — the drawing state one tree's stream carries from texture
// marker to texture marker, shared by the immediate path (scene/draw.cpp)
// and the array path (scene/meshdraw.cpp) so that both take textures alike.
#pragma once

#include <cstdint>

#include "core/mathlib.h"
#include "image/texlist.h"
#include "scene/meshpool.h"

// Reset for every tree.
struct TreeBatch {
    float alpha = 100.0f; // percent
    t_rgb emissive{0.0f, 0.0f, 0.0f};
    bool quads = false;
    bool nozbuf = false;
    bool envmode = false;
    float marker = 0.0f;
};

// The state after `marker` without touching GL; returns the texture index
// to select, or -1 when the list holds no such texture (state back to the
// defaults, nothing selected).
inline int32_t settleTreeBatch(TreeBatch& batch, float marker)
{
    batch.marker = marker;
    const int32_t t = meshMarkerTexture(marker);
    if (t < 0 || t > TexList.lastIndex) {
        batch = TreeBatch{};
        batch.marker = marker;
        return -1;
    }
    batch.alpha = static_cast<float>(TexList.blend[t]);
    batch.nozbuf = TexList.nozbuf[t];
    batch.quads = TexList.quads[t];
    batch.emissive = TexList.emissive[t];
    batch.envmode = TexList.envmode[t];
    return t;
}

// Takes the texture a marker names: selects it with its sphere-map and
// blend settings and counts the switch (texswperframe).
void takeTreeTexture(TreeBatch& batch, float marker);
