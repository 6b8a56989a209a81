// campath.cpp — fuzz target: arbitrary bytes as a camera path, read whole
// from memory (--timedemo) and played sample by sample from a file
// (cam_play); both must agree, loop at the same record and never take a
// value that is no camera state.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "camera/campath.h"

namespace {

std::array<float, kCamRecordFields> fields(const t_camRecord& r)
{
    return {r.x, r.y, r.z, r.yaw, r.pitch, r.movespeed, r.turnspeed};
}

bool sane(const t_camRecord& r)
{
    const auto v = fields(r);
    return std::all_of(v.begin(), v.end(), [](float x) { return std::fabs(x) <= kCamPathLimit; });
}

void require(bool ok)
{
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const t_camRecord start{1, 2, 3, 4, 5, 6, 7};
    t_camPath path;
    if (!parseCamPath(data, size, start, path, nullptr)) {
        require(size < 4);
        return 0;
    }
    require(path.trailingBytes == size % kCamRecordBytes);
    require(path.records.size() == size / kCamRecordBytes + (path.trailingBytes >= 4 ? 1 : 0));
    static FILE* f = fdopen(memfd_create("campath", 0), "w+b");
    if (f == nullptr || ftruncate(fileno(f), 0) != 0 || pwrite(fileno(f), data, size, 0) != ssize_t(size)) {
        return 0;
    }
    std::rewind(f);
    t_camRecord state = start;
    for (size_t i = 0; i < std::min<size_t>(path.records.size() + 2, 64); ++i) {
        const t_camRecord& want = path.records[i % path.records.size()];
        bool wrapped = false;
        camPlaySample(f, state, &wrapped);
        require(sane(state) && wrapped == (i % path.records.size() + 1 == path.records.size()));
        require(i >= path.records.size() || fields(state) == fields(want));
    }
    return 0;
}
