// Files a hostile tester makes, and damage real files get: none hangs the open, sizes memory by
// what a header claims, or ends without a word where the sound goes on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "audio/encoded_files.h"
#include "audio/flac_opus_probe.h"
#include "audio/ogg_pages.h"
#include "display/source_panel.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/source.h"

namespace {

using namespace encoded_files;

// Fields of a STREAMINFO block, big-endian bit fields in their order.
std::string stream_info(uint32_t max_block, unsigned channels, unsigned bits, uint64_t total_samples) {
    struct Field {
        uint64_t value;
        int width;
    } fields[] = {{4096, 16}, {max_block, 16}, {0, 24}, {0, 24}, {44100, 20}, {channels - 1, 3}, {bits - 1, 5},
                  {total_samples, 36}};
    std::string out;
    uint64_t acc = 0;
    int held = 0;
    for (const Field& f : fields)
        for (int b = f.width - 1; b >= 0; --b) {
            acc = acc << 1 | ((f.value >> b) & 1);
            if (++held == 8) out += char(acc), acc = 0, held = 0;
        }
    return out + std::string(16, '\0');  // the MD5 signature, not given
}

// An Ogg page of one stream holding whole packets.
std::string ogg_page(uint8_t flags, int64_t granule, uint32_t sequence, const std::vector<std::string>& packets) {
    std::string lacing, body;
    for (const std::string& p : packets) {
        size_t n = p.size();
        for (; n >= 255; n -= 255) lacing += char(255);
        lacing += char(n);
        body += p;
    }
    std::string page = "OggS" + std::string(1, '\0') + char(flags);
    for (int i = 0; i < 8; ++i) page += char(uint64_t(granule) >> (8 * i));
    page += u32le(0x5EED) + u32le(sequence) + u32le(0) + char(lacing.size()) + lacing + body;
    play_test::seal_ogg_page(page);
    return page;
}

// How far the rows of an analysis go, and what it said.
struct Analysis {
    int status = -1;
    double last = -1;
    size_t rows = 0;
    std::string err;
};
Analysis analyse(const std::string& args) {
    const dl_test::ProgramRun r = dl_test::run_program("--analyse " + args);
    Analysis a;
    a.status = r.status;
    a.err = r.err;
    std::stringstream lines(r.out);
    std::string line;
    std::getline(lines, line);
    for (; std::getline(lines, line); ++a.rows) a.last = std::atof(line.c_str());
    return a;
}

// Where the frames of a constant-rate MPEG-1 layer III file at 128 kbit/s and 44.1 kHz start.
std::vector<size_t> frame_starts(const std::string& mp3) {
    std::vector<size_t> starts;
    for (size_t at = 0; at + 4 <= mp3.size();) {
        const auto b = [&](size_t i) { return uint8_t(mp3[at + i]); };
        if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0) break;
        starts.push_back(at);
        at += 417 + ((b(2) >> 1) & 1);
    }
    return starts;
}

class HostileSounds : public EncodedFiles {
protected:
    // 30 s of a tone as lame encodes it at 128 kbit/s.
    std::string mp3_tone() {
        const std::string wav = dir() + "/tone.wav", mp3 = dir() + "/tone.mp3";
        // Without dither (-D) the tone, and so where the damage falls among its frames, is the same every run.
        tool("sox -D -n -r 44100 -c 2 -b 16 " + wav + " synth 30 sine 440 vol 0.5 && lame --quiet -b 128 " + wav +
             " " + mp3);
        return dl_test::read_file(mp3);
    }
};

TEST_F(HostileSounds, AFlacTailFullOfFrameHeadersIsSearchedInOnePass) {
    // No sample count, blocks said to be of 65535 stereo 32-bit samples (a tail of 540 KB to search),
    // and 2 MiB of headers that each pass their own check but end no frame.
    std::string header = std::string("\xFF\xF8\xC9\x18\x00", 5);
    header += char(dl::FlacHeaderCrc8(reinterpret_cast<const uint8_t*>(header.data()), header.size()));
    std::string body;
    while (body.size() < (2u << 20)) body += header;
    const std::string flac = dl_test::write_file(
        dir() + "/headers.flac", "fLaC" + std::string("\x80\x00\x00\x22", 4) + stream_info(65535, 2, 32, 0) + body);
    // A search that went through the tail once a candidate would take half an hour.
    const dl_test::ProgramRun r = dl_test::run_shell("timeout 60 " + std::string(DEWLARK_BINARY) + " --info " + flac);
    ASSERT_NE(r.status, 124) << "the open hung";
    EXPECT_NE(r.out.find("format_tag=0xf1ac\n"), std::string::npos) << r.out;
    // None of it decodes: --info says so, as --analyse refuses it.
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the sound cannot be analysed"), std::string::npos) << r.err;
    EXPECT_EQ(analyse(flac).status, 1);
}

TEST_F(HostileSounds, InfoRefusesWhatNoAnalysisCanPlay) {
    // A float WAVE file of less than a sample, and an MP3 frame header followed by no frames.
    const std::string float_format = dl_test::pcm_fmt(1, 44100, 32, -1, -1, 3);
    const std::string wave = dl_test::wave(float_format, std::string(3, '\x01'), false);
    std::string mp3 = mp3_tone().substr(0, 4) + play_test::pattern(20000, 3);
    for (const std::string& path : {dl_test::write_file(dir() + "/short.wav", wave), dl_test::write_file(dir() + "/junk.mp3", mp3)}) {
        const dl_test::ProgramRun info = dl_test::run_program("--info " + path);
        EXPECT_EQ(info.status, 1) << path;
        EXPECT_NE(info.out.find("format_tag="), std::string::npos) << "the facts are told all the same";
        EXPECT_NE(info.err.find("cannot convert\ndewlark: " + path + ": the sound cannot be analysed\n"), std::string::npos)
            << info.err;
        EXPECT_EQ(analyse(path).status, 1) << path;
    }
}

TEST_F(HostileSounds, AFlacClaimingTheLargestBlocksTakesTheMemoryItsSoundNeeds) {
    const std::string wav = dir() + "/tone.wav", flac = dir() + "/tone.flac";
    tool("sox -n -r 44100 -c 2 -b 16 " + wav + " synth 20 sine 440 vol 0.5 && flac -s -b 4096 " + wav + " -o " + flac);
    std::string claim = dl_test::read_file(flac);
    claim[10] = claim[11] = char(0xFF);  // STREAMINFO's largest block: 65535
    const std::string claimed = dl_test::write_file(dir() + "/claim.flac", claim);
    const std::vector<std::string> memory = {"--set", "OnMem=1", "--set", "MemSize=255"};
    auto measured = [&](const std::string& path) {
        std::vector<std::string> args = {"--analyse", path};
        args.insert(args.end(), memory.begin(), memory.end());
        return dl_test::run_program_measured(args);
    };
    const dl_test::MeasuredRun honest = measured(flac), claiming = measured(claimed);
    ASSERT_EQ(honest.status, 0);
    ASSERT_EQ(claiming.status, 0);
    EXPECT_EQ(claiming.out, honest.out) << "the same sound, the same rows";
    EXPECT_LT(claiming.peak_kb, honest.peak_kb + 16 * 1024) << "memory by the frames, not by the claim";
}

TEST_F(HostileSounds, DamageInsideAnMp3IsPassedOverAndSaid) {
    const std::string mp3 = mp3_tone();
    // Ten frames from the middle on are junk, so the decoder loses its way in one place and finds it
    // again at the next frame.
    const std::vector<size_t> frames = frame_starts(mp3);
    ASSERT_GT(frames.size(), 1000u);
    const size_t from = frames[frames.size() / 2], to = frames[frames.size() / 2 + 10];
    std::string damaged = mp3;
    damaged.replace(from, to - from, play_test::pattern(to - from, 7));
    const std::string path = dl_test::write_file(dir() + "/damaged.mp3", damaged);
    const Analysis a = analyse(path);
    EXPECT_EQ(a.status, 0) << a.err;
    EXPECT_GT(a.last, 29.5) << "the rows go on past the damage to the end";
    EXPECT_NE(a.err.find("dewlark: " + path + ": skipped "), std::string::npos) << a.err;
    // Where it was, and the ten frames it took (26 ms each) put back as silence: the rows keep their times.
    EXPECT_NE(a.err.find(" bytes of damaged data in 1 place (at 14.97 s)"), std::string::npos) << a.err;
    EXPECT_NE(a.err.find("; 0.26 s of sound lost there is silence"), std::string::npos) << a.err;
    const Analysis whole = analyse(dl_test::write_file(dir() + "/whole.mp3", mp3));
    EXPECT_EQ(whole.err, "");
    EXPECT_EQ(a.rows, whole.rows);
    EXPECT_EQ(a.last, whole.last);

    // A play in the window goes on to the end without a box.
    start(path);
    ASSERT_TRUE(dl::SourceState.running);
    ASSERT_TRUE(play_to_end(60000));
    EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.texts()[0];
    EXPECT_GT(blocks_.back(), 29.5);
}

TEST_F(HostileSounds, AnMp3WhoseRestCannotBeDecodedEndsWithAMessage) {
    std::string ruined = mp3_tone();
    const size_t half = ruined.size() / 2;
    ruined.replace(half, ruined.size() - half, play_test::pattern(ruined.size() - half, 11));
    const std::string path = dl_test::write_file(dir() + "/ruined.mp3", ruined);
    const Analysis a = analyse(path);
    EXPECT_EQ(a.status, 1);
    EXPECT_LT(a.last, 16.0);
    EXPECT_GT(a.last, 14.0) << "the rows before the damage are kept";
    EXPECT_NE(a.err.find("could not be decoded; the sound ends at 1"), std::string::npos) << a.err;

    start(path);
    ASSERT_TRUE(play_to_end(60000));
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.texts()[0].rfind("The rest of the file (", 0), 0u) << boxes_.texts()[0];
    EXPECT_TRUE(dl::PlayEndedEarly);
}

TEST_F(HostileSounds, MemoryModeSizesATinyOpusFileByItsBytes) {
    // 326 bytes: the head, empty comments, and 104 packets of a byte (20 ms each), the last page
    // claiming 100 s, which makes the stream's byte rate two bytes a second.
    std::string head = "OpusHead" + std::string("\x01\x02\x38\x01", 4) + u32le(48000) + std::string(3, '\0');
    std::vector<std::string> packets(104, std::string(1, char(0xFC)));
    const std::string file = ogg_page(2, 0, 0, {head}) + ogg_page(0, 0, 1, {"OpusTags" + u32le(0) + u32le(0)}) +
                             ogg_page(4, 100 * 48000 + 312, 2, packets);
    ASSERT_EQ(file.size(), 326u);
    const std::string path = dl_test::write_file(dir() + "/tiny.opus", file);
    const dl_test::MeasuredRun r =
        dl_test::run_program_measured({"--analyse", path, "--set", "OnMem=1", "--set", "MemSize=255"});
    // Its packets hold 2.08 s, not the 100 s the page claims: analysed as far as they go, and said.
    EXPECT_EQ(r.status, 1);
    // Against the same run on a second of plain samples: what the program itself takes (fonts,
    // libraries, a sanitizer's own memory in such builds) is not the file's.
    const std::string plain = make_wav("plain.wav", 2, 48000, 16, std::string(192000, '\0'));
    const dl_test::MeasuredRun base =
        dl_test::run_program_measured({"--analyse", plain, "--set", "OnMem=1", "--set", "MemSize=255"});
    ASSERT_EQ(base.status, 0);
    EXPECT_LT(r.peak_kb, base.peak_kb + 32 * 1024) << "kB at the peak, against " << base.peak_kb;
}

TEST_F(HostileSounds, MemoryModeSaysWhenTheFileIsLongerThanItsBuffer) {
    // 600 s at 8 kHz, 8-bit: MemSize 2 holds 262 s of it.
    const std::string path = make_wav("long.wav", 1, 8000, 8, std::string(600 * 8000, char(0x90)));
    const Analysis a = analyse(path + " --set OnMem=1 --set MemSize=2");
    EXPECT_EQ(a.status, 0) << a.err;
    EXPECT_LT(a.last, 262.2);
    EXPECT_GT(a.last, 261.5);
    EXPECT_EQ(a.err, "dewlark: " + path +
                         ": memory mode holds the first 262.14 s of 600.00 s (MemSize=2); the rest is not analysed\n");
    // A file that fits says nothing.
    EXPECT_EQ(analyse(path + " --set OnMem=1 --set MemSize=5").err, "");

    // The window's panel says it in the length line while the buffer plays.
    dl::Settings.OnMem = 1;
    dl::Settings.MemSize = 2;
    start(path);
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_EQ(dl::LengthLineText(), "Mem:      262 of    600 sec");
    dl::StopPlayback();
    dl::Settings.MemSize = 5;
    start(path);
    EXPECT_EQ(dl::LengthLineText(), "Total:   4687 kb    600 sec");
}

TEST_F(HostileSounds, AFileThatShrinksUnderTheAnalysisFailsIt) {
    const std::string path = make_wav("shrinking.wav", 1, 8000, 16, std::string(120 * 16000, char(0x10)));
    start(path);
    ASSERT_TRUE(dl::SourceState.running);
    ASSERT_EQ(::truncate(path.c_str(), 50000), 0);
    ASSERT_TRUE(play_to_end(60000));
    EXPECT_TRUE(dl::PlayEndedEarly);
    ASSERT_FALSE(boxes_.boxes.empty());
    EXPECT_EQ(boxes_.texts()[0].rfind("can't read data.", 0), 0u) << boxes_.texts()[0];

    // The batch analysis of a file cut while it runs ends with the read error and status 1.
    dl::CloseSource();
    const std::string big = make_wav("big.wav", 1, 8000, 8, std::string(600 * 8000, char(0x90)));
    FILE* child = popen((std::string(DEWLARK_BINARY) + " --analyse " + big + " --set deltatime=32 2>&1 >/dev/null; echo status=$?")
                            .c_str(),
                        "r");
    ASSERT_NE(child, nullptr);
    // Once the file is open in the program, it is cut while the program stands still, short of
    // where it has read to: the cut lands in the middle of its reading however fast it reads.
    bool cut = false;
    for (int waited = 0; waited < dl_test::kPatienceMs && !cut; waited += 5) {
        std::istringstream open(dl_test::run_shell("for p in $(pgrep -f -- '--analyse " + big +
                                                   "'); do for f in /proc/$p/fd/*; do [ \"$(readlink $f)\" = '" +
                                                   big + "' ] && echo $p ${f##*/}; done; done")
                                    .out);
        pid_t pid = 0;
        int fd = -1;
        if (!(open >> pid >> fd)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        ASSERT_EQ(::kill(pid, SIGSTOP), 0);
        const std::string info = dl_test::read_file("/proc/" + std::to_string(pid) + "/fdinfo/" + std::to_string(fd));
        const long long read_to = info.rfind("pos:", 0) == 0 ? std::atoll(info.c_str() + 4) : -1;
        EXPECT_GE(read_to, 0) << info;
        EXPECT_LT(read_to, 600 * 8000) << "the program had read the whole file";
        cut = ::truncate(big.c_str(), 4096) == 0;
        ::kill(pid, SIGCONT);
    }
    std::string said;
    char buf[512];
    while (std::fgets(buf, sizeof buf, child)) said += buf;
    pclose(child);
    ASSERT_TRUE(cut);
    EXPECT_NE(said.find("can't read data."), std::string::npos) << said;
    EXPECT_NE(said.find("status=1"), std::string::npos) << said;
}

}  // namespace
