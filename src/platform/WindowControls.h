#pragma once

#include <QColor>
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QSize>

class QPainter;
class QRectF;

// Small helpers the windows share when they build their controls.
namespace WindowControls {

// Gives a control the name the window's design knows it by (tests find controls by it).
template <typename T>
T* named(T* control, const char* name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// The device pixel ratio drawn pictures are made for: the highest of the screens, so that a
// picture stays sharp at 200 % instead of being scaled up.
qreal drawingRatio();

// Product artwork is not shipped: a drawn rounded badge holds the place of a picture. `size` is in
// device-independent pixels; the pixmap is drawn for drawingRatio().
QPixmap badge(const QSize& size, const QColor& from, const QColor& to);

// The program's mark, a down arrow into a tray (an update being fetched), drawn over `area` with
// the painter's pen.
void drawUpdateMark(QPainter& painter, const QRectF& area);

// The program's icon, drawn at the usual icon sizes; every window carries it.
QIcon programIcon();

} // namespace WindowControls
