// common.cpp — the globals every subsystem shares and the one exit; see common.h.
#include "core/common.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

Lev* Level = nullptr;
CGui* Gui = nullptr;
ShutdownHook g_shutdownHook = nullptr;
ProcessExitFn g_processExit = [](int status) { std::exit(status); };

float g_frametime = kFixedFrameTime;
float g_grabframetime = 0.0f;
uint8_t g_bquit = 0;
int32_t g_showfps = 0;
int32_t fps = 0;
int32_t fpsz = 0;
uint32_t framecounter = 0;

uint8_t server = 0;
uint8_t texrender = 0;
uint8_t fcull = 0;
uint8_t ngrad = 0;
uint8_t leveled = 0;
uint8_t collon = 1;
uint8_t GuiOn = 0;
uint8_t g_playermove = 0;
uint8_t rotlock = 1;
uint8_t objRot = 0;

int exitStatusFor(KRT_RESULT code)
{
    return code == KRT_QUIT ? 0 : static_cast<int>(code);
}

void closeEngine(KRT_RESULT code, const char* format, ...)
{
    // A fatal condition met while already closing must not start over.
    static bool closing = false;
    if (closing) {
        std::fflush(stdout);
        g_processExit(exitStatusFor(code));
        std::abort();
    }
    // Cleared again when a test's exit function unwinds through here.
    struct ClosingFlag {
        ClosingFlag() { closing = true; }
        ~ClosingFlag() { closing = false; }
    } flag;

    char message[256] = {0};
    if (format != nullptr && std::strlen(format) > 1) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
    }
    if (g_shutdownHook != nullptr) {
        g_shutdownHook(code, message);
    } else if (message[0] != '\0') {
        std::printf("%s\n", message);
    }
    std::fflush(stdout);
    g_processExit(exitStatusFor(code));
    std::abort();
}

void advanceFrameCounter()
{
    ++framecounter;
    if (framecounter > kFrameCounterWrap) {
        framecounter = 0;
    }
}

char* copyBounded(char* dest, const char* source, unsigned long size)
{
    if (size == 0) {
        return dest;
    }
    const size_t n = source != nullptr ? strnlen(source, size - 1) : 0;
    std::memcpy(dest, source != nullptr ? source : "", n);
    dest[n] = '\0';
    return dest;
}

char* newStringCopy(const char* text)
{
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    char* copy = new char[length + 1];
    std::memcpy(copy, text != nullptr ? text : "", length + 1);
    return copy;
}

void printFramedWarning(const char* text, unsigned dashes)
{
    char rule[201];
    const size_t n = dashes < sizeof rule - 1 ? dashes : sizeof rule - 1;
    std::memset(rule, '-', n);
    rule[n] = '\0';
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    const bool ends = length > 0 && text[length - 1] == '\n';
    std::printf("%s\n%s%s%s\n", rule, text != nullptr ? text : "", ends ? "" : "\n", rule);
}
