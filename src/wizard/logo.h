#pragma once

// The wizard's logo: a weather vane over the name, drawn by our own code at
// 170 x 50 pixels, and the small mark alone for the window icon.

#include <QPixmap>
#include <QWidget>
#include <functional>

QPixmap LogoPixmap(qreal devicePixelRatio = 1.0);
QPixmap MarkPixmap(int size);

// Image1: shows the logo centred in its area (clipped where the area is
// smaller), with a hand cursor; a click calls onClick.
class TLogoImage : public QWidget {
public:
    explicit TLogoImage(QWidget* parent);
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
