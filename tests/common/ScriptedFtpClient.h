#pragma once

#include "platform/FtpClient.h"

#include <QHash>
#include <QStringList>

// An FTP client in memory for the layers above the client: each server answers its logins as
// scripted ("ok", "busy" for 421, "down" for a refused connection, "refused" for 530; the last
// answer repeats), and the retry budget is a number of waits. Records every login it was asked for.
class ScriptedFtpClient final : public FtpClient {
public:
    QHash<QString, QStringList> logins; // server -> answers, in order
    int waitsLeft = 0;                  // waits the retry budget grants
    QStringList tried;                  // servers, in the order their logins were tried
    QList<int> waits;                   // the attempts waited for

    FtpHandle open(const QString&) override { return succeed(1); }
    FtpHandle connect(FtpHandle, const QString& server, quint16, const QString&, const QString&, bool) override
    {
        tried << server;
        QStringList& answers = logins[server];
        const QString answer = answers.isEmpty() ? QStringLiteral("down") : answers.first();
        if (answers.size() > 1)
            answers.removeFirst();
        if (answer == QLatin1String("ok"))
            return succeed(2, QStringLiteral("230 Login successful."));
        if (answer == QLatin1String("busy"))
            return fail(FtpErrorExtended, QStringLiteral("421 Too many users on ") + server);
        if (answer == QLatin1String("refused"))
            return fail(FtpErrorExtended, QStringLiteral("530 Login incorrect."));
        return fail(FtpErrorCannotConnect,
                    QStringLiteral("Connexion impossible au serveur %1 (connexion refusée).").arg(server));
    }
    bool currentDirectory(FtpHandle, QString& d) override
    {
        d = QStringLiteral("/");
        return succeed(1, QStringLiteral("257 \"/\" is the current directory.")) != 0;
    }
    bool waitToRetry(int attempt, const QString&) override
    {
        if (waitsLeft <= 0)
            return false;
        --waitsLeft;
        waits << attempt;
        return true;
    }
    bool setCurrentDirectory(FtpHandle, const QString&) override { return false; }
    FtpHandle findFirstFile(FtpHandle, const QString&, FtpFindData&) override { return 0; }
    bool findNextFile(FtpHandle, FtpFindData&) override { return false; }
    bool getFile(FtpHandle, const QString&, const QString&, bool, int) override { return false; }
    bool putFile(FtpHandle, const QString&, const QString&, int) override { return false; }
    bool deleteFile(FtpHandle, const QString&) override { return false; }
    bool removeDirectory(FtpHandle, const QString&) override { return false; }
    bool createDirectory(FtpHandle, const QString&) override { return false; }
    bool closeHandle(FtpHandle) override { return true; }
    QString lastResponse() const override { return m_response; }
    quint32 lastError() const override { return m_error; }

private:
    FtpHandle succeed(FtpHandle h, const QString& response = {})
    {
        m_response = response;
        m_error = FtpErrorNone;
        return h;
    }
    FtpHandle fail(quint32 error, const QString& response)
    {
        m_response = response;
        m_error = error;
        return 0;
    }
    QString m_response;
    quint32 m_error = FtpErrorNone;
};
