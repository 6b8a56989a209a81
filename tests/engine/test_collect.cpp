// Collecting a level's files (SaveGameFiles): which files, in which order,
// and a copy run that refuses names leading out of the target and goes on
// past files it cannot copy.
#include <cstring>
#include <memory>

#include "core/lev.h"
#include "editor/collect.h"
#include "image/texlist.h"
#include "support/guards.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(Collect, FileListOfALevelWithEveryKindOfObjectInOrder)
{
    WorkDir dir;
    for (const char* f : {"sky0.ppm", "sky1.ppm", "sky2.ppm", "sky3.ppm", "sky4.ppm", "gfx/n1.ppm", "gfx/n2.ppm",
                          "gfx/n4.ppm"}) {
        writeBytes(f, "x");   // sky5.ppm missing: the one-colour sky; n3 missing: two noise images
    }
    Lev lev{};
    lev.levelDirectory = const_cast<char*>("levels/t");
    lev.levelFile = const_cast<char*>("level.toml");
    for (int i = 0; i < 6; ++i) {
        std::snprintf(lev.skyFaceFiles[i], 256, "sky%d.ppm", i);
    }
    std::strcpy(lev.heightMapFile, "levels/t/h.ppm");
    SNoise noise{const_cast<char*>("gfx/n.ppm"), 0.0f, 0.1f, {1, 1, 1, 1}};
    lev.noiseParams = &noise;
    char partTex[1][256] = {"p/snow.tga"};
    char partFile[1][256] = {"p/snow.part"};
    lev.particleSystemCount = 1;
    lev.particleTextureFiles = partTex;
    lev.particleFiles = partFile;
    auto trees = std::make_unique<t_tree[]>(3);
    // ".tex" from the first dot, ".uvtex" for ".raw"; the second is the first again.
    const char* treeFiles[] = {"obj/b.v2.raw", "OBJ/B.V2.RAW", "obj/a.raw"};
    for (int i = 0; i < 3; ++i) {
        std::strcpy(trees[i].file, treeFiles[i]);
    }
    lev.treeTable = trees.get();
    lev.treeCount = 3;
    auto persons = std::make_unique<t_person[]>(1);
    std::strcpy(persons[0].file, "fig/w.md2");
    lev.personTable = persons.get();
    lev.personCount = 1;
    auto sounds = std::make_unique<LevSound[]>(2);
    std::strcpy(sounds[0].path, "snd/steps");
    sounds[0].type = 1;   // a footstep pair
    std::strcpy(sounds[1].path, "snd/m.aiff");
    lev.soundTable = sounds.get();
    lev.soundCount = 2;
    auto textures = std::make_unique<TextureList>();
    for (const char* f : {"obj/bark.ppm", "levels/t/h.ppm"}) {
        textures->textures[++textures->lastIndex].name = std::strcpy(new char[std::strlen(f) + 1], f);
    }

    std::string got;   // optional files end in "?"
    for (const t_gameFile& f : com_GameFileList(lev, *textures)) {
        got += f.path + (f.optional ? "? " : " ");
    }
    EXPECT_EQ(got, "levels/t/level.toml config.cfg gfx/conchars.ppm gfx/load.ppm gfx/gui/arrow.ppm "
                   "gfx/gui/window.ppm gfx/gui/button.ppm gfx/gui/border.ppm gfx/gui/borderl.ppm "
                   "gfx/gui/borderr.ppm gfx/gui/bordersel.ppm gfx/gui/borderlsel.ppm gfx/gui/borderrsel.ppm "
                   "obj/player/pilot/pilot.ppm obj/player/pilot/pilot.md2 sky0.ppm? sky1.ppm? sky2.ppm? "
                   "sky3.ppm? sky4.ppm? sky5.ppm? levels/t/stdbg.ppm levels/t/h.ppm gfx/n1.ppm gfx/n2.ppm "
                   "p/snow.tga p/snow.part obj/b.v2.raw obj/b.v2.snd? obj/b.v2.uvtex? obj/b.tex obj/a.raw "
                   "obj/a.snd? obj/a.uvtex? obj/a.tex fig/w.md2 fig/w.snd? fig/w.tex snd/steps/links.8svx "
                   "snd/steps/rechts.8svx snd/m.aiff obj/bark.ppm Gfx/texrender.ppm? ");
}

TEST(Collect, CopyRefusesNamesLeavingTheTargetAndGoesOnPastFailures)
{
    // Links planted in the target are sysFileCopy's (test_hostile_files.cpp).
    WorkDir dir;
    writeBytes("victim.txt", "keep");
    fs::create_directories("sub");
    ScopedCwd data("sub");   // the data directory; victim.txt lies beside it
    writeBytes("a.txt", "a");
    writeBytes("z.txt", "z");
    fs::create_directories("save");
    const std::vector<t_gameFile> files = {
        {"a.txt", false},       {"../victim.txt", false}, {fs::absolute("a.txt").string(), false},
        {"missing.txt", false}, {"gone.snd", true},       {"z.txt", false},
    };
    t_collectResult r;
    const std::string out = stdoutOf([&] { r = com_CopyGameFiles(files, "save"); });
    EXPECT_EQ(r.copied, 2u);
    EXPECT_EQ(r.failed, 3u);
    EXPECT_EQ(r.skipped, 1u);
    EXPECT_EQ(r.firstFailure, "../victim.txt");
    EXPECT_EQ(readBytes("save/a.txt"), "a");
    EXPECT_EQ(readBytes("save/z.txt"), "z");
    EXPECT_FALSE(fs::exists("victim.txt"));   // save/../victim.txt
    EXPECT_NE(out.find("SaveGameFiles: missing.txt fehlt - nicht kopiert"), std::string::npos) << out;
    EXPECT_EQ(out.find("gone.snd"), std::string::npos) << out;
    EXPECT_NE(out.find("2 Dateien nach save kopiert, 3 nicht kopiert"), std::string::npos) << out;
}

}  // namespace
