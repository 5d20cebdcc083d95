#pragma once

#include "ftpsession/AppConfig.h"

#include <QString>

class Clock;
class FleetTable;
class FtpClient;

// The administrator's look at the fleet from a console (--fleet): logs in as the stations do,
// reads the reports folder and prints the fleet per release and one line per station; with a CSV
// file, writes the table there too.
class FleetRun final {
public:
    static constexpr int ExitLoginFailed = 1;
    static constexpr int ExitUnreadable = 3;

    FleetRun(FtpClient& client, AppConfig config, QString appDir, const Clock& clock);

    // Returns the program's exit status: 0, ExitLoginFailed, or ExitUnreadable (the folder, or the
    // CSV file).
    int run(const QString& csvFile);
    // The reading alone, for the window: false with `error` (French).
    bool read(FleetTable& table, QString& error, bool& loginFailed);

private:
    FtpClient& m_client;
    AppConfig m_config;
    QString m_appDir;
    const Clock& m_clock;
};
