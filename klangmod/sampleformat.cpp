// sampleformat.cpp — chunk walking and sample conversion for the sound module.
#include "klangmod/sampleformat.h"

#include <cstring>
#include <new>

#include "klangmod/audio_device.h"

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithNoCase(const char* name, const char* ext3)
{
    const size_t len = std::strlen(name);
    if (len < 3) {
        return false;
    }
    for (size_t i = 0; i < 3; i++) {
        if (LowerAscii(name[len - 3 + i]) != ext3[i]) {
            return false;
        }
    }
    return true;
}

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

uint16_t Be16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t Le32(const uint8_t* p)
{
    return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[1] << 8) | p[0]);
}

struct Chunk {
    char id[5] = {};
    uint64_t offset = 0; // of the chunk's content
    uint64_t size = 0;   // bytes of content, all present in the file
};

// The chunks of an IFF FORM or a RIFF file after its 12-byte head, in file
// order, up to the end of the bytes (or of the container, when that ends
// earlier).  Odd sizes are followed by a pad byte.  A chunk whose size
// passes the end of the file is a problem, as is a header cut short.
std::string WalkChunks(const uint8_t* bytes, size_t size, bool bigEndian, std::vector<Chunk>* chunks)
{
    const uint64_t declared = uint64_t(bigEndian ? Be32(bytes + 4) : Le32(bytes + 4)) + 8;
    const uint64_t end = declared < size ? declared : size;
    uint64_t pos = 12;
    while (pos < end) {
        if (end - pos < 8) {
            return "Chunk-Kopf bei Byte " + std::to_string(pos) + " abgeschnitten";
        }
        Chunk c;
        std::memcpy(c.id, bytes + pos, 4);
        c.size = bigEndian ? Be32(bytes + pos + 4) : Le32(bytes + pos + 4);
        c.offset = pos + 8;
        if (c.size > size - c.offset) {
            return std::string("Chunk ") + c.id + " (" + std::to_string(c.size) + " Bytes) reicht über das Dateiende";
        }
        chunks->push_back(c);
        pos = c.offset + c.size + (c.size & 1);
    }
    return "";
}

const Chunk* Find(const std::vector<Chunk>& chunks, const char* id)
{
    for (const Chunk& c : chunks) {
        if (std::memcmp(c.id, id, 4) == 0) {
            return &c;
        }
    }
    return nullptr;
}

// Layout from channels and bits; false when the mixer has none for it.
bool TypeOf(uint16_t channels, uint16_t bits, uint32_t* type)
{
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16)) {
        return false;
    }
    const bool wide = bits == 16;
    *type = channels == 1 ? (wide ? KLANG_M16S : KLANG_M8S) : (wide ? KLANG_S16S : KLANG_S8S);
    return true;
}

std::string LayoutProblem(uint16_t channels, uint16_t bits)
{
    return "nur Mono oder Stereo mit 8 oder 16 Bit spielbar (hier " + std::to_string(channels) + " Kanäle, " +
           std::to_string(bits) + " Bit)";
}

// Copies whole frames of `bytes` bytes at offset into out->data, converted
// to what the mixer plays: 16-bit values into native order, unsigned 8-bit
// values (WAV) to signed.
std::string TakeData(const uint8_t* bytes, uint64_t offset, uint64_t length, bool bigEndian, bool unsigned8,
                     KlangDecodedSample* out)
{
    const uint32_t frameSize = KlangFrameSize(out->sampleType);
    length -= length % frameSize;
    try {
        out->data.assign(bytes + offset, bytes + offset + length);
    } catch (const std::bad_alloc&) {
        return "kein Speicher für " + std::to_string(length) + " Bytes";
    }
    out->dataOffset = offset;
    const bool wide = out->sampleType == KLANG_M16S || out->sampleType == KLANG_S16S;
    uint8_t* d = out->data.data();
    if (wide) {
        for (uint64_t i = 0; i < length; i += 2) {
            const uint16_t v = bigEndian ? Be16(d + i) : Le16(d + i);
            std::memcpy(d + i, &v, 2);
        }
    } else if (unsigned8) {
        for (uint64_t i = 0; i < length; i++) {
            d[i] ^= 0x80;
        }
    }
    return "";
}

// "FORM", size, form type (not checked), chunks; the samples are the BODY
// chunk, 8-bit mono.  VHDR is not read: the engine sets the rate.
std::string Decode8svx(const uint8_t* bytes, size_t size, KlangDecodedSample* out)
{
    if (size < 12 || std::memcmp(bytes, "FORM", 4) != 0) {
        return "kein IFF-FORM";
    }
    std::vector<Chunk> chunks;
    std::string problem = WalkChunks(bytes, size, true, &chunks);
    const Chunk* body = Find(chunks, "BODY");
    if (body == nullptr) {
        return problem.empty() ? "kein BODY-Chunk" : problem;
    }
    out->sampleType = KLANG_M8S;
    return TakeData(bytes, body->offset, body->size, true, false, out);
}

// "FORM", size, "AIFF", chunks: COMM (channels, frames, bits, 80-bit rate)
// and SSND (offset, block size, samples from offset on).  Sample sizes
// below 8 or 16 bits occupy whole bytes as the larger size.
std::string DecodeAiff(const uint8_t* bytes, size_t size, KlangDecodedSample* out)
{
    if (size < 12 || std::memcmp(bytes, "FORM", 4) != 0 || std::memcmp(bytes + 8, "AIFF", 4) != 0) {
        return "kein AIFF (FORM ... AIFF)";
    }
    std::vector<Chunk> chunks;
    const std::string problem = WalkChunks(bytes, size, true, &chunks);
    const Chunk* comm = Find(chunks, "COMM");
    const Chunk* ssnd = Find(chunks, "SSND");
    if (comm == nullptr || ssnd == nullptr) {
        return !problem.empty() ? problem : comm == nullptr ? "kein COMM-Chunk" : "kein SSND-Chunk";
    }
    if (comm->size < 18) {
        return "COMM-Chunk zu kurz (" + std::to_string(comm->size) + " Bytes)";
    }
    const uint8_t* c = bytes + comm->offset;
    out->numChannels = Be16(c);
    out->sampleBits = Be16(c + 6);
    const uint16_t container = out->sampleBits >= 1 && out->sampleBits <= 8    ? 8
                               : out->sampleBits >= 9 && out->sampleBits <= 16 ? 16
                                                                               : out->sampleBits;
    if (!TypeOf(out->numChannels, container, &out->sampleType)) {
        return LayoutProblem(out->numChannels, out->sampleBits);
    }
    if (ssnd->size < 8) {
        return "SSND-Chunk zu kurz";
    }
    const uint64_t skip = Be32(bytes + ssnd->offset);
    if (skip > ssnd->size - 8) {
        return "SSND-Offset " + std::to_string(skip) + " hinter dem Chunk-Ende";
    }
    return TakeData(bytes, ssnd->offset + 8 + skip, ssnd->size - 8 - skip, true, false, out);
}

// "RIFF", size, "WAVE", chunks (little-endian): "fmt " (PCM, channels,
// rate, bits) and "data".  8-bit WAV samples are unsigned.
std::string DecodeWav(const uint8_t* bytes, size_t size, KlangDecodedSample* out)
{
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) {
        return "kein WAV (RIFF ... WAVE)";
    }
    std::vector<Chunk> chunks;
    const std::string problem = WalkChunks(bytes, size, false, &chunks);
    const Chunk* fmt = Find(chunks, "fmt ");
    const Chunk* data = Find(chunks, "data");
    if (fmt == nullptr || data == nullptr) {
        return !problem.empty() ? problem : fmt == nullptr ? "kein fmt-Chunk" : "kein data-Chunk";
    }
    if (fmt->size < 16) {
        return "fmt-Chunk zu kurz (" + std::to_string(fmt->size) + " Bytes)";
    }
    const uint8_t* f = bytes + fmt->offset;
    const uint16_t format = Le16(f);
    if (format != 1) {
        return "kein PCM (Format " + std::to_string(format) + ")";
    }
    out->numChannels = Le16(f + 2);
    out->rate = Le32(f + 4);
    out->sampleBits = Le16(f + 14);
    if (!TypeOf(out->numChannels, out->sampleBits, &out->sampleType)) {
        return LayoutProblem(out->numChannels, out->sampleBits);
    }
    return TakeData(bytes, data->offset, data->size, false, true, out);
}

} // namespace

KlangFileKind KlangFileKindOf(const char* fileName)
{
    if (EndsWithNoCase(fileName, "svx")) {
        return KLANG_FILE_8SVX;
    }
    if (EndsWithNoCase(fileName, "iff")) {
        return KLANG_FILE_AIFF;
    }
    if (EndsWithNoCase(fileName, "wav")) {
        return KLANG_FILE_WAV;
    }
    return KLANG_FILE_RAW;
}

std::string KlangDecodeSample(KlangFileKind kind, const uint8_t* bytes, size_t size, KlangDecodedSample* out)
{
    *out = KlangDecodedSample{};
    std::string problem;
    switch (kind) {
    case KLANG_FILE_8SVX: problem = Decode8svx(bytes, size, out); break;
    case KLANG_FILE_AIFF: problem = DecodeAiff(bytes, size, out); break;
    case KLANG_FILE_WAV: problem = DecodeWav(bytes, size, out); break;
    case KLANG_FILE_RAW:
        out->sampleType = KLANG_M8S;
        problem = TakeData(bytes, 0, size, true, false, out);
        break;
    }
    if (!problem.empty()) {
        *out = KlangDecodedSample{};
    }
    return problem;
}
