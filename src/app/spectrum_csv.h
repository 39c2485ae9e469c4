#pragma once
// The window's data as CSV: the spectrum (a column of frequencies and named columns of levels, the
// format references are saved and loaded in), the peak list, and the text Copy puts on the clipboard.
#include <string>
#include <vector>

#include "state/analysis.h"
#include "state/references.h"

namespace dl {

// One column of levels in dB; -inf is written "-inf", a level that is not a number leaves its
// field empty. The header names it "<name>_db".
struct NamedLevels {
    std::string name;
    std::vector<double> decibels;
};

// "frequency_hz,<name>_db,..." and one row a frequency.
std::string SpectrumCsv(const std::vector<double>& frequencies, const std::vector<NamedLevels>& columns);

// The spectrum of the block analysed last, as the graph shows it: the frequency of each line and the
// columns the graph draws: the live spectrum as "level", then the second trace ("right", "side" or
// "second") and the holds ("max_hold", "min_hold") when they are on. False when no
// spectrum has been analysed.
bool CurrentSpectrum(const BlockAnalysis& a, std::vector<double>& frequencies, std::vector<NamedLevels>& columns);

// The references, one column each, over the frequencies of all of them (a column is empty where its
// reference has no line).
std::string ReferencesCsv(const std::vector<ReferenceSpectrum>& references);
// Reads the spectrum format: each level column becomes a reference named by the column, the live
// spectrum's "level" by `plain_name`. False with the reason in `why`, `out` untouched.
bool ReadSpectrumCsv(const std::string& text, const std::string& plain_name, std::vector<ReferenceSpectrum>& out,
                     std::string& why);

// "rank,frequency_hz,note,cents,level_db" and a row a labelled peak, strongest first. False when the
// block has no peak list.
bool PeakListCsv(const BlockAnalysis& a, std::string& out);

// The read-outs and the peak list as lines of text, as the window shows them.
std::string ReadoutsText(const BlockAnalysis& a);

}  // namespace dl
