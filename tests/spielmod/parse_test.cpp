// parse_test.cpp — level and config text into the record: defaults,
// overrides, lists and their order, key bindings, and the messages for
// broken input.
#include <cstring>

#include "spielmod_fixture.h"

TEST_F(SpielTest, EmptyLevelGetsDefaultsAndEmptyTables)
{
    ASSERT_EQ(load(""), 1) << messages();
    const Lev& lev = ctx->lev;
    EXPECT_EQ(lev.screenWidth, 640u);
    EXPECT_EQ(lev.maxTextureSize, 256);
    EXPECT_EQ(std::memcmp(lev.fogModeName, "LIN\0", 4), 0);
    EXPECT_GT(lev.viewDistance, 0.0f);
    // Empty lists: zero counts and null tables, nothing to dereference.
    EXPECT_EQ(lev.treeCount + lev.personCount + lev.particleSystemCount + lev.lightCount + lev.soundCount, 0u);
    for (const void* table : {(const void*)lev.treeTable, (const void*)lev.personTable, (const void*)lev.particleSize,
                              (const void*)lev.lightTable, (const void*)lev.noiseParams}) {
        EXPECT_EQ(table, nullptr);
    }
    EXPECT_EQ(lev.dynamicLighting, 0);
    // Loading must not touch the handshake fields.
    EXPECT_EQ(lev.moduleVersion, kLevVersion);
    EXPECT_NE(lev.saveInitFn, nullptr);
    EXPECT_TRUE(ctx->messages.empty()) << messages();
}

TEST_F(SpielTest, ConfigSetsDefaultsAndLevelOverridesThem)
{
    const char* config = R"(
display = { width = 800, height = 600, brightness = 80 }
view = { distance = 70 }
fog = { mode = "exp", start = 3.0, end = 33.0, color = [0.1, 0.2, 0.3] }
)";
    ASSERT_EQ(load("display = { width = 1024 }\nfog = { mode = \"Exp2\", end = 99.5 }\n", config), 1) << messages();
    const Lev& lev = ctx->lev;
    EXPECT_EQ(lev.screenWidth, 1024u);      // level wins
    EXPECT_EQ(lev.screenHeight, 600u);      // config
    EXPECT_EQ(lev.brightnessPercent, 80u);
    EXPECT_FLOAT_EQ(lev.viewDistance, 70.0f);
    EXPECT_EQ(std::memcmp(lev.fogModeName, "EXP2", 4), 0);   // upper case, fills the field exactly
    EXPECT_FLOAT_EQ(lev.fogStart, 3.0f);
    EXPECT_FLOAT_EQ(lev.fogEnd, 99.5f);
    EXPECT_FLOAT_EQ(lev.fogColor[3], 1.0f);  // alpha defaults to 1 for a 3-colour list
}

namespace {

// A level using every list.  Cut and corrupted levels are the leveltoml
// fuzz target's (its corpus is replayed under the sanitizers).
const char* const kFullLevel = R"(height_map = "h.ppm"
sky = ["0", "1", "2", "3", "4", "5"]
fog = { mode = "EXP", color = [0.1, 0.2, 0.3, 1.0] }
light = [{ color = [255, 128, 0], attach = "Cam" }, {}]
sound = [{ path = "s.8svx" }]
particles = [{ name = "snow", texture = "gfx/flake.ppm", extent = [8, 12, 6] }, { texture = "gfx/ash.tga" }]
noise = { pattern = "n/n.ppm" }

[[tree]]
file = "obj/fir.raw"
position = [1, 2, 3]

[[tree]]
name = "stone"
file = "obj/stone.raw"
parent = "FIR"

[[tree]]
name = "hut"
file = "obj/hut.raw"
parent_index = 1

[[person]]
file = "obj/bob.md2"
parent = "hut"
loop_end = 10
)";

}  // namespace

TEST_F(SpielTest, ListsKeepFileOrderAndDefaults)
{
    ASSERT_EQ(load(kFullLevel), 1) << messages();
    const Lev& lev = ctx->lev;
    ASSERT_EQ(lev.treeCount, 3u);
    const t_tree& fir = lev.treeTable[0];
    EXPECT_STREQ(fir.name, "fir");                    // from the file's base name
    EXPECT_STREQ(fir.parentName, "NULL");
    EXPECT_EQ(fir.parentIndex, -1);
    EXPECT_EQ(fir.soundIndex, -1);
    EXPECT_FLOAT_EQ(fir.position[2], 3.0f);
    EXPECT_EQ(lev.treeTable[1].parentIndex, 0);       // by name, any case
    EXPECT_EQ(lev.treeTable[2].parentIndex, 1);       // by index
    EXPECT_STREQ(lev.treeTable[2].parentName, "stone");
    ASSERT_EQ(lev.personCount, 1u);
    EXPECT_EQ(lev.personTable[0].parentIndex, 2);    // persons follow trees

    ASSERT_EQ(lev.lightCount, 2u);
    EXPECT_FLOAT_EQ(lev.lightTable[0].colour[3], 255.0f);
    EXPECT_STREQ(lev.lightTable[1].attachTo, "None");  // defaults of an empty entry
    EXPECT_EQ(lev.lightTable[1].mask, 4);
    EXPECT_EQ(lev.dynamicLighting, 1);                 // on because the level has lights

    ASSERT_EQ(lev.particleSystemCount, 2u);
    EXPECT_FLOAT_EQ(lev.particleExtent[0][1], 12.0f);
    EXPECT_STREQ(lev.particleNames[1], "particles1");
    EXPECT_GT(lev.particleRate[1], 0.0f);              // default keeps the emission step finite

    // The lighting switch overrides the "has lights" rule both ways.
    ASSERT_EQ(load("[lighting]\ndynamic = false\n[[light]]\n"), 1) << messages();
    EXPECT_EQ(ctx->lev.dynamicLighting, 0);
    ASSERT_EQ(load("[lighting]\ndynamic = true\n"), 1) << messages();
    EXPECT_EQ(ctx->lev.dynamicLighting, 1);
}

TEST_F(SpielTest, LevelBindingsReplaceConfigListUnlessInherited)
{
    const char* config = "bind = [{ key = \"K_W\", command = \"fwd\" }, { key = \"K_ESCAPE\", command = \"quit\" }]";
    const auto bindings = [this] {
        std::string s;
        for (uint32_t i = 0; i < ctx->lev.keyBindingCount; ++i) {
            s += std::string(ctx->lev.keyBindings[i].key) + "=" + ctx->lev.keyBindings[i].command + ";";
        }
        return s;
    };
    ASSERT_EQ(load("", config), 1) << messages();
    EXPECT_EQ(bindings(), "K_W=fwd;K_ESCAPE=quit;");
    ASSERT_EQ(load("bind = [{ key = \"K_2\", command = \"map second\" }]", config), 1) << messages();
    EXPECT_EQ(bindings(), "K_2=map second;");
    ASSERT_EQ(load("inherit_bindings = true\nbind = [{ key = \"K_W\", command = \"back\" }]", config), 1);
    // Appended in order: the engine binds later entries over earlier ones.
    EXPECT_EQ(bindings(), "K_W=fwd;K_ESCAPE=quit;K_W=back;");
    ASSERT_EQ(load("bind = []\n", config), 1);   // an explicit empty list unbinds everything
    EXPECT_EQ(ctx->lev.keyBindingCount, 0u);
    EXPECT_EQ(ctx->lev.keyBindings, nullptr);
}

TEST_F(SpielTest, BrokenInputNamesFileLineAndKey)
{
    struct Case {
        const char* level;
        const char* expect;
        const char* config = nullptr;
    };
    const Case cases[] = {
        {"[fog]\nstart = 1.0\nend = = 3\n", "levels/t/level.toml:3:"},
        {"", "config.cfg:3:", "[display]\nwidth = 640\nheight = \n"},
        {"[fog]\n\nstart = \"far\"\n", "level.toml:3: fog.start muss eine Zahl sein"},
        {"[display]\nwidth = 1.5\n", "level.toml:2: display.width muss eine ganze Zahl sein"},
        {"[fog]\non = 1\n", "level.toml:2: fog.on muss true oder false sein"},
        {"[camera]\nstart = [1, \"a\"]\n", "level.toml:2: camera.start muss eine Liste aus 3 Zahlen sein"},
        {"fog = 3\n", "level.toml:1: fog muss eine Tabelle sein"},
        {"tree = 3\n", "level.toml:1: tree muss eine Liste sein"},
        {"height_map = 5\n", "level.toml:1: height_map muss ein Text sein"},
        {"sky = [\"a\", \"b\"]\n", "level.toml:1: sky muss eine Liste aus 6"},
        {"[fog]\nmode = \"FAST\"\n", "level.toml:2: fog.mode \"FAST\" ist keiner von LIN, EXP, EXP2"},
        {"\n[[tree]]\nname = \"x\"\n", "level.toml:2: tree[0].file fehlt"},
        {"[[tree]]\nfile = \"\"\n", "level.toml:2: tree[0].file ist leer"},
        {"[noise]\npattern = \".ppm\"\n", "noise.pattern \".ppm\" braucht einen Namen"},
        {"height_map = \"a\\u0000b\"\n", "height_map darf kein NUL-Zeichen enthalten"},
        // Values the engine cannot use.
        {"[display]\nwidth = 16384\n", "level.toml:2: display.width = 16384 liegt außerhalb von 64..8192"},
        {"[display]\nmax_texture_size = 300\n", "display.max_texture_size muss eine Zweierpotenz sein"},
        {"[fog]\ncolor = [1.5, 0, 0]\n", "fog.color[0] = 1.5 liegt außerhalb von 0..1"},
        {"[camera]\nstart = [inf, 0, 0]\n", "camera.start[0] = inf liegt außerhalb"},
        {"[fog]\nstart = nan\n", "level.toml:2: fog.start = nan liegt außerhalb"},
        {"[[light]]\nradius = 0\n", "light[0].radius = 0 liegt außerhalb"},   // divides the distance
        {"[[particles]]\ntexture = \"a.ppm\"\nrate = 0\n", "particles[0].rate = 0 liegt außerhalb"},
        {"[[particles]]\ntexture = \"a.ppm\"\nmax_count = 100000000\n", "particles[0].max_count"},
        {"[[sound]]\npath = \"a\"\ntype = 5\n", "level.toml:3: sound[0].type = 5 liegt außerhalb"},
        {"[[sound]]\npath = \"a\"\ninner_radius = 10\nouter_radius = 5\n", "outer_radius ist kleiner als inner"},
        // Parents that would be read past the list or do not exist.
        {"[[tree]]\nfile = \"a.raw\"\nparent_index = 1\n", "tree[0].parent_index 1: es gibt nur 1 Bäume"},
        {"[[tree]]\nfile = \"a.raw\"\nparent = \"nobody\"\n", "tree[0].parent \"nobody\": kein Baum"},
        {"[[person]]\nfile = \"a.md2\"\nparent_index = 0\n", "person[0].parent_index 0: es gibt nur 0"},
        {"[[person]]\nfile = \"a.md2\"\nloop_start = 5\nloop_end = 2\n", "loop_end liegt vor loop_start"},
        {"object_name_counter = -1\n", "object_name_counter = -1 liegt außerhalb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        ctx->messages.clear();
        EXPECT_EQ(load(c.level, c.config), 0);
        EXPECT_TRUE(hasMessage(c.expect)) << messages();
    }
}

TEST_F(SpielTest, FailedLoadKeepsThePreviousLevelAndReloadKeepsQuitByte)
{
    ASSERT_EQ(load("[[tree]]\nfile = \"obj/fir.raw\"\n[fog]\nend = 77\n"), 1) << messages();
    const t_tree* table = ctx->lev.treeTable;
    ASSERT_EQ(load("[[tree]]\nfile = 5\n"), 0);
    EXPECT_EQ(ctx->lev.treeTable, table);
    EXPECT_STREQ(ctx->lev.treeTable[0].file, "obj/fir.raw");
    EXPECT_FLOAT_EQ(ctx->lev.fogEnd, 77.0f);

    levSetQuit(&ctx->lev);
    ASSERT_EQ(load("[[tree]]\nfile = \"c.raw\"\n[[tree]]\nfile = \"d.raw\"\n"), 1);
    EXPECT_EQ(ctx->lev.treeCount, 2u);
    EXPECT_TRUE(levQuitRequested(&ctx->lev));
}

TEST_F(SpielTest, UnknownKeysAreReportedNotFatal)
{
    ASSERT_EQ(load("colour_of_moon = \"blue\"\n[fog]\nstrat = 3\n", "height_map = \"x.ppm\"\n"), 1);
    EXPECT_TRUE(hasMessage("level.toml:1: unbekannter Eintrag colour_of_moon")) << messages();
    EXPECT_TRUE(hasMessage("level.toml:3: unbekannter Eintrag fog.strat")) << messages();
    // A level-only key in config.cfg is unknown there and not used.
    EXPECT_TRUE(hasMessage("config.cfg:1: unbekannter Eintrag height_map")) << messages();
    EXPECT_STREQ(ctx->lev.heightMapFile, "");
}

TEST_F(SpielTest, LongTextsAreCutAtTheFieldSize)
{
    // 300 bytes, with a two-byte UTF-8 letter straddling byte 255.
    const std::string name = std::string(254, 'a') + "\xc3\xa4" + std::string(44, 'b');
    ASSERT_EQ(load("height_map = \"" + std::string(400, 'h') + "\"\n[[tree]]\nfile = \"x.raw\"\nname = \"" + name +
                   "\"\n"),
              1);
    EXPECT_EQ(std::strlen(ctx->lev.heightMapFile), 255u);
    EXPECT_EQ(std::strlen(ctx->lev.treeTable[0].name), 254u);   // the split letter is dropped whole
    EXPECT_TRUE(hasMessage("height_map ist länger als 255 Bytes")) << messages();
    EXPECT_TRUE(hasMessage("tree[0].name ist länger als 255 Bytes")) << messages();
}
