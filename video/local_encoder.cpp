#include "video/local_encoder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "atomic_output_file.h"
#include "format/bmp.h"
#include "format/container.h"
#include "input/read_bmp.h"
#include "platform_files.h"

namespace brenvik::video {

namespace {
std::atomic<bool> left_running{false};
}  // namespace

struct LocalEncoder::Shared {
    std::vector<FrameFile> frames;
    EncodeOptions options;
    unsigned encoder_threads = 1;
    EncodeFunction encode;
    std::atomic<std::size_t> next{0};

    // Guards what follows; a worker writes its files while holding it, so
    // that nothing is written once `closed` is set.
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t done = 0;
    unsigned running = 0;
    bool closed = false;
    std::optional<FrameFailure> failure;

    void fail(const FrameFile& frame, std::string message) {
        if (!failure) failure = FrameFailure{frame.name, std::move(message)};
        closed = true;
        changed.notify_all();
    }

    // Encodes one frame and writes its files; false when the worker stops.
    bool encode_frame(const FrameFile& frame) {
        EncodeRequest request;
        std::string message;
        const bool read = frame_request(frame, options, encoder_threads, request, message);
        EncodeResult result;
        if (read) result = encode(request);
        std::lock_guard lock(mutex);
        if (closed) return false;
        if (!read || !result.ok) {
            fail(frame, read ? result.message : message);
            return false;
        }
        for (const EncodedFile& file : result.files) {
            std::string error;
            if (!fileout::write_whole_file(file.name, file.bytes.data(), file.bytes.size(),
                                           error)) {
                fail(frame, error);
                return false;
            }
        }
        ++done;
        changed.notify_all();
        return true;
    }

    void work() {
        for (;;) {
            const std::size_t index = next.fetch_add(1);
            if (index >= frames.size() || !encode_frame(frames[index])) break;
        }
        std::lock_guard lock(mutex);
        --running;
        changed.notify_all();
    }
};

bool frame_request(const FrameFile& frame, const EncodeOptions& options, unsigned threads,
                   EncodeRequest& request, std::string& message) {
    std::vector<std::uint8_t> file;
    if (!platform::read_whole_file(frame.path, file, message)) return false;
    input::DecodedPicture picture;
    input::PictureInfo info;
    if (!input::decode_bmp(file, {}, picture, info, message)) {
        message = frame.name + ": " + message;
        return false;
    }
    const PictureSize size = picture_size(options.mode);
    if (picture.width != size.width || picture.height != size.height || picture.channels != 3 ||
        picture.bits != 8) {
        message = frame.name + ": not a " + std::to_string(size.width) + "x" +
                  std::to_string(size.height) + " 24-bit BMP";
        return false;
    }
    request.picture = {picture.width, picture.height, std::move(picture.samples)};
    request.options = options;
    request.input_name = frame.path;
    std::copy_n(file.begin(), format::bmp::kHeaderBytes, request.preview_header_base.begin());
    request.threads = threads;
    return true;
}

LocalEncoder::LocalEncoder(std::vector<FrameFile> frames, const EncodeOptions& options,
                           unsigned workers, EncodeFunction encode, unsigned encoder_threads)
    : shared_(std::make_shared<Shared>()), workers_(std::max(1u, workers)) {
    shared_->frames = std::move(frames);
    shared_->options = options;
    shared_->encoder_threads = encoder_threads;
    shared_->encode = std::move(encode);
}

LocalEncoder::~LocalEncoder() {
    if (abandoned_) return;
    for (std::thread& thread : threads_) thread.join();
}

void LocalEncoder::start() {
    const unsigned count =
        static_cast<unsigned>(std::min<std::size_t>(workers_, shared_->frames.size()));
    shared_->running = count;
    for (unsigned i = 0; i < count; ++i) {
        // Each worker holds the shared state, which outlives an abandoned run.
        threads_.emplace_back([shared = shared_] { shared->work(); });
    }
}

bool LocalEncoder::wait_for(int milliseconds) {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] {
        return shared_->done == shared_->frames.size() || shared_->failure || shared_->running == 0;
    });
}

std::size_t LocalEncoder::done() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->done;
}

std::size_t LocalEncoder::total() const {
    return shared_->frames.size();
}

std::optional<FrameFailure> LocalEncoder::failure() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->failure;
}

void LocalEncoder::abandon() {
    bool busy = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->closed = true;
        busy = shared_->running > 0;
    }
    if (busy) left_running = true;
    for (std::thread& thread : threads_) thread.detach();
    abandoned_ = true;
}

bool workers_left_running() {
    return left_running.load();
}

}  // namespace brenvik::video
