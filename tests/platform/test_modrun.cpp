// ShellExecute and the module table, with the test modules of
// tests/platform/modules (built as PlatformEcho.mod and PlatformNoEntry.mod
// beside this test program).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/exec.h"
#include "temp_dir.h"
#include "tests/platform/modules/test_module.h"

namespace {

namespace fs = std::filesystem;

#ifdef VEXT_TEST_MODULE_DIR
constexpr const char* kModuleDir = VEXT_TEST_MODULE_DIR;
#else
constexpr const char* kModuleDir = "";
#endif

std::string modulePath(const char* file)
{
    return std::string(kModuleDir) + "/" + file;
}

// Skips when the build does not make the test modules; fails when it should
// have made them but they are missing.
#define REQUIRE_TEST_MODULES()                                                           \
    do {                                                                                 \
        if (kModuleDir[0] == '\0') {                                                     \
            GTEST_SKIP() << "test modules are not part of this build";                   \
        }                                                                                \
        ASSERT_TRUE(fs::exists(modulePath("PlatformEcho.mod"))) << modulePath("PlatformEcho.mod"); \
        ASSERT_TRUE(fs::exists(modulePath("PlatformNoEntry.mod")));                      \
    } while (0)

// True while the file at path is loaded in this process.
bool isLoaded(const std::string& path)
{
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h == nullptr) {
        return false;
    }
    dlclose(h);
    return true;
}

class ModRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDelayTickMicroseconds(1000);
        replies_ = CreatePort(kTestReplyPort, 0);
        orders_ = CreatePort(kTestOrderPort, 0);
        ASSERT_TRUE(dir_.ok());
    }

    void TearDown() override
    {
        for (TestModuleRecord* r : records_) {
            r->quit.store(1);
        }
        ReapModules(20000);
        for (TestModuleRecord* r : records_) {
            delete r;
        }
        DeletePort(orders_);
        DeletePort(replies_);
        SetDelayTickMicroseconds(20000);
    }

    // The next record a module posts; null when none came within the wait or
    // the module with that serial ended without posting.
    TestModuleRecord* awaitRecord(uint32_t serial)
    {
        for (int i = 0; i < 20000; ++i) {
            // Asked before the port is read, so a message posted just before
            // the end is still seen.
            const bool ended = ModuleEndedSince(serial) != 0;
            if (Message* msg = GetMsg(replies_)) {
                auto* r = static_cast<TestModuleRecord*>(reinterpret_cast<ModuleMessage*>(msg)->payload);
                records_.push_back(r);
                return r;
            }
            if (ended) {
                return nullptr;
            }
            Delay(1);
        }
        return nullptr;
    }

    bool awaitEnd(uint32_t serial)
    {
        for (int i = 0; i < 20000 && !ModuleEndedSince(serial); ++i) {
            Delay(1);
        }
        return ModuleEndedSince(serial) != 0;
    }

    void order(int what)
    {
        orderValue_ = what;
        orderMsg_.payload = &orderValue_;
        PutMsg(orders_, &orderMsg_.msg);
    }

    void copyModuleTo(const std::string& name)
    {
        fs::copy_file(modulePath("PlatformEcho.mod"), dir_.path() + "/" + name);
    }

    TempDir dir_;
    MsgPort* replies_ = nullptr;
    MsgPort* orders_ = nullptr;
    std::vector<TestModuleRecord*> records_;
    int orderValue_ = 0;
    ModuleMessage orderMsg_;
};

TEST_F(ModRun, MissingModuleFileIsNamedAndNothingStarts)
{
    ScopedCwd cwd(dir_.path());
    ASSERT_TRUE(cwd.ok());
    const uint32_t before = LastModuleSerial();
    testing::internal::CaptureStdout();
    const int rc = ShellExecute("stack 100000 \n Run  Fehlt.mod");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(rc, 0);
    EXPECT_NE(out.find("Fehlt.mod"), std::string::npos) << out;
    EXPECT_EQ(LastModuleSerial(), before);
}

TEST_F(ModRun, UnloadableFileIsNamedWithTheLoaderReason)
{
    dir_.writeFile("Kaputt.mod", "this is not a shared object\n");
    ScopedCwd cwd(dir_.path());
    const uint32_t before = LastModuleSerial();
    testing::internal::CaptureStdout();
    const int rc = ShellExecute("Run Kaputt.mod");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(rc, 0);
    EXPECT_NE(out.find("Modul Kaputt.mod nicht ladbar: "), std::string::npos) << out;
    EXPECT_GT(out.size(), std::string("Modul Kaputt.mod nicht ladbar: \n").size())
        << "the loader's reason follows";
    EXPECT_EQ(LastModuleSerial(), before);
}

TEST_F(ModRun, ScriptLinesStackUnknownAndEmpty)
{
    ScopedCwd cwd(dir_.path());
    EXPECT_EQ(ShellExecute(""), 0);
    EXPECT_EQ(ShellExecute("  \n\t\n"), 0);
    EXPECT_EQ(ShellExecute("stack 100000"), 0);
    EXPECT_EQ(ShellExecute("STACK 4096 \r\n"), 0);
    EXPECT_NE(ShellExecute(nullptr), 0);

    testing::internal::CaptureStdout();
    int rc = ShellExecute("Run   \n");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(rc, 0);
    EXPECT_FALSE(out.empty());

    // The first failing line ends the script: the Run after it never runs.
    testing::internal::CaptureStdout();
    rc = ShellExecute("Copy a b\nRun Fehlt.mod");
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(rc, 0);
    EXPECT_NE(out.find("Copy"), std::string::npos) << out;
    EXPECT_EQ(out.find("Fehlt.mod"), std::string::npos) << out;
}

TEST_F(ModRun, FileWithoutEntryIsNamedAndUnloaded)
{
    REQUIRE_TEST_MODULES();
    const std::string path = modulePath("PlatformNoEntry.mod");
    const uint32_t before = LastModuleSerial();
    testing::internal::CaptureStdout();
    const int rc = ShellExecute(("Run " + path).c_str());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(rc, 0);
    EXPECT_NE(out.find("PlatformNoEntry.mod"), std::string::npos) << out;
    EXPECT_NE(out.find("vext_module_main"), std::string::npos) << out;
    EXPECT_EQ(LastModuleSerial(), before);
    EXPECT_FALSE(isLoaded(path));
}

TEST_F(ModRun, EntryRunsOnItsOwnThreadUntilReaped)
{
    REQUIRE_TEST_MODULES();
    // A copy under a name found nowhere else, asked for in other case: the
    // current directory is searched, without regard to case.
    copyModuleTo("Kopie.mod");
    const std::string copy = dir_.path() + "/Kopie.mod";
    ScopedCwd cwd(dir_.path());
    const uint32_t before = LastModuleSerial();
    const int runningBefore = RunningModuleCount();

    ASSERT_EQ(ShellExecute("stack 100000 \n Run  KOPIE.MOD"), 0);
    const uint32_t serial = LastModuleSerial();
    EXPECT_EQ(serial, before + 1);
    TestModuleRecord* r = awaitRecord(serial);
    ASSERT_NE(r, nullptr);
    EXPECT_NE(r->task, nullptr);
    EXPECT_NE(r->task, FindTask(nullptr)) << "the entry must run on a thread of its own";
    EXPECT_EQ(RunningModuleCount(), runningBefore + 1);
    EXPECT_EQ(ModuleEndedSince(serial), 0);

    // Reaping leaves a running module alone and returns after its wait.
    ReapModules(3);
    EXPECT_EQ(ModuleEndedSince(serial), 0);
    EXPECT_TRUE(isLoaded(copy));

    r->quit.store(1);
    ReapModules(20000);
    EXPECT_EQ(ModuleEndedSince(serial), 1);
    EXPECT_EQ(RunningModuleCount(), runningBefore);
    EXPECT_FALSE(isLoaded(copy)) << "a reaped module's file is unloaded";
}

TEST_F(ModRun, ModuleIsFoundBesideTheProgram)
{
    REQUIRE_TEST_MODULES();
    const fs::path exeDir = fs::read_symlink("/proc/self/exe").parent_path();
    if (!fs::equivalent(exeDir, fs::path(kModuleDir))) {
        GTEST_SKIP() << "test modules are not beside the test program";
    }
    ScopedCwd cwd(dir_.path());   // empty: only the program's directory has it
    ASSERT_EQ(ShellExecute("Run PlatformEcho.mod"), 0);
    TestModuleRecord* r = awaitRecord(LastModuleSerial());
    ASSERT_NE(r, nullptr);
}

TEST_F(ModRun, SameFileStartedTwiceWhileTheFirstStillRuns)
{
    REQUIRE_TEST_MODULES();
    const std::string path = modulePath("PlatformEcho.mod");
    const std::string line = "Run " + path;
    ASSERT_EQ(ShellExecute(line.c_str()), 0);
    const uint32_t first = LastModuleSerial();
    TestModuleRecord* a = awaitRecord(first);
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(ShellExecute(line.c_str()), 0);
    const uint32_t second = LastModuleSerial();
    EXPECT_EQ(second, first + 1);
    TestModuleRecord* b = awaitRecord(second);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b) << "each start has state of its own";
    EXPECT_NE(a->task, b->task);
    EXPECT_EQ(b->startNumber, a->startNumber + 1) << "both run from one loaded copy";

    // Ending and reaping the first must keep the file loaded for the second.
    a->quit.store(1);
    ASSERT_TRUE(awaitEnd(first));
    ReapModules(0);
    EXPECT_EQ(ModuleEndedSince(second), 0);
    EXPECT_TRUE(isLoaded(path));

    b->quit.store(1);   // the second must still be able to run to its end
    ASSERT_TRUE(awaitEnd(second));
    ReapModules(0);
    EXPECT_FALSE(isLoaded(path));
}

TEST_F(ModRun, ModuleEndingWithoutMessageIsSeenAsEnded)
{
    REQUIRE_TEST_MODULES();
    order(kOrderEndAtOnce);
    ASSERT_EQ(ShellExecute(("Run " + modulePath("PlatformEcho.mod")).c_str()), 0);
    const uint32_t serial = LastModuleSerial();
    EXPECT_EQ(awaitRecord(serial), nullptr);
    EXPECT_EQ(ModuleEndedSince(serial), 1);
    EXPECT_EQ(GetMsg(orders_), nullptr) << "the module took its order";
}

TEST_F(ModRun, ThrowingModuleEndsAloneAndSaysSo)
{
    REQUIRE_TEST_MODULES();
    order(kOrderThrow);
    testing::internal::CaptureStdout();
    ASSERT_EQ(ShellExecute(("Run " + modulePath("PlatformEcho.mod")).c_str()), 0);
    const uint32_t serial = LastModuleSerial();
    const bool ended = awaitEnd(serial);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ended);
    EXPECT_NE(out.find("PlatformEcho.mod"), std::string::npos) << out;
    EXPECT_NE(out.find("absichtlich"), std::string::npos) << out;
}

TEST_F(ModRun, SerialsThatNeverRanCountAsEnded)
{
    EXPECT_EQ(ModuleEndedSince(0), 1);
    EXPECT_EQ(ModuleEndedSince(LastModuleSerial() + 1000), 1);
}

}  // namespace
