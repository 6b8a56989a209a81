// The built module file and program: Klangmod.mod started the way the engine
// starts it, and the standalone Klangmod without an engine.  Skipped when
// the build has not made them (they are not dependencies of this test).

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

#include <sys/wait.h>

#include "klangmod/soundengine.h"
#include "platform/exec.h"

namespace {

const std::string kBuild = VEXT_BUILD_DIR;

TEST(KlangmodEntry, ModuleFileHandsOverItsTableAndEndsOnDone)
{
    const std::string mod = kBuild + "/Klangmod.mod";
    if (!std::filesystem::exists(mod)) {
        GTEST_SKIP() << mod << " not built";
    }
    SetDelayTickMicroseconds(200);
    MsgPort* port = CreatePort("VextPort", 0);
    ASSERT_NE(port, nullptr);
    testing::internal::CaptureStdout();
    ASSERT_EQ(ShellExecute(("stack 100000 \n Run  " + mod).c_str()), 0);
    const uint32_t serial = LastModuleSerial();
    Message* msg = nullptr;
    for (int i = 0; i < 50000 && msg == nullptr && !ModuleEndedSince(serial); i++) {
        Delay(1);
        msg = GetMsg(port);
    }
    ASSERT_NE(msg, nullptr);
    ReplyMsg(msg);
    SoundEngine* table = static_cast<SoundEngine*>(reinterpret_cast<ModuleMessage*>(msg)->payload);
    EXPECT_EQ(table->version, kSoundEngineVersion);
    EXPECT_STREQ(table->commandBlock->fileName, "Klangmodul PPC");
    EXPECT_EQ(table->g_init(), 1);
    char missing[] = "gibt/es/nicht.8svx";
    EXPECT_EQ(table->g_loadSound(missing), 0);
    table->g_setPitch(11025, 0);
    EXPECT_EQ(table->g_playSound(0), 1);
    table->g_done();
    ReapModules(50000);
    EXPECT_EQ(RunningModuleCount(), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("gibt/es/nicht.8svx\n"), std::string::npos);
    EXPECT_NE(out.find("KlangModul: Sound modul verabschiedet sich\n\n"), std::string::npos);
    DeletePort(port);
    SetDelayTickMicroseconds(20000);
}

TEST(KlangmodEntry, ProgramWithoutEngineSaysSoAndEndsWithZero)
{
    const std::string prog = kBuild + "/Klangmod";
    if (!std::filesystem::exists(prog)) {
        GTEST_SKIP() << prog << " not built";
    }
    FILE* p = popen(prog.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    size_t got = 0;
    while ((got = std::fread(buf, 1, sizeof buf, p)) > 0) {
        out.append(buf, got);
    }
    const int status = pclose(p);
    EXPECT_EQ(out,
              "KlangModul: hmm keine Engine da, WER ZUM TEUFEL WECKT MICH UM DIESE ZEIT AUF, "
              "DAS DARF, WENN \xdc" "BERHAUPT, NUR DIE VIVUZIVODE !!! \n\n");
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
