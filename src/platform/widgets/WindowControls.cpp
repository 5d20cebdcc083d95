#include "WindowControls.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>

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

QIcon WindowControls::withDisabledLook(const QIcon& icon, const QSize& size)
{
    QIcon out;
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap normal = icon.pixmap(size, ratio);
        if (normal.isNull())
            continue;
        out.addPixmap(normal, QIcon::Normal);
        QImage grey = normal.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < grey.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(grey.scanLine(y));
            for (int x = 0; x < grey.width(); ++x) {
                const int g = qGray(row[x]);
                row[x] = qRgba(g, g, g, qAlpha(row[x]) * 35 / 100);
            }
        }
        QPixmap faded = QPixmap::fromImage(grey);
        faded.setDevicePixelRatio(normal.devicePixelRatio());
        out.addPixmap(faded, QIcon::Disabled);
    }
    return out;
}

QSize WindowControls::firstSize(const QWidget* window, const QSize& wanted)
{
    QSize size = wanted;
    if (const QScreen* where = window->screen())
        size = size.boundedTo(where->availableGeometry().size() - QSize(16, 48));
    return size.expandedTo(window->minimumSize());
}

void WindowControls::keepFocusInView(QScrollArea* area)
{
    QObject::connect(qApp, &QApplication::focusChanged, area, [area](QWidget*, QWidget* now) {
        if (!now || !area->widget() || !area->widget()->isAncestorOf(now))
            return;
        // The whole control where it fits, not only its text cursor as ensureWidgetVisible() does.
        const QRect r(now->mapTo(area->widget(), QPoint()), now->size());
        area->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 8, r.height() / 2 + 8);
    });
}

void WindowControls::lookReadOnly(QLineEdit* box)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    box->setPalette(palette);
    box->setFrame(false);
}
