// spielmod.h — the game module (Spielmod.mod): reads a level's files into the
// level record `Lev` (core/lev.h), offers the record's services (level
// loader, save, requesters, object callbacks) and hands the record to the
// engine through the port "VextPort".
//
// One `SpielContext` is one running instance of the module.  The module file
// is started again at every level change while the previous instance is
// still running, and the engine keeps the old record when the new level does
// not load.  The services are plain C pointers without a context argument,
// so each instance's record gets entry points of its own that reach only that
// instance, for as long as it exists; the old record keeps working whatever
// the new instance does or when it ends.  `spielLive` is the instance posted
// last.  The engine calls the
// services on its own thread; the instance's own thread only polls the quit
// byte.  Everything reachable from the record belongs to the instance, except
// the tree and person tables the engine puts in when it adds objects.
//
// Files (TOML, read with toml++; paths relative to the data root, which is
// the engine's current directory):
//   config.cfg               defaults of every level (display, camera physics,
//                            fog, lighting, key bindings)
//   levels/NAME/level.toml   one level; NAME is matched without regard to case
// The keys of both files are described at the top of levelparse.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "core/lev.h"

struct LevelStore;

// One module instance: the record it posts and everything the record points to.
struct SpielContext {
    SpielContext();
    ~SpielContext();
    SpielContext(const SpielContext&) = delete;
    SpielContext& operator=(const SpielContext&) = delete;

    Lev lev;                           // the record posted to the engine
    std::string dataRoot;              // directory holding config.cfg and levels/; "" = current directory
    std::istream* requestIn;           // requesters read the answer here; default std::cin
    std::FILE* promptOut;              // requesters print their title here; default stdout, null: silent
    std::FILE* messageOut;             // messages are printed here; default stdout, null: only kept
    std::vector<std::string> messages; // every message of this instance, in order, without "\n"
    std::unique_ptr<LevelStore> store; // the loaded level; null until the first successful load
    std::string requestAnswer;         // the last requester answer; its c_str() is what was returned
    std::string chooser;               // program of the requesters' window ("zenity"); empty: terminal only
    uint32_t deletions[2];             // onObjectDelete calls since the load: [0] trees, [1] persons
    uint32_t announcedCount[2];        // last count passed to onObjectCountChange, per type
    size_t slot;                       // which entry points the record's services use (internal)
};

// The text of one file and the name used in its messages.
struct SpielSource {
    std::string text;
    std::string name; // e.g. "levels/select/level.toml"
};

// Creates an instance whose record holds the built-in defaults, moduleVersion
// kLevVersion and the service pointers.  Never null.
SpielContext* spielCreate();
// Frees the instance and everything it allocated (never a table the engine
// allocated).  Unbinds it first when it is the live instance.  Null: nothing.
void spielDestroy(SpielContext* ctx);

// The instance posted last; null when none is bound.
SpielContext* spielLive();
// Makes ctx the live instance (the module does this right before posting).
void spielBind(SpielContext* ctx);
// Clears the live instance, but only if it is still ctx: an ending old
// instance must not unbind the new one.
void spielUnbind(SpielContext* ctx);

// Fills the level part of a record with the built-in defaults (used for every
// key that neither config.cfg nor the level file sets).  Leaves the service
// pointers, moduleVersion and moduleQuit alone; tables become empty.
void levFillDefaults(Lev* lev);

// Loads levels/NAME/level.toml (with config.cfg) into the record.  Returns 1
// on success.  Returns 0 after printing what is wrong (file, line, key) when
// the name is unsafe, the level does not exist or a file does not parse; the
// record then keeps the level it held before.
int spielLoadLevel(SpielContext* ctx, const char* levelName);
// The same from memory: `config` may be null (built-in defaults only);
// `levelDirectory` becomes the record's levelDirectory ("levels/NAME"), and
// the level file is taken to be levelDirectory + "/level.toml" when saving.
int spielLoadFromText(SpielContext* ctx, const SpielSource* config, const SpielSource& level,
                      const std::string& levelDirectory);

// Writes the loaded level file back from the record: placements, counts,
// camera start, fog (mode included), view distance, particle extents and
// origins, changed in place; every other byte of the file stays as it was
// read.  Writes a new file beside it (created exclusively, never through a
// link) and renames it over the level file; a level file whose real path
// lies outside the data directory is not written.  Returns 1 on success, 0
// (with a message; the old file untouched) on failure.
int spielSave(SpielContext* ctx);

// Requesters.  Where a display is present (spielmod/chooser.h) they open the
// `chooser` program's window with the title, for a file in `drawer` with the
// pattern as its filter; a chosen file inside the data directory comes back
// relative to it, anything else as the window gave it; a closed window is
// null (cancelled).  Without a display, or when the window cannot be shown
// (said once, then the instance stays on the terminal), they print the title
// as a prompt and read one line: an empty line or end of input is null.  The
// returned text belongs to the instance and stays valid until its next
// request or its end.  A typed file answer without a "/" is taken to lie in
// `drawer` and is returned as drawer/answer.
char* spielDirRequest(SpielContext* ctx, const char* title);
char* spielFileRequest(SpielContext* ctx, const char* title, const char* drawer, const char* pattern);

// Object callbacks: bookkeeping only (counted per type, shown when saving);
// the record's tables and counts, which the engine maintains, are what a
// save writes.  Unknown types are ignored.
void spielObjectDelete(SpielContext* ctx, uint32_t objectType);
void spielObjectCountChange(SpielContext* ctx, uint32_t objectType, uint32_t newCount);

// The module's process: creates an instance, posts its record to "VextPort"
// (prints a message and returns 0 when there is no such port), polls the quit
// byte once per tick, then frees the instance.  Also ends when the port it
// posted to has gone (the engine ended without telling it).  Returns 0.
int spielModuleMain();

// Prints one message: "Spielmod: " + text, kept in ctx->messages.
void spielMessage(SpielContext* ctx, const char* format, ...) __attribute__((format(printf, 2, 3)));
