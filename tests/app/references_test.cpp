// "Hold as reference", "Clear references", the reference files and the ones kept for the next start.
#include <QTest>
#include <cmath>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "app/main_window_proc.h"
#include "app/reference_commands.h"
#include "app/spectrum_csv.h"
#include "app_fixture.h"
#include "audio/playback_fixture.h"
#include "display/graph_area.h"
#include "display/reference_traces.h"
#include "platform/file_dialog.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/references.h"
#include "state/source.h"

namespace {

using dl_test::AppTest;

class HeldReferences : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\nsex=1\ndisplay=110\nfreqnum=0\n");
    }
    // Plays a tone of `hz` to its end in the window started already.
    void play(double hz) {
        const std::string wav = dl_test::write_file(format_name(hz), dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, {hz}, 0.5)));
        last_wav_ = wav;
        dl::HandleDroppedFiles({wav});
        dl::DispatchCommand(dl::kCmdStart, 0);
        (void)QTest::qWaitFor([&] { return !dl::SourceState.running; }, dl_test::kPatienceMs);
        ASSERT_FALSE(dl::SourceState.running);
    }
    static std::string format_name(double hz) { return "tone" + std::to_string(int(hz)) + ".wav"; }
    // Pixels of reference i's colour in the graph.
    int reference_pixels(size_t i) {
        dl::Surface& s = program_->window().surface();
        int count = 0;
        for (int y = dl::GraphTop(); y < dl::GraphBottom(); ++y)
            for (int x = dl::GraphLeft(); x < dl::GraphRight(); ++x) count += s.pixel(x, y) == dl::ReferenceColour(i);
        return count;
    }
    std::string save_to(const std::string& name) {
        const std::string path = dl_test::temp_dir() + "/" + name;
        dl::set_save_dialog_hook([path](const dl::SaveFileRequest&) { return std::optional<std::string>(path); });
        dl::DispatchCommand(dl::kCmdSaveReferences, 0);
        dl::set_save_dialog_hook(nullptr);
        return path;
    }
    void load(const std::string& path) {
        dl::set_file_dialog_hook([path](const dl::OpenFileRequest&) { return std::optional<std::string>(path); });
        dl::DispatchCommand(dl::kCmdLoadReference, 0);
        dl::set_file_dialog_hook(nullptr);
    }
    std::string last_wav_;
};

TEST_F(HeldReferences, HeldDrawnUpToFourAndCleared) {
    dl::MainWindow& w = start();
    boxes_.boxes.clear();
    dl_test::type_key(w, Qt::Key_H, Qt::ControlModifier);
    ASSERT_EQ(boxes_.boxes.size(), 1u) << "nothing analysed yet: nothing to hold";
    EXPECT_TRUE(dl::References.held.empty());
    boxes_.boxes.clear();

    play(1000);
    dl_test::type_key(w, Qt::Key_H, Qt::ControlModifier);
    ASSERT_EQ(dl::References.held.size(), 1u);
    const dl::ReferenceSpectrum& r = dl::References.held[0];
    EXPECT_TRUE(std::regex_match(r.name, std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]"))) << r.name;
    EXPECT_EQ(r.rate, 44100);
    EXPECT_EQ(r.n, dl::RunAnalyser.result.n);
    ASSERT_EQ(r.decibels.size(), size_t(r.n / 2));

    // The next take is drawn over it: the 1 kHz reference stays where the live trace no longer is.
    play(3000);
    EXPECT_GT(reference_pixels(0), 100);
    dl::DispatchCommand(dl::kCmdHoldReference, 0);
    for (int i = 0; i < 2; ++i) dl::DispatchCommand(dl::kCmdHoldReference, 0);
    ASSERT_EQ(dl::References.held.size(), 4u);
    EXPECT_TRUE(boxes_.boxes.empty());
    dl::DispatchCommand(dl::kCmdHoldReference, 0);
    EXPECT_EQ(dl::References.held.size(), 4u) << "a fifth is refused";
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_NE(boxes_.boxes[0].text.find("Four references are held already"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dl::KeptReferencesPath()));

    dl_test::type_key(w, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(dl::References.held.empty());
    EXPECT_EQ(reference_pixels(0), 0) << "the graph is drawn again without them";
    EXPECT_FALSE(std::filesystem::exists(dl::KeptReferencesPath())) << "none kept for the next start";
}

TEST_F(HeldReferences, KeptForTheNextStart) {
    start();
    play(1000);
    dl::DispatchCommand(dl::kCmdHoldReference, 0);
    ASSERT_EQ(dl::References.held.size(), 1u);
    const dl::ReferenceSpectrum before = dl::References.held[0];
    program_->window().destroy();
    program_.reset();
    dl::ResetProcessState();
    EXPECT_TRUE(dl::References.held.empty());

    start({last_wav_});
    ASSERT_EQ(dl::References.held.size(), 1u);
    EXPECT_GT(reference_pixels(0), 100) << "drawn with the file's frame, before anything is played";
    EXPECT_EQ(dl::References.held[0].name, before.name);
    const dl::ReferenceSpectrum& after = dl::References.held[0];
    EXPECT_EQ(after.name, before.name);
    EXPECT_EQ(after.rate, 44100);
    EXPECT_EQ(after.n, before.n);
    ASSERT_EQ(after.decibels.size(), before.decibels.size());
    for (size_t i = 0; i < after.decibels.size(); ++i) ASSERT_NEAR(after.decibels[i], before.decibels[i], 0.005) << i;
    EXPECT_TRUE(boxes_.boxes.empty());
    dl::DispatchCommand(dl::kCmdClearReferences, 0);
    EXPECT_EQ(reference_pixels(0), 0) << "the frame is drawn again without it";
}

TEST_F(HeldReferences, SavedLoadedAndBadFilesChangeNothing) {
    start();
    play(1000);
    dl::DispatchCommand(dl::kCmdHoldReference, 0);
    const std::string saved = save_to("held.csv");
    ASSERT_TRUE(std::filesystem::exists(saved));
    dl::DispatchCommand(dl::kCmdClearReferences, 0);
    load(saved);
    ASSERT_EQ(dl::References.held.size(), 1u);
    EXPECT_EQ(dl::References.held[0].n, dl::RunAnalyser.result.n);

    // An exported spectrum loads as a reference, named after its file.
    const std::string exported = dl_test::temp_dir() + "/take two.csv";
    dl::set_save_dialog_hook([exported](const dl::SaveFileRequest&) { return std::optional<std::string>(exported); });
    dl::DispatchCommand(dl::kCmdExportSpectrum, 0);
    dl::set_save_dialog_hook(nullptr);
    load(exported);
    ASSERT_EQ(dl::References.held.size(), 2u);
    EXPECT_EQ(dl::References.held[1].name, "take two");

    boxes_.boxes.clear();
    const uint32_t generation = dl::References.generation;
    for (const std::string& bad : {std::string("time,level_db\n0,1\n1,2\n"), std::string("frequency_hz,level_db\n0,-3\nten,-4\n"),
                                   std::string("frequency_hz,level_db\n0,-3\n0,-4\n"), std::string(""),
                                   std::string("frequency_hz,level_db\n0,-3,7\n")}) {
        load(dl_test::write_file("bad.csv", bad));
        EXPECT_EQ(dl::References.held.size(), 2u) << bad;
    }
    EXPECT_EQ(dl::References.generation, generation) << "nothing changed";
    ASSERT_EQ(boxes_.boxes.size(), 5u);
    EXPECT_NE(boxes_.boxes[1].text.find("The file does not hold a spectrum: line 3: \"ten\" is not a frequency"),
              std::string::npos)
        << boxes_.boxes[1].text;
    // Three more would make five: the file is refused whole.
    const std::string three = dl_test::write_file("three.csv", "frequency_hz,a_db,b_db,c_db\n0,-1,-2,-3\n10,-1,-2,-3\n");
    load(three);
    EXPECT_EQ(dl::References.held.size(), 2u);
}

TEST_F(HeldReferences, ReferenceOutOfTheBatchLoadsInTheWindow) {
    const std::string wav = dl_test::write_file("ref2k.wav", dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, {2000.0}, 1.0)));
    const std::string csv = dl_test::temp_dir() + "/ref.csv";
    const dl_test::ProgramRun run = dl_test::run_program_env("USERPROFILE=" + profile_, "--analyse " + wav + " --reference-out " + csv);
    ASSERT_EQ(run.status, 0) << run.err;
    start();
    load(csv);
    ASSERT_EQ(dl::References.held.size(), 1u);
    const dl::ReferenceSpectrum& r = dl::References.held[0];
    EXPECT_EQ(r.name, "ref");
    EXPECT_EQ(r.rate, 44100);
    const size_t loudest = size_t(std::max_element(r.decibels.begin(), r.decibels.end()) - r.decibels.begin());
    EXPECT_NEAR(r.frequencies[loudest], 2000.0, 44100.0 / r.n);
    EXPECT_TRUE(boxes_.boxes.empty());

    // Averaged in power: a tone that is there half the time is 3 dB below one that is always there.
    const std::string half = dl_test::write_file(
        "half.wav", dl_test::pcm_wav(1, 44100, 16, play_test::tones(44100, {2000.0}, 1.0) + std::string(88200, '\0')));
    const std::string half_csv = dl_test::temp_dir() + "/half.csv";
    ASSERT_EQ(dl_test::run_program_env("USERPROFILE=" + profile_, "--analyse " + half + " --reference-out " + half_csv).status, 0);
    load(half_csv);
    ASSERT_EQ(dl::References.held.size(), 2u);
    // The second load may have moved the first: it is read anew.
    EXPECT_NEAR(dl::References.held[1].decibels[loudest], dl::References.held[0].decibels[loudest] - 3.0, 0.6);

    const dl_test::ProgramRun many = dl_test::run_program_env("USERPROFILE=" + profile_, "--analyse " + wav + " " + half + " --reference-out " + csv);
    EXPECT_EQ(many.status, 2);
    EXPECT_NE(many.err.find("--reference-out takes one FILE"), std::string::npos) << many.err;
}

}  // namespace
