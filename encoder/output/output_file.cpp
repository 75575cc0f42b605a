#include "encoder/output/output_file.h"

#include <cstring>

#include "atomic_output_file.h"

namespace brenvik {

bool write_file_atomically(const std::string& name, const std::vector<std::uint8_t>& bytes,
                           std::FILE* err) {
    fileout::AtomicOutputFile file(name);
    if (file.open() && file.write(bytes.data(), bytes.size()) && file.commit()) return true;
    std::fprintf(err, "%s: %s\n", name.c_str(), std::strerror(file.error_number()));
    return false;
}

bool write_files(const std::vector<EncodedFile>& files, std::FILE* err) {
    bool ok = true;
    for (const EncodedFile& file : files) ok &= write_file_atomically(file.name, file.bytes, err);
    return ok;
}

}  // namespace brenvik
