#pragma once

#include <QString>

// What the station's runs need of the window: the wait frame, the hourglass and the article
// count, and a chance for pending window messages to run between steps.
class StationView {
public:
    virtual ~StationView() = default;
    virtual void setWaitVisible(bool visible) = 0;     // FRWAIT
    virtual void setWaitInfo(const QString& text) = 0; // LINFOWAIT2
    virtual void setProgressVisible(bool visible) = 0; // RBWAIT
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressValue(int value) = 0;
    virtual void setBusy(bool busy) = 0;                  // hourglass pointer
    virtual void setArticleInfo(const QString& text) = 0; // LINFO
    virtual void processEvents() = 0;
};
