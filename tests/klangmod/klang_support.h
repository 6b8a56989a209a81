// klang_support.h — helpers for the sound module tests: a device that logs
// what the module asks of it, a hand-stepped clock, a temporary folder and
// sample files.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "klangmod/audio_device.h"

namespace klangtest {

using Events = std::vector<std::string>;

// Logs every call as one line ("play 0 ch=1 f=50 vol=16384 pan=0 loop=1");
// open fails its first `failOpens` calls.  Safe to read while the module's
// thread calls it.
class RecordingDevice {
public:
    explicit RecordingDevice(int failOpens = 0) : failOpens_(failOpens) {}
    const KlangAudioDevice* device() const { return &table_; }
    Events events() const
    {
        std::lock_guard<std::mutex> guard(m_);
        return events_;
    }

private:
    template <class... Args>
    static void Add(void* user, const char* format, Args... args)
    {
        auto* self = static_cast<RecordingDevice*>(user);
        char text[128];
        std::snprintf(text, sizeof text, format, args...);
        std::lock_guard<std::mutex> guard(self->m_);
        self->events_.push_back(text);
    }
    static int Open(void* u, int channels, int sounds)
    {
        const bool ok = static_cast<RecordingDevice*>(u)->failOpens_-- <= 0 && channels == 8 && sounds == 256;
        Add(u, ok ? "open" : "open failed");
        return ok ? 1 : 0;
    }

    const KlangAudioDevice table_{
        this, Open, [](void* u) { Add(u, "close"); },
        [](void* u, uint16_t n, const KlangSampleInfo* i) {
            Add(u, "load %u type=%u frames=%zu", n, i->type, size_t(i->frames));
        },
        [](void* u, const KlangPlayRequest* r) {
            Add(u, "play %u ch=%d f=%u vol=%d pan=%u loop=%d", r->sound, r->channel, r->frequency, r->volume,
                r->pan, r->loop);
        },
        [](void* u, int ch) { Add(u, "stop %d", ch); },
        [](void* u, int ch, int32_t v, uint32_t p) { Add(u, "vol ch=%d vol=%d pan=%u", ch, v, p); }};
    std::atomic<int> failOpens_;
    mutable std::mutex m_;
    Events events_;
};

// Calendar seconds the tests step by hand.
inline std::atomic<int64_t> g_fakeNow{1000000};
inline int64_t FakeClock(void)
{
    return g_fakeNow.load();
}

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/klangmod_testXXXXXX";
        path_ = mkdtemp(tmpl) != nullptr ? tmpl : "";
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes bytes to name and returns the full path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        const std::string p = file(name);
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p;
    }

private:
    std::string path_;
};

// A seed file of the sample reader's fuzz target: a kind byte (0 8SVX,
// 1 AIFF, 2 WAV, 3 raw), then the file.
inline std::vector<uint8_t> Seed(const std::string& name)
{
    std::ifstream in(std::string(VEXT_SOURCE_DIR) + "/tests/fuzz/corpus/sample/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::vector<uint8_t> SeedFile(const std::string& name)
{
    const std::vector<uint8_t> seed = Seed(name);
    return std::vector<uint8_t>(seed.begin() + 1, seed.end());
}

}  // namespace klangtest
