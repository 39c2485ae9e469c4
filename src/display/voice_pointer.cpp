#include "display/voice_pointer.h"

#include "platform/pointer.h"

namespace dl {

void SteerPointer(const std::vector<PointerAction>& actions) {
    for (const PointerAction& a : actions) {
        switch (a.kind) {
        case PointerAction::Kind::Move: inject_mouse_event(kMouseMove, a.dx, a.dy); break;
        case PointerAction::Kind::LeftClick:
            inject_mouse_event(kMouseLeftDown, 0, 0);
            inject_mouse_event(kMouseLeftUp, 0, 0);
            break;
        case PointerAction::Kind::RightClick:
            inject_mouse_event(kMouseRightDown, 0, 0);
            inject_mouse_event(kMouseRightUp, 0, 0);
            break;
        }
    }
}

}  // namespace dl
