// handshake_test.cpp — the module's process against a real "VextPort":
// post the record, serve the loader, end on the quit byte.
#include <thread>

#include "platform/exec.h"
#include "spielmod_fixture.h"

namespace {

class Handshake : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDelayTickMicroseconds(1000);
        port = CreatePort("VextPort", 0);
        ASSERT_NE(port, nullptr);
    }
    void TearDown() override
    {
        DeletePort(port);
        SetDelayTickMicroseconds(20000);
    }
    // Starts the module's process and waits (bounded) for its record.
    Lev* start(std::thread& module)
    {
        module = std::thread([] { spielModuleMain(); });
        for (int i = 0; i < 5000; ++i) {
            if (Message* m = GetMsg(port)) {
                auto* msg = reinterpret_cast<ModuleMessage*>(m);
                EXPECT_EQ(msg->msg.mn_Length, sizeof(ModuleMessage));
                ReplyMsg(m);
                return static_cast<Lev*>(msg->payload);
            }
            Delay(1);
        }
        ADD_FAILURE() << "no record posted";
        return nullptr;
    }

    MsgPort* port = nullptr;
};

}  // namespace

// Two starts, as at a level change: each posts a record of its own, the
// services reach the newest, and the old one ending leaves it bound.
TEST_F(Handshake, EachStartPostsARecordServesTheLoaderAndEndsOnQuit)
{
    std::thread first, second;
    Lev* old = start(first);
    Lev* lev = start(second);
    ASSERT_TRUE(old != nullptr && lev != nullptr);
    EXPECT_NE(old, lev);
    EXPECT_EQ(lev->moduleVersion, 1);
    levSetQuit(old);
    first.join();

    // The engine's first call: load the start level from the demo data.
    SpielContext* live = spielLive();
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(&live->lev, lev);
    live->messageOut = nullptr;
    live->dataRoot = std::string(VEXT_SOURCE_DIR) + "/data";
    ASSERT_EQ(lev->levelLoader("select", nullptr), 1);
    EXPECT_STREQ(lev->levelDirectory, "levels/select");
    ASSERT_EQ(lev->levelLoader("SECOND", nullptr), 1);
    EXPECT_TRUE(live->messages.empty()) << live->messages.front();   // the shipped levels load cleanly

    levSetQuit(lev);
    second.join();
    EXPECT_EQ(spielLive(), nullptr);
}

TEST_F(Handshake, ModuleEndsWithoutPortOrWhenTheEnginePortGoes)
{
    DeletePort(port);
    port = nullptr;
    EXPECT_EQ(spielModuleMain(), 0);
    EXPECT_EQ(spielLive(), nullptr);

    port = CreatePort("VextPort", 0);
    std::thread module;
    ASSERT_NE(start(module), nullptr);
    // The engine ended without setting the quit byte (wrong version, say).
    DeletePort(port);
    port = nullptr;
    module.join();
    EXPECT_EQ(spielLive(), nullptr);
}
