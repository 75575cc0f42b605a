// A program run beside this one and watched, on Linux and (under Wine) on
// Windows. The child is this test program itself, started with --child:
// "report" writes its working folder on standard output and a line on
// standard error and ends with status 5; "wait" sleeps for a minute.
#include "child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform_files.h"
#include "tests/common/files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;

constexpr int kReportStatus = 5;

std::string utf8(const fs::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

std::string self_path() {
#ifdef _WIN32
    wchar_t name[32768];
    const DWORD length = GetModuleFileNameW(nullptr, name, 32768);
    name[length] = L'\0';
    return platform::narrow(name);
#else
    return fs::read_symlink("/proc/self/exe").string();
#endif
}

std::string text_of(const fs::path& path) {
    const std::vector<std::uint8_t> bytes = testsupport::read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

int run_child(const std::string& what) {
    if (what == "wait") {
        std::this_thread::sleep_for(std::chrono::minutes(1));
        return 0;
    }
    std::printf("%s\n", utf8(fs::current_path()).c_str());
    std::fputs("child: reported\n", stderr);
    return kReportStatus;
}

const std::string program = self_path();  // this test program, for the children

TEST(ChildProcess, RunsInItsFolderWithItsOutputInFiles) {
    testsupport::TempDir dir;
    const fs::path folder = dir.path() / fs::path(u8"d\u00e9j\u00e0 \u5199");
    fs::create_directories(folder);
    platform::ChildSetup setup;
    setup.folder = utf8(folder);
    setup.output_file = utf8(dir.path() / "out.txt");
    setup.error_file = utf8(dir.path() / "err.txt");
    platform::ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.start(program, {program, "--child", "report"}, setup, error)) << error;
    EXPECT_TRUE(child.running());
    while (!child.wait_for(100)) {
    }
    EXPECT_FALSE(child.running());
    EXPECT_EQ(child.status(), kReportStatus);
    std::string reported = text_of(dir.path() / "out.txt");
    while (!reported.empty() && (reported.back() == '\n' || reported.back() == '\r')) {
        reported.pop_back();
    }
    EXPECT_TRUE(fs::equivalent(fs::path(std::u8string(reported.begin(), reported.end())), folder))
        << reported;
    EXPECT_EQ(text_of(dir.path() / "err.txt").rfind("child: reported", 0), 0u);
}

TEST(ChildProcess, TerminateEndsAWaitingChild) {
    platform::ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.start(program, {program, "--child", "wait"}, {}, error)) << error;
    EXPECT_FALSE(child.wait_for(200));
    const auto asked = std::chrono::steady_clock::now();
    child.terminate();
    while (!child.wait_for(100)) {
        ASSERT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(20));
    }
    EXPECT_NE(child.status(), 0);
}

TEST(ChildProcess, MissingProgramIsNamed) {
    testsupport::TempDir dir;
    platform::ChildProcess child;
    std::string error;
    const std::string missing = utf8(dir.path() / "no-such-program");
    EXPECT_FALSE(child.start(missing, {missing}, {}, error));
    EXPECT_NE(error.find("no-such-program"), std::string::npos) << error;
    EXPECT_EQ(platform::locate_program(missing), "");
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = platform::utf8_arguments(argc, argv);
    if (args.size() == 3 && args[1] == "--child") return run_child(args[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
