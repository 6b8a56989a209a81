// md2.h — keyframe-animated models in the MD2 format ("IDP2", version 8).
//
// Persons (scene/objects.h) and the engine's player figure each own one MD2.
// Only the frames and the strip/fan command list are read; the texture is
// whatever the caller selected.  Frames stay in the file's byte order
// (little-endian) and are converted per vertex while drawing.  Drawing
// interpolates linearly between a frame and the next one, in the current
// model-view matrix and colour; the file's z axis becomes the engine's up
// axis (y and z exchanged).  Loading needs no GL context, drawing does.
//
// Files are untrusted: the header's counts and offsets are checked against
// the bytes present before anything is allocated, and the command list is
// walked once on loading so that every vertex index lies below the vertex
// count and every command lies inside the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int32_t kMd2Ident = 0x32504449; // "IDP2" read as a little-endian word
constexpr int32_t kMd2Version = 8;
constexpr int32_t kMd2HeaderBytes = 68;
constexpr int32_t kMd2MaxVertices = 2048; // per frame
constexpr int32_t kMd2MaxTriangles = 4096;
constexpr int32_t kMd2MaxFrames = 512;
constexpr int32_t kMd2MaxCommandWords = 65536;
constexpr size_t kMd2MaxFileBytes = 16u << 20; // largest model file read

// One vertex of a command as drawn: texture coordinate and engine position.
struct t_md2vertex {
    float s, t;    // texture coordinate
    float x, y, z; // model units, y up
};

class MD2 {
public:
    int32_t commandCount = 0;      // 32-bit words in commands
    std::vector<int32_t> commands; // strip/fan commands in machine byte order, ending in 0
    int32_t triangleCount = 0;     // from the header; informational
    int32_t frameSize = 0;         // bytes per frame: 40 + 4 * vertexCount
    int32_t frameCount = 0;
    int32_t vertexCount = 0;     // vertices per frame
    std::vector<uint8_t> frames; // frameCount * frameSize bytes as in the file
    int32_t currentFrame = 0;    // animation state (Animate)
    int32_t nextFrame = 0;
    int32_t lastFrame = 0;
    float interpolation = 0.0f; // 0..1 between currentFrame and the frame after it

    // Reads the model file (regular files only).  1 on success; 0 with a
    // message naming the file and the problem, the model then empty.
    int Load(const char* file);
    // The same from bytes in memory; `file` names the model in messages.
    int LoadFromMemory(const char* file, const uint8_t* data, size_t size);

    // Advances the loop start..end by step (speed x frame time) and draws.
    void Animate(int start, int end, float step);
    // Draws the model between `frame` and the frame after it.
    void Render(int frame, float interp);

    // The vertices of every command for (frame, interp), in command order:
    // visit(strip, vertices, count, user) per command, strip true for a
    // triangle strip, false for a fan.  No GL; Render draws what this yields.
    void Walk(int frame, float interp, void (*visit)(bool strip, const t_md2vertex* vertices, size_t count, void* user),
              void* user) const;

    void Clear();
};
