// Encoding speed of the bundled sample picture: one frame of a video, per
// quality digit and thread count. Output files go to a temporary folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "encoder/frontend/run.h"

namespace {

namespace fs = std::filesystem;

class Workspace {
public:
    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "brenvik-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        dir_ = pattern;
        fs::copy_file(SAMPLE_PICTURE, dir_ / "pic.bmp");
    }
    ~Workspace() { fs::remove_all(dir_); }
    std::string picture() const { return (dir_ / "pic.bmp").string(); }

private:
    fs::path dir_;
};

void Encode(benchmark::State& state, std::vector<std::string> options) {
    Workspace work;
    std::vector<std::string> args{"brenvik"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(work.picture());
    brenvik::RunOptions run_options;
    run_options.threads = static_cast<unsigned>(state.range(0));
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        if (brenvik::run_brenvik(args, sink, sink, run_options) != 0) {
            state.SkipWithError("encoding failed");
            break;
        }
    }
    std::fclose(sink);
}

BENCHMARK_CAPTURE(Encode, mode0_q1, std::vector<std::string>{"-1"})
    ->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Encode, mode0_q3, std::vector<std::string>{"-3"})
    ->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Encode, mode0_q5, std::vector<std::string>{"-5"})
    ->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Encode, two_palettes_q1, std::vector<std::string>{"-1", "--pixpal=3"})
    ->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Encode, three_line_blocks_q3, std::vector<std::string>{"--blockoflines=3"})
    ->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
