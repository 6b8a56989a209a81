// meshpool.h — the mesh pool: every static mesh of the run, loaded once per
// file name and shared by every tree that names that file.
//
// The pool (`Meshpool`) is a fixed table of kMeshPoolSize records filled from
// index 0 upwards and never emptied; record indexes stay valid for the whole
// run, across level changes.  The trees of the scene (scene/objects.h) look a
// file up here (case-insensitively) and copy the record's pointers; the pool
// keeps ownership.  Single-threaded; loading reads the texture list (TexList)
// but needs no GL context.
//
// Vertex stream, the format every mesh reader walks (32-bit floats):
//   1009 - i          texture marker: the faces that follow use texture i of
//                     the texture list (only i < kMeshMaxTexture can be named)
//   x y z x y z x y z one triangle (mesh coordinates, y up); the first x of
//                     every face is below kMeshFaceLimit
//   1010.0            end of the stream
// Readers tell the kinds apart by value at the start of each face: < 100 a
// face, > 500 a marker, 1010 the end.  Under a texture with the quads flag the
// faces come in pairs whose vertices 1, 2, 3 and 5 are the quad's corners.
//
// Text mesh file ("raw"): whitespace-separated tokens.  A token starting with
// a character above '@' (code 64) names a texture; any other token starts a
// face of nine numbers given per vertex as x, z, y (the loader swaps them).
// UV side file ("uvtex", beside the mesh): u, v per vertex in stream order,
// big-endian 32-bit floats, exactly 8 bytes per vertex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t kMeshPoolSize = 2000;        // records in the pool
constexpr float kMeshEnd = 1010.0f;             // end of a vertex stream
constexpr float kMeshMarkerBase = 1009.0f;      // marker of texture 0; texture i is 1009 - i
constexpr float kMeshFaceLimit = 100.0f;        // first value of a face lies below this
constexpr float kMeshMarkerLimit = 500.0f;      // markers lie above this
constexpr int32_t kMeshMaxTexture = 508;        // highest texture index a marker can name
constexpr size_t kMeshMaxFileBytes = 32u << 20; // largest mesh text file read, bytes

// What the mesh code needs to know about one texture of the texture list.
struct t_meshtex {
    float scaleU = 0.0f; // generated coordinates: scale pair
    float scaleV = 0.0f;
    float offsetU = 0.0f; // generated coordinates: offsets
    float offsetV = 0.0f;
    int32_t texmode = 0; // projection mode 0..6
    bool quads = false;  // faces come as triangle pairs drawn as quads
    bool noclip = false; // faces take no part in the bounding box
};

// Where texture names and settings come from; meshTexturesOfTexList() reads
// the global texture list, tests and fuzzers give their own.
struct t_meshtexsource {
    // Index of the first texture of that name (any case), or -1.
    int32_t (*find)(const char* name, void* user);
    // Settings of texture index; false when there is no such texture.
    bool (*settings)(int32_t index, t_meshtex* out, void* user);
    void* user;
};
t_meshtexsource meshTexturesOfTexList();

// A parsed text mesh.
struct t_meshdata {
    std::vector<float> stream;                                                // vertex stream, ending in kMeshEnd
    uint32_t vertexCount = 0;                                                 // 3 per face
    float box[6] = {1000.0f, 1000.0f, 1000.0f, -1000.0f, -1000.0f, -1000.0f}; // min xyz, max xyz
};

// Parses a text mesh held in memory (`size` bytes, no terminator needed).
// Damaged parts are dropped with one message each naming `fileForMessages`
// and the line: a face cut short by the end of the file or by a word that is
// not a number, a number that is NaN, infinite or out of float range, a face
// whose first x is kMeshFaceLimit or more (it would be read as a marker), a
// texture name of more than 255 characters or one whose index is above
// kMeshMaxTexture (its faces then use texture 0).  Never fails: the result
// is at least the end value.
void parseMeshText(const char* data, size_t size, const char* fileForMessages, const t_meshtexsource& textures,
                   t_meshdata& out);

// Reads a UV side file held in memory into out (2 floats per vertex).  False
// (out emptied, a message naming the file) when size is not 8 * vertexCount
// or a value is NaN or infinite.
bool parseUVTex(const uint8_t* data, size_t size, uint32_t vertexCount, const char* fileForMessages,
                std::vector<float>& out);

// Generates texture coordinates for a stream: out gets room for 2 floats per
// vertex (all written pairs lie inside it; unwritten ones stay 0).
void generateUVCoords(const float* stream, size_t streamLength, uint32_t vertexCount, const t_meshtexsource& textures,
                      std::vector<float>& out);

// Whether the face starting at stream[i] is drawn as a quad: its texture has
// the quads flag and a second face (not a marker, not the end) follows it
// whole.  A lone triangle under a quads texture is drawn as a triangle, so no
// reader steps over a marker or past the end value.
inline bool meshFaceIsQuad(bool quads, const float* stream, size_t i, size_t streamLength)
{
    return quads && i + 18 < streamLength && stream[i + 9] < kMeshFaceLimit;
}

// The texture index a marker value names, or -1 for a value that is no marker
// of a selectable texture.
inline int32_t meshMarkerTexture(float marker)
{
    if (!(marker > kMeshMarkerLimit && marker <= kMeshMarkerBase)) {
        return -1;
    }
    return static_cast<int32_t>(kMeshMarkerBase - marker);
}

// One loaded mesh.  Arrays are owned by the record.
struct Cmesh {
    float* vertices = nullptr;  // vertex stream
    size_t streamLength = 0;    // floats in the stream, end value included
    float* normals = nullptr;   // 3 floats per vertex, or null (no loader fills it)
    float* texcoords = nullptr; // 2 floats per vertex (u, v)
    float box[6] = {};          // mesh coordinates: min x, y, z, max x, y, z
    uint32_t vertexCount = 0;   // 3 per face
    uint32_t index = 0;         // own position in the pool
    char rawFile[256] = {};     // file it was loaded from; the lookup key

    Cmesh() = default;
    ~Cmesh();
    Cmesh(const Cmesh&) = delete;
    Cmesh& operator=(const Cmesh&) = delete;
};

class Cmeshpool {
public:
    Cmesh* meshes;      // kMeshPoolSize records
    uint32_t count = 0; // records in use; a new mesh takes index count

    Cmeshpool();
    ~Cmeshpool();
    Cmeshpool(const Cmeshpool&) = delete;
    Cmeshpool& operator=(const Cmeshpool&) = delete;

    // Loads the text mesh `file` into record count, then its coordinates from
    // the side file named after uvName (".raw" replaced by ".uvtex") or, when
    // there is none or it is unusable, generated (CalcUVCoords).  Returns the
    // record's index.  Ends the engine (closeEngine) when the pool is full
    // (KRT_MESHPOOL) or the file cannot be read (KRT_FILE).
    uint32_t LoadMesh(const char* file, const char* uvName);
    // The same from bytes already in memory; `file` names the record.
    uint32_t LoadMeshFromMemory(const char* file, const char* data, size_t size, const char* uvName);
    // The first record whose file name matches (any case), or -1.
    int32_t Find(const char* file) const;
    // (Re)generates the texture coordinates of record index from the texture list.
    void CalcUVCoords(uint32_t index);

    float* GetMeshAddy(uint32_t index) { return meshes[index].vertices; }
    float* GetNormalAddy(uint32_t index) { return meshes[index].normals; }
    float* GetUVCoordAddy(uint32_t index) { return meshes[index].texcoords; }
    float GetMinX(uint32_t index) { return meshes[index].box[0]; }
    float GetMinY(uint32_t index) { return meshes[index].box[1]; }
    float GetMinZ(uint32_t index) { return meshes[index].box[2]; }
    float GetMaxX(uint32_t index) { return meshes[index].box[3]; }
    float GetMaxY(uint32_t index) { return meshes[index].box[4]; }
    float GetMaxZ(uint32_t index) { return meshes[index].box[5]; }
    uint32_t GetVertizes(uint32_t index) { return meshes[index].vertexCount; }
    const char* GetRawFile(uint32_t index) { return meshes[index].rawFile; }
};

// The pool; constructed before main, lives until exit.
extern Cmeshpool Meshpool;

// The side file name of a mesh: the last four characters (".raw") replaced by
// ".uvtex" (a name of four characters or fewer gets ".uvtex" appended).
void uvTexFileName(const char* meshFile, char* out, size_t outSize);
