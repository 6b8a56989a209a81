// guards.h — putting back what a test changed: globals, and the standard
// output a test captures to compare messages byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Globals saved by save()/set() are written back, newest first, when the
// guard ends.
class GlobalsGuard {
public:
    GlobalsGuard() = default;
    template <class... T>
    explicit GlobalsGuard(T&... globals)
    {
        save(globals...);
    }
    ~GlobalsGuard()
    {
        for (auto it = restore_.rbegin(); it != restore_.rend(); ++it) {
            (*it)();
        }
    }
    GlobalsGuard(const GlobalsGuard&) = delete;
    GlobalsGuard& operator=(const GlobalsGuard&) = delete;

    template <class... T>
    void save(T&... globals)
    {
        (restore_.push_back([&globals, old = globals] { globals = old; }), ...);
    }
    template <class T, class V>
    void set(T& global, V value)
    {
        save(global);
        global = value;
    }

private:
    std::vector<std::function<void()>> restore_;
};

// What `fn` printed to stdout.
template <class Fn>
std::string stdoutOf(Fn fn)
{
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}
