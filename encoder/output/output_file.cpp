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

}  // namespace brenvik
