#include "test_support.h"

#include <algorithm>

namespace zorpa_test {

unsigned char position_byte(std::uint64_t position, std::uint32_t salt) {
    std::uint64_t x = position * 0x9E3779B97F4A7C15ull + salt * 0xC2B2AE3D27D4EB4Full + 1;
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    return static_cast<unsigned char>(x >> 24);
}

Bytes picture_bytes(std::uint32_t frame, std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = position_byte(i, frame + 1);
    }
    return bytes;
}

std::string frame_name(const std::string& stem, std::uint32_t frame, const std::string& extension) {
    std::string digits = std::to_string(frame);
    return stem + std::string(5 - std::min<std::size_t>(5, digits.size()), '0') + digits +
           extension;
}

void write_series(const std::string& stem, std::uint32_t first, std::uint32_t last,
                  const std::string& extension, std::size_t size) {
    for (std::uint32_t frame = first; frame <= last; ++frame) {
        write_file(frame_name(stem, frame, extension), picture_bytes(frame, size));
    }
}

Bytes wav_bytes(std::size_t data_size) {
    Bytes bytes(kWavHeaderSize + data_size);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = position_byte(i, 0);
    }
    return bytes;
}

Bytes converted_sound(const Bytes& wav, std::size_t begin, std::size_t size) {
    Bytes bytes(wav.begin() + static_cast<std::ptrdiff_t>(begin),
                wav.begin() + static_cast<std::ptrdiff_t>(begin + size));
    for (auto& byte : bytes) {
        byte ^= 0x80;
    }
    return bytes;
}

Bytes expected_record(const Bytes& picture, const Bytes& chunk) {
    Bytes full = picture;
    full.resize(kPictureSize, 0);
    Bytes record(kRecordSize);
    auto next = std::copy(full.begin() + 3360, full.begin() + 28640, record.begin());
    next = std::copy(full.begin() + 34016, full.begin() + 49184, next);
    std::copy(chunk.begin(), chunk.end(), next);
    return record;
}

Bytes silence(std::size_t size) {
    return Bytes(size, 0x80);
}

::testing::AssertionResult same_bytes(const Bytes& actual, const Bytes& expected) {
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << "size " << actual.size() << ", expected " << expected.size();
    }
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin());
    if (a == actual.end()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "first difference at byte " << (a - actual.begin())
                                         << ": " << int{*a} << ", expected " << int{*e};
}

Bytes Container::slice(std::size_t begin, std::size_t size) const {
    if (begin + size > bytes.size()) {
        return {};
    }
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                 bytes.begin() + static_cast<std::ptrdiff_t>(begin + size));
}

}  // namespace zorpa_test
