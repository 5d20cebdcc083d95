#pragma once

#include "FleetRecord.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class FtpConnection;

// The whole fleet as its reports folder tells it: one row per station (its newest record), what
// could not be read, and per release how many stations have it, wait for it, failed with it or
// were halted before it. What the administrator's window and `--fleet` show.
class FleetTable final {
public:
    struct Row {
        FleetRecord record;
        bool silent = false; // not heard of for more than the silent days
    };
    struct Unreadable {
        QString name;
        QString why;
    };
    struct Tally {
        qint64 release = 0;
        int have = 0;
        int waiting = 0;
        int failed = 0;
        int halted = 0;
    };

    // Reads every record of `folder` (a path on the server) over the download's sessions; `now`
    // and `silentDays` mark the stations not heard of. False, with `error` (French), when the
    // folder cannot be listed or entered.
    bool read(FtpConnection& ftp, const QString& folder, int sessions, const QDateTime& now, int silentDays,
              QString& error);
    // The same from records already at hand (name and bytes), for tests and benchmarks.
    void load(const QList<QPair<QString, QByteArray>>& files, const QDateTime& now, int silentDays);

    const QList<Row>& rows() const { return m_rows; }
    const QList<Unreadable>& unreadable() const { return m_unreadable; }
    // Newest release first.
    QList<Tally> tallies() const;

    // The console's summary (one line per release) and table.
    QString summaryText() const;
    QString tableText() const;
    // The table for a spreadsheet: UTF-8 with a byte-order mark, ";" between fields, CR LF.
    QByteArray csv() const;
    static QStringList headers();
    static QStringList cells(const Row& row);

private:
    void add(const QString& name, const QByteArray& text, const QDateTime& now, int silentDays);

    QList<Row> m_rows;
    QList<Unreadable> m_unreadable;
    QHash<quint64, qsizetype> m_rowOf; // station to its row
};
