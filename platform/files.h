// files.h — opening the files a level names, safely.
//
// A level file may point at anything: a FIFO, a device, a directory, a file
// of many gigabytes.  Every file the engine and its modules read on behalf of
// a level goes through here: the path is resolved without regard to case
// (platform/exec.h), opened without blocking, accepted only when it is a
// regular file, and read whole up to a cap that the caller chooses from what
// its format can need.  Safe across threads; no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class FileError {
    None,       // read completely
    NotFound,   // no such file (or null/empty name)
    NotRegular, // a directory, FIFO, device or socket
    TooLarge,   // larger than the caller's cap
    ReadFailed, // opened but reading failed
    NoMemory,   // the bytes do not fit in memory
};

// A short description of the error in the engine's language ("nicht
// gefunden", "keine normale Datei", ...), for messages that name the file.
const char* FileErrorText(FileError error);

// Opens a regular file for reading ("rb" or "r"); never blocks on a FIFO and
// never opens a device.  Null with *error set (when given) otherwise.
FILE* OpenRegularFile(const char* path, const char* mode, FileError* error = nullptr);

// Opens an existing regular file for reading and writing ("r+b"), for a file
// the engine updates in place.  Never creates it, never follows a symbolic
// link in the last component (a write through it could land outside the
// folder it is meant for) and refuses a file larger than maxBytes
// (TooLarge).  Null with *error set (when given) otherwise.
FILE* OpenRegularFileForUpdate(const char* path, uint64_t maxBytes, FileError* error = nullptr);

// Opens a file in the data folder for writing, created when missing: "wb"
// (emptied) or, with append, "ab".  Like the update above it never follows a
// symbolic link in the last component and never blocks on a FIFO; a name
// taken by anything but a regular file is refused (NotRegular) and left as
// it is.  Null with *error set (when given) otherwise.
FILE* OpenRegularFileForWrite(const char* path, bool append, FileError* error = nullptr);

// True when the path (resolved without regard to case) is a regular file that
// can be opened for reading.
bool IsRegularFile(const char* path);

// Reads the whole regular file into out (replacing its content).  A file of
// more than maxBytes bytes is refused with TooLarge and out left empty.
FileError ReadRegularFile(const char* path, size_t maxBytes, std::vector<uint8_t>& out);
FileError ReadRegularFile(const char* path, size_t maxBytes, std::string& out);
