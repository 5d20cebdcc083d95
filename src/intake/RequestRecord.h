#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// One new row of TORVANDEL_DI, built from a request file's name and its fields.
class RequestRecord final {
public:
    using Column = QPair<QString, QString>; // column name, value

    // `fields` as X_X gives them; fields the text does not reach count as empty.
    static RequestRecord fromFields(const QString& fileName, const QStringList& fields, const QDate& received);

    // The columns to write, in writing order. DI_TYPE_DEMANDE and DI_A_REFACTURER are absent when
    // their code is outside its table.
    const QList<Column>& columns() const { return m_columns; }
    QString value(const QString& column) const;
    bool has(const QString& column) const;

    // The file name with every ".txt" removed (letter case compared exactly).
    static QString requestNumber(const QString& fileName);
    // Characters 3 to 10 of the name as listed.
    static QString requestDate(const QString& fileName);
    // Empty text when the code is outside the table; the comparison is exact.
    static QString typeText(const QString& code);
    static QString reinvoicingText(const QString& code);

    static QString statusRequested() { return QStringLiteral("DEMANDE"); }
    static constexpr int textLimit = 255;

private:
    QList<Column> m_columns;
};
