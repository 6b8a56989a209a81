// md2.cpp — MD2 model loading, animation and drawing.
#include "scene/md2.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/files.h"

namespace {

int32_t readLE32(const uint8_t* p)
{
    const uint32_t bits = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    int32_t value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float readLEFloat(const uint8_t* p)
{
    const int32_t word = readLE32(p);
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

// Header word indexes.
enum {
    kIdent,
    kVersion,
    kSkinWidth,
    kSkinHeight,
    kFrameSize,
    kSkinCount,
    kVertexCount,
    kTexCoordCount,
    kTriangleCount,
    kCommandCount,
    kFrameCount,
    kSkinOffset,
    kTexCoordOffset,
    kTriangleOffset,
    kFrameOffset,
    kCommandOffset,
    kEndOffset,
    kHeaderWords
};

// Does the block [offset, offset + bytes) lie inside a file of `size` bytes?
bool inside(int32_t offset, uint64_t bytes, size_t size)
{
    return offset >= 0 && static_cast<uint64_t>(offset) + bytes <= static_cast<uint64_t>(size);
}

// Checks the command list: every command inside the list with its 3 words
// per vertex, every vertex index below vertexCount, a final 0.  Null when it
// is sound, else what is wrong.
const char* checkCommands(const std::vector<int32_t>& list, int32_t vertexCount)
{
    size_t pos = 0;
    while (pos < list.size()) {
        const int32_t n = list[pos++];
        if (n == 0) {
            return nullptr;
        }
        if (n < -kMd2MaxCommandWords || n > kMd2MaxCommandWords) {
            return "Befehl mit unmöglicher Vertexzahl";
        }
        const uint64_t count = static_cast<uint64_t>(n < 0 ? -static_cast<int64_t>(n) : n);
        if (pos + count * 3 > list.size()) {
            return "Befehl reicht über das Ende der Befehlsliste";
        }
        for (uint64_t v = 0; v < count; ++v) {
            const int32_t index = list[pos + v * 3 + 2];
            if (index < 0 || index >= vertexCount) {
                return "Vertexnummer außerhalb des Modells";
            }
        }
        pos += count * 3;
    }
    return "Befehlsliste ohne abschließende 0";
}

void drawCommand(bool strip, const t_md2vertex* vertices, size_t count, void*)
{
    glBegin(strip ? GL_TRIANGLE_STRIP : GL_TRIANGLE_FAN);
    for (size_t i = 0; i < count; ++i) {
        glTexCoord2f(vertices[i].s, vertices[i].t);
        glVertex3f(vertices[i].x, vertices[i].y, vertices[i].z);
    }
    glEnd();
}

// Scratch list of one command's vertices; grows to the longest command.
std::vector<t_md2vertex>& scratch()
{
    static std::vector<t_md2vertex> list(100);
    return list;
}

} // namespace

void MD2::Clear()
{
    commandCount = 0;
    commands.clear();
    triangleCount = 0;
    frameSize = 0;
    frameCount = 0;
    vertexCount = 0;
    frames.clear();
}

int MD2::Load(const char* file)
{
    std::vector<uint8_t> bytes;
    const FileError error = ReadRegularFile(file, kMd2MaxFileBytes, bytes);
    if (error != FileError::None) {
        Clear();
        std::printf("Could not load %s correctly (%s)\n", file != nullptr ? file : "", FileErrorText(error));
        return 0;
    }
    return LoadFromMemory(file, bytes.data(), bytes.size());
}

int MD2::LoadFromMemory(const char* file, const uint8_t* data, size_t size)
{
    Clear();
    const char* name = file != nullptr ? file : "?";
    if (data == nullptr || size < static_cast<size_t>(kMd2HeaderBytes)) {
        std::printf("%s is not a valid .md2 (%zu Bytes, kürzer als der Kopf)\n", name, size);
        return 0;
    }
    int32_t h[kHeaderWords];
    for (int i = 0; i < kHeaderWords; ++i) {
        h[i] = readLE32(data + i * 4);
    }
    if (h[kIdent] != kMd2Ident) {
        std::printf("%s is not a valid .md2\n", name);
        return 0;
    }
    if (h[kVersion] != kMd2Version) {
        std::printf("%s is not a valid .md2 version\n", name);
        return 0;
    }
    const char* problem = nullptr;
    if (h[kVertexCount] < 1 || h[kVertexCount] > kMd2MaxVertices) {
        problem = "Vertexzahl außerhalb 1..2048";
    } else if (h[kTriangleCount] < 0 || h[kTriangleCount] > kMd2MaxTriangles) {
        problem = "Dreieckszahl außerhalb 0..4096";
    } else if (h[kFrameCount] < 1 || h[kFrameCount] > kMd2MaxFrames) {
        problem = "Bildzahl außerhalb 1..512";
    } else if (h[kCommandCount] < 1 || h[kCommandCount] > kMd2MaxCommandWords) {
        problem = "Befehlslänge außerhalb 1..65536 Wörter";
    } else if (h[kFrameSize] != 40 + 4 * h[kVertexCount]) {
        problem = "Bildgröße passt nicht zur Vertexzahl";
    } else if (!inside(h[kFrameOffset], static_cast<uint64_t>(h[kFrameCount]) * static_cast<uint64_t>(h[kFrameSize]),
                       size)) {
        problem = "Bilder liegen außerhalb der Datei";
    } else if (!inside(h[kCommandOffset], static_cast<uint64_t>(h[kCommandCount]) * 4u, size)) {
        problem = "Befehlsliste liegt außerhalb der Datei";
    }
    if (problem != nullptr) {
        std::printf("%s is not a valid .md2: %s\n", name, problem);
        return 0;
    }
    std::vector<int32_t> list(static_cast<size_t>(h[kCommandCount]));
    for (size_t i = 0; i < list.size(); ++i) {
        list[i] = readLE32(data + h[kCommandOffset] + i * 4);
    }
    problem = checkCommands(list, h[kVertexCount]);
    if (problem != nullptr) {
        std::printf("%s is not a valid .md2: %s\n", name, problem);
        return 0;
    }
    const size_t frameBytes = static_cast<size_t>(h[kFrameCount]) * static_cast<size_t>(h[kFrameSize]);
    frames.assign(data + h[kFrameOffset], data + h[kFrameOffset] + frameBytes);
    commands = std::move(list);
    commandCount = h[kCommandCount];
    triangleCount = h[kTriangleCount];
    frameSize = h[kFrameSize];
    frameCount = h[kFrameCount];
    vertexCount = h[kVertexCount];
    return 1;
}

void MD2::Animate(int start, int end, float step)
{
    if (currentFrame == -1 || currentFrame > lastFrame) {
        currentFrame = start;
        nextFrame = start + 1;
        lastFrame = end;
    }
    if (interpolation > 1.0f) {
        interpolation = 0.0f;
        currentFrame = nextFrame;
        nextFrame = currentFrame + 1;
    }
    interpolation += step;
    Render(currentFrame, interpolation);
}

void MD2::Render(int frame, float interp)
{
    Walk(frame, interp, drawCommand, nullptr);
}

void MD2::Walk(int frame, float interp,
               void (*visit)(bool strip, const t_md2vertex* vertices, size_t count, void* user), void* user) const
{
    if (frameCount < 1 || commands.empty()) {
        return;
    }
    auto clampFrame = [this](int64_t f) {
        if (f > frameCount - 1) {
            f = frameCount - 1;
        }
        return static_cast<size_t>(f < 0 ? 0 : f);
    };
    const uint8_t* a = frames.data() + clampFrame(frame) * static_cast<size_t>(frameSize);
    const uint8_t* b = frames.data() + clampFrame(static_cast<int64_t>(frame) + 1) * static_cast<size_t>(frameSize);
    float scaleA[3], moveA[3], scaleB[3], moveB[3];
    for (int k = 0; k < 3; ++k) {
        scaleA[k] = readLEFloat(a + k * 4);
        moveA[k] = readLEFloat(a + 12 + k * 4);
        scaleB[k] = readLEFloat(b + k * 4);
        moveB[k] = readLEFloat(b + 12 + k * 4);
    }
    std::vector<t_md2vertex>& list = scratch();
    size_t pos = 0;
    // The list was checked on loading: commands lie inside it and end in 0.
    while (pos < commands.size() && commands[pos] != 0) {
        const int32_t n = commands[pos++];
        const size_t count = static_cast<size_t>(n < 0 ? -static_cast<int64_t>(n) : n);
        if (list.size() < count) {
            list.resize(count);
        }
        for (size_t v = 0; v < count; ++v) {
            const int32_t* w = &commands[pos + v * 3];
            t_md2vertex& out = list[v];
            std::memcpy(&out.s, &w[0], sizeof(float));
            std::memcpy(&out.t, &w[1], sizeof(float));
            const size_t at = 40 + static_cast<size_t>(w[2]) * 4;
            float p[3];
            for (int k = 0; k < 3; ++k) {
                const float pa = static_cast<float>(a[at + k]) * scaleA[k] + moveA[k];
                const float pb = static_cast<float>(b[at + k]) * scaleB[k] + moveB[k];
                p[k] = pa - interp * (pa - pb);
            }
            out.x = p[0];
            out.y = p[2];
            out.z = p[1];
        }
        visit(n > 0, list.data(), count, user);
        pos += count * 3;
    }
}
