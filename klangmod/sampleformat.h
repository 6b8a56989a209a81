// sampleformat.h — where the sample data start in an 8SVX, AIFF or WAV file.
//
// The sound module loads whole files; this reader only looks at the header
// (all numbers big-endian) to find the data offset and the sample layout.
// It works on bytes already in memory and never reads past `size`: a header
// that is cut short or lies about a chunk size falls back to 8-bit mono data
// starting where reading stopped, which is also what an unexpected header
// gets.  Called by KlangAudio::loadSound only.
#pragma once

#include <cstddef>
#include <cstdint>

enum KlangFileKind {
    KLANG_FILE_RAW,     // any other extension: 8-bit mono from byte 0
    KLANG_FILE_8SVX,    // name ends in "svx"
    KLANG_FILE_AIFF,    // name ends in "iff"
    KLANG_FILE_WAV,     // name ends in "wav": the whole file as 16-bit mono
};

// The kind by the last three characters of the name, compared without case.
KlangFileKind KlangFileKindOf(const char* fileName);

struct KlangSampleLayout {
    uint32_t sampleType = 0;        // KlangSampleType
    uint16_t numChannels = 0;       // from an AIFF header, else 0
    uint16_t sampleBits = 0;        // from an AIFF header, else 0
    size_t dataOffset = 0;          // bytes; always <= the size parsed
    bool headerOk = true;           // false: the fallback above was taken
    bool bigEndian16 = false;       // data are 16-bit big-endian (AIFF)
};

// Parses the header of `bytes` (size bytes) as the given kind.
KlangSampleLayout KlangParseSampleHeader(KlangFileKind kind, const uint8_t* bytes, size_t size);
