// lev.h — the level record shared by the engine and the game module.
//
// The game module (Spielmod) reads a level's files, fills one `Lev` in its own
// memory and posts its address to the engine's port "VextPort".  From then on
// the engine reads the level from it and writes a few fields back (edits,
// counts, camera start, fog, sound state); it tells the module to end by
// setting `moduleQuit`.  This header is the whole interface between the two:
// plain structs, native byte order and pointer width, in the order the engine
// was designed with.  Bump `kLevVersion` when the layout changes.
//
// Units, axes and angles as core/common.h states them (one world unit is one
// terrain cell); times in seconds, colours 0..1 unless noted.
// Ownership: the record, its strings and tables belong to the module and live
// until the module has seen `moduleQuit`.  Tables the engine replaces when it
// adds objects (`treeTable`, `personTable`) are then the engine's; the module
// must not free a table it did not allocate.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint8_t kLevVersion = 1; // value of Lev::moduleVersion

// One static mesh object ("tree") placement.
struct t_tree {
    int32_t treeRecFlag;    // -1 in a record made by adding a tree; otherwise unused
    int32_t parentIndex;    // -1: none; else index of the tree this one follows
    int32_t soundIndex;     // index of the level sound bound to it, -1: none
    char parentName[256];   // followed object's name, or "NULL"
    char name[256];         // object name: key for lights, editor, texture definitions
    char file[256];         // mesh file (".raw"); base name + ".tex" is its texture file
    float position[3];      // world x, y, z
    float auxVector[3];     // carried unchanged
    float rotation[3];      // degrees about x, y, z
    float rotationSpeed[3]; // degrees per second
    int32_t billboard;      // 0 none, 1 full billboard, >=2 keeps the view's x rotation
};

// One animated MD2 character ("person") placement.
struct t_person {
    int32_t treeRecFlag;
    int32_t parentIndex;
    int32_t soundIndex;
    char parentName[256];
    char name[256];
    char file[256];  // ".md2" model
    char skin[256];  // texture name selected before drawing; empty: none
    float animSpeed; // animation speed factor
    float position[3];
    float auxVector[3];
    float rotation[3];      // degrees
    float rotationSpeed[3]; // degrees per second
    int32_t billboard;
    uint16_t loopStart; // first frame of the animation loop
    uint16_t loopEnd;   // last frame of the animation loop
};

// One coloured point light.
struct LevLight {
    float radius;      // distance divisor of the fall-off
    float position[3]; // position of a free light
    float colour[4];   // R, G, B, A in 0..255 (A unused)
    uint8_t mask;      // 4: all vertices, 8: first vertex of each tree face
    char* attachTo;    // "None" free, "Cam" follows the camera, else an object name
};

// One level sound.
struct LevSound {
    char name[256];        // sound name (also matched against object parent names)
    char path[256];        // sample file; footstep pair: directory of links/rechts.8svx
    uint8_t bindToObject;  // nonzero: follows an object
    int32_t objectIndex;   // written by the engine: bound object's index
    uint8_t playing;       // written by the engine: its play state
    uint8_t type;          // 0 music, 1 footstep pair, 2 plain, 3 positional loop, 4 plain
    uint32_t frequency;    // playback rate in Hz
    uint8_t volumePercent; // 0..100
    float innerRadius;     // full volume inside
    float outerRadius;     // silent beyond
    float falloff;         // fall-off factor between the radii
    float position[3];     // position of a positional sound
    uint32_t slot;         // written by the engine: sample slot in the sound module
};

// One key binding: a key name ("K_ESCAPE", "w") and a command ("quit").
struct LevKeyBinding {
    char* key;
    char* command;
};

// Noise overlay parameters.
struct SNoise {
    char* filePattern; // base name with a 4-character extension; frames from 1
    float startTime;   // start value of the frame timer, seconds
    float secondsPerImage;
    float tint[4]; // R, G, B, A 0..1
};

// Services of the game module.  `window` is the engine's display window
// (an opaque handle; null at start-up).
typedef void (*LevObjectDeleteFn)(uint32_t objectType); // 0 tree, 1 person
typedef void (*LevObjectCountFn)(uint32_t objectType, uint32_t newCount);
typedef char* (*LevDirRequestFn)(const char* title, uint32_t zero, void* window);
typedef char* (*LevFileRequestFn)(const char* title, const char* drawer, const char* pattern, void* window,
                                  uint32_t zero1, uint32_t zero2);
typedef int (*LevLoaderFn)(const char* levelName, void* window);
typedef int (*LevSaveFn)(uint32_t zero);

struct Lev {
    LevObjectDeleteFn onObjectDelete;     // called before an object is deleted
    LevObjectCountFn onObjectCountChange; // called after, with the list's new count
    float viewDistance;                   // far clip, terrain radius, draw distance (units)
    uint8_t fogOn;
    float fogColor[4];     // RGBA 0..1; RGB is also the clear colour
    float fogStart;        // units
    float fogEnd;          // units
    float fogDensity;      // for EXP and EXP2
    char fogModeName[4];   // "LIN", "EXP", "EXP2" (any case); not NUL-terminated at 4
    uint32_t screenWidth;  // pixels
    uint32_t screenHeight; // pixels
    uint32_t windowMode;   // nonzero: window instead of full screen
    uint8_t pixelDepth;    // bits per pixel
    uint32_t brightnessPercent;
    uint16_t maxTextureSize;      // largest texture edge, texels
    SNoise* noiseParams;          // null: no overlay
    LevDirRequestFn dirRequest;   // null result: cancelled
    LevFileRequestFn fileRequest; // null result: cancelled
    LevLoaderFn levelLoader;      // nonzero: loaded
    LevSaveFn saveInitFn;         // writes the level files back
    char* levelDirectory;         // "levels/select"
    char* levelFile;              // the level file's path
    char heightMapFile[256];      // height-map image; unopenable: no terrain
    char skyFaceFiles[6][256];    // sky-box faces 0..5
    uint32_t personCount;
    uint32_t treeCount;
    uint32_t particleSystemCount; // every particle array has this many entries
    t_tree* treeTable;
    t_person* personTable;
    char (*particleNames)[256];
    char (*particleTextureFiles)[256];
    float (*particleVelocityBase)[3]; // units per second
    float (*particleVelocityVariance)[3];
    float* particleSize; // quad edge, units
    float* particleRate; // particles per second
    uint8_t* particleScrollTexture;
    float* particleTexOffsetU;
    float* particleTexOffsetV;
    float* particleTexScaleU;
    float* particleTexScaleV;
    uint32_t* particleMaxCount;
    uint32_t objectNameCounter; // names of added objects
    float (*particleExtent)[3]; // half width, fall height, half depth
    float (*particleOrigin)[3]; // centre of the emission box's top face
    float camStartPos[3];
    float camStartYaw;     // degrees
    float minBoxThickness; // units
    float gravity;         // units per second
    float eyeHeight;       // units
    float stepHeight;      // units
    uint8_t dynamicLighting;
    float litBaseColour[3];
    float unlitColour[3];
    uint32_t lightCount;
    LevLight* lightTable;
    uint8_t moduleQuit; // engine writes 1: module, please end
    uint32_t keyBindingCount;
    LevKeyBinding* keyBindings; // order matters
    LevSound* soundTable;
    uint32_t soundCount;
    float mouseSensitivity;
    uint8_t moduleVersion;      // kLevVersion
    char (*particleFiles)[256]; // definition file of each particle system
    char loadMessage[256];      // why the last levelLoader call failed ("file:line: problem",
                                //   UTF-8), empty after a load that worked
};

// moduleQuit crosses threads (engine writes, module polls); use these.
inline void levSetQuit(Lev* lev)
{
    __atomic_store_n(&lev->moduleQuit, uint8_t(1), __ATOMIC_RELEASE);
}
inline bool levQuitRequested(const Lev* lev)
{
    return __atomic_load_n(&lev->moduleQuit, __ATOMIC_ACQUIRE) != 0;
}

// The layout both sides were built with.  A change to one of these structs
// must bump kLevVersion, and then these figures too; new Lev fields go at the
// end.  The sizes hold on every ABI we build for (no pointers inside).
static_assert(sizeof(t_tree) == 832, "t_tree changed: bump kLevVersion");
static_assert(sizeof(t_person) == 1096, "t_person changed: bump kLevVersion");
static_assert(sizeof(LevSound) == 560, "LevSound changed: bump kLevVersion");

namespace lev_layout {

// Lev's fields in declaration order; a field moved or removed breaks the
// strict rise below.
constexpr size_t kFieldOffsets[] = {
    offsetof(Lev, onObjectDelete),
    offsetof(Lev, onObjectCountChange),
    offsetof(Lev, viewDistance),
    offsetof(Lev, fogOn),
    offsetof(Lev, fogColor),
    offsetof(Lev, fogStart),
    offsetof(Lev, fogEnd),
    offsetof(Lev, fogDensity),
    offsetof(Lev, fogModeName),
    offsetof(Lev, screenWidth),
    offsetof(Lev, screenHeight),
    offsetof(Lev, windowMode),
    offsetof(Lev, pixelDepth),
    offsetof(Lev, brightnessPercent),
    offsetof(Lev, maxTextureSize),
    offsetof(Lev, noiseParams),
    offsetof(Lev, dirRequest),
    offsetof(Lev, fileRequest),
    offsetof(Lev, levelLoader),
    offsetof(Lev, saveInitFn),
    offsetof(Lev, levelDirectory),
    offsetof(Lev, levelFile),
    offsetof(Lev, heightMapFile),
    offsetof(Lev, skyFaceFiles),
    offsetof(Lev, personCount),
    offsetof(Lev, treeCount),
    offsetof(Lev, particleSystemCount),
    offsetof(Lev, treeTable),
    offsetof(Lev, personTable),
    offsetof(Lev, particleNames),
    offsetof(Lev, particleTextureFiles),
    offsetof(Lev, particleVelocityBase),
    offsetof(Lev, particleVelocityVariance),
    offsetof(Lev, particleSize),
    offsetof(Lev, particleRate),
    offsetof(Lev, particleScrollTexture),
    offsetof(Lev, particleTexOffsetU),
    offsetof(Lev, particleTexOffsetV),
    offsetof(Lev, particleTexScaleU),
    offsetof(Lev, particleTexScaleV),
    offsetof(Lev, particleMaxCount),
    offsetof(Lev, objectNameCounter),
    offsetof(Lev, particleExtent),
    offsetof(Lev, particleOrigin),
    offsetof(Lev, camStartPos),
    offsetof(Lev, camStartYaw),
    offsetof(Lev, minBoxThickness),
    offsetof(Lev, gravity),
    offsetof(Lev, eyeHeight),
    offsetof(Lev, stepHeight),
    offsetof(Lev, dynamicLighting),
    offsetof(Lev, litBaseColour),
    offsetof(Lev, unlitColour),
    offsetof(Lev, lightCount),
    offsetof(Lev, lightTable),
    offsetof(Lev, moduleQuit),
    offsetof(Lev, keyBindingCount),
    offsetof(Lev, keyBindings),
    offsetof(Lev, soundTable),
    offsetof(Lev, soundCount),
    offsetof(Lev, mouseSensitivity),
    offsetof(Lev, moduleVersion),
    offsetof(Lev, particleFiles),
    offsetof(Lev, loadMessage),
};

constexpr bool fieldsInOrder()
{
    for (size_t i = 1; i < sizeof kFieldOffsets / sizeof kFieldOffsets[0]; ++i) {
        if (kFieldOffsets[i - 1] >= kFieldOffsets[i]) {
            return false;
        }
    }
    return true;
}
static_assert(fieldsInOrder(), "Lev's fields were reordered: append instead, and bump kLevVersion");

// On 64-bit builds (the only ones we ship) the engine finds the version byte
// here whatever version the module was built with.
#if __SIZEOF_POINTER__ == 8
static_assert(offsetof(Lev, moduleVersion) == 2184, "Lev's version byte moved: bump kLevVersion");
static_assert(sizeof(Lev) == 2456, "Lev changed size: bump kLevVersion");
#endif

} // namespace lev_layout
