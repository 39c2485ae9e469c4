#pragma once
// What the display keeps between paints and ticks.
// Written by: display (the read-out under the mouse among them)
// Read by: display, app
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dc.h"

namespace dl {

// The off-screen surface for flicker-free drawing; exists exactly while UseMemDC is set.
// Written by: display (ReleaseDrawSurface lets it go at the window's end)
struct DrawSurfaceRecord {
    std::unique_ptr<Surface> surface;
    std::unique_ptr<Dc> dc;
};
inline DrawSurfaceRecord DrawSurfaceStore;
// The current drawing handle of per-tick graphs: the surface's context when UseMemDC is set,
// otherwise the tick's window context for the duration of the tick.
// Written by: display
inline Dc* DrawSurface = nullptr;

// How the graph's border was drawn at the last frame (the fat-line edge repeats it).
enum class BorderRopKind { None, Whiteness, Blackness };
inline BorderRopKind BorderRop{};  // None

struct ColoursRecord {
    // Light-on-dark drawing, recomputed from the system colours at every paint.
    bool DarkScheme = true;
    // The pitch the note colours count from (A6, raised by the colour-scale key).
    double NoteReference = 1760.0;
};
inline ColoursRecord Colours;
inline auto& DarkScheme = Colours.DarkScheme;
inline auto& NoteReference = Colours.NoteReference;

// The process-wide text buffer: DrawFrame leaves the Nyquist caption in it for the labels.
inline std::string SharedText;

// Held peaks of the level meter's first (top 2Y) and second row.
inline std::array<uint32_t, 2> PeakHoldValues{};

// Character cell of the font the peak labels were last drawn in.
struct LabelFontRecord {
    int width = 8;
    int height = 12;
};
inline LabelFontRecord LabelFont;

// The spectrogram's history: one column of colour indices per time slice of the sound (the width
// spans a chosen number of seconds), oldest overwritten first, for a graph of `columns` pixels. What
// the graph area shows is the newest `filled` columns against its right edge, or, for a picture of
// a whole sound, each column at its time from the left edge. It has a row per graph row.
struct SpectrogramRecord {
    int columns = 0;
    int rows = 0;
    int filled = 0;
    int newest = -1;             // ring index of the newest column
    std::vector<uint8_t> cells;  // column c's rows at c * rows, row 0 the top
    // Where the history was last drawn in full, and whether that picture still holds there.
    const Surface* drawn_on = nullptr;
    // Labels drawn over the picture at the last tick (left, top, right, bottom), repaired from the
    // history before the picture moves.
    struct Box {
        int left, top, right, bottom;
    };
    std::vector<Box> labels;
    // Seconds the width spans when a run chooses it (the whole sound of a picture); 0: the span
    // setting. With `from_start` the left edge is the sound's start rather than the right edge now.
    double span = 0;
    bool from_start = false;
    int64_t newest_slice = -1;  // time slice (seconds over a column's length) of the newest column
    double newest_seconds = -1;  // the time the newest block stood for
};
inline SpectrogramRecord Spectrogram;

// The read-out under the mouse: where the pointer is over the graph, and what the read-out covers
// on the window while it is shown.
struct HoverRecord {
    bool inside = false;  // the pointer is over the graph
    int x = 0, y = 0;     // client coordinates
    bool shown = false;
    int left = 0, top = 0, width = 0, height = 0;
    std::unique_ptr<Surface> under;  // the window's pixels under the read-out
};
inline HoverRecord Hover;

// The tuner read-out over the graph's top-left corner, and what it covers on the window while shown.
struct TunerRecord {
    bool shown = false;
    int left = 0, top = 0, width = 0, height = 0;
    std::unique_ptr<Surface> under;
};
inline TunerRecord Tuner;

}  // namespace dl
