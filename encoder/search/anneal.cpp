#include "encoder/search/anneal.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <type_traits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "encoder/search/distances.h"
#include "encoder/search/slot_keys.h"
#include "encoder/search/solution.h"

namespace brenvik {

namespace {

// Gives every optimised slot a lane: its register's when no column shows two
// slots of one register, else a lane of its own; and notes every slot's run
// of columns. The layout does not change during a run, so a worker does this
// once.
void prepare_lanes(const ScreenLayout& layout, BlockSearch& search) {
    const int slots = layout.whole_line_slot();
    if (static_cast<int>(search.lane_of_slot.size()) == slots) return;
    // A key holds the slot in its low kSlotBits bits.
    if (slots > (1 << kSlotBits)) throw std::logic_error("more slots than a key can hold");
    bool registers_apart = true;
    for (int slot = layout.first_optimised_slot; slot < slots; ++slot) {
        const int reg = layout.slot_register[slot];
        if (reg < 0 || reg >= 16) registers_apart = false;
    }
    for (int x = 1; x <= layout.width && registers_apart; ++x) {
        std::array<bool, 16> seen{};
        for (int slot : layout.visible_slots[x]) {
            bool& shown = seen[layout.slot_register[slot]];
            if (shown) {
                registers_apart = false;
                break;
            }
            shown = true;
        }
    }
    search.lane_of_slot.assign(static_cast<std::size_t>(slots), 0);
    search.run_first.assign(static_cast<std::size_t>(slots), 0);
    search.run_last.assign(static_cast<std::size_t>(slots), -1);
    std::array<int, 16> lane_of_register;
    lane_of_register.fill(-1);
    search.lane_count = 0;
    for (int slot = layout.first_optimised_slot; slot < slots; ++slot) {
        search.run_first[slot] = layout.first_column(slot);
        search.run_last[slot] = search.run_first[slot] + layout.run_length(slot) - 1;
        if (!registers_apart) {
            search.lane_of_slot[slot] = search.lane_count++;
            continue;
        }
        int& lane = lane_of_register[layout.slot_register[slot]];
        if (lane < 0) lane = search.lane_count++;
        search.lane_of_slot[slot] = lane;
    }
}

// The keys of a block row's lanes other than the moved slot's: `rows[i]` is
// the start of the i-th other lane's keys.
struct OtherLanes {
    const std::int32_t* const* rows;
    int count;
};

// For every block row and lane, where the block row's other lanes start:
// [(row * lane_count + lane) * (lane_count - 1) + i].
void point_other_lanes(BlockSearch& search, std::size_t row_keys_size, std::size_t stride) {
    const int lanes = search.lane_count;
    search.other_lane_rows.clear();
    for (int row = 0; row < search.row_count; ++row) {
        const std::int32_t* row_keys = &search.lane_keys[row * row_keys_size];
        for (int lane = 0; lane < lanes; ++lane) {
            for (int l = 0; l < lanes; ++l) {
                if (l != lane) search.other_lane_rows.push_back(row_keys + l * stride);
            }
        }
    }
}

// What one block row of a move of slot s to a new colour does, on the
// slot's columns first..last. `candidate_row` holds the new colour's
// distances and `own_keys` is s's lane. A pixel that the new colour shows
// strictly nearer than its current choice takes s; a pixel that showed s and
// is not brought nearer chooses again among its visible slots, with s at its
// new colour; every other pixel keeps its choice. Each pixel only depends on
// itself, so columns are settled independently.
//
// With `apply` the choices and s's keys are written; without, only the
// change of the total is returned.
template <bool apply>
long long move_row_plain(const std::int32_t* candidate_row, const OtherLanes& others,
                         std::int32_t* own_keys, int* slot_of, int* distance_at, int s, int first,
                         int last) {
    long long change = 0;
    for (int x = first; x <= last; ++x) {
        const int d = candidate_row[x];
        const std::int32_t key = slot_key(d, s);
        if (apply) own_keys[x] = key;
        if (d < distance_at[x]) {
            change += static_cast<long long>(d) - distance_at[x];
            if (apply) {
                slot_of[x] = s;
                distance_at[x] = d;
            }
        } else if (slot_of[x] == s) {
            std::int32_t best = key;
            for (int l = 0; l < others.count; ++l) best = std::min(best, others.rows[l][x]);
            const int best_distance = key_distance(best);
            change += static_cast<long long>(best_distance) - distance_at[x];
            if (apply) {
                slot_of[x] = key_slot(best);
                distance_at[x] = best_distance;
            }
        }
    }
    return change;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define BRENVIK_HAS_AVX2_PATH 1

// The smallest of `best` and the keys of `count` lanes at columns x..x+7.
template <int count>
[[gnu::target("avx2")]] inline __m256i min_of_lanes(__m256i best, const std::int32_t* const* rows,
                                                    int x) {
#pragma GCC unroll 16
    for (int l = 0; l < count; ++l) {
        best = _mm256_min_epi32(best,
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[l] + x)));
    }
    return best;
}

// The smallest of `best` and the other lanes' keys at columns x..x+7; the
// lane counts of the screen modes (14 and 16 registers) unrolled.
[[gnu::target("avx2")]] inline __m256i min_of_other_lanes(__m256i best, const OtherLanes& others,
                                                          int x) {
    switch (others.count) {
        case 13:
            return min_of_lanes<13>(best, others.rows, x);
        case 15:
            return min_of_lanes<15>(best, others.rows, x);
        default:
            for (int l = 0; l < others.count; ++l) {
                best = _mm256_min_epi32(
                    best, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(others.rows[l] + x)));
            }
            return best;
    }
}

// Keys of slot s at distances d.
[[gnu::target("avx2")]] inline __m256i slot_keys_avx2(__m256i d, __m256i slot_s) {
    return _mm256_or_si256(
        _mm256_slli_epi32(_mm256_min_epi32(d, _mm256_set1_epi32(kKeyDistanceLimit)), kSlotBits),
        slot_s);
}

// The distances of keys (a clamped key gives kNoCandidateDistance back).
[[gnu::target("avx2")]] inline __m256i key_distances_avx2(__m256i keys) {
    const __m256i distances = _mm256_srli_epi32(keys, kSlotBits);
    return _mm256_blendv_epi8(distances, _mm256_set1_epi32(kNoCandidateDistance),
                              _mm256_cmpeq_epi32(distances, _mm256_set1_epi32(kKeyDistanceLimit)));
}

// The slots of keys.
[[gnu::target("avx2")]] inline __m256i key_slots_avx2(__m256i keys) {
    return _mm256_and_si256(keys, _mm256_set1_epi32((1 << kSlotBits) - 1));
}

// Adds the eight 32-bit sums to the four 64-bit ones and clears them. A
// column's change is below 2^27 either way (distances are at most
// kNoCandidateDistance), so up to 15 of them add up in 32 bits first.
[[gnu::target("avx2")]] inline void widen_sums(__m256i& sum, __m256i& batch_sums) {
    sum = _mm256_add_epi64(sum, _mm256_cvtepi32_epi64(_mm256_castsi256_si128(batch_sums)));
    sum = _mm256_add_epi64(sum, _mm256_cvtepi32_epi64(_mm256_extracti128_si256(batch_sums, 1)));
    batch_sums = _mm256_setzero_si256();
}

[[gnu::target("avx2")]] inline long long total_of(__m256i sum) {
    alignas(32) long long parts[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(parts), sum);
    return parts[0] + parts[1] + parts[2] + parts[3];
}

// Eight columns x..x+7 of move_row_plain<true>, of which only the `valid`
// ones count (the arrays have room for a batch past every row's end, and
// the other columns are written back unchanged). Adds the change of each
// column to its place in `sum`.
[[gnu::target("avx2")]] inline void move_batch_avx2(const std::int32_t* candidate_row,
                                                    const OtherLanes& others,
                                                    std::int32_t* own_keys, int* slot_of,
                                                    int* distance_at, __m256i slot_s, int x,
                                                    __m256i valid, __m256i& sum) {
    __m256i* slot_at = reinterpret_cast<__m256i*>(slot_of + x);
    __m256i* dist_at = reinterpret_cast<__m256i*>(distance_at + x);
    __m256i* keys_at = reinterpret_cast<__m256i*>(own_keys + x);
    const __m256i here = _mm256_loadu_si256(slot_at);
    const __m256i old = _mm256_loadu_si256(dist_at);
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(candidate_row + x));
    const __m256i key = slot_keys_avx2(d, slot_s);
    _mm256_storeu_si256(keys_at, _mm256_blendv_epi8(_mm256_loadu_si256(keys_at), key, valid));
    const __m256i wins = _mm256_and_si256(valid, _mm256_cmpgt_epi32(old, d));
    const __m256i again =
        _mm256_andnot_si256(wins, _mm256_and_si256(valid, _mm256_cmpeq_epi32(here, slot_s)));
    __m256i new_distance = d;
    __m256i new_slot = slot_s;
    __m256i changed = wins;
    if (!_mm256_testz_si256(again, again)) {
        const __m256i best = min_of_other_lanes(key, others, x);
        new_distance = _mm256_blendv_epi8(d, key_distances_avx2(best), again);
        new_slot = _mm256_blendv_epi8(slot_s, key_slots_avx2(best), again);
        changed = _mm256_or_si256(wins, again);
    }
    sum = _mm256_add_epi32(sum, _mm256_and_si256(changed, _mm256_sub_epi32(new_distance, old)));
    _mm256_storeu_si256(dist_at, _mm256_blendv_epi8(old, new_distance, changed));
    _mm256_storeu_si256(slot_at, _mm256_blendv_epi8(here, new_slot, changed));
}

// Batches of eight columns a measured run may have (a run is at most a line).
constexpr int kMaxBatches = 64;

// The lanes (all ones) of a batch whose columns are valid: the first
// `columns` of the eight.
[[gnu::target("avx2")]] inline __m256i first_columns(int columns) {
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(columns),
                              _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// move_row_plain<false>, eight columns at a time and in two passes so that
// no branch depends on the pixels: the first settles the columns the new
// colour wins and marks, per batch, those that must choose again; the
// second visits only the marked batches.
[[gnu::target("avx2")]] long long measure_row_avx2(const std::int32_t* candidate_row,
                                                   const OtherLanes& others, const int* slot_of,
                                                   const int* distance_at, int s, int first,
                                                   int last) {
    const __m256i slot_s = _mm256_set1_epi32(s);
    const int batch_count = (last - first) / 8 + 1;
    __m256i sum = _mm256_setzero_si256();
    __m256i batch_sums = _mm256_setzero_si256();
    int summed = 0;
    std::uint8_t again_of[kMaxBatches];
    std::uint64_t marked[kMaxBatches / 64 + 1] = {};
    for (int batch = 0; batch < batch_count; ++batch) {
        const int x = first + 8 * batch;
        const __m256i valid = first_columns(last - x + 1);
        const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(slot_of + x));
        const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(distance_at + x));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(candidate_row + x));
        const __m256i wins = _mm256_and_si256(valid, _mm256_cmpgt_epi32(old, d));
        const __m256i again =
            _mm256_andnot_si256(wins, _mm256_and_si256(valid, _mm256_cmpeq_epi32(here, slot_s)));
        batch_sums = _mm256_add_epi32(batch_sums, _mm256_and_si256(wins, _mm256_sub_epi32(d, old)));
        const unsigned mask = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(again)));
        again_of[batch] = static_cast<std::uint8_t>(mask);
        marked[batch / 64] |= static_cast<std::uint64_t>(mask != 0) << (batch % 64);
        if (++summed == 8) {
            widen_sums(sum, batch_sums);
            summed = 0;
        }
    }
    const __m256i lane_bit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    for (int word = 0; word <= (batch_count - 1) / 64; ++word) {
        for (std::uint64_t bits = marked[word]; bits != 0; bits &= bits - 1) {
            const int batch = word * 64 + __builtin_ctzll(bits);
            const int x = first + 8 * batch;
            const __m256i again = _mm256_cmpeq_epi32(
                _mm256_and_si256(_mm256_set1_epi32(again_of[batch]), lane_bit), lane_bit);
            const __m256i old =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(distance_at + x));
            const __m256i d =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(candidate_row + x));
            const __m256i best = min_of_other_lanes(slot_keys_avx2(d, slot_s), others, x);
            batch_sums = _mm256_add_epi32(
                batch_sums,
                _mm256_and_si256(again, _mm256_sub_epi32(key_distances_avx2(best), old)));
            if (++summed == 8) {
                widen_sums(sum, batch_sums);
                summed = 0;
            }
        }
    }
    widen_sums(sum, batch_sums);
    return total_of(sum);
}

// move_row_plain<true>, eight columns at a time.
[[gnu::target("avx2")]] long long move_row_avx2(const std::int32_t* candidate_row,
                                                const OtherLanes& others, std::int32_t* own_keys,
                                                int* slot_of, int* distance_at, int s, int first,
                                                int last) {
    const __m256i slot_s = _mm256_set1_epi32(s);
    __m256i sum = _mm256_setzero_si256();
    __m256i batch_sums = _mm256_setzero_si256();
    int summed = 0;
    for (int x = first; x <= last; x += 8) {
        move_batch_avx2(candidate_row, others, own_keys, slot_of, distance_at, slot_s, x,
                        first_columns(last - x + 1), batch_sums);
        if (++summed == 8) {
            widen_sums(sum, batch_sums);
            summed = 0;
        }
    }
    widen_sums(sum, batch_sums);
    return total_of(sum);
}
#endif

// Every pixel's nearest visible slot from the lanes' keys: the smallest
// distance, the lowest slot on ties. Columns that no optimiser slot covers
// get slot 0 at distance 0. Returns the total distance.
long long nearest_from_keys(BlockSearch& search, int width, std::size_t row_keys_size) {
    const std::size_t stride = static_cast<std::size_t>(width) + 1;
    std::vector<std::int32_t>& best = search.nearest_key;
    best.resize(stride);
    long long total = 0;
    for (int row = 0; row < search.row_count; ++row) {
        const std::int32_t* row_keys = &search.lane_keys[row * row_keys_size];
        std::fill(best.begin(), best.end(), kNoSlotKey);
        for (int lane = 0; lane < search.lane_count; ++lane) {
            const std::int32_t* keys = row_keys + lane * stride;
            for (std::size_t x = 1; x < stride; ++x) best[x] = std::min(best[x], keys[x]);
        }
        int* slot_of = &search.working_slot[row * stride];
        int* distance_at = &search.working_distance[row * stride];
        for (std::size_t x = 1; x < stride; ++x) {
            const bool shown = best[x] != kNoSlotKey;
            slot_of[x] = shown ? key_slot(best[x]) : 0;
            distance_at[x] = shown ? key_distance(best[x]) : 0;
            total += distance_at[x];
        }
    }
    return total;
}

}  // namespace

void anneal_block(const RunContext& ctx, BlockSearch& search, RunResults& results) {
    const auto call_start = StageClock::now();
    const RunSettings& settings = ctx.settings;
    const ScreenLayout& layout = ctx.layout;
    const bool verbose = settings.verbose == 1;
    const bool trace_moves = verbose && (search.centre_line == 2 || search.centre_line == 3);
    const int width = layout.width;
    const int stride = width + 1;
    const int slots = layout.whole_line_slot();  // slots 0..last_optimised_slot()

    if (verbose) {
        search.trace.printf(
            "exploration_locale_fast nb_loop_fast=%d nbiteration_moindrescarres=%d nbtry_init=%d "
            "temperature_ratio=%2.3f temperaturedec=%2.4f %2.3f seconds \n",
            search.move_budget, search.annealing_outcome, search.random_starts,
            search.temperature_divisor, search.cooling_factor, seconds_since(settings.start_clock));
    }
    search.pending_annealing_outcome = search.annealing_outcome;

    // Entry evaluation of the starting solution.
    std::vector<int> start_candidates(static_cast<std::size_t>(slots), 0);
    for (int k = 0; k < slots; ++k) start_candidates[k] = search.slot_colours[k][kCandidateId];
    if (verbose) {
        for (int row = 0; row < search.row_count; ++row) {
            for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
                search.trace.printf("%d=%d ", k, start_candidates[k]);
            }
        }
    }
    // Working and committed candidate id of every slot.
    search.working_candidate = start_candidates;
    search.committed_candidate = start_candidates;

    // The lanes' keys for the starting solution, per block row.
    prepare_lanes(layout, search);
    const int lane_count = search.lane_count;
    const std::size_t lane_stride = static_cast<std::size_t>(stride);
    const std::size_t row_keys_size = lane_stride * static_cast<std::size_t>(lane_count);
    search.lane_keys.assign(
        row_keys_size * static_cast<std::size_t>(search.row_count) + kBatchSlack, kNoSlotKey);
    point_other_lanes(search, row_keys_size, lane_stride);
    const std::vector<int>& run_first = search.run_first;
    const std::vector<int>& run_last = search.run_last;
    auto write_slot_keys = [&](int slot, int candidate) {
        const int first = run_first[slot];
        const int last = run_last[slot];
        for (int row = 0; row < search.row_count; ++row) {
            const std::int32_t* distances = search.candidate_row(row, candidate);
            std::int32_t* keys =
                &search.lane_keys[row * row_keys_size + search.lane_of_slot[slot] * lane_stride];
            for (int x = std::max(first, 1); x <= last; ++x) keys[x] = slot_key(distances[x], slot);
        }
    };
    for (int slot = layout.first_optimised_slot; slot < slots; ++slot) {
        write_slot_keys(slot, search.working_candidate[slot]);
    }

    search.total_distance = nearest_from_keys(search, width, row_keys_size);
    search.committed_slot = search.working_slot;
    search.committed_distance = search.working_distance;
    search.start_total_distance = static_cast<double>(search.total_distance);
    if (trace_moves) {
        search.trace.printf("debug init distancemoyenne=%8.8f \n", search.start_total_distance);
        search.trace.printf("debug init3 distancemoyenne=%8.8f \n", search.start_total_distance);
    }
    const double best_at_start = static_cast<double>(search.best_total_distance);
    double temperature = 2 * ((-best_at_start * 0.02 * 1000.0 * 10.0) / -0.10536051565782628) /
                         search.temperature_divisor;

#ifdef BRENVIK_HAS_AVX2_PATH
    const bool use_avx2 = !settings.portable_search && __builtin_cpu_supports("avx2");
#endif

    // A move of `slot` to `candidate` on every block row: the change of the
    // total, and with `apply` the new choices.
    auto move = [&](auto apply, int slot, int candidate) {
        constexpr bool write = decltype(apply)::value;
        const int first = run_first[slot];
        const int last = run_last[slot];
        const int lane = search.lane_of_slot[slot];
        long long change = 0;
        for (int row = 0; row < search.row_count; ++row) {
            const std::size_t cells = static_cast<std::size_t>(row) * stride;
            int* slot_of = &search.working_slot[cells];
            int* distance_at = &search.working_distance[cells];
            std::int32_t* row_keys = &search.lane_keys[row * row_keys_size];
            const OtherLanes others{
                &search.other_lane_rows[(static_cast<std::size_t>(row) * lane_count + lane) *
                                        (lane_count - 1)],
                lane_count - 1};
            std::int32_t* own_keys = row_keys + lane * lane_stride;
            const std::int32_t* distances = search.candidate_row(row, candidate);
#ifdef BRENVIK_HAS_AVX2_PATH
            if (use_avx2 && (write || last - first < 8 * kMaxBatches)) {
                change += write ? move_row_avx2(distances, others, own_keys, slot_of, distance_at,
                                                slot, first, last)
                                : measure_row_avx2(distances, others, slot_of, distance_at, slot,
                                                   first, last);
                continue;
            }
#endif
            change += move_row_plain<write>(distances, others, own_keys, slot_of, distance_at, slot,
                                            first, last);
        }
        return change;
    };

    // Slots changed since the last commit, and the columns whose per-pixel
    // working values may differ from the committed ones (rescan_first..rescan_last).
    std::vector<int>& changed_slots = search.changed_slots;
    changed_slots.clear();
    int rescan_first = width + 1;
    int rescan_last = 0;
    auto copy_changed_columns = [&](std::vector<int>& to_slot, std::vector<int>& to_distance,
                                    const std::vector<int>& from_slot,
                                    const std::vector<int>& from_distance) {
        if (rescan_first > rescan_last) return;
        for (int row = 0; row < search.row_count; ++row) {
            const std::size_t base = static_cast<std::size_t>(row) * stride;
            std::copy(from_slot.begin() + base + rescan_first,
                      from_slot.begin() + base + rescan_last + 1,
                      to_slot.begin() + base + rescan_first);
            std::copy(from_distance.begin() + base + rescan_first,
                      from_distance.begin() + base + rescan_last + 1,
                      to_distance.begin() + base + rescan_first);
        }
        rescan_first = width + 1;
        rescan_last = 0;
    };

    long long working_total = search.total_distance;
    long long committed_total = working_total;
    int move_number = 0;
    int accepted_worse = 0;
    int move_count = 0;
    bool improved = false;
    constexpr int kMoveCap = 10000;

    // A move is first only measured; it is written when it is kept, so a
    // rejected move costs no writing and, when nothing was kept since the
    // last commit, no undoing either.
    while (move_number <= search.move_budget) {
        ++move_number;
        const int moved_slot =
            search.rng.next() % layout.optimised_slot_count + layout.first_optimised_slot;
        const int count = search.candidate_count[moved_slot];
        const int pick = search.rng.next() % count + 1;
        const int candidate = search.candidate_ids[moved_slot][pick];
        const long long moved_total =
            working_total + move(std::false_type{}, moved_slot, candidate);
        search.working_total_distance = moved_total;
        if (trace_moves) {
            search.trace.printf(
                "debug optimisation dist_a=%8.8f dist_b=%8.8f distancemoyennea=%8.8f \n", 0.0,
                search.start_total_distance, static_cast<double>(search.working_total_distance));
        }
        auto keep_move = [&] {
            move(std::true_type{}, moved_slot, candidate);
            working_total = moved_total;
            search.working_candidate[moved_slot] = candidate;
            changed_slots.push_back(moved_slot);
            // A pixel can only show a slot on the slot's own columns, so
            // every pixel the move changed lies there.
            rescan_first = std::min(rescan_first, run_first[moved_slot]);
            rescan_last = std::max(rescan_last, run_last[moved_slot]);
        };

        if (search.working_total_distance < search.best_total_distance) {
            const auto improvement_start = StageClock::now();
            keep_move();
            search.pending_annealing_outcome = 2 * search.random_starts;
            const int budget_from_improvement =
                static_cast<int>(2 * move_number * (settings.quality / 5.0 + 1.2));
            if (budget_from_improvement > search.move_budget)
                search.move_budget = budget_from_improvement;
            search.move_budget = std::clamp(search.move_budget, 100, 180000);
            if (verbose) {
                search.trace.printf("nb_loop_fast=%d k=%d \n", search.move_budget, move_number);
                search.trace.printf(
                    "meilleure local fast %2.4f , distancemoyenne2=%8.8f "
                    "bestdistancemoyenne=%8.8f temperature_ratio=%2.4f, "
                    "nbiteration_moindrescarres2=%d k=%d nb_loop_fast=%d, nbtry_init=%d "
                    "secouru=%d \n",
                    search.temperature_divisor, static_cast<double>(search.working_total_distance),
                    static_cast<double>(search.best_total_distance), search.temperature_divisor,
                    search.pending_annealing_outcome, move_number, search.move_budget,
                    search.random_starts, accepted_worse);
            }
            for (int slot : changed_slots)
                search.committed_candidate[slot] = search.working_candidate[slot];
            changed_slots.clear();
            copy_changed_columns(search.committed_slot, search.committed_distance,
                                 search.working_slot, search.working_distance);
            committed_total = working_total;
            search.best_total_distance = search.working_total_distance;
            SearchCounters& n = search.counters;
            n.improvements += 1;
            if (accepted_worse == 0) {
                n.improvements_after_0_worse += 1;
            } else if (accepted_worse == 1) {
                n.improvements_after_1_worse += 1;
            } else if (accepted_worse <= 9) {
                n.improvements_after_2_to_9_worse += 1;
            } else {
                n.improvements_after_10_or_more_worse += 1;
            }
            n.stage_seconds[4] += 1000.0 * seconds_between(improvement_start, StageClock::now());
            improved = true;
            accepted_worse = 0;
        } else {
            // exp() of anything below -746 is exactly 0: a move that far above
            // the best at this temperature is refused without the division and
            // exp()'s slow underflow path.
            const double excess =
                static_cast<double>(search.working_total_distance - search.best_total_distance);
            const double acceptance = temperature > 0.0 && excess > 751.0 * temperature
                                          ? 0.0
                                          : std::exp(-excess / temperature);
            temperature = temperature * search.cooling_factor;
            if (temperature < settings.minimum_temperature) move_number = search.move_budget + 1;
            const double draw = search.rng.next() * 3.051850947599719e-05;
            if (acceptance <= draw) {
                // Back to the committed solution.
                for (int slot : changed_slots) {
                    search.working_candidate[slot] = search.committed_candidate[slot];
                    write_slot_keys(slot, search.working_candidate[slot]);
                }
                changed_slots.clear();
                copy_changed_columns(search.working_slot, search.working_distance,
                                     search.committed_slot, search.committed_distance);
                working_total = committed_total;
            } else {
                keep_move();
                accepted_worse += 1;
            }
        }
        if (++move_count >= kMoveCap) break;
    }

    // End: the working solution is the result.
    const auto end_start = StageClock::now();
    for (int s = layout.first_optimised_slot; s <= layout.last_optimised_slot(); ++s) {
        search.slot_colours[s][kCandidateId] = search.working_candidate[s];
        search.committed_candidate[s] = search.working_candidate[s];
    }
    search.annealing_outcome = search.pending_annealing_outcome;
    if (improved) {
        // The keys hold the working solution's colours.
        search.total_distance = nearest_from_keys(search, width, row_keys_size);
        if (trace_moves) {
            search.trace.printf(
                "debug record saved dist_a=%8.8f dist_b=%8.8f distancemoyenne=%8.8f \n", 0.0,
                search.start_total_distance, static_cast<double>(search.total_distance));
        }
        decode_slot_colours(ctx, search);
        if (verbose) {
            search.trace.printf("saved y=%d bestdistancemoyenne=%8.8f distancemoyenne=%8.8f \n",
                                search.centre_line, static_cast<double>(search.best_total_distance),
                                static_cast<double>(search.total_distance));
        }
        store_block_solution(ctx, search, results);
    }
    const auto end = StageClock::now();
    search.counters.stage_seconds[6] += seconds_between(end_start, end);
    search.counters.stage_seconds[8] += seconds_between(call_start, end);
}

}  // namespace brenvik
