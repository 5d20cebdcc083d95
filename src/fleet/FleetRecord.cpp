#include "FleetRecord.h"

#include <QHash>
#include <QStringList>
#include <QUrl>

#include <array>
#include <utility>

namespace {

const QByteArray Header = QByteArrayLiteral("VORN-RAPPORT 1");

constexpr std::array<std::pair<FleetRecord::Result, const char*>, 10> Results{{
    {FleetRecord::Result::None, "aucune"},
    {FleetRecord::Result::Installed, "installee"},
    {FleetRecord::Result::AlreadyInstalled, "deja-installee"},
    {FleetRecord::Result::WaitingDay, "attente-jour"},
    {FleetRecord::Result::WaitingConfirmations, "attente-confirmations"},
    {FleetRecord::Result::Incomplete, "incomplete"},
    {FleetRecord::Result::Refused, "refusee"},
    {FleetRecord::Result::Withdrawn, "retiree"},
    {FleetRecord::Result::RolledBack, "retour-manuel"},
    {FleetRecord::Result::Halted, "suspendue"},
}};

constexpr std::array<std::pair<FleetRecord::Verdict, const char*>, 3> Verdicts{{
    {FleetRecord::Verdict::Kept, "ok"},
    {FleetRecord::Verdict::Failed, "echec"},
    {FleetRecord::Verdict::Other, "autre"},
}};

// A whole number as records write them: digits, no sign, no leading zero. Read by hand, as the
// gate reads every name of a fleet's folder.
std::optional<qint64> number(QStringView text)
{
    if (text.isEmpty() || text.size() > 18 || (text.size() > 1 && text.front() == QLatin1Char('0')))
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

std::optional<quint64> stationNumber(QStringView text)
{
    if (text.size() != 16)
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : text) {
        const int digit = c >= QLatin1Char('0') && c <= QLatin1Char('9')   ? c.unicode() - '0'
                          : c >= QLatin1Char('a') && c <= QLatin1Char('f') ? c.unicode() - 'a' + 10
                                                                           : -1;
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | quint64(digit);
    }
    return value;
}

QString oneLine(const QString& text)
{
    QString line = text;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return line.trimmed();
}

// A value as a record's name holds it: percent-encoded, with "_" and "," too, so that neither
// separates anything but fields.
QString nameValue(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(oneLine(value), QByteArray(), QByteArrayLiteral("_")));
}

QString fromNameValue(QStringView value)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(value.toLatin1()));
}

const QString NameDay = QStringLiteral("yyyyMMdd");
const QString NameDate = QStringLiteral("yyyyMMddTHHmmss");
constexpr qsizetype DetailFields = 12;
const QString ErrorInText = QStringLiteral("e");

std::optional<FleetRecord::Result> resultOf(QStringView text)
{
    for (const auto& [r, t] : Results)
        if (text == QLatin1String(t))
            return r;
    return std::nullopt;
}

// The details of a record's name, split at their commas (fields after the known ones are a later
// version's, and skipped); nothing when they do not read.
std::optional<FleetRecord> fromDetails(const QList<QStringView>& f)
{
    if (f.size() < DetailFields)
        return std::nullopt;
    FleetRecord r;
    if (!f.at(0).isEmpty()) {
        r.installed = number(f.at(0));
        if (!r.installed)
            return std::nullopt;
    }
    const std::optional<FleetRecord::Result> result = resultOf(f.at(1));
    r.day = QDate::fromString(f.at(2), NameDay);
    bool statusOk = false;
    r.exitStatus = f.at(3).toInt(&statusOk);
    r.at = QDateTime::fromString(f.at(4), NameDate);
    r.at.setTimeSpec(Qt::UTC);
    const std::optional<qint64> duration = number(f.at(5));
    const std::optional<qint64> bytes = number(f.at(6));
    if (!result || (!f.at(2).isEmpty() && !r.day.isValid()) || !statusOk || !r.at.isValid() || !duration || !bytes ||
        (!f.at(11).isEmpty() && f.at(11) != ErrorInText))
        return std::nullopt;
    r.result = *result;
    r.durationMs = *duration;
    r.bytes = *bytes;
    r.program = fromNameValue(f.at(7));
    r.computer = fromNameValue(f.at(8));
    r.user = fromNameValue(f.at(9));
    r.mirror = fromNameValue(f.at(10));
    return r;
}

struct SplitName {
    FleetRecord::Name name;
    std::optional<FleetRecord> details; // with station, offered and verdict filled in
};

// `withDetails`: the details read too (the gate needs only the head, and reads a whole fleet's).
std::optional<SplitName> splitName(const QString& fileName, bool withDetails)
{
    if (!fileName.endsWith(FleetRecord::suffix()))
        return std::nullopt;
    const QList<QStringView> parts =
        QStringView(fileName).chopped(FleetRecord::suffix().size()).split(QLatin1Char('_'));
    if (parts.size() != 3 && parts.size() != 4)
        return std::nullopt;
    SplitName split;
    FleetRecord::Name& name = split.name;
    const std::optional<quint64> station = stationNumber(parts.at(0));
    const std::optional<qint64> offered = number(parts.at(1));
    if (!station || !offered)
        return std::nullopt;
    name.station = *station;
    name.offered = *offered;
    bool verdictKnown = false;
    for (const auto& [k, text] : Verdicts)
        if (parts.at(2) == QLatin1String(text)) {
            name.verdict = k;
            verdictKnown = true;
        }
    if (!verdictKnown)
        return std::nullopt;
    if (parts.size() == 4) {
        const QList<QStringView> details = parts.at(3).split(QLatin1Char(','));
        name.needsText = details.size() < DetailFields || details.at(DetailFields - 1) == ErrorInText;
        if (!withDetails)
            return split;
        split.details = fromDetails(details);
        if (!split.details)
            return std::nullopt;
        split.details->station = name.station;
        split.details->offered = name.offered;
        split.details->verdict = name.verdict;
    }
    return split;
}

} // namespace

QString FleetRecord::stationText(quint64 station)
{
    return QStringLiteral("%1").arg(station, 16, 16, QLatin1Char('0'));
}

QString FleetRecord::resultText(Result result)
{
    for (const auto& [r, text] : Results)
        if (r == result)
            return QString::fromLatin1(text);
    return {};
}

QString FleetRecord::firstError(const QString& text)
{
    const QString first = oneLine(text.section(QLatin1Char('\n'), 0, 0));
    return first.left(MaxErrorLength);
}

QString FleetRecord::fileName() const
{
    QString v;
    for (const auto& [k, text] : Verdicts)
        if (k == verdict)
            v = QString::fromLatin1(text);
    const QString head = QStringLiteral("%1_%2_%3").arg(stationText(station)).arg(offered).arg(v);
    const QStringList details{
        installed ? QString::number(*installed) : QString(),
        resultText(result),
        day.isValid() ? day.toString(NameDay) : QString(),
        QString::number(exitStatus),
        at.toUTC().toString(NameDate),
        QString::number(durationMs),
        QString::number(bytes),
        nameValue(program),
        nameValue(computer),
        nameValue(user),
        nameValue(mirror),
        firstError(error).isEmpty() ? QString() : ErrorInText,
    };
    const QString whole = head + QLatin1Char('_') + details.join(QLatin1Char(',')) + suffix();
    return whole.size() <= MaxNameLength ? whole : head + suffix();
}

QByteArray FleetRecord::text() const
{
    QStringList lines{QString::fromLatin1(Header)};
    auto add = [&lines](const char* key, const QString& value) {
        lines << QString::fromLatin1(key) + QLatin1Char('=') + oneLine(value);
    };
    add("poste", stationText(station));
    add("ordinateur", computer);
    add("utilisateur", user);
    add("programme", program);
    add("installee", installed ? QString::number(*installed) : QStringLiteral("aucune"));
    add("proposee", offered > 0 ? QString::number(offered) : QStringLiteral("aucune"));
    add("resultat", resultText(result));
    add("jour", day.isValid() ? day.toString(Qt::ISODate) : QString());
    add("statut", QString::number(exitStatus));
    add("date", at.toUTC().toString(Qt::ISODate));
    add("duree_ms", QString::number(durationMs));
    add("octets", QString::number(bytes));
    add("miroir", mirror);
    add("erreur", firstError(error));
    return lines.join(QLatin1Char('\n')).toUtf8() + '\n';
}

std::optional<FleetRecord::Name> FleetRecord::parseName(const QString& fileName)
{
    const std::optional<SplitName> split = splitName(fileName, false);
    if (!split)
        return std::nullopt;
    return split->name;
}

std::optional<FleetRecord> FleetRecord::parse(const QString& fileName, const QByteArray& text)
{
    const std::optional<SplitName> split = splitName(fileName, true);
    if (!split)
        return std::nullopt;
    if (split->details && !split->name.needsText)
        return split->details;
    const Name& name = split->name;
    if (!text.endsWith('\n'))
        return std::nullopt; // a record cut short has no last line feed
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    if (lines.value(0) != QLatin1String(Header))
        return std::nullopt;
    QHash<QString, QString> values;
    for (const QString& line : lines.mid(1)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1));
    }
    FleetRecord r;
    r.verdict = name.verdict;
    const std::optional<quint64> station = stationNumber(values.value(QStringLiteral("poste")));
    const QString offered = values.value(QStringLiteral("proposee"));
    const std::optional<qint64> offeredNumber = offered == QLatin1String("aucune") ? 0 : number(offered);
    if (!station || *station != name.station || !offeredNumber || *offeredNumber != name.offered)
        return std::nullopt;
    if (split->details) { // the name tells all but the error
        FleetRecord named = *split->details;
        named.error = values.value(QStringLiteral("erreur"));
        return named;
    }
    r.station = *station;
    r.offered = *offeredNumber;
    r.computer = values.value(QStringLiteral("ordinateur"));
    r.user = values.value(QStringLiteral("utilisateur"));
    r.program = values.value(QStringLiteral("programme"));
    const QString installed = values.value(QStringLiteral("installee"));
    if (installed != QLatin1String("aucune")) {
        r.installed = number(installed);
        if (!r.installed)
            return std::nullopt;
    }
    const std::optional<Result> result = resultOf(values.value(QStringLiteral("resultat")));
    r.result = result.value_or(Result::None);
    r.at = QDateTime::fromString(values.value(QStringLiteral("date")), Qt::ISODate);
    bool statusOk = false;
    r.exitStatus = values.value(QStringLiteral("statut")).toInt(&statusOk);
    if (!result || !r.at.isValid() || !statusOk)
        return std::nullopt;
    r.at = r.at.toUTC();
    r.day = QDate::fromString(values.value(QStringLiteral("jour")), Qt::ISODate);
    r.durationMs = values.value(QStringLiteral("duree_ms")).toLongLong();
    r.bytes = values.value(QStringLiteral("octets")).toLongLong();
    r.mirror = values.value(QStringLiteral("miroir"));
    r.error = values.value(QStringLiteral("erreur"));
    return r;
}
