// docs/formats.md checked against the programs: its screen-mode, schedule and
// block tables against what the encoder builds, its worked example
// regenerated with the encoder, compared byte for byte with the page's hex
// dumps and decoded by the rules the page states (a decoder of its own here,
// sharing nothing with the encoder), and its container layout against a
// container the writer makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "format/block_geometry.h"
#include "container_writer.h"
#include "encoder/frontend/options.h"
#include "encoder/state/geometry.h"
#include "encoder/state/screen_layout.h"
#include "format/screen_modes.h"
#include "tests/common/files.h"
#include "tests/common/fixtures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Reading the page -------------------------------------------------------

std::vector<std::string> page_lines() {
    std::ifstream in(FORMATS_DOC_PATH);
    if (!in) throw std::runtime_error("cannot read " + std::string(FORMATS_DOC_PATH));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t`");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t`");
    return text.substr(first, last - first + 1);
}

// A markdown table and the heading it stands under.
struct Table {
    std::string heading;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};

std::vector<std::string> cells(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line.substr(1));
    for (std::string cell; std::getline(in, cell, '|');) out.push_back(trim(cell));
    if (!out.empty() && out.back().empty() && line.back() == '|') out.pop_back();
    return out;
}

std::vector<Table> page_tables(const std::vector<std::string>& lines) {
    std::vector<Table> tables;
    std::string heading;
    bool in_code = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("```", 0) == 0) in_code = !in_code;
        if (in_code) continue;
        if (line.rfind("#", 0) == 0) heading = line;
        if (line.rfind("|", 0) != 0) continue;
        Table t;
        t.heading = heading;
        t.header = cells(line);
        i += 2;  // the header row and the |---| row
        for (; i < lines.size() && lines[i].rfind("|", 0) == 0; ++i)
            t.rows.push_back(cells(lines[i]));
        tables.push_back(t);
    }
    return tables;
}

// The table whose first header cell is `first` under a heading starting with
// `heading` (empty: any heading).
const Table& find_table(const std::vector<Table>& tables, const std::string& first,
                        const std::string& heading = "") {
    for (const Table& t : tables) {
        if (!t.header.empty() && t.header[0] == first && t.heading.rfind(heading, 0) == 0) return t;
    }
    throw std::runtime_error("no table '" + first + "' under '" + heading + "'");
}

// One line of a ```hexdump block: its offset and bytes.
struct DumpLine {
    std::size_t offset = 0;
    Bytes bytes;
};

std::vector<DumpLine> page_dumps(const std::vector<std::string>& lines) {
    std::vector<DumpLine> dumps;
    bool in_dump = false;
    for (const std::string& line : lines) {
        if (line.rfind("```", 0) == 0) {
            in_dump = line == "```hexdump";
            continue;
        }
        if (!in_dump || line.empty()) continue;
        std::stringstream in(line);
        std::string token;
        in >> token;
        DumpLine d;
        d.offset = std::stoul(token, nullptr, 16);
        while (in >> token) {
            if (token.size() != 2 || !std::isxdigit(static_cast<unsigned char>(token[0])) ||
                !std::isxdigit(static_cast<unsigned char>(token[1])))
                throw std::runtime_error("bad byte '" + token + "' in: " + line);
            d.bytes.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
        }
        dumps.push_back(d);
    }
    return dumps;
}

int leading_int(const std::string& text) {
    std::size_t used = 0;
    const int v = std::stoi(text, &used);
    if (used == 0) throw std::runtime_error("no number in '" + text + "'");
    return v;
}

// "a..b" -> {a, b}.
std::pair<int, int> range_of(const std::string& text) {
    const auto dots = text.find("..");
    if (dots == std::string::npos) throw std::runtime_error("no range in '" + text + "'");
    return {leading_int(text.substr(0, dots)), leading_int(text.substr(dots + 2))};
}

// Space-separated numbers, "1 7 14" -> {1, 7, 14}.
std::vector<int> numbers(const std::string& text) {
    std::vector<int> out;
    std::stringstream in(text);
    for (int v; in >> v;) out.push_back(v);
    return out;
}

// ---- The schedule tables -----------------------------------------------------

struct Variables {
    int i = 0;
    int g = 0;
    int s = 0;
    int W = 0;
};

// Evaluates the page's column formulas: a sum of terms such as 30, 4i, i,
// 12g, s and W.
int evaluate(const std::string& formula, const Variables& v) {
    std::string text;
    for (char c : formula)
        if (c != ' ') text += c;
    int total = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        int sign = 1;
        if (text[at] == '+' || text[at] == '-') {
            sign = text[at] == '-' ? -1 : 1;
            ++at;
        }
        std::size_t end = text.find_first_of("+-", at);
        if (end == std::string::npos) end = text.size();
        const std::string term = text.substr(at, end - at);
        at = end;
        if (term.empty()) throw std::runtime_error("empty term in '" + formula + "'");
        const char last = term.back();
        const std::string digits = term.substr(0, term.size() - 1);
        int value = 0;
        if (last == 'i' || last == 'g') {
            const int coefficient = digits.empty() ? 1 : std::stoi(digits);
            value = coefficient * (last == 'i' ? v.i : v.g);
        } else if (term == "s") {
            value = v.s;
        } else if (term == "W") {
            value = v.W;
        } else if (std::all_of(term.begin(), term.end(),
                               [](char c) { return c >= '0' && c <= '9'; })) {
            value = std::stoi(term);
        } else {
            throw std::runtime_error("unknown term '" + term + "' in '" + formula + "'");
        }
        total += sign * value;
    }
    return total;
}

// A slot as the page's schedule gives it: register and visible columns.
struct ScheduledSlot {
    int reg = -1;
    int first = 0;
    int last = -1;
};

// The slots of one schedule table for shift s on a line of W columns,
// indexed by slot (unlisted slots keep reg -1).
std::vector<ScheduledSlot> schedule_from_table(const Table& t, int s, int W, int slot_count) {
    std::vector<ScheduledSlot> slots(static_cast<std::size_t>(slot_count));
    for (const auto& row : t.rows) {
        if (row.size() != 5) throw std::runtime_error("schedule row of " + t.heading);
        const std::string range = row[4].substr(row[4].find('=') + 1);
        const auto [low, high] = range_of(range);
        for (int i = low; i <= high; ++i) {
            const Variables v{i, i >= 8 ? 1 : 0, s, W};
            const int k = evaluate(row[0], v);
            if (k < 0 || k >= slot_count) throw std::runtime_error("slot out of range: " + row[0]);
            ScheduledSlot& slot = slots[static_cast<std::size_t>(k)];
            if (slot.reg >= 0) throw std::runtime_error("slot listed twice: " + std::to_string(k));
            slot.reg = evaluate(row[1], v);
            slot.first = std::max(1, evaluate(row[2], v));
            slot.last = std::min(W, evaluate(row[3], v));
        }
    }
    return slots;
}

class FormatsPage : public testing::Test {
  protected:
    std::vector<std::string> lines = page_lines();
    std::vector<Table> tables = page_tables(lines);
};

TEST_F(FormatsPage, ModeTableMatchesTheEncodersModes) {
    const Table& t = find_table(tables, "--mode=");
    ASSERT_EQ(t.rows.size(), format::kScreenModes.size());
    for (const auto& row : t.rows) {
        const int m = leading_int(row[0]);
        SCOPED_TRACE("mode " + std::to_string(m));
        ASSERT_GE(m, 0);
        ASSERT_LT(m, format::kScreenModeCount);
        const brenvik::ScreenMode& mode = format::kScreenModes[static_cast<std::size_t>(m)];
        EXPECT_EQ(leading_int(row[1]), mode.width);
        EXPECT_EQ(leading_int(row[2]), mode.height);
        EXPECT_EQ(leading_int(row[3]), mode.palette_words - mode.excluded_words);
        EXPECT_EQ(leading_int(row[4]), 2 * (mode.palette_words - mode.excluded_words));
    }
}

// Every optimised slot of every mode and shift: the register and the columns
// the page gives are those of the encoder's layout, and no slot is missing.
TEST_F(FormatsPage, ScheduleTablesMatchTheEncodersLayout) {
    struct Case {
        int mode_row;
        const char* heading;
    };
    for (const Case c : {Case{0, "### Mode 0"}, Case{4, "### Mode 0"}, Case{1, "### Mode 1"},
                         Case{2, "### Mode 2"}, Case{3, "### Mode 3"}}) {
        const Table& t = find_table(tables, "slot", c.heading);
        const brenvik::ScreenMode& mode =
            format::kScreenModes[static_cast<std::size_t>(c.mode_row)];
        const bool shifted = mode.layout_id != 0;
        for (int option = 0; option <= 9; ++option) {
            const int s = option - 5;
            SCOPED_TRACE("mode row " + std::to_string(c.mode_row) + ", s " + std::to_string(s));
            const brenvik::ScreenLayout layout = brenvik::build_screen_layout(mode, s);
            const int W = layout.width;
            const auto doc = schedule_from_table(t, shifted ? s : 0, W, layout.slot_count());
            for (int k = layout.first_optimised_slot; k <= layout.last_optimised_slot(); ++k) {
                const ScheduledSlot& slot = doc[static_cast<std::size_t>(k)];
                ASSERT_GE(slot.reg, 0) << "slot " << k << " missing from the page";
                EXPECT_EQ(slot.reg, layout.slot_register[k]) << "register of slot " << k;
                int wrong = 0;
                for (int x = 1; x <= W; ++x) {
                    const bool page = x >= slot.first && x <= slot.last;
                    if (page != (layout.visible(x, k) == 1)) ++wrong;
                }
                EXPECT_EQ(wrong, 0) << "slot " << k << ": columns " << slot.first << ".."
                                    << slot.last << " on the page";
            }
            // "Runs of one register never overlap."
            for (std::size_t a = 0; a < doc.size(); ++a) {
                for (std::size_t b = a + 1; b < doc.size(); ++b) {
                    if (doc[a].reg < 0 || doc[a].reg != doc[b].reg) continue;
                    EXPECT_TRUE(doc[a].last < doc[b].first || doc[b].last < doc[a].first)
                        << "slots " << a << " and " << b << " overlap";
                }
            }
            for (int k = 0; k < layout.slot_count(); ++k) {
                if (k >= layout.first_optimised_slot && k <= layout.last_optimised_slot()) continue;
                EXPECT_LT(doc[static_cast<std::size_t>(k)].reg, 0)
                    << "slot " << k << " is not an optimised slot";
            }
        }
    }
}

// The block table: record counts, and line y served by record (y - 1) / N.
TEST_F(FormatsPage, BlockTableMatchesTheBlockLoop) {
    const Table& t = find_table(tables, "--blockoflines=");
    ASSERT_EQ(t.rows.size(), 6u);
    for (const auto& row : t.rows) {
        const int n = leading_int(row[0]);
        SCOPED_TRACE("blockoflines " + std::to_string(n));
        EXPECT_EQ(leading_int(row[1]), n);
        for (const auto& [height, column] : {std::pair{200, 2}, std::pair{229, 3}}) {
            brenvik::RunSettings settings;
            settings.block_geometry = format::block_geometry(n);
            settings.picture_height = height;
            const std::vector<int> centres = brenvik::block_centre_lines(settings);
            EXPECT_EQ(static_cast<int>(centres.size()), leading_int(row[column]));
            for (std::size_t b = 0; b < centres.size(); ++b) {
                EXPECT_EQ(centres[b] + settings.block_geometry.first_row_offset,
                          static_cast<int>(b) * n + 1);
                EXPECT_EQ(centres[b] + settings.block_geometry.last_row_offset,
                          static_cast<int>(b) * n + n);
            }
        }
    }
}

// ---- The worked example ------------------------------------------------------

// A decoder written from the page alone: bitplanes, schedule, palette words.
class PageDecoder {
  public:
    PageDecoder(const Bytes& file, std::vector<ScheduledSlot> schedule, int width, int words,
                std::size_t palettes_at)
        : file_(file),
          schedule_(std::move(schedule)),
          width_(width),
          words_(words),
          palettes_at_(palettes_at) {}

    int register_at(int x, int y) const {
        const std::size_t group = static_cast<std::size_t>(y - 1) * width_ / 2 +
                                  static_cast<std::size_t>((x - 1) / 16) * 8;
        const int bit = 15 - (x - 1) % 16;
        int reg = 0;
        for (int plane = 0; plane < 4; ++plane) {
            const int word = file_.at(group + 2 * plane) << 8 | file_.at(group + 2 * plane + 1);
            reg |= ((word >> bit) & 1) << plane;
        }
        return reg;
    }

    // The slot that register `reg` shows at column x, or -1.
    int slot_at(int x, int reg) const {
        int found = -1;
        for (std::size_t k = 0; k < schedule_.size(); ++k) {
            const ScheduledSlot& s = schedule_[k];
            if (s.reg == reg && x >= s.first && x <= s.last) {
                if (found >= 0) throw std::runtime_error("two slots of one register at a column");
                found = static_cast<int>(k);
            }
        }
        return found;
    }

    int word(int record, int index) const {
        const std::size_t at =
            palettes_at_ + static_cast<std::size_t>(record) * 2 * words_ + 2 * index;
        return file_.at(at) << 8 | file_.at(at + 1);
    }

    static int level(int nibble) { return ((nibble & 7) << 1) | (nibble >> 3); }
    static std::vector<int> levels(int word) {
        return {level((word >> 8) & 15), level((word >> 4) & 15), level(word & 15)};
    }

  private:
    const Bytes& file_;
    std::vector<ScheduledSlot> schedule_;
    int width_;
    int words_;
    std::size_t palettes_at_;
};

TEST_F(FormatsPage, WorkedExampleIsWhatTheEncoderWritesAndDecodesAsStated) {
    constexpr int W = 320;
    constexpr int H = 200;
    constexpr int P = 54;
    constexpr int kStep = 17;
    constexpr std::size_t kBitmap = W * H / 2;

    // The picture the page describes.
    const Table& bands = find_table(tables, "columns", "## Worked example");
    ASSERT_EQ(bands.rows.size(), 4u);
    std::vector<testsupport::Rgb> colour_of(W + 1, testsupport::Rgb{0, 0, 0});
    int covered = 0;
    for (const auto& row : bands.rows) {
        const auto [a, b] = range_of(row[0]);
        for (int x = a; x <= b; ++x) {
            colour_of.at(static_cast<std::size_t>(x)) = {
                static_cast<std::uint8_t>(leading_int(row[1])),
                static_cast<std::uint8_t>(leading_int(row[2])),
                static_cast<std::uint8_t>(leading_int(row[3]))};
            ++covered;
        }
    }
    ASSERT_EQ(covered, W);

    testsupport::TempDir dir;
    testsupport::write_file(dir.file("bands.bmp"), testsupport::make_bmp(W, H, [&](int x, int) {
                                return colour_of[x + 1];
                            }));
    const testsupport::RunOutput run = testsupport::run_encoder(dir.path(), {"bands.bmp"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Bytes file = testsupport::read_file(dir.file("bands.bVK"));
    ASSERT_EQ(file.size(), kBitmap + static_cast<std::size_t>(H) * 2 * P);

    // The dumps are the file's bytes.
    const std::vector<DumpLine> dumps = page_dumps(lines);
    std::size_t dumped = 0;
    for (const DumpLine& d : dumps) {
        ASSERT_LE(d.offset + d.bytes.size(), file.size());
        EXPECT_EQ(d.bytes,
                  Bytes(file.begin() + static_cast<std::ptrdiff_t>(d.offset),
                        file.begin() + static_cast<std::ptrdiff_t>(d.offset + d.bytes.size())))
            << "dump line at offset " << std::hex << d.offset;
        dumped += d.bytes.size();
    }
    EXPECT_EQ(dumped, static_cast<std::size_t>(W / 2 + 2 * P)) << "line 1 and record 0";

    // Every line and every record alike, as the page says.
    for (int y = 2; y <= H; ++y) {
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + W / 2,
                               file.begin() + static_cast<std::ptrdiff_t>((y - 1) * W / 2)))
            << "line " << y;
    }
    for (int r = 1; r < H; ++r) {
        const auto record = file.begin() + static_cast<std::ptrdiff_t>(kBitmap + r * 2 * P);
        EXPECT_TRUE(std::equal(file.begin() + kBitmap, file.begin() + kBitmap + 2 * P, record))
            << "record " << r;
    }

    // The twin carries the same palette sets.
    const Bytes twin = testsupport::read_file(dir.file("Fbands.bVK"));
    ASSERT_EQ(twin.size(), file.size());
    EXPECT_TRUE(std::equal(file.begin() + kBitmap, file.end(), twin.begin() + kBitmap));

    // The pixels of the page's table, decoded by the page's rules.
    const PageDecoder decode(
        file, schedule_from_table(find_table(tables, "slot", "### Mode 0"), 0, W, 57), W, P,
        kBitmap);
    const Table& pixels = find_table(tables, "column", "## Worked example");
    ASSERT_GE(pixels.rows.size(), 5u);
    for (const auto& row : pixels.rows) {
        ASSERT_EQ(row.size(), 7u);
        const int x = leading_int(row[0]);
        SCOPED_TRACE("column " + std::to_string(x));
        const int reg = decode.register_at(x, 1);
        EXPECT_EQ(reg, leading_int(row[1]));
        const int slot = decode.slot_at(x, reg);
        EXPECT_EQ(slot, leading_int(row[2]));
        ASSERT_GE(slot, 2);
        EXPECT_EQ(slot - 2, leading_int(row[3]));
        const int word = decode.word(0, slot - 2);
        EXPECT_EQ(word, std::stoi(row[4], nullptr, 16));
        const std::vector<int> levels = PageDecoder::levels(word);
        EXPECT_EQ(levels, numbers(row[5]));
        const std::vector<int> colour{levels[0] * kStep, levels[1] * kStep, levels[2] * kStep};
        EXPECT_EQ(colour, numbers(row[6]));
    }

    // "Decoding all 320 columns of line 1 this way gives back the four bands."
    for (int x = 1; x <= W; ++x) {
        const int slot = decode.slot_at(x, decode.register_at(x, 1));
        ASSERT_GE(slot, 2) << "column " << x;
        const std::vector<int> levels = PageDecoder::levels(decode.word(0, slot - 2));
        const testsupport::Rgb& c = colour_of[static_cast<std::size_t>(x)];
        EXPECT_EQ(levels, (std::vector<int>{c.r / kStep, c.g / kStep, c.b / kStep}))
            << "column " << x;
        EXPECT_EQ(c.r % kStep + c.g % kStep + c.b % kStep, 0);
    }
}

// ---- The container -----------------------------------------------------------

// Two frames of distinct picture bytes and a counting sound: the header,
// the windows of the record table and the first chunk sit where the page
// says.
TEST_F(FormatsPage, ContainerLayoutIsWhatTheWriterWrites) {
    const Table& record = find_table(tables, "offset in record", "### Layout");
    ASSERT_EQ(record.rows.size(), 3u);
    struct Window {
        std::size_t at, size, from;
    };
    std::vector<Window> windows;
    for (int i = 0; i < 2; ++i) {
        const std::string& content = record.rows[i][2];
        const auto at = content.find("bytes ");
        ASSERT_NE(at, std::string::npos) << content;
        const auto [from, to] = range_of(content.substr(at + 6));
        windows.push_back({std::stoul(record.rows[i][0]), std::stoul(record.rows[i][1]),
                           static_cast<std::size_t>(from)});
        EXPECT_EQ(static_cast<std::size_t>(to + 1 - from), windows.back().size);
    }
    const std::size_t chunk_at = std::stoul(record.rows[2][0]);
    const std::size_t chunk_size = std::stoul(record.rows[2][1]);
    const std::size_t record_size = chunk_at + chunk_size;

    const Table& layout = find_table(tables, "offset", "### Layout");
    ASSERT_GE(layout.rows.size(), 5u);
    const std::size_t preroll_at = std::stoul(layout.rows[3][0]);
    const std::size_t first_record = std::stoul(layout.rows[4][0]);
    EXPECT_NE(layout.rows[0][2].find("STEAV3"), std::string::npos);

    testsupport::TempDir dir;
    for (int f = 0; f < 2; ++f) {
        Bytes picture(51200);
        for (std::size_t i = 0; i < picture.size(); ++i)
            picture[i] = static_cast<std::uint8_t>((i * 7 + i / 251 + f * 101) & 255);
        testsupport::write_file(dir.file("ANIM0000" + std::to_string(f) + ".BVK"), picture);
    }
    Bytes wav(44 + 60000);
    for (std::size_t i = 44; i < wav.size(); ++i) wav[i] = static_cast<std::uint8_t>(i * 13);
    testsupport::write_file(dir.file("sound.wav"), wav);

    zorpa::ContainerRequest request;
    request.picture_name = dir.file("ANIM00000.BVK");
    request.sound_name = dir.file("sound.wav");
    request.start_frame = 0;
    request.last_frame = 1;
    request.container_name = dir.file("out.ZRP");
    const zorpa::ContainerResult result = zorpa::write_container(request);
    ASSERT_TRUE(result.ok) << result.message;
    const Bytes zrp = testsupport::read_file(dir.file("out.ZRP"));
    ASSERT_EQ(zrp.size(), first_record + 2 * record_size);
    EXPECT_EQ(std::string(zrp.begin(), zrp.begin() + 6), "STEAV3");
    EXPECT_EQ(Bytes(zrp.begin() + 6, zrp.begin() + 10), (Bytes{0, 0, 0, 2}));
    // Pre-roll: 8192 flipped samples from byte 44 (offset 0), then zeros.
    for (std::size_t i = 0; i < 8192; ++i)
        ASSERT_EQ(zrp[preroll_at + i], static_cast<std::uint8_t>(wav[44 + i] ^ 0x80)) << i;
    EXPECT_TRUE(std::all_of(zrp.begin() + static_cast<std::ptrdiff_t>(preroll_at + 8192),
                            zrp.begin() + static_cast<std::ptrdiff_t>(first_record),
                            [](std::uint8_t b) { return b == 0; }));
    for (int f = 0; f < 2; ++f) {
        const Bytes picture =
            testsupport::read_file(dir.file("ANIM0000" + std::to_string(f) + ".BVK"));
        const std::size_t base = first_record + f * record_size;
        for (const Window& w : windows) {
            EXPECT_TRUE(std::equal(picture.begin() + static_cast<std::ptrdiff_t>(w.from),
                                   picture.begin() + static_cast<std::ptrdiff_t>(w.from + w.size),
                                   zrp.begin() + static_cast<std::ptrdiff_t>(base + w.at)))
                << "frame " << f << " window at " << w.at;
        }
    }
    // Frame 0's chunk follows the pre-roll's 8192 bytes in the sound (with
    // L = 1 no frame is among the silenced last eight).
    for (std::size_t i = 0; i < chunk_size; ++i) {
        ASSERT_EQ(zrp[first_record + chunk_at + i],
                  static_cast<std::uint8_t>(wav[44 + 8192 + i] ^ 0x80))
            << i;
    }
}

}  // namespace
