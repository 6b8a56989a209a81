// levelparse.cpp — config.cfg and level.toml into the level record.
//
// Both files are TOML.  config.cfg holds the defaults of every level; a
// level.toml sets anything again and adds the level's contents.  A key that
// neither file sets keeps the built-in default (levFillDefaults).  Lists keep
// the order of the file.  Units as in core/lev.h: world units, degrees,
// seconds, colours 0..1 unless noted.
//
//   [display]   width, height (pixels), depth (bits), window (bool),
//               max_texture_size (texels, power of two), brightness (percent)
//   [input]     mouse_sensitivity
//   [view]      distance (far clip and draw radius, units)
//   [camera]    start = [x, y, z], yaw (degrees), gravity (units/s),
//               eye_height, step_height, min_box_thickness (units)
//   [fog]       on (bool), mode ("LIN", "EXP", "EXP2", any case),
//               color = [r, g, b] or [r, g, b, a], start, end, density
//   [lighting]  dynamic (bool; default: on when the level has lights),
//               lit_base = [r, g, b], unlit = [r, g, b]
//   [[bind]]    key = "K_ESCAPE", command = "quit"   (order matters)
//
// Only in a level file:
//   height_map = "levels/x/height.ppm"      (empty or missing: no terrain)
//   sky = [six face images, faces 0..5]      (missing: one-colour fallback)
//   inherit_bindings = false
//   object_name_counter = 0                  (names of objects added later)
//   [[light]]     radius, position, color = [r, g, b(, a)] in 0..255,
//                 mask (4 all vertices, 8 first vertex of tree faces),
//                 attach ("None", "Cam" or an object name)
//   [[tree]]      file (required), name (default: file's base name),
//                 parent (object name or "NULL") and/or parent_index (tree
//                 index, -1 none), position, aux, rotation (degrees),
//                 rotation_speed (degrees/s), billboard (0, 1, 2)
//   [[person]]    as [[tree]] (parents are trees) plus skin, anim_speed,
//                 loop_start, loop_end (frames)
//   [[particles]] texture (required), name, file, origin (top face centre),
//                 extent = [half width, fall height, half depth], velocity,
//                 velocity_variance (units/s), size (units), rate
//                 (particles/s, > 0), max_count, scroll_texture (bool),
//                 tex_offset = [u, v], tex_scale = [u, v]
//   [[sound]]     path (required), name, type (0 music, 1 footstep pair,
//                 2 plain, 3 positional loop, 4 plain), frequency (Hz),
//                 volume (0..100), bind_to_object (bool), inner_radius,
//                 outer_radius, falloff, position
//   [noise]       pattern (base name + 4-character extension, e.g.
//                 "gfx/noise.ppm" for noise1.ppm, noise2.ppm, ...),
//                 start_time, seconds_per_image (s), tint = [r, g, b, a]
//
// Key bindings: a level without a `bind` list uses config.cfg's list.  A
// level with one replaces it, unless the level sets inherit_bindings = true:
// then config.cfg's list comes first and the level's follows.  The engine
// binds the list in order and a later binding of a key replaces an earlier
// one, so an inherited list is overridden key by key.
//
// Every problem is reported as "file:line: text"; any error fails the load.
// Unknown keys are reported and kept (a save writes them back).  Texts for
// the record's 256-byte fields are cut to 255 bytes with a warning.
#include <cctype>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <utility>

#include "spielmod/levelstore.h"

namespace {

using Keys = std::initializer_list<std::string_view>;

// Limits that keep the engine's arithmetic and allocations sane.
constexpr double kMaxCoord = 1.0e6;       // units; any position or extent
constexpr int64_t kMaxParticles = 100000; // per system: the engine allocates them at once
// Pixels per side.  A window beyond any real display costs seconds and
// gigabytes before the display library gives up; below 64 nothing is legible.
constexpr int64_t kMinScreen = 64;
constexpr int64_t kMaxScreen = 8192;

struct Binding {
    std::string key;
    std::string command;
};

// A parent named in a placement, resolved once all trees are read.
struct ParentRef {
    const toml::node* at = nullptr;
    std::optional<std::string> name;
    std::optional<int64_t> index;
};

std::string joinKey(const std::string& section, std::string_view key)
{
    std::string s = section;
    if (!s.empty()) {
        s += '.';
    }
    s.append(key);
    return s;
}

// Reads typed values out of one parsed file and reports problems with the
// file name and line.  A getter returns true only when the key is present and
// valid; an absent key leaves the output alone.
class Reader {
public:
    Reader(SpielContext& ctx, std::string file) : ctx_(ctx), file_(std::move(file)) {}

    int errors = 0;

    void error(const toml::node* at, const std::string& text)
    {
        ++errors;
        report(at, text);
    }
    void warning(const toml::node* at, const std::string& text) { report(at, text); }

    const std::string& file() const { return file_; }

    bool getNumber(const toml::table& t, const std::string& sec, std::string_view key, double& out, double lo,
                   double hi)
    {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            return false;
        }
        if (!n->is_number()) {
            error(n, joinKey(sec, key) + " muss eine Zahl sein");
            return false;
        }
        return checkRange(n, joinKey(sec, key), *n->value<double>(), lo, hi, out);
    }

    bool getFloat(const toml::table& t, const std::string& sec, std::string_view key, float& out, double lo, double hi)
    {
        double v = 0;
        if (!getNumber(t, sec, key, v, lo, hi)) {
            return false;
        }
        out = static_cast<float>(v);
        return true;
    }

    bool getInt(const toml::table& t, const std::string& sec, std::string_view key, int64_t& out, int64_t lo,
                int64_t hi)
    {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            return false;
        }
        if (!n->is_integer()) {
            error(n, joinKey(sec, key) + " muss eine ganze Zahl sein");
            return false;
        }
        const int64_t v = *n->value<int64_t>();
        if (v < lo || v > hi) {
            error(n, joinKey(sec, key) + " = " + std::to_string(v) + " liegt außerhalb von " + std::to_string(lo) +
                         ".." + std::to_string(hi));
            return false;
        }
        out = v;
        return true;
    }

    template <typename T>
    void intField(const toml::table& t, const std::string& sec, std::string_view key, T& out, int64_t lo, int64_t hi)
    {
        int64_t v = 0;
        if (getInt(t, sec, key, v, lo, hi)) {
            out = static_cast<T>(v);
        }
    }

    bool getBool(const toml::table& t, const std::string& sec, std::string_view key, bool& out)
    {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            return false;
        }
        if (!n->is_boolean()) {
            error(n, joinKey(sec, key) + " muss true oder false sein");
            return false;
        }
        out = *n->value<bool>();
        return true;
    }

    template <typename T>
    void boolField(const toml::table& t, const std::string& sec, std::string_view key, T& out)
    {
        bool b = false;
        if (getBool(t, sec, key, b)) {
            out = b ? 1 : 0;
        }
    }

    bool getString(const toml::table& t, const std::string& sec, std::string_view key, std::string& out)
    {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            return false;
        }
        return stringValue(*n, joinKey(sec, key), out);
    }

    bool stringValue(const toml::node& n, const std::string& what, std::string& out)
    {
        if (!n.is_string()) {
            error(&n, what + " muss ein Text sein");
            return false;
        }
        const std::string_view s = *n.value<std::string_view>();
        if (s.find('\0') != std::string_view::npos) {
            error(&n, what + " darf kein NUL-Zeichen enthalten");
            return false;
        }
        out.assign(s);
        return true;
    }

    // A text that must be there and must not be empty; `what` says what it is for.
    bool requiredString(const toml::table& t, const std::string& sec, std::string_view key, std::string& out,
                        const char* what)
    {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            error(&t, joinKey(sec, key) + " fehlt (" + what + ")");
            return false;
        }
        if (!stringValue(*n, joinKey(sec, key), out)) {
            return false;
        }
        if (out.empty()) {
            error(n, joinKey(sec, key) + " ist leer (" + what + ")");
            return false;
        }
        return true;
    }

    // A text for one of the record's 256-byte fields.
    bool getField(const toml::table& t, const std::string& sec, std::string_view key, char (&dst)[256])
    {
        std::string s;
        if (!getString(t, sec, key, s)) {
            return false;
        }
        fieldFrom(t.get(key), joinKey(sec, key), s, dst);
        return true;
    }

    void fieldFrom(const toml::node* at, const std::string& what, const std::string& s, char (&dst)[256])
    {
        if (!copyField(dst, s)) {
            warning(at, what + " ist länger als 255 Bytes und wird abgeschnitten");
        }
    }

    // A list of minN..maxN numbers, each within lo..hi.  Returns how many
    // were stored (0: absent or wrong).
    size_t getFloats(const toml::table& t, const std::string& sec, std::string_view key, float* out, size_t minN,
                     size_t maxN, double lo, double hi)
    {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            return 0;
        }
        const std::string what = joinKey(sec, key);
        const toml::array* a = n->as_array();
        const std::string shape =
            minN == maxN ? std::to_string(minN) : std::to_string(minN) + " oder " + std::to_string(maxN);
        if (a == nullptr || a->size() < minN || a->size() > maxN) {
            error(n, what + " muss eine Liste aus " + shape + " Zahlen sein");
            return 0;
        }
        float tmp[4] = {};
        for (size_t i = 0; i < a->size(); ++i) {
            const toml::node& e = (*a)[i];
            double v = 0;
            if (!e.is_number()) {
                error(&e, what + " muss eine Liste aus " + shape + " Zahlen sein");
                return 0;
            }
            if (!checkRange(&e, what + "[" + std::to_string(i) + "]", *e.value<double>(), lo, hi, v)) {
                return 0;
            }
            tmp[i] = static_cast<float>(v);
        }
        std::memcpy(out, tmp, a->size() * sizeof(float));
        return a->size();
    }

    const toml::table* getTable(const toml::table& t, const std::string& sec, std::string_view key)
    {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            return nullptr;
        }
        if (!n->is_table()) {
            error(n, joinKey(sec, key) + " muss eine Tabelle sein");
            return nullptr;
        }
        return n->as_table();
    }

    const toml::array* getArray(const toml::table& t, const std::string& sec, std::string_view key)
    {
        const toml::node* n = t.get(key);
        if (n == nullptr) {
            return nullptr;
        }
        if (!n->is_array()) {
            error(n, joinKey(sec, key) + " muss eine Liste sein ([[" + std::string(key) + "]])");
            return nullptr;
        }
        return n->as_array();
    }

    void checkKeys(const toml::table& t, const std::string& sec, Keys known)
    {
        for (auto&& [k, v] : t) {
            bool found = false;
            for (std::string_view name : known) {
                found = found || name == k.str();
            }
            if (!found) {
                warning(&v, "unbekannter Eintrag " + joinKey(sec, k.str()) + " (wird nicht verwendet)");
            }
        }
    }

private:
    bool checkRange(const toml::node* at, const std::string& what, double v, double lo, double hi, double& out)
    {
        if (!std::isfinite(v) || v < lo || v > hi) {
            char buf[160];
            std::snprintf(buf, sizeof buf, " = %g liegt außerhalb von %g..%g", v, lo, hi);
            error(at, what + buf);
            return false;
        }
        out = v;
        return true;
    }

    void report(const toml::node* at, const std::string& text)
    {
        const unsigned line = at != nullptr ? at->source().begin.line : 0;
        spielMessage(&ctx_, "%s:%u: %s", file_.c_str(), line, text.c_str());
    }

    SpielContext& ctx_;
    std::string file_;
};

// Calls f(table, path) for each element of the array of tables `key`.
template <typename F>
void eachTable(Reader& r, const toml::table& root, std::string_view key, F f)
{
    const toml::array* a = r.getArray(root, "", key);
    if (a == nullptr) {
        return;
    }
    for (size_t i = 0; i < a->size(); ++i) {
        const toml::node& n = (*a)[i];
        const std::string path = std::string(key) + "[" + std::to_string(i) + "]";
        if (!n.is_table()) {
            r.error(&n, path + " muss eine Tabelle sein");
            continue;
        }
        f(*n.as_table(), path);
    }
}

std::optional<toml::table> parseText(SpielContext& ctx, const SpielSource& src)
{
    try {
        return toml::parse(std::string_view(src.text), std::string_view(src.name));
    } catch (const toml::parse_error& e) {
        spielMessage(&ctx, "%s:%u:%u: TOML-Fehler: %.*s", src.name.c_str(), e.source().begin.line,
                     e.source().begin.column, static_cast<int>(e.description().size()), e.description().data());
        return std::nullopt;
    }
}

// ---------------------------------------------------------------------------
// Settings: both files

void readDisplay(Reader& r, const toml::table& root, Lev& lev)
{
    const toml::table* t = r.getTable(root, "", "display");
    if (t == nullptr) {
        return;
    }
    const std::string s = "display";
    r.checkKeys(*t, s, {"width", "height", "depth", "window", "max_texture_size", "brightness"});
    r.intField(*t, s, "width", lev.screenWidth, kMinScreen, kMaxScreen);
    r.intField(*t, s, "height", lev.screenHeight, kMinScreen, kMaxScreen);
    r.intField(*t, s, "depth", lev.pixelDepth, 8, 32);
    r.boolField(*t, s, "window", lev.windowMode);
    int64_t size = 0;
    if (r.getInt(*t, s, "max_texture_size", size, 16, 32768)) {
        if ((size & (size - 1)) != 0) {
            r.error(t->get("max_texture_size"), "display.max_texture_size muss eine Zweierpotenz sein");
        } else {
            lev.maxTextureSize = static_cast<uint16_t>(size);
        }
    }
    r.intField(*t, s, "brightness", lev.brightnessPercent, 0, 1000);
}

void readCamera(Reader& r, const toml::table& root, Lev& lev)
{
    const toml::table* t = r.getTable(root, "", "camera");
    if (t == nullptr) {
        return;
    }
    const std::string s = "camera";
    r.checkKeys(*t, s, {"start", "yaw", "gravity", "eye_height", "step_height", "min_box_thickness"});
    r.getFloats(*t, s, "start", lev.camStartPos, 3, 3, -kMaxCoord, kMaxCoord);
    r.getFloat(*t, s, "yaw", lev.camStartYaw, -360.0, 360.0);
    r.getFloat(*t, s, "gravity", lev.gravity, -1000.0, 1000.0);
    r.getFloat(*t, s, "eye_height", lev.eyeHeight, 0.0, 1000.0);
    r.getFloat(*t, s, "step_height", lev.stepHeight, 0.0, 1000.0);
    r.getFloat(*t, s, "min_box_thickness", lev.minBoxThickness, 0.0, 1000.0);
}

void readFog(Reader& r, const toml::table& root, Lev& lev)
{
    const toml::table* t = r.getTable(root, "", "fog");
    if (t == nullptr) {
        return;
    }
    const std::string s = "fog";
    r.checkKeys(*t, s, {"on", "mode", "color", "start", "end", "density"});
    r.boolField(*t, s, "on", lev.fogOn);
    std::string mode;
    if (r.getString(*t, s, "mode", mode)) {
        static const char* const kModes[] = {"LIN", "EXP", "EXP2"};
        bool known = false;
        for (const char* m : kModes) {
            if (equalsNoCase(mode, m)) {
                std::memset(lev.fogModeName, 0, sizeof lev.fogModeName);
                std::memcpy(lev.fogModeName, m, std::strlen(m));
                known = true;
            }
        }
        if (!known) {
            r.error(t->get("mode"), "fog.mode \"" + mode + "\" ist keiner von LIN, EXP, EXP2");
        }
    }
    float colour[4] = {0, 0, 0, 1};
    const size_t n = r.getFloats(*t, s, "color", colour, 3, 4, 0.0, 1.0);
    if (n > 0) {
        std::memcpy(lev.fogColor, colour, sizeof colour);
    }
    r.getFloat(*t, s, "start", lev.fogStart, 0.0, kMaxCoord);
    r.getFloat(*t, s, "end", lev.fogEnd, 0.0, kMaxCoord);
    r.getFloat(*t, s, "density", lev.fogDensity, 0.0, 100.0);
}

// Returns the `dynamic` switch when the file sets it.
std::optional<bool> readLighting(Reader& r, const toml::table& root, Lev& lev)
{
    const toml::table* t = r.getTable(root, "", "lighting");
    if (t == nullptr) {
        return std::nullopt;
    }
    const std::string s = "lighting";
    r.checkKeys(*t, s, {"dynamic", "lit_base", "unlit"});
    r.getFloats(*t, s, "lit_base", lev.litBaseColour, 3, 3, 0.0, 1.0);
    r.getFloats(*t, s, "unlit", lev.unlitColour, 3, 3, 0.0, 1.0);
    bool dynamic = false;
    if (r.getBool(*t, s, "dynamic", dynamic)) {
        return dynamic;
    }
    return std::nullopt;
}

// Returns true when the file has a `bind` list (even an empty one).
bool readBindings(Reader& r, const toml::table& root, std::vector<Binding>& out)
{
    if (root.get("bind") == nullptr) {
        return false;
    }
    eachTable(r, root, "bind", [&](const toml::table& t, const std::string& path) {
        r.checkKeys(t, path, {"key", "command"});
        Binding b;
        const bool hasKey = r.requiredString(t, path, "key", b.key, "Tastenname wie \"K_ESCAPE\"");
        const bool hasCommand = r.requiredString(t, path, "command", b.command, "Befehl wie \"quit\"");
        if (hasKey && hasCommand) {
            out.push_back(std::move(b));
        }
    });
    return true;
}

std::optional<bool> readSettings(Reader& r, const toml::table& root, Lev& lev)
{
    readDisplay(r, root, lev);
    if (const toml::table* t = r.getTable(root, "", "input")) {
        r.checkKeys(*t, "input", {"mouse_sensitivity"});
        r.getFloat(*t, "input", "mouse_sensitivity", lev.mouseSensitivity, 0.0, 10000.0);
    }
    if (const toml::table* t = r.getTable(root, "", "view")) {
        r.checkKeys(*t, "view", {"distance"});
        r.getFloat(*t, "view", "distance", lev.viewDistance, 0.0, kMaxCoord);
    }
    readCamera(r, root, lev);
    readFog(r, root, lev);
    return readLighting(r, root, lev);
}

// ---------------------------------------------------------------------------
// Level contents

// Fields t_tree and t_person share.
template <typename Rec>
bool readPlacement(Reader& r, const toml::table& t, const std::string& path, Rec& rec, ParentRef& parent)
{
    rec.treeRecFlag = 0;
    rec.parentIndex = -1;
    rec.soundIndex = -1;
    copyField(rec.parentName, "NULL");
    std::string file;
    if (!r.requiredString(t, path, "file", file, "Datei des Objekts")) {
        return false;
    }
    r.fieldFrom(t.get("file"), path + ".file", file, rec.file);
    if (!r.getField(t, path, "name", rec.name)) {
        copyField(rec.name, baseName(file));
    }
    r.getFloats(t, path, "position", rec.position, 3, 3, -kMaxCoord, kMaxCoord);
    r.getFloats(t, path, "aux", rec.auxVector, 3, 3, -kMaxCoord, kMaxCoord);
    r.getFloats(t, path, "rotation", rec.rotation, 3, 3, -kMaxCoord, kMaxCoord);
    r.getFloats(t, path, "rotation_speed", rec.rotationSpeed, 3, 3, -kMaxCoord, kMaxCoord);
    r.intField(t, path, "billboard", rec.billboard, 0, 255);
    parent.at = &t;
    std::string name;
    if (r.getString(t, path, "parent", name)) {
        parent.name = name;
    }
    int64_t index = 0;
    if (r.getInt(t, path, "parent_index", index, -1, INT32_MAX)) {
        parent.index = index;
    }
    return true;
}

// Parents are trees for both lists.  An index must name an existing tree:
// the engine indexes its tree list with it unchecked.
template <typename Rec>
void resolveParent(Reader& r, const std::string& path, Rec& rec, const ParentRef& p, const std::vector<t_tree>& trees)
{
    if (p.index) {
        if (*p.index >= static_cast<int64_t>(trees.size())) {
            r.error(p.at, path + ".parent_index " + std::to_string(*p.index) + ": es gibt nur " +
                              std::to_string(trees.size()) + " Bäume");
            return;
        }
        rec.parentIndex = static_cast<int32_t>(*p.index);
        if (p.name) {
            r.fieldFrom(p.at, path + ".parent", *p.name, rec.parentName);
        } else if (rec.parentIndex >= 0) {
            copyField(rec.parentName, trees[static_cast<size_t>(rec.parentIndex)].name);
        }
        return;
    }
    if (!p.name || equalsNoCase(*p.name, "NULL") || p.name->empty()) {
        return;
    }
    for (size_t i = 0; i < trees.size(); ++i) {
        if (equalsNoCase(trees[i].name, *p.name)) {
            rec.parentIndex = static_cast<int32_t>(i);
            r.fieldFrom(p.at, path + ".parent", *p.name, rec.parentName);
            return;
        }
    }
    r.error(p.at, path + ".parent \"" + *p.name + "\": kein Baum mit diesem Namen");
}

void readTrees(Reader& r, const toml::table& root, LevelStore& store)
{
    std::vector<ParentRef> parents;
    std::vector<std::string> paths;
    eachTable(r, root, "tree", [&](const toml::table& t, const std::string& path) {
        r.checkKeys(
            t, path,
            {"name", "file", "parent", "parent_index", "position", "aux", "rotation", "rotation_speed", "billboard"});
        t_tree rec{};
        ParentRef p;
        if (readPlacement(r, t, path, rec, p)) {
            store.trees.push_back(rec);
            parents.push_back(p);
            paths.push_back(path);
        }
    });
    for (size_t i = 0; i < store.trees.size(); ++i) {
        resolveParent(r, paths[i], store.trees[i], parents[i], store.trees);
    }
}

void readPersons(Reader& r, const toml::table& root, LevelStore& store)
{
    eachTable(r, root, "person", [&](const toml::table& t, const std::string& path) {
        r.checkKeys(t, path,
                    {"name", "file", "parent", "parent_index", "position", "aux", "rotation", "rotation_speed",
                     "billboard", "skin", "anim_speed", "loop_start", "loop_end"});
        t_person rec{};
        ParentRef p;
        if (!readPlacement(r, t, path, rec, p)) {
            return;
        }
        r.getField(t, path, "skin", rec.skin);
        rec.animSpeed = 1.0f;
        r.getFloat(t, path, "anim_speed", rec.animSpeed, 0.0, 1000.0);
        r.intField(t, path, "loop_start", rec.loopStart, 0, UINT16_MAX);
        r.intField(t, path, "loop_end", rec.loopEnd, 0, UINT16_MAX);
        if (rec.loopEnd < rec.loopStart) {
            r.error(&t, path + ": loop_end liegt vor loop_start");
        }
        resolveParent(r, path, rec, p, store.trees);
        store.persons.push_back(rec);
    });
}

void readLights(Reader& r, const toml::table& root, LevelStore& store)
{
    eachTable(r, root, "light", [&](const toml::table& t, const std::string& path) {
        r.checkKeys(t, path, {"radius", "position", "color", "mask", "attach"});
        LevLight light{};
        light.radius = 10.0f;
        light.colour[0] = light.colour[1] = light.colour[2] = light.colour[3] = 255.0f;
        light.mask = 4;
        // The radius divides the distance: zero would make every vertex NaN.
        r.getFloat(t, path, "radius", light.radius, 0.001, kMaxCoord);
        r.getFloats(t, path, "position", light.position, 3, 3, -kMaxCoord, kMaxCoord);
        r.getFloats(t, path, "color", light.colour, 3, 4, 0.0, 255.0);
        r.intField(t, path, "mask", light.mask, 0, 255);
        std::string attach = "None";
        r.getString(t, path, "attach", attach);
        if (attach.empty()) {
            attach = "None";
        }
        light.attachTo = store.keep(attach);
        store.lights.push_back(light);
    });
}

void readSounds(Reader& r, const toml::table& root, LevelStore& store)
{
    eachTable(r, root, "sound", [&](const toml::table& t, const std::string& path) {
        r.checkKeys(t, path,
                    {"name", "path", "type", "frequency", "volume", "bind_to_object", "inner_radius", "outer_radius",
                     "falloff", "position"});
        LevSound s{};
        s.objectIndex = -1;
        s.type = 2;
        s.frequency = 22050;
        s.volumePercent = 100;
        s.innerRadius = 5.0f;
        s.outerRadius = 30.0f;
        s.falloff = 25.0f;
        std::string file;
        if (!r.requiredString(t, path, "path", file, "Klangdatei oder Verzeichnis")) {
            return;
        }
        r.fieldFrom(t.get("path"), path + ".path", file, s.path);
        if (!r.getField(t, path, "name", s.name)) {
            copyField(s.name, baseName(s.path));
        }
        r.intField(t, path, "type", s.type, 0, 4);
        r.intField(t, path, "frequency", s.frequency, 1, 1000000);
        r.intField(t, path, "volume", s.volumePercent, 0, 100);
        r.boolField(t, path, "bind_to_object", s.bindToObject);
        r.getFloat(t, path, "inner_radius", s.innerRadius, 0.0, kMaxCoord);
        r.getFloat(t, path, "outer_radius", s.outerRadius, 0.0, kMaxCoord);
        r.getFloat(t, path, "falloff", s.falloff, 0.0, kMaxCoord);
        r.getFloats(t, path, "position", s.position, 3, 3, -kMaxCoord, kMaxCoord);
        if (s.outerRadius < s.innerRadius) {
            r.error(&t, path + ": outer_radius ist kleiner als inner_radius");
        }
        store.sounds.push_back(s);
    });
}

struct ParticleDef {
    std::string name, texture, file;
    const toml::node* at = nullptr;
    std::string path;
    float velocity[3] = {0.0f, -1.0f, 0.0f};
    float variance[3] = {0.2f, 0.2f, 0.2f};
    float size = 0.1f;
    float rate = 50.0f;
    bool scroll = false;
    float offset[2] = {0.0f, 0.0f};
    float scale[2] = {1.0f, 1.0f};
    uint32_t maxCount = 500;
    float extent[3] = {5.0f, 5.0f, 5.0f};
    float origin[3] = {0.0f, 0.0f, 0.0f};
};

void readParticles(Reader& r, const toml::table& root, std::vector<ParticleDef>& out)
{
    eachTable(r, root, "particles", [&](const toml::table& t, const std::string& path) {
        r.checkKeys(t, path,
                    {"name", "texture", "file", "velocity", "velocity_variance", "size", "rate", "scroll_texture",
                     "tex_offset", "tex_scale", "max_count", "extent", "origin"});
        ParticleDef d;
        d.at = &t;
        d.path = path;
        if (!r.requiredString(t, path, "texture", d.texture, "Bild der Teilchen")) {
            return;
        }
        if (!r.getString(t, path, "name", d.name)) {
            d.name = "particles" + std::to_string(out.size());
        }
        r.getString(t, path, "file", d.file);
        r.getFloats(t, path, "velocity", d.velocity, 3, 3, -kMaxCoord, kMaxCoord);
        r.getFloats(t, path, "velocity_variance", d.variance, 3, 3, 0.0, kMaxCoord);
        r.getFloat(t, path, "size", d.size, 0.0, kMaxCoord);
        // The emission step divides by the rate.
        r.getFloat(t, path, "rate", d.rate, 0.001, 1.0e6);
        r.getBool(t, path, "scroll_texture", d.scroll);
        r.getFloats(t, path, "tex_offset", d.offset, 2, 2, -kMaxCoord, kMaxCoord);
        r.getFloats(t, path, "tex_scale", d.scale, 2, 2, -kMaxCoord, kMaxCoord);
        r.intField(t, path, "max_count", d.maxCount, 0, kMaxParticles);
        r.getFloats(t, path, "extent", d.extent, 3, 3, 0.0, kMaxCoord);
        r.getFloats(t, path, "origin", d.origin, 3, 3, -kMaxCoord, kMaxCoord);
        out.push_back(std::move(d));
    });
}

void readNoise(Reader& r, const toml::table& root, LevelStore& store)
{
    const toml::table* t = r.getTable(root, "", "noise");
    if (t == nullptr) {
        return;
    }
    const std::string s = "noise";
    r.checkKeys(*t, s, {"pattern", "start_time", "seconds_per_image", "tint"});
    std::string pattern;
    if (!r.requiredString(*t, s, "pattern", pattern, "erstes Bild der Folge")) {
        return;
    }
    // The overlay splits off the last 4 characters as the extension.
    if (pattern.size() <= 4) {
        r.error(t->get("pattern"), "noise.pattern \"" + pattern + "\" braucht einen Namen vor der Endung");
        return;
    }
    auto noise = std::make_unique<SNoise>();
    noise->filePattern = store.keep(pattern);
    noise->startTime = 0.0f;
    noise->secondsPerImage = 0.1f;
    noise->tint[0] = noise->tint[1] = noise->tint[2] = noise->tint[3] = 1.0f;
    r.getFloat(*t, s, "start_time", noise->startTime, 0.0, 1.0e6);
    r.getFloat(*t, s, "seconds_per_image", noise->secondsPerImage, 0.001, 1.0e6);
    r.getFloats(*t, s, "tint", noise->tint, 4, 4, 0.0, 1.0);
    store.noise = std::move(noise);
}

void readSky(Reader& r, const toml::table& root, Lev& lev)
{
    const toml::node* n = root.get("sky");
    if (n == nullptr) {
        return;
    }
    const toml::array* a = n->as_array();
    if (a == nullptr || a->size() != 6) {
        r.error(n, "sky muss eine Liste aus 6 Bilddateien sein (Seiten 0..5)");
        return;
    }
    for (size_t i = 0; i < 6; ++i) {
        std::string s;
        const std::string what = "sky[" + std::to_string(i) + "]";
        if (r.stringValue((*a)[i], what, s)) {
            r.fieldFrom(&(*a)[i], what, s, lev.skyFaceFiles[i]);
        }
    }
}

// ---------------------------------------------------------------------------
// Store -> record

template <size_t N>
std::unique_ptr<float[][N]> vectors(const std::vector<ParticleDef>& defs, float (ParticleDef::*field)[N])
{
    std::unique_ptr<float[][N]> v(new float[defs.size()][N]());
    for (size_t i = 0; i < defs.size(); ++i) {
        std::memcpy(v[i], defs[i].*field, sizeof(float) * N);
    }
    return v;
}

void storeParticles(Reader& r, const std::vector<ParticleDef>& defs, LevelStore& store)
{
    const size_t n = defs.size();
    if (n == 0) {
        return;
    }
    store.particleNames.reset(new char[n][256]());
    store.particleTextureFiles.reset(new char[n][256]());
    store.particleFiles.reset(new char[n][256]());
    store.particleVelocityBase = vectors(defs, &ParticleDef::velocity);
    store.particleVelocityVariance = vectors(defs, &ParticleDef::variance);
    store.particleExtent = vectors(defs, &ParticleDef::extent);
    store.particleOrigin = vectors(defs, &ParticleDef::origin);
    for (const ParticleDef& d : defs) {
        const size_t i = store.particleSize.size();
        r.fieldFrom(d.at, d.path + ".name", d.name, store.particleNames[i]);
        r.fieldFrom(d.at, d.path + ".texture", d.texture, store.particleTextureFiles[i]);
        r.fieldFrom(d.at, d.path + ".file", d.file, store.particleFiles[i]);
        store.particleSize.push_back(d.size);
        store.particleRate.push_back(d.rate);
        store.particleScrollTexture.push_back(d.scroll ? 1 : 0);
        store.particleTexOffsetU.push_back(d.offset[0]);
        store.particleTexOffsetV.push_back(d.offset[1]);
        store.particleTexScaleU.push_back(d.scale[0]);
        store.particleTexScaleV.push_back(d.scale[1]);
        store.particleMaxCount.push_back(d.maxCount);
    }
}

template <typename T>
T* dataOrNull(std::vector<T>& v)
{
    return v.empty() ? nullptr : v.data();
}

void pointRecord(LevelStore& store, const std::vector<Binding>& bindings, Lev& lev)
{
    for (const Binding& b : bindings) {
        store.bindings.push_back(LevKeyBinding{store.keep(b.key), store.keep(b.command)});
    }
    lev.treeCount = static_cast<uint32_t>(store.trees.size());
    lev.treeTable = dataOrNull(store.trees);
    lev.personCount = static_cast<uint32_t>(store.persons.size());
    lev.personTable = dataOrNull(store.persons);
    lev.lightCount = static_cast<uint32_t>(store.lights.size());
    lev.lightTable = dataOrNull(store.lights);
    lev.soundCount = static_cast<uint32_t>(store.sounds.size());
    lev.soundTable = dataOrNull(store.sounds);
    lev.keyBindingCount = static_cast<uint32_t>(store.bindings.size());
    lev.keyBindings = dataOrNull(store.bindings);
    lev.particleSystemCount = static_cast<uint32_t>(store.particleSize.size());
    lev.particleNames = store.particleNames.get();
    lev.particleTextureFiles = store.particleTextureFiles.get();
    lev.particleFiles = store.particleFiles.get();
    lev.particleVelocityBase = store.particleVelocityBase.get();
    lev.particleVelocityVariance = store.particleVelocityVariance.get();
    lev.particleExtent = store.particleExtent.get();
    lev.particleOrigin = store.particleOrigin.get();
    lev.particleSize = dataOrNull(store.particleSize);
    lev.particleRate = dataOrNull(store.particleRate);
    lev.particleScrollTexture = dataOrNull(store.particleScrollTexture);
    lev.particleTexOffsetU = dataOrNull(store.particleTexOffsetU);
    lev.particleTexOffsetV = dataOrNull(store.particleTexOffsetV);
    lev.particleTexScaleU = dataOrNull(store.particleTexScaleU);
    lev.particleTexScaleV = dataOrNull(store.particleTexScaleV);
    lev.particleMaxCount = dataOrNull(store.particleMaxCount);
    lev.noiseParams = store.noise.get();
}

bool readConfig(SpielContext& ctx, const SpielSource& config, Lev& lev, std::vector<Binding>& bindings,
                std::optional<bool>& dynamic)
{
    std::optional<toml::table> doc = parseText(ctx, config);
    if (!doc) {
        return false;
    }
    Reader r(ctx, config.name);
    r.checkKeys(*doc, "", {"display", "input", "view", "camera", "fog", "lighting", "bind"});
    dynamic = readSettings(r, *doc, lev);
    readBindings(r, *doc, bindings);
    return r.errors == 0;
}

bool readLevel(Reader& r, LevelStore& store, Lev& lev, std::vector<Binding>& bindings, std::optional<bool>& dynamic)
{
    const toml::table& doc = store.doc;
    r.checkKeys(doc, "",
                {"display", "input", "view", "camera", "fog", "lighting", "bind", "height_map", "sky",
                 "inherit_bindings", "object_name_counter", "light", "tree", "person", "particles", "sound", "noise"});
    if (std::optional<bool> d = readSettings(r, doc, lev)) {
        dynamic = d;
    }
    std::vector<Binding> own;
    bool inherit = false;
    r.getBool(doc, "", "inherit_bindings", inherit);
    if (readBindings(r, doc, own)) {
        if (!inherit) {
            bindings.clear();
        }
        bindings.insert(bindings.end(), own.begin(), own.end());
    }
    r.getField(doc, "", "height_map", lev.heightMapFile);
    readSky(r, doc, lev);
    r.intField(doc, "", "object_name_counter", lev.objectNameCounter, 0, UINT32_MAX);
    readTrees(r, doc, store);
    readPersons(r, doc, store);
    readLights(r, doc, store);
    readSounds(r, doc, store);
    std::vector<ParticleDef> particles;
    readParticles(r, doc, particles);
    readNoise(r, doc, store);
    storeParticles(r, particles, store);
    return r.errors == 0;
}

} // namespace

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (std::tolower(ca) != std::tolower(cb)) {
            return false;
        }
    }
    return true;
}

// The part of a file name after the last "/" and before the first ".".
std::string baseName(const std::string& file)
{
    const size_t slash = file.find_last_of('/');
    std::string s = slash == std::string::npos ? file : file.substr(slash + 1);
    return s.substr(0, s.find('.'));
}

char* LevelStore::keep(std::string_view s)
{
    std::unique_ptr<char[]> p(new char[s.size() + 1]);
    std::memcpy(p.get(), s.data(), s.size());
    p[s.size()] = '\0';
    strings.push_back(std::move(p));
    return strings.back().get();
}

bool copyField(char (&dst)[256], std::string_view s)
{
    size_t n = s.size();
    const bool fits = n <= 255;
    if (!fits) {
        n = 255;
        // Do not leave half a UTF-8 sequence: back off over continuation bytes.
        while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) {
            --n;
        }
    }
    std::memcpy(dst, s.data(), n);
    std::memset(dst + n, 0, sizeof dst - n);
    return fits;
}

std::unique_ptr<LevelStore> buildLevel(SpielContext& ctx, const SpielSource* config, const SpielSource& level,
                                       const std::string& levelDirectory, const std::string& levelFileName, Lev& out)
{
    levFillDefaults(&out);
    std::vector<Binding> bindings;
    std::optional<bool> dynamic;
    if (config != nullptr && !readConfig(ctx, *config, out, bindings, dynamic)) {
        return nullptr;
    }
    std::optional<toml::table> doc = parseText(ctx, level);
    if (!doc) {
        return nullptr;
    }
    auto store = std::make_unique<LevelStore>();
    store->doc = std::move(*doc);
    store->text = level.text;
    if (config != nullptr) {
        store->config = std::make_unique<SpielSource>(*config);
    }
    Reader r(ctx, level.name);
    if (!readLevel(r, *store, out, bindings, dynamic)) {
        return nullptr;
    }
    pointRecord(*store, bindings, out);
    out.dynamicLighting = dynamic.value_or(out.lightCount > 0) ? 1 : 0;
    out.levelDirectory = store->keep(levelDirectory);
    out.levelFile = store->keep(levelFileName);
    store->levelFilePath = levelDirectory + "/" + levelFileName;
    store->loaded = out;
    return store;
}
