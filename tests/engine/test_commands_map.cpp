// `map` with the real modules: the current game ends, a new game module loads
// the named level and a new sound module starts, while the engine object and
// its display stay.
#include <gtest/gtest.h>

#include <unistd.h>

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

struct ExitCalled {
    int status;
};

[[noreturn]] void throwingExit(int status)
{
    throw ExitCalled{status};
}

bool containsNoCase(const char* text, const char* part)
{
    return text != nullptr && strcasestr(text, part) != nullptr;
}

// Runs `map` in a scratch data root holding the module files and the demo
// level files, then prints what it saw to stderr and ends the process.  Run
// as a death test, in a process of its own: once the real game module's file
// is loaded, module files of the same name in other directories are not
// loaded again, which would upset other tests' stand-in modules.
[[noreturn]] void runMapScenario()
{
    g_processExit = throwingExit;
    SetDelayTickMicroseconds(200);
    char tmpl[] = "/tmp/vext_cmdmap_XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
        std::fprintf(stderr, "no scratch directory\n");
        std::_Exit(2);
    }
    const fs::path dir = tmpl;
    const fs::path build(VEXT_BUILD_DIR);
    const fs::path data = fs::path(VEXT_SOURCE_DIR) / "data";
    fs::create_symlink(build / "Spielmod.mod", dir / "Spielmod.mod");
    fs::create_symlink(build / "Klangmod.mod", dir / "Klangmod.mod");
    fs::create_symlink(data / "config.cfg", dir / "config.cfg");
    fs::create_directory_symlink(data / "levels", dir / "levels");
    fs::current_path(dir);

    testing::internal::CaptureStdout();
    std::string result;
    try {
        CreateEnginePort("VextPort");
        CEngine* engineBefore = Engine;
        OpenGameModul();
        const bool first = Level != nullptr && Level->levelLoader("select", nullptr) == 1 &&
                           containsNoCase(Level->levelDirectory, "select");
        OpenKlangmodul();
        cvar v{};
        std::strcpy(v.text, "second");
        cmd_map(v);
        result = std::string("first=") + (first ? "select" : "?") +
                 " level=" + (Level != nullptr && containsNoCase(Level->levelDirectory, "second") ? "second" : "?") +
                 " sound=" + (Sound != nullptr ? "1" : "0") +
                 " engine=" + (Engine == engineBefore ? "same" : "new");
    } catch (const ExitCalled& e) {
        result = "exit " + std::to_string(e.status);
    }
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
    EXPECT_EXIT(
        {
            if (!ensureGLContext()) {
                std::_Exit(3);
            }
            runMapScenario();
        },
        testing::ExitedWithCode(0),
        "first=select level=second sound=1 engine=same closed=1 go=1");
}
