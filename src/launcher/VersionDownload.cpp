#include "VersionDownload.h"

#include "DownloadView.h"
#include "PatchedFetch.h"
#include "ReleaseSwap.h"
#include "SignedRelease.h"
#include "ftpsession/CaseTwins.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "ftpsession/ParallelDownload.h"
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

// One entry of the version folder to fetch, whole or through a patch.
struct VersionDownload::RunItem {
    QString name;
    QString path; // where it is written (the staging folder when staged)
    const ReleaseManifest::Entry* signedEntry = nullptr;
    const ReleaseManifest::Patch* patch = nullptr;
    FtpFindData server; // the server's facts, when skip-unchanged asked for them
    bool parentLine = false;
};

// What one Xdown works on, from one step to the next.
struct VersionDownload::Run {
    Run(const QString& folder, int type)
        : swap(folder)
        , localFolder(folder)
        , fetchFolder(folder)
        , transferType(type)
    {}

    ReleaseSwap swap;
    QString localFolder;
    QString fetchFolder;
    int transferType;
    bool stagingReady = true;
    std::optional<SignedRelease> signedRelease;
    std::optional<HashCache> hashes;
    std::optional<PatchedFetch> patched;
    QString refusal;
    QList<RunItem> items;
    QStringList fetched;
    int progress = 0;
};

VersionDownload::Outcome VersionDownload::Xdown(const QStringList& remoteList, const QString& localFolder,
                                                const QString& appFolder, int transferType, const QString& userName,
                                                bool startApplication)
{
    Outcome outcome;
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(remoteList.size()));
    m_view.setAnimationInterval(100);

    Run run(localFolder, transferType);
    if (prepare(run, remoteList, outcome)) {
        plan(run, remoteList, outcome);
        fetchAll(run, remoteList, outcome);
        check(run, remoteList, outcome);
        conclude(run, outcome);
        m_view.refreshLocalFiles();
        m_view.setAnimationInterval(400);
        tell(outcome, static_cast<int>(run.fetched.size()), userName, localFolder);
        m_installFolder = localFolder;
    }
    handOver(outcome, appFolder, startApplication);
    return outcome;
}

bool VersionDownload::prepare(Run& run, const QStringList& remoteList, Outcome& outcome)
{
    // Staged, every entry is fetched aside first; nothing visible changes until all are there.
    // Signed, the manifest is fetched there too, in either mode.
    if (m_staged || isSigned()) {
        QString why;
        run.stagingReady = run.swap.prepareStaging(why);
        if (run.stagingReady && m_staged)
            run.fetchFolder = run.swap.stagingFolder();
        else if (!run.stagingReady)
            m_ftp.appendLog(why);
    }

    QString refusal = m_keyRefusal;
    if (isSigned() && refusal.isEmpty()) {
        run.signedRelease.emplace(m_ftp, m_keys, *m_clock);
        if (!run.stagingReady)
            refusal = QStringLiteral("Mise à jour refusée : le manifeste signé n'a pas pu être téléchargé.");
        else if (!run.signedRelease->fetchAndCheck(remoteList, run.swap.stagingFolder(), run.localFolder, refusal))
            run.signedRelease.reset();
    }
    if (!refusal.isEmpty()) {
        run.swap.discardStaging();
        m_view.setAnimationInterval(400);
        refuse(outcome, refusal);
        return false;
    }
    if (run.signedRelease && !m_rolloutIgnored) {
        if (const std::optional<QDate> day = rolloutDay(*run.signedRelease, run.localFolder)) {
            // Not yet this station's day: the release in place stays, and the run is a success.
            run.swap.discardStaging();
            outcome.summary = PhasedRollout::waitingLine(run.signedRelease->manifest().release(), *day);
            m_ftp.appendLog(outcome.summary);
            m_view.setAnimationInterval(400);
            return false;
        }
    }
    if (run.signedRelease) {
        run.hashes.emplace(run.localFolder);
        run.hashes->load();
        if (!run.signedRelease->manifest().patches().isEmpty())
            run.patched.emplace(m_ftp, run.signedRelease->manifest(), *run.hashes, run.localFolder,
                                QFileInfo(run.swap.stagingFolder()).absolutePath());
    }
    return true;
}

void VersionDownload::plan(Run& run, const QStringList& remoteList, Outcome& outcome)
{
    const CaseTwins twins(remoteList);
    for (qsizetype i = 0; i < remoteList.size(); ++i) {
        const QString& name = remoteList.at(i);
        RunItem item;
        item.name = name;
        item.parentLine = LocalTarget::isParentLine(name);
        // Only the version folder's files make a release; a folder inside it is no failure.
        if (!item.parentLine && m_ftp.isDirectory(name)) {
            m_ftp.appendLog(QStringLiteral("Dossier « %1 » ignoré : seuls les fichiers du dossier des versions sont "
                                           "mis à jour.")
                                .arg(LocalTarget::shown(name)));
            continue;
        }
        if (run.signedRelease) {
            if (item.parentLine || SignedRelease::isRecordName(name))
                continue; // never a file of the application
            item.signedEntry = run.signedRelease->manifest().find(name);
            if (!item.signedEntry) {
                m_ftp.appendLog(QStringLiteral("« %1 » n'est pas dans le manifeste signé : il n'est pas installé.")
                                    .arg(LocalTarget::shown(name)));
                continue;
            }
        }
        if (!run.stagingReady && !item.parentLine && m_staged) {
            outcome.notFetched << name;
            continue;
        }
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
        if (!localPathFor(name, run.fetchFolder, item.path)) {
            outcome.notFetched << name; // refused and logged: nothing stopped, nothing written
            continue;
        }
        if (m_skipUnchanged && item.signedEntry) {
            // The signed size and digest, not the server's word on size and time.
            if (run.hashes->matches(name, item.signedEntry->size, item.signedEntry->sha256)) {
                ++outcome.unchanged;
                continue;
            }
        } else if (m_skipUnchanged && !item.parentLine) {
            m_view.setInfo(name);
            m_view.processEvents();
            item.server = serverFacts(name);
            if (isUnchanged(LocalTarget::join(run.localFolder, name), item.server)) {
                ++outcome.unchanged; // nothing stopped, nothing fetched
                continue;
            }
        }
        if (run.patched && item.signedEntry)
            item.patch = run.patched->patchFor(*item.signedEntry);
        run.items << item;
    }
    run.progress = static_cast<int>(remoteList.size() - run.items.size());
    m_view.setProgressValue(run.progress);
    m_view.processEvents();
}

void VersionDownload::fetchAll(Run& run, const QStringList& remoteList, Outcome& outcome)
{
    QList<DownloadJob> jobs;
    for (const RunItem& item : std::as_const(run.items)) {
        DownloadJob job;
        job.transferType = run.transferType;
        if (item.patch) {
            job.remote = PatchedFetch::remoteName(*item.patch);
            job.localPath = run.patched->fetchedPath(*item.patch);
            job.size = item.signedEntry->size; // rebuilding the file takes longer than fetching its patch
            job.expected = {item.patch->size, item.patch->sha256};
            job.transferType = FtpTransferBinary;
            // The session that fetched the patch rebuilds the file there and then, beside the others.
            const PatchedFetch& patched = *run.patched;
            job.afterFetch = [&patched, &item](QString& why) {
                return patched.make(*item.signedEntry, *item.patch, item.path, why);
            };
        } else {
            job.remote = item.name;
            job.localPath = item.path;
            if (item.signedEntry) {
                job.size = item.signedEntry->size;
                job.expected = {item.signedEntry->size, item.signedEntry->sha256};
            } else {
                job.size = m_ftp.facts().value(item.name).size;
            }
        }
        // The listing's parent line is fetched as it always was, and a program replaced in place
        // is stopped first: both by the main session, in the listing's order.
        job.mainOnly = item.parentLine || (!m_staged && item.name.endsWith(QLatin1String("exe")));
        jobs << job;
    }

    ParallelDownload download(m_ftp, m_sessions);
    download.setArrival([this, &run](qsizetype) { m_view.setProgressValue(++run.progress); });
    download.run(
        jobs,
        [this, &run, &outcome](qsizetype k) {
            const bool carryOn = fetchOnMain(run, run.items.at(k), outcome);
            m_view.setProgressValue(++run.progress);
            return carryOn;
        },
        [this, &run, &outcome](qsizetype k, const DownloadResult& result) {
            m_ftp.appendLog(result.response);
            const RunItem& item = run.items.at(k);
            if (item.patch && result.ok) {
                if (result.afterDone && run.patched->made(*item.signedEntry, *item.patch)) {
                    run.fetched << item.name;
                    return true;
                }
                run.patched->failed(*item.signedEntry, result.afterWhy);
                return fetchWhole(run, item, outcome);
            }
            return settle(run, item, result.ok, result.error, outcome);
        },
        [this, &run](qsizetype k) {
            // The panel names a file still on its way while the main session waits for the others.
            if (k >= 0)
                m_view.setInfo(run.items.at(k).name);
            m_view.processEvents();
        });
    if (download.extraSessions() > 0)
        m_ftp.appendLog(
            QStringLiteral("Téléchargement sur %1 sessions en parallèle.").arg(download.extraSessions() + 1));
    if (run.patched && run.refusal.isEmpty())
        m_ftp.appendLog(run.patched->summary());

    // Whatever order the sessions finished in, the lists follow the version folder's.
    QHash<QString, qsizetype> order;
    for (qsizetype i = 0; i < remoteList.size(); ++i)
        order.insert(remoteList.at(i), i);
    auto byListing = [&order](const QString& a, const QString& b) { return order.value(a) < order.value(b); };
    std::stable_sort(run.fetched.begin(), run.fetched.end(), byListing);
    std::stable_sort(outcome.notFetched.begin(), outcome.notFetched.end(), byListing);
}

bool VersionDownload::fetchOnMain(Run& run, const RunItem& item, Outcome& outcome)
{
    m_view.setInfo(item.name);
    m_view.processEvents();
    if (item.patch) {
        bool ok = m_ftp.client().expectContent({item.patch->size, item.patch->sha256});
        if (ok) {
            ok = m_ftp.client().getFile(m_ftp.ConnectionHandle, PatchedFetch::remoteName(*item.patch),
                                        run.patched->fetchedPath(*item.patch), false, FtpTransferBinary);
            m_ftp.ShowError(true);
        }
        return settle(run, item, ok, ok ? FtpErrorNone : m_ftp.client().lastError(), outcome);
    }
    return fetchWhole(run, item, outcome);
}

bool VersionDownload::fetchWhole(Run& run, const RunItem& item, Outcome& outcome)
{
    // Staged, a program is stopped only when its new copy is put in place.
    if (!m_staged && item.name.endsWith(QLatin1String("exe")))
        Xkill(item.name);
    const ReleaseManifest::Entry* signedEntry = item.signedEntry;
    if (signedEntry && !m_ftp.client().expectContent({signedEntry->size, signedEntry->sha256})) {
        run.refusal = ReleasePolicy::fileChanged(item.name);
        return false;
    }
    bool done = fetch(item.name, item.path, run.transferType);
    // Mirrors serve the same release: what one cannot deliver another may, checked alike. The
    // listing's own parent line is fetched as it always was; its refusal is no failure.
    while (!done && !item.parentLine && m_ftp.serverUnavailable() && m_ftp.moveToNextMirror()) {
        if (signedEntry)
            m_ftp.client().expectContent({signedEntry->size, signedEntry->sha256});
        done = fetch(item.name, item.path, run.transferType);
    }
    RunItem whole = item;
    whole.patch = nullptr;
    return settle(run, whole, done, done ? FtpErrorNone : m_ftp.client().lastError(), outcome);
}

bool VersionDownload::settle(Run& run, const RunItem& item, bool ok, quint32 error, Outcome& outcome)
{
    if (item.patch) {
        // A patch that did not come, or does not make the signed file, leaves the whole file to fetch.
        if (ok && !m_staged && item.name.endsWith(QLatin1String("exe")))
            Xkill(item.name);
        if (ok ? run.patched->apply(*item.signedEntry, *item.patch, item.path)
               : run.patched->notFetched(*item.signedEntry, error == FtpErrorContentMismatch)) {
            run.fetched << item.name;
            return true;
        }
        QFile::remove(run.patched->fetchedPath(*item.patch));
        return fetchWhole(run, item, outcome);
    }
    if (ok) {
        run.fetched << item.name;
        if (m_skipUnchanged && !item.signedEntry && item.server.modified.isValid())
            keepServerTime(item.path, item.server.modified);
    } else if (item.signedEntry && error == FtpErrorContentMismatch) {
        run.refusal = ReleasePolicy::fileChanged(item.name);
        return false; // nothing of this release is installed: no point fetching the rest
    } else if (!item.parentLine) {
        outcome.notFetched << item.name;
    }
    return true;
}

void VersionDownload::check(Run& run, const QStringList& remoteList, Outcome& outcome)
{
    if (!run.signedRelease || !run.refusal.isEmpty())
        return;
    for (const ReleaseManifest::Entry& entry : run.signedRelease->manifest().files())
        if (!remoteList.contains(entry.name)) {
            m_ftp.appendLog(QStringLiteral("« %1 » est dans le manifeste signé mais absent du serveur.")
                                .arg(LocalTarget::shown(entry.name)));
            outcome.notFetched << entry.name;
        }
}

void VersionDownload::conclude(Run& run, Outcome& outcome)
{
    if (!run.refusal.isEmpty()) {
        run.swap.discardStaging();
        refuse(outcome, run.refusal);
    } else if (m_staged) {
        QStringList moved = run.fetched;
        if (run.signedRelease && outcome.notFetched.isEmpty() &&
            (!run.fetched.isEmpty() || !sameRecord(*run.signedRelease, run.localFolder))) {
            const QStringList record = stageRecord(*run.signedRelease, run.swap.stagingFolder());
            if (record.isEmpty())
                outcome.notFetched << ReleaseManifest::fileName();
            moved << record;
        }
        if (outcome.notFetched.isEmpty() && !moved.isEmpty())
            install(outcome, moved, run.localFolder);
        else
            run.swap.discardStaging();
    } else {
        if (run.signedRelease && outcome.notFetched.isEmpty()) {
            QString why;
            if (!InstalledRelease::write(run.localFolder, run.signedRelease->manifestBytes(),
                                         run.signedRelease->signatureBytes(), why))
                m_ftp.appendLog(why);
        }
        run.swap.discardStaging();
    }
    if (run.hashes && outcome.exitCode == 0) {
        // Files just checked as they arrived need not be read again by the next run.
        if (outcome.installed || !m_staged)
            for (const QString& name : std::as_const(run.fetched))
                if (const ReleaseManifest::Entry* e = run.signedRelease->manifest().find(name))
                    run.hashes->remember(name, e->sha256);
        QString why;
        if (!run.hashes->save(why))
            m_ftp.appendLog(why);
    }
}

void VersionDownload::tell(Outcome& outcome, int fetched, const QString& userName, const QString& localFolder)
{
    if (outcome.exitCode == ExitRefused) {
        // Said already.
    } else if (outcome.notFetched.isEmpty()) {
        MessageRequest done;
        done.text = QStringLiteral("All is OK...  73 ") + userName + unchangedLine(outcome.unchanged);
        done.title = title();
        m_dialogs.message(done);
        outcome.summary = QStringLiteral("mise à jour complète, %1 fichier(s) à jour.").arg(fetched);
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
