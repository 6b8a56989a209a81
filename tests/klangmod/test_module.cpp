// The module's main routine end to end: the table hand-over on "VextPort",
// the polling loop with its command block, audio opening and the farewell.
// The module runs on a thread of its own, as the engine starts it; Delay is
// shortened so a tick is 200 microseconds.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "klang_support.h"
#include "klangmod/klangmod.h"
#include "klangmod/soundengine.h"
#include "platform/exec.h"

using namespace klangtest;

namespace {

const char kNoEngine[] =
    "KlangModul: hmm keine Engine da, WER ZUM TEUFEL WECKT MICH UM DIESE ZEIT AUF, "
    "DAS DARF, WENN \xdc" "BERHAUPT, NUR DIE VIVUZIVODE !!! \n\n";
const char kFarewell[] = "KlangModul: Sound modul verabschiedet sich\n\n";
const char kNoAudio[] = "AHI konnte nicht initalisiert werden :(\n";

// Polls until cond holds; false after 50000 ticks (10 s at the test tick),
// so a broken module fails the test instead of hanging it.
template <class Cond>
bool WaitFor(Cond cond)
{
    for (int i = 0; i < 50000; i++) {
        if (cond()) {
            return true;
        }
        Delay(1);
    }
    return cond();
}

uint32_t LoadDone(KlangCommandBlock* b)
{
    return std::atomic_ref<uint32_t>(b->done).load();
}

void Submit(KlangCommandBlock* b, uint32_t code, uint8_t slot = 0)
{
    b->code = code;
    b->slot = slot;
    std::atomic_ref<uint32_t>(b->done).store(0);
}

struct RunningModule {
    std::thread thread;
    std::atomic<bool> ended{false};
    int result = -1;
    SoundEngine* table = nullptr;
    ModuleMessage* message = nullptr;
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
            if (m->thread.joinable()) {
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
        m.thread = std::thread([&m, options] {
            m.result = KlangmodRun(options);
            m.ended = true;
        });
        Message* msg = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (msg = GetMsg(port)) != nullptr; }));
        m.message = reinterpret_cast<ModuleMessage*>(msg);
        m.table = static_cast<SoundEngine*>(m.message->payload);
        ASSERT_NE(m.table, nullptr);
    }
    // Waits for the module to end; one that does not is failed and then
    // stopped through its quit flag, so a broken module cannot hang the run.
    static void join(RunningModule& m)
    {
        const bool ended = WaitFor([&] { return m.ended.load(); });
        EXPECT_TRUE(ended) << "the module did not end";
        if (!ended) {
            std::atomic_ref<uint16_t>(m.table->quit).store(1);
        }
        m.thread.join();
    }
    void finish(RunningModule& m)
    {
        m.table->g_done();
        join(m);
    }

    MsgPort* port = nullptr;
    RunningModule first;
    RunningModule second;
    RecordingDevice rec;
};

TEST(ModuleNoEngine, PrintsTheTextAndEndsWithZero)
{
    ASSERT_EQ(FindPort("VextPort"), nullptr);
    RecordingDevice rec;
    KlangRunOptions options;
    options.device = rec.device();
    testing::internal::CaptureStdout();
    const int result = KlangmodRun(options);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kNoEngine);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(rec.openCalls(), 0);
}

TEST_F(ModuleTest, PostsTheTableAndSaysFarewellWithoutEverOpeningAudio)
{
    testing::internal::CaptureStdout();
    start(first, rec);
    const SoundEngine* t = first.table;
    EXPECT_EQ(first.message->msg.mn_ReplyPort, nullptr);
    EXPECT_EQ(first.message->msg.mn_Length, sizeof(ModuleMessage));
    EXPECT_EQ(t->version, 2u);
    EXPECT_EQ(t->g_getVersion(), 2);
    EXPECT_NE(t->task, nullptr);
    EXPECT_NE(t->task, FindTask(nullptr));
    ASSERT_NE(t->commandBlock, nullptr);
    EXPECT_STREQ(t->commandBlock->fileName, "Klangmodul PPC");
    EXPECT_EQ(LoadDone(t->commandBlock), 1u);
    EXPECT_EQ(t->quit, 0);
    for (auto fn : {(void*)t->g_init, (void*)t->g_loadSound, (void*)t->g_playMusic, (void*)t->g_pauseMusic,
                    (void*)t->g_freeSound, (void*)t->g_done, (void*)t->g_playSound, (void*)t->g_setPitch,
                    (void*)t->g_setVol, (void*)t->g_stopSound}) {
        EXPECT_NE(fn, nullptr);
    }
    finish(first);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kFarewell);
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(rec.openCalls(), 0);
}

TEST_F(ModuleTest, PlayCommandWaitsForAudioThatInitOpens)
{
    start(first, rec);
    KlangCommandBlock* b = first.table->commandBlock;
    Submit(b, 4, 0);
    Delay(20);
    EXPECT_EQ(LoadDone(b), 0u);
    EXPECT_EQ(rec.openCalls(), 0);
    EXPECT_TRUE(rec.plays().empty());

    EXPECT_EQ(first.table->g_init(), 1);
    ASSERT_TRUE(WaitFor([&] { return LoadDone(b) == 1; }));
    EXPECT_EQ(rec.opens(), 1);
    ASSERT_EQ(rec.plays().size(), 1u);
    EXPECT_EQ(rec.plays()[0].channel, 0);
    finish(first);
    EXPECT_EQ(rec.closes(), 1);
    EXPECT_EQ(rec.opens(), 1);
}

TEST_F(ModuleTest, CommandBlockDrivesTheSampleFunctions)
{
    TempDir dir;
    const std::string path = dir.write("step.raw", Ramp(96));
    start(first, rec);
    KlangCommandBlock* b = first.table->commandBlock;
    auto run = [&](uint32_t code, uint8_t slot = 0) {
        Submit(b, code, slot);
        return WaitFor([&] { return LoadDone(b) == 1; });
    };
    ASSERT_TRUE(run(0));
    ASSERT_TRUE(WaitFor([&] { return rec.opens() == 1; }));

    std::memset(b->fileName, 0, sizeof b->fileName);
    std::memcpy(b->fileName, path.c_str(), path.size());
    ASSERT_TRUE(run(1));
    ASSERT_EQ(rec.loads().size(), 1u);
    EXPECT_EQ(rec.loads()[0].info.frames, 100u);
    b->panOrFreq = 50;
    ASSERT_TRUE(run(3));
    b->panOrFreq = 0x8000;
    b->volume = 0.25f;
    ASSERT_TRUE(run(2));
    ASSERT_TRUE(run(5));
    ASSERT_EQ(rec.plays().size(), 1u);
    const KlangPlayRequest music = rec.plays()[0];
    EXPECT_EQ(music.frequency, 50u);
    EXPECT_EQ(music.volume, 0x4000);
    EXPECT_EQ(music.pan, 0x8000u);
    EXPECT_EQ(music.loop, 1);
    ASSERT_TRUE(run(6));
    ASSERT_TRUE(run(7));
    EXPECT_EQ(rec.stops(), std::vector<int>{0});
    ASSERT_TRUE(run(4));
    ASSERT_TRUE(run(8));
    EXPECT_EQ(rec.stops(), (std::vector<int>{0, 0}));

    // A name filling the whole field without a terminator: read no further.
    std::memset(b->fileName, 'a', sizeof b->fileName);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(run(1));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(std::string(100, 'a') + "\n"), std::string::npos);
    EXPECT_EQ(out.find(std::string(101, 'a')), std::string::npos);

    Submit(b, 9);
    join(first);
    EXPECT_EQ(first.result, 0);
}

TEST_F(ModuleTest, FailedOpenIsReportedAndRetriedEveryPass)
{
    RecordingDevice failing(3);
    testing::internal::CaptureStdout();
    start(first, failing);
    first.table->g_init();
    ASSERT_TRUE(WaitFor([&] { return failing.opens() == 1; }));
    finish(first);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(failing.openCalls(), 4);
    EXPECT_EQ(out, std::string(kNoAudio) + kNoAudio + kNoAudio + kFarewell);
}

TEST_F(ModuleTest, EndingInstanceLeavesTheNewerOneBound)
{
    RecordingDevice newer;
    start(first, rec);
    start(second, newer);
    second.table->g_init();
    ASSERT_TRUE(WaitFor([&] { return newer.opens() == 1; }));
    EXPECT_EQ(rec.openCalls(), 0);

    Submit(first.table->commandBlock, 0);   // the old one opens through its own block
    ASSERT_TRUE(WaitFor([&] { return rec.opens() == 1; }));
    Submit(first.table->commandBlock, 9);
    join(first);
    EXPECT_EQ(rec.closes(), 1);

    EXPECT_EQ(second.table->g_playSound(0), 1);
    EXPECT_EQ(newer.plays().size(), 1u);
    EXPECT_TRUE(rec.plays().empty());
    const SndPlayFn play = second.table->g_playSound;
    const SndVersionFn version = second.table->g_getVersion;
    finish(second);

    // With no instance left (the table itself is gone), the functions do nothing.
    EXPECT_EQ(play(0), 0);
    EXPECT_EQ(version(), 2);
    EXPECT_EQ(newer.plays().size(), 1u);
}

}  // namespace
