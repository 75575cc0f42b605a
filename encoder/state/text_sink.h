// Printf-style text collected in memory, so that a block of lines optimised
// on a worker thread can hand its trace lines to the driver, which prints
// them in block order.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace brenvik {

class TextSink {
  public:
    [[gnu::format(printf, 2, 3)]] void printf(const char* format, ...);
    // puts() semantics: the text followed by a newline.
    void puts(const char* text) {
        text_ += text;
        text_ += '\n';
    }
    void append(const std::string& text) { text_ += text; }

    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }
    // Writes the collected text to `out` and empties the sink.
    void flush_to(std::FILE* out);

  private:
    std::string text_;
};

}  // namespace brenvik
