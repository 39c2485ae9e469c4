#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/colour.h"

namespace dl {

// A drawing target: the window's back buffer or an off-screen surface.
// Coordinates are logical pixels; `scale` device pixels per logical pixel (the screen's device-pixel
// ratio, 1 to 8, fractions included). One-pixel lines are ceil(scale) device pixels wide.
class Surface {
public:
    Surface(int width, int height, double scale = 1);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    int width() const;
    int height() const;
    double scale() const;
    // Keeps what fits, fills the rest black.
    void resize(int width, int height);
    // A new scale clears the picture (black) for a full repaint.
    void set_scale(double scale);
    void fill(Rgb colour);

    // The colour at the top-left device pixel of logical pixel (x, y).
    Rgb pixel(int x, int y) const;
    // The colour of device pixel (x, y).
    Rgb device_pixel(int x, int y) const;
    int device_width() const;
    int device_height() const;
    // Replaces the file only once the whole picture is written; the reason in `error` otherwise.
    bool save_png(const std::string& path, std::string* error = nullptr) const;
    // Exact comparison of two surfaces' pixels.
    bool same_pixels(const Surface& other) const;

    // Called (at most once until acknowledged) when something was drawn.
    void set_change_listener(std::function<void()> listener);
    void notify_changed();
    void acknowledge_changes();

    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace dl
