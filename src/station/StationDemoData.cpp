#include "StationDemoData.h"

#include "database/DatabaseConnection.h"
#include "database/RecordSet.h"

#include <QSqlDatabase>

bool StationDemoData::fillIfEmpty(const QString& appDir, QString* error)
{
    DatabaseConnection db(QStringLiteral("KESTRAVO2019"), appDir);
    auto failed = [&db, error] {
        if (error)
            *error = db.error();
        return false;
    };
    if (!db.open())
        return failed();
    RecordSet rows;
    if (!db.read(QStringLiteral("select count(*) as n from KESTRAVO_PARAM"), {}, rows))
        return failed();
    const int users = rows.value(0, QStringLiteral("n")).toInt();
    if (!db.read(QStringLiteral("select count(*) as n from kestravo_palette"), {}, rows))
        return failed();
    if (users > 0 || rows.value(0, QStringLiteral("n")).toInt() > 0)
        return true;

    QSqlDatabase sql = db.database();
    sql.transaction();
    auto insert = [&db](const QString& table, const QList<std::pair<QString, QVariant>>& columns) {
        return db.insert(table, columns);
    };
    bool ok = insert("KESTRAVO_PARAM", {{"P_DOMAINE", "USER"},
                                        {"P_VAL1", "DEMO"},
                                        {"P_VAL2", "demo"},
                                        {"P_VAL3", ""},
                                        {"P_VAL4", "ADM"},
                                        {"P_VAL5", "Quai 1"}}) &&
              insert("KESTRAVO_PARAM", {{"P_DOMAINE", "USER"},
                                        {"P_VAL1", "QUAI"},
                                        {"P_VAL2", "quai"},
                                        {"P_VAL3", ""},
                                        {"P_VAL4", "OPE"},
                                        {"P_VAL5", "Quai 2"}});
    const QStringList rights = {"ADMIN", "ETIQ", "FEUILLE", "LAD", "NUM", "EXPORT", "VERIF", "STAT", "GED"};
    for (const QString& group : {QStringLiteral("ADM"), QStringLiteral("OPE")}) {
        QList<std::pair<QString, QVariant>> columns{{"GR000", group}};
        for (const QString& right : rights)
            columns.append({right, group == QLatin1String("ADM") || right != QLatin1String("ADMIN") ? "1" : "0"});
        ok = ok && insert("KESTRAVO_GROUP", columns);
    }
    for (int i = 1; ok && i <= 30; ++i) {
        const QString code = QStringLiteral("UT%1").arg(i, 6, 10, QLatin1Char('0'));
        ok = insert("kestravo_palette", {{"PAL_CAB", code},
                                         {"PAL_POIDS", 250 + 17 * i},
                                         {"PAL_LONGUEUR", 120},
                                         {"PAL_LARGEUR", 80},
                                         {"PAL_HAUTEUR", 100 + i}});
        for (int a = 1; ok && a <= 3; ++a)
            ok = insert("kestravo_global", {{"G_NO_PALETTE", i <= 20 ? QVariant(code) : QVariant()},
                                            {"g_type_uc", a == 3 ? "DIMAB" : "bo"},
                                            {"G_LOCALISATION_PERMANENTE", QStringLiteral("A%1-%2").arg(i).arg(a)},
                                            {"G_WF_PAL_CAB", i <= 20 ? QVariant(code) : QVariant()}});
    }
    if (!ok) {
        const bool told = failed();
        sql.rollback();
        return told;
    }
    if (!sql.commit()) {
        if (error)
            *error = QStringLiteral("Les données de démonstration n'ont pas été enregistrées.");
        return false;
    }
    return true;
}
