#pragma once

#include <QFile>
#include <QString>

#include <memory>

// The file a download is written to while it arrives: a short hidden name in the target's folder
// (so the target's own name length never limits what can be downloaded), renamed over the target
// once complete, so a failed or cut transfer leaves the old file untouched and nothing partial.
// The name carries the process id, so that the leftovers of a killed run can be told from the
// files of a run still in progress, and removed.
class PartFile final {
public:
    explicit PartFile(QString target);
    ~PartFile(); // discards the file unless committed
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool open(QString& error);
    QFile& file() { return *m_file; }

    // Closes the file and renames it over the target (which keeps its permissions).
    bool commit(QString& error);
    void discard();

    // Removes the part files that runs no longer running left in `folder`. Returns how many.
    static int sweepStale(const QString& folder);
    // True for names of this class's pattern; `pid` receives the process that made it.
    static bool isPartName(const QString& name, qint64* pid = nullptr);

private:
    QString m_target;
    std::unique_ptr<QFile> m_file;
    bool m_committed = false;
};
