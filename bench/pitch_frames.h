#pragma once
// The pitch on its own hop, class by class, beside the reference trackers where installed.
void run_pitch_frame_classes();
