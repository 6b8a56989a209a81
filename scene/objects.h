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

#include <cstdint>

#include "core/mathlib.h"

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
    t_objheader header;              // type kObjTree
    float* vertices = nullptr;       // vertex stream (markers, 9-float triangles, end 1010.0)
    float* normals = nullptr;        // 3 floats per vertex, or null for face normals
    float* texcoords = nullptr;      // 2 floats per vertex
    uint32_t vertexCount = 0;        // vertices in the stream
    uint8_t collidable = 0;          // 1: near the camera this frame, tested for collision
    int32_t billboard = 0;           // 0 none, 1 full, >= 2 keeps the view's x rotation
    float localBox[6] = {};          // object space: min x, y, z, max x, y, z
    t_vector faceMin[6];             // world-space boxes around the six faces of the
    t_vector faceMax[6];             //   transformed box: max z, min z, min x, max x, max y, min y
    float modelMatrix[16] = {};      // object transform without the camera
    float eyeMatrix[16] = {};        // full model-view matrix when last drawn
    t_vector corners[8];             // world-space corners of the transformed local box
};

// One animated figure.  The MD2 model it draws (owned) joins this record with
// the model loader.
struct Person {
    t_objheader header;              // type kObjPerson
    char* skin = nullptr;            // owned texture name selected before drawing; null/empty: none
    uint16_t loopStart = 0;          // first frame of the animation loop
    uint16_t loopEnd = 0;            // last frame of the animation loop
    float animSpeed = 0.0f;          // animation speed factor
    int32_t billboard = 0;           // as for trees
};

// The tree list: Level->treeCount entries, or null.  Valid between two
// rebuilds of the lists.
extern Tree* baum;
// The person list: Level->personCount entries, or null.
extern Person* player;
