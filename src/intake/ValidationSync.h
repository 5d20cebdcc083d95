#pragma once

#include "IntakeFileRun.h"

#include <QString>
#include <QStringList>

class IntakeCounter;
class IntakeView;

// Applies the validation files ("OKDI" names) of <appDir>/DOWN to TORVANDEL_DI: each file's first
// line is a request number; a request the table holds gets status "VALIDE" and the date from the
// file's name. The files stay, so every sync applies and counts them all again.
class ValidationSync final {
public:
    ValidationSync(QString appDir, IntakeCounter& intakeCount, IntakeView& view);

    // False at the first failure, with a French message naming the file and the database's own
    // text; validations applied before it stay. IntakeCount holds the number applied.
    bool XmajOKDI(QString& error);

    // Characters 5 to 12 of the name once every ".txt" is removed.
    static QString validationDate(const QString& fileName);

    QString requestFolder() const;
    const IntakeCounter& intakeCount() const { return m_intakeCount; }
    // Files with no line at all, skipped by the last sync.
    const QStringList& skippedEmpty() const { return m_skippedEmpty; }

private:
    bool apply(const QString& path, const QString& name, QString& error);

    QString m_appDir;
    IntakeFileRun m_files;
    IntakeCounter& m_intakeCount;
    IntakeView& m_view;
    QStringList m_skippedEmpty;
};
