// The texture table: the definition-file grammar, the definition-file cache,
// adding textures and initTex over a level's trees and persons, including
// its fatal exits.

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <tuple>

#include "core/engine.h"
#include "core/lev.h"
#include "image/texlist.h"
#include "support/guards.h"
#include "support/image_files.h"

namespace {

// ---------------------------------------------------------------- grammar

// An entry as "name file scaleU,scaleV" and the settings that differ from the defaults.
std::string describe(const t_texdef& d)
{
    std::ostringstream s;
    s << d.name << " " << d.file << " " << d.scaleU << "," << d.scaleV;
    if (d.offsetU != 0 || d.offsetV != 0) {
        s << " offset=" << d.offsetU << "," << d.offsetV;
    }
    s << (d.texmode != 0 ? " texmode=" + std::to_string(d.texmode) : "") << (d.envmode ? " envmode" : "")
      << (d.quads ? " quads" : "") << (d.noclip ? " noclip" : "") << (d.nozbuf ? " nozbuf" : "")
      << (d.blend != 100 ? " blend=" + std::to_string(d.blend) : "")
      << (d.blendmode != 0 ? " blendmode=" + std::to_string(d.blendmode) : "");
    if (d.emissive.r != 0 || d.emissive.g != 0 || d.emissive.b != 0) {
        s << " rgb=" << d.emissive.r << "," << d.emissive.g << "," << d.emissive.b;
    }
    return s.str();
}

// Row i of the texture table, described the same way (file: the image's name).
std::string describe(const TextureList& list, int i)
{
    t_texdef d{};
    std::snprintf(d.name, sizeof d.name, "%s", list.names[i]);
    std::snprintf(d.file, sizeof d.file, "%s", list.textures[i].name);
    d.scaleU = list.scaleU[i];
    d.scaleV = list.scaleV[i];
    d.offsetU = list.offsetU[i];
    d.offsetV = list.offsetV[i];
    d.texmode = list.texmode[i];
    d.envmode = list.envmode[i];
    d.quads = list.quads[i];
    d.blend = list.blend[i];
    d.blendmode = list.blendmode[i];
    d.noclip = list.noclip[i];
    d.nozbuf = list.nozbuf[i];
    d.emissive = list.emissive[i];
    return describe(d);
}

// The entries of a definition file joined by " | ", then what the person's
// record receives, and what the parser printed.
std::pair<std::string, std::string> parse(const std::string& text, bool person, size_t size)
{
    std::vector<std::string> defs;
    t_texmodel model{};
    testing::internal::CaptureStdout();
    const int count = parseTexDefs(text.data(), size, person, "obj/test.tex",
        [](const t_texdef& def, void* user) { static_cast<std::vector<std::string>*>(user)->push_back(describe(def)); },
        &defs, &model);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(count, static_cast<int>(defs.size()));
    std::ostringstream s;
    for (const std::string& def : defs) {
        s << (s.tellp() > 0 ? " | " : "") << def;
    }
    if (model.hasStartFrame || model.hasEndFrame || model.hasAnimSpeed) {
        s << " | model " << model.startFrame << " to " << model.endFrame << " speed " << model.animSpeed;
    }
    return {s.str(), out};
}

std::string missing(const char* entry, const char* keyword)
{
    return std::string("TexturModul: Zahl fehlt in obj/test.tex bei Textur ") + entry + " (" + keyword + ")\n";
}

std::string noFile(const char* entry)
{
    return std::string("TexturModul: Dateiname fehlt in obj/test.tex bei Textur ") + entry + "\n";
}

std::string tooLong(int length, char letter)
{
    return "TexturModul: Wort in obj/test.tex zu lang (" + std::to_string(length) + " Zeichen), gekürzt auf " +
           std::to_string(kTexWordMax) + ": " + std::string(40, letter) + "...\n";
}

TEST(TexDefGrammar, EntriesKeywordsAndTheirCornerCases)
{
    const struct { std::string text; bool person; std::string entries, out; } cases[] = {
        {"water w.tga 0.5 -2 ENVMODE Quads noclip TexMode 3 offset 0.25 -0.75 emissiveRGB 255 0 51 BlendMode 4", false,
         "water w.tga 0.5,-2 offset=0.25,-0.75 texmode=3 envmode quads noclip blendmode=4 rgb=1,0,0.2", ""},
        // An unknown word ends the entry and names the next; so does a
        // keyword glued to its number, and a person keyword in a tree file.
        {"bark bark.ppm 1 1 shiny leaves.ppm 2 2 blend 10", false,
         "bark bark.ppm 1,1 | shiny leaves.ppm 2,2 blend=10", ""},
        {"a a.ppm 1 1 blend50 b.ppm 1 1", false, "a a.ppm 1,1 | blend50 b.ppm 1,1", ""},
        // Persons: no scale pair, "quads" has no effect, "nozbuf" is no keyword;
        // the frame numbers are 16-bit fields.
        {"skin skin.ppm startframe 3 endframe 40 animspeed 1.5 quads blend 70 nozbuf other.ppm texmode 2", true,
         "skin skin.ppm 0,0 blend=70 | nozbuf other.ppm 0,0 texmode=2 | model 3 to 40 speed 1.5", ""},
        {"s s.ppm startframe 65537 endframe -1", true, "s s.ppm 0,0 | model 1 to 65535 speed 0", ""},
        // Comments run to the end of the line; an entry goes on across them.
        {"# trees of the north\r\nbark bark.ppm 1 1 # the trunk\r\n   blend 50 #nozbuf\r\n#leaves leaves.ppm 1 1\r\n"
         "moss moss.ppm 3 3",
         false, "bark bark.ppm 1,1 blend=50 | moss moss.ppm 3,3", ""},
        // A missing number keeps the default and says where; the word that is
        // no number is not swallowed.
        {"a a.ppm 1 1 blend leaves leaves.ppm 2 2", false, "a a.ppm 1,1 | leaves leaves.ppm 2,2", missing("a", "blend")},
        // The word that failed as scaleV is read as the keyword it is.
        {"a a.ppm 7 emissiveRGB 255 x.ppm", false, "a a.ppm 7,1 rgb=1,0,0",
         missing("a", "scaleV") + missing("a", "emissiveRGB") + noFile("x.ppm")},
        // An entry without a file is dropped.
        {"a a.ppm 1 1 lonely", false, "a a.ppm 1,1", noFile("lonely")},
        // A name or file made only of NUL bytes is refused, the entry skipped.
        {std::string("a \0\0 1 1 blend 5 b b.ppm 2 2", 28), false, "b b.ppm 2,2",
         "TexturModul: Dateiname aus Nullbytes in obj/test.tex bei Textur a - Eintrag übersprungen\n"},
        // Overlong words are cut with a warning.
        {std::string(300, 'n') + " " + std::string(400, 'f') + " 1 1 blend 20", false,
         std::string(kTexWordMax, 'n') + " " + std::string(kTexWordMax, 'f') + " 1,1 blend=20",
         tooLong(300, 'n') + tooLong(400, 'f')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        EXPECT_EQ(parse(c.text, c.person, c.text.size()), std::make_pair(c.entries, c.out));
    }
    // Only the bytes given are read.
    EXPECT_EQ(parse("a a.ppm 1 1 blend 50", false, 19).first, "a a.ppm 1,1 blend=5");
}

TEST(TexDefFileName, ExtensionFromTheFirstDotOfTheFileNameIsReplaced)
{
    const std::pair<std::string, std::string> cases[] = {
        {"obj/fir.raw", "obj/fir.tex"}, {"obj/fir.v2.md2", "obj/fir.tex"}, {"obj/fir", "obj/fir.tex"},
        {"./obj/t.raw", "./obj/t.tex"}, {"obj.v2/t.raw", "obj.v2/t.tex"},
        {std::string(300, 'x'), std::string(kTexWordMax, 'x') + ".tex"},
    };
    char out[300];
    for (const auto& [model, tex] : cases) {
        texFileName(model.c_str(), out, sizeof out);
        EXPECT_EQ(out, tex);
    }
    char tiny[6];
    texFileName("abc.raw", tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "abc.t");
}

TEST(TexFileCache, RemembersExactSpellingAndStartsOverWhenFull)
{
    auto list = std::make_unique<TextureList>();
    list->SetTexFile("obj/fir.tex");
    EXPECT_FALSE(list->ExistTexFile("OBJ/FIR.tex"));
    EXPECT_FALSE(list->ExistTexFile(nullptr));
    for (int i = 1; i < kTexFileCacheSize; i++) {
        list->SetTexFile(("f" + std::to_string(i)).c_str());
    }
    EXPECT_EQ(stdoutOf([&] { list->SetTexFile("newest"); }), "Texfilecache überlastet ... versuche ihn zu leeren\n");
    EXPECT_EQ(list->texFileCount, 1);
    EXPECT_TRUE(list->ExistTexFile("newest"));
}

// ---------------------------------------------------------------- fatal exits

// closeEngine ends the process: each case runs in a fresh child with stdout
// sent to stderr so the message can be matched.  The child's engine object is
// not the test's (closeEngine deletes it), hence Engine = nullptr.
TEST(TexListFatal, FullTableAndMissingDefinitionFilesEndTheEngine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    WorkDir dir;
    auto inChild = [&dir](Lev* lev) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        dir.removeAtExit();
        Engine = nullptr;
        Level = lev;
        return std::make_unique<TextureList>();
    };
    auto add = [](TextureList& list, const std::string& name) {  // not an image type: no GL texture needed
        list.loadTexture(name.c_str(), "x.dat", 1, 1, 0, 0, 0, false, false, 100, 0, false, false,
                         t_rgb{0.0f, 0.0f, 0.0f}, GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    };
    EXPECT_EXIT(
        {
            auto list = inChild(nullptr);
            for (int i = 0; i < kMaxTextures; i++) {
                add(*list, "t" + std::to_string(i));
            }
            add(*list, "T5");  // a known name: no growth, no exit
            if (list->lastIndex == kMaxTextures - 1) {
                add(*list, "one-more");
            }
            std::_Exit(98);
        },
        testing::ExitedWithCode(KRT_FATAL), "TexturModul: zu wenig Texturbuffer tritt den Programmierer in den Arsch\n");

    writeBytes("obj/fir.tex", "");
    std::vector<t_tree> trees(2);
    std::strcpy(trees[0].file, "obj/fir.raw");
    std::strcpy(trees[1].file, "obj/none.raw");
    std::vector<t_person> persons(1);
    std::strcpy(persons[0].file, "obj/ghost.md2");
    Lev lev{};
    lev.treeTable = trees.data();
    lev.treeCount = 2;
    EXPECT_EXIT(inChild(&lev)->initTex(), testing::ExitedWithCode(KRT_FILE),
                "TexturModul: TexturInitDatei obj/none.tex nicht vorhanden\n");
    lev.treeCount = 1;
    lev.personTable = persons.data();
    lev.personCount = 1;
    EXPECT_EXIT(inChild(&lev)->initTex(), testing::ExitedWithCode(KRT_FILE),
                "TexturModul: TexturInitDatei obj/ghost.tex nicht vorhanden\n");
}

// ---------------------------------------------------------------- with GL

class TexListGL : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        textureSetMaxSize(256);
        Level = nullptr;
    }
    void TearDown() override
    {
        for (int i = 0; i <= list_->lastIndex; i++) {
            list_->textures[i].freeTexture();
        }
        textureSetMaxSize(0);
    }

    static bool hasAlpha(GLuint id)
    {
        glBindTexture(GL_TEXTURE_2D, id);
        GLint alpha = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
        return alpha > 0;
    }
    // A PPM with one black (key colour) pixel.
    static void keyedImage(const char* path)
    {
        writePPM(path, 4, 4, [](int x, int y) { return x + y == 0 ? Rgb{0, 0, 0} : Rgb{9, 9, 9}; });
    }

    GlobalsGuard saved_{Level, texrender};
    WorkDir dir_;
    std::unique_ptr<TextureList> list_ = std::make_unique<TextureList>();
};

TEST_F(TexListGL, InitTexReadsTreeFilesOncePersonFilesEveryTimeAndMakesTexrender)
{
    std::vector<t_tree> trees(3);
    std::strcpy(trees[0].file, "obj/fir.raw");
    std::strcpy(trees[1].file, "obj/fir.raw");
    std::strcpy(trees[2].file, "OBJ/OAK.RAW");  // files are found without regard to case
    std::vector<t_person> persons(1);
    std::strcpy(persons[0].file, "obj/pilot.md2");
    Lev lev{};
    lev.treeTable = trees.data();
    lev.treeCount = 3;
    lev.personTable = persons.data();
    lev.personCount = 1;
    Level = &lev;
    writeBytes("obj/fir.tex", "bark bark.ppm 1 1 blend 50 nozbuf\nleaves leaves.ppm 2 2 blendmode 1\n");
    writeBytes("obj/oak.tex", "BARK other.ppm 1 1\noakleaf leaf.tga 0.5 0.5 texmode 2 offset 0.25 0.75 envmode quads "
                              "noclip emissiveRGB 255 0 51\n");
    writeBytes("obj/pilot.tex", "pilotskin pilot.ppm startframe 3 endframe 9 animspeed 1.5\n");
    keyedImage("bark.ppm");
    keyedImage("leaves.ppm");
    writeSolidPPM("pilot.ppm", 8, 8, {5, 5, 5});
    writeSolidTGA("leaf.tga", 4, 4, {0, 200, 0}, 128);

    list_->initTex();
    ASSERT_EQ(list_->lastIndex, 3);
    // BARK of oak.tex is skipped; the person's skin has no scale pair.
    const char* rows[] = {"bark bark.ppm 1,1 nozbuf blend=50", "leaves leaves.ppm 2,2 blendmode=1",
                          "oakleaf leaf.tga 0.5,0.5 offset=0.25,0.75 texmode=2 envmode quads noclip rgb=1,0,0.2",
                          "pilotskin pilot.ppm 0,0"};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(describe(*list_, i), rows[i]);
    }
    EXPECT_TRUE(hasAlpha(list_->glIds[0]));   // keyed
    EXPECT_FALSE(hasAlpha(list_->glIds[1]));  // blend mode 1: no key
    const auto person = [&] {
        return std::tuple(std::string(persons[0].skin), persons[0].loopStart, persons[0].loopEnd);
    };
    EXPECT_EQ(person(), std::tuple("pilotskin", 3, 9));
    EXPECT_EQ(persons[0].animSpeed, 1.5f);
    EXPECT_EQ(list_->texFileCount, 2);  // fir.tex once for two firs
    EXPECT_TRUE(list_->ExistTexFile("obj/fir.tex") && list_->ExistTexFile("OBJ/OAK.tex"));

    writeBytes("obj/fir.tex", "newbark bark.ppm 1 1\n");
    writeBytes("obj/pilot.tex", "newskin pilot.ppm endframe 12\n");
    list_->initTex();
    EXPECT_EQ(list_->findTexture("newbark"), -1);
    EXPECT_EQ(list_->findTexture("newskin"), 4);
    EXPECT_EQ(person(), std::tuple("newskin", 3, 12));   // no startframe this time: unchanged

    // A count without a table is not followed; no level reads nothing.
    auto fresh = std::make_unique<TextureList>();
    lev.treeTable = nullptr;
    lev.personCount = 0;
    fresh->initTex();
    Level = nullptr;
    fresh->initTex();
    EXPECT_EQ(fresh->lastIndex, -1);
    EXPECT_EQ(Ttexrender.id, 0u);

    // The "-tex" switch creates the fixed tree texture.
    writeSolidPPM("gfx/texrender.ppm", 16, 16, {3, 4, 5});
    texrender = 1;
    fresh->initTex();
    EXPECT_NE(Ttexrender.id, 0u);
    EXPECT_EQ(Ttexrender.imageWidth, 16);
    EXPECT_STREQ(Ttexrender.name, "Gfx/texrender.ppm");
    EXPECT_EQ(fresh->lastIndex, -1);
    Ttexrender.freeTexture();
}

}  // namespace
