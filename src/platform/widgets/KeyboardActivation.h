#pragma once

#include <QObject>

class QAbstractItemView;

// Enter and Return for operators who work from the keyboard. Outside a dialog Qt presses a focused
// button only with Space; here Enter presses it too, in every window. A list given to openOnEnter()
// treats Enter on its current entry as a double-click on it.
class KeyboardActivation final : public QObject {
    Q_OBJECT
public:
    // Installs the application-wide filter once; later calls do nothing.
    static void install();
    static void openOnEnter(QAbstractItemView* view);

    // `lists`: the filter of the lists given to openOnEnter(), else the application's.
    KeyboardActivation(bool lists, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_lists;
};
