// campath.cpp — path records in big-endian floats, the looping playback and
// the recording on one file position, and the names and folder of grabbed
// frames; see campath.h.
#include "camera/campath.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/exec.h"

namespace {

constexpr const char* kGrabDir = "SCRSHT";

float* fieldsOf(t_camRecord& r, int i)
{
    float* const fields[kCamRecordFields] = {&r.x, &r.y, &r.z, &r.yaw, &r.pitch, &r.movespeed, &r.turnspeed};
    return fields[i];
}

// The file's length as the file system has it; pending writes are flushed
// first so that a sample just recorded counts.
bool fileLength(FILE* file, uint64_t& length)
{
    struct stat st {};
    if (std::fflush(file) != 0 || fstat(fileno(file), &st) != 0) {
        return false;
    }
    length = static_cast<uint64_t>(st.st_size);
    return true;
}

} // namespace

void encodeCamRecord(const t_camRecord& record, uint8_t out[kCamRecordBytes])
{
    t_camRecord copy = record;
    for (int i = 0; i < kCamRecordFields; ++i) {
        uint32_t bits = 0;
        std::memcpy(&bits, fieldsOf(copy, i), 4);
        for (int b = 0; b < 4; ++b) {
            out[i * 4 + b] = static_cast<uint8_t>(bits >> (24 - 8 * b));
        }
    }
}

int decodeCamRecord(const uint8_t* bytes, size_t size, t_camRecord& record, int* skipped)
{
    const int present = static_cast<int>(std::min<size_t>(size / 4, kCamRecordFields));
    int bad = 0;
    for (int i = 0; i < present; ++i) {
        const uint8_t* p = bytes + i * 4;
        const uint32_t bits = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        float value = 0.0f;
        std::memcpy(&value, &bits, 4);
        if (!std::isfinite(value) || std::fabs(value) > kCamPathLimit) {
            ++bad;
            continue;
        }
        *fieldsOf(record, i) = value;
    }
    if (skipped != nullptr) {
        *skipped = bad;
    }
    return present;
}

bool parseCamPath(const uint8_t* data, size_t size, const t_camRecord& start, t_camPath& out, std::string* problem)
{
    out = t_camPath{};
    auto fail = [&](const char* why) {
        if (problem != nullptr) {
            *problem = why;
        }
        return false;
    };
    if (size > kCamPathMaxBytes) {
        return fail("länger als zwei Stunden Kamerafahrt");
    }
    // A cut record counts only when it holds one whole float.
    if (data == nullptr || size < 4) {
        return fail("keine Kameradaten (leer oder kürzer als eine Zahl)");
    }
    out.trailingBytes = size % kCamRecordBytes;
    const uint64_t records = size / kCamRecordBytes + (out.trailingBytes >= 4 ? 1 : 0);
    out.records.reserve(static_cast<size_t>(records));
    t_camRecord state = start;
    for (uint64_t offset = 0; offset + 4 <= size; offset += kCamRecordBytes) {
        int skipped = 0;
        decodeCamRecord(data + offset, static_cast<size_t>(std::min<uint64_t>(kCamRecordBytes, size - offset)), state,
                        &skipped);
        out.skippedFields += static_cast<size_t>(skipped);
        out.records.push_back(state);
    }
    return true;
}

int camPlaySample(FILE* file, t_camRecord& state, bool* wrapped)
{
    if (wrapped != nullptr) {
        *wrapped = false;
    }
    uint64_t length = 0;
    if (file == nullptr || !fileLength(file, length) || length == 0) {
        return 0;
    }
    const long at = std::ftell(file);
    uint64_t pos = at < 0 ? 0 : static_cast<uint64_t>(at);
    // Fewer than four bytes left hold no value: the path starts again.
    if (pos + 4 > length) {
        pos = 0;
    }
    if (std::fseek(file, static_cast<long>(pos), SEEK_SET) != 0) {
        return 0;
    }
    uint8_t bytes[kCamRecordBytes];
    const size_t got = std::fread(bytes, 1, sizeof bytes, file);
    const int fields = decodeCamRecord(bytes, got, state);
    if (pos + got + 4 > length || got < sizeof bytes) {
        std::fseek(file, 0, SEEK_SET);
        if (wrapped != nullptr) {
            *wrapped = true;
        }
    }
    return fields;
}

bool camRecordSample(FILE* file, const t_camRecord& state)
{
    if (file == nullptr) {
        return false;
    }
    const long at = std::ftell(file);
    if (at < 0 || static_cast<uint64_t>(at) + kCamRecordBytes > kCamPathMaxBytes) {
        return false;
    }
    // Switching from reading to writing needs a seek in between.
    if (std::fseek(file, at, SEEK_SET) != 0) {
        return false;
    }
    uint8_t bytes[kCamRecordBytes];
    encodeCamRecord(state, bytes);
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes && std::fflush(file) == 0;
}

void grabFileName(int32_t number, char* out, size_t outSize)
{
    std::snprintf(out, outSize, "%s/Screenshot%04i.ppm", kGrabDir, static_cast<int>(number));
}

bool grabDirReady(std::string* why)
{
    bool exists = false;
    const std::string dir = ResolvePathString(kGrabDir, &exists);
    if (!exists && mkdir(kGrabDir, 0755) != 0 && errno != EEXIST) {
        if (why != nullptr) {
            *why = std::string(kGrabDir) + " kann nicht angelegt werden: " + std::strerror(errno);
        }
        return false;
    }
    struct stat st {};
    // lstat: a link named SCRSHT could lead the frames out of the data folder.
    if (lstat(exists ? dir.c_str() : kGrabDir, &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (why != nullptr) {
            *why = std::string(kGrabDir) + " ist kein Verzeichnis hier (eine Verknüpfung oder Datei)";
        }
        return false;
    }
    return true;
}

bool grabFileWritable(const char* file)
{
    const std::string path = ResolvePathString(file);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(st.st_mode);
}
