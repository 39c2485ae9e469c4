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

// The dialogs open over the modal window in front, else over the main window.
QWidget* dialog_parent() {
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : main_window_widget();
}

// Qt's own dialog (set before any other property, or it does not hold): its name patterns match
// without regard to case on every desktop, which the desktops' own dialogs do not promise.
void use_own_dialog(QFileDialog& dialog) { dialog.setOption(QFileDialog::DontUseNativeDialog, true); }

void set_filters_and_folder(QFileDialog& dialog, const std::vector<FileTypeFilter>& filters, const std::string& folder) {
    const QStringList names = name_filters(filters);
    if (!names.isEmpty()) dialog.setNameFilters(names);
    if (!folder.empty()) dialog.setDirectory(QString::fromStdString(folder));
}

// The file chosen, or none when the dialog was cancelled.
std::optional<std::string> chosen_file(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front().toStdString();
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
    QFileDialog dialog(dialog_parent(), QString::fromStdString(request.caption));
    use_own_dialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    set_filters_and_folder(dialog, request.filters, request.folder);
    return chosen_file(dialog);
}

std::optional<std::string> save_file_dialog(const SaveFileRequest& request) {
    if (g_save_hook) return g_save_hook(request);
    if (!QCoreApplication::instance()) return std::nullopt;
    QFileDialog dialog(dialog_parent(), QString::fromStdString(request.caption));
    use_own_dialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    set_filters_and_folder(dialog, request.filters, request.folder);
    if (!request.suffix.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.suffix));
    if (!request.name.empty()) dialog.selectFile(QString::fromStdString(request.name));
    return chosen_file(dialog);
}

}  // namespace dl
