// modport.h — the engine's message port and the start-up handshake with its
// two modules (game module Spielmod.mod, sound module Klangmod.mod).
//
// A module is started with a shell line through our `ShellExecute` stand-in;
// it posts one ModuleMessage to "VextPort" whose payload is its record (Lev*)
// or function table (SoundEngine*).  The engine polls the port with fixed
// sleeps, checks the version and keeps the pointer.  Closing is one-sided: the
// engine sets the record's quit byte or calls g_done and sleeps fixed ticks.
// Also here: creation and deletion of the engine's in-process objects.
#pragma once

#include "platform/exec.h"

extern MsgPort* addport;        // "VextPort", priority 0
extern Message* gamemessage;    // the game module's message while bound
extern Message* soundmessage;   // the sound module's message while bound

// Creates the public port `name` and the single CEngine in `Engine`.
void CreateEnginePort(const char* name);
// Deletes the port and the CEngine (each only if it exists).
void DeleteEnginePort();

// Starts the game module and waits for its record; ends through closeEngine
// when the module file cannot be started, ends before posting, or answers
// with a wrong version (KRT_BADGAME, module then left alone).
void OpenGameModul();
// Tells the bound game module to end (quit byte) and waits 40 ticks.  The
// record is gone afterwards, so `Level` is cleared.  Unbound: does nothing.
void CloseGameModul();
// Starts the sound module, checks its table (KRT_BADSOUND), copies it into
// `Sound` and calls g_init.
void OpenKlangmodul();
// Calls g_done on the bound sound module, waits, drops the copy.
void CloseKlangmodul();

// The engine's in-process objects: each opening call stores a new object in
// its global (KeyInput, Functions, Cam), each closing call deletes it when set.
void OpenInputModul();
void CloseInputModul();
void OpenFunctionsModul();
void CloseFunctionsModul();
void OpenCamModul();
void CloseCamModul();
