#include "app/info_command.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "audio/reader_files.h"
#include "audio/reader_support.h"

using namespace dl;
using namespace reader_files;
using namespace reader_support;

namespace {

struct InfoRun {
    int status = 0;
    std::string out, err;
    std::map<std::string, std::string> keys;
};

// Runs the command with standard output and error sent to files.
InfoRun run_info(const std::string& path) {
    const std::string dir = dl_test::temp_dir();
    std::fflush(stdout);
    std::fflush(stderr);
    int saved_out = dup(1), saved_err = dup(2);
    int out = ::open((dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open((dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    InfoRun r;
    r.status = RunInfoCommand(path);
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved_out, 1);
    dup2(saved_err, 2);
    for (int fd : {out, err, saved_out, saved_err}) close(fd);
    r.out = dl_test::read_file(dir + "/out");
    r.err = dl_test::read_file(dir + "/err");
    size_t at = 0;
    while (at < r.out.size()) {
        size_t nl = r.out.find('\n', at);
        std::string line = r.out.substr(at, nl - at);
        size_t eq = line.find('=');
        if (eq != std::string::npos) r.keys[line.substr(0, eq)] = line.substr(eq + 1);
        at = nl == std::string::npos ? r.out.size() : nl + 1;
    }
    return r;
}

class InfoCommandTest : public ::testing::Test {
protected:
    void SetUp() override { reset_source(); }
    void TearDown() override {
        unsetenv("LC_ALL");
        reset_source();
    }
};

}  // namespace

TEST_F(InfoCommandTest, FactsOfEachFixture) {
    struct Case {
        const char* file;
        std::map<std::string, std::string> expect;
    } cases[] = {
        {"mp3_cbr128_44k_stereo.mp3",
         {{"format_tag", "0x0055"}, {"channels", "2"}, {"sample_rate", "44100"}, {"khz", "44"}, {"bits", "0"},
          {"block_align", "1"}, {"bytes_per_second", "16000"}, {"channel_layout", "2"}, {"data_bytes", "9194"},
          {"seconds", "0.50"}}},  // the sound of its frames, as mpg123 decodes it
        {"mp3_cbr64_22k_mono_id3v2.mp3",
         {{"format_tag", "0x0055"}, {"channels", "1"}, {"sample_rate", "22050"}, {"khz", "22"},
          {"bytes_per_second", "8000"}, {"channel_layout", "0"}, {"data_bytes", "4805"}, {"seconds", "0.50"}}},
        {"mp3_cbr128_48k_stereo.mp3",
         {{"sample_rate", "48000"}, {"khz", "48"}, {"bytes_per_second", "16000"}}},
        {"ogg_vorbis128_44k_stereo.ogg",
         {{"format_tag", "0x674f"}, {"channels", "2"}, {"bits", "0"}, {"block_align", "4"},
          {"bytes_per_second", "16000"}, {"channel_layout", "3"}, {"seconds", "0.50"}}},  // the record says 16 bits
        {"wav_pcm16_44k_stereo.wav",
         {{"format_tag", "0x0001"}, {"channels", "2"}, {"sample_rate", "44100"}, {"bits", "16"},
          {"block_align", "4"}, {"bytes_per_second", "176400"}, {"channel_layout", "3"}, {"data_bytes", "17640"},
          {"seconds", "0.10"}, {"format_record", "0100020044ac000010b1020004001000"}}},
        {"wav_pcm8_11k_mono.wav",
         {{"bits", "8"}, {"channel_layout", "0"}, {"khz", "11"}, {"seconds", "0.20"}}},
        {"wav_msadpcm_8k_mono.wav", {{"format_tag", "0x0002"}, {"bits", "4"}, {"khz", "8"}}},
    };
    for (const Case& c : cases) {
        reset_source();
        InfoRun r = run_info(data(c.file));
        EXPECT_EQ(r.status, 0) << c.file << ": " << r.err;
        for (const char* key : {"format_tag", "channels", "sample_rate", "khz", "bits", "block_align",
                                "bytes_per_second", "channel_layout", "data_bytes", "seconds", "format_record"})
            EXPECT_TRUE(r.keys.count(key)) << c.file << " lacks " << key;
        for (const auto& [key, value] : c.expect) {
            if (key == "format_record") EXPECT_EQ(r.keys[key].substr(0, value.size()), value) << c.file;
            else EXPECT_EQ(r.keys[key], value) << c.file << " " << key;
        }
    }
}

TEST_F(InfoCommandTest, TheMpegRecordCarriesTheBlockSize) {
    InfoRun r = run_info(data("mp3_cbr128_44k_stereo.mp3"));
    ASSERT_EQ(r.status, 0);
    // tag, 2 ch, 44100, 16000 B/s, align 1, 0 bits, cbSize 12, ID 1, flags 0, block 417, 1 frame, delay 1393
    EXPECT_EQ(r.keys["format_record"], "5500020044ac0000803e0000010000000c00010000000000a10101007105");
}

TEST_F(InfoCommandTest, FailuresGoToStandardErrorWithStatus1) {
    InfoRun r = run_info(dl_test::write_file("junk.bin", "not a sound"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "This file is not WAVE file\n");
    r = run_info(dl_test::temp_dir());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "cant open file\n");
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    r = run_info(dl_test::write_file("empty.wav", wave(pcm_fmt(1, 8000, 8), "")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "データ チャンクが空です。\n");
}

TEST_F(InfoCommandTest, DiagnosticBoxesDoNotChangeTheStatus) {
    Mpeg h;
    InfoRun r = run_info(dl_test::write_file("x.mp3", frame(h, 417, 32, 0, 100) + frame(h, 417)));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "FLAG ERROR\nFLAG ERROR\n");
    EXPECT_EQ(r.keys["data_bytes"], "834");
}

TEST_F(InfoCommandTest, TheProgramPrintsTheFactsAndExitsWithTheStatus) {
    dl_test::ProgramRun run = dl_test::run_program("--info " + data("mp3_cbr128_44k_stereo.mp3"));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("format_tag=0x0055\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("bytes_per_second=16000\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("format_record=5500020044ac0000803e0000010000000c00010000000000a10101007105\n"),
              std::string::npos) << run.out;
    run = dl_test::run_program("--info " + dl_test::temp_dir());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "cant open file\n");
}
