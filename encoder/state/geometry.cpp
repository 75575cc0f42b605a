#include "encoder/state/geometry.h"

namespace brenvik {

BlockGeometry block_geometry(int block_lines_option) {
    switch (block_lines_option) {
        case 2:
            return {2, 0, 1, 1};
        case 3:
            return {3, -1, 1, 2};
        case 4:
            return {4, -1, 2, 2};
        case 5:
            return {5, -2, 2, 3};
        case 6:
            return {6, -2, 3, 3};
        default:
            return {1, 0, 0, 1};
    }
}

std::vector<int> block_centre_lines(const RunSettings& settings) {
    std::vector<int> centres;
    const BlockGeometry& g = settings.block_geometry;
    for (int h = g.first_centre_line; h < settings.picture_height + g.block_height;
         h += g.block_height) {
        centres.push_back(h);
    }
    return centres;
}

}  // namespace brenvik
