#pragma once

#include "intake/IntakeView.h"

class Form1;

// The main window's wait frame and lists, as the request intake drives them.
class Form1IntakeView final : public IntakeView {
public:
    explicit Form1IntakeView(Form1& form)
        : m_form(form)
    {}
    void setProgressMaximum(int maximum) override;
    void setProgressValue(int value) override;
    void setInfo(const QString& text) override;
    void setCurrentItem(const QString& text) override;
    void setAnimationInterval(int milliseconds) override;
    void setBusy(bool busy) override;
    void setLocalFolder(const QString& folder) override;
    void refreshLocalFiles() override;
    void processEvents() override;

private:
    Form1& m_form;
};
