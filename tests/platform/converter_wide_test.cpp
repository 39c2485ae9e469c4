// The samples at the width a stream holds them, beside the 16-bit ones: asking for them changes
// nothing of what plays, they come one for one with the 16-bit samples, and they keep what 16 bits
// cannot (the low bits of 24-bit and float sound, floats above full scale).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "converter_fixture.h"
#include "platform/converter.h"
#include "platform/decode_flac.h"
#include "platform/wave_format.h"
#include "support/test_support.h"

using namespace conv_test;

namespace {

struct Decoded {
    Bytes sixteen;
    std::vector<float> wide;
};

// Everything the converter hands out for `data` fed in blocks of `block` bytes into destinations of
// `room` bytes, the input then ended; with `wide`, the wide samples too.
Decoded decode(const Bytes& record, const Bytes& data, size_t block, size_t room, bool wide) {
    Decoded d;
    std::unique_ptr<dl::Converter> c;
    EXPECT_EQ(dl::Converter::open(record, c), dl::kConvertOk);
    if (!c) return d;
    if (wide) c->hand_out_wide([&d](const float* s, size_t n) { d.wide.insert(d.wide.end(), s, s + n); });
    Bytes dst(room);
    auto take = [&](const uint8_t* src, uint32_t n) {
        uint32_t used = 0;
        EXPECT_EQ(c->convert(src, n, dst.data(), uint32_t(dst.size()), used), dl::kConvertOk);
        d.sixteen.insert(d.sixteen.end(), dst.begin(), dst.begin() + used);
        while (c->pending_bytes() > 0) {
            c->convert(nullptr, 0, dst.data(), uint32_t(dst.size()), used);
            d.sixteen.insert(d.sixteen.end(), dst.begin(), dst.begin() + used);
        }
    };
    for (size_t at = 0; at < data.size(); at += block) take(&data[at], uint32_t(std::min(block, data.size() - at)));
    EXPECT_EQ(c->end_input(), dl::kConvertOk);
    take(nullptr, 0);
    return d;
}

int16_t sample(const Bytes& b, size_t i) { return int16_t(b[2 * i] | b[2 * i + 1] << 8); }

// Checks a source both ways; returns the wide samples for what the caller knows of them. `clipped`:
// the decoder clips its 16-bit samples softly, so near a loud peak they differ from the wide ones.
std::vector<float> check_both_ways(const std::string& what, const Bytes& record, const Bytes& data,
                                   bool clipped = false) {
    const Decoded plain = decode(record, data, 4096, 1 << 20, false);
    EXPECT_FALSE(plain.sixteen.empty()) << what;
    for (size_t block : {size_t(777), data.size()}) {
        // Small destinations leave output pending between calls, where the two kinds must stay in step.
        const Decoded both = decode(record, data, block, 1000, true);
        EXPECT_TRUE(both.sixteen == plain.sixteen) << what << ": the 16-bit samples change, blocks of " << block;
        EXPECT_EQ(both.wide.size() * 2, both.sixteen.size()) << what << ": blocks of " << block;
        if (both.wide.size() * 2 != both.sixteen.size()) continue;
        // Where the sound stays inside full scale each wide sample rounds to its 16-bit one.
        size_t apart = 0;
        for (size_t i = 0; i < both.wide.size() && !clipped; ++i)
            if (std::fabs(both.wide[i]) < 0.99f && std::fabs(both.wide[i] * 32768.f - sample(both.sixteen, i)) > 1.0f)
                ++apart;
        EXPECT_EQ(apart, 0u) << what << ": blocks of " << block;
        if (block == data.size()) return both.wide;
    }
    return {};
}

// How many of the samples hold more than 16 bits say.
size_t finer_than_sixteen_bits(const std::vector<float>& wide) {
    size_t n = 0;
    for (float x : wide) n += std::fabs(x * 32768.f - std::round(x * 32768.f)) > 1e-3f;
    return n;
}

TEST(WideSamples, TheFixturesOfEveryFormatComeBothWays) {
    // Whether the samples hold more than 16 bits say: the wide fixtures of 16-bit sound do not.
    enum Bits { Finer, Sixteen, Either };
    struct Case {
        const char* file;
        Bits bits;
    };
    for (const Case c : {Case{"wav_44k_stereo_pcm24.wav", Either}, Case{"wav_22k_mono_pcm32.wav", Either},
                         Case{"wav_44k_stereo_float32.wav", Finer}, Case{"wav_22k_mono_float64.wav", Either},
                         Case{"wav_8k_mono_alaw.wav", Sixteen}, Case{"wav_44k_stereo_mulaw.wav", Sixteen},
                         Case{"wav_44k_stereo_ima_adpcm.wav", Sixteen}, Case{"wav_8k_mono_ms_adpcm.wav", Sixteen},
                         Case{"ogg_44k_stereo_q3.ogg", Finer}, Case{"ogg_44k_stereo_chained_same_format.ogg", Finer},
                         Case{"mp3_44k_stereo_128k_cbr.mp3", Finer}, Case{"mp3_22k_mono_64k_mpeg2.mp3", Finer}}) {
        const std::string name = c.file;
        const Bytes file = load(name);
        Source s;
        if (name.ends_with(".wav")) s = wav_source(file);
        else if (name.ends_with(".ogg")) s = {ogg_record(file), file};
        else s = {mpeg_record(name.find("22k") != std::string::npos ? 22050 : 44100, name.find("mono") != std::string::npos ? 1 : 2), file};
        const std::vector<float> wide = check_both_ways(name, s.format, s.data);
        if (c.bits == Finer) {
            EXPECT_GT(finer_than_sixteen_bits(wide), wide.size() / 4) << name;
        } else if (c.bits == Sixteen) {
            EXPECT_EQ(finer_than_sixteen_bits(wide), 0u) << name;
        }
    }
}

// Made by the real encoders, loud enough to clip: the 16-bit samples stay the decoders' own (Opus
// clips softly, MP3 and Vorbis hard), the wide ones keep the peaks above full scale.
TEST(WideSamples, LoudLossyAndWideLosslessFilesFromTheEncoders) {
    const std::string dir = dl_test::temp_dir();
    const std::string script =
        "set -e; cd " + dir +
        "; sox -n -r 48000 -c 2 -b 24 loud.wav synth 1.5 square 997 square 1499 gain -n -0.1"
        "; flac -s loud.wav -o loud.flac; flac -s --ogg loud.wav -o loud.oga"
        "; opusenc --quiet loud.wav loud.opus; lame --quiet loud.wav loud.mp3; oggenc -Q loud.wav -o loud.ogg";
    const dl_test::ProgramRun made = dl_test::run_shell(script);
    ASSERT_EQ(made.status, 0) << made.err;

    Bytes opus_record(18, 0);
    dl::wr16(opus_record, dl::kFmtTag, dl::kTagOpus);
    dl::wr16(opus_record, dl::kFmtChannels, 2);
    dl::wr32(opus_record, dl::kFmtRate, 48000);
    const Bytes opus = load_path(dir + "/loud.opus");
    const std::vector<float> opus_wide = check_both_ways("opus", opus_record, opus, true);
    float loudest = 0;
    for (float x : opus_wide) loudest = std::max(loudest, std::fabs(x));
    EXPECT_GT(loudest, 1.0f) << "a square wave's edges ring above full scale";

    const Bytes mp3 = load_path(dir + "/loud.mp3");
    const std::vector<float> mp3_wide = check_both_ways("mp3", mpeg_record(48000, 2), mp3);
    loudest = 0;
    for (float x : mp3_wide) loudest = std::max(loudest, std::fabs(x));
    EXPECT_GT(loudest, 1.0f);

    const Bytes ogg = load_path(dir + "/loud.ogg");
    check_both_ways("vorbis", ogg_record(ogg), ogg);

    const Bytes wav = load_path(dir + "/loud.wav");
    const Source pcm = wav_source(wav);
    const std::vector<float> pcm_wide = check_both_ways("pcm24", pcm.format, pcm.data);
    ASSERT_FALSE(pcm_wide.empty());
    EXPECT_GT(finer_than_sixteen_bits(pcm_wide), pcm_wide.size() / 4);
    // The FLAC of the same samples gives the same wide samples, to the last of its 24 bits.
    const Bytes flac = load_path(dir + "/loud.flac");
    size_t pos = 4;
    Bytes record;
    for (bool last = false; !last && pos + 4 <= flac.size();) {
        last = flac[pos] & 0x80;
        const size_t len = size_t(flac[pos + 1]) << 16 | size_t(flac[pos + 2]) << 8 | flac[pos + 3];
        if ((flac[pos] & 0x7F) == 0) {
            record.assign(18, 0);
            dl::wr16(record, dl::kFmtTag, dl::kTagFlac);
            dl::wr16(record, dl::kFmtChannels, 2);
            dl::wr32(record, dl::kFmtRate, 48000);
            dl::wr16(record, dl::kFmtCbSize, 34);
            record.insert(record.end(), flac.begin() + long(pos) + 4, flac.begin() + long(pos) + 38);
        }
        pos += 4 + len;
    }
    const std::vector<float> flac_wide = check_both_ways("flac", record, Bytes(flac.begin() + long(pos), flac.end()));
    EXPECT_TRUE(flac_wide == pcm_wide);
}

}  // namespace
