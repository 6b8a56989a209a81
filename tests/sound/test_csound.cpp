// The engine's sound controller over a module table that logs its calls:
// what loadSounds asks for, music, footsteps on objects, positional loops.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "core/engine.h"
#include "sound/csound.h"

namespace {

std::vector<std::string> g_calls;
int g_nextSlot = 0;

std::string Str(const char* format, double a, double b = 0, double c = 0)
{
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
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
            std::strcpy(t.parentName, "NULL");
        }
        std::strcpy(trees[1].parentName, "Steg");
        Cam = new t_cam();
        Cam->movespeed = 1.0f;
        sound.g_loadSound = [](char* f) { return g_calls.push_back(std::string("load ") + f), g_nextSlot++; };
        sound.g_playMusic = [](uint8_t n) { return g_calls.push_back(Str("music %.0f", n)), 1; };
        sound.g_playSound = [](uint8_t n) { return g_calls.push_back(Str("play %.0f", n)), 1; };
        sound.g_stopSound = [](uint8_t n) { g_calls.push_back(Str("stop %.0f", n)); };
        sound.g_setPitch = [](unsigned f, uint8_t n) { g_calls.push_back(Str("pitch %.0f %.0f", f, n)); };
        sound.g_setVol = [](unsigned p, uint8_t n, float v) { g_calls.push_back(Str("vol %.0f %.0f %.2f", p, n, v)); };
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
        std::strcpy(s.name, name);
        std::strcpy(s.path, path);
        s.type = type;
        s.bindToObject = bind;
        s.objectIndex = -1;
        s.frequency = 8000;
        s.volumePercent = 80;
        s.innerRadius = 10.0f;
        s.outerRadius = 50.0f;
        s.falloff = 40.0f;
    }
    // Frames until the next footstep and the call it made.
    std::pair<int, std::string> nextStep()
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

TEST_F(CSoundTest, LoadSoundsSetsPansBindsPairsAndPassesSlotsAsBytes)
{
    add("musik", "m.aiff", 0);
    add("steg", "steps/holz", 1, 1);
    add("feuer", "f.wav", 3);
    g_nextSlot = 254;   // the right foot lands on slot 256, byte 0
    sound.loadSounds();
    EXPECT_EQ(g_calls, (std::vector<std::string>{
                           "load m.aiff", "vol 32000 254 0.80", "pitch 8000 254",
                           "load steps/holz/links.8svx", "vol 29000 255 0.80", "pitch 8000 255",
                           "load steps/holz/rechts.8svx", "vol 35000 0 0.80", "pitch 8000 0",
                           "load f.wav", "vol 0 1 0.80", "pitch 8000 1"}));
    EXPECT_EQ(sounds[1].objectIndex, 1);
    EXPECT_EQ(trees[1].soundIndex, 1);
    EXPECT_EQ(trees[0].soundIndex, -1);
    EXPECT_EQ(sounds[1].slot, 255u);
}

// Music starts once; a pair bound to tree 1 steps only there, the unbound
// pair on trees without their own; every seventh frame at movespeed 1,
// left and right in turn.
TEST_F(CSoundTest, MusicOnceAndFootstepsAlternateOnTheirObjects)
{
    add("musik", "m.aiff", 0);
    add("steg", "steps/holz", 1, 1);
    add("boden", "steps/gras", 1);
    sound.loadSounds();   // slots: music 0, bound pair 1 and 2, unbound pair 3 and 4
    g_calls.clear();
    sound.update();
    sound.update();
    EXPECT_EQ(g_calls, std::vector<std::string>{"music 0"});

    g_playermove = 1;
    objcoll[2] = 1;
    const std::string first = nextStep().second;
    const std::string second = first == "play 1" ? "play 2" : "play 1";
    EXPECT_EQ(nextStep(), std::make_pair(7, second));
    EXPECT_EQ(nextStep(), std::make_pair(7, first));
    objcoll[2] = 2;
    const std::pair<int, std::string> other = nextStep();
    EXPECT_TRUE(other.second == "play 3" || other.second == "play 4") << other.second;
    g_playermove = 0;
    EXPECT_EQ(nextStep().first, 0);
    g_playermove = 1;
    objcoll[2] = 3;   // past the tree table
    EXPECT_EQ(nextStep().first, 0);
}

TEST_F(CSoundTest, PositionalLoopFadesWithDistanceAndStopsBeyondTheOuterRadius)
{
    add("feuer", "f.wav", 3);
    const struct {
        float d;
        float v;
    } examples[] = {{5, 0.8f}, {30, 0.4f}, {50, 0.0f}, {60, 0.0f}};
    for (const auto& e : examples) {
        EXPECT_FLOAT_EQ(positionalVolume(sounds[0], e.d), e.v) << e.d;
    }
    sounds[0].falloff = 0.0f;
    EXPECT_FLOAT_EQ(positionalVolume(sounds[0], 30.0f), 0.8f);
    sounds[0].falloff = 40.0f;

    sound.loadSounds();
    sounds[0].position[2] = 30.0f;   // the camera stays at the origin
    g_calls.clear();
    sound.update();
    sound.update();
    sounds[0].position[2] = 60.0f;
    sound.update();
    sound.update();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"music 0", "vol 32768 0 0.40", "vol 32768 0 0.40", "stop 0"}));
}

}  // namespace
