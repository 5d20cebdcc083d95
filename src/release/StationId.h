#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// This station's own number: 64 random bits made once and kept as 16 hexadecimal digits in
// DIR/.vorn-release/station. It spreads a fleet over its mirrors and over the days of a phased
// release; it never leaves the station. An administrator may write the file by hand.
class StationId final {
public:
    static QString fileName() { return QStringLiteral("station"); }

    // The kept number; one made anew (and kept) when the file is missing or does not read. A file
    // that cannot be written leaves `problem` (French) and the number serves this run only.
    static quint64 get(const QString& appDir, QString& problem);
    // 16 hexadecimal digits, either case, blanks around them allowed.
    static std::optional<quint64> parse(const QByteArray& text);
};
