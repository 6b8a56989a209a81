// The command set: the once-per-press guard and the scroll repeat timer,
// the fog commands against the GL state of the headless context, the mode
// switches, the camera requests and the level services the commands call.
#include <GL/gl.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "test_commands_fixture.h"

namespace fs = std::filesystem;

namespace {

float glFloat(GLenum pname)
{
    GLfloat v = -1.0f;
    glGetFloatv(pname, &v);
    return v;
}

GLint glInt(GLenum pname)
{
    GLint v = -1;
    glGetIntegerv(pname, &v);
    return v;
}

std::string fogLine(const char* hint, const char* type, float start, float end, float density)
{
    char buf[200];
    std::snprintf(buf, sizeof buf, "Fog: Hint= %s Type=%s  Start= %f End= %f Density= %f ", hint,
                  type, start, end, density);
    return buf;
}

// What the level's services saw.
int g_saveCalls = 0;
uint32_t g_saveArg = 99;
int g_dirCalls = 0;
std::string g_dirTitle;
void* g_dirWindow = nullptr;
char g_dirAnswer[] = "save";

int recordSave(uint32_t zero)
{
    ++g_saveCalls;
    g_saveArg = zero;
    return 1;
}

char* answerDir(const char* title, uint32_t, void* window)
{
    ++g_dirCalls;
    g_dirTitle = title;
    g_dirWindow = window;
    return g_dirAnswer;
}

std::vector<std::string> g_levelChanges;

void recordLevelChange(const char* name)
{
    g_levelChanges.emplace_back(name);
}

}  // namespace

// --- the once-per-press guard and the repeat timer --------------------------

TEST(PressGuard, FirstCallActsAndAHeldKeyActsOnce)
{
    t_pressguard g;
    framecounter = 500;
    EXPECT_TRUE(g.pressed());
    EXPECT_FLOAT_EQ(g.frame, 500.0f);
    for (int i = 0; i < 10; ++i) {
        ++framecounter;
        EXPECT_FALSE(g.pressed()) << "held, frame " << framecounter;
    }
    EXPECT_FLOAT_EQ(g.frame, 510.0f);
}

TEST(PressGuard, MoreThanTwoFramesAfterTheLastCallIsANewPress)
{
    t_pressguard g;
    framecounter = 700;
    EXPECT_TRUE(g.pressed());
    framecounter = 701;   // tapped again in the next frame
    EXPECT_FALSE(g.pressed());
    framecounter = 703;   // two frames after that call: still the same press
    EXPECT_FALSE(g.pressed());
    framecounter = 706;   // three frames after the last call
    EXPECT_TRUE(g.pressed());
    // The same call in the same frame (a key and a button) acts once.
    EXPECT_FALSE(g.pressed());
}

TEST(PressGuard, CountsAcrossTheFrameCounterWrap)
{
    t_pressguard g;
    framecounter = 999999;
    EXPECT_TRUE(g.pressed());
    framecounter = 0;   // 1000000 and then 0: two frames later
    EXPECT_FALSE(g.pressed());
    framecounter = 1000000;
    EXPECT_TRUE(g.pressed());
    framecounter = 2;   // three frames later, across the wrap
    EXPECT_TRUE(g.pressed());
}

TEST(RepeatTimer, FreshPressStepsAtOnceAndHeldStepsEveryHalfSecond)
{
    t_repeat r;
    std::vector<int> steps;
    // Frame 0 is a fresh press; frames of 0.2 s follow while held.
    for (int frame = 0; frame < 10; ++frame) {
        if (r.step(frame == 0, 0.2f)) {
            steps.push_back(frame);
        }
    }
    // Timer after a step: 0.2, 0.4, 0.6 (> 0.5 at the third frame after).
    EXPECT_EQ(steps, (std::vector<int>{0, 3, 6, 9}));
    // A new press steps at once even when the timer is low.
    r.timer = 0.1f;
    EXPECT_TRUE(r.step(true, 0.04f));
    EXPECT_FLOAT_EQ(r.timer, 0.04f);
}

// --- fog ---------------------------------------------------------------------

class FogCommands : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        leveled = 1;
        draw_resetFog(&lev_);
    }
};

TEST_F(FogCommands, StartStepsDownToZeroAndStaysThere)
{
    lev_.fogStart = 0.3f;
    press(cmd_minusFogStart);
    EXPECT_FLOAT_EQ(lev_.fogStart, 0.0f);
    EXPECT_FLOAT_EQ(glFloat(GL_FOG_START), 0.0f);
    for (int i = 0; i < 5; ++i) {
        press(cmd_minusFogStart);
    }
    EXPECT_FLOAT_EQ(lev_.fogStart, 0.0f);
    press(cmd_plusFogStart);
    EXPECT_FLOAT_EQ(lev_.fogStart, 0.5f);
    EXPECT_FLOAT_EQ(glFloat(GL_FOG_START), 0.5f);
    EXPECT_EQ(txtcon, fogLine("NICEST", "EXP2", 0.5f, 45.0f, 0.03f));
}

TEST_F(FogCommands, EndAndDensityStepByTheFrameSteps)
{
    press(cmd_plusFogEnd);
    EXPECT_FLOAT_EQ(lev_.fogEnd, 45.5f);
    EXPECT_FLOAT_EQ(glFloat(GL_FOG_END), 45.5f);
    fend = 5.0f;   // a held key's command may have changed the step this frame
    press(cmd_minusFogEnd);
    EXPECT_FLOAT_EQ(lev_.fogEnd, 40.5f);
    EXPECT_FLOAT_EQ(glFloat(GL_FOG_END), 40.5f);

    press(cmd_plusFogDensity);
    EXPECT_FLOAT_EQ(lev_.fogDensity, 0.04f);
    EXPECT_FLOAT_EQ(glFloat(GL_FOG_DENSITY), 0.04f);
    for (int i = 0; i < 6; ++i) {
        press(cmd_minusFogDensity);
    }
    EXPECT_FLOAT_EQ(lev_.fogDensity, 0.0f);
    EXPECT_EQ(txtcon, fogLine("NICEST", "EXP2", 10.0f, 40.5f, 0.0f));

    // No upper limit.
    lev_.fogEnd = 5000.0f;
    press(cmd_plusFogEnd);
    EXPECT_FLOAT_EQ(lev_.fogEnd, 5005.0f);
}

TEST_F(FogCommands, ColourStepsClampAndSetTheClearColour)
{
    lev_.fogColor[0] = 0.999f;
    lev_.fogColor[1] = 0.002f;
    nextFrame(cmd_plusFogColorR);
    EXPECT_FLOAT_EQ(lev_.fogColor[0], 1.0f);
    nextFrame(cmd_plusFogColorR);
    nextFrame(cmd_plusFogColorR);
    EXPECT_FLOAT_EQ(lev_.fogColor[0], 1.0f) << "held: stays at 1";
    nextFrame(cmd_minusFogColorG);
    EXPECT_FLOAT_EQ(lev_.fogColor[1], 0.0f);
    nextFrame(cmd_minusFogColorB);   // held: one step every frame
    nextFrame(cmd_minusFogColorB);
    EXPECT_NEAR(lev_.fogColor[2], 0.5f - 2 * 0.003922f, 1e-6f);
    nextFrame(cmd_plusFogColorG);
    EXPECT_NEAR(lev_.fogColor[1], 0.003922f, 1e-6f);

    GLfloat fog[4];
    glGetFloatv(GL_FOG_COLOR, fog);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(fog[c], lev_.fogColor[c], 1e-6f) << c;
        EXPECT_NEAR(clear[c], lev_.fogColor[c], 1e-6f) << c;
    }
    EXPECT_FLOAT_EQ(fog[3], 1.0f);
    EXPECT_FLOAT_EQ(clear[3], 1.0f);

    lev_.fogColor[0] = 0.0f;
    nextFrame(cmd_minusFogColorR);
    EXPECT_FLOAT_EQ(lev_.fogColor[0], 0.0f);
}

TEST_F(FogCommands, TypeCyclesFromTheInitialExp2ToLin)
{
    ASSERT_EQ(g_fogtype, 2);
    lev_.fogStart = 3.0f;
    press(cmd_fogType);
    EXPECT_EQ(g_fogtype, 0);
    EXPECT_EQ(glInt(GL_FOG_MODE), GL_LINEAR);
    EXPECT_FLOAT_EQ(glFloat(GL_FOG_START), 3.0f) << "the distances are passed again";
    EXPECT_EQ(txtcon, fogLine("NICEST", "LIN", 3.0f, 45.0f, 0.03f));
    press(cmd_fogType);
    EXPECT_EQ(glInt(GL_FOG_MODE), GL_EXP);
    EXPECT_EQ(txtcon, fogLine("NICEST", "EXP", 3.0f, 45.0f, 0.03f));
    press(cmd_fogType);
    EXPECT_EQ(glInt(GL_FOG_MODE), GL_EXP2);
    press(cmd_fogType);
    EXPECT_EQ(g_fogtype, 0);
    nextFrame(cmd_fogType);
    EXPECT_EQ(g_fogtype, 0) << "held: once per press";
}

TEST_F(FogCommands, HintCyclesFromNicest)
{
    press(cmd_fogHint);
    EXPECT_EQ(g_foghint, 2);
    EXPECT_EQ(glInt(GL_FOG_HINT), GL_DONT_CARE);
    EXPECT_EQ(txtcon, fogLine("DONTCARE", "EXP2", 10.0f, 45.0f, 0.03f));
    press(cmd_fogHint);
    EXPECT_EQ(glInt(GL_FOG_HINT), GL_FASTEST);
    EXPECT_EQ(txtcon, fogLine("FASTEST", "EXP2", 10.0f, 45.0f, 0.03f));
    press(cmd_fogHint);
    EXPECT_EQ(glInt(GL_FOG_HINT), GL_NICEST);
}

TEST_F(FogCommands, InfoPrintsAnEmptyTextThenTheLine)
{
    Con.printf("old text");
    press(cmd_fogInfo);
    EXPECT_STREQ(txtcon, "");
    nextFrame(cmd_fogInfo);   // held: no second print
    Con.printf("old text");
    nextFrame(cmd_fogInfo);
    EXPECT_STREQ(txtcon, "old text");
    press(cmd_fogInfo);
    EXPECT_EQ(txtcon, fogLine("NICEST", "EXP2", 10.0f, 45.0f, 0.03f));
    press(cmd_fogInfo);
    EXPECT_STREQ(txtcon, "");
}

TEST_F(FogCommands, SwitchTogglesGlFogAndTheLevelFlag)
{
    ASSERT_TRUE(glIsEnabled(GL_FOG));
    press(cmd_fogSwitch);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_EQ(lev_.fogOn, 0);
    EXPECT_EQ(Fogon, 0);
    nextFrame(cmd_fogSwitch);
    EXPECT_FALSE(glIsEnabled(GL_FOG)) << "held: once per press";
    press(cmd_fogSwitch);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(lev_.fogOn, 1);
    EXPECT_EQ(Fogon, 1);
}

TEST_F(FogCommands, EditorOnlyCommandsDoNothingInPlayModeAndKeepTheirGuard)
{
    press(cmd_fogSwitch);
    ASSERT_EQ(lev_.fogOn, 0);
    leveled = 0;
    framecounter += 3;
    cmd_fogSwitch(cvar{});
    cmd_plusFogStart(cvar{});
    cmd_plusFogColorR(cvar{});
    cmd_fogType(cvar{});
    EXPECT_EQ(lev_.fogOn, 0);
    EXPECT_FLOAT_EQ(lev_.fogStart, 10.0f);
    EXPECT_FLOAT_EQ(lev_.fogColor[0], 0.5f);
    EXPECT_EQ(g_fogtype, 2);
    // Had play mode refreshed the guard, this call one frame later would
    // be the same press.
    leveled = 1;
    ++framecounter;
    cmd_fogSwitch(cvar{});
    EXPECT_EQ(lev_.fogOn, 1);
}

// --- modes and switches ------------------------------------------------------

using ModeCommands = CommandsTest;

TEST_F(ModeCommands, SwleveledSwitchesGuiAndCollisionTogether)
{
    press(cmd_swleveled);
    EXPECT_EQ(leveled, 1);
    EXPECT_EQ(GuiOn, 1);
    EXPECT_EQ(collon, 0);
    nextFrame(cmd_swleveled);
    EXPECT_EQ(leveled, 1) << "held: once per press";
    press(cmd_swleveled);
    EXPECT_EQ(leveled, 0);
    EXPECT_EQ(GuiOn, 0);
    EXPECT_EQ(collon, 1);
    // Collision comes back on even when it was off before entering the editor.
    collon = 0;
    press(cmd_swleveled);
    press(cmd_swleveled);
    EXPECT_EQ(collon, 1);
}

TEST_F(ModeCommands, TogglesActOncePerPress)
{
    press(cmd_noclip);
    nextFrame(cmd_noclip);
    EXPECT_EQ(collon, 0);
    press(cmd_noclip);
    EXPECT_EQ(collon, 1);

    press(cmd_showfps);
    nextFrame(cmd_showfps);
    EXPECT_EQ(g_showfps, 1);
    press(cmd_showfps);
    EXPECT_EQ(g_showfps, 0);
}

TEST_F(ModeCommands, GuiToggleAndRotlockNeedTheEditor)
{
    press(cmd_swgui);
    cmd_swrotlock(cvar{});
    EXPECT_EQ(GuiOn, 0);
    EXPECT_EQ(rotlock, 1);
    leveled = 1;
    press(cmd_swgui);
    EXPECT_EQ(GuiOn, 1);
    nextFrame(cmd_swgui);
    EXPECT_EQ(GuiOn, 1);
    cmd_swrotlock(cvar{});
    EXPECT_EQ(rotlock, 0);
}

TEST_F(ModeCommands, DynamicLightsStayOffWithoutLights)
{
    leveled = 1;
    press(cmd_swdynlight);
    EXPECT_EQ(lev_.dynamicLighting, 0);
    lev_.lightCount = 2;
    press(cmd_swdynlight);
    EXPECT_EQ(lev_.dynamicLighting, 1);
    nextFrame(cmd_swdynlight);
    EXPECT_EQ(lev_.dynamicLighting, 1);
    press(cmd_swdynlight);
    EXPECT_EQ(lev_.dynamicLighting, 0);
    // A flag left on by a level without lights is switched off.
    lev_.lightCount = 0;
    lev_.dynamicLighting = 1;
    press(cmd_swdynlight);
    EXPECT_EQ(lev_.dynamicLighting, 0);
}

TEST_F(ModeCommands, ViewDistanceStepsAndStopsAtZero)
{
    leveled = 1;
    lev_.viewDistance = 0.5f;
    press(cmd_minusCamEnd);
    EXPECT_FLOAT_EQ(lev_.viewDistance, 0.0f);
    press(cmd_plusCamEnd);
    nextFrame(cmd_plusCamEnd);
    EXPECT_FLOAT_EQ(lev_.viewDistance, 1.0f);
    leveled = 0;
    press(cmd_plusCamEnd);
    EXPECT_FLOAT_EQ(lev_.viewDistance, 1.0f);
}

TEST_F(ModeCommands, QuitAndWindowModeActEveryFrame)
{
    cmd_quit(cvar{});
    EXPECT_EQ(g_bquit, 1);

    nextFrame(cmd_swwindowmode);
    EXPECT_EQ(engine_.windowed, 1);
    nextFrame(cmd_swwindowmode);
    EXPECT_EQ(engine_.windowed, 0);
    Engine = nullptr;
    cmd_swwindowmode(cvar{});
}

// --- camera requests ---------------------------------------------------------

using CameraCommands = CommandsTest;

TEST_F(CameraCommands, TurnAndMoveRequests)
{
    cmd_camYawright(cvar{});
    EXPECT_FLOAT_EQ(Cam->turn.x, 1.0f);
    cmd_camYawleft(cvar{});
    EXPECT_FLOAT_EQ(Cam->turn.x, -1.0f);
    cmd_camPitchdown(cvar{});
    EXPECT_FLOAT_EQ(Cam->turn.y, 1.0f);
    cmd_camPitchup(cvar{});
    EXPECT_FLOAT_EQ(Cam->turn.y, -1.0f);
    EXPECT_EQ(g_playermove, 0) << "turning is not moving";

    cmd_camForward(cvar{});
    EXPECT_FLOAT_EQ(Cam->move.z, 1.0f);
    EXPECT_EQ(g_playermove, 1);
    cmd_camBackward(cvar{});
    EXPECT_FLOAT_EQ(Cam->move.z, -1.0f);
    g_playermove = 0;
    cmd_camSlideleft(cvar{});
    EXPECT_FLOAT_EQ(Cam->move.x, 1.0f);
    EXPECT_EQ(g_playermove, 1);
    cmd_camSlideright(cvar{});
    EXPECT_FLOAT_EQ(Cam->move.x, -1.0f);

    cvar speed{};
    speed.fval = 12.5f;
    cmd_camSetspeed(speed);
    EXPECT_FLOAT_EQ(Cam->movespeed, 12.5f);
    speed.fval = 3.0f;
    cmd_objSetspeed(speed);
    EXPECT_FLOAT_EQ(objmovespeed, 3.0f);
}

TEST_F(CameraCommands, GrabRecordAndPlayToggleTheirFlags)
{
    press(cmd_camGrab);
    EXPECT_EQ(Cam->grab, 1);
    EXPECT_EQ(g_grabbing, 1) << "the frame clock runs at 0.04 s while grabbing";
    nextFrame(cmd_camGrab);
    EXPECT_EQ(Cam->grab, 1);
    press(matchCommand("cam_grabgz").handler);
    EXPECT_EQ(Cam->grab, 0);
    EXPECT_EQ(g_grabbing, 0);

    testing::internal::CaptureStdout();
    press(cmd_camRecord);
    nextFrame(cmd_camRecord);
    press(cmd_camRecord);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "record\nrecord\n");
    EXPECT_EQ(Cam->record, 0);

    press(cmd_camPlay);
    EXPECT_EQ(Cam->play, 1);
    EXPECT_EQ(collon, 0);
    press(cmd_camPlay);
    EXPECT_EQ(Cam->play, 0);
    EXPECT_EQ(collon, 0) << "collision stays off after playback";
}

TEST_F(CameraCommands, SetposStoresThePoseAsTheLevelStart)
{
    Cam->position = t_vector(4.0f, 5.0f, 6.0f);
    Cam->yaw = 90.0f;
    cmd_camSetpos(cvar{});
    EXPECT_FLOAT_EQ(lev_.camStartPos[0], 1.0f) << "play mode: nothing";
    leveled = 1;
    cmd_camSetpos(cvar{});
    EXPECT_FLOAT_EQ(lev_.camStartPos[0], 4.0f);
    EXPECT_FLOAT_EQ(lev_.camStartPos[1], 5.0f);
    EXPECT_FLOAT_EQ(lev_.camStartPos[2], 6.0f);
    EXPECT_FLOAT_EQ(lev_.camStartYaw, 90.0f);
}

// --- level services, screenshot, map -----------------------------------------

class ServiceCommands : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        g_saveCalls = 0;
        g_saveArg = 99;
        g_dirCalls = 0;
        g_dirTitle.clear();
        g_dirWindow = nullptr;
        g_levelChanges.clear();
        lev_.saveInitFn = recordSave;
        lev_.dirRequest = answerDir;
        savedChange_ = g_changeLevel;
        g_changeLevel = recordLevelChange;
    }
    void TearDown() override
    {
        g_changeLevel = savedChange_;
        CommandsTest::TearDown();
    }
    ChangeLevelFn savedChange_ = nullptr;
};

TEST_F(ServiceCommands, SaveinitfileCallsTheSaveFunctionEveryFrameInTheEditor)
{
    cmd_saveinitfile(cvar{});
    EXPECT_EQ(g_saveCalls, 0);
    leveled = 1;
    nextFrame(cmd_saveinitfile);
    nextFrame(cmd_saveinitfile);
    EXPECT_EQ(g_saveCalls, 2);
    EXPECT_EQ(g_saveArg, 0u);
    lev_.saveInitFn = nullptr;
    cmd_saveinitfile(cvar{});
    EXPECT_EQ(g_saveCalls, 2);
}

TEST_F(ServiceCommands, SaveGameFilesAsksForADirectoryOncePerPress)
{
    press(cmd_saveGameFiles);
    EXPECT_EQ(g_dirCalls, 0);
    leveled = 1;
    ++framecounter;   // play mode left the guard alone: this is a press
    cmd_saveGameFiles(cvar{});
    nextFrame(cmd_saveGameFiles);
    EXPECT_EQ(g_dirCalls, 1);
    EXPECT_EQ(g_dirTitle, "Wohin sollen die Daten gehen?");
    EXPECT_EQ(g_dirWindow, g_window);
    lev_.dirRequest = nullptr;
    press(cmd_saveGameFiles);
    EXPECT_EQ(g_dirCalls, 1);
}

TEST_F(ServiceCommands, MapReloadsEveryFrameWhileHeld)
{
    CFunctions f;
    f.setFunctions(cmd_map, "second", "K_M");
    *slot("K_M")->state = 1;
    for (int i = 0; i < 3; ++i) {
        ++framecounter;
        KeyInput->start();
    }
    EXPECT_EQ(g_levelChanges, (std::vector<std::string>{"second", "second", "second"}));
    // A bare "map" names no level: nothing is unloaded.
    g_levelChanges.clear();
    cmd_map(cvar{});
    EXPECT_TRUE(g_levelChanges.empty());
    // A text without its terminating zero is cut, not over-read.
    cvar full{};
    std::memset(full.text, 'x', sizeof full.text);
    cmd_map(full);
    ASSERT_EQ(g_levelChanges.size(), 1u);
    EXPECT_EQ(g_levelChanges[0], std::string(99, 'x'));
}

TEST_F(ServiceCommands, ScreenshotWritesTheLevelScreenOncePerPress)
{
    const fs::path old = fs::current_path();
    char tmpl[] = "/tmp/vext_cmdshot_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    fs::current_path(tmpl);
    lev_.screenWidth = 16;
    lev_.screenHeight = 8;
    press(cmd_screenshotPPM);
    const bool written = fs::exists("Screenshot.ppm");
    std::string head;
    if (written) {
        std::FILE* f = std::fopen("Screenshot.ppm", "rb");
        char buf[32] = {};
        const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
        std::fclose(f);
        head.assign(buf, n);
        fs::remove("Screenshot.ppm");
    }
    nextFrame(cmd_screenshotPPM);
    const bool rewrittenWhileHeld = fs::exists("Screenshot.ppm");
    fs::current_path(old);
    fs::remove_all(tmpl);
    ASSERT_TRUE(written);
    EXPECT_EQ(head.substr(0, 11), "P6\n16 8\n255");
    EXPECT_FALSE(rewrittenWhileHeld);
}
