// handshake_test.cpp — the module's process against a real "VextPort":
// post the record, serve the loader, end on the quit byte.
#include <atomic>
#include <thread>

#include "platform/exec.h"
#include "spielmod_fixture.h"

namespace {

class Handshake : public ::testing::Test {
protected:
    void SetUp() override { SetDelayTickMicroseconds(1000); }
    void TearDown() override { SetDelayTickMicroseconds(20000); }

    // Waits (bounded) for the module's message on port.
    static ModuleMessage* waitForMessage(MsgPort* port)
    {
        for (int i = 0; i < 5000; ++i) {
            if (Message* m = GetMsg(port)) {
                return reinterpret_cast<ModuleMessage*>(m);
            }
            Delay(1);
        }
        return nullptr;
    }
};

}  // namespace

TEST_F(Handshake, PostsRecordServesLoaderAndEndsOnQuit)
{
    MsgPort* port = CreatePort("VextPort", 0);
    ASSERT_NE(port, nullptr);
    std::atomic<bool> ended{false};
    std::thread module([&] {
        spielModuleMain();
        ended = true;
    });
    ModuleMessage* msg = waitForMessage(port);
    ASSERT_NE(msg, nullptr);
    EXPECT_EQ(msg->msg.mn_Length, sizeof(ModuleMessage));
    Lev* lev = static_cast<Lev*>(msg->payload);
    ASSERT_NE(lev, nullptr);
    EXPECT_EQ(lev->moduleVersion, 1);
    ReplyMsg(&msg->msg);

    // The engine's first call: load the start level from the demo data.
    SpielContext* live = spielLive();
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(&live->lev, lev);
    live->messageOut = nullptr;
    live->dataRoot = std::string(VEXT_SOURCE_DIR) + "/data";
    ASSERT_EQ(lev->levelLoader("select", nullptr), 1);
    EXPECT_STREQ(lev->levelDirectory, "levels/select");
    EXPECT_FALSE(ended);

    levSetQuit(lev);
    module.join();
    EXPECT_TRUE(ended);
    EXPECT_EQ(spielLive(), nullptr);
    DeletePort(port);
}

TEST_F(Handshake, WithoutPortTheModuleEndsAtOnce)
{
    ASSERT_EQ(FindPort("VextPort"), nullptr);
    EXPECT_EQ(spielModuleMain(), 0);
    EXPECT_EQ(spielLive(), nullptr);
}

TEST_F(Handshake, ModuleEndsWhenTheEnginePortGoes)
{
    MsgPort* port = CreatePort("VextPort", 0);
    ASSERT_NE(port, nullptr);
    std::thread module([] { spielModuleMain(); });
    ModuleMessage* msg = waitForMessage(port);
    ASSERT_NE(msg, nullptr);
    ReplyMsg(&msg->msg);
    // The engine ended without setting the quit byte (wrong version, say).
    DeletePort(port);
    module.join();
    EXPECT_EQ(spielLive(), nullptr);
}

TEST_F(Handshake, EachStartPostsAFreshRecord)
{
    MsgPort* port = CreatePort("VextPort", 0);
    ASSERT_NE(port, nullptr);
    std::thread first([] { spielModuleMain(); });
    ModuleMessage* a = waitForMessage(port);
    ASSERT_NE(a, nullptr);
    Lev* la = static_cast<Lev*>(a->payload);
    std::thread second([] { spielModuleMain(); });
    ModuleMessage* b = waitForMessage(port);
    ASSERT_NE(b, nullptr);
    Lev* lb = static_cast<Lev*>(b->payload);
    EXPECT_NE(la, lb);
    EXPECT_EQ(&spielLive()->lev, lb);   // the services reach the newest record
    levSetQuit(la);
    first.join();
    EXPECT_EQ(&spielLive()->lev, lb);   // the old one ending leaves it bound
    levSetQuit(lb);
    second.join();
    EXPECT_EQ(spielLive(), nullptr);
    DeletePort(port);
}
