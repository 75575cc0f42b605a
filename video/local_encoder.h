// The frames encoded in this process: a pool of worker threads, each
// taking the next frame's BMP from the work folder, encoding it through
// the encoder's library (one thread per call) and writing its picture files
// beside it, each renamed into place once complete.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "brenvik/encode.h"

namespace brenvik::video {

struct FrameFile {
    std::string name;  // "frame00002.bmp", for messages
    std::string path;  // where it is
};

struct FrameFailure {
    std::string frame;    // the frame's name
    std::string message;  // why it was not encoded
};

using EncodeFunction = std::function<EncodeResult(const EncodeRequest&)>;

// The request for one frame: its 320x200 24-bit BMP read, the options and
// the worker threads of its encoding. False with the message when the file
// is not such a BMP.
bool frame_request(const FrameFile& frame, const EncodeOptions& options, unsigned threads,
                   EncodeRequest& request, std::string& message);

class LocalEncoder {
  public:
    // `workers` frames at a time, each encoded by `encoder_threads` threads
    // (0: one per core); `encode` is the encoder's library unless a test
    // stands in for it.
    LocalEncoder(std::vector<FrameFile> frames, const EncodeOptions& options, unsigned workers,
                 EncodeFunction encode = brenvik::encode, unsigned encoder_threads = 1);
    // Waits for the workers, unless they were abandoned.
    ~LocalEncoder();
    LocalEncoder(const LocalEncoder&) = delete;
    LocalEncoder& operator=(const LocalEncoder&) = delete;

    void start();
    // Waits at most `milliseconds`; true once every frame is written or one
    // failed (the others then write nothing more).
    bool wait_for(int milliseconds);
    std::size_t done() const;
    std::size_t total() const;
    // The first frame that could not be encoded or written.
    std::optional<FrameFailure> failure() const;

    // Stops the run at once: no picture file is written once this returns.
    // The encodes under way go on in the background and are dropped; the
    // process must then end without waiting for them (see
    // workers_left_running()).
    void abandon();

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::vector<std::thread> threads_;
    unsigned workers_;
    bool abandoned_ = false;
};

// True once a LocalEncoder was abandoned with encodes under way: the
// program ends with std::_Exit rather than running its static destructors
// beside them.
bool workers_left_running();

}  // namespace brenvik::video
