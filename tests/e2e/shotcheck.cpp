// Checks screenshots of the demo level taken by the end-to-end tests:
// a binary PPM whose upper part (sky) and lower part (terrain) differ, that
// is not one flat colour, and that carries the frame-rate text (bright
// glyph pixels in the strip the "fps: N" line is drawn into, top-left).
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

struct Image {
    int w = 0;
    int h = 0;
    std::vector<unsigned char> rgb;
};

bool readPPM(const char* path, Image& img)
{
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return false;
    }
    int maxval = 0;
    const bool ok = std::fscanf(f, "P6 %d %d %d", &img.w, &img.h, &maxval) == 3 && std::fgetc(f) != EOF &&
                    img.w > 0 && img.h > 0 && img.w <= 16384 && img.h <= 16384;
    if (ok) {
        img.rgb.resize(static_cast<size_t>(img.w) * img.h * 3);
    }
    const bool read = ok && std::fread(img.rgb.data(), 1, img.rgb.size(), f) == img.rgb.size();
    std::fclose(f);
    return read;
}

const unsigned char* px(const Image& img, int x, int y)
{
    return &img.rgb[(static_cast<size_t>(y) * img.w + x) * 3];
}

// Mean colour of rows [y0, y1).
void meanRows(const Image& img, int y0, int y1, double out[3])
{
    out[0] = out[1] = out[2] = 0.0;
    for (int y = y0; y < y1; ++y) {
        for (int x = 0; x < img.w; ++x) {
            for (int c = 0; c < 3; ++c) {
                out[c] += px(img, x, y)[c];
            }
        }
    }
    const double n = static_cast<double>(y1 - y0) * img.w;
    for (int c = 0; c < 3; ++c) {
        out[c] /= n;
    }
}

bool check(const char* path)
{
    Image img;
    if (!readPPM(path, img)) {
        std::printf("%s: not a readable binary PPM\n", path);
        return false;
    }
    std::set<unsigned> colours;
    for (size_t i = 0; i + 2 < img.rgb.size(); i += 3) {
        colours.insert((img.rgb[i] << 16) | (img.rgb[i + 1] << 8) | img.rgb[i + 2]);
    }
    if (colours.size() < 16) {
        std::printf("%s: only %zu colours, the scene is missing\n", path, colours.size());
        return false;
    }
    double top[3];
    double bottom[3];
    meanRows(img, 0, img.h / 4, top);
    meanRows(img, img.h * 3 / 4, img.h, bottom);
    const double diff = std::abs(top[0] - bottom[0]) + std::abs(top[1] - bottom[1]) + std::abs(top[2] - bottom[2]);
    if (diff < 12.0) {
        std::printf("%s: sky and ground look alike (difference %.1f)\n", path, diff);
        return false;
    }
    // "fps: N" at pixel (50, 10) with 8 x 8 glyphs: look for bright pixels.
    int bright = 0;
    for (int y = 10; y < 18 && y < img.h; ++y) {
        for (int x = 50; x < 50 + 8 * 7 && x < img.w; ++x) {
            const unsigned char* p = px(img, x, y);
            if (p[0] > 200 && p[1] > 200 && p[2] > 200) {
                ++bright;
            }
        }
    }
    if (bright < 10) {
        std::printf("%s: no frame-rate text at (50, 10)\n", path);
        return false;
    }
    return true;
}

// Share of the block x block squares from row `top` down (below the text
// strip) whose mean colours in a and b differ by more than `limit`, summed
// over the channels; -1 when the shots cannot be compared.
double changedShare(const char* a, const char* b, int block, int top, double limit)
{
    Image ia;
    Image ib;
    if (!readPPM(a, ia) || !readPPM(b, ib) || ia.w != ib.w || ia.h != ib.h) {
        std::printf("%s / %s: unreadable or of different sizes\n", a, b);
        return -1.0;
    }
    long blocks = 0;
    long changed = 0;
    for (int by = top; by + block <= ia.h; by += block) {
        for (int bx = 0; bx + block <= ia.w; bx += block) {
            double diff = 0.0;
            for (int c = 0; c < 3; ++c) {
                long sa = 0;
                long sb = 0;
                for (int y = by; y < by + block; ++y) {
                    for (int x = bx; x < bx + block; ++x) {
                        sa += px(ia, x, y)[c];
                        sb += px(ib, x, y)[c];
                    }
                }
                diff += std::abs(static_cast<double>(sa - sb)) / (block * block);
            }
            ++blocks;
            changed += diff > limit ? 1 : 0;
        }
    }
    return blocks > 0 ? static_cast<double>(changed) / blocks : -1.0;
}

}  // namespace

// vext_shotcheck SHOT...            each shot shows sky, ground and the fps text
// vext_shotcheck --moved A B        the view differs between A and B
// vext_shotcheck --same A B         A and B show the same scene (falling snow aside)
int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--moved") {
        // Single pixels that differ clearly.
        const double share = changedShare(argv[2], argv[3], 1, 24, 6.0);
        std::printf("view change: %.1f %% of the pixels\n", share * 100.0);
        return share > 0.01 ? 0 : 1;
    }
    if (argc == 4 && std::string(argv[1]) == "--same") {
        // What moves by itself (snow, film grain) is too fine for 32 x 32 blocks.
        const double share = changedShare(argv[2], argv[3], 32, 32, 60.0);
        std::printf("blocks changed: %.1f %%\n", share * 100.0);
        return share >= 0.0 && share < 0.05 ? 0 : 1;
    }
    bool ok = argc > 1;
    for (int i = 1; i < argc; ++i) {
        ok = check(argv[i]) && ok;
    }
    return ok ? 0 : 1;
}
