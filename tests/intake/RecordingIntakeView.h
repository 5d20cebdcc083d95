#pragma once

#include "intake/IntakeView.h"

#include <QList>
#include <QStringList>

#include <functional>

// Records what the intake showed; `onProcessEvents` runs where the window would yield.
class RecordingIntakeView final : public IntakeView {
public:
    void setProgressMaximum(int maximum) override { maxima << maximum; }
    void setProgressValue(int value) override { values << value; }
    void setInfo(const QString& text) override { infos << text; }
    void setCurrentItem(const QString& text) override { items << text; }
    void setAnimationInterval(int milliseconds) override { intervals << milliseconds; }
    void setBusy(bool b) override { busy = b; }
    void setLocalFolder(const QString& folder) override { localFolder = folder; }
    void refreshLocalFiles() override { ++refreshes; }
    void processEvents() override
    {
        if (onProcessEvents)
            onProcessEvents();
    }

    QList<int> maxima;
    QList<int> values;
    QStringList infos;
    QStringList items;
    QList<int> intervals;
    bool busy = false;
    QString localFolder;
    int refreshes = 0;
    std::function<void()> onProcessEvents;
};
