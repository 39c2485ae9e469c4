// Compressed and wide sources played through the real disk audio driver: what reaches the device is
// compared with reference decodes made by the usual command-line decoders (mpg123 -s, oggdec, sox).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <string>

#include "audio/conversion.h"
#include "display/position_line.h"
#include "display/source_panel.h"
#include "ogg_pages.h"
#include "playback_fixture.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"

namespace {

using play_test::PlaybackFixture;

std::string data_path(const std::string& name) { return std::string(DEWLARK_TEST_DATA) + "/" + name; }
std::string fixture(const std::string& name) { return dl_test::read_file(data_path(name)); }

int16_t sample_at(const std::string& s, size_t byte) {
    return int16_t(uint16_t(uint8_t(s[byte])) | uint16_t(uint8_t(s[byte + 1])) << 8);
}

bool frames_close(const std::string& a, size_t at_a, const std::string& b, size_t at_b, size_t bytes,
                  int tolerance) {
    if (at_a + bytes > a.size() || at_b + bytes > b.size()) return false;
    for (size_t k = 0; k < bytes; k += 2)
        if (std::abs(sample_at(a, at_a + k) - sample_at(b, at_b + k)) > tolerance) return false;
    return true;
}

// Where in `played` the reference starts: the offset at which the reference's first sound (from its
// first non-zero sample on) was played; npos when it never was.
size_t find_reference(const std::string& played, const std::string& ref, int tolerance, size_t frame) {
    const size_t nonzero = ref.find_first_not_of('\0');
    if (nonzero == std::string::npos) return std::string::npos;
    const size_t lead = nonzero / frame * frame;
    const size_t probe = std::min<size_t>(2048, ref.size() - lead) / frame * frame;
    for (size_t at = lead; at + probe <= played.size(); at += frame)
        if (frames_close(played, at, ref, lead, probe, tolerance)) return at - lead;
    return std::string::npos;
}

// A walk through the played bytes and the reference side by side. Where a buffer decoded to nothing
// the engine plays 4 bytes of silence instead, so 4 zero bytes after which both agree again are
// counted, not taken for a difference.
struct Walk {
    size_t compared = 0;   // reference bytes walked
    size_t end = 0;        // played byte after the last one walked
    size_t differ = 0;     // frames beyond the tolerance
    size_t first_difference = std::string::npos;
    int worst = 0;
    int silences = 0;
};

Walk walk(const std::string& played, size_t at, const std::string& ref, int tolerance, size_t frame,
          bool stop_at_difference) {
    Walk w;
    size_t i = at, k = 0;
    while (k + frame <= ref.size() && i + frame <= played.size()) {
        if (frames_close(played, i, ref, k, frame, tolerance)) {
            i += frame, k += frame;
            continue;
        }
        // Several buffers in a row may have decoded to nothing.
        const size_t again = std::min<size_t>(16 * frame, ref.size() - k);
        int run = 0;
        while (run < 64 && played.compare(i + 4 * run, 4, std::string(4, '\0')) == 0 &&
               !frames_close(played, i + 4 * (run + 1), ref, k, again, tolerance))
            ++run;
        if (run < 64 && played.compare(i + 4 * run, 4, std::string(4, '\0')) == 0) {
            w.silences += run + 1;
            i += 4 * (run + 1);
            continue;
        }
        if (stop_at_difference) break;
        if (w.differ++ == 0) w.first_difference = k;
        for (size_t b = 0; b < frame; b += 2)
            w.worst = std::max(w.worst, std::abs(sample_at(played, i + b) - sample_at(ref, k + b)));
        i += frame, k += frame;
    }
    w.compared = k;
    w.end = i;
    return w;
}

bool silent_from(const std::string& played, size_t from) {
    return from >= played.size() || played.find_first_not_of('\0', from) == std::string::npos;
}

// One fixture of the matrix.
struct Matrix {
    const char* fixture;
    const char* reference;
    int tolerance;   // largest sample difference allowed where decoders round differently
    uint32_t rate;   // published and played
    uint16_t channels;
    int silences;    // 4-byte silences the engine may put where a buffer decodes to nothing
};

void PrintTo(const Matrix& m, std::ostream* os) { *os << m.fixture; }

std::string matrix_name(const ::testing::TestParamInfo<Matrix>& info) {
    std::string n = info.param.fixture;
    n = n.substr(0, n.rfind('.'));
    for (char& c : n)
        if (!std::isalnum(uint8_t(c))) c = '_';
    return n;
}

class CompressedPlayback : public PlaybackFixture, public ::testing::WithParamInterface<Matrix> {};

TEST_P(CompressedPlayback, PlaysToTheEndAsTheReferenceDecodes) {
    const Matrix& m = GetParam();
    start(data_path(m.fixture));
    ASSERT_TRUE(dl::SourceState.running) << (boxes_.boxes.empty() ? "" : boxes_.boxes.back().text);
    ASSERT_NE(dl::ConversionStream, nullptr);
    EXPECT_EQ(dl::SourceInfo.sample_rate, m.rate);
    EXPECT_EQ(dl::SourceInfo.khz, int(m.rate + 500) / 1000);
    EXPECT_EQ(dl::SourceInfo.ChannelLayout, m.channels == 1 ? 1 : 3);
    EXPECT_EQ(dl::SourceInfo.output_bytes_per_second, m.rate * 2 * m.channels);
    ASSERT_TRUE(dl::WaveOutDevice);
    EXPECT_EQ(dl::WaveOutDevice->bytes_per_second(), m.rate * 2 * m.channels) << "the device runs at the file's rate";
    ASSERT_TRUE(play_to_end());
    expect_controls_idle();
    EXPECT_EQ(dl::ConversionStream, nullptr);
    EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];

    const std::string ref = fixture(m.reference);
    const std::string played = dl_test::read_file(disk_);
    const size_t frame = 2u * m.channels;
    ASSERT_GT(ref.size(), 4096u);
    const size_t at = find_reference(played, ref, m.tolerance, frame);
    ASSERT_NE(at, std::string::npos) << "the reference never reached the device";
    EXPECT_TRUE(played.find_first_not_of('\0') >= at) << "sound before the file's";
    const Walk w = walk(played, at, ref, m.tolerance, frame, false);
    EXPECT_EQ(w.compared, ref.size()) << "short by " << ref.size() - w.compared << " of " << ref.size() << " bytes";
    EXPECT_EQ(w.differ, 0u) << "first at byte " << w.first_difference << ", worst " << w.worst;
    EXPECT_LE(w.silences, m.silences);
    EXPECT_TRUE(silent_from(played, w.end)) << "sound after the end, " << played.find_first_not_of('\0', w.end) - w.end
                                            << " bytes on";
}

// Every decoder matches its reference exactly: no tolerance was needed anywhere.
INSTANTIATE_TEST_SUITE_P(
    Files, CompressedPlayback,
    ::testing::Values(
        Matrix{"mp3_44k_stereo_128k_cbr.mp3", "mp3_44k_stereo_128k_cbr.ref.raw", 0, 44100, 2, 0},
        Matrix{"mp3_44k_stereo_vbr_xing.mp3", "mp3_44k_stereo_vbr_xing.ref.raw", 0, 44100, 2, 0},
        Matrix{"mp3_44k_stereo_vbr_xing_id3v2.mp3", "mp3_44k_stereo_vbr_xing_id3v2.ref.raw", 0, 44100, 2, 0},
        Matrix{"mp3_22k_mono_64k_mpeg2.mp3", "mp3_22k_mono_64k_mpeg2.ref.raw", 0, 22050, 1, 0},
        Matrix{"mp3_8k_mono_16k_mpeg25.mp3", "mp3_8k_mono_16k_mpeg25.ref.raw", 0, 8000, 1, 0},
        Matrix{"mp3_cbr128_48k_stereo.mp3", "mp3_cbr128_48k_stereo.ref.raw", 0, 48000, 2, 0},
        Matrix{"ogg_44k_stereo_q3.ogg", "ogg_44k_stereo_q3.ref.raw", 0, 44100, 2, 0},
        Matrix{"ogg_22k_mono_q0.ogg", "ogg_22k_mono_q0.ref.raw", 0, 22050, 1, 0},
        // The second link's header pages fill a buffer with no sound: one 4-byte silence there.
        Matrix{"ogg_44k_stereo_chained_same_format.ogg", "ogg_44k_stereo_chained_same_format.ref.raw", 0, 44100, 2, 1},
        // Its pages of sound (about 4 KB) complete only every few buffers; each buffer that completes
        // none plays 4 bytes of silence (three here).
        Matrix{"ogg_22k_mono_sine440.ogg", "ogg_22k_mono_sine440.ref.raw", 0, 22050, 1, 3},
        Matrix{"wav_8k_mono_alaw.wav", "wav_8k_mono_alaw.ref.raw", 0, 8000, 1, 0},
        Matrix{"wav_44k_stereo_mulaw.wav", "wav_44k_stereo_mulaw.ref.raw", 0, 44100, 2, 0},
        Matrix{"wav_44k_stereo_ima_adpcm.wav", "wav_44k_stereo_ima_adpcm.ref.raw", 0, 44100, 2, 0},
        Matrix{"wav_22k_mono_ima_adpcm.wav", "wav_22k_mono_ima_adpcm.ref.raw", 0, 22050, 1, 0},
        Matrix{"wav_44k_stereo_ms_adpcm.wav", "wav_44k_stereo_ms_adpcm.ref.raw", 0, 44100, 2, 0},
        Matrix{"wav_8k_mono_ms_adpcm.wav", "wav_8k_mono_ms_adpcm.ref.raw", 0, 8000, 1, 0},
        Matrix{"wav_44k_stereo_pcm24.wav", "wav_44k_stereo_pcm24.ref.raw", 0, 44100, 2, 0},
        Matrix{"wav_22k_mono_pcm32.wav", "wav_22k_mono_pcm32.ref.raw", 0, 22050, 1, 0},
        Matrix{"wav_44k_stereo_float32.wav", "wav_44k_stereo_float32.ref.raw", 0, 44100, 2, 0},
        Matrix{"wav_22k_mono_float64.wav", "wav_22k_mono_float64.ref.raw", 0, 22050, 1, 0}),
    matrix_name);

using CompressedMemoryMode = PlaybackFixture;

// The position a memory-mode play ends on is the length the length line gives: the real one, not the
// header's nominal byte rate (which makes this 10 s variable-rate file last 15 s).
TEST_F(CompressedMemoryMode, AVariableRateOggEndsOnItsRealLength) {
    dl::Settings.OnMem = 1;
    start(data_path("ogg_22k_mono_q0_long.ogg"));
    ASSERT_TRUE(dl::SourceState.running) << (boxes_.boxes.empty() ? "" : boxes_.boxes.back().text);
    ASSERT_EQ(dl::ChunkSize, dl::SourceInfo.DataTotal) << "the whole file is in memory";
    ASSERT_GT(double(dl::SourceInfo.DataTotal) / dl::SourceInfo.source_bytes_per_second, 14.5);
    const std::string end = dl::MemoryPlayEndText(), total = dl::LengthLineText();
    EXPECT_EQ(end, "Pos:       43 kb     10 sec");
    EXPECT_EQ(total, "Total:     43 kb     10 sec");
}

TEST_F(CompressedMemoryMode, LongLayer3FilePlaysThePartWhosePcmFitsMemSize) {
    // 15 s at 32 kbit/s: 60 KB of file, 2.6 MB of sound.
    dl::Settings.OnMem = 1;
    dl::Settings.MemSize = 2;
    start(data_path("mp3_44k_stereo_32k_long.mp3"));
    ASSERT_TRUE(dl::SourceState.running) << (boxes_.boxes.empty() ? "" : boxes_.boxes.back().text);
    EXPECT_EQ(dl::BufferCount, 1);
    EXPECT_EQ(dl::ConvertedSize, 2u << 20);
    EXPECT_LT(dl::ChunkSize, dl::SourceInfo.DataTotal) << "only part of the file is read";
    EXPECT_EQ(dl::WaveHeaders[0].user, dl::kLastBufferMark);
    EXPECT_LE(dl::BufferBytes[0], 2u << 20);
    ASSERT_TRUE(play_to_end());
    expect_controls_idle();
    EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];

    // The reference keeps every 64th stereo frame of the whole decode, and its first 16 KiB whole.
    const std::string head = fixture("mp3_44k_stereo_32k_long.head.ref.raw");
    const std::string every64 = fixture("mp3_44k_stereo_32k_long.every64.ref.raw");
    const std::string played = dl_test::read_file(disk_);
    const size_t at = find_reference(played, head, 0, 4);
    ASSERT_NE(at, std::string::npos);
    const size_t last = played.find_last_not_of('\0');
    ASSERT_NE(last, std::string::npos);
    const size_t length = last + 1 - at;
    EXPECT_LE(length, 2u << 20) << "no more than MemSize";
    // The size query answers for the densest frames any layer may have, so a file of 32 kbit/s
    // layer-3 frames fills a little over nine tenths of it.
    EXPECT_GT(length, (2u << 20) / 10 * 9) << "and not much less";
    EXPECT_LT(length, every64.size() * 64) << "not the whole sound";
    EXPECT_EQ(walk(played, at, head, 0, 4, true).compared, head.size());
    size_t checked = 0;
    for (size_t k = 0; 256 * k + 4 <= length && 4 * k + 4 <= every64.size(); ++k, ++checked)
        ASSERT_EQ(played.compare(at + 256 * k, 4, every64, 4 * k, 4), 0) << "at frame " << 64 * k;
    EXPECT_GT(checked, 7000u);
}

// Ogg pages with a valid checksum, so that damage and other codecs are the only faults in them.
std::string le(uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i));
    return s;
}

std::string ogg_page(uint32_t serial, uint32_t sequence, uint8_t flags, uint64_t granule, const std::string& packet) {
    std::string p = "OggS";
    p += char(0);
    p += char(flags);
    p += le(granule, 8) + le(serial, 4) + le(sequence, 4) + le(0, 4);
    std::string lacing;
    size_t left = packet.size();
    for (; left >= 255; left -= 255) lacing += char(255);
    lacing += char(left);
    p += char(lacing.size());
    p += lacing + packet;
    play_test::seal_ogg_page(p);
    return p;
}

std::string opus_stream(uint32_t serial) {
    const std::string head = std::string("OpusHead\x01\x02", 10) + le(312, 2) + le(48000, 4) + le(0, 2) + '\0';
    const std::string tags = "OpusTags" + le(7, 4) + "dewlark" + le(0, 4);
    std::string s = ogg_page(serial, 0, 2, 0, head) + ogg_page(serial, 1, 0, 0, tags);
    for (uint32_t n = 0; n < 8; ++n)
        s += ogg_page(serial, 2 + n, n == 7 ? 4 : 0, 960 * (n + 1), play_test::pattern(200, n + 1));
    return s;
}

// A byte in the body of the page at `offset` changes; its checksum no longer holds.
std::string damage_page(std::string file, size_t offset) {
    file[offset + 27 + uint8_t(file[offset + 26]) + 40] ^= 0x5A;
    return file;
}

struct Hostile {
    const char* name;
    std::function<std::string()> bytes;
    std::vector<std::string> messages;  // none when the file plays; "<file>" stands for its path
    const char* reference;              // what its valid part decodes to
    size_t reference_from;              // from this byte of the reference on
    size_t at_least;                    // reference bytes that must have played in order
    bool whole;                         // all of the reference plays, and nothing after it
    const char* ending = "";            // the start of the box that ends a play whose rest is lost
};

// Offsets in the fixtures: ogg_44k_stereo_q3.ogg has its identification page at 0, comments and
// codebooks at 58 and its one page of sound at 4002; the chain repeats that layout from 5680 on
// (sound at 9682). The 128 kbit/s MP3 has 418-byte frames after a 417-byte one.
std::vector<Hostile> hostile_streams() {
    const auto mp3 = [] { return fixture("mp3_44k_stereo_128k_cbr.mp3"); };
    const auto ogg = [] { return fixture("ogg_44k_stereo_q3.ogg"); };
    const auto chain = [] { return fixture("ogg_44k_stereo_chained_same_format.ogg"); };
    const char* mp3_ref = "mp3_44k_stereo_128k_cbr.ref.raw";
    const char* ogg_ref = "ogg_44k_stereo_q3.ref.raw";
    return {
        // Three frames of sound, then false syncs and bytes that never sync.
        {"junk after the first frames",
         [=] { return mp3().substr(0, 417 + 3 * 418) + std::string(60000, '\xFF') + play_test::pattern(60000, 9); },
         {}, mp3_ref, 0, 2 * 4608, false, "The rest of the file (120001 bytes) could not be decoded"},
        {"only the tag frame, then junk", [=] { return mp3().substr(0, 417) + play_test::pattern(60000, 3); },
         {"fff", "cannot convert"}, "", 0, 0, false},
        {"last frame cut short", [=] { return mp3().substr(0, mp3().size() - 200); },
         {}, mp3_ref, 0, 44100 - 3 * 4608, false},
        {"Ogg cut inside its page of sound", [=] { return ogg().substr(0, 5000); },
         {"cannot convert"}, "", 0, 0, false},
        {"bad checksum on the codebook page", [=] { return damage_page(ogg(), 58); },
         {"cannot convert"}, "", 0, 0, false},
        {"bad checksum on the second link's sound", [=] { return damage_page(chain(), 9682); },
         {}, ogg_ref, 0, 44100, true},
        {"bad checksum on the first link's sound", [=] { return damage_page(chain(), 4002); },
         {}, "ogg_44k_stereo_chained_same_format.ref.raw", 44100, 52920, true},
        // Its head is valid: the packets of noise decode to what they decode to, and the play ends.
        {"Opus in Ogg", [] { return opus_stream(77); }, {}, "", 0, 0, false},
        {"Vorbis then Opus", [=] { return ogg() + opus_stream(77); }, {}, ogg_ref, 0, 44100, true},
        {"chain that changes rate and channels",
         [] { return fixture("ogg_44k_stereo_then_22k_mono_chained.ogg"); }, {}, ogg_ref, 0, 44100, true},
        {"rate switch inside an MPEG stream", [] { return fixture("mp3_44k_then_48k_rate_switch.mp3"); },
         {}, mp3_ref, 0, 44100, true},
    };
}

class HostileStreams : public PlaybackFixture {};

TEST_F(HostileStreams, EachEndsWithItsMessageOrPlaysItsValidPart) {
    for (const Hostile& h : hostile_streams()) {
        SCOPED_TRACE(h.name);
        boxes_.boxes.clear();
        dl::CloseSource();
        dl::audio_quit();  // a fresh disk file for each
        dl::FileName = dl_test::write_file(dir_ + "/hostile.bin", h.bytes());
        dl::SourceState.mode = dl::SourceMode::File;
        dl::StartPlayback();
        // The loop gives up after its time limit: a hang fails here instead of blocking the suite.
        ASSERT_TRUE(play_to_end(10000)) << "did not end";
        expect_controls_idle();
        EXPECT_EQ(dl::ConversionStream, nullptr);
        EXPECT_TRUE(dl::ConversionInput.empty());
        if (!h.messages.empty()) {
            // A failed open names the file in its box.
            std::vector<std::string> expected = h.messages;
            for (std::string& m : expected)
                if (m.rfind("<file>", 0) == 0) m.replace(0, 6, dl::FileName);
            EXPECT_EQ(boxes_.texts(), expected);
            continue;
        }
        if (*h.ending) {
            ASSERT_EQ(boxes_.boxes.size(), 1u);
            EXPECT_EQ(boxes_.texts()[0].rfind(h.ending, 0), 0u) << boxes_.texts()[0];
        } else {
            EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];
        }
        const std::string played = dl_test::read_file(disk_);
        EXPECT_NE(played.find_first_not_of('\0'), std::string::npos) << "nothing played";
        if (!*h.reference) continue;
        const std::string ref = fixture(h.reference).substr(h.reference_from);
        const size_t at = find_reference(played, ref, 0, 4);
        ASSERT_NE(at, std::string::npos) << "the valid part never reached the device";
        const Walk w = walk(played, at, ref, 0, 4, true);
        EXPECT_GE(w.compared, h.at_least);
        if (h.whole) {
            EXPECT_EQ(w.compared, ref.size());
            EXPECT_TRUE(silent_from(played, w.end)) << "sound after the valid part";
        }
    }
}

}  // namespace
