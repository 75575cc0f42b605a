#include "encoder/optimiser/candidates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "encoder/colour/colour.h"
#include "encoder/search/distances.h"

namespace brenvik {

void list_columns(const ScreenLayout& layout, int slot, int& low, int& high) {
    const int start = layout.first_column(slot);
    const int length = layout.run_length(slot);
    high = start + length - 1;
    if (slot == layout.whole_line_slot()) high += 2;
    low = std::max(start, 1);
}

std::array<int, 2> two_level_colours(const PictureTables& picture, int x, int y) {
    const auto& src = picture.undithered_source.at(x - 1, y);
    int level1[3];
    int level2[3];
    for (int c = 0; c < 3; ++c) {
        const auto levels = two_levels(picture, src[c]);
        level1[c] = levels[0];
        level2[c] = levels[1];
    }
    return {colour_id(level1[0], level1[1], level1[2]), colour_id(level2[0], level2[1], level2[2])};
}

void reset_candidate_lists(CandidateLists& lists, int slots) {
    lists.count.assign(slots, 0);
    lists.colours.resize(slots);
    lists.ids.resize(slots);
    for (int k = 0; k < slots; ++k) {
        lists.colours[k].assign(1, -1);
        lists.ids[k].assign(1, -1);
    }
    lists.fixed_slot_candidates = {0, 0};
}

int most_used_colour(const PictureTables& picture) {
    const auto& g = picture.dominant_levels;
    return colour_id(std::min(g[3], 15), std::min(g[6], 15), std::min(g[9], 15));
}

namespace {

int clamp_level(long level) {
    return static_cast<int>(std::clamp(level, 0L, 15L));
}

class OneColourLists {
  public:
    OneColourLists(const RunContext& ctx, const BlockLines& lines, CandidateLists& lists,
                   TextSink& trace)
        : ctx_(ctx),
          lines_(lines),
          lists_(lists),
          trace_(trace),
          layout_(ctx.layout),
          picture_(ctx.picture),
          whole_line_slot_(layout_.whole_line_slot()) {
        const int slots = layout_.slot_count();
        if (lists_.whole_line_entry.size() != kColourIdCount ||
            lists_.colours.size() != static_cast<std::size_t>(slots)) {
            lists_.whole_line_entry.assign(kColourIdCount, 0);
        } else {
            // Only the colours of the previous block's whole-line list are set.
            for (int colour : lists_.colours[whole_line_slot_]) {
                if (colour >= 0 && colour < static_cast<int>(kColourIdCount)) {
                    lists_.whole_line_entry[colour] = 0;
                }
            }
        }
        reset_candidate_lists(lists_, slots);
        slot_order_.push_back(whole_line_slot_);
        for (int k = 0; k <= layout_.last_optimised_slot(); ++k) slot_order_.push_back(k);
        most_used_ = most_used_colour(picture_);
    }

    // A slot's list: an entry for every pixel of its columns (so a colour is
    // drawn as often as it occurs), then, once each, the colours one level
    // around every pixel's (same, above, below) that the list lacks, then the
    // pixels' two nearest levels that it lacks. An entry's candidate id is
    // the index of the colour's latest entry in the whole-line list, which is
    // built first. The slots before the optimised ones keep empty lists:
    // nothing draws from them.
    void build() {
        read_columns();
        const bool verbose = ctx_.settings.verbose == 1;
        std::array<int, 3> last_slot_counts{};
        for (int s : slot_order_) {
            if (s != whole_line_slot_ && s < layout_.first_optimised_slot) continue;
            const std::array<int, 3> counts = build_list(s);
            if (s == slot_order_.back()) last_slot_counts = counts;
        }
        if (!verbose) return;
        int previous = layout_.slot_count();
        int pass = 0;
        for (int s : slot_order_) {
            trace_.printf("debug k=%d j=%d \n", pass, previous);
            for (int row = 0; row < lines_.row_count; ++row) trace_.puts("debug step 3 ");
            previous = s;
            ++pass;
        }
        trace_count(" v2", last_slot_counts[0]);
        trace_count("vv", last_slot_counts[1]);
        trace_count("vvv", last_slot_counts[2]);
    }

  private:
    // Builds one slot's list; returns its length after each of the three parts.
    std::array<int, 3> build_list(int slot) {
        return slot == whole_line_slot_ ? build_list<true>(slot) : build_list<false>(slot);
    }

    template <bool whole_line>
    std::array<int, 3> build_list(int slot) {
        int low = 0;
        int high = 0;
        list_columns(layout_, slot, low, high);
        const std::size_t pixels =
            high >= low ? static_cast<std::size_t>(lines_.row_count) * (high - low + 1) : 0;
        // Built in scratch room for every possible entry, then copied at its
        // length (so nothing is cleared that is not kept).
        if (colour_scratch_.size() < 1 + pixels * 6) {
            colour_scratch_.resize(1 + pixels * 6);
            id_scratch_.resize(1 + pixels * 6);
        }
        int* colour_at = colour_scratch_.data();
        int* id_at = id_scratch_.data();
        colour_at[0] = -1;
        id_at[0] = -1;
        int* whole_line_entry = lists_.whole_line_entry.data();
        // The colours in the list: those whose mark is this list's number.
        const std::uint16_t mark = next_list_mark();
        std::uint16_t* marked = lists_.colour_list_marks.data();
        int n = 0;
        for (int row = 0; row < lines_.row_count; ++row) {
            for (int x = low; x <= high; ++x) {
                const int colour = column_colour(row, x, kPixel);
                marked[colour] = mark;
                ++n;
                colour_at[n] = colour;
                if (whole_line) whole_line_entry[colour] = n;
                id_at[n] = whole_line_entry[colour];
            }
        }
        std::array<int, 3> counts{n, 0, 0};
        // Appends the colour when the list lacks it; the entry is written
        // either way and kept only then.
        auto add_once = [&](int colour) {
            const int missing = marked[colour] != mark ? 1 : 0;
            marked[colour] = mark;
            colour_at[n + 1] = colour;
            if (whole_line && missing) whole_line_entry[colour] = n + 1;
            id_at[n + 1] = whole_line_entry[colour];
            n += missing;
        };
        // A pixel whose colours are those of the pixel visited before it adds
        // nothing: they are in the list already.
        int previous[3] = {-1, -1, -1};
        for (int row = 0; row < lines_.row_count; ++row) {
            for (int x = low; x <= high; ++x) {
                const int same = column_colour(row, x, kSame);
                const int above = column_colour(row, x, kAbove);
                const int below = column_colour(row, x, kBelow);
                if (same == previous[0] && above == previous[1] && below == previous[2]) continue;
                add_once(same);
                add_once(above);
                add_once(below);
                previous[0] = same;
                previous[1] = above;
                previous[2] = below;
            }
        }
        counts[1] = n;
        previous[0] = previous[1] = -1;
        for (int row = 0; row < lines_.row_count; ++row) {
            for (int x = low; x <= high; ++x) {
                const int level1 = column_colour(row, x, kLevel1);
                const int level2 = column_colour(row, x, kLevel2);
                if (level1 == previous[0] && level2 == previous[1]) continue;
                add_once(level1);
                add_once(level2);
                previous[0] = level1;
                previous[1] = level2;
            }
        }
        counts[2] = n;
        lists_.colours[slot].assign(colour_at, colour_at + n + 1);
        lists_.ids[slot].assign(id_at, id_at + n + 1);
        lists_.count[slot] = n;
        return counts;
    }

    // A number for a new list's marks, never one that a colour carries
    // already (the marks are cleared when the numbers run out).
    std::uint16_t next_list_mark() {
        std::vector<std::uint16_t>& marks = lists_.colour_list_marks;
        if (marks.size() != kColourIdCount || lists_.last_list_mark == UINT16_MAX) {
            marks.assign(kColourIdCount, 0);
            lists_.last_list_mark = 0;
        }
        return ++lists_.last_list_mark;
    }

    // Every list reads the same few colours of a pixel, and a pixel lies in
    // the range of many slots: they are worked out once per block, for the
    // columns 1..width+2 of every row.
    enum ColumnColour { kPixel, kSame, kAbove, kBelow, kLevel1, kLevel2, kColumnColours };

    int& column_colour(int row, int x, ColumnColour which) {
        return column_colours_[(static_cast<std::size_t>(row) * columns_ + x) * kColumnColours +
                               which];
    }

    void read_columns() {
        const int width = layout_.width;
        columns_ = width + 3;
        column_colours_.assign(
            static_cast<std::size_t>(lines_.row_count) * columns_ * kColumnColours, 0);
        const int step = picture_.level_step;
        for (int row = 0; row < lines_.row_count; ++row) {
            const int y = lines_.line_of_row(row);
            for (int x = 1; x <= width + 2; ++x) {
                const auto& t = picture_.target_colours.at(x, y);
                column_colour(row, x, kPixel) = list_column_colour(layout_, x, most_used_, [&] {
                    return colour_id(rounded_level(picture_, t[1]), rounded_level(picture_, t[2]),
                                     rounded_level(picture_, t[3]));
                });
                const int r = t[1] / step;
                const int v = t[2] / step;
                const int b = t[3] / step;
                const ColumnColour neighbours[3] = {kSame, kAbove, kBelow};
                const int offsets[3] = {0, 1, -1};
                for (int i = 0; i < 3; ++i) {
                    const int d = offsets[i];
                    column_colour(row, x, neighbours[i]) =
                        colour_id(clamp_level(r + d), clamp_level(v + d), clamp_level(b + d));
                }
                const auto levels = two_level_colours(picture_, x, y);
                column_colour(row, x, kLevel1) = levels[0];
                column_colour(row, x, kLevel2) = levels[1];
            }
        }
    }

    void trace_count(const char* label, int nb) {
        if (label[0] == ' ') {
            trace_.printf("\n%s color uniques y=%d nb=%d %2.3f seconds \n", label,
                          lines_.centre_line, nb, seconds_since(ctx_.settings.start_clock));
        } else {
            trace_.printf("%s color uniques y=%d nb=%d %2.3f seconds \n", label, lines_.centre_line,
                          nb, seconds_since(ctx_.settings.start_clock));
        }
        trace_.puts("debug step 1 ");
    }

    const RunContext& ctx_;
    const BlockLines& lines_;
    CandidateLists& lists_;
    TextSink& trace_;
    const ScreenLayout& layout_;
    const PictureTables& picture_;
    const int whole_line_slot_;
    int most_used_ = 0;
    std::vector<int> slot_order_;
    int columns_ = 0;
    std::vector<int> column_colours_;  // [(row * columns_ + x) * kColumnColours + which]
    std::vector<int> colour_scratch_, id_scratch_;
};

}  // namespace

void build_one_colour_lists(const RunContext& ctx, const BlockLines& lines, CandidateLists& lists,
                            BlockLog& log) {
    const auto set_up_start = StageClock::now();
    OneColourLists builder(ctx, lines, lists, log.trace);
    const auto lists_start = StageClock::now();
    builder.build();
    log.counters.add_time(SearchStage::kOneColourSetUp, set_up_start, lists_start);
    log.counters.add_time(SearchStage::kOneColourLists, lists_start, StageClock::now());
}

void build_candidates(const RunContext& ctx, const BlockLines& lines, CandidateLists& lists,
                      DistanceTable& table, Random& rng, BlockLog& log) {
    const RunSettings& settings = ctx.settings;
    const bool verbose = settings.verbose == 1;
    if (settings.palette_mode == kOneBitmapTwoPalettes) {
        build_two_colour_lists(ctx, lines, lists, log);
        const int nb = lists.count[ctx.layout.last_optimised_slot()];
        if (verbose) {
            log.trace.printf("\n zz color uniques y=%d nb=%d %2.3f seconds \n", lines.centre_line,
                             nb, seconds_since(settings.start_clock));
        }
        const auto start = StageClock::now();
        fill_distances_two_palettes(ctx, lines, lists, rng, table);
        log.counters.add_time(SearchStage::kDistanceTables, start, StageClock::now());
        if (verbose) {
            log.trace.printf("\n zz color uniques y=%d nb=%d %2.3f seconds \n", lines.centre_line,
                             nb, seconds_since(settings.start_clock));
            log.trace.printf("distance_precalc y=%d %2.3f seconds \n", lines.centre_line,
                             seconds_since(settings.start_clock));
            log.trace.puts("debug step 1e ");
        }
        return;
    }
    build_one_colour_lists(ctx, lines, lists, log);
    if (verbose) log.trace.puts("debug step 1c ");
    const auto start = StageClock::now();
    if (settings.palette_mode == kOnePalette) {
        if (verbose) log.trace.puts("debug step 1dd ");
        if (verbose) log.trace.puts("debug step 1de ");
        fill_distances_one_palette(ctx, lines, lists, table);
    } else {
        fill_distances_two_bitmaps(ctx, lines, lists, table);
    }
    log.counters.add_time(SearchStage::kDistanceTables, start, StageClock::now());
    if (verbose) {
        log.trace.puts("debug step 1df ");
        log.trace.puts("debug step 1b ");
        log.trace.puts("debug step 1e ");
    }
}

}  // namespace brenvik
