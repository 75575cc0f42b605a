#include "atomic_output_file.h"

#include <gtest/gtest.h>

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

}  // namespace
