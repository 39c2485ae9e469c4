
#include <array>
#include <memory>

#include "platform/message_box.h"
#include "platform/process.h"
#include "state/shell.h"
#include "state/view.h"
#include "state/window_dc.h"

namespace dl {

namespace {

std::array<std::unique_ptr<Dc>, 3> g_stack;
int g_count = 0;

[[noreturn]] void misuse() {
    message_box({"HDC DESTROYED", "ERROR", false, MbIcon::None});
    end_process(1);
}

Surface& target() {
    if (WindowSurface) return *WindowSurface;
    // Without a window the drawing goes nowhere visible.
    static Surface scratch(1200, 400);
    return scratch;
}

}  // namespace

Dc& AcquireWindowDc() {
    if (g_count >= int(g_stack.size())) misuse();
    g_stack[g_count] = std::make_unique<Dc>(target());
    return *g_stack[g_count++];
}

void ReleaseWindowDc(Dc& dc) {
    if (g_count == 0 || g_stack[g_count - 1].get() != &dc) misuse();
    g_stack[--g_count].reset();
}

int HeldWindowDcCount() { return g_count; }

void SetSchemeTextColours(Dc& dc) {
    dc.set_text_color(DarkScheme ? kWhite : kBlack);
    dc.set_bk_color(DarkScheme ? kBlack : kWhite);
}

}  // namespace dl
