#include "encoder/state/file_names.h"

namespace brenvik {

std::size_t last_component_start(const std::string& name) {
    const std::size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string strip_extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < last_component_start(name)) return name;
    return name.substr(0, dot);
}

std::string prefix_last_component(const std::string& name, const std::string& prefix) {
    const std::size_t start = last_component_start(name);
    return name.substr(0, start) + prefix + name.substr(start);
}

OutputNames output_names(const std::string& arg) {
    const std::string base = strip_extension(arg);
    const std::string diffused_base = prefix_last_component(base, "F");
    return {base + ".bVK",           diffused_base + ".bVK", base + "F2.bVK",
            base + "_preview.bmp",   base + "_preview2.bmp", diffused_base + "_preview.bmp",
            base + "_previewF2.bmp", base + "_source.bmp"};
}

}  // namespace brenvik
