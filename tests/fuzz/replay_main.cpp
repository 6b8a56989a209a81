// replay_main.cpp — runs a fuzz target over every file of its corpus, so the
// normal test run passes each saved input through the same parser entry.
// A crash or sanitizer report fails the test; success prints the count.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        std::filesystem::recursive_directory_iterator it(argv[i], ec), end;
        if (ec) {
            std::fprintf(stderr, "replay: %s: %s\n", argv[i], ec.message().c_str());
            return 1;
        }
        for (; it != end; ++it) {
            if (!it->is_regular_file()) {
                continue;
            }
            std::ifstream in(it->path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            // Exactly-sized heap copy, so a read one byte past the end is seen.
            auto* copy = new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)];
            std::copy(bytes.begin(), bytes.end(), copy);
            LLVMFuzzerTestOneInput(copy, bytes.size());
            delete[] copy;
            ++count;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "replay: empty corpus\n");
        return 1;
    }
    std::printf("replay: %zu inputs\n", count);
    return 0;
}
