// What a header claims sizes nothing beyond what the file and one time slice can need: byte rates
// of 0 or 4 GB a second in files of a few kilobytes, analysed with the smallest and largest slices.
#include <gtest/gtest.h>

#include <cmath>

#include "audio/playback_fixture.h"
#include "platform/wave_format.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::string stereo_tone(size_t frames) {
    std::string d;
    for (size_t k = 0; k < frames; ++k) {
        const int16_t v = int16_t(8000 * std::sin(2 * M_PI * 440 * double(k) / 44100));
        for (int c = 0; c < 2; ++c) d += {char(v), char(v >> 8)};
    }
    return d;
}

// The file with the byte rate of its first "fmt " chunk replaced.
std::string with_byte_rate(std::string wav, uint32_t rate) {
    const size_t fmt = wav.find("fmt ");
    for (int i = 0; i < 4; ++i) wav[fmt + 16 + size_t(i)] = char(rate >> (8 * i));
    return wav;
}

dl_test::MeasuredRun analyse(const std::string& path, int deltatime) {
    return dl_test::run_program_measured({"--analyse", path, "--set", "deltatime=" + std::to_string(deltatime)});
}

// Each variant analyses like the good file, within a few megabytes of its memory.
void expect_bounded(const std::string& dir, const std::string& name, const std::string& good) {
    const std::string good_path = dl_test::write_file(dir + "/" + name + ".wav", good);
    for (int deltatime : {32, 32768}) {
        const dl_test::MeasuredRun reference = analyse(good_path, deltatime);
        ASSERT_EQ(reference.status, 0) << name;
        ASSERT_GT(reference.out.size(), 40u) << name << ": rows";
        for (uint32_t rate : {0xFFFFFFFFu, 0u, 1u}) {
            const std::string bad = dl_test::write_file(dir + "/" + name + std::to_string(rate) + ".wav",
                                                        with_byte_rate(good, rate));
            const dl_test::MeasuredRun r = analyse(bad, deltatime);
            const std::string what = name + " byte rate " + std::to_string(rate) + " deltatime " +
                                     std::to_string(deltatime);
            EXPECT_EQ(r.status, 0) << what;
            EXPECT_EQ(r.out, reference.out) << what;
            EXPECT_LT(r.peak_kb, reference.peak_kb + 16 * 1024) << what;
            if (!kSanitized) {
                EXPECT_LT(r.peak_kb, 64 * 1024) << what;
            }
        }
    }
}

TEST(HeaderBounds, PlainSamplesTakeTheirByteRateFromRateAndBlock) {
    const std::string dir = dl_test::temp_dir();
    expect_bounded(dir, "pcm16", dl_test::pcm_wav(2, 44100, 16, stereo_tone(2000)));
}

TEST(HeaderBounds, ConvertedCodingsReadNoMoreThanASliceNeeds) {
    const std::string dir = dl_test::temp_dir();
    const std::string plain = dl_test::write_file(dir + "/plain.wav", dl_test::pcm_wav(2, 44100, 16, stereo_tone(6000)));
    struct Coding {
        const char* name;
        const char* sox;
    } codings[] = {{"ima", "-e ima-adpcm"}, {"ms", "-e ms-adpcm"}, {"f64", "-e floating-point -b 64"}, {"s24", "-b 24"}};
    for (const Coding& c : codings) {
        const std::string out = dir + "/" + c.name + "_made.wav";
        ASSERT_EQ(dl_test::run_shell("sox " + plain + " " + c.sox + " " + out).status, 0) << c.name;
        expect_bounded(dir, c.name, dl_test::read_file(out));
    }
}

TEST(HeaderBounds, DerivedByteRates) {
    auto derived = [](uint16_t tag, uint32_t rate, uint16_t align, uint16_t sub = 0) {
        std::vector<uint8_t> r(40, 0);
        dl::wr16(r, dl::kFmtTag, tag);
        dl::wr32(r, dl::kFmtRate, rate);
        dl::wr32(r, dl::kFmtBytesPerSec, 12345);
        dl::wr16(r, dl::kFmtBlockAlign, align);
        dl::wr16(r, dl::kFmtCbSize, 22);
        dl::wr16(r, dl::kFmtExtra + 6, sub);
        dl::WaveFormat f;
        EXPECT_TRUE(dl::parse_wave_format(r, f));
        return dl::derived_byte_rate(f);
    };
    EXPECT_EQ(derived(dl::kTagPcm, 44100, 4), 176400u);
    EXPECT_EQ(derived(dl::kTagFloat, 48000, 16), 768000u);
    EXPECT_EQ(derived(dl::kTagMuLaw, 8000, 1), 8000u);
    EXPECT_EQ(derived(dl::kTagExtensible, 96000, 6, dl::kTagPcm), 576000u);
    EXPECT_EQ(derived(dl::kTagExtensible, 96000, 6, dl::kTagMpegLayer3), 0u) << "a sub-format of its own";
    EXPECT_EQ(derived(dl::kTagImaAdpcm, 44100, 2048), 0u) << "blocks of compressed sound keep their figure";
    EXPECT_EQ(derived(dl::kTagPcm, 0xFFFFFFFFu, 0xFFFF), 0u) << "does not fit";
}

TEST(HeaderBounds, AdpcmLengthFollowsTheBlockLayoutWhateverTheHeaderSays) {
    const std::string dir = dl_test::temp_dir();
    const std::string plain = dl_test::write_file(dir + "/plain.wav", dl_test::pcm_wav(2, 44100, 16, stereo_tone(132300)));
    for (const char* coding : {"ima-adpcm", "ms-adpcm"}) {
        const std::string made = dir + "/" + coding + ".wav";
        ASSERT_EQ(dl_test::run_shell(std::string("sox ") + plain + " -e " + coding + " " + made).status, 0);
        const std::string good = dl_test::read_file(made);
        const dl_test::ProgramRun reference = dl_test::run_program("--info " + made);
        ASSERT_EQ(reference.status, 0) << reference.err;
        ASSERT_NE(reference.out.find("seconds=3.00\n"), std::string::npos) << reference.out;
        const size_t rate_line = reference.out.find("bytes_per_second=");
        ASSERT_NE(rate_line, std::string::npos);
        const std::string said = reference.out.substr(rate_line, reference.out.find('\n', rate_line) - rate_line);
        // sox writes the figure of the block layout; a header with 0, 1 or 4 GB a second says the same length.
        for (uint32_t rate : {0u, 1u, 0xFFFFFFFFu}) {
            const std::string bad = dl_test::write_file(dir + "/bad" + std::to_string(rate) + coding + ".wav",
                                                        with_byte_rate(good, rate));
            const dl_test::ProgramRun r = dl_test::run_program("--info " + bad);
            EXPECT_EQ(r.status, 0) << coding << " " << rate;
            EXPECT_NE(r.out.find("seconds=3.00\n"), std::string::npos) << coding << " " << rate << "\n" << r.out;
            EXPECT_NE(r.out.find(said + "\n"), std::string::npos) << coding << " " << rate << "\n" << r.out;
        }
    }
    auto adpcm = [](uint16_t tag, uint32_t rate, uint16_t align, uint16_t samples_per_block, uint16_t cb = 2) {
        std::vector<uint8_t> r(20, 0);
        dl::wr16(r, dl::kFmtTag, tag);
        dl::wr32(r, dl::kFmtRate, rate);
        dl::wr16(r, dl::kFmtBlockAlign, align);
        dl::wr16(r, dl::kFmtCbSize, cb);
        dl::wr16(r, dl::kFmtExtra, samples_per_block);
        dl::WaveFormat f;
        EXPECT_TRUE(dl::parse_wave_format(r, f));
        return dl::adpcm_byte_rate(f);
    };
    EXPECT_EQ(adpcm(dl::kTagImaAdpcm, 44100, 512, 505), 44711u);
    EXPECT_EQ(adpcm(dl::kTagMsAdpcm, 8000, 256, 500), 4096u);
    EXPECT_EQ(adpcm(dl::kTagImaAdpcm, 44100, 512, 0), 0u) << "no layout, no figure";
    EXPECT_EQ(adpcm(dl::kTagImaAdpcm, 44100, 512, 505, 0), 0u) << "no extra bytes";
    EXPECT_EQ(adpcm(dl::kTagPcm, 44100, 4, 1), 0u);
}

}  // namespace
