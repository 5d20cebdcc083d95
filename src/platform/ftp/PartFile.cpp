#include "PartFile.h"

#include "platform/NativePath.h"
#include "platform/ProcessLiveness.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <filesystem>
#include <system_error>

namespace {

std::atomic<quint32> g_sequence{0};

qint64 ownPid()
{
    static const qint64 pid = QCoreApplication::applicationPid();
    return pid;
}

const QRegularExpression& partPattern()
{
    static const QRegularExpression re(QStringLiteral("^\\.vorn-(\\d{1,10})-(\\d{1,10})\\.part$"));
    return re;
}

} // namespace

PartFile::PartFile(QString target)
    : m_target(std::move(target))
{}

PartFile::~PartFile()
{
    if (!m_committed)
        discard();
}

bool PartFile::isPartName(const QString& name, qint64* pid)
{
    const QRegularExpressionMatch m = partPattern().match(name);
    if (!m.hasMatch())
        return false;
    if (pid)
        *pid = m.captured(1).toLongLong();
    return true;
}

bool PartFile::open(QString& error)
{
    const QString folder = QFileInfo(m_target).absolutePath();
    const qint64 pid = ownPid();
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = QStringLiteral(".vorn-%1-%2.part").arg(pid).arg(++g_sequence);
        auto file = std::make_unique<QFile>(QDir(folder).filePath(name));
        // The usual permissions (not 0600): the file replaced keeps a normal mode.
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_file = std::move(file);
            return true;
        }
        if (!QFileInfo::exists(file->fileName())) {
            error = file->errorString();
            return false;
        }
    }
    error = QStringLiteral("aucun nom temporaire libre");
    return false;
}

// No flush per file: the file systems the stations use commit a file's data before a rename that
// replaces another file, so a power cut leaves either the whole old file or the whole new one.
bool PartFile::commit(QString& error)
{
    if (!m_file) {
        error = QStringLiteral("fichier temporaire absent");
        return false;
    }
    if (!m_file->flush()) {
        error = m_file->errorString();
        discard();
        return false;
    }
    m_file->close();
    std::error_code ec;
    const std::filesystem::path src = nativePath(m_file->fileName());
    const std::filesystem::path dst = nativePath(m_target);
    const auto status = std::filesystem::status(dst, ec);
    if (!ec && std::filesystem::exists(status))
        std::filesystem::permissions(src, status.permissions(), ec);
    std::filesystem::rename(src, dst, ec);
    if (ec) {
        error = QString::fromStdString(ec.message());
        discard();
        return false;
    }
    m_committed = true;
    return true;
}

void PartFile::discard()
{
    if (!m_file)
        return;
    m_file->close();
    m_file->remove();
    m_file.reset();
}

int PartFile::sweepStale(const QString& folder)
{
    int removed = 0;
    const qint64 self = ownPid();
    const QStringList names =
        QDir(folder).entryList({QStringLiteral(".vorn-*.part")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        qint64 pid = 0;
        if (!isPartName(name, &pid) || pid == self || processIsRunning(pid))
            continue;
        if (QFile::remove(QDir(folder).filePath(name)))
            ++removed;
    }
    return removed;
}
