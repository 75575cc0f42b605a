// The counters and stage timers of the block search, kept per block and
// summed in block order.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>

namespace brenvik {

// The clock of the stage timers: a steady clock, cheap to read from any
// thread, unlike the processor-time clock, a system call that the worker
// threads contend for.
using StageClock = std::chrono::steady_clock;
inline double seconds_between(StageClock::time_point from, StageClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The timed parts of a block's search. The summary prints them as the
// lines timer1..timer11 (see printed_timer_seconds).
enum class SearchStage : std::size_t {
    kImprovements,    // recording the annealing's improvements
    kBlockResult,     // the annealing's final evaluation and storing of the block's result
    kOneColourSetUp,  // setting up the one-colour candidate lists
    kOneColourLists,  // building the one-colour candidate lists
    kAnnealing,       // the whole annealing, its block result included
    kTwoColourLists,  // building the two-colour candidate lists
    kDistanceTables,  // filling the table of pixel-to-candidate distances
    kCount
};

// Run-time counters and timers. An improvement is a move that gives a new
// best total distance; they are also counted by how many worse moves were
// accepted before them.
struct SearchCounters {
    long long improvements = 0;
    long long improvements_after_0_worse = 0;
    long long improvements_after_1_worse = 0;
    long long improvements_after_2_to_9_worse = 0;
    long long improvements_after_10_or_more_worse = 0;
    std::array<double, static_cast<std::size_t>(SearchStage::kCount)> stage_seconds{};

    double& seconds(SearchStage stage) { return stage_seconds[static_cast<std::size_t>(stage)]; }
    double seconds(SearchStage stage) const {
        return stage_seconds[static_cast<std::size_t>(stage)];
    }
    void add_time(SearchStage stage, StageClock::time_point from, StageClock::time_point to) {
        seconds(stage) += seconds_between(from, to);
    }

    // Counts an improvement found after `accepted_worse` accepted worse moves.
    void count_improvement(int accepted_worse) {
        improvements += 1;
        if (accepted_worse == 0) {
            improvements_after_0_worse += 1;
        } else if (accepted_worse == 1) {
            improvements_after_1_worse += 1;
        } else if (accepted_worse <= 9) {
            improvements_after_2_to_9_worse += 1;
        } else {
            improvements_after_10_or_more_worse += 1;
        }
    }

    void add(const SearchCounters& other) {
        improvements += other.improvements;
        improvements_after_0_worse += other.improvements_after_0_worse;
        improvements_after_1_worse += other.improvements_after_1_worse;
        improvements_after_2_to_9_worse += other.improvements_after_2_to_9_worse;
        improvements_after_10_or_more_worse += other.improvements_after_10_or_more_worse;
        for (std::size_t i = 0; i < stage_seconds.size(); ++i) {
            stage_seconds[i] += other.stage_seconds[i];
        }
    }
};

// The seconds the summary prints as timer<number> (1..11): timer4 the
// improvements, timer6 the block results, timer7 the one-colour set-up,
// timer8 the one-colour lists and the annealing together, timer9 the
// two-colour lists, timer10 the distance tables; timers 1, 2, 3, 5 and 11
// measure nothing and are 0.
inline double printed_timer_seconds(const SearchCounters& counters, int number) {
    switch (number) {
        case 4:
            return counters.seconds(SearchStage::kImprovements);
        case 6:
            return counters.seconds(SearchStage::kBlockResult);
        case 7:
            return counters.seconds(SearchStage::kOneColourSetUp);
        case 8:
            return counters.seconds(SearchStage::kOneColourLists) +
                   counters.seconds(SearchStage::kAnnealing);
        case 9:
            return counters.seconds(SearchStage::kTwoColourLists);
        case 10:
            return counters.seconds(SearchStage::kDistanceTables);
        default:
            return 0.0;
    }
}

}  // namespace brenvik
