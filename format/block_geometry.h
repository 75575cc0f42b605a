// Blocks of lines: the lines that share one palette record of the first
// palette set (--blockoflines=N).
//
//   N (option)         block height  rows around the centre  first centre line
//   2                  2             0..+1                   1
//   3                  3             -1..+1                  2
//   4                  4             -1..+2                  2
//   5                  5             -2..+2                  3
//   6                  6             -2..+3                  3
//   any other (0,1,7..9)  1          0..0                    1
//
// Block b is centred on line first_centre_line + b * block_height (lines
// from 1); blocks follow while their centre lies below height + block
// height, so the last block may reach past the picture (its record is
// written all the same).
#pragma once

#include <vector>

namespace format {

inline constexpr int kLowestBlockLines = 0;  // option values; 0 and 7..9 mean 1
inline constexpr int kHighestBlockLines = 9;
inline constexpr int kTallestBlock = 6;

struct BlockGeometry {
    int block_height = 1;
    int first_row_offset = 0;  // first line of a block minus its centre line
    int last_row_offset = 0;   // last line of a block minus its centre line
    int first_centre_line = 1;
    constexpr int row_count() const { return last_row_offset - first_row_offset + 1; }
};

constexpr BlockGeometry block_geometry(int block_lines_option) {
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

// Centre lines of the blocks of a picture `height` lines high, top to bottom.
inline std::vector<int> block_centre_lines(const BlockGeometry& g, int height) {
    std::vector<int> centres;
    for (int c = g.first_centre_line; c < height + g.block_height; c += g.block_height) {
        centres.push_back(c);
    }
    return centres;
}

constexpr int block_count(const BlockGeometry& g, int height) {
    int count = 0;
    for (int c = g.first_centre_line; c < height + g.block_height; c += g.block_height) ++count;
    return count;
}

// The block (from 0) whose rows hold line `line` (from 1).
constexpr int block_of_line(const BlockGeometry& g, int line) {
    return (line - (g.first_centre_line + g.first_row_offset)) / g.block_height;
}

}  // namespace format
