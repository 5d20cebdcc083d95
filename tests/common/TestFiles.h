#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

// Files and programs as the end-to-end tests handle them.

// The whole file, or "<missing>".
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes `content` whole, its folder made first.
inline bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

// Runs `program` to its end (a minute at most) with nothing on its input; its standard output and
// error together in `output`. The exit status, or -1 when it crashed or did not end.
inline int runProgram(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
    }
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Runs a Linux `program` (full path) to its end, a minute at most, also from a Windows test program
// under Wine, which can neither read a Linux program's output nor wait for it: the fixture
// hostrun.sh writes the output, then the exit status, to files. The exit status, or -1.
inline int runHostProgram(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QTemporaryDir dir;
    const QString done = dir.filePath(QStringLiteral("done"));
    const QString out = dir.filePath(QStringLiteral("out"));
    QProcess p;
    p.start(QStringLiteral("/bin/sh"),
            QStringList{QStringLiteral(VORN_FIXTURES_DIR "/hostrun.sh"), done, out, program} + arguments);
    if (!p.waitForStarted(10000))
        return -1;
    const QDeadlineTimer deadline(60000);
    while (!QFileInfo::exists(done) && !deadline.hasExpired())
        QThread::msleep(20);
    p.waitForFinished(5000);
    if (output)
        *output = readFile(out);
    bool ok = false;
    const int status = readFile(done).trimmed().toInt(&ok);
    return ok ? status : -1;
}
