// texlist.cpp — the texture table, its selection filters and the reader of
// the texture definition files.
#include "image/texlist.h"

#include <GL/gl.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "core/common.h"
#include "platform/files.h"

TextureList TexList;
STexture Ttexrender;

namespace {

constexpr uint8_t kNoBlendmode = 99;
constexpr float kDefaultScale = 1.0f;        // scale pair of an entry that lacks one
constexpr size_t kMaxTexDefBytes = 1u << 20; // a definition file is a few lines of words

// Blend factors by mode (source, destination).
constexpr GLenum kBlendFactors[][2] = {
    {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}, {GL_ONE, GL_ONE}, {GL_DST_COLOR, GL_ZERO}, {GL_ONE, GL_ZERO},
    {GL_DST_COLOR, GL_SRC_COLOR},
};
constexpr int kBlendModeCount = sizeof kBlendFactors / sizeof kBlendFactors[0];

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Words of a definition file, with "#" comments skipped.  A word is a view
// into the data (not terminated).
class WordReader {
public:
    WordReader(const char* data, size_t size) : data_(data), size_(size) {}

    // The next word without consuming it; false at the end.
    bool peek(const char** word, size_t* length)
    {
        skipBlanksAndComments();
        if (pos_ >= size_) {
            return false;
        }
        size_t end = pos_;
        while (end < size_ && !isBlank(data_[end])) {
            end++;
        }
        *word = data_ + pos_;
        *length = end - pos_;
        return true;
    }
    void consume(size_t length) { pos_ += length; }

private:
    void skipBlanksAndComments()
    {
        while (pos_ < size_) {
            if (isBlank(data_[pos_])) {
                pos_++;
            } else if (data_[pos_] == '#') {
                while (pos_ < size_ && data_[pos_] != '\n') {
                    pos_++;
                }
            } else {
                return;
            }
        }
    }

    const char* data_;
    size_t size_;
    size_t pos_ = 0;
};

enum Keyword {
    kKwNone,
    kKwBlend,
    kKwBlendmode,
    kKwEnvmode,
    kKwQuads,
    kKwNoclip,
    kKwNozbuf,
    kKwTexmode,
    kKwOffset,
    kKwEmissive,
    kKwStartframe,
    kKwEndframe,
    kKwAnimspeed,
};

struct KeywordName {
    const char* text;
    Keyword keyword;
    bool trees;   // a keyword of tree files
    bool persons; // a keyword of person files
};

constexpr KeywordName kKeywords[] = {
    {"blend", kKwBlend, true, true},          {"blendmode", kKwBlendmode, true, true},
    {"envmode", kKwEnvmode, true, true},      {"quads", kKwQuads, true, true},
    {"noclip", kKwNoclip, true, true},        {"nozbuf", kKwNozbuf, true, false},
    {"texmode", kKwTexmode, true, true},      {"offset", kKwOffset, true, true},
    {"emissiveRGB", kKwEmissive, true, true}, {"startframe", kKwStartframe, false, true},
    {"endframe", kKwEndframe, false, true},   {"animspeed", kKwAnimspeed, false, true},
};

Keyword keywordOf(const char* word, size_t length, bool person)
{
    for (const KeywordName& k : kKeywords) {
        if ((person ? k.persons : k.trees) && std::strlen(k.text) == length && strncasecmp(k.text, word, length) == 0) {
            return k.keyword;
        }
    }
    return kKwNone;
}

// Reads one entry's words and numbers, printing the warnings of parseTexDefs.
class EntryParser {
public:
    EntryParser(WordReader& words, bool person, const char* file) : words_(words), person_(person), file_(file) {}

    // Takes the next word into out (cut to kTexWordMax characters, with a
    // warning); false at the end of the file.
    bool word(char (&out)[kTexWordMax + 1])
    {
        const char* w = nullptr;
        size_t length = 0;
        if (!words_.peek(&w, &length)) {
            return false;
        }
        words_.consume(length);
        size_t kept = length;
        if (length > static_cast<size_t>(kTexWordMax)) {
            kept = kTexWordMax;
            std::printf("TexturModul: Wort in %s zu lang (%zu Zeichen), gekürzt auf %i: %.40s...\n", file_, length,
                        kTexWordMax, w);
        }
        std::memcpy(out, w, kept);
        out[kept] = '\0';
        return true;
    }

    // The next word as an integer; on a missing or malformed number warns,
    // leaves the word for what follows and returns false.
    bool integer(const char* entry, const char* keyword, int32_t* out)
    {
        std::string text;
        if (nextNumberWord(&text)) {
            char* end = nullptr;
            errno = 0;
            const long value = std::strtol(text.c_str(), &end, 10);
            if (*end == '\0' && errno == 0 && value >= INT32_MIN && value <= INT32_MAX) {
                words_.consume(text.size());
                *out = static_cast<int32_t>(value);
                return true;
            }
        }
        missingNumber(entry, keyword);
        return false;
    }

    bool real(const char* entry, const char* keyword, float* out)
    {
        std::string text;
        if (nextNumberWord(&text)) {
            char* end = nullptr;
            const float value = std::strtof(text.c_str(), &end);
            if (*end == '\0' && std::isfinite(value)) {
                words_.consume(text.size());
                *out = value;
                return true;
            }
        }
        missingNumber(entry, keyword);
        return false;
    }

    // The keyword at the current word (consumed), or kKwNone when the entry
    // ends here (nothing consumed).
    Keyword keyword()
    {
        const char* w = nullptr;
        size_t length = 0;
        if (!words_.peek(&w, &length)) {
            return kKwNone;
        }
        const Keyword k = keywordOf(w, length, person_);
        if (k != kKwNone) {
            words_.consume(length);
        }
        return k;
    }

private:
    bool nextNumberWord(std::string* text)
    {
        const char* w = nullptr;
        size_t length = 0;
        if (!words_.peek(&w, &length) || length > 64) {
            return false;
        }
        text->assign(w, length);
        return true;
    }

    void missingNumber(const char* entry, const char* keyword)
    {
        std::printf("TexturModul: Zahl fehlt in %s bei Textur %s (%s)\n", file_, entry, keyword);
    }

    WordReader& words_;
    bool person_;
    const char* file_;
};

t_texdef defaultEntry()
{
    t_texdef def{};
    def.scaleU = kDefaultScale;
    def.scaleV = kDefaultScale;
    def.blend = 100;
    return def;
}

// The keywords after an entry's fixed words, up to the first other word.
void readKeywords(EntryParser& in, bool person, t_texdef* def, t_texmodel* model)
{
    for (;;) {
        int32_t value = 0;
        switch (in.keyword()) {
        case kKwNone: return;
        case kKwBlend: in.integer(def->name, "blend", &def->blend); break;
        case kKwBlendmode: in.integer(def->name, "blendmode", &def->blendmode); break;
        case kKwEnvmode: def->envmode = true; break;
        case kKwQuads: def->quads = !person; break;
        case kKwNoclip: def->noclip = true; break;
        case kKwNozbuf: def->nozbuf = true; break;
        case kKwTexmode: in.integer(def->name, "texmode", &def->texmode); break;
        case kKwOffset:
            if (in.real(def->name, "offset", &def->offsetU)) {
                in.real(def->name, "offset", &def->offsetV);
            }
            break;
        case kKwEmissive: {
            float* channels[3] = {&def->emissive.r, &def->emissive.g, &def->emissive.b};
            for (float* channel : channels) {
                if (!in.integer(def->name, "emissiveRGB", &value)) {
                    break;
                }
                *channel = static_cast<float>(value) * kByteToUnit;
            }
            break;
        }
        case kKwStartframe:
            if (in.integer(def->name, "startframe", &value) && model != nullptr) {
                model->hasStartFrame = true;
                model->startFrame = static_cast<uint16_t>(value);
            }
            break;
        case kKwEndframe:
            if (in.integer(def->name, "endframe", &value) && model != nullptr) {
                model->hasEndFrame = true;
                model->endFrame = static_cast<uint16_t>(value);
            }
            break;
        case kKwAnimspeed: {
            float speed = 0.0f;
            if (in.real(def->name, "animspeed", &speed) && model != nullptr) {
                model->hasAnimSpeed = true;
                model->animSpeed = speed;
            }
            break;
        }
        }
    }
}

// Opens and reads a definition file; a missing or unreadable one ends the
// engine.  No definition file needs more than kMaxTexDefBytes; a device or
// FIFO is never read.
std::string loadDefinitionFile(const char* texFile)
{
    std::string text;
    const FileError error = ReadRegularFile(texFile, kMaxTexDefBytes, text);
    if (error == FileError::NotFound) {
        closeEngine(KRT_FILE, "TexturModul: TexturInitDatei %s nicht vorhanden\n", texFile);
    }
    if (error != FileError::None) {
        closeEngine(KRT_FILE, "TexturModul: TexturInitDatei %s: %s\n", texFile, FileErrorText(error));
    }
    return text;
}

} // namespace

int parseTexDefs(const char* data, size_t size, bool person, const char* fileForMessages,
                 void (*entry)(const t_texdef& def, void* user), void* user, t_texmodel* model)
{
    WordReader words(data, size);
    EntryParser in(words, person, fileForMessages);
    int count = 0;
    for (;;) {
        t_texdef def = defaultEntry();
        if (!in.word(def.name)) {
            return count;
        }
        if (!in.word(def.file)) {
            std::printf("TexturModul: Dateiname fehlt in %s bei Textur %s\n", fileForMessages, def.name);
            return count;
        }
        // A NUL byte would cut the word short; a name or file made of nothing
        // else would reach the loaders as "".
        const bool nameEmpty = def.name[0] == '\0';
        const bool fileEmpty = def.file[0] == '\0';
        if (person) {
            def.scaleU = 0.0f;
            def.scaleV = 0.0f;
        } else {
            if (in.real(def.name, "scaleU", &def.scaleU)) {
                in.real(def.name, "scaleV", &def.scaleV);
            }
        }
        readKeywords(in, person, &def, model);
        if (nameEmpty || fileEmpty) {
            std::printf("TexturModul: %s aus Nullbytes in %s bei Textur %s - Eintrag übersprungen\n",
                        nameEmpty ? "Texturname" : "Dateiname", fileForMessages, nameEmpty ? "(leer)" : def.name);
            continue;
        }
        entry(def, user);
        count++;
    }
}

void texFileName(const char* modelFile, char* out, size_t outSize)
{
    if (outSize == 0) {
        return;
    }
    const size_t length = strnlen(modelFile, kTexWordMax);
    // The stem ends at the first dot of the file name itself: a folder such
    // as "./obj" or "obj.v2" keeps its dots.
    size_t nameStart = 0;
    for (size_t i = 0; i < length; i++) {
        if (modelFile[i] == '/') {
            nameStart = i + 1;
        }
    }
    const char* dot = static_cast<const char*>(std::memchr(modelFile + nameStart, '.', length - nameStart));
    const size_t stem = dot != nullptr ? static_cast<size_t>(dot - modelFile) : length;
    std::snprintf(out, outSize, "%.*s.tex", static_cast<int>(stem), modelFile);
}

TextureList::TextureList()
    : names{}, glIds{}, scaleU{}, scaleV{}, offsetU{}, offsetV{}, texmode{}, nozbuf{}, blend{}, blendmode{}, envmode{},
      noclip{}, quads{}, emissive{}, lastIndex(-1), texFiles{}, texFileCount(0), lastBlendmode_(kNoBlendmode),
      lastEnvmode_(false)
{}

TextureList::~TextureList()
{
    for (char*& name : names) {
        delete[] name;
    }
    for (char*& file : texFiles) {
        delete[] file;
    }
}

void TextureList::loadTexture(const char* name, const char* file, float su, float sv, float ou, float ov, int mode,
                              bool env, bool quad, int alpha, int blendMode, bool clipOff, bool zbufOff, t_rgb glow,
                              int minFilter, int magFilter, bool alphaKey, int keyR, int keyG, int keyB)
{
    if (name == nullptr || file == nullptr || findTexture(name) >= 0) {
        return;
    }
    const int32_t index = lastIndex + 1;
    if (index >= kMaxTextures) {
        closeEngine(KRT_FATAL, "TexturModul: zu wenig Texturbuffer tritt den Programmierer in den Arsch\n");
    }
    scaleU[index] = su;
    scaleV[index] = sv;
    offsetU[index] = ou;
    offsetV[index] = ov;
    texmode[index] = mode;
    blend[index] = alpha;
    blendmode[index] = static_cast<uint8_t>(blendMode);
    envmode[index] = env;
    noclip[index] = clipOff;
    quads[index] = quad;
    nozbuf[index] = zbufOff;
    emissive[index] = glow;
    textures[index].createTexture(file, minFilter, magFilter, blendMode == kBlendAdd ? false : alphaKey, keyR, keyG,
                                  keyB);
    glIds[index] = textures[index].getGLTexture();
    delete[] names[index];
    names[index] = newStringCopy(name);
    lastIndex = index;
}

int32_t TextureList::findTexture(const char* name) const
{
    if (name == nullptr) {
        return -1;
    }
    for (int32_t i = 0; i <= lastIndex; i++) {
        if (names[i] != nullptr && strcasecmp(names[i], name) == 0) {
            return i;
        }
    }
    return -1;
}

void TextureList::selectTexture(const char* name)
{
    const int32_t index = findTexture(name);
    if (index >= 0) {
        glBindTexture(GL_TEXTURE_2D, glIds[index]);
    }
}

void TextureList::selectTexture(int index)
{
    if (index >= 0 && index <= lastIndex) {
        glBindTexture(GL_TEXTURE_2D, glIds[index]);
    }
}

void TextureList::selectBlendmode(uint8_t mode)
{
    if (mode == lastBlendmode_) {
        return;
    }
    if (mode < kBlendModeCount) {
        glBlendFunc(kBlendFactors[mode][0], kBlendFactors[mode][1]);
    }
    lastBlendmode_ = mode;
}

void TextureList::selectEnvmode(bool on)
{
    if (on == lastEnvmode_) {
        return;
    }
    if (on) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    } else {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
    }
    lastEnvmode_ = on;
}

void TextureList::resetSelectionState()
{
    lastBlendmode_ = kNoBlendmode;
    lastEnvmode_ = false;
}

void TextureList::SetTexFile(const char* file)
{
    if (file == nullptr) {
        return;
    }
    if (texFileCount >= kTexFileCacheSize) {
        std::printf("Texfilecache überlastet ... versuche ihn zu leeren\n");
        for (int32_t i = 0; i < kTexFileCacheSize; i++) {
            delete[] texFiles[i];
            texFiles[i] = nullptr;
        }
        texFileCount = 0;
    }
    texFiles[texFileCount++] = newStringCopy(file);
}

bool TextureList::ExistTexFile(const char* file) const
{
    if (file == nullptr) {
        return false;
    }
    for (int32_t i = 0; i < texFileCount; i++) {
        if (std::strcmp(texFiles[i], file) == 0) {
            return true;
        }
    }
    return false;
}

void TextureList::readTreeFile(const char* texFile)
{
    const std::string text = loadDefinitionFile(texFile);
    parseTexDefs(
        text.data(), text.size(), false, texFile,
        [](const t_texdef& d, void* user) {
            static_cast<TextureList*>(user)->loadTexture(d.name, d.file, d.scaleU, d.scaleV, d.offsetU, d.offsetV,
                                                         d.texmode, d.envmode, d.quads, d.blend, d.blendmode, d.noclip,
                                                         d.nozbuf, d.emissive, GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
        },
        this, nullptr);
}

void TextureList::readPersonFile(const char* texFile, t_person* person)
{
    const std::string text = loadDefinitionFile(texFile);
    struct Target {
        TextureList* list;
        t_person* person;
    } target{this, person};
    t_texmodel model{};
    parseTexDefs(
        text.data(), text.size(), true, texFile,
        [](const t_texdef& d, void* user) {
            auto* t = static_cast<Target*>(user);
            copyBounded(t->person->skin, d.name, sizeof t->person->skin);
            t->list->loadTexture(d.name, d.file, 0.0f, 0.0f, d.offsetU, d.offsetV, d.texmode, d.envmode, false, d.blend,
                                 d.blendmode, d.noclip, false, d.emissive, GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
        },
        &target, &model);
    if (model.hasStartFrame) {
        person->loopStart = model.startFrame;
    }
    if (model.hasEndFrame) {
        person->loopEnd = model.endFrame;
    }
    if (model.hasAnimSpeed) {
        person->animSpeed = model.animSpeed;
    }
}

void TextureList::initTex()
{
    if (texrender != 0) {
        Ttexrender.createTexture("Gfx/texrender.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    }
    if (Level == nullptr) {
        return;
    }
    char texFile[kTexWordMax + 8];
    if (Level->treeTable != nullptr) {
        for (uint32_t i = 0; i < Level->treeCount; i++) {
            texFileName(Level->treeTable[i].file, texFile, sizeof texFile);
            if (ExistTexFile(texFile)) {
                continue;
            }
            SetTexFile(texFile);
            readTreeFile(texFile);
        }
    }
    if (Level->personTable != nullptr) {
        for (uint32_t i = 0; i < Level->personCount; i++) {
            texFileName(Level->personTable[i].file, texFile, sizeof texFile);
            readPersonFile(texFile, &Level->personTable[i]);
        }
    }
}
