// The command registry: matching command texts to handlers (case rules,
// prefix commands and their arguments) and binding the level's key table
// into the key slots.
#include <initializer_list>
#include <string>
#include <vector>

#include "test_commands_fixture.h"

TEST(CommandMatch, EveryRegisteredNameMatchesItself)
{
    // An earlier name must not shadow a later one (obj_select / obj_select2).
    for (int i = 0; i < kCommandCount; ++i) {
        const char* name = commandName(i);
        ASSERT_NE(name, nullptr) << i;
        EXPECT_STREQ(matchCommand(name).name, name);
    }
    EXPECT_EQ(commandName(kCommandCount), nullptr);
    EXPECT_EQ(commandName(-1), nullptr);
    EXPECT_EQ(matchCommand("cam_grabgz").handler, cmd_camGrab);
}

TEST(CommandMatch, CaseRulesAndArguments)
{
    const std::string longName(150, 'n');
    const struct {
        std::string text;
        t_handler handler;
        float value;
        std::string arg;
    } cases[] = {
        {"CAM_FORWARD", cmd_camForward, 0.0f, ""},
        {"obj_copy", cmd_objCopy, 0.0f, ""},
        // Case-sensitive names.
        {"OBJ_COPY", nullptr, 0.0f, ""},
        {"MAP second", nullptr, 0.0f, ""},
        // Exact names match whole texts only.
        {"quitnow", nullptr, 0.0f, ""},
        {"noclip ", nullptr, 0.0f, ""},
        // Speeds compare 11 characters without case and read a float from the
        // 13th character on: blanks are skipped, other separators end it.
        {"cam_setspeed 12.5", cmd_camSetspeed, 12.5f, ""},
        {"OBJ_SETSPEED\t0.25", cmd_objSetspeed, 0.25f, ""},
        {"Cam_SetSpeeX 7", cmd_camSetspeed, 7.0f, ""},
        {"cam_setspeed=3.5", cmd_camSetspeed, 0.0f, ""},
        {"cam_setspeed", cmd_camSetspeed, 0.0f, ""},
        {"cam_setspee", cmd_camSetspeed, 0.0f, ""},   // nothing past the text is read
        {"cam_setspe", nullptr, 0.0f, ""},
        // map takes the text from the 5th character on, at most 99 characters.
        {"map second", cmd_map, 0.0f, "second"},
        {"mapsecond", cmd_map, 0.0f, "econd"},
        {"map " + longName, cmd_map, 0.0f, longName.substr(0, 99)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const t_cmdmatch m = matchCommand(c.text.c_str());
        EXPECT_EQ(m.handler, c.handler);
        EXPECT_FLOAT_EQ(m.fval, c.value);
        EXPECT_EQ(std::string(m.text), c.arg);
    }
    EXPECT_EQ(matchCommand(nullptr).handler, nullptr);
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
    static LevKeyBinding bind(const char* key, const char* command)
    {
        return LevKeyBinding{const_cast<char*>(key), const_cast<char*>(command)};
    }
    std::vector<LevKeyBinding> table_;
};

TEST_F(Registry, InitBindsEachEntryAndReportsUnknownKeys)
{
    bindTable({
        bind("K_W", "cam_forward"),
        bind("K_NOPE", "quit"),
        bind("k_m", "map second"),
        bind("K_1", "cam_setspeed 12.5"),
        bind("K_Y", "no_such_command"),
        // A second command on a key replaces the handler and keeps the argument.
        bind("K_E", "map second"),
        bind("K_E", "noclip"),
    });
    EXPECT_STREQ(txtcon, "Taste K_NOPE nicht gefunden\n")
        << "a command that matches nothing is skipped silently";
    for (int i = 0; i < KeyInput->keycount; ++i) {
        EXPECT_NE(KeyInput->keys[i].handler, cmd_quit) << "quit bound at code " << i;
    }
    EXPECT_EQ(slot("K_W")->handler, cmd_camForward);
    EXPECT_EQ(slot("K_M")->handler, cmd_map);
    EXPECT_STREQ(slot("K_M")->arg.text, "second");
    EXPECT_EQ(slot("K_1")->handler, cmd_camSetspeed);
    EXPECT_FLOAT_EQ(slot("K_1")->arg.fval, 12.5f);
    EXPECT_EQ(slot("K_Y")->handler, nullptr);
    EXPECT_EQ(slot("K_E")->handler, cmd_noclip);
    EXPECT_STREQ(slot("K_E")->arg.text, "second");

    // A name that a later key definition took over is not found either.
    bindTable({bind("K_F12", "showfps")});
    EXPECT_STREQ(txtcon, "Taste K_F12 nicht gefunden\n");

    CFunctions f;   // the text overload copies at most 99 characters
    f.setFunctions(cmd_map, std::string(150, 't').c_str(), "K_E");
    EXPECT_EQ(std::string(slot("K_E")->arg.text), std::string(99, 't'));
}

TEST_F(Registry, BrokenTablesBindWhatTheyCanAndDoNotCrash)
{
    bindTable({bind("K_A", nullptr), bind(nullptr, "quit"), bind("K_D", "noclip")});
    EXPECT_STREQ(txtcon, "Taste  nicht gefunden\n");
    EXPECT_EQ(slot("K_D")->handler, cmd_noclip);
    lev_.keyBindings = nullptr;   // a count without a table
    CFunctions noTable;
    Level = nullptr;
    CFunctions noLevel;
}
