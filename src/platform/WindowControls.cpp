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

void WindowControls::drawUpdateMark(QPainter& p, const QRectF& area)
{
    const double w = area.width();
    const double h = area.height();
    const double cx = area.left() + w / 2.0;
    const double top = area.top();
    p.drawLine(QPointF(cx, top + h * 0.18), QPointF(cx, top + h * 0.62));
    QPainterPath head;
    head.moveTo(cx - w * 0.17, top + h * 0.45);
    head.lineTo(cx, top + h * 0.64);
    head.lineTo(cx + w * 0.17, top + h * 0.45);
    p.drawPath(head);
    p.drawLine(QPointF(area.left() + w * 0.2, top + h * 0.82), QPointF(area.left() + w * 0.8, top + h * 0.82));
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
        p.setPen(QPen(QColor(255, 255, 255, 230), qMax(1.5, side / 12.0), Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        drawUpdateMark(p, QRectF(0, 0, side, side));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
