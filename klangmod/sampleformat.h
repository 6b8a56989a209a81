// sampleformat.h — 8SVX, AIFF and WAV files into playable sample data.
//
// The sound module reads whole sample files and hands the bytes here.  The
// reader walks the file's chunks (IFF: big-endian sizes, odd chunks padded
// to even; RIFF: the same little-endian), checks every size and offset
// against the bytes actually present, and returns the samples in the form
// the mixer plays: signed, 16-bit values in the machine's byte order.  A file
// it cannot use comes back with a short German text naming the problem.
// Called by KlangAudio::loadSound and the fuzz target; no state, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum KlangFileKind {
    KLANG_FILE_RAW,  // any other extension: the whole file as 8-bit mono
    KLANG_FILE_8SVX, // name ends in "svx"
    KLANG_FILE_AIFF, // name ends in "iff"
    KLANG_FILE_WAV,  // name ends in "wav"
};

// The kind by the last three characters of the name, compared without case.
KlangFileKind KlangFileKindOf(const char* fileName);

struct KlangDecodedSample {
    uint32_t sampleType = 0;   // KlangSampleType
    uint16_t numChannels = 0;  // from an AIFF or WAV header, else 0
    uint16_t sampleBits = 0;   // from an AIFF or WAV header, else 0
    uint64_t dataOffset = 0;   // file position of the first sample byte
    uint32_t rate = 0;         // Hz the file states (WAV), 0 when it states none
    std::vector<uint8_t> data; // whole frames, signed, 16-bit values in native order
};

// Reads `size` bytes of a file of the given kind.  Returns "" and fills out,
// or the problem ("kein BODY-Chunk", ...) and leaves out empty.
std::string KlangDecodeSample(KlangFileKind kind, const uint8_t* bytes, size_t size, KlangDecodedSample* out);
