// spielmod.cpp — the module instance: record defaults, the services the
// record points to, loading a level from the data directory, the requesters
// and the module's process (handshake and quit polling).
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>

#include "platform/exec.h"
#include "platform/files.h"
#include "spielmod/chooser.h"
#include "spielmod/levelstore.h"

namespace {

// The instance the module's process posted last (spielLive).
std::atomic<SpielContext*> g_live{nullptr};

constexpr size_t kMaxFileBytes = 4u << 20; // a level file larger than this is not a level file
constexpr size_t kMaxLevelName = 200;      // "levels/" + name + "/level.toml" stays within 255 bytes

// --- services ---
//
// The record's services are plain C pointers without a context.  At a level
// change the engine starts a new instance while it still holds the old
// record, and keeps that record when the new level fails to load; so each
// instance gets entry points of its own (a slot), and the old record's save
// still reaches the old instance whatever the new one does.  Should every
// slot be taken, an instance falls back to entry points that reach the live
// instance.
constexpr size_t kSlots = 8;
std::atomic<SpielContext*> g_slots[kSlots];

template <size_t K>
SpielContext* owner()
{
    if constexpr (K < kSlots) {
        return g_slots[K].load(std::memory_order_acquire);
    } else {
        return spielLive();
    }
}

template <size_t K>
struct Services {
    static void objectDelete(uint32_t objectType)
    {
        if (SpielContext* ctx = owner<K>()) {
            spielObjectDelete(ctx, objectType);
        }
    }
    static void objectCountChange(uint32_t objectType, uint32_t newCount)
    {
        if (SpielContext* ctx = owner<K>()) {
            spielObjectCountChange(ctx, objectType, newCount);
        }
    }
    static char* dirRequest(const char* title, uint32_t, void*)
    {
        SpielContext* ctx = owner<K>();
        return ctx != nullptr ? spielDirRequest(ctx, title) : nullptr;
    }
    static char* fileRequest(const char* title, const char* drawer, const char* pattern, void*, uint32_t, uint32_t)
    {
        SpielContext* ctx = owner<K>();
        return ctx != nullptr ? spielFileRequest(ctx, title, drawer, pattern) : nullptr;
    }
    static int levelLoader(const char* levelName, void*)
    {
        SpielContext* ctx = owner<K>();
        return ctx != nullptr ? spielLoadLevel(ctx, levelName) : 0;
    }
    static int save(uint32_t)
    {
        SpielContext* ctx = owner<K>();
        return ctx != nullptr ? spielSave(ctx) : 0;
    }
    static void install(Lev& lev)
    {
        lev.onObjectDelete = objectDelete;
        lev.onObjectCountChange = objectCountChange;
        lev.dirRequest = dirRequest;
        lev.fileRequest = fileRequest;
        lev.levelLoader = levelLoader;
        lev.saveInitFn = save;
    }
};

template <size_t... K>
void installServices(size_t slot, Lev& lev, std::index_sequence<K...>)
{
    ((slot == K ? Services<K>::install(lev) : void()), ...);
}

// Takes a free slot for ctx and points the record's services at it.
size_t claimSlot(SpielContext* ctx)
{
    size_t slot = 0;
    for (; slot < kSlots; ++slot) {
        SpielContext* expected = nullptr;
        if (g_slots[slot].compare_exchange_strong(expected, ctx, std::memory_order_acq_rel)) {
            break;
        }
    }
    installServices(slot, ctx->lev, std::make_index_sequence<kSlots + 1>());
    return slot;
}

// --- files ---

std::string underRoot(const SpielContext& ctx, const std::string& rel)
{
    return ctx.dataRoot.empty() ? rel : ctx.dataRoot + "/" + rel;
}

// The resolved path of rel under the root, relative to the root again.
std::string resolveUnderRoot(const SpielContext& ctx, const std::string& rel, bool* exists)
{
    const std::string full = ResolvePathString(underRoot(ctx, rel).c_str(), exists);
    if (ctx.dataRoot.empty()) {
        return full;
    }
    const std::string prefix = ctx.dataRoot + "/";
    return full.compare(0, prefix.size(), prefix) == 0 ? full.substr(prefix.size()) : rel;
}

// Level and config files are read only when they are regular files (a FIFO
// or device named there must not hang the load) and not larger than any
// level needs.
bool readFile(SpielContext& ctx, const std::string& rel, SpielSource& out)
{
    out.name = rel;
    const FileError error = ReadRegularFile(underRoot(ctx, rel).c_str(), kMaxFileBytes, out.text);
    if (error == FileError::TooLarge) {
        spielMessage(&ctx, "%s: größer als %zu Bytes, keine Leveldatei", rel.c_str(), kMaxFileBytes);
    } else if (error != FileError::None) {
        spielMessage(&ctx, "%s: %s", rel.c_str(), FileErrorText(error));
    }
    return error == FileError::None;
}

// A level name names one directory below levels/: no separators, no "." or
// "..", nothing that could reach outside the data directory.
bool validLevelName(const char* name)
{
    if (name == nullptr || name[0] == '\0' || std::strlen(name) > kMaxLevelName) {
        return false;
    }
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
        return false;
    }
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\' || static_cast<unsigned char>(*p) < 0x20) {
            return false;
        }
    }
    return true;
}

// Copies the level part of src into the live record: every byte except
// moduleQuit, which the instance's own thread polls meanwhile, and with the
// record's own service pointers and version kept.
void installRecord(Lev& dst, Lev src)
{
    src.onObjectDelete = dst.onObjectDelete;
    src.onObjectCountChange = dst.onObjectCountChange;
    src.dirRequest = dst.dirRequest;
    src.fileRequest = dst.fileRequest;
    src.levelLoader = dst.levelLoader;
    src.saveInitFn = dst.saveInitFn;
    src.moduleVersion = dst.moduleVersion;
    constexpr size_t q = offsetof(Lev, moduleQuit);
    auto* d = reinterpret_cast<unsigned char*>(&dst);
    const auto* s = reinterpret_cast<const unsigned char*>(&src);
    std::memcpy(d, s, q);
    std::memcpy(d + q + 1, s + q + 1, sizeof(Lev) - q - 1);
}

int install(SpielContext& ctx, const SpielSource* config, const SpielSource& level, const std::string& dir,
            const std::string& file)
{
    Lev fresh{};
    std::unique_ptr<LevelStore> store = buildLevel(ctx, config, level, dir, file, fresh);
    if (!store) {
        spielMessage(&ctx, "%s: Level nicht geladen", level.name.c_str());
        return 0;
    }
    installRecord(ctx.lev, fresh);
    // The old store goes only now: until here the record pointed into it.
    ctx.store = std::move(store);
    ctx.deletions[0] = ctx.deletions[1] = 0;
    ctx.announcedCount[0] = ctx.lev.treeCount;
    ctx.announcedCount[1] = ctx.lev.personCount;
    return 1;
}

// Messages go to a UTF-8 terminal: a byte that does not belong to a valid
// UTF-8 sequence (a Latin-1 file or level name, say) becomes '?'.
void keepUtf8(std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool ok = len > 0 && i + len <= s.size() && !(len == 2 && c < 0xC2);
        for (size_t k = 1; ok && k < len; ++k) {
            ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        }
        if (ok) {
            i += len;
        } else {
            s[i++] = '?';
        }
    }
}

// The data directory as an absolute path, without a trailing "/".
std::string absoluteRoot(const SpielContext& ctx)
{
    if (!ctx.dataRoot.empty() && ctx.dataRoot[0] == '/') {
        return ctx.dataRoot;
    }
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
        return "";
    }
    return ctx.dataRoot.empty() ? std::string(cwd) : std::string(cwd) + "/" + ctx.dataRoot;
}

// A chosen path inside the data directory, relative to it (level files name
// their files so); any other path as it is.
std::string relativeToRoot(const SpielContext& ctx, const std::string& path)
{
    char root[PATH_MAX];
    char chosen[PATH_MAX];
    if (realpath(absoluteRoot(ctx).c_str(), root) == nullptr || realpath(path.c_str(), chosen) == nullptr) {
        return path;
    }
    const std::string prefix = std::string(root) + (std::strcmp(root, "/") == 0 ? "" : "/");
    const std::string full = chosen;
    return full.size() > prefix.size() && full.compare(0, prefix.size(), prefix) == 0 ? full.substr(prefix.size())
                                                                                     : path;
}

// Asks in the chooser's window; null when cancelled.  *shown is false when no
// window could be shown: then the terminal asks.
char* requestInWindow(SpielContext& ctx, const ChooserRequest& window, bool* shown)
{
    *shown = false;
    if (ctx.chooser.empty() || !chooserDisplayPresent()) {
        return nullptr;
    }
    const ChooserResult r = runChooser(zenityArguments(ctx.chooser, window));
    if (r.outcome == ChooserOutcome::Unavailable) {
        spielMessage(&ctx, "kein Auswahlfenster (%s), gefragt wird im Terminal", r.why.c_str());
        ctx.chooser.clear();
        return nullptr;
    }
    *shown = true;
    if (r.outcome == ChooserOutcome::Cancelled) {
        return nullptr;
    }
    ctx.requestAnswer = window.directory ? r.path : relativeToRoot(ctx, r.path);
    return ctx.requestAnswer.data();
}

char* request(SpielContext& ctx, const std::string& prompt)
{
    if (ctx.promptOut != nullptr) {
        std::fputs(prompt.c_str(), ctx.promptOut);
        std::fflush(ctx.promptOut);
    }
    std::string line;
    if (ctx.requestIn == nullptr || !std::getline(*ctx.requestIn, line)) {
        return nullptr;
    }
    const size_t first = line.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return nullptr;
    }
    const size_t last = line.find_last_not_of(" \t\r\n");
    ctx.requestAnswer = line.substr(first, last - first + 1);
    return ctx.requestAnswer.data();
}

} // namespace

SpielContext::SpielContext()
    : lev{}, requestIn(&std::cin), promptOut(stdout), messageOut(stdout), chooser("zenity"), deletions{0, 0},
      announcedCount{0, 0}
{
    levFillDefaults(&lev);
    lev.moduleVersion = kLevVersion;
    slot = claimSlot(this);
}

SpielContext::~SpielContext()
{
    if (slot < kSlots) {
        g_slots[slot].store(nullptr, std::memory_order_release);
    }
}

SpielContext* spielCreate()
{
    return new SpielContext();
}

void spielDestroy(SpielContext* ctx)
{
    if (ctx == nullptr) {
        return;
    }
    spielUnbind(ctx);
    delete ctx;
}

SpielContext* spielLive()
{
    return g_live.load(std::memory_order_acquire);
}

void spielBind(SpielContext* ctx)
{
    g_live.store(ctx, std::memory_order_release);
}

void spielUnbind(SpielContext* ctx)
{
    SpielContext* expected = ctx;
    g_live.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
}

void levFillDefaults(Lev* lev)
{
    lev->viewDistance = 50.0f;
    lev->fogOn = 1;
    const float fog[4] = {0.6f, 0.7f, 0.8f, 1.0f};
    std::memcpy(lev->fogColor, fog, sizeof fog);
    lev->fogStart = 10.0f;
    lev->fogEnd = 45.0f;
    lev->fogDensity = 0.03f;
    std::memcpy(lev->fogModeName, "LIN", 4);
    lev->screenWidth = 640;
    lev->screenHeight = 480;
    lev->windowMode = 1;
    lev->pixelDepth = 32;
    lev->brightnessPercent = 100;
    lev->maxTextureSize = 256;
    lev->noiseParams = nullptr;
    lev->levelDirectory = nullptr;
    lev->levelFile = nullptr;
    std::memset(lev->heightMapFile, 0, sizeof lev->heightMapFile);
    std::memset(lev->skyFaceFiles, 0, sizeof lev->skyFaceFiles);
    lev->personCount = lev->treeCount = lev->particleSystemCount = 0;
    lev->treeTable = nullptr;
    lev->personTable = nullptr;
    lev->particleNames = lev->particleTextureFiles = lev->particleFiles = nullptr;
    lev->particleVelocityBase = lev->particleVelocityVariance = nullptr;
    lev->particleExtent = lev->particleOrigin = nullptr;
    lev->particleSize = lev->particleRate = nullptr;
    lev->particleScrollTexture = nullptr;
    lev->particleTexOffsetU = lev->particleTexOffsetV = nullptr;
    lev->particleTexScaleU = lev->particleTexScaleV = nullptr;
    lev->particleMaxCount = nullptr;
    lev->objectNameCounter = 0;
    const float start[3] = {0.0f, -4.0f, 10.0f}; // above the terrain (heights -8 .. -5.45)
    std::memcpy(lev->camStartPos, start, sizeof start);
    lev->camStartYaw = 0.0f;
    lev->minBoxThickness = 0.1f;
    lev->gravity = 1.5f;
    lev->eyeHeight = 0.6f;
    lev->stepHeight = 0.3f;
    lev->dynamicLighting = 0;
    const float lit[3] = {0.3f, 0.3f, 0.3f};
    const float unlit[3] = {1.0f, 1.0f, 1.0f};
    std::memcpy(lev->litBaseColour, lit, sizeof lit);
    std::memcpy(lev->unlitColour, unlit, sizeof unlit);
    lev->lightCount = 0;
    lev->lightTable = nullptr;
    lev->keyBindingCount = 0;
    lev->keyBindings = nullptr;
    lev->soundTable = nullptr;
    lev->soundCount = 0;
    lev->mouseSensitivity = 10.0f;
}

void spielMessage(SpielContext* ctx, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) {
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    keepUtf8(text);
    if (ctx->messageOut != nullptr) {
        std::fprintf(ctx->messageOut, "Spielmod: %s\n", text.c_str());
        std::fflush(ctx->messageOut);
    }
    ctx->messages.push_back(std::move(text));
}

namespace {

int loadLevel(SpielContext* ctx, const char* levelName)
{
    if (!validLevelName(levelName)) {
        spielMessage(ctx, "Levelname \"%.*s\" ist nicht erlaubt (ein Verzeichnisname unter levels/)",
                     static_cast<int>(kMaxLevelName), levelName != nullptr ? levelName : "");
        return 0;
    }
    const std::string rel = std::string("levels/") + levelName + "/level.toml";
    bool exists = false;
    const std::string found = resolveUnderRoot(*ctx, rel, &exists);
    if (!exists) {
        // A level that does not exist is the engine's to report (it names
        // the level, or ends silently for the start level); only the reason
        // is kept for whoever asks the context.
        std::string why = std::string("Level ") + levelName + " nicht gefunden (" + rel + " fehlt)";
        keepUtf8(why);
        ctx->messages.push_back(std::move(why));
        return 0;
    }
    const size_t slash = found.find_last_of('/');
    const std::string dir = found.substr(0, slash);
    const std::string file = found.substr(slash + 1);
    SpielSource level;
    if (!readFile(*ctx, found, level)) {
        return 0;
    }
    bool hasConfig = false;
    SpielSource config;
    const std::string configPath = resolveUnderRoot(*ctx, "config.cfg", &hasConfig);
    if (hasConfig && !readFile(*ctx, configPath, config)) {
        return 0;
    }
    if (!hasConfig) {
        spielMessage(ctx, "config.cfg fehlt, es gelten die eingebauten Vorgaben");
    }
    return install(*ctx, hasConfig ? &config : nullptr, level, dir, file);
}

} // namespace

int spielLoadLevel(SpielContext* ctx, const char* levelName)
{
    const size_t first = ctx->messages.size();
    const int loaded = loadLevel(ctx, levelName);
    // The engine shows why a level did not load on its console: the
    // messages of this attempt, one a line (file, line and problem).
    std::string why;
    for (size_t i = first; loaded == 0 && i < ctx->messages.size(); ++i) {
        why += (why.empty() ? "" : "\n") + ctx->messages[i];
    }
    std::memset(ctx->lev.loadMessage, 0, sizeof ctx->lev.loadMessage);
    std::memcpy(ctx->lev.loadMessage, why.data(), std::min(why.size(), sizeof ctx->lev.loadMessage - 1));
    return loaded;
}

int spielLoadFromText(SpielContext* ctx, const SpielSource* config, const SpielSource& level,
                      const std::string& levelDirectory)
{
    return install(*ctx, config, level, levelDirectory, "level.toml");
}

char* spielDirRequest(SpielContext* ctx, const char* title)
{
    ChooserRequest window;
    window.directory = true;
    window.title = title != nullptr ? title : "";
    bool shown = false;
    char* answer = requestInWindow(*ctx, window, &shown);
    return shown ? answer : request(*ctx, window.title + " ");
}

char* spielFileRequest(SpielContext* ctx, const char* title, const char* drawer, const char* pattern)
{
    ChooserRequest window;
    window.title = title != nullptr ? title : "";
    window.pattern = pattern != nullptr ? pattern : "";
    const std::string root = absoluteRoot(*ctx);
    if (!root.empty()) {
        window.start = drawer != nullptr && drawer[0] != '\0' ? root + "/" + drawer : root;
    }
    bool shown = false;
    char* chosen = requestInWindow(*ctx, window, &shown);
    if (shown) {
        return chosen;
    }
    std::string prompt = title != nullptr ? title : "";
    prompt += " [";
    prompt += drawer != nullptr ? drawer : "";
    prompt += ", ";
    prompt += pattern != nullptr ? pattern : "";
    prompt += "] ";
    char* answer = request(*ctx, prompt);
    if (answer == nullptr || drawer == nullptr || drawer[0] == '\0' || std::strchr(answer, '/') != nullptr) {
        return answer;
    }
    ctx->requestAnswer = std::string(drawer) + "/" + ctx->requestAnswer;
    return ctx->requestAnswer.data();
}

void spielObjectDelete(SpielContext* ctx, uint32_t objectType)
{
    if (objectType < 2) {
        ++ctx->deletions[objectType];
    }
}

void spielObjectCountChange(SpielContext* ctx, uint32_t objectType, uint32_t newCount)
{
    if (objectType < 2) {
        ctx->announcedCount[objectType] = newCount;
    }
}

int spielModuleMain()
{
    SpielContext* ctx = spielCreate();
    MsgPort* port = FindPort(kEnginePortName);
    if (port == nullptr) {
        spielMessage(ctx, "kein Port \"VextPort\": die Engine läuft nicht");
        spielDestroy(ctx);
        return 0;
    }
    auto* msg = new ModuleMessage();
    msg->msg.mn_Length = sizeof(ModuleMessage);
    msg->payload = &ctx->lev;
    spielBind(ctx);
    PutMsg(port, &msg->msg);
    while (!levQuitRequested(&ctx->lev)) {
        Delay(1);
        // The engine deletes its port only after it stopped using the record.
        if (FindPort(kEnginePortName) != port) {
            break;
        }
    }
    spielDestroy(ctx);
    // The engine took the message before it set the quit byte; a port that
    // was deleted leaves queued messages to their senders.
    delete msg;
    return 0;
}
