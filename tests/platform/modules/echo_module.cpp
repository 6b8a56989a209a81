// echo_module.cpp — the test module "PlatformEcho.mod" (see test_module.h).
#include <stdexcept>

#include "tests/platform/modules/test_module.h"

// Counts entries into this loaded copy of the file; a second start while the
// first still runs sees 2 only if the file stayed loaded in between.
static std::atomic<int> g_starts{0};

extern "C" int vext_module_main(void)
{
    const int number = ++g_starts;
    Forbid();
    MsgPort* port = FindPort(kTestReplyPort);
    MsgPort* orders = FindPort(kTestOrderPort);
    Message* order = orders != nullptr ? GetMsg(orders) : nullptr;
    ReplyMsg(order);
    Permit();
    if (order != nullptr) {
        throw std::runtime_error("absichtlich");
    }
    if (port == nullptr) {
        return 1;
    }
    auto* record = new TestModuleRecord;
    record->startNumber = number;
    record->message.msg.mn_Length = sizeof(ModuleMessage);
    record->message.payload = record;
    PutMsg(port, &record->message.msg);
    while (record->quit.load() == 0) {
        Delay(1);
    }
    return 0;
}
