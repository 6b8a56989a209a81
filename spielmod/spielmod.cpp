// spielmod.cpp — the module instance: record defaults, the services the
// record points to, loading a level from the data directory, the requesters
// and the module's process (handshake and quit polling).
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <iostream>
#include <mutex>
#include <vector>

#include "platform/exec.h"
#include "spielmod/levelstore.h"

namespace {

// The instance the record's services reach: the newest bound one.  Set right
// before the record is posted; the engine calls the services of the newest
// record (while loading a level) or of the one it keeps.
std::atomic<SpielContext*> g_live{nullptr};

constexpr size_t kMaxFileBytes = 4u << 20;   // a level file larger than this is not a level file
constexpr size_t kMaxLevelName = 200;        // "levels/" + name + "/level.toml" stays within 255 bytes

// --- services: plain C pointers without a context, so they go to g_live ---

void svcObjectDelete(uint32_t objectType)
{
    if (SpielContext* ctx = spielLive()) {
        spielObjectDelete(ctx, objectType);
    }
}

void svcObjectCountChange(uint32_t objectType, uint32_t newCount)
{
    if (SpielContext* ctx = spielLive()) {
        spielObjectCountChange(ctx, objectType, newCount);
    }
}

char* svcDirRequest(const char* title, uint32_t, void*)
{
    SpielContext* ctx = spielLive();
    return ctx != nullptr ? spielDirRequest(ctx, title) : nullptr;
}

char* svcFileRequest(const char* title, const char* drawer, const char* pattern, void*, uint32_t, uint32_t)
{
    SpielContext* ctx = spielLive();
    return ctx != nullptr ? spielFileRequest(ctx, title, drawer, pattern) : nullptr;
}

int svcLevelLoader(const char* levelName, void*)
{
    SpielContext* ctx = spielLive();
    return ctx != nullptr ? spielLoadLevel(ctx, levelName) : 0;
}

int svcSave(uint32_t)
{
    SpielContext* ctx = spielLive();
    return ctx != nullptr ? spielSave(ctx) : 0;
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

bool readFile(SpielContext& ctx, const std::string& rel, SpielSource& out)
{
    out.name = rel;
    out.text.clear();
    std::FILE* f = std::fopen(underRoot(ctx, rel).c_str(), "rb");
    if (f == nullptr) {
        spielMessage(&ctx, "%s: kann nicht gelesen werden (%s)", rel.c_str(), std::strerror(errno));
        return false;
    }
    char buf[65536];
    size_t n = 0;
    bool tooLarge = false;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (out.text.size() + n > kMaxFileBytes) {
            tooLarge = true;
            break;
        }
        out.text.append(buf, n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (tooLarge) {
        spielMessage(&ctx, "%s: groesser als %zu Bytes, kein Level", rel.c_str(), kMaxFileBytes);
        return false;
    }
    if (failed) {
        spielMessage(&ctx, "%s: Lesefehler", rel.c_str());
        return false;
    }
    return true;
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

}  // namespace

SpielContext::SpielContext()
    : lev{}, requestIn(&std::cin), promptOut(stdout), messageOut(stdout), deletions{0, 0}, announcedCount{0, 0}
{
    levFillDefaults(&lev);
    lev.moduleVersion = kLevVersion;
    lev.onObjectDelete = svcObjectDelete;
    lev.onObjectCountChange = svcObjectCountChange;
    lev.dirRequest = svcDirRequest;
    lev.fileRequest = svcFileRequest;
    lev.levelLoader = svcLevelLoader;
    lev.saveInitFn = svcSave;
}

SpielContext::~SpielContext() = default;

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

// Every bound context, newest last.  The engine starts the next level's
// module while the running one stays; when the new one fails and ends, the
// services go back to the one still running.
std::mutex g_bindLock;
std::vector<SpielContext*> g_bound;

void spielBind(SpielContext* ctx)
{
    std::lock_guard<std::mutex> guard(g_bindLock);
    g_bound.push_back(ctx);
    g_live.store(ctx, std::memory_order_release);
}

void spielUnbind(SpielContext* ctx)
{
    std::lock_guard<std::mutex> guard(g_bindLock);
    g_bound.erase(std::remove(g_bound.begin(), g_bound.end(), ctx), g_bound.end());
    g_live.store(g_bound.empty() ? nullptr : g_bound.back(), std::memory_order_release);
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
    const float start[3] = {0.0f, -4.0f, 10.0f};   // above the terrain (heights -8 .. -5.45)
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
    if (ctx->messageOut != nullptr) {
        std::fprintf(ctx->messageOut, "Spielmod: %s\n", text.c_str());
        std::fflush(ctx->messageOut);
    }
    ctx->messages.push_back(std::move(text));
}

int spielLoadLevel(SpielContext* ctx, const char* levelName)
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
        ctx->messages.push_back(std::string("Level ") + levelName + " nicht gefunden (" + rel + " fehlt)");
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

int spielLoadFromText(SpielContext* ctx, const SpielSource* config, const SpielSource& level,
                      const std::string& levelDirectory)
{
    return install(*ctx, config, level, levelDirectory, "level.toml");
}

char* spielDirRequest(SpielContext* ctx, const char* title)
{
    return request(*ctx, std::string(title != nullptr ? title : "") + " ");
}

char* spielFileRequest(SpielContext* ctx, const char* title, const char* drawer, const char* pattern)
{
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
    MsgPort* port = FindPort("VextPort");
    if (port == nullptr) {
        spielMessage(ctx, "kein Port \"VextPort\": die Engine laeuft nicht");
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
        if (FindPort("VextPort") != port) {
            break;
        }
    }
    spielDestroy(ctx);
    // The engine took the message before it set the quit byte; a port that
    // was deleted leaves queued messages to their senders.
    delete msg;
    return 0;
}
