// test_module.h — what the platform tests and their test module agree on.
//
// The module "PlatformEcho.mod" looks for the public port kTestReplyPort.  If
// a message waits on kTestOrderPort, its payload (a TestOrder*) chooses what
// the module does; without one it behaves as kOrderPost.  With kOrderPost it
// allocates a TestModuleRecord, posts its message to kTestReplyPort and
// idles in Delay(1) steps until the record's quit flag is set, then returns
// kEchoResult.  The record then belongs to whoever took the message.
#pragma once

#include <atomic>

#include "platform/exec.h"

inline constexpr const char* kTestReplyPort = "PlatformTestPort";
inline constexpr const char* kTestOrderPort = "PlatformTestOrders";
inline constexpr int kEchoResult = 7;
inline constexpr int kNoPortResult = 1;
inline constexpr int kEndAtOnceResult = 3;

enum TestOrder {
    kOrderPost = 0,       // post the record, wait for quit
    kOrderEndAtOnce = 1,  // end without posting anything
    kOrderThrow = 2,      // throw from the entry
};

struct TestModuleRecord {
    ModuleMessage message;        // payload points back at this record
    void* task = nullptr;         // FindTask(NULL) on the module's thread
    std::atomic<int> quit{0};     // the test sets 1 to end the module
    int startNumber = 0;          // how many entries this loaded copy has run
};
