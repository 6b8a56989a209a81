// exec.cpp — public message ports, Delay, Forbid/Permit, FindTask and the
// case-insensitive path resolver.
//
// All port state sits behind one recursive lock, and Forbid takes that same
// lock: between Forbid and Permit no other thread can create, delete or use a
// port, so a port found under Forbid stays valid until Permit, as on Exec
// where Forbid stopped every other task.  The state is allocated once and
// never freed, so module threads still running at process exit never touch
// destroyed objects.
#include "platform/exec.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_set>
#include <vector>

struct MsgPort {
    std::string name; // empty for a private port
    bool isPublic = false;
    int pri = 0;             // orders the public list, highest first
    Message* head = nullptr; // oldest queued message
    Message* tail = nullptr; // newest queued message
};

namespace {

struct PortState {
    std::recursive_mutex lock;
    std::vector<MsgPort*> publicPorts;      // by priority, then creation order
    std::unordered_set<MsgPort*> livePorts; // every port not yet deleted
    std::condition_variable_any arrived;    // signalled by every PutMsg that queues
};

PortState& ports()
{
    static PortState* state = new PortState;
    return *state;
}

constexpr int32_t kDefaultTickMicroseconds = 20000; // 50 ticks per second
std::atomic<int32_t> g_tickMicroseconds{kDefaultTickMicroseconds};

thread_local int t_forbidDepth = 0; // Forbid calls of this thread not yet permitted
thread_local char t_taskTag = 0;    // its address is the thread's task handle

bool isQueued(const MsgPort* port, const Message* msg)
{
    for (const Message* m = port->head; m != nullptr; m = m->mn_Next) {
        if (m == msg) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" {

MsgPort* CreatePort(const char* name, int pri)
{
    MsgPort* port = new (std::nothrow) MsgPort;
    if (port == nullptr) {
        return nullptr;
    }
    port->pri = pri;
    PortState& st = ports();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    st.livePorts.insert(port);
    if (name != nullptr) {
        port->name = name;
        port->isPublic = true;
        // Exec's Enqueue: behind every port of the same or higher priority.
        auto at = std::find_if(st.publicPorts.begin(), st.publicPorts.end(),
                               [pri](const MsgPort* p) { return p->pri < pri; });
        st.publicPorts.insert(at, port);
    }
    return port;
}

void DeletePort(MsgPort* port)
{
    if (port == nullptr) {
        return;
    }
    PortState& st = ports();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    if (st.livePorts.erase(port) == 0) {
        return; // already deleted: deleting twice must not free twice
    }
    auto at = std::find(st.publicPorts.begin(), st.publicPorts.end(), port);
    if (at != st.publicPorts.end()) {
        st.publicPorts.erase(at);
    }
    delete port;
}

MsgPort* FindPort(const char* name)
{
    if (name == nullptr) {
        return nullptr;
    }
    PortState& st = ports();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    for (MsgPort* port : st.publicPorts) {
        if (port->name == name) {
            return port;
        }
    }
    return nullptr;
}

void PutMsg(MsgPort* port, Message* msg)
{
    if (port == nullptr || msg == nullptr) {
        return;
    }
    PortState& st = ports();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    // A deleted port drops the message (its sender still owns it); a message
    // already queued here is not linked twice, which would make a cycle.
    if (st.livePorts.count(port) == 0 || isQueued(port, msg)) {
        return;
    }
    msg->mn_Next = nullptr;
    if (port->tail != nullptr) {
        port->tail->mn_Next = msg;
    } else {
        port->head = msg;
    }
    port->tail = msg;
    st.arrived.notify_all();
}

Message* GetMsg(MsgPort* port)
{
    if (port == nullptr) {
        return nullptr;
    }
    PortState& st = ports();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    if (st.livePorts.count(port) == 0 || port->head == nullptr) {
        return nullptr;
    }
    Message* msg = port->head;
    port->head = msg->mn_Next;
    if (port->head == nullptr) {
        port->tail = nullptr;
    }
    msg->mn_Next = nullptr;
    return msg;
}

Message* WaitPortTimeout(MsgPort* port, int32_t ticks)
{
    if (port == nullptr) {
        return nullptr;
    }
    PortState& st = ports();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(TicksToMicroseconds(ticks));
    std::unique_lock<std::recursive_mutex> guard(st.lock);
    st.arrived.wait_until(guard, deadline, [&] { return st.livePorts.count(port) == 0 || port->head != nullptr; });
    return GetMsg(port);
}

void ReplyMsg(Message* msg)
{
    if (msg == nullptr || msg->mn_ReplyPort == nullptr) {
        return;
    }
    PutMsg(msg->mn_ReplyPort, msg);
}

void Delay(int32_t ticks)
{
    if (ticks <= 0) {
        return;
    }
    const int64_t us = static_cast<int64_t>(ticks) * g_tickMicroseconds.load();
    if (us <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

int64_t TicksToMicroseconds(int32_t ticks)
{
    return ticks <= 0 ? 0 : static_cast<int64_t>(ticks) * g_tickMicroseconds.load();
}

void SetDelayTickMicroseconds(int32_t us)
{
    g_tickMicroseconds.store(us < 0 ? 0 : us);
}

void Forbid(void)
{
    ports().lock.lock();
    ++t_forbidDepth;
}

void Permit(void)
{
    // An unmatched Permit is ignored: unlocking a lock this thread does not
    // hold would be undefined.
    if (t_forbidDepth == 0) {
        return;
    }
    --t_forbidDepth;
    ports().lock.unlock();
}

void* FindTask(const char* name)
{
    return &t_taskTag;
}

} // extern "C"

// ---------------------------------------------------------------------------
// Case-insensitive path resolution
// ---------------------------------------------------------------------------

namespace {

bool pathExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool equalsIgnoreAsciiCase(const char* a, const std::string& b)
{
    size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') {
            ca = static_cast<unsigned char>(ca - 'A' + 'a');
        }
        if (cb >= 'A' && cb <= 'Z') {
            cb = static_cast<unsigned char>(cb - 'A' + 'a');
        }
        if (ca != cb) {
            return false;
        }
    }
    return a[i] == '\0' && i == b.size();
}

// The entry of dir (a prefix ending in '/', or "" for the current directory)
// that equals name ignoring case; "" when none.  Sorted so that the answer
// does not depend on the order the file system lists entries in.
std::string findEntryIgnoringCase(const std::string& dir, const std::string& name, bool preferDirectory)
{
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) {
        return std::string();
    }
    std::vector<std::string> matches;
    while (const dirent* e = readdir(d)) {
        if (equalsIgnoreAsciiCase(e->d_name, name)) {
            matches.emplace_back(e->d_name);
        }
    }
    closedir(d);
    if (matches.empty()) {
        return std::string();
    }
    std::sort(matches.begin(), matches.end());
    if (preferDirectory) {
        for (const std::string& m : matches) {
            if (isDirectory(dir + m)) {
                return m;
            }
        }
    }
    return matches.front();
}

} // namespace

std::string ResolvePathString(const char* path, bool* exists)
{
    if (exists != nullptr) {
        *exists = false;
    }
    if (path == nullptr || path[0] == '\0') {
        return std::string();
    }
    const std::string given(path);
    if (pathExists(given)) {
        if (exists != nullptr) {
            *exists = true;
        }
        return given;
    }
    std::string result;
    bool unmatched = false; // a component matched nothing: nothing below it exists
    size_t pos = 0;
    while (pos <= given.size()) {
        const size_t slash = given.find('/', pos);
        const bool last = slash == std::string::npos;
        std::string comp = given.substr(pos, last ? std::string::npos : slash - pos);
        if (!unmatched && !comp.empty() && comp != "." && comp != ".." && !pathExists(result + comp)) {
            const std::string match = findEntryIgnoringCase(result, comp, !last);
            if (match.empty()) {
                unmatched = true;
            } else {
                comp = match;
            }
        }
        result += comp;
        if (last) {
            break;
        }
        result += '/';
        pos = slash + 1;
    }
    if (exists != nullptr) {
        *exists = !unmatched && pathExists(result);
    }
    return result;
}

extern "C" {

int ResolvePath(const char* path, char* out, size_t outSize)
{
    if (out == nullptr || outSize == 0) {
        return 0;
    }
    bool exists = false;
    const std::string resolved = ResolvePathString(path, &exists);
    if (resolved.size() >= outSize) {
        out[0] = '\0';
        return 0;
    }
    resolved.copy(out, resolved.size());
    out[resolved.size()] = '\0';
    return exists ? 1 : 0;
}

} // extern "C"
