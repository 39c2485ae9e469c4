#include "display/frame.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "display/layout.h"
#include "display/reference_traces.h"
#include "display/spectrogram.h"
#include "display/spectrogram_scale.h"
#include "display/spectrum_graphs.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/wave_format.h"
#include "resources/command_ids.h"
#include "state/analysis.h"
#include "state/layout_units.h"
#include "state/run.h"
#include "state/settings.h"
#include "state/shell.h"
#include "state/source.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

namespace {

void ClearGraph(Dc& dc) {
    dc.pat_blt(GraphLeft(), GraphTop(), GraphWidth, GraphHeight, DarkScheme ? Rop::Blackness : Rop::Whiteness);
}

double SurfaceScale() { return WindowSurface ? WindowSurface->scale() : 1; }

// A black surface of the client area's size with an empty graph.
void CreateDrawSurface() {
    const int w = WindowWidth + CellWidth, h = client_height();
    DrawSurfaceStore.surface = std::make_unique<Surface>(w, h, SurfaceScale());
    DrawSurfaceStore.dc = std::make_unique<Dc>(*DrawSurfaceStore.surface);
    Dc& dc = *DrawSurfaceStore.dc;
    dc.pat_blt(0, 0, w, h, Rop::Blackness);
    ClearGraph(dc);
    DrawSurface = &dc;
}

void DestroyDrawSurface() {
    if (DrawSurface == DrawSurfaceStore.dc.get()) DrawSurface = nullptr;
    DrawSurfaceStore.dc.reset();
    DrawSurfaceStore.surface.reset();
}

[[noreturn]] void OutOfMemory() {
    message_box({JapaneseUi ? "メモリ不足" : "nomem", "", true, MbIcon::None});
    end_process(1);
}

}  // namespace

void FillFace(Dc& dc, int left, int top, int right, int bottom) {
    dc.fill_rect(left, top, right, bottom, system_colour(SysColour::ButtonFace));
}

void BlackenLevelPanel(Dc& dc) { dc.pat_blt(37 * CellWidth, CellHeight, 35 * CellWidth, 5 * CellHeight, Rop::Blackness); }

void DrawGraphBorder(Dc& dc) {
    const int L = luma(system_colour(SysColour::ButtonFace));
    const BorderChoice choice = BorderForFace(L);
    BorderRop = choice == BorderChoice::White   ? BorderRopKind::Whiteness
                : choice == BorderChoice::Black ? BorderRopKind::Blackness
                                                : BorderRopKind::None;
    if (BorderRop == BorderRopKind::None) return;
    const Rop rop = BorderRop == BorderRopKind::Whiteness ? Rop::Whiteness : Rop::Blackness;
    const int left = GraphLeft() - 1, top = GraphTop() - 1, W = GraphWidth + 2, H = GraphHeight + 2;
    dc.pat_blt(left, top, W, 1, rop);
    dc.pat_blt(left, top, 1, H, rop);
    dc.pat_blt(left, GraphBottom(), W, 1, rop);
    dc.pat_blt(GraphRight(), top, 1, H, rop);
}

void DrawFrame(Dc& dc) {
    const int X = CellWidth, Y = CellHeight, W = GraphWidth;
    const int B = 1 << (Settings.fftparam - 1);
    const Font* old_font = dc.select_font(nullptr);

    FillFace(dc, X, GraphTop() - 4, GraphRight() + 1, GraphTop());
    FillFace(dc, X, GraphBottom(), GraphRight() + 1, FrequencyAxisTop());
    FillFace(dc, GraphRight(), 12 * Y, W + 2 * X, GraphBottom());
    FillFace(dc, GraphRight(), 12 * Y, W + 9 * X, GraphTop());

    dc.set_text_color(system_colour(SysColour::ButtonText));
    dc.set_bk_mode(BkMode::Opaque);
    dc.set_bk_color(system_colour(SysColour::ButtonFace));
    FillFace(dc, 0, FrequencyAxisTop(), W + 12 * X, FrequencyAxisTop() + 2 * Y + 3);
    ClearGraph(dc);
    Hover.shown = false;  // cleared with the graph

    const int khz = SourceInfo.khz;
    if (khz == 0) {
        dc.select_font(old_font);
        DrawGraphBorder(dc);
        return;
    }
    const uint32_t rate = SourceInfo.sample_rate;
    switch (Settings.display) {
        case kViewLinear: {
            const long top = khz % 11 == 0 ? long(uint64_t(rate) * 5000 / 11025) : long(rate / 2);
            char buf[32];
            std::snprintf(buf, sizeof buf, "%ld Hz", long(rate / 2));
            SharedText = buf;
            DrawLinearFrequencyLabels(dc, khz, double(top));
            break;
        }
        case kViewLog:
            dc.text_out(W + 4 * X + 1, FrequencyAxisTop(), "Hz");
            DrawLogFrequencyLabels(dc, khz, B);
            break;
        case kViewSpectrogram:
            DrawSpectrogramHistory(dc);
            break;
        default: break;
    }
    // The references are there before the first spectrum is.
    DrawReferenceTraces(dc, B);

    dc.set_text_color(kBlack);
    dc.set_bk_mode(BkMode::Opaque);
    dc.set_bk_color(kWhite);
    dc.select_font(old_font);

    if (SourceInfo.format_tag != kTagPcm && ConversionStream == nullptr && SourceState.running) {
        SharedText = JapaneseUi ? "PCM形式でないため、スペクトル表示できません。" : "Can't display spectrum. Becouse not PCM.";
        dc.text_out(2 * X, 14 * Y, SharedText);
    }

    const SidePanel p = SidePanelGeometry();
    FillFace(dc, W + 2 * X, 12 * Y, W + 11 * X, FrequencyAxisTop());
    const bool spectrum_view = Settings.display == kViewLinear || Settings.display == kViewLog;
    auto clear_panel = [&] {
        if (WideLayout())
            FillFace(dc, p.x0, p.y0, p.x0 + 14 * X, 12 * Y);
        else
            FillFace(dc, p.x0, p.y0, p.x0 + 8 * X, GraphBottom());
    };
    // The spectrogram's colours are levels, not notes: its column holds frequencies and the key.
    if (Settings.display == kViewSpectrogram) {
        clear_panel();
        DrawSpectrogramScale(dc, khz, B);
    } else if (NoteLegendShown()) {
        if (spectrum_view) DrawAmplitudeScale(dc);
        DrawNoteLegend(dc, p.x0, p.y0, p.h);
    } else {
        clear_panel();
        if (spectrum_view) DrawAmplitudeScale(dc);
    }
    DrawGraphBorder(dc);
}

void PrepareDisplayResources() {
    if (!RunAnalyser.make_work_arrays(Settings.fftparam)) OutOfMemory();

    if (Settings.UseMemDC && !DrawSurfaceStore.dc) {
        CreateDrawSurface();
    } else if (!Settings.UseMemDC && DrawSurfaceStore.dc) {
        DestroyDrawSurface();
    }

    NoteReference = 1760.0;
    for (int k = 0; k < Settings.ColourScaleKey; ++k) NoteReference *= 1.0594630943592953;
}

void ReleaseDrawSurface() {
    DestroyDrawSurface();
    DrawSurface = nullptr;
}

void FitDrawSurfaceToWindow() {
    if (DrawSurfaceStore.surface && DrawSurfaceStore.surface->scale() != SurfaceScale()) {
        DestroyDrawSurface();
        CreateDrawSurface();
    }
}

void ResizeDrawSurface() {
    // A window may span more than the screen the system names (two monitors): it has its own room.
    const int room = std::max(screen_width(), TheMainWindow ? TheMainWindow->client_width() : 0);
    FitWindowWidth(room);
    if (Settings.UseMemDC && DrawSurfaceStore.dc) {
        DestroyDrawSurface();
        CreateDrawSurface();
    }
    if (TheMainWindow) TheMainWindow->invalidate();
}

}  // namespace dl
