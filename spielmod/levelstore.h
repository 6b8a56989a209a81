// levelstore.h — inside the game module: the memory behind one loaded level,
// the level-file parser that fills it and the TOML writer the save uses.
//
// A `LevelStore` owns every table and string the record points to after a
// successful load.  It is built completely before it replaces the previous
// one, so a level that fails to parse leaves the record as it was.  It lives
// on the heap and is never moved, so the record's pointers into it stay valid
// until it is freed.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <toml++/toml.h>

#include "core/lev.h"
#include "spielmod/spielmod.h"

struct LevelStore {
    std::string text;                             // the level file's bytes as read (or as last saved)
    toml::table doc;                              // parsed from `text`; its source positions index into it
    std::unique_ptr<SpielSource> config;          // config.cfg as read with the level; null: built-in defaults
    std::string levelFilePath;                    // relative to the data root: "levels/select/level.toml"
    Lev loaded;                                   // the record's level fields right after the load
    std::vector<std::unique_ptr<char[]>> strings; // every char* of the record
    std::vector<t_tree> trees;
    std::vector<t_person> persons;
    std::vector<LevLight> lights;
    std::vector<LevSound> sounds;
    std::vector<LevKeyBinding> bindings;
    std::unique_ptr<char[][256]> particleNames;
    std::unique_ptr<char[][256]> particleTextureFiles;
    std::unique_ptr<char[][256]> particleFiles;
    std::unique_ptr<float[][3]> particleVelocityBase;
    std::unique_ptr<float[][3]> particleVelocityVariance;
    std::unique_ptr<float[][3]> particleExtent;
    std::unique_ptr<float[][3]> particleOrigin;
    std::vector<float> particleSize;
    std::vector<float> particleRate;
    std::vector<uint8_t> particleScrollTexture;
    std::vector<float> particleTexOffsetU;
    std::vector<float> particleTexOffsetV;
    std::vector<float> particleTexScaleU;
    std::vector<float> particleTexScaleV;
    std::vector<uint32_t> particleMaxCount;
    std::unique_ptr<SNoise> noise;

    // A NUL-terminated copy of s owned by the store.
    char* keep(std::string_view s);
};

// Parses config (may be null) and the level file into a new store and writes
// the level part of `out` (every field except the service pointers,
// moduleQuit and moduleVersion) to point into it.  `levelDirectory` and
// `levelFileName` become the record's levelDirectory and levelFile.  Returns
// null after printing every problem found (file, line, key).
std::unique_ptr<LevelStore> buildLevel(SpielContext& ctx, const SpielSource* config, const SpielSource& level,
                                       const std::string& levelDirectory, const std::string& levelFileName, Lev& out);

// Byte-range edits of one text, applied together.  Offsets come from the
// source positions of a document parsed from exactly that text.
class TextEdits {
public:
    explicit TextEdits(const std::string& source);

    const std::string& text;

    // Byte offset of a toml++ position (line, column in code points).
    size_t offset(const toml::source_position& p) const;
    size_t begin(const toml::node& n) const { return offset(n.source().begin); }
    size_t end(const toml::node& n) const { return offset(n.source().end); }
    size_t lineStart(size_t at) const;
    // Offset of the "\n" or "\r\n" ending the line that holds `at` (or the
    // text's size).
    size_t lineEnd(size_t at) const;

    // Checks that a node's first and last bytes are what such a value starts
    // and ends with; a node found elsewhere makes the whole plan unusable.
    void expect(const toml::node& n);
    void replace(size_t from, size_t to, std::string with);
    void insert(size_t at, std::string with) { replace(at, at, std::move(with)); }
    // A block for the end of the file, after every other edit there, on
    // lines of its own after a blank line.
    void append(std::string block) { tail_.push_back(std::move(block)); }
    bool empty() const { return edits_.empty() && tail_.empty(); }
    // The edited text; false when two edits overlap or a node was not where
    // its position said (nothing usable then).
    bool apply(std::string& out) const;

private:
    struct Edit {
        size_t from, to, seq;
        std::string with;
    };
    std::vector<size_t> lines_; // offset of the first byte of each line
    std::vector<Edit> edits_;
    std::vector<std::string> tail_;
    bool broken_ = false;
};

// The shortest decimal that reads back as the same float, as a TOML float
// ("0.1", "270.0", "1e+06", "inf").
std::string floatText(float value);
// A TOML basic string and a TOML key (bare when it can be).
std::string tomlString(std::string_view s);
std::string tomlKey(std::string_view key);

// The text a save writes for the record as it is now: the level file with
// only the edited values changed in place.  Falls back to a full rewrite
// (comments lost) when the edited text would not load back as the record.
// False when nothing is loaded or the record's tables are unusable.
bool saveText(SpielContext& ctx, std::string& out);

// Writes `root` as TOML: plain keys first, then [tables], then [[arrays of
// tables]]; inline tables and arrays stay inline.  Floats are written with
// the fewest digits that read back to the same double.  Comments of the
// original file are not kept (the parsed table has none).
void writeToml(std::ostream& out, const toml::table& root);

// The double whose shortest decimal form is the float's shortest form, so
// that 0.1f is written as 0.1 and reads back as the same float.
double tomlFloat(float value);

bool equalsNoCase(std::string_view a, std::string_view b);
// The part of a file name after the last "/" and before the first "." (an
// object's name when the file gives none).
std::string baseName(const std::string& file);

// Copies s into a 256-byte field: at most 255 bytes, cut at a UTF-8 character
// boundary, always NUL-terminated.  Returns false when it had to cut.
bool copyField(char (&dst)[256], std::string_view s);
