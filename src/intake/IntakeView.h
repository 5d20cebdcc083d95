#pragma once

#include <QString>

// What the intake procedures need of the main window's wait frame and lists.
class IntakeView {
public:
    virtual ~IntakeView() = default;
    virtual void setProgressMaximum(int maximum) = 0; // RB1
    virtual void setProgressValue(int value) = 0;
    virtual void setInfo(const QString& text) = 0;           // LINFOWAIT1
    virtual void setCurrentItem(const QString& text) = 0;    // LDI
    virtual void setAnimationInterval(int milliseconds) = 0; // Timer1
    virtual void setBusy(bool busy) = 0;                     // hourglass pointer
    virtual void setLocalFolder(const QString& folder) = 0;  // File1 pointed at a folder
    virtual void refreshLocalFiles() = 0;                    // File1 listed again
    virtual void processEvents() = 0;
};
