#pragma once

#include "IntakeRun.h"
#include "ftpsession/AppConfig.h"

#include <QString>

class Clock;
class Dialogs;
class FtpClient;
class ProcessControl;

// The request intake when nobody watches and there is no screen: the same steps, log and exit
// status as in the window, without building it.
class UnattendedIntake final : private IntakeRunView {
public:
    UnattendedIntake(FtpClient& client, ProcessControl& processes, Dialogs& dialogs, AppConfig config, QString appDir,
                     const Clock& clock);

    // Returns the program's exit status.
    int run();

private:
    void showRemoteList(const QStringList&) override {}
    void showRequests(const QStringList&) override {}
    void showConnected() override {}
    void setProgressMaximum(int) override {}
    void setProgressValue(int) override {}
    void setInfo(const QString&) override {}
    void setCurrentItem(const QString&) override {}
    void setAnimationInterval(int) override {}
    void setBusy(bool) override {}
    void setLocalFolder(const QString&) override {}
    void refreshLocalFiles() override {}
    void processEvents() override {}

    FtpClient& m_client;
    ProcessControl& m_processes;
    Dialogs& m_dialogs;
    AppConfig m_config;
    QString m_appDir;
    const Clock& m_clock;
};
