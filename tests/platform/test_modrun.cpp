// ShellExecute and the module table, with the test modules of
// tests/platform/modules (built as PlatformEcho.mod and PlatformNoEntry.mod
// beside this test program).  The engine's handshake tests
// (engine/test_spine.cpp) cover a module that ends at once.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/exec.h"
#include "temp_dir.h"
#include "tests/platform/modules/test_module.h"

namespace {

namespace fs = std::filesystem;

const std::string kEcho = std::string(VEXT_TEST_MODULE_DIR) + "/PlatformEcho.mod";
const std::string kNoEntry = std::string(VEXT_TEST_MODULE_DIR) + "/PlatformNoEntry.mod";

// True while the file at path is loaded in this process.
bool isLoaded(const std::string& path)
{
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h != nullptr) {
        dlclose(h);
    }
    return h != nullptr;
}

class ModRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(kEcho) && fs::exists(kNoEntry)) << kEcho;
        SetDelayTickMicroseconds(1000);
        replies_ = CreatePort(kTestReplyPort, 0);
        orders_ = CreatePort(kTestOrderPort, 0);
    }
    void TearDown() override
    {
        for (const auto& r : records_) {
            r->quit.store(1);
        }
        ReapModules(20000);
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
                records_.emplace_back(static_cast<TestModuleRecord*>(reinterpret_cast<ModuleMessage*>(msg)->payload));
                return records_.back().get();
            }
            if (ended) {
                break;
            }
            Delay(1);
        }
        return nullptr;
    }

    WorkDir dir_;
    MsgPort* replies_ = nullptr;
    MsgPort* orders_ = nullptr;
    std::vector<std::unique_ptr<TestModuleRecord>> records_;   // freed after the reap
};

TEST_F(ModRun, FailingLinesAreNamedAndStartNothing)
{
    dir_.writeFile("Kaputt.mod", "this is not a shared object\n");
    const std::pair<std::string, std::string> cases[] = {
        {"Run Fehlt.mod", "Modul Fehlt.mod nicht gefunden (weder hier noch neben dem Programm)"},
        // Found in the current directory without regard to case, but not
        // loadable: the loader's reason follows.
        {"Run KAPUTT.MOD", "Modul KAPUTT.MOD nicht ladbar: "},
        {"Run " + kNoEntry, "PlatformNoEntry.mod nicht ladbar: kein Einsprung vext_module_main"},
        // The first failing line ends the script: the Run after it never runs.
        {"Copy a b\nRun " + kEcho, "Befehl Copy unbekannt"},
    };
    for (const auto& [script, said] : cases) {
        SCOPED_TRACE(script);
        const uint32_t before = LastModuleSerial();
        testing::internal::CaptureStdout();
        EXPECT_NE(ShellExecute(script.c_str()), 0);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(said), std::string::npos) << out;
        EXPECT_EQ(out.find("ladbar: \n"), std::string::npos) << "a reason follows";
        EXPECT_EQ(LastModuleSerial(), before);
    }
    EXPECT_FALSE(isLoaded(kNoEntry)) << "a file without the entry is unloaded again";
    EXPECT_NE(ShellExecute(nullptr), 0);
    for (const char* fine : {"", "  \n\t\n", "STACK 4096 \r\n"}) {
        EXPECT_EQ(ShellExecute(fine), 0) << fine;
    }
}

TEST_F(ModRun, SameFileStartedTwiceRunsTwiceFromOneCopyUntilReaped)
{
    // From an empty directory and in other case: the file is found beside the
    // program (the current directory is searched alike: see Kaputt.mod above).
    const int runningBefore = RunningModuleCount();
    const char* line = "Run platformECHO.mod";
    ASSERT_EQ(ShellExecute(line), 0);
    const uint32_t first = LastModuleSerial();
    TestModuleRecord* a = awaitRecord(first);
    ASSERT_EQ(ShellExecute(line), 0);
    const uint32_t second = LastModuleSerial();
    TestModuleRecord* b = awaitRecord(second);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(b->startNumber, a->startNumber + 1) << "both run from one loaded copy";
    // Reaping leaves running modules alone; ending and reaping the first must
    // keep the file loaded for the second, which must still run to its end.
    ReapModules(3);
    EXPECT_EQ(ModuleEndedSince(first), 0);
    a->quit.store(1);
    for (int i = 0; i < 20000 && !ModuleEndedSince(first); ++i) {
        Delay(1);
    }
    ReapModules(0);
    EXPECT_EQ(RunningModuleCount(), runningBefore + 1);
    EXPECT_TRUE(isLoaded(kEcho));
    b->quit.store(1);
    ReapModules(20000);
    EXPECT_EQ(ModuleEndedSince(second), 1);
    EXPECT_FALSE(isLoaded(kEcho)) << "a reaped module's file is unloaded";
}

TEST_F(ModRun, AThrowingModuleEndsAloneAndSaysSo)
{
    // Serials that never ran have nothing to wait for.
    EXPECT_EQ(ModuleEndedSince(0), 1);
    EXPECT_EQ(ModuleEndedSince(LastModuleSerial() + 1000), 1);
    ModuleMessage order;
    PutMsg(orders_, &order.msg);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ShellExecute(("Run " + kEcho).c_str()), 0);
    EXPECT_EQ(awaitRecord(LastModuleSerial()), nullptr);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ModuleEndedSince(LastModuleSerial()), 1);
    EXPECT_EQ(GetMsg(orders_), nullptr) << "the module took its order";
    EXPECT_NE(out.find("PlatformEcho.mod abgebrochen: absichtlich"), std::string::npos) << out;
}

}  // namespace
