// File › Export and Copy: the window's spectrum, peak list and log as CSV, the read-outs as text.
#include <QTest>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/export_command.h"
#include "app/main_window_proc.h"
#include "app_fixture.h"
#include "audio/playback_fixture.h"
#include "display/readouts.h"
#include "platform/clipboard.h"
#include "platform/file_dialog.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/references.h"
#include "state/source.h"

namespace {

using dl_test::AppTest;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line)) out.push_back(line);
    return out;
}

class Export : public AppTest {
protected:
    // Plays a tone file to its end in the window, with the INI lines given.
    dl::MainWindow& play_to_end(const std::string& ini, double hz = 1000, double seconds = 1.0) {
        dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\nsex=1\n" + ini);
        wav_ = dl_test::write_file("export_tone.wav", dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, {hz}, seconds)));
        dl::MainWindow& w = start({wav_, "/P"});
        (void)QTest::qWaitFor([&] { return dl::SourceState.running; }, dl_test::kPatienceMs);
        (void)QTest::qWaitFor([&] { return !dl::SourceState.running; }, dl_test::kPatienceMs);
        EXPECT_FALSE(dl::SourceState.running) << "the play ended";
        w.update_now();
        return w;
    }
    // What the command writes when the dialog answers `path`.
    std::string export_to(int command, const std::string& name) {
        const std::string path = dl_test::temp_dir() + "/" + name;
        dl::set_save_dialog_hook([path](const dl::SaveFileRequest&) { return std::optional<std::string>(path); });
        dl::DispatchCommand(command, 0);
        dl::set_save_dialog_hook(nullptr);
        return std::filesystem::exists(path) ? dl_test::read_file(path) : std::string();
    }
    std::string wav_;
};

TEST_F(Export, SpectrumOfA1kHzToneHasItsMaximumThereAtTheLevelTheGraphShows) {
    dl::MainWindow& w = play_to_end("display=110\nfreqnum=0\n");
    const std::vector<std::string> lines = lines_of(export_to(dl::kCmdExportSpectrum, "spectrum.csv"));
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[0], "frequency_hz,level_db");
    const int n = dl::RunAnalyser.result.n;
    ASSERT_EQ(lines.size(), size_t(n / 2 + 1)) << "a row a line";
    double best_hz = 0, best_db = -1e9;
    for (size_t i = 1; i < lines.size(); ++i) {
        double hz = 0, db = 0;
        ASSERT_EQ(std::sscanf(lines[i].c_str(), "%lf,%lf", &hz, &db), 2) << lines[i];
        EXPECT_NEAR(hz, double(i - 1) * 44100 / n, 1e-3);
        if (db > best_db) best_db = db, best_hz = hz;
    }
    EXPECT_NEAR(best_hz, 1000.0, 44100.0 / n) << "within a line of the tone";

    // The graph's highest trace pixel is the strongest line's level on the plain decibel scale.
    dl::Surface& s = w.surface();
    const dl::Rgb background = s.pixel(dl::CellWidth + 2, 13 * dl::CellHeight + 255);
    const dl::Rgb trace = background == dl::kWhite ? dl::kBlack : dl::kWhite;
    int top = -1;
    for (int y = 13 * dl::CellHeight; y < 13 * dl::CellHeight + 256 && top < 0; ++y)
        for (int x = dl::CellWidth; x < dl::CellWidth + dl::GraphWidth; ++x)
            if (s.pixel(x, y) == trace) {
                top = y - 13 * dl::CellHeight;
                break;
            }
    ASSERT_GE(top, 0) << "a trace is drawn";
    EXPECT_NEAR(best_db, -top * 10.0 / (10.2 * std::log(10.0)), 0.01);
    EXPECT_LT(best_db, -3);
    EXPECT_GT(best_db, -20);
}

TEST_F(Export, HoldTracesAreColumnsOfTheirOwn) {
    play_to_end("display=110\nfreqnum=0\nmax_hold=1\nmin_hold=1\n");
    const std::vector<std::string> lines = lines_of(export_to(dl::kCmdExportSpectrum, "holds.csv"));
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[0], "frequency_hz,level_db,max_hold_db,min_hold_db");
    int above = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        double hz = 0, level = 0, most = 0, least = 0;
        ASSERT_EQ(std::sscanf(lines[i].c_str(), "%lf,%lf,%lf,%lf", &hz, &level, &most, &least), 4) << lines[i];
        EXPECT_GE(most + 1e-9, level) << lines[i];
        EXPECT_LE(least - 1e-9, level) << lines[i];
        above += most > level;
    }
    EXPECT_GT(above, 0) << "the largest held levels are of earlier blocks too";
}

TEST_F(Export, LogEqualsTheBatchRowsOfTheSameFile) {
    play_to_end("display=110\n", 1000, 1.5);
    const std::string log = export_to(dl::kCmdExportLog, "log.csv");
    const dl_test::ProgramRun batch = dl_test::run_program_env("USERPROFILE=" + profile_, "--analyse " + wav_);
    ASSERT_EQ(batch.status, 0) << batch.err;
    const std::vector<std::string> window_rows = lines_of(log), batch_rows = lines_of(batch.out);
    ASSERT_GT(batch_rows.size(), 5u);
    EXPECT_EQ(window_rows, batch_rows);

    // Start begins the log again: a second play logs the same rows, not twice as many.
    dl::DispatchCommand(dl::kCmdStart, 0);
    (void)QTest::qWaitFor([&] { return !dl::SourceState.running; }, dl_test::kPatienceMs);
    EXPECT_EQ(lines_of(export_to(dl::kCmdExportLog, "log2.csv")), batch_rows);
}

TEST_F(Export, PeakListAndClipboardText) {
    play_to_end("display=110\nfreqnum=3\n");
    const std::vector<std::string> peaks = lines_of(export_to(dl::kCmdExportPeaks, "peaks.csv"));
    ASSERT_GE(peaks.size(), 2u);
    EXPECT_EQ(peaks[0], "rank,frequency_hz,note,cents,level_db");
    double hz = 0, cents = 0, db = 0;
    char note[8] = {};
    ASSERT_EQ(std::sscanf(peaks[1].c_str(), "1,%lf,%7[^,],%lf,%lf", &hz, note, &cents, &db), 4) << peaks[1];
    EXPECT_NEAR(hz, 1000.0, 44100.0 / dl::RunAnalyser.result.n) << "the strongest first";
    EXPECT_STREQ(note, "B5");
    EXPECT_NEAR(cents, 1200 * std::log2(hz / 987.767), 0.1);
    EXPECT_EQ(int(std::lround(db)), dl::RunAnalyser.result.peak_level.decibels) << "the level the read-out shows";

    dl::set_clipboard_text("");
    dl_test::type_key(program_->window(), Qt::Key_C, Qt::ControlModifier);
    const std::string text = dl::clipboard_text();
    EXPECT_EQ(text.rfind("Peak\t" + dl::FrequencyFigure(dl::RunAnalyser.result.peak_frequency, 0) + " Hz\nLevel\t" +
                             std::to_string(dl::RunAnalyser.result.peak_level.decibels) + " dB\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("\nA4\t"), std::string::npos) << text;
    EXPECT_NE(text.find("\nTuner\tB5\t+21 cents\t1000.0"), std::string::npos) << text;
    // The mono tone's peak of 12000: -8.7 dBFS on the level meter.
    double meter = 0;
    const size_t at = text.find("\nMeter\t");
    ASSERT_NE(at, std::string::npos) << text;
    ASSERT_EQ(std::sscanf(text.c_str() + at, "\nMeter\t%lf dBFS", &meter), 1) << text;
    EXPECT_NEAR(meter, 20 * std::log10(12000.0 / 32768), 0.3);
    EXPECT_NE(text.find("\nPeaks\nrank\tfrequency_hz\tnote\tcents\tlevel_db\n1\t"), std::string::npos) << text;
}

TEST_F(Export, NothingToExportOrAFailedWriteSaysSoAndWritesNothing) {
    start();
    const std::string dir = dl_test::temp_dir() + "/exports";
    std::filesystem::create_directories(dir);
    for (int command : {dl::kCmdExportSpectrum, dl::kCmdExportPeaks, dl::kCmdExportLog, dl::kCmdCopyReadouts}) {
        boxes_.boxes.clear();
        export_to(command, "exports/none.csv");
        EXPECT_EQ(boxes_.boxes.size(), 1u) << command;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir));

    // A folder that is not there: the message names the file, and nothing is left behind.
    dl::AnalysisLog.rows = {"0.000,,,,,,,,,,"};
    boxes_.boxes.clear();
    export_to(dl::kCmdExportLog, "exports/missing/log.csv");
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_NE(boxes_.boxes[0].text.find("The file could not be written."), std::string::npos) << boxes_.boxes[0].text;
    EXPECT_NE(boxes_.boxes[0].text.find("missing/log.csv"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

}  // namespace
