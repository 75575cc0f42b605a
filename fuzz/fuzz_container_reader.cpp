// Fuzz target: the Zorpa container reader on arbitrary bytes. The input is
// the container itself; a valid-looking header is most often followed by a
// short or damaged body, so the check, the frame extraction and the sound
// extraction all meet truncated and inconsistent data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "container_reader.h"
#include "format/container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zorpa::MemorySource source(data, size);
    const zorpa::CheckResult check = zorpa::check_container(source);
    if (!check.ok && check.message.find(std::to_string(check.fault_offset)) == std::string::npos) {
        std::abort();  // a fault must name its offset
    }
    // Whatever the check says, the extractors must refuse cleanly.
    std::vector<unsigned char> bytes;
    const std::uint32_t frames = check.frames < 64 ? check.frames : 64;
    for (std::uint32_t i = 0; i < frames; ++i) {
        if (!zorpa::extract_frame(source, i, bytes)) {
            break;
        }
        if (bytes.size() != format::container::kFramePictureBytes) {
            std::abort();
        }
    }
    if (zorpa::extract_sound(source, frames, bytes)) {
        const std::vector<unsigned char> wav = zorpa::wav_file(bytes);
        if (wav.size() != bytes.size() + 44) {
            std::abort();
        }
    }
    return 0;
}
