// Error diffusion: a second rendering of the optimised palettes in which every
// pixel takes the nearest of the 16 registers loaded at its column and pushes
// its colour error onto the neighbours not yet visited.
#pragma once

#include <array>
#include <vector>

#include "encoder/state/state.h"

namespace brenvik {

// Colours held by the 16 hardware registers at a column: R, V, B of the
// first colour, then of the second.
using Registers = std::array<std::array<int, 6>, 16>;

// The same colours a channel at a time: channel[j][register] is int j of
// the register's colour.
struct RegisterPlanes {
    std::array<std::array<int, 16>, 6> channel;
};
RegisterPlanes register_planes(const Registers& registers);

// Columns that show the same slot in every register form a group: per
// group, the slot each register shows (-1: none, the register is black),
// and the group of every column 0..W-1. It depends on the layout only.
struct RegisterGroups {
    std::vector<std::array<int, 16>> slots;  // [group][register]
    std::vector<int> group_of_column;        // [column]
};
RegisterGroups register_groups(const ScreenLayout& layout);

// The registers of every group on line y, from the slot records of that line
// (the storage of `planes` is reused).
void fill_group_registers(const RegisterGroups& groups, const RunResults& results, int y,
                          std::vector<RegisterPlanes>& planes);

// A pixel of the diffused picture: the register's first colour, the
// register, the register's second colour.
struct DiffusedPixel {
    std::array<int, 3> first{};
    int register_index = 0;
    std::array<int, 3> second{};
};

// The nearest register to a working colour (R, V, B, R2, V2, B2), and the
// error pixel minus register that it leaves.
struct NearestRegister {
    int register_index = 0;
    int distance = 0;
    std::array<int, 3> error{};
};
NearestRegister nearest_register(const std::array<int, 6>& colour, const RegisterPlanes& planes,
                                 int has_companion);

// One pixel of the diffusion: the register it takes and the error it passes
// on. Errors whose channels sum to -3..3 are dropped; a pixel at least
// `threshold` away (summed over the channels) from its nearest register is
// matched again from its undiffused colour and passes nothing on.
struct DiffusionStep {
    int register_index = 0;
    std::array<int, 3> error{};
};
DiffusionStep diffusion_step(const std::array<int, 6>& working,
                             const std::array<int, 6>& undiffused, const RegisterPlanes& planes,
                             int has_companion, int threshold);

// Adds the kernel's shares of `error` (truncated toward zero) to the first
// colour of the neighbours of (x, y) that lie inside columns 0..W-1 and lines 1..H.
void spread_error(Grid<std::array<int, 6>>& work, int x, int y, int width, int height,
                  const std::array<int, 3>& error, int diffusion_kernel);

// The diffusion run line by line, so that it can follow the optimiser: a
// line only needs its own slot records and the errors of the lines above.
class LineDiffusion {
  public:
    LineDiffusion(const RunSettings& settings, const ScreenLayout& layout,
                  const PictureTables& picture, const RunResults& results);
    // Diffuses the lines not done yet up to `line`; their records must be final.
    void diffuse_through(int line);
    // Diffuses what is left and returns [line][column] (lines 1..H, columns 0..W-1).
    const Grid<DiffusedPixel>& pixels();

  private:
    // The kernels reach two lines down, so three lines of working colours
    // are kept, line y at y % kWorkLines.
    static constexpr int kWorkLines = 3;
    std::array<int, 6>* work_line(int y);
    void start_work_line(int y);

    const RunSettings& settings_;
    const PictureTables& picture_;
    const RunResults& results_;
    RegisterGroups groups_;
    Grid<DiffusedPixel> out_;
    std::vector<std::array<int, 6>> work_;
    std::vector<RegisterPlanes> planes_;
    int threshold_;
    int next_line_ = 1;
};

}  // namespace brenvik
