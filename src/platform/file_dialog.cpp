#include "platform/file_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QStringList>

#include "platform/main_window_qt.h"

namespace dl {

namespace {
FileDialogHook g_hook;
SaveDialogHook g_save_hook;

QStringList name_filters(const std::vector<FileTypeFilter>& filters) {
    QStringList out;
    for (const FileTypeFilter& f : filters) out << QString::fromStdString(filter_text(f));
    return out;
}
}  // namespace

void set_file_dialog_hook(FileDialogHook hook) { g_hook = std::move(hook); }
void set_save_dialog_hook(SaveDialogHook hook) { g_save_hook = std::move(hook); }

std::string filter_text(const FileTypeFilter& filter) {
    std::string patterns;
    for (const std::string& p : filter.patterns) patterns += (patterns.empty() ? "" : " ") + p;
    return filter.label + " (" + patterns + ")";
}

std::optional<std::string> open_file_dialog(const OpenFileRequest& request) {
    if (g_hook) return g_hook(request);
    if (!QCoreApplication::instance()) return std::nullopt;
    QWidget* modal = QApplication::activeModalWidget();
    QFileDialog dialog(modal ? modal : main_window_widget(), QString::fromStdString(request.caption));
    // Qt's own dialog: its name patterns match without regard to case on every desktop, which the
    // desktops' own dialogs do not promise.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    const QStringList filters = name_filters(request.filters);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.folder.empty()) dialog.setDirectory(QString::fromStdString(request.folder));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front().toStdString();
}

std::optional<std::string> save_file_dialog(const SaveFileRequest& request) {
    if (g_save_hook) return g_save_hook(request);
    if (!QCoreApplication::instance()) return std::nullopt;
    QWidget* modal = QApplication::activeModalWidget();
    QFileDialog dialog(modal ? modal : main_window_widget(), QString::fromStdString(request.caption));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = name_filters(request.filters);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.suffix.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.suffix));
    if (!request.folder.empty()) dialog.setDirectory(QString::fromStdString(request.folder));
    if (!request.name.empty()) dialog.selectFile(QString::fromStdString(request.name));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front().toStdString();
}

}  // namespace dl
