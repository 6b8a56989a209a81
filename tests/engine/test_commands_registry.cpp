// The command registry: matching command texts to handlers (case rules,
// prefix commands and their arguments), binding the level's key table into
// the key slots, and the held-key dispatch of bound commands.
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "test_commands_fixture.h"

namespace {

LevKeyBinding bindingOf(const char* key, const char* command)
{
    return LevKeyBinding{const_cast<char*>(key), const_cast<char*>(command)};
}

}  // namespace

TEST(CommandMatch, EveryRegisteredNameMatchesItselfAndNamesAreDistinct)
{
    std::set<std::string> names;
    for (int i = 0; i < kCommandCount; ++i) {
        const char* name = commandName(i);
        ASSERT_NE(name, nullptr) << i;
        names.insert(name);
        const t_cmdmatch m = matchCommand(name);
        ASSERT_NE(m.handler, nullptr) << name;
        EXPECT_STREQ(m.name, name);
    }
    EXPECT_EQ(names.size(), 70u);
    EXPECT_EQ(commandName(kCommandCount), nullptr);
    EXPECT_EQ(commandName(-1), nullptr);
    // The two grab names share one handler; obj_select2 is not obj_select.
    EXPECT_EQ(matchCommand("cam_grabgz").handler, matchCommand("cam_grab").handler);
    EXPECT_EQ(matchCommand("obj_select2").handler, cmd_objSelect2);
    EXPECT_EQ(matchCommand("obj_select").handler, cmd_objSelect);
}

TEST(CommandMatch, CaseRules)
{
    EXPECT_EQ(matchCommand("CAM_FORWARD").handler, cmd_camForward);
    EXPECT_EQ(matchCommand("screenshotppm").handler, cmd_screenshotPPM);
    EXPECT_EQ(matchCommand("+FOG_START").handler, cmd_plusFogStart);
    EXPECT_EQ(matchCommand("SwLevelEd").handler, cmd_swleveled);
    EXPECT_EQ(matchCommand("OBJ_SETSPEED 2").handler, cmd_objSetspeed);
    // Case-sensitive names.
    EXPECT_EQ(matchCommand("OBJ_COPY").handler, nullptr);
    EXPECT_EQ(matchCommand("Obj_select").handler, nullptr);
    EXPECT_EQ(matchCommand("SWWINDOWMODE").handler, nullptr);
    EXPECT_EQ(matchCommand("MAP second").handler, nullptr);
    EXPECT_EQ(matchCommand("obj_copy").handler, cmd_objCopy);
    // Exact names match whole texts only.
    EXPECT_EQ(matchCommand("quitnow").handler, nullptr);
    EXPECT_EQ(matchCommand("noclip ").handler, nullptr);
    EXPECT_EQ(matchCommand("").handler, nullptr);
    EXPECT_EQ(matchCommand(nullptr).handler, nullptr);
}

TEST(CommandMatch, SpeedCommandsTakeAFloatFromTheThirteenthCharacter)
{
    t_cmdmatch m = matchCommand("cam_setspeed 12.5");
    EXPECT_EQ(m.handler, cmd_camSetspeed);
    EXPECT_EQ(m.kind, kCmdFloat);
    EXPECT_FLOAT_EQ(m.fval, 12.5f);

    m = matchCommand("obj_setspeed\t0.25");
    EXPECT_EQ(m.handler, cmd_objSetspeed);
    EXPECT_FLOAT_EQ(m.fval, 0.25f);

    // Only 11 characters are compared: the 12th may be anything.
    m = matchCommand("Cam_SetSpeeX 7");
    EXPECT_EQ(m.handler, cmd_camSetspeed);
    EXPECT_FLOAT_EQ(m.fval, 7.0f);
    // The number is read from the 13th character on, where the separator
    // stands; blanks are skipped, other separators end the number.
    EXPECT_FLOAT_EQ(matchCommand("cam_setspeed12.5").fval, 12.5f);
    EXPECT_FLOAT_EQ(matchCommand("cam_setspeed  -2").fval, -2.0f);
    EXPECT_FLOAT_EQ(matchCommand("cam_setspeed=3.5").fval, 0.0f);

    // Without an argument the speed is 0 and nothing past the text is read.
    m = matchCommand("cam_setspee");
    EXPECT_EQ(m.handler, cmd_camSetspeed);
    EXPECT_FLOAT_EQ(m.fval, 0.0f);
    EXPECT_FLOAT_EQ(matchCommand("cam_setspeed").fval, 0.0f);
    EXPECT_FLOAT_EQ(matchCommand("cam_setspeed ").fval, 0.0f);
    EXPECT_FLOAT_EQ(matchCommand("cam_setspeed fast").fval, 0.0f);
    EXPECT_EQ(matchCommand("cam_setspe").handler, nullptr);
}

TEST(CommandMatch, MapTakesTheTextFromTheFifthCharacter)
{
    t_cmdmatch m = matchCommand("map second");
    EXPECT_EQ(m.handler, cmd_map);
    EXPECT_EQ(m.kind, kCmdText);
    EXPECT_STREQ(m.text, "second");

    EXPECT_STREQ(matchCommand("mapsecond").text, "econd");
    EXPECT_STREQ(matchCommand("map").text, "");
    EXPECT_STREQ(matchCommand("maps").text, "");
    EXPECT_STREQ(matchCommand("map  two").text, " two");

    const std::string longName(150, 'n');
    m = matchCommand(("map " + longName).c_str());
    EXPECT_EQ(std::string(m.text), longName.substr(0, 99));
}

class Registry : public CommandsTest {
protected:
    void bindTable(std::initializer_list<LevKeyBinding> entries)
    {
        table_.assign(entries.begin(), entries.end());
        lev_.keyBindings = table_.data();
        lev_.keyBindingCount = static_cast<uint32_t>(table_.size());
        CFunctions functions;
    }
    std::vector<LevKeyBinding> table_;
};

TEST_F(Registry, InitBindsEachEntryWithItsArgument)
{
    bindTable({
        bindingOf("K_W", "cam_forward"),
        bindingOf("K_Q", "QUIT"),
        bindingOf("k_m", "map second"),
        bindingOf("K_1", "cam_setspeed 12.5"),
        bindingOf("K_2", "obj_setspeed 3"),
        bindingOf("K_X", "OBJ_COPY"),
        bindingOf("K_Y", "no_such_command"),
        bindingOf("K_C", "obj_copy"),
    });
    EXPECT_EQ(slot("K_W")->handler, cmd_camForward);
    EXPECT_EQ(slot("K_Q")->handler, cmd_quit);
    EXPECT_EQ(slot("K_M")->handler, cmd_map);
    EXPECT_STREQ(slot("K_M")->arg.text, "second");
    EXPECT_EQ(slot("K_1")->handler, cmd_camSetspeed);
    EXPECT_FLOAT_EQ(slot("K_1")->arg.fval, 12.5f);
    EXPECT_EQ(slot("K_2")->handler, cmd_objSetspeed);
    EXPECT_FLOAT_EQ(slot("K_2")->arg.fval, 3.0f);
    EXPECT_EQ(slot("K_X")->handler, nullptr) << "obj_ commands compare with case";
    EXPECT_EQ(slot("K_Y")->handler, nullptr);
    EXPECT_EQ(slot("K_C")->handler, cmd_objCopy);
    EXPECT_STREQ(txtcon, "") << "a command that matches nothing is skipped silently";
}

TEST_F(Registry, UnknownKeyIsReportedAndTheOthersAreStillBound)
{
    bindTable({
        bindingOf("K_W", "cam_forward"),
        bindingOf("K_NOPE", "quit"),
        bindingOf("K_S", "cam_backward"),
    });
    EXPECT_STREQ(txtcon, "Taste K_NOPE nicht gefunden\n");
    EXPECT_EQ(slot("K_W")->handler, cmd_camForward);
    EXPECT_EQ(slot("K_S")->handler, cmd_camBackward);
    for (int i = 0; i < KeyInput->keycount; ++i) {
        EXPECT_NE(KeyInput->keys[i].handler, cmd_quit) << "quit bound at code " << i;
    }
    // A name that a later key definition took over is not found either.
    bindTable({bindingOf("K_F12", "showfps")});
    EXPECT_STREQ(txtcon, "Taste K_F12 nicht gefunden\n");
}

TEST_F(Registry, ASecondCommandOnAKeyReplacesTheHandlerAndKeepsTheArgument)
{
    bindTable({
        bindingOf("K_E", "map second"),
        bindingOf("K_E", "quit"),
        bindingOf("K_R", "cam_setspeed 4"),
        bindingOf("K_R", "map select"),
    });
    EXPECT_EQ(slot("K_E")->handler, cmd_quit);
    EXPECT_STREQ(slot("K_E")->arg.text, "second");
    EXPECT_EQ(slot("K_R")->handler, cmd_map);
    EXPECT_STREQ(slot("K_R")->arg.text, "select");
    EXPECT_FLOAT_EQ(slot("K_R")->arg.fval, 4.0f);
}

TEST_F(Registry, BrokenTablesBindNothingAndDoNotCrash)
{
    bindTable({bindingOf("K_W", nullptr), bindingOf(nullptr, "quit"), bindingOf("K_S", "noclip")});
    EXPECT_EQ(slot("K_W")->handler, nullptr);
    EXPECT_STREQ(txtcon, "Taste  nicht gefunden\n");
    EXPECT_EQ(slot("K_S")->handler, cmd_noclip);

    // A count without a table, and no level at all.
    lev_.keyBindings = nullptr;
    lev_.keyBindingCount = 5;
    CFunctions noTable;
    Level = nullptr;
    CFunctions noLevel;
    Level = &lev_;
}

TEST_F(Registry, OverloadsSetTheirArgumentOnly)
{
    CFunctions f;
    f.setFunctions(cmd_quit, 42, "K_I");
    EXPECT_EQ(slot("K_I")->handler, cmd_quit);
    EXPECT_EQ(slot("K_I")->arg.ival, 42);

    f.setFunctions(cmd_objSetspeed, 2.5f, "k_i");
    EXPECT_EQ(slot("K_I")->handler, cmd_objSetspeed);
    EXPECT_FLOAT_EQ(slot("K_I")->arg.fval, 2.5f);
    EXPECT_EQ(slot("K_I")->arg.ival, 42);

    const std::string longText(150, 't');
    f.setFunctions(cmd_map, longText.c_str(), "K_I");
    EXPECT_EQ(std::string(slot("K_I")->arg.text), longText.substr(0, 99));
    f.setFunctions(cmd_map, "short", "K_I");
    EXPECT_STREQ(slot("K_I")->arg.text, "short");

    f.setFunctions(cmd_noclip, "K_I");
    EXPECT_EQ(slot("K_I")->handler, cmd_noclip);
    EXPECT_STREQ(slot("K_I")->arg.text, "short");
    EXPECT_FLOAT_EQ(slot("K_I")->arg.fval, 2.5f);

    f.setFunctions(cmd_quit, 1, "K_NONE");
    EXPECT_STREQ(txtcon, "Taste K_NONE nicht gefunden\n");
}

TEST_F(Registry, HeldSpeedKeyOverridesTheFrameDefaultOnlyWhileHeld)
{
    bindTable({bindingOf("K_1", "cam_setspeed 12.5"), bindingOf("K_W", "cam_forward")});
    g_fruntimer = 1.0f;   // past the start-up delay: defaults apply every frame
    *slot("K_1")->state = 1;
    *slot("K_W")->state = 1;
    KeyInput->start();
    EXPECT_FLOAT_EQ(Cam->movespeed, 12.5f);
    EXPECT_FLOAT_EQ(Cam->move.z, 1.0f);
    EXPECT_EQ(g_playermove, 1);
    *slot("K_1")->state = 0;
    KeyInput->start();
    EXPECT_FLOAT_EQ(Cam->movespeed, 0.3f);
}

TEST_F(Registry, HeldToggleActsOncePerPressThroughTheDispatch)
{
    bindTable({bindingOf("K_F1", "showfps")});
    uint8_t* state = slot("K_F1")->state;
    *state = 1;
    for (int i = 0; i < 5; ++i) {
        ++framecounter;
        KeyInput->start();
    }
    EXPECT_EQ(g_showfps, 1) << "held for five frames: one toggle";
    *state = 0;
    ++framecounter;
    KeyInput->start();
    // A new press one frame after the release is still the same press.
    *state = 1;
    ++framecounter;
    KeyInput->start();
    EXPECT_EQ(g_showfps, 1);
    *state = 0;
    framecounter += 3;
    *state = 1;
    KeyInput->start();
    EXPECT_EQ(g_showfps, 0) << "a press three frames after the last call acts";
}
