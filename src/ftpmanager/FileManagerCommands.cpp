#include "FileManagerCommands.h"

#include "RemoteCommands.h"
#include "SelectionConfirmation.h"
#include "platform/Dialogs.h"

#include <QScopeGuard>

FileManagerCommands::FileManagerCommands(FtpConnection& ftp, Dialogs& dialogs,
                                         std::function<void(int)> setAnimationInterval)
    : m_ftp(ftp)
    , m_dialogs(dialogs)
    , m_setAnimationInterval(std::move(setAnimationInterval))
{}

std::optional<QStringList> FileManagerCommands::open(const QString& line)
{
    if (line.isEmpty())
        return std::nullopt;
    return RemoteCommands(m_ftp, m_dialogs).open(line);
}

QStringList FileManagerCommands::goToWebspace(const QString& webspace)
{
    return RemoteCommands(m_ftp, m_dialogs).goToWebspace(webspace);
}

bool FileManagerCommands::confirmed(const Selection& selection, const QString& singular, const QString& plural)
{
    QString names;
    const int answer = SelectionConfirmation::ask(m_dialogs, selection.lines, selection.rows, singular, plural, names);
    m_setAnimationInterval(100);
    return answer == AnswerYes;
}

bool FileManagerCommands::download(const Selection& remote, const QString& localFolder, int transferType)
{
    const auto slowAgain = qScopeGuard([this] { m_setAnimationInterval(400); });
    if (!confirmed(
            remote,
            QStringLiteral("Etes vous sur de vouloir transférer le fichier distant suivant vers le disque dur :"),
            QStringLiteral("Etes vous sur de vouloir transférer les fichiers distant suivant vers le disque dur :")))
        return false;
    RemoteCommands(m_ftp, m_dialogs).download(remote.lines, remote.rows, localFolder, transferType);
    return true;
}

std::optional<QStringList> FileManagerCommands::upload(const Selection& local, const QString& currentFile,
                                                       const QString& localFolder, int transferType)
{
    const auto slowAgain = qScopeGuard([this] { m_setAnimationInterval(400); });
    if (currentFile.isEmpty() ||
        !confirmed(
            local,
            QStringLiteral("Etes vous sur de vouloir transférer le fichier local suivant vers le site distant :"),
            QStringLiteral("Etes vous sur de vouloir transférer les fichiers locaux suivant vers le site distant :")))
        return std::nullopt;
    return RemoteCommands(m_ftp, m_dialogs).upload(localFolder, local.lines, local.rows, transferType);
}

std::optional<QStringList> FileManagerCommands::remove(const Selection& remote, const QString& currentLine)
{
    const auto slowAgain = qScopeGuard([this] { m_setAnimationInterval(400); });
    if (currentLine.isEmpty() ||
        !confirmed(remote,
                   QStringLiteral("Etes vous sur de vouloir supprimer le fichier ou répertoire distant suivant :"),
                   QStringLiteral("Etes vous sur de vouloir supprimer les fichiers ou répertoires distant suivant :")))
        return std::nullopt;
    return RemoteCommands(m_ftp, m_dialogs).remove(remote.lines, remote.rows);
}

std::optional<QStringList> FileManagerCommands::createFolder()
{
    const QString name = m_dialogs.input(QStringLiteral("Veuillez entrer le nom du nouveau répertoire :"),
                                         QStringLiteral("Nouveau répertoire"), QString());
    if (name.isEmpty())
        return std::nullopt;
    return RemoteCommands(m_ftp, m_dialogs).createFolder(name);
}
