// Printf-style text collected in memory, so that a block of lines optimised
// on a worker thread can hand its trace lines to the driver, which passes
// them on in block order.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

namespace brenvik {

// Where a run's text goes, piece by piece and in order (standard output for
// the brenvik program, the caller's sink for the library).
using TraceWriter = std::function<void(std::string_view)>;

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
    // Hands the collected text to `out` (when set) and empties the sink.
    void flush_to(const TraceWriter& out);

  private:
    std::string text_;
};

}  // namespace brenvik
