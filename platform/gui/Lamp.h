#pragma once
// Lamp: an indicator light, a filled circle with a dark outline. It shows one
// of the three states the windows use (on, off, fault) or any colour a
// window computes itself, with a black outline or one of its own. A new lamp
// is off.

#include <QColor>
#include <QWidget>

#include <cstdint>

namespace platform {

// A colour written as 0x00BBGGRR, the way the windows' colour tables give
// their lamp and pen colours.
inline QColor ColorFromBgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

class Lamp : public QWidget {
public:
    enum class State { Off, On, Fault };

    explicit Lamp(QWidget* parent = nullptr);

    // Green RGB(0, 255, 0) on, grey RGB(128, 128, 128) off, red RGB(255, 0, 0) fault.
    static QColor ColorOf(State state);

    void SetState(State state) { SetColor(ColorOf(state)); }
    void SetColor(const QColor& color) { SetColor(color, Qt::black); }
    void SetColor(const QColor& color, const QColor& outline);
    QColor Color() const { return color_; }
    QColor Outline() const { return outline_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
    QColor outline_ = Qt::black;
};

}  // namespace platform
