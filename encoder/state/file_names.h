// File names: the path helpers and the names of the files an encoding
// writes. Only a "." in the last path component (after the last "/" or "\")
// starts an extension, so "old.dir/photo" has none.
#pragma once

#include <string>

namespace brenvik {

// Index where the last path component starts.
std::size_t last_component_start(const std::string& name);

// The name without its extension.
std::string strip_extension(const std::string& name);

// The name with its extension replaced by `suffix` (or `suffix` appended).
inline std::string replace_extension(const std::string& name, const std::string& suffix) {
    return strip_extension(name) + suffix;
}

// The name with `prefix` put in front of its last path component.
std::string prefix_last_component(const std::string& name, const std::string& prefix);

// The files written for the input name `arg`.
struct OutputNames {
    std::string picture;                  // base.bVK
    std::string diffused;                 // Fbase.bVK (F in front of the last path component)
    std::string diffused_bitmap;          // baseF2.bVK
    std::string preview;                  // base_preview.bmp
    std::string second_preview;           // base_preview2.bmp
    std::string diffused_preview;         // Fbase_preview.bmp
    std::string diffused_second_preview;  // base_previewF2.bmp
    std::string fitted_source;            // base_source.bmp (with --fit)
};
OutputNames output_names(const std::string& arg);

}  // namespace brenvik
