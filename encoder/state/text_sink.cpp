#include "encoder/state/text_sink.h"

#include <cstdio>
#include <vector>

namespace brenvik {

void TextSink::printf(const char* format, ...) {
    char small[256];
    std::va_list args;
    va_start(args, format);
    std::va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (needed < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<std::size_t>(needed) < sizeof small) {
        text_.append(small, static_cast<std::size_t>(needed));
    } else {
        std::vector<char> big(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(big.data(), big.size(), format, copy);
        text_.append(big.data(), static_cast<std::size_t>(needed));
    }
    va_end(copy);
}

void TextSink::flush_to(const TraceWriter& out) {
    if (!text_.empty()) {
        if (out) out(text_);
        text_.clear();
    }
}

}  // namespace brenvik
