// klang_support.h — helpers for the sound module tests: a device that logs
// what the module asks of it, a hand-stepped clock, a temporary folder and
// builders for 8SVX and AIFF files.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "klangmod/audio_device.h"

namespace klangtest {

using Events = std::vector<std::string>;

// Logs every call as one line of text ("play 0 ch=1 f=50 vol=16384 pan=0
// loop=1"); open fails its first `failOpens` calls.  Safe to read while the
// module's thread calls it.
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
    static std::string Str(uint64_t n) { return std::to_string(n); }
    static int Open(void* user, int channels, int sounds)
    {
        const bool ok = static_cast<RecordingDevice*>(user)->failOpens_-- <= 0 && channels == 8 && sounds == 256;
        Add(user, ok ? "open" : "open failed");
        return ok ? 1 : 0;
    }
    static void Close(void* user) { Add(user, "close"); }
    static void Load(void* user, uint16_t sound, const KlangSampleInfo* i)
    {
        Add(user, "load " + Str(sound) + " type=" + Str(i->type) + " frames=" + Str(i->frames));
    }
    static void Play(void* user, const KlangPlayRequest* r)
    {
        Add(user, "play " + Str(r->sound) + " ch=" + Str(r->channel) + " f=" + Str(r->frequency) +
                      " vol=" + Str(r->volume) + " pan=" + Str(r->pan) + " loop=" + Str(r->loop));
    }
    static void Stop(void* user, int channel) { Add(user, "stop " + Str(channel)); }
    static void SetVol(void* user, int channel, int32_t volume, uint32_t pan)
    {
        Add(user, "vol ch=" + Str(channel) + " vol=" + Str(volume) + " pan=" + Str(pan));
    }

    const KlangAudioDevice table_{this, Open, Close, Load, Play, Stop, SetVol};
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

// A byte string built from text tags, big-endian numbers and raw bytes.
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

// FORM/8SVX with a 20-byte VHDR and an odd-sized NAME chunk (no pad byte)
// before BODY.  The data start at byte 12 + 28 + 11 + 8 = 59.
inline std::vector<uint8_t> Make8svx(const std::vector<uint8_t>& body)
{
    return Bytes()
        .tag("FORM").be(4 + 28 + 11 + 8 + body.size()).tag("8SVX")
        .tag("VHDR").be(20).raw(std::vector<uint8_t>(20))
        .tag("NAME").be(3).tag("abc")
        .tag("BODY").be(body.size()).raw(body);
}
constexpr size_t k8svxDataOffset = 59;

// FORM/AIFF with COMM (size field as given, always 18 bytes of content, rate
// 22050 Hz) and an SSND head of offset 0; the data start at byte 54.
inline std::vector<uint8_t> MakeAiff(uint16_t channels, uint16_t bits, const std::vector<uint8_t>& data,
                                     uint32_t commSize = 18)
{
    return Bytes()
        .tag("FORM").be(46 + data.size()).tag("AIFF")
        .tag("COMM").be(commSize).be(channels, 2).be(data.size() / channels).be(bits, 2)
        .raw({0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0})
        .tag("SSND").be(8 + data.size()).be(0, 8).raw(data);
}
constexpr size_t kAiffDataOffset = 54;

}  // namespace klangtest
