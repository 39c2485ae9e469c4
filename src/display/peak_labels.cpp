#include "display/peak_labels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "display/frequency_axis.h"
#include "display/graph_area.h"
#include "display/readouts.h"
#include "display/spectrogram.h"
#include "platform/font.h"
#include "platform/format_text.h"
#include "platform/system.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

namespace {

// Selects the label font for `count` labels into dc and records its cell in LabelFont.
std::unique_ptr<Font> select_label_font(Dc& dc, int count) {
    std::unique_ptr<Font> font;
    if (CellHeight * count < 25) {
        dc.select_font(nullptr);
    } else {
        const int height = count < 4 ? -16 : count == 4 ? -12 : count == 5 ? -10 : -9;
        const char* face = PlatformVersion < 778 ? "Modern"
                           : count >= 6          ? "Small Fonts"
                           : JapaneseUi          ? "MS ゴシック"
                                                 : "Courier New";
        font = Font::create(height, 400, JapaneseUi, face, true);
        dc.select_font(font.get());
    }
    const TextMetrics m = dc.font().metrics();
    LabelFont.width = m.variable_pitch ? (m.ave_char_width + m.max_char_width) / 2 : m.ave_char_width;
    LabelFont.height = std::abs(m.ascent);
    return font;
}

// The spectrogram's frequencies run upwards: each label sits on its peak's row beside the newest
// column, inside the graph, and one that would cover a label already drawn moves left of it.
void DrawSpectrogramPeakList(Dc& target, const BlockAnalysis& a, int level_columns, int room) {
    const int width = LabelFont.width, height = std::max(target.font().metrics().height, LabelFont.height);
    const int top = GraphTop(), right = GraphRight();
    struct Placed {
        int left, top, right, bottom;
    };
    static std::vector<Placed> placed;  // kept between ticks: no allocation per tick
    placed.clear();
    for (const PeakLabel& l : a.labels) {
        // A peak outside a chosen range has no place on the graph.
        if (!SpectrogramShows(l.place > 0 ? l.place : l.bin, a.n / 2)) continue;
        const std::string text = PeakLabelText(l);
        const std::string level = l.with_level ? PeakLabelLevelText(l.level) : std::string();
        int box = width * room;
        if (!text.empty()) box = std::max(box, target.text_width(text));
        if (!level.empty()) box = std::max(box, level_columns * width + target.text_width(level));
        int y = top + SpectrogramRow(l.bin, a.n / 2) - height / 2;
        y = std::clamp(y, top, GraphBottom() - height);
        int x = right - box;
        for (bool moved = true; moved && x > CellWidth;) {
            moved = false;
            for (const Placed& p : placed) {
                if (y < p.bottom && p.top < y + height && x < p.right && p.left < x + box) {
                    x = p.left - box - width;
                    moved = true;
                }
            }
        }
        x = std::max(x, CellWidth);
        if (!text.empty()) DrawPeakLabel(target, x, y, text, int(text.size()));
        if (!level.empty()) DrawPeakLabel(target, x + level_columns * width, y, level, int(level.size()));
        placed.push_back({x, y, x + box, y + height});
        NoteSpectrogramLabel(x, y, x + box, y + height);
    }
}

}  // namespace

std::string PeakLabelText(const PeakLabel& l) {
    switch (l.text) {
        case PeakLabel::Text::Figure: return FrequencyFigure(l.frequency, 5);
        case PeakLabel::Text::Note: return l.note;
        case PeakLabel::Text::None: break;
    }
    return "";
}

std::string PeakLabelLevelText(const LevelFigure& l) {
    if (!l.decibel) return format_text("=%.3f", l.amplitude);
    return format_text(l.decibels <= -100 ? "%4d" : "=%3d", l.decibels);
}

void DrawPeakLabel(Dc& dc, int x, int y, const std::string& text, int length) {
    if (Settings.UseMemDC && x + length * LabelFont.width > screen_width()) {
        dc.text_out(0, 0, text);
        dc.bit_blt(x, y, length * LabelFont.width, LabelFont.height, dc, 0, 0);
    } else {
        dc.text_out(x, y, text);
    }
}

void DrawPeakList(Dc& target, const BlockAnalysis& a) {
    const SettingsRecord& s = Settings;
    std::unique_ptr<Font> font;  // outlives the guard that deselects it
    DcStateGuard saved(target);
    if (DarkScheme) {
        target.set_text_color(kWhite);
        target.set_bk_color(kBlack);
    }
    font = select_label_font(target, s.freqnum);
    const int width = LabelFont.width;
    int row = s.freqnum > 0 ? (GraphHeight - LabelFont.height) / s.freqnum : 0;
    if (LabelFont.height < row) row = LabelFont.height;
    const bool tuning = s.display == kViewTuning;
    if (tuning) target.set_bk_mode(BkMode::Transparent);

    const int n = a.n;
    const int columns = s.use_onmei == 2 ? 6 : s.use_onmei == 1 ? 3 : 5;
    const int level_columns = s.use_onmei == 2 ? 6 : s.use_onmei == 1 ? 4 : 5;
    const int right = GraphRight();
    const int room = columns + (s.withlevel ? (s.Decibel ? 4 : 6) : 0);
    const FrequencyAxis axis = FrequencyAxis::OfView(n / 2);
    if (s.display == kViewSpectrogram) {
        DrawSpectrogramPeakList(target, a, level_columns, room);
        return;
    }
    // The tuning line holds every label in one row, strongest first: a weaker one that would
    // print over a stronger one is left out rather than making both unreadable.
    static std::vector<std::pair<int, int>> taken;  // kept between ticks: no allocation per tick
    taken.clear();
    for (const PeakLabel& l : a.labels) {
        const int i = l.row, b = l.bin;
        int y = GraphTop() + i * row;
        if (tuning) {
            y = GraphBottom() - 2 * CellHeight;
            // Weaker peaks fade towards the background.
            if (i >= 1) {
                const int g = ((256 / s.freqnum) * (DarkScheme ? s.freqnum - i : i)) & 0xff;
                target.set_text_color(Rgb{uint8_t(g), uint8_t(g), uint8_t(g)});
            }
        }
        // A chosen range leaves out the peaks outside it (the tuning line keeps them all).
        const double where = l.place > 0 ? l.place : b;
        if (!tuning && axis.ranged() && !axis.shows(where)) continue;
        int x = axis.ranged() ? int(axis.offset(where) + GraphLeft() - width * columns * 0.5)
                : s.display == kViewLinear
                    ? int((b * GraphWidth) / (n / 2) + CellWidth - width * columns * 0.5)
                    : b > 0 ? int(axis.offset(b) + GraphLeft() - width * columns * 0.5) : 0;
        // A precisely read peak stands where it was read, between the lines.
        if (l.place > 0 && !axis.ranged()) {
            const double at = s.display == kViewLinear ? l.place * GraphWidth / (n / 2)
                                                       : axis.offset(l.place);
            x = int(at + CellWidth - width * columns * 0.5);
        }
        if (x < CellWidth) x = CellWidth;
        if (x > right - width * room) x = right - width * room;
        if (l.nudged && x > CellWidth) x += int(1.5 * width);

        const std::string text = PeakLabelText(l);
        if (tuning) {
            int box = target.text_width(text);
            if (l.with_level) box = std::max(box, level_columns * width + target.text_width(PeakLabelLevelText(l.level)));
            const bool covers = std::any_of(taken.begin(), taken.end(), [&](const std::pair<int, int>& t) {
                return x < t.second + width && t.first < x + box + width;  // a cell apart
            });
            if (covers) continue;
            taken.emplace_back(x, x + box);
        }
        if (!text.empty()) DrawPeakLabel(target, x, y, text, int(text.size()));
        if (l.with_level) {
            const std::string level = PeakLabelLevelText(l.level);
            DrawPeakLabel(target, x + level_columns * width, y, level, int(level.size()));
        }
    }
}

}  // namespace dl
