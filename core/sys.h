// sys.h — system services: the TCP/IP stack test at start, the final process
// exit, the frame clock, file existence, type and copying, path helpers and
// float byte swapping.
//
// Called from everywhere on the engine's single thread: initEngine runs
// sysInit once, the frame loop reads sysGetTime once per frame, closeEngine
// ends in sysShutdown.  The state here is the few globals below; the clock
// and the stack test are reached through function pointers so that tests can
// replace them.  Every file is opened through the case-insensitive resolver of
// platform/exec.h, because level data names files without regard to case.
#pragma once

#include <cstdint>

// 1 once sysInit found a TCP/IP stack; cleared again by sysShutdown.
extern uint8_t isON;
// Sub-second part of the previous clock reading, seconds 0..1; 0 means "no
// reading yet" (the next reading then measures 0).
extern float inittime;

// The frame clock's source: microseconds within the current second of the
// wall clock, 0..999999.  Default sysClockMicros (gettimeofday).
using SysClockFn = int32_t (*)();
extern SysClockFn g_sysClock;
int32_t sysClockMicros();

// The TCP/IP stack test: nonzero when a stack is there.  Default
// platformTcpStackPresent (platform/net.h).
using SysStackProbeFn = int (*)();
extern SysStackProbeFn g_sysStackProbe;

// Exit status of a server start (switch "-server") without a TCP/IP stack.
constexpr int kSysExitNoStack = 1;

// Codes of fileType, by the last three characters of a file name.
enum {
    kFileTypeOther = 0,
    kFileTypeRaw = 3, // "raw": text mesh
    kFileTypeMd2 = 6, // "md2": MD2 model
    kFileTypeTga = 7, // "tga": Targa image
    kFileTypePpm = 8, // "ppm": binary PPM image
};

// Tests for a TCP/IP stack (isON = 1 when found).  Without one while `server`
// is set: prints "kein TCP/IP stack gefunden" and ends the process with
// kSysExitNoStack.  Without one otherwise: silent.
void sysInit();
// Closes the TCP/IP stack handle, flushes stdout and ends the process with
// `status` through g_processExit (core/common.h).  Never returns: when a
// replaced g_processExit returns, it aborts.
[[noreturn]] void sysShutdown(int status = 0);

// Seconds of the last frame.  While the camera grabs frames (`grabbing`, its
// `grab` flag): kFixedFrameTime without reading the clock.  Otherwise the difference of the clock's
// sub-second parts since the previous reading: the first reading gives 0, a
// reading that crossed a second boundary repeats g_frametime, and a frame of
// a second or more measures only its sub-second remainder.
float sysGetTime(bool grabbing);

// 1 if the path is a regular file that can be opened for reading (it is
// closed at once); 0 for anything else, directories, FIFOs and devices
// included.  Null gives 0.
int sysFileExist(const char* name);

// Copies the file `source` (a relative path) to targetDir + "/" + source.
// targetDir is the folder the user chose and is taken as named (absolute or
// relative; with more than one component its missing directories are
// created, a one-name targetDir such as "save" must exist).  Below it the
// directories of `source` are created as needed (existing ones matched under
// any case), and nothing follows a symbolic link: a link anywhere below the
// target directory refuses the copy.  Only a regular source of at most
// 256 MiB is copied (never a FIFO or device).  The copy is written under a
// temporary name and renamed over the target, so a failed copy leaves the
// old target as it was and a link at the target is replaced, not written
// through.  Returns 1 on success, 0 on failure; a missing source is a quiet
// 0.  Refused (0, nothing written): null or empty arguments, an absolute
// source or one with a ".." component, a target path over 255 characters, a
// target that is the source itself or not a regular file.
int sysFileCopy(const char* source, const char* targetDir);

// The kFileType code of the name's last three characters (any case); 0 for
// other endings, names shorter than three characters and null.
int fileType(const char* name);

// Does nothing: the pointer stays as the window system shows it.
void sysShowCursor(bool show);

// Replaces every '/' by '\' in place.  Null does nothing.
void com_changeSeparators(char* path);

// A path split at its last '/'.  Both strings are the caller's, to be
// released with free().
struct t_fileDir {
    char* file; // everything after the last '/', or the whole path
    char* dir;  // everything before the last '/'; null when there is none
};
// Splits obj/tree/t.raw into file "t.raw" and dir "obj/tree"; t.raw into
// "t.raw" and a null dir.  Null path or no memory: both null.
t_fileDir com_fileDirSplit(const char* path);

// The same float with its four bytes reversed (little-endian file data).
float FloatSwap(float f);

// The larger / smaller of two floats; on equality (and when a is NaN) both
// give b.  Non-templates, so with <algorithm> in scope std::max/std::min stay
// usable and an unqualified call on floats picks these.
float max(float a, float b);
float min(float a, float b);

// Network session hooks of the level start and end; they do nothing.
void Init_Server();
void ServerShutdown();
