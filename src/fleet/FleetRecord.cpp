#include "FleetRecord.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

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

std::optional<qint64> number(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^(0|[1-9][0-9]{0,17})$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toLongLong();
}

std::optional<quint64> stationNumber(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{16}$"));
    if (!hex.match(text).hasMatch())
        return std::nullopt;
    return text.toULongLong(nullptr, 16);
}

QString oneLine(const QString& text)
{
    QString line = text;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return line.trimmed();
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
    return QStringLiteral("%1_%2_%3%4").arg(stationText(station)).arg(offered).arg(v, suffix());
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
    if (!fileName.endsWith(suffix()))
        return std::nullopt;
    const QStringList parts = fileName.chopped(suffix().size()).split(QLatin1Char('_'));
    if (parts.size() != 3)
        return std::nullopt;
    Name name;
    const std::optional<quint64> station = stationNumber(parts.at(0));
    const std::optional<qint64> offered = number(parts.at(1));
    if (!station || !offered)
        return std::nullopt;
    name.station = *station;
    name.offered = *offered;
    for (const auto& [k, text] : Verdicts)
        if (parts.at(2) == QLatin1String(text)) {
            name.verdict = k;
            return name;
        }
    return std::nullopt;
}

std::optional<FleetRecord> FleetRecord::parse(const QString& fileName, const QByteArray& text)
{
    const std::optional<Name> name = parseName(fileName);
    if (!name || !text.endsWith('\n'))
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
    r.verdict = name->verdict;
    const std::optional<quint64> station = stationNumber(values.value(QStringLiteral("poste")));
    const QString offered = values.value(QStringLiteral("proposee"));
    const std::optional<qint64> offeredNumber = offered == QLatin1String("aucune") ? 0 : number(offered);
    if (!station || *station != name->station || !offeredNumber || *offeredNumber != name->offered)
        return std::nullopt;
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
    const QString result = values.value(QStringLiteral("resultat"));
    bool known = false;
    for (const auto& [k, t] : Results)
        if (result == QLatin1String(t)) {
            r.result = k;
            known = true;
        }
    r.at = QDateTime::fromString(values.value(QStringLiteral("date")), Qt::ISODate);
    bool statusOk = false;
    r.exitStatus = values.value(QStringLiteral("statut")).toInt(&statusOk);
    if (!known || !r.at.isValid() || !statusOk)
        return std::nullopt;
    r.at = r.at.toUTC();
    r.day = QDate::fromString(values.value(QStringLiteral("jour")), Qt::ISODate);
    r.durationMs = values.value(QStringLiteral("duree_ms")).toLongLong();
    r.bytes = values.value(QStringLiteral("octets")).toLongLong();
    r.mirror = values.value(QStringLiteral("miroir"));
    r.error = values.value(QStringLiteral("erreur"));
    return r;
}
