// The engine's sound controller over a module table that logs its calls.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "core/engine.h"
#include "sound/csound.h"

namespace {

using Calls = std::vector<std::string>;
Calls g_calls;
int g_nextSlot = 0;

int Log(const char* format, double a, double b = 0, double c = 0)
{
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    g_calls.push_back(text);
    return 1;
}

class CSoundTest : public testing::Test {
protected:
    void SetUp() override
    {
        Level = &lev;
        lev.soundTable = sounds;
        lev.treeTable = trees;
        lev.treeCount = 3;
        for (t_tree& t : trees) {
            t.soundIndex = -1;
        }
        std::strcpy(trees[1].parentName, "Steg");
        Cam = new t_cam();   // at the origin
        Cam->movespeed = 1.0f;
        sound.g_loadSound = [](char* f) { return g_calls.push_back(std::string("load ") + f), g_nextSlot++; };
        sound.g_playMusic = [](uint8_t n) { return Log("music %.0f", n); };
        sound.g_playSound = [](uint8_t n) { return Log("play %.0f", n); };
        sound.g_stopSound = [](uint8_t n) { Log("stop %.0f", n); };
        sound.g_setPitch = [](unsigned f, uint8_t n) { Log("pitch %.0f %.0f", f, n); };
        sound.g_setVol = [](unsigned p, uint8_t n, float v) { Log("vol %.0f %.0f %.2f", p, n, v); };
        g_calls.clear();
        g_nextSlot = 0;
    }
    void TearDown() override
    {
        delete Cam;
        Cam = nullptr;
        Level = nullptr;
        objcoll[2] = -1;
        g_playermove = 0;
    }
    void add(const char* name, const char* path, uint8_t type, uint8_t bind = 0)
    {
        LevSound& s = sounds[lev.soundCount++];
        s.bindToObject = bind;
        s.objectIndex = -1;
        s.type = type;
        s.frequency = 8000;
        s.volumePercent = 80;
        s.innerRadius = 10;
        s.outerRadius = 50;
        s.falloff = 40;
        std::strcpy(s.name, name);
        std::strcpy(s.path, path);
    }
    // Frames until the next call, and that call.
    std::pair<int, std::string> nextCall()
    {
        for (int frame = 1; frame < 100; frame++) {
            g_calls.clear();
            sound.update();
            if (!g_calls.empty()) {
                return {frame, g_calls.back()};
            }
        }
        return {0, ""};
    }

    Lev lev{};
    LevSound sounds[8]{};
    t_tree trees[3]{};
    CSound sound;
};

// Pans and slots (as bytes) at load; music starts once; a pair bound to
// tree 1 steps only there, the unbound pair on trees without their own;
// every seventh frame at movespeed 1, left and right in turn; nothing while
// standing still.
TEST_F(CSoundTest, MusicOnceAndFootstepsAlternateOnTheirObjects)
{
    add("musik", "m.aiff", 0);
    add("steg", "steps/holz", 1, 1);
    add("boden", "steps/gras", 1);
    g_nextSlot = 254;   // music 254, bound pair 255 and 256 (byte 0), unbound pair 1 and 2
    sound.loadSounds();
    EXPECT_EQ(g_calls, (Calls{"load m.aiff", "vol 32000 254 0.80", "pitch 8000 254", "load steps/holz/links.8svx",
                              "vol 29000 255 0.80", "pitch 8000 255", "load steps/holz/rechts.8svx",
                              "vol 35000 0 0.80", "pitch 8000 0", "load steps/gras/links.8svx", "vol 29000 1 0.80",
                              "pitch 8000 1", "load steps/gras/rechts.8svx", "vol 35000 2 0.80", "pitch 8000 2"}));
    EXPECT_EQ(sounds[1].objectIndex, 1);
    EXPECT_EQ(trees[1].soundIndex, 1);
    EXPECT_EQ(nextCall(), std::make_pair(1, std::string("music 254")));
    EXPECT_EQ(nextCall().first, 0);

    g_playermove = 1;
    objcoll[2] = 1;
    const std::string first = nextCall().second;
    EXPECT_EQ(nextCall(), std::make_pair(7, std::string(first == "play 255" ? "play 0" : "play 255")));
    EXPECT_EQ(nextCall(), std::make_pair(7, first));
    objcoll[2] = 2;
    EXPECT_EQ(nextCall().second, "play 1");
    EXPECT_EQ(nextCall().second, "play 2");
    g_playermove = 0;
    EXPECT_EQ(nextCall().first, 0);
    g_playermove = 1;
    objcoll[2] = 3;   // past the tree table
    EXPECT_EQ(nextCall().first, 0);
}

TEST_F(CSoundTest, PositionalLoopFadesWithDistanceAndStopsBeyondTheOuterRadius)
{
    add("feuer", "f.wav", 3);
    for (auto [d, v] : {std::pair{5.0f, 0.8f}, {30.0f, 0.4f}, {50.0f, 0.0f}, {60.0f, 0.0f}}) {
        EXPECT_FLOAT_EQ(positionalVolume(sounds[0], d), v) << d;
    }
    sound.loadSounds();
    sounds[0].position[2] = 30.0f;
    sound.update();
    sound.update();
    sounds[0].position[2] = 60.0f;
    sound.update();
    sound.update();
    EXPECT_EQ(g_calls, (Calls{"load f.wav", "vol 0 0 0.80", "pitch 8000 0", "music 0", "vol 32768 0 0.40",
                              "vol 32768 0 0.40", "stop 0"}));
}

}  // namespace
