// The engine's spine: frame-rate slots, the frame counter, the orderly exit
// and the module handshake against real and misbehaving module files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "camera/camera.h"
#include "commands/functions.h"
#include "core/engine.h"
#include "core/modport.h"
#include "input/input.h"
#include "platform/exec.h"
#include "render/display.h"
#include "sound/csound.h"

namespace fs = std::filesystem;

namespace {

struct ExitCalled {
    int status;
};

[[noreturn]] void throwingExit(int status)
{
    throw ExitCalled{status};
}

// Runs `fn`, which must end through closeEngine; returns the exit status and
// what was printed.
template <class Fn>
std::pair<int, std::string> runToExit(Fn fn)
{
    testing::internal::CaptureStdout();
    int status = -1;
    try {
        fn();
    } catch (const ExitCalled& e) {
        status = e.status;
    }
    std::fflush(stdout);
    return {status, testing::internal::GetCapturedStdout()};
}

// A scratch directory holding module files under the names the engine
// starts, so that misbehaving modules can stand in for the real ones.
class ModuleDir : public testing::Test {
protected:
    void SetUp() override
    {
        // closeEngine deletes whatever these point at; other tests of this
        // program may have left objects of their own there.
        saved_ = {Engine, Level, KeyInput, Functions, Cam, Sound};
        Engine = nullptr;
        Level = nullptr;
        KeyInput = nullptr;
        Functions = nullptr;
        Cam = nullptr;
        Sound = nullptr;
        savedExit_ = g_processExit;
        g_processExit = throwingExit;
        // Short ticks, but long enough for the sound module to close its
        // audio device (SDL plays out about three buffers, some 70 ms).
        SetDelayTickMicroseconds(2000);
        char tmpl[] = "/tmp/vext_spine_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        oldCwd_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override
    {
        ReapModules(100);
        fs::current_path(oldCwd_);
        fs::remove_all(dir_);
        SetDelayTickMicroseconds(20000);
        Engine = saved_.engine;
        Level = saved_.level;
        KeyInput = saved_.input;
        Functions = saved_.functions;
        Cam = saved_.cam;
        Sound = saved_.sound;
        g_processExit = savedExit_;
    }
    void link(const std::string& built, const char* as)
    {
        fs::create_symlink(built, dir_ / as);
    }
    static std::string fake(int kind)
    {
        return std::string(VEXT_BUILD_DIR) + "/fake_modules/fake_module_" + std::to_string(kind) + ".mod";
    }
    fs::path dir_;
    fs::path oldCwd_;
    struct {
        CEngine* engine;
        Lev* level;
        CInput* input;
        CFunctions* functions;
        t_cam* cam;
        CSound* sound;
    } saved_{};
    ProcessExitFn savedExit_ = nullptr;
};

}  // namespace

TEST(FrameRate, SlotChangeCopiesCountAndSkipsItself)
{
    g_showfps = 1;
    fps = 0;
    fpsz = 0;
    fpsStartSlot(100);
    fpsTick(100);
    fpsTick(100);
    fpsTick(100);
    EXPECT_EQ(fpsz, 3);
    fpsTick(101);       // the frame that sees the new slot is not counted
    EXPECT_EQ(fps, 3);
    EXPECT_EQ(fpsz, 0);
    fpsTick(101);
    EXPECT_EQ(fpsz, 1);
    fpsTick(118);       // 118 mod 16 == 6: the next slot although 17 s later
    EXPECT_EQ(fps, 1);
    EXPECT_EQ(fpsz, 0);
    fpsTick(134);       // 134 mod 16 == 6 again: same slot, counted
    EXPECT_EQ(fpsz, 1);
    fpsTick(117);       // 117 mod 16 == 5: any other slot starts a new one
    EXPECT_EQ(fps, 1);

    g_showfps = 0;
    fpsTick(200);
    fpsTick(200);
    EXPECT_EQ(fpsz, 0) << "without showfps nothing is counted";
    EXPECT_EQ(fps, 1);
}

TEST(FrameCounter, WrapsPastOneMillion)
{
    framecounter = 999999;
    advanceFrameCounter();
    EXPECT_EQ(framecounter, 1000000u) << "1000000 itself is kept";
    advanceFrameCounter();
    EXPECT_EQ(framecounter, 0u);
}

TEST_F(ModuleDir, CloseEngineStatusAndMessages)
{
    auto quit = runToExit([] { closeEngine(KRT_QUIT, ""); });
    EXPECT_EQ(quit.first, 0);
    EXPECT_EQ(quit.second, "");

    auto fatal = runToExit([] { closeEngine(KRT_FATAL, "Level %s nicht gefunden", "wald"); });
    EXPECT_EQ(fatal.first, 2);
    EXPECT_EQ(fatal.second, "Level wald nicht gefunden\n");

    auto oneChar = runToExit([] { closeEngine(KRT_FILE, "x"); });
    EXPECT_EQ(oneChar.first, 10);
    EXPECT_EQ(oneChar.second, "") << "a one-character format prints nothing";

    const std::string longArg(400, 'a');
    auto bounded = runToExit([&] { closeEngine(KRT_INTERNAL, "%s", longArg.c_str()); });
    EXPECT_EQ(bounded.first, 9);
    EXPECT_EQ(bounded.second, std::string(255, 'a') + "\n") << "formatted into 256 bytes";
}

TEST_F(ModuleDir, MissingModuleFileEndsWithItsName)
{
    CreateEnginePort("VextPort");
    auto r = runToExit([] { OpenGameModul(); });
    EXPECT_EQ(r.first, KRT_FILE);
    EXPECT_NE(r.second.find("Spielmod.mod"), std::string::npos) << r.second;
    EXPECT_EQ(FindPort("VextPort"), nullptr) << "closeEngine deletes the port";
    EXPECT_EQ(Engine, nullptr);
}

TEST_F(ModuleDir, ModuleThatNeverPostsDoesNotHang)
{
    link(fake(3), "Spielmod.mod");
    CreateEnginePort("VextPort");
    auto r = runToExit([] { OpenGameModul(); });
    EXPECT_EQ(r.first, KRT_FILE);
    EXPECT_NE(r.second.find("Spielmod.mod"), std::string::npos) << r.second;
}

TEST_F(ModuleDir, WrongGameVersionLeavesGameModuleAlone)
{
    link(fake(1), "Spielmod.mod");
    CreateEnginePort("VextPort");
    auto r = runToExit([] { OpenGameModul(); });
    EXPECT_EQ(r.first, KRT_BADGAME);
    EXPECT_EQ(r.second, "falsche game.mod version\n");
    EXPECT_EQ(Level, nullptr);
}

TEST_F(ModuleDir, StaleMessagesAreDroppedAndGoodRecordIsTaken)
{
    link(fake(4), "Spielmod.mod");
    CreateEnginePort("VextPort");
    ModuleMessage stale[2];
    Lev bogus{};
    for (auto& m : stale) {
        m.payload = &bogus;
        PutMsg(addport, &m.msg);
    }
    testing::internal::CaptureStdout();
    OpenGameModul();
    testing::internal::GetCapturedStdout();
    ASSERT_NE(Level, nullptr);
    EXPECT_NE(Level, &bogus);
    EXPECT_EQ(Level->moduleVersion, kLevVersion);
    EXPECT_EQ(Level->levelLoader("select", nullptr), 1);
    EXPECT_EQ(GetMsg(addport), nullptr) << "nothing else left on the port";

    // A wrong sound module still closes the game module and deletes the port.
    link(fake(2), "Klangmod.mod");
    auto r = runToExit([] { OpenKlangmodul(); });
    EXPECT_EQ(r.first, KRT_BADSOUND);
    EXPECT_NE(r.second.find("Engine: Gamemodul, kannst gehen...\n"), std::string::npos) << r.second;
    EXPECT_NE(r.second.find("falsche sound.mod version\n"), std::string::npos);
    EXPECT_NE(r.second.find("fake game module ends"), std::string::npos) << "the game module saw its quit byte";
    EXPECT_EQ(Sound, nullptr);
    EXPECT_EQ(FindPort("VextPort"), nullptr);
}

TEST_F(ModuleDir, RealModulesBindAndClose)
{
    link(std::string(VEXT_BUILD_DIR) + "/Klangmod.mod", "Klangmod.mod");
    CreateEnginePort("VextPort");
    testing::internal::CaptureStdout();
    OpenKlangmodul();
    ASSERT_NE(Sound, nullptr);
    EXPECT_EQ(Sound->g_getVersion(), 2);
    EXPECT_EQ(Sound->version, 0u) << "the version word is not copied";
    CloseKlangmodul();
    EXPECT_EQ(Sound, nullptr);
    CloseKlangmodul();  // unbound: nothing happens
    CloseGameModul();   // no record yet: nothing happens
    DeleteEnginePort();
    ReapModules(100);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Warte auf Klangmodul\ngefunden\nVersion richtig?\nJa\ncheck"
                       "e CPU-Version:...\nKlangmodul PPC Version gefunden\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(RunningModuleCount(), 0);
}

TEST_F(ModuleDir, SameModuleNameInAnotherDirectoryIsThatDirectorysFile)
{
    link(fake(4), "Spielmod.mod");
    CreateEnginePort("VextPort");
    testing::internal::CaptureStdout();
    OpenGameModul();
    ASSERT_NE(Level, nullptr);
    CloseGameModul();
    testing::internal::GetCapturedStdout();

    // A level change from another directory must start the file found there,
    // not the one loaded first under the same name.
    fs::create_directory(dir_ / "other");
    fs::current_path(dir_ / "other");
    fs::create_symlink(fake(1), dir_ / "other" / "Spielmod.mod");
    auto r = runToExit([] { OpenGameModul(); });
    EXPECT_EQ(r.first, KRT_BADGAME) << r.second;
}

TEST_F(ModuleDir, CloseEngineClosesBothModulesThenThePort)
{
    link(fake(4), "Spielmod.mod");
    link(std::string(VEXT_BUILD_DIR) + "/Klangmod.mod", "Klangmod.mod");
    CreateEnginePort("VextPort");
    testing::internal::CaptureStdout();
    OpenGameModul();
    OpenKlangmodul();
    testing::internal::GetCapturedStdout();
    ASSERT_NE(Level, nullptr);
    ASSERT_NE(Sound, nullptr);

    auto r = runToExit([] { closeEngine(KRT_QUIT, ""); });
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(Sound, nullptr);
    EXPECT_EQ(Level, nullptr);
    EXPECT_EQ(Engine, nullptr);
    EXPECT_EQ(FindPort("VextPort"), nullptr);
    const size_t told = r.second.find("Engine: Gamemodul, kannst gehen...\n");
    const size_t ended = r.second.find("fake game module ends");
    ASSERT_NE(told, std::string::npos) << r.second;
    ASSERT_NE(ended, std::string::npos) << "the game module saw its quit byte";
    EXPECT_LT(told, ended);
    EXPECT_NE(r.second.find("KlangModul: Sound modul verabschiedet sich"), std::string::npos) << r.second;
    ReapModules(5000);
    EXPECT_EQ(RunningModuleCount(), 0) << "both closed modules end";
}
