#include "encoder/optimiser/candidates.h"

#include <algorithm>
#include <cmath>

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

void reset_candidate_lists(BlockSearch& search, int slots) {
    search.candidate_count.assign(slots, 0);
    search.candidate_colours.resize(slots);
    search.candidate_ids.resize(slots);
    for (int k = 0; k < slots; ++k) {
        search.candidate_colours[k].assign(1, -1);
        search.candidate_ids[k].assign(1, -1);
    }
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
    OneColourLists(const RunContext& ctx, BlockSearch& search)
        : ctx_(ctx),
          search_(search),
          layout_(ctx.layout),
          picture_(ctx.picture),
          whole_line_slot_(layout_.whole_line_slot()) {
        const int slots = layout_.slot_count();
        const std::size_t table_size = static_cast<std::size_t>(slots) * 4096;
        if (search_.colour_frequency.size() != table_size ||
            search_.candidate_colours.size() != static_cast<std::size_t>(slots)) {
            search_.colour_frequency.assign(table_size, 0);
            search_.latest_entry.assign(table_size, 0);
        } else {
            // Only the colours of the previous block's lists are set.
            for (int k = 0; k < slots; ++k) {
                const auto& previous = search_.candidate_colours[k];
                for (std::size_t i = 1; i < previous.size(); ++i) {
                    if (previous[i] < 0 || previous[i] >= 4096) continue;  // not a 12-bit colour
                    frequency(k, previous[i]) = 0;
                    latest_entry(k, previous[i]) = 0;
                }
            }
        }
        reset_candidate_lists(search_, slots);
        slot_order_.push_back(whole_line_slot_);
        for (int k = 0; k <= layout_.last_optimised_slot(); ++k) slot_order_.push_back(k);
        most_used_ = most_used_colour(picture_);
    }

    void build() {
        read_columns();
        const bool verbose = ctx_.settings.verbose == 1;
        int previous = layout_.slot_count();
        int pass = 0;
        for (int s : slot_order_) {
            if (verbose) search_.trace.printf("debug k=%d j=%d \n", pass, previous);
            pixel_entries(s, verbose);
            previous = s;
            ++pass;
        }
        trace_count(" v2");
        for (int s : slot_order_) neighbour_candidates(s);
        trace_count("vv");
        for (int s : slot_order_) two_level_candidates(s);
        trace_count("vvv");
    }

  private:
    int& frequency(int slot, int colour) {
        return search_.colour_frequency[static_cast<std::size_t>(slot) * 4096 + colour];
    }
    int& latest_entry(int slot, int colour) {
        return search_.latest_entry[static_cast<std::size_t>(slot) * 4096 + colour];
    }

    void append_entry(int slot, int colour) {
        auto& ids = search_.candidate_colours[slot];
        ids.push_back(colour);
        const int n = static_cast<int>(ids.size()) - 1;
        latest_entry(slot, colour) = n;
        search_.candidate_ids[slot].push_back(latest_entry(whole_line_slot_, colour));
        search_.candidate_count[slot] = n;
    }

    int line_of_row(int row) const {
        return search_.centre_line + ctx_.settings.block_geometry.first_row_offset + row;
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
            static_cast<std::size_t>(search_.row_count) * columns_ * kColumnColours, 0);
        const int step = picture_.level_step;
        for (int row = 0; row < search_.row_count; ++row) {
            const int y = line_of_row(row);
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

    template <typename Visit>
    void for_each_pixel(int slot, Visit visit) {
        int low = 0;
        int high = 0;
        list_columns(layout_, slot, low, high);
        for (int row = 0; row < search_.row_count; ++row) {
            for (int x = low; x <= high; ++x) visit(row, x);
        }
    }

    void pixel_entries(int slot, bool verbose) {
        int low = 0;
        int high = 0;
        list_columns(layout_, slot, low, high);
        for (int row = 0; row < search_.row_count; ++row) {
            for (int x = low; x <= high; ++x) {
                const int colour = column_colour(row, x, kPixel);
                frequency(slot, colour) += 1;
                append_entry(slot, colour);
            }
            if (verbose) search_.trace.puts("debug step 3 ");
        }
    }

    void add_extra_candidate(int slot, int colour) {
        if (frequency(slot, colour) != 0) return;
        frequency(slot, colour) = 1;
        append_entry(slot, colour);
    }

    void neighbour_candidates(int slot) {
        for_each_pixel(slot, [&](int row, int x) {
            for (ColumnColour which : {kSame, kAbove, kBelow}) {
                add_extra_candidate(slot, column_colour(row, x, which));
            }
        });
    }

    void two_level_candidates(int slot) {
        for_each_pixel(slot, [&](int row, int x) {
            add_extra_candidate(slot, column_colour(row, x, kLevel1));
            add_extra_candidate(slot, column_colour(row, x, kLevel2));
        });
    }

    void trace_count(const char* label) {
        if (ctx_.settings.verbose != 1) return;
        const int nb = search_.candidate_count[slot_order_.back()];
        if (label[0] == ' ') {
            search_.trace.printf("\n%s color uniques y=%d nb=%d %2.3f seconds \n", label,
                                 search_.centre_line, nb, seconds_since(ctx_.settings.start_clock));
        } else {
            search_.trace.printf("%s color uniques y=%d nb=%d %2.3f seconds \n", label,
                                 search_.centre_line, nb, seconds_since(ctx_.settings.start_clock));
        }
        search_.trace.puts("debug step 1 ");
    }

    const RunContext& ctx_;
    BlockSearch& search_;
    const ScreenLayout& layout_;
    const PictureTables& picture_;
    const int whole_line_slot_;
    int most_used_ = 0;
    std::vector<int> slot_order_;
    int columns_ = 0;
    std::vector<int> column_colours_;  // [(row * columns_ + x) * kColumnColours + which]
};

}  // namespace

void build_candidate_lists_one_colour(const RunContext& ctx, BlockSearch& search) {
    const std::clock_t set_up_start = std::clock();
    OneColourLists lists(ctx, search);
    const std::clock_t lists_start = std::clock();
    lists.build();
    const std::clock_t distances_start = std::clock();
    search.counters.stage_seconds[7] +=
        static_cast<double>(lists_start - set_up_start) / CLOCKS_PER_SEC;
    search.counters.stage_seconds[8] +=
        static_cast<double>(distances_start - lists_start) / CLOCKS_PER_SEC;

    const bool verbose = ctx.settings.verbose == 1;
    if (verbose) search.trace.puts("debug step 1c ");
    if (ctx.settings.palette_mode == kOnePalette) {
        fill_distances_one_palette(ctx, search);
    } else {
        fill_distances_two_bitmaps(ctx, search);
    }
    search.counters.stage_seconds[10] +=
        static_cast<double>(std::clock() - distances_start) / CLOCKS_PER_SEC;
    if (verbose) {
        search.trace.puts("debug step 1df ");
        search.trace.puts("debug step 1b ");
        search.trace.puts("debug step 1e ");
    }
}

}  // namespace brenvik
