// test_camera_fixture.h — shared set-up of the camera and input tests: a
// zeroed level record as `Level`, no scene lists, collision on, no GUI, no
// camera or input object; every global set through set() is restored.
#pragma once

#include <gtest/gtest.h>

#include "camera/camera.h"
#include "commands/cmdglobals.h"
#include "core/engine.h"
#include "core/modport.h"
#include "input/input.h"
#include "scene/objects.h"
#include "support/guards.h"

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
        set(Level, &level_);
        set(baum, nullptr);
        set(player, nullptr);
        set(collon, 1);
        set(GuiOn, 0);
        set(Gui, nullptr);
        set(objRot, 0);
        set(rotlock, 1);
        set(KeyInput, nullptr);
        set(Cam, nullptr);
        set(g_particleHeader, nullptr);
        globals_.save(g_frametime, g_fruntimer, Cambufx, Cambufy, Cambufz);
    }
    template <class T, class V>
    void set(T& global, V value)
    {
        globals_.set(global, value);
    }

    GlobalsGuard globals_;
    Lev level_{};
};
