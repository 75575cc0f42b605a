#include "encoder/search/anneal.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "encoder/search/solution.h"

namespace brenvik {

namespace {

double ticks_to_seconds(std::clock_t ticks) {
    return static_cast<double>(ticks) / CLOCKS_PER_SEC;
}

// Visible optimiser slots per column, at most this many (one per colour
// register), padded to this width for the AVX2 path.
constexpr int kVisibleWidth = 16;

// The optimiser slots visible at each column for the AVX2 path, padded to
// 16 per column: column x's at visible_padded[x * 16 ...], the unused places
// holding `padding_slot`. The layout does not change during a run, so a
// worker builds this once.
void prepare_visible_slots(const ScreenLayout& layout, BlockSearch& search, int padding_slot) {
    const int width = layout.width;
    const std::size_t size = (static_cast<std::size_t>(width) + 2) * kVisibleWidth;
    if (search.visible_padded.size() == size) return;
    search.visible_padded.assign(size, padding_slot);
    search.visible_fits_padding = true;
    for (int x = 1; x <= width; ++x) {
        int i = 0;
        for (int slot : layout.visible_slots[x]) {
            if (i < kVisibleWidth) {
                search.visible_padded[static_cast<std::size_t>(x) * kVisibleWidth + i] = slot;
            } else {
                search.visible_fits_padding = false;
            }
            ++i;
        }
    }
}

// One block row of a move of slot s to a new colour, on the slot's columns
// first..last; returns the change of the total. `row_table` is the block
// row's distance table and slot k's working colour has its distances at
// row_table + slot_offset[k].
//
// A pixel that showed s and that the new colour brings strictly nearer stays
// with s: its distance was already the smallest of its visible slots, so the
// new one is now smaller than every other. Only the pixels of s that the new
// colour does not bring nearer choose again among their visible slots (the
// first listed wins ties). Every pixel that the new colour shows strictly
// nearer than its own move_count to s. Each pixel only depends on itself, so the
// two cases are settled column by column.
long long move_row_plain(const std::int32_t* row_table, const int* slot_offset,
                         const std::vector<int>* visible_of, int* slot_of, int* distance_at, int s,
                         int first, int last) {
    const std::int32_t* candidate_row = row_table + slot_offset[s];
    long long change = 0;
    for (int x = first; x <= last; ++x) {
        const int d = candidate_row[x];
        if (d < distance_at[x]) {
            change += static_cast<long long>(d) - distance_at[x];
            slot_of[x] = s;
            distance_at[x] = d;
        } else if (slot_of[x] == s) {
            const int* visible = visible_of[x].data();
            const int* visible_end = visible + visible_of[x].size();
            int best_slot = *visible;
            int best = row_table[slot_offset[best_slot] + x];
            for (++visible; visible != visible_end; ++visible) {
                const int candidate = row_table[slot_offset[*visible] + x];
                if (candidate < best) {
                    best = candidate;
                    best_slot = *visible;
                }
            }
            change += static_cast<long long>(best) - distance_at[x];
            slot_of[x] = best_slot;
            distance_at[x] = best;
        }
    }
    return change;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define BRENVIK_HAS_AVX2_PATH 1

// Nearest visible slot of column x, the first listed on ties: the sixteen
// (padded) distances are gathered and reduced together.
[[gnu::target("avx2")]] inline void choose_again_avx2(const std::int32_t* row_table,
                                                      const int* slot_offset, const int* visible16,
                                                      int x, int& best_slot, int& best) {
    const int* visible = visible16 + static_cast<std::size_t>(x) * kVisibleWidth;
    const __m256i column = _mm256_set1_epi32(x);
    const __m256i slots_low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(visible));
    const __m256i slots_high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(visible + 8));
    const __m256i at_low =
        _mm256_add_epi32(_mm256_i32gather_epi32(slot_offset, slots_low, 4), column);
    const __m256i at_high =
        _mm256_add_epi32(_mm256_i32gather_epi32(slot_offset, slots_high, 4), column);
    const __m256i d_low = _mm256_i32gather_epi32(row_table, at_low, 4);
    const __m256i d_high = _mm256_i32gather_epi32(row_table, at_high, 4);
    __m256i m = _mm256_min_epi32(d_low, d_high);
    m = _mm256_min_epi32(m, _mm256_permute2x128_si256(m, m, 1));
    m = _mm256_min_epi32(m, _mm256_shuffle_epi32(m, _MM_SHUFFLE(1, 0, 3, 2)));
    m = _mm256_min_epi32(m, _mm256_shuffle_epi32(m, _MM_SHUFFLE(2, 3, 0, 1)));
    const int low_mask = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(d_low, m)));
    int index = 0;
    if (low_mask != 0) {
        index = __builtin_ctz(static_cast<unsigned>(low_mask));
    } else {
        const int high_mask =
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(d_high, m)));
        index = 8 + __builtin_ctz(static_cast<unsigned>(high_mask));
    }
    best = _mm_cvtsi128_si32(_mm256_castsi256_si128(m));
    best_slot = visible[index];
}

// move_row_plain, eight columns at a time.
[[gnu::target("avx2")]] long long move_row_avx2(const std::int32_t* row_table,
                                                const int* slot_offset, const int* visible16,
                                                int* slot_of, int* distance_at, int s, int first,
                                                int last) {
    const std::int32_t* candidate_row = row_table + slot_offset[s];
    const __m256i slot_s = _mm256_set1_epi32(s);
    __m256i sum = _mm256_setzero_si256();  // four 64-bit partial sums
    long long change = 0;
    int x = first;
    for (; x + 7 <= last; x += 8) {
        __m256i* slot_at = reinterpret_cast<__m256i*>(slot_of + x);
        __m256i* dist_at = reinterpret_cast<__m256i*>(distance_at + x);
        const __m256i here = _mm256_loadu_si256(slot_at);
        const __m256i old = _mm256_loadu_si256(dist_at);
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(candidate_row + x));
        const __m256i wins = _mm256_cmpgt_epi32(old, d);
        const __m256i again = _mm256_andnot_si256(wins, _mm256_cmpeq_epi32(here, slot_s));
        const __m256i delta = _mm256_and_si256(wins, _mm256_sub_epi32(d, old));
        sum = _mm256_add_epi64(sum, _mm256_cvtepi32_epi64(_mm256_castsi256_si128(delta)));
        sum = _mm256_add_epi64(sum, _mm256_cvtepi32_epi64(_mm256_extracti128_si256(delta, 1)));
        _mm256_storeu_si256(dist_at, _mm256_blendv_epi8(old, d, wins));
        _mm256_storeu_si256(slot_at, _mm256_blendv_epi8(here, slot_s, wins));
        unsigned mask = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(again)));
        while (mask != 0) {
            const int column = x + __builtin_ctz(mask);
            mask &= mask - 1;
            int best_slot = 0;
            int best = 0;
            choose_again_avx2(row_table, slot_offset, visible16, column, best_slot, best);
            change += static_cast<long long>(best) - distance_at[column];
            slot_of[column] = best_slot;
            distance_at[column] = best;
        }
    }
    for (; x <= last; ++x) {
        const int d = candidate_row[x];
        if (d < distance_at[x]) {
            change += static_cast<long long>(d) - distance_at[x];
            slot_of[x] = s;
            distance_at[x] = d;
        } else if (slot_of[x] == s) {
            int best_slot = 0;
            int best = 0;
            choose_again_avx2(row_table, slot_offset, visible16, x, best_slot, best);
            change += static_cast<long long>(best) - distance_at[x];
            slot_of[x] = best_slot;
            distance_at[x] = best;
        }
    }
    alignas(32) long long parts[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(parts), sum);
    return change + parts[0] + parts[1] + parts[2] + parts[3];
}
#endif

}  // namespace

long long assign_nearest_slots(const RunContext& ctx, BlockSearch& search,
                               const std::vector<int>& ids) {
    const ScreenLayout& layout = ctx.layout;
    const int width = layout.width;
    const int stride = width + 1;
    long long total = 0;
    for (int row = 0; row < search.row_count; ++row) {
        int* slot_of = &search.working_slot[static_cast<std::size_t>(row) * stride];
        int* distance_at = &search.working_distance[static_cast<std::size_t>(row) * stride];
        for (int x = 1; x <= width; ++x) {
            const auto& visible = layout.visible_slots[x];
            int best_slot = 0;
            int best = 0;
            bool first = true;
            for (int k : visible) {
                const int d = search.distance(row, x, ids[k]);
                if (first || d < best) {
                    best = d;
                    best_slot = k;
                    first = false;
                }
            }
            slot_of[x] = best_slot;
            distance_at[x] = best;
            total += best;
        }
    }
    return total;
}

void anneal_block(const RunContext& ctx, BlockSearch& search, RunResults& results) {
    const std::clock_t call_start = std::clock();
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
    search.total_distance = assign_nearest_slots(ctx, search, start_candidates);
    search.committed_slot = search.working_slot;
    search.committed_distance = search.working_distance;
    search.start_total_distance = static_cast<double>(search.total_distance);
    if (trace_moves) {
        search.trace.printf("debug init distancemoyenne=%8.8f \n", search.start_total_distance);
        search.trace.printf("debug init3 distancemoyenne=%8.8f \n", search.start_total_distance);
    }

    // Working and committed candidate id of every slot.
    search.working_candidate = start_candidates;
    search.committed_candidate = start_candidates;
    const double best_at_start = static_cast<double>(search.best_total_distance);
    double temperature = 2 * ((-best_at_start * 0.02 * 1000.0 * 10.0) / -0.10536051565782628) /
                         search.temperature_divisor;

    // slot_offset[k]: where slot k's working colour has its distances in a
    // block row's table; the padding slot `slots` points at candidate 0,
    // whose distance never wins.
    search.slot_offset.assign(static_cast<std::size_t>(slots) + 1, 0);
    auto point_slot = [&](int slot) {
        search.slot_offset[slot] = search.working_candidate[slot] * search.table_columns;
    };
    for (int slot = 0; slot < slots; ++slot) point_slot(slot);
    const int* slot_offset = search.slot_offset.data();
    const std::size_t row_table_size =
        static_cast<std::size_t>(search.table_candidates) * search.table_columns;
#ifdef BRENVIK_HAS_AVX2_PATH
    if (!settings.portable_search) prepare_visible_slots(layout, search, slots);
    const bool use_avx2 =
        !settings.portable_search && search.visible_fits_padding && __builtin_cpu_supports("avx2");
#endif

    // Slots changed since the last commit, and the columns whose per-pixel
    // working values may differ from the committed ones (rescan_first..rescan_last).
    std::vector<int>& changed_slots = search.changed_slots;
    changed_slots.clear();
    int rescan_first = width + 1;
    int rescan_last = 0;
    auto copy_changed_columns = [&](std::vector<int>& to02, std::vector<int>& to12,
                                    const std::vector<int>& from02,
                                    const std::vector<int>& from12) {
        if (rescan_first > rescan_last) return;
        for (int row = 0; row < search.row_count; ++row) {
            const std::size_t base = static_cast<std::size_t>(row) * stride;
            std::copy(from02.begin() + base + rescan_first, from02.begin() + base + rescan_last + 1,
                      to02.begin() + base + rescan_first);
            std::copy(from12.begin() + base + rescan_first, from12.begin() + base + rescan_last + 1,
                      to12.begin() + base + rescan_first);
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

    while (move_number <= search.move_budget) {
        ++move_number;
        const int moved_slot =
            search.rng.next() % layout.optimised_slot_count + layout.first_optimised_slot;
        const int count = search.candidate_count[moved_slot];
        const int pick = search.rng.next() % count + 1;
        const int candidate = search.candidate_ids[moved_slot][pick];
        search.working_candidate[moved_slot] = candidate;
        changed_slots.push_back(moved_slot);
        point_slot(moved_slot);

        // A pixel can only show a slot on the slot's own columns, so both the
        // pixels that showed the slot and those its new colour may win lie there.
        const int first = layout.first_column(moved_slot);
        const int last = first + layout.run_length(moved_slot) - 1;
        rescan_first = std::min(rescan_first, first);
        rescan_last = std::max(rescan_last, last);
        for (int row = 0; row < search.row_count; ++row) {
            int* slot_of = &search.working_slot[static_cast<std::size_t>(row) * stride];
            int* distance_at = &search.working_distance[static_cast<std::size_t>(row) * stride];
            const std::int32_t* row_table = &search.distance_table[row * row_table_size];
#ifdef BRENVIK_HAS_AVX2_PATH
            if (use_avx2) {
                working_total += move_row_avx2(row_table, slot_offset, search.visible_padded.data(),
                                               slot_of, distance_at, moved_slot, first, last);
                continue;
            }
#endif
            working_total += move_row_plain(row_table, slot_offset, layout.visible_slots.data(),
                                            slot_of, distance_at, moved_slot, first, last);
        }
        search.working_total_distance = working_total;
        if (trace_moves) {
            search.trace.printf(
                "debug optimisation dist_a=%8.8f dist_b=%8.8f distancemoyennea=%8.8f \n", 0.0,
                search.start_total_distance, static_cast<double>(search.working_total_distance));
        }

        if (search.working_total_distance < search.best_total_distance) {
            const std::clock_t improvement_start = std::clock();
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
            n.stage_seconds[4] += 1000.0 * ticks_to_seconds(std::clock() - improvement_start);
            improved = true;
            accepted_worse = 0;
        } else {
            const double acceptance = std::exp(
                static_cast<double>(-(search.working_total_distance - search.best_total_distance)) /
                temperature);
            temperature = temperature * search.cooling_factor;
            if (temperature < settings.minimum_temperature) move_number = search.move_budget + 1;
            const double draw = search.rng.next() * 3.051850947599719e-05;
            if (acceptance <= draw) {
                for (int slot : changed_slots) {
                    search.working_candidate[slot] = search.committed_candidate[slot];
                    point_slot(slot);
                }
                changed_slots.clear();
                copy_changed_columns(search.working_slot, search.working_distance,
                                     search.committed_slot, search.committed_distance);
                working_total = committed_total;
            } else {
                accepted_worse += 1;
            }
        }
        if (++move_count >= kMoveCap) break;
    }

    // End: the working solution is the result.
    const std::clock_t end_start = std::clock();
    for (int s = layout.first_optimised_slot; s <= layout.last_optimised_slot(); ++s) {
        search.slot_colours[s][kCandidateId] = search.working_candidate[s];
        search.committed_candidate[s] = search.working_candidate[s];
    }
    search.annealing_outcome = search.pending_annealing_outcome;
    if (improved) {
        search.total_distance = assign_nearest_slots(ctx, search, search.working_candidate);
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
    search.counters.stage_seconds[6] += ticks_to_seconds(std::clock() - end_start);
    search.counters.stage_seconds[8] += ticks_to_seconds(std::clock() - call_start);
}

}  // namespace brenvik
