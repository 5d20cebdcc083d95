#include "FleetRun.h"

#include "FleetReport.h"
#include "FleetTable.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"
#include "platform/Clock.h"
#include "platform/ConsoleText.h"

#include <QDir>
#include <QSaveFile>

#include <cstdio>

FleetRun::FleetRun(FtpClient& client, AppConfig config, QString appDir, const Clock& clock)
    : m_client(client)
    , m_config(std::move(config))
    , m_appDir(std::move(appDir))
    , m_clock(clock)
{}

bool FleetRun::read(FleetTable& table, QString& error, bool& loginFailed)
{
    loginFailed = false;
    RunLog log(QDir(m_appDir).filePath(RunLog::fileName()), m_clock, false);
    FtpConnection ftp(m_client);
    ftp.onLogAppended = [&log](const QString& text) { log.write(text); };
    for (const QString& problem : m_config.problems)
        ftp.appendLog(problem);
    if (m_config.fleetReports.isEmpty()) {
        error = QStringLiteral("Aucun dossier de rapports n'est configuré ([fleet] reports).");
        log.outcome(QStringLiteral("parc illisible : ") + error);
        return false;
    }
    const FtpResult login = ftp.login(m_config.host, m_config.user, m_config.password);
    if (!login.ok) {
        loginFailed = true;
        error = QStringLiteral("Échec de la connexion au serveur %1 : %2")
                    .arg(m_config.host, login.reply.isEmpty() ? QStringLiteral("pas de réponse") : login.reply);
        ftp.closeHandles();
        log.outcome(error);
        return false;
    }
    const QString folder = FleetReport::remoteFolder(ftp.homeDirectory(), m_config.fleetReports);
    const bool read = table.read(ftp, folder, m_config.sessions, m_clock.now().toUTC(), m_config.silentDays, error);
    ftp.closeHandles();
    log.outcome(read ? QStringLiteral("parc lu : %1 poste(s), %2 rapport(s) illisible(s).")
                           .arg(table.rows().size())
                           .arg(table.unreadable().size())
                     : QStringLiteral("parc illisible : ") + error);
    return read;
}

int FleetRun::run(const QString& csvFile)
{
    FleetTable table;
    QString error;
    bool loginFailed = false;
    if (!read(table, error, loginFailed)) {
        writeText(stderr, error + QLatin1Char('\n'));
        return loginFailed ? ExitLoginFailed : ExitUnreadable;
    }
    writeText(stdout, table.summaryText() + QLatin1Char('\n') + table.tableText());
    if (csvFile.isEmpty())
        return 0;
    QSaveFile csv(csvFile);
    const QByteArray bytes = table.csv();
    if (!csv.open(QIODevice::WriteOnly) || csv.write(bytes) != bytes.size() || !csv.commit()) {
        writeText(stderr, QStringLiteral("Le fichier « %1 » ne peut pas être écrit : %2\n")
                              .arg(QDir::toNativeSeparators(csvFile), csv.errorString()));
        return ExitUnreadable;
    }
    return 0;
}
