#include "app/export_command.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/batch_run.h"
#include "app/spectrum_csv.h"
#include "platform/clipboard.h"
#include "platform/regular_file.h"
#include "resources/messages.h"
#include "state/analysis.h"
#include "state/references.h"
#include "state/settings.h"
#include "state/shell.h"

namespace dl {

std::string DialogFolder() {
    std::error_code error;
    return !Settings.OpenFolder.empty() && std::filesystem::is_directory(Settings.OpenFolder, error) ? Settings.OpenFolder
                                                                                                   : std::string();
}

std::string NameAfterShownFile(const std::string& tail) {
    const std::filesystem::path file(FileName);
    return (FileName.empty() || file.stem().empty() ? std::string("dewlark") : file.stem().string()) + tail;
}

SaveFileRequest ExportRequest(ExportKind kind) {
    SaveFileRequest r;
    switch (kind) {
        case ExportKind::Spectrum:
            r.caption = JapaneseUi ? "スペクトルを書き出す" : "Export spectrum";
            r.name = NameAfterShownFile("-spectrum.csv");
            break;
        case ExportKind::Peaks:
            r.caption = JapaneseUi ? "ピークの一覧を書き出す" : "Export peak list";
            r.name = NameAfterShownFile("-peaks.csv");
            break;
        case ExportKind::Log:
            r.caption = JapaneseUi ? "解析の記録を書き出す" : "Export log";
            r.name = NameAfterShownFile("-log.csv");
            break;
    }
    r.folder = DialogFolder();
    r.filters = {{JapaneseUi ? "CSV ファイル" : "CSV files", {"*.csv"}}};
    r.suffix = "csv";
    return r;
}

bool ExportText(ExportKind kind, std::string& out) {
    const BlockAnalysis& a = RunAnalyser.result;
    switch (kind) {
        case ExportKind::Spectrum: {
            std::vector<double> frequencies;
            std::vector<NamedLevels> columns;
            if (!CurrentSpectrum(a, frequencies, columns)) return ReportMessage(kMsgNoSpectrumYet), false;
            out = SpectrumCsv(frequencies, columns);
            return true;
        }
        case ExportKind::Peaks:
            if (!a.spectrum) return ReportMessage(kMsgNoSpectrumYet), false;
            if (!PeakListCsv(a, out)) return ReportMessage(kMsgNoPeakList), false;
            return true;
        case ExportKind::Log:
            if (AnalysisLog.rows.empty()) return ReportMessage(kMsgNothingLogged), false;
            out = std::string(CsvHeader()) + "\n";
            for (const std::string& row : AnalysisLog.rows) out += row + "\n";
            return true;
    }
    return false;
}

bool WriteUserFile(const std::string& path, const std::string& bytes) {
    const FileReplace written = replace_regular_file(path, bytes, 0644);
    if (written == FileReplace::Written) return true;
    const std::string why = written == FileReplace::NotRegular ? std::string(JapaneseUi ? "通常のファイルではありません" : "not a regular file")
                                                                : std::string(std::strerror(errno));
    ReportMessage(path + "\n" + MessageText(kMsgFileNotWritten) + "\n" + why);
    return false;
}

void ExportCommand(ExportKind kind) {
    // What is exported is the block shown as the command was given, not one a dialog's wait let in.
    std::string text;
    if (!ExportText(kind, text)) return;
    const std::optional<std::string> chosen = save_file_dialog(ExportRequest(kind));
    if (!chosen || chosen->empty()) return;
    WriteUserFile(*chosen, text);
}

void CopyReadoutsCommand() {
    if (!RunAnalyser.result.spectrum && !RunAnalyser.result.peak_shown) return ReportMessage(kMsgNoSpectrumYet);
    set_clipboard_text(ReadoutsText(RunAnalyser.result));
}

void LogAnalysedBlock(double seconds, const BlockAnalysis& a) { AnalysisLog.rows.push_back(CsvRow(seconds, a)); }

void ClearAnalysisLog() { AnalysisLog.rows.clear(); }

}  // namespace dl
