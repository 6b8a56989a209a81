// spielmod_fixture.h — shared helpers of the game module tests: a quiet
// module instance and a scratch data directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "spielmod/spielmod.h"

// A scratch data directory (config.cfg, levels/...) removed after the test.
struct ScratchDir {
    ScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "spielmod-XXXXXX").string();
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        path = pattern;
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }

    void write(const std::string& rel, const std::string& text) const
    {
        const std::filesystem::path p = std::filesystem::path(path) / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }
    std::string read(const std::string& rel) const
    {
        std::ifstream in(std::filesystem::path(path) / rel, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string path;
};

// An instance that keeps its messages instead of printing them.
class SpielTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ctx = spielCreate();
        ctx->messageOut = nullptr;
        ctx->promptOut = nullptr;
        ctx->chooser.clear();
        spielBind(ctx);
    }
    void TearDown() override { spielDestroy(ctx); }

    // Loads a level from memory, with an optional config text.
    int load(const std::string& level, const char* config = nullptr)
    {
        const SpielSource lvl{level, "levels/t/level.toml"};
        const SpielSource cfg{config != nullptr ? config : "", "config.cfg"};
        return spielLoadFromText(ctx, config != nullptr ? &cfg : nullptr, lvl, "levels/t");
    }

    // All messages, one per line, for failure output and searching.
    std::string messages() const
    {
        std::string all;
        for (const std::string& m : ctx->messages) {
            all += m + "\n";
        }
        return all;
    }
    bool hasMessage(const std::string& part) const { return messages().find(part) != std::string::npos; }

    SpielContext* ctx = nullptr;
};
