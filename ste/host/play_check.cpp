#include "ste/host/play_check.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <unordered_map>

#include "container_reader.h"
#include "format/container.h"
#include "platform_files.h"
#include "ste/host/ste_host.h"
#include "viewer/picture_file.h"

namespace ste {
namespace {

constexpr int kFrameLines = 313;
// The picture's row 21 is displayed from this line of the 313-line frame
// (the 200-line display starts on line 63).
constexpr int kWindowFirstLine = 63 + 21;
constexpr double kSamplesPerPicture =
    double(format::container::kSoundRate) / format::container::kFramesPerSecond;
constexpr double kLeastCorrelation = 0.95;
constexpr double kMostSyncMs = 20.0;

using Complex = std::complex<double>;

// In-place iterative radix-2 transform; size a power of two.
void fft(std::vector<Complex>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2 * std::numbers::pi / static_cast<double>(len) * (inverse ? 1 : -1);
        const Complex step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            Complex w(1);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const Complex u = a[i + k];
                const Complex v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

// Lag l in [lowest, highest] maximising |sum_s stream[s] * recording[s + l]|,
// and the sign of that sum.
long best_lag(const std::vector<float>& stream, const std::vector<float>& recording, long lowest,
              long highest, double& sign) {
    std::size_t n = 1;
    while (n < stream.size() + recording.size()) n <<= 1;
    std::vector<Complex> a(n), b(n);
    std::copy(stream.begin(), stream.end(), a.begin());
    std::copy(recording.begin(), recording.end(), b.begin());
    fft(a, false);
    fft(b, false);
    for (std::size_t i = 0; i < n; ++i) a[i] = std::conj(a[i]) * b[i];
    fft(a, true);
    long best = lowest;
    double best_value = -1e300;
    for (long l = lowest; l <= highest; ++l) {
        // Negative lags wrap round to the end of the circular correlation.
        const double value = a[static_cast<std::size_t>(l < 0 ? l + long(n) : l)].real();
        if (std::fabs(value) > best_value) {
            best_value = std::fabs(value);
            best = l;
            sign = value < 0 ? -1 : 1;
        }
    }
    return best;
}

bool read_bytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::string error;
    return platform::read_whole_file(path, bytes, error);
}

int fail(const std::string& message) {
    std::fprintf(stderr, "play-check: %s\n", message.c_str());
    return 1;
}

// The emulator's picture of a container frame: the viewer's rendering
// (levels x 17) through the colour table, 320 x 200 RGB.
bool expected_picture(const zorpa::ByteSource& source, std::uint32_t frame,
                      const ColourTable& table, std::vector<std::uint8_t>& rgb) {
    std::vector<unsigned char> file;
    if (!zorpa::extract_frame(source, frame, file)) return false;
    const std::vector<std::uint8_t> bytes(file.begin(), file.end());
    const brenvik::viewer::Rendering rendering = brenvik::viewer::render_picture(
        bytes, brenvik::viewer::container_frame_layout(), brenvik::viewer::RenderSettings{});
    const brenvik::viewer::Image& image = rendering.first;
    rgb.resize(image.rgb.size());
    for (std::size_t i = 0; i < image.rgb.size(); i += 3) {
        const int colour =
            (image.rgb[i] / 17) << 8 | (image.rgb[i + 1] / 17) << 4 | (image.rgb[i + 2] / 17);
        const auto& c = table.rgb[static_cast<std::size_t>(colour)];
        std::copy(c.begin(), c.end(), rgb.begin() + static_cast<long>(i));
    }
    return true;
}

}  // namespace

std::uint64_t frame_hash(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

Showing follow_pictures(const std::vector<std::vector<int>>& candidates, int pictures) {
    Showing result;
    result.pictures = pictures;
    result.first_frame.assign(static_cast<std::size_t>(pictures), -1);
    result.frames.assign(static_cast<std::size_t>(pictures), 0);
    const auto has = [&](std::size_t k, int picture) {
        const auto& c = candidates[k];
        return std::find(c.begin(), c.end(), picture) != c.end();
    };
    int current = -1;  // picture shown last
    int pending_wrong = 0;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        const auto& c = candidates[k];
        if (current < 0) {
            if (!has(k, 0)) continue;  // before the first picture
            current = 0;
        } else if (has(k, current) && !(result.frames[current] >= 2 && has(k, current + 1))) {
            // the same picture again
        } else {
            // The next picture that matches, if any.
            int next = -1;
            for (int p : c) {
                if (p > current && (next < 0 || p < next)) next = p;
            }
            if (next >= 0) {
                current = next;
            } else if (!c.empty()) {
                ++result.repeated;  // an earlier picture again
                continue;
            } else {
                ++pending_wrong;  // counted only when a picture follows
                continue;
            }
        }
        result.wrong += pending_wrong;
        pending_wrong = 0;
        if (result.first_frame[current] < 0) result.first_frame[current] = static_cast<int>(k);
        ++result.frames[current];
    }
    for (int p = 0; p < pictures; ++p) {
        const int n = result.frames[p];
        if (n == 0) {
            ++result.dropped;
        } else {
            ++result.shown;
            if (n == 1) ++result.once;
            if (n > 2) result.repeated += n - 2;
        }
    }
    return result;
}

double SoundAlignment::recording_position(double s) const {
    if (offsets.empty() || window <= 0) return s;
    s *= stretch;
    long w = static_cast<long>(std::floor(s / window));
    w = std::clamp(w, 0L, static_cast<long>(offsets.size()) - 1);
    return static_cast<double>(offsets[static_cast<std::size_t>(w)]) + (s - double(w) * window);
}

namespace {

SoundAlignment align_windows(const std::vector<float>& stream, const std::vector<float>& recording,
                             long expected, long range, int window, int search) {
    SoundAlignment result;
    result.window = window;
    if (stream.empty() || recording.size() < stream.size() / 2) return result;
    // The first windows only: over the whole stream a small difference of
    // the clocks would smear the match.
    const std::vector<float> start(
        stream.begin(), stream.begin() + std::min<long>(long(stream.size()), 2L * window));
    double sign = 1;
    const long global = best_lag(start, recording, std::max(0L, expected - range),
                                 std::min(expected + range, long(recording.size()) - 1), sign);
    result.inverted = sign < 0;
    const long windows = static_cast<long>((stream.size() + window - 1) / window);
    double sum_xy = 0, sum_xx = 0, sum_yy = 0, sum_x = 0, sum_y = 0;
    long count = 0;
    long previous = global;
    for (long w = 0; w < windows; ++w) {
        const long begin = w * window;
        const long end = std::min<long>(begin + window, static_cast<long>(stream.size()));
        long best = previous;
        double best_value = -1e300;
        // Around the previous window's place: the clocks drift slowly.
        for (long l = previous - search; l <= previous + search; ++l) {
            if (begin + l < 0 || end + l > static_cast<long>(recording.size())) continue;
            double dot = 0;
            for (long s = begin; s < end; ++s) dot += double(stream[s]) * recording[s + l];
            dot *= sign;
            if (dot > best_value) {
                best_value = dot;
                best = l;
            }
        }
        if (best_value == -1e300) break;  // the recording ends before this window
        previous = best;
        result.offsets.push_back(begin + best);
        double energy = 0;
        for (long s = begin; s < end; ++s) energy += double(stream[s]) * stream[s];
        result.energies.push_back(energy);
        for (long s = begin; s < end; ++s) {
            const double x = stream[s];
            const double y = recording[s + best];
            sum_x += x;
            sum_y += y;
            sum_xy += x * y;
            sum_xx += x * x;
            sum_yy += y * y;
            ++count;
        }
    }
    if (count == 0) return result;
    const double n = static_cast<double>(count);
    const double cov = sum_xy - sum_x * sum_y / n;
    const double var_x = sum_xx - sum_x * sum_x / n;
    const double var_y = sum_yy - sum_y * sum_y / n;
    result.found = true;
    result.correlation = (var_x > 0 && var_y > 0) ? sign * cov / std::sqrt(var_x * var_y) : 0;
    return result;
}

}  // namespace

SoundAlignment align_sound(const std::vector<float>& stream, const std::vector<float>& recording,
                           long expected, long range, int window, int search) {
    const SoundAlignment first = align_windows(stream, recording, expected, range, window, search);
    if (!first.found || first.offsets.size() < 4) return first;
    // The ratio of the clocks: the windows' places against their starts
    // (least squares over the windows that carry sound), then the stream
    // stretched by it and placed again, for windows free of a slow slide.
    double mean_energy = 0;
    for (const double e : first.energies) mean_energy += e;
    mean_energy /= static_cast<double>(first.energies.size());
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t w = 0; w < first.offsets.size(); ++w) {
        if (first.energies[w] < 0.1 * mean_energy) continue;
        const double x = static_cast<double>(w) * window;
        const double y = static_cast<double>(first.offsets[w]);
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    if (n < 4 || n * sxx - sx * sx <= 0) return first;
    const double ratio = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    if (std::fabs(ratio - 1) < 1e-6 || std::fabs(ratio - 1) > 0.01) return first;
    std::vector<float> stretched;
    stretched.reserve(static_cast<std::size_t>(double(stream.size()) * ratio) + 1);
    for (double t = 0; t < double(stream.size() - 1); t += 1 / ratio) {
        const std::size_t i = static_cast<std::size_t>(t);
        const double f = t - double(i);
        stretched.push_back(static_cast<float>(stream[i] * (1 - f) + stream[i + 1] * f));
    }
    SoundAlignment second = align_windows(stretched, recording, expected, range, window, search);
    if (!second.found) return first;
    second.stretch = ratio;
    return second;
}

namespace {

constexpr std::size_t kFrameBytes = kPictureWidth * kPictureHeight * 3;

// The recorded frames, each as the pictures it is identical to (by hash);
// the first one that shows none of them and is not black, for the report.
struct Recording {
    std::vector<std::vector<int>> candidates;
    std::vector<std::uint8_t> first_unmatched;
    long first_unmatched_index = -1;
};

bool read_recorded_frames(const std::string& name,
                          const std::unordered_map<std::uint64_t, std::vector<int>>& by_hash,
                          Recording& recording) {
    std::FILE* video = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (video == nullptr) return false;
    std::vector<std::uint8_t> frame(kFrameBytes);
    while (std::fread(frame.data(), 1, frame.size(), video) == frame.size()) {
        const auto found = by_hash.find(frame_hash(frame.data(), frame.size()));
        recording.candidates.push_back(found == by_hash.end() ? std::vector<int>{} : found->second);
        if (found == by_hash.end() && recording.first_unmatched_index < 0 &&
            std::any_of(frame.begin(), frame.end(), [](std::uint8_t b) { return b != 0; })) {
            recording.first_unmatched = frame;
            recording.first_unmatched_index = static_cast<long>(recording.candidates.size()) - 1;
        }
    }
    if (video != stdin) std::fclose(video);
    return true;
}

// Which pictures were not shown twice, and how the first odd frame differs
// from the picture before it.
void report_pictures(const zorpa::ByteSource& source, const PlayCheckOptions& options,
                     const ColourTable& table, int pictures, const Recording& recording,
                     const Showing& showing) {
    std::printf("recorded frames: %zu, first picture in frame %d\n", recording.candidates.size(),
                showing.first_frame.empty() ? -1 : showing.first_frame[0]);
    for (int p = 0; p < pictures; ++p) {
        if (showing.frames[p] != 2) {
            std::printf("frame %ld: shown in %d recorded frames\n", options.first + p,
                        showing.frames[p]);
        }
    }
    if (showing.wrong > 0) {
        std::printf("%d recorded frames between the pictures show none of them\n", showing.wrong);
    }
    const long odd = recording.first_unmatched_index;
    if (odd < 0 || showing.first_frame[0] < 0 || odd <= showing.first_frame[0]) return;
    int before = -1;
    for (int p = 0; p < pictures; ++p) {
        if (showing.first_frame[p] >= 0 && showing.first_frame[p] < odd) before = p;
    }
    std::vector<std::uint8_t> rgb;
    if (before < 0 ||
        !expected_picture(source, static_cast<std::uint32_t>(options.first + before), table, rgb)) {
        return;
    }
    int differing = 0, first_x = -1, first_y = -1;
    for (std::size_t i = 0; i < kFrameBytes; i += 3) {
        if (!std::equal(rgb.begin() + long(i), rgb.begin() + long(i) + 3,
                        recording.first_unmatched.begin() + long(i))) {
            if (differing++ == 0) {
                first_x = int(i / 3 % kPictureWidth) + 1;
                first_y = int(i / 3 / kPictureWidth);
            }
        }
    }
    std::printf(
        "recorded frame %ld shows no picture; against frame %ld: %d pixels differ, the first at "
        "column %d of row %d\n",
        odd, options.first + before, differing, first_x, first_y);
}

// The container's sound from the first picture's sample on, centred on 0,
// at the recording's rate.
struct Stream {
    std::vector<float> samples;
    long begin = 0;  // the first sample's place in the container's stream
    double rate_ratio = 1.0;
};

bool stream_of(const zorpa::ByteSource& source, std::uint32_t frames,
               const PlayCheckOptions& options, long last, Stream& stream) {
    std::vector<unsigned char> samples;
    if (!zorpa::extract_sound(source, frames, samples)) return false;
    stream.begin = static_cast<long>(std::floor(options.first * kSamplesPerPicture)) & ~1L;
    const long end = std::min<long>(static_cast<long>(samples.size()),
                                    static_cast<long>(std::floor((last + 1) * kSamplesPerPicture)));
    for (long s = stream.begin; s < end; ++s) stream.samples.push_back(float(samples[s]) - 128.0f);
    stream.rate_ratio = options.sound_rate / double(format::container::kSoundRate);
    if (stream.rate_ratio != 1.0) {
        // The recording at another rate: the stream resampled to it (linear).
        std::vector<float> resampled;
        const std::vector<float>& from = stream.samples;
        for (double t = 0; t < double(from.size() - 1); t += 1.0 / stream.rate_ratio) {
            const std::size_t i = static_cast<std::size_t>(t);
            const double f = t - double(i);
            resampled.push_back(float(from[i] * (1 - f) + from[i + 1] * f));
        }
        stream.samples.swap(resampled);
    }
    return true;
}

// The recorded sound (signed 16-bit little-endian) and where each recorded
// 50 Hz period starts in it.
bool recorded_sound(const PlayCheckOptions& options, std::vector<float>& recording,
                    std::vector<double>& starts) {
    std::vector<std::uint8_t> pcm;
    if (!read_bytes(options.sound, pcm)) return false;
    recording.resize(pcm.size() / 2);
    for (std::size_t i = 0; i < recording.size(); ++i) {
        recording[i] =
            static_cast<float>(static_cast<std::int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8));
    }
    std::ifstream in(options.frame_starts);
    double v = 0;
    while (in >> v) starts.push_back(v);
    return true;
}

// When the picture recorded in period k appears: its first window row.
double picture_time(const std::vector<double>& starts, std::size_t k) {
    return starts[k] + (starts[k + 1] - starts[k]) * kWindowFirstLine / kFrameLines;
}

struct Sync {
    double worst = 0, sum = 0, first = 0, last = 0;
    int timed = 0;
};

// Picture against sound for every picture shown: the time between its
// appearance and its stream sample's playing, in milliseconds.
Sync measure_sync(const PlayCheckOptions& options, int pictures, const Showing& showing,
                  const Stream& stream, const SoundAlignment& sound,
                  const std::vector<double>& starts) {
    Sync sync;
    for (int p = 0; p < pictures && sound.found; ++p) {
        const int k = showing.first_frame[p];
        const double s = (options.first + p) * kSamplesPerPicture - double(stream.begin);
        if (k < 0 || s * stream.rate_ratio >= double(stream.samples.size())) continue;
        const std::size_t period = static_cast<std::size_t>(k);
        if (period + 1 >= starts.size()) continue;
        const double sound_at = sound.recording_position(s * stream.rate_ratio);
        const double ms = (picture_time(starts, period) - sound_at) * 1000.0 / options.sound_rate;
        sync.sum += ms;
        if (sync.timed++ == 0) sync.first = ms;
        sync.last = ms;
        if (std::getenv("PLAY_CHECK_TRACE")) std::printf("sync %d %.2f\n", p, ms);
        if (std::fabs(ms) > std::fabs(sync.worst)) sync.worst = ms;
    }
    return sync;
}

// The sound's alignment with the recording and the sync, printed; false
// when the files cannot be read.
bool check_sound(const zorpa::ByteSource& source, std::uint32_t frames,
                 const PlayCheckOptions& options, long last, int pictures, const Showing& showing,
                 SoundAlignment& sound, Sync& sync) {
    Stream stream;
    std::vector<float> recording;
    std::vector<double> starts;
    if (!stream_of(source, frames, options, last, stream) ||
        !recorded_sound(options, recording, starts)) {
        return false;
    }
    // The sound is looked for within half a second of the first picture.
    long expected = 0;
    if (!showing.first_frame.empty() && showing.first_frame[0] >= 0 &&
        std::size_t(showing.first_frame[0]) + 1 < starts.size()) {
        expected = static_cast<long>(
            picture_time(starts, static_cast<std::size_t>(showing.first_frame[0])));
    }
    sound = align_sound(stream.samples, recording, expected, options.sound_rate / 2);
    sync = measure_sync(options, pictures, showing, stream, sound, starts);
    if (!sound.found) {
        std::printf("no sound to compare (the container's stream is empty over these frames)\n");
        return true;
    }
    std::printf(
        "sound: %zu stream samples%s, played %+.3f %% fast against the recording's rate, %d "
        "pictures timed, sync %.1f ms at the first, %.1f ms at the last, %.1f ms on average\n",
        stream.samples.size(), sound.inverted ? " (recorded with the opposite sign)" : "",
        (1 / sound.stretch - 1) * 100, sync.timed, sync.first, sync.last,
        sync.timed ? sync.sum / sync.timed : 0.0);
    return true;
}

}  // namespace

int play_check(const PlayCheckOptions& options) {
    zorpa::FileSource source;
    if (!source.open(options.container)) return fail(source.error());
    const zorpa::CheckResult check = zorpa::check_container(source);
    if (!check.ok) return fail(options.container + ": " + check.message);
    const long last = options.last < 0 ? long(check.frames) - 1
                                       : std::min<long>(options.last, long(check.frames) - 1);
    if (options.first < 0 || options.first > last) return fail("no frame to check");
    const int pictures = static_cast<int>(last - options.first + 1);

    std::vector<std::uint8_t> table_bytes;
    ColourTable table;
    std::string error;
    if (!read_bytes(options.colours, table_bytes)) return fail("cannot read " + options.colours);
    if (!parse_colour_table(
            std::string_view(reinterpret_cast<const char*>(table_bytes.data()), table_bytes.size()),
            table, error)) {
        return fail(options.colours + ": " + error);
    }
    // The pictures as the emulator shows them, by hash.
    std::unordered_map<std::uint64_t, std::vector<int>> by_hash;
    std::vector<std::uint8_t> rgb;
    for (int p = 0; p < pictures; ++p) {
        if (!expected_picture(source, static_cast<std::uint32_t>(options.first + p), table, rgb)) {
            return fail("cannot read frame " + std::to_string(options.first + p));
        }
        by_hash[frame_hash(rgb.data(), rgb.size())].push_back(p);
    }
    Recording recording;
    if (!read_recorded_frames(options.video, by_hash, recording)) {
        return fail("cannot read " + options.video);
    }
    const Showing showing = follow_pictures(recording.candidates, pictures);
    report_pictures(source, options, table, pictures, recording, showing);

    SoundAlignment sound;
    Sync sync;
    if (!check_sound(source, check.frames, options, last, pictures, showing, sound, sync)) {
        return fail("cannot read the sound of " + options.container + " or " + options.sound);
    }
    std::printf("frames=%d shown=%d dropped=%d repeated=%d sound_corr=%.4f sync_ms=%.1f\n",
                pictures, showing.shown, showing.dropped, showing.repeated, sound.correlation,
                sync.worst);
    const bool ok = showing.every_picture_twice() && sound.found && sync.timed > 0 &&
                    sound.correlation >= kLeastCorrelation && std::fabs(sync.worst) <= kMostSyncMs;
    return ok ? 0 : 1;
}

}  // namespace ste
