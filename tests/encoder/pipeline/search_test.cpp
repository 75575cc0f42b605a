// The block search and what follows it, on a generated picture: the lanes
// of the annealing, the choice of every pixel, the line-by-line error
// diffusion and the order in which the block loop hands lines over.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "encoder/colour/colour.h"
#include "encoder/conversion/diffusion.h"
#include "encoder/conversion/picture_tables.h"
#include "encoder/driver/block_loop.h"
#include "encoder/driver/convert.h"
#include "encoder/frontend/options.h"
#include "encoder/optimiser/optimise_block.h"
#include "encoder/search/slot_keys.h"
#include "encoder/state/geometry.h"
#include "encoder/state/screen_layout.h"
#include "format/screen_modes.h"
#include "tests/common/fixtures.h"

namespace {

using namespace brenvik;

// A run's inputs, set up as the encoder does, on a W x H generated picture
// (fewer lines than the mode's keep the tests quick).
struct Encoding {
    RunSettings settings;
    ScreenLayout layout;
    PictureTables picture;

    Encoding(const std::vector<std::string>& options, int height, unsigned seed = 5) {
        std::vector<std::string> args{"brenvik"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back("pic.bmp");
        EXPECT_TRUE(parse_command_line(args, settings));
        derive_settings(settings);
        settings.threads = 1;
        const ScreenMode& mode = format::kScreenModes[static_cast<std::size_t>(settings.mode_row)];
        layout = build_screen_layout(mode, settings.schedule_shift);
        const auto bmp = testsupport::synthetic_picture(mode.width, height, seed);
        SourcePictures pictures;
        // The BMP's bottom-up B, G, R rows as R, G, B rows from the top.
        const std::size_t row = static_cast<std::size_t>(mode.width) * 3;
        for (int y = height - 1; y >= 0; --y) {
            const std::uint8_t* from = bmp.data() + 54 + static_cast<std::size_t>(y) * row;
            for (std::size_t i = 0; i < row; i += 3) {
                pictures.first_pixels.insert(pictures.first_pixels.end(),
                                             {from[i + 2], from[i + 1], from[i]});
            }
        }
        pictures.second_pixels = pictures.first_pixels;
        TextSink sink;
        const ScreenMode shown{mode.layout_id, mode.palette_words, mode.excluded_words, mode.width,
                               height};
        load_picture_tables(pictures, shown, settings, picture, sink);
        Random rng;
        rng.reseed(static_cast<std::uint32_t>(settings.seed));
        detect_level_step(picture, rng, sink);
        colour_statistics(picture);
        settings.picture_height = height;
    }

    RunResults empty_results() const { return brenvik::empty_results(layout, picture); }

    RunResults block_loop(const ScreenLayout& with_layout) const {
        RunResults results = empty_results();
        const RunContext ctx{settings, with_layout, picture};
        run_block_loop(ctx, results, {});
        return results;
    }
};

void expect_same_results(const RunResults& a, const RunResults& b, int width, int height) {
    EXPECT_EQ(a.best_total_distance_sum, b.best_total_distance_sum);
    EXPECT_EQ(a.counters.improvements, b.counters.improvements);
    EXPECT_TRUE(a.stored_slot_colours == b.stored_slot_colours);
    for (int y = 1; y <= height; ++y) {
        for (int x = 0; x <= width; ++x) {
            ASSERT_EQ(a.pixel_choice.at(x, y), b.pixel_choice.at(x, y)) << x << "," << y;
        }
    }
}

TEST(SlotKeys, OrderByDistanceThenSlotAndKeepTheSentinel) {
    EXPECT_LT(slot_key(5, 40), slot_key(6, 2));
    EXPECT_LT(slot_key(5, 2), slot_key(5, 40));
    EXPECT_LT(slot_key(kLargestDistance, 82), slot_key(kNoCandidateDistance, 2));
    EXPECT_LT(slot_key(kNoCandidateDistance, 82), kNoSlotKey);
    for (int distance : {0, 1, 4095, kLargestDistance, kNoCandidateDistance}) {
        for (int slot : {0, 2, 55, 82, 127}) {
            const std::int32_t key = slot_key(distance, slot);
            EXPECT_EQ(key_distance(key), distance) << distance << " " << slot;
            EXPECT_EQ(key_slot(key), slot);
        }
    }
}

// The annealing keeps the slots of one register in one lane. A layout in
// which two slots of a register overlap gets a lane per slot: the search
// must not notice, and neither must the portable build.
TEST(SearchLanes, OwnLanesAndPortableCodeGiveTheSameSearch) {
    struct Case {
        std::vector<std::string> options;
        int slot;  // given the register of `overlapped`, which it overlaps
        int overlapped;
    };
    const Case cases[] = {
        {{"-1"}, 3, 2},
        {{"-1", "--mode=2", "--blockoflines=2"}, 3, 2},
        {{"-1", "--pixpal=3"}, 3, 2},
    };
    for (const Case& c : cases) {
        Encoding e(c.options, 24);
        const RunResults by_register = e.block_loop(e.layout);
        ScreenLayout shared = e.layout;
        shared.slot_register[c.slot] = shared.slot_register[c.overlapped];
        bool overlap = false;
        for (int x = 1; x <= shared.width; ++x) {
            overlap =
                overlap || (shared.visible(x, c.slot) == 1 && shared.visible(x, c.overlapped) == 1);
        }
        ASSERT_TRUE(overlap) << "the two slots must share a column";
        const RunResults by_slot = e.block_loop(shared);
        expect_same_results(by_register, by_slot, e.layout.width, e.picture.height);
        e.settings.portable_search = true;
        const RunResults portable = e.block_loop(e.layout);
        expect_same_results(by_register, portable, e.layout.width, e.picture.height);
    }
}

// After a block, every pixel shows the nearest of its visible slots for the
// block's final colours (the lowest slot on ties), at that distance.
TEST(SearchResult, EveryPixelShowsItsNearestVisibleSlot) {
    for (const auto& options :
         {std::vector<std::string>{"-1"}, std::vector<std::string>{"-1", "--blockoflines=3"},
          std::vector<std::string>{"-1", "--mode=1", "--shiftpixels=2"},
          std::vector<std::string>{"-1", "--pixpal=2", "--dither=3"}}) {
        for (bool portable : {false, true}) {
            Encoding e(options, 12);
            e.settings.portable_search = portable;
            RunResults results = e.empty_results();
            const RunContext ctx{e.settings, e.layout, e.picture};
            BlockSearch search;
            for (int centre : block_centre_lines(e.settings)) {
                optimise_block(ctx, centre, search, results);
                const BlockLines lines = BlockLines::centred_on(centre, e.settings.block_geometry);
                for (int row = 0; row < lines.row_count; ++row) {
                    const int y = lines.line_of_row(row);
                    if (y < 1 || y > e.picture.height) continue;
                    for (int x = 1; x <= e.layout.width; ++x) {
                        int best_slot = 0;
                        int best = 0;
                        bool first = true;
                        for (int k : e.layout.visible_slots[x]) {
                            const int d = search.distances.distance(
                                row, x, results.stored(k, y)[kCandidateId]);
                            if (first || d < best) {
                                best = d;
                                best_slot = k;
                                first = false;
                            }
                        }
                        ASSERT_EQ(results.pixel_choice.at(x, y), std::make_pair(best_slot, best))
                            << options.back() << " line " << y << " column " << x;
                    }
                }
            }
        }
    }
}

// A worker's state carries nothing from one block to the next: the blocks
// searched bottom-up on one BlockSearch give what each gives on a fresh one.
TEST(BlockSearchState, BlocksDoNotDependOnTheWorkersHistory) {
    for (const auto& options :
         {std::vector<std::string>{"-1"}, std::vector<std::string>{"-1", "--mode=3"},
          std::vector<std::string>{"-1", "--pixpal=2", "--blockoflines=2"},
          std::vector<std::string>{"-1", "--pixpal=3", "--dither=0"},
          std::vector<std::string>{"-1", "--pixpal=3", "--blockoflines=3"}}) {
        Encoding e(options, 12);
        const RunContext ctx{e.settings, e.layout, e.picture};
        const std::vector<int> centres = block_centre_lines(e.settings);
        RunResults fresh = e.empty_results();
        std::vector<BlockSummary> fresh_summaries;
        for (int centre : centres) {
            BlockSearch own;
            fresh_summaries.push_back(optimise_block(ctx, centre, own, fresh));
        }
        RunResults reused = e.empty_results();
        BlockSearch shared;
        for (std::size_t i = centres.size(); i-- > 0;) {
            const BlockSummary summary = optimise_block(ctx, centres[i], shared, reused);
            EXPECT_EQ(summary.best_total_distance, fresh_summaries[i].best_total_distance)
                << options.back() << " block " << centres[i];
            EXPECT_EQ(summary.annealing_outcome, fresh_summaries[i].annealing_outcome);
            EXPECT_EQ(summary.log.counters.improvements,
                      fresh_summaries[i].log.counters.improvements);
            EXPECT_EQ(summary.log.trace.text(), fresh_summaries[i].log.trace.text());
        }
        expect_same_results(fresh, reused, e.layout.width, e.picture.height);
    }
}

// Slot records with random colours for every line, so that the diffusion
// has something to do without a search.
RunResults random_records(const Encoding& e, unsigned seed) {
    RunResults results = e.empty_results();
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> level(0, 15);
    for (int k = 0; k < results.slot_count; ++k) {
        for (int y = 1; y <= e.picture.height; ++y) {
            for (int j = 1; j <= 6; ++j) results.stored(k, y)[j] = level(generator) * 17;
        }
    }
    return results;
}

// Every column's registers: for each register, the colours of the last
// visible optimised slot that loads it (ascending), black where none does.
TEST(RegisterGroups, HoldTheLastVisibleSlotOfEveryRegister) {
    for (int mode = 0; mode <= 3; ++mode) {
        for (int shift : {-5, 0, 4}) {
            const ScreenLayout layout = build_screen_layout(format::kScreenModes[mode], shift);
            Encoding e({"--mode=" + std::to_string(mode)}, 3);
            const RunResults results = random_records(e, 7);
            const RegisterGroups groups = register_groups(layout);
            std::vector<RegisterPlanes> planes;
            for (int y = 1; y <= 3; ++y) {
                fill_group_registers(groups, results, y, planes);
                for (int x = 0; x < layout.width; ++x) {
                    Registers expected{};
                    for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot();
                         ++k) {
                        if (layout.visible(x + 1, k) != 1) continue;
                        for (int j = 0; j < 6; ++j) {
                            expected[layout.slot_register[k]][j] = results.stored(k, y)[j + 1];
                        }
                    }
                    const int g = groups.group_of_column[x];
                    ASSERT_EQ(planes[g].channel, register_planes(expected).channel)
                        << mode << " " << shift << " " << x;
                }
            }
            EXPECT_LT(groups.slots.size(), 100u) << "columns are grouped";
        }
    }
}

// Diffusing a few lines at a time gives the picture of diffusing all at once.
TEST(LineDiffusion, LineByLineEqualsTheWholePicture) {
    struct Case {
        std::vector<std::string> options;
        int has_companion;
    };
    const Case cases[] = {{{"--ed=1"}, 0}, {{"--ed=2"}, 1}, {{"--ed=3", "--pixpal=3"}, 0}};
    for (const Case& c : cases) {
        Encoding e(c.options, 30);
        e.picture.has_companion = c.has_companion;
        const RunResults results = random_records(e, 11);
        LineDiffusion at_once(e.settings, e.layout, e.picture, results);
        const Grid<DiffusedPixel>& whole = at_once.pixels();
        LineDiffusion lines(e.settings, e.layout, e.picture, results);
        for (int line : {0, 1, 4, 4, 9, 29}) lines.diffuse_through(line);
        const Grid<DiffusedPixel>& stepped = lines.pixels();
        for (int y = 1; y <= 30; ++y) {
            for (int x = 0; x < e.layout.width; ++x) {
                const DiffusedPixel& a = whole.at(x, y);
                const DiffusedPixel& b = stepped.at(x, y);
                ASSERT_EQ(a.register_index, b.register_index) << x << "," << y;
                ASSERT_EQ(a.first, b.first);
                ASSERT_EQ(a.second, b.second);
            }
        }
    }
}

// The block loop reports lines in order, ends with the last line, and the
// records of every reported line no longer change.
TEST(BlockLoop, ReportedLinesAreFinalAndInOrder) {
    for (const char* lines : {"--blockoflines=1", "--blockoflines=3", "--blockoflines=6"}) {
        for (unsigned threads : {1u, 2u, 3u}) {
            Encoding e({"-1", lines}, 17);
            e.settings.threads = threads;
            RunResults results = e.empty_results();
            const RunContext ctx{e.settings, e.layout, e.picture};
            std::vector<std::vector<SlotColours>> seen(e.picture.height + 1);
            int last = 0;
            run_block_loop(ctx, results, {}, [&](int line) {
                EXPECT_GE(line, last) << lines << " " << threads;
                for (int y = last + 1; y <= line; ++y) {
                    for (int k = 0; k < results.slot_count; ++k) {
                        seen[y].push_back(results.stored(k, y));
                    }
                }
                last = line;
            });
            EXPECT_EQ(last, e.picture.height) << lines << " " << threads;
            for (int y = 1; y <= e.picture.height; ++y) {
                ASSERT_EQ(seen[y].size(), static_cast<std::size_t>(results.slot_count));
                for (int k = 0; k < results.slot_count; ++k) {
                    ASSERT_EQ(seen[y][k], results.stored(k, y)) << lines << " line " << y;
                }
            }
        }
    }
}

// A block that throws (out of memory, say) stops the loop: the exception
// comes back to the caller once every worker has ended, instead of ending
// the process, and the blocks not yet taken are never started. The blocks
// taken after the throw take 20 ms each, so that a loop that went on would
// start them all long before it could end.
TEST(BlockLoop, AFailingBlockComesBackToTheCaller) {
    for (unsigned threads : {1u, 2u, 5u}) {
        Encoding e({"-0"}, 40);
        e.settings.threads = threads;
        RunResults results = e.empty_results();
        const RunContext ctx{e.settings, e.layout, e.picture};
        const std::vector<int> centres = block_centre_lines(e.settings);
        const int blocks = static_cast<int>(centres.size());
        const auto failing_block = std::find(centres.begin(), centres.end(), 7) - centres.begin();
        std::atomic<int> started{0};
        std::atomic<bool> thrown{false};
        const BlockJob failing = [&](const RunContext& c, int centre, BlockSearch& search,
                                     RunResults& r) {
            ++started;
            if (centre == 7) {
                thrown = true;
                throw std::runtime_error("block 7 failed");
            }
            if (thrown) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return optimise_block_job(c, centre, search, r);
        };
        try {
            run_block_loop(ctx, results, {}, {}, failing);
            ADD_FAILURE() << "no exception, " << threads << " threads";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "block 7 failed");
        }
        EXPECT_LT(started.load(), blocks) << threads << " threads";
        if (threads == 1) {
            EXPECT_EQ(started.load(), failing_block + 1) << "one thread stops at the failing block";
        }
    }
}

TEST(BlockLoop, AFailureWhileMergingComesBackAfterTheWorkersEnd) {
    Encoding e({"-0"}, 40);
    e.settings.threads = 3;
    RunResults results = e.empty_results();
    const RunContext ctx{e.settings, e.layout, e.picture};
    const auto failing_merge = [](int line) {
        if (line >= 10) throw std::runtime_error("diffusion failed");
    };
    EXPECT_THROW(run_block_loop(ctx, results, {}, failing_merge), std::runtime_error);
}

}  // namespace
