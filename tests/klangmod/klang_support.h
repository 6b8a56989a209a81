// klang_support.h — helpers for the sound module tests: a device that logs
// what the module asks of it, a hand-stepped clock, a temporary folder and
// builders for sample files.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    static void Add(void* user, const std::string& event)
    {
        auto* self = static_cast<RecordingDevice*>(user);
        std::lock_guard<std::mutex> guard(self->m_);
        self->events_.push_back(event);
    }
    static std::string S(uint64_t n) { return std::to_string(n); }

    const KlangAudioDevice table_{
        this,
        [](void* u, int channels, int sounds) {
            const bool ok = static_cast<RecordingDevice*>(u)->failOpens_-- <= 0 && channels == 8 && sounds == 256;
            Add(u, ok ? "open" : "open failed");
            return ok ? 1 : 0;
        },
        [](void* u) { Add(u, "close"); },
        [](void* u, uint16_t n, const KlangSampleInfo* i) {
            Add(u, "load " + S(n) + " type=" + S(i->type) + " frames=" + S(i->frames));
        },
        [](void* u, const KlangPlayRequest* r) {
            Add(u, "play " + S(r->sound) + " ch=" + S(r->channel) + " f=" + S(r->frequency) + " vol=" +
                       S(r->volume) + " pan=" + S(r->pan) + " loop=" + S(r->loop));
        },
        [](void* u, int ch) { Add(u, "stop " + S(ch)); },
        [](void* u, int ch, int32_t vol, uint32_t pan) {
            Add(u, "vol ch=" + S(ch) + " vol=" + S(vol) + " pan=" + S(pan));
        },
    };
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

// A byte string built from text tags, numbers and raw bytes.
struct Bytes : std::vector<uint8_t> {
    Bytes& tag(const std::string& text)
    {
        insert(end(), text.begin(), text.end());
        return *this;
    }
    Bytes& be(size_t x, int bytes = 4)
    {
        for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
            push_back(static_cast<uint8_t>(x >> shift));
        }
        return *this;
    }
    Bytes& le(size_t x, int bytes = 4)
    {
        for (int i = 0; i < bytes; i++) {
            push_back(static_cast<uint8_t>(x >> (8 * i)));
        }
        return *this;
    }
    Bytes& raw(const std::vector<uint8_t>& data)
    {
        insert(end(), data.begin(), data.end());
        return *this;
    }
};

inline std::vector<uint8_t> Ramp(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; i++) {
        v[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    return v;
}

// FORM/8SVX: VHDR, an odd-sized NAME chunk with its pad byte, BODY.
inline std::vector<uint8_t> Make8svx(const std::vector<uint8_t>& body)
{
    return Bytes()
        .tag("FORM").be(4 + 28 + 12 + 8 + body.size()).tag("8SVX")
        .tag("VHDR").be(20).raw(std::vector<uint8_t>(20))
        .tag("NAME").be(3).tag("abc").be(0, 1)
        .tag("BODY").be(body.size()).raw(body);
}

// FORM/AIFF: COMM (size as given, padded with zeros past 18; rate 22050 Hz)
// and SSND with the given offset before the data.
inline std::vector<uint8_t> MakeAiff(uint16_t channels, uint16_t bits, const std::vector<uint8_t>& data,
                                     uint32_t commSize = 18, uint32_t offset = 0)
{
    return Bytes()
        .tag("FORM").be(4 + 8 + commSize + 16 + offset + data.size()).tag("AIFF")
        .tag("COMM").be(commSize).be(channels, 2).be(data.size() / channels).be(bits, 2)
        .raw({0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}).raw(std::vector<uint8_t>(commSize - 18))
        .tag("SSND").be(8 + offset + data.size()).be(offset).be(0).raw(std::vector<uint8_t>(offset)).raw(data);
}

// RIFF/WAVE: fmt (format, channels, rate, bits) and data.
inline std::vector<uint8_t> MakeWav(uint16_t channels, uint16_t bits, uint32_t rate, const std::vector<uint8_t>& data,
                                    uint16_t format = 1)
{
    return Bytes()
        .tag("RIFF").le(4 + 24 + 8 + data.size()).tag("WAVE")
        .tag("fmt ").le(16).le(format, 2).le(channels, 2).le(rate).le(rate * channels * bits / 8)
        .le(channels * bits / 8, 2).le(bits, 2)
        .tag("data").le(data.size()).raw(data);
}

}  // namespace klangtest
