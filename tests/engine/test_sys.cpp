// Tests of core/sys: stack test and exit, the frame clock, file existence,
// type and copying, path helpers, FloatSwap and max/min.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "core/sys.h"
#include "platform/net.h"

namespace fs = std::filesystem;

namespace {

// ---- process exit and the stack test ---------------------------------------

int stackMissing() { return 0; }

class SysInitTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        g_processExit = savedExit_;
        g_sysStackProbe = savedProbe_;
        server = savedServer_;
        isON = 0;
    }
    // The exit status the call ended the process with, or -1 when it returned.
    template <typename F>
    static int exitStatusOf(F call)
    {
        g_processExit = [](int status) { throw status; };
        try {
            call();
        } catch (int status) {
            return status;
        }
        return -1;
    }
    ProcessExitFn savedExit_ = g_processExit;
    SysStackProbeFn savedProbe_ = g_sysStackProbe;
    uint8_t savedServer_ = server;
};

TEST_F(SysInitTest, StackTestByMode)
{
    EXPECT_EQ(savedProbe_, &platformTcpStackPresent);
    static_assert(kSysExitNoStack != 0, "a failed server start must end non-zero");
    const struct {
        SysStackProbeFn probe;
        uint8_t server;
        uint8_t isOn;
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
        testing::internal::CaptureStdout();
        EXPECT_EQ(exitStatusOf(sysInit), c.status);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        EXPECT_EQ(isON, c.isOn);
    }
}

TEST_F(SysInitTest, ShutdownPassesTheStatusAndClosesTheStack)
{
    isON = 1;
    EXPECT_EQ(exitStatusOf([] { sysShutdown(10); }), 10);
    EXPECT_EQ(isON, 0);
}

// ---- frame clock -------------------------------------------------------------

int32_t g_fakeMicros = 0;
int g_clockReads = 0;

int32_t fakeClock()
{
    ++g_clockReads;
    return g_fakeMicros;
}

class SysClockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_sysClock = fakeClock;
        g_clockReads = 0;
        inittime = 0.0f;
    }
    void TearDown() override
    {
        g_sysClock = savedClock_;
        g_frametime = savedFrameTime_;
        inittime = 0.0f;
    }
    static float readAt(int32_t micros, bool grabbing = false)
    {
        g_fakeMicros = micros;
        return sysGetTime(grabbing);
    }
    SysClockFn savedClock_ = g_sysClock;
    float savedFrameTime_ = g_frametime;
};

TEST_F(SysClockTest, MeasuresSubSecondDifferences)
{
    const struct {
        const char* name;
        float frameTime;
        std::vector<std::pair<int32_t, float>> readings;   // microseconds, seconds
    } cases[] = {
        {"first reading is 0, then differences", 0.01f,
         {{250000, 0.0f}, {350000, 0.1f}, {350000, 0.0f}, {999999, 0.649999f}}},
        {"second rollover repeats the previous frame time", 0.02f,
         {{900000, 0.0f}, {100000, 0.02f}, {150000, 0.05f}}},
        // A sub-second part of exactly 0 looks like "no reading yet" next time.
        {"reading at exactly 0 starts over", 0.03f,
         {{500000, 0.0f}, {0, 0.03f}, {200000, 0.0f}, {260000, 0.06f}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        inittime = 0.0f;
        g_frametime = c.frameTime;
        for (const auto& [micros, expected] : c.readings) {
            EXPECT_NEAR(readAt(micros), expected, 1e-6f) << "at " << micros;
        }
    }
}

TEST_F(SysClockTest, GrabbingFixesTheFrameTimeWithoutReadingTheClock)
{
    readAt(100000);
    EXPECT_EQ(readAt(900000, true), 0.04f);
    EXPECT_EQ(g_clockReads, 1);
    // Without grabbing the clock is read again.
    EXPECT_NEAR(readAt(300000), 0.2f, 1e-6f);
    EXPECT_EQ(g_clockReads, 2);
}

TEST_F(SysClockTest, WallClockReadingsStayBelowOneSecond)
{
    const int32_t micros = sysClockMicros();
    EXPECT_GE(micros, 0);
    EXPECT_LT(micros, 1000000);
}

// ---- file type, paths, bytes, max/min -----------------------------------------

TEST(SysFileType, ByLastThreeCharactersIgnoringCase)
{
    const struct {
        const char* name;
        int type;
    } cases[] = {
        {"gfx/load.PPM", 8}, {"obj/tree/T.RaW", 3}, {"pilot.md2", 6}, {"snow.tga", 7},
        {"model.3ds", 0},    {"picture.ppmx", 0},
        // Only the ending counts, not a dot before it.
        {"raw", 3},          {"xppm", 8},
        {"md", 0},           {"", 0},             {nullptr, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileType(c.name), c.type) << (c.name ? c.name : "(null)");
    }
}

TEST(SysPaths, ChangeSeparatorsInPlace)
{
    char path[] = "obj/tree/t.raw";
    com_changeSeparators(path);
    EXPECT_STREQ(path, "obj\\tree\\t.raw");
    com_changeSeparators(nullptr);
}

TEST(SysPaths, FileDirSplitAtTheLastSlash)
{
    const struct {
        const char* path;
        const char* file;
        const char* dir;
    } cases[] = {
        {"obj/tree/t.raw", "t.raw", "obj/tree"},
        {"t.raw", "t.raw", nullptr},
        {"/t.raw", "t.raw", ""},
        {"obj/", "", "obj"},
        {nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path ? c.path : "(null)");
        const t_fileDir split = com_fileDirSplit(c.path);
        EXPECT_STREQ(split.file, c.file);
        EXPECT_STREQ(split.dir, c.dir);
        std::free(split.file);
        std::free(split.dir);
    }
}

TEST(SysBytes, FloatSwapReversesTheBytesAndTwiceRestoresThem)
{
    EXPECT_EQ(std::bit_cast<uint32_t>(FloatSwap(1.0f)), 0x0000803Fu);
    // NaN payloads and denormals must survive too.
    for (uint32_t bits : {0x00000000u, 0x3F800000u, 0xC2F6E979u, 0x7FC00001u, 0x7F800000u,
                          0x00000001u, 0x12345678u, 0xFFFFFFFFu}) {
        const float f = std::bit_cast<float>(bits);
        EXPECT_EQ(std::bit_cast<uint32_t>(FloatSwap(FloatSwap(f))), bits) << std::hex << bits;
    }
}

TEST(SysMaxMin, ReturnTheSecondOnEqualityAndLeaveStdUsable)
{
    EXPECT_EQ(max(1.5f, -2.0f), 1.5f);
    EXPECT_EQ(min(-2.0f, 1.5f), -2.0f);
    // +0 and -0 compare equal: the second argument comes back.
    EXPECT_TRUE(std::signbit(max(0.0f, -0.0f)));
    EXPECT_FALSE(std::signbit(min(-0.0f, 0.0f)));
    using namespace std;
    static_assert(std::is_same_v<decltype(max(1, 2)), const int&>);
    static_assert(std::is_same_v<decltype(min(1.0f, 2.0f)), float>);
}

// ---- files ---------------------------------------------------------------------

// Each test runs in a fresh directory of its own, which is the current one.
class SysFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vext_sys_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::current_path(dir_);
    }
    void TearDown() override
    {
        fs::current_path(savedCwd_);
        fs::remove_all(dir_);
    }
    static void writeFile(const fs::path& path, const std::string& content)
    {
        if (path.has_parent_path()) {
            fs::create_directories(path.parent_path());
        }
        std::ofstream(path, std::ios::binary) << content;
    }
    static std::string readFile(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::path savedCwd_ = fs::current_path();
    std::string dir_;
};

TEST_F(SysFileTest, FileExistIgnoresCaseAndClosesTheFile)
{
    writeFile("Gfx/ConChars.PPM", "P6");
    EXPECT_EQ(sysFileExist("gfx/conchars.ppm"), 1);
    EXPECT_EQ(sysFileExist("gfx/missing.ppm"), 0);
    EXPECT_EQ(sysFileExist(nullptr), 0);
    // Asking many times must not run out of file handles.
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(sysFileExist("gfx/conchars.ppm"), 1) << "after " << i << " calls";
    }
}

TEST_F(SysFileTest, CopyCreatesTheDirectoriesOfTheSourcePath)
{
    fs::create_directory("save");
    // Something other than a repeated byte, so that misplaced chunks show.
    std::string big(3 * 64 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 131 + i / 251);
    }
    const std::string deepTarget = dir_ + "/out/level/copy";
    const std::string fits(250, 'f');   // "save/" + 250 = 255 characters
    const struct {
        std::string source;
        std::string content;
        std::string targetDir;
    } cases[] = {
        {"gfx/a.ppm", "P6\n1 1\n255\nabc", "save"},
        {"obj/tree/t.raw", "tri", "save"},
        {"config.cfg", "x", "save"},
        {"snd/big.wav", big, "save"},
        {"snd/empty.wav", "", "save"},
        {"gfx/b.ppm", "data", deepTarget},
        {fits, "ok", "save"},
        // Names that merely start with dots stay inside.
        {"..gfx/.a.ppm", "dots", "save"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        writeFile(c.source, c.content);
        EXPECT_EQ(sysFileCopy(c.source.c_str(), c.targetDir.c_str()), 1);
        const fs::path target = c.targetDir + "/" + c.source;
        EXPECT_TRUE(fs::is_regular_file(target));
        EXPECT_EQ(readFile(target), c.content);
        EXPECT_EQ(readFile(c.source), c.content);
    }

    // An older, longer target is replaced completely.
    writeFile("gfx/a.ppm", "new");
    EXPECT_EQ(sysFileCopy("gfx/a.ppm", "save"), 1);
    EXPECT_EQ(readFile("save/gfx/a.ppm"), "new");

    // An existing directory is matched under any case, not doubled.
    writeFile("Tex/A.PPM", "data");
    fs::create_directories("save/TEX");
    EXPECT_EQ(sysFileCopy("tex/a.ppm", "save"), 1);
    EXPECT_FALSE(fs::exists("save/tex"));
    EXPECT_EQ(readFile("save/TEX/a.ppm"), "data");
}

TEST_F(SysFileTest, CopyRefusalsWriteNothing)
{
    writeFile("gfx/a.ppm", "precious");
    writeFile("victim.txt", "keep");
    fs::create_directories("gfx/sub");
    fs::create_directories("save/sub");
    const std::string absolute = dir_ + "/gfx/a.ppm";
    const std::string tooLong(251, 'g');
    writeFile(tooLong, "no");
    const struct {
        const char* source;
        const char* targetDir;
        const char* output;   // expected in what is printed; null: not checked
    } cases[] = {
        {nullptr, "save", nullptr},
        {"gfx/a.ppm", nullptr, nullptr},
        {"", "save", nullptr},
        // An empty target directory would make the target path absolute.
        {"gfx/a.ppm", "", nullptr},
        {absolute.c_str(), "save", nullptr},
        {"../victim.txt", "save/sub", "../victim.txt"},
        {"gfx/../victim.txt", "save", nullptr},
        {"gfx/..", "save", nullptr},
        {tooLong.c_str(), "save", "255"},
        // The first directory of the target must already exist.
        {"gfx/a.ppm", "nosave", nullptr},
        // Onto itself.
        {"gfx/a.ppm", ".", nullptr},
        {"gfx/a.ppm", dir_.c_str(), nullptr},
        {"gfx/sub", "save", nullptr},
        // A missing source fails quietly.
        {"obj/tree/t.snd", "save", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.source ? c.source : "(null)") << " -> "
                                        << (c.targetDir ? c.targetDir : "(null)"));
        testing::internal::CaptureStdout();
        EXPECT_EQ(sysFileCopy(c.source, c.targetDir), 0);
        const std::string out = testing::internal::GetCapturedStdout();
        if (c.output != nullptr && *c.output == '\0') {
            EXPECT_EQ(out, "");
        } else if (c.output != nullptr) {
            EXPECT_NE(out.find(c.output), std::string::npos) << out;
        }
    }
    EXPECT_EQ(readFile("gfx/a.ppm"), "precious");
    EXPECT_EQ(readFile("victim.txt"), "keep");
    EXPECT_FALSE(fs::exists("nosave"));
    // Nothing below save but the two directories; the directory source's
    // failed read may leave its (empty) directory behind.
    for (const auto& e : fs::recursive_directory_iterator("save")) {
        EXPECT_TRUE(e.path() == "save/sub" || e.path() == "save/gfx") << e.path();
    }
}

TEST_F(SysFileTest, FailedWriteRemovesThePartialTarget)
{
    const std::string big(256 * 1024, 'b');
    writeFile("snd/big.wav", big);
    fs::create_directory("save");

    // A file size limit makes writes past 64 KiB fail (EFBIG) instead of
    // killing the process.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*savedHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    testing::internal::CaptureStdout();
    const int result = sysFileCopy("snd/big.wav", "save");
    const std::string out = testing::internal::GetCapturedStdout();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_EQ(result, 0);
    EXPECT_NE(out.find("save/snd/big.wav"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists("save/snd/big.wav"));
    EXPECT_EQ(readFile("snd/big.wav"), big);
}

}  // namespace
