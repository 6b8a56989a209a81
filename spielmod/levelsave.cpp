// levelsave.cpp — saveInitFn: the record's edits back into the level file.
//
// The parsed level file is the base; only what the engine edits is written
// into it: tree and person placements (the tables as they are now, which may
// be tables the engine allocated), the camera start, fog, view distance, the
// object name counter and the particle boxes.  Everything else the file held
// (lights, sounds, bindings, unknown keys) is written back as read.  A
// setting the level file did not have is added only when its value changed,
// so a level keeps following config.cfg for everything it never set.
//
// Placements are matched to the file's entries by name (first unused entry
// of that name, in order), so an entry keeps its unknown keys through
// deletions and additions; entries with no record left are dropped.
#include <cerrno>
#include <cstring>
#include <sstream>
#include <unistd.h>

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

void fillExtra(toml::table&, const t_tree&) {}

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
        spielMessage(&ctx, "Leveldaten unvollstaendig (Tabelle fehlt): nicht gespeichert");
    }
    return ok;
}

// Writes text to path + ".tmp", then renames it over path, so that an
// interrupted save never leaves a half-written level.
bool writeReplacing(SpielContext& ctx, const std::string& path, const std::string& text)
{
    const std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (f == nullptr) {
        spielMessage(&ctx, "%s: kann nicht angelegt werden (%s); Level nicht gespeichert", tmp.c_str(),
                     std::strerror(errno));
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fflush(f) == 0 && ok;
    ok = fsync(fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        const int err = errno;
        std::remove(tmp.c_str());
        spielMessage(&ctx, "%s: Schreibfehler (%s); Level nicht gespeichert", tmp.c_str(), std::strerror(err));
        return false;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        std::remove(tmp.c_str());
        spielMessage(&ctx, "%s: kann nicht ersetzt werden (%s); Level nicht gespeichert", path.c_str(),
                     std::strerror(err));
        return false;
    }
    return true;
}

}  // namespace

int spielSave(SpielContext* ctx)
{
    if (ctx == nullptr || ctx->store == nullptr) {
        if (ctx != nullptr) {
            spielMessage(ctx, "kein Level geladen: nichts zu speichern");
        }
        return 0;
    }
    LevelStore& store = *ctx->store;
    const Lev& lev = ctx->lev;
    if (!tablesUsable(*ctx, lev)) {
        return 0;
    }
    // Work on a copy: a failed write must leave the kept document as the file is.
    toml::table doc = store.doc;
    updateSettings(doc, lev, store.loaded);
    updatePlacements(doc, "tree", lev.treeTable, lev.treeCount);
    updatePlacements(doc, "person", lev.personTable, lev.personCount);
    updateParticles(*ctx, doc, lev);
    std::ostringstream text;
    text << "# " << store.levelFilePath << " (written by the level editor)\n";
    writeToml(text, doc);
    const std::string root = ctx->dataRoot.empty() ? "" : ctx->dataRoot + "/";
    const std::string path = ResolvePathString((root + store.levelFilePath).c_str());
    if (!writeReplacing(*ctx, path, text.str())) {
        return 0;
    }
    store.doc = std::move(doc);
    spielMessage(ctx, "%s gespeichert: %u Baeume, %u Personen (%u und %u geloescht seit dem Laden)",
                 store.levelFilePath.c_str(), lev.treeCount, lev.personCount, ctx->deletions[0],
                 ctx->deletions[1]);
    return 1;
}
