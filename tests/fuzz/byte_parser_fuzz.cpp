// libFuzzer target of one byte parser, chosen at build time by FUZZ_FUNCTION.
#include "byte_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FUZZ_FUNCTION(data, size);
    return 0;
}
