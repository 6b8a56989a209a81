// Analyses a sound capture of the demo (SDL's disk driver: 16-bit stereo at
// 44.1 kHz) in windows the end-to-end test marked by byte offsets:
//   - footsteps: the footstep samples (8SVX, played at their own 8000 Hz) are
//     found by normalised cross-correlation with the side signal (left minus
//     right) of the capture.  The steps are panned off centre (left foot
//     left, right foot right), the fire loop exactly to the centre, so it
//     drops out, and the music lies almost at the centre; its onsets and the
//     fire's crackles do not count as steps;
//   - the fire loop's level: the fire is the only sound with energy between
//     2 and 5 kHz (the music is pure tones below 900 Hz, the footsteps are
//     low thuds), so a band-pass level follows its volume.
// vext_soundcheck CAPTURE STEPDIR NAME:FROM:TO...   (offsets in bytes)
// prints per window the footsteps found and the fire band level.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kDecimate = 4;          // correlate at 11025 Hz
constexpr double kStepRate = 8000.0;  // the level plays the footsteps at 8000 Hz
constexpr double kTemplateSeconds = 0.08;
constexpr double kMatch = 0.75;       // correlation that counts as a footstep (others reach about 0.55)
constexpr double kPi = 3.14159265358979323846;

std::vector<unsigned char> readFile(const std::string& path)
{
    std::vector<unsigned char> out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        unsigned char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
            out.insert(out.end(), buf, buf + n);
        }
        std::fclose(f);
    }
    return out;
}

// The BODY of an 8SVX file as samples in -1..1.
std::vector<double> body8svx(const std::string& path)
{
    const std::vector<unsigned char> d = readFile(path);
    for (size_t i = 12; i + 8 <= d.size();) {
        const size_t len = (size_t(d[i + 4]) << 24) | (size_t(d[i + 5]) << 16) | (size_t(d[i + 6]) << 8) | d[i + 7];
        if (std::memcmp(&d[i], "BODY", 4) == 0) {
            std::vector<double> s;
            for (size_t k = 0; k < len && i + 8 + k < d.size(); ++k) {
                s.push_back(static_cast<signed char>(d[i + 8 + k]) / 128.0);
            }
            return s;
        }
        i += 8 + len + (len & 1);
    }
    return {};
}

struct Biquad { // RBJ cookbook filters
    enum Kind { BandPass, HighPass, LowPass };
    double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    Biquad(Kind kind, double f, double q)
    {
        const double w = 2 * kPi * f / kRate;
        const double alpha = std::sin(w) / (2 * q);
        const double c = std::cos(w);
        const double a0 = 1 + alpha;
        if (kind == BandPass) {
            b0 = alpha;
            b1 = 0;
            b2 = -alpha;
        } else if (kind == HighPass) {
            b0 = (1 + c) / 2;
            b1 = -(1 + c);
            b2 = (1 + c) / 2;
        } else {
            b0 = (1 - c) / 2;
            b1 = 1 - c;
            b2 = (1 - c) / 2;
        }
        b0 /= a0;
        b1 /= a0;
        b2 /= a0;
        a1 = -2 * c / a0;
        a2 = (1 - alpha) / a0;
    }
    double operator()(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// The footsteps' band (their thud and falling tone) without the fire's
// rumble below it and most of its crackle above, then decimated by
// averaging; the same for the capture and the templates.
std::vector<double> stepBand(const std::vector<double>& x)
{
    Biquad hp(Biquad::HighPass, 90, 0.7), lp1(Biquad::LowPass, 900, 0.7), lp2(Biquad::LowPass, 900, 0.7);
    std::vector<double> out(x.size() / kDecimate);
    for (size_t i = 0; i < out.size() * kDecimate; ++i) {
        out[i / kDecimate] += lp2(lp1(hp(x[i]))) / kDecimate;
    }
    return out;
}

// A footstep as the mixer plays it: resampled linearly from 8000 Hz to the
// output rate, then put through stepBand; cut to its loud start.
std::vector<double> stepTemplate(const std::vector<double>& s)
{
    std::vector<double> up;
    for (size_t i = 0;; ++i) {
        const double pos = i * kStepRate / kRate;
        const size_t k = static_cast<size_t>(pos);
        if (k + 1 >= s.size()) {
            break;
        }
        up.push_back(s[k] + (s[k + 1] - s[k]) * (pos - k));
    }
    std::vector<double> t = stepBand(up);
    t.resize(std::min(t.size(), static_cast<size_t>(kTemplateSeconds * kRate / kDecimate)));
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: vext_soundcheck CAPTURE STEPDIR NAME:FROM:TO...\n");
        return 2;
    }
    const std::vector<unsigned char> raw = readFile(argv[1]);
    const size_t frames = raw.size() / 4;
    std::vector<double> mono(frames);
    std::vector<double> side(frames);
    for (size_t i = 0; i < frames; ++i) {
        const int l = static_cast<int16_t>(raw[4 * i] | (raw[4 * i + 1] << 8));
        const int r = static_cast<int16_t>(raw[4 * i + 2] | (raw[4 * i + 3] << 8));
        mono[i] = (l + r) / 65536.0;
        side[i] = (l - r) / 65536.0;
    }
    const std::vector<double> low = stepBand(side);
    std::vector<double> band(frames);
    Biquad f1(Biquad::BandPass, 3200, 0.8), f2(Biquad::BandPass, 3200, 0.8);
    for (size_t i = 0; i < frames; ++i) {
        band[i] = f2(f1(mono[i]));
    }
    std::vector<std::vector<double>> templates;
    for (const char* name : {"links.8svx", "rechts.8svx"}) {
        const std::vector<double> t = stepTemplate(body8svx(std::string(argv[2]) + "/" + name));
        if (t.size() < 100) {
            std::printf("no footstep sample %s in %s\n", name, argv[2]);
            return 1;
        }
        templates.push_back(t);
    }

    for (int a = 3; a < argc; ++a) {
        char name[64];
        long from = 0;
        long to = 0;
        if (std::sscanf(argv[a], "%63[^:]:%ld:%ld", name, &from, &to) != 3 || from < 0 || to <= from) {
            std::fprintf(stderr, "bad window %s\n", argv[a]);
            return 2;
        }
        const size_t f0 = std::min<size_t>(from / 4, frames);
        const size_t f1e = std::min<size_t>(to / 4, frames);
        // Footsteps: peaks of the correlation at least 0.1 s apart.
        const size_t l0 = f0 / kDecimate;
        const size_t l1 = f1e / kDecimate;
        int steps = 0;
        double best = 0.0;
        long lastHit = -100000;
        for (size_t i = l0; i + 1 < l1; ++i) {
            double c = 0.0;
            for (const std::vector<double>& t : templates) {
                if (i + t.size() > low.size()) {
                    continue;
                }
                double xt = 0, xx = 0, tt = 0;
                for (size_t k = 0; k < t.size(); ++k) {
                    xt += low[i + k] * t[k];
                    xx += low[i + k] * low[i + k];
                    tt += t[k] * t[k];
                }
                // The left step lies left of centre, the right one right of
                // it: in the side signal they have opposite signs.
                c = std::max(c, xx > 0 ? std::fabs(xt) / std::sqrt(xx * tt) : 0.0);
            }
            best = std::max(best, c);
            if (c > kMatch && long(i) - lastHit > long(0.1 * kRate / kDecimate)) {
                ++steps;
                lastHit = long(i);
            }
        }
        double e = 0.0;
        for (size_t i = f0; i < f1e; ++i) {
            e += band[i] * band[i];
        }
        const double level = f1e > f0 ? std::sqrt(e / (f1e - f0)) * 32768.0 : 0.0;
        std::printf("%s %.2f s: footsteps %d (best match %.2f), fire band %.1f\n", name, (f1e - f0) / kRate, steps,
                    best, level);
    }
    return 0;
}
