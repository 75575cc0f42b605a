#include "encoder/state/geometry.h"

namespace brenvik {

BlockGeometry block_geometry(int ligneX3) {
    switch (ligneX3) {
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

std::vector<int> block_centres(const RunSettings& settings) {
    std::vector<int> centres;
    const BlockGeometry& g = settings.geometry;
    for (int h = g.hauteurdebut; h < settings.hauteurfinale + g.hauteursegment;
         h += g.hauteursegment) {
        centres.push_back(h);
    }
    return centres;
}

}  // namespace brenvik
