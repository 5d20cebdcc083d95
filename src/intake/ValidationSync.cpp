#include "ValidationSync.h"

#include "IntakeCounter.h"
#include "IntakeView.h"
#include "RequestLoader.h"
#include "RequestRecord.h"
#include "RequestTable.h"
#include "RequestText.h"
#include "database/DatabaseConnection.h"
#include "platform/text/Windows1252.h"

#include <QDir>

#include <memory>

ValidationSync::ValidationSync(QString appDir, IntakeCounter& intakeCount, IntakeView& view)
    : m_appDir(std::move(appDir))
    , m_intakeCount(intakeCount)
    , m_view(view)
{}

QString ValidationSync::requestFolder() const
{
    return QDir(m_appDir).filePath(QStringLiteral("DOWN"));
}

QString ValidationSync::validationDate(const QString& fileName)
{
    return RequestRecord::requestNumber(fileName).mid(4, 8);
}

bool ValidationSync::XmajOKDI(QString& error)
{
    if (m_running) {
        error = QStringLiteral("Un enregistrement des validations est déjà en cours.");
        return false;
    }
    m_running = true;
    m_skippedEmpty.clear();
    m_view.setAnimationInterval(800);
    m_view.setBusy(true);

    const QString folder = requestFolder();
    bool listed = false;
    const QStringList names = RequestLoader::listFiles(folder, QStringLiteral("OKDI"), listed);
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(names.size()));
    m_view.setInfo(QStringLiteral("Enregistrement des Validations. Veuillez patienter encore..."));
    m_view.processEvents();
    m_intakeCount.reset();

    bool ok = listed;
    if (!listed)
        error = QStringLiteral("Le dossier des DI « %1 » est introuvable.").arg(QDir::toNativeSeparators(folder));

    DatabaseConnection db(RequestLoader::dataSource(), m_appDir);
    std::unique_ptr<RequestTable> table;
    for (qsizetype i = 0; ok && i < names.size(); ++i) {
        const QString& name = names.at(i);
        m_view.setProgressValue(static_cast<int>(i + 1));
        m_view.setCurrentItem(name);
        m_view.processEvents();

        QByteArray raw;
        QString why;
        if (!RequestText::readFile(QDir(folder).filePath(name), raw, why)) {
            error = why;
            ok = false;
            break;
        }
        QByteArray line;
        if (!RequestText::firstLine(raw, line)) {
            // Nothing names a request yet; the file may still be arriving.
            m_skippedEmpty << name;
            continue;
        }
        const QString number = Windows1252::decode(line);

        if (!table) {
            if (!db.open()) {
                error = QStringLiteral("La base des DI (TORVANDEL) est inaccessible ; la validation « %1 » n'a pas "
                                       "été enregistrée.\n%2")
                            .arg(name, db.error());
                ok = false;
                break;
            }
            table = std::make_unique<RequestTable>(db.database());
        }
        bool found = false;
        if (!table->exists(number, found, why)) {
            error = QStringLiteral("La recherche de la DI « %1 » (validation « %2 ») dans TORVANDEL_DI a échoué.\n%3")
                        .arg(number, name, why);
            ok = false;
            break;
        }
        if (!found)
            continue;

        const QString date = validationDate(name);
        m_view.processEvents();
        if (!table->validate(number, date, why)) {
            error = QStringLiteral("La validation de la DI « %1 » (fichier « %2 ») n'a pas pu être enregistrée.\n%3")
                        .arg(number, name, why);
            ok = false;
            break;
        }
        m_intakeCount.add();
    }
    table.reset();
    db.close();

    m_view.setBusy(false);
    m_running = false;
    return ok;
}
