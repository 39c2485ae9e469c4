#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "display/frame.h"
#include "display/graph_area.h"
#include "display/level_meter.h"
#include "display/spectrum_graphs.h"
#include "platform/font.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "state/layout_units.h"
#include "state/reset.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl_test {

// A client area of the given graph width with the stock font's layout units and a known source.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override { Configure(512); }
    void TearDown() override {
        dl::ResetProcessState();
        dl::Font::use_japanese_stock_font(false);
    }

    void Configure(int graph_width, int cell_width = 8, int cell_height = 7, double scale = 1) {
        dl::Settings = dl::SettingsRecord{};
        dl::LayoutUnits.CellWidth = cell_width;
        dl::LayoutUnits.CellHeight = cell_height;
        dl::LayoutUnits.GraphWidth = graph_width;
        dl::LayoutUnits.WindowWidth = dl::compute_window_width(graph_width, cell_width, 1920);
        dl::DarkScheme = true;
        window = std::make_unique<dl::Surface>(dl::WindowWidth + cell_width, 16 * cell_height + 260, scale);
        dl::WindowSurface = window.get();
        SetRate(44100);
        dl::SourceInfo.format_tag = 1;
        dl::SourceInfo.ChannelLayout = 3;
    }

    static void SetRate(uint32_t rate) {
        dl::SourceInfo.sample_rate = rate;
        dl::SourceInfo.khz = int32_t((rate + 500) / 1000);
    }

    int X() const { return dl::CellWidth; }
    int Y() const { return dl::CellHeight; }
    int W() const { return dl::GraphWidth; }
    int Top() const { return 13 * dl::CellHeight; }

    dl::Rgb At(int x, int y) const { return window->pixel(x, y); }

    static std::vector<uint8_t> Levels(int bins, uint32_t seed) {
        std::mt19937 gen(seed);
        std::vector<uint8_t> v(static_cast<size_t>(bins));
        // A falling noise floor with peaks, like a real spectrum.
        for (int i = 0; i < bins; ++i) {
            int base = 60 + (150 * i) / bins + int(gen() % 50);
            if (gen() % 97 == 0) base -= int(gen() % 120);
            v[i] = uint8_t(std::clamp(base, 0, 255));
        }
        return v;
    }

    std::unique_ptr<dl::Surface> window;
};

}  // namespace dl_test

namespace dl_test {

// The main window as its paint and one analysis tick leave it: panels, captions, frame, graph
// and level meter, drawn on the window's own context.
inline void PaintWindowWithTick(const std::vector<uint8_t>& levels, uint32_t left, uint32_t right) {
    using namespace dl;
    const int X = CellWidth, Y = CellHeight;
    Dc dc(*WindowSurface);
    dc.fill_rect(0, 0, WindowSurface->width(), WindowSurface->height(), system_colour(SysColour::ButtonFace));
    BlackenLevelPanel(dc);
    dc.fill_rect(X, Y, 36 * X, 12 * Y, DarkScheme ? kBlack : kWhite);
    DrawChannelLabels(dc);
    DrawFrame(dc);
    const int B = int(levels.size());
    Dc* target = DrawSurfaceStore.dc ? DrawSurfaceStore.dc.get() : &dc;
    switch (Settings.display) {
        case 109: DrawLinearSpectrum(*target, levels.data(), B); break;
        case 110: DrawLogSpectrum(*target, levels.data(), B); break;
        default: ScrollTuningLines(*target); break;
    }
    if (target != &dc) CopyGraph(dc, *target);
    if (SourceInfo.ChannelLayout >= 2) {
        DrawLevels(dc, left, 2 * Y, Y, 2048);
        DrawLevels(dc, right, 4 * Y, Y, 2048);
    } else {
        DrawLevels(dc, left, 2 * Y, 3 * Y, 2048);
    }
}

}  // namespace dl_test
