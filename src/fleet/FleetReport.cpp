#include "FleetReport.h"

#include "FleetState.h"
#include "VornVersion.h"
#include "ftpsession/FtpConnection.h"
#include "release/InstalledRelease.h"
#include "release/StationId.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>
#include <QSysInfo>

namespace {

QString systemUser()
{
    for (const char* name : {"USERNAME", "USER", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(name);
        if (!user.isEmpty())
            return user;
    }
    return {};
}

} // namespace

FleetReport::FleetReport(FtpConnection& ftp, QString appDir, QString folder, int timeoutSeconds)
    : m_ftp(ftp)
    , m_appDir(std::move(appDir))
    , m_folder(std::move(folder))
    , m_timeoutSeconds(timeoutSeconds)
{}

QString FleetReport::remoteFolder(const QString& homeDirectory, const QString& folder)
{
    if (folder.startsWith(QLatin1Char('/')) || homeDirectory.isEmpty())
        return QDir::cleanPath(folder);
    return QDir::cleanPath(homeDirectory + QLatin1Char('/') + folder);
}

bool FleetReport::write(FleetRecord record, bool releaseFault)
{
    QString problem;
    record.station = StationId::get(m_appDir, problem);
    if (!problem.isEmpty())
        m_ftp.appendLog(problem);
    record.computer = QSysInfo::machineHostName();
    record.user = systemUser();
    record.program = QStringLiteral(VORN_VERSION_TEXT);
    QString ignored;
    record.installed = InstalledRelease::number(m_appDir, ignored);
    if (!record.at.isValid())
        record.at = QDateTime::currentDateTimeUtc();

    // Two runs of one station take turns, so that they never leave two records.
    QLockFile lock(QDir(InstalledRelease::folder(m_appDir)).filePath(QStringLiteral("fleet.lock")));
    QDir().mkpath(InstalledRelease::folder(m_appDir));
    if (!lock.tryLock(m_timeoutSeconds * 1000)) {
        m_ftp.appendLog(QStringLiteral("Rapport du poste non écrit : une autre exécution de ce poste l'écrit déjà."));
        return false;
    }
    FleetState state(m_appDir);
    state.load();
    const bool hasIt = record.installed && *record.installed == record.offered;
    if (record.offered > 0) {
        if ((record.result == FleetRecord::Result::Installed ||
             record.result == FleetRecord::Result::AlreadyInstalled) &&
            hasIt) {
            record.verdict = FleetRecord::Verdict::Kept;
            state.failedReleases.remove(record.offered);
        } else if (releaseFault || record.result == FleetRecord::Result::Withdrawn) {
            record.verdict = FleetRecord::Verdict::Failed;
            state.failedReleases.insert(record.offered);
        } else if (state.failedReleases.contains(record.offered) && !hasIt) {
            record.verdict = FleetRecord::Verdict::Failed; // said again while the release is on offer
        }
    }
    // Older failures need no remembering once a later release is in place.
    for (auto it = state.failedReleases.begin(); it != state.failedReleases.end();)
        it = record.installed && *it < *record.installed ? state.failedReleases.erase(it) : std::next(it);

    const QString folder = remoteFolder(m_ftp.homeDirectory(), m_folder);
    const std::optional<FleetRecord::Name> last = FleetRecord::parseName(state.lastRecord);
    const bool own = last && last->station == record.station;
    const QString name = record.fileName();
    QString why;
    // When its name tells the whole record, the station's last record renamed is this one.
    const bool renamedOnly = own && !FleetRecord::parseName(name)->needsText && renamed(state.lastRecord, name, folder);
    if (!renamedOnly) {
        if (!upload(record, folder, why)) {
            m_ftp.appendLog(QStringLiteral("Rapport du poste non écrit dans %1 : %2").arg(folder, why));
            QString saved;
            state.save(saved); // the failure remembered all the same
            return false;
        }
        if (own && state.lastRecord != name)
            m_ftp.remove(folder + QLatin1Char('/') + state.lastRecord, FtpConnection::Logged::Quietly);
    }
    state.lastRecord = name;
    if (!state.save(why))
        m_ftp.appendLog(why);
    m_ftp.appendLog(QStringLiteral("Rapport du poste écrit : %1/%2").arg(folder, record.fileName()));
    return true;
}

bool FleetReport::renamed(const QString& last, const QString& name, const QString& folder)
{
    if (last == name)
        return true; // two runs within a second that said the same
    return m_ftp
        .rename(folder + QLatin1Char('/') + last, folder + QLatin1Char('/') + name, FtpConnection::Logged::Quietly)
        .ok;
}

bool FleetReport::upload(const FleetRecord& record, const QString& folder, QString& why)
{
    const QString local = QDir(InstalledRelease::folder(m_appDir)).filePath(QStringLiteral("rapport.tmp"));
    QSaveFile file(local);
    const QByteArray text = record.text();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        why = file.errorString();
        return false;
    }
    const QString temporary = QStringLiteral("%1/%2_%3.vorn-rapport-tmp")
                                  .arg(folder, FleetRecord::stationText(record.station))
                                  .arg(QCoreApplication::applicationPid());
    FtpResult r = m_ftp.putFile(local, temporary, FtpTransferBinary, FtpConnection::Logged::Quietly);
    QFile::remove(local);
    if (r.ok) {
        r = m_ftp.rename(temporary, folder + QLatin1Char('/') + record.fileName(), FtpConnection::Logged::Quietly);
        if (!r.ok)
            m_ftp.remove(temporary, FtpConnection::Logged::Quietly);
    }
    why = r.reply.trimmed().replace(QLatin1Char('\n'), QLatin1Char(' '));
    return r.ok;
}
