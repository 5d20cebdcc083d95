#include "PalletCodeIndex.h"

#include "database/DatabaseConnection.h"
#include "database/DatabaseSchema.h"
#include "database/RecordSet.h"

#include <QDir>
#include <QSettings>

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");
}

PalletCodeIndex::State PalletCodeIndex::ensure(const QString& appDir)
{
    State state;
    DatabaseConnection db(Kestravo, appDir);
    if (!db.open()) {
        state.error = db.error();
        return state;
    }
    const DatabaseSchema::Dialect dialect =
        db.isEmbedded() ? DatabaseSchema::Dialect::Sqlite : DatabaseSchema::Dialect::Postgresql;
    state.unique = true;
    for (const QString& statement : DatabaseSchema::uniqueIndexes(Kestravo, dialect)) {
        if (!db.execute(statement)) {
            state.unique = false;
            state.error = db.error();
        }
    }
    if (state.unique)
        return state;
    RecordSet rows;
    if (!db.read(QStringLiteral("select PAL_CAB, count(*) as n from kestravo_palette group by PAL_CAB having "
                                "count(*) > 1 order by PAL_CAB"),
                 {}, rows))
        return state;
    state.duplicateCount = rows.recordCount();
    for (int i = 0; i < rows.recordCount() && i < NamedDuplicates; ++i)
        state.duplicates << QStringLiteral("%1 (%2 fois)")
                                .arg(rows.text(i, QStringLiteral("PAL_CAB")), rows.text(i, QStringLiteral("n")));
    if (state.duplicateCount > 0)
        state.error.clear();
    return state;
}

QString PalletCodeIndex::takeNotice(const QString& appDir, const State& state)
{
    QString text;
    if (state.duplicateCount > 0)
        text = QStringLiteral("%1 code(s) de palette (PAL_CAB) figurent plusieurs fois dans kestravo_palette, dont : "
                              "%2.\n\nLa table est laissée telle quelle, sans index unique : tant que ces doublons "
                              "restent, deux stations peuvent encore créer le même code et ces palettes ne peuvent "
                              "pas partir en train. Corrigez-les, puis rouvrez la station.")
                   .arg(QString::number(state.duplicateCount), state.duplicates.join(QStringLiteral(", ")));
    else if (!state.unique && !state.error.isEmpty())
        text = QStringLiteral("L'index unique des codes de palette (PAL_CAB) n'a pas pu être créé : deux stations "
                              "peuvent encore créer le même code.\n\n") +
               state.error;
    if (text.isEmpty())
        return text;
    QDir(appDir).mkpath(QStringLiteral("data"));
    QSettings shown(QDir(appDir).filePath(QStringLiteral("data/station.ini")), QSettings::IniFormat);
    const QString key = QStringLiteral("notices/%1-codes").arg(Kestravo);
    if (shown.value(key).toString() == text)
        return {};
    shown.setValue(key, text);
    return text;
}
