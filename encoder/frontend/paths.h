// File-name helpers. Only a "." in the last path component (after the last
// "/" or "\") starts an extension, so "old.dir/photo" has none.
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

}  // namespace brenvik
