#pragma once

#include "ftpsession/ParallelDownload.h"
#include "release/ReleaseManifest.h"

#include <QString>

#include <functional>

class FtpConnection;
class HashCache;

// A file of a signed release rebuilt from its local copy through a published patch, instead of
// fetched whole. This is the one place that decides between the two: the patch is fetched (by
// whichever session), checked against its signed digest as it arrives, the file rebuilt from it on
// that session's thread and checked against the file's signed digest; any failure says why in
// one log line and leaves the file to be fetched whole.
class PatchedFetch final {
public:
    PatchedFetch(FtpConnection& ftp, const ReleaseManifest& manifest, HashCache& hashes, QString localFolder,
                 QString workFolder);

    // The patch that makes `entry` from its local copy: none when none is published for that copy,
    // or the file is beyond the bound.
    const ReleaseManifest::Patch* patchFor(const ReleaseManifest::Entry& entry);
    // The transfer of `patch`, after which the session that fetched it makes `path` from it. The
    // entry and the patch are the manifest's own, which outlives the download.
    DownloadJob job(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch,
                    const QString& path) const;
    // What came of that job, on the calling thread: the file made and found to be the signed one;
    // or else one log line says why, nothing of the patch is left behind, and `whole` fetches the
    // file whole, what it came to left in `result`.
    void settle(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch, DownloadResult& result,
                const std::function<DownloadResult()>& whole);

    int patchedFiles() const { return m_files; }
    qint64 bytesSaved() const { return m_saved; }
    // The run log's line on what patches saved.
    QString summary() const;

private:
    static QString remoteName(const ReleaseManifest::Patch& patch);
    QString fetchedPath(const ReleaseManifest::Patch& patch) const;
    // Reads the local copy and the fetched patch and writes `path`: safe on any thread. False with why.
    bool make(const ReleaseManifest::Entry& entry, const ReleaseManifest::Patch& patch, const QString& path,
              QString& why) const;
    void fallBack(const QString& name, const QString& why);

    FtpConnection& m_ftp;
    const ReleaseManifest& m_manifest;
    HashCache& m_hashes;
    QString m_localFolder;
    QString m_workFolder;
    int m_files = 0;
    qint64 m_saved = 0;
};
