#include <gtest/gtest.h>

#include "platform/profile.h"
#include "support/test_support.h"

namespace {

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
    ASSERT_TRUE(dl::write_profile_strings("s", {{"b", "20"}, {"c", "30"}}, path));
    EXPECT_EQ(dl_test::read_file(path), "; c\n[s]\na=1\nb=20\nc=30\n\n[t]\nz=9\n");
    ASSERT_TRUE(dl::write_profile_string("new", "k", "v", path));
    EXPECT_EQ(dl::get_profile_string("new", "k", "", 32, path), "v");
    EXPECT_EQ(dl::get_profile_string("t", "z", "", 32, path), "9");
}

TEST(ProfileTest, ValuesAreTrimmedAndCutToTheBuffer) {
    const std::string path = dl_test::write_file(dl_test::temp_dir() + "/c.ini", "[s]\nk =  hello world  \r\n");
    EXPECT_EQ(dl::get_profile_string("s", "k", "", 32, path), "hello world");
    EXPECT_EQ(dl::get_profile_string("s", "k", "", 6, path), "hello");
}

}  // namespace
