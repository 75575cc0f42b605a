// Writing an output file so that a failed or interrupted run never leaves a
// truncated file in place of a good one (see fileout::AtomicOutputFile).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace brenvik {

// Returns false after printing "name: reason" on `err` (as perror does).
bool write_file_atomically(const std::string& name, const std::vector<std::uint8_t>& bytes,
                           std::FILE* err);

}  // namespace brenvik
