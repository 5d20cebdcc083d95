#include "VersionDownload.h"

#include "DownloadView.h"
#include "PatchedFetch.h"
#include "ReleaseSwap.h"
#include "SignedRelease.h"
#include "ftpsession/CaseTwins.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/NativePath.h"
#include "platform/ProcessControl.h"
#include "release/HashCache.h"
#include "release/InstalledRelease.h"
#include "release/PhasedRollout.h"
#include "release/ReleasePolicy.h"
#include "release/StationId.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <filesystem>

VersionDownload::VersionDownload(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, DownloadView& view)
    : m_ftp(ftp)
    , m_processes(processes)
    , m_dialogs(dialogs)
    , m_view(view)
{}

void VersionDownload::Xkill(const QString& appli)
{
    if (appli != launcherImageName())
        m_processes.terminateByImageName(appli);
    // The old copy is not deleted here: the fetch replaces it only once the new one is complete.
}

bool VersionDownload::localPathFor(const QString& name, const QString& localFolder, QString& path)
{
    QString why;
    if (LocalTarget::resolveListed(localFolder, name, path, why))
        return true;
    m_ftp.appendLog(why);
    return false;
}

bool VersionDownload::fetch(const QString& name, const QString& localPath, int transferType)
{
    const bool ok = m_ftp.client().getFile(m_ftp.ConnectionHandle, name, localPath, false, transferType);
    m_ftp.ShowError(true);
    return ok;
}

namespace {

QString shownNames(const QStringList& names)
{
    QStringList shown;
    for (const QString& name : names)
        shown << LocalTarget::shown(name);
    return shown.join(QStringLiteral(", "));
}

} // namespace

QString VersionDownload::unchangedLine(int unchanged)
{
    if (unchanged <= 0)
        return {};
    return unchanged == 1 ? QStringLiteral("\n1 fichier inchangé")
                          : QStringLiteral("\n%1 fichiers inchangés").arg(unchanged);
}

FtpFindData VersionDownload::serverFacts(const QString& name)
{
    const auto known = m_ftp.facts().constFind(name);
    if (known != m_ftp.facts().constEnd() && known->size >= 0 && known->modified.isValid())
        return *known;
    // A listing without facts: the server is asked for this one.
    FtpFindData facts;
    facts.fileName = name;
    m_ftp.client().fileFacts(m_ftp.ConnectionHandle, name, facts.size, facts.modified);
    return facts;
}

bool VersionDownload::isUnchanged(const QString& path, const FtpFindData& server)
{
    if (server.size < 0 || !server.modified.isValid())
        return false;
    const QFileInfo local(path);
    if (!local.isFile() || local.size() != server.size)
        return false;
    // Times to the second, what every server's facts carry, and in UTC: a local time would look
    // up the time zone for every file.
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(nativePath(path), ec);
    if (ec)
        return false;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(written).time_since_epoch());
    return seconds.count() == server.modified.toSecsSinceEpoch();
}

void VersionDownload::keepServerTime(const QString& path, const QDateTime& modified)
{
    // Not kept, the file is only fetched once more by the next run.
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        file.setFileTime(modified, QFileDevice::FileModificationTime);
}

QString VersionDownload::incompleteText(const QStringList& notFetched, const QStringList& withoutOldCopy)
{
    const qsizetype n = notFetched.size();
    // The old copies are said to be kept only where there were some.
    const bool allKept = std::none_of(notFetched.cbegin(), notFetched.cend(),
                                      [&withoutOldCopy](const QString& name) { return withoutOldCopy.contains(name); });
    QString text;
    if (allKept)
        text = n == 1 ? QStringLiteral("La mise à jour est incomplète : 1 fichier n'a pas été mis à jour, son "
                                       "ancienne copie a été conservée :")
                      : QStringLiteral("La mise à jour est incomplète : %1 fichiers n'ont pas été mis à jour, leurs "
                                       "anciennes copies ont été conservées :")
                            .arg(n);
    else
        text = n == 1 ? QStringLiteral("La mise à jour est incomplète : 1 fichier n'a pas été mis à jour :")
                      : QStringLiteral("La mise à jour est incomplète : %1 fichiers n'ont pas été mis à jour :").arg(n);
    for (qsizetype i = 0; i < std::min(n, ListedNames); ++i) {
        const QString& name = notFetched.at(i);
        text += QLatin1Char('\n') + LocalTarget::shown(name);
        if (!allKept)
            text += withoutOldCopy.contains(name) ? QStringLiteral(" (pas d'ancienne copie)")
                                                  : QStringLiteral(" (ancienne copie conservée)");
    }
    if (n > ListedNames)
        text += QLatin1Char('\n') + QChar(0x2026);
    return text;
}

void VersionDownload::warn(const QString& text)
{
    MessageRequest r;
    r.text = text;
    r.title = title();
    r.icon = DialogIcon::Exclamation;
    m_dialogs.message(r);
}

VersionDownload::Outcome VersionDownload::Xdown(const QStringList& remoteList, const QString& localFolder,
                                                const QString& appFolder, int transferType, const QString& userName,
                                                bool startApplication)
{
    Outcome outcome;
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(remoteList.size()));
    m_view.setAnimationInterval(100);

    // Staged, every entry is fetched aside first; nothing visible changes until all are there.
    // Signed, the manifest is fetched there too, in either mode.
    ReleaseSwap swap(localFolder);
    QString fetchFolder = localFolder;
    bool stagingReady = true;
    if (m_staged || isSigned()) {
        QString why;
        stagingReady = swap.prepareStaging(why);
        if (stagingReady && m_staged)
            fetchFolder = swap.stagingFolder();
        else if (!stagingReady)
            m_ftp.appendLog(why);
    }

    std::optional<SignedRelease> signedRelease;
    QString refusal = m_keyRefusal;
    if (isSigned() && refusal.isEmpty()) {
        signedRelease.emplace(m_ftp, m_keys, *m_clock);
        if (!stagingReady)
            refusal = QStringLiteral("Mise à jour refusée : le manifeste signé n'a pas pu être téléchargé.");
        else if (!signedRelease->fetchAndCheck(remoteList, swap.stagingFolder(), localFolder, refusal))
            signedRelease.reset();
    }
    if (!refusal.isEmpty()) {
        swap.discardStaging();
        m_view.setAnimationInterval(400);
        refuse(outcome, refusal);
        handOver(outcome, appFolder, startApplication);
        return outcome;
    }
    if (signedRelease && !m_rolloutIgnored) {
        if (const std::optional<QDate> day = rolloutDay(*signedRelease, localFolder)) {
            // Not yet this station's day: the release in place stays, and the run is a success.
            swap.discardStaging();
            outcome.summary = PhasedRollout::waitingLine(signedRelease->manifest().release(), *day);
            m_ftp.appendLog(outcome.summary);
            m_view.setAnimationInterval(400);
            handOver(outcome, appFolder, startApplication);
            return outcome;
        }
    }
    std::optional<HashCache> hashes;
    std::optional<PatchedFetch> patched;
    if (signedRelease) {
        hashes.emplace(localFolder);
        hashes->load();
        if (!signedRelease->manifest().patches().isEmpty())
            patched.emplace(m_ftp, signedRelease->manifest(), *hashes, localFolder,
                            QFileInfo(swap.stagingFolder()).absolutePath());
    }

    QStringList fetched;
    const CaseTwins twins(remoteList);
    for (qsizetype i = 0; i < remoteList.size(); ++i) {
        m_view.setProgressValue(static_cast<int>(i));
        m_view.processEvents();
        const QString& name = remoteList.at(i);
        m_view.setInfo(name);
        m_view.processEvents();
        const bool parentLine = LocalTarget::isParentLine(name);
        // Only the version folder's files make a release; a folder inside it is no failure.
        if (!parentLine && m_ftp.isDirectory(name)) {
            m_ftp.appendLog(QStringLiteral("Dossier « %1 » ignoré : seuls les fichiers du dossier des versions sont "
                                           "mis à jour.")
                                .arg(LocalTarget::shown(name)));
            continue;
        }
        const ReleaseManifest::Entry* signedEntry = nullptr;
        if (signedRelease) {
            if (parentLine || SignedRelease::isRecordName(name))
                continue; // never a file of the application
            signedEntry = signedRelease->manifest().find(name);
            if (!signedEntry) {
                m_ftp.appendLog(QStringLiteral("« %1 » n'est pas dans le manifeste signé : il n'est pas installé.")
                                    .arg(LocalTarget::shown(name)));
                continue;
            }
        }
        if (!stagingReady && !parentLine && m_staged) {
            outcome.notFetched << name;
            continue;
        }
        QString path;
        if (ReleaseSwap::isOwnFolder(name)) {
            m_ftp.appendLog(QStringLiteral("Nom « %1 » refusé : ce dossier est celui des mises à jour du programme.")
                                .arg(LocalTarget::shown(name)));
            outcome.notFetched << name;
            continue;
        }
        QString twin;
        if (!twins.admits(name, twin)) {
            m_ftp.appendLog(twin);
            outcome.notFetched << name;
            continue;
        }
        if (!localPathFor(name, fetchFolder, path)) {
            outcome.notFetched << name; // refused and logged: nothing stopped, nothing written
            continue;
        }
        FtpFindData server;
        if (m_skipUnchanged && signedEntry) {
            // The signed size and digest, not the server's word on size and time.
            if (hashes->matches(name, signedEntry->size, signedEntry->sha256)) {
                ++outcome.unchanged;
                continue;
            }
        } else if (m_skipUnchanged && !parentLine) {
            server = serverFacts(name);
            if (isUnchanged(LocalTarget::join(localFolder, name), server)) {
                ++outcome.unchanged; // nothing stopped, nothing fetched
                continue;
            }
        }
        // Staged, a program is stopped only when its new copy is put in place.
        if (!m_staged && name.endsWith(QLatin1String("exe")))
            Xkill(name);
        if (signedEntry && !m_ftp.client().expectContent({signedEntry->size, signedEntry->sha256})) {
            refusal = ReleasePolicy::fileChanged(name);
            break;
        }
        if (patched && signedEntry && patched->rebuild(*signedEntry, path)) {
            fetched << name;
            continue;
        }
        // The listing's own parent line is fetched as it always was; its refusal is no failure.
        bool done = fetch(name, path, transferType);
        // Mirrors serve the same release: what one cannot deliver another may, checked alike.
        while (!done && !parentLine && m_ftp.serverUnavailable() && m_ftp.moveToNextMirror()) {
            if (signedEntry)
                m_ftp.client().expectContent({signedEntry->size, signedEntry->sha256});
            done = fetch(name, path, transferType);
        }
        if (done) {
            fetched << name;
            if (m_skipUnchanged && !signedEntry && server.modified.isValid())
                keepServerTime(path, server.modified);
        } else if (signedEntry && m_ftp.client().lastError() == FtpErrorContentMismatch) {
            refusal = ReleasePolicy::fileChanged(name);
            break; // nothing of this release is installed: no point fetching the rest
        } else if (!parentLine) {
            outcome.notFetched << name;
        }
    }
    if (patched && refusal.isEmpty())
        m_ftp.appendLog(patched->summary());
    if (signedRelease && refusal.isEmpty()) {
        for (const ReleaseManifest::Entry& entry : signedRelease->manifest().files())
            if (!remoteList.contains(entry.name)) {
                m_ftp.appendLog(QStringLiteral("« %1 » est dans le manifeste signé mais absent du serveur.")
                                    .arg(LocalTarget::shown(entry.name)));
                outcome.notFetched << entry.name;
            }
    }
    if (!refusal.isEmpty()) {
        swap.discardStaging();
        refuse(outcome, refusal);
    } else if (m_staged) {
        QStringList moved = fetched;
        if (signedRelease && outcome.notFetched.isEmpty() &&
            (!fetched.isEmpty() || !sameRecord(*signedRelease, localFolder))) {
            const QStringList record = stageRecord(*signedRelease, swap.stagingFolder());
            if (record.isEmpty())
                outcome.notFetched << ReleaseManifest::fileName();
            moved << record;
        }
        if (outcome.notFetched.isEmpty() && !moved.isEmpty())
            install(outcome, moved, localFolder);
        else
            swap.discardStaging();
    } else {
        if (signedRelease && outcome.notFetched.isEmpty()) {
            QString why;
            if (!InstalledRelease::write(localFolder, signedRelease->manifestBytes(), signedRelease->signatureBytes(),
                                         why))
                m_ftp.appendLog(why);
        }
        swap.discardStaging();
    }
    if (hashes && outcome.exitCode == 0) {
        // Files just checked as they arrived need not be read again by the next run.
        if (outcome.installed || !m_staged)
            for (const QString& name : std::as_const(fetched))
                if (const ReleaseManifest::Entry* e = signedRelease->manifest().find(name))
                    hashes->remember(name, e->sha256);
        QString why;
        if (!hashes->save(why))
            m_ftp.appendLog(why);
    }
    m_view.refreshLocalFiles();
    m_view.setAnimationInterval(400);

    if (outcome.exitCode == ExitRefused) {
        // Said already.
    } else if (outcome.notFetched.isEmpty()) {
        MessageRequest done;
        done.text = QStringLiteral("All is OK...  73 ") + userName + unchangedLine(outcome.unchanged);
        done.title = title();
        m_dialogs.message(done);
        outcome.summary = QStringLiteral("mise à jour complète, %1 fichier(s) à jour.").arg(fetched.size());
        if (m_skipUnchanged)
            outcome.summary += QStringLiteral(" %1 fichier(s) inchangé(s).").arg(outcome.unchanged);
    } else if (outcome.exitCode == 0) {
        QStringList withoutOldCopy;
        for (const QString& name : std::as_const(outcome.notFetched)) {
            QString local;
            QString ignored;
            if (!LocalTarget::resolve(localFolder, name, local, ignored) || !QFileInfo(local).isFile())
                withoutOldCopy << name;
        }
        QString text = incompleteText(outcome.notFetched, withoutOldCopy) + unchangedLine(outcome.unchanged);
        if (m_staged)
            text += QStringLiteral("\nAucun fichier de la nouvelle version n'a été installé.");
        warn(text);
        outcome.exitCode = ExitIncomplete;
        outcome.summary = QStringLiteral("mise à jour incomplète, %1 fichier(s) non mis à jour : %2")
                              .arg(outcome.notFetched.size())
                              .arg(shownNames(outcome.notFetched));
        if (m_staged)
            outcome.summary += QStringLiteral(" ; rien n'a été installé.");
    }
    m_installFolder = localFolder;
    handOver(outcome, appFolder, startApplication);
    return outcome;
}

std::optional<QDate> VersionDownload::rolloutDay(const SignedRelease& release, const QString& localFolder)
{
    const std::optional<ReleaseManifest::Rollout> rollout = release.manifest().rollout();
    if (!rollout)
        return std::nullopt;
    // Once installed here (taken early with --now, say), the release is simply kept up to date.
    QString ignored;
    if (InstalledRelease::number(localFolder, ignored) == release.manifest().release())
        return std::nullopt;
    QString problem;
    const quint64 station = StationId::get(localFolder, problem);
    if (!problem.isEmpty())
        m_ftp.appendLog(problem);
    const QDate day = PhasedRollout::dayFor(rollout->start, rollout->days, station);
    if (m_clock->now().date() >= day)
        return std::nullopt;
    return day;
}

void VersionDownload::refuse(Outcome& outcome, const QString& refusal)
{
    m_ftp.appendLog(refusal);
    warn(refusal + QStringLiteral("\nAucun fichier n'a été installé."));
    outcome.exitCode = ExitRefused;
    outcome.summary = refusal + QStringLiteral(" Rien n'a été installé.");
}

bool VersionDownload::sameRecord(const SignedRelease& release, const QString& localFolder)
{
    const QDir record(InstalledRelease::folder(localFolder));
    QFile m(record.filePath(ReleaseManifest::fileName()));
    QFile s(record.filePath(ReleaseManifest::signatureFileName()));
    return m.open(QIODevice::ReadOnly) && s.open(QIODevice::ReadOnly) &&
           m.read(ReleaseManifest::MaxBytes + 1) == release.manifestBytes() &&
           s.read(release.signatureBytes().size() + 1) == release.signatureBytes();
}

QStringList VersionDownload::stageRecord(const SignedRelease& release, const QString& stagingFolder)
{
    const QString folder = QDir(stagingFolder).filePath(InstalledRelease::folderName());
    const QString manifest = InstalledRelease::folderName() + QLatin1Char('/') + ReleaseManifest::fileName();
    const QString signature = InstalledRelease::folderName() + QLatin1Char('/') + ReleaseManifest::signatureFileName();
    QDir().mkpath(folder);
    QFile m(QDir(stagingFolder).filePath(manifest));
    QFile s(QDir(stagingFolder).filePath(signature));
    if (!m.open(QIODevice::WriteOnly) || m.write(release.manifestBytes()) != release.manifestBytes().size() ||
        !s.open(QIODevice::WriteOnly) || s.write(release.signatureBytes()) != release.signatureBytes().size()) {
        m_ftp.appendLog(QStringLiteral("Le relevé de la version installée ne peut pas être écrit dans %1.")
                            .arg(QDir::toNativeSeparators(folder)));
        return {};
    }
    // The signature first: a swap cut between the two still names the older release.
    return {signature, manifest};
}

void VersionDownload::stopBeforeMove(const QString& name)
{
    if (name.endsWith(QLatin1String("exe")))
        Xkill(name);
}

bool VersionDownload::install(Outcome& outcome, const QStringList& names, const QString& localFolder)
{
    m_view.setInfo(QStringLiteral("Mise en place de la nouvelle version…"));
    m_view.processEvents();
    ReleaseSwap swap(localFolder);
    QString why;
    if (swap.install(
            names, [this](const QString& name) { stopBeforeMove(name); }, why)) {
        outcome.installed = true;
        m_ftp.appendLog(QStringLiteral("Nouvelle version mise en place : %1 fichier(s) ; la version remplacée est "
                                       "conservée dans %2.")
                            .arg(names.size())
                            .arg(ReleaseSwap::previousName()));
        return true;
    }
    // Nothing was installed: every fetched file counts as not updated.
    m_ftp.appendLog(QStringLiteral("La nouvelle version n'a pas pu être mise en place : %1.").arg(why));
    warn(QStringLiteral("La nouvelle version n'a pas pu être mise en place : %1.\nAucun fichier n'a été remplacé : la "
                        "version installée reste en place.")
             .arg(why));
    outcome.notFetched = names;
    outcome.exitCode = ExitIncomplete;
    outcome.summary = QStringLiteral("mise à jour non installée : %1 ; rien n'a été remplacé.").arg(why);
    return false;
}

VersionDownload::Outcome VersionDownload::versionFolderUnavailable(const QString& folder, const QString& reply,
                                                                   const QString& appFolder, bool startApplication)
{
    Outcome outcome;
    outcome.exitCode = ExitIncomplete;
    warn(QStringLiteral("Le dossier des versions « %1 » est inaccessible sur le serveur : aucun fichier n'a été mis à "
                        "jour.\nRéponse du serveur : %2")
             .arg(folder, reply));
    outcome.summary = QStringLiteral("mise à jour impossible, le dossier des versions « %1 » est inaccessible : %2")
                          .arg(folder, QString(reply).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    handOver(outcome, appFolder, startApplication);
    return outcome;
}

void VersionDownload::handOver(Outcome& outcome, const QString& appFolder, bool startApplication)
{
    m_view.setBusy(true);
    m_view.setProgressVisible(false);
    m_view.setInfo(QStringLiteral("VORN Log is going to start..."));
    m_view.processEvents();

    if (!startApplication) {
        m_view.setBusy(false);
        return;
    }

    const TerminateResult stopped = m_processes.terminateByImageName(applicationName());
    if (!stopped.ok)
        warn(stopped.error);

    QString error;
    const QString program = LocalTarget::join(appFolder, applicationName());
    if (outcome.installed && m_startCheck > 0) {
        m_view.setInfo(QStringLiteral("Vérification du démarrage de VORN.exe (%1 s)…").arg(m_startCheck));
        m_view.processEvents();
        const WatchedStart watched =
            m_processes.startWatched(program, m_startCheck, [this] { m_view.processEvents(); });
        if (watched.started && watched.ended && watched.failed) {
            withdraw(outcome, appFolder, watched.how);
            m_view.setBusy(false);
            return;
        }
        if (watched.started) {
            outcome.applicationStarted = true;
            m_processes.terminateByImageName(launcherImageName());
            m_view.setBusy(false);
            return;
        }
        error = watched.error;
    } else if (m_processes.startDetached(program, &error)) {
        outcome.applicationStarted = true;
        m_processes.terminateByImageName(launcherImageName());
        m_view.setBusy(false);
        return;
    }
    MessageRequest r;
    r.text = error;
    r.title = title();
    m_dialogs.message(r);
    m_processes.terminateByImageName(launcherImageName());
    outcome.error = error;
    outcome.exitCode = ExitNotStarted;
    outcome.summary += QStringLiteral(" %1 n'a pas pu être démarré : %2").arg(applicationName(), error);
    m_view.setBusy(false);
}

void VersionDownload::withdraw(Outcome& outcome, const QString& appFolder, const QString& how)
{
    m_view.setInfo(QStringLiteral("Retour à la version précédente…"));
    m_view.processEvents();
    ReleaseSwap swap(m_installFolder.isEmpty() ? appFolder : m_installFolder);
    QString why;
    const bool back = swap.rollback([this](const QString& name) { stopBeforeMove(name); }, why);
    QString text = back ? QStringLiteral("La nouvelle version de %1 n'a pas démarré (%2) : elle a été retirée et la "
                                         "version précédente a été remise en place.")
                              .arg(applicationName(), how)
                        : QStringLiteral("La nouvelle version de %1 n'a pas démarré (%2) et la version précédente n'a "
                                         "pas pu être remise en place : %3.")
                              .arg(applicationName(), how, why);
    QString error;
    const QString program = LocalTarget::join(appFolder, applicationName());
    const bool started = back && m_processes.startDetached(program, &error);
    if (back && !started)
        text += QStringLiteral("\n%1").arg(error);
    m_ftp.appendLog(text);
    warn(text);
    outcome.applicationStarted = started;
    outcome.installed = false;
    outcome.exitCode = ExitWithdrawn;
    outcome.summary = QStringLiteral("nouvelle version retirée : %1 n'a pas démarré (%2)%3.")
                          .arg(applicationName(), how,
                               back ? QStringLiteral(", version précédente remise en place")
                                    : QStringLiteral(", version précédente non remise en place : ") + why);
    m_processes.terminateByImageName(launcherImageName());
}
