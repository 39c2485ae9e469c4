#include "app/reference_commands.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "app/export_command.h"
#include "app/spectrum_csv.h"
#include "display/block_drawing.h"
#include "display/frame.h"
#include "display/hover_readout.h"
#include "platform/file_dialog.h"
#include "platform/regular_file.h"
#include "resources/command_ids.h"
#include "resources/messages.h"
#include "state/analysis.h"
#include "state/references.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/window_dc.h"

namespace dl {

namespace {

constexpr size_t kLargestSpectrumFile = size_t(64) << 20;

std::string time_now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

// The graph with the references as they are now, when no tick will draw it soon.
void redraw_graph() {
    if (SourceState.running || !WindowSurface) return;
    if (Settings.display != kViewLinear && Settings.display != kViewLog) return;
    WindowDc wdc;
    if (!RunAnalyser.result.spectrum) return DrawFrame(wdc.dc());
    HideHoverReadout(wdc.dc());
    DrawBlockAnalysis(wdc.dc(), RunAnalyser.result);
    ShowHoverReadout(wdc.dc());
}

// The held references into the file kept for the next start (none: no file).
void keep_references() {
    const std::string path = KeptReferencesPath();
    if (References.held.empty()) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return;
    }
    if (replace_regular_file(path, ReferencesCsv(References.held), 0644) != FileReplace::Written)
        ReportMessage(path + "\n" + MessageText(kMsgReferencesNotKept) + "\n" + std::strerror(errno));
}

void changed() {
    ++References.generation;
    keep_references();
    redraw_graph();
}

bool read_spectrum_file(const std::string& path, std::vector<ReferenceSpectrum>& out, std::string& why) {
    std::string text;
    switch (read_regular_file(path, kLargestSpectrumFile, text)) {
        case FileRead::Read: break;
        case FileRead::Missing: return why = std::strerror(ENOENT), false;
        case FileRead::NotRegular: return why = JapaneseUi ? "通常のファイルではありません" : "not a regular file", false;
        case FileRead::TooLarge: return why = JapaneseUi ? "ファイルが大きすぎます" : "the file is too large", false;
        case FileRead::Failed: return why = std::strerror(errno), false;
    }
    return ReadSpectrumCsv(text, std::filesystem::path(path).stem().string(), out, why);
}

}  // namespace

std::string KeptReferencesPath() {
    return (std::filesystem::path(settings_path()).parent_path() / "dewlark-references.csv").string();
}

void HoldReferenceCommand() {
    std::vector<double> frequencies;
    std::vector<NamedLevels> columns;
    if (!CurrentSpectrum(RunAnalyser.result, frequencies, columns)) return ReportMessage(kMsgNoSpectrumYet);
    if (References.held.size() >= kMostReferences) return ReportMessage(kMsgReferencesFull);
    References.held.push_back(
        {time_now(), double(SourceInfo.sample_rate), RunAnalyser.result.n, std::move(frequencies), std::move(columns[0].decibels)});
    changed();
}

void ClearReferencesCommand() {
    if (References.held.empty()) return;
    References.held.clear();
    changed();
}

void SaveReferencesCommand() {
    if (References.held.empty()) return ReportMessage(kMsgNoReferenceHeld);
    SaveFileRequest r;
    r.caption = JapaneseUi ? "基準スペクトルを保存" : "Save references";
    r.name = NameAfterShownFile("-references.csv");
    r.folder = DialogFolder();
    r.filters = {{JapaneseUi ? "CSV ファイル" : "CSV files", {"*.csv"}}};
    r.suffix = "csv";
    const std::string text = ReferencesCsv(References.held);
    const std::optional<std::string> chosen = save_file_dialog(r);
    if (chosen && !chosen->empty()) WriteUserFile(*chosen, text);
}

bool LoadReferenceFile(const std::string& path) {
    std::vector<ReferenceSpectrum> read;
    std::string why;
    if (!read_spectrum_file(path, read, why)) {
        ReportMessage(path + "\n" + MessageText(kMsgNotASpectrum) + " " + why);
        return false;
    }
    if (References.held.size() + read.size() > kMostReferences) {
        ReportMessage(path + "\n" + MessageText(kMsgReferencesFull));
        return false;
    }
    for (ReferenceSpectrum& r : read) References.held.push_back(std::move(r));
    changed();
    return true;
}

void LoadReferenceCommand() {
    OpenFileRequest r;
    r.caption = JapaneseUi ? "基準スペクトルを読み込む" : "Load reference";
    r.folder = DialogFolder();
    r.filters = {{JapaneseUi ? "CSV ファイル" : "CSV files", {"*.csv"}}};
    const std::optional<std::string> chosen = open_file_dialog(r);
    if (chosen && !chosen->empty()) LoadReferenceFile(*chosen);
}

void LoadKeptReferences() {
    const std::string path = KeptReferencesPath();
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return;
    std::vector<ReferenceSpectrum> read;
    std::string why;
    // A file that cannot be read is left for the user to look at; nothing is held from it.
    if (!read_spectrum_file(path, read, why)) return ReportMessage(path + "\n" + MessageText(kMsgKeptReferencesUnread) + " " + why);
    if (read.size() > kMostReferences) read.resize(kMostReferences);
    References.held = std::move(read);
    ++References.generation;
}

}  // namespace dl
