// The texture table: the definition-file grammar, the definition-file cache,
// adding textures, the selection filters (GL state read back with glGet) and
// initTex over a level's trees and persons, including its fatal exits.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/lev.h"
#include "gl_fixture.h"
#include "image/texlist.h"
#include "texture_test_files.h"

namespace {

using texture_test::Rgb;
using texture_test::ScopedWorkDir;
using texture_test::writeBytes;
using texture_test::writePPM;
using texture_test::writeSolidPPM;
using texture_test::writeSolidTGA;

// ---------------------------------------------------------------- grammar

struct Parsed {
    std::vector<t_texdef> defs;
    t_texmodel model{};
    int count = 0;
    std::string out;    // what the parser printed
};

Parsed parse(const std::string& text, bool person, size_t size = std::string::npos)
{
    Parsed p;
    testing::internal::CaptureStdout();
    p.count = parseTexDefs(
        text.data(), size == std::string::npos ? text.size() : size, person, "obj/test.tex",
        [](const t_texdef& def, void* user) { static_cast<std::vector<t_texdef>*>(user)->push_back(def); },
        &p.defs, &p.model);
    p.out = testing::internal::GetCapturedStdout();
    return p;
}

TEST(TexDefGrammar, TreeEntriesWithKeywords)
{
    const Parsed p = parse("bark bark.ppm 1 1 blend 50 nozbuf\nleaves leaves.ppm 2 2 blendmode 1\n", false);
    ASSERT_EQ(p.count, 2);
    ASSERT_EQ(p.defs.size(), 2u);
    EXPECT_STREQ(p.defs[0].name, "bark");
    EXPECT_STREQ(p.defs[0].file, "bark.ppm");
    EXPECT_EQ(p.defs[0].scaleU, 1.0f);
    EXPECT_EQ(p.defs[0].blend, 50);
    EXPECT_TRUE(p.defs[0].nozbuf);
    EXPECT_EQ(p.defs[0].blendmode, 0);
    // The second entry starts from the defaults again.
    EXPECT_STREQ(p.defs[1].name, "leaves");
    EXPECT_EQ(p.defs[1].scaleU, 2.0f);
    EXPECT_EQ(p.defs[1].scaleV, 2.0f);
    EXPECT_EQ(p.defs[1].blend, 100);
    EXPECT_EQ(p.defs[1].blendmode, 1);
    EXPECT_FALSE(p.defs[1].nozbuf);
    EXPECT_EQ(p.out, "");
}

TEST(TexDefGrammar, EveryTreeKeywordInAnyCase)
{
    const Parsed p = parse("water w.tga 0.5 -2 ENVMODE Quads noclip TexMode 3 offset 0.25 -0.75 "
                           "emissiveRGB 255 0 51 BlendMode 4",
                           false);
    ASSERT_EQ(p.defs.size(), 1u);
    const t_texdef& d = p.defs[0];
    EXPECT_EQ(d.scaleU, 0.5f);
    EXPECT_EQ(d.scaleV, -2.0f);
    EXPECT_TRUE(d.envmode);
    EXPECT_TRUE(d.quads);
    EXPECT_TRUE(d.noclip);
    EXPECT_EQ(d.texmode, 3);
    EXPECT_EQ(d.offsetU, 0.25f);
    EXPECT_EQ(d.offsetV, -0.75f);
    EXPECT_FLOAT_EQ(d.emissive.r, 1.0f);
    EXPECT_FLOAT_EQ(d.emissive.g, 0.0f);
    EXPECT_FLOAT_EQ(d.emissive.b, 0.2f);
    EXPECT_EQ(d.blendmode, 4);
}

TEST(TexDefGrammar, UnknownWordEndsTheEntryAndNamesTheNext)
{
    const Parsed p = parse("bark bark.ppm 1 1 shiny leaves.ppm 2 2 blend 10", false);
    ASSERT_EQ(p.defs.size(), 2u);
    EXPECT_STREQ(p.defs[0].name, "bark");
    EXPECT_EQ(p.defs[0].blend, 100);
    EXPECT_STREQ(p.defs[1].name, "shiny");
    EXPECT_STREQ(p.defs[1].file, "leaves.ppm");
    EXPECT_EQ(p.defs[1].blend, 10);
    // A keyword glued to its number is no keyword either.
    const Parsed glued = parse("a a.ppm 1 1 blend50 b.ppm 1 1", false);
    ASSERT_EQ(glued.defs.size(), 2u);
    EXPECT_STREQ(glued.defs[1].name, "blend50");
    // Nor are the person keywords in tree files.
    const Parsed frames = parse("a a.ppm 1 1 startframe 3 4 5", false);
    ASSERT_EQ(frames.defs.size(), 2u);
    EXPECT_STREQ(frames.defs[1].name, "startframe");
    EXPECT_STREQ(frames.defs[1].file, "3");
    EXPECT_FALSE(frames.model.hasStartFrame);
}

TEST(TexDefGrammar, PersonEntries)
{
    const Parsed p = parse("skin skin.ppm startframe 3 endframe 40 animspeed 1.5 quads blend 70 "
                           "nozbuf other.ppm texmode 2",
                           true);
    ASSERT_EQ(p.defs.size(), 2u);
    EXPECT_STREQ(p.defs[0].name, "skin");
    EXPECT_EQ(p.defs[0].scaleU, 0.0f);
    EXPECT_EQ(p.defs[0].scaleV, 0.0f);
    EXPECT_FALSE(p.defs[0].quads);     // accepted, no effect
    EXPECT_EQ(p.defs[0].blend, 70);
    // "nozbuf" is no keyword of person files: it names the next entry.
    EXPECT_STREQ(p.defs[1].name, "nozbuf");
    EXPECT_STREQ(p.defs[1].file, "other.ppm");
    EXPECT_FALSE(p.defs[1].nozbuf);
    EXPECT_EQ(p.defs[1].texmode, 2);
    EXPECT_TRUE(p.model.hasStartFrame);
    EXPECT_EQ(p.model.startFrame, 3);
    EXPECT_TRUE(p.model.hasEndFrame);
    EXPECT_EQ(p.model.endFrame, 40);
    EXPECT_TRUE(p.model.hasAnimSpeed);
    EXPECT_EQ(p.model.animSpeed, 1.5f);

    const Parsed wrapped = parse("s s.ppm startframe 65537 endframe -1", true);    // 16-bit fields
    EXPECT_EQ(wrapped.model.startFrame, 1);
    EXPECT_EQ(wrapped.model.endFrame, 65535);
}

TEST(TexDefGrammar, CommentsRunToTheEndOfTheLine)
{
    const Parsed p = parse("# trees of the north\r\n"
                           "bark bark.ppm 1 1 # the trunk\r\n"
                           "   blend 50 #nozbuf\r\n"
                           "#leaves leaves.ppm 1 1\r\n"
                           "moss moss.ppm 3 3",
                           false);
    ASSERT_EQ(p.defs.size(), 2u);
    EXPECT_EQ(p.defs[0].blend, 50);    // the entry goes on across the comment
    EXPECT_FALSE(p.defs[0].nozbuf);
    EXPECT_STREQ(p.defs[1].name, "moss");
    EXPECT_EQ(parse("# nothing here\n   \n\t", false).count, 0);
    EXPECT_EQ(parse("", true).count, 0);
}

TEST(TexDefGrammar, MissingNumbersKeepTheDefaultAndSayWhere)
{
    Parsed p = parse("a a.ppm 1 1 blend", false);
    ASSERT_EQ(p.defs.size(), 1u);
    EXPECT_EQ(p.defs[0].blend, 100);
    EXPECT_NE(p.out.find("obj/test.tex"), std::string::npos) << p.out;
    EXPECT_NE(p.out.find("blend"), std::string::npos) << p.out;

    // The word that is no number is not swallowed: it starts the next entry.
    p = parse("a a.ppm 1 1 blend leaves leaves.ppm 2 2", false);
    ASSERT_EQ(p.defs.size(), 2u);
    EXPECT_EQ(p.defs[0].blend, 100);
    EXPECT_STREQ(p.defs[1].name, "leaves");

    p = parse("a a.ppm", false);
    ASSERT_EQ(p.defs.size(), 1u);
    EXPECT_EQ(p.defs[0].scaleU, 1.0f);
    EXPECT_EQ(p.defs[0].scaleV, 1.0f);
    EXPECT_NE(p.out.find("scaleU"), std::string::npos) << p.out;

    p = parse("a a.ppm 7 emissiveRGB 255 x.ppm", false);
    ASSERT_EQ(p.defs.size(), 1u);
    EXPECT_EQ(p.defs[0].scaleU, 7.0f);
    EXPECT_EQ(p.defs[0].scaleV, 1.0f);
    // The word that failed as scaleV is then read as the keyword it is.
    EXPECT_FLOAT_EQ(p.defs[0].emissive.r, 1.0f);
    EXPECT_FLOAT_EQ(p.defs[0].emissive.g, 0.0f);
    EXPECT_EQ(p.count, 1);

    p = parse("a a.ppm 1 1 emissiveRGB 255 128", false);
    ASSERT_EQ(p.defs.size(), 1u);
    EXPECT_FLOAT_EQ(p.defs[0].emissive.r, 1.0f);
    EXPECT_FLOAT_EQ(p.defs[0].emissive.g, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(p.defs[0].emissive.b, 0.0f);

    p = parse("a a.ppm 1 1 blend 5.5 offset 1 nan", false);
    ASSERT_EQ(p.defs.size(), 2u);
    EXPECT_EQ(p.defs[0].blend, 100);
    EXPECT_STREQ(p.defs[1].name, "5.5");

    p = parse("a a.ppm 1 1 lonely", false);    // an entry without a file is dropped
    EXPECT_EQ(p.count, 1);
    EXPECT_NE(p.out.find("lonely"), std::string::npos) << p.out;
}

TEST(TexDefGrammar, OverlongWordsAreCutWithAWarning)
{
    const std::string longName(300, 'n');
    const Parsed p = parse(longName + " " + std::string(400, 'f') + " 1 1 blend 20", false);
    ASSERT_EQ(p.defs.size(), 1u);
    EXPECT_EQ(std::string(p.defs[0].name), std::string(kTexWordMax, 'n'));
    EXPECT_EQ(std::string(p.defs[0].file), std::string(kTexWordMax, 'f'));
    EXPECT_EQ(p.defs[0].blend, 20);
    EXPECT_NE(p.out.find("obj/test.tex"), std::string::npos);
    EXPECT_NE(p.out.find("300"), std::string::npos);
}

TEST(TexDefGrammar, ReadsOnlyTheBytesGiven)
{
    const Parsed p = parse("a a.ppm 1 1 blend 50", false, std::strlen("a a.ppm 1 1 blend 5"));
    ASSERT_EQ(p.defs.size(), 1u);
    EXPECT_EQ(p.defs[0].blend, 5);
}

TEST(TexDefFileName, ExtensionFromTheFirstDotIsReplaced)
{
    char out[300];
    texFileName("obj/fir.raw", out, sizeof out);
    EXPECT_STREQ(out, "obj/fir.tex");
    texFileName("obj/fir.v2.md2", out, sizeof out);
    EXPECT_STREQ(out, "obj/fir.tex");
    texFileName("obj/fir", out, sizeof out);
    EXPECT_STREQ(out, "obj/fir.tex");
    const std::string longName(300, 'x');
    texFileName(longName.c_str(), out, sizeof out);
    EXPECT_EQ(std::string(out), std::string(kTexWordMax, 'x') + ".tex");
    char tiny[6];
    texFileName("abc.raw", tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "abc.t");
}

// ---------------------------------------------------------------- cache

TEST(TexFileCache, RemembersExactSpelling)
{
    auto list = std::make_unique<TextureList>();
    EXPECT_FALSE(list->ExistTexFile("obj/fir.tex"));
    list->SetTexFile("obj/fir.tex");
    EXPECT_TRUE(list->ExistTexFile("obj/fir.tex"));
    EXPECT_FALSE(list->ExistTexFile("OBJ/FIR.tex"));
    EXPECT_FALSE(list->ExistTexFile(nullptr));
    EXPECT_EQ(list->texFileCount, 1);
}

TEST(TexFileCache, StartsOverWhenFull)
{
    auto list = std::make_unique<TextureList>();
    for (int i = 0; i < kTexFileCacheSize; i++) {
        list->SetTexFile(("f" + std::to_string(i)).c_str());
    }
    EXPECT_EQ(list->texFileCount, kTexFileCacheSize);
    testing::internal::CaptureStdout();
    list->SetTexFile("newest");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Texfilecache \xfc" "berlastet ... versuche ihn zu leeren\n");
    EXPECT_EQ(list->texFileCount, 1);
    EXPECT_TRUE(list->ExistTexFile("newest"));
    EXPECT_FALSE(list->ExistTexFile("f0"));
    EXPECT_FALSE(list->ExistTexFile("f1999"));
}

// ---------------------------------------------------------------- fatal exits

// closeEngine ends the process; run it in a fresh child with stdout sent to
// stderr so the message can be matched.  The child's engine object is not
// the test's (closeEngine deletes it), hence Engine = nullptr.
void prepareDeathChild(ScopedWorkDir& dir)
{
    dup2(STDERR_FILENO, STDOUT_FILENO);
    dir.removeAtExit();
    Engine = nullptr;
}

void addUnloadable(TextureList& list, const std::string& name)
{
    // Not an image type: no GL texture is needed to fill the table.
    list.loadTexture(name.c_str(), "x.dat", 1, 1, 0, 0, 0, false, false, 100, 0, false, false,
                     t_rgb{0.0f, 0.0f, 0.0f}, GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
}

void overfillTable(ScopedWorkDir& dir)
{
    prepareDeathChild(dir);
    auto list = std::make_unique<TextureList>();
    for (int i = 0; i < kMaxTextures; i++) {
        addUnloadable(*list, "t" + std::to_string(i));
    }
    if (list->lastIndex != kMaxTextures - 1) {
        std::_Exit(99);
    }
    addUnloadable(*list, "T5");     // a known name: no growth, no exit
    addUnloadable(*list, "one-more");
    std::_Exit(98);
}

void initTexInChild(ScopedWorkDir& dir, Lev* lev)
{
    prepareDeathChild(dir);
    Level = lev;
    auto list = std::make_unique<TextureList>();
    list->initTex();
    std::_Exit(98);
}

TEST(TexListFatal, FullTableEndsTheEngine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScopedWorkDir dir;
    EXPECT_EXIT(overfillTable(dir), testing::ExitedWithCode(KRT_FATAL),
                "TexturModul: zu wenig Texturbuffer tritt den Programmierer in den Arsch\n");
}

TEST(TexListFatal, MissingDefinitionFileEndsTheEngine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScopedWorkDir dir;
    writeBytes("obj/fir.tex", "");
    std::vector<t_tree> trees(2);
    std::strcpy(trees[0].file, "obj/fir.raw");
    std::strcpy(trees[1].file, "obj/none.raw");
    std::vector<t_person> persons(1);
    std::strcpy(persons[0].file, "obj/ghost.md2");
    auto lev = std::make_unique<Lev>();
    lev->treeTable = trees.data();
    lev->treeCount = 2;
    EXPECT_EXIT(initTexInChild(dir, lev.get()), testing::ExitedWithCode(KRT_FILE),
                "TexturModul: TexturInitDatei obj/none.tex nicht vorhanden\n");

    lev->treeCount = 1;
    lev->personTable = persons.data();
    lev->personCount = 1;
    EXPECT_EXIT(initTexInChild(dir, lev.get()), testing::ExitedWithCode(KRT_FILE),
                "TexturModul: TexturInitDatei obj/ghost.tex nicht vorhanden\n");
}

// ---------------------------------------------------------------- with GL

class TexListGL : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        savedEngine_ = Engine;
        savedLevel_ = Level;
        engine_ = CEngine{};
        engine_.maxTextureSize = 256;
        Engine = &engine_;
        Level = nullptr;
        dir_ = std::make_unique<ScopedWorkDir>();
        list_ = std::make_unique<TextureList>();
    }
    void TearDown() override
    {
        for (int i = 0; i <= list_->lastIndex; i++) {
            list_->textures[i].freeTexture();
        }
        list_.reset();
        dir_.reset();
        Engine = savedEngine_;
        Level = savedLevel_;
        texrender = 0;
        glBindTexture(GL_TEXTURE_2D, 0);
        glBlendFunc(GL_ONE, GL_ZERO);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
    }

    void add(const char* name, const char* file, int blendmode = 0)
    {
        list_->loadTexture(name, file, 1, 1, 0, 0, 0, false, false, 100, blendmode, false, false,
                           t_rgb{0, 0, 0}, GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    }
    static GLint bound()
    {
        GLint id = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &id);
        return id;
    }
    static std::pair<GLint, GLint> blend(GLint src, GLint dst) { return {src, dst}; }
    static std::pair<GLint, GLint> blendFunc()
    {
        GLint src = -1;
        GLint dst = -1;
        glGetIntegerv(GL_BLEND_SRC, &src);
        glGetIntegerv(GL_BLEND_DST, &dst);
        return {src, dst};
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
        writePPM(path, 4, 4, [](int x, int y) { return x == 0 && y == 0 ? Rgb{0, 0, 0} : Rgb{9, 9, 9}; });
    }

    CEngine engine_{};
    CEngine* savedEngine_ = nullptr;
    Lev* savedLevel_ = nullptr;
    std::unique_ptr<ScopedWorkDir> dir_;
    std::unique_ptr<TextureList> list_;
};

TEST_F(TexListGL, LoadTextureStoresEveryAttribute)
{
    keyedImage("stone.ppm");
    list_->loadTexture("stone", "stone.ppm", 2, 3, 0.5f, 0.25f, 4, true, true, 60, 2, true, true,
                       t_rgb{0.1f, 0.2f, 0.3f}, GL_LINEAR, GL_NEAREST, true, 0, 0, 0);
    ASSERT_EQ(list_->lastIndex, 0);
    EXPECT_STREQ(list_->names[0], "stone");
    EXPECT_EQ(list_->glIds[0], list_->textures[0].id);
    EXPECT_NE(list_->glIds[0], 0u);
    EXPECT_EQ(list_->scaleU[0], 2.0f);
    EXPECT_EQ(list_->scaleV[0], 3.0f);
    EXPECT_EQ(list_->offsetU[0], 0.5f);
    EXPECT_EQ(list_->offsetV[0], 0.25f);
    EXPECT_EQ(list_->texmode[0], 4);
    EXPECT_TRUE(list_->envmode[0]);
    EXPECT_TRUE(list_->quads[0]);
    EXPECT_EQ(list_->blend[0], 60);
    EXPECT_EQ(list_->blendmode[0], 2);
    EXPECT_TRUE(list_->noclip[0]);
    EXPECT_TRUE(list_->nozbuf[0]);
    EXPECT_EQ(list_->emissive[0].g, 0.2f);
    EXPECT_TRUE(hasAlpha(list_->glIds[0]));
    GLint mag = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
    EXPECT_EQ(mag, GL_NEAREST);
}

TEST_F(TexListGL, KnownNamesAreSkippedAndAdditiveHasNoKey)
{
    keyedImage("bark.ppm");
    writeSolidPPM("other.ppm", 8, 8, {1, 2, 3});
    add("bark", "bark.ppm");
    add("BARK", "other.ppm");
    EXPECT_EQ(list_->lastIndex, 0);
    EXPECT_STREQ(list_->textures[0].name, "bark.ppm");
    EXPECT_EQ(list_->findTexture("Bark"), 0);
    EXPECT_EQ(list_->findTexture("birch"), -1);

    // Blend mode 1 (additive) textures are loaded without the colour key.
    add("additive", "bark.ppm", kBlendAdd);
    EXPECT_TRUE(hasAlpha(list_->glIds[0]));
    EXPECT_FALSE(hasAlpha(list_->glIds[1]));
}

TEST_F(TexListGL, SelectTextureByNameAndIndex)
{
    writeSolidPPM("stone.ppm", 4, 4, {1, 1, 1});
    writeSolidPPM("wood.ppm", 4, 4, {2, 2, 2});
    add("stone", "stone.ppm");
    add("wood", "wood.ppm");
    glBindTexture(GL_TEXTURE_2D, 0);
    list_->selectTexture("WOOD");
    EXPECT_EQ(static_cast<GLuint>(bound()), list_->glIds[1]);
    list_->selectTexture("nothing");
    EXPECT_EQ(static_cast<GLuint>(bound()), list_->glIds[1]);
    list_->selectTexture("");
    EXPECT_EQ(static_cast<GLuint>(bound()), list_->glIds[1]);
    list_->selectTexture(0);
    EXPECT_EQ(static_cast<GLuint>(bound()), list_->glIds[0]);
    list_->selectTexture(2);
    list_->selectTexture(-1);
    EXPECT_EQ(static_cast<GLuint>(bound()), list_->glIds[0]);
}

TEST_F(TexListGL, BlendModeFilterSkipsRepeats)
{
    glBlendFunc(GL_ONE, GL_ONE);
    list_->selectBlendmode(kBlendAlpha);    // the first call always sets
    EXPECT_EQ(blendFunc(), blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA));

    list_->selectBlendmode(kBlendModulate);
    EXPECT_EQ(blendFunc(), blend(GL_DST_COLOR, GL_ZERO));
    glBlendFunc(GL_ONE, GL_ONE);
    list_->selectBlendmode(kBlendModulate);    // repeated: no GL call
    EXPECT_EQ(blendFunc(), blend(GL_ONE, GL_ONE));

    list_->selectBlendmode(kBlendAdd);
    EXPECT_EQ(blendFunc(), blend(GL_ONE, GL_ONE));
    list_->selectBlendmode(kBlendReplace);
    EXPECT_EQ(blendFunc(), blend(GL_ONE, GL_ZERO));
    list_->selectBlendmode(kBlendModulate2);
    EXPECT_EQ(blendFunc(), blend(GL_DST_COLOR, GL_SRC_COLOR));

    // A number outside the table changes nothing but is remembered.
    list_->selectBlendmode(9);
    EXPECT_EQ(blendFunc(), blend(GL_DST_COLOR, GL_SRC_COLOR));
    glBlendFunc(GL_ONE, GL_ONE);
    list_->selectBlendmode(kBlendModulate2);
    EXPECT_EQ(blendFunc(), blend(GL_DST_COLOR, GL_SRC_COLOR));

    glBlendFunc(GL_ONE, GL_ONE);
    list_->resetSelectionState();
    list_->selectBlendmode(kBlendModulate2);
    EXPECT_EQ(blendFunc(), blend(GL_DST_COLOR, GL_SRC_COLOR));
}

TEST_F(TexListGL, EnvModeFilterSwitchesSphereMapping)
{
    glEnable(GL_TEXTURE_GEN_S);
    list_->selectEnvmode(false);    // already remembered off: nothing
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    glDisable(GL_TEXTURE_GEN_S);

    list_->selectEnvmode(true);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T));
    GLint mode = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);

    glDisable(GL_TEXTURE_GEN_S);
    list_->selectEnvmode(true);     // repeated: nothing
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    list_->selectEnvmode(false);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
}

class TexListLevel : public TexListGL {
protected:
    void SetUp() override
    {
        TexListGL::SetUp();
        trees_.resize(3);
        std::strcpy(trees_[0].file, "obj/fir.raw");
        std::strcpy(trees_[1].file, "obj/fir.raw");
        std::strcpy(trees_[2].file, "OBJ/OAK.RAW");     // files are found without regard to case
        persons_.resize(1);
        std::strcpy(persons_[0].file, "obj/pilot.md2");
        lev_ = std::make_unique<Lev>();
        lev_->treeTable = trees_.data();
        lev_->treeCount = 3;
        lev_->personTable = persons_.data();
        lev_->personCount = 1;
        Level = lev_.get();

        writeBytes("obj/fir.tex", "bark bark.ppm 1 1 blend 50 nozbuf\nleaves leaves.ppm 2 2 blendmode 1\n");
        writeBytes("obj/oak.tex", "BARK other.ppm 1 1\noakleaf leaf.tga 0.5 0.5 texmode 2 offset 0.25 0.75\n");
        writeBytes("obj/pilot.tex", "pilotskin pilot.ppm startframe 3 endframe 9 animspeed 1.5\n");
        keyedImage("bark.ppm");
        keyedImage("leaves.ppm");
        writeSolidPPM("pilot.ppm", 8, 8, {5, 5, 5});
        writeSolidTGA("leaf.tga", 4, 4, {0, 200, 0}, 128);
    }

    std::vector<t_tree> trees_;
    std::vector<t_person> persons_;
    std::unique_ptr<Lev> lev_;
};

TEST_F(TexListLevel, ReadsTheTreeAndPersonFiles)
{
    list_->initTex();
    ASSERT_EQ(list_->lastIndex, 3);
    EXPECT_STREQ(list_->names[0], "bark");
    EXPECT_STREQ(list_->names[1], "leaves");
    EXPECT_STREQ(list_->names[2], "oakleaf");
    EXPECT_STREQ(list_->names[3], "pilotskin");
    EXPECT_EQ(list_->blend[0], 50);
    EXPECT_TRUE(list_->nozbuf[0]);
    EXPECT_TRUE(hasAlpha(list_->glIds[0]));      // keyed
    EXPECT_EQ(list_->blend[1], 100);
    EXPECT_EQ(list_->blendmode[1], 1);
    EXPECT_FALSE(hasAlpha(list_->glIds[1]));     // blend mode 1: no key
    EXPECT_EQ(list_->texmode[2], 2);
    EXPECT_EQ(list_->offsetV[2], 0.75f);
    EXPECT_EQ(list_->scaleU[3], 0.0f);
    EXPECT_STREQ(list_->textures[0].name, "bark.ppm");    // BARK of oak.tex was skipped

    EXPECT_STREQ(persons_[0].skin, "pilotskin");
    EXPECT_EQ(persons_[0].loopStart, 3);
    EXPECT_EQ(persons_[0].loopEnd, 9);
    EXPECT_EQ(persons_[0].animSpeed, 1.5f);

    EXPECT_EQ(list_->texFileCount, 2);      // fir.tex once for two firs
    EXPECT_TRUE(list_->ExistTexFile("obj/fir.tex"));
    EXPECT_TRUE(list_->ExistTexFile("OBJ/OAK.tex"));
}

TEST_F(TexListLevel, SecondRunReadsTreeFilesOnceAndPersonFilesAgain)
{
    list_->initTex();
    writeBytes("obj/fir.tex", "newbark bark.ppm 1 1\n");
    writeBytes("obj/pilot.tex", "newskin pilot.ppm endframe 12\n");
    list_->initTex();
    EXPECT_EQ(list_->findTexture("newbark"), -1);
    EXPECT_EQ(list_->findTexture("newskin"), 4);
    EXPECT_STREQ(persons_[0].skin, "newskin");
    EXPECT_EQ(persons_[0].loopStart, 3);    // not in the file this time: unchanged
    EXPECT_EQ(persons_[0].loopEnd, 12);
}

TEST_F(TexListLevel, EmptyTablesAndNoLevelReadNothing)
{
    lev_->treeTable = nullptr;     // a count without a table is not followed
    lev_->personCount = 0;
    list_->initTex();
    EXPECT_EQ(list_->lastIndex, -1);
    Level = nullptr;
    list_->initTex();
    EXPECT_EQ(list_->lastIndex, -1);
}

TEST_F(TexListGL, TexrenderSwitchCreatesTheFixedTreeTexture)
{
    writeSolidPPM("gfx/texrender.ppm", 16, 16, {3, 4, 5});
    texrender = 1;
    list_->initTex();
    EXPECT_NE(Ttexrender.id, 0u);
    EXPECT_EQ(Ttexrender.imageWidth, 16);
    EXPECT_STREQ(Ttexrender.name, "Gfx/texrender.ppm");
    EXPECT_EQ(list_->lastIndex, -1);
    Ttexrender.freeTexture();

    texrender = 0;
    list_->initTex();
    EXPECT_EQ(Ttexrender.id, 0u);
}

}  // namespace
