#include "encoder/state/geometry.h"

namespace brenvik {

std::vector<int> block_centre_lines(const RunSettings& settings) {
    return format::block_centre_lines(settings.block_geometry, settings.picture_height);
}

}  // namespace brenvik
