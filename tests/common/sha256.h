// SHA-256 of a byte string, for pinning whole output files in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

std::string sha256_hex(const std::vector<std::uint8_t>& data);

}  // namespace testsupport
