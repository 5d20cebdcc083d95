#pragma once

#include "platform/FtpClient.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QRegularExpression>
#include <QString>

#include <optional>
#include <vector>

// A remote listing, parsed as it arrives and kept compactly (one buffer of names, a small record
// per entry), with bounds that a hostile server cannot push past: a listing of a million short
// names stays within a few tens of megabytes.
class FtpListing final {
public:
    static constexpr qsizetype MaxEntries = 1'000'000;
    static constexpr qint64 MaxBytes = qint64(256) << 20;
    static constexpr qsizetype MaxLine = 64 * 1024;

    enum class Format { Mlsd, Nlst };
    enum class Status { Ok, TooManyEntries, TooLarge, LineTooLong };

    // `pattern` filters names as the client's callers ask ("*.*" keeps everything).
    FtpListing(Format format, const QString& pattern);

    // Takes the next bytes of the listing; complete lines are parsed at once.
    Status feed(QByteArrayView bytes);
    // The end of the data: a last line without its line end is parsed too.
    Status finish();

    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }
    FtpFindData at(qsizetype index) const;
    // A time as MLSD's "modify" fact and MDTM write it (YYYYMMDDHHMMSS[.sss], UTC), in
    // milliseconds since the epoch; -1 when it is not one.
    static qint64 parseTime(QByteArrayView value);

    // The facts of the entry called `name`, if the listing has one.
    std::optional<FtpFindData> find(const QString& name) const;

private:
    struct Entry {
        quint32 nameOffset = 0;
        quint32 nameLength = 0;
        qint64 size = -1;
        qint64 modifiedMs = -1; // milliseconds since the epoch, UTC; -1 when not given
        bool directory = false;
    };

    Status parseLine(QByteArrayView line);
    bool matches(const QString& name) const;

    Format m_format;
    std::optional<QRegularExpression> m_pattern;
    QByteArray m_names;
    std::vector<Entry> m_entries;
    QByteArray m_partial;
    qint64 m_bytes = 0;
};
