// sys.cpp — system services: stack test, exit, frame clock, file helpers.
#include "core/sys.h"

#include <sys/stat.h>
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "core/common.h"
#include "platform/exec.h"
#include "platform/net.h"

uint8_t isON = 0;
float inittime = 0.0f;
SysClockFn g_sysClock = sysClockMicros;
SysStackProbeFn g_sysStackProbe = platformTcpStackPresent;

// Longest target path sysFileCopy accepts, in characters.
static constexpr size_t kMaxCopyPath = 255;
// Bytes moved per read/write while copying.
static constexpr size_t kCopyChunk = 64 * 1024;

int32_t sysClockMicros()
{
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<int32_t>(now.tv_usec);
}

void sysInit()
{
    if (g_sysStackProbe != nullptr && g_sysStackProbe() != 0) {
        isON = 1;
        return;
    }
    if (server) {
        std::printf("kein TCP/IP stack gefunden");
        sysShutdown(kSysExitNoStack);
    }
}

void sysShutdown(int status)
{
    isON = 0;
    std::fflush(stdout);
    g_processExit(status);
    std::abort();
}

float sysGetTime(bool grabbing)
{
    // Grabbed frames step the scene at 25 per second however long each takes.
    if (grabbing) {
        return kFixedFrameTime;
    }
    const float t = static_cast<float>(g_sysClock()) / 1000000.0f;
    if (inittime == 0.0f) {
        inittime = t;
    }
    const float d = t - inittime;
    const float result = d < 0.0f ? g_frametime : d;
    inittime = t;
    return result;
}

int sysFileExist(const char* name)
{
    FILE* f = OpenResolved(name, "rb");
    if (f == nullptr) {
        return 0;
    }
    std::fclose(f);
    return 1;
}

// A source path may only name something below the target directory: relative
// and without a ".." component.
static bool staysBelowTarget(const char* source)
{
    if (source[0] == '/') {
        return false;
    }
    const char* comp = source;
    while (true) {
        const char* slash = std::strchr(comp, '/');
        const size_t len = slash != nullptr ? static_cast<size_t>(slash - comp) : std::strlen(comp);
        if (len == 2 && comp[0] == '.' && comp[1] == '.') {
            return false;
        }
        if (slash == nullptr) {
            return true;
        }
        comp = slash + 1;
    }
}

// Creates the directory named by every prefix of target that ends before a
// '/' after the first one; what exists (under any case) is left alone and
// other failures show up when the file is opened.
static void makeTargetDirs(const std::string& target)
{
    const size_t first = target.find('/');
    size_t slash = target.find('/', first + 1);
    while (slash != std::string::npos) {
        const std::string prefix = target.substr(0, slash);
        bool exists = false;
        const std::string resolved = ResolvePathString(prefix.c_str(), &exists);
        if (!exists && !resolved.empty()) {
            mkdir(resolved.c_str(), 0777);
        }
        slash = target.find('/', slash + 1);
    }
}

// True when the open source and the path target are one file: opening the
// target for writing would then truncate the source.
static bool isSameFile(FILE* source, const std::string& target)
{
    struct stat src{};
    struct stat dst{};
    if (fstat(fileno(source), &src) != 0 || stat(target.c_str(), &dst) != 0) {
        return false;
    }
    return src.st_dev == dst.st_dev && src.st_ino == dst.st_ino;
}

// Moves every byte of in to out; false on a read or write error.
static bool copyStream(FILE* in, FILE* out)
{
    std::string buffer(kCopyChunk, '\0');
    while (true) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
        if (got > 0 && std::fwrite(buffer.data(), 1, got, out) != got) {
            return false;
        }
        if (got < buffer.size()) {
            return std::ferror(in) == 0;
        }
    }
}

int sysFileCopy(const char* source, const char* targetDir)
{
    if (source == nullptr || targetDir == nullptr || source[0] == '\0' || targetDir[0] == '\0') {
        return 0;
    }
    if (!staysBelowTarget(source)) {
        std::printf("sysFileCopy( %s ): absoluter Pfad oder \"..\" - nicht kopiert\n", source);
        return 0;
    }
    const std::string target = std::string(targetDir) + "/" + source;
    if (target.size() > kMaxCopyPath) {
        std::printf("sysFileCopy( %s ): Zielpfad l\xe4nger als %zu Zeichen - nicht kopiert\n",
                    target.c_str(), kMaxCopyPath);
        return 0;
    }
    // The source is opened first so that a missing one leaves no empty
    // directories behind.
    FILE* in = OpenResolved(source, "rb");
    if (in == nullptr) {
        return 0;
    }
    makeTargetDirs(target);
    const std::string resolvedTarget = ResolvePathString(target.c_str());
    if (isSameFile(in, resolvedTarget)) {
        std::printf("sysFileCopy( %s ): Ziel ist die Quelle selbst - nicht kopiert\n",
                    target.c_str());
        std::fclose(in);
        return 0;
    }
    FILE* out = std::fopen(resolvedTarget.c_str(), "wb");
    if (out == nullptr) {
        std::fclose(in);
        return 0;
    }
    const bool copied = copyStream(in, out);
    // Only a regular file is ours to remove; a target that is a device (or a
    // link to one) stays.
    struct stat written{};
    const bool regular = fstat(fileno(out), &written) == 0 && S_ISREG(written.st_mode);
    std::fclose(in);
    const bool closed = std::fclose(out) == 0;
    if (!copied || !closed) {
        std::printf("sysFileCopy( %s ): Lese- oder Schreibfehler - %s\n", target.c_str(),
                    regular ? "Ziel entfernt" : "Ziel belassen");
        if (regular) {
            std::remove(resolvedTarget.c_str());
        }
        return 0;
    }
    return 1;
}

int fileType(const char* name)
{
    if (name == nullptr) {
        return kFileTypeOther;
    }
    const size_t len = std::strlen(name);
    if (len < 3) {
        return kFileTypeOther;
    }
    const char* ext = name + len - 3;
    if (strcasecmp(ext, "raw") == 0) {
        return kFileTypeRaw;
    }
    if (strcasecmp(ext, "md2") == 0) {
        return kFileTypeMd2;
    }
    if (strcasecmp(ext, "tga") == 0) {
        return kFileTypeTga;
    }
    if (strcasecmp(ext, "ppm") == 0) {
        return kFileTypePpm;
    }
    return kFileTypeOther;
}

void sysShowCursor(bool show)
{
}

void com_changeSeparators(char* path)
{
    if (path == nullptr) {
        return;
    }
    for (char* p = path; *p != '\0'; ++p) {
        if (*p == '/') {
            *p = '\\';
        }
    }
}

static char* copyOf(const char* text, size_t len)
{
    char* copy = static_cast<char*>(std::malloc(len + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text, len);
        copy[len] = '\0';
    }
    return copy;
}

t_fileDir com_fileDirSplit(const char* path)
{
    t_fileDir split{nullptr, nullptr};
    if (path == nullptr) {
        return split;
    }
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        split.file = copyOf(path, std::strlen(path));
        return split;
    }
    split.file = copyOf(slash + 1, std::strlen(slash + 1));
    split.dir = copyOf(path, static_cast<size_t>(slash - path));
    if (split.file == nullptr || split.dir == nullptr) {
        std::free(split.file);
        std::free(split.dir);
        split = t_fileDir{nullptr, nullptr};
    }
    return split;
}

float FloatSwap(float f)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    bits = __builtin_bswap32(bits);
    float swapped = 0.0f;
    std::memcpy(&swapped, &bits, sizeof swapped);
    return swapped;
}

float max(float a, float b)
{
    return a > b ? a : b;
}

float min(float a, float b)
{
    return a < b ? a : b;
}

void Init_Server()
{
}

void ServerShutdown()
{
}
