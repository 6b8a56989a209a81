// modrun.cpp — the shell stand-in that starts module files, and the table of
// modules started so far.
//
// A module is a shared library exporting `vext_module_main`; "Run NAME" loads
// it and runs the entry on a thread of its own, as the Amiga shell's Run
// started a detached process.  Each started module stays in the table (its
// thread and library handle) until ReapModules finds it ended; only then is
// the thread joined and the library closed.  The table is allocated once and
// never destroyed: a module that never ends keeps its thread object, so at
// process exit the thread is simply ended with the process instead of making
// std::thread's destructor abort.
#include "platform/exec.h"

#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr const char* kEntryName = "vext_module_main";

struct RunningModule {
    uint32_t serial = 0;
    std::string file;       // as named in the Run line
    void* handle = nullptr; // from dlopen; closed when reaped
    std::thread thread;
    std::atomic<bool> ended{false}; // the entry has returned
    int result = 0;                 // the entry's return value once ended
};

struct ModuleTable {
    std::mutex lock;
    std::list<std::unique_ptr<RunningModule>> modules; // started, not yet reaped
    uint32_t lastSerial = 0;
    std::condition_variable endedCv; // signalled whenever an entry returns
};

ModuleTable& table()
{
    static ModuleTable* t = new ModuleTable;
    return *t;
}

void say(const char* format, const char* a, const char* b = "")
{
    printf(format, a, b);
    fflush(stdout);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string trim(const std::string& s)
{
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && isBlank(s[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(s[end - 1])) {
        --end;
    }
    return s.substr(begin, end - begin);
}

// Splits off the first blank-separated word of line; the rest, trimmed, goes
// to *rest.
std::string firstWord(const std::string& line, std::string* rest)
{
    size_t end = 0;
    while (end < line.size() && !isBlank(line[end])) {
        ++end;
    }
    *rest = trim(line.substr(end));
    return line.substr(0, end);
}

bool equalsIgnoreCase(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        char ca = a[i];
        char cb = b[i];
        if (ca >= 'A' && ca <= 'Z') {
            ca = static_cast<char>(ca - 'A' + 'a');
        }
        if (cb >= 'A' && cb <= 'Z') {
            cb = static_cast<char>(cb - 'A' + 'a');
        }
        if (ca != cb) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

std::string executableDirectory()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) {
        return std::string();
    }
    std::string exe(buf, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

// The path to hand to dlopen, or "" when the file is in neither place.  The
// path always holds a '/', so dlopen never searches the library path.
// The loader knows a loaded file by the name it was opened with, so the same
// relative name in another directory would give back the file loaded first;
// hand it the absolute path of the file itself.
std::string absolutePath(const std::string& path)
{
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return std::string();
    }
    std::string result(real);
    std::free(real);
    return result;
}

std::string locateModule(const std::string& name)
{
    bool exists = false;
    std::string path = ResolvePathString(name.c_str(), &exists);
    if (exists) {
        return absolutePath(path);
    }
    if (name[0] == '/') {
        return std::string();
    }
    const std::string dir = executableDirectory();
    if (dir.empty()) {
        return std::string();
    }
    path = ResolvePathString((dir + "/" + name).c_str(), &exists);
    return exists ? absolutePath(path) : std::string();
}

void runEntry(RunningModule* m, ModuleEntry entry)
{
    int result = 20;
    // An exception escaping a thread would end the whole program; a failing
    // module must only end itself.
    try {
        result = entry();
    } catch (const std::exception& e) {
        say("Modul %s abgebrochen: %s\n", m->file.c_str(), e.what());
    } catch (...) {
        say("Modul %s abgebrochen: %s\n", m->file.c_str(), "unbekannte Ausnahme");
    }
    std::lock_guard<std::mutex> guard(table().lock);
    m->result = result;
    m->ended.store(true);
    table().endedCv.notify_all();
}

int startModule(const std::string& name)
{
    const std::string path = locateModule(name);
    if (path.empty()) {
        say("Modul %s nicht gefunden (weder hier noch neben dem Programm)\n", name.c_str());
        return 10;
    }
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        say("Modul %s nicht ladbar: %s\n", name.c_str(), why != nullptr ? why : "?");
        return 10;
    }
    void* symbol = dlsym(handle, kEntryName);
    if (symbol == nullptr) {
        say("Modul %s nicht ladbar: kein Einsprung %s\n", name.c_str(), kEntryName);
        dlclose(handle);
        return 10;
    }
    auto module = std::make_unique<RunningModule>();
    RunningModule* m = module.get();
    m->file = name;
    m->handle = handle;
    ModuleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    try {
        // Started under the lock, so ReapModules never sees the module
        // without its thread; the entry itself takes the lock only at its end.
        m->thread = std::thread(runEntry, m, reinterpret_cast<ModuleEntry>(symbol));
    } catch (const std::system_error& e) {
        say("Modul %s nicht startbar: %s\n", name.c_str(), e.what());
        dlclose(handle);
        return 10;
    }
    m->serial = ++t.lastSerial;
    t.modules.push_back(std::move(module));
    return 0;
}

int runLine(const std::string& line)
{
    std::string rest;
    const std::string word = firstWord(line, &rest);
    if (equalsIgnoreCase(word, "stack")) {
        return 0; // threads get a large stack anyway
    }
    if (equalsIgnoreCase(word, "run")) {
        if (rest.empty()) {
            say("Run: %s\n", "kein Modul angegeben");
            return 10;
        }
        std::string arguments; // a module's entry takes none
        return startModule(firstWord(rest, &arguments));
    }
    say("Befehl %s unbekannt\n", word.c_str());
    return 10;
}

} // namespace

extern "C" {

int ShellExecute(const char* command)
{
    if (command == nullptr) {
        return 10;
    }
    // Lines run in order; the first failing one ends the script, as the
    // shell's default fail level did.
    const std::string script(command);
    size_t pos = 0;
    while (pos <= script.size()) {
        size_t end = script.find('\n', pos);
        if (end == std::string::npos) {
            end = script.size();
        }
        const std::string line = trim(script.substr(pos, end - pos));
        if (!line.empty()) {
            const int rc = runLine(line);
            if (rc != 0) {
                return rc;
            }
        }
        pos = end + 1;
    }
    return 0;
}

int RunningModuleCount(void)
{
    ModuleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    int count = 0;
    for (const auto& m : t.modules) {
        if (!m->ended.load()) {
            ++count;
        }
    }
    return count;
}

int ModuleEndedSince(uint32_t startSerial)
{
    ModuleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const auto& m : t.modules) {
        if (m->serial == startSerial) {
            return m->ended.load() ? 1 : 0;
        }
    }
    return 1;
}

int WaitModuleEnded(uint32_t startSerial, int32_t ticks)
{
    ModuleTable& t = table();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(TicksToMicroseconds(ticks));
    std::unique_lock<std::mutex> guard(t.lock);
    auto ended = [&] {
        for (const auto& m : t.modules) {
            if (m->serial == startSerial) {
                return m->ended.load();
            }
        }
        return true;
    };
    t.endedCv.wait_until(guard, deadline, ended);
    return ended() ? 1 : 0;
}

uint32_t LastModuleSerial(void)
{
    ModuleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.lastSerial;
}

void ReapModules(int32_t waitTicks)
{
    for (int32_t i = 0; i < waitTicks && RunningModuleCount() > 0; ++i) {
        Delay(1);
    }
    std::vector<std::unique_ptr<RunningModule>> ended;
    {
        ModuleTable& t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        const std::thread::id self = std::this_thread::get_id();
        for (auto it = t.modules.begin(); it != t.modules.end();) {
            // A module reaping itself cannot join its own thread, nor unload
            // the code it runs in; a later call from elsewhere does it.
            if ((*it)->ended.load() && (*it)->thread.get_id() != self) {
                ended.push_back(std::move(*it));
                it = t.modules.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& m : ended) {
        m->thread.join();
        dlclose(m->handle);
    }
}

} // extern "C"
