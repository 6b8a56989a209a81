// exec.h — our stand-in for the few Exec and DOS services the engine and its
// modules use to find each other: named public message ports, Delay in ticks,
// Forbid/Permit, FindTask, starting a module with a shell line, and opening
// files without regard to case.
//
// The engine and both modules run in one process (modules are shared
// libraries, each started on a thread of its own), so a message is handed
// over by pointer exactly as on the original system.  Every call here is safe
// across threads.  This library holds no engine code: the modules link it as
// an Amiga program links exec.library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MsgPort;

// The engine's public port: both modules find it by this name and post their
// start-up message (ModuleMessage) to it.
constexpr const char* kEnginePortName = "VextPort";

// The Exec message header.  A module's start-up message is this header
// followed by one payload word (a native pointer); see ModuleMessage.
struct Message {
    Message* mn_Next = nullptr;      // link while queued on a port; owned by the port
    MsgPort* mn_ReplyPort = nullptr; // where ReplyMsg sends it; null: reply does nothing
    uint16_t mn_Length = 0;          // bytes of the whole message, header included
};

struct ModuleMessage {
    Message msg;
    void* payload = nullptr; // the module's record: Lev* or SoundEngine*
};

extern "C" {

// Creates a port; a non-null name makes it public (found by FindPort).
// Public ports are listed by pri, highest first (equal: oldest first), as
// Exec's Enqueue does.  Returns null when out of memory.
MsgPort* CreatePort(const char* name, int pri);
// Removes the port from the public list and frees it.  Messages still queued
// are not touched (their senders own them).  Null, or a port already deleted,
// does nothing; later PutMsg/GetMsg on a deleted port do nothing either.
void DeletePort(MsgPort* port);
// The first public port with exactly this name (case counts), or null.
MsgPort* FindPort(const char* name);
// Appends msg to the port's queue; never blocks.  A message already queued
// on that port is not queued twice.
void PutMsg(MsgPort* port, Message* msg);
// Takes the oldest queued message, or null when none waits; never blocks.
Message* GetMsg(MsgPort* port);
// Waits until a message is queued on the port and takes it, as WaitPort then
// GetMsg do, but gives up after `ticks` (1/50 s each, scaled like Delay) and
// returns null.  Wakes as soon as another thread's PutMsg queues a message.
// ticks <= 0 or a deleted port: no waiting.  Never call it between Forbid and
// Permit: the senders could not post meanwhile.
Message* WaitPortTimeout(MsgPort* port, int32_t ticks);
// Gives a taken message back to its reply port; without one nothing happens.
void ReplyMsg(Message* msg);

// Sleeps ticks/50 seconds; ticks <= 0 returns at once.
void Delay(int32_t ticks);
// Tests may shorten every Delay: microseconds per tick (default 20000).
void SetDelayTickMicroseconds(int32_t us);
// How long `ticks` last at the current tick length, microseconds; 0 for
// ticks <= 0.
int64_t TicksToMicroseconds(int32_t ticks);

// The big lock around port-list walks; Forbid nests.  While a thread is
// forbidden, other threads' port calls wait (ports share this lock), so a
// port found under Forbid stays valid until Permit: keep such spans short and
// never Delay inside one.  An unmatched Permit is ignored.
void Forbid(void);
void Permit(void);
// An opaque handle of the calling thread ("task"); never null.  The name is
// ignored: only FindTask(NULL) is used.
void* FindTask(const char* name);

// Our stand-in for the shell's `system`: runs each line of `command`.
//   "stack N"      accepted and ignored (threads get a large stack anyway)
//   "Run NAME"     loads the module file NAME (looked up in the current
//                  directory, then beside the running program, both without
//                  regard to case) and runs its entry `vext_module_main` on a
//                  new thread; returns at once.  Words after NAME are ignored.
// Commands ignore case; blanks around words and empty lines do not matter.
// Returns 0 when every line ran; otherwise prints why (naming the file) to
// stdout and returns nonzero (10), without running the lines after it.
int ShellExecute(const char* command);

// Modules started by ShellExecute that have not ended yet.
int RunningModuleCount(void);
// Nonzero once the module with this serial has returned from its entry (also
// for a serial that was never started or is already reaped: nothing to wait
// for).  Used while polling for a handshake so that a module that dies before
// it posts its message does not leave the caller waiting forever; take the
// port's messages once more after it says yes, as the module may have posted
// just before it ended.
int ModuleEndedSince(uint32_t startSerial);
// Waits until the module with this serial has returned from its entry, at
// most `ticks` (scaled like Delay); wakes as soon as it ends.  Returns
// ModuleEndedSince's answer.
int WaitModuleEnded(uint32_t startSerial, int32_t ticks);
// Serial number of the last module ShellExecute started (0: none yet).
uint32_t LastModuleSerial(void);
// Joins the threads of modules that have ended and unloads their files.
// With waitTicks > 0, first waits up to that many ticks for the rest to end.
// Modules still running stay tracked; one that never ends is never joined
// and simply ends with the process, so shutting down never hangs on it.
void ReapModules(int32_t waitTicks);

// The original file system ignored case, and the data rely on it ("Gfx/..."
// and "gfx/..." name one folder).  Every file the engine and the modules open
// goes through these two.
//
// ResolvePath writes the path to use into out (at most outSize bytes, always
// NUL-terminated when outSize > 0).  A path that exists as given is copied
// unchanged; otherwise each component that does not exist exactly is replaced
// by the first directory entry (in byte order, directories first for inner
// components) that equals it under ASCII case folding.  A component that
// matches nothing is kept as given, and so is everything after it, so a new
// file can be created inside a resolved directory.  Returns 1 when the result
// exists, 0 otherwise; when the result does not fit, out becomes "" and the
// return is 0.  Null or empty path: out "" and 0.
int ResolvePath(const char* path, char* out, size_t outSize);

} // extern "C"

// ResolvePath for C++ callers, without a length limit.  *exists (when given)
// is set as ResolvePath's result.
std::string ResolvePathString(const char* path, bool* exists = nullptr);

// Every module file exports this; it is the module's process.  Its return
// value is the process result.  It must start from fresh state each time.
extern "C" typedef int (*ModuleEntry)(void);
