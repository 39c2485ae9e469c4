#include "platform/surface.h"

#include <QPainter>

#include "platform/png_file_qt.h"
#include "platform/surface_impl.h"

namespace dl {

Surface::Surface(int width, int height, int scale) : impl_(std::make_unique<Impl>()) {
    impl_->scale = scale < 1 ? 1 : scale;
    impl_->image = QImage(std::max(width, 1) * impl_->scale, std::max(height, 1) * impl_->scale, QImage::Format_RGB32);
    impl_->image.setDevicePixelRatio(impl_->scale);
    impl_->image.fill(Qt::black);
}

Surface::~Surface() = default;

int Surface::width() const { return impl_->image.width() / impl_->scale; }
int Surface::height() const { return impl_->image.height() / impl_->scale; }
int Surface::scale() const { return impl_->scale; }

void Surface::resize(int width, int height) {
    QImage next(std::max(width, 1) * impl_->scale, std::max(height, 1) * impl_->scale, QImage::Format_RGB32);
    next.setDevicePixelRatio(impl_->scale);
    next.fill(Qt::black);
    {
        QPainter p(&next);
        p.drawImage(QPoint(0, 0), impl_->image);
    }
    impl_->image = std::move(next);
    notify_changed();
}

void Surface::fill(Rgb c) {
    impl_->image.fill(QColor(c.r, c.g, c.b));
    notify_changed();
}

Rgb Surface::pixel(int x, int y) const {
    const int s = impl_->scale;
    if (x < 0 || y < 0 || x >= width() || y >= height()) return kBlack;
    QRgb v = impl_->image.pixel(x * s, y * s);
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
