// echo_module.cpp — the test module "PlatformEcho.mod" (see test_module.h).
#include <stdexcept>

#include "tests/platform/modules/test_module.h"

namespace {

// Counts entries into this loaded copy of the file; a second start while the
// first still runs sees 2 only if the file stayed loaded in between.
std::atomic<int> g_starts{0};

int takeOrder(MsgPort* orders)
{
    Message* msg = orders != nullptr ? GetMsg(orders) : nullptr;
    if (msg == nullptr) {
        return kOrderPost;
    }
    const int order = *static_cast<const int*>(reinterpret_cast<ModuleMessage*>(msg)->payload);
    ReplyMsg(msg);
    return order;
}

}  // namespace

extern "C" int vext_module_main(void)
{
    const int number = ++g_starts;
    Forbid();
    MsgPort* port = FindPort(kTestReplyPort);
    MsgPort* orders = FindPort(kTestOrderPort);
    const int order = takeOrder(orders);
    Permit();
    if (port == nullptr) {
        return kNoPortResult;
    }
    if (order == kOrderEndAtOnce) {
        return kEndAtOnceResult;
    }
    if (order == kOrderThrow) {
        throw std::runtime_error("absichtlich");
    }
    auto* record = new TestModuleRecord;
    record->task = FindTask(nullptr);
    record->startNumber = number;
    record->message.msg.mn_Length = sizeof(ModuleMessage);
    record->message.payload = record;
    PutMsg(port, &record->message.msg);
    while (record->quit.load() == 0) {
        Delay(1);
    }
    return kEchoResult;
}
