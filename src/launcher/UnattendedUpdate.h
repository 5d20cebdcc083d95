#pragma once

#include "UpdateView.h"
#include "ftpsession/AppConfig.h"

#include <QString>

class Clock;
class Dialogs;
class FtpClient;
class ProcessControl;

// The update run when nobody watches and there is no screen: the same steps, log and outcome as
// the window's, without building the window (its fonts, pictures and layout).
class UnattendedUpdate final : private UpdateView {
public:
    UnattendedUpdate(FtpClient& client, ProcessControl& processes, Dialogs& dialogs, AppConfig config, QString appDir,
                     const Clock& clock);

    // Returns the program's exit status.
    int run(bool startApplication);

private:
    void showRemoteList(const QStringList&, bool) override {}
    bool showsRemoteList() const override { return false; }
    void showConnected() override {}
    void setProgressMaximum(int) override {}
    void setProgressValue(int) override {}
    void setProgressVisible(bool) override {}
    void setInfo(const QString&) override {}
    void setAnimationInterval(int) override {}
    void refreshLocalFiles() override {}
    void setBusy(bool) override {}
    void processEvents() override {}

    FtpClient& m_client;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    AppConfig m_config;
    QString m_appDir;
    const Clock& m_clock;
    qint64 m_startedMs = 0;
};
