// Waiting on a port: woken by the message, not by the time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/exec.h"

TEST(PortWait, WakesWhenTheMessageArrivesAndGivesUpAfterTheTimeOut)
{
    MsgPort* port = CreatePort(nullptr, 0);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(WaitPortTimeout(port, 1), nullptr);   // nothing sent: null after one tick

    Message msg;
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PutMsg(port, &msg);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitPortTimeout(port, 3000), &msg);   // a time-out of a minute
    // Woken by the message: a wait that ran into its time-out would take the minute.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    sender.join();
    EXPECT_EQ(GetMsg(port), nullptr);
    DeletePort(port);
    EXPECT_EQ(WaitPortTimeout(port, 3000), nullptr);   // a deleted port: no waiting
}
