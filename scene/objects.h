// objects.h — the placed scene objects: trees (static pooled meshes) and
// persons (animated figures), and the common object header they share with
// the particle systems and the camera.
//
// The scene code owns the two lists `baum` and `player`: it builds them from
// the level record's placement tables at level start and rebuilds them from
// scratch after every add or delete, so any pointer into them is valid only
// until the next rebuild.  Their lengths are Level->treeCount and
// Level->personCount; with a count of 0 the list may be null.  The camera
// reads the trees' collision boxes and every object's position; the drawing
// pass sets `collidable`; the editor selects objects by their header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/lev.h"
#include "core/mathlib.h"
#include "scene/md2.h"

// Values of t_objheader::type.
enum : uint32_t {
    kObjTree = 0,
    kObjPerson = 1,
    kObjParticleSystem = 2,
};

// The common head of every placed object.  A default-constructed header has
// all vectors zero, parentIndex -1 and null references; whoever places the
// object links positionRef/rotationRef (to its own vectors or to a parent
// tree's).  A copy shares the strings and references of its source.
struct t_objheader {
    uint32_t type = kObjTree;        // kObjTree, kObjPerson or kObjParticleSystem
    char* name = nullptr;            // owned, NUL-terminated; lights attach by it; may be null
    char* file = nullptr;            // owned mesh or model file name; may be null
    uint32_t index = 0;              // position in its list (persons keep 0)
    int32_t parentIndex = -1;        // -1: none, else index of the tree this object follows
    int32_t spare = 0;               // 0 in live objects; written back as the record's soundIndex
    t_vector position;               // world units
    t_vector* positionRef = nullptr; // effective position: &position or the parent tree's
    t_vector auxVector;              // carried unchanged to and from the level record
    t_vector rotation;               // degrees about x, y, z
    t_vector* rotationRef = nullptr; // effective rotation: &rotation or the parent tree's
    t_vector rotationSpeed;          // degrees per second about x, y, z
};

// One static mesh object.  The mesh binding points into the mesh pool, which
// owns it and outlives every tree.
struct Tree {
    t_objheader header;         // type kObjTree
    float* vertices = nullptr;  // vertex stream (markers, 9-float triangles, end 1010.0);
                                //   null for a tree without a mesh (not drawn, not collided)
    size_t streamLength = 0;    // floats in the stream, end value included
    float* normals = nullptr;   // 3 floats per vertex, or null for face normals
    float* texcoords = nullptr; // 2 floats per vertex
    uint32_t vertexCount = 0;   // vertices in the stream
    uint8_t collidable = 0;     // 1: near the camera this frame, tested for collision
    int32_t billboard = 0;      // 0 none, 1 full, >= 2 keeps the view's x rotation
    float localBox[6] = {};     // object space: min x, y, z, max x, y, z
    t_vector faceMin[6];        // world-space boxes around the six faces of the
    t_vector faceMax[6];        //   transformed box: max z, min z, min x, max x, max y, min y
    float modelMatrix[16] = {}; // object transform without the camera
    float eyeMatrix[16] = {};   // full model-view matrix when last drawn
    t_vector corners[8];        // world-space corners of the transformed local box

    // Draws the stream with the tree's model-view matrix current (scene/draw.cpp);
    // the argument has no effect.
    void drawMesh(bool unused = false);
};

// One animated figure; owns its model.
struct Person {
    t_objheader header;     // type kObjPerson
    char* skin = nullptr;   // owned texture name selected before drawing; null/empty: none
    uint16_t loopStart = 0; // first frame of the animation loop
    uint16_t loopEnd = 0;   // last frame of the animation loop
    float animSpeed = 0.0f; // animation speed factor
    int32_t billboard = 0;  // as for trees
    MD2 model;              // the figure; empty (draws nothing) when it failed to load
};

// The tree list: Level->treeCount entries, or null.  Valid between two
// rebuilds of the lists.
extern Tree* baum;
// The person list: Level->personCount entries, or null.
extern Person* player;

// Rebuilds both lists from the level record's tables (Level), then the lights
// (initLight).  A tree whose file is not a "raw" mesh keeps its place in the
// list (indexes stay those of the records) but gets no mesh, with a message.
// Ends the engine on the fatal conditions of the mesh pool and on missing
// memory for names.  Called at level start and after every add or delete.
void loadMeshs();
// Frees both lists (and the tables the engine made for the level record);
// at level end, after the game module is closed.
void DestroyObjects();

// The model matrix M = T(position) * Rx * Ry * Rz of an object, through its
// positionRef and rotationRef (degrees); column-major.  No GL.
void calcViewMatrix(const t_objheader* object, float* matrix);
// Tree i: model matrix, world corners C0..C7 and the six face boxes (max z,
// min z, min x, max x, max y, min y), each thickened on every axis to at
// least `minThickness` units (the level's minimum box thickness).
void calcMeshBB(uint32_t index);
void calcMeshBB(const t_objheader* object);
void calcTreeBoxes(Tree& tree, float minThickness);

// Binds tree to the pooled mesh of file (loading it when no record matches,
// any case).  False, with nothing bound, when the file is not a "raw" mesh.
bool treeLoadMesh(Tree& tree, const char* file);

// Adds an object: copy false: source is a file name ("raw": a tree, "md2": a
// person, anything else: nothing); copy true: source is a tree to duplicate
// (any other object: nothing).  Writes every live object back into new level
// tables, fills the new record, re-reads the texture definitions and rebuilds
// the lists.  Returns the new object (valid until the next rebuild) or null.
t_objheader* addTree(const void* source, bool copy);
t_objheader* addPerson(const char* file);
// Puts copies of the given tables in place of the level's (the engine owns
// them from then on), re-reads the texture definitions and rebuilds the
// lists.  The editor's undo uses it to bring back an earlier set of objects.
void installObjectTables(const t_tree* trees, uint32_t treeCount, const t_person* persons, uint32_t personCount);
// Removes a tree or a person (level callbacks, tables rewritten in place,
// lists rebuilt).  Null does nothing.
void delTree(t_objheader* object);

// The name an added object gets: the file name without everything up to and
// including its first "/" and without everything from its first "." on,
// followed by the number ("obj/fir.raw", 7 -> "fir7").
void objectNameFor(const char* file, uint32_t number, char* out, size_t outSize);

// Writes the live objects back into tables (count entries each, records
// already holding what the engine does not own, such as treeRecFlag).
void writeBackTrees(t_tree* table, uint32_t count);
void writeBackPersons(t_person* table, uint32_t count);
