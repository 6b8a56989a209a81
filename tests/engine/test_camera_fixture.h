// test_camera_fixture.h — shared set-up of the camera tests: a zeroed level
// record as `Level`, no scene lists, collision on, no GUI, no input object;
// every global the camera reads or writes is restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include "camera/camera.h"
#include "commands/cmdglobals.h"
#include "core/engine.h"
#include "input/input.h"
#include "scene/objects.h"

// A tree whose six face boxes lie far out of reach; tests move the boxes
// they need into place.
inline Tree farTree()
{
    Tree tree;
    tree.collidable = 1;
    for (int j = 0; j < 6; ++j) {
        tree.faceMin[j] = t_vector(9000.0f, 9000.0f, 9000.0f);
        tree.faceMax[j] = t_vector(9001.0f, 9001.0f, 9001.0f);
    }
    return tree;
}

class CameraTest : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = Saved{Level, baum, player, collon, GuiOn, objRot, rotlock, g_frametime, KeyInput,
                       Cam, g_particleHeader, Cambufx, Cambufy, Cambufz};
        level_ = Lev{};
        Level = &level_;
        baum = nullptr;
        player = nullptr;
        collon = 1;
        GuiOn = 0;
        objRot = 0;
        rotlock = 1;
        KeyInput = nullptr;
        Cam = nullptr;
        g_particleHeader = nullptr;
    }

    void TearDown() override
    {
        Level = saved_.level;
        baum = saved_.baum;
        player = saved_.player;
        collon = saved_.collon;
        GuiOn = saved_.guiOn;
        objRot = saved_.objRot;
        rotlock = saved_.rotlock;
        g_frametime = saved_.frametime;
        KeyInput = saved_.keyInput;
        Cam = saved_.cam;
        g_particleHeader = saved_.particleHeader;
        Cambufx = saved_.bufx;
        Cambufy = saved_.bufy;
        Cambufz = saved_.bufz;
    }

    Lev level_{};

private:
    struct Saved {
        Lev* level;
        Tree* baum;
        Person* player;
        uint8_t collon;
        uint8_t guiOn;
        uint8_t objRot;
        uint8_t rotlock;
        float frametime;
        CInput* keyInput;
        t_cam* cam;
        ParticleHeaderFn particleHeader;
        float bufx, bufy, bufz;
    };
    Saved saved_{};
};
