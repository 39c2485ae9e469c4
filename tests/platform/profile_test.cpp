#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/profile.h"
#include "support/test_support.h"

namespace {

mode_t mode_of(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool is_link(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The names in a folder, so a test sees a temporary file left behind.
std::vector<std::string> names_in(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ProfileTest, MissingFileSectionOrKeyGiveTheDefault) {
    const std::string dir = dl_test::temp_dir();
    EXPECT_EQ(dl::get_profile_string("s", "k", "dflt", 32, dir + "/none.ini"), "dflt");
    const std::string path = dl_test::write_file(dir + "/a.ini", "[other]\nk=1\n[s]\nj=2\n");
    EXPECT_EQ(dl::get_profile_string("s", "k", "dflt", 32, path), "dflt");
    EXPECT_EQ(dl::get_profile_string("S", "J", "dflt", 32, path), "2");  // names compare without case
}

TEST(ProfileTest, WritesReplaceKeysInPlaceAndAddNewOnesToTheSection) {
    const std::string dir = dl_test::temp_dir();
    const std::string path = dl_test::write_file(dir + "/b.ini", "; c\n[s]\na=1\nb=2\n\n[t]\nz=9\n");
    ASSERT_EQ(dl::write_profile_strings("s", {{"b", "20"}, {"c", "30"}}, path), dl::ProfileWrite::Written);
    EXPECT_EQ(dl_test::read_file(path), "; c\n[s]\na=1\nb=20\nc=30\n\n[t]\nz=9\n");
    ASSERT_EQ(dl::write_profile_string("new", "k", "v", path), dl::ProfileWrite::Written);
    EXPECT_EQ(dl::get_profile_string("new", "k", "", 32, path), "v");
    EXPECT_EQ(dl::get_profile_string("t", "z", "", 32, path), "9");
}

TEST(ProfileTest, LinesOfAWindowsEditorKeepTheirEndsAndASecondWriteChangesNothing) {
    const std::string dir = dl_test::temp_dir();
    const std::string text = "; from an editor\r\n[s]\r\na=1\r\nodd=x\r\r\r\n[t]\r\nz=9";
    const std::string path = dl_test::write_file(dir + "/crlf.ini", text);
    ASSERT_EQ(dl::write_profile_strings("s", {{"a", "2"}, {"c", "3"}}, path), dl::ProfileWrite::Written);
    const std::string once = dl_test::read_file(path);
    EXPECT_EQ(once, "; from an editor\r\n[s]\r\na=2\r\nodd=x\r\r\r\nc=3\n[t]\r\nz=9\n");
    EXPECT_EQ(dl::get_profile_string("s", "odd", "", 32, path), "x");
    ASSERT_EQ(dl::write_profile_strings("s", {{"a", "2"}, {"c", "3"}}, path), dl::ProfileWrite::Written);
    EXPECT_EQ(dl_test::read_file(path), once);
}

TEST(ProfileTest, ValuesAreTrimmedAndCutToTheBuffer) {
    const std::string path = dl_test::write_file(dl_test::temp_dir() + "/c.ini", "[s]\nk =  hello world  \r\n");
    EXPECT_EQ(dl::get_profile_string("s", "k", "", 32, path), "hello world");
    EXPECT_EQ(dl::get_profile_string("s", "k", "", 6, path), "hello");
}

TEST(ProfileTest, ASectionSnapshotAnswersLikeSingleLookupsFromOneRead) {
    // Repeated sections, a key twice (the first wins), quotes, blanks, comments and CR-LF line ends.
    const std::string path = dl_test::write_file(dl_test::temp_dir() + "/d.ini",
                                                 "[S]\r\nA = 1\r\n;b=commented\r\nq=\"quoted value\"\r\n"
                                                 "[t]\r\na=other\r\n[ s ]\r\na=2\r\nB='x'\r\nlong=abcdefghij\r\n"
                                                 "nokey\r\nhalf=\"open\r\n");
    const int before = dl::profile_file_reads();
    const dl::ProfileSection section("s", path);
    EXPECT_EQ(dl::profile_file_reads() - before, 1);
    struct Case {
        const char* key;
        size_t buffer;
        const char* want;
    };
    for (const Case& c : {Case{"a", 32, "1"}, Case{"b", 32, "x"}, Case{"Q", 32, "quoted value"},
                          Case{"long", 5, "abcd"}, Case{"long", 1, ""}, Case{"half", 32, "\"open"},
                          Case{"nokey", 32, "dflt"}, Case{";b", 32, "dflt"}, Case{"missing", 3, "df"}}) {
        EXPECT_EQ(section.get(c.key, "dflt", c.buffer), c.want) << c.key;
        EXPECT_EQ(dl::get_profile_string("s", c.key, "dflt", c.buffer, path), c.want) << c.key;
    }
    EXPECT_EQ(section.get("a", "dflt", 0), "");
    EXPECT_EQ(dl::ProfileSection("none", path).get("a", "dflt", 32), "dflt");
    EXPECT_EQ(dl::ProfileSection("s", path + ".missing").get("a", "dflt", 32), "dflt");
}

TEST(ProfileTest, AWriteKeepsTheFilesPermissions) {
    const std::string dir = dl_test::temp_dir();
    for (mode_t mode : {0600, 0640, 0664}) {
        const std::string path = dl_test::write_file(dir + "/p.ini", "[s]\na=1\n");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_EQ(dl::write_profile_string("s", "a", "2", path), dl::ProfileWrite::Written);
        EXPECT_EQ(mode_of(path), mode) << std::oct << mode;
        EXPECT_EQ(dl_test::read_file(path), "[s]\na=2\n");
    }
    // A new file is made as before: readable by all, written by its owner (within the umask).
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_EQ(dl::write_profile_string("s", "a", "1", dir + "/new.ini"), dl::ProfileWrite::Written);
    EXPECT_EQ(mode_of(dir + "/new.ini"), 0644 & ~mask);
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"new.ini", "p.ini"}));
}

TEST(ProfileTest, AReadOnlyFileIsLeftAsItIs) {
    // No write bit at all: left alone even for the superuser, whom access() lets write anything.
    const std::string dir = dl_test::temp_dir();
    const std::string text = "; mine\n[s]\na=1\n";
    const std::string path = dl_test::write_file(dir + "/r.ini", text);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(dl::write_profile_strings("s", {{"a", "2"}, {"b", "3"}}, path), dl::ProfileWrite::ReadOnly);
    EXPECT_EQ(dl_test::read_file(path), text);
    EXPECT_EQ(mode_of(path), 0444u);
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"r.ini"});
    // Reached through a link, the file it names decides.
    ASSERT_EQ(::symlink("r.ini", (dir + "/link.ini").c_str()), 0);
    EXPECT_EQ(dl::write_profile_string("s", "a", "2", dir + "/link.ini"), dl::ProfileWrite::ReadOnly);
    EXPECT_EQ(dl_test::read_file(path), text);
}

TEST(ProfileTest, AWriteGoesThroughSymbolicLinksToTheirTarget) {
    const std::string dir = dl_test::temp_dir();
    ASSERT_EQ(::mkdir((dir + "/real").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir + "/conf").c_str(), 0755), 0);
    const std::string target = dl_test::write_file(dir + "/real/t.ini", "[s]\na=1\n");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    // Absolute, relative (from the link's own folder, not the current one) and a chain of both.
    ASSERT_EQ(::symlink(target.c_str(), (dir + "/abs.ini").c_str()), 0);
    ASSERT_EQ(::symlink("../real/t.ini", (dir + "/conf/rel.ini").c_str()), 0);
    ASSERT_EQ(::symlink("conf/rel.ini", (dir + "/chain.ini").c_str()), 0);
    int n = 2;
    for (const char* link : {"/abs.ini", "/conf/rel.ini", "/chain.ini"}) {
        const std::string value = std::to_string(n++);
        ASSERT_EQ(dl::write_profile_string("s", "a", value, dir + link), dl::ProfileWrite::Written) << link;
        EXPECT_TRUE(is_link(dir + link)) << link;
        EXPECT_EQ(dl_test::read_file(target), "[s]\na=" + value + "\n") << link;
        EXPECT_EQ(dl::get_profile_string("s", "a", "", 32, dir + link), value) << link;
        EXPECT_EQ(mode_of(target), 0600u) << link;
    }
    // The temporary file was made beside the target, and none is left anywhere.
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"abs.ini", "chain.ini", "conf", "real"}));
    EXPECT_EQ(names_in(dir + "/real"), std::vector<std::string>{"t.ini"});
    EXPECT_EQ(names_in(dir + "/conf"), std::vector<std::string>{"rel.ini"});
    // A link to a file not there yet makes the file, and the link stays.
    ASSERT_EQ(::symlink("real/later.ini", (dir + "/dangling.ini").c_str()), 0);
    ASSERT_EQ(dl::write_profile_string("s", "a", "1", dir + "/dangling.ini"), dl::ProfileWrite::Written);
    EXPECT_TRUE(is_link(dir + "/dangling.ini"));
    EXPECT_EQ(dl_test::read_file(dir + "/real/later.ini"), "[s]\na=1\n");
    // A loop of links is a failure, not a hang.
    ASSERT_EQ(::symlink("loop2.ini", (dir + "/loop1.ini").c_str()), 0);
    ASSERT_EQ(::symlink("loop1.ini", (dir + "/loop2.ini").c_str()), 0);
    EXPECT_EQ(dl::write_profile_string("s", "a", "1", dir + "/loop1.ini"), dl::ProfileWrite::Failed);
    EXPECT_TRUE(is_link(dir + "/loop1.ini"));
}

}  // namespace
