// klang_support.h — helpers for the sound module tests: a device that records
// what the module asks of it, a hand-stepped clock, a temporary folder and
// builders for 8SVX and AIFF files.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "klangmod/audio_device.h"

namespace klangtest {

// Records every call; open may be told to fail a number of times first.
// Safe to read from the test thread while the module's thread calls it.
class RecordingDevice {
public:
    struct Load {
        uint16_t sound;
        KlangSampleInfo info;
    };
    struct Vol {
        int channel;
        int32_t volume;
        uint32_t pan;
    };

    explicit RecordingDevice(int failOpens = 0) : failOpens_(failOpens)
    {
        table_ = KlangAudioDevice{this, Open, Close, LoadSound, Play, Stop, SetVol};
    }
    const KlangAudioDevice* device() const { return &table_; }

    int openCalls() const { return openCalls_.load(); }
    int opens() const { return opens_.load(); }
    int closes() const { return closes_.load(); }
    std::vector<Load> loads() const { return copy(loads_); }
    std::vector<KlangPlayRequest> plays() const { return copy(plays_); }
    std::vector<int> stops() const { return copy(stops_); }
    std::vector<Vol> vols() const { return copy(vols_); }

private:
    template <class T>
    std::vector<T> copy(const std::vector<T>& v) const
    {
        std::lock_guard<std::mutex> guard(m_);
        return v;
    }
    static RecordingDevice& Self(void* user) { return *static_cast<RecordingDevice*>(user); }
    static int Open(void* user, int channels, int sounds)
    {
        RecordingDevice& d = Self(user);
        const int call = ++d.openCalls_;
        if (call <= d.failOpens_ || channels != 8 || sounds != 256) {
            return 0;
        }
        ++d.opens_;
        return 1;
    }
    static void Close(void* user) { ++Self(user).closes_; }
    static void LoadSound(void* user, uint16_t sound, const KlangSampleInfo* info)
    {
        std::lock_guard<std::mutex> guard(Self(user).m_);
        Self(user).loads_.push_back(Load{sound, *info});
    }
    static void Play(void* user, const KlangPlayRequest* request)
    {
        std::lock_guard<std::mutex> guard(Self(user).m_);
        Self(user).plays_.push_back(*request);
    }
    static void Stop(void* user, int channel)
    {
        std::lock_guard<std::mutex> guard(Self(user).m_);
        Self(user).stops_.push_back(channel);
    }
    static void SetVol(void* user, int channel, int32_t volume, uint32_t pan)
    {
        std::lock_guard<std::mutex> guard(Self(user).m_);
        Self(user).vols_.push_back(Vol{channel, volume, pan});
    }

    KlangAudioDevice table_;
    int failOpens_;
    std::atomic<int> openCalls_{0};
    std::atomic<int> opens_{0};
    std::atomic<int> closes_{0};
    mutable std::mutex m_;
    std::vector<Load> loads_;
    std::vector<KlangPlayRequest> plays_;
    std::vector<int> stops_;
    std::vector<Vol> vols_;
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
        const char* made = mkdtemp(tmpl);
        path_ = made != nullptr ? made : "";
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes bytes to name and returns the full path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        const std::string p = file(name);
        FILE* f = std::fopen(p.c_str(), "wb");
        if (f != nullptr) {
            if (!bytes.empty()) {
                std::fwrite(bytes.data(), 1, bytes.size(), f);
            }
            std::fclose(f);
        }
        return p;
    }

private:
    std::string path_;
};

inline void PutTag(std::vector<uint8_t>& v, const char* tag)
{
    v.insert(v.end(), tag, tag + 4);
}
inline void PutBe32(std::vector<uint8_t>& v, uint32_t x)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        v.push_back(static_cast<uint8_t>(x >> shift));
    }
}
inline void PutBe16(std::vector<uint8_t>& v, uint16_t x)
{
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x));
}
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
    std::vector<uint8_t> v;
    PutTag(v, "FORM");
    PutBe32(v, static_cast<uint32_t>(4 + 28 + 11 + 8 + body.size()));
    PutTag(v, "8SVX");
    PutTag(v, "VHDR");
    PutBe32(v, 20);
    v.insert(v.end(), 20, 0);
    PutTag(v, "NAME");
    PutBe32(v, 3);
    v.insert(v.end(), {'a', 'b', 'c'});
    PutTag(v, "BODY");
    PutBe32(v, static_cast<uint32_t>(body.size()));
    v.insert(v.end(), body.begin(), body.end());
    return v;
}
constexpr size_t k8svxDataOffset = 59;

// FORM/AIFF with COMM (size field as given, always 18 bytes of content) and
// an SSND head of offset 0; the data start at byte 54.
inline std::vector<uint8_t> MakeAiff(uint16_t channels, uint16_t bits, const std::vector<uint8_t>& data,
                                     uint32_t commSize = 18)
{
    std::vector<uint8_t> v;
    PutTag(v, "FORM");
    PutBe32(v, static_cast<uint32_t>(46 + data.size()));
    PutTag(v, "AIFF");
    PutTag(v, "COMM");
    PutBe32(v, commSize);
    PutBe16(v, channels);
    PutBe32(v, static_cast<uint32_t>(data.size() / (channels ? channels : 1)));
    PutBe16(v, bits);
    v.insert(v.end(), {0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});   // 22050 Hz
    PutTag(v, "SSND");
    PutBe32(v, static_cast<uint32_t>(8 + data.size()));
    PutBe32(v, 0);
    PutBe32(v, 0);
    v.insert(v.end(), data.begin(), data.end());
    return v;
}
constexpr size_t kAiffDataOffset = 54;

}  // namespace klangtest
