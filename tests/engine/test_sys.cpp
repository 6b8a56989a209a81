// core/sys: the stack test at start, the exit, the frame clock and file
// existence.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/engine.h"
#include "core/sys.h"
#include "platform/net.h"
#include "support/guards.h"
#include "support/temp_dir.h"

namespace {

int stackMissing() { return 0; }

// The exit status `call` ended the process with, or -1 when it returned.
template <typename F>
int exitStatusOf(F call)
{
    GlobalsGuard guard(g_processExit);
    g_processExit = [](int status) { throw status; };
    try {
        call();
    } catch (int status) {
        return status;
    }
    return -1;
}

TEST(SysInit, StackTestByModeAndShutdownClosesIt)
{
    GlobalsGuard guard(g_sysStackProbe, server, isON);
    EXPECT_EQ(g_sysStackProbe, &platformTcpStackPresent);
    const struct {
        SysStackProbeFn probe;
        uint8_t server, isOn;
        int status;   // -1: sysInit returns
        const char* output;
    } cases[] = {
        {platformTcpStackPresent, 1, 1, -1, ""},   // the loopback stack is always there
        {stackMissing, 0, 0, -1, ""},
        {stackMissing, 1, 0, kSysExitNoStack, "kein TCP/IP stack gefunden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "server " << int(c.server) << ", status " << c.status);
        g_sysStackProbe = c.probe;
        server = c.server;
        isON = 0;
        int status = 0;
        EXPECT_EQ(stdoutOf([&] { status = exitStatusOf(sysInit); }), c.output);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(isON, c.isOn);
    }
    isON = 1;
    EXPECT_EQ(exitStatusOf([] { sysShutdown(10); }), 10);
    EXPECT_EQ(isON, 0);
}

int32_t g_fakeMicros = 0;
int g_clockReads = 0;

TEST(SysClock, SubSecondDifferencesRolloverAndTheGrabStep)
{
    GlobalsGuard guard(g_sysClock, g_frametime, inittime);
    g_sysClock = [] {
        ++g_clockReads;
        return g_fakeMicros;
    };
    auto readAt = [](int32_t micros, bool grabbing = false) {
        g_fakeMicros = micros;
        return sysGetTime(grabbing);
    };
    const struct {
        const char* name;
        float frameTime;
        std::vector<std::pair<int32_t, float>> readings;   // microseconds, seconds
    } cases[] = {
        {"first reading is 0, then differences", 0.01f, {{250000, 0.0f}, {350000, 0.1f}, {999999, 0.649999f}}},
        {"second rollover repeats the previous frame time", 0.02f, {{900000, 0.0f}, {100000, 0.02f}}},
        // A sub-second part of exactly 0 looks like "no reading yet" next time.
        {"reading at exactly 0 starts over", 0.03f, {{500000, 0.0f}, {0, 0.03f}, {200000, 0.0f}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        inittime = 0.0f;
        g_frametime = c.frameTime;
        for (const auto& [micros, expected] : c.readings) {
            EXPECT_NEAR(readAt(micros), expected, 1e-6f) << "at " << micros;
        }
    }
    // Grabbing fixes the frame time without reading the clock.
    g_clockReads = 0;
    EXPECT_EQ(readAt(900000, true), 0.04f);
    EXPECT_EQ(g_clockReads, 0);
    EXPECT_NEAR(readAt(300000), 0.1f, 1e-6f);

    const int32_t micros = sysClockMicros();
    EXPECT_TRUE(micros >= 0 && micros < 1000000) << micros;
}

TEST(SysFiles, FileExistIgnoresCaseAndClosesTheFile)
{
    WorkDir dir;
    writeBytes("Gfx/ConChars.PPM", "P6");
    EXPECT_EQ(sysFileExist("gfx/missing.ppm"), 0);
    EXPECT_EQ(sysFileExist(nullptr), 0);
    // Asking many times must not run out of file handles.
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(sysFileExist("gfx/conchars.ppm"), 1) << "after " << i << " calls";
    }
}

}  // namespace
