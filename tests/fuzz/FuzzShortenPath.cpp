// Path shortening over any text, width and buffer size: input byte 0 is the
// width (signed), byte 1 the destination's size, the rest the source text
// (up to its first zero byte). The destination is an exact-size block, so a
// write past it is caught.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/ShortenPath.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    int width = static_cast<int8_t>(input.Byte());
    size_t destinationSize = input.Byte();
    std::string source(reinterpret_cast<const char*>(input.Rest()), input.Remaining());
    source = source.c_str();  // up to the first zero byte

    std::vector<char> destination(destinationSize);
    char* out = destination.empty() ? nullptr : destination.data();
    bool done = ShortenPath(source.c_str(), out, destinationSize, width);
    if (!done) {
        if (out != nullptr) FUZZ_CHECK(out[0] == '\0');
        FUZZ_CHECK(destinationSize == 0 || width < 0 || width > 100 || static_cast<size_t>(width) >= destinationSize);
        return 0;
    }
    size_t length = strlen(out);
    FUZZ_CHECK(length < destinationSize);
    size_t keep = width / 2 - 1 > 0 ? static_cast<size_t>(width / 2 - 1) : 0;
    if (source.size() <= static_cast<size_t>(width) || keep == 0) {
        // Copied whole, or cut to the buffer when the width is too small to shorten.
        FUZZ_CHECK(source.compare(0, length, out) == 0);
        FUZZ_CHECK(length == source.size() || length == destinationSize - 1);
        return 0;
    }
    FUZZ_CHECK(length == static_cast<size_t>(width));
    FUZZ_CHECK(memcmp(out, source.data(), keep) == 0);
    FUZZ_CHECK(memcmp(out + width - keep, source.data() + source.size() - keep, keep) == 0);
    for (size_t i = keep; i < static_cast<size_t>(width) - keep; ++i) FUZZ_CHECK(out[i] == '.');
    return 0;
}
