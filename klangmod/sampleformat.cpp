// sampleformat.cpp — header reading for the sound module's sample files.

#include "klangmod/sampleformat.h"

#include <cstring>

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

// Reads forward through the header; a read that would pass the end moves the
// position to the end and fails, as a read at end of file would.
struct Cursor {
    const uint8_t* bytes;
    size_t size;
    size_t pos;

    bool take(size_t n, const uint8_t** out)
    {
        if (n > size - pos) {
            pos = size;
            return false;
        }
        *out = bytes + pos;
        pos += n;
        return true;
    }
    bool tag(const char* fourcc, bool* matches)
    {
        const uint8_t* p = nullptr;
        if (!take(4, &p)) {
            return false;
        }
        *matches = std::memcmp(p, fourcc, 4) == 0;
        return true;
    }
    bool be32(uint32_t* out)
    {
        const uint8_t* p = nullptr;
        if (!take(4, &p)) {
            return false;
        }
        *out = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        return true;
    }
    bool be16(uint16_t* out)
    {
        const uint8_t* p = nullptr;
        if (!take(2, &p)) {
            return false;
        }
        *out = static_cast<uint16_t>((p[0] << 8) | p[1]);
        return true;
    }
};

KlangSampleLayout Fallback(size_t offset)
{
    KlangSampleLayout layout;
    layout.sampleType = KLANG_M8S;
    layout.dataOffset = offset;
    layout.headerOk = false;
    return layout;
}

// "FORM", size, form type (not checked), then chunks up to "BODY".  Chunks
// before BODY are skipped by their size without a pad byte; VHDR is not read,
// so the file's own rate is ignored (the engine sets the rate).
KlangSampleLayout Parse8svx(const uint8_t* bytes, size_t size)
{
    Cursor c{bytes, size, 0};
    bool isForm = false;
    if (!c.tag("FORM", &isForm) || !isForm) {
        return Fallback(c.pos);
    }
    const uint8_t* skipped = nullptr;
    if (!c.take(8, &skipped)) {
        return Fallback(c.pos);
    }
    for (;;) {
        bool isBody = false;
        uint32_t chunkSize = 0;
        if (!c.tag("BODY", &isBody) || !c.be32(&chunkSize)) {
            return Fallback(c.pos);
        }
        if (isBody) {
            KlangSampleLayout layout;
            layout.sampleType = KLANG_M8S;
            layout.dataOffset = c.pos;
            return layout;
        }
        if (chunkSize > size - c.pos) {
            return Fallback(c.pos);
        }
        c.pos += chunkSize;
    }
}

// "FORM", size, "AIFF", "COMM" of size 18 (channels, frames, bits, 80-bit
// rate), then the SSND chunk's id, size, offset and block size are skipped
// unread: the data must follow COMM directly with offset 0.
KlangSampleLayout ParseAiff(const uint8_t* bytes, size_t size)
{
    Cursor c{bytes, size, 0};
    bool ok = false;
    uint32_t word = 0;
    if (!c.tag("FORM", &ok) || !ok || !c.be32(&word) || !c.tag("AIFF", &ok) || !ok ||
        !c.tag("COMM", &ok) || !ok || !c.be32(&word) || word != 18) {
        return Fallback(c.pos);
    }
    KlangSampleLayout layout;
    uint32_t frames = 0;
    const uint8_t* skipped = nullptr;
    if (!c.be16(&layout.numChannels) || !c.be32(&frames) || !c.be16(&layout.sampleBits) ||
        !c.take(10, &skipped) || !c.take(16, &skipped)) {
        return Fallback(c.pos);
    }
    layout.dataOffset = c.pos;
    const bool mono = layout.numChannels == 1;
    const bool stereo = layout.numChannels == 2;
    if ((mono || stereo) && (layout.sampleBits == 8 || layout.sampleBits == 16)) {
        const bool wide = layout.sampleBits == 16;
        layout.sampleType = mono ? (wide ? KLANG_M16S : KLANG_M8S) : (wide ? KLANG_S16S : KLANG_S8S);
        layout.bigEndian16 = wide;
    } else {
        layout.sampleType = KLANG_M8S;
    }
    return layout;
}

}  // namespace

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

KlangSampleLayout KlangParseSampleHeader(KlangFileKind kind, const uint8_t* bytes, size_t size)
{
    switch (kind) {
    case KLANG_FILE_8SVX:
        return Parse8svx(bytes, size);
    case KLANG_FILE_AIFF:
        return ParseAiff(bytes, size);
    case KLANG_FILE_WAV: {
        KlangSampleLayout layout;
        layout.sampleType = KLANG_M16S;
        return layout;
    }
    case KLANG_FILE_RAW:
        break;
    }
    return KlangSampleLayout{};
}
