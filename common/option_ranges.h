// The values the encoder's options take, shared by every program that takes
// or passes them on (brenvik, brenvik-view, brenvik-video, the STE host
// tool), so that their ranges cannot drift apart.
#pragma once

#include <array>
#include <climits>
#include <string>

namespace options {

struct Range {
    const char* name;  // as typed, without the value: "--mode"
    long long low;
    long long high;

    constexpr bool holds(long long value) const { return value >= low && value <= high; }
    // "--mode=9: expected 0..4"
    std::string fault(const std::string& value) const {
        return std::string(name) + "=" + value + ": expected " + std::to_string(low) + ".." +
               std::to_string(high);
    }
};

inline constexpr Range kQuality{"quality digit", 0, 9};  // -0 .. -9
inline constexpr Range kMode{"--mode", 0, 4};
inline constexpr Range kDither{"--dither", 0, 5};
inline constexpr Range kDiffusion{"--ed", 0, 3};
inline constexpr Range kPixpal{"--pixpal", 1, 3};
inline constexpr Range kPreview{"--preview", 0, 1};
inline constexpr Range kShiftpixels{"--shiftpixels", 0, 9};
// 0 and 7..9 are taken and mean one-line blocks, as 1 does.
inline constexpr Range kBlockoflines{"--blockoflines", 0, 9};
// Any int: the generator is seeded with its 32 bits.
inline constexpr Range kSeed{"--seed", INT_MIN, INT_MAX};
// Worker threads of one encoding; 0: one per core.
inline constexpr Range kThreads{"--threads", 0, 4096};

// An option that takes one of a few words.
struct Choices {
    const char* name;  // "--distance"
    std::array<const char*, 2> words;

    bool holds(const std::string& value) const {
        for (const char* word : words) {
            if (value == word) return true;
        }
        return false;
    }
    // "phased or plain"
    std::string listed() const { return std::string(words[0]) + " or " + words[1]; }
    // "--distance=x: expected phased or plain"
    std::string fault(const std::string& value) const {
        return std::string(name) + "=" + value + ": expected " + listed();
    }
};

// The colour distance of the search: the dither phases' own (the default),
// or the same plain distance in every phase.
inline constexpr Choices kDistance{"--distance", {"phased", "plain"}};

}  // namespace options
