#include "FtpListing.h"

#include <QDateTime>

#include <algorithm>

namespace {

// The decimal number written by `count` digits at `from`; -1 when they are not all digits.
int digits(QByteArrayView value, qsizetype from, qsizetype count)
{
    int n = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        if (value[i] < '0' || value[i] > '9')
            return -1;
        n = n * 10 + (value[i] - '0');
    }
    return n;
}

} // namespace

qint64 FtpListing::parseTime(QByteArrayView value)
{
    // Read digit by digit, in UTC from the start: a time parsed as local time would look up the
    // time zone, for every entry of a listing.
    if (value.size() < 14)
        return -1;
    const QDate date(digits(value, 0, 4), digits(value, 4, 2), digits(value, 6, 2));
    const QTime time(digits(value, 8, 2), digits(value, 10, 2), digits(value, 12, 2));
    if (!date.isValid() || !time.isValid())
        return -1;
    qint64 ms = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    if (value.size() > 15 && value[14] == '.') {
        const qsizetype count = std::min<qsizetype>(3, value.size() - 15);
        int fraction = digits(value, 15, count);
        for (qsizetype i = count; i < 3 && fraction >= 0; ++i)
            fraction *= 10;
        if (fraction > 0)
            ms += fraction;
    }
    return ms;
}

FtpListing::FtpListing(Format format, const QString& pattern)
    : m_format(format)
{
    if (!pattern.isEmpty() && pattern != QLatin1String("*.*") && pattern != QLatin1String("*"))
        m_pattern.emplace(QRegularExpression::wildcardToRegularExpression(pattern),
                          QRegularExpression::CaseInsensitiveOption);
}

bool FtpListing::matches(const QString& name) const
{
    return !m_pattern || m_pattern->match(name).hasMatch();
}

FtpListing::Status FtpListing::feed(QByteArrayView bytes)
{
    m_bytes += bytes.size();
    if (m_bytes > MaxBytes)
        return Status::TooLarge;
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        if (end < 0) {
            m_partial.append(bytes);
            return m_partial.size() > MaxLine ? Status::LineTooLong : Status::Ok;
        }
        Status status;
        if (m_partial.isEmpty()) {
            status = parseLine(bytes.first(end));
        } else {
            m_partial.append(bytes.first(end));
            status = m_partial.size() > MaxLine ? Status::LineTooLong : parseLine(m_partial);
            m_partial.clear();
        }
        if (status != Status::Ok)
            return status;
        bytes = bytes.sliced(end + 1);
    }
    return Status::Ok;
}

FtpListing::Status FtpListing::finish()
{
    if (m_partial.isEmpty())
        return Status::Ok;
    const QByteArray last = std::exchange(m_partial, QByteArray());
    return parseLine(last);
}

FtpListing::Status FtpListing::parseLine(QByteArrayView line)
{
    if (line.size() > MaxLine)
        return Status::LineTooLong;
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return Status::Ok;

    Entry entry;
    QByteArrayView name;
    if (m_format == Format::Mlsd) {
        const qsizetype space = line.indexOf(' ');
        if (space < 0)
            return Status::Ok;
        name = line.sliced(space + 1);
        QByteArrayView facts = line.first(space);
        while (!facts.isEmpty()) {
            const qsizetype semi = facts.indexOf(';');
            const QByteArrayView fact = semi < 0 ? facts : facts.first(semi);
            facts = semi < 0 ? QByteArrayView() : facts.sliced(semi + 1);
            const qsizetype eq = fact.indexOf('=');
            if (eq < 0)
                continue;
            const QByteArray key = fact.first(eq).toByteArray().toLower();
            const QByteArrayView value = fact.sliced(eq + 1);
            if (key == "type") {
                const QByteArray type = value.toByteArray().toLower();
                if (type == "cdir" || type == "pdir")
                    return Status::Ok; // the folder itself and its parent are not entries
                entry.directory = type == "dir";
            } else if (key == "size") {
                bool ok = false;
                const qint64 size = value.toByteArray().toLongLong(&ok);
                entry.size = ok && size >= 0 ? size : -1;
            } else if (key == "modify") {
                entry.modifiedMs = parseTime(value);
            }
        }
    } else {
        name = line;
        const qsizetype slash = name.lastIndexOf('/');
        if (slash >= 0) // some servers answer NLST with paths
            name = name.sliced(slash + 1);
    }
    if (name.isEmpty() || name == "." || name == "..")
        return Status::Ok;
    if (m_pattern && !matches(QString::fromUtf8(name)))
        return Status::Ok;
    if (size() >= MaxEntries)
        return Status::TooManyEntries;
    entry.nameOffset = static_cast<quint32>(m_names.size());
    entry.nameLength = static_cast<quint32>(name.size());
    m_names.append(name);
    m_entries.push_back(entry);
    return Status::Ok;
}

FtpFindData FtpListing::at(qsizetype index) const
{
    const Entry& e = m_entries[static_cast<size_t>(index)];
    FtpFindData data;
    data.fileName = QString::fromUtf8(m_names.constData() + e.nameOffset, e.nameLength);
    data.isDirectory = e.directory;
    data.size = e.size;
    if (e.modifiedMs >= 0)
        data.modified = QDateTime::fromMSecsSinceEpoch(e.modifiedMs, Qt::UTC);
    return data;
}

std::optional<FtpFindData> FtpListing::find(const QString& name) const
{
    const QByteArray wanted = name.toUtf8();
    for (qsizetype i = 0; i < size(); ++i) {
        const Entry& e = m_entries[static_cast<size_t>(i)];
        if (QByteArrayView(m_names.constData() + e.nameOffset, e.nameLength) == wanted)
            return at(i);
    }
    return std::nullopt;
}
