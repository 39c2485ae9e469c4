#pragma once
#include <memory>
#include <string>

#include "platform/dc.h"

namespace dl {

// The off-screen surface for flicker-free drawing; exists exactly while UseMemDC is set.
struct DrawSurfaceRecord {
    std::unique_ptr<Surface> surface;
    std::unique_ptr<Dc> dc;
};
inline DrawSurfaceRecord DrawSurfaceStore;
// The current drawing handle of per-tick graphs: the surface's context when UseMemDC is set,
// otherwise the tick's window context for the duration of the tick.
inline Dc* DrawSurface = nullptr;

enum class BorderRopKind { None, Whiteness, Blackness };
inline BorderRopKind BorderRop = BorderRopKind::None;
inline double NoteReference = 1760.0;

// The process-wide text buffer: DrawFrame leaves the Nyquist caption in it for the labels.
inline std::string SharedText;

// The transform's real and imaginary parts, N = 2^fftparam values each, laid out so the two
// arrays never share cache sets.
struct WorkArraysRecord {
    double* re = nullptr;
    double* im = nullptr;
    int n = 0;
    std::unique_ptr<double[]> storage;
};
inline WorkArraysRecord WorkArrays;

void FillFace(Dc& dc, int left, int top, int right, int bottom);
void DrawFrame(Dc& dc);
void DrawGraphBorder(Dc& dc);
void PrepareDisplayResources();
void ResizeDrawSurface();
// The LevelPanel (37X, Y)-(72X, 6Y) filled black.
void BlackenLevelPanel(Dc& dc);

}  // namespace dl
