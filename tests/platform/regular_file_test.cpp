// Reading and replacing the files the program keeps: only regular ones, whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/regular_file.h"
#include "support/test_support.h"

namespace {

using dl::FileRead;
using dl::FileReplace;

TEST(RegularFile, ReadsOnlyARegularFileWithinItsLimit) {
    const std::string dir = dl_test::temp_dir();
    std::string text = "left over";
    EXPECT_EQ(dl::read_regular_file(dir + "/none", 100, text), FileRead::Missing);
    EXPECT_EQ(text, "");
    const std::string file = dl_test::write_file(dir + "/ten", "0123456789");
    EXPECT_EQ(dl::read_regular_file(file, 10, text), FileRead::Read);
    EXPECT_EQ(text, "0123456789");
    EXPECT_EQ(dl::read_regular_file(file, 9, text), FileRead::TooLarge);
    EXPECT_EQ(text, "");
    // A FIFO with no writer would block an open for ever; a folder is no file either.
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0644), 0);
    EXPECT_EQ(dl::read_regular_file(dir + "/fifo", 100, text), FileRead::NotRegular);
    EXPECT_EQ(dl::read_regular_file(dir, 100, text), FileRead::NotRegular);
    // Through a link, what it names counts.
    ASSERT_EQ(::symlink("ten", (dir + "/link").c_str()), 0);
    EXPECT_EQ(dl::read_regular_file(dir + "/link", 100, text), FileRead::Read);
    EXPECT_EQ(text, "0123456789");
}

TEST(RegularFile, ReplacesARegularFileOrNoneAndLeavesAnythingElse) {
    const std::string dir = dl_test::temp_dir();
    struct stat st {};
    // A new file, made as a plain create makes it.
    const mode_t mask = ::umask(022);
    EXPECT_EQ(dl::replace_regular_file(dir + "/new", "abc", 0666), FileReplace::Written);
    ::umask(mask);
    ASSERT_EQ(::stat((dir + "/new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(dl_test::read_file(dir + "/new"), "abc");
    // An existing one keeps its permissions, and a link stays a link to it.
    ASSERT_EQ(::chmod((dir + "/new").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("new", (dir + "/link").c_str()), 0);
    EXPECT_EQ(dl::replace_regular_file(dir + "/link", "defg", 0666), FileReplace::Written);
    ASSERT_EQ(::lstat((dir + "/link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat((dir + "/new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(dl_test::read_file(dir + "/new"), "defg");
    // A FIFO, a folder and a link to a FIFO are left as they are.
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir((dir + "/folder").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("fifo", (dir + "/fifo_link").c_str()), 0);
    for (const char* name : {"/fifo", "/folder", "/fifo_link"})
        EXPECT_EQ(dl::replace_regular_file(dir + name, "x", 0666), FileReplace::NotRegular) << name;
    ASSERT_EQ(::stat((dir + "/fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // The longest name a folder takes still leaves room for the temporary file beside it.
    const std::string longest = dir + "/" + std::string(255, 'n');
    EXPECT_EQ(dl::replace_regular_file(longest, "long", 0666), FileReplace::Written);
    EXPECT_EQ(dl_test::read_file(longest), "long");
    // Nothing is left behind.
    EXPECT_EQ(dl_test::run_shell("ls -A " + dir + " | wc -l").out, "6\n");
}

}  // namespace
