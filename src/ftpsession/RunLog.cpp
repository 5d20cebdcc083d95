#include "RunLog.h"

#include "platform/Clock.h"
#include "platform/ConsoleText.h"

#include <QDateTime>
#include <QDir>
#include <QStringList>

#include <cstdio>

RunLog::RunLog(QString path, const Clock& clock, bool mirrorToStderr)
    : m_path(std::move(path))
    , m_clock(clock)
    , m_mirror(mirrorToStderr)
{}

void RunLog::fail(const QString& why)
{
    m_file.close();
    if (m_failed)
        return;
    m_failed = true;
    writeText(
        stderr,
        QStringLiteral("Le journal « %1 » ne peut pas être écrit : %2\n").arg(QDir::toNativeSeparators(m_path), why));
}

bool RunLog::open()
{
    m_file.setFileName(m_path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return true;
    fail(m_file.errorString());
    return false;
}

bool RunLog::ensureOpen(qint64 incoming)
{
    if (!m_file.isOpen() && !open())
        return false;
    // Another run may write the same file: its size is read from the file, not counted here.
    if (m_file.size() > 0 && m_file.size() + incoming > RotateAt) {
        m_file.close();
        const QString older = m_path + QStringLiteral(".1");
        QFile::remove(older);
        QFile::rename(m_path, older);
        return open();
    }
    return true;
}

void RunLog::write(const QString& text)
{
    const QString stamp = m_clock.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "));
    QString lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QString clean = line;
        clean.remove(QLatin1Char('\r'));
        if (clean.trimmed().isEmpty())
            continue;
        lines += stamp + clean + QLatin1Char('\n');
    }
    if (lines.isEmpty())
        return;
    m_awaitsOutcome = true;
    if (m_mirror)
        writeText(stderr, lines);
    const QByteArray bytes = lines.toUtf8();
    if (!ensureOpen(bytes.size()))
        return;
    // Flushed at once: a run that is killed keeps its trace.
    if (m_file.write(bytes) != bytes.size() || !m_file.flush())
        fail(m_file.errorString());
}

void RunLog::outcome(const QString& text)
{
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    write(QStringLiteral("Résultat : ") + line);
    m_awaitsOutcome = false;
}
