// MD2 models: header checks, interpolation, axis exchange, clamping, loop.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "scene/md2.h"

namespace {

// A model of `frames` frames over two vertices; frame f puts vertex 1 at
// file (4 f, 2, 1) (scale 1, translate 0) and vertex 0 at the origin.  One
// fan over vertices 0, 1, 1 unless `commands` is given.
std::vector<uint8_t> model(int frames, std::vector<int32_t> commands = {-3, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0})
{
    const int32_t vertices = 2;
    const int32_t frameSize = 40 + 4 * vertices;
    const int32_t frameOffset = 68;
    const int32_t commandOffset = frameOffset + frames * frameSize;
    const int32_t header[17] = {kMd2Ident, 8, 64, 64, frameSize, 0, vertices, 0, 1,
                                static_cast<int32_t>(commands.size()), frames, 68, 68, 68, frameOffset,
                                commandOffset, commandOffset + static_cast<int32_t>(commands.size()) * 4};
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(header), reinterpret_cast<const uint8_t*>(header + 17));
    for (int f = 0; f < frames; ++f) {
        const float scaleMove[6] = {1, 1, 1, 0, 0, 0};
        const uint8_t* p = reinterpret_cast<const uint8_t*>(scaleMove);
        bytes.insert(bytes.end(), p, p + 24);
        bytes.insert(bytes.end(), 16, 'n');
        const uint8_t verts[8] = {0, 0, 0, 0, static_cast<uint8_t>(4 * f), 2, 1, 0};
        bytes.insert(bytes.end(), verts, verts + 8);
    }
    const uint8_t* c = reinterpret_cast<const uint8_t*>(commands.data());
    bytes.insert(bytes.end(), c, c + commands.size() * 4);
    return bytes;
}

struct Drawn {
    std::vector<t_md2vertex> vertices;
    std::vector<bool> strips;
};

Drawn walk(const MD2& md2, int frame, float interp)
{
    Drawn drawn;
    md2.Walk(frame, interp,
             [](bool strip, const t_md2vertex* v, size_t n, void* user) {
                 auto* d = static_cast<Drawn*>(user);
                 d->strips.push_back(strip);
                 d->vertices.insert(d->vertices.end(), v, v + n);
             },
             &drawn);
    return drawn;
}

void setWord(std::vector<uint8_t>& bytes, int word, int32_t value)
{
    std::memcpy(bytes.data() + word * 4, &value, 4);
}

}  // namespace

TEST(SceneMd2, DamagedHeadersAndCommandsAreRefused)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto patched = [](int word, int32_t value) {
        std::vector<uint8_t> b = model(2);
        setWord(b, word, value);
        return b;
    };
    cases.push_back({"identifier", patched(0, 0x33504449)});
    cases.push_back({"version 7", patched(1, 7)});
    cases.push_back({"frame size", patched(4, 44)});
    cases.push_back({"vertex count", patched(6, 100000)});
    cases.push_back({"frames past the end", patched(10, 500)});
    cases.push_back({"commands past the end", patched(15, 1 << 30)});
    cases.push_back({"negative offset", patched(14, -8)});
    cases.push_back({"vertex index", model(2, {3, 0, 0, 0, 0, 0, 1, 0, 0, 2, 0})});
    cases.push_back({"command longer than list", model(2, {5, 0, 0, 0, 0})});
    cases.push_back({"no closing 0", model(2, {1, 0, 0, 0})});
    cases.push_back({"count -2^31", model(2, {INT32_MIN, 0})});
    std::vector<uint8_t> cut = model(2);
    cut.resize(60);
    cases.push_back({"short file", cut});
    for (const Case& c : cases) {
        MD2 md2;
        EXPECT_EQ(md2.LoadFromMemory("t.md2", c.bytes.data(), c.bytes.size()), 0) << c.what;
        EXPECT_TRUE(walk(md2, 0, 0).vertices.empty()) << c.what;
    }
}

TEST(SceneMd2, InterpolatesExchangesYAndZAndClampsFrames)
{
    const std::vector<uint8_t> bytes = model(5);
    MD2 md2;
    ASSERT_EQ(md2.LoadFromMemory("t.md2", bytes.data(), bytes.size()), 1);
    const Drawn d = walk(md2, 0, 0.25f);    // x 0 in frame 0, 4 in frame 1
    ASSERT_EQ(d.vertices.size(), 3u);
    EXPECT_FALSE(d.strips[0]);
    EXPECT_FLOAT_EQ(d.vertices[1].x, 1.0f);
    EXPECT_FLOAT_EQ(d.vertices[1].y, 1.0f);  // file z
    EXPECT_FLOAT_EQ(d.vertices[1].z, 2.0f);  // file y
    EXPECT_FLOAT_EQ(walk(md2, 10, 0.5f).vertices[1].x, 16.0f);   // frames 4 and 4
    EXPECT_FLOAT_EQ(walk(md2, 3, 0.5f).vertices[1].x, 14.0f);    // frames 3 and 4
}

TEST(SceneMd2, LongCommandsAreWalkedWhole)
{
    std::vector<int32_t> commands = {150};
    for (int i = 0; i < 150; ++i) {
        commands.insert(commands.end(), {0, 0, i % 2});
    }
    commands.push_back(0);
    const std::vector<uint8_t> bytes = model(1, commands);
    MD2 md2;
    ASSERT_EQ(md2.LoadFromMemory("t.md2", bytes.data(), bytes.size()), 1);
    const Drawn d = walk(md2, 0, 0);
    EXPECT_EQ(d.vertices.size(), 150u);
    EXPECT_TRUE(d.strips[0]);
}

TEST(SceneMd2, AnimateRunsTheLoopAndRestartsPastItsEnd)
{
    MD2 md2;   // no frames: Animate only keeps the state
    std::vector<int> seen;
    for (int i = 0; i < 12; ++i) {
        md2.Animate(2, 4, 0.6f);
        seen.push_back(md2.currentFrame);
    }
    // A fresh model (all zero) steps 0 -> 0 -> 1; 1 passes its last frame 0
    // and the loop 2..4 starts; a frame is left once interpolation passes 1,
    // and the restart comes when the current frame has passed the end.
    EXPECT_EQ(seen, (std::vector<int>{0, 0, 0, 0, 1, 2, 3, 3, 4, 4, 5, 2}));
}
