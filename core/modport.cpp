// modport.cpp — port, module handshake and the in-process objects.
#include "core/modport.h"

#include <cstdio>

#include "camera/camera.h"
#include "commands/functions.h"
#include "core/engine.h"
#include "input/input.h"
#include "sound/csound.h"

MsgPort* addport = nullptr;
Message* gamemessage = nullptr;
Message* soundmessage = nullptr;
CSound* Sound = nullptr;

namespace {

// Waits of the module handshakes, in Delay ticks (platform/exec.h).
constexpr int32_t kGamePollTicks = 10;      // between polls for the game module's record
constexpr int32_t kSoundPollTicks = 20;     // between polls for the sound module's table
constexpr int32_t kGameQuitTicks = 40;      // for the game module to see its quit byte
constexpr int32_t kSoundReplyTicks = 20;    // after the table arrived, before replying
constexpr int32_t kSoundInitTicks = 30;     // after g_init, for the module to open audio
constexpr int32_t kSoundDoneTicks = 20;     // twice after g_done, for the module to end

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

// Polls the port every `ticks` until a message arrives.  Gives up (through
// closeEngine) only when the module has ended without posting anything.
Message* waitForModule(const char* moduleFile, uint32_t serial, int32_t ticks)
{
    Delay(ticks);
    Message* msg = GetMsg(addport);
    while (msg == nullptr) {
        if (ModuleEndedSince(serial)) {
            msg = GetMsg(addport);  // it may have posted just before ending
            if (msg == nullptr) {
                closeEngine(KRT_FILE, "Modul %s hat sich nicht gemeldet", moduleFile);
            }
            break;
        }
        Delay(ticks);
        msg = GetMsg(addport);
    }
    return msg;
}

void* payloadOf(Message* msg)
{
    return reinterpret_cast<ModuleMessage*>(msg)->payload;
}

}  // namespace

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

void OpenGameModul()
{
    dropStaleMessages();
    gamemessage = nullptr;
    const uint32_t serial = startModule("Spielmod.mod");
    Message* msg = waitForModule("Spielmod.mod", serial, kGamePollTicks);
    ReplyMsg(msg);
    Lev* record = static_cast<Lev*>(payloadOf(msg));
    if (record == nullptr || record->moduleVersion != kLevVersion) {
        closeEngine(KRT_BADGAME, "falsche game.mod version");
    }
    gamemessage = msg;
    Level = record;
}

void CloseGameModul()
{
    if (Level == nullptr) {
        return;
    }
    std::printf("Engine: Gamemodul, kannst gehen...\n");
    levSetQuit(Level);
    gamemessage = nullptr;
    // The module frees the record when it sees the quit byte; nothing may
    // reach it through `Level` any more.
    Level = nullptr;
    Delay(kGameQuitTicks);
}

void OpenKlangmodul()
{
    dropStaleMessages();
    soundmessage = nullptr;
    const uint32_t serial = startModule("Klangmod.mod");
    std::printf("Warte auf Klangmodul\n");
    Message* msg = waitForModule("Klangmod.mod", serial, kSoundPollTicks);
    std::printf("gefunden\n");
    Delay(kSoundReplyTicks);
    ReplyMsg(msg);
    std::printf("Version richtig?\n");
    const SoundEngine* table = static_cast<const SoundEngine*>(payloadOf(msg));
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
    std::printf("%s Version gefunden\n",
                Sound->commandBlock != nullptr ? Sound->commandBlock->fileName : "");
    Sound->task = table->task;
    Sound->g_init();
    Delay(kSoundInitTicks);
}

void CloseKlangmodul()
{
    if (Sound == nullptr) {
        return;
    }
    Sound->g_done();
    Delay(kSoundDoneTicks);
    soundmessage = nullptr;
    Delay(kSoundDoneTicks);
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

void CloseCamModul()
{
    if (Cam != nullptr) {
        delete Cam;
        Cam = nullptr;
    }
}
