// Message ports, waiting on one, Forbid/Permit and Delay.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/exec.h"

namespace {

struct NumberedMessage {
    Message msg;
    int number = 0;
};

TEST(Ports, QueueOrderRepliesFindAndDelete)
{
    // Every waiting message goes back to its sender's reply port; one without
    // a reply port is simply dropped.
    MsgPort* engine = CreatePort("PortsTest", 0);
    MsgPort* sender = CreatePort(nullptr, 0);
    NumberedMessage first, second, noReply, fresh;
    first.msg.mn_ReplyPort = sender;
    second.msg.mn_ReplyPort = sender;
    for (NumberedMessage* m : {&first, &noReply, &first, &second}) {
        PutMsg(engine, &m->msg);   // first twice: linking it again would close a cycle
    }
    PutMsg(engine, nullptr);
    std::vector<Message*> drained;
    while (Message* msg = GetMsg(engine)) {
        EXPECT_EQ(msg->mn_Next, nullptr) << "a taken message must not link into the queue";
        drained.push_back(msg);
        ReplyMsg(msg);
    }
    EXPECT_EQ(drained, (std::vector<Message*>{&first.msg, &noReply.msg, &second.msg}));
    EXPECT_EQ(GetMsg(sender), &first.msg);
    EXPECT_EQ(GetMsg(sender), &second.msg);
    EXPECT_EQ(GetMsg(sender), nullptr);
    // The emptied queue refills from a clean tail.
    PutMsg(engine, &fresh.msg);
    PutMsg(engine, &first.msg);
    EXPECT_EQ(GetMsg(engine), &fresh.msg);
    EXPECT_EQ(GetMsg(engine), &first.msg);

    // Names are exact; of two ports of one name the higher priority is found.
    MsgPort* low = CreatePort("PortsTest", -5);
    EXPECT_EQ(FindPort("PortsTest"), engine);
    EXPECT_EQ(FindPort("portstest"), nullptr);
    EXPECT_EQ(FindPort("PortsTes"), nullptr);
    PutMsg(engine, &fresh.msg);
    DeletePort(engine);
    EXPECT_EQ(FindPort("PortsTest"), low);
    // The sender still owns its message; a late GetMsg or a second delete
    // through the stale pointer must not touch freed memory.
    EXPECT_EQ(GetMsg(engine), nullptr);
    DeletePort(engine);
    DeletePort(low);
    DeletePort(sender);
    EXPECT_EQ(FindPort("PortsTest"), nullptr);
    PutMsg(nullptr, &fresh.msg);
    EXPECT_EQ(GetMsg(nullptr), nullptr);
    ReplyMsg(nullptr);
    DeletePort(nullptr);
    EXPECT_EQ(FindPort(nullptr), nullptr);
}

TEST(Ports, ManyThreadsPutWhileOneTakesAndNothingIsLostOrReordered)
{
    constexpr int kProducers = 3;
    constexpr int kPerProducer = 2000;
    MsgPort* port = CreatePort("PortsTestCross", 0);
    std::vector<NumberedMessage> msgs(kProducers * kPerProducer);
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([p, &msgs] {
            for (int n = p * kPerProducer; n < (p + 1) * kPerProducer; ++n) {
                msgs[n].number = n;
                PutMsg(FindPort("PortsTestCross"), &msgs[n].msg);
            }
        });
    }
    std::vector<int> lastSeen(kProducers, -1);
    for (size_t received = 0; received < msgs.size();) {
        Message* msg = GetMsg(port);
        if (msg == nullptr) {
            std::this_thread::yield();
            continue;
        }
        const int number = reinterpret_cast<NumberedMessage*>(msg)->number;
        ASSERT_TRUE(number >= 0 && number < kProducers * kPerProducer);
        ASSERT_GT(number, lastSeen[number / kPerProducer]) << "one sender's messages arrive in order";
        lastSeen[number / kPerProducer] = number;
        ++received;
    }
    for (auto& t : producers) {
        t.join();
    }
    EXPECT_EQ(GetMsg(port), nullptr);
    DeletePort(port);
}

TEST(Forbid, HoldsOffOtherThreadsUntilTheOutermostPermit)
{
    Permit();   // unmatched: ignored, else the pairs below would leave the lock held
    std::atomic<bool> created{false};
    Forbid();
    Forbid();   // nests
    std::thread other([&created] {
        DeletePort(CreatePort("ForbidTestPort", 0));
        created.store(true);
    });
    // The other thread cannot get past CreatePort while this one is
    // forbidden, so these checks cannot pass by luck.
    Delay(1);
    EXPECT_FALSE(created.load());
    Permit();
    Delay(1);
    EXPECT_FALSE(created.load()) << "the inner Permit must not release the lock";
    Permit();
    other.join();
    EXPECT_TRUE(created.load());
}

TEST(Delay, TickLengthIsAppliedAndZeroOrNegativeReturn)
{
    // Sleeping never ends early, so this lower bound holds on any machine.
    const auto t0 = std::chrono::steady_clock::now();
    Delay(2);   // default: 2/50 s
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(40));
    // Each of these would sleep for hours if not honoured; finishing is the check.
    Delay(0);
    Delay(INT32_MIN);
    SetDelayTickMicroseconds(-5);   // clamps to 0
    Delay(INT32_MAX);
    SetDelayTickMicroseconds(20000);
}

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

}  // namespace
