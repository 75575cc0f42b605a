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
void prepare_lanes(const ScreenLayout& layout, SlotLanes& lanes) {
    const int slots = layout.whole_line_slot();
    if (static_cast<int>(lanes.lane_of_slot.size()) == slots) return;
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
    lanes.lane_of_slot.assign(static_cast<std::size_t>(slots), 0);
    lanes.run_first.assign(static_cast<std::size_t>(slots), 0);
    lanes.run_last.assign(static_cast<std::size_t>(slots), -1);
    std::array<int, 16> lane_of_register;
    lane_of_register.fill(-1);
    lanes.lane_count = 0;
    for (int slot = layout.first_optimised_slot; slot < slots; ++slot) {
        lanes.run_first[slot] = layout.first_column(slot);
        lanes.run_last[slot] = lanes.run_first[slot] + layout.run_length(slot) - 1;
        if (!registers_apart) {
            lanes.lane_of_slot[slot] = lanes.lane_count++;
            continue;
        }
        int& lane = lane_of_register[layout.slot_register[slot]];
        if (lane < 0) lane = lanes.lane_count++;
        lanes.lane_of_slot[slot] = lane;
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
void point_other_lanes(AnnealingState& state, int row_count, std::size_t row_keys_size,
                       std::size_t stride) {
    const int lanes = state.lanes.lane_count;
    state.other_lane_rows.clear();
    for (int row = 0; row < row_count; ++row) {
        const std::int32_t* row_keys = &state.lane_keys[row * row_keys_size];
        for (int lane = 0; lane < lanes; ++lane) {
            for (int l = 0; l < lanes; ++l) {
                if (l != lane) state.other_lane_rows.push_back(row_keys + l * stride);
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
long long nearest_from_keys(AnnealingState& state, int row_count, int width,
                            std::size_t row_keys_size) {
    const std::size_t stride = static_cast<std::size_t>(width) + 1;
    std::vector<std::int32_t>& best = state.nearest_key;
    best.resize(stride);
    long long total = 0;
    for (int row = 0; row < row_count; ++row) {
        const std::int32_t* row_keys = &state.lane_keys[row * row_keys_size];
        std::fill(best.begin(), best.end(), kNoSlotKey);
        for (int lane = 0; lane < state.lanes.lane_count; ++lane) {
            const std::int32_t* keys = row_keys + lane * stride;
            for (std::size_t x = 1; x < stride; ++x) best[x] = std::min(best[x], keys[x]);
        }
        int* slot_of = &state.working.slot[row * stride];
        int* distance_at = &state.working.distance[row * stride];
        for (std::size_t x = 1; x < stride; ++x) {
            const bool shown = best[x] != kNoSlotKey;
            slot_of[x] = shown ? key_slot(best[x]) : 0;
            distance_at[x] = shown ? key_distance(best[x]) : 0;
            total += distance_at[x];
        }
    }
    return total;
}

// ln 0.9: at the starting temperature (starting_temperature), a move worse
// than the best by 400 / temperature_divisor of the start's best total is
// accepted nine times in ten.
constexpr double kLogNineTenths = -0.10536051565782628;
// A draw of the generator (0..Random::kMax) as a fraction of 1.
constexpr double kDrawScale = 1.0 / Random::kMax;
// exp() of anything below -746 is exactly 0: a move more than this many
// temperatures above the best is refused without the division and exp()'s
// slow underflow path.
constexpr double kRefusedExcess = 751.0;
// The moves a block may try at most, and the range its move budget is
// held in when an improvement extends it.
constexpr int kMoveCap = 10000;
constexpr int kLeastMoveBudget = 100;
constexpr int kMostMoveBudget = 180000;

// The move traces are written for the blocks centred on lines 2 and 3 only.
bool traces_moves(const RunSettings& settings, const BlockLines& lines) {
    return settings.verbose == 1 && (lines.centre_line == 2 || lines.centre_line == 3);
}

// Whether the search runs the AVX2 code: where the processor has it, unless
// the portable code is asked for.
bool uses_avx2(const RunSettings& settings) {
#ifdef BRENVIK_HAS_AVX2_PATH
    return !settings.portable_search && __builtin_cpu_supports("avx2");
#else
    (void)settings;
    return false;
#endif
}

// One move: an optimised slot and the candidate it takes.
struct Move {
    int slot;
    int candidate;
};

// The annealing of one block. The working solution is the one being tried;
// the committed one is the last the annealing accepted. A drawn move is
// first only measured; when it is kept it is applied to the working
// solution, and an improvement commits it. A refused move takes the working
// solution back to the committed one.
class Annealer {
  public:
    Annealer(const AnnealingInputs& in, AnnealingState& state, Random& rng, BlockLog& log)
        : settings_(in.ctx.settings),
          layout_(in.ctx.layout),
          lines_(in.lines),
          lists_(in.lists),
          distances_(in.distances),
          state_(state),
          lanes_(state.lanes),
          rng_(rng),
          log_(log),
          verbose_(settings_.verbose == 1),
          trace_moves_(traces_moves(settings_, lines_)),
          width_(layout_.width),
          stride_(static_cast<std::size_t>(layout_.width) + 1),
          use_avx2_(uses_avx2(settings_)),
          cooling_factor_(settings_.cooling_factor),
          temperature_divisor_(static_cast<double>(settings_.temperature_divisor)),
          budget_(settings_.initial_move_budget) {}

    // Starts both solutions at the candidate ids of `slot_colours`, whose
    // total distance is `best_total`, the best so far.
    void start(const std::vector<SlotColours>& slot_colours, long long best_total);

    // Tries moves until the move budget, the move cap or the temperature
    // ends the annealing.
    void run();

    bool improved() const { return improved_; }
    long long best_total() const { return best_total_; }
    double start_total() const { return start_total_; }
    const std::vector<int>& working_candidates() const { return state_.working_candidate; }
    const PixelChoices& working_choices() const { return state_.working; }

    // Every pixel's choice under the working solution, from the keys; returns
    // the total distance.
    long long evaluate_working() {
        return nearest_from_keys(state_, lines_.row_count, width_, row_keys_size_);
    }

  private:
    void trace_start(const std::vector<int>& candidates);
    void set_up_keys();
    double starting_temperature() const;

    Move draw_move() {
        const int slot = rng_.next() % layout_.optimised_slot_count + layout_.first_optimised_slot;
        const int pick = rng_.next() % lists_.count[slot] + 1;
        return {slot, lists_.ids[slot][pick]};
    }

    // A move on every block row: the change of the total distance, and with
    // `write` the working solution's new choices and the slot's new keys.
    template <bool write>
    long long move(const Move& m);
    long long measure(const Move& m) { return move<false>(m); }
    void apply(const Move& m, long long moved_total);
    void commit();
    void rollback();

    void keep_improvement(const Move& m, long long moved_total, int move_number);
    void extend_budget(int move_number);
    bool accept_worse(long long moved_total, int& move_number);

    void write_slot_keys(int slot, int candidate);
    void copy_changed_columns(PixelChoices& to, const PixelChoices& from);

    const RunSettings& settings_;
    const ScreenLayout& layout_;
    const BlockLines& lines_;
    const CandidateLists& lists_;
    const DistanceTable& distances_;
    AnnealingState& state_;
    const SlotLanes& lanes_;
    Random& rng_;
    BlockLog& log_;

    const bool verbose_;
    const bool trace_moves_;
    const int width_;
    const std::size_t stride_;       // columns 0..width of a row
    std::size_t row_keys_size_ = 0;  // keys of one block row, all lanes
    const bool use_avx2_;

    const double cooling_factor_;
    const double temperature_divisor_;
    int budget_;
    double temperature_ = 0.0;

    long long working_total_ = 0;
    long long committed_total_ = 0;
    long long best_total_ = 0;
    double start_total_ = 0.0;  // for the trace only
    // The columns whose working choices may differ from the committed ones.
    int rescan_first_ = 0;
    int rescan_last_ = 0;
    int accepted_worse_ = 0;  // since the last improvement
    bool improved_ = false;
};

void Annealer::trace_start(const std::vector<int>& candidates) {
    if (!verbose_) return;
    log_.trace.printf(
        "exploration_locale_fast nb_loop_fast=%d nbiteration_moindrescarres=%d nbtry_init=%d "
        "temperature_ratio=%2.3f temperaturedec=%2.4f %2.3f seconds \n",
        budget_, kAnnealingNotImproved, kRandomStarts, temperature_divisor_, cooling_factor_,
        seconds_since(settings_.start_clock));
    for (int row = 0; row < lines_.row_count; ++row) {
        for (int k = layout_.first_optimised_slot; k <= layout_.last_optimised_slot(); ++k) {
            log_.trace.printf("%d=%d ", k, candidates[k]);
        }
    }
}

void Annealer::start(const std::vector<SlotColours>& slot_colours, long long best_total) {
    const int slots = layout_.whole_line_slot();  // slots 0..last_optimised_slot()
    std::vector<int>& candidates = state_.working_candidate;
    candidates.assign(static_cast<std::size_t>(slots), 0);
    for (int k = 0; k < slots; ++k) candidates[k] = slot_colours[k][kCandidateId];
    trace_start(candidates);
    state_.committed_candidate = candidates;
    state_.changed_slots.clear();
    rescan_first_ = width_ + 1;
    rescan_last_ = 0;

    set_up_keys();
    state_.working.reset(lines_.row_count, width_);
    working_total_ = evaluate_working();
    committed_total_ = working_total_;
    state_.committed = state_.working;
    start_total_ = static_cast<double>(working_total_);
    if (trace_moves_) {
        log_.trace.printf("debug init distancemoyenne=%8.8f \n", start_total_);
        log_.trace.printf("debug init3 distancemoyenne=%8.8f \n", start_total_);
    }
    best_total_ = best_total;
    temperature_ = starting_temperature();
}

// The lanes' keys of the working solution, per block row.
void Annealer::set_up_keys() {
    prepare_lanes(layout_, state_.lanes);
    row_keys_size_ = stride_ * static_cast<std::size_t>(lanes_.lane_count);
    state_.lane_keys.assign(
        row_keys_size_ * static_cast<std::size_t>(lines_.row_count) + kBatchSlack, kNoSlotKey);
    point_other_lanes(state_, lines_.row_count, row_keys_size_, stride_);
    for (int slot = layout_.first_optimised_slot; slot < layout_.whole_line_slot(); ++slot) {
        write_slot_keys(slot, state_.working_candidate[slot]);
    }
}

double Annealer::starting_temperature() const {
    const double best = static_cast<double>(best_total_);
    return 2 * ((-best * 0.02 * 1000.0 * 10.0) / kLogNineTenths) / temperature_divisor_;
}

void Annealer::write_slot_keys(int slot, int candidate) {
    const int first = lanes_.run_first[slot];
    const int last = lanes_.run_last[slot];
    for (int row = 0; row < lines_.row_count; ++row) {
        const std::int32_t* distances = distances_.candidate_row(row, candidate);
        std::int32_t* keys =
            &state_.lane_keys[row * row_keys_size_ + lanes_.lane_of_slot[slot] * stride_];
        for (int x = std::max(first, 1); x <= last; ++x) keys[x] = slot_key(distances[x], slot);
    }
}

template <bool write>
long long Annealer::move(const Move& m) {
    const int slot = m.slot;
    const int first = lanes_.run_first[slot];
    const int last = lanes_.run_last[slot];
    const int lane = lanes_.lane_of_slot[slot];
    const int lane_count = lanes_.lane_count;
    long long change = 0;
    for (int row = 0; row < lines_.row_count; ++row) {
        const std::size_t cells = static_cast<std::size_t>(row) * stride_;
        int* slot_of = &state_.working.slot[cells];
        int* distance_at = &state_.working.distance[cells];
        std::int32_t* row_keys = &state_.lane_keys[row * row_keys_size_];
        const OtherLanes others{
            &state_.other_lane_rows[(static_cast<std::size_t>(row) * lane_count + lane) *
                                    (lane_count - 1)],
            lane_count - 1};
        std::int32_t* own_keys = row_keys + lane * stride_;
        const std::int32_t* distances = distances_.candidate_row(row, m.candidate);
#ifdef BRENVIK_HAS_AVX2_PATH
        if (use_avx2_ && (write || last - first < 8 * kMaxBatches)) {
            change += write ? move_row_avx2(distances, others, own_keys, slot_of, distance_at, slot,
                                            first, last)
                            : measure_row_avx2(distances, others, slot_of, distance_at, slot, first,
                                               last);
            continue;
        }
#endif
        change += move_row_plain<write>(distances, others, own_keys, slot_of, distance_at, slot,
                                        first, last);
    }
    return change;
}

void Annealer::apply(const Move& m, long long moved_total) {
    move<true>(m);
    working_total_ = moved_total;
    state_.working_candidate[m.slot] = m.candidate;
    state_.changed_slots.push_back(m.slot);
    // A pixel can only show a slot on the slot's own columns, so every pixel
    // the move changed lies there.
    rescan_first_ = std::min(rescan_first_, lanes_.run_first[m.slot]);
    rescan_last_ = std::max(rescan_last_, lanes_.run_last[m.slot]);
}

void Annealer::commit() {
    for (int slot : state_.changed_slots) {
        state_.committed_candidate[slot] = state_.working_candidate[slot];
    }
    state_.changed_slots.clear();
    copy_changed_columns(state_.committed, state_.working);
    committed_total_ = working_total_;
}

void Annealer::rollback() {
    for (int slot : state_.changed_slots) {
        state_.working_candidate[slot] = state_.committed_candidate[slot];
        write_slot_keys(slot, state_.working_candidate[slot]);
    }
    state_.changed_slots.clear();
    copy_changed_columns(state_.working, state_.committed);
    working_total_ = committed_total_;
}

void Annealer::copy_changed_columns(PixelChoices& to, const PixelChoices& from) {
    if (rescan_first_ > rescan_last_) return;
    for (int row = 0; row < lines_.row_count; ++row) {
        const std::size_t base = static_cast<std::size_t>(row) * stride_;
        std::copy(from.slot.begin() + base + rescan_first_,
                  from.slot.begin() + base + rescan_last_ + 1,
                  to.slot.begin() + base + rescan_first_);
        std::copy(from.distance.begin() + base + rescan_first_,
                  from.distance.begin() + base + rescan_last_ + 1,
                  to.distance.begin() + base + rescan_first_);
    }
    rescan_first_ = width_ + 1;
    rescan_last_ = 0;
}

void Annealer::run() {
    int move_number = 0;
    for (int move_count = 1; move_number <= budget_; ++move_count) {
        ++move_number;
        const Move m = draw_move();
        const long long moved_total = working_total_ + measure(m);
        if (trace_moves_) {
            log_.trace.printf(
                "debug optimisation dist_a=%8.8f dist_b=%8.8f distancemoyennea=%8.8f \n", 0.0,
                start_total_, static_cast<double>(moved_total));
        }
        if (moved_total < best_total_) {
            keep_improvement(m, moved_total, move_number);
        } else if (accept_worse(moved_total, move_number)) {
            apply(m, moved_total);
            accepted_worse_ += 1;
        } else {
            rollback();
        }
        if (move_count >= kMoveCap) break;
    }
}

void Annealer::keep_improvement(const Move& m, long long moved_total, int move_number) {
    const auto start = StageClock::now();
    apply(m, moved_total);
    extend_budget(move_number);
    if (verbose_) {
        log_.trace.printf("nb_loop_fast=%d k=%d \n", budget_, move_number);
        log_.trace.printf(
            "meilleure local fast %2.4f , distancemoyenne2=%8.8f "
            "bestdistancemoyenne=%8.8f temperature_ratio=%2.4f, "
            "nbiteration_moindrescarres2=%d k=%d nb_loop_fast=%d, nbtry_init=%d "
            "secouru=%d \n",
            temperature_divisor_, static_cast<double>(moved_total),
            static_cast<double>(best_total_), temperature_divisor_, kAnnealingImproved, move_number,
            budget_, kRandomStarts, accepted_worse_);
    }
    commit();
    best_total_ = moved_total;
    log_.counters.count_improvement(accepted_worse_);
    log_.counters.add_time(SearchStage::kImprovements, start, StageClock::now());
    improved_ = true;
    accepted_worse_ = 0;
}

// An improvement late in the budget gives the annealing more moves.
void Annealer::extend_budget(int move_number) {
    const int budget_from_improvement =
        static_cast<int>(2 * move_number * (settings_.quality / 5.0 + 1.2));
    if (budget_from_improvement > budget_) budget_ = budget_from_improvement;
    budget_ = std::clamp(budget_, kLeastMoveBudget, kMostMoveBudget);
}

// Whether a move that does not improve on the best is kept: with the
// probability exp(-excess / temperature). Cools the temperature, and ends
// the annealing (through `move_number`) once it is below the minimum.
bool Annealer::accept_worse(long long moved_total, int& move_number) {
    const double excess = static_cast<double>(moved_total - best_total_);
    const double acceptance = temperature_ > 0.0 && excess > kRefusedExcess * temperature_
                                  ? 0.0
                                  : std::exp(-excess / temperature_);
    temperature_ = temperature_ * cooling_factor_;
    if (temperature_ < settings_.minimum_temperature) move_number = budget_ + 1;
    const double draw = rng_.next() * kDrawScale;
    return !(acceptance <= draw);
}

}  // namespace

AnnealingOutcome anneal_block(const AnnealingInputs& in, long long best_total_distance,
                              std::vector<SlotColours>& slot_colours, AnnealingState& state,
                              Random& rng, BlockLog& log, RunResults& results) {
    const auto call_start = StageClock::now();
    Annealer annealer(in, state, rng, log);
    annealer.start(slot_colours, best_total_distance);
    annealer.run();

    // The block's result: where the annealing ended, if it ever improved on
    // the start.
    const auto end_start = StageClock::now();
    AnnealingOutcome outcome;
    outcome.best_total_distance = annealer.best_total();
    outcome.improved = annealer.improved();
    if (outcome.improved) {
        outcome.total_distance = annealer.evaluate_working();
        const ScreenLayout& layout = in.ctx.layout;
        const bool verbose = in.ctx.settings.verbose == 1;
        if (traces_moves(in.ctx.settings, in.lines)) {
            log.trace.printf(
                "debug record saved dist_a=%8.8f dist_b=%8.8f distancemoyenne=%8.8f \n", 0.0,
                annealer.start_total(), static_cast<double>(outcome.total_distance));
        }
        for (int s = layout.first_optimised_slot; s <= layout.last_optimised_slot(); ++s) {
            slot_colours[s][kCandidateId] = annealer.working_candidates()[s];
        }
        decode_slot_colours(in.ctx, in.lists, slot_colours);
        if (verbose) {
            log.trace.printf("saved y=%d bestdistancemoyenne=%8.8f distancemoyenne=%8.8f \n",
                             in.lines.centre_line, static_cast<double>(outcome.best_total_distance),
                             static_cast<double>(outcome.total_distance));
        }
        store_block_solution(in.ctx, in.lines, slot_colours, annealer.working_choices(), results);
    }
    const auto end = StageClock::now();
    log.counters.add_time(SearchStage::kBlockResult, end_start, end);
    log.counters.add_time(SearchStage::kAnnealing, call_start, end);
    return outcome;
}

}  // namespace brenvik
