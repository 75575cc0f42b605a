#include "mux_model.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <iterator>
#include <utility>

namespace zorpamux {

namespace {

bool is_blank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// The fields convert like atoi; the writer counts frames in unsigned 32-bit
// arithmetic, so a negative value wraps as it would there.
std::uint32_t field_value(std::u16string_view text) {
    return static_cast<std::uint32_t>(field_number(text));
}

}  // namespace

const ChooserSpec& chooser_spec(Chooser which) {
    // "All Files (*.*)" matches names with a dot, as the pattern says.
    static const ChooserSpec picture{
        "Select BVK", false, {{"BVK files (*.BVK)", "*.BVK"}, {"All Files (*.*)", "*.*"}}, ""};
    static const ChooserSpec sound{
        "Select Audio", false, {{"WAV files (*.WAV)", "*.WAV"}, {"All Files (*.*)", "*.*"}}, "WAV"};
    static const ChooserSpec container{"Create ZRP", true, {{"ZRP files (*.ZRP)", "*.ZRP"}}, "ZRP"};
    switch (which) {
        case Chooser::Picture:
            return picture;
        case Chooser::Sound:
            return sound;
        case Chooser::Container:
            break;
    }
    return container;
}

int field_number(std::u16string_view text) {
    const std::u16string_view head = text.substr(0, kFieldTextLimit);
    std::size_t i = 0;
    const std::size_t n = head.size();
    while (i < n && is_blank(head[i])) ++i;
    bool negative = false;
    if (i < n && (head[i] == u'+' || head[i] == u'-')) {
        negative = head[i] == u'-';
        ++i;
    }
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; i < n && is_digit(head[i]); ++i) {
        value = std::min(limit, value * 10 + (head[i] - u'0'));
    }
    return static_cast<int>(negative ? -value : value);
}

bool field_text_acceptable(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), is_digit);
}

std::u16string digits_only(std::u16string_view text) {
    std::u16string digits;
    std::copy_if(text.begin(), text.end(), std::back_inserter(digits), is_digit);
    return digits;
}

zorpa::ContainerRequest make_request(const std::string& picture_name, const std::string& sound_name,
                                     std::u16string_view start_text,
                                     std::u16string_view offset_text, std::u16string_view last_text,
                                     const std::string& container_name) {
    zorpa::ContainerRequest request;
    request.picture_name = picture_name;
    request.sound_name = sound_name;
    request.sound_offset = field_value(offset_text);
    request.start_frame = field_value(start_text);
    request.last_frame = field_value(last_text);
    request.container_name = container_name;
    return request;
}

MuxModel::MuxModel(WindowHost& host, ContainerWriter writer, std::string start_directory)
    : host_(host), writer_(std::move(writer)), start_directory_(std::move(start_directory)) {}

BarState MuxModel::bar() const {
    BarState state;
    if (progress_high_ > progress_low_) {
        const long long high = std::min<long long>(progress_high_, INT_MAX);
        const long long low = std::min<long long>(progress_low_, high);
        state.low = static_cast<int>(low);
        state.high = static_cast<int>(high);
        state.position = static_cast<int>(std::clamp(progress_position_, low, high));
    } else {
        state.low = 0;
        state.high = 1;
        state.position = 0;
    }
    return state;
}

void MuxModel::quit_clicked() {
    if (writing_) {
        // The writer runs to its end first; quit as soon as it returns.
        quit_pending_ = true;
        return;
    }
    host_.quit(0);
}

void MuxModel::select_picture_clicked() {
    const std::optional<std::string> chosen = host_.choose_file(Chooser::Picture, start_directory_);
    if (!chosen) return;
    picture_name_ = *chosen;
    host_.show_name(Chooser::Picture, picture_name_);
}

void MuxModel::select_sound_clicked() {
    const std::optional<std::string> chosen = host_.choose_file(Chooser::Sound, start_directory_);
    if (!chosen) return;
    host_.set_busy(true);
    sound_name_ = *chosen;
    host_.show_name(Chooser::Sound, sound_name_);
    host_.set_busy(false);
}

void MuxModel::create_clicked() {
    if (writing_) return;
    if (picture_name_.empty()) {
        host_.show_message(MessageKind::Information, kWindowTitle, kChoosePictureFirst);
        return;
    }
    const std::optional<std::string> chosen =
        host_.choose_file(Chooser::Container, start_directory_);
    if (!chosen) return;

    host_.set_busy(true);
    const zorpa::ContainerRequest request =
        make_request(picture_name_, sound_name_, host_.field_text(Field::Start),
                     host_.field_text(Field::Offset), host_.field_text(Field::Last), *chosen);
    const zorpa::ContainerResult result = run_writer(request);
    host_.set_busy(false);

    if (!result.ok) {
        host_.show_message(MessageKind::Error, kErrorTitle,
                           result.message.empty() ? std::string(kWriteFailed) : result.message);
    }
    if (quit_pending_) {
        quit_pending_ = false;
        host_.quit(0);
    }
}

zorpa::ContainerResult MuxModel::run_writer(const zorpa::ContainerRequest& request) {
    zorpa::Progress progress;
    progress.set_range = [this](std::uint32_t low, std::uint32_t high) {
        progress_set_range(low, high);
    };
    progress.set_position = [this](std::uint32_t position) { progress_set_position(position); };
    progress.step = [this] { progress_step(); };

    writing_ = true;
    zorpa::ContainerResult result;
    try {
        result = writer_(request, progress);
    } catch (const std::exception& error) {
        result.ok = false;
        result.message = error.what();
    }
    writing_ = false;
    return result;
}

void MuxModel::progress_set_range(std::uint32_t low, std::uint32_t high) {
    progress_low_ = low;
    progress_high_ = high;
    progress_position_ =
        std::clamp(progress_position_, progress_low_, std::max(progress_low_, progress_high_));
    show_progress();
}

void MuxModel::progress_set_position(std::uint32_t position) {
    progress_position_ = std::clamp(static_cast<long long>(position), progress_low_,
                                    std::max(progress_low_, progress_high_));
    show_progress();
}

void MuxModel::progress_step() {
    ++progress_position_;
    if (progress_position_ > progress_high_) progress_position_ = progress_low_;
    show_progress();
}

void MuxModel::show_progress() {
    host_.show_progress(bar(), writing_);
}

}  // namespace zorpamux
