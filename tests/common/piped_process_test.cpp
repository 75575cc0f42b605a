// A program fed through a pipe, on Linux and (under Wine) on Windows. The
// child is this test program itself, started with --child: it copies its
// input to a file, says so on standard error and ends with status 3.
#include "piped_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform_files.h"
#include "tests/common/files.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr int kChildStatus = 3;

std::string self_path() {
#ifdef _WIN32
    wchar_t name[32768];
    const DWORD length = GetModuleFileNameW(nullptr, name, 32768);
    name[length] = L'\0';
    return platform::narrow(name);
#else
    return std::filesystem::read_symlink("/proc/self/exe").string();
#endif
}

std::string utf8(const std::filesystem::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

// The child: standard input to the file named by its argument.
int run_child(const std::string& output) {
    std::FILE* file = platform::open_stdio_file(output, "wb");
    if (file == nullptr) return 1;
#ifdef _WIN32
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        std::fwrite(buffer, 1, got, file);
    }
#else
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(0, buffer, sizeof buffer)) > 0) {
        std::fwrite(buffer, 1, static_cast<std::size_t>(got), file);
    }
#endif
    std::fclose(file);
    std::fputs("child: input copied\n", stderr);
    return kChildStatus;
}

TEST(WindowsCommandLine, QuotesAsTheRuntimeSplits) {
    const struct {
        std::vector<std::string> arguments;
        std::string line;
    } cases[] = {
        {{"ffmpeg", "-i", "pipe:0"}, "ffmpeg -i pipe:0"},
        {{"C:\\Program Files\\ffmpeg.exe", "a b"}, "\"C:\\Program Files\\ffmpeg.exe\" \"a b\""},
        {{"x", ""}, "x \"\""},
        {{"say \"hi\""}, "\"say \\\"hi\\\"\""},
        {{"C:\\dir with space\\"}, "\"C:\\dir with space\\\\\""},
        {{"a\\\\\"b c"}, "\"a\\\\\\\\\\\"b c\""},
        {{"C:\\plain\\path\\"}, "C:\\plain\\path\\"},
        {{"d\xc3\xa9j\xc3\xa0 \xe5\x86\x99"}, "\"d\xc3\xa9j\xc3\xa0 \xe5\x86\x99\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::windows_command_line(c.arguments), c.line);
#ifdef _WIN32
        // And the system splits it back into the same arguments.
        int count = 0;
        wchar_t** split = CommandLineToArgvW(
            platform::wide("program " + platform::windows_command_line(c.arguments)).c_str(),
            &count);
        ASSERT_NE(split, nullptr);
        std::vector<std::string> back;
        for (int i = 1; i < count; ++i) back.push_back(platform::narrow(split[i]));
        LocalFree(split);
        EXPECT_EQ(back, c.arguments) << c.line;
#endif
    }
}

TEST(PipedProcess, FeedsTheProgramAndReturnsItsStatus) {
    testsupport::TempDir dir;
    const std::filesystem::path folder =
        dir.path() / std::filesystem::path(u8"d\u00e9j\u00e0 \u5199");
    std::filesystem::create_directories(folder);
    const std::string copy = utf8(folder / "copy.bin");
    const std::string log = utf8(folder / "log.txt");
    std::vector<unsigned char> data(3 * 1024 * 1024 + 17);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 31 >> 3);

    platform::PipedProcess child;
    std::string error;
    ASSERT_TRUE(child.start(self_path(), {self_path(), "--child", copy}, log, error)) << error;
    EXPECT_TRUE(child.write(data.data(), data.size()));
    EXPECT_EQ(child.finish(), kChildStatus);
    EXPECT_EQ(testsupport::read_file(folder / "copy.bin"), data);
    const std::vector<std::uint8_t> said = testsupport::read_file(folder / "log.txt");
    EXPECT_NE(std::string(said.begin(), said.end()).find("child: input copied"), std::string::npos);
}

TEST(PipedProcess, WriteFailsOnceTheProgramStopsReading) {
    testsupport::TempDir dir;
    platform::PipedProcess child;
    std::string error;
    // The child cannot open its output (a folder) and ends at once.
    ASSERT_TRUE(child.start(self_path(), {self_path(), "--child", utf8(dir.path())},
                            utf8(dir.path() / "log.txt"), error))
        << error;
    const std::vector<unsigned char> chunk(1 << 20, 1);
    bool wrote = true;
    for (int i = 0; i < 64 && wrote; ++i) wrote = child.write(chunk.data(), chunk.size());
    EXPECT_FALSE(wrote);
    EXPECT_EQ(child.finish(), 1);
}

TEST(PipedProcess, MissingProgramIsNamed) {
    testsupport::TempDir dir;
    platform::PipedProcess child;
    std::string error;
    const std::string missing = utf8(dir.path() / "no-such-program");
    EXPECT_FALSE(child.start(missing, {missing}, utf8(dir.path() / "log.txt"), error));
    EXPECT_NE(error.find("no-such-program"), std::string::npos) << error;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = platform::utf8_arguments(argc, argv);
    if (args.size() == 3 && args[1] == "--child") return run_child(args[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
