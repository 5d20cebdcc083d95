#include "VersionDownload.h"

#include "DownloadView.h"
#include "PatchedFetch.h"
#include "ReleaseSwap.h"
#include "SignedRelease.h"
#include "fleet/FleetReport.h"
#include "fleet/FleetState.h"
#include "fleet/RolloutGate.h"
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

VersionDownload::VersionDownload(FtpConnection& ftp, ProcessControl& processes, Dialogs& dialogs, DownloadView& view,
                                 const UpdateSettings& settings)
    : m_ftp(ftp)
    , m_processes(processes)
    , m_dialogs(dialogs)
    , m_view(view)
    , m_settings(settings)
    , m_clock(settings.clock ? *settings.clock : m_systemClock)
{}

VersionDownload::~VersionDownload() = default;

void VersionDownload::Xkill(const QString& appli)
{
    if (appli != launcherImageName())
        m_processes.terminateByImageName(appli);
    // The old copy is not deleted here: the fetch replaces it only once the new one is complete.
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

// One entry of the version folder, and what becomes of it.
struct VersionDownload::RunItem {
    enum class Fate { Planned, Refused, Fetched, Failed };
    QString name;
    QString path; // where it is written (the staging folder when staged)
    const ReleaseManifest::Entry* signedEntry = nullptr;
    const ReleaseManifest::Patch* patch = nullptr;
    FtpFindData server; // the server's facts, when skip-unchanged asked for them
    bool parentLine = false;
    Fate fate = Fate::Planned;
};

// Everything one Xdown knows, from one step to the next.
struct VersionDownload::Run {
    Run(const QStringList& listing, const QString& folder)
        : remoteList(listing)
        , swap(folder)
        , localFolder(folder)
        , fetchFolder(folder)
    {}

    const QStringList remoteList;
    ReleaseSwap swap;
    const QString localFolder; // the release is installed, and withdrawn, there
    QString fetchFolder;       // the staging folder when staged
    bool stagingReady = true;
    std::optional<SignedRelease> signedRelease;
    std::optional<HashCache> hashes;
    std::optional<PatchedFetch> patched;
    QString refusal;      // a signed release refused part-way: nothing of it is installed
    QList<RunItem> items; // in the listing's order
    QStringList fetched;  // likewise
    int progress = 0;
    Outcome outcome;
};

VersionDownload::Outcome VersionDownload::Xdown(const QStringList& remoteList)
{
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(remoteList.size()));
    m_view.setAnimationInterval(100);

    Run run(remoteList, m_settings.localFolder);
    if (prepare(run)) {
        plan(run);
        fetchAll(run);
        check(run);
        conclude(run);
        m_view.refreshLocalFiles();
        m_view.setAnimationInterval(400);
        tell(run);
    }
    handOver(run);
    return run.outcome;
}

bool VersionDownload::prepare(Run& run)
{
    // Staged, every entry is fetched aside first; nothing visible changes until all are there.
    // Signed, the manifest is fetched there too, in either mode.
    if (m_settings.staged || m_settings.isSigned()) {
        QString why;
        run.stagingReady = run.swap.prepareStaging(why);
        if (run.stagingReady && m_settings.staged)
            run.fetchFolder = run.swap.stagingFolder();
        else if (!run.stagingReady)
            m_ftp.appendLog(why);
    }

    QString refusal = m_settings.keyRefusal;
    if (m_settings.isSigned() && refusal.isEmpty()) {
        run.signedRelease.emplace(m_ftp, m_settings.releaseKeys, m_clock);
        if (!run.stagingReady)
            refusal = QStringLiteral("Mise à jour refusée : le manifeste signé n'a pas pu être téléchargé.");
        else if (!run.signedRelease->fetchAndCheck(run.remoteList, run.swap.stagingFolder(), run.localFolder,
                                                   refusal)) {
            run.outcome.releaseFault = run.signedRelease->refusedForRelease();
            run.outcome.offered = run.signedRelease->claimedRelease();
            run.signedRelease.reset();
        }
    }
    if (!refusal.isEmpty()) {
        run.swap.discardStaging();
        m_view.setAnimationInterval(400);
        refuse(run, refusal);
        return false;
    }
    run.outcome.offered = run.signedRelease ? run.signedRelease->manifest().release() : 0;
    if (heldBack(run)) {
        run.swap.discardStaging();
        m_ftp.appendLog(run.outcome.summary);
        m_view.setAnimationInterval(400);
        return false;
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

void VersionDownload::plan(Run& run)
{
    const CaseTwins twins(run.remoteList);
    int planned = 0;
    for (const QString& name : run.remoteList) {
        RunItem item;
        item.name = name;
        item.parentLine = LocalTarget::isParentLine(name);
        QString twin;
        if (!planItem(run, item))
            continue;
        if (item.fate == RunItem::Fate::Planned && !twins.admits(name, twin)) {
            m_ftp.appendLog(twin);
            item.fate = RunItem::Fate::Refused;
        }
        if (item.fate == RunItem::Fate::Planned &&
            !LocalTarget::resolveListed(run.fetchFolder, name, item.path, twin)) {
            m_ftp.appendLog(twin); // refused: nothing stopped, nothing written
            item.fate = RunItem::Fate::Refused;
        }
        if (item.fate == RunItem::Fate::Planned && m_settings.skipUnchanged) {
            bool unchanged = false;
            if (item.signedEntry) {
                // The signed size and digest, not the server's word on size and time.
                unchanged = run.hashes->matches(name, item.signedEntry->size, item.signedEntry->sha256);
            } else if (!item.parentLine) {
                m_view.setInfo(name);
                m_view.processEvents();
                item.server = m_ftp.factsOf(name);
                unchanged = isUnchanged(LocalTarget::join(run.localFolder, name), item.server);
            }
            if (unchanged) {
                ++run.outcome.unchanged; // nothing stopped, nothing fetched
                continue;
            }
        }
        if (item.fate == RunItem::Fate::Planned) {
            ++planned;
            if (run.patched && item.signedEntry)
                item.patch = run.patched->patchFor(*item.signedEntry);
        }
        run.items << item;
    }
    run.progress = static_cast<int>(run.remoteList.size()) - planned;
    m_view.setProgressValue(run.progress);
    m_view.processEvents();
}

bool VersionDownload::planItem(Run& run, RunItem& item)
{
    const QString& name = item.name;
    // Only the version folder's files make a release; a folder inside it is no failure.
    if (!item.parentLine && m_ftp.isDirectory(name)) {
        m_ftp.appendLog(
            QStringLiteral("Dossier « %1 » ignoré : seuls les fichiers du dossier des versions sont mis à jour.")
                .arg(LocalTarget::shown(name)));
        return false;
    }
    if (run.signedRelease) {
        if (item.parentLine || SignedRelease::isRecordName(name))
            return false; // never a file of the application
        item.signedEntry = run.signedRelease->manifest().find(name);
        if (!item.signedEntry) {
            m_ftp.appendLog(QStringLiteral("« %1 » n'est pas dans le manifeste signé : il n'est pas installé.")
                                .arg(LocalTarget::shown(name)));
            return false;
        }
    }
    if (!run.stagingReady && !item.parentLine && m_settings.staged) {
        item.fate = RunItem::Fate::Refused;
    } else if (ReleaseSwap::isOwnFolder(name)) {
        m_ftp.appendLog(QStringLiteral("Nom « %1 » refusé : ce dossier est celui des mises à jour du programme.")
                            .arg(LocalTarget::shown(name)));
        item.fate = RunItem::Fate::Refused;
        run.outcome.releaseFault = true;
    }
    return true;
}

void VersionDownload::fetchAll(Run& run)
{
    QList<DownloadJob> jobs;
    QList<RunItem*> itemOf;
    for (RunItem& item : run.items) {
        if (item.fate != RunItem::Fate::Planned)
            continue;
        DownloadJob job = item.patch ? run.patched->job(*item.signedEntry, *item.patch, item.path) : DownloadJob();
        if (!item.patch) {
            job.remote = item.name;
            job.localPath = item.path;
            job.transferType = m_settings.transferType;
            job.size = item.signedEntry ? item.signedEntry->size : m_ftp.facts().value(item.name).size;
            if (item.signedEntry)
                job.expected = {item.signedEntry->size, item.signedEntry->sha256};
        }
        // The listing's parent line is fetched as it always was, and a program replaced in place
        // is stopped first: both by the main session, in the listing's order.
        job.mainOnly = item.parentLine || (!m_settings.staged && item.name.endsWith(QLatin1String("exe")));
        jobs << job;
        itemOf << &item;
    }

    ParallelDownload::Callbacks callbacks;
    callbacks.beforeMain = [this, &itemOf](qsizetype k) {
        const RunItem& item = *itemOf.at(k);
        m_view.setInfo(item.name);
        m_view.processEvents();
        // Staged, a program is stopped only when its new copy is put in place.
        if (!m_settings.staged && item.name.endsWith(QLatin1String("exe")))
            Xkill(item.name);
    };
    callbacks.settle = [this, &run, &itemOf](qsizetype k, DownloadResult& result) {
        if (result.main)
            m_view.setProgressValue(++run.progress);
        return settle(run, *itemOf.at(k), result);
    };
    callbacks.idle = [this, &itemOf](qsizetype k) {
        // The panel names a file still on its way while the main session waits for the others.
        if (k >= 0)
            m_view.setInfo(itemOf.at(k)->name);
        m_view.processEvents();
    };
    callbacks.arrived = [this, &run](qsizetype) { m_view.setProgressValue(++run.progress); };
    ParallelDownload download(m_ftp, m_settings.sessions);
    download.run(jobs, callbacks);
    if (download.extraSessions() > 0)
        m_ftp.appendLog(
            QStringLiteral("Téléchargement sur %1 sessions en parallèle.").arg(download.extraSessions() + 1));
    if (run.patched && run.refusal.isEmpty())
        m_ftp.appendLog(run.patched->summary());

    // Whatever order the sessions finished in, the lists follow the version folder's.
    for (const RunItem& item : std::as_const(run.items)) {
        if (item.fate == RunItem::Fate::Fetched)
            run.fetched << item.name;
        else if (item.fate == RunItem::Fate::Refused || (item.fate == RunItem::Fate::Failed && !item.parentLine))
            run.outcome.notFetched << item.name;
    }
}

bool VersionDownload::settle(Run& run, RunItem& item, DownloadResult& result)
{
    if (item.patch)
        run.patched->settle(*item.signedEntry, *item.patch, result, [&] { return fetchWhole(run, item); });
    else if (!result.ok)
        fromOtherMirrors(run, item, result);

    if (result.ok) {
        item.fate = RunItem::Fate::Fetched;
        run.outcome.bytes += item.patch && result.afterDone ? item.patch->size
                             : item.signedEntry             ? item.signedEntry->size
                                                            : QFileInfo(item.path).size();
        if (m_settings.skipUnchanged && !item.signedEntry && item.server.modified.isValid())
            keepServerTime(item.path, item.server.modified);
        return true;
    }
    item.fate = RunItem::Fate::Failed;
    if (item.signedEntry && result.error == FtpErrorContentMismatch) {
        run.refusal = ReleasePolicy::fileChanged(item.name);
        run.outcome.releaseFault = true; // the files on offer are not the release that was signed
        return false;                    // nothing of this release is installed: no point fetching the rest
    }
    return true;
}

DownloadResult VersionDownload::fetchWhole(const Run& run, const RunItem& item)
{
    DownloadResult result;
    static_cast<FtpResult&>(result) = m_ftp.getFile(
        item.name, item.path, m_settings.transferType,
        item.signedEntry ? FtpExpectedContent{item.signedEntry->size, item.signedEntry->sha256} : FtpExpectedContent{});
    result.main = true;
    if (!result.ok)
        fromOtherMirrors(run, item, result);
    return result;
}

void VersionDownload::fromOtherMirrors(const Run& run, const RunItem& item, DownloadResult& result)
{
    Q_UNUSED(run);
    // Mirrors serve the same release: what one cannot deliver another may, checked alike. The
    // listing's own parent line is fetched as it always was; its refusal is no failure.
    const FtpExpectedContent expected =
        item.signedEntry ? FtpExpectedContent{item.signedEntry->size, item.signedEntry->sha256} : FtpExpectedContent{};
    while (!result.ok && !item.parentLine && FtpConnection::serverUnavailable(result) && m_ftp.moveToNextMirror())
        static_cast<FtpResult&>(result) = m_ftp.getFile(item.name, item.path, m_settings.transferType, expected);
}

void VersionDownload::check(Run& run)
{
    if (!run.signedRelease || !run.refusal.isEmpty())
        return;
    for (const ReleaseManifest::Entry& entry : run.signedRelease->manifest().files())
        if (!run.remoteList.contains(entry.name)) {
            m_ftp.appendLog(QStringLiteral("« %1 » est dans le manifeste signé mais absent du serveur.")
                                .arg(LocalTarget::shown(entry.name)));
            run.outcome.notFetched << entry.name;
        }
}

void VersionDownload::conclude(Run& run)
{
    Outcome& outcome = run.outcome;
    if (!run.refusal.isEmpty()) {
        run.swap.discardStaging();
        refuse(run, run.refusal);
    } else if (m_settings.staged) {
        QStringList moved = run.fetched;
        if (run.signedRelease && outcome.notFetched.isEmpty() &&
            (!run.fetched.isEmpty() || !sameRecord(*run.signedRelease, run.localFolder))) {
            const QStringList record = stageRecord(*run.signedRelease, run.swap.stagingFolder());
            if (record.isEmpty())
                outcome.notFetched << ReleaseManifest::fileName();
            moved << record;
        }
        if (outcome.notFetched.isEmpty() && !moved.isEmpty())
            install(run, moved);
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
        if (outcome.installed || !m_settings.staged)
            for (const QString& name : std::as_const(run.fetched))
                if (const ReleaseManifest::Entry* e = run.signedRelease->manifest().find(name))
                    run.hashes->remember(name, e->sha256);
        QString why;
        if (!run.hashes->save(why))
            m_ftp.appendLog(why);
    }
}

void VersionDownload::tell(Run& run)
{
    Outcome& outcome = run.outcome;
    const auto fetched = run.fetched.size();
    if (outcome.exitCode == ExitRefused) {
        // Said already.
    } else if (outcome.notFetched.isEmpty()) {
        MessageRequest done;
        done.text = QStringLiteral("All is OK...  73 ") + m_settings.userName + unchangedLine(outcome.unchanged);
        done.title = title();
        m_dialogs.message(done);
        outcome.summary = QStringLiteral("mise à jour complète, %1 fichier(s) à jour.").arg(fetched);
        outcome.result =
            fetched == 0 && !outcome.installed ? FleetRecord::Result::AlreadyInstalled : FleetRecord::Result::Installed;
        if (m_settings.skipUnchanged)
            outcome.summary += QStringLiteral(" %1 fichier(s) inchangé(s).").arg(outcome.unchanged);
    } else if (outcome.exitCode == 0) {
        QStringList withoutOldCopy;
        for (const QString& name : std::as_const(outcome.notFetched)) {
            QString local;
            QString ignored;
            if (!LocalTarget::resolve(run.localFolder, name, local, ignored) || !QFileInfo(local).isFile())
                withoutOldCopy << name;
        }
        QString text = incompleteText(outcome.notFetched, withoutOldCopy) + unchangedLine(outcome.unchanged);
        if (m_settings.staged)
            text += QStringLiteral("\nAucun fichier de la nouvelle version n'a été installé.");
        warn(text);
        outcome.exitCode = ExitIncomplete;
        outcome.result = FleetRecord::Result::Incomplete;
        outcome.summary = QStringLiteral("mise à jour incomplète, %1 fichier(s) non mis à jour : %2")
                              .arg(outcome.notFetched.size())
                              .arg(shownNames(outcome.notFetched));
        if (m_settings.staged)
            outcome.summary += QStringLiteral(" ; rien n'a été installé.");
    }
}

bool VersionDownload::heldBack(Run& run)
{
    if (!run.signedRelease || m_settings.rolloutIgnored)
        return false;
    const ReleaseManifest& manifest = run.signedRelease->manifest();
    const std::optional<ReleaseManifest::Rollout> rollout = manifest.rollout();
    if (!rollout)
        return false;
    // Once installed here (taken early with --now, say), the release is simply kept up to date.
    QString ignored;
    if (InstalledRelease::number(run.localFolder, ignored) == manifest.release())
        return false;
    QString problem;
    const quint64 station = StationId::get(run.localFolder, problem);
    if (!problem.isEmpty())
        m_ftp.appendLog(problem);
    const int gate = rollout->gate ? gateDecision(run, *rollout, station) : int(RolloutGate::Decision::Take);
    Outcome& outcome = run.outcome;
    if (gate == int(RolloutGate::Decision::Halt)) {
        outcome.result = FleetRecord::Result::Halted;
        return true;
    }
    const QDate day = PhasedRollout::dayFor(rollout->start, rollout->days, station);
    if (m_clock.now().date() < day) {
        // Not yet this station's day: the release in place stays, and the run is a success.
        outcome.result = FleetRecord::Result::WaitingDay;
        outcome.day = day;
        outcome.summary = PhasedRollout::waitingLine(manifest.release(), day);
        return true;
    }
    if (gate == int(RolloutGate::Decision::Wait)) {
        outcome.result = FleetRecord::Result::WaitingConfirmations;
        return true;
    }
    return false;
}

int VersionDownload::gateDecision(Run& run, const ReleaseManifest::Rollout& rollout, quint64 station)
{
    const qint64 release = run.signedRelease->manifest().release();
    const RolloutGate gate(rollout, release, station);
    FleetState state(run.localFolder);
    state.load();
    const QByteArray key = FleetState::manifestKey(run.signedRelease->manifestBytes());
    if (state.haltedManifests.contains(key)) {
        // Whatever the folder holds now: only a newly signed manifest goes on.
        run.outcome.summary =
            QStringLiteral("Version %1 suspendue : le poste l'a trouvée suspendue lors d'une exécution "
                           "précédente.")
                .arg(release);
        return int(RolloutGate::Decision::Halt);
    }
    const RolloutGate::Decision unread =
        gate.dayIndex() >= 1 ? RolloutGate::Decision::Wait : RolloutGate::Decision::Take;
    if (m_settings.fleetReports.isEmpty()) {
        run.outcome.summary =
            RolloutGate::unreadableLine(release, QStringLiteral("[fleet] reports n'est pas configuré"));
        if (unread == RolloutGate::Decision::Take)
            m_ftp.appendLog(run.outcome.summary);
        return int(unread);
    }
    FtpResult listed;
    const QList<FtpFindData> entries =
        m_ftp.listFolder(FleetReport::remoteFolder(m_ftp.homeDirectory(), m_settings.fleetReports), listed);
    if (!listed.ok) {
        run.outcome.summary =
            RolloutGate::unreadableLine(release, listed.reply.trimmed().replace(QLatin1Char('\n'), QLatin1Char(' ')));
        if (unread == RolloutGate::Decision::Take)
            m_ftp.appendLog(run.outcome.summary);
        return int(unread);
    }
    const RolloutGate::Count count = gate.count(entries);
    const RolloutGate::Decision decision = gate.decide(count);
    if (decision == RolloutGate::Decision::Halt) {
        run.outcome.summary = gate.haltedLine(count);
        state.haltedManifests.insert(key);
        QString why;
        if (!state.save(why))
            m_ftp.appendLog(why);
    } else if (decision == RolloutGate::Decision::Wait) {
        run.outcome.summary = gate.waitingLine(count);
    }
    return int(decision);
}

void VersionDownload::refuse(Run& run, const QString& refusal)
{
    Outcome& outcome = run.outcome;
    m_ftp.appendLog(refusal);
    warn(refusal + QStringLiteral("\nAucun fichier n'a été installé."));
    outcome.exitCode = ExitRefused;
    outcome.result = FleetRecord::Result::Refused;
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

bool VersionDownload::install(Run& run, const QStringList& names)
{
    Outcome& outcome = run.outcome;
    m_view.setInfo(QStringLiteral("Mise en place de la nouvelle version…"));
    m_view.processEvents();
    ReleaseSwap swap(run.localFolder);
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
    outcome.result = FleetRecord::Result::Incomplete;
    outcome.summary = QStringLiteral("mise à jour non installée : %1 ; rien n'a été remplacé.").arg(why);
    return false;
}

VersionDownload::Outcome VersionDownload::versionFolderUnavailable(const QString& folder, const QString& reply)
{
    Run run({}, m_settings.localFolder);
    Outcome& outcome = run.outcome;
    outcome.exitCode = ExitIncomplete;
    outcome.result = FleetRecord::Result::Incomplete;
    warn(QStringLiteral("Le dossier des versions « %1 » est inaccessible sur le serveur : aucun fichier n'a été mis à "
                        "jour.\nRéponse du serveur : %2")
             .arg(folder, reply));
    outcome.summary = QStringLiteral("mise à jour impossible, le dossier des versions « %1 » est inaccessible : %2")
                          .arg(folder, QString(reply).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    handOver(run);
    return outcome;
}

void VersionDownload::handOver(Run& run)
{
    Outcome& outcome = run.outcome;
    m_view.setBusy(true);
    m_view.setProgressVisible(false);
    m_view.setInfo(QStringLiteral("VORN Log is going to start..."));
    m_view.processEvents();

    if (!m_settings.startApplication) {
        m_view.setBusy(false);
        return;
    }

    const TerminateResult stopped = m_processes.terminateByImageName(applicationName());
    if (!stopped.ok)
        warn(stopped.error);

    QString error;
    const QString program = LocalTarget::join(m_settings.appFolder, applicationName());
    if (outcome.installed && m_settings.startCheck > 0) {
        m_view.setInfo(QStringLiteral("Vérification du démarrage de VORN.exe (%1 s)…").arg(m_settings.startCheck));
        m_view.processEvents();
        const WatchedStart watched =
            m_processes.startWatched(program, m_settings.startCheck, [this] { m_view.processEvents(); });
        if (watched.started && watched.ended && watched.failed) {
            withdraw(run, watched.how);
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

void VersionDownload::withdraw(Run& run, const QString& how)
{
    Outcome& outcome = run.outcome;
    m_view.setInfo(QStringLiteral("Retour à la version précédente…"));
    m_view.processEvents();
    ReleaseSwap swap(run.localFolder);
    QString why;
    const bool back = swap.rollback([this](const QString& name) { stopBeforeMove(name); }, why);
    QString text = back ? QStringLiteral("La nouvelle version de %1 n'a pas démarré (%2) : elle a été retirée et la "
                                         "version précédente a été remise en place.")
                              .arg(applicationName(), how)
                        : QStringLiteral("La nouvelle version de %1 n'a pas démarré (%2) et la version précédente n'a "
                                         "pas pu être remise en place : %3.")
                              .arg(applicationName(), how, why);
    QString error;
    const QString program = LocalTarget::join(m_settings.appFolder, applicationName());
    const bool started = back && m_processes.startDetached(program, &error);
    if (back && !started)
        text += QStringLiteral("\n%1").arg(error);
    m_ftp.appendLog(text);
    warn(text);
    outcome.applicationStarted = started;
    outcome.installed = false;
    outcome.exitCode = ExitWithdrawn;
    outcome.result = FleetRecord::Result::Withdrawn;
    outcome.summary = QStringLiteral("nouvelle version retirée : %1 n'a pas démarré (%2)%3.")
                          .arg(applicationName(), how,
                               back ? QStringLiteral(", version précédente remise en place")
                                    : QStringLiteral(", version précédente non remise en place : ") + why);
    m_processes.terminateByImageName(launcherImageName());
}
