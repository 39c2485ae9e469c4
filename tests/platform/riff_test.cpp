#include "platform/riff.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/wave_format.h"
#include "platform/wave_format_query.h"
#include "support/test_support.h"
#include "support/wav_builder.h"

using namespace dl;

namespace {

using dl_test::chunk;
using dl_test::riff;
std::unique_ptr<RiffFile> open_bytes(const std::string& bytes) {
    return RiffFile::open(dl_test::write_file("walk.riff", bytes));
}

}  // namespace

TEST(RiffWalker, DescendsFindsAscendsAndReads) {
    auto f = open_bytes(riff("WAVE", chunk("LIST", "abc") + chunk("fmt ", "0123456789abcdef") + chunk("data", "xyz", -1, false)));
    ASSERT_TRUE(f);
    RiffChunk outer, sub;
    ASSERT_TRUE(f->descend_riff(outer));
    EXPECT_EQ(outer.form_type, fourcc("WAVE"));
    EXPECT_EQ(outer.data_offset, 8u);
    EXPECT_EQ(f->tell(), 12u);
    ASSERT_TRUE(f->descend_chunk(sub, outer, fourcc("fmt ")));
    EXPECT_EQ(sub.size, 16u);
    EXPECT_EQ(sub.data_offset, 12u + 12u + 8u);  // past "LIST", its 3 bytes and the pad byte
    char buf[16];
    ASSERT_EQ(f->read(buf, 16), 16);
    EXPECT_EQ(std::string(buf, 16), "0123456789abcdef");
    f->ascend(sub);
    ASSERT_TRUE(f->descend_chunk(sub, outer, fourcc("data")));
    EXPECT_EQ(sub.size, 3u);
    EXPECT_EQ(f->read(buf, 16), 3);  // only what the file holds
    f->ascend(sub);
    EXPECT_EQ(f->tell(), f->file_size());  // the pad byte is past the end and not invented
    EXPECT_FALSE(f->descend_chunk(sub, outer, fourcc("data")));
}

TEST(RiffWalker, FormTypeFilterAndAnyForm) {
    auto f = open_bytes(riff("RMP3", chunk("data", "1234")));
    RiffChunk want;
    want.form_type = fourcc("WAVE");
    EXPECT_FALSE(f->descend_riff(want));
    f->seek(0, SEEK_SET);
    RiffChunk any;
    ASSERT_TRUE(f->descend_riff(any));
    EXPECT_EQ(any.form_type, fourcc("RMP3"));
}

TEST(RiffWalker, DeclaredSizesAreClampedToTheFileAndTheParent) {
    for (uint32_t declared : {0xFFFFFFFFu, 0xFFFFFFF8u, 1000u}) {
        auto f = open_bytes(riff("WAVE", chunk("data", "abcd", declared), declared));
        RiffChunk outer, sub;
        ASSERT_TRUE(f->descend_riff(outer)) << declared;
        EXPECT_EQ(outer.size, f->file_size() - 8) << declared;
        EXPECT_EQ(outer.declared_size, declared);
        ASSERT_TRUE(f->descend_chunk(sub, outer, fourcc("data")));
        EXPECT_EQ(sub.size, 4u);
        EXPECT_EQ(sub.declared_size, declared);
    }
    // A child cannot reach past a parent that ends before the file does.
    std::string inner = riff("WAVE", chunk("data", "abcdefgh", 100));
    inner.replace(4, 4, dl_test::u32le(4 + 8 + 4));  // the parent ends 4 bytes into the data
    auto f = open_bytes(inner + "trailing bytes");
    RiffChunk outer, sub;
    ASSERT_TRUE(f->descend_riff(outer));
    ASSERT_TRUE(f->descend_chunk(sub, outer, fourcc("data")));
    EXPECT_EQ(sub.size, 4u);
}

TEST(RiffWalker, HeadersThatDoNotFitAreNotChunks) {
    // A chunk header must lie wholly inside its parent and the file.
    for (const std::string& bytes : {std::string(), std::string("RIFF"), std::string("RIFF\x04\x00\x00", 7),
                                     std::string("RIFF\x02\x00\x00\x00WA", 10)}) {
        auto f = open_bytes(bytes);
        RiffChunk c;
        EXPECT_FALSE(f->descend_riff(c)) << bytes.size();
    }
    auto f = open_bytes(riff("WAVE", "fmt \x10"));
    RiffChunk outer, sub;
    ASSERT_TRUE(f->descend_riff(outer));
    EXPECT_FALSE(f->descend_chunk(sub, outer, fourcc("fmt ")));
}

TEST(RiffWalker, OddChunksHonourThePadByte) {
    auto with_pad = open_bytes(riff("WAVE", chunk("JUNK", "abc") + chunk("data", "xy")));
    auto without = open_bytes(riff("WAVE", chunk("JUNK", "abc", -1, false) + chunk("data", "xy")));
    RiffChunk outer, sub;
    ASSERT_TRUE(with_pad->descend_riff(outer));
    EXPECT_TRUE(with_pad->descend_chunk(sub, outer, fourcc("data")));
    ASSERT_TRUE(without->descend_riff(outer));
    EXPECT_FALSE(without->descend_chunk(sub, outer, fourcc("data")));
}

TEST(RiffWalker, EverySearchEndsEvenOverManyTinyChunks) {
    std::string chunks;
    for (int i = 0; i < 20000; ++i) chunks += chunk("JUNK", "", 0);
    auto f = open_bytes(riff("WAVE", chunks + chunk("data", "z")));
    RiffChunk outer, sub;
    ASSERT_TRUE(f->descend_riff(outer));
    ASSERT_TRUE(f->descend_chunk(sub, outer, fourcc("data")));
    EXPECT_EQ(sub.data_offset, 12u + 20000u * 8 + 8);
    // Searching again from there finds nothing and stays within the file.
    f->ascend(sub);
    EXPECT_FALSE(f->descend_chunk(sub, outer, fourcc("data")));
    EXPECT_LE(f->tell(), f->file_size());
}

TEST(RiffWalker, SeekAndReadStayWithinTheFile) {
    auto f = open_bytes("0123456789");
    EXPECT_EQ(f->seek(-1, SEEK_SET), -1);
    EXPECT_EQ(f->seek(-11, SEEK_END), -1);
    EXPECT_EQ(f->seek(-3, SEEK_END), 7);
    char b[8];
    EXPECT_EQ(f->read(b, 8), 3);
    EXPECT_EQ(f->seek(100, SEEK_SET), 100);
    EXPECT_EQ(f->read(b, 8), 0);
    EXPECT_EQ(f->seek(2, SEEK_SET), 2);
    EXPECT_EQ(f->read(b, 2), 2);
    EXPECT_EQ(f->seek(1, SEEK_CUR), 5);
    EXPECT_EQ(f->read(b, 1), 1);
    EXPECT_EQ(b[0], '5');
    EXPECT_EQ(f->read(b, -1), -1);
}

TEST(RiffWalker, LargeReadsMatchTheFile) {
    std::string big(100000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 31 + (i >> 8));
    auto f = open_bytes(big);
    std::string got(big.size(), '\0');
    ASSERT_EQ(f->read(got.data(), 3), 3);
    ASSERT_EQ(f->read(got.data() + 3, 40000), 40000);
    ASSERT_EQ(f->read(got.data() + 40003, 100000), 100000 - 40003);
    EXPECT_EQ(got, big);
}

TEST(RiffWalker, OnlyRegularFilesOpen) {
    const std::string dir = dl_test::temp_dir();
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    alarm(20);  // a blocking open would hang here
    EXPECT_FALSE(RiffFile::open(fifo));
    EXPECT_FALSE(RiffFile::open(dir));
    EXPECT_FALSE(RiffFile::open("/dev/null"));
    EXPECT_FALSE(RiffFile::open(""));
    EXPECT_FALSE(RiffFile::open(dir + "/missing"));
    alarm(0);
    unlink(fifo.c_str());
}

TEST(WaveFormatQuery, DevicePcmAndDecodableFormatsPass) {
    auto rec = [](uint16_t tag, uint16_t ch, uint32_t rate, uint16_t align, uint16_t bits) {
        std::vector<uint8_t> r(16);
        auto put = [&](size_t at, uint32_t v, int n) {
            for (int i = 0; i < n; ++i) r[at + size_t(i)] = uint8_t(v >> (8 * i));
        };
        put(0, tag, 2);
        put(2, ch, 2);
        put(4, rate, 4);
        put(8, rate * align, 4);
        put(12, align, 2);
        put(14, bits, 2);
        return r;
    };
    EXPECT_EQ(wave_out_query(rec(1, 2, 44100, 4, 16)), kWaveOk);
    EXPECT_EQ(wave_out_query(rec(1, 1, 8000, 1, 8)), kWaveOk);
    EXPECT_EQ(wave_out_query(rec(1, 2, 44100, 6, 24)), kWaveOk);  // through the converter
    EXPECT_EQ(wave_out_query(rec(1, 3, 44100, 6, 16)), kWaveBadFormat);
    EXPECT_EQ(wave_out_query(rec(1, 0, 44100, 0, 16)), kWaveBadFormat);
    EXPECT_EQ(wave_out_query(rec(1, 2, 0, 4, 16)), kWaveBadFormat);
    EXPECT_EQ(wave_out_query(rec(1, 2, 44100, 0, 16)), kWaveBadFormat);
    EXPECT_EQ(wave_out_query(rec(1, 2, 44100, 4, 0)), kWaveBadFormat);
    EXPECT_EQ(wave_out_query(rec(0x7777, 2, 44100, 4, 16)), kWaveBadFormat);
    EXPECT_EQ(wave_out_query({}), kWaveBadFormat);
    EXPECT_EQ(wave_out_query(std::vector<uint8_t>(15, 1)), kWaveBadFormat);
}
