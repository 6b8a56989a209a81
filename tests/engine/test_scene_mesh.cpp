// Mesh text, UV side files, generated coordinates and the shared pool.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "support/temp_dir.h"
#include "scene/meshpool.h"
#include "scene/objects.h"

namespace {

// Textures 0..3: plain (scale 2 x 3), quads, noclip, projected (mode 1,
// scale 2, offset 0.5); "far" sits at index 600.
struct FakeTextures {
    static int32_t find(const char* name, void*)
    {
        const char* names[] = {"plain", "quad", "ghost", "proj", "far"};
        const int32_t index[] = {0, 1, 2, 3, 600};
        for (int i = 0; i < 5; ++i) {
            if (strcasecmp(name, names[i]) == 0) {
                return index[i];
            }
        }
        return -1;
    }
    static bool settings(int32_t index, t_meshtex* out, void*)
    {
        if (index < 0 || index > 3) {
            return false;
        }
        *out = t_meshtex{};
        out->scaleU = 2.0f;
        out->scaleV = 3.0f;
        out->quads = index == 1;
        out->noclip = index == 2;
        if (index == 3) {
            out->texmode = 1;
            out->offsetU = 0.5f;
        }
        return true;
    }
};
const t_meshtexsource kTextures{FakeTextures::find, FakeTextures::settings, nullptr};

t_meshdata parse(const std::string& text)
{
    t_meshdata mesh;
    parseMeshText(text.data(), text.size(), "test.raw", kTextures, mesh);
    return mesh;
}

std::vector<float> uvOf(const t_meshdata& mesh)
{
    std::vector<float> uv;
    generateUVCoords(mesh.stream.data(), mesh.stream.size(), mesh.vertexCount, kTextures, uv);
    return uv;
}

}  // namespace

TEST(SceneMesh, StreamSwapsYAndZAndBoxesTheFace)
{
    // Texture index i gives marker 1009 - i; the file gives x, z, y per vertex.
    const t_meshdata mesh = parse("proj\r\n0 0 0 1 0 0 0 1 0\r\n");
    EXPECT_EQ(mesh.stream, (std::vector<float>{1006, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1010}));
    EXPECT_EQ(mesh.vertexCount, 3u);
    EXPECT_EQ(std::vector<float>(mesh.box, mesh.box + 6), (std::vector<float>{0, 0, 0, 1, 0, 1}));
}

TEST(SceneMesh, DamagedPartsAreDroppedAndTheRestKept)
{
    struct Case {
        const char* text;
        std::vector<float> stream;
    };
    const Case cases[] = {
        {"1 2 3 4 5 6 7 8", {1010}},                                   // cut short at the end
        {"0 nan 0 1 1 1 2 2 2", {1010}},                               // NaN
        {"0 0 0 1e39 0 0 0 0 0", {1010}},                              // out of float range
        {"150 0 0 1 1 1 2 2 2", {1010}},                               // would read as a marker
        {"0 0 0 1 x plain 1 2 3 4 5 6 7 8 9", {1009, 1009, 1, 3, 2, 4, 6, 5, 7, 9, 8, 1010}},
        {"? 0 0 0 0 0 0 0 0 0", {0, 0, 0, 0, 0, 0, 0, 0, 0, 1010}},   // no endless retry
        {"far 0 0 0 0 0 0 0 0 0", {1009, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1010}},  // index too high
        {"unknown +1 .5 -2 0 0 0 0 0 0", {1009, 1, -2, 0.5f, 0, 0, 0, 0, 0, 0, 1010}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse(c.text).stream, c.stream) << c.text;
    }
    // Noclip faces are drawn but leave the box alone.
    const t_meshdata ghost = parse("ghost 0 0 0 5 5 5 1 1 1 plain 0 0 0 1 0 0 0 1 0");
    EXPECT_EQ(std::vector<float>(ghost.box, ghost.box + 6), (std::vector<float>{0, 0, 0, 1, 0, 1}));
    EXPECT_EQ(ghost.vertexCount, 6u);
}

TEST(SceneMesh, GeneratedCoordinatesFollowTheModeTable)
{
    const float s = 2.0f;
    const float t = 3.0f;
    // Mode 0: two shapes alternating; a marker restarts at the first.
    const t_meshdata pair = parse("plain 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 plain 0 0 0 0 0 0 0 0 0");
    EXPECT_EQ(uvOf(pair), (std::vector<float>{s, 0.01f, 0, 0.01f, 0, t, 0, t, s, t, s, 0.01f, s, 0.01f, 0,
                                              0.01f, 0, t}));
    // Quads: four pairs (vertices 1, 2, 3, 5); a lone triangle stays a triangle.
    const t_meshdata quad = parse("quad 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
    EXPECT_EQ(uvOf(quad), (std::vector<float>{s, 0.01f, 0.01f, 0.01f, 0.01f, t, s, t, s, 0.01f, 0, 0.01f, 0, t,
                                              0, 0, 0, 0}));
    // Mode 1: u = x * sU + oU, v = y * sV.
    const t_meshdata proj = parse("proj 1 0 2 3 0 4 5 0 6");
    EXPECT_EQ(uvOf(proj), (std::vector<float>{2.5f, 6, 6.5f, 12, 10.5f, 18}));
}

TEST(SceneMesh, UVSideFileMustHoldEightBigEndianBytesPerVertex)
{
    const uint8_t good[24] = {0x3f, 0x80, 0, 0, 0x40, 0, 0, 0};   // 1.0, 2.0, then zeros
    std::vector<float> uv;
    EXPECT_TRUE(parseUVTex(good, 24, 3, "t.uvtex", uv));
    EXPECT_EQ(uv, (std::vector<float>{1, 2, 0, 0, 0, 0}));
    EXPECT_FALSE(parseUVTex(good, 23, 3, "t.uvtex", uv));
    EXPECT_TRUE(uv.empty());
    const uint8_t nan[8] = {0x7f, 0xc0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(parseUVTex(nan, 8, 1, "t.uvtex", uv));
    char name[64];
    uvTexFileName("obj/fir.raw", name, sizeof name);
    EXPECT_STREQ(name, "obj/fir.uvtex");
}

TEST(SceneMesh, OneRecordPerFileInAnyCaseSharedByEveryTree)
{
    TempDir dir;
    dir.writeFile("rock.raw", "0 0 0 1 0 0 0 1 0\n");
    dir.writeFile("rock.uvtex", std::string("\x3f\x80\0\0", 4) + std::string(20, '\0'));
    const std::string lower = dir.path() + "/rock.raw";
    std::string upper = lower;
    upper.replace(upper.size() - 8, 8, "ROCK.RAW");
    Tree a;
    Tree b;
    const uint32_t before = Meshpool.count;
    ASSERT_TRUE(treeLoadMesh(a, lower.c_str()));
    ASSERT_TRUE(treeLoadMesh(b, upper.c_str()));
    EXPECT_EQ(Meshpool.count, before + 1);
    EXPECT_EQ(a.vertices, b.vertices);
    EXPECT_EQ(a.texcoords, b.texcoords);
    EXPECT_EQ(a.texcoords[0], 1.0f);    // from the side file, not generated
    EXPECT_FALSE(treeLoadMesh(a, (dir.path() + "/rock.3ds").c_str()));
}
