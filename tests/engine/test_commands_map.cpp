// `map` with the real modules: the current game ends, a new game module loads
// the named level and a new sound module starts, while the engine object and
// its display stay.
#include <gtest/gtest.h>

#include <cstdio>
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

[[noreturn]] void reportExit(int status)
{
    std::fprintf(stderr, "exit %d\n", status);
    std::_Exit(1);
}

// The loaded level's directory name, or "?".
std::string levelName(const char* wanted)
{
    const bool found = Level != nullptr && Level->levelDirectory != nullptr &&
                       strcasestr(Level->levelDirectory, wanted) != nullptr;
    return found ? wanted : "?";
}

// Runs `map` in a scratch data root holding the module files and the demo
// level files, then prints what it saw to stderr and ends the process (an
// engine shutdown on the way prints "exit N" and ends it at once).  Run
// as a death test, in a process of its own: once the real game module's file
// is loaded, module files of the same name in other directories are not
// loaded again, which would upset other tests' stand-in modules.
[[noreturn]] void runMapScenario()
{
    g_processExit = reportExit;
    SetDelayTickMicroseconds(200);
    char tmpl[] = "/tmp/vext_cmdmap_XXXXXX";
    if (!ensureGLContext() || mkdtemp(tmpl) == nullptr) {
        std::_Exit(2);
    }
    const fs::path dir = tmpl;
    const fs::path build(VEXT_BUILD_DIR);
    const fs::path data = fs::path(VEXT_SOURCE_DIR) / "data";
    fs::create_symlink(build / "Spielmod.mod", dir / "Spielmod.mod");
    fs::create_symlink(build / "Klangmod.mod", dir / "Klangmod.mod");
    fs::create_symlink(data / "config.cfg", dir / "config.cfg");
    fs::create_directory_symlink(data / "levels", dir / "levels");
    fs::create_directory_symlink(data / "obj", dir / "obj");
    fs::current_path(dir);

    testing::internal::CaptureStdout();
    CreateEnginePort("VextPort");
    CEngine* engineBefore = Engine;
    OpenGameModul();
    const bool loaded = Level != nullptr && Level->levelLoader("select", nullptr) == 1;
    std::string result = "first=" + (loaded ? levelName("select") : "?");
    OpenKlangmodul();
    cvar v{};
    std::strcpy(v.text, "second");
    cmd_map(v);
    result += " level=" + levelName("second") + " sound=" + (Sound != nullptr ? "1" : "0") +
              " engine=" + (Engine == engineBefore ? "same" : "new");
    const std::string out = testing::internal::GetCapturedStdout();
    result += out.find("Engine: Gamemodul, kannst gehen...\n") != std::string::npos ? " closed=1" : " closed=0";
    result += out.find("\t\t\tGO\t\t\n") != std::string::npos ? " go=1" : " go=0";
    fs::remove_all(dir);
    std::fprintf(stderr, "%s\n%s\n", result.c_str(), out.c_str());
    std::fflush(stderr);
    std::_Exit(0);
}

}  // namespace

TEST(MapWithModules, LoadsTheNamedLevelAndKeepsTheEngine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(runMapScenario(), testing::ExitedWithCode(0),
                "first=select level=second sound=1 engine=same closed=1 go=1");
}
