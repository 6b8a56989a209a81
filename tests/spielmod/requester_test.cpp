// requester_test.cpp — the directory and file requesters on a fed input,
// the object callbacks, and the services of an instance no longer bound.
#include <cstdio>
#include <sstream>

#include "spielmod_fixture.h"

TEST_F(SpielTest, RequestersReturnTheLineOrNullWhenCancelled)
{
    std::FILE* prompt = std::tmpfile();
    ASSERT_NE(prompt, nullptr);
    ctx->promptOut = prompt;
    std::istringstream in("  /tmp/out dir \n\nfir.raw\r\nother/stone.raw\nfir.raw\n   \n");
    ctx->requestIn = &in;
    Lev& lev = ctx->lev;
    EXPECT_STREQ(lev.dirRequest("Wohin?", 0, nullptr), "/tmp/out dir");   // surrounding blanks dropped
    EXPECT_EQ(lev.dirRequest("again?", 0, nullptr), nullptr);             // empty line
    // A plain name is joined with the drawer.
    EXPECT_STREQ(lev.fileRequest("Bitte w\xc3\xa4hle", "obj", "#?.raw", nullptr, 0, 0), "obj/fir.raw");
    EXPECT_STREQ(lev.fileRequest("Objekt?", "obj", "#?.raw", nullptr, 0, 0), "other/stone.raw");
    EXPECT_STREQ(lev.fileRequest("Objekt?", nullptr, nullptr, nullptr, 0, 0), "fir.raw");
    EXPECT_EQ(lev.fileRequest("Objekt?", "obj", "#?.raw", nullptr, 0, 0), nullptr);   // blanks only
    EXPECT_EQ(lev.dirRequest("and?", 0, nullptr), nullptr);                           // end of input
    EXPECT_EQ(lev.dirRequest(nullptr, 0, nullptr), nullptr);                          // still at the end

    std::rewind(prompt);
    char buf[256] = {};
    const std::string shown(buf, std::fread(buf, 1, sizeof buf - 1, prompt));
    std::fclose(prompt);
    EXPECT_EQ(shown.rfind("Wohin? again? Bitte w\xc3\xa4hle [obj, #?.raw] ", 0), 0u) << shown;
}

TEST_F(SpielTest, ServicesReachTheirOwnInstanceAcrossALevelChange)
{
    ctx->lev.onObjectDelete(2);
    ctx->lev.onObjectDelete(99);
    ctx->lev.onObjectCountChange(7, 1);
    ctx->lev.onObjectDelete(1);
    ctx->lev.onObjectCountChange(1, 4);
    EXPECT_EQ(ctx->deletions[0], 0u);
    EXPECT_EQ(ctx->deletions[1], 1u);
    EXPECT_EQ(ctx->announcedCount[1], 4u);

    // A level change: a new instance is posted and bound, its level fails to
    // load, the engine keeps the old record and tells the new one to end.
    // The old record's services still reach the old instance throughout.
    ASSERT_EQ(load("[[tree]]\nfile = \"a.raw\"\n"), 1);
    SpielContext* fresh = spielCreate();
    fresh->messageOut = nullptr;
    spielBind(fresh);
    EXPECT_EQ(fresh->lev.levelLoader("no such level", nullptr), 0);
    EXPECT_NE(fresh->lev.saveInitFn, ctx->lev.saveInitFn);
    ctx->lev.onObjectDelete(1);
    spielDestroy(fresh);
    ctx->lev.onObjectDelete(1);
    EXPECT_EQ(ctx->deletions[1], 2u);
    EXPECT_STREQ(ctx->lev.treeTable[0].file, "a.raw");
    EXPECT_EQ(ctx->lev.levelLoader("..", nullptr), 0);
    EXPECT_TRUE(hasMessage("Levelname \"..\" ist nicht erlaubt")) << messages();   // reached ctx

    // An ended instance's entry points do nothing.
    Lev old = ctx->lev;
    spielDestroy(ctx);
    ctx = nullptr;
    EXPECT_EQ(old.saveInitFn(0), 0);
    EXPECT_EQ(old.dirRequest("?", 0, nullptr), nullptr);
}
