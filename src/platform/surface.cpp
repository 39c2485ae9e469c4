#include "platform/surface.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/png_file_qt.h"
#include "platform/surface_impl.h"

namespace dl {

namespace {

// Fits a device-pixel ratio to what the drawing supports; nonsense becomes 1.
double usable_scale(double scale) {
    if (!(scale >= 1)) return 1;
    return std::min(scale, 8.0);
}

QImage black_image(const Surface::Impl& s) {
    QImage image(std::max(s.device(s.width), 1), std::max(s.device(s.height), 1), QImage::Format_RGB32);
    image.setDevicePixelRatio(s.scale);
    image.fill(Qt::black);
    return image;
}

}  // namespace

Surface::Surface(int width, int height, double scale) : impl_(std::make_unique<Impl>()) {
    impl_->width = std::max(width, 1);
    impl_->height = std::max(height, 1);
    set_scale(scale);
}

Surface::~Surface() = default;

int Surface::width() const { return impl_->width; }
int Surface::height() const { return impl_->height; }
double Surface::scale() const { return impl_->scale; }
int Surface::device_width() const { return impl_->image.width(); }
int Surface::device_height() const { return impl_->image.height(); }

void Surface::set_scale(double scale) {
    Impl& s = *impl_;
    s.scale = usable_scale(scale);
    s.stroke = int(std::ceil(s.scale));
    s.whole = s.stroke == int(std::floor(s.scale)) ? s.stroke : 0;
    s.image = black_image(s);
    notify_changed();
}

void Surface::resize(int width, int height) {
    impl_->width = std::max(width, 1);
    impl_->height = std::max(height, 1);
    QImage next = black_image(*impl_);
    const QImage& old = impl_->image;
    const int rows = std::min(old.height(), next.height());
    const size_t bytes = size_t(std::min(old.width(), next.width())) * sizeof(QRgb);
    for (int y = 0; y < rows; ++y) std::memcpy(next.scanLine(y), old.constScanLine(y), bytes);
    impl_->image = std::move(next);
    notify_changed();
}

void Surface::fill(Rgb c) {
    impl_->image.fill(QColor(c.r, c.g, c.b));
    notify_changed();
}

Rgb Surface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width() || y >= height()) return kBlack;
    return device_pixel(impl_->device(x), impl_->device(y));
}

Rgb Surface::device_pixel(int x, int y) const {
    const QImage& img = impl_->image;
    if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return kBlack;
    QRgb v = img.pixel(x, y);
    return {uint8_t(qRed(v)), uint8_t(qGreen(v)), uint8_t(qBlue(v))};
}

bool Surface::save_png(const std::string& path, std::string* error) const {
    std::string why;
    const bool ok = write_png_file(impl_->image, path, why);
    if (error) *error = why;
    return ok;
}

bool Surface::same_pixels(const Surface& other) const {
    const QImage& a = impl_->image;
    const QImage& b = other.impl_->image;
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if ((ra[x] & 0xFFFFFF) != (rb[x] & 0xFFFFFF)) return false;
    }
    return true;
}

void Surface::set_change_listener(std::function<void()> listener) {
    impl_->listener = std::move(listener);
    impl_->notified = false;
}

void Surface::notify_changed() {
    if (impl_->listener && !impl_->notified) {
        impl_->notified = true;
        impl_->listener();
    }
}

void Surface::acknowledge_changes() { impl_->notified = false; }

}  // namespace dl
