// main.cpp — the engine program.  Handles our own "--" switches (which no
// original switch shares a prefix with), then runs start-up, the frame loop
// and the exit.  Single-dash switches are read by initEngine.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <unistd.h>

#include "camera/campath.h"
#include "core/engine.h"
#include "platform/display.h"
#include "platform/files.h"
#include "render/display.h"

namespace {

constexpr const char* kVersionText = "Vext-Engine 0.42";

constexpr const char* kUsageText = "Aufruf: Vext-Engine [Schalter]\n"
                                   "\n"
                                   "  --data DIR       wechselt vor dem Start nach DIR (dort liegen die Daten)\n"
                                   "  --level NAME     startet mit dem Level NAME statt \"select\"\n"
                                   "  --headless       ohne Fenster und Ton (SDL offscreen/dummy)\n"
                                   "  --frames N       endet nach N Bildern und nennt die Bildrate\n"
                                   "  --shot DATEI     schreibt mit --frames das letzte Bild als PPM nach DATEI\n"
                                   "  --timedemo DATEI spielt die Kamerafahrt DATEI einmal so schnell wie möglich\n"
                                   "                   ab und nennt Bilder, Sekunden und Bilder pro Sekunde\n"
                                   "  --help           diese Hilfe\n"
                                   "  --version        die Version\n"
                                   "  -window -server -tex -coll -fcull -ngrad -leveled -immediate\n"
                                   "                   die Schalter der Engine (Fenster, Server, eine Baumtextur,\n"
                                   "                   ohne Kollision, Rückseiten weg, 90 Grad Sicht, Editor,\n"
                                   "                   Zeichnen Vertex für Vertex wie die Referenz)\n"
                                   "\n"
                                   "Daten (im aktuellen Verzeichnis oder unter --data, Groß-/Kleinschreibung egal):\n"
                                   "  config.cfg, levels/NAME/level.toml, Gfx/ (Schrift, Ladebild);\n"
                                   "  Spielmod.mod und Klangmod.mod dort oder neben dem Programm.\n"
                                   "\n"
                                   "Rückgabewerte: 0 normales Ende, 1 falscher Schalter, 2 Level nicht ladbar,\n"
                                   "  3/4 falsches Klang-/Spielmodul, 6/8/9 interner Fehler, 10 Datei fehlt oder Bild nicht schreibbar,\n"
                                   "  20 keine Anzeige.\n";

struct Options {
    long frames = 0; // 0: run until quit
    bool headless = false;
    const char* shotFile = nullptr; // with frames > 0: the last frame goes here
    std::string timedemoFile;       // path file to play once, from the start directory; "" when none
};

[[noreturn]] void refuse(const char* format, const char* word)
{
    std::fprintf(stderr, "Vext-Engine: ");
    std::fprintf(stderr, format, word);
    std::fprintf(stderr, " (--help zeigt alle Schalter)\n");
    std::exit(1);
}

Options parseOwnSwitches(int argc, char** argv)
{
    Options opt;
    char cwd[4096];
    const std::string startDir = getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strncmp(a, "--", 2) != 0) {
            continue;
        }
        if (std::strcmp(a, "--help") == 0) {
            std::fputs(kUsageText, stdout);
            std::exit(0);
        }
        if (std::strcmp(a, "--version") == 0) {
            std::printf("%s\n", kVersionText);
            std::exit(0);
        }
        if (std::strcmp(a, "--headless") == 0) {
            opt.headless = true;
            continue;
        }
        const bool takesValue = std::strcmp(a, "--frames") == 0 || std::strcmp(a, "--data") == 0 ||
                                std::strcmp(a, "--level") == 0 || std::strcmp(a, "--shot") == 0 ||
                                std::strcmp(a, "--timedemo") == 0;
        if (!takesValue) {
            refuse("unbekannter Schalter \"%s\"", a);
        }
        if (i + 1 >= argc) {
            refuse("%s braucht einen Wert", a);
        }
        const char* value = argv[++i];
        if (std::strcmp(a, "--frames") == 0) {
            char* end = nullptr;
            const long n = std::strtol(value, &end, 10);
            if (end == value || *end != '\0' || n <= 0) {
                refuse("--frames braucht eine positive Zahl, nicht \"%s\"", value);
            }
            opt.frames = n;
        } else if (std::strcmp(a, "--data") == 0) {
            if (chdir(value) != 0) {
                std::fprintf(stderr, "Vext-Engine: kann nicht nach \"%s\" wechseln\n", value);
                std::exit(KRT_FILE);
            }
        } else if (std::strcmp(a, "--timedemo") == 0) {
            opt.timedemoFile = value[0] == '/' ? std::string(value) : startDir + "/" + value;
        } else if (std::strcmp(a, "--level") == 0) {
            g_startLevel = value;
        } else {
            // Named from where the program was started, whatever --data does.
            static std::string shot;
            shot = value[0] == '/' ? std::string(value) : startDir + "/" + value;
            opt.shotFile = shot.c_str();
        }
    }
    if (opt.shotFile != nullptr && opt.frames == 0) {
        refuse("%s: --shot braucht --frames N", opt.shotFile);
    }
    if (!opt.timedemoFile.empty() && opt.frames > 0) {
        refuse("%s: --timedemo und --frames zugleich", opt.timedemoFile.c_str());
    }
    return opt;
}

// The whole path, read before start-up so that a bad file ends the program
// before a window opens.
t_camPath loadTimedemo(const std::string& file)
{
    std::vector<uint8_t> bytes;
    const FileError error = ReadRegularFile(file.c_str(), kCamPathMaxBytes, bytes);
    t_camPath path;
    std::string problem = FileErrorText(error);
    if (error != FileError::None || !parseCamPath(bytes.data(), bytes.size(), t_camRecord{}, path, &problem)) {
        std::fprintf(stderr, "Vext-Engine: Kamerafahrt %s: %s\n", file.c_str(), problem.c_str());
        std::exit(KRT_FILE);
    }
    if (path.trailingBytes != 0) {
        std::printf("Kamerafahrt %s: der letzte Datensatz ist nach %zu von 28 Bytes abgeschnitten\n", file.c_str(),
                    path.trailingBytes);
    }
    if (path.skippedFields != 0) {
        std::printf("Kamerafahrt %s: %zu Werte sind keine Kameradaten und bleiben weg\n", file.c_str(),
                    path.skippedFields);
    }
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    // Progress and warnings are read live, also through a pipe or a log file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const Options opt = parseOwnSwitches(argc, argv);
    if (opt.headless) {
        platformUseHeadlessDrivers();
    }
    const t_camPath timedemo = opt.timedemoFile.empty() ? t_camPath{} : loadTimedemo(opt.timedemoFile);
    initEngine(argc, argv);
    const auto start = std::chrono::steady_clock::now();
    if (!opt.timedemoFile.empty()) {
        const long frames = runTimedemo(timedemo);
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("timedemo: %ld Bilder in %.2f s, %.1f Bilder pro Sekunde\n", frames, secs,
                    secs > 0.0 ? static_cast<double>(frames) / secs : 0.0);
        closeEngine(KRT_QUIT, "");
    }
    const long frames = runFrameLoop(opt.frames, opt.shotFile);
    if (opt.frames > 0) {
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%u Bilder in %.2f s, %.1f Bilder pro Sekunde\n", static_cast<unsigned>(frames), secs,
                    secs > 0.0 ? static_cast<double>(frames) / secs : 0.0);
    }
    // A script that asked for the picture must not take a missing one for
    // success.
    if (opt.shotFile != nullptr && frames == opt.frames && !lastScreenshotWritten()) {
        closeEngine(KRT_FILE, "%s: Bild nicht geschrieben", opt.shotFile);
    }
    closeEngine(KRT_QUIT, "");
}
