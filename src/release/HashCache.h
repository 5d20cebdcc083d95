#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// SHA-256 of the files of an application folder, remembered with their size and modification
// time in DIR/.vorn-release/hashes, so that comparing an unchanged folder with a manifest reads
// only the files whose size or time changed. Losing the cache costs time, never correctness.
class HashCache final {
public:
    explicit HashCache(QString appDir);

    // A missing or damaged cache is an empty one.
    void load();
    // Only the entries looked up or remembered since load() are kept.
    bool save(QString& error);

    // The digest of DIR/`name`: cached while its size and time stay the same, read otherwise;
    // nullopt with `error` (French) when the file cannot be read.
    std::optional<QByteArray> sha256(const QString& name, QString& error);
    // DIR/`name` exists with this size and digest. A file of another size is not read.
    bool matches(const QString& name, qint64 size, const QByteArray& sha256);
    // A file just put in place whose digest was checked as it arrived: call after its time is set.
    void remember(const QString& name, const QByteArray& sha256);

    int filesRead() const { return m_filesRead; }

private:
    struct Entry {
        qint64 size = -1;
        qint64 modifiedMs = 0;
        QByteArray sha256;
        bool used = false;
    };

    QString m_appDir;
    QHash<QString, Entry> m_entries;
    int m_filesRead = 0;
    bool m_changed = false;
};
