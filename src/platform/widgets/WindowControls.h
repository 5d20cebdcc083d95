#pragma once

#include <QColor>
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QSize>

class QPainter;
class QRectF;
class QLineEdit;
class QScrollArea;
class QWidget;

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

// `icon` with a faded, grey disabled state: some themes' pictures look the same either way.
QIcon withDisabledLook(const QIcon& icon, const QSize& size);

// The size a window opens at: `wanted`, made smaller to leave room for the title bar and task
// bar of the screen it opens on, never below its minimum size.
QSize firstSize(const QWidget* window, const QSize& wanted);

// Scrolls `area` so that the control given the focus inside it is in view (Tab never leads to a
// control below the fold).
void keepFocusInView(QScrollArea* area);

// A read-only text box drawn on the window's colour, so that it does not look editable.
void lookReadOnly(QLineEdit* box);

// The program's icon, drawn at the usual icon sizes; every window carries it.
QIcon programIcon();

} // namespace WindowControls
