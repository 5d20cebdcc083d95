#pragma once

#include <QString>

// What the version download needs of the window that shows it.
class DownloadView {
public:
    virtual ~DownloadView() = default;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressValue(int value) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    virtual void setInfo(const QString& text) = 0; // the wait frame's information line
    virtual void setAnimationInterval(int milliseconds) = 0;
    virtual void refreshLocalFiles() = 0;
    virtual void setBusy(bool busy) = 0; // hourglass pointer
    virtual void processEvents() = 0;
};
