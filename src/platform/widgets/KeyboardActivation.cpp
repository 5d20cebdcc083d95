#include "KeyboardActivation.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

namespace {

bool isPlainEnter(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier;
}

// Lists whose Enter opens the current entry carry this filter; buttons are handled by the one
// installed on the application.
KeyboardActivation* listFilter()
{
    static auto* filter = new KeyboardActivation(true, qApp);
    return filter;
}

} // namespace

KeyboardActivation::KeyboardActivation(bool lists, QObject* parent)
    : QObject(parent)
    , m_lists(lists)
{}

void KeyboardActivation::install()
{
    if (!qApp || qApp->property("vornEnterPresses").toBool())
        return;
    qApp->setProperty("vornEnterPresses", true);
    qApp->installEventFilter(new KeyboardActivation(false, qApp));
}

void KeyboardActivation::openOnEnter(QAbstractItemView* view)
{
    view->installEventFilter(listFilter());
}

bool KeyboardActivation::eventFilter(QObject* watched, QEvent* event)
{
    if (!isPlainEnter(event) || static_cast<QKeyEvent*>(event)->isAutoRepeat())
        return false;
    if (m_lists) {
        auto* view = qobject_cast<QAbstractItemView*>(watched);
        // While a cell is edited its editor, not the view, receives the keys.
        if (!view || !view->currentIndex().isValid())
            return false;
        emit view->doubleClicked(view->currentIndex());
        return true;
    }
    // Command buttons only: Enter on a check or option button keeps pressing a dialog's default.
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button || !(qobject_cast<QPushButton*>(button) || qobject_cast<QToolButton*>(button)))
        return false;
    if (!button->hasFocus() || !button->isEnabled() || !button->isVisible())
        return false;
    button->click();
    return true;
}
