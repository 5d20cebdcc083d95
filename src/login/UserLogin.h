#pragma once

#include "OperatorContext.h"

#include <QString>

class Dialogs;

// The operator check against the users (KESTRAVO_PARAM) and groups (KESTRAVO_GROUP) of the
// flow-management database. Fills the operator context entry by entry, so a failed check keeps
// whatever an earlier one left.
class UserLogin final {
public:
    UserLogin(OperatorContext& context, Dialogs& dialogs, const QString& appDir);

    // Looks the user up by exact name and password, then its group. loginResult ends as 1 when
    // both were found, 0 otherwise. Returns false when the database could not be reached or
    // refused a query; the operator has then been told why and loginResult is 0.
    bool XLogin(const QString& user, const QString& password);

    static QString dataSource() { return QStringLiteral("KESTRAVO2019"); }
    static QString noGroupMessage() { return QStringLiteral("Désolé... pas de groupe défini pour ce user."); }

private:
    bool fail(const QString& error);

    OperatorContext& m_context;
    Dialogs& m_dialogs;
    QString m_appDir;
};
