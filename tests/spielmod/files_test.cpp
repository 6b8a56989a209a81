// files_test.cpp — levels from the data directory (names, config.cfg,
// broken files) and writing a level back (saveInitFn).
#include <algorithm>
#include <cstring>
#include <memory>

#include "spielmod_fixture.h"

namespace {

const char* const kConfig = R"(
display = { width = 800 }
fog = { start = 4.0 }
bind = [{ key = "K_ESCAPE", command = "quit" }]
)";

const char* const kLevel = R"(mystery = { keep = "me", n = 3 }

[[tree]]
name = "fir1"
file = "obj/fir.raw"
note = "kept with fir1"

[[tree]]
name = "stone"
file = "obj/stone.raw"

[[tree]]
name = "hut"
file = "obj/hut.raw"
note = "kept with hut"

[[person]]
file = "obj/bob.md2"

[[particles]]
texture = "gfx/flake.ppm"
custom = 17
)";

struct Destroy {
    void operator()(SpielContext* c) const { spielDestroy(c); }
};
using Instance = std::unique_ptr<SpielContext, Destroy>;

class SpielFiles : public SpielTest {
protected:
    void SetUp() override
    {
        SpielTest::SetUp();
        ctx->dataRoot = dir.path;
    }
    // What a later start of the module reads from the saved files.
    Instance reload(const char* name)
    {
        Instance again(spielCreate());
        again->messageOut = nullptr;
        again->dataRoot = dir.path;
        EXPECT_EQ(spielLoadLevel(again.get(), name), 1) << dir.read(std::string("levels/") + name + "/level.toml");
        return again;
    }
    ScratchDir dir;
};

}  // namespace

TEST_F(SpielFiles, LoadsLevelByNameInAnyCaseWithConfig)
{
    dir.write("levels/Forest/level.toml", kLevel);
    ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1);
    EXPECT_EQ(ctx->lev.screenWidth, 640u);
    EXPECT_TRUE(hasMessage("config.cfg fehlt")) << messages();

    dir.write("config.cfg", kConfig);
    ASSERT_EQ(ctx->lev.levelLoader("fOREST", nullptr), 1) << messages();
    const Lev& lev = ctx->lev;
    // The names as they are on disk, so that later opens need no resolving.
    EXPECT_STREQ(lev.levelDirectory, "levels/Forest");
    EXPECT_STREQ(lev.levelFile, "level.toml");
    EXPECT_EQ(lev.screenWidth, 800u);
    EXPECT_FLOAT_EQ(lev.fogStart, 4.0f);
    EXPECT_EQ(lev.treeCount, 3u);
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

TEST_F(SpielFiles, BrokenFilesNameThemselves)
{
    struct Case {
        const char* config;
        std::string level;
        const char* expect;
    };
    const Case cases[] = {
        {"[display\n", "", "config.cfg:1:"},
        {"", "\n\n[[tree]]\nfile = true\n", "levels/t/level.toml:4: tree[0].file muss ein Text sein"},
        {"", std::string("\xff\xfe\x00\x01garbage", 11), "levels/t/level.toml:1:"},   // not UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expect);
        dir.write("config.cfg", c.config);
        dir.write("levels/t/level.toml", c.level);
        ctx->messages.clear();
        EXPECT_EQ(ctx->lev.levelLoader("t", nullptr), 0);
        EXPECT_TRUE(hasMessage(c.expect)) << messages();
    }
    // A directory where the level file should be.
    std::filesystem::create_directories(dir.path + "/levels/d/level.toml");
    EXPECT_EQ(ctx->lev.levelLoader("d", nullptr), 0);
    EXPECT_TRUE(hasMessage("levels/d/level.toml")) << messages();
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
    lev.camStartYaw = 270.0f;                      // cam_setpos
    lev.fogEnd = 66.0f;                            // +fog_end; the file never set it
    lev.particleOrigin[0][0] = 2.5f;
    ASSERT_EQ(lev.saveInitFn(0), 1) << messages();
    EXPECT_FALSE(std::filesystem::exists(dir.path + "/levels/forest/level.toml.tmp"));

    const Instance again = reload("forest");
    const Lev& b = again->lev;
    ASSERT_EQ(b.treeCount, 3u);
    EXPECT_EQ(b.treeTable[1].position[0], 0.1f);   // exactly the same float
    EXPECT_EQ(b.treeTable[1].rotation[1], 123.456f);
    EXPECT_EQ(b.personTable[0].rotationSpeed[1], 7.0f);
    EXPECT_EQ(b.camStartYaw, 270.0f);
    EXPECT_EQ(b.fogEnd, 66.0f);
    EXPECT_EQ(b.fogStart, 4.0f);                   // still the config's: not written
    EXPECT_EQ(b.particleOrigin[0][0], 2.5f);

    const std::string text = dir.read("levels/forest/level.toml");
    for (const char* kept : {"keep = \"me\"", "custom = 17", "kept with fir1", "0.1,"}) {   // 0.1, not 0.10000000149
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
    }
    // Settings the level never had, or had unchanged from config.cfg, stay out of it.
    EXPECT_EQ(text.find("start = 4"), std::string::npos) << text;
    EXPECT_EQ(text.find("[view]"), std::string::npos) << text;
    // Saving what was just read writes the same text.
    ASSERT_EQ(spielSave(again.get()), 1);
    EXPECT_EQ(dir.read("levels/forest/level.toml"), text);
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
    auto* grown = new t_tree[3];
    std::copy(lev.treeTable, lev.treeTable + 2, grown);
    grown[2] = grown[0];   // another fir, following fir1
    grown[2].treeRecFlag = -1;
    grown[2].parentIndex = 0;
    std::strcpy(grown[2].parentName, "fir1");
    std::strcpy(grown[2].name, "fir7");
    lev.treeTable = grown;
    lev.treeCount = 3;
    lev.objectNameCounter = 7;

    ASSERT_EQ(lev.saveInitFn(0), 1) << messages();
    const std::string text = dir.read("levels/forest/level.toml");
    EXPECT_EQ(text.find("stone"), std::string::npos) << text;
    EXPECT_NE(text.find("kept with hut"), std::string::npos) << text;   // follows hut to index 1
    {
        const Instance again = reload("forest");
        ASSERT_EQ(again->lev.treeCount, 3u);
        EXPECT_STREQ(again->lev.treeTable[1].name, "hut");
        EXPECT_STREQ(again->lev.treeTable[2].name, "fir7");
        EXPECT_EQ(again->lev.treeTable[2].parentIndex, 0);
        EXPECT_EQ(again->lev.objectNameCounter, 7u);
    }

    // The engine deletes everything.
    lev.treeCount = 0;
    lev.personCount = 0;
    ASSERT_EQ(lev.saveInitFn(0), 1) << messages();
    const Instance empty = reload("forest");
    EXPECT_EQ(empty->lev.treeCount + empty->lev.personCount, 0u);

    // The engine's table is the engine's: the module must not free it when
    // it ends (ASan would report a double free below otherwise).
    spielDestroy(ctx);
    ctx = nullptr;
    delete[] grown;
}

TEST_F(SpielFiles, FailedSaveLeavesTheOldFileIntact)
{
    EXPECT_EQ(ctx->lev.saveInitFn(0), 0);
    EXPECT_TRUE(hasMessage("kein Level geladen")) << messages();

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
    EXPECT_FALSE(std::filesystem::exists(dir.path + "/levels/forest/level.toml.tmp"));
}
