#pragma once

#include "release/ReleaseManifest.h"

#include <QString>

class FtpConnection;
class HashCache;

// A file of a signed release rebuilt from its local copy through a published patch, instead of
// fetched whole. The patch is checked against its signed digest as it arrives and the file it
// makes against the file's signed digest; any failure leaves the whole file to be fetched.
class PatchedFetch final {
public:
    PatchedFetch(FtpConnection& ftp, const ReleaseManifest& manifest, HashCache& hashes, QString localFolder,
                 QString workFolder);

    // True when `entry` was written to `path` through a patch (checked); false when no patch
    // applies (nothing said) or one failed (one log line): the caller then fetches the file whole.
    bool rebuild(const ReleaseManifest::Entry& entry, const QString& path);

    int patchedFiles() const { return m_files; }
    qint64 bytesSaved() const { return m_saved; }
    // The run log's line on what patches saved.
    QString summary() const;

private:
    bool fallBack(const QString& name, const QString& why);

    FtpConnection& m_ftp;
    const ReleaseManifest& m_manifest;
    HashCache& m_hashes;
    QString m_localFolder;
    QString m_workFolder;
    int m_files = 0;
    qint64 m_saved = 0;
};
