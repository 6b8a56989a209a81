// assetgen_sounds.cpp — the demo's sound samples, synthesised.
//
// levels/select/music.aiff   a four-bar loop, 16-bit mono AIFF at 11025 Hz
// levels/select/steps/       links.8svx and rechts.8svx: two footfalls,
//                            8-bit 8SVX at 8000 Hz, the right one lower
// levels/select/fire.wav     a crackling fire, 16-bit mono WAV at 11025 Hz,
//                            played as a positional loop
// All noise comes from an integer hash, so the bytes never change.
#include "tools/assetgen.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Noise in -1..1 from a sample index and a seed.
double Noise(uint32_t i, uint32_t seed)
{
    uint32_t h = i * 374761393u + seed * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<double>(h & 0xFFFF) / 32767.5 - 1.0;
}

int16_t ToS16(double v)
{
    v = v > 1.0 ? 1.0 : v < -1.0 ? -1.0 : v;
    return static_cast<int16_t>(std::lround(v * 32767.0));
}

void PutBe(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void PutTag(std::vector<uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; i++) {
        out.push_back(static_cast<uint8_t>(tag[i]));
    }
}

// AIFF, 16-bit mono: FORM/AIFF with COMM and SSND.  The rate is an 80-bit
// extended float; for a whole number below 2^16 it is exponent and mantissa.
std::vector<uint8_t> EncodeAiff16(const std::vector<int16_t>& samples, uint32_t rate)
{
    std::vector<uint8_t> out;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    PutTag(out, "FORM");
    PutBe(out, 4 + 26 + 16 + dataBytes, 4);
    PutTag(out, "AIFF");
    PutTag(out, "COMM");
    PutBe(out, 18, 4);
    PutBe(out, 1, 2);
    PutBe(out, static_cast<uint32_t>(samples.size()), 4);
    PutBe(out, 16, 2);
    int exponent = 0;
    while ((rate >> exponent) > 1) {
        exponent++;
    }
    PutBe(out, 16383 + exponent, 2);
    PutBe(out, rate << (31 - exponent), 4);
    PutBe(out, 0, 4);
    PutTag(out, "SSND");
    PutBe(out, 8 + dataBytes, 4);
    PutBe(out, 0, 4); // offset
    PutBe(out, 0, 4); // block size
    for (int16_t s : samples) {
        PutBe(out, static_cast<uint16_t>(s), 2);
    }
    return out;
}

// 8SVX: FORM/8SVX with VHDR (one-shot, rate, no compression, full volume)
// and BODY of signed 8-bit samples.
std::vector<uint8_t> Encode8svx(const std::vector<int16_t>& samples, uint32_t rate)
{
    const uint32_t n = static_cast<uint32_t>(samples.size());
    std::vector<uint8_t> out;
    PutTag(out, "FORM");
    PutBe(out, 4 + 28 + 8 + n + (n & 1), 4);
    PutTag(out, "8SVX");
    PutTag(out, "VHDR");
    PutBe(out, 20, 4);
    PutBe(out, n, 4); // one-shot part
    PutBe(out, 0, 4); // repeat part
    PutBe(out, 0, 4); // samples per high cycle
    PutBe(out, rate, 2);
    PutBe(out, 1, 1);       // octaves
    PutBe(out, 0, 1);       // no compression
    PutBe(out, 0x10000, 4); // volume 1.0
    PutTag(out, "BODY");
    PutBe(out, n, 4);
    for (int16_t s : samples) {
        out.push_back(static_cast<uint8_t>(s >> 8));
    }
    if (n & 1) {
        out.push_back(0);
    }
    return out;
}

// WAV, 16-bit mono PCM.
std::vector<uint8_t> EncodeWav16(const std::vector<int16_t>& samples, uint32_t rate)
{
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    PutTag(out, "RIFF");
    PutLe(out, 4 + 24 + 8 + dataBytes, 4);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe(out, 16, 4);
    PutLe(out, 1, 2); // PCM
    PutLe(out, 1, 2); // mono
    PutLe(out, rate, 4);
    PutLe(out, rate * 2, 4); // bytes per second
    PutLe(out, 2, 2);        // bytes per frame
    PutLe(out, 16, 2);
    PutTag(out, "data");
    PutLe(out, dataBytes, 4);
    for (int16_t s : samples) {
        PutLe(out, static_cast<uint16_t>(s), 2);
    }
    return out;
}

// Eight notes a bar over a bass note per bar, plucked (fast attack,
// exponential decay) so the loop point falls between notes.
std::vector<int16_t> Music(uint32_t rate)
{
    const int melody[32] = {0,  4,  7, 12, 7, 4,  0,  4,  -3, 0,  4, 9, 4, 0,  -3, 0,
                            -7, -3, 0, 5,  0, -3, -7, -3, -5, -1, 2, 7, 2, -1, -5, 2};
    const int bass[4] = {-24, -27, -31, -29};
    const uint32_t noteLen = rate / 8; // eight notes a second
    std::vector<int16_t> out(noteLen * 32);
    for (uint32_t i = 0; i < out.size(); i++) {
        const uint32_t note = i / noteLen;
        const double t = static_cast<double>(i % noteLen) / rate;
        const double tb = static_cast<double>(i % (noteLen * 8)) / rate;
        const double f = 440.0 * std::pow(2.0, melody[note] / 12.0);
        const double fb = 440.0 * std::pow(2.0, bass[note / 8] / 12.0);
        const double lead = std::sin(2 * kPi * f * t) * std::exp(-t * 9.0) * std::min(1.0, t * 400.0);
        const double low = std::sin(2 * kPi * fb * tb) * std::exp(-tb * 1.5) * std::min(1.0, tb * 200.0);
        out[i] = ToS16(0.45 * lead + 0.35 * low);
    }
    return out;
}

// A thud: low-passed noise under a falling tone, decaying in a tenth of a
// second.
std::vector<int16_t> Footstep(uint32_t rate, double pitch, uint32_t seed)
{
    std::vector<int16_t> out(rate * 3 / 20);
    double smooth = 0.0;
    for (uint32_t i = 0; i < out.size(); i++) {
        const double t = static_cast<double>(i) / rate;
        smooth += (Noise(i, seed) - smooth) * 0.25;
        const double tone = std::sin(2 * kPi * pitch * t * (1.0 - t * 2.0));
        out[i] = ToS16((1.2 * smooth + 0.4 * tone) * std::exp(-t * 35.0) * std::min(1.0, t * 800.0));
    }
    return out;
}

// Fire: a low rumble of filtered noise with sharp, decaying crackles at
// hashed moments.  The rumble's filter state wraps around, so the loop has
// no seam.
std::vector<int16_t> Fire(uint32_t rate)
{
    const uint32_t n = rate * 3;
    std::vector<int16_t> out(n);
    double low = 0.0;
    double pop = 0.0;
    for (int pass = 0; pass < 2; pass++) {
        for (uint32_t i = 0; i < n; i++) {
            low += (Noise(i, 11) - low) * 0.02;
            if ((Noise(i, 23) + 1.0) * 0.5 > 0.9994) {
                pop = Noise(i, 37) > 0 ? 1.0 : -1.0;
            }
            pop *= 0.93;
            const double crackle = pop * Noise(i, 41);
            out[i] = ToS16(2.5 * low + 0.6 * crackle);
        }
    }
    return out;
}

} // namespace

void GenerateSounds(AssetWriter& out)
{
    out.Write("levels/select/music.aiff", EncodeAiff16(Music(11025), 11025));
    out.Write("levels/select/steps/links.8svx", Encode8svx(Footstep(8000, 150.0, 1), 8000));
    out.Write("levels/select/steps/rechts.8svx", Encode8svx(Footstep(8000, 120.0, 2), 8000));
    out.Write("levels/select/fire.wav", EncodeWav16(Fire(11025), 11025));
}

} // namespace assetgen
