// texlist.h — the level's texture table and its texture definition files.
//
// All named textures of a level live in the one global table `TexList`:
// parallel arrays of kMaxTextures entries, filled from index 0 upwards and
// never emptied while the program runs.  Which textures exist, and how each
// is drawn, comes from the ".tex" file beside every tree mesh and every person
// model of the level (the model's file name up to its first "." plus ".tex").
// initTex reads them at engine start, at every level start and after an
// object is added; the mesh loader, the object drawing, the particles and the
// noise overlay read the per-texture attributes and select textures, blend
// functions and sphere mapping through the filters here, which skip GL calls
// that would not change the state.  Single-threaded; needs the GL context.
//
// Definition file grammar (words separated by white space; an entry whose name or file is made of
// NUL bytes is skipped with a message; keywords compare without regard to case; "#" starts a
// comment running to the end of the line):
//   tree file:   NAME FILE SCALEU SCALEV { keyword }
//   person file: NAME FILE { keyword }
//   keywords:    blend INT | blendmode INT | envmode | quads | noclip |
//                nozbuf (trees) | texmode INT | offset FLOAT FLOAT |
//                emissiveRGB INT INT INT (0..255) | startframe INT (persons) |
//                endframe INT (persons) | animspeed FLOAT (persons)
// Any other word ends the entry and starts the next one as its name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/mathlib.h"
#include "image/texture.h"

struct t_person;

constexpr int32_t kMaxTextures = 2000;      // capacity of the table
constexpr int32_t kTexFileCacheSize = 2000; // definition files remembered
constexpr int32_t kTexWordMax = 255;        // longest name or word, characters

// Blend modes of selectBlendmode (source, destination factor).
enum {
    kBlendAlpha = 0,     // SRC_ALPHA, ONE_MINUS_SRC_ALPHA
    kBlendAdd = 1,       // ONE, ONE; such textures are loaded without colour key
    kBlendModulate = 2,  // DST_COLOR, ZERO
    kBlendReplace = 3,   // ONE, ZERO
    kBlendModulate2 = 4, // DST_COLOR, SRC_COLOR
};

// One entry of a definition file, as handed to loadTexture.
struct t_texdef {
    char name[kTexWordMax + 1]; // texture name
    char file[kTexWordMax + 1]; // image file (".ppm" or ".tga")
    float scaleU;               // texture-coordinate scale pair (trees; 0 for persons)
    float scaleV;
    float offsetU; // "offset"
    float offsetV;
    int32_t texmode;   // "texmode": projection 0..6
    bool envmode;      // "envmode"
    bool quads;        // "quads" (trees only)
    int32_t blend;     // "blend": alpha percent, default 100
    int32_t blendmode; // "blendmode": kBlend*
    bool noclip;       // "noclip"
    bool nozbuf;       // "nozbuf" (trees only)
    t_rgb emissive;    // "emissiveRGB" / 255
};

// What a person's definition file sets in the person's record besides textures.
struct t_texmodel {
    bool hasStartFrame;
    uint16_t startFrame; // "startframe"
    bool hasEndFrame;
    uint16_t endFrame; // "endframe"
    bool hasAnimSpeed;
    float animSpeed; // "animspeed"
};

// Parses a definition file held in memory (`size` bytes, no terminator
// needed).  `person` selects the person grammar.  Each entry is passed to
// `entry(def, user)` in file order.  Problems (a word over kTexWordMax
// characters: cut to that length; a missing or malformed number: the
// default stays; an entry without a file name: dropped) are printed as one
// warning naming `fileForMessages` and the entry, and reading goes on.
// Returns the number of entries passed on.
int parseTexDefs(const char* data, size_t size, bool person, const char* fileForMessages,
                 void (*entry)(const t_texdef& def, void* user), void* user, t_texmodel* model);

class TextureList {
public:
    STexture textures[kMaxTextures];
    char* names[kMaxTextures];    // owned copies; compared without regard to case
    uint32_t glIds[kMaxTextures]; // GL texture names, copies of textures[i].id
    float scaleU[kMaxTextures];   // texture-coordinate scale pair for generated UVs
    float scaleV[kMaxTextures];
    float offsetU[kMaxTextures]; // texture-coordinate offsets
    float offsetV[kMaxTextures];
    int32_t texmode[kMaxTextures];   // UV projection mode 0..6
    bool nozbuf[kMaxTextures];       // faces drawn with the other depth test
    int32_t blend[kMaxTextures];     // alpha percent 0..100 of the faces
    uint8_t blendmode[kMaxTextures]; // kBlend*
    bool envmode[kMaxTextures];      // sphere-mapped environment texture
    bool noclip[kMaxTextures];       // faces take no part in boxes and collision
    bool quads[kMaxTextures];        // faces come as triangle pairs drawn as quads
    t_rgb emissive[kMaxTextures];    // added to vertex colours, 0..1 per channel
    int32_t lastIndex;               // highest used index; -1 when empty

    char* texFiles[kTexFileCacheSize]; // definition files already read (owned)
    int32_t texFileCount;

    TextureList();
    ~TextureList();
    TextureList(const TextureList&) = delete;
    TextureList& operator=(const TextureList&) = delete;

    // Adds texture `name` made from `file` unless the name is already in the
    // table (any case).  A full table ends the engine (KRT_FATAL).  Blend mode
    // 1 textures are loaded without the colour key.
    void loadTexture(const char* name, const char* file, float scaleU, float scaleV, float offsetU, float offsetV,
                     int texmode, bool envmode, bool quads, int blend, int blendmode, bool noclip, bool nozbuf,
                     t_rgb emissive, int minFilter, int magFilter, bool alphaKey, int keyR, int keyG, int keyB);
    // The lowest index whose name matches without regard to case, or -1.
    int32_t findTexture(const char* name) const;
    // Binds the first texture of that name; an unknown name binds nothing.
    void selectTexture(const char* name);
    // Binds texture `index` when it is in 0..lastIndex; otherwise nothing.
    void selectTexture(int index);
    // glBlendFunc for mode (kBlend*) unless it is the last mode selected;
    // numbers outside the table are remembered but change nothing.
    void selectBlendmode(uint8_t mode);
    // Sphere-map texture generation on S and T on or off, unless unchanged.
    void selectEnvmode(bool on);
    // Forgets the remembered blend mode and sphere-map setting, so the next
    // selection sets GL again (for a new GL context).
    void resetSelectionState();

    // The definition-file cache: remembers `file` (exact spelling); when full
    // it says so and starts over at the first slot.
    void SetTexFile(const char* file);
    // Whether `file` was remembered (case-sensitive).
    bool ExistTexFile(const char* file) const;

    // Reads the definition files of the current level (`Level`): once per
    // tree file (cached), every time per person file; with the "-tex" switch
    // also creates Ttexrender.  A missing definition file ends the engine
    // (KRT_FILE).
    void initTex();

private:
    uint8_t lastBlendmode_; // 99: none selected yet
    bool lastEnvmode_;

    void readTreeFile(const char* texFile);
    void readPersonFile(const char* texFile, t_person* person);
};

// The level's texture table; constructed before main, lives until exit.
extern TextureList TexList;
// The single texture every tree face is drawn with under the "-tex" switch;
// created by initTex from "Gfx/texrender.ppm".
extern STexture Ttexrender;

// The definition file of a model file: the name up to its first "." (at most
// kTexWordMax characters of it) plus ".tex"; a name without "." gets ".tex"
// appended.  Writes at most outSize bytes, always terminated.
void texFileName(const char* modelFile, char* out, size_t outSize);
