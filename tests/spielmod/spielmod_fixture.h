// spielmod_fixture.h — shared helpers of the game module tests: a quiet
// module instance and a scratch data directory.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "spielmod/spielmod.h"
#include "support/temp_dir.h"

// A scratch data directory (config.cfg, levels/...) removed after the test.
struct ScratchDir : TempDir {
    const std::string path = TempDir::path();
    void write(const std::string& rel, const std::string& text) const { writeFile(rel, text); }
    std::string read(const std::string& rel) const { return readBytes(path + "/" + rel); }
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
