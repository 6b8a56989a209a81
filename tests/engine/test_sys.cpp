// Tests of core/sys: stack test and exit, the frame clock, file existence,
// type and copying, path helpers, FloatSwap and max/min.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>

#include "core/engine.h"
#include "core/sys.h"
#include "platform/net.h"

namespace fs = std::filesystem;

namespace {

// ---- process exit and the stack test ---------------------------------------

struct ExitCalled {
    int status;
};

[[noreturn]] void throwingExit(int status)
{
    throw ExitCalled{status};
}

int stackPresent() { return 1; }
int stackMissing() { return 0; }

class SysInitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedExit_ = g_processExit;
        savedProbe_ = g_sysStackProbe;
        savedServer_ = server;
        g_processExit = throwingExit;
        isON = 0;
    }
    void TearDown() override
    {
        g_processExit = savedExit_;
        g_sysStackProbe = savedProbe_;
        server = savedServer_;
        isON = 0;
    }
    ProcessExitFn savedExit_ = nullptr;
    SysStackProbeFn savedProbe_ = nullptr;
    uint8_t savedServer_ = 0;
};

TEST_F(SysInitTest, StackFoundSetsIsOnInEveryMode)
{
    g_sysStackProbe = stackPresent;
    server = 1;
    EXPECT_NO_THROW(sysInit());
    EXPECT_EQ(isON, 1);
}

TEST_F(SysInitTest, MissingStackIsSilentWithoutServer)
{
    g_sysStackProbe = stackMissing;
    server = 0;
    testing::internal::CaptureStdout();
    EXPECT_NO_THROW(sysInit());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(isON, 0);
}

TEST_F(SysInitTest, MissingStackEndsAServerStartWithFailure)
{
    g_sysStackProbe = stackMissing;
    server = 1;
    testing::internal::CaptureStdout();
    int status = -1;
    try {
        sysInit();
    } catch (const ExitCalled& e) {
        status = e.status;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "kein TCP/IP stack gefunden");
    EXPECT_EQ(status, kSysExitNoStack);
    EXPECT_NE(status, 0);
}

TEST_F(SysInitTest, RealStackProbeFindsLoopbackStack)
{
    EXPECT_EQ(savedProbe_, &platformTcpStackPresent);
    g_sysStackProbe = platformTcpStackPresent;
    server = 1;
    EXPECT_NO_THROW(sysInit());
    EXPECT_EQ(isON, 1);
}

TEST_F(SysInitTest, ShutdownPassesTheStatusAndClosesTheStack)
{
    isON = 1;
    int status = -1;
    try {
        sysShutdown(10);
    } catch (const ExitCalled& e) {
        status = e.status;
    }
    EXPECT_EQ(status, 10);
    EXPECT_EQ(isON, 0);
    try {
        sysShutdown();
    } catch (const ExitCalled& e) {
        status = e.status;
    }
    EXPECT_EQ(status, 0);
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
        savedClock_ = g_sysClock;
        savedFrameTime_ = g_frametime;
        g_sysClock = fakeClock;
        g_clockReads = 0;
        inittime = 0.0f;
        g_grabbing = 0;
    }
    void TearDown() override
    {
        g_sysClock = savedClock_;
        g_frametime = savedFrameTime_;
        inittime = 0.0f;
        g_grabbing = 0;
    }
    static float readAt(int32_t micros, bool realTime = false)
    {
        g_fakeMicros = micros;
        return sysGetTime(realTime);
    }
    SysClockFn savedClock_ = nullptr;
    float savedFrameTime_ = 0.0f;
};

TEST_F(SysClockTest, FirstReadingIsZero)
{
    EXPECT_EQ(readAt(734000), 0.0f);
    EXPECT_FLOAT_EQ(inittime, 0.734f);
}

TEST_F(SysClockTest, MeasuresTheSubSecondDifference)
{
    readAt(250000);
    EXPECT_NEAR(readAt(350000), 0.1f, 1e-6f);
    EXPECT_NEAR(readAt(350000), 0.0f, 1e-6f);
    EXPECT_NEAR(readAt(999999), 0.649999f, 1e-6f);
}

TEST_F(SysClockTest, SecondRolloverRepeatsThePreviousFrameTime)
{
    g_frametime = 0.02f;
    readAt(900000);
    EXPECT_EQ(readAt(100000), 0.02f);
    // The reading after the rollover measures from the new sub-second part.
    EXPECT_NEAR(readAt(150000), 0.05f, 1e-6f);
}

TEST_F(SysClockTest, LongFrameMeasuresOnlyItsRemainder)
{
    // 1.3 s between the readings: the clock sees 0.2 -> 0.5.
    readAt(200000);
    EXPECT_NEAR(readAt(500000), 0.3f, 1e-6f);
}

TEST_F(SysClockTest, ReadingAtExactlyZeroStartsOver)
{
    // A sub-second part of exactly 0 looks like "no reading yet" next time.
    g_frametime = 0.03f;
    readAt(500000);
    EXPECT_EQ(readAt(0), 0.03f);
    EXPECT_EQ(readAt(200000), 0.0f);
    EXPECT_NEAR(readAt(260000), 0.06f, 1e-6f);
}

TEST_F(SysClockTest, GrabbingFixesTheFrameTimeWithoutReadingTheClock)
{
    readAt(100000);
    g_grabbing = 1;
    const int readsBefore = g_clockReads;
    EXPECT_EQ(readAt(900000), 0.04f);
    EXPECT_EQ(g_clockReads, readsBefore);
    EXPECT_FLOAT_EQ(inittime, 0.1f);
    // A real-time reading ignores the grab flag.
    EXPECT_NEAR(readAt(300000, true), 0.2f, 1e-6f);
    EXPECT_EQ(g_clockReads, readsBefore + 1);
}

TEST_F(SysClockTest, WallClockReadingsStayBelowOneSecond)
{
    g_sysClock = sysClockMicros;
    const int32_t micros = sysClockMicros();
    EXPECT_GE(micros, 0);
    EXPECT_LT(micros, 1000000);
    EXPECT_EQ(sysGetTime(true), 0.0f);
    const float d = sysGetTime(true);
    EXPECT_GE(d, 0.0f);
    EXPECT_LT(d, 1.0f);
}

// ---- file type, paths, bytes, max/min -----------------------------------------

TEST(SysFileType, ByLastThreeCharactersIgnoringCase)
{
    EXPECT_EQ(fileType("gfx/load.PPM"), 8);
    EXPECT_EQ(fileType("load.ppm"), 8);
    EXPECT_EQ(fileType("obj/tree/t.raw"), 3);
    EXPECT_EQ(fileType("T.RaW"), 3);
    EXPECT_EQ(fileType("pilot.md2"), 6);
    EXPECT_EQ(fileType("pilot.MD2"), 6);
    EXPECT_EQ(fileType("snow.tga"), 7);
    EXPECT_EQ(fileType("model.3ds"), 0);
    EXPECT_EQ(fileType("picture.ppmx"), 0);
    // Only the ending counts, not a dot before it.
    EXPECT_EQ(fileType("raw"), 3);
    EXPECT_EQ(fileType("xppm"), 8);
}

TEST(SysFileType, ShortOrMissingNamesAreOther)
{
    EXPECT_EQ(fileType("md"), 0);
    EXPECT_EQ(fileType("a"), 0);
    EXPECT_EQ(fileType(""), 0);
    EXPECT_EQ(fileType(nullptr), 0);
}

TEST(SysPaths, ChangeSeparatorsInPlace)
{
    char path[] = "obj/tree/t.raw";
    com_changeSeparators(path);
    EXPECT_STREQ(path, "obj\\tree\\t.raw");
    char plain[] = "t.raw";
    com_changeSeparators(plain);
    EXPECT_STREQ(plain, "t.raw");
    com_changeSeparators(nullptr);
}

TEST(SysPaths, FileDirSplitAtTheLastSlash)
{
    t_fileDir split = com_fileDirSplit("obj/tree/t.raw");
    ASSERT_NE(split.file, nullptr);
    ASSERT_NE(split.dir, nullptr);
    EXPECT_STREQ(split.file, "t.raw");
    EXPECT_STREQ(split.dir, "obj/tree");
    std::free(split.file);
    std::free(split.dir);

    split = com_fileDirSplit("t.raw");
    ASSERT_NE(split.file, nullptr);
    EXPECT_STREQ(split.file, "t.raw");
    EXPECT_EQ(split.dir, nullptr);
    std::free(split.file);
}

TEST(SysPaths, FileDirSplitEdges)
{
    t_fileDir split = com_fileDirSplit("/t.raw");
    EXPECT_STREQ(split.file, "t.raw");
    EXPECT_STREQ(split.dir, "");
    std::free(split.file);
    std::free(split.dir);

    split = com_fileDirSplit("obj/");
    EXPECT_STREQ(split.file, "");
    EXPECT_STREQ(split.dir, "obj");
    std::free(split.file);
    std::free(split.dir);

    // The result is a copy: changing the input later does not change it.
    char path[] = "a/b";
    split = com_fileDirSplit(path);
    path[0] = 'x';
    path[2] = 'y';
    EXPECT_STREQ(split.dir, "a");
    EXPECT_STREQ(split.file, "b");
    std::free(split.file);
    std::free(split.dir);

    split = com_fileDirSplit(nullptr);
    EXPECT_EQ(split.file, nullptr);
    EXPECT_EQ(split.dir, nullptr);
}

uint32_t bitsOf(float f)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

TEST(SysBytes, FloatSwapReversesTheBytes)
{
    EXPECT_EQ(bitsOf(FloatSwap(1.0f)), 0x0000803Fu);
    // Four big-endian bytes of 1.0 read straight into a float.
    const unsigned char bigEndianOne[4] = {0x3F, 0x80, 0x00, 0x00};
    float raw = 0.0f;
    std::memcpy(&raw, bigEndianOne, sizeof raw);
    EXPECT_EQ(FloatSwap(raw), 1.0f);
}

TEST(SysBytes, FloatSwapTwiceGivesTheSameBits)
{
    const uint32_t patterns[] = {0x00000000u, 0x3F800000u, 0xC2F6E979u, 0x7FC00001u,
                                 0x7F800000u, 0x00000001u, 0x12345678u, 0xFFFFFFFFu};
    for (uint32_t bits : patterns) {
        float f = 0.0f;
        std::memcpy(&f, &bits, sizeof f);
        EXPECT_EQ(bitsOf(FloatSwap(FloatSwap(f))), bits) << std::hex << bits;
    }
}

TEST(SysMaxMin, LargerAndSmallerReturningTheSecondOnEquality)
{
    EXPECT_EQ(max(1.5f, -2.0f), 1.5f);
    EXPECT_EQ(max(-2.0f, 1.5f), 1.5f);
    EXPECT_EQ(min(1.5f, -2.0f), -2.0f);
    EXPECT_EQ(min(-2.0f, 1.5f), -2.0f);
    // +0 and -0 compare equal: the second argument comes back.
    EXPECT_TRUE(std::signbit(max(0.0f, -0.0f)));
    EXPECT_FALSE(std::signbit(max(-0.0f, 0.0f)));
    EXPECT_TRUE(std::signbit(min(0.0f, -0.0f)));
    EXPECT_FALSE(std::signbit(min(-0.0f, 0.0f)));
}

TEST(SysMaxMin, CoexistsWithTheStandardLibrary)
{
    using namespace std;
    // Integers still go to the standard templates, floats to ours.
    static_assert(std::is_same_v<decltype(max(1, 2)), const int&>);
    static_assert(std::is_same_v<decltype(max(1.0f, 2.0f)), float>);
    static_assert(std::is_same_v<decltype(min(1.0f, 2.0f)), float>);
    EXPECT_EQ(std::max(3, 4), 4);
    EXPECT_EQ(std::min(3.0, 4.0), 3.0);
}

// ---- files ---------------------------------------------------------------------

// Each test runs in a fresh directory of its own, which is the current one.
class SysFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        savedCwd_ = cwd;
        std::string pattern = (fs::temp_directory_path() / "vext_sys_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        ASSERT_EQ(chdir(dir_.c_str()), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(chdir(savedCwd_.c_str()), 0);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    static void writeFile(const std::string& path, const std::string& content)
    {
        fs::create_directories(fs::path(path).parent_path().empty() ? fs::path(".")
                                                                    : fs::path(path).parent_path());
        std::ofstream out(path, std::ios::binary);
        out << content;
    }
    static std::string readFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Something other than a repeated byte, so that misplaced chunks show.
    static std::string pattern(size_t size)
    {
        std::string s(size, '\0');
        for (size_t i = 0; i < size; ++i) {
            s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
        }
        return s;
    }
    static int copyQuietly(const char* source, const char* targetDir)
    {
        testing::internal::CaptureStdout();
        const int result = sysFileCopy(source, targetDir);
        testing::internal::GetCapturedStdout();
        return result;
    }
    std::string savedCwd_;
    std::string dir_;
};

TEST_F(SysFileTest, FileExistIgnoresCaseAndClosesTheFile)
{
    writeFile("Gfx/ConChars.PPM", "P6");
    EXPECT_EQ(sysFileExist("Gfx/ConChars.PPM"), 1);
    EXPECT_EQ(sysFileExist("gfx/conchars.ppm"), 1);
    EXPECT_EQ(sysFileExist("gfx/missing.ppm"), 0);
    EXPECT_EQ(sysFileExist(""), 0);
    EXPECT_EQ(sysFileExist(nullptr), 0);
    // Asking many times must not run out of file handles.
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(sysFileExist("gfx/conchars.ppm"), 1) << "after " << i << " calls";
    }
}

TEST_F(SysFileTest, CopyCreatesTheDirectoriesOfTheSourcePath)
{
    writeFile("gfx/a.ppm", "P6\n1 1\n255\nabc");
    fs::create_directory("save");
    EXPECT_EQ(sysFileCopy("gfx/a.ppm", "save"), 1);
    EXPECT_TRUE(fs::is_directory("save/gfx"));
    EXPECT_EQ(readFile("save/gfx/a.ppm"), "P6\n1 1\n255\nabc");
    EXPECT_EQ(readFile("gfx/a.ppm"), "P6\n1 1\n255\nabc");

    writeFile("obj/tree/t.raw", "tri");
    EXPECT_EQ(sysFileCopy("obj/tree/t.raw", "save"), 1);
    EXPECT_EQ(readFile("save/obj/tree/t.raw"), "tri");

    writeFile("config.cfg", "x");
    EXPECT_EQ(sysFileCopy("config.cfg", "save"), 1);
    EXPECT_EQ(readFile("save/config.cfg"), "x");
}

TEST_F(SysFileTest, CopyNeedsTheFirstDirectoryOfTheTarget)
{
    writeFile("gfx/a.ppm", "data");
    EXPECT_EQ(copyQuietly("gfx/a.ppm", "nosave"), 0);
    EXPECT_FALSE(fs::exists("nosave"));
}

TEST_F(SysFileTest, CopyIntoAnAbsoluteDeepTarget)
{
    writeFile("gfx/a.ppm", "data");
    const std::string target = dir_ + "/out/level/copy";
    EXPECT_EQ(sysFileCopy("gfx/a.ppm", target.c_str()), 1);
    EXPECT_EQ(readFile(target + "/gfx/a.ppm"), "data");
}

TEST_F(SysFileTest, CopyMovesLargeAndEmptyFilesByteForByte)
{
    const std::string big = pattern(3 * 64 * 1024 + 17);
    writeFile("snd/big.wav", big);
    writeFile("snd/empty.wav", "");
    fs::create_directory("save");
    EXPECT_EQ(sysFileCopy("snd/big.wav", "save"), 1);
    EXPECT_EQ(readFile("save/snd/big.wav"), big);
    EXPECT_EQ(sysFileCopy("snd/empty.wav", "save"), 1);
    EXPECT_TRUE(fs::exists("save/snd/empty.wav"));
    EXPECT_EQ(fs::file_size("save/snd/empty.wav"), 0u);
}

TEST_F(SysFileTest, CopyOverwritesAnOlderTargetCompletely)
{
    writeFile("save/gfx/a.ppm", "a much longer old content");
    writeFile("gfx/a.ppm", "new");
    EXPECT_EQ(sysFileCopy("gfx/a.ppm", "save"), 1);
    EXPECT_EQ(readFile("save/gfx/a.ppm"), "new");
}

TEST_F(SysFileTest, CopyMatchesNamesIgnoringCase)
{
    writeFile("Gfx/A.PPM", "data");
    fs::create_directories("save/GFX");
    EXPECT_EQ(sysFileCopy("gfx/a.ppm", "save"), 1);
    // The existing directory is reused instead of a second one beside it.
    EXPECT_FALSE(fs::exists("save/gfx"));
    EXPECT_EQ(readFile("save/GFX/a.ppm"), "data");
}

TEST_F(SysFileTest, CopyOfMissingSourceFailsQuietly)
{
    fs::create_directory("save");
    testing::internal::CaptureStdout();
    EXPECT_EQ(sysFileCopy("obj/tree/t.snd", "save"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(fs::exists("save/obj/tree/t.snd"));
}

TEST_F(SysFileTest, CopyRefusesMissingArguments)
{
    writeFile("gfx/a.ppm", "data");
    fs::create_directory("save");
    EXPECT_EQ(copyQuietly(nullptr, "save"), 0);
    EXPECT_EQ(copyQuietly("gfx/a.ppm", nullptr), 0);
    EXPECT_EQ(copyQuietly(nullptr, nullptr), 0);
    EXPECT_EQ(copyQuietly("", "save"), 0);
    // An empty target directory would make the target path absolute.
    EXPECT_EQ(copyQuietly("gfx/a.ppm", ""), 0);
    EXPECT_TRUE(fs::is_empty("save"));
}

TEST_F(SysFileTest, CopyRefusesPathsLeavingTheTarget)
{
    writeFile("inner/a.ppm", "data");
    writeFile("victim.txt", "keep");
    fs::create_directories("save/sub");
    const std::string absolute = dir_ + "/inner/a.ppm";
    testing::internal::CaptureStdout();
    EXPECT_EQ(sysFileCopy(absolute.c_str(), "save"), 0);
    EXPECT_EQ(sysFileCopy("../victim.txt", "save/sub"), 0);
    EXPECT_EQ(sysFileCopy("inner/../victim.txt", "save"), 0);
    EXPECT_EQ(sysFileCopy("inner/..", "save"), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("../victim.txt"), std::string::npos) << out;
    EXPECT_EQ(readFile("victim.txt"), "keep");
    EXPECT_TRUE(fs::is_empty("save/sub"));
    EXPECT_FALSE(fs::exists("save/inner"));
    EXPECT_FALSE(fs::exists("save" + absolute));

    // Names that merely start with dots stay inside.
    writeFile("..gfx/.a.ppm", "dots");
    EXPECT_EQ(sysFileCopy("..gfx/.a.ppm", "save"), 1);
    EXPECT_EQ(readFile("save/..gfx/.a.ppm"), "dots");
}

TEST_F(SysFileTest, CopyRefusesTargetPathsOver255Characters)
{
    fs::create_directory("save");
    // "save/" + name: 5 + 250 = 255 characters is still allowed.
    const std::string fits(250, 'f');
    const std::string tooLong(251, 'g');
    writeFile(fits, "ok");
    writeFile(tooLong, "no");
    EXPECT_EQ(sysFileCopy(fits.c_str(), "save"), 1);
    EXPECT_EQ(readFile("save/" + fits), "ok");
    testing::internal::CaptureStdout();
    EXPECT_EQ(sysFileCopy(tooLong.c_str(), "save"), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("255"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists("save/" + tooLong));
}

TEST_F(SysFileTest, CopyOntoItselfKeepsTheSource)
{
    writeFile("gfx/a.ppm", "precious");
    EXPECT_EQ(copyQuietly("gfx/a.ppm", "."), 0);
    EXPECT_EQ(copyQuietly("gfx/a.ppm", dir_.c_str()), 0);
    EXPECT_EQ(readFile("gfx/a.ppm"), "precious");
}

TEST_F(SysFileTest, CopyOfADirectoryFailsAndLeavesNoTarget)
{
    fs::create_directories("gfx/sub");
    fs::create_directory("save");
    EXPECT_EQ(copyQuietly("gfx/sub", "save"), 0);
    EXPECT_FALSE(fs::is_regular_file("save/gfx/sub"));
}

TEST_F(SysFileTest, FailedWriteRemovesThePartialTarget)
{
    const std::string big = pattern(256 * 1024);
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

TEST_F(SysFileTest, FailedWriteToADeviceLeavesTheDeviceAlone)
{
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    writeFile("gfx/a.ppm", "data");
    fs::create_directories("save/gfx");
    fs::create_symlink("/dev/full", "save/gfx/a.ppm");
    EXPECT_EQ(copyQuietly("gfx/a.ppm", "save"), 0);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_TRUE(fs::is_symlink("save/gfx/a.ppm"));
}

}  // namespace
