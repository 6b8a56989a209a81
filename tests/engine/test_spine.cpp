// The engine's spine: frame-rate slots, the frame counter, the orderly exit,
// the module handshake against real and misbehaving module files, and a
// level change to a level that does not load.  The normal start and quit, a
// missing module file and the missing level are run as a user runs them in
// tests/e2e/spine.sh.

#include "camera/camera.h"
#include "commands/functions.h"
#include "core/engine.h"
#include "core/modport.h"
#include "input/input.h"
#include "platform/exec.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "sound/csound.h"
#include "support/gl_frame.h"
#include "support/guards.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct ExitCalled {
    int status;
};

// Runs `fn`, which must end through closeEngine; returns the exit status and
// what was printed.
template <class Fn>
std::pair<int, std::string> runToExit(Fn fn)
{
    int status = -1;
    const std::string out = stdoutOf([&] {
        try {
            fn();
        } catch (const ExitCalled& e) {
            status = e.status;
        }
    });
    return {status, out};
}

std::string fake(int kind)
{
    return std::string(VEXT_BUILD_DIR) + "/fake_modules/fake_module_" + std::to_string(kind) + ".mod";
}

// A scratch directory holding module files under the names the engine
// starts, so that misbehaving modules can stand in for the real ones.
// closeEngine deletes whatever the engine's object pointers hold: they start
// empty and get back what other tests of this program left there.
class ModuleDir : public testing::Test {
protected:
    void SetUp() override
    {
        Engine = nullptr;
        Level = nullptr;
        KeyInput = nullptr;
        Functions = nullptr;
        Cam = nullptr;
        Sound = nullptr;
        g_processExit = [](int status) { throw ExitCalled{status}; };
        // Short ticks, but long enough for the sound module to close its
        // audio device (SDL plays out about three buffers, some 70 ms).
        SetDelayTickMicroseconds(2000);
    }
    void TearDown() override
    {
        ReapModules(100);
        SetDelayTickMicroseconds(20000);
    }
    void link(const std::string& built, const char* as) { fs::create_symlink(built, fs::path(dir_.path()) / as); }

    GlobalsGuard saved_{Engine, Level, KeyInput, Functions, Cam, Sound, g_processExit};
    WorkDir dir_;
};

}  // namespace

TEST(FrameRate, SlotChangeCopiesTheCountAndSkipsItsOwnFrame)
{
    GlobalsGuard guard(g_showfps, fps, fpsz);
    g_showfps = 1;
    fpsStartSlot(100);
    for (int i = 0; i < 3; ++i) {
        fpsTick(100);
    }
    fpsTick(101);       // the frame that sees the new slot is not counted
    EXPECT_EQ(fps, 3);
    EXPECT_EQ(fpsz, 0);
    fpsTick(101);
    fpsTick(118);       // 118 mod 16 == 6: the next slot although 17 s later
    EXPECT_EQ(fps, 1);
    fpsTick(134);       // 134 mod 16 == 6 again: same slot, counted
    EXPECT_EQ(fpsz, 1);
    g_showfps = 0;
    fpsTick(200);
    EXPECT_EQ(fpsz, 1) << "without showfps nothing is counted";

    GlobalsGuard counter(framecounter);
    framecounter = 999999;
    advanceFrameCounter();
    EXPECT_EQ(framecounter, 1000000u) << "1000000 itself is kept";
    advanceFrameCounter();
    EXPECT_EQ(framecounter, 0u);
}

TEST_F(ModuleDir, CloseEngineStatusAndMessages)
{
    using R = std::pair<int, std::string>;
    // A one-character format prints nothing.
    EXPECT_EQ(runToExit([] { closeEngine(KRT_FILE, "x"); }), R(10, ""));
    // Formatted into 256 bytes.
    const std::string longArg(400, 'a');
    EXPECT_EQ(runToExit([&] { closeEngine(KRT_INTERNAL, "%s", longArg.c_str()); }), R(9, std::string(255, 'a') + "\n"));
}

TEST_F(ModuleDir, BrokenGameModulesEndTheEngineWithoutHanging)
{
    // Kind 3 never posts its record, kind 1 posts a wrong version.
    const struct { int kind; int status; const char* printed;
                    } cases[] = {{3, KRT_FILE, "Spielmod.mod"}, {1, KRT_BADGAME, "falsche game.mod version\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string sub = "kind" + std::to_string(c.kind);
        fs::create_directory(sub);
        fs::create_symlink(fake(c.kind), sub + "/Spielmod.mod");
        ScopedCwd cwd(sub);
        CreateEnginePort("VextPort");
        auto r = runToExit([] { OpenGameModul(); });
        EXPECT_EQ(r.first, c.status);
        EXPECT_NE(r.second.find(c.printed), std::string::npos) << r.second;
        EXPECT_EQ(Level, nullptr);
        EXPECT_EQ(FindPort("VextPort"), nullptr) << "closeEngine deletes the port";
    }
}

TEST_F(ModuleDir, StaleMessagesAreDroppedAndAWrongSoundModuleClosesTheGame)
{
    link(fake(4), "Spielmod.mod");
    CreateEnginePort("VextPort");
    ModuleMessage stale[2];
    Lev bogus{};
    for (auto& m : stale) {
        m.payload = &bogus;
        PutMsg(addport, &m.msg);
    }
    stdoutOf([] { OpenGameModul(); });
    ASSERT_NE(Level, nullptr);
    EXPECT_NE(Level, &bogus);
    EXPECT_EQ(Level->moduleVersion, kLevVersion);
    EXPECT_EQ(Level->levelLoader("select", nullptr), 1);
    EXPECT_EQ(GetMsg(addport), nullptr) << "nothing else left on the port";

    link(fake(2), "Klangmod.mod");
    auto r = runToExit([] { OpenKlangmodul(); });
    EXPECT_EQ(r.first, KRT_BADSOUND);
    EXPECT_NE(r.second.find("Engine: Gamemodul, kannst gehen...\n"), std::string::npos) << r.second;
    EXPECT_NE(r.second.find("falsche sound.mod version\n"), std::string::npos);
    EXPECT_NE(r.second.find("fake game module ends"), std::string::npos) << "the game module saw its quit byte";
    EXPECT_EQ(Sound, nullptr);
    EXPECT_EQ(FindPort("VextPort"), nullptr);
}

TEST_F(ModuleDir, SameModuleNameInAnotherDirectoryIsThatDirectorysFile)
{
    link(fake(4), "Spielmod.mod");
    CreateEnginePort("VextPort");
    stdoutOf([] {
        OpenGameModul();
        CloseGameModul();
    });
    // A level change from another directory must start the file found there,
    // not the one loaded first under the same name.
    fs::create_directory("other");
    fs::create_symlink(fake(1), "other/Spielmod.mod");
    ScopedCwd other("other");
    auto r = runToExit([] { OpenGameModul(); });
    EXPECT_EQ(r.first, KRT_BADGAME) << r.second;
}

// The running level and its game module stay, with the real game module
// reading real level files.
TEST_F(ModuleDir, ALevelThatDoesNotLoadKeepsTheRunningLevelAndItsModule)
{
    ASSERT_TRUE(ensureGLContext());
    link(std::string(VEXT_BUILD_DIR) + "/Spielmod.mod", "Spielmod.mod");
    writeBytes("levels/good/level.toml", "");
    writeBytes("levels/broken/level.toml", "tree = []\n[fog\n");
    CreateEnginePort("VextPort");
    testing::internal::CaptureStdout();
    OpenGameModul();
    Lev* const running = Level;
    ASSERT_NE(running, nullptr);
    ASSERT_EQ(running->levelLoader("good", nullptr), 1);

    EXPECT_FALSE(initGame("broken"));
    EXPECT_EQ(Level, running);
    const std::string console = txtcon;
    EXPECT_EQ(Level->levelLoader("good", nullptr), 1);   // the kept module still answers for its record
    CloseGameModul();
    DeleteEnginePort();
    ReapModules(100);
    const std::string out = testing::internal::GetCapturedStdout();
    for (const std::string& text : {out, console}) {   // both name the file and line
        EXPECT_NE(text.find("levels/broken/level.toml:2:"), std::string::npos) << text;
    }
    EXPECT_NE(out.find("Level broken nicht geladen, der bisherige Level läuft weiter"), std::string::npos) << out;
    EXPECT_EQ(RunningModuleCount(), 0);
}
