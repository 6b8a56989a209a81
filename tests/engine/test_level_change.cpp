// A level change to a level that does not load keeps the running level and
// its game module, with the real game module reading real level files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/engine.h"
#include "core/modport.h"
#include "render/draw2d.h"
#include "support/gl_frame.h"
#include "support/image_files.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(LevelChange, ALevelThatDoesNotLoadKeepsTheRunningLevelAndItsModule)
{
    ASSERT_TRUE(ensureGLContext());
    WorkDir dir;
    fs::create_symlink(std::string(VEXT_BUILD_DIR) + "/Spielmod.mod", "Spielmod.mod");
    writeBytes("levels/good/level.toml", "");
    writeBytes("levels/broken/level.toml", "tree = []\n[fog\n");
    CEngine* const savedEngine = Engine;
    Lev* const savedLevel = Level;
    CreateEnginePort("VextPort");
    testing::internal::CaptureStdout();
    OpenGameModul();
    Lev* const running = Level;
    ASSERT_NE(running, nullptr);
    ASSERT_EQ(running->levelLoader("good", nullptr), 1);

    EXPECT_FALSE(initGame("broken"));
    EXPECT_EQ(Level, running);
    const std::string console = txtcon;
    // The kept module still answers for its record.
    EXPECT_EQ(Level->levelLoader("good", nullptr), 1);
    CloseGameModul();
    DeleteEnginePort();
    ReapModules(100);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("levels/broken/level.toml:2:"), std::string::npos) << out;
    EXPECT_NE(out.find("Level broken nicht geladen, der bisherige Level läuft weiter"), std::string::npos) << out;
    // The console names the file and line too.
    EXPECT_NE(console.find("levels/broken/level.toml:2:"), std::string::npos) << console;
    EXPECT_EQ(RunningModuleCount(), 0);
    Engine = savedEngine;
    Level = savedLevel;
}

}  // namespace
