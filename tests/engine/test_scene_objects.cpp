// Scene objects: model matrix, boxes, links, add/copy/delete, lights, a
// drawn tree read back, and the generated demo objects drawn together.
#include <algorithm>

#include "commands/commands.h"
#include "image/texlist.h"
#include "scene/draw.h"
#include "scene/light.h"
#include "support/gl_frame.h"
#include "support/temp_dir.h"
#include "test_camera_fixture.h"

namespace {

t_tree treeRecord(const char* name, const char* file, t_vector at, int32_t parent = -1)
{
    t_tree rec{};
    std::snprintf(rec.name, sizeof rec.name, "%s", name);
    std::snprintf(rec.file, sizeof rec.file, "%s", file);
    rec.position[0] = at.x;
    rec.position[1] = at.y;
    rec.position[2] = at.z;
    rec.parentIndex = parent;
    rec.soundIndex = -1;
    return rec;
}

// A level in a scratch directory holding obj/rock.raw (a 2 x 2 square
// facing +z, "scenegrey") and obj/fir.raw, with their definition files.
class SceneLevel : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        dir_.writeFile("obj/rock.raw", "scenegrey\n-1 0 -1 1 0 -1 1 0 1\n-1 0 -1 1 0 1 -1 0 1\n");
        dir_.writeFile("obj/rock.tex", "scenegrey nofile.ppm 1 1\n");
        dir_.writeFile("obj/fir.raw", "scenegrey 0 0 0 1 0 0 0 0 1\n");
        dir_.writeFile("obj/fir.tex", "scenegrey nofile.ppm 1 1\n");
        dir_.writeFile("obj/thing.tex", "");
        Level = &level_;
        Cam = nullptr;
        level_.minBoxThickness = 0.1f;
        level_.viewDistance = 50.0f;
        level_.screenWidth = kTestGLWidth;
        level_.screenHeight = kTestGLHeight;
    }
    void TearDown() override
    {
        DestroyLights();
        DestroyObjects();
    }
    void build(std::vector<t_tree> trees)
    {
        trees_ = std::move(trees);
        level_.treeTable = trees_.data();
        level_.treeCount = static_cast<uint32_t>(trees_.size());
        TexList.initTex();
        loadMeshs();
    }

    WorkDir dir_;
    Lev level_{};
    std::vector<t_tree> trees_;
    std::vector<LevLight> lights_;
    GlobalsGuard saved_{Level, Cam};
};

}  // namespace

TEST(SceneBoxes, ModelMatrixComposesLikeTheMatrixStack)
{
    ASSERT_TRUE(ensureGLContext());
    t_objheader h;
    h.position = t_vector(1, 2, 3);
    h.rotation = t_vector(30, 70, -40);
    h.positionRef = &h.position;
    h.rotationRef = &h.rotation;
    float mine[16];
    calcViewMatrix(&h, mine);
    float gl[16];
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    glRotatef(30, 1, 0, 0);
    glRotatef(70, 0, 1, 0);
    glRotatef(-40, 0, 0, 1);
    glGetFloatv(GL_MODELVIEW_MATRIX, gl);
    glPopMatrix();
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(mine[i], gl[i], 1e-5f) << i;
    }
}

TEST(SceneBoxes, FaceBoxesInOrderThickened)
{
    Tree tree;
    const float box[6] = {0, 0, 0, 2, 3, 4};
    std::memcpy(tree.localBox, box, sizeof box);
    tree.header.position = t_vector(10, 0, 0);
    tree.header.positionRef = &tree.header.position;
    tree.header.rotationRef = &tree.header.rotation;
    calcTreeBoxes(tree, 0.1f);
    // max z, min z, min x, max x, max y, min y; the flat axis widened to 0.1.
    const float boxes[6][6] = {{10, 0, 3.95f, 12, 3, 4.05f},     {10, 0, -0.05f, 12, 3, 0.05f},
                               {9.95f, 0, 0, 10.05f, 3, 4},       {11.95f, 0, 0, 12.05f, 3, 4},
                               {10, 2.95f, 0, 12, 3.05f, 4},      {10, -0.05f, 0, 12, 0.05f, 4}};
    for (int f = 0; f < 6; ++f) {
        expectNear(tree.faceMin[f], t_vector(boxes[f][0], boxes[f][1], boxes[f][2]));
        expectNear(tree.faceMax[f], t_vector(boxes[f][3], boxes[f][4], boxes[f][5]));
    }
}

TEST(SceneBoxes, AddedObjectsAreNamedFromTheirFile)
{
    const struct {
        const char* file;
        const char* name;
    } cases[] = {{"obj/fir.raw", "fir7"}, {"fir.raw", "fir7"}, {"obj/fir", "fir7"}, {"fir", "fir7"},
                 {"obj/trees/fir.raw", "trees/fir7"}};
    for (const auto& c : cases) {
        char name[256];
        objectNameFor(c.file, 7, name, sizeof name);
        EXPECT_STREQ(name, c.name) << c.file;
    }
}

TEST_F(SceneLevel, LinksAddCopyAndDeleteThroughTheTables)
{
    build({treeRecord("rock", "obj/rock.raw", t_vector(1, 2, 3)), treeRecord("child", "obj/rock.raw", {}, 0),
           treeRecord("odd", "obj/thing.3ds", t_vector(5, 0, 0))});
    ASSERT_NE(baum, nullptr);
    EXPECT_EQ(baum[1].header.rotationRef, &baum[0].header.rotation);
    EXPECT_EQ(baum[1].vertices, baum[0].vertices);
    EXPECT_EQ(baum[2].vertices, nullptr);        // not a raw mesh: kept, not drawn
    EXPECT_EQ(baum[2].collidable, 0);

    level_.objectNameCounter = 6;
    baum[0].header.position = t_vector(7, 8, 9);
    const t_objheader* fir = addTree("obj/fir.raw", false);
    ASSERT_NE(fir, nullptr);
    EXPECT_STREQ(fir->name, "fir7");
    EXPECT_EQ(level_.objectNameCounter, 7u);
    ASSERT_EQ(level_.treeCount, 4u);
    const t_tree& child = level_.treeTable[1];
    EXPECT_EQ(std::vector<float>(child.position, child.position + 3), (std::vector<float>{7, 8, 9}));
    EXPECT_STREQ(child.parentName, "rock");
    EXPECT_EQ(level_.treeTable[3].treeRecFlag, -1);
    EXPECT_STREQ(level_.treeTable[2].file, "obj/thing.3ds");   // kept through write-back

    const t_objheader* copy = addTree(fir, true);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->name, "fir8");
    EXPECT_EQ(addTree("obj/fir.wav", false), nullptr);

    delTree(&baum[0].header);                       // the parent goes: its follower stays put
    ASSERT_EQ(level_.treeCount, 4u);
    EXPECT_STREQ(baum[0].header.name, "child");
    EXPECT_EQ(baum[0].header.parentIndex, -1);
    expectNear(baum[0].header.position, t_vector(7, 8, 9));   // the follower
    for (int i = 0; i < 4; ++i) {
        delTree(&baum[0].header);
    }
    EXPECT_EQ(level_.treeCount, 0u);
    EXPECT_EQ(baum, nullptr);
}

TEST_F(SceneLevel, LightColourFallsOffLinearlyPerMaskAndAttachment)
{
    t_vector viewer(100, 0, 0);
    setSceneViewer(&viewer, nullptr);
    char none[] = "None";
    char onCam[] = "cam";
    char onRock[] = "ROCK";
    lights_ = {LevLight{10, {0, 0, 0}, {255, 255, 255, 255}, 4, none},
               LevLight{10, {0, 0, 0}, {0, 0, 255, 255}, 8, none},
               LevLight{10, {}, {255, 0, 0, 255}, 4, onCam},
               LevLight{1, {}, {0, 255, 0, 255}, 4, onRock}};
    level_.lightTable = lights_.data();
    level_.lightCount = 4;
    level_.dynamicLighting = 1;
    build({treeRecord("rock", "obj/rock.raw", t_vector(50, 0, 0))});
    const t_rgba base{0, 0, 0, 0.5f};
    const struct {
        t_vector at;
        unsigned char mask;
        t_rgba want;
    } cases[] = {
        {{5, 0, 0}, 4, {0.5f, 0.5f, 0.5f, 0.5f}},
        {{12, 0, 0}, 4, {0, 0, 0, 0.5f}},
        {{5, 0, 0}, 12, {0.5f, 0.5f, 1.0f, 0.5f}},   // mask 8 light only for first vertices
        {{95, 0, 0}, 4, {0.5f, 0, 0, 0.5f}},         // rides on the camera
        {{50, 0, 0.5f}, 4, {0, 0.5f, 0, 0.5f}},      // rides on the tree
    };
    for (const auto& c : cases) {
        const t_rgba got = *GetLightColor(&c.at, nullptr, &base, c.mask, nullptr);
        EXPECT_NEAR(got.r, c.want.r, 1e-6f) << c.at.x;
        EXPECT_NEAR(got.g, c.want.g, 1e-6f) << c.at.x;
        EXPECT_NEAR(got.b, c.want.b, 1e-6f) << c.at.x;
        EXPECT_EQ(got.a, c.want.a);
    }
    // With a matrix the point is transformed; the object position is then unused.
    const float shift[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1};
    const t_vector origin;
    const t_vector far(1000, 0, 0);
    EXPECT_NEAR(GetLightColor(&origin, &far, &base, 4, shift)->r, 0.5f, 1e-6f);

    // A light on a missing object switches lighting off for the level.
    char ghost[] = "ghost";
    lights_[1].attachTo = ghost;
    testing::internal::CaptureStdout();
    initLight();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("das Objekt ghost gibt es garnicht"), std::string::npos);
    EXPECT_EQ(level_.lightCount, 0u);
    EXPECT_EQ(level_.dynamicLighting, 0);
    EXPECT_EQ(GetLightColor(&origin, nullptr, &base, 12, nullptr)->r, 0.0f);
    setSceneViewer(nullptr, nullptr);
}

// The generated fir and walking figure under a red light riding on the fir.
TEST_F(SceneLevel, GeneratedFirAndFigureDrawnLitAndUnlit)
{
    ScopedCwd data(VEXT_SOURCE_DIR "/data");
    std::fill(level_.unlitColour, level_.unlitColour + 3, 1.0f);
    std::vector<t_person> persons(1);
    std::strcpy(persons[0].name, "walker");
    std::strcpy(persons[0].file, "obj/figures/walker.md2");
    const float walkerAt[3] = {1.2f, -1.2f, -5.0f};
    std::memcpy(persons[0].position, walkerAt, sizeof walkerAt);
    persons[0].parentIndex = -1;
    level_.personTable = persons.data();
    level_.personCount = 1;
    char onFir[] = "fir";
    lights_ = {LevLight{6, {}, {255, 0, 0, 255}, kLightAllVertices, onFir}};
    level_.lightTable = lights_.data();
    level_.lightCount = 1;
    build({treeRecord("fir", "obj/trees/fir.raw", t_vector(-1.2f, -1.8f, -7.0f))});
    ASSERT_NE(player, nullptr);
    EXPECT_STREQ(player[0].skin, "walkerskin");
    EXPECT_GT(player[0].model.frameCount, 1);

    // Pixels of the needles' green, the walker's blue shirt, and lit red.
    const auto drawAndCount = [] {
        beginPerspectiveFrame();
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        drawMeshs(false, 1.0f);
        std::vector<uint8_t> rgba(kTestGLWidth * kTestGLHeight * 4);
        glReadPixels(0, 0, kTestGLWidth, kTestGLHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        std::vector<int> n(3);
        for (size_t i = 0; i < rgba.size(); i += 4) {
            const int r = rgba[i], g = rgba[i + 1], b = rgba[i + 2];
            n[0] += g > r + 25 && g > b ? 1 : 0;
            n[1] += b > r + 40 && b > g ? 1 : 0;
            n[2] += r > g + 40 && r > b + 40 ? 1 : 0;
        }
        return n;
    };
    const std::vector<int> unlit = drawAndCount();
    EXPECT_EQ(baum[0].collidable, 1) << "drawn within reach";
    EXPECT_TRUE(unlit[0] > 300 && unlit[1] > 100 && unlit[2] < 50) << unlit[0] << " " << unlit[1] << " " << unlit[2];
    // Lit: base black, one red light on the fir.  The fir turns red; the
    // figure, out of the light's reach, goes dark.
    level_.dynamicLighting = 1;
    const std::vector<int> lit = drawAndCount();
    EXPECT_TRUE(lit[0] < unlit[0] / 10 && lit[2] > 300 && lit[1] < unlit[1] / 10) << lit[0] << " " << lit[1] << " "
                                                                                  << lit[2];
}
