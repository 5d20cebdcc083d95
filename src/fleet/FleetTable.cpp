#include "FleetTable.h"

#include "ftpsession/FtpConnection.h"
#include "ftpsession/ParallelDownload.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// A record is a few hundred bytes; more is not one.
constexpr qint64 MaxRecordBytes = 64 * 1024;

QString dash(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

} // namespace

bool FleetTable::read(FtpConnection& ftp, const QString& folder, int sessions, const QDateTime& now, int silentDays,
                      QString& error)
{
    m_rows.clear();
    m_rowOf.clear();
    m_unreadable.clear();
    const FtpResult entered = ftp.changeDirectory(folder);
    ftp.setKeepFacts(true);
    const QStringList names = entered.ok ? ftp.EnumFiles() : QStringList();
    ftp.setKeepFacts(false);
    if (!entered.ok || !ftp.lastListing().ok) {
        const QString reply = entered.ok ? ftp.lastListing().reply : entered.reply;
        error = QStringLiteral("Le dossier des rapports « %1 » ne peut pas être lu : %2")
                    .arg(folder, reply.trimmed().replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return false;
    }
    QTemporaryDir work;
    QList<DownloadJob> jobs;
    for (const QString& name : names) {
        if (name == QLatin1String("../") || name.endsWith(QLatin1String(".vorn-rapport-tmp")))
            continue; // the parent line, and records being written
        const std::optional<FleetRecord::Name> record = ftp.isDirectory(name) ? std::nullopt : FleetRecord::parseName(name);
        if (!record) {
            m_unreadable << Unreadable{name, QStringLiteral("ce n'est pas un rapport de poste")};
            continue;
        }
        if (!record->needsText) { // its name tells it all
            add(name, QByteArray(), now, silentDays);
            continue;
        }
        const qint64 size = ftp.facts().value(name).size;
        if (size > MaxRecordBytes) {
            m_unreadable << Unreadable{name, QStringLiteral("trop grand pour un rapport (%1 octets)").arg(size)};
            continue;
        }
        DownloadJob job;
        job.remote = name;
        job.localPath = work.filePath(QString::number(jobs.size()));
        job.size = size;
        jobs << job;
    }
    ParallelDownload download(ftp, sessions);
    ParallelDownload::Callbacks callbacks;
    callbacks.settle = [](qsizetype, DownloadResult&) { return true; };
    download.run(jobs, callbacks);
    for (qsizetype k = 0; k < jobs.size(); ++k) {
        if (!download.outcome(k).ok) {
            m_unreadable << Unreadable{jobs.at(k).remote, download.outcome(k).reply.trimmed()};
            continue;
        }
        QFile file(jobs.at(k).localPath);
        add(jobs.at(k).remote, file.open(QIODevice::ReadOnly) ? file.read(MaxRecordBytes) : QByteArray(), now,
            silentDays);
    }
    return true;
}

void FleetTable::load(const QList<QPair<QString, QByteArray>>& files, const QDateTime& now, int silentDays)
{
    m_rows.clear();
    m_rowOf.clear();
    m_unreadable.clear();
    for (const auto& [name, text] : files)
        add(name, text, now, silentDays);
}

void FleetTable::add(const QString& name, const QByteArray& text, const QDateTime& now, int silentDays)
{
    const std::optional<FleetRecord> record = FleetRecord::parse(name, text);
    if (!record) {
        const std::optional<FleetRecord::Name> head = FleetRecord::parseName(name);
        m_unreadable << Unreadable{name, head && !head->needsText ? QStringLiteral("nom illisible")
                                         : text.endsWith('\n')    ? QStringLiteral("contenu illisible")
                                                                  : QStringLiteral("rapport tronqué")};
        return;
    }
    // A station with two records (a run cut between writing its new one and removing the old):
    // the newest stands.
    const Row row{*record, record->at.secsTo(now) > qint64(silentDays) * 86400};
    const auto known = m_rowOf.constFind(record->station);
    if (known == m_rowOf.constEnd()) {
        m_rowOf.insert(record->station, m_rows.size());
        m_rows << row;
    } else if (record->at > m_rows.at(*known).record.at) {
        m_rows[*known] = row;
    }
}

QList<FleetTable::Tally> FleetTable::tallies() const
{
    QMap<qint64, Tally> byRelease;
    auto tally = [&byRelease](qint64 release) -> Tally& {
        Tally& t = byRelease[release];
        t.release = release;
        return t;
    };
    for (const Row& row : m_rows) {
        const FleetRecord& r = row.record;
        if (r.installed)
            ++tally(*r.installed).have;
        if (r.offered <= 0 || r.installed == r.offered)
            continue;
        if (r.verdict == FleetRecord::Verdict::Failed)
            ++tally(r.offered).failed;
        else if (r.result == FleetRecord::Result::Halted)
            ++tally(r.offered).halted;
        else if (r.result == FleetRecord::Result::WaitingDay || r.result == FleetRecord::Result::WaitingConfirmations)
            ++tally(r.offered).waiting;
    }
    QList<Tally> out = byRelease.values();
    std::reverse(out.begin(), out.end());
    return out;
}

QStringList FleetTable::headers()
{
    return {QStringLiteral("Poste"),      QStringLiteral("Ordinateur"), QStringLiteral("Utilisateur"),
            QStringLiteral("Version"),    QStringLiteral("Proposée"),   QStringLiteral("Résultat"),
            QStringLiteral("Date (UTC)"), QStringLiteral("Statut"),     QStringLiteral("Durée (s)"),
            QStringLiteral("Silencieux"), QStringLiteral("Erreur")};
}

QStringList FleetTable::cells(const Row& row)
{
    const FleetRecord& r = row.record;
    return {FleetRecord::stationText(r.station),
            r.computer,
            r.user,
            r.installed ? QString::number(*r.installed) : QStringLiteral("aucune"),
            r.offered > 0 ? QString::number(r.offered) : QStringLiteral("aucune"),
            FleetRecord::resultText(r.result) + (r.verdict == FleetRecord::Verdict::Failed &&
                                                         r.result != FleetRecord::Result::Withdrawn &&
                                                         r.result != FleetRecord::Result::Refused
                                                     ? QStringLiteral(" (échec)")
                                                     : QString()),
            r.at.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
            QString::number(r.exitStatus),
            QString::number(static_cast<double>(r.durationMs) / 1000.0, 'f', 1),
            row.silent ? QStringLiteral("oui") : QStringLiteral("non"),
            r.error};
}

QString FleetTable::summaryText() const
{
    QStringList lines;
    lines << QStringLiteral("Parc : %1 poste(s), %2 silencieux, %3 rapport(s) illisible(s).")
                 .arg(m_rows.size())
                 .arg(std::count_if(m_rows.cbegin(), m_rows.cend(), [](const Row& r) { return r.silent; }))
                 .arg(m_unreadable.size());
    for (const Tally& t : tallies())
        lines << QStringLiteral("Version %1 : %2 installée(s), %3 en attente, %4 en échec, %5 suspendue(s).")
                     .arg(t.release)
                     .arg(t.have)
                     .arg(t.waiting)
                     .arg(t.failed)
                     .arg(t.halted);
    for (const Unreadable& u : m_unreadable)
        lines << QStringLiteral("Illisible : %1 (%2)").arg(u.name, u.why);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString FleetTable::tableText() const
{
    QList<QStringList> table{headers()};
    for (const Row& row : m_rows)
        table << cells(row);
    QList<qsizetype> widths(headers().size(), 0);
    for (const QStringList& line : std::as_const(table))
        for (qsizetype i = 0; i + 1 < line.size(); ++i)
            widths[i] = std::max(widths.at(i), line.at(i).size());
    QString out;
    for (const QStringList& line : std::as_const(table)) {
        QStringList padded;
        for (qsizetype i = 0; i < line.size(); ++i)
            padded << (i + 1 < line.size() ? dash(line.at(i)).leftJustified(widths.at(i)) : line.at(i));
        out += padded.join(QStringLiteral("  ")).trimmed() + QLatin1Char('\n');
    }
    return out;
}

QByteArray FleetTable::csv() const
{
    auto field = [](QString text) {
        if (text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n')))
            text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        return text;
    };
    QByteArray out = "\xEF\xBB\xBF";
    QList<QStringList> table{headers()};
    for (const Row& row : m_rows)
        table << cells(row);
    for (const QStringList& line : std::as_const(table)) {
        QStringList fields;
        for (const QString& cell : line)
            fields << field(cell);
        out += fields.join(QLatin1Char(';')).toUtf8() + "\r\n";
    }
    return out;
}
