// meshpool.cpp — the mesh pool, the text mesh reader, UV side files and the
// generated texture coordinates.
#include "scene/meshpool.h"

#include "scene/meshdraw.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <utility>

#include "core/common.h"
#include "image/texlist.h"
#include "platform/files.h"

Cmeshpool Meshpool;

namespace {

// A broken file can hold a problem on every line; after this many messages
// the rest are only counted.
constexpr unsigned kMaxMessagesPerFile = 5;
constexpr size_t kMaxNameLength = 255;
constexpr size_t kMaxNumberLength = 64;

int32_t findInTexList(const char* name, void*)
{
    return TexList.findTexture(name);
}

bool settingsOfTexList(int32_t index, t_meshtex* out, void*)
{
    if (index < 0 || index > TexList.lastIndex) {
        return false;
    }
    out->scaleU = TexList.scaleU[index];
    out->scaleV = TexList.scaleV[index];
    out->offsetU = TexList.offsetU[index];
    out->offsetV = TexList.offsetV[index];
    out->texmode = TexList.texmode[index];
    out->quads = TexList.quads[index];
    out->noclip = TexList.noclip[index];
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Whitespace-separated words with the line each starts on.
class Tokens {
public:
    Tokens(const char* data, size_t size) : data_(data), size_(size) {}

    // The next word; false at the end of the data.
    bool next(const char** word, size_t* length, unsigned* line)
    {
        while (pos_ < size_ && isBlank(data_[pos_])) {
            if (data_[pos_] == '\n') {
                ++line_;
            }
            ++pos_;
        }
        if (pos_ >= size_) {
            return false;
        }
        const size_t start = pos_;
        while (pos_ < size_ && !isBlank(data_[pos_])) {
            ++pos_;
        }
        *word = data_ + start;
        *length = pos_ - start;
        *line = line_;
        return true;
    }

    // Puts the last word back.
    void unread(const char* word) { pos_ = static_cast<size_t>(word - data_); }

private:
    const char* data_;
    size_t size_;
    size_t pos_ = 0;
    unsigned line_ = 1;
};

// Counts and prints the problems of one file.
class Complaints {
public:
    explicit Complaints(const char* file) : file_(file != nullptr ? file : "?") {}
    ~Complaints()
    {
        if (count_ > kMaxMessagesPerFile) {
            std::printf("meshmodul meldet: %s: %u weitere Fehler nicht gezeigt\n", file_, count_ - kMaxMessagesPerFile);
        }
    }
    void say(unsigned line, const char* what, const char* word, size_t length)
    {
        if (++count_ <= kMaxMessagesPerFile) {
            const int shown = static_cast<int>(length < 40 ? length : 40);
            if (shown == 0) {
                std::printf("meshmodul meldet: %s Zeile %u: %s\n", file_, line, what);
            } else {
                std::printf("meshmodul meldet: %s Zeile %u: %s (\"%.*s\")\n", file_, line, what, shown, word);
            }
        }
    }

private:
    const char* file_;
    unsigned count_ = 0;
};

enum class Number { Ok, NotANumber, NotFinite };

Number parseNumber(const char* word, size_t length, float* out)
{
    if (length > 0 && word[0] == '+') {
        ++word;
        --length;
    }
    if (length == 0 || length > kMaxNumberLength) {
        return Number::NotANumber;
    }
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(word, word + length, value);
    if (ec == std::errc::result_out_of_range) {
        return Number::NotFinite;
    }
    if (ec != std::errc() || end != word + length) {
        return Number::NotANumber;
    }
    if (!std::isfinite(value)) {
        return Number::NotFinite;
    }
    *out = value;
    return Number::Ok;
}

void growBox(float* box, const float* v)
{
    for (int a = 0; a < 3; ++a) {
        if (v[a] > box[3 + a]) {
            box[3 + a] = v[a];
        }
        if (v[a] < box[a]) {
            box[a] = v[a];
        }
    }
}

// One texture-coordinate pair of a projection mode (1..6).
void project(int32_t mode, const float* v, const t_meshtex& t, float* uv)
{
    float a = 0.0f;
    float b = 0.0f;
    switch (mode) {
    case 1:
        a = v[0];
        b = v[1];
        break;
    case 2:
        a = v[0];
        b = v[2];
        break;
    case 3:
        a = v[2];
        b = v[1];
        break;
    case 4:
        a = v[1];
        b = v[0];
        break;
    case 5:
        a = v[2];
        b = v[0];
        break;
    case 6:
        a = v[1];
        b = v[2];
        break;
    default: break;
    }
    uv[0] = a * t.scaleU + t.offsetU;
    uv[1] = b * t.scaleV + t.offsetV;
}

} // namespace

t_meshtexsource meshTexturesOfTexList()
{
    return t_meshtexsource{findInTexList, settingsOfTexList, nullptr};
}

void parseMeshText(const char* data, size_t size, const char* fileForMessages, const t_meshtexsource& textures,
                   t_meshdata& out)
{
    out = t_meshdata{};
    Complaints complaints(fileForMessages);
    Tokens tokens(data, data != nullptr ? size : 0);
    bool excluded = false;
    const char* word = nullptr;
    size_t length = 0;
    unsigned line = 0;
    while (tokens.next(&word, &length, &line)) {
        if (static_cast<unsigned char>(word[0]) > 64) {
            float marker = kMeshMarkerBase;
            if (length > kMaxNameLength) {
                complaints.say(line, "Texturname zu lang, Textur 0 benutzt", word, length);
            } else {
                const std::string name(word, length);
                const int32_t index = textures.find(name.c_str(), textures.user);
                if (index > kMeshMaxTexture) {
                    complaints.say(line, "Texturnummer über 508 im Mesh nicht wählbar, Textur 0 benutzt", word, length);
                } else if (index >= 0) {
                    marker = kMeshMarkerBase - static_cast<float>(index);
                    t_meshtex settings;
                    if (textures.settings(index, &settings, textures.user)) {
                        excluded = settings.noclip;
                    }
                }
            }
            out.stream.push_back(marker);
            continue;
        }
        // Nine numbers, per vertex x, z, y in the file.
        float face[9];
        const unsigned faceLine = line;
        int read = 0;
        const char* problem = nullptr;
        tokens.unread(word);
        while (read < 9) {
            if (!tokens.next(&word, &length, &line)) {
                problem = "Fläche am Dateiende unvollständig, verworfen";
                break;
            }
            const Number n = parseNumber(word, length, &face[read]);
            if (n == Number::NotFinite) {
                problem = "Zahl unendlich oder keine Zahl (NaN), Fläche verworfen";
                break;
            }
            if (n == Number::NotANumber) {
                problem = "keine Zahl, Fläche unvollständig verworfen";
                // A word inside the face may name a texture or start the next
                // face; a face's first word that is no number is dropped.
                if (read > 0) {
                    tokens.unread(word);
                }
                break;
            }
            ++read;
        }
        if (problem != nullptr) {
            complaints.say(faceLine, problem, word, length);
            continue;
        }
        if (!(face[0] < kMeshFaceLimit)) {
            complaints.say(faceLine, "erstes x einer Fläche muss unter 100 liegen, Fläche verworfen", word, 0);
            continue;
        }
        for (int v = 0; v < 3; ++v) {
            std::swap(face[v * 3 + 1], face[v * 3 + 2]);
        }
        out.stream.insert(out.stream.end(), face, face + 9);
        out.vertexCount += 3;
        if (!excluded) {
            for (int v = 0; v < 3; ++v) {
                growBox(out.box, face + v * 3);
            }
        }
    }
    out.stream.push_back(kMeshEnd);
}

bool parseUVTex(const uint8_t* data, size_t size, uint32_t vertexCount, const char* fileForMessages,
                std::vector<float>& out)
{
    out.clear();
    const char* file = fileForMessages != nullptr ? fileForMessages : "?";
    const uint64_t want = static_cast<uint64_t>(vertexCount) * 8u;
    if (static_cast<uint64_t>(size) != want) {
        std::printf("meshmodul meldet: %s hat %zu Bytes, erwartet %llu (8 je Vertex): Koordinaten werden "
                    "berechnet\n",
                    file, size, static_cast<unsigned long long>(want));
        return false;
    }
    out.resize(static_cast<size_t>(vertexCount) * 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const uint8_t* b = data + i * 4;
        const uint32_t bits = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) {
            std::printf("meshmodul meldet: %s: Wert %zu ist keine endliche Zahl: Koordinaten werden "
                        "berechnet\n",
                        file, i);
            out.clear();
            return false;
        }
        out[i] = value;
    }
    return true;
}

void generateUVCoords(const float* stream, size_t streamLength, uint32_t vertexCount, const t_meshtexsource& textures,
                      std::vector<float>& out)
{
    out.assign(static_cast<size_t>(vertexCount) * 2, 0.0f);
    t_meshtex tex; // all zero before the first marker: mode 0, zero scale
    float marker = 0.0f;
    int toggle = 0;
    size_t j = 0;
    size_t i = 0;
    auto put = [&](float u, float v) {
        if (j + 1 < out.size()) {
            out[j] = u;
            out[j + 1] = v;
        }
        j += 2;
    };
    while (i < streamLength && stream[i] != kMeshEnd) {
        const float value = stream[i];
        if (!(value < kMeshFaceLimit)) {
            if (value > kMeshMarkerLimit && value != marker) {
                marker = value;
                tex = t_meshtex{};
                const int32_t index = meshMarkerTexture(marker);
                if (index >= 0) {
                    textures.settings(index, &tex, textures.user);
                }
            }
            toggle = 0;
            ++i;
            continue;
        }
        if (i + 9 >= streamLength) {
            break;
        }
        const float* f = stream + i;
        const bool quad = meshFaceIsQuad(tex.quads, stream, i, streamLength);
        const float su = tex.scaleU;
        const float sv = tex.scaleV;
        if (tex.texmode == 0) {
            if (quad) {
                put(su, 0.01f);
                put(0.01f, 0.01f);
                put(0.01f, sv);
                put(su, sv);
            } else if (toggle == 0) {
                put(su, 0.01f);
                put(0.0f, 0.01f);
                put(0.0f, sv);
                toggle = 1;
            } else {
                put(0.0f, sv);
                put(su, sv);
                put(su, 0.01f);
                toggle = 0;
            }
        } else {
            const int corners[4] = {0, 1, 2, 4};
            const int n = quad ? 4 : 3;
            for (int c = 0; c < n; ++c) {
                float uv[2];
                project(tex.texmode, f + corners[c] * 3, tex, uv);
                put(uv[0], uv[1]);
            }
        }
        i += quad ? 18 : 9;
    }
}

void uvTexFileName(const char* meshFile, char* out, size_t outSize)
{
    const size_t length = std::strlen(meshFile);
    const size_t stem = length > 4 ? length - 4 : length;
    std::snprintf(out, outSize, "%.*s.uvtex", static_cast<int>(stem), meshFile);
}

Cmesh::~Cmesh()
{
    delete[] vertices;
    delete[] normals;
    delete[] texcoords;
}

Cmeshpool::Cmeshpool() : meshes(new Cmesh[kMeshPoolSize])
{
    for (uint32_t i = 0; i < kMeshPoolSize; ++i) {
        meshes[i].index = i;
    }
}

Cmeshpool::~Cmeshpool()
{
    delete[] meshes;
}

int32_t Cmeshpool::Find(const char* file) const
{
    if (file == nullptr) {
        return -1;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (strcasecmp(meshes[i].rawFile, file) == 0) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

uint32_t Cmeshpool::LoadMesh(const char* file, const char* uvName)
{
    if (count >= kMeshPoolSize) {
        closeEngine(KRT_MESHPOOL, "Meshcache voll Uaaaaa");
    }
    std::string text;
    const FileError error = ReadRegularFile(file, kMeshMaxFileBytes, text);
    if (error == FileError::NotFound) {
        closeEngine(KRT_FILE, "meshmodul meldet: Datei %s nicht vorhanden\n", file != nullptr ? file : "");
    }
    if (error != FileError::None) {
        closeEngine(KRT_FILE, "meshmodul meldet:konnte Datei %s nicht laden (%s)\n", file, FileErrorText(error));
    }
    return LoadMeshFromMemory(file, text.data(), text.size(), uvName);
}

uint32_t Cmeshpool::LoadMeshFromMemory(const char* file, const char* data, size_t size, const char* uvName)
{
    if (count >= kMeshPoolSize) {
        closeEngine(KRT_MESHPOOL, "Meshcache voll Uaaaaa");
    }
    const t_meshtexsource textures = meshTexturesOfTexList();
    t_meshdata parsed;
    parseMeshText(data, size, file, textures, parsed);

    Cmesh& mesh = meshes[count];
    std::snprintf(mesh.rawFile, sizeof mesh.rawFile, "%s", file != nullptr ? file : "");
    mesh.index = count;
    std::memcpy(mesh.box, parsed.box, sizeof mesh.box);
    mesh.vertexCount = parsed.vertexCount;
    mesh.streamLength = parsed.stream.size();
    mesh.vertices = new float[mesh.streamLength];
    std::memcpy(mesh.vertices, parsed.stream.data(), mesh.streamLength * sizeof(float));

    std::vector<float> uv;
    bool haveUV = false;
    if (uvName != nullptr) {
        char uvFile[300];
        uvTexFileName(uvName, uvFile, sizeof uvFile);
        std::vector<uint8_t> bytes;
        const uint64_t want = static_cast<uint64_t>(mesh.vertexCount) * 8u;
        const FileError error = ReadRegularFile(uvFile, static_cast<size_t>(want), bytes);
        if (error == FileError::None) {
            haveUV = parseUVTex(bytes.data(), bytes.size(), mesh.vertexCount, uvFile, uv);
        } else if (error != FileError::NotFound) {
            std::printf("meshmodul meldet: %s: %s, Koordinaten werden berechnet\n", uvFile,
                        error == FileError::TooLarge ? "Datei zu groß (8 Bytes je Vertex)" : FileErrorText(error));
        }
    }
    const uint32_t index = count++;
    if (haveUV) {
        mesh.texcoords = new float[uv.size() > 0 ? uv.size() : 1]();
        std::memcpy(mesh.texcoords, uv.data(), uv.size() * sizeof(float));
    } else {
        CalcUVCoords(index);
    }
    return index;
}

void Cmeshpool::CalcUVCoords(uint32_t index)
{
    if (index >= count) {
        return;
    }
    Cmesh& mesh = meshes[index];
    std::vector<float> uv;
    generateUVCoords(mesh.vertices, mesh.streamLength, mesh.vertexCount, meshTexturesOfTexList(), uv);
    delete[] mesh.texcoords;
    mesh.texcoords = new float[uv.size() > 0 ? uv.size() : 1]();
    std::memcpy(mesh.texcoords, uv.data(), uv.size() * sizeof(float));
    meshArraysInvalidate();
}
