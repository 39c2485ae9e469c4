#include "platform/dialog_style.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

namespace dl {

namespace {

QColor blend(const QColor& a, const QColor& b, double share_of_a) {
    const double t = share_of_a;
    return QColor::fromRgbF(float(a.redF() * t + b.redF() * (1 - t)), float(a.greenF() * t + b.greenF() * (1 - t)),
                            float(a.blueF() * t + b.blueF() * (1 - t)));
}

class ContrastStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement pe, const QStyleOption* opt, QPainter* p, const QWidget* w) const override {
        QProxyStyle::drawPrimitive(pe, opt, p, w);
        const bool box = pe == PE_IndicatorCheckBox, round = pe == PE_IndicatorRadioButton;
        const bool field = pe == PE_FrameLineEdit, button = pe == PE_PanelButtonCommand;
        if (!box && !round && !field && !button) return;
        // A focused field keeps the style's highlighted frame.
        if (field && (opt->state & State_HasFocus)) return;
        // Halfway from the field colour to the text: apart from both the field and the window around it.
        const QPalette& pal = opt->palette;
        const QColor edge = blend(pal.color(QPalette::Text), pal.color(QPalette::Base), 0.55);
        p->save();
        p->setRenderHint(QPainter::Antialiasing, round || field || button);
        p->setPen(QPen(edge, 1));
        p->setBrush(Qt::NoBrush);
        const QRectF r = QRectF(opt->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        if (round) p->drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
        else if (box) p->drawRect(r);
        else p->drawRoundedRect(r, 2, 2);
        p->restore();
    }
};

}  // namespace

QStyle* dialog_control_style() {
    static QPointer<ContrastStyle> style;
    if (!style && QApplication::instance()) {
        style = new ContrastStyle;
        // Goes with the application, after every dialog that draws with it.
        style->setParent(QApplication::instance());
    }
    return style;
}

}  // namespace dl
