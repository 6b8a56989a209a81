// collect.cpp — the file list of a level and copying it elsewhere.
#include "editor/collect.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "core/common.h"
#include "core/lev.h"
#include "core/sys.h"
#include "image/texlist.h"
#include "render/draw2d.h"
#include "scene/meshpool.h"

namespace {

// Loaded by the GUI at start, in this order.
const char* const kGuiImages[] = {
    "gfx/gui/arrow.ppm",     "gfx/gui/window.ppm",    "gfx/gui/button.ppm",
    "gfx/gui/border.ppm",    "gfx/gui/borderl.ppm",   "gfx/gui/borderr.ppm",
    "gfx/gui/bordersel.ppm", "gfx/gui/borderlsel.ppm", "gfx/gui/borderrsel.ppm",
};

// The noise overlay counts its images from 1 until one is missing; a pattern
// naming more than this many is no overlay anybody draws.
constexpr int kMaxNoiseImages = 10000;

// The record's names are fixed 256-byte fields; one filled to the last byte
// has no terminator.
std::string field(const char (&name)[256])
{
    return std::string(name, strnlen(name, sizeof name));
}

class FileList {
public:
    void add(const std::string& path, bool optional = false)
    {
        if (path.empty()) {
            return;
        }
        for (const t_gameFile& f : files) {
            if (strcasecmp(f.path.c_str(), path.c_str()) == 0) {
                return;
            }
        }
        files.push_back({path, optional});
    }

    // The name with its last three characters replaced by `ending`, the way
    // the level's side files were always named ("fir.raw" -> "fir.snd").
    void addEnding(const std::string& path, const char* ending)
    {
        if (path.size() >= 3) {
            add(path.substr(0, path.size() - 3) + ending, true);
        }
    }

    // The texture definition file the texture list reads for a model.
    void addTexFile(const std::string& model)
    {
        char tex[kTexWordMax + 8];
        texFileName(model.c_str(), tex, sizeof tex);
        add(tex);
    }

    std::vector<t_gameFile> files;
};

void addSky(FileList& list, const Lev& level)
{
    bool allFaces = true;
    for (const auto& face : level.skyFaceFiles) {
        allFaces = allFaces && sysFileExist(field(face).c_str()) != 0;
    }
    // Without all six faces the engine shows the one-colour image instead;
    // the faces that are there are taken along all the same.
    for (const auto& face : level.skyFaceFiles) {
        list.add(field(face), !allFaces);
    }
    if (!allFaces) {
        list.add(std::string(level.levelDirectory != nullptr ? level.levelDirectory : ".") + "/stdbg.ppm");
    }
}

void addNoise(FileList& list, const Lev& level)
{
    if (level.noiseParams == nullptr || level.noiseParams->filePattern == nullptr) {
        return;
    }
    // "gfx/noise.ppm" stands for gfx/noise1.ppm, gfx/noise2.ppm, ...
    const std::string pattern = level.noiseParams->filePattern;
    if (pattern.size() < 4) {
        return;
    }
    const std::string base = pattern.substr(0, pattern.size() - 4);
    const std::string ext = pattern.substr(pattern.size() - 4);
    for (int n = 1; n <= kMaxNoiseImages; ++n) {
        const std::string name = base + std::to_string(n) + ext;
        if (sysFileExist(name.c_str()) == 0) {
            break;
        }
        list.add(name);
    }
}

} // namespace

std::vector<t_gameFile> com_GameFileList(const Lev& level, const TextureList& textures)
{
    FileList list;
    if (level.levelDirectory != nullptr && level.levelFile != nullptr) {
        list.add(std::string(level.levelDirectory) + "/" + level.levelFile);
    }
    list.add("config.cfg");
    list.add("gfx/conchars.ppm");
    list.add("gfx/load.ppm");
    for (const char* image : kGuiImages) {
        list.add(image);
    }
    list.add("obj/player/pilot/pilot.ppm");
    list.add("obj/player/pilot/pilot.md2");
    addSky(list, level);
    list.add(field(level.heightMapFile));
    addNoise(list, level);

    for (uint32_t i = 0; i < level.particleSystemCount; ++i) {
        if (level.particleTextureFiles != nullptr) {
            list.add(field(level.particleTextureFiles[i]));
        }
        if (level.particleFiles != nullptr) {
            list.add(field(level.particleFiles[i]));
        }
    }
    for (uint32_t i = 0; level.treeTable != nullptr && i < level.treeCount; ++i) {
        const std::string mesh = field(level.treeTable[i].file);
        if (mesh.empty()) {
            continue;
        }
        list.add(mesh);
        list.addEnding(mesh, "snd");
        char uv[sizeof level.treeTable[i].file + 8];
        uvTexFileName(mesh.c_str(), uv, sizeof uv);
        list.add(uv, true);
        list.addTexFile(mesh);
    }
    for (uint32_t i = 0; level.personTable != nullptr && i < level.personCount; ++i) {
        const std::string model = field(level.personTable[i].file);
        if (model.empty()) {
            continue;
        }
        list.add(model);
        list.addEnding(model, "snd");
        list.addTexFile(model);
    }
    for (uint32_t i = 0; level.soundTable != nullptr && i < level.soundCount; ++i) {
        const std::string path = field(level.soundTable[i].path);
        if (level.soundTable[i].type == 1) {
            if (!path.empty()) {
                list.add(path + "/links.8svx");
                list.add(path + "/rechts.8svx");
            }
        } else {
            list.add(path);
        }
    }
    for (int32_t i = 0; i <= textures.lastIndex && i < kMaxTextures; ++i) {
        if (textures.textures[i].name != nullptr) {
            list.add(textures.textures[i].name);
        }
    }
    // Read only under the "-tex" switch.
    list.add("Gfx/texrender.ppm", true);
    return list.files;
}

t_collectResult com_CopyGameFiles(const std::vector<t_gameFile>& files, const char* dir)
{
    t_collectResult result;
    if (dir == nullptr || dir[0] == '\0') {
        return result;
    }
    for (const t_gameFile& f : files) {
        const bool present = sysFileExist(f.path.c_str()) != 0;
        if (!present && f.optional) {
            ++result.skipped;
            continue;
        }
        // sysFileCopy names why it refused a file; a missing one it leaves
        // to us.
        if (present && sysFileCopy(f.path.c_str(), dir) != 0) {
            ++result.copied;
            continue;
        }
        if (!present) {
            std::printf("SaveGameFiles: %s fehlt - nicht kopiert\n", f.path.c_str());
        }
        if (result.failed++ == 0) {
            result.firstFailure = f.path;
        }
    }
    std::printf("SaveGameFiles: %u Dateien nach %s kopiert, %u nicht kopiert\n", result.copied, dir, result.failed);
    std::fflush(stdout);
    if (result.failed == 0) {
        Con.printf("SaveGameFiles: %u Dateien nach %s kopiert", result.copied, dir);
    } else {
        Con.printf("SaveGameFiles: %u Dateien nach %s kopiert, %u nicht (zuerst %s; siehe Terminal)",
                   result.copied, dir, result.failed, result.firstFailure.c_str());
    }
    return result;
}

t_collectResult com_SaveGameFiles(const char* dir)
{
    if (Level == nullptr) {
        return t_collectResult{};
    }
    return com_CopyGameFiles(com_GameFileList(*Level, TexList), dir);
}
