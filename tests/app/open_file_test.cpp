// File › Open... and the recent files, as the user meets them in the window.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <optional>

#include "app/app_fixture.h"
#include "app/main_window_proc.h"
#include "app/open_file.h"
#include "platform/audio_system.h"
#include "platform/file_dialog.h"
#include "platform/font.h"
#include "platform/main_window_qt.h"
#include "resources/command_ids.h"
#include "state/recent_files.h"
#include "state/run.h"
#include "state/source.h"

namespace {

using dl::Settings;
using dl_test::AppTest;
using dl_test::type_key;
using Paths = std::vector<std::string>;
using Texts = std::vector<std::string>;

const std::string& demo() {
    static const std::string path = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    return path;
}

// Answers the file dialog in turn with the paths given (nullopt: Cancel) and keeps what it was asked.
class FileDialogAnswers {
public:
    FileDialogAnswers() {
        dl::set_file_dialog_hook([this](const dl::OpenFileRequest& r) -> std::optional<std::string> {
            requests.push_back(r);
            if (answers.empty()) return std::nullopt;
            std::optional<std::string> a = answers.front();
            answers.pop_front();
            return a;
        });
    }
    ~FileDialogAnswers() { dl::set_file_dialog_hook(nullptr); }
    std::deque<std::optional<std::string>> answers;
    std::vector<dl::OpenFileRequest> requests;
};

// A copy of a sound file under a name of the test's choosing.
std::string copy_of(const std::string& source, const std::string& path) {
    std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
    return path;
}

class OpenFileTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        dir_ = dl_test::temp_dir();
    }
    std::string sound(const std::string& name) { return copy_of(demo(), dir_ + "/" + name); }
    // Opens each file with File › Open....
    void open_all(dl::MainWindow& w, const Paths& paths) {
        for (const std::string& p : paths) {
            dialog_.answers.push_back(p);
            w.trigger_menu(dl::kCmdOpen);
        }
    }
    std::string dir_;
    FileDialogAnswers dialog_;
};

TEST_F(OpenFileTest, TheFileMenuStartsWithOpenAndTheRecentFiles) {
    dl::MainWindow& w = start();
    EXPECT_EQ(w.menu_text(dl::kCmdOpen), "&Open...\tCtrl+O");
    EXPECT_EQ(w.menu_text(dl::kCmdRecentFiles), "Recent &files");
    EXPECT_TRUE(w.menu_enabled(dl::kCmdOpen));
    EXPECT_FALSE(w.menu_enabled(dl::kCmdRecentFiles)) << "no recent files yet";
    EXPECT_TRUE(w.open_submenu(dl::kCmdRecentFiles).empty());
}

TEST_F(OpenFileTest, OpenWithAFileChosenOpensItAndShowsIt) {
    dl::MainWindow& w = start();
    ASSERT_EQ(dl::SourceState.mode, dl::SourceMode::RecordPort);
    const std::string take = sound("take 1.wav");
    open_all(w, {take});
    ASSERT_EQ(dialog_.requests.size(), 1u);
    const dl::OpenFileRequest& asked = dialog_.requests[0];
    EXPECT_EQ(asked.caption, "Open");
    ASSERT_EQ(asked.filters.size(), 2u);
    EXPECT_EQ(dl::filter_text(asked.filters[0]), "Sound files (*.wav *.mp3 *.ogg *.flac *.oga *.opus)");
    EXPECT_EQ(dl::filter_text(asked.filters[1]), "All files (*)");

    EXPECT_EQ(dl::SourceState.mode, dl::SourceMode::File);
    EXPECT_EQ(dl::FileName, take);
    EXPECT_NE(dl::SourceFile, nullptr);
    EXPECT_EQ(dl::SourceInfo.sample_rate, 22050u);
    EXPECT_EQ(w.title(), "take 1.wav - dewlark");
    EXPECT_EQ(w.button_text(dl::kPlayButton), "PLAY");
    EXPECT_TRUE(w.button_enabled(dl::kPlayButton));
    EXPECT_TRUE(boxes_.boxes.empty());
    // The folder is remembered for the next time, and the file is the first recent one.
    EXPECT_EQ(Settings.OpenFolder, dir_);
    EXPECT_EQ(dl::RecentFiles(), Paths{take});
    EXPECT_TRUE(w.menu_enabled(dl::kCmdRecentFiles));
    EXPECT_EQ(w.open_submenu(dl::kCmdRecentFiles), Texts{"&1 " + take});
    w.trigger_menu(dl::kCmdOpen);  // cancelled
    ASSERT_EQ(dialog_.requests.size(), 2u);
    EXPECT_EQ(dialog_.requests[1].folder, dir_);

    // It plays as a dropped file does.
    dl::DispatchCommand(dl::kCmdStart, 0);
    EXPECT_TRUE(dl::SourceState.running);
    dl::DispatchCommand(dl::kCmdStop, 0);
}

TEST_F(OpenFileTest, TheDialogStartsBesideTheOpenFileWhileNoFolderIsRemembered) {
    dl::MainWindow& w = start({demo()});
    w.trigger_menu(dl::kCmdOpen);
    ASSERT_EQ(dialog_.requests.size(), 1u);
    EXPECT_EQ(dialog_.requests[0].folder, dl::AbsolutePath(std::filesystem::path(demo()).parent_path().string()));
    Settings.OpenFolder = dir_ + "/gone";  // a folder no longer there is not where it starts
    w.trigger_menu(dl::kCmdOpen);
    EXPECT_EQ(dialog_.requests[1].folder, dialog_.requests[0].folder);
}

TEST_F(OpenFileTest, CancelChangesNothing) {
    dl::MainWindow& w = start({demo()});
    ASSERT_NE(dl::SourceFile, nullptr);
    const dl::RiffFile* open_file = dl::SourceFile.get();
    const Paths recent = dl::RecentFiles();
    const std::string title = w.title();
    dialog_.answers.push_back(std::nullopt);
    w.trigger_menu(dl::kCmdOpen);
    EXPECT_EQ(dialog_.requests.size(), 1u);
    EXPECT_EQ(dl::SourceFile.get(), open_file) << "the open source stays open";
    EXPECT_EQ(dl::FileName, demo());
    EXPECT_EQ(w.title(), title);
    EXPECT_EQ(dl::SourceState.mode, dl::SourceMode::File);
    EXPECT_EQ(dl::RecentFiles(), recent);
    EXPECT_EQ(Settings.OpenFolder, "");
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(OpenFileTest, WhileSoundRunsOpenAndTheRecentFilesAreRefusedAsADropIs) {
    const std::string other = sound("other.wav");
    dl::MainWindow& w = start({demo(), "/P"});
    dl::RememberRecentFile(other);
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_FALSE(w.accepts_drops());
    EXPECT_FALSE(w.menu_enabled(dl::kCmdOpen));
    EXPECT_FALSE(w.menu_enabled(dl::kCmdRecentFiles));
    dialog_.answers.push_back(other);
    w.trigger_menu(dl::kCmdOpen);
    dl::DispatchCommand(dl::kCmdOpen, 0);
    type_key(w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(dialog_.requests.empty()) << "no dialog while running";
    w.open_submenu(dl::kCmdRecentFiles);
    w.choose_in_submenu(dl::kCmdRecentFiles, 0);
    EXPECT_TRUE(dl::SourceState.running);
    EXPECT_EQ(dl::FileName, demo());

    dl::DispatchCommand(dl::kCmdStop, 0);
    EXPECT_TRUE(w.menu_enabled(dl::kCmdOpen));
    EXPECT_TRUE(w.menu_enabled(dl::kCmdRecentFiles));
    // Ctrl+O asks, as the item says.
    type_key(w, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(dialog_.requests.size(), 1u);
    EXPECT_EQ(dl::FileName, other);
}

TEST_F(OpenFileTest, WithoutAnOutputDeviceOpenIsGrayAsDropsAreRefused) {
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    dl::MainWindow& w = start();
    EXPECT_FALSE(w.accepts_drops());
    EXPECT_FALSE(w.menu_enabled(dl::kCmdOpen));
    dl::DispatchCommand(dl::kCmdOpen, 0);
    EXPECT_TRUE(dialog_.requests.empty());
    w.destroy();
    program_.reset();
    dl::audio_quit();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TEST_F(OpenFileTest, TheRecentFilesAreTheLastFiveOpenedMostRecentFirstEachOnce) {
    dl::MainWindow& w = start();
    Paths files;
    for (const char* name : {"1.wav", "2.wav", "3.wav", "4.wav", "5.wav", "6.wav"}) files.push_back(sound(name));
    open_all(w, files);
    auto texts = [&](const Paths& p) {
        Texts t;
        for (size_t i = 0; i < p.size(); ++i) t.push_back("&" + std::to_string(i + 1) + " " + p[i]);
        return t;
    };
    EXPECT_EQ(w.open_submenu(dl::kCmdRecentFiles), texts({files[5], files[4], files[3], files[2], files[1]}));
    // Choosing one opens it like a drop and brings it to the top.
    w.choose_in_submenu(dl::kCmdRecentFiles, 2);
    EXPECT_EQ(dl::FileName, files[3]);
    EXPECT_EQ(w.title(), "4.wav - dewlark");
    EXPECT_EQ(dl::SourceState.mode, dl::SourceMode::File);
    EXPECT_EQ(w.open_submenu(dl::kCmdRecentFiles), texts({files[3], files[5], files[4], files[2], files[1]}));
    // Opened again through the dialog: still once.
    open_all(w, {files[5]});
    EXPECT_EQ(dl::RecentFiles(), (Paths{files[5], files[3], files[4], files[2], files[1]}));
    // A dropped file is a recent one too.
    dl::HandleDroppedFiles({files[0]});
    EXPECT_EQ(dl::RecentFiles(), (Paths{files[0], files[5], files[3], files[4], files[2]}));
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(OpenFileTest, TheRecentFilesSurviveARestartLessTheFilesThatAreGone) {
    const std::string a = sound("a.wav"), b = sound("b & c.wav"), c = sound("c.wav");
    {
        dl::MainWindow& w = start();
        open_all(w, {a, b, c});
        QTimer::singleShot(20, [] { dl::DispatchCommand(dl::kCmdExit, 0); });
        EXPECT_EQ(program_->Run(), 0);
        program_.reset();
    }
    const std::string ini = dl_test::read_file(profile_ + "/dewlark.INI");
    EXPECT_NE(ini.find("Recent1=" + c + "\nRecent2=" + b + "\nRecent3=" + a + "\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("OpenFolder=" + dir_ + "\n"), std::string::npos) << ini;

    std::remove(b.c_str());
    dl::ResetProcessState();  // a new process
    dl::MainWindow& w = start();
    EXPECT_EQ(dl::RecentFiles(), (Paths{c, a}));
    EXPECT_EQ(Settings.OpenFolder, dir_);
    EXPECT_EQ(w.open_submenu(dl::kCmdRecentFiles), (Texts{"&1 " + c, "&2 " + a}));
    EXPECT_TRUE(boxes_.boxes.empty()) << "files gone at start leave quietly";

    // A file that went while the program runs leaves when chosen, with a message naming it.
    std::remove(c.c_str());
    w.open_submenu(dl::kCmdRecentFiles);
    w.choose_in_submenu(dl::kCmdRecentFiles, 0);
    ASSERT_EQ(boxes_.boxes.size(), 1u) << boxes_.boxes.back().text;
    EXPECT_EQ(boxes_.boxes[0].text, c + "\nThis file is no longer there; it has been taken off the recent files.");
    EXPECT_EQ(boxes_.boxes[0].icon, dl::MbIcon::Exclamation);
    EXPECT_EQ(dl::RecentFiles(), Paths{a});
    EXPECT_EQ(dl::SourceState.mode, dl::SourceMode::RecordPort) << "nothing else was opened or closed";
    std::remove(a.c_str());
    w.open_submenu(dl::kCmdRecentFiles);
    w.choose_in_submenu(dl::kCmdRecentFiles, 0);
    EXPECT_TRUE(dl::RecentFiles().empty());
    EXPECT_FALSE(w.menu_enabled(dl::kCmdRecentFiles));
}

TEST_F(OpenFileTest, AFailedOpenNamesTheFile) {
    dl::MainWindow& w = start();
    const std::string text = dl_test::write_file(dir_ + "/notes.wav", "not a sound at all, only words");
    const std::string gone = dir_ + "/gone.mp3";
    open_all(w, {text, gone});
    ASSERT_EQ(boxes_.boxes.size(), 2u);
    EXPECT_EQ(boxes_.boxes[0].text, text + "\nThis file is not WAVE file");
    EXPECT_EQ(boxes_.boxes[1].text, gone + "\ncant open file");
    EXPECT_EQ(w.title(), "gone.mp3 - dewlark");
    EXPECT_TRUE(dl::RecentFiles().empty()) << "only files that opened are recent";

    dl::JapaneseUi = true;
    open_all(w, {text});
    dl::JapaneseUi = false;
    ASSERT_EQ(boxes_.boxes.size(), 3u);
    EXPECT_EQ(boxes_.boxes[2].text, text + "\n指定したファイルは、RIFFファイルではありません。");
}

TEST_F(OpenFileTest, LongPathsAreShortenedInTheMiddleOnTheirMenu) {
    EXPECT_EQ(dl::RecentMenuText(0, "/a/b.wav"), "&1 /a/b.wav");
    EXPECT_EQ(dl::RecentMenuText(4, "/a/R&B.wav"), "&5 /a/R&&B.wav");
    const std::string deep = "/home/me/" + std::string(40, 'd') + "/録音/" + std::string(30, 'e') + "/take.wav";
    const std::string text = dl::RecentMenuText(1, deep);
    EXPECT_EQ(text, "&2 /home/me/ddddddddddd…" + std::string(30, 'e') + "/take.wav");
}

TEST_F(OpenFileTest, JapaneseMenusAndDialog) {
    dl::MainWindow& w = start_in_japanese();
    EXPECT_EQ(w.menu_text(dl::kCmdOpen), "開く(&O)...\tCtrl+O");
    EXPECT_EQ(w.menu_text(dl::kCmdRecentFiles), "最近使ったファイル(&F)");
    const std::string take = sound("録音.wav");
    open_all(w, {take});
    ASSERT_EQ(dialog_.requests.size(), 1u);
    EXPECT_EQ(dialog_.requests[0].caption, "開く");
    EXPECT_EQ(dl::filter_text(dialog_.requests[0].filters[0]), "サウンド ファイル (*.wav *.mp3 *.ogg *.flac *.oga *.opus)");
    EXPECT_EQ(dl::filter_text(dialog_.requests[0].filters[1]), "すべてのファイル (*)");
    EXPECT_EQ(w.title(), "録音.wav - dewlark");
    EXPECT_EQ(w.button_text(dl::kPlayButton), "再生");
    std::remove(take.c_str());
    w.open_submenu(dl::kCmdRecentFiles);
    w.choose_in_submenu(dl::kCmdRecentFiles, 0);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, take + "\nこのファイルはもうありません。最近使ったファイルの一覧から外しました。");
    end_in_english();
}

}  // namespace
