// objects.cpp — the scene object lists: building them from the level record,
// model matrices and collision boxes, adding, copying and deleting objects.
#include "scene/objects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>
#include <vector>

#include "core/common.h"
#include "core/sys.h"
#include "image/texlist.h"
#include "scene/draw.h"
#include "scene/light.h"
#include "scene/meshpool.h"

// Both null until the scene builds its lists at level start.
Tree* baum = nullptr;
Person* player = nullptr;

namespace {

// Tables this engine made for the level record when objects were added; the
// game module never frees them.  Freed when replaced again and at level end.
t_tree* g_ownTreeTable = nullptr;
t_person* g_ownPersonTable = nullptr;
// Lengths of the lists as built, so they can be freed whatever the record says later.
uint32_t g_builtTrees = 0;
uint32_t g_builtPersons = 0;

constexpr float kDegToRad = 0.017453292519943295f;

// c = a * b, column-major 4x4.
void multiply(const float* a, const float* b, float* c)
{
    float r[16];
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[col * 4 + k];
            }
            r[col * 4 + row] = sum;
        }
    }
    std::memcpy(c, r, sizeof r);
}

// m = m * R(degrees about the axis: 0 x, 1 y, 2 z), as glRotatef composes.
void rotate(float* m, float degrees, int axis)
{
    const float c = std::cos(degrees * kDegToRad);
    const float s = std::sin(degrees * kDegToRad);
    float r[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const int a = (axis + 1) % 3; // the two axes the rotation mixes
    const int b = (axis + 2) % 3;
    r[a * 4 + a] = c;
    r[a * 4 + b] = s;
    r[b * 4 + a] = -s;
    r[b * 4 + b] = c;
    multiply(m, r, m);
}

t_vector transform(const float* m, float x, float y, float z)
{
    return t_vector(m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
                    m[2] * x + m[6] * y + m[10] * z + m[14]);
}

char* copyName(const char* text, size_t limit)
{
    const size_t length = strnlen(text, limit);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

void copyVec(t_vector& to, const float* from)
{
    to = t_vector(from[0], from[1], from[2]);
}

void storeVec(float* to, const t_vector& from)
{
    to[0] = from.x;
    to[1] = from.y;
    to[2] = from.z;
}

void copyField(char* to, const char* from)
{
    std::snprintf(to, 256, "%s", from != nullptr ? from : "");
}

void freeHeader(t_objheader& header)
{
    std::free(header.name);
    std::free(header.file);
    header.name = nullptr;
    header.file = nullptr;
}

void destroyLists()
{
    for (uint32_t i = 0; baum != nullptr && i < g_builtTrees; ++i) {
        freeHeader(baum[i].header);
    }
    for (uint32_t i = 0; player != nullptr && i < g_builtPersons; ++i) {
        freeHeader(player[i].header);
        std::free(player[i].skin);
    }
    delete[] baum;
    delete[] player;
    baum = nullptr;
    player = nullptr;
    g_builtTrees = 0;
    g_builtPersons = 0;
}

// Links an object to its own vectors or to those of tree `parent` of the list.
void link(t_objheader& header, int32_t parent, uint32_t treeCount)
{
    if (parent >= 0 && static_cast<uint32_t>(parent) < treeCount) {
        header.parentIndex = parent;
        header.positionRef = &baum[parent].header.position;
        header.rotationRef = &baum[parent].header.rotation;
    } else {
        header.parentIndex = -1;
        header.positionRef = &header.position;
        header.rotationRef = &header.rotation;
    }
}

const char* parentNameOf(int32_t parent)
{
    if (parent < 0 || baum == nullptr || static_cast<uint32_t>(parent) >= g_builtTrees ||
        baum[parent].header.name == nullptr) {
        return "NULL";
    }
    return baum[parent].header.name;
}

template <typename Rec>
void writeHeader(Rec& rec, const t_objheader& h)
{
    copyField(rec.name, h.name);
    copyField(rec.file, h.file);
    storeVec(rec.position, *h.positionRef);
    storeVec(rec.auxVector, h.auxVector);
    storeVec(rec.rotation, *h.rotationRef);
    storeVec(rec.rotationSpeed, h.rotationSpeed);
    rec.parentIndex = h.parentIndex;
    copyField(rec.parentName, parentNameOf(h.parentIndex));
    rec.soundIndex = h.spare;
}

// Parent indexes after tree `removed` left the list: later trees move down
// one place, followers of the removed tree follow nobody.
int32_t parentAfterRemoval(int32_t parent, uint32_t removed)
{
    if (parent < 0) {
        return parent;
    }
    if (static_cast<uint32_t>(parent) == removed) {
        return -1;
    }
    return static_cast<uint32_t>(parent) > removed ? parent - 1 : parent;
}

} // namespace

void calcViewMatrix(const t_objheader* object, float* matrix)
{
    const t_vector& p = object->positionRef != nullptr ? *object->positionRef : object->position;
    const t_vector& r = object->rotationRef != nullptr ? *object->rotationRef : object->rotation;
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, p.x, p.y, p.z, 1};
    rotate(m, r.x, 0);
    rotate(m, r.y, 1);
    rotate(m, r.z, 2);
    std::memcpy(matrix, m, sizeof m);
}

void calcTreeBoxes(Tree& tree, float minThickness)
{
    calcViewMatrix(&tree.header, tree.modelMatrix);
    const float* b = tree.localBox;
    if (!(b[0] <= b[3] && b[1] <= b[4] && b[2] <= b[5])) {
        // No face widened the box (no mesh, or only noclip faces): nothing to
        // collide with; the corners collapse onto the object's origin.
        const t_vector origin = transform(tree.modelMatrix, 0.0f, 0.0f, 0.0f);
        for (t_vector& c : tree.corners) {
            c = origin;
        }
        for (int f = 0; f < 6; ++f) {
            tree.faceMin[f] = t_vector(1.0e30f, 1.0e30f, 1.0e30f);
            tree.faceMax[f] = t_vector(-1.0e30f, -1.0e30f, -1.0e30f);
        }
        return;
    }
    const float xs[8] = {b[0], b[3], b[3], b[0], b[0], b[3], b[3], b[0]};
    const float ys[8] = {b[4], b[4], b[1], b[1], b[4], b[4], b[1], b[1]};
    const float zs[8] = {b[5], b[5], b[5], b[5], b[2], b[2], b[2], b[2]};
    for (int c = 0; c < 8; ++c) {
        tree.corners[c] = transform(tree.modelMatrix, xs[c], ys[c], zs[c]);
    }
    static const int kFaces[6][4] = {
        {0, 1, 2, 3}, {4, 5, 6, 7}, {0, 4, 7, 3}, {1, 5, 6, 2}, {0, 4, 5, 1}, {3, 7, 6, 2},
    };
    for (int f = 0; f < 6; ++f) {
        float lo[3] = {1000.0f, 1000.0f, 1000.0f};
        float hi[3] = {-1000.0f, -1000.0f, -1000.0f};
        for (int k = 0; k < 4; ++k) {
            const t_vector& c = tree.corners[kFaces[f][k]];
            const float v[3] = {c.x, c.y, c.z};
            for (int a = 0; a < 3; ++a) {
                lo[a] = v[a] < lo[a] ? v[a] : lo[a];
                hi[a] = v[a] > hi[a] ? v[a] : hi[a];
            }
        }
        for (int a = 0; a < 3; ++a) {
            if (hi[a] - lo[a] < minThickness) {
                const float d = minThickness - (hi[a] - lo[a]);
                lo[a] -= d / 2.0f;
                hi[a] += d / 2.0f;
            }
        }
        tree.faceMin[f] = t_vector(lo[0], lo[1], lo[2]);
        tree.faceMax[f] = t_vector(hi[0], hi[1], hi[2]);
    }
}

void calcMeshBB(uint32_t index)
{
    if (baum == nullptr || index >= g_builtTrees) {
        return;
    }
    calcTreeBoxes(baum[index], Level != nullptr ? Level->minBoxThickness : 0.0f);
}

void calcMeshBB(const t_objheader* object)
{
    if (object != nullptr) {
        calcMeshBB(object->index);
    }
}

bool treeLoadMesh(Tree& tree, const char* file)
{
    int32_t index = Meshpool.Find(file);
    if (index < 0) {
        if (fileType(file) != kFileTypeRaw) {
            return false;
        }
        index = static_cast<int32_t>(Meshpool.LoadMesh(file, file));
    }
    Cmesh& mesh = Meshpool.meshes[index];
    if (mesh.vertices == nullptr) {
        closeEngine(KRT_INTERNAL, "fehler im Meshpool :(\n");
    }
    tree.vertices = mesh.vertices;
    tree.streamLength = mesh.streamLength;
    tree.normals = mesh.normals;
    tree.texcoords = mesh.texcoords;
    tree.vertexCount = mesh.vertexCount;
    std::memcpy(tree.localBox, mesh.box, sizeof tree.localBox);
    return true;
}

void loadMeshs()
{
    destroyLists();
    selectedObj = nullptr;
    if (Level == nullptr) {
        return;
    }
    const uint32_t treeCount = Level->treeTable != nullptr ? Level->treeCount : 0;
    const uint32_t personCount = Level->personTable != nullptr ? Level->personCount : 0;
    if (treeCount > 0) {
        baum = new (std::nothrow) Tree[treeCount];
        if (baum == nullptr) {
            closeEngine(KRT_MESHPOOL, "interner fehler im Meshmodul (Playerpointer == NULL) ");
        }
    }
    if (personCount > 0) {
        player = new (std::nothrow) Person[personCount];
        if (player == nullptr) {
            closeEngine(KRT_MESHPOOL, "interner fehler im Meshmodul (Playerpointer == NULL) ");
        }
    }
    g_builtTrees = treeCount;
    g_builtPersons = personCount;

    for (uint32_t i = 0; i < treeCount; ++i) {
        const t_tree& rec = Level->treeTable[i];
        Tree& tree = baum[i];
        tree.header.index = i;
        tree.header.name = copyName(rec.name, sizeof rec.name - 1);
        if (tree.header.name == nullptr) {
            closeEngine(KRT_NOMEM, "bekam keinen Namensspeicher für Objnr: %i", static_cast<int>(i));
        }
        tree.header.file = copyName(rec.file, sizeof rec.file - 1);
        if (tree.header.file == nullptr) {
            closeEngine(KRT_NOMEM, "bekam keinen Objnamensspeicher für Objnr: %i", static_cast<int>(i));
        }
        const bool hasMesh = treeLoadMesh(tree, tree.header.file);
        if (!hasMesh) {
            std::printf("meshmodul meldet: Objekt %s: Datei %s ist kein raw-Mesh, wird nicht gezeichnet\n",
                        tree.header.name, tree.header.file);
        }
        copyVec(tree.header.position, rec.position);
        copyVec(tree.header.auxVector, rec.auxVector);
        copyVec(tree.header.rotation, rec.rotation);
        copyVec(tree.header.rotationSpeed, rec.rotationSpeed);
        tree.billboard = rec.billboard;
        // The record's sound binding rides along so that writing back keeps it.
        tree.header.spare = rec.soundIndex;
        tree.collidable = hasMesh ? 1 : 0;
        link(tree.header, rec.parentIndex, treeCount);
        tree.header.type = kObjTree;
        calcMeshBB(i);
    }
    for (uint32_t i = 0; i < personCount; ++i) {
        const t_person& rec = Level->personTable[i];
        Person& person = player[i];
        char file[256];
        copyField(file, rec.file);
        file[255] = '\0';
        person.model.Load(file);
        person.header.file = copyName(rec.file, sizeof rec.file - 1);
        person.header.name = copyName(rec.name, sizeof rec.name - 1);
        person.skin = copyName(rec.skin, sizeof rec.skin - 1);
        if (person.header.file == nullptr || person.header.name == nullptr || person.skin == nullptr) {
            closeEngine(KRT_NOMEM, "bekam keinen Namensspeicher für Objnr: %i", static_cast<int>(i));
        }
        copyVec(person.header.position, rec.position);
        copyVec(person.header.auxVector, rec.auxVector);
        copyVec(person.header.rotation, rec.rotation);
        copyVec(person.header.rotationSpeed, rec.rotationSpeed);
        person.header.spare = rec.soundIndex;
        person.loopStart = rec.loopStart;
        person.loopEnd = rec.loopEnd;
        person.animSpeed = rec.animSpeed;
        person.billboard = rec.billboard;
        person.header.type = kObjPerson;
        link(person.header, rec.parentIndex, treeCount);
    }
    initLight();
}

void DestroyObjects()
{
    destroyLists();
    selectedObj = nullptr;
    delete[] g_ownTreeTable;
    delete[] g_ownPersonTable;
    g_ownTreeTable = nullptr;
    g_ownPersonTable = nullptr;
}

void writeBackTrees(t_tree* table, uint32_t count)
{
    for (uint32_t i = 0; baum != nullptr && i < count && i < g_builtTrees; ++i) {
        const Tree& tree = baum[i];
        t_tree& rec = table[i];
        writeHeader(rec, tree.header);
        rec.billboard = tree.billboard;
    }
}

void writeBackPersons(t_person* table, uint32_t count)
{
    for (uint32_t i = 0; player != nullptr && i < count && i < g_builtPersons; ++i) {
        const Person& person = player[i];
        t_person& rec = table[i];
        writeHeader(rec, person.header);
        rec.billboard = person.billboard;
        copyField(rec.skin, person.skin);
        rec.animSpeed = person.animSpeed;
        rec.loopStart = person.loopStart;
        rec.loopEnd = person.loopEnd;
    }
}

void objectNameFor(const char* file, uint32_t number, char* out, size_t outSize)
{
    const char* slash = std::strchr(file, '/');
    const char* base = slash != nullptr ? slash + 1 : file;
    const char* dot = std::strchr(base, '.');
    const size_t stem = dot != nullptr ? static_cast<size_t>(dot - base) : std::strlen(base);
    std::snprintf(out, outSize, "%.*s%i", static_cast<int>(stem < 240 ? stem : 240), base, static_cast<int>(number));
}

namespace {

// A new table of count + 1 records: the old records (so that what the engine
// does not own survives), then the live objects written over them.
template <typename Rec>
Rec* grownTable(const Rec* old, uint32_t count)
{
    Rec* table = new Rec[count + 1]();
    for (uint32_t i = 0; old != nullptr && i < count; ++i) {
        table[i] = old[i];
    }
    return table;
}

template <typename Rec>
void fillNewRecord(Rec& rec, const char* file)
{
    rec.treeRecFlag = -1;
    rec.parentIndex = -1;
    rec.soundIndex = -1;
    copyField(rec.parentName, "NULL");
    copyField(rec.file, file);
    ++Level->objectNameCounter;
    objectNameFor(file, Level->objectNameCounter, rec.name, sizeof rec.name);
}

t_vector cameraPosition()
{
    return g_viewerPosition != nullptr ? *g_viewerPosition : t_vector();
}

} // namespace

t_objheader* addTree(const void* source, bool copy)
{
    if (Level == nullptr || source == nullptr) {
        return nullptr;
    }
    const t_objheader* original = nullptr;
    const Tree* sourceTree = nullptr;
    const char* file = nullptr;
    if (copy) {
        original = static_cast<const t_objheader*>(source);
        if (original->type != kObjTree || original->file == nullptr) {
            return nullptr;
        }
        for (uint32_t i = 0; baum != nullptr && i < g_builtTrees; ++i) {
            if (&baum[i].header == original) {
                sourceTree = &baum[i];
            }
        }
        if (sourceTree == nullptr) {
            return nullptr;
        }
        file = original->file;
    } else {
        file = static_cast<const char*>(source);
        if (fileType(file) == kFileTypeMd2) {
            return addPerson(file);
        }
        if (fileType(file) != kFileTypeRaw) {
            return nullptr;
        }
    }
    const uint32_t count = Level->treeTable != nullptr ? Level->treeCount : 0;
    t_tree* table = grownTable(Level->treeTable, count);
    writeBackTrees(table, count);
    t_tree& rec = table[count];
    fillNewRecord(rec, file);
    if (sourceTree != nullptr) {
        storeVec(rec.position, *original->positionRef);
        storeVec(rec.rotation, *original->rotationRef);
        storeVec(rec.rotationSpeed, original->rotationSpeed);
        rec.billboard = sourceTree->billboard;
    } else {
        storeVec(rec.position, cameraPosition());
    }
    if (Level->treeTable == g_ownTreeTable) {
        delete[] g_ownTreeTable;
    }
    Level->treeTable = table;
    g_ownTreeTable = table;
    Level->treeCount = count + 1;
    TexList.initTex();
    loadMeshs();
    return baum != nullptr ? &baum[count].header : nullptr;
}

t_objheader* addPerson(const char* file)
{
    if (Level == nullptr || file == nullptr) {
        return nullptr;
    }
    const uint32_t count = Level->personTable != nullptr ? Level->personCount : 0;
    t_person* table = grownTable(Level->personTable, count);
    writeBackPersons(table, count);
    t_person& rec = table[count];
    fillNewRecord(rec, file);
    storeVec(rec.position, cameraPosition());
    if (Level->personTable == g_ownPersonTable) {
        delete[] g_ownPersonTable;
    }
    Level->personTable = table;
    g_ownPersonTable = table;
    Level->personCount = count + 1;
    TexList.initTex();
    loadMeshs();
    return player != nullptr ? &player[count].header : nullptr;
}

void installObjectTables(const t_tree* trees, uint32_t treeCount, const t_person* persons, uint32_t personCount)
{
    if (Level == nullptr) {
        return;
    }
    t_tree* treeTable = new t_tree[treeCount + 1]();
    std::copy(trees, trees + treeCount, treeTable);
    t_person* personTable = new t_person[personCount + 1]();
    std::copy(persons, persons + personCount, personTable);
    const uint32_t counts[2] = {Level->treeCount, Level->personCount};
    delete[] g_ownTreeTable;
    delete[] g_ownPersonTable;
    g_ownTreeTable = treeTable;
    g_ownPersonTable = personTable;
    Level->treeTable = treeTable;
    Level->treeCount = treeCount;
    Level->personTable = personTable;
    Level->personCount = personCount;
    const uint32_t now[2] = {treeCount, personCount};
    for (uint32_t type = 0; type < 2; ++type) {
        if (counts[type] != now[type] && Level->onObjectCountChange != nullptr) {
            Level->onObjectCountChange(type, now[type]);
        }
    }
    TexList.initTex();
    loadMeshs();
}

void delTree(t_objheader* object)
{
    if (object == nullptr || Level == nullptr) {
        return;
    }
    const uint32_t type = object->type;
    if (Level->onObjectDelete != nullptr) {
        Level->onObjectDelete(type);
    }
    if (type == kObjTree) {
        uint32_t removed = g_builtTrees;
        for (uint32_t i = 0; baum != nullptr && i < g_builtTrees; ++i) {
            if (&baum[i].header == object) {
                removed = i;
            }
        }
        const uint32_t count = g_builtTrees;
        if (removed >= count || Level->treeTable == nullptr || Level->treeCount != count) {
            return;
        }
        if (Level->onObjectCountChange != nullptr) {
            Level->onObjectCountChange(type, count - 1);
        }
        std::vector<t_tree> live(Level->treeTable, Level->treeTable + count);
        writeBackTrees(live.data(), count);
        std::vector<t_person> persons;
        if (Level->personTable != nullptr && Level->personCount == g_builtPersons) {
            persons.assign(Level->personTable, Level->personTable + g_builtPersons);
            writeBackPersons(persons.data(), g_builtPersons);
        }
        uint32_t to = 0;
        for (uint32_t i = 0; i < count; ++i) {
            if (i == removed) {
                continue;
            }
            live[i].parentIndex = parentAfterRemoval(live[i].parentIndex, removed);
            Level->treeTable[to++] = live[i];
        }
        for (uint32_t i = 0; i < persons.size(); ++i) {
            persons[i].parentIndex = parentAfterRemoval(persons[i].parentIndex, removed);
            Level->personTable[i] = persons[i];
        }
        Level->treeCount = count - 1;
    } else if (type == kObjPerson) {
        uint32_t removed = g_builtPersons;
        for (uint32_t i = 0; player != nullptr && i < g_builtPersons; ++i) {
            if (&player[i].header == object) {
                removed = i;
            }
        }
        const uint32_t count = g_builtPersons;
        if (removed >= count || Level->personTable == nullptr || Level->personCount != count) {
            return;
        }
        if (Level->onObjectCountChange != nullptr) {
            Level->onObjectCountChange(type, count - 1);
        }
        std::vector<t_person> live(Level->personTable, Level->personTable + count);
        writeBackPersons(live.data(), count);
        uint32_t to = 0;
        for (uint32_t i = 0; i < count; ++i) {
            if (i != removed) {
                Level->personTable[to++] = live[i];
            }
        }
        Level->personCount = count - 1;
    } else {
        return;
    }
    loadMeshs();
}
