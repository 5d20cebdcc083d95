#pragma once

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QSize>

// Small helpers the windows share when they build their controls.
namespace WindowControls {

// Gives a control the name the window's design knows it by (tests find controls by it).
template <typename T>
T* named(T* control, const char* name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// Product artwork is not shipped: a drawn rounded badge holds the place of a picture.
QPixmap badge(const QSize& size, const QColor& from, const QColor& to);

} // namespace WindowControls
