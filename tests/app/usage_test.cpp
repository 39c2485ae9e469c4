// How dewlark says how to call it, and what it says of what it cannot find.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

const std::string kWav = std::string(DEWLARK_TEST_DATA) + "/wav_pcm8_11k_mono.wav";

TEST(Usage, HelpVersionAndUnknownOptions) {
    dl_test::ProgramRun r = dl_test::run_program("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "dewlark " DEWLARK_VERSION "\n");

    r = dl_test::run_program_env("LC_ALL=C.UTF-8", "--help");
    EXPECT_EQ(r.status, 0);
    for (const char* part : {"/P", "/L", "/RATE", "--info", "--analyse", "--monitor", "--list-devices", "--set KEY=VALUE",
                             "--png OUT.png", "--seconds S", "--device NAME"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
    r = dl_test::run_program_env("LC_ALL=ja_JP.UTF-8", "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("使い方: dewlark", 0), 0u) << r.out;

    // An option the window does not know, wherever it stands; the usage goes to standard error.
    for (const std::string& args : {std::string("--bogus"), kWav + " --bogus"}) {
        r = dl_test::run_program(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("unknown option --bogus"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: dewlark"), std::string::npos) << r.err;
    }
}

TEST(Usage, AMissingFontIsNamedWithItsPackage) {
    const std::string dir = dl_test::temp_dir();
    const std::string conf = dl_test::write_file(dir + "/fonts.conf",
                                                 "<?xml version=\"1.0\"?><fontconfig><dir>" + dir +
                                                     "</dir><cachedir>" + dir + "</cachedir></fontconfig>");
    const dl_test::ProgramRun r = dl_test::run_program_env("FONTCONFIG_FILE=" + conf, "--analyse " + kWav);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("time,peak_hz"), std::string::npos);
    EXPECT_NE(r.err.find("the font \"DejaVu Sans Mono\" is missing (Debian package fonts-dejavu-core)"),
              std::string::npos)
        << r.err;
}

}  // namespace
