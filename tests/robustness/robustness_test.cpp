// Bad inputs and failed outputs through the real brenvik and zorpamux-cli
// executables: every failure exits non-zero with a message that names the
// file, valid unusual names work, and a write that fails half way leaves the
// old output file as it was.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "program_runner.h"

namespace robustness {
namespace {

enum class Program { Encoder, Container };

std::string program_path(Program program) {
    return program == Program::Encoder ? BRENVIK_PATH : ZORPAMUX_CLI_PATH;
}

// Size of a container of n frame records.
std::size_t container_size(std::size_t frames) {
    return 256 + 32512 + 42496 * frames;
}

// What one row runs and what it must get.
struct Invocation {
    std::vector<std::string> args;  // after the program name
    ChildSetup setup;               // the working folder is filled in
    int status = 1;
    std::vector<std::string> in_err;                         // parts of standard error
    std::vector<std::pair<std::string, long long>> outputs;  // files made; size, or -1
    std::vector<std::string> absent;                         // files that must not exist
    std::string skip;                                        // why the row cannot run here
};

Invocation invoke(std::vector<std::string> args) {
    Invocation run;
    run.args = std::move(args);
    return run;
}

struct Row {
    const char* name;
    Program program;
    std::function<Invocation(const ScratchFolder&)> prepare;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

const Bytes& small_picture() {
    static const Bytes bytes = bmp_file(320, 20, 1);
    return bytes;
}

std::vector<std::string> encode(const std::string& name) {
    return {"--mode=4", "-0", name};
}

std::vector<std::string> pack(const std::string& picture, const std::string& output) {
    return {"-p", picture, "-S", "0", "-L", "0", "-o", output};
}

// A file the test user cannot read: mode 000 where that stops reads; as root
// (who reads it all the same) a path through a regular file, which no user
// can open (ENOTDIR).
struct Unreadable {
    std::string name;
    std::string reason;
    std::string skip;  // why there is no such file here
};
Unreadable unreadable(const ScratchFolder& dir, const std::string& name, const Bytes& bytes) {
    write_file(dir / name, bytes);
#ifdef _WIN32
    return {name, "", "no permission bits on Windows make a file unreadable for its owner"};
#else
    ::chmod((dir / name).c_str(), 0);
    const int fd = ::open((dir / name).c_str(), O_RDONLY);
    if (fd < 0 && errno == EACCES) return {name, "Permission denied", ""};
    if (fd >= 0) ::close(fd);
    write_file(dir / "plain", Bytes{1, 2, 3});
    return {"plain/" + name, "Not a directory", ""};
#endif
}

// A folder the program cannot write in, for root too: a read-only bind mount
// in the child's own mount namespace; without that, mode 555 for a user who
// is not root.
bool make_unwritable(const ScratchFolder& dir, const std::string& folder, Invocation& run,
                     std::string& reason) {
#ifdef _WIN32
    (void)dir;
    (void)folder;
    (void)reason;
    run.skip = "no read-only folders through mounts or permission bits on Windows";
    return false;
#else
    if (read_only_bind_works()) {
        run.setup.read_only_folder = dir / folder;
        reason = "Read-only file system";
        return true;
    }
    if (::geteuid() != 0) {
        ::chmod((dir / folder).c_str(), 0555);
        reason = "Permission denied";
        return true;
    }
    run.skip = "running as root without mount namespaces: no folder is read-only for root";
    return false;
#endif
}

const std::string kLongComponent(300, 'n');  // over NAME_MAX (255)
const std::string kUnicodeStem = "bild-\xC3\xA4\xC3\xB6\xC3\xBC-\xE5\x86\x99\xE7\x9C\x9F";

const Row kRows[] = {
    // The encoder's input picture.
    {"EncoderEmptyFile", Program::Encoder,
     [](const ScratchFolder& dir) {
         write_file(dir / "empty.bmp", {});
         Invocation run = invoke(encode("empty.bmp"));
         run.in_err = {"empty.bmp: must be in BMP format"};
         return run;
     }},
    {"EncoderHeaderShorterThan34Bytes", Program::Encoder,
     [](const ScratchFolder& dir) {
         Bytes header = small_picture();
         header.resize(33);
         write_file(dir / "short.bmp", header);
         Invocation run = invoke(encode("short.bmp"));
         run.in_err = {"short.bmp: BMP header is truncated"};
         return run;
     }},
    {"EncoderPixelOffsetPastTheEnd", Program::Encoder,
     [](const ScratchFolder& dir) {
         Bytes file = small_picture();
         file[10] = 0x00;
         file[11] = 0x00;
         file[12] = 0x10;  // 0x100000, past the file's 19254 bytes
         write_file(dir / "far.bmp", file);
         Invocation run = invoke(encode("far.bmp"));
         run.in_err = {"far.bmp: BMP pixel data is truncated"};
         return run;
     }},
    {"EncoderPixelDataCutShort", Program::Encoder,
     [](const ScratchFolder& dir) {
         Bytes file = small_picture();
         file.resize(file.size() - 1);
         write_file(dir / "cut.bmp", file);
         Invocation run = invoke(encode("cut.bmp"));
         run.in_err = {"cut.bmp: BMP pixel data is truncated"};
         return run;
     }},
    {"EncoderFolderAsPicture", Program::Encoder,
     [](const ScratchFolder& dir) {
         make_folder(dir / "folder.bmp");
         Invocation run = invoke(encode("folder.bmp"));
         run.in_err = {"folder.bmp: Is a directory"};
         return run;
     }},
    {"EncoderMissingPicture", Program::Encoder,
     [](const ScratchFolder&) {
         Invocation run = invoke(encode("missing.bmp"));
         run.in_err = {"missing.bmp: No such file or directory"};
         return run;
     }},
    {"EncoderUnreadablePicture", Program::Encoder,
     [](const ScratchFolder& dir) {
         const Unreadable file = unreadable(dir, "locked.bmp", small_picture());
         Invocation run = invoke(encode(file.name));
         run.skip = file.skip;
         run.in_err = {file.name + ": " + file.reason};
         return run;
     }},
    {"EncoderBrokenCompanion", Program::Encoder,
     [](const ScratchFolder& dir) {
         write_file(dir / "pic.bmp", small_picture());
         write_file(dir / "pic_bis.bmp", Bytes{'B', 'M'});
         Invocation run = invoke(encode("pic.bmp"));
         run.in_err = {"pic_bis.bmp: BMP header is truncated"};
         return run;
     }},
    // The encoder's output files, written beside the input picture.
    {"EncoderOutputFolderNotWritable", Program::Encoder,
     [](const ScratchFolder& dir) {
         make_folder(dir / "ro");
         write_file(dir / "ro/pic.bmp", small_picture());
         Invocation run = invoke(encode("ro/pic.bmp"));
         std::string reason;
         if (make_unwritable(dir, "ro", run, reason)) run.in_err = {"ro/pic.bVK: " + reason};
         run.absent = {"ro/pic.bVK", "ro/Fpic.bVK"};
         return run;
     }},
    {"EncoderOutputNameTakenByFolder", Program::Encoder,
     [](const ScratchFolder& dir) {
         write_file(dir / "pic.bmp", small_picture());
         make_folder(dir / "pic.bVK");
         Invocation run = invoke(encode("pic.bmp"));
         run.in_err = {"pic.bVK: Is a directory"};
         run.outputs = {{"Fpic.bVK", -1}};
         return run;
     }},
    {"EncoderDiskFull", Program::Encoder,
     [](const ScratchFolder& dir) {
         write_file(dir / "pic.bmp", small_picture());
#ifdef _WIN32
         Invocation run;
         run.skip = "no /dev/full on Windows";
         return run;
#else
         if (::symlink("/dev/full", (dir / "pic.bVK").c_str()) != 0)
             throw std::runtime_error("symlink");
         Invocation run = invoke(encode("pic.bmp"));
         run.in_err = {"pic.bVK: No space left on device"};
         run.outputs = {{"Fpic.bVK", -1}};
         if (!exists("/dev/full")) run.skip = "no /dev/full on this system";
         return run;
#endif
     }},
    // Long names.
    {"EncoderNameOverNameMax", Program::Encoder,
     [](const ScratchFolder&) {
         Invocation run = invoke(encode(kLongComponent + ".bmp"));
         run.in_err = {kLongComponent + ".bmp: File name too long"};
         return run;
     }},
    {"EncoderPathOverPathMax", Program::Encoder,
     [](const ScratchFolder& dir) {
         const std::string path =
             nested_folders(dir.path().string(), std::string(200, 'd'), PATH_MAX + 100);
         Invocation run = invoke(encode(path + "/pic.bmp"));
         run.in_err = {path + "/pic.bmp: File name too long"};
         return run;
     }},
    {"EncoderOutputNameOverNameMax", Program::Encoder,
     [](const ScratchFolder& dir) {
         // The input's name fits, and so do "<name>.bVK" and "F<name>.bVK";
         // "<name>F2.bVK" is one character too long.
         const std::string base(250, 'o');
         write_file(dir / (base + ".bmp"), small_picture());
         Invocation run = invoke({"--mode=4", "-0", "--pixpal=3", base + ".bmp"});
         run.in_err = {base + "F2.bVK: File name too long"};
         run.outputs = {{base + ".bVK", -1}, {"F" + base + ".bVK", -1}};
         return run;
     }},
    {"EncoderLongPathWithinPathMax", Program::Encoder,
     [](const ScratchFolder& dir) {
         const std::string path = nested_folders(dir.path().string(), std::string(200, 'p'), 3000);
         write_file(dir / (path + "/pic.bmp"), small_picture());
         Invocation run = invoke(encode(path + "/pic.bmp"));
         run.status = 0;
         run.outputs = {{path + "/pic.bVK", -1}, {path + "/Fpic.bVK", -1}};
         return run;
     }},
    {"EncoderNonAsciiName", Program::Encoder,
     [](const ScratchFolder& dir) {
         write_file(dir / (kUnicodeStem + ".bmp"), small_picture());
         Invocation run = invoke(encode(kUnicodeStem + ".bmp"));
         run.status = 0;
         run.outputs = {{kUnicodeStem + ".bVK", -1}, {"F" + kUnicodeStem + ".bVK", -1}};
         return run;
     }},

    // The container writer's inputs. Short and empty picture and sound files
    // are packed (the missing picture bytes are zeros, the missing sound is
    // silence); what cannot be opened is a failure that names the file.
    {"ContainerEmptyPictureFile", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", {});
         Invocation run = invoke(pack("ANIM00000.BVK", "out.ZRP"));
         run.status = 0;
         run.outputs = {{"out.ZRP", static_cast<long long>(container_size(1))}};
         return run;
     }},
    {"ContainerShortPictureFile", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(33, 1));
         Invocation run = invoke(pack("ANIM00000.BVK", "out.ZRP"));
         run.status = 0;
         run.outputs = {{"out.ZRP", static_cast<long long>(container_size(1))}};
         return run;
     }},
    {"ContainerEmptySoundFile", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         write_file(dir / "snd.wav", {});
         Invocation run = invoke(pack("ANIM00000.BVK", "out.ZRP"));
         run.args.insert(run.args.end(), {"-s", "snd.wav"});
         run.status = 0;
         run.outputs = {{"out.ZRP", static_cast<long long>(container_size(1))}};
         return run;
     }},
    {"ContainerSoundShorterThanItsHeader", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         write_file(dir / "snd.wav", picture_file(10, 2));
         Invocation run = invoke(pack("ANIM00000.BVK", "out.ZRP"));
         run.args.insert(run.args.end(), {"-s", "snd.wav", "-V", "4294967295"});
         run.status = 0;
         run.outputs = {{"out.ZRP", static_cast<long long>(container_size(1))}};
         return run;
     }},
    {"ContainerFolderAsPicture", Program::Container,
     [](const ScratchFolder& dir) {
         make_folder(dir / "ANIM00000.BVK");
         Invocation run = invoke(pack("ANIM00000.BVK", "out.ZRP"));
         run.in_err = {"ANIM00000.BVK", "Is a directory"};
         // The container is kept with the frames before the missing one.
         run.outputs = {{"out.ZRP", static_cast<long long>(container_size(0))}};
         return run;
     }},
    {"ContainerFolderAsSound", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         make_folder(dir / "snd.wav");
         Invocation run = invoke(pack("ANIM00000.BVK", "out.ZRP"));
         run.args.insert(run.args.end(), {"-s", "snd.wav"});
         run.in_err = {"snd.wav", "Is a directory"};
         run.absent = {"out.ZRP"};
         return run;
     }},
    {"ContainerMissingSound", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         Invocation run = invoke(pack("ANIM00000.BVK", "out.ZRP"));
         run.args.insert(run.args.end(), {"-s", "missing.wav"});
         run.in_err = {"missing.wav", "No such file or directory"};
         run.absent = {"out.ZRP"};
         return run;
     }},
    {"ContainerUnreadablePicture", Program::Container,
     [](const ScratchFolder& dir) {
         const Unreadable file = unreadable(dir, "ANIM00000.BVK", picture_file(51200, 1));
         Invocation run = invoke(pack(file.name, "out.ZRP"));
         run.skip = file.skip;
         run.in_err = {file.name, file.reason};
         run.outputs = {{"out.ZRP", static_cast<long long>(container_size(0))}};
         return run;
     }},
    {"ContainerUnreadableSound", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         const Unreadable file = unreadable(dir, "snd.wav", picture_file(5000, 2));
         Invocation run = invoke(pack("ANIM00000.BVK", "out.ZRP"));
         run.skip = file.skip;
         run.args.insert(run.args.end(), {"-s", file.name});
         run.in_err = {file.name, file.reason};
         run.absent = {"out.ZRP"};
         return run;
     }},
    // The container file.
    {"ContainerOutputFolderMissing", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         Invocation run = invoke(pack("ANIM00000.BVK", "nofolder/out.ZRP"));
         run.in_err = {"nofolder/out.ZRP", "No such file or directory"};
         return run;
     }},
    {"ContainerOutputFolderIsAFile", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         write_file(dir / "plain", Bytes{1});
         Invocation run = invoke(pack("ANIM00000.BVK", "plain/out.ZRP"));
#ifdef _WIN32
         // Windows reports a path through a file as a path not found.
         run.in_err = {"plain/out.ZRP", "No such file or directory"};
#else
         run.in_err = {"plain/out.ZRP", "Not a directory"};
#endif
         return run;
     }},
    {"ContainerOutputFolderNotWritable", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         make_folder(dir / "ro");
         Invocation run = invoke(pack("ANIM00000.BVK", "ro/out.ZRP"));
         std::string reason;
         if (make_unwritable(dir, "ro", run, reason)) run.in_err = {"ro/out.ZRP", reason};
         run.absent = {"ro/out.ZRP"};
         return run;
     }},
    {"ContainerOutputIsAFolder", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         make_folder(dir / "out.ZRP");
         Invocation run = invoke(pack("ANIM00000.BVK", "out.ZRP"));
         run.in_err = {"out.ZRP", "Is a directory"};
         return run;
     }},
    {"ContainerDiskFull", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         Invocation run = invoke(pack("ANIM00000.BVK", "/dev/full"));
         run.in_err = {"/dev/full", "No space left on device"};
         if (!exists("/dev/full")) run.skip = "no /dev/full on this system";
         return run;
     }},
    // Long names.
    {"ContainerPictureNameOverNameMax", Program::Container,
     [](const ScratchFolder&) {
         Invocation run = invoke(pack(kLongComponent + "00000.BVK", "out.ZRP"));
         run.in_err = {kLongComponent + "00000.BVK", "File name too long"};
         return run;
     }},
    {"ContainerOutputNameOverNameMax", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         Invocation run = invoke(pack("ANIM00000.BVK", kLongComponent + ".ZRP"));
         run.in_err = {kLongComponent + ".ZRP", "File name too long"};
         return run;
     }},
    {"ContainerOutputNameOf250Characters", Program::Container,
     [](const ScratchFolder& dir) {
         // Within NAME_MAX, so it must be written like any other name.
         const std::string name = std::string(246, 'o') + ".ZRP";
         write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
         Invocation run = invoke(pack("ANIM00000.BVK", name));
         run.status = 0;
         run.outputs = {{name, static_cast<long long>(container_size(1))}};
         return run;
     }},
    {"ContainerPicturePathOverPathMax", Program::Container,
     [](const ScratchFolder& dir) {
         const std::string path =
             nested_folders(dir.path().string(), std::string(200, 'd'), PATH_MAX + 100);
         Invocation run = invoke(pack(path + "/ANIM00000.BVK", "out.ZRP"));
         run.in_err = {path + "/ANIM00000.BVK", "File name too long"};
         return run;
     }},
    {"ContainerLongPathsWithinPathMax", Program::Container,
     [](const ScratchFolder& dir) {
         const std::string path = nested_folders(dir.path().string(), std::string(200, 'p'), 3000);
         write_file(dir / (path + "/ANIM00000.BVK"), picture_file(51200, 1));
         Invocation run = invoke(pack(path + "/ANIM00000.BVK", path + "/out.ZRP"));
         run.status = 0;
         run.outputs = {{path + "/out.ZRP", static_cast<long long>(container_size(1))}};
         return run;
     }},
    {"ContainerNonAsciiNames", Program::Container,
     [](const ScratchFolder& dir) {
         write_file(dir / (kUnicodeStem + "00000.BVK"), picture_file(51200, 1));
         write_file(dir / (kUnicodeStem + "00001.bvk"), picture_file(51200, 2));
         Invocation run = invoke({"-p", kUnicodeStem + "00000.BVK", "-S", "0", "-L", "1", "-o",
                                  "ausgabe-" + kUnicodeStem + ".ZRP"});
         run.status = 0;
         run.outputs = {
             {"ausgabe-" + kUnicodeStem + ".ZRP", static_cast<long long>(container_size(2))}};
         return run;
     }},
};

// Temporary files of either program: dot files in the folder.
std::vector<std::string> leftovers(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& name : list_folder(folder)) {
        if (name[0] == '.') found.push_back(name);
    }
    return found;
}

class BadInput : public ::testing::TestWithParam<Row> {};

TEST_P(BadInput, GetsItsMessage) {
    const Row& row = GetParam();
#ifdef _WIN32
    const std::string name = row.name;
    if (name.find("NameMax") != std::string::npos || name.find("PathMax") != std::string::npos ||
        name.find("250Characters") != std::string::npos) {
        GTEST_SKIP() << "Windows limits whole paths (MAX_PATH) rather than NAME_MAX and PATH_MAX";
    }
#endif
    ScratchFolder dir;
    Invocation run = row.prepare(dir);
    if (!run.skip.empty()) GTEST_SKIP() << run.skip;
    run.setup.folder = dir.path().string();
    std::vector<std::string> argv = {program_path(row.program)};
    argv.insert(argv.end(), run.args.begin(), run.args.end());

    const RunResult result = run_program(argv, run.setup);

    EXPECT_EQ(result.status, run.status) << "standard error:\n" << result.err;
    if (run.status == 0) {
        EXPECT_EQ(result.err, "");
    }
    for (const std::string& part : run.in_err) {
        EXPECT_NE(result.err.find(part), std::string::npos)
            << "standard error lacks \"" << part << "\":\n"
            << result.err;
    }
    for (const auto& [name, size] : run.outputs) {
#ifdef _WIN32
        std::error_code ec;
        const auto status = std::filesystem::status(utf8_path(dir / name), ec);
        ASSERT_TRUE(std::filesystem::exists(status)) << name << " was not written";
        EXPECT_TRUE(std::filesystem::is_regular_file(status)) << name;
        const auto file_size =
            static_cast<long long>(std::filesystem::file_size(utf8_path(dir / name)));
#else
        struct stat status {};
        ASSERT_EQ(::stat((dir / name).c_str(), &status), 0) << name << " was not written";
        EXPECT_TRUE(S_ISREG(status.st_mode)) << name;
        const long long file_size = status.st_size;
#endif
        if (size >= 0)
            EXPECT_EQ(file_size, size) << name;
        else
            EXPECT_GT(file_size, 0) << name;
    }
    for (const std::string& name : run.absent) EXPECT_FALSE(exists(dir / name)) << name;
    EXPECT_EQ(leftovers(dir.path().string()), std::vector<std::string>{});
    if (exists(dir / "ro")) {
        EXPECT_EQ(leftovers(dir / "ro"), std::vector<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BadInput, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

// A run whose output write fails half way (the file size limit makes the
// write fail with EFBIG) leaves the old file byte for byte and no temporary
// file; the message names the file.
TEST(InterruptedWrite, EncoderKeepsTheOldPicture) {
#ifdef _WIN32
    GTEST_SKIP() << "RLIMIT_FSIZE is POSIX-only";
#else
    ScratchFolder dir;
    write_file(dir / "pic.bmp", small_picture());
    const std::vector<std::string> argv = {BRENVIK_PATH, "--mode=4", "-0", "pic.bmp"};
    const RunResult first = run_program(argv, {dir.path()});
    ASSERT_EQ(first.status, 0) << first.err;
    const Bytes old_picture = read_file(dir / "pic.bVK");
    const Bytes old_diffused = read_file(dir / "Fpic.bVK");
    ASSERT_GT(old_picture.size(), 1000u);

    write_file(dir / "pic.bmp", bmp_file(320, 20, 77));  // new output would differ
    ChildSetup limited(dir.path().string());
    limited.file_size_limit = 1000;
    const RunResult second = run_program(argv, limited);

    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("pic.bVK: File too large"), std::string::npos) << second.err;
    EXPECT_NE(second.err.find("Fpic.bVK: File too large"), std::string::npos) << second.err;
    EXPECT_EQ(read_file(dir / "pic.bVK"), old_picture);
    EXPECT_EQ(read_file(dir / "Fpic.bVK"), old_diffused);
    EXPECT_EQ(leftovers(dir.path().string()), std::vector<std::string>{});
#endif
}

TEST(InterruptedWrite, ContainerWriterKeepsTheOldContainer) {
#ifdef _WIN32
    GTEST_SKIP() << "RLIMIT_FSIZE is POSIX-only";
#else
    ScratchFolder dir;
    for (int f = 0; f < 3; ++f) {
        write_file(dir / ("ANIM0000" + std::to_string(f) + ".BVK"),
                   picture_file(51200, static_cast<std::uint8_t>(f)));
    }
    write_file(dir / "snd.wav", picture_file(200000, 9));
    const std::vector<std::string> argv = {
        ZORPAMUX_CLI_PATH, "-p", "ANIM00000.BVK", "-s", "snd.wav", "-S", "0", "-L", "2", "-o",
        "out.ZRP"};
    const RunResult first = run_program(argv, {dir.path()});
    ASSERT_EQ(first.status, 0) << first.err;
    const Bytes old_container = read_file(dir / "out.ZRP");
    ASSERT_EQ(old_container.size(), container_size(3));

    // Frames 1 and 2 change; the header and pre-roll fit under the limit, the
    // first frame record does not.
    write_file(dir / "ANIM00001.BVK", picture_file(51200, 100));
    ChildSetup limited(dir.path().string());
    limited.file_size_limit = container_size(0) + 1000;
    const RunResult second = run_program(argv, limited);

    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("out.ZRP"), std::string::npos) << second.err;
    EXPECT_NE(second.err.find("File too large"), std::string::npos) << second.err;
    EXPECT_EQ(read_file(dir / "out.ZRP"), old_container);
    EXPECT_EQ(leftovers(dir.path().string()), std::vector<std::string>{});
#endif
}

// The same with a full disk: the old container stays when /dev/full is
// reached through a link that the writer follows.
TEST(InterruptedWrite, ContainerWriterNeverReplacesADeviceWithAFile) {
#ifdef _WIN32
    GTEST_SKIP() << "no /dev/full and no symbolic links to devices on Windows";
#else
    if (!exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    ScratchFolder dir;
    write_file(dir / "ANIM00000.BVK", picture_file(51200, 1));
    ASSERT_EQ(::symlink("/dev/full", (dir / "out.ZRP").c_str()), 0);
    const RunResult result =
        run_program({ZORPAMUX_CLI_PATH, "-p", "ANIM00000.BVK", "-o", "out.ZRP"}, {dir.path()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("No space left on device"), std::string::npos) << result.err;
    struct stat status {};
    ASSERT_EQ(::lstat((dir / "out.ZRP").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode)) << "the link to /dev/full was replaced";
    ASSERT_EQ(::stat("/dev/full", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode)) << "/dev/full is no longer a device";
    EXPECT_EQ(leftovers(dir.path().string()), std::vector<std::string>{});
#endif
}

}  // namespace
}  // namespace robustness
