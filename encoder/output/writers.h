// The bytes of the files the encoder makes: the picture file (ST bitplanes
// then palette records), its error-diffused twin, the second error-diffused
// bitmap and the preview BMPs. Writing them to disk is output_file.h's job.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "brenvik/encode.h"
#include "encoder/conversion/diffusion.h"
#include "encoder/state/pictures.h"
#include "encoder/state/state.h"

namespace brenvik {

// A 54-byte BMP header for a W x H 24-bit preview, based on the input's own.
std::array<std::uint8_t, 54> preview_header(const std::array<std::uint8_t, 54>& input, int width,
                                            int height);

// Appends one line of registers (0..15) as ST low-resolution bitplanes: groups
// of 16 pixels, four big-endian words (planes 0..3), leftmost pixel in bit 15.
void append_bitplanes(std::vector<std::uint8_t>& out, const std::vector<int>& registers);

// Every output file of the run, named after the input, in the order they
// are written (the verbose trace lines of this stage go to `out`).
// `diffused_pixels` is the error-diffused rendering, null for a mode that
// has none (two bitmaps, two palettes): then there are no diffused files.
std::vector<EncodedFile> serialise(const RunContext& ctx, const SourcePictures& pictures,
                                   const RunResults& results,
                                   const Grid<DiffusedPixel>* diffused_pixels,
                                   const TraceWriter& out);

}  // namespace brenvik
