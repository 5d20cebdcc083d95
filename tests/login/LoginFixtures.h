#pragma once

#include "common/TestDatabases.h"

#include <QStringList>

// Users and groups of the flow-management database shared by the login tests.
//   DUPONT/secret  group G1, followed by a second DUPONT/secret row that must never be read
//   O'BRIEN/p'w    group G1
//   NOGROUP/pw     group G9, which does not exist
//   ADMINX/pw      in a domain that is not a user domain
//   ""/""          group G2
inline bool seedLogins(TestDatabases& env)
{
    const QString kestravo = QStringLiteral("KESTRAVO2019");
    const QString user = QStringLiteral(
        "insert into KESTRAVO_PARAM (P_DOMAINE, P_VAL1, P_VAL2, P_VAL3, P_VAL4, P_VAL5) values (?, ?, ?, ?, ?, ?)");
    const QString group = QStringLiteral("insert into KESTRAVO_GROUP (GR000, ADMIN, ETIQ, FEUILLE, LAD, NUM, EXPORT, "
                                         "VERIF, STAT, GED) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QList<QVariantList> users = {
        {"USER", "DUPONT", "secret", "atelier", "G1", "Quai 3"},
        {"USER2", "DUPONT", "secret", "second row", "G2", "Quai 9"},
        {"USER", "O'BRIEN", "p'w", "", "G1", "Quai 1"},
        {"USER", "NOGROUP", "pw", "x", "G9", "y"},
        {"PARAM", "ADMINX", "pw", "", "G1", ""},
        {"USER", "", "", "", "G2", ""},
    };
    for (const QVariantList& row : users) {
        if (!env.exec(kestravo, user, row))
            return false;
    }
    return env.exec(kestravo, group, {"G1", "1", "0", "1", "0", "1", "0", "1", "0", "1"}) &&
           env.exec(kestravo, group, {"G2", "0", "0", "0", "0", "0", "0", "0", "0", "0"});
}
