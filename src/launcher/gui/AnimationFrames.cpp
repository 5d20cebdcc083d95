#include "AnimationFrames.h"
#include "platform/widgets/WindowControls.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace {

// A pixmap of `width` by `height` device-independent pixels, drawn at the screens' pixel ratio so
// that a 200 % screen shows it sharp rather than scaled up.
QPixmap canvas(int width, int height)
{
    const qreal ratio = WindowControls::drawingRatio();
    QPixmap pm(QSize(width, height) * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    return pm;
}

} // namespace

QPixmap AnimationFrames::frame(int index, int size)
{
    QPixmap pm = canvas(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(size / 2.0, size / 2.0);
    const double r = size * 0.38;
    // Four dots around a circle; the lit one moves a quarter turn per frame.
    for (int i = 0; i < 4; ++i) {
        const double angle = (i * 90.0 - 90.0) * 3.14159265358979 / 180.0;
        const QPointF dot(c.x() + r * std::cos(angle), c.y() + r * std::sin(angle));
        p.setPen(Qt::NoPen);
        p.setBrush(i == index % 4 ? QColor(0, 120, 215) : QColor(190, 200, 210));
        p.drawEllipse(dot, size * 0.12, size * 0.12);
    }
    return pm;
}

QPixmap AnimationFrames::banner(int width, int height)
{
    QPixmap pm = canvas(width, height);
    QPainter p(&pm);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, QColor(18, 52, 86));
    g.setColorAt(1, QColor(40, 110, 160));
    p.fillRect(QRectF(0, 0, width, height), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 170), 3));
    WindowControls::drawUpdateMark(p, QRectF(0, 0, width, height));
    return pm;
}
