// What the batch commands write goes where it was asked, whole, or the run says why not: a full
// disk or a closed output is a failure with its reason, a reader that went away ends the run
// quietly, and the summary with --out is one table in the summary's own fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/json_text.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = DEWLARK_BINARY;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string l; std::getline(s, l);) lines.push_back(l);
    return lines;
}

// A few short sounds in a folder of their own.
std::string library() {
    const std::string dir = dl_test::temp_dir() + "/lib";
    const dl_test::ProgramRun made = dl_test::run_shell(
        "mkdir -p " + dir + " && cd " + dir +
        " && sox -n -r 22050 -c 1 -b 16 a.wav synth 1 sine 440 && sox -n -r 22050 -c 2 -b 24 b.wav synth 1 sine 660 && "
        "sox -n -r 22050 -c 1 -b 16 c.flac synth 1 sine 880");
    EXPECT_EQ(made.status, 0) << made.err;
    return dir;
}

TEST(BatchOutput, AFullDiskIsAFailureWithItsReasonForEveryCommand) {
    const std::string lib = library();
    for (const std::string& args : {"--analyse " + lib + "/a.wav", "--analyse " + lib + " --quiet",
                                    "--analyse " + lib + " --summary --quiet", "--loudness " + lib + "/a.wav",
                                    "--loudness " + lib + "/a.wav --json", "--info " + lib + "/a.wav", std::string("--help")}) {
        const dl_test::ProgramRun r = dl_test::run_shell(kProgram + " " + args + " > /dev/full");
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_NE(r.err.find("dewlark: cannot write the output: No space left on device"), std::string::npos)
            << args << ": " << r.err;
    }
}

TEST(BatchOutput, AReaderThatGoesAwayEndsTheRunQuietly) {
    const std::string lib = library();
    // Far more rows than a pipe holds, so that the reader is gone while they are written.
    ASSERT_EQ(dl_test::run_shell("sox -n -r 22050 -c 1 -b 16 " + lib + "/long.wav synth 20 sine 440").status, 0);
    for (const std::string& args : {"--analyse " + lib + "/long.wav --set slice=32",
                                    "--analyse " + lib + " --quiet --jobs 1 --set slice=32",
                                    "--loudness " + lib + "/long.wav " + lib + "/long.wav"}) {
        // `head` takes the first line and goes; the run must neither die of the signal nor complain.
        const dl_test::ProgramRun r =
            dl_test::run_shell("bash -c 'set -o pipefail; " + kProgram + " " + args + " | head -1 >/dev/null'");
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        EXPECT_EQ(r.err, "") << args;
    }
}

// A monitor without an end of its own ends when its reader does: it does not run on for nobody.
TEST(BatchOutput, AMonitorEndsWhenItsReaderGoesAway) {
    const dl_test::ProgramRun r = dl_test::run_shell(
        "bash -c 'set -o pipefail; SDL_AUDIODRIVER=dummy timeout 120 " + kProgram +
        " --monitor --set deltatime=32 | head -3 >/dev/null'");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(BatchOutput, FilesOutOnAFullDiskFailWithTheReasonAndLeaveNothingHalfWritten) {
    const std::string lib = library();
    const std::string out = dl_test::temp_dir() + "/out";
    // A disk that fills up after 4 KB: the rows of a file do not fit.
    dl_test::ProgramRun r = dl_test::run_shell("trap '' XFSZ; ulimit -f 4; " + kProgram + " --analyse " + lib +
                                               " --out " + out + " --quiet --set slice=32");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write " + out + "/a.wav.csv: File too large"), std::string::npos) << r.err;
    for (const auto& e : fs::directory_iterator(out)) {
        const std::string name = e.path().filename().string();
        EXPECT_EQ(name.find(".dewlark-"), std::string::npos) << "no temporary file is left: " << name;
        EXPECT_GT(e.file_size(), 0u) << name;
    }
    // --reference-out likewise.
    const std::string reference = out + "/ref.csv";
    r = dl_test::run_shell("trap '' XFSZ; ulimit -f 4; " + kProgram + " --analyse " + lib +
                           "/a.wav --set transform=65536 --reference-out " + reference + " > /dev/null");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write " + reference + ": File too large"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(reference));
}

TEST(BatchOutput, SummaryWithOutIsOneTableOfSummaryRows) {
    const std::string lib = library();
    const std::string out = dl_test::temp_dir() + "/out";
    const dl_test::ProgramRun printed = dl_test::run_program("--analyse " + lib + " --summary --quiet");
    ASSERT_EQ(printed.status, 0) << printed.err;
    dl_test::ProgramRun r = dl_test::run_program("--analyse " + lib + " --summary --out " + out + " --quiet");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << "the table goes to the folder";
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"summary.csv"});
    EXPECT_EQ(dl_test::read_file(out + "/summary.csv"), printed.out) << "the rows the summary prints";

    r = dl_test::run_program("--analyse " + lib + " --summary --format jsonl --out " + out + " --quiet");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> json = lines_of(dl_test::read_file(out + "/summary.jsonl"));
    ASSERT_EQ(json.size(), 3u);
    for (const std::string& line : json) {
        EXPECT_NE(line.find("\"seconds\":1.000"), std::string::npos) << line;
        EXPECT_NE(line.find("\"sample_peak_dbfs\":"), std::string::npos) << line;
        EXPECT_EQ(line.find("\"time\""), std::string::npos) << "no block rows under the summary's name: " << line;
    }
}

TEST(BatchOutput, JsonLinesAreUtf8WhateverTheFileNameAndKeepItsBytes) {
    const std::string dir = dl_test::temp_dir();
    // Latin-1 from an old archive, and a byte that is no character anywhere.
    const std::string latin1 = dir + "/caf\xe9.wav", stray = dir + "/x\xff\xfey.wav";
    for (const std::string& name : {latin1, stray})
        ASSERT_EQ(dl_test::run_shell("sox -n -r 8000 -c 1 -b 16 '" + name + "' synth 0.5 sine 440").status, 0);
    for (const char* rows : {"--summary", ""}) {
        const dl_test::ProgramRun r = dl_test::run_program("--analyse " + dir + " --format jsonl --quiet " + rows);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> lines = lines_of(r.out);
        ASSERT_FALSE(lines.empty());
        for (const std::string& line : lines) {
            EXPECT_TRUE(dl::ValidUtf8(line)) << line;
            const bool first = line.find("caf") != std::string::npos;
            const std::string raw = first ? latin1 : stray;
            EXPECT_NE(line.find("\"file_base64\":\"" + dl::Base64(raw) + "\""), std::string::npos) << line;
            EXPECT_NE(line.find(first ? "caf\xEF\xBF\xBD.wav" : "x\xEF\xBF\xBD\xEF\xBF\xBDy.wav"), std::string::npos)
                << "each byte that is no character, the replacement character: " << line;
        }
    }
    // A name that is UTF-8 has no second field.
    const std::string plain = dir + "/plain.wav";
    ASSERT_EQ(dl_test::run_shell("sox -n -r 8000 -c 1 -b 16 " + plain + " synth 0.5 sine 440").status, 0);
    const dl_test::ProgramRun r = dl_test::run_program("--analyse " + plain + " --summary --format jsonl");
    EXPECT_EQ(r.out.find("file_base64"), std::string::npos) << r.out;
}

TEST(BatchOutput, DoubleDashEndsTheOptionsAndMinusZeroReadsNulLists) {
    const std::string dir = dl_test::temp_dir();
    // A file whose name looks like an option.
    ASSERT_EQ(dl_test::run_shell("cd " + dir + " && sox -n -r 8000 -c 1 -b 16 tone.wav synth 0.5 sine 440 && "
                                 "cp tone.wav ./--summary && mv tone.wav 'two\nlines.wav'")
                  .status,
              0);
    dl_test::ProgramRun r = dl_test::run_shell("cd " + dir + " && " + kProgram + " --analyse -- --summary");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("time,peak_hz", 0), 0u) << "the file's rows, not a summary: " << r.out;
    r = dl_test::run_shell("cd " + dir + " && find . -name 'two*' -print0 | " + kProgram +
                           " --analyse --files-from - -0 --summary --quiet");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"./two\nlines.wav\",0.500,wav,"), std::string::npos) << "a quoted CSV field: " << r.out;
}

}  // namespace
