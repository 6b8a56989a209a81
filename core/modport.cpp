// modport.cpp — port, module handshake and the in-process objects.
#include "core/modport.h"

#include <cstdio>

#include "camera/camera.h"
#include "commands/functions.h"
#include "core/engine.h"
#include "gui/gui.h"
#include "input/input.h"
#include "sound/csound.h"

MsgPort* addport = nullptr;
Message* gamemessage = nullptr;
Message* soundmessage = nullptr;
CSound* Sound = nullptr;

namespace {

uint32_t g_gameSerial = 0;  // the bound game module's start serial
uint32_t g_soundSerial = 0; // the bound sound module's start serial

// Upper bounds of the module handshakes, in Delay ticks (platform/exec.h):
// the engine wakes as soon as the message arrives or the module has ended.
constexpr int32_t kGamePollTicks = 10;  // between polls for the game module's record
constexpr int32_t kSoundPollTicks = 20; // between polls for the sound module's table
constexpr int32_t kGameQuitTicks = 40;  // for the game module to see its quit byte and end
constexpr int32_t kSoundDoneTicks = 40; // after g_done, for the module to end

// Replies and drops whatever waited on the port before a module was started,
// so a stale message is never taken for the new module's answer.
void dropStaleMessages()
{
    while (Message* msg = GetMsg(addport)) {
        ReplyMsg(msg);
    }
}

// Runs the shell line that starts `moduleFile`; a module that cannot be
// started would otherwise leave the engine polling forever.
uint32_t startModule(const char* moduleFile)
{
    char line[128];
    std::snprintf(line, sizeof line, "stack 100000 \n Run  %s", moduleFile);
    if (ShellExecute(line) != 0) {
        closeEngine(KRT_FILE, "Modul %s konnte nicht gestartet werden", moduleFile);
    }
    return LastModuleSerial();
}

// Waits on the port until a message arrives, in slices of `ticks`.  Gives up
// (through closeEngine) only when the module has ended without posting
// anything.
Message* waitForModule(const char* moduleFile, uint32_t serial, int32_t ticks)
{
    Message* msg = WaitPortTimeout(addport, ticks);
    while (msg == nullptr) {
        if (ModuleEndedSince(serial)) {
            msg = GetMsg(addport); // it may have posted just before ending
            if (msg == nullptr) {
                closeEngine(KRT_FILE, "Modul %s hat sich nicht gemeldet", moduleFile);
            }
            break;
        }
        msg = WaitPortTimeout(addport, ticks);
    }
    return msg;
}

void* payloadOf(Message* msg)
{
    return reinterpret_cast<ModuleMessage*>(msg)->payload;
}

} // namespace

void CreateEnginePort(const char* name)
{
    addport = CreatePort(name, 0);
    Engine = new CEngine();
}

void DeleteEnginePort()
{
    if (addport != nullptr) {
        DeletePort(addport);
        addport = nullptr;
    }
    if (Engine != nullptr) {
        delete Engine;
        Engine = nullptr;
    }
}

GameModule StartGameModul()
{
    dropStaleMessages();
    GameModule module;
    module.serial = startModule("Spielmod.mod");
    module.message = waitForModule("Spielmod.mod", module.serial, kGamePollTicks);
    // The payload is read before the reply: once replied, the message is its
    // sender's again.
    module.record = static_cast<Lev*>(payloadOf(module.message));
    ReplyMsg(module.message);
    if (module.record == nullptr || module.record->moduleVersion != kLevVersion) {
        closeEngine(KRT_BADGAME, "falsche game.mod version");
    }
    return module;
}

void StopGameModul(const GameModule& module)
{
    if (module.record == nullptr) {
        return;
    }
    levSetQuit(module.record);
    // The module ends within a tick of seeing the quit byte; the 40 ticks are
    // only the most it is given.
    WaitModuleEnded(module.serial, kGameQuitTicks);
}

GameModule BoundGameModul()
{
    return GameModule{Level, gamemessage, g_gameSerial};
}

void BindGameModul(const GameModule& module)
{
    Level = module.record;
    gamemessage = module.message;
    g_gameSerial = module.serial;
}

void OpenGameModul()
{
    gamemessage = nullptr;
    BindGameModul(StartGameModul());
}

void CloseGameModul()
{
    if (Level == nullptr) {
        return;
    }
    std::printf("Engine: Gamemodul, kannst gehen...\n");
    // The module frees the record when it sees the quit byte; nothing may
    // reach it through `Level` any more.
    const GameModule module = BoundGameModul();
    BindGameModul(GameModule{});
    StopGameModul(module);
}

void OpenKlangmodul()
{
    dropStaleMessages();
    soundmessage = nullptr;
    g_soundSerial = startModule("Klangmod.mod");
    std::printf("Warte auf Klangmodul\n");
    Message* msg = waitForModule("Klangmod.mod", g_soundSerial, kSoundPollTicks);
    std::printf("gefunden\n");
    // The payload is read before the reply: once replied, the message is its
    // sender's again.  The module posted a finished table, so nothing is
    // gained by sleeping before the reply.
    const SoundEngine* table = static_cast<const SoundEngine*>(payloadOf(msg));
    ReplyMsg(msg);
    std::printf("Version richtig?\n");
    Sound = new CSound();
    if (table == nullptr || table->version != kSoundEngineVersion) {
        delete Sound;
        Sound = nullptr;
        closeEngine(KRT_BADSOUND, "falsche sound.mod version");
    }
    soundmessage = msg;
    std::printf("Ja\n");
    Sound->commandBlock = table->commandBlock;
    Sound->g_init = table->g_init;
    Sound->g_loadSound = table->g_loadSound;
    Sound->g_playMusic = table->g_playMusic;
    Sound->g_pauseMusic = table->g_pauseMusic;
    Sound->g_freeSound = table->g_freeSound;
    Sound->g_done = table->g_done;
    Sound->g_playSound = table->g_playSound;
    Sound->g_getVersion = table->g_getVersion;
    Sound->g_setPitch = table->g_setPitch;
    Sound->g_setVol = table->g_setVol;
    Sound->g_stopSound = table->g_stopSound;
    std::printf("checke CPU-Version:...\n");
    std::printf("%s Version gefunden\n", Sound->commandBlock != nullptr ? Sound->commandBlock->fileName : "");
    Sound->task = table->task;
    // The module opens audio on its own thread and keeps every command
    // pending until then, so the engine need not wait for it here.
    Sound->g_init();
}

void CloseKlangmodul()
{
    if (Sound == nullptr) {
        return;
    }
    Sound->g_done();
    // The module ends within a tick of g_done; 20 + 20 ticks are the most
    // it is given.
    WaitModuleEnded(g_soundSerial, kSoundDoneTicks);
    soundmessage = nullptr;
    delete Sound;
    Sound = nullptr;
}

void OpenInputModul()
{
    KeyInput = new CInput();
}

void CloseInputModul()
{
    if (KeyInput != nullptr) {
        delete KeyInput;
        KeyInput = nullptr;
    }
}

void OpenFunctionsModul()
{
    Functions = new CFunctions();
}

void CloseFunctionsModul()
{
    if (Functions != nullptr) {
        delete Functions;
        Functions = nullptr;
    }
}

void OpenCamModul()
{
    Cam = new t_cam();
}

void OpenGuiModul()
{
    CloseGuiModul();
    Gui = new CGui();
}

void CloseGuiModul()
{
    if (Gui != nullptr) {
        delete Gui;
        Gui = nullptr;
    }
}

void CloseCamModul()
{
    if (Cam != nullptr) {
        delete Cam;
        Cam = nullptr;
    }
}
