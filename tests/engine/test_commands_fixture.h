// test_commands_fixture.h — a level record, the key table, the camera and
// the headless GL context for the command tests, with the globals the
// commands write saved and restored around each test.
//
// The commands keep their once-per-press guards in function-local statics
// that outlive a test; every test therefore starts at a frame counter far
// from the previous test's, which any guard sees as a fresh press.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "camera/camera.h"
#include "commands/cmdglobals.h"
#include "commands/commands.h"
#include "commands/functions.h"
#include "core/engine.h"
#include "core/sys.h"
#include "gl_fixture.h"
#include "input/input.h"
#include "render/display.h"
#include "render/draw2d.h"

class CommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        saved_ = Saved::take();
        static uint32_t base = 1000;
        base += 1000;
        framecounter = base;
        lev_ = Lev{};
        lev_.screenWidth = kTestGLWidth;
        lev_.screenHeight = kTestGLHeight;
        lev_.viewDistance = 50.0f;
        lev_.fogOn = 1;
        const float colour[4] = {0.5f, 0.5f, 0.5f, 1.0f};
        std::memcpy(lev_.fogColor, colour, sizeof colour);
        lev_.fogStart = 10.0f;
        lev_.fogEnd = 45.0f;
        lev_.fogDensity = 0.03f;
        lev_.camStartPos[0] = 1.0f;
        lev_.camStartPos[1] = 2.0f;
        lev_.camStartPos[2] = 3.0f;
        Level = &lev_;
        engine_ = CEngine{};
        Engine = &engine_;
        KeyInput = new CInput();
        Cam = new t_cam();
        leveled = 0;
        collon = 1;
        GuiOn = 0;
        g_showfps = 0;
        g_bquit = 0;
        g_playermove = 0;
        g_grabbing = 0;
        g_frametime = 0.04f;
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
        saved_.restore();
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

    static cvar textArg(const char* text)
    {
        cvar v{};
        std::strncpy(v.text, text, sizeof v.text - 1);
        return v;
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
    // The globals the commands write, as they were before the test.
    struct Saved {
        Lev* level;
        CEngine* engine;
        uint8_t editor, collision, gui, quit, playerMove, grabbing, rotLock, fogEnabled;
        int32_t showFps, fogType, fogHint;
        float frameTime, runTimer, objSpeed, startStep, endStep, densityStep;

        static Saved take()
        {
            return Saved{Level, Engine, leveled, collon, GuiOn, g_bquit, g_playermove, g_grabbing,
                         rotlock, Fogon, g_showfps, g_fogtype, g_foghint, g_frametime,
                         g_fruntimer, objmovespeed, fstart, fend, fdens};
        }
        // framecounter is not restored: later tests rely on fresh frames.
        void restore() const
        {
            Level = level;
            Engine = engine;
            leveled = editor;
            collon = collision;
            GuiOn = gui;
            g_bquit = quit;
            g_playermove = playerMove;
            g_grabbing = grabbing;
            rotlock = rotLock;
            Fogon = fogEnabled;
            g_showfps = showFps;
            g_fogtype = fogType;
            g_foghint = fogHint;
            g_frametime = frameTime;
            g_fruntimer = runTimer;
            objmovespeed = objSpeed;
            fstart = startStep;
            fend = endStep;
            fdens = densityStep;
        }
    };
    Saved saved_{};
};
