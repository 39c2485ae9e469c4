// File › Save picture: the client area as the window shows it into a PNG file.
#include <QImage>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window_proc.h"
#include "app/save_picture.h"
#include "app_fixture.h"
#include "platform/file_dialog.h"
#include "resources/command_ids.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"

namespace {

using dl_test::AppTest;

class SaveAnswers {
public:
    explicit SaveAnswers(std::optional<std::string> answer) {
        dl::set_save_dialog_hook([this, answer](const dl::SaveFileRequest& r) {
            requests.push_back(r);
            return answer;
        });
    }
    ~SaveAnswers() { dl::set_save_dialog_hook(nullptr); }
    std::vector<dl::SaveFileRequest> requests;
};

// Every pixel of the picture file against the window's own image.
void ExpectSamePixels(const std::string& png, dl::Surface& window) {
    QImage picture(QString::fromStdString(png));
    ASSERT_FALSE(picture.isNull()) << png;
    ASSERT_EQ(picture.width(), window.device_width());
    ASSERT_EQ(picture.height(), window.device_height());
    int differ = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            differ += window.device_pixel(x, y) != dl::Rgb{uint8_t(qRed(p)), uint8_t(qGreen(p)), uint8_t(qBlue(p))};
        }
    EXPECT_EQ(differ, 0);
}

TEST_F(AppTest, SavePictureWritesTheWindowsImageAndCancelWritesNothing) {
    dl::MainWindow& w = start();
    dl::DispatchCommand(dl::kCmdSpectrogram, 0);
    w.invalidate();
    w.update_now();
    const std::string dir = dl_test::temp_dir() + "/pictures";
    std::filesystem::create_directories(dir);

    {
        SaveAnswers cancel(std::nullopt);
        dl::DispatchCommand(dl::kCmdSavePicture, 0);
        ASSERT_EQ(cancel.requests.size(), 1u);
        EXPECT_EQ(cancel.requests[0].suffix, "png");
        EXPECT_EQ(cancel.requests[0].name, "dewlark.png") << "no file shown: named after the program";
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir));

    const std::string png = dir + "/window.png";
    {
        SaveAnswers save(png);
        dl_test::type_key(w, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(save.requests.size(), 1u) << "Ctrl+Shift+S asks where";
    }
    ExpectSamePixels(png, w.surface());
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no temporary file is left";
}

TEST_F(AppTest, CtrlShiftSSavesTheSpectrogramOfAPlayThatGoesOn) {
    dl_test::write_file(profile_ + "/dewlark.INI", "[dewlark]\nsex=1\ndisplay=112\n");
    const std::string demo = std::string(DEWLARK_TEST_DATA) + "/../../data/demo.wav";
    dl::MainWindow& w = start({demo, "/P"});
    ASSERT_TRUE(dl::SourceState.running);
    EXPECT_TRUE(w.menu_checked(dl::kCmdSpectrogram));
    (void)QTest::qWaitFor([] { return dl::Spectrogram.filled >= 3; }, dl_test::kPatienceMs);
    ASSERT_GE(dl::Spectrogram.filled, 3) << "the play's ticks drew columns";
    const std::string png = dl_test::temp_dir() + "/playing.png";
    {
        SaveAnswers save(png);
        dl_test::type_key(w, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        ASSERT_EQ(save.requests.size(), 1u);
        EXPECT_EQ(save.requests[0].name, "demo.png");
    }
    EXPECT_TRUE(dl::SourceState.running) << "Ctrl+Shift+S is not Ctrl+S";
    ExpectSamePixels(png, w.surface());
    dl::DispatchCommand(dl::kCmdStop, 0);
}

TEST_F(AppTest, SavePictureSaysWhenItCannotWrite) {
    start();
    const std::string png = dl_test::temp_dir() + "/no/such/folder/window.png";
    SaveAnswers save(png);
    dl::DispatchCommand(dl::kCmdSavePicture, 0);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_NE(boxes_.boxes[0].text.find("The picture could not be saved."), std::string::npos) << boxes_.boxes[0].text;
    EXPECT_NE(boxes_.boxes[0].text.find(png), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(AppTest, PictureIsNamedAfterTheFileShown) {
    dl::FileName = "/music/take 3.wav";
    const dl::SaveFileRequest r = dl::SavePictureRequest();
    EXPECT_EQ(r.name, "take 3.png");
    EXPECT_EQ(r.caption, "Save picture");
}

TEST_F(AppTest, SpectrogramItemIsAViewLikeTheOthers) {
    dl::MainWindow& w = start();
    EXPECT_EQ(w.menu_text(dl::kCmdSpectrogram), "Spectro&gram");
    dl::DispatchCommand(dl::kCmdSpectrogram, 0);
    EXPECT_EQ(dl::Settings.display, dl::kViewSpectrogram);
    EXPECT_TRUE(w.menu_checked(dl::kCmdSpectrogram));
    EXPECT_FALSE(w.menu_checked(dl::kCmdLog));
    dl::DispatchCommand(dl::kCmdLinear, 0);
    EXPECT_FALSE(w.menu_checked(dl::kCmdSpectrogram));
    EXPECT_TRUE(w.menu_checked(dl::kCmdLinear));
}

TEST_F(AppTest, JapaneseTextsOfTheNewItems) {
    dl::MainWindow& w = start_in_japanese();
    EXPECT_EQ(w.menu_text(dl::kCmdSpectrogram), "スペクトログラム(&G)");
    EXPECT_EQ(w.menu_text(dl::kCmdSavePicture), "画像を保存(&P)...\tCtrl+Shift+S");
    end_in_english();
}

}  // namespace
