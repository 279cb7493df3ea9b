// SHA-256 of a byte string, so that pinned file hashes can be checked with sha256sum too.
#pragma once

#include <string>

namespace test_support {

// Lower-case hexadecimal digest.
std::string sha256Hex(const std::string& bytes);

}  // namespace test_support
