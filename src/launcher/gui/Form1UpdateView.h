#pragma once

#include "Form1Panes.h"
#include "launcher/UpdateView.h"

#include <QElapsedTimer>

#include <functional>

// The main window's panes as the update run and the file manager's login draw on them.
class Form1UpdateView final : public UpdateView {
public:
    Form1UpdateView(const Form1Panes& panes, std::function<void()> onConnected)
        : m_panes(panes)
        , m_onConnected(std::move(onConnected))
    {}

    void showRemoteList(const QStringList& lines, bool append) override;
    void showConnected() override;
    void setProgressMaximum(int maximum) override;
    void setProgressValue(int value) override;
    void setProgressVisible(bool visible) override;
    void setInfo(const QString& text) override;
    void setAnimationInterval(int milliseconds) override;
    void refreshLocalFiles() override;
    void setBusy(bool busy) override;
    void processEvents() override;

private:
    Form1Panes m_panes;
    std::function<void()> m_onConnected;
    QElapsedTimer m_lastEvents;
};
