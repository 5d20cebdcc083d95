#pragma once

#include <QStringList>
#include <QWidget>

// The names of the widgets Tab stops at, in the order it meets them, read from the window's
// focus chain.
inline QStringList tabStops(QWidget* window)
{
    QStringList names;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window))
            names << w->objectName();
    return names;
}
