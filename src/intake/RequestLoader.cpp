#include "RequestLoader.h"

#include "IntakeCounter.h"
#include "IntakeView.h"
#include "RequestRecord.h"
#include "RequestTable.h"
#include "RequestText.h"
#include "database/DatabaseConnection.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

RequestLoader::RequestLoader(QString appDir, IntakeCounter& intakeCount, IntakeView& view, const Clock& clock)
    : m_appDir(std::move(appDir))
    , m_intakeCount(intakeCount)
    , m_view(view)
    , m_clock(clock)
{}

QString RequestLoader::requestFolder() const
{
    return QDir(m_appDir).filePath(QStringLiteral("DOWN"));
}

QString RequestLoader::databaseInUse(const QString& appDir)
{
    // Whether the data source is registered is only known once a conversation is attempted.
    DatabaseConnection db(dataSource(), appDir);
    db.open();
    db.close();
    if (db.isEmbedded())
        return QStringLiteral("Base des DI : fichier intégré %1 (aucune source de données %2 déclarée dans ODBC)")
            .arg(QDir::toNativeSeparators(QFileInfo(db.embeddedFile()).absoluteFilePath()), dataSource());
    return QStringLiteral("Base des DI : source de données ODBC %1").arg(dataSource());
}

QStringList RequestLoader::listFiles(const QString& folder, const QString& prefix, bool& ok)
{
    const QDir dir(folder);
    ok = dir.exists();
    if (!ok)
        return {};
    // "*.*" has always matched names without a dot as well, so the prefix alone decides.
    QStringList names;
    const QStringList all = dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : all) {
        if (name.startsWith(prefix, Qt::CaseInsensitive))
            names << name;
    }
    return names;
}

QStringList RequestLoader::fields(const QString& laligne)
{
    return laligne.split(QLatin1Char(';'));
}

void RequestLoader::X_X(const QString& laligne)
{
    m_listDI << fields(laligne);
}

bool RequestLoader::XMAJ(QString& error)
{
    if (m_running) {
        error = QStringLiteral("Un enregistrement des DI est déjà en cours.");
        return false;
    }
    m_running = true;
    m_view.setAnimationInterval(800);
    m_view.setBusy(true);

    const QString folder = requestFolder();
    bool listed = false;
    const QStringList names = listFiles(folder, QStringLiteral("DI"), listed);
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(names.size()));
    m_view.setInfo(QStringLiteral("Enregistrement des DI. Veuillez patienter encore..."));
    m_view.processEvents();
    m_intakeCount.reset();

    bool ok = listed;
    if (!listed)
        error = QStringLiteral("Le dossier des DI « %1 » est introuvable.").arg(QDir::toNativeSeparators(folder));

    // One conversation for the whole loading; opened only once there is a file to look up.
    DatabaseConnection db(dataSource(), m_appDir);
    std::unique_ptr<RequestTable> table;
    for (qsizetype i = 0; ok && i < names.size(); ++i) {
        const QString& name = names.at(i);
        m_view.setProgressValue(static_cast<int>(i + 1));
        m_view.setCurrentItem(name);
        m_view.processEvents();

        if (!table) {
            if (!db.open()) {
                error = QStringLiteral("La base des DI (TORVANDEL) est inaccessible ; le fichier « %1 » n'a pas été "
                                       "enregistré.\n%2")
                            .arg(name, db.error());
                ok = false;
                break;
            }
            table = std::make_unique<RequestTable>(db.database());
        }

        const QString number = RequestRecord::requestNumber(name);
        bool found = false;
        QString why;
        if (!table->exists(number, found, why)) {
            error = QStringLiteral("La recherche de la DI « %1 » (fichier « %2 ») dans TORVANDEL_DI a échoué.\n%3")
                        .arg(number, name, why);
            ok = false;
            break;
        }
        if (found)
            continue;

        QByteArray raw;
        if (!RequestText::readFile(QDir(folder).filePath(name), raw, why)) {
            error = why;
            ok = false;
            break;
        }
        m_listDI.clear();
        const QString text = RequestText::prepare(raw);
        m_view.processEvents();
        m_listDI.clear();
        X_X(text);
        m_view.processEvents();

        const RequestRecord record = RequestRecord::fromFields(name, m_listDI, m_clock.now().date());
        if (!table->insert(record, why)) {
            error = QStringLiteral("La DI « %1 » (fichier « %2 ») n'a pas pu être enregistrée dans TORVANDEL_DI.\n%3")
                        .arg(number, name, why);
            ok = false;
            break;
        }
        // Counted once written, so the count never includes a row the database refused.
        m_intakeCount.add();
    }
    table.reset();
    db.close();

    m_view.setBusy(false);
    m_running = false;
    return ok;
}
