#pragma once

#include <QString>

#include <functional>
#include <memory>

class DatabaseConnection;
class IntakeCounter;
class IntakeView;
class RequestTable;

// The frame that the loading of the request files and the sync of the validation files share:
// one run at a time, the wait frame busy, the request folder's files of one prefix listed, the
// bar moved file by file, the request table opened on the first file that needs it and closed at
// the end. The count is reset at the start; each step counts what it wrote.
class IntakeFileRun final {
public:
    struct Texts {
        QString alreadyRunning; // a second run while one is under way
        QString prefix;         // of the file names, matched without regard to case
        QString info;           // the wait frame's line
        QString noDatabase;     // %1 the file, %2 the database's own text
    };

    IntakeFileRun(QString appDir, IntakeCounter& intakeCount, IntakeView& view);
    ~IntakeFileRun();
    IntakeFileRun(const IntakeFileRun&) = delete;
    IntakeFileRun& operator=(const IntakeFileRun&) = delete;

    // One file of the folder (`path`, `name`): false with `error` ends the run.
    using Step = std::function<bool(const QString& path, const QString& name, QString& error)>;
    // False at the first failure (the folder, a step, the database), with a French message.
    bool run(const Texts& texts, const Step& step, QString& error);

    // During a step: the request table, opened on first use; null, with `error` said as the texts
    // have it, when the database cannot be opened.
    RequestTable* table(const QString& name, QString& error);

    QString requestFolder() const;

private:
    QString m_appDir;
    IntakeCounter& m_intakeCount;
    IntakeView& m_view;
    bool m_running = false;
    QString m_noDatabase;
    std::unique_ptr<DatabaseConnection> m_db;
    std::unique_ptr<RequestTable> m_table;
};
