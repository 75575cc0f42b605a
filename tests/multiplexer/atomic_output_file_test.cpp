#include "atomic_output_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>

#include "platform_files.h"
#include "test_support.h"

namespace {

using namespace zorpa_test;

TEST(ZorpaAtomicOutputFile, TemporaryFileSitsBesideTheTargetUntilCommit) {
    TempDir dir;
    const std::string target = dir.file("t.zrp");
    write_file(target, Bytes{'o', 'l', 'd'});
    fileout::AtomicOutputFile file(target);
    ASSERT_TRUE(file.open()) << file.error();
    EXPECT_EQ(fs::path(file.temporary_name()).parent_path(), dir.path());
    ASSERT_TRUE(file.write("new", 3));
    ASSERT_TRUE(file.write_at(0, "N", 1));
    EXPECT_EQ(read_file(target), (Bytes{'o', 'l', 'd'}));
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_EQ(read_file(target), (Bytes{'N', 'e', 'w'}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"t.zrp"});
}

TEST(ZorpaAtomicOutputFile, AbandonedFileLeavesTargetAndFolderAsTheyWere) {
    TempDir dir;
    const std::string target = dir.file("t.zrp");
    write_file(target, Bytes{'o', 'l', 'd'});
    {
        fileout::AtomicOutputFile file(target);
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("partial", 7));
    }
    EXPECT_EQ(read_file(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"t.zrp"});
}

TEST(ZorpaAtomicOutputFile, NewTargetInTheCurrentFolderForm) {
    TempDir dir;
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    fileout::AtomicOutputFile file("plain.zrp");
    const bool opened = file.open();
    const bool written = opened && file.write("x", 1) && file.commit();
    fs::current_path(previous);
    ASSERT_TRUE(written) << file.error();
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"plain.zrp"});
}

TEST(ZorpaAtomicOutputFile, NonAsciiNamesAreWrittenAndReadUnderTheirOwnName) {
    TempDir dir;
    // UTF-8 throughout: the folder's name, then a name with umlauts and CJK.
    const std::u8string folder = dir.path().u8string();
    const std::string name = "bild-\xC3\xA4\xC3\xB6\xC3\xBC-\xE5\x86\x99\xE7\x9C\x9F.zrp";
    const std::string target = std::string(folder.begin(), folder.end()) + "/" + name;
    fileout::AtomicOutputFile file(target);
    ASSERT_TRUE(file.open()) << file.error();
    ASSERT_TRUE(file.write("abc", 3));
    ASSERT_TRUE(file.commit()) << file.error();

    const fs::path expected = dir.path() / std::u8string(name.begin(), name.end());
    EXPECT_TRUE(fs::is_regular_file(expected)) << "not written under its UTF-8 name";
    EXPECT_EQ(read_file(expected), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // The reading side takes the same name.
    std::FILE* in = platform::open_stdio_file(target, "rb");
    ASSERT_NE(in, nullptr);
    char bytes[4] = {};
    EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, in), 3u);
    std::fclose(in);
    EXPECT_EQ(std::string(bytes, 3), "abc");
    const int fd = platform::open_for_reading(target);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(platform::end_offset(fd), 3);
    platform::close_file(fd);
}

TEST(ZorpaAtomicOutputFile, ReplacingKeepsNoTemporaryFileAndReadsBackAtAnyOffset) {
    TempDir dir;
    const std::string target = dir.file("r.zrp");
    write_file(target, Bytes(100, 'o'));
    fileout::AtomicOutputFile file(target);
    ASSERT_TRUE(file.open()) << file.error();
    ASSERT_TRUE(file.write("0123456789", 10));
    ASSERT_TRUE(file.write_at(2, "ab", 2));
    ASSERT_TRUE(file.write("XY", 2));  // appends after the 10, not after the overwrite
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_EQ(read_file(target),
              (Bytes{'0', '1', 'a', 'b', '4', '5', '6', '7', '8', '9', 'X', 'Y'}));

    const int fd = platform::open_for_reading(target);
    ASSERT_GE(fd, 0);
    char middle[3] = {};
    EXPECT_EQ(platform::read_some_at(fd, middle, 3, 9), 3);
    EXPECT_EQ(std::string(middle, 3), "9XY");
    char first[2] = {};
    EXPECT_EQ(platform::read_some(fd, first, 2), 2) << "read_some_at moved the position";
    EXPECT_EQ(std::string(first, 2), "01");
    platform::close_file(fd);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"r.zrp"});
}

}  // namespace
