// Listens to a capture of the demo (SDL's disk driver: 16-bit stereo, 44.1
// kHz) in windows given as byte offsets, and prints per window:
//   - footsteps: matches of the footstep samples (8SVX, played at 8000 Hz)
//     by normalised cross-correlation with the side signal (left minus
//     right).  The steps are panned off centre, the fire exactly to it (it
//     drops out) and the music nearly so; their onsets do not count.
//   - the fire's level: the only sound with energy between 2 and 5 kHz (the
//     music is pure tones below 900 Hz, the steps are low thuds).
// vext_soundcheck CAPTURE STEPDIR NAME:FROM:TO...
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kDecimate = 4;    // correlate at 11025 Hz
constexpr double kMatch = 0.75; // a footstep; the other sounds reach about 0.55

std::vector<unsigned char> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// RBJ biquad: band-pass (kind 0), high-pass (1) or low-pass (2).
struct Biquad {
    double b[3], a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    Biquad(int kind, double f)
    {
        const double w = 2 * M_PI * f / kRate, alpha = std::sin(w) / 1.4, c = std::cos(w), a0 = 1 + alpha;
        const double k[3][3] = {{alpha, 0, -alpha}, {(1 + c) / 2, -1 - c, (1 + c) / 2}, {(1 - c) / 2, 1 - c, (1 - c) / 2}};
        for (int i = 0; i < 3; ++i) {
            b[i] = k[kind][i] / a0;
        }
        a1 = -2 * c / a0;
        a2 = (1 - alpha) / a0;
    }
    double operator()(double x)
    {
        const double y = b[0] * x + b[1] * x1 + b[2] * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

// The steps' band (thud and falling tone, without the fire's rumble and most
// of its crackle), decimated; the same for capture and templates.
std::vector<double> stepBand(const std::vector<double>& x)
{
    Biquad hp(1, 90), lp1(2, 900), lp2(2, 900);
    std::vector<double> out(x.size() / kDecimate);
    for (size_t i = 0; i < out.size() * kDecimate; ++i) {
        out[i / kDecimate] += lp2(lp1(hp(x[i]))) / kDecimate;
    }
    return out;
}

// A footstep as the mixer plays it (linear resampling from 8000 Hz), its
// first 80 ms.
std::vector<double> stepTemplate(const std::string& file)
{
    const std::vector<unsigned char> d = readFile(file);
    std::vector<double> s;
    for (size_t i = 12; i + 8 <= d.size() && s.empty();) {
        const size_t len = (size_t(d[i + 4]) << 24) | (size_t(d[i + 5]) << 16) | (size_t(d[i + 6]) << 8) | d[i + 7];
        for (size_t k = 0; std::equal(d.begin() + i, d.begin() + i + 4, "BODY") && k < len && i + 8 + k < d.size(); ++k) {
            s.push_back(static_cast<signed char>(d[i + 8 + k]) / 128.0);
        }
        i += 8 + len + (len & 1);
    }
    std::vector<double> up;
    for (double pos = 0; pos + 1 < s.size(); pos += 8000.0 / kRate) {
        const size_t k = static_cast<size_t>(pos);
        up.push_back(s[k] + (s[k + 1] - s[k]) * (pos - k));
    }
    std::vector<double> t = stepBand(up);
    t.resize(std::min(t.size(), size_t(0.08 * kRate / kDecimate)));
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<unsigned char> raw = readFile(argc > 3 ? argv[1] : "");
    const size_t frames = raw.size() / 4;
    std::vector<double> side(frames), band(frames);
    Biquad f1(0, 3200), f2(0, 3200);
    for (size_t i = 0; i < frames; ++i) {
        const int l = static_cast<int16_t>(raw[4 * i] | (raw[4 * i + 1] << 8));
        const int r = static_cast<int16_t>(raw[4 * i + 2] | (raw[4 * i + 3] << 8));
        side[i] = (l - r) / 65536.0;
        band[i] = f2(f1(l + r));
    }
    const std::vector<double> low = stepBand(side);
    const std::vector<double> templates[2] = {stepTemplate(std::string(argc > 2 ? argv[2] : "") + "/links.8svx"),
                                              stepTemplate(std::string(argc > 2 ? argv[2] : "") + "/rechts.8svx")};
    if (frames == 0 || templates[0].size() < 100 || templates[1].size() < 100) {
        std::printf("usage: vext_soundcheck CAPTURE STEPDIR NAME:FROM:TO... (capture or footsteps unreadable)\n");
        return 2;
    }
    for (int a = 3; a < argc; ++a) {
        char name[64];
        size_t from = 0, to = 0;
        if (std::sscanf(argv[a], "%63[^:]:%zu:%zu", name, &from, &to) != 3) {
            return 2;
        }
        const size_t f0 = std::min(from / 4, frames), f1e = std::max(f0, std::min(to / 4, frames));
        int steps = 0;
        double best = 0.0;
        long lastHit = -100000;
        for (size_t i = f0 / kDecimate; i < f1e / kDecimate; ++i) {
            double c = 0.0;
            for (const std::vector<double>& t : templates) {
                double xt = 0, xx = 0, tt = 0;
                for (size_t k = 0; k < t.size() && i + k < low.size(); ++k) {
                    xt += low[i + k] * t[k], xx += low[i + k] * low[i + k], tt += t[k] * t[k];
                }
                // Left and right step lie on opposite sides: opposite signs.
                c = std::max(c, xx > 0 ? std::fabs(xt) / std::sqrt(xx * tt) : 0.0);
            }
            best = std::max(best, c);
            if (c > kMatch && long(i) - lastHit > long(0.1 * kRate / kDecimate)) {
                ++steps, lastHit = long(i);
            }
        }
        double e = 0.0;
        for (size_t i = f0; i < f1e; ++i) {
            e += band[i] * band[i];
        }
        std::printf("%s %.2f s: footsteps %d (best match %.2f), fire band %.1f\n", name, (f1e - f0) / kRate, steps,
                    best, f1e > f0 ? std::sqrt(e / (f1e - f0)) : 0.0);
    }
    return 0;
}
