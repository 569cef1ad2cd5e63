#include "platform/gui/Lamp.h"

#include <QPainter>

#include <algorithm>

namespace platform {

namespace {

constexpr int kDiameter = 15;  // the size of a lamp that is not laid out otherwise

}  // namespace

Lamp::Lamp(QWidget* parent) : QWidget(parent), color_(ColorOf(State::Off)) {}

QColor Lamp::ColorOf(State state) {
    switch (state) {
        case State::On:
            return QColor(0, 255, 0);
        case State::Fault:
            return QColor(255, 0, 0);
        case State::Off:
            break;
    }
    return QColor(128, 128, 128);
}

void Lamp::SetColor(const QColor& color, const QColor& outline) {
    if (color == color_ && outline == outline_) return;
    color_ = color;
    outline_ = outline;
    update();
}

QSize Lamp::sizeHint() const { return QSize(kDiameter, kDiameter); }

void Lamp::paintEvent(QPaintEvent*) {
    // The largest circle that fits, centred; the outline lies inside the widget.
    const int diameter = std::max(0, std::min(width(), height()) - 1);
    const QRectF circle((width() - 1 - diameter) / 2.0, (height() - 1 - diameter) / 2.0, diameter, diameter);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(outline_, 1));
    painter.setBrush(color_);
    painter.drawEllipse(circle.translated(0.5, 0.5));
}

}  // namespace platform
