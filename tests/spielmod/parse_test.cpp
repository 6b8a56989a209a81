// parse_test.cpp — level and config text into the record: defaults,
// overrides, lists and their order, key bindings, and the messages for
// broken input.
#include <cstring>

#include "spielmod_fixture.h"

namespace {

std::string fogMode(const Lev& lev)
{
    return std::string(lev.fogModeName, strnlen(lev.fogModeName, sizeof lev.fogModeName));
}

std::string bindingsOf(const Lev& lev)
{
    std::string s;
    for (uint32_t i = 0; i < lev.keyBindingCount; ++i) {
        s += std::string(lev.keyBindings[i].key) + "=" + lev.keyBindings[i].command + ";";
    }
    return s;
}

}  // namespace

TEST_F(SpielTest, FreshRecordHasVersionServicesAndDefaults)
{
    const Lev& lev = ctx->lev;
    EXPECT_EQ(lev.moduleVersion, kLevVersion);
    EXPECT_EQ(lev.moduleQuit, 0);
    EXPECT_NE(lev.levelLoader, nullptr);
    EXPECT_NE(lev.saveInitFn, nullptr);
    EXPECT_NE(lev.dirRequest, nullptr);
    EXPECT_NE(lev.fileRequest, nullptr);
    EXPECT_NE(lev.onObjectDelete, nullptr);
    EXPECT_NE(lev.onObjectCountChange, nullptr);
    EXPECT_EQ(lev.screenHeight, 480u);
    EXPECT_EQ(lev.pixelDepth, 32);
    EXPECT_EQ(fogMode(lev), "LIN");
}

TEST_F(SpielTest, EmptyLevelGetsDefaultsAndEmptyTables)
{
    ASSERT_EQ(load(""), 1) << messages();
    const Lev& lev = ctx->lev;
    EXPECT_STREQ(lev.levelDirectory, "levels/t");
    EXPECT_STREQ(lev.levelFile, "level.toml");
    EXPECT_EQ(lev.screenWidth, 640u);
    EXPECT_EQ(lev.maxTextureSize, 256);
    EXPECT_EQ(lev.brightnessPercent, 100u);
    EXPECT_GT(lev.viewDistance, 0.0f);
    EXPECT_STREQ(lev.heightMapFile, "");
    for (const auto& face : lev.skyFaceFiles) {
        EXPECT_STREQ(face, "");
    }
    // Empty lists: zero counts and null tables, nothing to dereference.
    EXPECT_EQ(lev.treeCount, 0u);
    EXPECT_EQ(lev.treeTable, nullptr);
    EXPECT_EQ(lev.personCount, 0u);
    EXPECT_EQ(lev.personTable, nullptr);
    EXPECT_EQ(lev.particleSystemCount, 0u);
    EXPECT_EQ(lev.particleSize, nullptr);
    EXPECT_EQ(lev.particleExtent, nullptr);
    EXPECT_EQ(lev.lightCount, 0u);
    EXPECT_EQ(lev.lightTable, nullptr);
    EXPECT_EQ(lev.soundCount, 0u);
    EXPECT_EQ(lev.keyBindingCount, 0u);
    EXPECT_EQ(lev.noiseParams, nullptr);
    EXPECT_EQ(lev.dynamicLighting, 0);
    // Loading must not touch the handshake fields.
    EXPECT_EQ(lev.moduleVersion, kLevVersion);
    EXPECT_NE(lev.saveInitFn, nullptr);
    EXPECT_TRUE(ctx->messages.empty()) << messages();
}

TEST_F(SpielTest, ConfigSetsDefaultsAndLevelOverridesThem)
{
    const std::string config = R"(
[display]
width = 800
height = 600
depth = 16
window = false
max_texture_size = 512
brightness = 80
[input]
mouse_sensitivity = 3.5
[view]
distance = 70
[camera]
gravity = 2.0
eye_height = 1.25
step_height = 0.5
min_box_thickness = 0.05
[fog]
mode = "exp"
start = 3.0
end = 33.0
density = 0.5
color = [0.1, 0.2, 0.3]
)";
    const std::string level = R"(
[display]
width = 1024
[fog]
mode = "Exp2"
end = 99.5
[camera]
start = [1.5, -2, 3]
yaw = 90
)";
    ASSERT_EQ(load(level, &config), 1) << messages();
    const Lev& lev = ctx->lev;
    EXPECT_EQ(lev.screenWidth, 1024u);      // level wins
    EXPECT_EQ(lev.screenHeight, 600u);      // config
    EXPECT_EQ(lev.pixelDepth, 16);
    EXPECT_EQ(lev.windowMode, 0u);
    EXPECT_EQ(lev.maxTextureSize, 512);
    EXPECT_EQ(lev.brightnessPercent, 80u);
    EXPECT_FLOAT_EQ(lev.mouseSensitivity, 3.5f);
    EXPECT_FLOAT_EQ(lev.viewDistance, 70.0f);
    EXPECT_FLOAT_EQ(lev.gravity, 2.0f);
    EXPECT_FLOAT_EQ(lev.eyeHeight, 1.25f);
    EXPECT_FLOAT_EQ(lev.stepHeight, 0.5f);
    EXPECT_FLOAT_EQ(lev.minBoxThickness, 0.05f);
    EXPECT_EQ(fogMode(lev), "EXP2");        // canonical upper case, exactly 4 bytes
    EXPECT_FLOAT_EQ(lev.fogStart, 3.0f);
    EXPECT_FLOAT_EQ(lev.fogEnd, 99.5f);
    EXPECT_FLOAT_EQ(lev.fogDensity, 0.5f);
    EXPECT_FLOAT_EQ(lev.fogColor[2], 0.3f);
    EXPECT_FLOAT_EQ(lev.fogColor[3], 1.0f);  // alpha defaults to 1 for a 3-colour list
    EXPECT_FLOAT_EQ(lev.camStartPos[0], 1.5f);
    EXPECT_FLOAT_EQ(lev.camStartPos[1], -2.0f);
    EXPECT_FLOAT_EQ(lev.camStartYaw, 90.0f);
}

TEST_F(SpielTest, ListsKeepFileOrderAndEveryField)
{
    const std::string level = R"(
height_map = "levels/t/height.ppm"
sky = ["s0.ppm", "s1.ppm", "s2.ppm", "s3.ppm", "s4.ppm", "s5.ppm"]
object_name_counter = 7

[[tree]]
file = "obj/fir.raw"
position = [1, 2, 3]
rotation = [0, 90, 0]
rotation_speed = [0, 10, 0]
billboard = 2

[[tree]]
name = "stone"
file = "obj/stone.raw"
parent = "FIR"

[[tree]]
name = "hut"
file = "obj/hut.raw"
parent_index = 1

[[person]]
name = "bob"
file = "obj/bob.md2"
skin = "bobskin"
anim_speed = 2.5
loop_start = 3
loop_end = 18
parent = "hut"

[[light]]
radius = 12
position = [4, 5, 6]
color = [255, 128, 0]
mask = 8
attach = "Cam"

[[light]]

[[sound]]
name = "steps"
path = "snd/steps"
type = 1
frequency = 11025
volume = 80
bind_to_object = true

[[sound]]
path = "snd/wind.8svx"
type = 3
inner_radius = 10
outer_radius = 50
falloff = 40
position = [1, 1, 1]

[[particles]]
name = "snow"
texture = "gfx/flake.ppm"
file = "snow.def"
origin = [0, 10, 0]
extent = [8, 12, 6]
velocity = [0, -2, 0]
velocity_variance = [0.5, 0.1, 0.5]
size = 0.2
rate = 40
max_count = 300
scroll_texture = true
tex_offset = [1, 2]
tex_scale = [0.5, 0.25]

[[particles]]
texture = "gfx/ash.tga"

[noise]
pattern = "gfx/noise.ppm"
start_time = 0.5
seconds_per_image = 0.1
tint = [1, 0.5, 0.5, 0.8]
)";
    ASSERT_EQ(load(level), 1) << messages();
    const Lev& lev = ctx->lev;
    EXPECT_STREQ(lev.heightMapFile, "levels/t/height.ppm");
    EXPECT_STREQ(lev.skyFaceFiles[0], "s0.ppm");
    EXPECT_STREQ(lev.skyFaceFiles[5], "s5.ppm");
    EXPECT_EQ(lev.objectNameCounter, 7u);

    ASSERT_EQ(lev.treeCount, 3u);
    const t_tree& fir = lev.treeTable[0];
    EXPECT_STREQ(fir.name, "fir");                    // from the file's base name
    EXPECT_STREQ(fir.file, "obj/fir.raw");
    EXPECT_STREQ(fir.parentName, "NULL");
    EXPECT_EQ(fir.parentIndex, -1);
    EXPECT_EQ(fir.soundIndex, -1);
    EXPECT_FLOAT_EQ(fir.position[2], 3.0f);
    EXPECT_FLOAT_EQ(fir.rotation[1], 90.0f);
    EXPECT_FLOAT_EQ(fir.rotationSpeed[1], 10.0f);
    EXPECT_EQ(fir.billboard, 2);
    EXPECT_EQ(lev.treeTable[1].parentIndex, 0);       // by name, any case
    EXPECT_STREQ(lev.treeTable[1].parentName, "FIR");
    EXPECT_EQ(lev.treeTable[2].parentIndex, 1);       // by index
    EXPECT_STREQ(lev.treeTable[2].parentName, "stone");

    ASSERT_EQ(lev.personCount, 1u);
    const t_person& bob = lev.personTable[0];
    EXPECT_STREQ(bob.skin, "bobskin");
    EXPECT_FLOAT_EQ(bob.animSpeed, 2.5f);
    EXPECT_EQ(bob.loopStart, 3);
    EXPECT_EQ(bob.loopEnd, 18);
    EXPECT_EQ(bob.parentIndex, 2);                    // persons follow trees

    ASSERT_EQ(lev.lightCount, 2u);
    EXPECT_FLOAT_EQ(lev.lightTable[0].radius, 12.0f);
    EXPECT_FLOAT_EQ(lev.lightTable[0].colour[1], 128.0f);
    EXPECT_FLOAT_EQ(lev.lightTable[0].colour[3], 255.0f);
    EXPECT_EQ(lev.lightTable[0].mask, 8);
    EXPECT_STREQ(lev.lightTable[0].attachTo, "Cam");
    EXPECT_STREQ(lev.lightTable[1].attachTo, "None");  // defaults of an empty entry
    EXPECT_EQ(lev.lightTable[1].mask, 4);
    EXPECT_EQ(lev.dynamicLighting, 1);                 // on because the level has lights

    ASSERT_EQ(lev.soundCount, 2u);
    EXPECT_STREQ(lev.soundTable[0].name, "steps");
    EXPECT_EQ(lev.soundTable[0].type, 1);
    EXPECT_EQ(lev.soundTable[0].frequency, 11025u);
    EXPECT_EQ(lev.soundTable[0].volumePercent, 80);
    EXPECT_EQ(lev.soundTable[0].bindToObject, 1);
    EXPECT_EQ(lev.soundTable[0].objectIndex, -1);
    EXPECT_STREQ(lev.soundTable[1].name, "wind");
    EXPECT_FLOAT_EQ(lev.soundTable[1].outerRadius, 50.0f);

    ASSERT_EQ(lev.particleSystemCount, 2u);
    EXPECT_STREQ(lev.particleNames[0], "snow");
    EXPECT_STREQ(lev.particleTextureFiles[0], "gfx/flake.ppm");
    EXPECT_STREQ(lev.particleFiles[0], "snow.def");
    EXPECT_FLOAT_EQ(lev.particleExtent[0][1], 12.0f);
    EXPECT_FLOAT_EQ(lev.particleOrigin[0][1], 10.0f);
    EXPECT_FLOAT_EQ(lev.particleVelocityBase[0][1], -2.0f);
    EXPECT_FLOAT_EQ(lev.particleVelocityVariance[0][0], 0.5f);
    EXPECT_FLOAT_EQ(lev.particleSize[0], 0.2f);
    EXPECT_FLOAT_EQ(lev.particleRate[0], 40.0f);
    EXPECT_EQ(lev.particleMaxCount[0], 300u);
    EXPECT_EQ(lev.particleScrollTexture[0], 1);
    EXPECT_FLOAT_EQ(lev.particleTexOffsetV[0], 2.0f);
    EXPECT_FLOAT_EQ(lev.particleTexScaleV[0], 0.25f);
    EXPECT_STREQ(lev.particleTextureFiles[1], "gfx/ash.tga");
    EXPECT_STREQ(lev.particleNames[1], "particles1");
    EXPECT_GT(lev.particleRate[1], 0.0f);              // default keeps the emission step finite

    ASSERT_NE(lev.noiseParams, nullptr);
    EXPECT_STREQ(lev.noiseParams->filePattern, "gfx/noise.ppm");
    EXPECT_FLOAT_EQ(lev.noiseParams->startTime, 0.5f);
    EXPECT_FLOAT_EQ(lev.noiseParams->tint[3], 0.8f);
    EXPECT_TRUE(ctx->messages.empty()) << messages();
}

TEST_F(SpielTest, LevelBindingsReplaceConfigListUnlessInherited)
{
    const std::string config = R"(
[[bind]]
key = "K_W"
command = "cam_forward"
[[bind]]
key = "K_ESCAPE"
command = "quit"
)";
    ASSERT_EQ(load("", &config), 1) << messages();
    EXPECT_EQ(bindingsOf(ctx->lev), "K_W=cam_forward;K_ESCAPE=quit;");

    ASSERT_EQ(load("[[bind]]\nkey = \"K_2\"\ncommand = \"map second\"\n", &config), 1) << messages();
    EXPECT_EQ(bindingsOf(ctx->lev), "K_2=map second;");

    ASSERT_EQ(load("inherit_bindings = true\n[[bind]]\nkey = \"K_W\"\ncommand = \"cam_backward\"\n", &config), 1);
    // Appended in order: the engine binds later entries over earlier ones.
    EXPECT_EQ(bindingsOf(ctx->lev), "K_W=cam_forward;K_ESCAPE=quit;K_W=cam_backward;");

    ASSERT_EQ(load("bind = []\n", &config), 1);   // an explicit empty list unbinds everything
    EXPECT_EQ(ctx->lev.keyBindingCount, 0u);
    EXPECT_EQ(ctx->lev.keyBindings, nullptr);
}

TEST_F(SpielTest, DynamicLightingSwitchOverridesTheLightRule)
{
    ASSERT_EQ(load("[lighting]\ndynamic = false\n[[light]]\n"), 1) << messages();
    EXPECT_EQ(ctx->lev.dynamicLighting, 0);
    ASSERT_EQ(load("[lighting]\ndynamic = true\n"), 1) << messages();
    EXPECT_EQ(ctx->lev.dynamicLighting, 1);
}

TEST_F(SpielTest, SyntaxErrorNamesFileAndLine)
{
    ASSERT_EQ(load("[fog]\nstart = 1.0\nend = = 3\n"), 0);
    EXPECT_TRUE(hasMessage("levels/t/level.toml:3:")) << messages();
    EXPECT_TRUE(hasMessage("TOML-Fehler")) << messages();
}

TEST_F(SpielTest, ConfigSyntaxErrorFailsTheLoad)
{
    const std::string config = "[display]\nwidth = 640\nheight = \n";
    ASSERT_EQ(load("", &config), 0);
    EXPECT_TRUE(hasMessage("config.cfg:3:")) << messages();
}

TEST_F(SpielTest, WrongTypesNameKeyAndLine)
{
    struct Case {
        const char* text;
        const char* expect;
    };
    const Case cases[] = {
        {"[fog]\n\nstart = \"far\"\n", "level.toml:3: fog.start muss eine Zahl sein"},
        {"[display]\nwidth = 1.5\n", "level.toml:2: display.width muss eine ganze Zahl sein"},
        {"[fog]\non = 1\n", "level.toml:2: fog.on muss true oder false sein"},
        {"[camera]\nstart = [1, 2]\n", "level.toml:2: camera.start muss eine Liste aus 3 Zahlen sein"},
        {"[camera]\nstart = [1, \"a\", 3]\n", "level.toml:2: camera.start muss eine Liste"},
        {"fog = 3\n", "level.toml:1: fog muss eine Tabelle sein"},
        {"tree = 3\n", "level.toml:1: tree muss eine Liste sein"},
        {"height_map = 5\n", "level.toml:1: height_map muss ein Text sein"},
        {"sky = [\"a\", \"b\"]\n", "level.toml:1: sky muss eine Liste aus 6"},
        {"[fog]\nmode = \"FAST\"\n", "level.toml:2: fog.mode \"FAST\" ist keiner von LIN, EXP, EXP2"},
        {"\n[[tree]]\nname = \"x\"\n", "level.toml:2: tree[0].file fehlt"},
        {"[[tree]]\nfile = \"\"\n", "level.toml:2: tree[0].file ist leer"},
        {"[[particles]]\nname = \"p\"\n", "particles[0].texture fehlt"},
        {"[[sound]]\n", "sound[0].path fehlt"},
        {"[[bind]]\nkey = \"K_W\"\n", "bind[0].command fehlt"},
        {"[noise]\npattern = \".ppm\"\n", "noise.pattern \".ppm\" braucht einen Namen"},
        {"height_map = \"a\\u0000b\"\n", "height_map darf kein NUL-Zeichen enthalten"},
    };
    for (const Case& c : cases) {
        ctx->messages.clear();
        EXPECT_EQ(load(c.text), 0) << c.text;
        EXPECT_TRUE(hasMessage(c.expect)) << "input:\n" << c.text << "\nmessages:\n" << messages();
    }
}

TEST_F(SpielTest, ValuesTheEngineCannotUseAreRefused)
{
    const char* const cases[] = {
        "[display]\nwidth = 0\n",
        "[display]\nheight = -480\n",
        "[display]\nmax_texture_size = 300\n",         // not a power of two
        "[display]\nmax_texture_size = 65536\n",       // does not fit 16 bits
        "[fog]\ncolor = [1.5, 0, 0]\n",
        "[fog]\nstart = nan\n",
        "[camera]\nstart = [inf, 0, 0]\n",
        "[[light]]\nradius = 0\n",                     // divides the distance
        "[[light]]\ncolor = [300, 0, 0]\n",
        "[[particles]]\ntexture = \"a.ppm\"\nrate = 0\n", // divides the emission step
        "[[particles]]\ntexture = \"a.ppm\"\nmax_count = 100000000\n",
        "[[sound]]\npath = \"a\"\nvolume = 101\n",
        "[[sound]]\npath = \"a\"\ntype = 5\n",
        "[[sound]]\npath = \"a\"\ninner_radius = 10\nouter_radius = 5\n",
        "[[tree]]\nfile = \"a.raw\"\nparent_index = 1\n",   // only one tree: index 1 would be read past the list
        "[[tree]]\nfile = \"a.raw\"\nparent = \"nobody\"\n",
        "[[person]]\nfile = \"a.md2\"\nparent_index = 0\n",  // persons follow trees; there are none
        "[[person]]\nfile = \"a.md2\"\nloop_start = 70000\n",
        "[[person]]\nfile = \"a.md2\"\nloop_start = 5\nloop_end = 2\n",
        "object_name_counter = -1\n",
    };
    for (const char* c : cases) {
        ctx->messages.clear();
        EXPECT_EQ(load(c), 0) << c;
        EXPECT_TRUE(hasMessage("level.toml:")) << c << messages();
    }
}

TEST_F(SpielTest, FailedLoadKeepsThePreviousLevel)
{
    ASSERT_EQ(load("[[tree]]\nfile = \"obj/fir.raw\"\n[fog]\nend = 77\n"), 1) << messages();
    const t_tree* table = ctx->lev.treeTable;
    ASSERT_EQ(load("[[tree]]\nfile = 5\n"), 0);
    EXPECT_EQ(ctx->lev.treeCount, 1u);
    EXPECT_EQ(ctx->lev.treeTable, table);
    EXPECT_STREQ(ctx->lev.treeTable[0].file, "obj/fir.raw");
    EXPECT_FLOAT_EQ(ctx->lev.fogEnd, 77.0f);
}

TEST_F(SpielTest, ReloadReplacesTablesAndKeepsQuitByte)
{
    ASSERT_EQ(load("[[tree]]\nfile = \"a.raw\"\n[[tree]]\nfile = \"b.raw\"\n"), 1);
    levSetQuit(&ctx->lev);
    ASSERT_EQ(load("[[tree]]\nfile = \"c.raw\"\n"), 1);
    EXPECT_EQ(ctx->lev.treeCount, 1u);
    EXPECT_STREQ(ctx->lev.treeTable[0].name, "c");
    EXPECT_TRUE(levQuitRequested(&ctx->lev));
}

TEST_F(SpielTest, UnknownKeysAreReportedNotFatal)
{
    ASSERT_EQ(load("colour_of_moon = \"blue\"\n[fog]\nstrat = 3\n"), 1);
    EXPECT_TRUE(hasMessage("level.toml:1: unbekannter Eintrag colour_of_moon")) << messages();
    EXPECT_TRUE(hasMessage("level.toml:3: unbekannter Eintrag fog.strat")) << messages();
}

TEST_F(SpielTest, LevelOnlyKeysInConfigAreReported)
{
    const std::string config = "height_map = \"x.ppm\"\n";
    ASSERT_EQ(load("", &config), 1);
    EXPECT_TRUE(hasMessage("config.cfg:1: unbekannter Eintrag height_map")) << messages();
    EXPECT_STREQ(ctx->lev.heightMapFile, "");
}

TEST_F(SpielTest, LongTextsAreCutAtTheFieldSize)
{
    // 300 bytes, with a two-byte UTF-8 letter straddling byte 255.
    std::string name(254, 'a');
    name += "\xc3\xa4";
    name += std::string(44, 'b');
    ASSERT_EQ(load("height_map = \"" + std::string(400, 'h') + "\"\n[[tree]]\nfile = \"x.raw\"\nname = \"" + name +
                   "\"\n"),
              1);
    const Lev& lev = ctx->lev;
    EXPECT_EQ(std::strlen(lev.heightMapFile), 255u);
    EXPECT_EQ(std::strlen(lev.treeTable[0].name), 254u);   // the split letter is dropped whole
    EXPECT_TRUE(hasMessage("height_map ist laenger als 255 Bytes")) << messages();
    EXPECT_TRUE(hasMessage("tree[0].name ist laenger als 255 Bytes")) << messages();
}

TEST_F(SpielTest, FogModeOfFourLettersFillsTheFieldExactly)
{
    ASSERT_EQ(load("[fog]\nmode = \"exp2\"\n"), 1);
    EXPECT_EQ(std::memcmp(ctx->lev.fogModeName, "EXP2", 4), 0);
    ASSERT_EQ(load("[fog]\nmode = \"exp\"\n"), 1);
    EXPECT_EQ(std::memcmp(ctx->lev.fogModeName, "EXP\0", 4), 0);
}

// Every prefix of a full level and single-byte corruptions of it: each load
// either succeeds or says why; none crashes or reads past the text (run
// under VEXT_SANITIZE to see over-reads).
TEST_F(SpielTest, TruncatedAndCorruptedLevelsFailCleanly)
{
    const std::string level = R"(height_map = "h.ppm"
sky = ["0", "1", "2", "3", "4", "5"]
[fog]
mode = "EXP"
color = [0.1, 0.2, 0.3, 1.0]
[[tree]]
name = "a"
file = "obj/a.raw"
position = [1.0, 2.0, 3.0]
[[tree]]
file = "obj/b.raw"
parent = "a"
[[person]]
file = "obj/p.md2"
loop_end = 10
[[light]]
color = [1, 2, 3]
[[sound]]
path = "s.8svx"
[[particles]]
texture = "t.ppm"
[noise]
pattern = "n/n.ppm"
[[bind]]
key = "K_W"
command = "cam_forward"
)";
    ASSERT_EQ(load(level), 1) << messages();
    for (size_t n = 0; n < level.size(); ++n) {
        ctx->messages.clear();
        if (load(level.substr(0, n)) == 0) {
            EXPECT_FALSE(ctx->messages.empty()) << "prefix " << n;
        }
    }
    const char junk[] = {'\0', '"', '[', ']', '=', '\n', '\xff', '-', 'x'};
    for (size_t i = 0; i < level.size(); i += 3) {
        for (char c : junk) {
            std::string bad = level;
            bad[i] = c;
            ctx->messages.clear();
            if (load(bad) == 0) {
                EXPECT_FALSE(ctx->messages.empty()) << "byte " << i;
            }
        }
    }
    // The record still holds a consistent level whatever failed last.
    ASSERT_EQ(load(level), 1);
    EXPECT_EQ(ctx->lev.treeCount, 2u);
}
