#pragma once

#include "Form1Panes.h"
#include "launcher/IntakeRun.h"

#include <functional>

// The main window's panes as the request intake draws on them.
class Form1IntakeView final : public IntakeRunView {
public:
    Form1IntakeView(const Form1Panes& panes, std::function<void()> onConnected)
        : m_panes(panes)
        , m_onConnected(std::move(onConnected))
    {}

    void showRemoteList(const QStringList& lines) override;
    void showRequests(const QStringList& numbers) override;
    void showConnected() override;
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
    Form1Panes m_panes;
    std::function<void()> m_onConnected;
};
