#pragma once

#include "IntakeFileRun.h"

#include <QString>
#include <QStringList>

class Clock;
class IntakeCounter;
class IntakeView;

// Loads the request files of <appDir>/DOWN into TORVANDEL_DI: every file whose request number the
// table does not hold yet gives one new row with status "DEMANDE". Files are never moved, so a
// loading can run again over the same folder and inserts only what is new.
class RequestLoader final {
public:
    RequestLoader(QString appDir, IntakeCounter& intakeCount, IntakeView& view, const Clock& clock);

    // False at the first failure (folder, file or database), with a French message naming the
    // file and the database's own text. Rows written before it stay. IntakeCount holds the number
    // of rows written.
    bool XMAJ(QString& error);

    // Appends the fields of `laligne`, separated by ";", to ListDI.
    void X_X(const QString& laligne);
    // The field split itself: "A;;B" gives A, an empty field and B; an empty text one empty field.
    static QStringList fields(const QString& laligne);

    const QStringList& ListDI() const { return m_listDI; }

    QString requestFolder() const;
    static QString dataSource() { return QStringLiteral("TORVANDEL"); }
    // One line naming the database the intake writes to: the registered data source, or the
    // embedded file used when no data source of that name is registered.
    static QString databaseInUse(const QString& appDir);
    // Request files: "DI*.*" matched without regard to case (a name without "." included).
    static QStringList listFiles(const QString& folder, const QString& prefix, bool& ok);

private:
    bool load(const QString& path, const QString& name, QString& error);

    QString m_appDir;
    IntakeFileRun m_files;
    IntakeCounter& m_intakeCount;
    IntakeView& m_view;
    const Clock& m_clock;
    QStringList m_listDI;
};
