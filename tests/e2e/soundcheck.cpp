// soundcheck FILE — reads what SDL's disk audio driver captured (16-bit
// stereo, machine order) and checks that the demo is heard: not silent, and
// left and right not the same (the music is panned left of centre).
// Prints the figures; exit status 1 when a check fails.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: soundcheck FILE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<int16_t> s;
    int16_t pair[2];
    while (in.read(reinterpret_cast<char*>(pair), sizeof pair)) {
        s.insert(s.end(), pair, pair + 2);
    }
    double left = 0, right = 0, diff = 0;
    for (size_t i = 0; i + 1 < s.size(); i += 2) {
        left += double(s[i]) * s[i];
        right += double(s[i + 1]) * s[i + 1];
        diff += double(s[i] - s[i + 1]) * (s[i] - s[i + 1]);
    }
    const double frames = s.size() / 2 > 0 ? double(s.size() / 2) : 1.0;
    left = std::sqrt(left / frames);
    right = std::sqrt(right / frames);
    diff = std::sqrt(diff / frames);
    std::printf("soundcheck: %.2f s at 44.1 kHz, rms left %.0f right %.0f, rms left-right %.0f\n",
                frames / 44100.0, left, right, diff);
    const bool ok = frames >= 44100 * 0.5 && left > 300 && right > 300 && diff > 0.01 * (left + right) / 2;
    std::printf("soundcheck: %s\n", ok ? "ok" : "FAIL (too short, silent, or left equals right)");
    return ok ? 0 : 1;
}
