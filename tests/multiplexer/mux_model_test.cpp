// The zorpamux window's model, without any window: a fake host answers the
// choosers and records what the model shows.
#include "mux_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using zorpamux::BarState;
using zorpamux::Chooser;
using zorpamux::Field;
using zorpamux::MessageKind;
using zorpamux::MuxModel;

struct Shown {
    MessageKind kind;
    std::string title;
    std::string text;
};

class FakeHost : public zorpamux::WindowHost {
  public:
    // Answers per chooser, in order; nullopt cancels.
    std::deque<std::optional<std::string>> pictures, sounds, containers;
    std::u16string start = u"0", offset = u"0", last = u"0";
    std::vector<Chooser> asked;
    std::vector<Shown> messages;
    std::vector<int> quits;
    std::vector<BarState> bars;
    std::string picture_label, sound_label;
    int busy = 0;

    std::optional<std::string> choose_file(Chooser which, const std::string&) override {
        asked.push_back(which);
        auto& queue = which == Chooser::Picture ? pictures
                      : which == Chooser::Sound ? sounds
                                                : containers;
        if (queue.empty()) return std::nullopt;
        std::optional<std::string> answer = queue.front();
        queue.pop_front();
        return answer;
    }
    void show_message(MessageKind kind, const std::string& title,
                      const std::string& text) override {
        messages.push_back({kind, title, text});
    }
    void quit(int status) override { quits.push_back(status); }
    std::u16string field_text(Field field) override {
        return field == Field::Start ? start : field == Field::Offset ? offset : last;
    }
    void show_name(Chooser which, const std::string& name) override {
        (which == Chooser::Sound ? sound_label : picture_label) = name;
    }
    void set_busy(bool on) override { busy += on ? 1 : -1; }
    void show_progress(const BarState& bar, bool) override { bars.push_back(bar); }
};

zorpa::ContainerResult succeed(const zorpa::ContainerRequest&, const zorpa::Progress&) {
    zorpa::ContainerResult result;
    result.ok = true;
    return result;
}

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TEST(MuxModelFields, ReadLikeAtoiOnUtf16Text) {
    const struct {
        std::u16string text;
        int value;
    } cases[] = {
        {u"", 0},
        {u"0012", 12},
        {u" \t+7x", 7},
        {u"-3", -3},
        {u"2147483648", INT_MAX},
        {u"-2147483649", INT_MIN},
        // Digits of other scripts are not decimal digits here.
        {u"\u0663\u0664", 0},
        {u"1\uff12", 1},
        // Only 63 characters are read.
        {std::u16string(62, u'0') + u"79", 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zorpamux::field_number(c.text), c.value)
            << std::string(c.text.begin(), c.text.end());
    }
}

TEST(MuxModelFields, TakeAsciiDigitsOnly) {
    const struct {
        std::u16string text;
        bool acceptable;
        std::u16string digits;
    } cases[] = {
        {u"", true, u""},
        {u"0123456789", true, u"0123456789"},
        {u"4a-2 b+9.", false, u"429"},
        {u"\u0663\uff12", false, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zorpamux::field_text_acceptable(c.text), c.acceptable);
        EXPECT_EQ(zorpamux::digits_only(c.text), c.digits);
    }
}

TEST(MuxModelChoosers, FilterTextsShowTheirPatterns) {
    for (const Chooser which : {Chooser::Picture, Chooser::Sound, Chooser::Container}) {
        const zorpamux::ChooserSpec& spec = zorpamux::chooser_spec(which);
        ASSERT_FALSE(spec.filters.empty());
        for (const zorpamux::NameFilter& filter : spec.filters) {
            const std::string text = filter.text;
            EXPECT_EQ(text.substr(text.size() - std::string(filter.pattern).size() - 2),
                      "(" + std::string(filter.pattern) + ")");
        }
        EXPECT_EQ(spec.save, which == Chooser::Container);
    }
    EXPECT_EQ(std::string(zorpamux::chooser_spec(Chooser::Container).default_suffix), "ZRP");
}

TEST(MuxModelCreate, AsksForThePictureFirst) {
    FakeHost host;
    MuxModel model(
        host,
        [](const zorpa::ContainerRequest&, const zorpa::Progress&) {
            ADD_FAILURE() << "the writer was called";
            return zorpa::ContainerResult{};
        },
        "/start");
    model.create_clicked();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Information);
    EXPECT_NE(host.messages[0].text.find("Select BVK"), std::string::npos);
    EXPECT_TRUE(host.asked.empty());

    // A cancelled container chooser writes nothing either.
    host.pictures = {"/films/ANIM00000.BVK"};
    host.containers = {std::nullopt};
    model.select_picture_clicked();
    model.create_clicked();
    EXPECT_EQ(host.asked, (std::vector<Chooser>{Chooser::Picture, Chooser::Container}));
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.busy, 0);
}

TEST(MuxModelCreate, RequestFromNamesAndFields) {
    FakeHost host;
    host.pictures = {"/f/d\xc3\xa9mo/ANIM00003.BVK", std::nullopt};
    host.sounds = {"/f/\xe5\x86\x99\xe7\x9c\x9f.WAV"};
    host.containers = {"/f/out.ZRP"};
    host.start = u"3";
    host.offset = u"12";
    host.last = u"-1";  // wraps, as the writer's unsigned counting would
    zorpa::ContainerRequest seen;
    MuxModel model(
        host,
        [&](const zorpa::ContainerRequest& request, const zorpa::Progress&) {
            seen = request;
            return succeed(request, {});
        },
        "/start");
    model.select_picture_clicked();
    model.select_picture_clicked();  // cancelled: the first choice stays
    model.select_sound_clicked();
    model.create_clicked();
    EXPECT_EQ(seen.picture_name, "/f/d\xc3\xa9mo/ANIM00003.BVK");
    EXPECT_EQ(host.picture_label, seen.picture_name);
    EXPECT_EQ(seen.sound_name, "/f/\xe5\x86\x99\xe7\x9c\x9f.WAV");
    EXPECT_EQ(host.sound_label, seen.sound_name);
    EXPECT_EQ(seen.container_name, "/f/out.ZRP");
    EXPECT_EQ(seen.start_frame, 3u);
    EXPECT_EQ(seen.sound_offset, 12u);
    EXPECT_EQ(seen.last_frame, 0xFFFFFFFFu);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.busy, 0);
}

TEST(MuxModelCreate, FailuresBecomeErrorMessages) {
    const struct {
        const char* name;
        std::function<zorpa::ContainerResult()> outcome;
        std::string shown;
    } cases[] = {
        {"message",
         [] {
             zorpa::ContainerResult result;
             result.message = "cannot open sound file";
             return result;
         },
         "cannot open sound file"},
        {"no message", [] { return zorpa::ContainerResult{}; }, zorpamux::kWriteFailed},
        {"exception",
         []() -> zorpa::ContainerResult { throw std::runtime_error("out of \xc3\xa9nergie"); },
         "out of \xc3\xa9nergie"},
    };
    for (const auto& c : cases) {
        FakeHost host;
        host.pictures = {"/p/ANIM00000.BVK"};
        host.containers = {"/p/out.ZRP"};
        MuxModel model(
            host,
            [&](const zorpa::ContainerRequest&, const zorpa::Progress&) { return c.outcome(); },
            "/start");
        model.select_picture_clicked();
        model.create_clicked();
        ASSERT_EQ(host.messages.size(), 1u) << c.name;
        EXPECT_EQ(host.messages[0].kind, MessageKind::Error) << c.name;
        EXPECT_EQ(host.messages[0].title, "Error") << c.name;
        EXPECT_EQ(host.messages[0].text, c.shown) << c.name;
        EXPECT_FALSE(model.writing()) << c.name;
        EXPECT_EQ(host.busy, 0) << c.name;
    }
}

TEST(MuxModelCreate, QuitWhileWritingWaitsForTheWriter) {
    FakeHost host;
    host.pictures = {"/p/ANIM00000.BVK"};
    host.containers = {"/p/out.ZRP"};
    MuxModel* self = nullptr;
    std::size_t quits_seen_by_writer = 99;
    MuxModel model(
        host,
        [&](const zorpa::ContainerRequest& request, const zorpa::Progress&) {
            self->quit_clicked();
            self->create_clicked();  // ignored while writing
            quits_seen_by_writer = host.quits.size();
            return succeed(request, {});
        },
        "/start");
    self = &model;
    model.select_picture_clicked();
    model.create_clicked();
    EXPECT_EQ(quits_seen_by_writer, 0u);
    EXPECT_EQ(host.quits, std::vector<int>{0});
    EXPECT_EQ(host.asked.size(), 2u);
}

// The bar as the writer drives it, in the steps of a table: a call, its
// argument(s), and the bar shown after it.
TEST(MuxModelProgress, FollowsTheWriter) {
    enum Call { Range, Position, Step };
    const struct {
        Call call;
        std::uint32_t a, b;
        BarState shown;
    } steps[] = {
        {Range, 0, 3, {0, 3, 0}},
        {Position, 0, 0, {0, 3, 0}},
        {Step, 0, 0, {0, 3, 1}},
        {Step, 0, 0, {0, 3, 2}},
        {Step, 0, 0, {0, 3, 3}},
        {Step, 0, 0, {0, 3, 0}},  // past the top: from the bottom
        {Position, 9, 0, {0, 3, 3}},
        {Range, 5, 5, {0, 1, 0}},  // empty range: empty bar
        {Range, 2, 0xFFFFFFFFu, {2, INT_MAX, 5}},
    };
    FakeHost host;
    host.pictures = {"/p/ANIM00000.BVK"};
    host.containers = {"/p/out.ZRP"};
    MuxModel model(
        host,
        [&](const zorpa::ContainerRequest& request, const zorpa::Progress& p) {
            for (const auto& s : steps) {
                if (s.call == Range) p.set_range(s.a, s.b);
                if (s.call == Position) p.set_position(s.a);
                if (s.call == Step) p.step();
            }
            return succeed(request, p);
        },
        "/start");
    const BarState fresh = model.bar();
    EXPECT_EQ(fresh.high, 80);
    model.select_picture_clicked();
    model.create_clicked();
    ASSERT_EQ(host.bars.size(), std::size(steps));
    for (std::size_t i = 0; i < host.bars.size(); ++i) {
        EXPECT_EQ(host.bars[i].low, steps[i].shown.low) << "step " << i;
        EXPECT_EQ(host.bars[i].high, steps[i].shown.high) << "step " << i;
        EXPECT_EQ(host.bars[i].position, steps[i].shown.position) << "step " << i;
    }
}

// Names outside ASCII reach the writer and come back in its message as the
// same UTF-8, on every system.
TEST(MuxModelCreate, NonAsciiNamesRoundTripThroughTheWriter) {
    zorpa_test::TempDir dir;
    const std::filesystem::path folder =
        dir.path() / std::filesystem::path(u8"d\u00e9j\u00e0-\u5199\u771f");
    std::filesystem::create_directories(folder);
    for (std::uint32_t frame = 0; frame <= 1; ++frame) {
        zorpa_test::write_file(folder / zorpa_test::frame_name("ANIM", frame, ".BVK"),
                               zorpa_test::picture_bytes(frame));
    }
    FakeHost host;
    host.pictures = {utf8(folder / "ANIM00000.BVK")};
    host.containers = {utf8(folder / "out.ZRP")};
    host.last = u"2";  // frame 2 is missing
    MuxModel model(host, zorpa::write_container, utf8(dir.path()));
    model.select_picture_clicked();
    model.create_clicked();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find(utf8(folder / "ANIM00002")), std::string::npos)
        << host.messages[0].text;
}

}  // namespace
