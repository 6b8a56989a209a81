// chooser_test.cpp — the requesters' window: zenity's arguments and filter,
// and the requesters with a stand-in program that answers, cancels or cannot
// open its window (then the terminal asks).
#include <sys/stat.h>

#include <cstdlib>

#include "spielmod/chooser.h"
#include "spielmod_fixture.h"

TEST(Chooser, PatternBecomesAFilterOfGlobsInEitherCase)
{
    const struct { const char* pattern; const char* filter; } cases[] = {
        {"#?.raw|#?.md2", "*.raw *.md2 | *.[rR][aA][wW] *.[mM][dD]2"},
        {"#?.(ppm|tga)", "*.ppm *.tga | *.[pP][pP][mM] *.[tT][gG][aA]"},
        {"a'?", "a[?] | [aA][?]"}, {"~(#?.info)", ""}, {"a b", ""}, {"(a|b", ""}, {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zenityFileFilter(c.pattern), c.filter) << c.pattern;
    }
    ChooserRequest file{false, "Bitte w\xc3\xa4hle", "/data/obj", "#?.raw"};
    EXPECT_EQ(zenityArguments("zenity", file),
              (std::vector<std::string>{"zenity", "--file-selection", "--title=Bitte w\xc3\xa4hle",
                                        "--filename=/data/obj/", "--file-filter=*.raw | *.[rR][aA][wW]",
                                        "--file-filter=Alle Dateien | *"}));
    ChooserRequest dir{true, "-Wohin?", "", "#?.raw"};
    EXPECT_EQ(zenityArguments("z", dir), (std::vector<std::string>{"z", "--file-selection", "--title=-Wohin?",
                                                                   "--directory"}));
}

TEST_F(SpielTest, RequestersUseTheWindowAndFallBackToTheTerminal)
{
    ScratchDir bin;
    const std::string root = bin.path;   // the data directory too
    ctx->dataRoot = root;
    const auto program = [&](const char* name, const std::string& body) {
        bin.write(name, "#!/bin/sh\n" + body + "\n");
        chmod((root + "/" + name).c_str(), 0755);
        return root + "/" + name;
    };
    std::istringstream typed("typed/dir\n");
    ctx->requestIn = &typed;
    const std::string saved = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", ":0", 1);
    const struct { std::string chooser; bool file; const char* answer; bool told; } cases[] = {
        {program("ok", "echo \"$PWD/x y\"; echo ignored"), false, "CWD/x y", false},
        {program("file", "echo \"" + root + "/obj/fir.raw\""), true, "obj/fir.raw", false},
        {program("gone", "echo \"$*\" >" + root + "/args; exit 1"), false, nullptr, false},
        {program("nodisplay", "echo 'cannot open display: :0' >&2; exit 1"), false, "typed/dir", true},
        {root + "/missing", false, nullptr, true},   // then stays on the terminal: end of input
    };
    bin.write("obj/fir.raw", "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chooser);
        ctx->chooser = c.chooser;
        const size_t told = ctx->messages.size();
        const char* got = c.file ? ctx->lev.fileRequest("F", "obj", "#?.raw", nullptr, 0, 0)
                                 : ctx->lev.dirRequest("Wohin?", 0, nullptr);
        std::string want = c.answer != nullptr ? c.answer : "";
        if (want.rfind("CWD", 0) == 0) {
            want = std::filesystem::current_path().string() + want.substr(3);
        }
        EXPECT_EQ(got != nullptr ? std::string(got) : "", want);
        EXPECT_EQ(ctx->messages.size() > told, c.told);
        EXPECT_EQ(ctx->chooser.empty(), c.told);
    }
    EXPECT_EQ(bin.read("args"), "--file-selection --title=Wohin? --directory\n");
    saved.empty() ? unsetenv("DISPLAY") : setenv("DISPLAY", saved.c_str(), 1);
}
