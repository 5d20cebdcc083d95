#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

// What a station remembers of its own part in the fleet's loop, in DIR/.vorn-release/fleet: the
// name of the record it left on the server last (it replaces that one, and only that one), the
// releases it failed with (its record keeps saying so while the release is on offer, so that a
// halt does not undo itself), and the manifests it saw halted (it does not take them again, whatever
// the reports folder says later; only a newly signed manifest goes on).
class FleetState final {
public:
    explicit FleetState(QString appDir);

    static QString fileName() { return QStringLiteral("fleet"); }

    // Reads the file; a missing or unreadable one is an empty memory.
    void load();
    // Written whole under a temporary name, then renamed; false with why (French).
    bool save(QString& error) const;

    QString lastRecord;
    QSet<qint64> failedReleases;
    QSet<QByteArray> haltedManifests; // SHA-256 of the manifest's bytes, hex

    static QByteArray manifestKey(const QByteArray& manifestBytes);

private:
    QString m_path;
};
