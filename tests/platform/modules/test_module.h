// test_module.h — what the platform tests and their test module agree on.
//
// The module "PlatformEcho.mod" throws from its entry when a message waits
// on the public port kTestOrderPort (it replies to it first).  Otherwise it
// allocates a TestModuleRecord, posts its message to the public port
// kTestReplyPort and idles in Delay(1) steps until the record's quit flag is
// set.  The record then belongs to whoever took the message.
#pragma once

#include <atomic>

#include "platform/exec.h"

inline constexpr const char* kTestReplyPort = "PlatformTestPort";
inline constexpr const char* kTestOrderPort = "PlatformTestOrders";

struct TestModuleRecord {
    ModuleMessage message;        // payload points back at this record
    std::atomic<int> quit{0};     // the test sets 1 to end the module
    int startNumber = 0;          // how many entries this loaded copy has run
};
