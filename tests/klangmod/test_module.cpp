// The module's main routine end to end on a thread of its own, as the engine
// starts it: the table hand-over on "VextPort", the polling loop with its
// command block, audio opening and the farewell.  A tick is 200 us here.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <future>

#include "klang_support.h"
#include "klangmod/klangmod.h"
#include "klangmod/soundengine.h"
#include "platform/exec.h"

using namespace klangtest;

namespace {

const char kFarewell[] = "KlangModul: Sound modul verabschiedet sich\n\n";
const char kNoAudio[] = "AHI konnte nicht initalisiert werden :(\n";

// Polls until cond holds; false after 10 s, so a broken module fails.
template <class Cond>
bool WaitFor(Cond cond)
{
    for (int i = 0; i < 50000; i++) {
        if (cond()) {
            return true;
        }
        Delay(1);
    }
    return false;
}

uint32_t Done(KlangCommandBlock* b)
{
    return std::atomic_ref<uint32_t>(b->done).load();
}

void Submit(KlangCommandBlock* b, uint32_t code)
{
    b->code = code;
    std::atomic_ref<uint32_t>(b->done).store(0);
}

struct RunningModule {
    std::future<int> result;   // of KlangmodRun
    SoundEngine* table = nullptr;
};

class ModuleTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetDelayTickMicroseconds(200);
        port = CreatePort("VextPort", 0);
        ASSERT_NE(port, nullptr);
    }
    void TearDown() override
    {
        for (RunningModule* m : {&first, &second}) {
            if (m->result.valid()) {
                join(*m);
            }
        }
        DeletePort(port);
        SetDelayTickMicroseconds(20000);
    }
    // Starts the main routine and waits for its table on the port.
    void start(RunningModule& m, RecordingDevice& device)
    {
        KlangRunOptions options;
        options.device = device.device();
        options.clock = FakeClock;
        m.result = std::async(std::launch::async, KlangmodRun, options);
        Message* msg = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (msg = GetMsg(port)) != nullptr; }));
        EXPECT_EQ(msg->mn_Length, sizeof(ModuleMessage));
        m.table = static_cast<SoundEngine*>(reinterpret_cast<ModuleMessage*>(msg)->payload);
        ASSERT_NE(m.table, nullptr);
    }
    // Waits for the module to end (after g_done when `done`); one that does
    // not end fails and is stopped through its quit flag.
    static int join(RunningModule& m, bool done = false)
    {
        if (done) {
            m.table->g_done();
        }
        if (m.result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the module did not end";
            std::atomic_ref<uint16_t>(m.table->quit).store(1);
        }
        return m.result.get();
    }

    MsgPort* port = nullptr;
    RunningModule first;
    RunningModule second;
    RecordingDevice rec;
};

TEST(ModuleNoEngine, PrintsTheTextAndEndsWithZero)
{
    ASSERT_EQ(FindPort("VextPort"), nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(KlangmodRun(KlangRunOptions{}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "KlangModul: hmm keine Engine da, WER ZUM TEUFEL WECKT MICH UM DIESE ZEIT AUF, "
              "DAS DARF, WENN \xdc" "BERHAUPT, NUR DIE VIVUZIVODE !!! \n\n");
}

TEST_F(ModuleTest, PostsTheTableAndSaysFarewellWithoutEverOpeningAudio)
{
    testing::internal::CaptureStdout();
    start(first, rec);
    const SoundEngine* t = first.table;
    EXPECT_EQ(t->version, 2u);
    EXPECT_EQ(t->g_getVersion(), 2);
    EXPECT_NE(t->task, FindTask(nullptr));
    EXPECT_STREQ(t->commandBlock->fileName, "Klangmodul PPC");
    EXPECT_EQ(Done(t->commandBlock), 1u);
    EXPECT_EQ(join(first, true), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kFarewell);
    EXPECT_TRUE(rec.events().empty());
}

// A play submitted through the command block, and samples loaded, before
// g_init reach the device only once the module's loop has opened it; then
// the block drives the other sample functions.
TEST_F(ModuleTest, CommandsAndLoadsWaitForAudioThatInitOpens)
{
    TempDir dir;
    start(first, rec);
    KlangCommandBlock* b = first.table->commandBlock;
    const auto run = [&](uint32_t code) {
        Submit(b, code);
        return WaitFor([&] { return Done(b) == 1; });
    };
    EXPECT_EQ(first.table->g_loadSound(dir.write("step.raw", Ramp(96)).data()), 0);
    first.table->g_setPitch(50, 0);
    b->slot = 0;
    Submit(b, 4);
    Delay(20);
    EXPECT_EQ(Done(b), 0u);
    EXPECT_TRUE(rec.events().empty());
    EXPECT_EQ(first.table->g_init(), 1);
    ASSERT_TRUE(WaitFor([&] { return Done(b) == 1; }));

    b->panOrFreq = 25;   // Hz, for setPitch
    ASSERT_TRUE(run(3));
    b->panOrFreq = 0x8000;   // pan, for setVol
    b->volume = 0.25f;
    for (uint32_t code : {7, 2, 5, 6, 8}) {   // stop, setVol, music, pause, freeSound
        ASSERT_TRUE(run(code)) << code;
    }
    // A name filling the whole field without a terminator: read no further.
    // (freeSound made it slot 0 again.)
    std::memset(b->fileName, 'a', sizeof b->fileName);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(run(1));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(std::string(100, 'a') + "\n"), std::string::npos);
    EXPECT_EQ(out.find(std::string(101, 'a')), std::string::npos);

    join(first, true);
    const Events expected = {"open", "load 0 type=0 frames=96", "play 0 ch=0 f=50 vol=0 pan=0 loop=0", "stop 0",
                             "vol ch=0 vol=16384 pan=32768", "play 0 ch=0 f=25 vol=16384 pan=32768 loop=1",
                             "stop 0", "load 0 type=0 frames=0", "close"};
    EXPECT_EQ(rec.events(), expected);
}

TEST_F(ModuleTest, FailedOpenIsReportedAndRetriedEveryPass)
{
    RecordingDevice failing(3);
    testing::internal::CaptureStdout();
    start(first, failing);
    first.table->g_init();
    ASSERT_TRUE(WaitFor([&] { return failing.events().size() == 4; }));
    join(first, true);
    EXPECT_EQ(failing.events(), (Events{"open failed", "open failed", "open failed", "open", "close"}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(kNoAudio) + kNoAudio + kNoAudio + kFarewell);
}

TEST_F(ModuleTest, EndingInstanceLeavesTheNewerOneBound)
{
    RecordingDevice newer;
    start(first, rec);
    start(second, newer);
    Submit(first.table->commandBlock, 9);   // the old one ends after the new one posted
    join(first);
    second.table->g_init();
    ASSERT_TRUE(WaitFor([&] { return !newer.events().empty(); }));
    EXPECT_EQ(second.table->g_playSound(0), 1);
    const SndPlayFn play = second.table->g_playSound;
    join(second, true);
    EXPECT_TRUE(rec.events().empty());

    // With no instance left (the table itself is gone), the functions do nothing.
    // (g_done stopped what still played, then closed.)
    EXPECT_EQ(play(0), 0);
    EXPECT_EQ(newer.events(), (Events{"open", "play 0 ch=0 f=0 vol=0 pan=0 loop=0", "stop 0", "close"}));
}

}  // namespace
