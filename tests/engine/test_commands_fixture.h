// test_commands_fixture.h — a level record, the key table, the camera and
// the headless GL context for the command tests, with the globals the
// commands write saved and restored around each test.
//
// The commands keep their once-per-press guards in function-local statics
// that outlive a test; every test therefore starts at a frame counter far
// from the previous test's, which any guard sees as a fresh press.
#pragma once

#include <gtest/gtest.h>

#include <tuple>

#include "camera/camera.h"
#include "commands/cmdglobals.h"
#include "commands/commands.h"
#include "commands/functions.h"
#include "core/engine.h"
#include "core/sys.h"
#include "support/gl_frame.h"
#include "input/input.h"
#include "support/guards.h"
#include "render/display.h"
#include "render/draw2d.h"

class CommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        static uint32_t base = 1000;
        base += 1000;
        framecounter = base;   // not restored: later tests rely on fresh frames
        lev_.viewDistance = 50.0f;
        lev_.fogOn = 1;
        for (int c = 0; c < 4; ++c) {
            lev_.fogColor[c] = c < 3 ? 0.5f : 1.0f;
        }
        lev_.fogStart = 10.0f;
        lev_.fogEnd = 45.0f;
        lev_.fogDensity = 0.03f;
        Level = &lev_;
        Engine = &engine_;
        KeyInput = new CInput();
        Cam = new t_cam();
        std::tie(leveled, collon, GuiOn, g_showfps, g_bquit, g_playermove) = std::make_tuple(0, 1, 0, 0, 0, 0);
        g_fogtype = 2;
        g_foghint = 1;
        txtcon[0] = '\0';
    }

    void TearDown() override
    {
        delete Cam;
        Cam = nullptr;
        delete KeyInput;
        KeyInput = nullptr;
        glDisable(GL_FOG);
        glHint(GL_FOG_HINT, GL_FASTEST);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    }

    // Calls `h` as the dispatch of a held key does in the next frame.
    void nextFrame(t_handler h, const cvar& v = cvar{})
    {
        ++framecounter;
        h(v);
    }
    // Calls `h` as a fresh press: well past any earlier call.
    void press(t_handler h, const cvar& v = cvar{})
    {
        framecounter += 10;
        h(v);
    }

    t_keyslot* slot(const char* name)
    {
        t_keyslot* s = KeyInput->getskeyaddr(name);
        EXPECT_NE(s, nullptr) << name;
        return s;
    }

    Lev lev_{};
    CEngine engine_{};   // zero: no fog mode name, so draw_resetFog picks EXP2

private:
    // The globals the commands write.
    GlobalsGuard saved_{Level, Engine, leveled, collon, GuiOn, g_bquit, g_playermove, rotlock, Fogon,
                        g_showfps, g_fogtype, g_foghint, g_frametime, g_fruntimer, objmovespeed, fstart, fend, fdens};
};
