// files_test.cpp — levels from the data directory (names, config.cfg,
// broken files) and writing a level back (saveInitFn).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "spielmod/levelstore.h"
#include "spielmod_fixture.h"

namespace {

const char* const kConfig = R"(
display = { width = 800 }
fog = { start = 4.0 }
bind = [{ key = "K_ESCAPE", command = "quit" }]
)";

// Hand-written, with comments and spellings a save must keep.
const char* const kLevel = R"(# forest: comments survive a save
mystery = { keep = "me", n = 3 }
fog = { mode = "lin", start = 2.50 }   # inline on purpose

# the first fir
[[tree]]
name = "fir1"
file = "obj/fir.raw"
note = "kept with fir1"

# a stone on the hill
[[tree]]
name = "stone"
file = "obj/stone.raw"
position = [0.0, 2.0, 0.5]   # units

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
    EXPECT_TRUE(hasMessage("config.cfg fehlt")) << messages();

    dir.write("config.cfg", kConfig);
    ASSERT_EQ(ctx->lev.levelLoader("fOREST", nullptr), 1) << messages();
    const Lev& lev = ctx->lev;
    // The names as they are on disk, so that later opens need no resolving.
    EXPECT_STREQ(lev.levelDirectory, "levels/Forest");
    EXPECT_STREQ(lev.levelFile, "level.toml");
    EXPECT_EQ(lev.screenWidth, 800u);   // which wins where both say is parse_test's
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
    EXPECT_EQ(ctx->lev.levelLoader("\xfc/x", nullptr), 0);   // Latin-1: printed as UTF-8 all the same
    EXPECT_TRUE(hasMessage("Levelname \"?/x\"")) << messages();
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
    // A FIFO (which would block a plain open) where a file should be; other
    // kinds of file are the file layer's (platform/test_files.cpp).
    dir.write("config.cfg", "");
    dir.write("levels/f/readme", "");
    ASSERT_EQ(mkfifo((dir.path + "/levels/f/level.toml").c_str(), 0644), 0);
    EXPECT_EQ(ctx->lev.levelLoader("f", nullptr), 0);
    std::filesystem::remove(dir.path + "/config.cfg");
    ASSERT_EQ(mkfifo((dir.path + "/config.cfg").c_str(), 0644), 0);
    EXPECT_EQ(ctx->lev.levelLoader("t", nullptr), 0);
    for (const char* file : {"levels/f/level.toml", "config.cfg"}) {
        EXPECT_TRUE(hasMessage(std::string(file) + ": keine normale Datei")) << messages();
    }
}

// Each edit changes the file only where the record differs from it.
TEST_F(SpielFiles, SaveEditsTheFileInPlace)
{
    struct Case {
        const char* what;
        void (*edit)(Lev&);
        std::vector<std::pair<std::string, std::string>> changes;   // text before -> after
    };
    const Case cases[] = {
        {"nothing", [](Lev&) {}, {}},
        {"one number, and a key the entry lacks",
         [](Lev& l) {
             l.treeTable[1].position[0] = 0.1f;   // written as 0.1, not 0.100000001
             l.particleOrigin[0][0] = 2.5f;
         },
         {{"[0.0, 2.0, 0.5]", "[0.1, 2.0, 0.5]"}, {"custom = 17", "custom = 17\norigin = [2.5, 0.0, 0.0]"}}},
        {"fog mode, and a setting only config.cfg had",
         [](Lev& l) {
             std::memcpy(l.fogModeName, "EXP2", 4);
             l.fogEnd = 66.0f;
         },
         {{"\"lin\", start = 2.50 }", "\"EXP2\", start = 2.50, end = 66.0 }"}}},
        {"a deleted tree, and a top-level key",
         [](Lev& l) {
             l.treeTable[1] = l.treeTable[2];
             l.treeCount = 2;
             l.objectNameCounter = 7;
         },
         {{"\n# a stone on the hill\n[[tree]]\nname = \"stone\"\nfile = \"obj/stone.raw\"\n"
           "position = [0.0, 2.0, 0.5]   # units\n",
           ""},
          {"# inline on purpose", "# inline on purpose\nobject_name_counter = 7"}}},
        {"a section the file lacks",
         [](Lev& l) { l.camStartYaw = -90.0f; },
         {{"custom = 17\n", "custom = 17\n\n[camera]\nyaw = -90.0\n"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir.write("levels/forest/level.toml", kLevel);
        ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1) << messages();
        c.edit(ctx->lev);
        ASSERT_EQ(ctx->lev.saveInitFn(0), 1) << messages();
        std::string expect = kLevel;
        for (const auto& [from, to] : c.changes) {
            const size_t at = expect.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            expect.replace(at, from.size(), to);
        }
        EXPECT_EQ(dir.read("levels/forest/level.toml"), expect);
        // Saving again what was just saved changes nothing.
        ASSERT_EQ(ctx->lev.saveInitFn(0), 1) << messages();
        EXPECT_EQ(dir.read("levels/forest/level.toml"), expect);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path + "/levels/forest"),
                            std::filesystem::directory_iterator()),
              1);   // no temporary file left
}

TEST_F(SpielFiles, SaveFollowsTablesTheEngineReplacedAndShrank)
{
    dir.write("levels/forest/level.toml", kLevel);
    ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1) << messages();
    Lev& lev = ctx->lev;

    // The engine deletes "stone": the table rewritten in place, the count lowered.
    lev.treeTable[1] = lev.treeTable[2];
    lev.treeCount = 2;

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

TEST_F(SpielFiles, SaveNeverWritesThroughLinksOrOutsideTheDataFolder)
{
    EXPECT_EQ(ctx->lev.saveInitFn(0), 0);
    EXPECT_TRUE(hasMessage("kein Level geladen")) << messages();

    ScratchDir outside;
    outside.write("victim.toml", "precious");
    outside.write("levels/x/level.toml", kLevel);
    const std::string lvl = dir.path + "/levels/forest/level.toml";
    struct Case {
        const char* what;
        void (*prepare)(const std::string& level, const std::string& victim, const std::string& away);
        bool saved;
    };
    const Case cases[] = {
        {"links at temporary names are not followed",
         [](const std::string& level, const std::string& victim, const std::string&) {
             // The names the save tries first.
             const std::string pid = std::to_string(getpid());
             for (const std::string& suffix : {std::string(".tmp"), ".tmp" + pid + "-0", ".tmp" + pid + "-1"}) {
                 std::filesystem::create_symlink(victim, level + suffix);
             }
         },
         true},
        {"level file linked outside",
         [](const std::string& level, const std::string&, const std::string& away) {
             std::filesystem::remove(level);
             std::filesystem::create_symlink(away + "/levels/x/level.toml", level);
         },
         false},
        {"level folder linked outside",
         [](const std::string& level, const std::string&, const std::string& away) {
             std::filesystem::remove_all(std::filesystem::path(level).parent_path());
             std::filesystem::create_directory_symlink(away + "/levels/x", std::filesystem::path(level).parent_path());
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir.path + "/levels");
        dir.write("levels/forest/level.toml", kLevel);
        ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1) << messages();
        c.prepare(lvl, outside.path + "/victim.toml", outside.path);
        ctx->lev.camStartYaw = 12.0f;
        EXPECT_EQ(ctx->lev.saveInitFn(0), c.saved ? 1 : 0) << messages();
        EXPECT_EQ(outside.read("victim.toml"), "precious");
        EXPECT_EQ(outside.read("levels/x/level.toml"), kLevel);
        EXPECT_EQ(dir.read("levels/forest/level.toml").find("yaw = 12.0") != std::string::npos, c.saved);
    }
    EXPECT_TRUE(hasMessage("keine normale Datei im Datenverzeichnis; Level nicht gespeichert")) << messages();

    // A record whose table vanished is refused, not dereferenced.
    std::filesystem::remove_all(dir.path + "/levels");
    dir.write("levels/forest/level.toml", kLevel);
    ASSERT_EQ(ctx->lev.levelLoader("forest", nullptr), 1);
    ctx->lev.treeTable = nullptr;
    EXPECT_EQ(ctx->lev.saveInitFn(0), 0);
    EXPECT_EQ(dir.read("levels/forest/level.toml"), kLevel);
}

// A byte-order mark shifts no position; CRLF files get CRLF lines; a key
// added to the last table stays in it when sections are appended after it.
TEST_F(SpielTest, InPlaceEditKeepsByteOrderMarkLineEndsAndTheLastTable)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\xEF\xBB\xBF" "fog = { start = 1.0 }   # c\r\n",
         "\xEF\xBB\xBF" "fog = { start = 2.0 }   # c\r\nobject_name_counter = 3\r\n\r\n[camera]\r\nyaw = 5.0\r\n"},
        {"[fog]\nend = 9", "object_name_counter = 3\n[fog]\nend = 9\nstart = 2.0\n\n[camera]\nyaw = 5.0\n"},
    };
    for (const auto& [level, expect] : cases) {
        ASSERT_EQ(load(level), 1) << messages();
        ctx->lev.fogStart = 2.0f;
        ctx->lev.camStartYaw = 5.0f;
        ctx->lev.objectNameCounter = 3;
        std::string text;
        ASSERT_TRUE(saveText(*ctx, text));
        EXPECT_EQ(text, expect);
    }
}
