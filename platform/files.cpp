// files.cpp — regular files only, never blocking, capped reads.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "platform/exec.h"

const char* FileErrorText(FileError error)
{
    switch (error) {
    case FileError::None: return "gelesen";
    case FileError::NotFound: return "nicht gefunden";
    case FileError::NotRegular: return "keine normale Datei";
    case FileError::TooLarge: return "zu groß";
    case FileError::ReadFailed: return "nicht lesbar";
    case FileError::NoMemory: return "kein Speicher";
    }
    return "?";
}

namespace {

// Opens read-only and non-blocking (a FIFO without a writer would otherwise
// wait for ever), then keeps the descriptor only when it is a regular file.
int openRegularFd(const char* path, FileError* error)
{
    *error = FileError::NotFound;
    if (path == nullptr || path[0] == '\0') {
        return -1;
    }
    const std::string resolved = ResolvePathString(path);
    const int fd = open(resolved.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno == ENOENT || errno == ENOTDIR ? FileError::NotFound : FileError::ReadFailed;
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        *error = FileError::NotRegular;
        return -1;
    }
    // Regular files never block; clear the flag so stdio behaves as usual.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *error = FileError::None;
    return fd;
}

template <typename Buffer>
FileError readCapped(const char* path, size_t maxBytes, Buffer& out)
{
    out.clear();
    FileError error = FileError::None;
    const int fd = openRegularFd(path, &error);
    if (fd < 0) {
        return error;
    }
    struct stat st {};
    fstat(fd, &st);
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        close(fd);
        return FileError::TooLarge;
    }
    try {
        out.resize(static_cast<size_t>(st.st_size));
        size_t have = 0;
        // The file may grow or shrink while it is read: stop at its end, and
        // refuse it when it grows past the cap.
        while (true) {
            if (have == out.size()) {
                if (out.size() >= maxBytes + 1) {
                    break;
                }
                out.resize(std::min(maxBytes + 1, out.size() + 65536));
            }
            const ssize_t got = read(fd, &out[have], out.size() - have);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                close(fd);
                out.clear();
                return FileError::ReadFailed;
            }
            if (got == 0) {
                break;
            }
            have += static_cast<size_t>(got);
        }
        out.resize(have);
    } catch (const std::bad_alloc&) {
        close(fd);
        out.clear();
        return FileError::NoMemory;
    }
    close(fd);
    if (out.size() > maxBytes) {
        out.clear();
        return FileError::TooLarge;
    }
    return FileError::None;
}

} // namespace

FILE* OpenRegularFile(const char* path, const char* mode, FileError* error)
{
    FileError local = FileError::None;
    FileError* err = error != nullptr ? error : &local;
    const int fd = openRegularFd(path, err);
    if (fd < 0) {
        return nullptr;
    }
    FILE* f = fdopen(fd, mode);
    if (f == nullptr) {
        close(fd);
        *err = FileError::ReadFailed;
    }
    return f;
}

namespace {

// The part the update and the write share: opens the resolved path with
// flags plus non-blocking and no-follow (a link in the last component is
// refused with ELOOP, a FIFO without a reader with ENXIO when writing), keeps
// the descriptor only for a regular file of at most maxBytes, then calls
// prepare (may be null) and wraps it in a FILE with mode, blocking again.
FILE* openRegularNoFollow(const char* path, int flags, uint64_t maxBytes, bool (*prepare)(int fd), const char* mode,
                          FileError* error)
{
    FileError local = FileError::None;
    FileError* err = error != nullptr ? error : &local;
    *err = FileError::NotFound;
    if (path == nullptr || path[0] == '\0') {
        return nullptr;
    }
    const std::string resolved = ResolvePathString(path);
    const int fd = open(resolved.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        *err = errno == ENOENT || errno == ENOTDIR                   ? FileError::NotFound
               : errno == ELOOP || errno == ENXIO || errno == EISDIR ? FileError::NotRegular
                                                                     : FileError::ReadFailed;
        return nullptr;
    }
    struct stat st {};
    FILE* f = nullptr;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *err = FileError::NotRegular;
    } else if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        *err = FileError::TooLarge;
    } else if ((prepare != nullptr && !prepare(fd)) || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
               (f = fdopen(fd, mode)) == nullptr) {
        *err = FileError::ReadFailed;
    } else {
        *err = FileError::None;
        return f;
    }
    close(fd);
    return nullptr;
}

// Emptied only once the name is known to be a regular file: a device or
// the target of a refused name is never cut short.
bool emptyFile(int fd)
{
    return ftruncate(fd, 0) == 0;
}

} // namespace

FILE* OpenRegularFileForUpdate(const char* path, uint64_t maxBytes, FileError* error)
{
    return openRegularNoFollow(path, O_RDWR, maxBytes, nullptr, "r+b", error);
}

FILE* OpenRegularFileForWrite(const char* path, bool append, FileError* error)
{
    return append ? openRegularNoFollow(path, O_WRONLY | O_CREAT | O_APPEND, UINT64_MAX, nullptr, "ab", error)
                  : openRegularNoFollow(path, O_WRONLY | O_CREAT, UINT64_MAX, emptyFile, "wb", error);
}

bool IsRegularFile(const char* path)
{
    FileError error = FileError::None;
    const int fd = openRegularFd(path, &error);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

FileError ReadRegularFile(const char* path, size_t maxBytes, std::vector<uint8_t>& out)
{
    return readCapped(path, maxBytes, out);
}

FileError ReadRegularFile(const char* path, size_t maxBytes, std::string& out)
{
    return readCapped(path, maxBytes, out);
}
