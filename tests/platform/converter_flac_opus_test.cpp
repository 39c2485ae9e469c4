// FLAC and Opus through the converter, fed in blocks of every size: the frames a block leaves
// unfinished wait for the next one, the last ones come out when the input ends, and the samples are
// the reference decoders'.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/converter.h"
#include "platform/decode_flac.h"
#include "platform/decode_opus.h"
#include "platform/wave_format.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string made_by(const std::string& command) {
    const dl_test::ProgramRun r = dl_test::run_shell(command);
    EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
    return r.out;
}

// The record the reader builds for a native FLAC file, and the frames after its metadata.
struct FlacSource {
    Bytes record;
    Bytes frames;
};

FlacSource flac_source(const Bytes& file) {
    FlacSource s;
    size_t pos = 4;
    for (bool last = false; !last && pos + 4 <= file.size();) {
        last = file[pos] & 0x80;
        const size_t len = size_t(file[pos + 1]) << 16 | size_t(file[pos + 2]) << 8 | file[pos + 3];
        if ((file[pos] & 0x7F) == 0) {
            const auto info = dl::decode::parse_flac_stream_info(&file[pos + 4]);
            s.record.assign(18, 0);
            dl::wr16(s.record, dl::kFmtTag, dl::kTagFlac);
            dl::wr16(s.record, dl::kFmtChannels, uint16_t(info.channels));
            dl::wr32(s.record, dl::kFmtRate, info.rate);
            dl::wr16(s.record, dl::kFmtCbSize, 34);
            s.record.insert(s.record.end(), file.begin() + long(pos) + 4, file.begin() + long(pos) + 38);
        }
        pos += 4 + len;
    }
    s.frames.assign(file.begin() + long(std::min(pos, file.size())), file.end());
    return s;
}

// Everything the converter makes of `data` fed `block` bytes at a time, then told the input ended.
Bytes convert_all(const Bytes& record, const Bytes& data, size_t block) {
    std::unique_ptr<dl::Converter> c;
    EXPECT_EQ(dl::Converter::open(record, c), dl::kConvertOk);
    if (!c) return {};
    Bytes out, dst(1 << 20);
    auto drain = [&](const uint8_t* src, uint32_t n) {
        uint32_t used = 0;
        EXPECT_EQ(c->convert(src, n, dst.data(), uint32_t(dst.size()), used), dl::kConvertOk);
        out.insert(out.end(), dst.begin(), dst.begin() + used);
        while (c->pending_bytes() > 0) {
            c->convert(nullptr, 0, dst.data(), uint32_t(dst.size()), used);
            out.insert(out.end(), dst.begin(), dst.begin() + used);
        }
    };
    for (size_t at = 0; at < data.size(); at += block) drain(&data[at], uint32_t(std::min(block, data.size() - at)));
    EXPECT_EQ(c->end_input(), dl::kConvertOk);
    drain(nullptr, 0);
    return out;
}

class FlacOpusConverter : public ::testing::Test {
protected:
    void SetUp() override { dir_ = dl_test::temp_dir(); }
    std::string dir_;
};

TEST_F(FlacOpusConverter, FlacFramesComeOutWholeWhateverTheBlocks) {
    const std::string wav = dir_ + "/tone.wav", flac = dir_ + "/tone.flac";
    made_by("sox -n -r 44100 -c 2 -b 16 " + wav + " synth 0.7 sine 440 sine 660 vol 0.5");
    // A small block size makes many frames, and a last one shorter than the others.
    made_by("flac -s -b 1152 " + wav + " -o " + flac);
    const FlacSource s = flac_source(bytes_of(dl_test::read_file(flac)));
    const Bytes reference = bytes_of(made_by("flac -s -d --force-raw-format --endian=little --sign=signed -c " + flac));
    ASSERT_EQ(reference.size(), 30870u * 4);
    for (size_t block : {size_t(1), size_t(13), size_t(4096), s.frames.size()})
        EXPECT_TRUE(convert_all(s.record, s.frames, block) == reference) << "blocks of " << block;
}

TEST_F(FlacOpusConverter, DamagedFlacFramesNeitherStopNorShiftTheRest) {
    const std::string wav = dir_ + "/tone.wav", flac = dir_ + "/tone.flac";
    made_by("sox -n -r 22050 -c 1 -b 16 " + wav + " synth 1 sine 440 vol 0.5");
    made_by("flac -s -b 2048 " + wav + " -o " + flac);
    const FlacSource s = flac_source(bytes_of(dl_test::read_file(flac)));
    const Bytes reference = bytes_of(made_by("flac -s -d --force-raw-format --endian=little --sign=signed -c " + flac));
    // A byte flipped inside a frame: its check fails and it comes out as silence of its length.
    Bytes damaged = s.frames;
    damaged[damaged.size() / 2] ^= 0x55;
    const Bytes out = convert_all(s.record, damaged, 4096);
    ASSERT_EQ(out.size(), reference.size());
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 4096, reference.begin()));
    EXPECT_TRUE(std::equal(out.end() - 4096, out.end(), reference.end() - 4096));
    EXPECT_NE(out, reference);
    // Cut in the middle of a frame: what is whole comes out, and nothing more.
    const Bytes cut(s.frames.begin(), s.frames.begin() + long(s.frames.size() / 2));
    const Bytes half = convert_all(s.record, cut, 1000);
    EXPECT_GT(half.size(), reference.size() / 3);
    EXPECT_LT(half.size(), reference.size() * 2 / 3);
    EXPECT_TRUE(std::equal(half.begin(), half.end(), reference.begin()));
    // Noise after the metadata: nothing plays, and the converter ends.
    Bytes noise(200000);
    uint32_t x = 7;
    for (uint8_t& b : noise) b = uint8_t((x = x * 1664525u + 1013904223u) >> 24);
    EXPECT_LT(convert_all(s.record, noise, 5000).size(), reference.size());
}

TEST_F(FlacOpusConverter, FlacRecordsThatCannotBeDecodedAreRefused) {
    const std::string wav = dir_ + "/tone.wav", flac = dir_ + "/tone.flac";
    made_by("sox -n -r 8000 -c 1 -b 16 " + wav + " synth 0.1 sine 440");
    made_by("flac -s " + wav + " -o " + flac);
    const FlacSource s = flac_source(bytes_of(dl_test::read_file(flac)));
    std::unique_ptr<dl::Converter> c;
    ASSERT_EQ(dl::Converter::open(s.record, c), dl::kConvertOk);
    Bytes short_extra(s.record.begin(), s.record.end() - 1);
    EXPECT_NE(dl::Converter::open(short_extra, c), dl::kConvertOk);
    Bytes two = s.record;  // a record that disagrees with its STREAMINFO
    dl::wr16(two, dl::kFmtChannels, 2);
    EXPECT_NE(dl::Converter::open(two, c), dl::kConvertOk);
    Bytes zero_block = s.record;  // the largest block below the least
    zero_block[18 + 2] = zero_block[18 + 3] = 0;
    EXPECT_NE(dl::Converter::open(zero_block, c), dl::kConvertOk);
}

// Opus: the 48 kHz samples opusdec gives (it rounds its floating-point output, we take the
// decoder's integer output: they may differ by one step).
TEST_F(FlacOpusConverter, OpusPagesDecodeAsOpusdecDecodesThem) {
    const std::string wav = dir_ + "/tone.wav", opus = dir_ + "/tone.opus";
    made_by("sox -n -r 48000 -c 2 -b 16 " + wav + " synth 1.3 sine 440 sine 1000 vol 0.5");
    made_by("opusenc --quiet " + wav + " " + opus);
    const Bytes file = bytes_of(dl_test::read_file(opus));
    const std::string raw = dir_ + "/ref.raw";
    made_by("opusdec --quiet --rate 48000 --no-dither " + opus + " " + raw);
    const Bytes reference = bytes_of(dl_test::read_file(raw));
    ASSERT_EQ(reference.size(), 62400u * 4) << "the pre-skip and the end trimmed";

    Bytes record(18, 0);
    dl::wr16(record, dl::kFmtTag, dl::kTagOpus);
    dl::wr16(record, dl::kFmtChannels, 2);
    dl::wr32(record, dl::kFmtRate, 48000);
    for (size_t block : {size_t(1), size_t(999), file.size()}) {
        const Bytes out = convert_all(record, file, block);
        ASSERT_EQ(out.size(), reference.size()) << "blocks of " << block;
        int worst = 0;
        for (size_t k = 0; k + 1 < out.size(); k += 2) {
            const int a = int16_t(out[k] | out[k + 1] << 8), b = int16_t(reference[k] | reference[k + 1] << 8);
            worst = std::max(worst, std::abs(a - b));
        }
        EXPECT_LE(worst, 1) << "blocks of " << block;
    }
    // The same stream is refused as mono, or at another rate.
    std::unique_ptr<dl::Converter> c;
    dl::wr32(record, dl::kFmtRate, 44100);
    EXPECT_NE(dl::Converter::open(record, c), dl::kConvertOk);
}

TEST_F(FlacOpusConverter, OpusHeadersAreCheckedBeforeAnythingIsDecoded) {
    auto head = [](uint8_t channels, uint8_t family, const std::string& table) {
        std::string h = std::string("OpusHead\x01", 9) + char(channels) + std::string("\x38\x01\x80\xbb\x00\x00\x00\x00", 8);
        return bytes_of(h + char(family) + table);
    };
    dl::decode::OpusHeadFacts f;
    const Bytes stereo = head(2, 0, "");
    ASSERT_EQ(dl::decode::check_opus_head(stereo.data(), stereo.size(), f), dl::decode::OpusHeadCheck::Ok);
    EXPECT_EQ(f.channels, 2u);
    EXPECT_EQ(f.pre_skip, 312u);
    EXPECT_EQ(f.input_rate, 48000u);
    // Family 1 needs its table: streams, coupled streams, one entry a channel, each in range.
    const Bytes six = head(6, 1, std::string("\x04\x02\x00\x04\x01\x02\x03\x05", 8));
    EXPECT_EQ(dl::decode::check_opus_head(six.data(), six.size(), f), dl::decode::OpusHeadCheck::Ok);
    EXPECT_EQ(f.channels, 6u);
    for (const Bytes& bad : {head(2, 1, std::string("\x01\x01\x00\x05", 4)),   // entry beyond the streams
                             head(2, 1, std::string("\x00\x00\x00\x01", 4)),   // no stream
                             head(2, 1, std::string("\x01", 1)),               // table cut
                             head(3, 0, ""),                                   // family 0 with 3 channels
                             head(0, 0, "")}) {
        EXPECT_EQ(dl::decode::check_opus_head(bad.data(), bad.size(), f), dl::decode::OpusHeadCheck::Broken);
    }
    const Bytes not_opus = bytes_of("OpusTags0123456789ab");
    EXPECT_EQ(dl::decode::check_opus_head(not_opus.data(), not_opus.size(), f), dl::decode::OpusHeadCheck::NotOpus);
}

}  // namespace
