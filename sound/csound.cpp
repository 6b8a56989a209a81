// csound.cpp — the level's sound list turned into sound module calls.
#include "sound/csound.h"

#include <cmath>
#include <cstdio>
#include <strings.h>

#include "camera/camera.h"
#include "core/common.h"

namespace {

// Pans of the original, 16.16: 32000 is just left of centre.
constexpr unsigned kPanMusic = 32000;
constexpr unsigned kPanLeftStep = 29000;
constexpr unsigned kPanRightStep = 35000;
constexpr unsigned kPanCentre = 0x8000;

// Footstep clock shared by every footstep pair; one step each time it
// reaches 1.  Kept across frames and levels.
float movetime = 0.0f;

uint8_t slotByte(uint32_t slot)
{
    return static_cast<uint8_t>(slot & 255);
}

} // namespace

float positionalVolume(const LevSound& s, float d)
{
    const float base = s.volumePercent / 100.0f;
    if (d < s.innerRadius) {
        return base;
    }
    if (d > s.outerRadius) {
        return 0.0f;
    }
    if (s.falloff == 0.0f) {
        return base;
    }
    return (s.outerRadius - d) / s.falloff * base;
}

void CSound::loadSounds()
{
    if (Level == nullptr || Level->soundTable == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < Level->soundCount; i++) {
        LevSound& s = Level->soundTable[i];
        const float volume = s.volumePercent / 100.0f;
        if (s.type != 1) {
            s.slot = static_cast<uint32_t>(g_loadSound(s.path));
            g_setVol(s.type == 3 || s.type == 4 ? 0 : kPanMusic, slotByte(s.slot), volume);
            g_setPitch(s.frequency, slotByte(s.slot));
            continue;
        }
        char file[300];
        std::snprintf(file, sizeof file, "%s/links.8svx", s.path);
        if (s.bindToObject) {
            for (uint32_t k = 0; Level->treeTable != nullptr && k < Level->treeCount; k++) {
                if (strcasecmp(Level->treeTable[k].parentName, s.name) == 0) {
                    s.objectIndex = static_cast<int32_t>(k);
                    Level->treeTable[k].soundIndex = static_cast<int32_t>(i);
                }
            }
        }
        s.slot = static_cast<uint32_t>(g_loadSound(file));
        g_setVol(kPanLeftStep, slotByte(s.slot), volume);
        g_setPitch(s.frequency, slotByte(s.slot));
        // The right foot is taken to land in the next slot.
        std::snprintf(file, sizeof file, "%s/rechts.8svx", s.path);
        g_loadSound(file);
        g_setVol(kPanRightStep, slotByte(s.slot + 1), volume);
        g_setPitch(s.frequency, slotByte(s.slot + 1));
    }
}

void CSound::update()
{
    if (Level == nullptr || Level->soundTable == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < Level->soundCount; i++) {
        LevSound& s = Level->soundTable[i];
        if (s.type == 0) {
            if (!s.playing) {
                g_playMusic(slotByte(s.slot));
                s.playing = 1;
            }
        } else if (s.type == 1) {
            // The tree the camera stands on, and whether this pair is its own
            // or the unbound pair of trees without one.
            const int32_t k = objcoll[2];
            if (k < 0 || Level->treeTable == nullptr || static_cast<uint32_t>(k) >= Level->treeCount ||
                Cam == nullptr || !g_playermove) {
                continue;
            }
            const int32_t own = Level->treeTable[k].soundIndex;
            if (!((own == -1 && s.objectIndex == -1) || own == static_cast<int32_t>(i))) {
                continue;
            }
            movetime += Cam->movespeed * 0.04f * 4.0f;
            if (movetime >= 1.0f) {
                if (!s.playing) {
                    g_playSound(slotByte(s.slot));
                    s.playing = 1;
                } else {
                    g_playSound(slotByte(s.slot + 1));
                    s.playing = 0;
                }
                movetime = 0.0f;
            }
        } else if (s.type == 3 && Cam != nullptr) {
            const t_vector& c = Cam->position;
            const float dx = s.position[0] - c.x;
            const float dy = s.position[1] - c.y;
            const float dz = s.position[2] - c.z;
            const float v = positionalVolume(s, std::sqrt(dx * dx + dy * dy + dz * dz));
            if (v <= 0.0f) {
                if (s.playing) {
                    g_stopSound(slotByte(s.slot));
                    s.playing = 0;
                }
            } else {
                if (!s.playing) {
                    g_playMusic(slotByte(s.slot));
                    s.playing = 1;
                }
                g_setVol(kPanCentre, slotByte(s.slot), v);
            }
        }
    }
}
