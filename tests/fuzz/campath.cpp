// campath.cpp — fuzz target: arbitrary bytes as a camera path file, read
// whole from memory (--timedemo) and played sample by sample from a file
// (cam_play), which must agree and never take a value that is no camera
// state.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "camera/campath.h"

namespace {

void require(bool ok)
{
    if (!ok) {
        std::abort();
    }
}

bool sane(const t_camRecord& r)
{
    for (float v : {r.x, r.y, r.z, r.yaw, r.pitch, r.movespeed, r.turnspeed}) {
        if (!std::isfinite(v) || std::fabs(v) > kCamPathLimit) {
            return false;
        }
    }
    return true;
}

bool same(const t_camRecord& a, const t_camRecord& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.yaw == b.yaw && a.pitch == b.pitch &&
           a.movespeed == b.movespeed && a.turnspeed == b.turnspeed;
}

FILE* scratchFile()
{
    static FILE* f = [] {
        const int fd = memfd_create("campath", 0);
        return fd < 0 ? nullptr : fdopen(fd, "w+b");
    }();
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const t_camRecord start{1, 2, 3, 4, 5, 6, 7};
    t_camPath path;
    const bool ok = parseCamPath(data, size, start, path, nullptr);
    if (!ok) {
        require(size < 4);
        return 0;
    }
    require(path.trailingBytes == size % kCamRecordBytes);
    require(path.records.size() == size / kCamRecordBytes + (path.trailingBytes >= 4 ? 1 : 0));
    for (const t_camRecord& r : path.records) {
        require(sane(r));
    }

    // The same bytes played from a file: one record per sample, looping.
    FILE* f = scratchFile();
    if (f == nullptr || ftruncate(fileno(f), 0) != 0 || pwrite(fileno(f), data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    std::rewind(f);
    t_camRecord state = start;
    const size_t samples = std::min<size_t>(path.records.size() + 2, 64);
    for (size_t i = 0; i < samples; ++i) {
        bool wrapped = false;
        const size_t k = i % path.records.size();
        camPlaySample(f, state, &wrapped);
        require(sane(state));
        require(wrapped == (k + 1 == path.records.size()));
        if (i < path.records.size()) {
            require(same(state, path.records[i]));
        }
    }
    return 0;
}
