// files_test.cpp — levels from the data directory (names, config.cfg, the
// shipped demo data) and writing a level back (saveInitFn).
#include <cstring>
#include <sys/stat.h>

#include "spielmod_fixture.h"

namespace {

const char* const kConfig = R"(
[display]
width = 800
[fog]
start = 4.0
[[bind]]
key = "K_ESCAPE"
command = "quit"
)";

const char* const kLevel = R"(# a comment
mystery = { keep = "me", n = 3 }

[camera]
start = [1.0, 2.0, 3.0]

[[tree]]
name = "fir1"
file = "obj/fir.raw"
position = [1.0, 0.0, 1.0]
note = "kept with fir1"

[[tree]]
name = "stone"
file = "obj/stone.raw"
position = [2.0, 0.0, 2.0]
rotation = [0.0, 45.0, 0.0]

[[tree]]
name = "hut"
file = "obj/hut.raw"
position = [3.0, 0.0, 3.0]
note = "kept with hut"

[[person]]
name = "bob"
file = "obj/bob.md2"
position = [5.0, 0.0, 5.0]

[[particles]]
name = "snow"
texture = "gfx/flake.ppm"
origin = [0.0, 10.0, 0.0]
extent = [4.0, 8.0, 4.0]
custom = 17

[[bind]]
key = "K_1"
command = "map select"
)";

class SpielFiles : public SpielTest {
protected:
    void SetUp() override
    {
        SpielTest::SetUp();
        ctx->dataRoot = dir.path;
    }
    ScratchDir dir;
};

// Saves through the record's own service, as the engine does.
int saveLikeEngine(Lev& lev)
{
    return lev.saveInitFn(0);
}

}  // namespace

TEST_F(SpielFiles, LoadsLevelByNameInAnyCaseWithConfig)
{
    dir.write("config.cfg", kConfig);
    dir.write("levels/Forest/level.toml", kLevel);
    ASSERT_EQ(ctx->lev.levelLoader("fOREST", nullptr), 1) << messages();
    const Lev& lev = ctx->lev;
    // The names as they are on disk, so that later opens need no resolving.
    EXPECT_STREQ(lev.levelDirectory, "levels/Forest");
    EXPECT_STREQ(lev.levelFile, "level.toml");
    EXPECT_EQ(lev.screenWidth, 800u);
    EXPECT_FLOAT_EQ(lev.fogStart, 4.0f);
    EXPECT_EQ(lev.treeCount, 3u);
    EXPECT_EQ(lev.keyBindingCount, 1u);   // the level's list replaced the config's
    EXPECT_STREQ(lev.keyBindings[0].command, "map select");
}

TEST_F(SpielFiles, MissingLevelOrUnsafeNameReturnsZero)
{
    dir.write("levels/real/level.toml", "");
    EXPECT_EQ(ctx->lev.levelLoader("nothere", nullptr), 0);
    EXPECT_TRUE(hasMessage("Level nothere nicht gefunden (levels/nothere/level.toml fehlt)")) << messages();
    // Names that would reach outside levels/.
    dir.write("secret/level.toml", "");
    for (const char* name : {"../secret", "..", ".", "", "real/../../secret", "a\\b"}) {
        ctx->messages.clear();
        EXPECT_EQ(ctx->lev.levelLoader(name, nullptr), 0) << name;
        EXPECT_TRUE(hasMessage("ist nicht erlaubt")) << name << ": " << messages();
    }
    EXPECT_EQ(ctx->lev.levelLoader(nullptr, nullptr), 0);
    EXPECT_EQ(ctx->lev.levelLoader(std::string(5000, 'x').c_str(), nullptr), 0);
    EXPECT_EQ(ctx->lev.levelDirectory, nullptr);   // nothing was ever loaded
}

TEST_F(SpielFiles, MissingConfigUsesBuiltInDefaults)
{
    dir.write("levels/a/level.toml", "[fog]\nend = 12.0\n");
    ASSERT_EQ(ctx->lev.levelLoader("a", nullptr), 1);
    EXPECT_EQ(ctx->lev.screenWidth, 640u);
    EXPECT_FLOAT_EQ(ctx->lev.fogEnd, 12.0f);
    EXPECT_TRUE(hasMessage("config.cfg fehlt")) << messages();
}

TEST_F(SpielFiles, BrokenFilesNameThemselves)
{
    dir.write("config.cfg", "[display\n");
    dir.write("levels/a/level.toml", "");
    EXPECT_EQ(ctx->lev.levelLoader("a", nullptr), 0);
    EXPECT_TRUE(hasMessage("config.cfg:1:")) << messages();

    dir.write("config.cfg", "");
    dir.write("levels/b/level.toml", "\n\n[[tree]]\nfile = true\n");
    ctx->messages.clear();
    EXPECT_EQ(ctx->lev.levelLoader("b", nullptr), 0);
    EXPECT_TRUE(hasMessage("levels/b/level.toml:4: tree[0].file muss ein Text sein")) << messages();

    // Not valid UTF-8 / binary garbage.
    dir.write("levels/c/level.toml", std::string("\xff\xfe\x00\x01garbage", 11));
    ctx->messages.clear();
    EXPECT_EQ(ctx->lev.levelLoader("c", nullptr), 0);
    EXPECT_TRUE(hasMessage("levels/c/level.toml:1:")) << messages();

    // A directory where the level file should be.
    std::filesystem::create_directories(dir.path + "/levels/d/level.toml");
    ctx->messages.clear();
    EXPECT_EQ(ctx->lev.levelLoader("d", nullptr), 0);
    EXPECT_TRUE(hasMessage("levels/d/level.toml")) << messages();
}

TEST_F(SpielFiles, ShippedDemoDataLoadsCleanly)
{
    ctx->dataRoot = std::string(VEXT_SOURCE_DIR) + "/data";
    ASSERT_EQ(ctx->lev.levelLoader("select", nullptr), 1) << messages();
    const Lev& lev = ctx->lev;
    EXPECT_TRUE(ctx->messages.empty()) << messages();
    EXPECT_STREQ(lev.levelDirectory, "levels/select");
    EXPECT_STREQ(lev.heightMapFile, "levels/select/height.ppm");
    EXPECT_STREQ(lev.skyFaceFiles[5], "levels/select/sky5.ppm");
    EXPECT_EQ(lev.treeCount, 0u);
    EXPECT_EQ(lev.personCount, 0u);
    EXPECT_EQ(lev.particleSystemCount, 0u);
    EXPECT_EQ(lev.soundCount, 0u);
    EXPECT_EQ(lev.lightCount, 2u);
    EXPECT_EQ(lev.screenWidth, 640u);
    EXPECT_EQ(lev.screenHeight, 480u);
    EXPECT_EQ(lev.maxTextureSize, 256);
    // quit on escape, and both map keys, whatever else is bound.
    bool quit = false, toSecond = false, toSelect = false;
    for (uint32_t i = 0; i < lev.keyBindingCount; ++i) {
        const std::string key = lev.keyBindings[i].key, command = lev.keyBindings[i].command;
        quit = quit || (key == "K_ESCAPE" && command == "quit");
        toSecond = toSecond || command == "map second";
        toSelect = toSelect || command == "map select";
    }
    EXPECT_TRUE(quit && toSecond && toSelect);

    ASSERT_EQ(ctx->lev.levelLoader("SECOND", nullptr), 1) << messages();
    EXPECT_TRUE(ctx->messages.empty()) << messages();
    EXPECT_STREQ(lev.skyFaceFiles[0], "");   // the one-colour fallback
    EXPECT_EQ(std::memcmp(lev.fogModeName, "EXP2", 4), 0);
}

TEST_F(SpielFiles, SaveRoundTripKeepsWhatTheEngineDidNotEdit)
{
    dir.write("config.cfg", kConfig);
    dir.write("levels/forest/level.toml", kLevel);
    ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1) << messages();
    Lev& lev = ctx->lev;
    lev.treeTable[1].position[0] = 0.1f;           // editor moves and turns the stone
    lev.treeTable[1].rotation[1] = 123.456f;
    lev.personTable[0].rotationSpeed[1] = 7.0f;
    lev.camStartPos[2] = -9.5f;                    // cam_setpos
    lev.camStartYaw = 270.0f;
    lev.fogEnd = 66.0f;                            // +fog_end; the file never set it
    lev.particleOrigin[0][0] = 2.5f;
    lev.particleExtent[0][2] = 6.25f;
    ASSERT_EQ(saveLikeEngine(lev), 1) << messages();
    EXPECT_FALSE(dir.exists("levels/forest/level.toml.tmp"));

    SpielContext* again = spielCreate();
    again->messageOut = nullptr;
    again->dataRoot = dir.path;
    ASSERT_EQ(spielLoadLevel(again, "forest"), 1) << dir.read("levels/forest/level.toml");
    const Lev& b = again->lev;
    ASSERT_EQ(b.treeCount, 3u);
    EXPECT_EQ(b.treeTable[1].position[0], 0.1f);   // exactly the same float
    EXPECT_EQ(b.treeTable[1].rotation[1], 123.456f);
    EXPECT_EQ(b.personTable[0].rotationSpeed[1], 7.0f);
    EXPECT_EQ(b.camStartPos[2], -9.5f);
    EXPECT_EQ(b.camStartYaw, 270.0f);
    EXPECT_EQ(b.fogEnd, 66.0f);
    EXPECT_EQ(b.fogStart, 4.0f);                   // still the config's: not written
    EXPECT_EQ(b.screenWidth, 800u);
    EXPECT_EQ(b.particleOrigin[0][0], 2.5f);
    EXPECT_EQ(b.particleExtent[0][2], 6.25f);
    EXPECT_EQ(b.keyBindingCount, 1u);
    spielDestroy(again);

    const std::string text = dir.read("levels/forest/level.toml");
    EXPECT_NE(text.find("keep = \"me\""), std::string::npos) << text;
    EXPECT_NE(text.find("custom = 17"), std::string::npos) << text;
    EXPECT_NE(text.find("kept with fir1"), std::string::npos) << text;
    EXPECT_NE(text.find("0.1,"), std::string::npos) << text;   // shortest form, not 0.10000000149
    EXPECT_EQ(text.find("start = 4"), std::string::npos) << text;
}

TEST_F(SpielFiles, SaveFollowsTablesTheEngineReplacedAndShrank)
{
    dir.write("levels/forest/level.toml", kLevel);
    ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1) << messages();
    Lev& lev = ctx->lev;

    // The engine deletes "stone": callbacks first, then the table rewritten
    // in place and the count lowered.
    lev.onObjectDelete(0);
    lev.onObjectCountChange(0, 2);
    lev.treeTable[1] = lev.treeTable[2];
    lev.treeCount = 2;
    EXPECT_EQ(ctx->deletions[0], 1u);
    EXPECT_EQ(ctx->announcedCount[0], 2u);

    // Then it adds a tree: a new table of its own, the old one left alone.
    auto* grown = new t_tree[3]();
    std::memcpy(grown, lev.treeTable, 2 * sizeof(t_tree));
    grown[2].treeRecFlag = -1;
    grown[2].parentIndex = 0;
    grown[2].soundIndex = -1;
    std::strcpy(grown[2].parentName, "fir1");
    std::strcpy(grown[2].name, "fir7");
    std::strcpy(grown[2].file, "obj/fir.raw");
    grown[2].position[1] = 4.0f;
    lev.treeTable = grown;
    lev.treeCount = 3;
    lev.objectNameCounter = 7;

    ASSERT_EQ(lev.saveInitFn(0), 1) << messages();
    const std::string text = dir.read("levels/forest/level.toml");
    EXPECT_EQ(text.find("stone"), std::string::npos) << text;
    EXPECT_NE(text.find("kept with hut"), std::string::npos) << text;   // follows hut to index 1
    EXPECT_NE(text.find("kept with fir1"), std::string::npos) << text;

    SpielContext* again = spielCreate();
    again->messageOut = nullptr;
    again->dataRoot = dir.path;
    ASSERT_EQ(spielLoadLevel(again, "forest"), 1) << text;
    ASSERT_EQ(again->lev.treeCount, 3u);
    EXPECT_STREQ(again->lev.treeTable[0].name, "fir1");
    EXPECT_STREQ(again->lev.treeTable[1].name, "hut");
    EXPECT_STREQ(again->lev.treeTable[2].name, "fir7");
    EXPECT_EQ(again->lev.treeTable[2].parentIndex, 0);
    EXPECT_FLOAT_EQ(again->lev.treeTable[2].position[1], 4.0f);
    EXPECT_EQ(again->lev.objectNameCounter, 7u);
    spielDestroy(again);

    // The engine's table is the engine's: the module must not free it when
    // it ends (ASan would report a double free below otherwise).
    spielDestroy(ctx);
    ctx = nullptr;
    delete[] grown;
}

TEST_F(SpielFiles, SaveAfterDeletingEverything)
{
    dir.write("levels/forest/level.toml", kLevel);
    ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1);
    ctx->lev.treeCount = 0;
    ctx->lev.personCount = 0;
    ASSERT_EQ(ctx->lev.saveInitFn(0), 1) << messages();
    SpielContext* again = spielCreate();
    again->messageOut = nullptr;
    again->dataRoot = dir.path;
    ASSERT_EQ(spielLoadLevel(again, "forest"), 1);
    EXPECT_EQ(again->lev.treeCount, 0u);
    EXPECT_EQ(again->lev.personCount, 0u);
    spielDestroy(again);
}

TEST_F(SpielFiles, FailedSaveLeavesTheOldFileIntact)
{
    dir.write("levels/forest/level.toml", kLevel);
    ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1);
    ctx->lev.camStartPos[0] = 42.0f;
    // Something in the way of the temporary file.
    std::filesystem::create_directories(dir.path + "/levels/forest/level.toml.tmp");
    EXPECT_EQ(ctx->lev.saveInitFn(0), 0);
    EXPECT_EQ(dir.read("levels/forest/level.toml"), kLevel);
    EXPECT_TRUE(hasMessage("level.toml.tmp: kann nicht angelegt werden")) << messages();

    // A record whose table vanished is refused, not dereferenced.
    std::filesystem::remove(dir.path + "/levels/forest/level.toml.tmp");
    ctx->lev.treeTable = nullptr;
    EXPECT_EQ(ctx->lev.saveInitFn(0), 0);
    EXPECT_EQ(dir.read("levels/forest/level.toml"), kLevel);
    EXPECT_FALSE(dir.exists("levels/forest/level.toml.tmp"));
}

TEST_F(SpielFiles, SaveWithoutLevelFails)
{
    EXPECT_EQ(ctx->lev.saveInitFn(0), 0);
    EXPECT_TRUE(hasMessage("kein Level geladen")) << messages();
}

TEST_F(SpielFiles, SaveOfUnchangedLevelIsStable)
{
    dir.write("levels/forest/level.toml", kLevel);
    ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1);
    ASSERT_EQ(ctx->lev.saveInitFn(0), 1);
    const std::string first = dir.read("levels/forest/level.toml");
    ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1);
    ASSERT_EQ(ctx->lev.saveInitFn(0), 1);
    EXPECT_EQ(dir.read("levels/forest/level.toml"), first);
    // Settings the level never had stay out of it.
    EXPECT_EQ(first.find("[fog]"), std::string::npos) << first;
}
