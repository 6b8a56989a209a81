// klangmod.cpp — the sound module's main routine, loop and table functions.

#include "klangmod/klangmod.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "klangmod/klangaudio.h"
#include "klangmod/mixer.h"
#include "klangmod/soundengine.h"
#include "platform/exec.h"

extern const char kKlangmodVersion[] = "$VER:Klangmod V0.42 (23.06.2005)";

namespace {

// Command codes of KlangCommandBlock::code.
enum KlangCode : uint32_t {
    CMD_INIT = 0,
    CMD_LOAD = 1,
    CMD_SETVOL = 2,
    CMD_SETPITCH = 3,
    CMD_PLAY = 4,
    CMD_MUSIC = 5,
    CMD_PAUSE = 6,
    CMD_STOP = 7,
    CMD_FREE = 8,
    CMD_DONE = 9,
};

const char kNoEngineText[] = "KlangModul: hmm keine Engine da, WER ZUM TEUFEL WECKT MICH UM DIESE ZEIT AUF, "
                             "DAS DARF, WENN ÜBERHAUPT, NUR DIE VIVUZIVODE !!! \n";
const char kFarewellText[] = "KlangModul: Sound modul verabschiedet sich\n";
const char kNoAudioText[] = "AHI konnte nicht initalisiert werden :(\n";
const char kBuildName[] = "Klangmodul PPC";

struct KlangInstance {
    KlangInstance(const KlangAudioDevice* device, int64_t (*clock)(void))
        : output(device == nullptr ? std::make_unique<KlangOutputDevice>() : nullptr),
          audio(device != nullptr ? device : output->device(), clock)
    {}

    // The sound card, unless another device was chosen; declared before
    // `audio` so that it outlives the sample data's last use.
    std::unique_ptr<KlangOutputDevice> output;
    SoundEngine table{};
    KlangCommandBlock block{};
    ModuleMessage message{};
    uint32_t initFlag = 0; // 1 once g_init ran; the loop then opens audio
    KlangAudio audio;
};

// Guards g_bound and every use of an instance's KlangAudio.
std::mutex g_lock;
KlangInstance* g_bound = nullptr;
std::atomic<const KlangAudioDevice*> g_defaultDevice{nullptr};

void SetInit(KlangInstance& k)
{
    __atomic_store_n(&k.initFlag, 1u, __ATOMIC_RELEASE);
}

bool InitSet(KlangInstance& k)
{
    return __atomic_load_n(&k.initFlag, __ATOMIC_ACQUIRE) != 0;
}

void SetQuit(KlangInstance& k)
{
    std::atomic_ref<uint16_t>(k.table.quit).store(1, std::memory_order_release);
}

bool QuitSet(KlangInstance& k)
{
    return std::atomic_ref<uint16_t>(k.table.quit).load(std::memory_order_acquire) != 0;
}

// ---- the table functions: the engine calls these on its own thread ----

int g_init(void)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_bound != nullptr) {
        SetInit(*g_bound);
    }
    return 1;
}

int g_loadSound(char* file)
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_bound != nullptr ? g_bound->audio.loadSound(file) : 0;
}

int g_playMusic(uint8_t sound)
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_bound != nullptr ? g_bound->audio.playMusic(sound) : 0;
}

void g_pauseMusic(uint8_t)
{}

void g_freeSound(void)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_bound != nullptr) {
        g_bound->audio.freeSound();
    }
}

void g_done(void)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_bound != nullptr) {
        SetQuit(*g_bound);
    }
}

int g_playSound(uint8_t sound)
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_bound != nullptr ? g_bound->audio.playSound(sound) : 0;
}

int g_getVersion(void)
{
    return static_cast<int>(kSoundEngineVersion);
}

void g_setPitch(unsigned frequency, uint8_t sound)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_bound != nullptr) {
        g_bound->audio.setPitch(frequency, sound);
    }
}

void g_setVol(unsigned pan, uint8_t sound, float volume)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_bound != nullptr) {
        g_bound->audio.setVol(pan, sound, volume);
    }
}

void g_stopSound(uint8_t sound)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_bound != nullptr) {
        g_bound->audio.stopSound(sound);
    }
}

// ---- the module's own thread ----

// Carries out a submitted command of this instance's block.  Codes 1..8 wait
// (the block stays pending) until audio is open; an unknown code is left
// pending as well.  Called with g_lock held.
void RunCommand(KlangInstance& k)
{
    KlangCommandBlock& b = k.block;
    std::atomic_ref<uint32_t> done(b.done);
    if (done.load(std::memory_order_acquire) != 0) {
        return;
    }
    const uint32_t code = b.code;
    if (code == CMD_INIT) {
        SetInit(k);
    } else if (code == CMD_DONE) {
        SetQuit(k);
    } else if (code >= CMD_LOAD && code <= CMD_FREE) {
        if (!k.audio.isOpen()) {
            return;
        }
        switch (code) {
        case CMD_LOAD: {
            // The writer need not terminate the name; never read past the field.
            char name[sizeof b.fileName + 1];
            std::memcpy(name, b.fileName, sizeof b.fileName);
            name[sizeof b.fileName] = '\0';
            k.audio.loadSound(name);
            break;
        }
        case CMD_SETVOL: k.audio.setVol(b.panOrFreq, b.slot, b.volume); break;
        case CMD_SETPITCH: k.audio.setPitch(b.panOrFreq, b.slot); break;
        case CMD_PLAY: k.audio.playSound(b.slot); break;
        case CMD_MUSIC: k.audio.playMusic(b.slot); break;
        case CMD_PAUSE: break;
        case CMD_STOP: k.audio.stopSound(b.slot); break;
        default: k.audio.freeSound(); break;
        }
    } else {
        return;
    }
    done.store(1, std::memory_order_release);
}

void FillTable(KlangInstance& k)
{
    SoundEngine& t = k.table;
    t.g_init = g_init;
    t.g_loadSound = g_loadSound;
    t.g_playMusic = g_playMusic;
    t.g_pauseMusic = g_pauseMusic;
    t.g_freeSound = g_freeSound;
    t.g_done = g_done;
    t.g_playSound = g_playSound;
    t.g_getVersion = g_getVersion;
    t.g_setPitch = g_setPitch;
    t.g_setVol = g_setVol;
    t.g_stopSound = g_stopSound;
    k.message.msg.mn_ReplyPort = nullptr;
    k.message.msg.mn_Length = sizeof(ModuleMessage);
    k.message.payload = &t;
}

// Finds "VextPort" and, when it exists, binds the instance and posts its
// table.  All under Forbid, so the port cannot vanish between find and post.
bool PostTable(KlangInstance& k)
{
    Forbid();
    MsgPort* port = FindPort(kEnginePortName);
    k.table.task = FindTask(nullptr);
    if (port != nullptr) {
        FillTable(k);
        // Ready for commands before anyone can see the block.
        std::atomic_ref<uint32_t>(k.block.done).store(1, std::memory_order_release);
        {
            std::lock_guard<std::mutex> guard(g_lock);
            g_bound = &k;
        }
        PutMsg(port, &k.message.msg);
    }
    Permit();
    return port != nullptr;
}

void RunLoop(KlangInstance& k)
{
    while (!QuitSet(k)) {
        {
            std::lock_guard<std::mutex> guard(g_lock);
            RunCommand(k);
            if (InitSet(k) && !k.audio.isOpen() && !k.audio.initAHI()) {
                std::printf("%s", kNoAudioText);
                std::fflush(stdout);
            }
        }
        Delay(1);
    }
}

// Stops the sounds, closes audio and gives up the binding, unless a newer
// instance has taken it over meanwhile.
void Shutdown(KlangInstance& k)
{
    std::lock_guard<std::mutex> guard(g_lock);
    k.audio.freeSound();
    k.audio.closeAHI();
    if (g_bound == &k) {
        g_bound = nullptr;
    }
}

} // namespace

void KlangSetAudioDevice(const KlangAudioDevice* device)
{
    g_defaultDevice.store(device);
}

int KlangmodMain(void)
{
    return KlangmodRun(KlangRunOptions{});
}

int KlangmodRun(const KlangRunOptions& options)
{
    const KlangAudioDevice* device = options.device != nullptr ? options.device : g_defaultDevice.load();
    auto k = std::make_unique<KlangInstance>(device, options.clock);
    k->table.commandBlock = &k->block;
    k->table.version = kSoundEngineVersion;
    std::memcpy(k->block.fileName, kBuildName, sizeof kBuildName);

    if (!PostTable(*k)) {
        std::puts(kNoEngineText);
        std::fflush(stdout);
        return 0;
    }
    RunLoop(*k);
    Shutdown(*k);
    std::puts(kFarewellText);
    std::fflush(stdout);
    return 0;
}
