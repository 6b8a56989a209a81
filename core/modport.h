// modport.h — the engine's message port and the start-up handshake with its
// two modules (game module Spielmod.mod, sound module Klangmod.mod).
//
// A module is started with a shell line through our `ShellExecute` stand-in;
// it posts one ModuleMessage to "VextPort" whose payload is its record (Lev*)
// or function table (SoundEngine*).  The engine waits on the port (waking as
// the message arrives), checks the version and keeps the pointer.  Closing
// sets the record's quit byte or calls g_done and waits until the module has
// ended, at most the module's fixed ticks.
// Also here: creation and deletion of the engine's in-process objects.
#pragma once

#include "core/lev.h"
#include "platform/exec.h"

class CGui;

extern MsgPort* addport;      // "VextPort", priority 0
extern Message* gamemessage;  // the game module's message while bound
extern Message* soundmessage; // the sound module's message while bound

// One started game module: its record, its start-up message and the serial
// its thread was started with.
struct GameModule {
    Lev* record = nullptr;
    Message* message = nullptr;
    uint32_t serial = 0;
};

// Creates the public port `name` and the single CEngine in `Engine`.
void CreateEnginePort(const char* name);
// Deletes the port and the CEngine (each only if it exists).
void DeleteEnginePort();

// Starts the game module and waits for its record; ends through closeEngine
// when the module file cannot be started, ends before posting, or answers
// with a wrong version (KRT_BADGAME, module then left alone).
void OpenGameModul();
// Tells the bound game module to end (quit byte) and waits until it has
// ended, at most 40 ticks.  The record is gone afterwards, so `Level` is
// cleared.  Unbound: does nothing.
void CloseGameModul();
// The parts of OpenGameModul / CloseGameModul, for a level change that keeps
// the running module until the new one has loaded its level: start a module
// and take its record without binding it; tell a module to end and wait for
// it; the bound module; make a module the bound one (Level, gamemessage).
GameModule StartGameModul();
void StopGameModul(const GameModule& module);
GameModule BoundGameModul();
void BindGameModul(const GameModule& module);
// Starts the sound module, checks its table (KRT_BADSOUND), copies it into
// `Sound` and calls g_init.
void OpenKlangmodul();
// Calls g_done on the bound sound module, waits until it has ended (at most
// 40 ticks), drops the copy.
void CloseKlangmodul();

// The engine's in-process objects: each opening call stores a new object in
// its global (KeyInput, Functions, Cam), each closing call deletes it when set.
void OpenInputModul();
void CloseInputModul();
void OpenFunctionsModul();
void CloseFunctionsModul();
void OpenCamModul();
void CloseCamModul();
// The GUI (Gui): made at start-up and at every level load, deleted at the
// level's end and at shutdown.
void OpenGuiModul();
void CloseGuiModul();
