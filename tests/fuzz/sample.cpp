// Fuzz target of the sound module's sample reader: the first byte picks the
// kind (0 8SVX, 1 AIFF, 2 WAV, 3 raw), the rest is the file.
#include "klangmod/sampleformat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const KlangFileKind kinds[] = {KLANG_FILE_8SVX, KLANG_FILE_AIFF, KLANG_FILE_WAV, KLANG_FILE_RAW};
    KlangDecodedSample sample;
    if (size > 0 && !KlangDecodeSample(kinds[data[0] % 4], data + 1, size - 1, &sample).empty() &&
        !sample.data.empty()) {
        __builtin_trap();   // a refused file must leave no samples behind
    }
    return 0;
}
