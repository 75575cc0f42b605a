// The canonical 44-byte WAV header of 8-bit mono PCM sound:
//
//   "RIFF", 36 + data bytes, "WAVE", "fmt ", 16, format 1 (PCM), 1 channel,
//   rate, rate (bytes a second), 1 (bytes a frame), 8 (bits), "data",
//   data bytes; all numbers little-endian.
//
// The container writer skips exactly these 44 bytes of its WAV and reads the
// samples behind them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace format {

inline constexpr std::size_t kWavHeaderBytes = 44;

inline std::array<std::uint8_t, kWavHeaderBytes> wav_header(std::uint32_t data_bytes,
                                                            std::uint32_t rate) {
    std::array<std::uint8_t, kWavHeaderBytes> h{};
    std::size_t at = 0;
    const auto text = [&](const char* four) {
        for (int i = 0; i < 4; ++i) h[at++] = static_cast<std::uint8_t>(four[i]);
    };
    const auto le = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) h[at++] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    text("RIFF");
    le(36 + data_bytes, 4);
    text("WAVE");
    text("fmt ");
    le(16, 4);
    le(1, 2);
    le(1, 2);
    le(rate, 4);
    le(rate, 4);
    le(1, 2);
    le(8, 2);
    text("data");
    le(data_bytes, 4);
    return h;
}

}  // namespace format
