// The command set: the once-per-press guard, the fog commands against the GL
// state of the headless context, the mode switches, the camera requests and
// the level change of `map`.

#include <cstdio>

#include "support/temp_dir.h"
#include "test_commands_fixture.h"

namespace {

std::string fogLine(const char* hint, const char* type, float start, float end, float density)
{
    char buf[200];
    std::snprintf(buf, sizeof buf, "Fog: Hint= %s Type=%s  Start= %f End= %f Density= %f ", hint,
                  type, start, end, density);
    return buf;
}

}  // namespace

TEST(PressGuard, ActsOncePerPress)
{
    const struct { uint32_t frame; bool acts; const char* why; } calls[] = {
        {500, true, "first call"}, {501, false, "held"}, {506, true, "three frames after the last call"},
        {506, false, "same frame again (a key and a button)"}, {999999, true, "new press"},
        {0, false, "1000000 and then 0: two frames later"}, {1000000, true, "new press"},
        {2, true, "three frames later, across the wrap"},
    };
    t_pressguard g;
    for (const auto& c : calls) {
        SCOPED_TRACE(c.why);
        framecounter = c.frame;
        EXPECT_EQ(g.pressed(), c.acts) << "frame " << c.frame;
    }
}

// --- editor commands: fog and switches ---------------------------------------

class EditorCommands : public CommandsTest {
protected:
    void SetUp() override
    {
        CommandsTest::SetUp();
        leveled = 1;
        draw_resetFog(&lev_);
    }
};

TEST_F(EditorCommands, FogDistanceStepsStopAtZeroAndPrintTheFogLine)
{
    const struct { t_handler handler; float Lev::*field; GLenum pname; float before, after; } steps[] = {
        {cmd_minusFogStart, &Lev::fogStart, GL_FOG_START, 0.3f, 0.0f},
        {cmd_plusFogStart, &Lev::fogStart, GL_FOG_START, 0.0f, 0.5f},
        {cmd_plusFogEnd, &Lev::fogEnd, GL_FOG_END, 5000.0f, 5000.5f},   // no upper limit
        {cmd_minusFogEnd, &Lev::fogEnd, GL_FOG_END, 0.2f, 0.0f},
        {cmd_plusFogDensity, &Lev::fogDensity, GL_FOG_DENSITY, 0.03f, 0.04f},
        {cmd_minusFogDensity, &Lev::fogDensity, GL_FOG_DENSITY, 0.005f, 0.0f},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << "from " << s.before);
        lev_.*s.field = s.before;
        press(s.handler);
        EXPECT_FLOAT_EQ(lev_.*s.field, s.after);
        EXPECT_FLOAT_EQ(glFloat(s.pname), s.after);
        EXPECT_EQ(txtcon, fogLine("NICEST", "EXP2", lev_.fogStart, lev_.fogEnd, lev_.fogDensity));
    }
    fend = 5.0f;   // a held key's command may have changed the step this frame
    lev_.fogEnd = 45.0f;
    press(cmd_minusFogEnd);
    EXPECT_FLOAT_EQ(lev_.fogEnd, 40.0f);
}

TEST_F(EditorCommands, FogColourStepsEveryFrameClampsAndIsTheClearColour)
{
    lev_.fogColor[0] = 0.999f;
    lev_.fogColor[1] = 0.002f;
    for (int i = 0; i < 2; ++i) {   // held: one step every frame
        nextFrame(cmd_plusFogColorR);
        nextFrame(cmd_minusFogColorG);
        nextFrame(cmd_plusFogColorB);
    }
    const float want[4] = {1.0f, 0.0f, 0.5f + 2 * 0.003922f, 1.0f};
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(lev_.fogColor[c], want[c], 1e-6f) << c;
        EXPECT_NEAR(glFloat(GL_FOG_COLOR, c), want[c], 1e-6f) << c;
        EXPECT_NEAR(glFloat(GL_COLOR_CLEAR_VALUE, c), want[c], 1e-6f) << c;
    }
}

TEST_F(EditorCommands, FogTypeHintAndInfoPrintTheFogLine)
{
    lev_.fogStart = 3.0f;
    const struct { t_handler handler; GLenum pname; GLenum glValue; const char* hint; const char* type; } presses[] = {
        {cmd_fogType, GL_FOG_MODE, GL_LINEAR, "NICEST", "LIN"}, {cmd_fogType, GL_FOG_MODE, GL_EXP, "NICEST", "EXP"},
        {cmd_fogType, GL_FOG_MODE, GL_EXP2, "NICEST", "EXP2"},
        {cmd_fogHint, GL_FOG_HINT, GL_DONT_CARE, "DONTCARE", "EXP2"},
        {cmd_fogHint, GL_FOG_HINT, GL_FASTEST, "FASTEST", "EXP2"},
        {cmd_fogHint, GL_FOG_HINT, GL_NICEST, "NICEST", "EXP2"},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(testing::Message() << p.hint << " " << p.type);
        press(p.handler);
        nextFrame(p.handler);   // held: once per press
        EXPECT_EQ(glFloat(p.pname), p.glValue);
        EXPECT_EQ(txtcon, fogLine(p.hint, p.type, 3.0f, 45.0f, 0.03f));
        EXPECT_EQ(std::string(lev_.fogModeName, strnlen(lev_.fogModeName, 4)), p.type) << "saved with the level";
        if (p.glValue == GL_LINEAR) {
            EXPECT_FLOAT_EQ(glFloat(GL_FOG_START), 3.0f) << "the distances are passed again";
        }
    }
    // fog_info prints an empty text and the fog line alternately.
    Con.printf("old text");
    press(cmd_fogInfo);
    EXPECT_STREQ(txtcon, "");
    press(cmd_fogInfo);
    EXPECT_EQ(txtcon, fogLine("NICEST", "EXP2", 3.0f, 45.0f, 0.03f));
}

TEST_F(EditorCommands, TogglesActOncePerPressAndEditorOnesNotInPlayMode)
{
    WorkDir scratch; // cam_grab makes its SCRSHT folder here
    lev_.lightCount = 2;
    const struct { const char* name; t_handler handler; int (*value)(); int off, on; bool editorOnly; } toggles[] = {
        {"noclip", cmd_noclip, [] { return int(collon); }, 1, 0, false},
        {"showfps", cmd_showfps, [] { return int(g_showfps); }, 0, 1, false},
        {"cam_grab", cmd_camGrab, [] { return int(Cam->grab); }, 0, 1, false},
        {"swgui", cmd_swgui, [] { return int(GuiOn); }, 0, 1, true},
        {"swdynlight", cmd_swdynlight, [] { return int(Level->dynamicLighting); }, 0, 1, true},
        {"fog_switch", cmd_fogSwitch, [] { return int(glIsEnabled(GL_FOG)) + Fogon + Level->fogOn; }, 3, 0, true},
    };
    for (const auto& t : toggles) {
        SCOPED_TRACE(t.name);
        ASSERT_EQ(t.value(), t.off);
        leveled = 0;
        press(t.handler);
        EXPECT_EQ(t.value(), t.editorOnly ? t.off : t.on) << "play mode";
        // One frame later: a press only if play mode left the guard alone.
        leveled = 1;
        nextFrame(t.handler);
        nextFrame(t.handler);
        EXPECT_EQ(t.value(), t.on);
        press(t.handler);
        EXPECT_EQ(t.value(), t.off);
    }
    // Dynamic lights stay off without lights, even when a level left them on.
    lev_.lightCount = 0;
    lev_.dynamicLighting = 1;
    press(cmd_swdynlight);
    EXPECT_EQ(lev_.dynamicLighting, 0);
}

TEST_F(EditorCommands, StepsDoNothingInPlayModeAndViewDistanceStopsAtZero)
{
    leveled = 0;
    for (t_handler h : {cmd_plusFogStart, cmd_minusFogEnd, cmd_plusFogColorR, cmd_fogType,
                        cmd_fogHint, cmd_fogInfo, cmd_minusCamEnd}) {
        press(h);
    }
    EXPECT_STREQ(txtcon, "") << "no fog line";
    EXPECT_FLOAT_EQ(lev_.fogStart, 10.0f);
    EXPECT_FLOAT_EQ(lev_.fogColor[0], 0.5f);
    EXPECT_EQ(g_fogtype, 2);
    EXPECT_FLOAT_EQ(lev_.viewDistance, 50.0f);
    leveled = 1;
    lev_.viewDistance = 0.5f;
    press(cmd_minusCamEnd);
    EXPECT_FLOAT_EQ(lev_.viewDistance, 0.0f);
}

// --- modes and camera requests -----------------------------------------------

using ModeCommands = CommandsTest;

TEST_F(ModeCommands, SwleveledSwitchesGuiAndCollisionTogether)
{
    press(cmd_swleveled);
    nextFrame(cmd_swleveled);
    EXPECT_EQ(leveled, 1) << "held: once per press";
    EXPECT_EQ(GuiOn, 1);
    EXPECT_EQ(collon, 0);
    press(cmd_swleveled);
    EXPECT_EQ(leveled, 0);
    EXPECT_EQ(GuiOn, 0);
    // Collision comes back on even when it was off before entering the editor.
    collon = 0;
    press(cmd_swleveled);
    press(cmd_swleveled);
    EXPECT_EQ(collon, 1);
}

TEST_F(ModeCommands, CameraRequestsActEveryFrame)
{
    const struct { t_handler handler; const float* request; float value; uint8_t moves; } cases[] = {
        {cmd_camYawright, &Cam->turn.x, 1.0f, 0},   {cmd_camYawleft, &Cam->turn.x, -1.0f, 0},
        {cmd_camPitchdown, &Cam->turn.y, 1.0f, 0},  {cmd_camPitchup, &Cam->turn.y, -1.0f, 0},
        {cmd_camForward, &Cam->move.z, 1.0f, 1},    {cmd_camBackward, &Cam->move.z, -1.0f, 1},
        {cmd_camSlideleft, &Cam->move.x, 1.0f, 1},  {cmd_camSlideright, &Cam->move.x, -1.0f, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        g_playermove = 0;
        c.handler(cvar{});
        EXPECT_FLOAT_EQ(*c.request, c.value);
        EXPECT_EQ(g_playermove, c.moves);
    }
}

TEST_F(ModeCommands, MapLoadsOncePerPress)
{
    static std::vector<std::string> changes;
    GlobalsGuard saved(g_changeLevel);
    g_changeLevel = [](const char* name) { changes.emplace_back(name); };
    changes.clear();
    CFunctions f;
    f.setFunctions(cmd_map, "second", "K_M");
    *slot("K_M")->state = 1;
    for (int i = 0; i < 3; ++i) {
        ++framecounter;
        KeyInput->start();
    }
    cmd_map(cvar{});   // a bare "map" names no level: nothing is unloaded
    framecounter += 10;   // a new press
    // A text without its terminating zero is cut, not over-read.
    cvar full{};
    std::memset(full.text, 'x', sizeof full.text);
    cmd_map(full);
    const std::vector<std::string> want{"second", std::string(99, 'x')};
    EXPECT_EQ(changes, want);
}
