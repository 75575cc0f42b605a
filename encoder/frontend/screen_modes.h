// Screen modes and their palette schedules: which hardware register each
// palette slot uses and over which pixel columns it is shown.
#pragma once

#include <array>

#include "encoder/state/state.h"

namespace brenvik {

inline constexpr int kScreenModeCount = 5;

// The screen-mode table; the row is chosen by "--mode=". Row 4 is the layout
// of id 0 on a 320 x 20 picture with empty palette records.
extern const std::array<ScreenMode, kScreenModeCount> screen_modes;

// Builds the slot tables of `mode` with the given horizontal shift (-5..4,
// ignored by id 0).
ScreenLayout build_screen_layout(const ScreenMode& mode, int schedule_shift);

}  // namespace brenvik
