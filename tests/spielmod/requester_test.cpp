// requester_test.cpp — the directory and file requesters on a fed input.
#include <cstdio>
#include <sstream>

#include "spielmod_fixture.h"

TEST_F(SpielTest, DirRequestReturnsTheLineOrNullWhenCancelled)
{
    std::istringstream in("  /tmp/out dir \n\n");
    ctx->requestIn = &in;
    const char* answer = ctx->lev.dirRequest("Wohin sollen die Daten gehen?", 0, nullptr);
    ASSERT_NE(answer, nullptr);
    EXPECT_STREQ(answer, "/tmp/out dir");            // surrounding blanks dropped
    EXPECT_EQ(ctx->lev.dirRequest("again?", 0, nullptr), nullptr);   // empty line
    EXPECT_EQ(ctx->lev.dirRequest("and?", 0, nullptr), nullptr);     // end of input
    EXPECT_EQ(ctx->lev.dirRequest(nullptr, 0, nullptr), nullptr);    // still at the end, no crash
}

TEST_F(SpielTest, FileRequestJoinsPlainNamesWithTheDrawer)
{
    std::istringstream in("fir.raw\r\nother/stone.raw\n   \n");
    ctx->requestIn = &in;
    EXPECT_STREQ(ctx->lev.fileRequest("Objekt?", "obj", "#?.raw|#?.md2", nullptr, 0, 0), "obj/fir.raw");
    EXPECT_STREQ(ctx->lev.fileRequest("Objekt?", "obj", "#?.raw", nullptr, 0, 0), "other/stone.raw");
    EXPECT_EQ(ctx->lev.fileRequest("Objekt?", "obj", "#?.raw", nullptr, 0, 0), nullptr);   // blanks only
}

TEST_F(SpielTest, FileRequestWithoutDrawerReturnsTheAnswer)
{
    std::istringstream in("fir.raw\n");
    ctx->requestIn = &in;
    EXPECT_STREQ(ctx->lev.fileRequest("Objekt?", nullptr, nullptr, nullptr, 0, 0), "fir.raw");
}

TEST_F(SpielTest, RequestPrintsTheTitleAsPrompt)
{
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ctx->promptOut = out;
    std::istringstream in("x\n");
    ctx->requestIn = &in;
    ASSERT_NE(ctx->lev.fileRequest("Bitte w\xe4hle", "obj", "#?.raw", nullptr, 0, 0), nullptr);
    std::rewind(out);
    char buf[128] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buf, n), "Bitte w\xe4hle [obj, #?.raw] ");
}

TEST_F(SpielTest, ServicesOfAnUnboundInstanceDoNothing)
{
    std::istringstream in("answer\n");
    ctx->requestIn = &in;
    spielUnbind(ctx);
    EXPECT_EQ(spielLive(), nullptr);
    EXPECT_EQ(ctx->lev.dirRequest("?", 0, nullptr), nullptr);
    EXPECT_EQ(ctx->lev.levelLoader("select", nullptr), 0);
    EXPECT_EQ(ctx->lev.saveInitFn(0), 0);
    ctx->lev.onObjectDelete(0);
    EXPECT_EQ(ctx->deletions[0], 0u);
}

TEST(SpielBinding, EndingOldInstanceDoesNotUnbindTheNewOne)
{
    SpielContext* old = spielCreate();
    SpielContext* young = spielCreate();
    spielBind(old);
    spielBind(young);        // the next level's module posted its record
    spielDestroy(old);       // the previous one ends afterwards
    EXPECT_EQ(spielLive(), young);
    spielDestroy(young);
    EXPECT_EQ(spielLive(), nullptr);
}

TEST_F(SpielTest, ObjectCallbacksIgnoreUnknownTypes)
{
    ctx->lev.onObjectDelete(2);
    ctx->lev.onObjectDelete(99);
    ctx->lev.onObjectCountChange(7, 1);
    ctx->lev.onObjectDelete(1);
    ctx->lev.onObjectCountChange(1, 4);
    EXPECT_EQ(ctx->deletions[0], 0u);
    EXPECT_EQ(ctx->deletions[1], 1u);
    EXPECT_EQ(ctx->announcedCount[1], 4u);
}
