#include "PalletCodeWriter.h"

#include "UtCodes.h"
#include "database/DatabaseConnection.h"
#include "database/RecordSet.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");

// The highest n of a code "UT" + 6 digits, and the number of pallet rows, as the open
// transaction sees them; the larger of the two is where new UT codes start.
bool readUtBase(DatabaseConnection& db, int* base, QString* error)
{
    RecordSet rows;
    if (!db.read(QStringLiteral("select count(*) as n from kestravo_palette"), {}, rows)) {
        *error = db.error();
        return false;
    }
    int highest = rows.value(0, QStringLiteral("n")).toInt();
    // Descending over the index: the first code of the exact form is the highest one.
    QSqlQuery query(db.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select PAL_CAB from kestravo_palette where PAL_CAB >= 'UT000000' and PAL_CAB <= "
                                   "'UT999999' order by PAL_CAB desc"))) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next()) {
        // "UT" and six digits exactly. Read by hand: under Wine, a worker thread that had matched a
        // QRegularExpression here sometimes crashed the program at its exit (in Qt's freeing of the
        // expression's per-thread JIT stack), 2 runs in 8 of the two-station test; none in 27 since.
        const QString code = query.value(0).toString();
        if (code.size() == 8 && code.startsWith(QLatin1String("UT")) &&
            std::all_of(code.cbegin() + 2, code.cend(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; })) {
            highest = std::max(highest, QStringView(code).mid(2).toInt());
            break;
        }
    }
    *base = highest;
    return true;
}

bool isLockError(const DatabaseConnection& db, const QSqlError& error)
{
    // SQLITE_BUSY and SQLITE_LOCKED: another connection holds the file.
    return db.isEmbedded() &&
           (error.nativeErrorCode() == QLatin1String("5") || error.nativeErrorCode() == QLatin1String("6"));
}
} // namespace

PalletCodeWriter::PalletCodeWriter(QString appDir)
    : m_appDir(std::move(appDir))
{}

int PalletCodeWriter::nextUtBase(QString* error) const
{
    DatabaseConnection db(Kestravo, m_appDir);
    int base = -1;
    QString why;
    if (!db.open())
        why = db.error();
    else if (!readUtBase(db, &base, &why))
        base = -1;
    if (base < 0 && error)
        *error = why;
    return base;
}

bool PalletCodeWriter::writeNextUtCodes(int count, QStringList* written, QString* error)
{
    return write(
        [count](DatabaseConnection& db, QStringList* codes, QString* why) {
            int base = 0;
            if (!readUtBase(db, &base, why))
                return false;
            if (base + count > 999999) {
                *why = QStringLiteral("Plus assez de numéros UT libres : les codes s'arrêtent à UT999999. Aucun code "
                                      "n'a été créé.");
                return false;
            }
            for (int t = 1; t <= count; ++t)
                *codes << UtCodes::utCode(base + t);
            return true;
        },
        written, error);
}

bool PalletCodeWriter::writeMissing(const QStringList& codes, int* existing, QString* error)
{
    QStringList written;
    const bool ok = write(
        [&codes](DatabaseConnection& db, QStringList* missing, QString* why) {
            QStringList sorted = codes;
            sorted.sort();
            RecordSet rows;
            if (!sorted.isEmpty() &&
                !db.read(QStringLiteral("select PAL_CAB from kestravo_palette where PAL_CAB >= ? and PAL_CAB <= ?"),
                         {sorted.first(), sorted.last()}, rows)) {
                *why = db.error();
                return false;
            }
            QSet<QString> there;
            for (int i = 0; i < rows.recordCount(); ++i)
                there.insert(rows.text(i, QStringLiteral("PAL_CAB")));
            for (const QString& code : codes) {
                if (!there.contains(code))
                    *missing << code;
            }
            return true;
        },
        &written, error);
    if (ok && existing)
        *existing = static_cast<int>(codes.size() - written.size());
    return ok;
}

bool PalletCodeWriter::write(const Plan& plan, QStringList* written, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    DatabaseConnection db(Kestravo, m_appDir);
    if (!db.open())
        return fail(db.error());
    QSqlDatabase sql = db.database();
    QString lastError;
    for (int attempt = 1; attempt <= Attempts; ++attempt) {
        if (attempt > 1)
            QThread::msleep(static_cast<unsigned long>(20 * attempt));
        if (!sql.transaction())
            return fail(sql.lastError().text());
        QSqlQuery query(sql);
        // The embedded file's write lock first: a second station then waits here, before its
        // read, instead of reading codes that are about to be taken.
        if (db.isEmbedded() &&
            !query.exec(QStringLiteral("update kestravo_palette set PAL_CAB = PAL_CAB where 0 = 1"))) {
            lastError = query.lastError().text();
            const bool locked = isLockError(db, query.lastError());
            sql.rollback();
            if (locked)
                continue;
            return fail(lastError);
        }
        QStringList codes;
        QString why;
        if (!plan(db, &codes, &why)) {
            sql.rollback();
            return fail(why);
        }
        if (!query.prepare(QStringLiteral("insert into kestravo_palette (PAL_CAB) values (?)")))
            return fail(query.lastError().text());
        QString failedCode;
        bool locked = false;
        for (qsizetype i = 0; i < codes.size(); ++i) {
            if (m_progress)
                m_progress(static_cast<int>(i + 1));
            query.addBindValue(codes[i]);
            if (!query.exec()) {
                failedCode = codes[i];
                lastError = query.lastError().text();
                locked = isLockError(db, query.lastError());
                break;
            }
        }
        if (failedCode.isEmpty()) {
            if (sql.commit()) {
                if (written)
                    *written = codes;
                return true;
            }
            lastError = sql.lastError().text();
            locked = isLockError(db, sql.lastError());
        }
        query = QSqlQuery();
        sql.rollback();
        if (locked)
            continue;
        // A code that is there now, after our rollback, was written by someone else meanwhile.
        RecordSet rows;
        if (!failedCode.isEmpty() &&
            db.read(QStringLiteral("select PAL_CAB from kestravo_palette where PAL_CAB = ?"), {failedCode}, rows) &&
            rows.recordCount() > 0)
            continue;
        return fail(lastError);
    }
    return fail(QStringLiteral("Une autre station crée des codes en même temps : après %1 essais, les codes n'ont "
                               "pas pu être réservés.\n\n")
                    .arg(Attempts) +
                lastError);
}
