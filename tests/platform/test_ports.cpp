// Message ports, Forbid/Permit, FindTask and Delay.
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

// Restores the default tick length when a test changed it.
struct TickGuard {
    ~TickGuard() { SetDelayTickMicroseconds(20000); }
};

TEST(Ports, QueueIsFirstInFirstOutAndEmptyGivesNull)
{
    MsgPort* port = CreatePort(nullptr, 0);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(GetMsg(port), nullptr);
    NumberedMessage m[3];
    for (int i = 0; i < 3; ++i) {
        m[i].number = i;
        PutMsg(port, &m[i].msg);
    }
    for (int i = 0; i < 3; ++i) {
        Message* got = GetMsg(port);
        ASSERT_EQ(got, &m[i].msg);
        EXPECT_EQ(got->mn_Next, nullptr) << "a taken message must not link into the queue";
    }
    EXPECT_EQ(GetMsg(port), nullptr);
    // Refilling an emptied queue works from a clean tail.
    PutMsg(port, &m[2].msg);
    PutMsg(port, &m[0].msg);
    EXPECT_EQ(GetMsg(port), &m[2].msg);
    EXPECT_EQ(GetMsg(port), &m[0].msg);
    EXPECT_EQ(GetMsg(port), nullptr);
    DeletePort(port);
}

TEST(Ports, MessageQueuedTwiceIsKeptOnce)
{
    MsgPort* port = CreatePort(nullptr, 0);
    NumberedMessage a, b;
    PutMsg(port, &a.msg);
    PutMsg(port, &b.msg);
    PutMsg(port, &a.msg);   // would close a cycle a -> b -> a
    EXPECT_EQ(GetMsg(port), &a.msg);
    EXPECT_EQ(GetMsg(port), &b.msg);
    EXPECT_EQ(GetMsg(port), nullptr);
    DeletePort(port);
}

TEST(Ports, NullArgumentsAreHarmless)
{
    NumberedMessage m;
    PutMsg(nullptr, &m.msg);
    EXPECT_EQ(GetMsg(nullptr), nullptr);
    ReplyMsg(nullptr);
    DeletePort(nullptr);
    EXPECT_EQ(FindPort(nullptr), nullptr);
    MsgPort* port = CreatePort(nullptr, 0);
    PutMsg(port, nullptr);
    EXPECT_EQ(GetMsg(port), nullptr);
    DeletePort(port);
}

TEST(Ports, StaleMessagesAreRepliedToTheirSendersInOrder)
{
    // The engine drains its port before starting a module: every waiting
    // message goes back to its sender's reply port; one without a reply port
    // is simply dropped.
    MsgPort* engine = CreatePort("PortsTestEngine", 0);
    MsgPort* sender = CreatePort(nullptr, 0);
    NumberedMessage first, second, noReply;
    first.msg.mn_ReplyPort = sender;
    second.msg.mn_ReplyPort = sender;
    PutMsg(engine, &first.msg);
    PutMsg(engine, &noReply.msg);
    PutMsg(engine, &second.msg);
    int drained = 0;
    while (Message* msg = GetMsg(engine)) {
        ReplyMsg(msg);
        ++drained;
    }
    EXPECT_EQ(drained, 3);
    EXPECT_EQ(GetMsg(sender), &first.msg);
    EXPECT_EQ(GetMsg(sender), &second.msg);
    EXPECT_EQ(GetMsg(sender), nullptr);
    // A fresh message after the drain is the one taken.
    NumberedMessage fresh;
    PutMsg(engine, &fresh.msg);
    EXPECT_EQ(GetMsg(engine), &fresh.msg);
    DeletePort(sender);
    DeletePort(engine);
}

TEST(Ports, FindPortByExactNameAndPriority)
{
    EXPECT_EQ(FindPort("PortsTestNamed"), nullptr);
    MsgPort* low = CreatePort("PortsTestNamed", -5);
    MsgPort* first = CreatePort("PortsTestNamed", 0);
    MsgPort* second = CreatePort("PortsTestNamed", 0);
    MsgPort* hidden = CreatePort(nullptr, 10);
    // Highest priority first; equal priorities in creation order.
    EXPECT_EQ(FindPort("PortsTestNamed"), first);
    EXPECT_EQ(FindPort("portstestnamed"), nullptr) << "port names are case-sensitive";
    EXPECT_EQ(FindPort("PortsTestName"), nullptr);
    DeletePort(first);
    EXPECT_EQ(FindPort("PortsTestNamed"), second);
    DeletePort(second);
    EXPECT_EQ(FindPort("PortsTestNamed"), low);
    DeletePort(low);
    EXPECT_EQ(FindPort("PortsTestNamed"), nullptr);
    DeletePort(hidden);
}

TEST(Ports, DeletedPortIsGoneAndDeletingTwiceIsHarmless)
{
    MsgPort* port = CreatePort("PortsTestDeleted", 0);
    NumberedMessage m;
    PutMsg(port, &m.msg);
    DeletePort(port);
    EXPECT_EQ(FindPort("PortsTestDeleted"), nullptr);
    // The sender still owns its message; a late GetMsg or a second delete
    // through the stale pointer must not touch freed memory.
    EXPECT_EQ(GetMsg(port), nullptr);
    DeletePort(port);
    MsgPort* again = CreatePort("PortsTestDeleted", 0);
    EXPECT_EQ(FindPort("PortsTestDeleted"), again);
    EXPECT_EQ(GetMsg(again), nullptr) << "a new port starts empty";
    DeletePort(again);
}

TEST(Ports, ManyThreadsPutWhileOneTakesAndNothingIsLostOrReordered)
{
    TickGuard tick;
    SetDelayTickMicroseconds(0);
    constexpr int kProducers = 3;
    constexpr int kPerProducer = 2000;
    MsgPort* port = CreatePort("PortsTestCross", 0);
    std::vector<std::vector<NumberedMessage>> msgs(kProducers, std::vector<NumberedMessage>(kPerProducer));
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([p, &msgs] {
            MsgPort* target = FindPort("PortsTestCross");
            for (int i = 0; i < kPerProducer; ++i) {
                msgs[p][i].number = p * kPerProducer + i;
                PutMsg(target, &msgs[p][i].msg);
            }
        });
    }
    std::vector<int> lastSeen(kProducers, -1);
    int received = 0;
    while (received < kProducers * kPerProducer) {
        Message* msg = GetMsg(port);
        if (msg == nullptr) {
            Delay(1);
            continue;
        }
        const int number = reinterpret_cast<NumberedMessage*>(msg)->number;
        const int producer = number / kPerProducer;
        ASSERT_GE(producer, 0);
        ASSERT_LT(producer, kProducers);
        ASSERT_GT(number, lastSeen[producer]) << "one sender's messages arrive in order";
        lastSeen[producer] = number;
        ++received;
    }
    for (auto& t : producers) {
        t.join();
    }
    EXPECT_EQ(GetMsg(port), nullptr);
    for (int p = 0; p < kProducers; ++p) {
        EXPECT_EQ(lastSeen[p], p * kPerProducer + kPerProducer - 1);
    }
    DeletePort(port);
}

TEST(Forbid, HoldsOffOtherThreadsUntilTheOutermostPermit)
{
    std::atomic<bool> created{false};
    Forbid();
    Forbid();   // nests
    std::thread other([&created] {
        MsgPort* port = CreatePort("ForbidTestPort", 0);
        created.store(true);
        DeletePort(port);
    });
    // Whatever the scheduling, the other thread cannot get past CreatePort
    // while this thread is forbidden; so these checks cannot pass by luck.
    Delay(1);
    EXPECT_FALSE(created.load());
    Permit();
    Delay(1);
    EXPECT_FALSE(created.load()) << "the inner Permit must not release the lock";
    // The forbidding thread itself may use ports (the lock is recursive).
    MsgPort* mine = CreatePort("ForbidTestMine", 0);
    EXPECT_EQ(FindPort("ForbidTestMine"), mine);
    DeletePort(mine);
    Permit();
    other.join();
    EXPECT_TRUE(created.load());
}

TEST(Forbid, UnmatchedPermitIsIgnored)
{
    // Counted against the stray Permit, this pair would leave the lock held
    // and the other thread would never get it.
    Permit();
    Forbid();
    Permit();
    std::atomic<bool> got{false};
    std::thread other([&got] {
        Forbid();
        got.store(true);
        Permit();
    });
    other.join();
    EXPECT_TRUE(got.load());
}

TEST(FindTask, StablePerThreadAndDistinctAcrossThreads)
{
    void* mine = FindTask(nullptr);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(FindTask(nullptr), mine);
    void* theirs[2] = {nullptr, nullptr};
    std::atomic<int> ready{0};
    std::atomic<bool> release{false};
    auto body = [&](int i) {
        theirs[i] = FindTask(nullptr);
        EXPECT_EQ(FindTask(nullptr), theirs[i]);
        ++ready;
        while (!release.load()) {
            std::this_thread::yield();
        }
    };
    std::thread a(body, 0);
    std::thread b(body, 1);
    while (ready.load() < 2) {
        std::this_thread::yield();
    }
    // All three threads are alive here, so their handles must differ.
    EXPECT_NE(theirs[0], nullptr);
    EXPECT_NE(theirs[0], mine);
    EXPECT_NE(theirs[1], mine);
    EXPECT_NE(theirs[0], theirs[1]);
    release.store(true);
    a.join();
    b.join();
}

// Sleeping never ends early, so these lower bounds hold on any machine; they
// check that the tick length is applied, not how fast anything runs.
TEST(Delay, TicksScaleWithTheTickLength)
{
    TickGuard tick;
    using Clock = std::chrono::steady_clock;
    auto t0 = Clock::now();
    Delay(2);   // default: 2/50 s
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(40));

    SetDelayTickMicroseconds(3000);
    t0 = Clock::now();
    Delay(5);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(15));
}

TEST(Delay, ZeroTickLengthAndNonPositiveTicksReturn)
{
    TickGuard tick;
    // With the default tick these would sleep for hours or forever; the test
    // finishing is the check.
    SetDelayTickMicroseconds(0);
    Delay(1000000);
    Delay(INT32_MAX);
    SetDelayTickMicroseconds(-5);   // clamps to 0
    Delay(1000000);
    SetDelayTickMicroseconds(20000);
    Delay(0);
    Delay(-100);
    Delay(INT32_MIN);
    SUCCEED();
}

}  // namespace
