// Writing output files so that a failed or interrupted run never leaves a
// truncated file in place of a good one (see fileout::AtomicOutputFile).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "brenvik/encode.h"

namespace brenvik {

// Returns false after printing "name: reason" on `err` (as perror does).
bool write_file_atomically(const std::string& name, const std::vector<std::uint8_t>& bytes,
                           std::FILE* err);

// Writes every file under its name, in order; a failure is reported on `err`
// and the other files are still written. False when one of them failed.
bool write_files(const std::vector<EncodedFile>& files, std::FILE* err);

}  // namespace brenvik
