#include "UserLogin.h"

#include "database/DatabaseConnection.h"
#include "database/RecordSet.h"
#include "platform/Dialogs.h"

#include <QCoreApplication>

namespace {

const QString kTitle = QStringLiteral("VORN_UPDATE_VERSION");

void letEventsRun()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace

UserLogin::UserLogin(OperatorContext& context, Dialogs& dialogs, const QString& appDir)
    : m_context(context)
    , m_dialogs(dialogs)
    , m_appDir(appDir)
{}

bool UserLogin::fail(const QString& error)
{
    m_context.loginResult = 0;
    m_dialogs.inform(error, kTitle, DialogIcon::Critical);
    return false;
}

bool UserLogin::XLogin(const QString& user, const QString& password)
{
    RecordSet rows;
    {
        DatabaseConnection c(dataSource(), m_appDir);
        // Name and password are compared exactly: with like, a "%" typed as the password would
        // let anyone in under any name.
        if (!c.open() ||
            !c.read(QStringLiteral("select * from KESTRAVO_PARAM where (P_DOMAINE like 'USER%' and P_VAL1 = ? and "
                                   "P_VAL2 = ?)"),
                    {user, password}, rows))
            return fail(c.error());
        if (rows.isEmpty()) {
            m_context.loginResult = 0;
            return true;
        }
    }
    m_context.userName = rows.value(0, QStringLiteral("P_VAL1"));
    m_context.userPassword = rows.value(0, QStringLiteral("P_VAL2"));
    m_context.thirdValue = rows.value(0, QStringLiteral("P_VAL3"));
    m_context.groupCode = rows.value(0, QStringLiteral("P_VAL4"));
    m_context.fifthValue = rows.value(0, QStringLiteral("P_VAL5"));
    m_context.loginResult = 1;
    letEventsRun();

    RecordSet groups;
    {
        DatabaseConnection c(dataSource(), m_appDir);
        if (!c.open() || !c.read(QStringLiteral("select * from KESTRAVO_GROUP where (GR000 like ? )"),
                                 {OperatorContext::text(m_context.groupCode)}, groups))
            return fail(c.error());
    }
    if (groups.isEmpty()) {
        m_context.loginResult = 0;
        m_dialogs.inform(noGroupMessage(), kTitle);
        return true;
    }
    m_context.ADMIN = groups.value(0, QStringLiteral("ADMIN"));
    m_context.ETIQ = groups.value(0, QStringLiteral("ETIQ"));
    m_context.groupCode = groups.value(0, QStringLiteral("GR000"));
    m_context.FEUILLE = groups.value(0, QStringLiteral("FEUILLE"));
    m_context.LAD = groups.value(0, QStringLiteral("LAD"));
    m_context.NUM = groups.value(0, QStringLiteral("NUM"));
    m_context.EXPORT = groups.value(0, QStringLiteral("EXPORT"));
    m_context.VERIF = groups.value(0, QStringLiteral("VERIF"));
    m_context.STAT = groups.value(0, QStringLiteral("STAT"));
    m_context.GED = groups.value(0, QStringLiteral("GED"));
    m_context.loginResult = 1;
    letEventsRun();
    return true;
}
