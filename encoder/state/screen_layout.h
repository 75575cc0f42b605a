// The encoder's tables of a screen mode's register schedule: which register
// holds each slot and where each slot is visible, plus the slots the search
// adds (0 black, 1 the dominant colour, the whole-line slot).
#pragma once

#include "encoder/state/state.h"

namespace brenvik {

// Builds the slot tables of `mode` with the given horizontal shift (-5..4,
// ignored by layout 0).
ScreenLayout build_screen_layout(const ScreenMode& mode, int schedule_shift);

}  // namespace brenvik
