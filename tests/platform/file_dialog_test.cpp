// The file dialog: a hook answers it in tests; the real one lists the sound files whatever their case.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "platform/file_dialog.h"
#include "support/test_support.h"

namespace {

using Names = std::vector<std::string>;

dl::OpenFileRequest sound_request(const std::string& folder) {
    return {"Open", folder, {{"Sound files", {"*.wav", "*.mp3", "*.ogg"}}, {"All files", {"*"}}}};
}

// Runs `act` on the file dialog once it shows, from its own loop.
void when_file_dialog_shows(std::function<void(QFileDialog&)> act) {
    auto* timer = new QTimer;
    const QDeadlineTimer patience(dl_test::kPatienceMs);
    QObject::connect(timer, &QTimer::timeout, [timer, act, patience] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (d && d->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(*d);
        } else if (patience.hasExpired()) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no file dialog showed";
        }
    });
    timer->start(10);
}

// The names the dialog's list offers (enabled), once its folder has been read (on a thread of its own).
Names listed(QFileDialog& d, size_t at_least) {
    auto* view = d.findChild<QListView*>("listView");
    if (!view) return {};
    Names names;
    (void)QTest::qWaitFor(
        [&] {
            names.clear();
            QAbstractItemModel* m = view->model();
            const QModelIndex root = view->rootIndex();
            for (int r = 0; r < m->rowCount(root); ++r) {
                const QModelIndex i = m->index(r, 0, root);
                if (m->flags(i) & Qt::ItemIsEnabled) names.push_back(m->data(i).toString().toStdString());
            }
            return names.size() >= at_least;
        },
        dl_test::kPatienceMs);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileDialogTest, AHookAnswersInsteadOfADialog) {
    std::vector<dl::OpenFileRequest> seen;
    dl::set_file_dialog_hook([&](const dl::OpenFileRequest& r) -> std::optional<std::string> {
        seen.push_back(r);
        return seen.size() == 1 ? std::optional<std::string>("/music/a.wav") : std::nullopt;
    });
    EXPECT_EQ(dl::open_file_dialog(sound_request("/music")), std::optional<std::string>("/music/a.wav"));
    EXPECT_EQ(dl::open_file_dialog(sound_request("/music")), std::nullopt);
    dl::set_file_dialog_hook(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].folder, "/music");
    EXPECT_EQ(dl::filter_text(seen[0].filters[0]), "Sound files (*.wav *.mp3 *.ogg)");
    EXPECT_EQ(dl::filter_text(seen[0].filters[1]), "All files (*)");
}

TEST(FileDialogTest, TheDialogListsSoundFilesOfAnyCaseStartsInTheFolderAndGivesTheChoice) {
    const std::string dir = dl_test::temp_dir();
    for (const char* name : {"a.wav", "B.WAV", "c.Mp3", "d.OGG", "e.txt", "f.wav.bak"})
        dl_test::write_file(dir + "/" + name, "x");
    std::string folder, filter_shown;
    Names sounds, everything;
    when_file_dialog_shows([&](QFileDialog& d) {
        folder = d.directory().absolutePath().toStdString();
        filter_shown = d.selectedNameFilter().toStdString();
        sounds = listed(d, 4);
        d.selectNameFilter("All files (*)");
        everything = listed(d, 6);
        // The user types the name and presses Enter.
        auto* name = d.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->clear();
        QTest::keyClicks(name, "B.WAV");
        QTest::keyClick(name, Qt::Key_Return);
    });
    const std::optional<std::string> chosen = dl::open_file_dialog(sound_request(dir));
    EXPECT_EQ(folder, dir);
    EXPECT_EQ(filter_shown, "Sound files (*.wav *.mp3 *.ogg)");
    EXPECT_EQ(sounds, (Names{"B.WAV", "a.wav", "c.Mp3", "d.OGG"}));
    EXPECT_EQ(everything, (Names{"B.WAV", "a.wav", "c.Mp3", "d.OGG", "e.txt", "f.wav.bak"}));
    EXPECT_EQ(chosen, std::optional<std::string>(dir + "/B.WAV"));
}

TEST(FileDialogTest, CancelGivesNothing) {
    const std::string dir = dl_test::temp_dir();
    when_file_dialog_shows([](QFileDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    EXPECT_EQ(dl::open_file_dialog(sound_request(dir)), std::nullopt);
}

}  // namespace
