// Fuzz target of the sound module's sample reader: the first byte picks the
// kind (0 8SVX, 1 AIFF, 2 WAV, 3 raw), the rest is the file.
#include <cstddef>
#include <cstdint>

#include "klangmod/sampleformat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const KlangFileKind kinds[] = {KLANG_FILE_8SVX, KLANG_FILE_AIFF, KLANG_FILE_WAV, KLANG_FILE_RAW};
    KlangDecodedSample sample;
    const std::string problem = KlangDecodeSample(kinds[data[0] % 4], data + 1, size - 1, &sample);
    // What comes back is either a problem or whole frames, all inside the file.
    if ((!problem.empty() && !sample.data.empty()) || sample.data.size() > size - 1 ||
        sample.dataOffset + sample.data.size() > size - 1) {
        __builtin_trap();
    }
    return 0;
}
