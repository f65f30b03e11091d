#include "wizard/logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kDeep(0x1d, 0x35, 0x57);
const QColor kSteel(0x3a, 0x6e, 0xa5);
const QColor kAmber(0xf2, 0xa5, 0x3a);
const QColor kPale(0xe8, 0xf0, 0xf8);

// The vane: a compass ring with an arrow across it, in a square box.
void drawMark(QPainter& p, const QRectF& box) {
    const qreal s = box.width();
    const QPointF c = box.center();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kPale, s * 0.06));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, s * 0.40, s * 0.40);
    // North tick above the ring.
    p.drawLine(QPointF(c.x(), c.y() - s * 0.47), QPointF(c.x(), c.y() - s * 0.33));

    p.translate(c);
    p.rotate(-20);
    QPainterPath arrow;
    arrow.moveTo(s * 0.46, 0);             // head tip
    arrow.lineTo(s * 0.22, -s * 0.13);
    arrow.lineTo(s * 0.22, -s * 0.045);
    arrow.lineTo(-s * 0.28, -s * 0.045);
    arrow.lineTo(-s * 0.42, -s * 0.16);    // tail fin
    arrow.lineTo(-s * 0.42, s * 0.16);
    arrow.lineTo(-s * 0.28, s * 0.045);
    arrow.lineTo(s * 0.22, s * 0.045);
    arrow.lineTo(s * 0.22, s * 0.13);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    p.drawPath(arrow);
    p.setBrush(kPale);
    p.drawEllipse(QPointF(0, 0), s * 0.06, s * 0.06);
    p.restore();
}

}  // namespace

QPixmap LogoPixmap(qreal devicePixelRatio) {
    const QSize size(170, 50);
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient background(0, 0, size.width(), size.height());
    background.setColorAt(0, kDeep);
    background.setColorAt(1, kSteel);
    p.setPen(Qt::NoPen);
    p.setBrush(background);
    // The picture sits in an area 3 pixels lower than itself: keep the plate
    // inside the middle 46 rows so that no edge is cut.
    p.drawRoundedRect(QRectF(0.5, 2.5, size.width() - 1, size.height() - 5), 6, 6);

    drawMark(p, QRectF(6, 6, 38, 38));

    QFont name = p.font();
    name.setBold(true);
    name.setPixelSize(19);
    p.setFont(name);
    p.setPen(Qt::white);
    const QRectF text(50, 5, size.width() - 54, 25);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Ferrovane"));

    QFont tagline = p.font();
    tagline.setBold(false);
    tagline.setPixelSize(10);
    p.setFont(tagline);
    p.setPen(kPale);
    p.drawText(QRectF(51, 29, size.width() - 54, 15), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Oracle to Access"));
    return pixmap;
}

QPixmap MarkPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kDeep);
    p.drawRoundedRect(QRectF(0, 0, size, size), size * 0.18, size * 0.18);
    drawMark(p, QRectF(size * 0.08, size * 0.08, size * 0.84, size * 0.84));
    return pixmap;
}

TLogoImage::TLogoImage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Image1"));
    setCursor(Qt::PointingHandCursor);
}

void TLogoImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap logo = LogoPixmap(devicePixelRatioF());
    const QSize size = logo.deviceIndependentSize().toSize();
    p.drawPixmap((width() - size.width()) / 2, (height() - size.height()) / 2, logo);
}

void TLogoImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        onClick)
        onClick();
}
