// Candidate lists of the two-colour mode: every candidate is a pair of
// colours (one per palette set), packed as first | second << 12.
#include <algorithm>
#include <cmath>

#include "encoder/colour/colour.h"
#include "encoder/optimiser/candidates.h"

namespace brenvik {

namespace {

constexpr int kExtraPairLimit = 2000;

int pack_pair(int first, int second) {
    return first | (second << 12);
}

int shift_colour(int colour, int step) {
    const int r = std::clamp(((colour >> 8) & 15) + step, 0, 15);
    const int v = std::clamp(((colour >> 4) & 15) + step, 0, 15);
    const int b = std::clamp((colour & 15) + step, 0, 15);
    return colour_id(r, v, b);
}

class PairLists {
  public:
    PairLists(const RunContext& ctx, const BlockLines& lines, CandidateLists& lists,
              TextSink& trace)
        : ctx_(ctx),
          lines_(lines),
          lists_(lists),
          trace_(trace),
          layout_(ctx.layout),
          picture_(ctx.picture),
          whole_line_slot_(layout_.whole_line_slot()) {
        const int slots = layout_.slot_count();
        reset_candidate_lists(lists_, slots);
        lists_.first_pair_entry.resize(slots);
        for (auto& index : lists_.first_pair_entry) index.clear();
        most_used_ = most_used_colour(picture_);
    }

    void build() {
        const bool verbose = ctx_.settings.verbose == 1;
        if (verbose) {
            const double t = seconds_since(ctx_.settings.start_clock);
            trace_.printf("\n u color uniques y=%d nb=%d %2.3f seconds \n", lines_.centre_line, 0,
                          t);
            trace_.printf("\n t color uniques y=%d nb=%d %2.3f seconds \n", lines_.centre_line, 0,
                          t);
        }

        // The block's list: every pixel of the line(s) plus the two virtual
        // columns (black, the most used colour).
        for_each_column(whole_line_slot_, true, [&](int x, int y) {
            append_entry(whole_line_slot_, list_column_colour(layout_, x, most_used_,
                                                              [&] { return pixel_pair(x, y); }));
        });
        trace("max1_nb_control=%d \n", 0);
        trace_count("v", whole_line_slot_);

        // Slots 0 and 1 are black and the most used colour.
        append_entry(0, 0);
        append_entry(1, most_used_);
        lists_.fixed_slot_candidates = {first_entry(whole_line_slot_, 0),
                                        first_entry(whole_line_slot_, most_used_)};
        trace_count("w", 1);

        for (int k = 2; k <= layout_.last_optimised_slot(); ++k) {
            for_each_column(k, false, [&](int x, int y) { append_entry(k, pixel_pair(x, y)); });
        }
        trace_count("x", layout_.last_optimised_slot());

        trace_.printf("bE y=%d paletteFinale[8]=%d \n", lines_.centre_line,
                      layout_.slot_register[8]);

        const int dither = ctx_.settings.dither_mode;
        if (picture_.has_companion == 0 &&
            (dither == 0 || dither == 2 || dither == 3 || dither == 5)) {
            std::vector<int> order{whole_line_slot_};
            for (int k = 2; k <= layout_.last_optimised_slot(); ++k) order.push_back(k);
            for (int s : order) neighbour_pairs(s);
            if (verbose) trace_.puts("debug step 1dg ");
            for (int s : order) two_level_pairs(s);
        }
        trace_count("yy", layout_.last_optimised_slot());
    }

  private:
    int pixel_pair(int x, int y) const {
        const auto& t = picture_.target_colours.at(x, y);
        const int first = colour_id(target_level(picture_, t[1]), target_level(picture_, t[2]),
                                    target_level(picture_, t[3]));
        const int second = colour_id(target_level(picture_, t[4]), target_level(picture_, t[5]),
                                     target_level(picture_, t[6]));
        return pack_pair(first, second);
    }

    int count(int slot) const { return lists_.count[slot]; }

    // List index of the first entry of `pair` in slot's list, 0 if none.
    int first_entry(int slot, int pair) const { return lists_.first_pair_entry[slot].find(pair); }

    // Appends `pair` and returns its candidate id (0 when the block's list
    // does not hold it).
    int append_entry(int slot, int pair) {
        auto& colours = lists_.colours[slot];
        colours.push_back(pair);
        const int n = static_cast<int>(colours.size()) - 1;
        lists_.first_pair_entry[slot].insert_first(pair, n);
        const int id = first_entry(whole_line_slot_, pair);
        lists_.ids[slot].push_back(id);
        lists_.count[slot] = n;
        return id;
    }

    template <typename Visit>
    void for_each_column(int slot, bool with_virtual, Visit visit) {
        int low = 0;
        int high = 0;
        list_columns(layout_, slot, low, high);
        if (!with_virtual && slot == whole_line_slot_) high -= 2;
        for (int row = 0; row < lines_.row_count; ++row) {
            const int y = lines_.line_of_row(row);
            for (int x = low; x <= high; ++x) visit(x, y);
        }
    }

    void neighbour_pairs(int slot) {
        const int n = count(slot);
        for (int i = 1; i <= n; ++i) {
            const int pair = lists_.colours[slot][i];
            const int first = pair & 0xFFF;
            const int second = (pair >> 12) & 0xFFF;
            for (int e = -1; e <= 1; ++e) {
                for (int t = -1; t <= 1; ++t) {
                    if (std::abs(e - t) == 2) continue;
                    const int candidate =
                        pack_pair(shift_colour(first, e), shift_colour(second, t));
                    if (count(slot) >= kExtraPairLimit || first_entry(slot, candidate) != 0)
                        continue;
                    if (append_entry(slot, candidate) == 0) {
                        trace_.printf("f color not found on limit+2 dist_color=%d \n", candidate);
                    }
                }
            }
        }
    }

    void two_level_pairs(int slot) {
        for_each_column(slot, false, [&](int x, int y) {
            const auto [c1, c2] = two_level_colours(picture_, x, y);
            for (int pair : {pack_pair(c1, c2), pack_pair(c2, c1)}) {
                if (count(slot) < kExtraPairLimit && first_entry(slot, pair) == 0)
                    append_entry(slot, pair);
            }
        });
    }

    void trace(const char* format, int value) {
        if (ctx_.settings.verbose == 1) trace_.printf(format, value);
    }
    void trace_count(const char* label, int slot) {
        if (ctx_.settings.verbose != 1) return;
        trace_.printf("\n %s color uniques y=%d nb=%d %2.3f seconds \n", label, lines_.centre_line,
                      count(slot), seconds_since(ctx_.settings.start_clock));
    }

    const RunContext& ctx_;
    const BlockLines& lines_;
    CandidateLists& lists_;
    TextSink& trace_;
    const ScreenLayout& layout_;
    const PictureTables& picture_;
    const int whole_line_slot_;
    int most_used_ = 0;
};

}  // namespace

void build_two_colour_lists(const RunContext& ctx, const BlockLines& lines, CandidateLists& lists,
                            BlockLog& log) {
    const auto start = StageClock::now();
    PairLists builder(ctx, lines, lists, log.trace);
    builder.build();
    log.counters.add_time(SearchStage::kTwoColourLists, start, StageClock::now());
}

}  // namespace brenvik
