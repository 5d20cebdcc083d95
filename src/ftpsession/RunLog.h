#pragma once

#include <QFile>
#include <QString>

class Clock;

// The trace of a run in the application folder: every line of the response log and the run's
// outcome, each after its date and time. The file is renamed to ".1" (replacing the older copy)
// before it would pass RotateAt bytes. Unattended runs also copy each line to standard error, so a
// scheduled task's own log holds it.
class RunLog final {
public:
    static constexpr qint64 RotateAt = 1024 * 1024;

    RunLog(QString path, const Clock& clock, bool mirrorToStderr);
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    static QString fileName() { return QStringLiteral("VORN_UPDATE_VERSION.log"); }
    const QString& path() const { return m_path; }

    // Writes each non-empty line of `text` (lines split at line feeds). The file is opened at the
    // first line, so a run that logs nothing leaves nothing behind. A file that cannot be written
    // is said once on standard error; the run goes on.
    void write(const QString& text);
    // The one line that says how the run ended (line breaks in `text` become blanks).
    void outcome(const QString& text);
    // True when lines were written since the last outcome: the run has not yet said how it ended.
    bool awaitsOutcome() const { return m_awaitsOutcome; }

private:
    bool open();
    bool ensureOpen(qint64 incoming);
    void fail(const QString& why);

    QString m_path;
    const Clock& m_clock;
    bool m_mirror;
    QFile m_file;
    bool m_failed = false;
    bool m_awaitsOutcome = false;
};
