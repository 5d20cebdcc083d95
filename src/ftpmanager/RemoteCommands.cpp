#include "RemoteCommands.h"

#include "ftpsession/CaseTwins.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/LocalTarget.h"
#include "platform/Dialogs.h"
#include "platform/FtpClient.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QList<int> sorted(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

RemoteCommands::RemoteCommands(FtpConnection& ftp, Dialogs& dialogs)
    : m_ftp(ftp)
    , m_dialogs(dialogs)
{}

QStringList RemoteCommands::relist()
{
    return m_ftp.EnumFiles();
}

QStringList RemoteCommands::open(const QString& line)
{
    const bool parent = LocalTarget::isParentLine(line);
    m_ftp.changeDirectory(parent ? m_ftp.homeDirectory() : QStringLiteral("/") + line, line);
    return relist();
}

QStringList RemoteCommands::goToWebspace(const QString& webspace)
{
    m_ftp.changeDirectory(QStringLiteral("/") + webspace);
    return relist();
}

int RemoteCommands::download(const QStringList& lines, const QList<int>& selectedRows, const QString& localFolder,
                             int transferType)
{
    int written = 0;
    const CaseTwins twins(lines);
    for (int row : sorted(selectedRows)) {
        if (row < 0 || row >= lines.size())
            continue;
        const QString& name = lines.at(row);
        QString path;
        QString why;
        if (!twins.admits(name, why) || !LocalTarget::resolveListed(localFolder, name, path, why)) {
            m_ftp.appendLog(why);
            continue;
        }
        if (m_ftp.getFile(name, path, transferType).ok)
            ++written;
    }
    return written;
}

QStringList RemoteCommands::upload(const QString& localFolder, const QStringList& files, const QList<int>& selectedRows,
                                   int transferType)
{
    for (int row : sorted(selectedRows)) {
        if (row < 0 || row >= files.size())
            continue;
        const QString& name = files.at(row);
        const QString path = LocalTarget::join(localFolder, name);
        const FtpResult sent = m_ftp.putFile(path, name, transferType);
        if (!sent.ok && sent.error == FtpErrorLocalFile) {
            MessageRequest r;
            r.text = QStringLiteral("Le fichier local %1 n'a pas pu être lu ; il n'a pas été envoyé.\n%2")
                         .arg(QDir::toNativeSeparators(path), sent.reply);
            r.title = title();
            r.icon = DialogIcon::Exclamation;
            m_dialogs.message(r);
        }
    }
    return relist();
}

QStringList RemoteCommands::remove(const QStringList& lines, const QList<int>& selectedRows)
{
    for (int row : sorted(selectedRows)) {
        if (row < 0 || row >= lines.size())
            continue;
        const QString& name = lines.at(row);
        m_ftp.remove(name);
    }
    return relist();
}

QStringList RemoteCommands::createFolder(const QString& name)
{
    m_ftp.createDirectory(name);
    return relist();
}
