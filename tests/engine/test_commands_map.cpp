// `map` with the real modules: the current game ends, a new game module loads
// the named level and a new sound module starts, while the engine object and
// its display stay.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "commands/commands.h"
#include "core/engine.h"
#include "core/modport.h"
#include "gl_fixture.h"
#include "platform/exec.h"
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

// A scratch data root holding the module files and the demo level files.
class MapWithModules : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        savedExit_ = g_processExit;
        savedEngine_ = Engine;
        savedLevel_ = Level;
        g_processExit = throwingExit;
        SetDelayTickMicroseconds(200);
        char tmpl[] = "/tmp/vext_cmdmap_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        oldCwd_ = fs::current_path();
        const fs::path build(VEXT_BUILD_DIR);
        const fs::path data = fs::path(VEXT_SOURCE_DIR) / "data";
        fs::create_symlink(build / "Spielmod.mod", dir_ / "Spielmod.mod");
        fs::create_symlink(build / "Klangmod.mod", dir_ / "Klangmod.mod");
        fs::create_symlink(data / "config.cfg", dir_ / "config.cfg");
        fs::create_directory_symlink(data / "levels", dir_ / "levels");
        fs::current_path(dir_);
    }
    void TearDown() override
    {
        CloseKlangmodul();
        CloseGameModul();
        DeleteEnginePort();
        ReapModules(100);
        fs::current_path(oldCwd_);
        fs::remove_all(dir_);
        SetDelayTickMicroseconds(20000);
        g_processExit = savedExit_;
        Engine = savedEngine_;
        Level = savedLevel_;
    }
    fs::path dir_;
    fs::path oldCwd_;
    ProcessExitFn savedExit_ = nullptr;
    CEngine* savedEngine_ = nullptr;
    Lev* savedLevel_ = nullptr;
};

bool containsNoCase(const char* text, const char* part)
{
    return text != nullptr && strcasestr(text, part) != nullptr;
}

}  // namespace

TEST_F(MapWithModules, LoadsTheNamedLevelAndKeepsTheEngine)
{
    testing::internal::CaptureStdout();
    bool exited = false;
    CEngine* engineBefore = nullptr;
    try {
        CreateEnginePort("VextPort");
        engineBefore = Engine;
        OpenGameModul();
        ASSERT_NE(Level, nullptr);
        ASSERT_EQ(Level->levelLoader("select", nullptr), 1);
        ASSERT_TRUE(containsNoCase(Level->levelDirectory, "select"));
        OpenKlangmodul();

        cvar v{};
        std::strcpy(v.text, "second");
        cmd_map(v);
    } catch (const ExitCalled&) {
        exited = true;
    }
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_FALSE(exited) << out;
    ASSERT_NE(Level, nullptr);
    EXPECT_TRUE(containsNoCase(Level->levelDirectory, "second")) << Level->levelDirectory;
    EXPECT_NE(Sound, nullptr) << "a new sound module was started";
    EXPECT_EQ(Engine, engineBefore) << "the engine object stays";
    EXPECT_NE(out.find("Engine: Gamemodul, kannst gehen...\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\t\t\tGO\t\t\n"), std::string::npos) << out;
}
