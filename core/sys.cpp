// sys.cpp — system services: stack test, exit, frame clock, file helpers.
#include "core/sys.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "core/common.h"
#include "platform/exec.h"
#include "platform/files.h"
#include "platform/net.h"

uint8_t isON = 0;
float inittime = 0.0f;
SysClockFn g_sysClock = sysClockMicros;
SysStackProbeFn g_sysStackProbe = platformTcpStackPresent;

// Longest target path sysFileCopy accepts, in characters.
static constexpr size_t kMaxCopyPath = 255;
// Bytes moved per read/write while copying.
static constexpr size_t kCopyChunk = 64 * 1024;
// Largest file sysFileCopy copies: level data files are far smaller.
static constexpr uint64_t kMaxCopyBytes = uint64_t{256} << 20;

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
    // A directory or a FIFO opens too, but is nothing a caller could read as
    // a file.
    return IsRegularFile(name) ? 1 : 0;
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

// Creates the directories of an absolute or multi-component target
// directory as the user named it (existing ones matched under any case); a
// one-name target directory must exist already.  Returns a descriptor of the
// directory, or -1.
static int openTargetDir(const char* targetDir)
{
    const std::string dir(targetDir);
    const size_t first = dir.find('/');
    if (first != std::string::npos) {
        size_t slash = dir.find('/', first + 1);
        while (true) {
            const std::string prefix = dir.substr(0, slash);
            bool exists = false;
            const std::string resolved = ResolvePathString(prefix.c_str(), &exists);
            if (!exists && !resolved.empty()) {
                mkdir(resolved.c_str(), 0777);
            }
            if (slash == std::string::npos) {
                break;
            }
            slash = dir.find('/', slash + 1);
        }
    }
    const std::string resolved = ResolvePathString(targetDir);
    return open(resolved.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The entry of the directory dirFd that is `name` exactly or, failing that,
// under ASCII case folding (so "TEX" takes "tex"); `name` itself when none.
static std::string entryIgnoringCase(int dirFd, const std::string& name)
{
    struct stat st {};
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        return name;
    }
    const int listFd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* list = listFd >= 0 ? fdopendir(listFd) : nullptr;
    if (list == nullptr) {
        if (listFd >= 0) {
            close(listFd);
        }
        return name;
    }
    std::string best;
    while (const dirent* e = readdir(list)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0 && (best.empty() || best > e->d_name)) {
            best = e->d_name;
        }
    }
    closedir(list);
    return best.empty() ? name : best;
}

// Walks (creating what is missing) the directories of `source` below dirFd
// without following a symbolic link anywhere; the descriptor of the last one,
// or -1 when a component is a link or no directory.  *leaf gets the file name.
static int openSourceDirs(int dirFd, const char* source, std::string* leaf)
{
    int current = dup(dirFd);
    const char* comp = source;
    while (current >= 0) {
        const char* slash = std::strchr(comp, '/');
        if (slash == nullptr) {
            *leaf = entryIgnoringCase(current, comp);
            return current;
        }
        const std::string given(comp, static_cast<size_t>(slash - comp));
        comp = slash + 1;
        if (given.empty() || given == ".") {
            continue;
        }
        const std::string name = entryIgnoringCase(current, given);
        mkdirat(current, name.c_str(), 0777); // exists already: fine, opened below
        const int next = openat(current, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(current);
        current = next;
    }
    return -1;
}

// Moves every byte of in to out, at most maxBytes; false on a read or write
// error or a source that grew past the cap.
static bool copyStream(int in, int out, uint64_t maxBytes)
{
    std::string buffer(kCopyChunk, '\0');
    uint64_t total = 0;
    while (true) {
        const ssize_t got = read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        total += static_cast<uint64_t>(got);
        if (total > maxBytes) {
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return false;
            }
            done += put;
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
        std::printf("sysFileCopy( %s ): Zielpfad länger als %zu Zeichen - nicht kopiert\n", target.c_str(),
                    kMaxCopyPath);
        return 0;
    }
    // The source is opened first, so that a missing one, a directory, a FIFO
    // or a device leaves nothing behind.
    FileError sourceError = FileError::None;
    FILE* in = OpenRegularFile(source, "rb", &sourceError);
    if (in == nullptr) {
        if (sourceError != FileError::NotFound) {
            std::printf("sysFileCopy( %s ): Quelle %s - nicht kopiert\n", source, FileErrorText(sourceError));
        }
        return 0;
    }
    struct stat src {};
    if (fstat(fileno(in), &src) != 0) {
        std::printf("sysFileCopy( %s ): Quelle nicht lesbar - nicht kopiert\n", source);
        std::fclose(in);
        return 0;
    }
    if (static_cast<uint64_t>(src.st_size) > kMaxCopyBytes) {
        std::printf("sysFileCopy( %s ): Quelle größer als %llu MiB - nicht kopiert\n", source,
                    static_cast<unsigned long long>(kMaxCopyBytes >> 20));
        std::fclose(in);
        return 0;
    }
    // The target directory is the one the user chose and is taken as it is
    // named; below it nothing follows a symbolic link, so a link planted in
    // the save folder cannot send the copy elsewhere.
    const int topFd = openTargetDir(targetDir);
    std::string leaf;
    const int dirFd = topFd >= 0 ? openSourceDirs(topFd, source, &leaf) : -1;
    if (topFd >= 0) {
        close(topFd);
    }
    if (dirFd < 0) {
        std::printf("sysFileCopy( %s ): Zielordner fehlt oder ist ein Verweis - nicht kopiert\n", target.c_str());
        std::fclose(in);
        return 0;
    }
    struct stat dst {};
    if (fstatat(dirFd, leaf.c_str(), &dst, AT_SYMLINK_NOFOLLOW) == 0) {
        const char* why = nullptr;
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
            why = "Ziel ist die Quelle selbst";
        } else if (!S_ISREG(dst.st_mode)) {
            why = "Ziel ist keine normale Datei";
        }
        if (why != nullptr) {
            std::printf("sysFileCopy( %s ): %s - nicht kopiert\n", target.c_str(), why);
            close(dirFd);
            std::fclose(in);
            return 0;
        }
    }
    // Written under a fresh name and renamed over the target: the rename
    // replaces a link or hard link there instead of writing through it, and
    // a failed copy leaves the old target as it was.
    char tmpName[64];
    int out = -1;
    for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
        std::snprintf(tmpName, sizeof tmpName, ".copy-%d-%d.tmp", static_cast<int>(getpid()), attempt);
        out = openat(dirFd, tmpName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (out < 0 && errno != EEXIST) {
            break;
        }
    }
    if (out < 0) {
        std::printf("sysFileCopy( %s ): Ziel nicht anlegbar - nicht kopiert\n", target.c_str());
        close(dirFd);
        std::fclose(in);
        return 0;
    }
    const bool copied = copyStream(fileno(in), out, kMaxCopyBytes);
    std::fclose(in);
    const bool closed = close(out) == 0;
    const bool renamed = copied && closed && renameat(dirFd, tmpName, dirFd, leaf.c_str()) == 0;
    if (!renamed) {
        unlinkat(dirFd, tmpName, 0);
        std::printf("sysFileCopy( %s ): Lese- oder Schreibfehler - nicht kopiert\n", target.c_str());
    }
    close(dirFd);
    return renamed ? 1 : 0;
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
{}

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
{}

void ServerShutdown()
{}
