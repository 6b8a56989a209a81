// The module's main routine on a thread of its own, as the engine starts it.
// (Started without an engine: tests/e2e/spine.sh.)

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>

#include "klang_support.h"
#include "klangmod/klangmod.h"
#include "klangmod/soundengine.h"
#include "platform/exec.h"

using namespace klangtest;

namespace {

// Polls until cond holds; false after 10 s, so a broken module fails.
template <class Cond>
bool WaitFor(Cond cond)
{
    for (int i = 0; i < 50000 && !cond(); i++) {
        Delay(1);
    }
    return cond();
}

// The table is posted to "VextPort"; loads, music and a play submitted
// through the command block before g_init reach the device only once the
// loop has opened it (retried while it fails); then the block drives the
// other sample functions, and done ends the module with its farewell.
TEST(Module, CommandsWaitForAudioThatInitOpens)
{
    SetDelayTickMicroseconds(200);   // a tick of 200 us
    MsgPort* port = CreatePort("VextPort", 0);
    RecordingDevice rec(2);
    KlangRunOptions options;
    options.device = rec.device();
    options.clock = FakeClock;
    testing::internal::CaptureStdout();
    std::future<int> result = std::async(std::launch::async, KlangmodRun, options);
    Message* msg = nullptr;
    ASSERT_TRUE(WaitFor([&] { return msg != nullptr || (msg = GetMsg(port)) != nullptr; }));
    EXPECT_EQ(msg->mn_Length, sizeof(ModuleMessage));
    SoundEngine* t = static_cast<SoundEngine*>(reinterpret_cast<ModuleMessage*>(msg)->payload);
    EXPECT_EQ(t->version, 2u);
    KlangCommandBlock* b = t->commandBlock;
    EXPECT_STREQ(b->fileName, "Klangmodul PPC");
    std::atomic_ref<uint32_t> done(b->done);
    const auto submit = [&](uint32_t code) {
        b->code = code;
        done.store(0);
    };
    const auto run = [&](uint32_t code) {
        submit(code);
        return WaitFor([&] { return done.load() == 1; });
    };

    TempDir dir;
    EXPECT_EQ(t->g_loadSound(dir.write("step.raw", std::vector<uint8_t>(96, 9)).data()), 0);
    t->g_setPitch(50, 0);
    EXPECT_EQ(t->g_playMusic(0), 1);
    b->slot = 0;
    submit(4);
    Delay(20);
    EXPECT_EQ(done.load(), 0u);
    EXPECT_TRUE(rec.events().empty());
    EXPECT_EQ(t->g_init(), 1);
    ASSERT_TRUE(WaitFor([&] { return done.load() == 1; }));
    b->panOrFreq = 25;   // Hz, for setPitch
    ASSERT_TRUE(run(3));
    b->panOrFreq = 0x8000;   // pan, for setVol
    b->volume = 0.25f;
    for (uint32_t code : {7, 2, 5, 6, 8}) {   // stop, setVol, music, pause, freeSound
        ASSERT_TRUE(run(code)) << code;
    }
    // A name filling the whole field without a terminator: read no further.
    std::memset(b->fileName, 'a', sizeof b->fileName);
    ASSERT_TRUE(run(1));
    submit(9);   // done
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), 0);
    const std::string noAudio = "AHI konnte nicht initalisiert werden :(\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              noAudio + noAudio + "KlangModul Datei  nicht gefunden ... meine Schuld ist das nicht!\n\n" +
                  std::string(100, 'a') + "\nKlangModul: Sound modul verabschiedet sich\n\n");
    const Events expected = {"open failed", "open failed", "open", "load 0 type=0 frames=96",
                             "play 0 ch=0 f=50 vol=0 pan=0 loop=1", "play 0 ch=1 f=50 vol=0 pan=0 loop=0", "stop 1",
                             "vol ch=1 vol=16384 pan=32768", "play 0 ch=1 f=25 vol=16384 pan=32768 loop=1",
                             "stop 0", "stop 1", "load 0 type=0 frames=0", "close"};
    EXPECT_EQ(rec.events(), expected);
    DeletePort(port);
    SetDelayTickMicroseconds(20000);
}

}  // namespace
