// The editor's object commands on a small scene, their undo and redo, the
// write-back before a save and the help window's key lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "commands/commands.h"
#include "commands/functions.h"
#include "core/common.h"
#include "editor/editor.h"
#include "editor/history.h"
#include "image/texlist.h"
#include "input/input.h"
#include "particles/particles.h"
#include "scene/draw.h"
#include "scene/light.h"
#include "support/gl_frame.h"
#include "support/guards.h"
#include "support/temp_dir.h"

namespace {

t_tree tree(const char* name, float x)
{
    t_tree rec{};
    std::snprintf(rec.name, sizeof rec.name, "%s", name);
    std::snprintf(rec.file, sizeof rec.file, "obj/rock.raw");
    rec.position[0] = x;
    rec.parentIndex = -1;
    rec.soundIndex = -1;
    return rec;
}

// What the level record holds once the scene is written back.
std::vector<std::string> recorded()
{
    edWriteBack();
    std::vector<std::string> out;
    for (uint32_t i = 0; i < Level->treeCount; ++i) {
        const t_tree& t = Level->treeTable[i];
        char line[400];
        std::snprintf(line, sizeof line, "%s %g %g %g %g", t.name, t.position[0], t.position[1], t.position[2],
                      t.rotation[1]);
        out.push_back(line);
    }
    return out;
}

class EditorTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        dir_.writeFile("obj/rock.raw", "grey\n-1 0 -1 1 0 -1 1 0 1\n");
        dir_.writeFile("obj/rock.tex", "grey nofile.ppm 1 1\n");
        level_.minBoxThickness = 0.1f;
        level_.mouseSensitivity = 10.0f;
        Level = &level_;
        leveled = 1;
        Cam = new t_cam();   // at the origin
        editorReset();
    }
    void TearDown() override
    {
        delete Cam;
        DestroyLights();
        DestroyObjects();
        delete[] treebuf;
        treebuf = nullptr;
        editorReset();
    }
    void build(std::vector<t_tree> trees)
    {
        trees_ = std::move(trees);
        level_.treeTable = trees_.data();
        level_.treeCount = static_cast<uint32_t>(trees_.size());
        TexList.initTex();
        loadMeshs();
    }
    // A held command's next frame.
    void nextFrame() { ++framecounter; }
    // A fresh press, well after any earlier call.
    void later() { framecounter += 10; }
    void press(t_handler h)
    {
        later();
        h(cvar{});
    }

    GlobalsGuard saved_{Level, Cam, leveled, objRot, framecounter, selectedObj};
    TempDir dir_;
    ScopedCwd cwd_{dir_.path()};
    Lev level_{};
    std::vector<t_tree> trees_;
};

} // namespace

TEST_F(EditorTest, DeleteSelectsTheNearestLeftOrNothing)
{
    build({tree("near", 1.0f), tree("far", 5.0f)});
    edSelectNearest();
    ASSERT_EQ(selectedObj, &baum[0].header);
    press(cmd_objDelete);
    ASSERT_EQ(level_.treeCount, 1u);
    EXPECT_EQ(selectedObj, &baum[0].header) << "looked up in the rebuilt list";
    EXPECT_STREQ(selectedObj->name, "far");
    press(cmd_objDelete);
    EXPECT_EQ(level_.treeCount, 0u);
    EXPECT_EQ(selectedObj, nullptr);
    press(cmd_objDelete);   // nothing selected: nothing happens
    EXPECT_EQ(historyUndoCount(), 2u);
}

TEST_F(EditorTest, CopyPasteTwiceAddsTwoSelectedCopies)
{
    build({tree("Rock", 3.0f)});
    press(cmd_objPaste);   // nothing copied yet
    EXPECT_EQ(level_.treeCount, 1u);
    selectedObj = &baum[0].header;
    press(cmd_objCopy);
    press(cmd_objPaste);
    press(cmd_objPaste);
    ASSERT_EQ(level_.treeCount, 3u);
    EXPECT_EQ(selectedObj, &baum[2].header);
    EXPECT_FLOAT_EQ(baum[2].header.position.x, 3.0f) << "placed where the original is";
    delete[] treebuf;
    treebuf = newStringCopy("no such tree");
    press(cmd_objPaste);
    EXPECT_EQ(level_.treeCount, 3u);
}

TEST_F(EditorTest, MouseEditsMoveRotateAndRecomputeBoxes)
{
    build({tree("a", 0.0f)});
    selectedObj = &baum[0].header;
    const t_vector cornerBefore = baum[0].corners[1];
    edMouseRotate(1, 5);
    EXPECT_FLOAT_EQ(baum[0].header.rotation.y, 5.0f) << "5 units right = 5 degrees";
    EXPECT_EQ(objRot, 1);
    EXPECT_NE(baum[0].corners[1].z, cornerBefore.z) << "boxes follow the turn";
    edMouseMove(false, 10, 5, 10.0f);   // 0.002 units per pixel times sensitivity
    edMouseMove(true, -5, 0, 10.0f);
    EXPECT_NEAR(baum[0].header.position.x, 0.2f, 1e-6f);
    EXPECT_NEAR(baum[0].header.position.y, -0.1f, 1e-6f);
    EXPECT_NEAR(baum[0].header.position.z, -0.1f, 1e-6f);
    leveled = 0;
    edMouseRotate(1, 5);
    EXPECT_FLOAT_EQ(baum[0].header.rotation.y, 5.0f) << "outside editor mode nothing";
}

TEST_F(EditorTest, UndoAndRedoRoundTrips)
{
    build({tree("a", 0.0f), tree("b", 4.0f)});
    const std::vector<std::string> start = recorded();
    selectedObj = &baum[0].header;
    for (int f = 0; f < 3; ++f) {   // one drag over three frames: one step
        nextFrame();
        edMouseMove(false, 10, 0, 10.0f);
    }
    later();
    edMouseRotate(1, 30);
    edCopy();
    edPaste();
    selectedObj = &baum[1].header;
    edDelete();
    const std::vector<std::string> end = recorded();
    EXPECT_EQ(historyUndoCount(), 4u);
    while (edUndo()) {
    }
    EXPECT_EQ(recorded(), start);
    while (edRedo()) {
    }
    EXPECT_EQ(recorded(), end);
    EXPECT_NE(selectedObj, nullptr);
    // A new edit after an undo drops what could be redone.
    edUndo();
    later();
    edMouseMove(true, 0, 10, 10.0f);
    EXPECT_FALSE(edRedo());
}

TEST_F(EditorTest, ParticleSystemsAreSelectedSizedMovedAndUndone)
{
    build({tree("far", 500.0f)});   // without trees or persons nothing is picked
    GlobalsGuard systems{g_snowstorm, g_snowstormCount};
    std::vector<CSnowstorm> pool(1);
    g_snowstorm = pool.data();
    g_snowstormCount = 1;
    level_.particleSystemCount = 1;
    CSnowstorm& snow = pool[0];
    snow.halfWidth = 1.0f, snow.height = 2.0f, snow.halfDepth = 3.0f;
    snow.origin = t_vector(0.0f, 0.0f, -2.0f);
    edSelectNearest();
    ASSERT_EQ(selectedObj, &snow.header);
    edMouseRotate(1, 5);
    EXPECT_FLOAT_EQ(snow.header.rotation.y, 0.0f) << "systems do not turn";
    edMouseScale(false, 10, -5, 10.0f);
    EXPECT_NEAR(snow.halfWidth, 1.2f, 1e-6f);
    EXPECT_NEAR(snow.height, 2.1f, 1e-6f);
    later();
    edMouseScale(true, -1000, 0, 10.0f);
    EXPECT_FLOAT_EQ(snow.halfDepth, 0.0f) << "no negative extent";
    later();
    edMouseMove(false, 10, 0, 10.0f);
    EXPECT_NEAR(snow.box[0].x, 0.2f - 1.2f, 1e-6f) << "culling box follows";
    while (edUndo()) {
    }
    EXPECT_FLOAT_EQ(snow.origin.x, 0.0f);
    EXPECT_FLOAT_EQ(snow.halfWidth, 1.0f);
    EXPECT_FLOAT_EQ(snow.halfDepth, 3.0f);
}

TEST_F(EditorTest, HelpListsTheKeysTheLevelBinds)
{
    GlobalsGuard input{KeyInput};
    KeyInput = new CInput();
    auto bind = [](const char* k, const char* c) { return LevKeyBinding{const_cast<char*>(k), const_cast<char*>(c)}; };
    std::vector<LevKeyBinding> table = {bind("K_G", "obj_movex"), bind("K_Z6", "+obj_movex"), bind("K_Z4", "-obj_movex")};
    level_.keyBindings = table.data();
    level_.keyBindingCount = 3;
    CFunctions functions;
    char text[2048];
    buildHelpText(text, sizeof text);
    EXPECT_NE(std::strstr(text, "G         +Maus: schieben x"), nullptr) << text;
    EXPECT_NE(std::strstr(text, "\nZ6/Z4     schieben x +/-"), nullptr) << text;
    EXPECT_EQ(std::strstr(text, "drehen"), nullptr) << "unbound commands are left out";
    table = {bind("K_X", "obj_movex")};
    level_.keyBindings = table.data();
    level_.keyBindingCount = 1;
    KeyInput->getskeyaddr("K_G")->handler = nullptr;
    functions.Init();
    buildHelpText(text, sizeof text);
    EXPECT_NE(std::strstr(text, "X         +Maus"), nullptr) << text;
    delete KeyInput;
}
