// Damaged, foreign and switching streams end cleanly: no crash, no hang,
// nothing in the wrong layout.
#include <gtest/gtest.h>

#include <ogg/ogg.h>

#include <cstring>
#include <random>

#include "converter_fixture.h"
#include "platform/converter.h"

using namespace conv_test;

namespace {

Bytes prefix(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + std::min(n, b.size())); }

Bytes noise(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = uint8_t(rng());
    return b;
}

// Converts and then asks once more with no input: a stopped stream stays silent.
Bytes convert_then_poll(const Bytes& format, const Bytes& data, bool* changed = nullptr) {
    auto c = open_or_fail(format);
    if (!c) return {};
    Bytes out = convert_all(*c, data, [] { return size_t(4096); });
    uint8_t tail[64];
    uint32_t used = 99;
    EXPECT_EQ(c->convert(tail, 0, tail, sizeof tail, used), dl::kConvertOk);
    EXPECT_EQ(used, 0u);
    if (changed) *changed = c->format_changed();
    return out;
}

TEST(HostileMpeg, JunkAfterValidFramesKeepsTheGoodAudio) {
    const Bytes mp3 = load("mp3_44k_stereo_128k_cbr.mp3");
    const Bytes ref = load("mp3_44k_stereo_128k_cbr.ref.raw");
    Bytes data = prefix(mp3, 417 * 8);
    const Bytes junk = noise(20000, 1);
    data.insert(data.end(), junk.begin(), junk.end());
    const Bytes out = convert_then_poll(mpeg_record(44100, 2), data);
    // The frames before the junk decode as they should.
    ASSERT_GE(out.size(), 4u * 1152 * 4);
    EXPECT_EQ(prefix(out, 4 * 1152 * 4), prefix(ref, 4 * 1152 * 4));
}

TEST(HostileMpeg, TruncatedLastFrameGivesAPrefixOfTheFullDecode) {
    const Bytes mp3 = load("mp3_44k_stereo_128k_cbr.mp3");
    const Bytes full = convert_whole(mpeg_record(44100, 2), mp3);
    const Bytes cut = convert_then_poll(mpeg_record(44100, 2), prefix(mp3, mp3.size() - 200));
    ASSERT_GT(cut.size(), 0u);
    EXPECT_LT(cut.size(), full.size());
    EXPECT_EQ(cut, prefix(full, cut.size()));
}

TEST(HostileMpeg, RateSwitchStopsAtTheChange) {
    bool changed = false;
    const Bytes out = convert_then_poll(mpeg_record(44100, 2), load("mp3_44k_then_48k_rate_switch.mp3"), &changed);
    EXPECT_TRUE(changed);
    const Bytes first = load("mp3_44k_stereo_128k_cbr.ref.raw");
    ASSERT_GE(out.size(), first.size());
    EXPECT_EQ(prefix(out, first.size()), first);
    // Nothing of the 48 kHz part: at most the first part's own padding frames.
    EXPECT_LE(out.size(), first.size() + 2 * 1152 * 4);
}

TEST(HostileMpeg, StreamNotMatchingItsRecordGivesNoAudio) {
    bool changed = false;
    const Bytes out = convert_then_poll(mpeg_record(44100, 1), load("mp3_44k_stereo_128k_cbr.mp3"), &changed);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(changed);
}

TEST(HostileOgg, BadPageChecksumSkipsThatPageOnly) {
    const Bytes ogg = load("ogg_44k_stereo_chained_same_format.ogg");
    const Bytes ref = load("ogg_44k_stereo_chained_same_format.ref.raw");
    const Bytes first_link = load("ogg_44k_stereo_q3.ref.raw");
    // Damage the body of the last audio page.
    size_t last = 0;
    for (size_t i = 0; i + 4 <= ogg.size(); ++i)
        if (std::memcmp(&ogg[i], "OggS", 4) == 0) last = i;
    ASSERT_GT(last, load("ogg_44k_stereo_q3.ogg").size());  // inside the second link
    Bytes bad = ogg;
    bad[last + 60] ^= 0x5A;
    const Bytes out = convert_then_poll(ogg_record(ogg), bad);
    EXPECT_LT(out.size(), ref.size());
    ASSERT_GE(out.size(), first_link.size());
    EXPECT_EQ(prefix(out, first_link.size()), first_link);
}

// A one-page Ogg stream whose first packet is `head`.
Bytes ogg_with_first_packet(const std::string& head) {
    ogg_stream_state os;
    ogg_stream_init(&os, 1234);
    ogg_packet p{};
    Bytes body(head.begin(), head.end());
    body.resize(std::max<size_t>(body.size(), 30));
    p.packet = body.data();
    p.bytes = long(body.size());
    p.b_o_s = 1;
    ogg_stream_packetin(&os, &p);
    Bytes audio(200, 0x11);
    ogg_packet q{};
    q.packet = audio.data();
    q.bytes = long(audio.size());
    q.packetno = 1;
    q.granulepos = 960;
    ogg_stream_packetin(&os, &q);
    Bytes out;
    ogg_page page;
    while (ogg_stream_flush(&os, &page)) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    }
    ogg_stream_clear(&os);
    return out;
}

TEST(HostileOgg, OtherCodecsInOggAreRefusedQuietly) {
    Bytes opus_head = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, 2, 0x38, 1, 0x80, 0xBB, 0, 0, 0, 0, 0};
    Bytes record = ogg_record(load("ogg_44k_stereo_q3.ogg"));
    for (const std::string& head : {std::string(opus_head.begin(), opus_head.end()), std::string("\x7f" "FLAC\x01\x00", 7),
                                    // Vorbis that claims six channels
                                    std::string("\x01vorbis\0\0\0\0\x06\x44\xac\0\0", 16)}) {
        const Bytes out = convert_then_poll(record, ogg_with_first_packet(head));
        EXPECT_TRUE(out.empty());
    }
}

TEST(HostileOgg, ChainToAnotherFormatStopsAfterTheFirstLink) {
    bool changed = false;
    const Bytes ogg = load("ogg_44k_stereo_then_22k_mono_chained.ogg");
    const Bytes out = convert_then_poll(ogg_record(ogg), ogg, &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(out, load("ogg_44k_stereo_q3.ref.raw"));
}

TEST(HostileAdpcm, UnusableBlockAlignIsRefusedAtOpen) {
    const Source ima = wav_source(load("wav_44k_stereo_ima_adpcm.wav"));
    const Source ms = wav_source(load("wav_44k_stereo_ms_adpcm.wav"));
    std::unique_ptr<dl::Converter> c;
    for (uint16_t align : {0, 3, 7}) {
        Bytes f = ima.format;
        put16(f, 12, align);
        EXPECT_EQ(dl::Converter::open(f, c), dl::kConvertNotPossible) << "IMA align " << align;
        f = ms.format;
        put16(f, 12, align);
        EXPECT_EQ(dl::Converter::open(f, c), dl::kConvertNotPossible) << "MS align " << align;
        EXPECT_FALSE(c);
    }
    // A coefficient count larger than the record holds.
    Bytes f = ms.format;
    put16(f, 18 + 2, 200);
    EXPECT_EQ(dl::Converter::open(f, c), dl::kConvertNotPossible);
}

TEST(HostileAdpcm, AbsurdButUsableBlockAlignDecodesWholeBlocksOnly) {
    Source ima = wav_source(load("wav_44k_stereo_ima_adpcm.wav"));
    put16(ima.format, 12, 65535);
    put16(ima.format, 18, 0);  // no samples-per-block hint
    const Bytes out = convert_then_poll(ima.format, ima.data);
    EXPECT_TRUE(out.empty());  // less than one block of data: held, never invented
    const Bytes data = noise(65535 * 2, 3);
    const Bytes two = convert_then_poll(ima.format, data);
    EXPECT_EQ(two.size(), 2u * ((65535 - 8) / 8 * 8 + 1) * 4);
}

TEST(HostileStreams, NoiseIntoEveryDecoderEndsCleanly) {
    const Bytes junk = noise(50000, 9);
    for (const Bytes& format :
         {mpeg_record(44100, 2), mpeg_record(8000, 1), ogg_record(load("ogg_22k_mono_q0.ogg")),
          wav_source(load("wav_44k_stereo_ima_adpcm.wav")).format,
          wav_source(load("wav_44k_stereo_ms_adpcm.wav")).format,
          wav_source(load("wav_44k_stereo_float32.wav")).format}) {
        auto c = open_or_fail(format);
        ASSERT_TRUE(c);
        uint32_t cap = 0;
        c->size_for_source(uint32_t(junk.size()), cap);
        Bytes dst(cap);
        uint32_t used = 0;
        EXPECT_EQ(c->convert(junk.data(), uint32_t(junk.size()), dst.data(), cap, used), dl::kConvertOk);
        EXPECT_LE(used, cap);
    }
}

TEST(ConverterOpen, RefusesWhatItCannotDecode) {
    std::unique_ptr<dl::Converter> c;
    Bytes f = mpeg_record(44100, 2);
    EXPECT_EQ(dl::Converter::open(prefix(f, 15), c), dl::kConvertInvalidParam);
    put16(f, 2, 6);
    EXPECT_EQ(dl::Converter::open(f, c), dl::kConvertNotPossible);  // six channels
    f = mpeg_record(44100, 2);
    put32(f, 4, 0);
    EXPECT_EQ(dl::Converter::open(f, c), dl::kConvertNotPossible);  // no rate
    f = mpeg_record(44100, 2);
    put16(f, 0, 0x0031);
    EXPECT_EQ(dl::Converter::open(f, c), dl::kConvertNotPossible);  // a tag we do not know
    EXPECT_FALSE(dl::Converter::can_decode(f));
    Bytes pcm24 = wav_source(load("wav_44k_stereo_pcm24.wav")).format;
    EXPECT_TRUE(dl::Converter::can_decode(pcm24));
    put16(pcm24, 12, 5);  // block align that does not match 24-bit stereo
    EXPECT_FALSE(dl::Converter::can_decode(pcm24));
}

TEST(ConverterOpen, ExtensibleNeedsAPcmOrFloatSubFormat) {
    Bytes f(40, 0);
    put16(f, 0, 0xFFFE);
    put16(f, 2, 2);
    put32(f, 4, 48000);
    put16(f, 12, 6);
    put16(f, 14, 24);
    put16(f, 16, 22);
    put16(f, 18, 24);
    const uint8_t guid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::memcpy(&f[24], guid, 16);
    std::unique_ptr<dl::Converter> c;
    ASSERT_EQ(dl::Converter::open(f, c), dl::kConvertOk);
    const Bytes frame = {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80};  // +full scale, -full scale
    uint8_t out[4];
    uint32_t used = 0;
    ASSERT_EQ(c->convert(frame.data(), 6, out, 4, used), dl::kConvertOk);
    ASSERT_EQ(used, 4u);
    EXPECT_EQ(int16_t(out[0] | out[1] << 8), 32767);
    EXPECT_EQ(int16_t(out[2] | out[3] << 8), -32768);
    f[24] = 2;  // MS ADPCM sub-format
    EXPECT_EQ(dl::Converter::open(f, c), dl::kConvertNotPossible);
    f[24] = 1;
    f[39] = 0;  // not the standard GUID tail
    EXPECT_EQ(dl::Converter::open(f, c), dl::kConvertNotPossible);
}

TEST(ConverterConvert, MissingBuffersAreInvalidParameters) {
    auto c = open_or_fail(mpeg_record(44100, 2));
    ASSERT_TRUE(c);
    uint8_t buf[16];
    uint32_t used = 7;
    EXPECT_EQ(c->convert(nullptr, 10, buf, sizeof buf, used), dl::kConvertInvalidParam);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(c->convert(buf, sizeof buf, nullptr, 100, used), dl::kConvertInvalidParam);
}

}  // namespace
