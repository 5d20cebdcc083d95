#pragma once

#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// A window's control by the name its design gives it, found as a test of the window would find
// it on the screen. A name the window does not hold ends the test at once, saying which.
template <typename T = QWidget>
T* control(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found) {
        std::fprintf(stderr, "%s has no control %s of the expected kind\n", qPrintable(window.objectName()), name);
        std::abort();
    }
    return found;
}

// Element `index` of a control array of the design (Option1, Picture1), by its "index" property.
template <typename T = QWidget>
T* element(const QWidget& window, const char* name, int index)
{
    const QList<T*> all = window.findChildren<T*>(QLatin1String(name));
    const auto it =
        std::find_if(all.begin(), all.end(), [index](const T* c) { return c->property("index").toInt() == index; });
    if (it == all.end()) {
        std::fprintf(stderr, "%s has no element %d of %s\n", qPrintable(window.objectName()), index, name);
        std::abort();
    }
    return *it;
}
