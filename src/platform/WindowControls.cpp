#include "WindowControls.h"

#include <QLinearGradient>
#include <QPainter>

QPixmap WindowControls::badge(const QSize& size, const QColor& from, const QColor& to)
{
    QPixmap pixmap(size);
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
