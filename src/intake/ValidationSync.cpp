#include "ValidationSync.h"

#include "IntakeCounter.h"
#include "IntakeView.h"
#include "RequestLoader.h"
#include "RequestRecord.h"
#include "RequestTable.h"
#include "RequestText.h"
#include "platform/text/Windows1252.h"

#include <QDir>

ValidationSync::ValidationSync(QString appDir, IntakeCounter& intakeCount, IntakeView& view)
    : m_appDir(std::move(appDir))
    , m_files(m_appDir, intakeCount, view)
    , m_intakeCount(intakeCount)
    , m_view(view)
{}

QString ValidationSync::requestFolder() const
{
    return m_files.requestFolder();
}

QString ValidationSync::validationDate(const QString& fileName)
{
    return RequestRecord::requestNumber(fileName).mid(4, 8);
}

bool ValidationSync::XmajOKDI(QString& error)
{
    const IntakeFileRun::Texts texts{
        QStringLiteral("Un enregistrement des validations est déjà en cours."), QStringLiteral("OKDI"),
        QStringLiteral("Enregistrement des Validations. Veuillez patienter encore..."),
        QStringLiteral(
            "La base des DI (TORVANDEL) est inaccessible ; la validation « %1 » n'a pas été enregistrée.\n%2")};
    m_skippedEmpty.clear();
    return m_files.run(
        texts, [this](const QString& path, const QString& name, QString& why) { return apply(path, name, why); },
        error);
}

bool ValidationSync::apply(const QString& path, const QString& name, QString& error)
{
    QByteArray raw;
    QString why;
    if (!RequestText::readFile(path, raw, why)) {
        error = why;
        return false;
    }
    QByteArray line;
    if (!RequestText::firstLine(raw, line)) {
        // Nothing names a request yet; the file may still be arriving.
        m_skippedEmpty << name;
        return true;
    }
    const QString number = Windows1252::decode(line);
    RequestTable* table = m_files.table(name, error);
    if (!table)
        return false;
    bool found = false;
    if (!table->exists(number, found, why)) {
        error = QStringLiteral("La recherche de la DI « %1 » (validation « %2 ») dans TORVANDEL_DI a échoué.\n%3")
                    .arg(number, name, why);
        return false;
    }
    if (!found)
        return true;

    const QString date = validationDate(name);
    m_view.processEvents();
    if (!table->validate(number, date, why)) {
        error = QStringLiteral("La validation de la DI « %1 » (fichier « %2 ») n'a pas pu être enregistrée.\n%3")
                    .arg(number, name, why);
        return false;
    }
    m_intakeCount.add();
    return true;
}
