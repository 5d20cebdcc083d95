#include "IntakeFileRun.h"

#include "IntakeCounter.h"
#include "IntakeView.h"
#include "RequestLoader.h"
#include "RequestTable.h"
#include "database/DatabaseConnection.h"

#include <QDir>

IntakeFileRun::IntakeFileRun(QString appDir, IntakeCounter& intakeCount, IntakeView& view)
    : m_appDir(std::move(appDir))
    , m_intakeCount(intakeCount)
    , m_view(view)
{}

IntakeFileRun::~IntakeFileRun() = default;

QString IntakeFileRun::requestFolder() const
{
    return QDir(m_appDir).filePath(QStringLiteral("DOWN"));
}

bool IntakeFileRun::run(const Texts& texts, const Step& step, QString& error)
{
    if (m_running) {
        error = texts.alreadyRunning;
        return false;
    }
    m_running = true;
    m_noDatabase = texts.noDatabase;
    m_view.setAnimationInterval(800);
    m_view.setBusy(true);

    const QString folder = requestFolder();
    bool listed = false;
    const QStringList names = RequestLoader::listFiles(folder, texts.prefix, listed);
    m_view.setProgressValue(0);
    m_view.setProgressMaximum(static_cast<int>(names.size()));
    m_view.setInfo(texts.info);
    m_view.processEvents();
    m_intakeCount.reset();

    bool ok = listed;
    if (!listed)
        error = QStringLiteral("Le dossier des DI « %1 » est introuvable.").arg(QDir::toNativeSeparators(folder));
    // One conversation for the whole run; opened only once a file needs it.
    m_db = std::make_unique<DatabaseConnection>(RequestLoader::dataSource(), m_appDir);
    for (qsizetype i = 0; ok && i < names.size(); ++i) {
        const QString& name = names.at(i);
        m_view.setProgressValue(static_cast<int>(i + 1));
        m_view.setCurrentItem(name);
        m_view.processEvents();
        ok = step(QDir(folder).filePath(name), name, error);
    }
    m_table.reset();
    m_db->close();
    m_db.reset();

    m_view.setBusy(false);
    m_running = false;
    return ok;
}

RequestTable* IntakeFileRun::table(const QString& name, QString& error)
{
    if (!m_table) {
        if (!m_db->open()) {
            error = m_noDatabase.arg(name, m_db->error());
            return nullptr;
        }
        m_table = std::make_unique<RequestTable>(m_db->database());
    }
    return m_table.get();
}
