// collect.h — collecting the files of the running level into another
// directory, so that the directory is a data directory of its own from which
// the level runs without the original.
//
// The editor's "SaveGameFiles" command (commands/) asks the game module for a
// directory and calls com_SaveGameFiles with it.  The file list is built from
// the level record (`Level`), the texture list (`TexList`) and the fixed files
// every level needs; each file is copied with sysFileCopy (core/sys.h), which
// maps a source path below the target directory and refuses what would leave
// it ("..", absolute names, symbolic links in the target) and sources that
// are no regular files.  Paths are relative to the data directory (the
// engine's current directory).  Single-threaded, on the engine's thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Lev;
class TextureList;

// One file of a level.
struct t_gameFile {
    std::string path; // as the level names it, relative to the data directory
    bool optional;    // read by the engine only when present: a missing one is no fault
};

// The files the level uses, each once (the first naming wins, compared
// without regard to case, as files are found), in this order:
//   the level file; "config.cfg", "gfx/conchars.ppm", "gfx/load.ppm"; the
//   nine GUI images; the player figure's skin and model; the six sky faces,
//   or, when one of them is missing, the one-colour sky "stdbg.ppm" of the
//   level directory; the height map; the noise overlay's numbered images;
//   per particle system its texture and definition file; per tree its mesh,
//   the mesh name ending in "snd", its UV side file (".uvtex") and its
//   texture definition file (".tex"); per person its model, "snd" and ".tex";
//   per sound its sample, or for a footstep pair "links.8svx" and
//   "rechts.8svx" in its directory; the image of every texture of the list;
//   "Gfx/texrender.ppm".
// Empty names are left out.  Looks at the file system only to find the
// noise images and whether the sky falls back.
std::vector<t_gameFile> com_GameFileList(const Lev& level, const TextureList& textures);

// What one collecting run did.
struct t_collectResult {
    uint32_t copied = 0;      // files written into the target directory
    uint32_t failed = 0;      // files named but not copied (missing, refused, unreadable)
    uint32_t skipped = 0;     // optional files not present
    std::string firstFailure; // path of the first failed file; empty when none
};

// Copies `files` into the directory `dir` (which must exist) one after the
// other; a failure is named on the terminal and the run goes on.  The
// console gets one summary line.
t_collectResult com_CopyGameFiles(const std::vector<t_gameFile>& files, const char* dir);

// Copies every file of the running level (Level, TexList) into `dir`.  No
// level or no directory: nothing.
t_collectResult com_SaveGameFiles(const char* dir);
