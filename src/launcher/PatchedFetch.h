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

    // A file rebuilt in steps, its patch fetched by whichever session: the patch that makes `entry` from
    // its local copy (none when none is published for it or the file is beyond the bound), where
    // it is to be fetched, and the rebuild from it once fetched. apply() takes the fetched patch
    // away, and says (one log line) why it failed; notFetched() says why there is no patch to apply.
    const ReleaseManifest::Patch* patchFor(const ReleaseManifest::Entry& entry);
    static QString remoteName(const ReleaseManifest::Patch& patch);
    QString fetchedPath(const ReleaseManifest::Patch& patch) const;
    bool apply(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch, const QString& path);
    bool notFetched(const ReleaseManifest::Entry& entry, bool mismatch);
    // apply() in two halves, so that the session that fetched the patch rebuilds the file on its
    // own thread: make() (safe on any thread: it reads the local copy and the fetched patch, and
    // writes `path`; false with why), then on the calling thread made() or failed() (one log line),
    // which count or say what came of it. failed() returns false.
    bool make(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch, const QString& path,
              QString& why) const;
    bool made(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch);
    bool failed(const ReleaseManifest::Entry& entry, const QString& why);

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
