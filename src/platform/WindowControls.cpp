#include "WindowControls.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

qreal WindowControls::drawingRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

QPixmap WindowControls::badge(const QSize& size, const QColor& from, const QColor& to)
{
    const qreal ratio = drawingRatio();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(QPointF(0, 0), size), 8, 8);
    return pixmap;
}

QIcon WindowControls::programIcon()
{
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(side, side);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, side, side);
        g.setColorAt(0, QColor(18, 52, 86));
        g.setColorAt(1, QColor(40, 110, 160));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0, 0, side, side), side * 0.18, side * 0.18);
        // A down arrow into a tray: an update being fetched.
        p.setPen(QPen(QColor(255, 255, 255, 230), qMax(1.5, side / 12.0), Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        const double c = side / 2.0;
        p.drawLine(QPointF(c, side * 0.18), QPointF(c, side * 0.62));
        QPainterPath head;
        head.moveTo(c - side * 0.18, side * 0.44);
        head.lineTo(c, side * 0.64);
        head.lineTo(c + side * 0.18, side * 0.44);
        p.drawPath(head);
        p.drawLine(QPointF(side * 0.2, side * 0.82), QPointF(side * 0.8, side * 0.82));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
