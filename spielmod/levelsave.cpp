// levelsave.cpp — saveInitFn: the record's edits back into the level file.
//
// Only what the engine edits is written: tree and person placements (the
// tables as they are now, which may be tables the engine allocated), the
// camera start, fog (mode included), view distance, the object name counter
// and the particle boxes.  The file is edited in place: a value whose text
// still reads as the record's value is left alone, a changed value's text is
// replaced, a missing key is added after its table's last key, deleted
// placements lose their block and new ones get a block after the placement
// before them.  Comments, order, layout and the spelling of every untouched
// number survive.  A setting the level file did not have is added only when
// its value changed since the load, so a level keeps following config.cfg for
// everything it never set.
//
// Placements are matched to the file's entries by name, in order (the first
// unused entry of that name after the previous match), so an entry keeps its
// unknown keys and comments through deletions and additions.
//
// The edited text is loaded again (with the config.cfg read at the load) and
// compared with the record before it is written; if it does not read back
// as the record, the whole file is written from the parsed document instead
// (keeping every key, losing comments).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/exec.h"
#include "spielmod/levelstore.h"

namespace {

std::string fieldText(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

toml::array floatArray(const float* v, size_t n)
{
    toml::array a;
    for (size_t i = 0; i < n; ++i) {
        a.push_back(tomlFloat(v[i]));
    }
    return a;
}

bool allZero(const float* v, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (v[i] != 0.0f) {
            return false;
        }
    }
    return true;
}

bool sameFloats(const float* a, const float* b, size_t n)
{
    return std::memcmp(a, b, n * sizeof(float)) == 0;
}

// Sets section.key (section "" is the top level) when the file already has
// the key or the value changed since the load.
template <typename V>
void updateSetting(toml::table& doc, std::string_view section, std::string_view key, V&& value, bool changed)
{
    toml::table* t = section.empty() ? &doc : doc.get_as<toml::table>(section);
    const bool has = t != nullptr && t->contains(key);
    if (!has && !changed) {
        return;
    }
    if (t == nullptr) {
        t = doc.insert_or_assign(section, toml::table{}).first->second.as_table();
    }
    t->insert_or_assign(key, std::forward<V>(value));
}

void updateSettings(toml::table& doc, const Lev& lev, const Lev& was)
{
    updateSetting(doc, "camera", "start", floatArray(lev.camStartPos, 3),
                  !sameFloats(lev.camStartPos, was.camStartPos, 3));
    updateSetting(doc, "camera", "yaw", tomlFloat(lev.camStartYaw), lev.camStartYaw != was.camStartYaw);
    updateSetting(doc, "fog", "on", lev.fogOn != 0, lev.fogOn != was.fogOn);
    updateSetting(doc, "fog", "mode", fieldText(lev.fogModeName, sizeof lev.fogModeName),
                  std::memcmp(lev.fogModeName, was.fogModeName, sizeof lev.fogModeName) != 0);
    updateSetting(doc, "fog", "color", floatArray(lev.fogColor, 4), !sameFloats(lev.fogColor, was.fogColor, 4));
    updateSetting(doc, "fog", "start", tomlFloat(lev.fogStart), lev.fogStart != was.fogStart);
    updateSetting(doc, "fog", "end", tomlFloat(lev.fogEnd), lev.fogEnd != was.fogEnd);
    updateSetting(doc, "fog", "density", tomlFloat(lev.fogDensity), lev.fogDensity != was.fogDensity);
    updateSetting(doc, "view", "distance", tomlFloat(lev.viewDistance), lev.viewDistance != was.viewDistance);
    updateSetting(doc, "", "object_name_counter", static_cast<int64_t>(lev.objectNameCounter),
                  lev.objectNameCounter != was.objectNameCounter);
}

// Sets key when the value is not its default or the entry already has it.
template <typename V>
void setUnlessDefault(toml::table& entry, std::string_view key, V&& value, bool isDefault)
{
    if (!isDefault || entry.contains(key)) {
        entry.insert_or_assign(key, std::forward<V>(value));
    }
}

// The name an entry of the file stands for (its name, else its file's base name).
std::string entryName(const toml::table& entry)
{
    if (std::optional<std::string_view> name = entry["name"].value<std::string_view>()) {
        return std::string(*name);
    }
    std::string file(entry["file"].value_or(std::string_view()));
    const size_t slash = file.find_last_of('/');
    file = slash == std::string::npos ? file : file.substr(slash + 1);
    return file.substr(0, file.find('.'));
}

template <typename Rec>
void fillPlacement(toml::table& e, const Rec& rec)
{
    e.insert_or_assign("name", fieldText(rec.name, sizeof rec.name));
    e.insert_or_assign("file", fieldText(rec.file, sizeof rec.file));
    e.insert_or_assign("position", floatArray(rec.position, 3));
    e.insert_or_assign("rotation", floatArray(rec.rotation, 3));
    setUnlessDefault(e, "rotation_speed", floatArray(rec.rotationSpeed, 3), allZero(rec.rotationSpeed, 3));
    setUnlessDefault(e, "aux", floatArray(rec.auxVector, 3), allZero(rec.auxVector, 3));
    setUnlessDefault(e, "billboard", static_cast<int64_t>(rec.billboard), rec.billboard == 0);
    if (rec.parentIndex >= 0) {
        e.insert_or_assign("parent_index", static_cast<int64_t>(rec.parentIndex));
        e.insert_or_assign("parent", fieldText(rec.parentName, sizeof rec.parentName));
    } else {
        e.erase("parent_index");
        e.erase("parent");
    }
}

void fillExtra(toml::table&, const t_tree&)
{}

void fillExtra(toml::table& e, const t_person& rec)
{
    const std::string skin = fieldText(rec.skin, sizeof rec.skin);
    setUnlessDefault(e, "skin", skin, skin.empty());
    setUnlessDefault(e, "anim_speed", tomlFloat(rec.animSpeed), rec.animSpeed == 1.0f);
    setUnlessDefault(e, "loop_start", static_cast<int64_t>(rec.loopStart), rec.loopStart == 0);
    setUnlessDefault(e, "loop_end", static_cast<int64_t>(rec.loopEnd), rec.loopEnd == 0);
}

template <typename Rec>
void updatePlacements(toml::table& doc, std::string_view key, const Rec* table, uint32_t count)
{
    const toml::array* old = doc.get_as<toml::array>(key);
    if (old == nullptr && count == 0) {
        return;
    }
    std::vector<bool> used(old != nullptr ? old->size() : 0, false);
    toml::array fresh;
    for (uint32_t i = 0; i < count; ++i) {
        const Rec& rec = table[i];
        const std::string name = fieldText(rec.name, sizeof rec.name);
        toml::table entry;
        for (size_t j = 0; j < used.size(); ++j) {
            const toml::table* candidate = (*old)[j].as_table();
            if (!used[j] && candidate != nullptr && entryName(*candidate) == name) {
                entry = *candidate;
                used[j] = true;
                break;
            }
        }
        fillPlacement(entry, rec);
        fillExtra(entry, rec);
        fresh.push_back(std::move(entry));
    }
    doc.insert_or_assign(key, std::move(fresh));
}

// Particle systems are never added or removed by the engine: entry i of the
// file is system i.
void updateParticles(SpielContext& ctx, toml::table& doc, const Lev& lev)
{
    toml::array* list = doc.get_as<toml::array>("particles");
    const size_t n = list != nullptr ? list->size() : 0;
    if (n != lev.particleSystemCount) {
        spielMessage(&ctx, "%u Teilchensysteme im Level, %zu in der Datei: Boxen nicht gespeichert",
                     lev.particleSystemCount, n);
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        if (toml::table* e = (*list)[i].as_table()) {
            e->insert_or_assign("extent", floatArray(lev.particleExtent[i], 3));
            e->insert_or_assign("origin", floatArray(lev.particleOrigin[i], 3));
        }
    }
}

// A null table with a nonzero count would be dereferenced.
bool tablesUsable(SpielContext& ctx, const Lev& lev)
{
    const bool ok = (lev.treeCount == 0 || lev.treeTable != nullptr) &&
                    (lev.personCount == 0 || lev.personTable != nullptr) &&
                    (lev.particleSystemCount == 0 || (lev.particleExtent != nullptr && lev.particleOrigin != nullptr));
    if (!ok) {
        spielMessage(&ctx, "Leveldaten unvollständig (Tabelle fehlt): nicht gespeichert");
    }
    return ok;
}

// The whole file from the parsed document with the record's edits: the
// fallback when the in-place edit would not read back as the record.
std::string fullRewrite(SpielContext& ctx, const LevelStore& store, const Lev& lev)
{
    toml::table doc = store.doc;
    updateSettings(doc, lev, store.loaded);
    updatePlacements(doc, "tree", lev.treeTable, lev.treeCount);
    updatePlacements(doc, "person", lev.personTable, lev.personCount);
    updateParticles(ctx, doc, lev);
    std::ostringstream text;
    text << "# " << store.levelFilePath << " (written by the level editor)\n";
    writeToml(text, doc);
    return text.str();
}

// --- in place ---------------------------------------------------------------

// One key as the record wants it.  Numbers are compared as the floats the
// parser makes of them, so "0.50" in the file stays when the record holds 0.5.
struct Want {
    std::string key;
    enum Kind { Floats, Float, Int, Bool, Text } kind = Floats;
    std::vector<float> floats;
    int64_t integer = 0;
    std::string text;
    bool noCase = false;      // texts equal in any case (fog mode)
    bool keepMissing = false; // a key the file lacks stays out
};

Want wantFloats(std::string key, const float* v, size_t n, bool keepMissing)
{
    Want w;
    w.key = std::move(key);
    w.floats.assign(v, v + n);
    w.keepMissing = keepMissing;
    return w;
}

Want wantFloat(std::string key, float v, bool keepMissing)
{
    Want w = wantFloats(std::move(key), &v, 1, keepMissing);
    w.kind = Want::Float;
    return w;
}

Want wantInt(std::string key, int64_t v, bool keepMissing, Want::Kind kind = Want::Int)
{
    Want w;
    w.key = std::move(key);
    w.kind = kind;
    w.integer = v;
    w.keepMissing = keepMissing;
    return w;
}

Want wantText(std::string key, std::string v, bool keepMissing)
{
    Want w;
    w.key = std::move(key);
    w.kind = Want::Text;
    w.text = std::move(v);
    w.keepMissing = keepMissing;
    return w;
}

bool sameNumber(const toml::node& n, float v)
{
    return n.is_number() && static_cast<float>(*n.value<double>()) == v;
}

bool sameValue(const toml::node& n, const Want& w)
{
    switch (w.kind) {
    case Want::Float: return sameNumber(n, w.floats[0]);
    case Want::Int: return n.is_integer() && *n.value<int64_t>() == w.integer;
    case Want::Bool: return n.is_boolean() && *n.value<bool>() == (w.integer != 0);
    case Want::Text: {
        const std::optional<std::string_view> s = n.value<std::string_view>();
        return n.is_string() && (w.noCase ? equalsNoCase(*s, w.text) : *s == w.text);
    }
    case Want::Floats: break;
    }
    const toml::array* a = n.as_array();
    if (a == nullptr || a->size() != w.floats.size()) {
        return false;
    }
    for (size_t i = 0; i < a->size(); ++i) {
        if (!sameNumber((*a)[i], w.floats[i])) {
            return false;
        }
    }
    return true;
}

std::string valueText(const Want& w)
{
    switch (w.kind) {
    case Want::Float: return floatText(w.floats[0]);
    case Want::Int: return std::to_string(w.integer);
    case Want::Bool: return w.integer != 0 ? "true" : "false";
    case Want::Text: return tomlString(w.text);
    case Want::Floats: break;
    }
    std::string s = "[";
    for (size_t i = 0; i < w.floats.size(); ++i) {
        s += (i > 0 ? ", " : "") + floatText(w.floats[i]);
    }
    return s + "]";
}

std::string keyValue(const Want& w)
{
    return tomlKey(w.key) + " = " + valueText(w);
}

// A table written with a [header] (or [[header]]), as opposed to inline.
bool isBlock(const toml::node& n)
{
    if (const toml::table* t = n.as_table()) {
        return !t->is_inline();
    }
    const toml::array* a = n.as_array();
    return a != nullptr && !a->empty() && a->is_array_of_tables() && !a->front().as_table()->is_inline();
}

size_t maxEnd(const TextEdits& ed, const toml::node& n)
{
    size_t end = ed.end(n);
    if (const toml::table* t = n.as_table()) {
        for (auto&& [k, v] : *t) {
            end = std::max(end, maxEnd(ed, v));
        }
    } else if (const toml::array* a = n.as_array()) {
        for (const toml::node& e : *a) {
            end = std::max(end, maxEnd(ed, e));
        }
    }
    return end;
}

// Where a key-value line goes in a block table: after its last own key, or
// after its header line.  Null for the root without keys of its own.
std::optional<size_t> lineAfterLastKey(TextEdits& ed, const toml::table& t, bool root)
{
    std::optional<size_t> last;
    for (auto&& [k, v] : t) {
        if (!isBlock(v)) {
            last = std::max(last.value_or(0), ed.lineEnd(maxEnd(ed, v)));
        }
    }
    if (!last && !root) {
        ed.expect(t);
        last = ed.lineEnd(ed.begin(t));
    }
    return last;
}

// Makes one key of a table hold the wanted value.
void setKey(TextEdits& ed, const toml::table& t, const Want& w, bool root = false)
{
    if (const toml::node* n = t.get(w.key)) {
        ed.expect(*n);
        const toml::array* a = n->as_array();
        if (sameValue(*n, w)) {
            return;
        }
        if (w.kind == Want::Floats && a != nullptr && a->size() == w.floats.size()) {
            // Only the numbers that changed.
            for (size_t i = 0; i < a->size(); ++i) {
                if (!sameNumber((*a)[i], w.floats[i])) {
                    ed.expect((*a)[i]);
                    ed.replace(ed.begin((*a)[i]), ed.end((*a)[i]), floatText(w.floats[i]));
                }
            }
            return;
        }
        ed.replace(ed.begin(*n), ed.end(*n), valueText(w));
        return;
    }
    if (w.keepMissing) {
        return;
    }
    if (t.is_inline()) {
        std::optional<size_t> last;
        for (auto&& [k, v] : t) {
            last = std::max(last.value_or(0), ed.end(v));
        }
        if (last) {
            ed.insert(*last, ", " + keyValue(w));
        } else {
            ed.insert(ed.begin(t) + 1, " " + keyValue(w) + " ");
        }
        return;
    }
    if (const std::optional<size_t> at = lineAfterLastKey(ed, t, root)) {
        ed.insert(*at, "\n" + keyValue(w));
        return;
    }
    // The root without keys of its own: before the first table header.
    size_t first = ed.text.size();
    for (auto&& [k, v] : t) {
        first = std::min(first, ed.lineStart(ed.begin(v.is_array() ? v.as_array()->front() : v)));
    }
    const bool open = first == ed.text.size() && !ed.text.empty() && ed.text.back() != '\n';
    ed.insert(first, (open ? "\n" : "") + keyValue(w) + "\n");
}

// The settings the engine edits, section by section.  Missing sections are
// appended at the end of the file.
void placeSettings(TextEdits& ed, const toml::table& doc, const Lev& lev, const Lev& was)
{
    // A 3-number fog colour reads with alpha 1: keep it at three when that holds.
    const toml::node* colour = doc.at_path("fog.color").node();
    const bool rgb =
        colour != nullptr && colour->is_array() && colour->as_array()->size() == 3 && lev.fogColor[3] == 1.0f;
    const std::pair<const char*, std::vector<Want>> sections[] = {
        {"camera",
         {wantFloats("start", lev.camStartPos, 3, sameFloats(lev.camStartPos, was.camStartPos, 3)),
          wantFloat("yaw", lev.camStartYaw, lev.camStartYaw == was.camStartYaw)}},
        {"fog",
         {wantInt("on", lev.fogOn != 0, lev.fogOn == was.fogOn, Want::Bool),
          [&] {
              Want w = wantText("mode", fieldText(lev.fogModeName, sizeof lev.fogModeName),
                                std::memcmp(lev.fogModeName, was.fogModeName, sizeof lev.fogModeName) == 0);
              w.noCase = true;
              return w;
          }(),
          wantFloats("color", lev.fogColor, rgb ? 3 : 4, sameFloats(lev.fogColor, was.fogColor, 4)),
          wantFloat("start", lev.fogStart, lev.fogStart == was.fogStart),
          wantFloat("end", lev.fogEnd, lev.fogEnd == was.fogEnd),
          wantFloat("density", lev.fogDensity, lev.fogDensity == was.fogDensity)}},
        {"view", {wantFloat("distance", lev.viewDistance, lev.viewDistance == was.viewDistance)}},
    };
    setKey(ed, doc,
           wantInt("object_name_counter", lev.objectNameCounter, lev.objectNameCounter == was.objectNameCounter), true);
    for (const auto& [name, wants] : sections) {
        if (const toml::table* t = doc.get_as<toml::table>(name)) {
            for (const Want& w : wants) {
                setKey(ed, *t, w);
            }
            continue;
        }
        std::string lines;
        for (const Want& w : wants) {
            lines += w.keepMissing ? "" : keyValue(w) + "\n";
        }
        if (!lines.empty()) {
            ed.append("[" + std::string(name) + "]\n" + lines);
        }
    }
}

// The keys of one placement, in the order a new entry is written.  `entry`
// is the file's entry it replaces (null for a new one).
template <typename Rec>
std::vector<Want> placementWants(const Rec& rec, const toml::table* entry, const Lev& lev)
{
    const std::string name = fieldText(rec.name, sizeof rec.name);
    const std::string file = fieldText(rec.file, sizeof rec.file);
    std::vector<Want> w;
    w.push_back(wantText("name", name, baseName(file) == name));
    w.push_back(wantText("file", file, false));
    w.push_back(wantFloats("position", rec.position, 3, allZero(rec.position, 3)));
    w.push_back(wantFloats("rotation", rec.rotation, 3, allZero(rec.rotation, 3)));
    w.push_back(wantFloats("rotation_speed", rec.rotationSpeed, 3, allZero(rec.rotationSpeed, 3)));
    w.push_back(wantFloats("aux", rec.auxVector, 3, allZero(rec.auxVector, 3)));
    w.push_back(wantInt("billboard", rec.billboard, rec.billboard == 0));

    // Parents: a name is looked up among the saved trees, any case, first
    // match; an index is used as it is.  Write an index only where the name
    // alone would find another tree.
    const std::string parent = rec.parentIndex >= 0 ? fieldText(rec.parentName, sizeof rec.parentName) : "NULL";
    int64_t byName = -1;
    for (uint32_t i = 0; i < lev.treeCount && rec.parentIndex >= 0; ++i) {
        if (equalsNoCase(fieldText(lev.treeTable[i].name, sizeof lev.treeTable[i].name), parent)) {
            byName = i;
            break;
        }
    }
    const bool nameFinds = byName == rec.parentIndex;
    const bool hasIndex = entry != nullptr && entry->contains("parent_index");
    Want byText = wantText("parent", parent, rec.parentIndex < 0 || hasIndex || !nameFinds);
    if (const toml::node* had = entry != nullptr ? entry->get("parent") : nullptr; had != nullptr && had->is_string()) {
        // The file's own spelling stays while it finds the same tree.
        const std::string_view s = *had->value<std::string_view>();
        if (equalsNoCase(s, parent) || (rec.parentIndex < 0 && s.empty())) {
            byText.text = s;
        }
    }
    w.push_back(std::move(byText));
    w.push_back(wantInt("parent_index", rec.parentIndex, rec.parentIndex < 0 || nameFinds));
    return w;
}

void addExtras(std::vector<Want>&, const t_tree&)
{}

void addExtras(std::vector<Want>& w, const t_person& rec)
{
    const std::string skin = fieldText(rec.skin, sizeof rec.skin);
    w.push_back(wantText("skin", skin, skin.empty()));
    w.push_back(wantFloat("anim_speed", rec.animSpeed, rec.animSpeed == 1.0f));
    w.push_back(wantInt("loop_start", rec.loopStart, rec.loopStart == 0));
    w.push_back(wantInt("loop_end", rec.loopEnd, rec.loopEnd == 0));
}

// A new entry: [[key]] block lines or an inline table.
std::string newEntry(const std::vector<Want>& wants, std::string_view key, bool block)
{
    std::string s = block ? "\n[[" + tomlKey(key) + "]]\n" : "{ ";
    bool first = true;
    for (const Want& w : wants) {
        if (!w.keepMissing) {
            s += block ? keyValue(w) + "\n" : (first ? "" : ", ") + keyValue(w);
            first = false;
        }
    }
    return block ? s : s + " }";
}

// A [[block]] entry from the comment lines right above its header to the end
// of its last line.
std::pair<size_t, size_t> blockExtent(const TextEdits& ed, const toml::node& entry)
{
    size_t from = ed.lineStart(ed.begin(entry));
    while (from > 0) {
        const size_t prev = ed.lineStart(from - 1);
        const size_t text = ed.text.find_first_not_of(" \t\r", prev);
        if (text >= from - 1 || ed.text[text] != '#') {
            break;
        }
        from = prev;
    }
    // And one blank line before that, so blocks stay one blank line apart.
    if (from > 0) {
        const size_t prev = ed.lineStart(from - 1);
        if (ed.text.find_first_not_of(" \t\r", prev) >= from - 1) {
            from = prev;
        }
    }
    const size_t nl = ed.text.find('\n', ed.lineEnd(maxEnd(ed, entry)));
    return {from, nl == std::string::npos ? ed.text.size() : nl + 1};
}

template <typename Rec>
void placeEntries(TextEdits& ed, const toml::table& doc, std::string_view key, const Rec* recs, uint32_t count,
                  const Lev& lev)
{
    const toml::array* arr = doc.get_as<toml::array>(key);
    const size_t n = arr != nullptr ? arr->size() : 0;
    const bool block = arr == nullptr || isBlock(*arr);
    auto entry = [&](size_t j) { return (*arr)[j].as_table(); };
    for (size_t j = 0; j < n; ++j) {
        ed.expect((*arr)[j]);
    }
    if (arr != nullptr && !block) {
        ed.expect(*arr);
    }
    // In-order matching: match[i] is the file entry of record i, or n.
    std::vector<size_t> match(count, n);
    std::vector<bool> kept(n, false);
    for (size_t i = 0, next = 0; i < count; ++i) {
        const std::string name = fieldText(recs[i].name, sizeof recs[i].name);
        for (size_t j = next; j < n; ++j) {
            const toml::table* e = entry(j);
            const std::string had = e->contains("name")
                                        ? std::string((*e)["name"].value_or(std::string_view()))
                                        : baseName(std::string((*e)["file"].value_or(std::string_view())));
            if (had == name) {
                match[i] = j;
                kept[j] = true;
                next = j + 1;
                break;
            }
        }
    }
    // Entries without a record go, runs of them at once.
    for (size_t j = 0; j < n;) {
        if (kept[j]) {
            ++j;
            continue;
        }
        size_t k = j;
        while (k < n && !kept[k]) {
            ++k;
        }
        if (block) {
            // One by one: other tables may stand between two entries.
            for (size_t d = j; d < k; ++d) {
                const auto [from, to] = blockExtent(ed, (*arr)[d]);
                ed.replace(from, to, "");
            }
        } else if (k < n) {
            ed.replace(ed.begin((*arr)[j]), ed.begin((*arr)[k]), "");
        } else {
            ed.replace(j > 0 ? ed.end((*arr)[j - 1]) : ed.begin((*arr)[j]), ed.end((*arr)[k - 1]), "");
        }
        j = k;
    }
    size_t previous = n; // the file entry of the last matched record
    bool intoEmpty = false;
    for (uint32_t i = 0; i < count; ++i) {
        std::vector<Want> wants = placementWants(recs[i], match[i] < n ? entry(match[i]) : nullptr, lev);
        addExtras(wants, recs[i]);
        if (match[i] < n) {
            for (const Want& w : wants) {
                setKey(ed, *entry(match[i]), w);
            }
            previous = match[i];
            continue;
        }
        const std::string text = newEntry(wants, key, block);
        if (arr == nullptr) {
            ed.append(text.substr(1));
        } else if (block) {
            ed.insert(previous < n ? blockExtent(ed, (*arr)[previous]).second : blockExtent(ed, (*arr)[0]).first, text);
        } else if (previous < n) {
            ed.insert(ed.end((*arr)[previous]), ", " + text);
        } else if (n > 0) {
            ed.insert(ed.begin((*arr)[0]), text + ", ");
        } else {
            ed.insert(ed.begin(*arr) + 1, "\n    " + text + ",");
            intoEmpty = true;
        }
    }
    if (intoEmpty) {
        ed.insert(ed.begin(*arr) + 1, "\n");
    }
}

void placeParticles(SpielContext& ctx, TextEdits& ed, const toml::table& doc, const Lev& lev)
{
    const toml::array* list = doc.get_as<toml::array>("particles");
    const size_t n = list != nullptr ? list->size() : 0;
    if (n != lev.particleSystemCount) {
        spielMessage(&ctx, "%u Teilchensysteme im Level, %zu in der Datei: Boxen nicht gespeichert",
                     lev.particleSystemCount, n);
        return;
    }
    static const float kDefaultExtent[3] = {5.0f, 5.0f, 5.0f};
    for (size_t i = 0; i < n; ++i) {
        const toml::table& e = *(*list)[i].as_table();
        setKey(ed, e,
               wantFloats("extent", lev.particleExtent[i], 3, sameFloats(lev.particleExtent[i], kDefaultExtent, 3)));
        setKey(ed, e, wantFloats("origin", lev.particleOrigin[i], 3, allZero(lev.particleOrigin[i], 3)));
    }
}

bool equalFloats(const float* a, const float* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (!(a[i] == b[i])) {
            return false;
        }
    }
    return true;
}

template <typename Rec>
bool samePlacement(const Rec& a, const Rec& b)
{
    return std::strncmp(a.name, b.name, sizeof a.name) == 0 && std::strncmp(a.file, b.file, sizeof a.file) == 0 &&
           equalFloats(a.position, b.position, 3) && equalFloats(a.rotation, b.rotation, 3) &&
           equalFloats(a.rotationSpeed, b.rotationSpeed, 3) && equalFloats(a.auxVector, b.auxVector, 3) &&
           a.billboard == b.billboard && a.parentIndex == b.parentIndex;
}

// Does a load of the saved text give the record's edited fields?
bool readsBackAs(const Lev& a, const Lev& b)
{
    bool same = equalFloats(a.camStartPos, b.camStartPos, 3) && a.camStartYaw == b.camStartYaw && a.fogOn == b.fogOn &&
                equalsNoCase(fieldText(a.fogModeName, 4), fieldText(b.fogModeName, 4)) &&
                equalFloats(a.fogColor, b.fogColor, 4) && a.fogStart == b.fogStart && a.fogEnd == b.fogEnd &&
                a.fogDensity == b.fogDensity && a.viewDistance == b.viewDistance &&
                a.objectNameCounter == b.objectNameCounter && a.treeCount == b.treeCount &&
                a.personCount == b.personCount;
    for (uint32_t i = 0; same && i < a.treeCount; ++i) {
        same = samePlacement(a.treeTable[i], b.treeTable[i]);
    }
    for (uint32_t i = 0; same && i < a.personCount; ++i) {
        const t_person& p = a.personTable[i];
        const t_person& q = b.personTable[i];
        same = samePlacement(p, q) && std::strncmp(p.skin, q.skin, sizeof p.skin) == 0 && p.animSpeed == q.animSpeed &&
               p.loopStart == q.loopStart && p.loopEnd == q.loopEnd;
    }
    for (uint32_t i = 0; same && a.particleSystemCount == b.particleSystemCount && i < a.particleSystemCount; ++i) {
        same = equalFloats(a.particleExtent[i], b.particleExtent[i], 3) &&
               equalFloats(a.particleOrigin[i], b.particleOrigin[i], 3);
    }
    return same;
}

bool inPlace(SpielContext& ctx, const LevelStore& store, const Lev& lev, std::string& out)
{
    TextEdits ed(store.text);
    placeSettings(ed, store.doc, lev, store.loaded);
    placeEntries(ed, store.doc, "tree", lev.treeTable, lev.treeCount, lev);
    placeEntries(ed, store.doc, "person", lev.personTable, lev.personCount, lev);
    placeParticles(ctx, ed, store.doc, lev);
    if (!ed.apply(out)) {
        return false;
    }
    SpielContext quiet;
    quiet.messageOut = nullptr;
    Lev again{};
    const size_t slash = store.levelFilePath.find_last_of('/');
    const std::unique_ptr<LevelStore> check =
        buildLevel(quiet, store.config.get(), SpielSource{out, store.levelFilePath},
                   store.levelFilePath.substr(0, slash), store.levelFilePath.substr(slash + 1), again);
    return check != nullptr && readsBackAs(lev, again);
}

// Writes text beside the level file under a fresh name and renames it over
// the file, so an interrupted save never leaves half a level.  The level
// file's real path must lie inside the data folder: a level file that is a
// link is followed only to a file inside it (and that file is replaced, the
// link stays); the temporary name is created exclusively, never through a
// link, and the directory is synced after the rename.
bool writeReplacing(SpielContext& ctx, const std::string& root, const std::string& rel, const std::string& text)
{
    const std::string path = ResolvePathString((root.empty() ? rel : root + "/" + rel).c_str());
    char realRoot[PATH_MAX];
    char real[PATH_MAX];
    if (realpath(root.empty() ? "." : root.c_str(), realRoot) == nullptr || realpath(path.c_str(), real) == nullptr) {
        spielMessage(&ctx, "%s: nicht gefunden (%s); Level nicht gespeichert", rel.c_str(), std::strerror(errno));
        return false;
    }
    const std::string target = real;
    const std::string inside = std::string(realRoot) == "/" ? "/" : std::string(realRoot) + "/";
    struct stat st {};
    if (target.compare(0, inside.size(), inside) != 0 || stat(real, &st) != 0 || !S_ISREG(st.st_mode)) {
        spielMessage(&ctx, "%s: zeigt auf %s, keine normale Datei im Datenverzeichnis; Level nicht gespeichert",
                     rel.c_str(), real);
        return false;
    }
    std::string tmp;
    int fd = -1;
    for (unsigned n = 0; fd < 0 && n < 100; ++n) {
        tmp = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(n);
        fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, st.st_mode & 07777);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        spielMessage(&ctx, "%s: kann nicht angelegt werden (%s); Level nicht gespeichert", tmp.c_str(),
                     std::strerror(errno));
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        ok = n > 0 || (n < 0 && errno == EINTR);
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    ok = ok && fsync(fd) == 0;
    const int err = errno;
    ok = close(fd) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), target.c_str()) != 0) {
        const int why = ok ? errno : err;
        unlink(tmp.c_str());
        spielMessage(&ctx, "%s: %s (%s); Level nicht gespeichert", rel.c_str(),
                     ok ? "kann nicht ersetzt werden" : "Schreibfehler", std::strerror(why));
        return false;
    }
    const int dir = open(target.substr(0, target.find_last_of('/') + 1).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

} // namespace

bool saveText(SpielContext& ctx, std::string& out)
{
    if (ctx.store == nullptr || !tablesUsable(ctx, ctx.lev)) {
        return false;
    }
    if (!inPlace(ctx, *ctx.store, ctx.lev, out)) {
        spielMessage(&ctx,
                     "%s: Änderungen nicht an Ort und Stelle einzutragen; Datei wird neu geschrieben "
                     "(ohne Kommentare)",
                     ctx.store->levelFilePath.c_str());
        out = fullRewrite(ctx, *ctx.store, ctx.lev);
    }
    return true;
}

int spielSave(SpielContext* ctx)
{
    if (ctx == nullptr || ctx->store == nullptr) {
        if (ctx != nullptr) {
            spielMessage(ctx, "kein Level geladen: nichts zu speichern");
        }
        return 0;
    }
    LevelStore& store = *ctx->store;
    std::string text;
    if (!saveText(*ctx, text) || !writeReplacing(*ctx, ctx->dataRoot, store.levelFilePath, text)) {
        return 0;
    }
    // The saved text is the base of the next save.
    try {
        store.doc = toml::parse(std::string_view(text), std::string_view(store.levelFilePath));
        store.text = std::move(text);
    } catch (const toml::parse_error&) {
        // Cannot happen for text that loaded back; keep the old base.
    }
    const Lev& lev = ctx->lev;
    spielMessage(ctx, "%s gespeichert: %u Bäume, %u Personen (%u und %u gelöscht seit dem Laden)",
                 store.levelFilePath.c_str(), lev.treeCount, lev.personCount, ctx->deletions[0], ctx->deletions[1]);
    return 1;
}
