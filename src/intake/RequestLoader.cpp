#include "RequestLoader.h"

#include "IntakeCounter.h"
#include "IntakeFileRun.h"
#include "IntakeView.h"
#include "RequestRecord.h"
#include "RequestTable.h"
#include "RequestText.h"
#include "database/DatabaseConnection.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFileInfo>

RequestLoader::RequestLoader(QString appDir, IntakeCounter& intakeCount, IntakeView& view, const Clock& clock)
    : m_appDir(std::move(appDir))
    , m_files(m_appDir, intakeCount, view)
    , m_intakeCount(intakeCount)
    , m_view(view)
    , m_clock(clock)
{}

QString RequestLoader::requestFolder() const
{
    return m_files.requestFolder();
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
    const IntakeFileRun::Texts texts{
        QStringLiteral("Un enregistrement des DI est déjà en cours."), QStringLiteral("DI"),
        QStringLiteral("Enregistrement des DI. Veuillez patienter encore..."),
        QStringLiteral("La base des DI (TORVANDEL) est inaccessible ; le fichier « %1 » n'a pas été enregistré.\n%2")};
    return m_files.run(
        texts, [this](const QString& path, const QString& name, QString& why) { return load(path, name, why); }, error);
}

bool RequestLoader::load(const QString& path, const QString& name, QString& error)
{
    RequestTable* table = m_files.table(name, error);
    if (!table)
        return false;
    const QString number = RequestRecord::requestNumber(name);
    bool found = false;
    QString why;
    if (!table->exists(number, found, why)) {
        error = QStringLiteral("La recherche de la DI « %1 » (fichier « %2 ») dans TORVANDEL_DI a échoué.\n%3")
                    .arg(number, name, why);
        return false;
    }
    if (found)
        return true;

    QByteArray raw;
    if (!RequestText::readFile(path, raw, why)) {
        error = why;
        return false;
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
        return false;
    }
    // Counted once written, so the count never includes a row the database refused.
    m_intakeCount.add();
    return true;
}
