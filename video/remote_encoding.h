// Frames encoded on other machines (and this one, as ":"), as BMP files
// handed to GNU parallel: each job sends a frame's BMP over ssh, runs
// brenvik --mode=2 on it in a folder of the same name on every machine and
// brings both picture files back; the encoder is sent along for the run
// unless --remote-encoder names one installed there. Linux only.
#pragma once

#include <string>
#include <vector>

#include "child_process.h"
#include "video/work_folder.h"

namespace brenvik::video {

struct RemoteRequest {
    std::vector<std::string> sshlogins;
    std::vector<std::string> sshloginfiles;  // absolute names
    std::string remote_encoder;              // "" : `brenvik` is sent along
    std::string brenvik;                     // this machine's encoder
    unsigned jobs = 0;                       // per machine; 0: GNU parallel's choice
    bool bar = false;                        // GNU parallel's progress bar on standard error
    std::vector<std::string> encoder_arguments;
};

// A shell word that stands for `text` as it is.
std::string shell_quoted(const std::string& text);

class RemoteEncoding {
  public:
    RemoteEncoding(const RemoteRequest& request, const WorkFolder& folder);

    // Starts GNU parallel on the frames named (BMP names in the work folder).
    bool start(const std::vector<std::string>& frames, std::string& error);
    bool wait_for(int milliseconds) { return parallel_.wait_for(milliseconds); }
    bool running() const { return parallel_.running(); }
    int status() const { return parallel_.status(); }
    // Stops GNU parallel and its running jobs.
    void stop();
    // Why it failed: the first frame whose job failed with the encoder's
    // message, else GNU parallel's last words.
    std::string failure_message() const;
    // After a complete run: the link and the encoder copy go.
    void remove_helpers() const;
    // Whatever a run left on the other machines goes (run at the end of
    // every run that started one).
    void clean_far_side() const;
    bool started() const { return !far_folder_.empty(); }

  private:
    std::vector<std::string> common_options() const;

    RemoteRequest request_;
    const WorkFolder& folder_;
    std::string far_folder_;  // .brenvik-video-HOST-PID-N
    platform::ChildProcess parallel_;
};

}  // namespace brenvik::video
