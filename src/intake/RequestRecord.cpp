#include "RequestRecord.h"

QString RequestRecord::requestNumber(const QString& fileName)
{
    QString number = fileName;
    number.remove(QStringLiteral(".txt"), Qt::CaseSensitive);
    return number;
}

QString RequestRecord::requestDate(const QString& fileName)
{
    return fileName.mid(2, 8);
}

QString RequestRecord::typeText(const QString& code)
{
    static const QStringList names{
        QStringLiteral("ACCOMPAGNEMENT"), QStringLiteral("MANUTENTION"),   QStringLiteral("COURSE"),
        QStringLiteral("DEMENAGEMENT"),   QStringLiteral("MISE EN PLACE"), QStringLiteral("AUTRE"),
    };
    if (code.size() != 1 || code.at(0) < QLatin1Char('1') || code.at(0) > QLatin1Char('6'))
        return {};
    return names.at(code.at(0).unicode() - '1');
}

QString RequestRecord::reinvoicingText(const QString& code)
{
    if (code == QLatin1String("1"))
        return QStringLiteral("OUI");
    if (code == QLatin1String("2"))
        return QStringLiteral("NON");
    return {};
}

RequestRecord RequestRecord::fromFields(const QString& fileName, const QStringList& fields, const QDate& received)
{
    const auto field = [&fields](int i) { return i < fields.size() ? fields.at(i) : QString(); };
    RequestRecord r;
    auto& c = r.m_columns;
    c.append({QStringLiteral("DI_NO_DI"), requestNumber(fileName)});
    c.append({QStringLiteral("DI_STATUT"), statusRequested()});
    c.append({QStringLiteral("DI_DATE_DEMANDE"), requestDate(fileName)});
    c.append({QStringLiteral("DI_DATE_RECEPTION"), received.toString(QStringLiteral("yyyyMMdd"))});
    c.append({QStringLiteral("DI_DEMANDEUR"), field(0)});
    c.append({QStringLiteral("DI_DIRECTION"), field(1)});
    const QString type = typeText(field(2));
    if (!type.isEmpty())
        c.append({QStringLiteral("DI_TYPE_DEMANDE"), type});
    const QString reinvoicing = reinvoicingText(field(3));
    if (!reinvoicing.isEmpty())
        c.append({QStringLiteral("DI_A_REFACTURER"), reinvoicing});
    c.append({QStringLiteral("DI_VENTILATION_SAP"), field(4)});
    c.append({QStringLiteral("DI_DATE_SOUHAITEE"), field(7) + field(6) + field(5)});
    c.append({QStringLiteral("DI_HORAIRE_SOUHAITE"), field(8)});
    c.append({QStringLiteral("DI_NO_BATIMENT"), field(9)});
    c.append({QStringLiteral("DI_CODE_LOCAL_DEPART"), field(10)});
    c.append({QStringLiteral("DI_CODE_DEPART_DETINATION"), field(11)});
    c.append({QStringLiteral("DI_OBJET"), field(12).left(textLimit)});
    c.append({QStringLiteral("DI_OBSERVATIONS"), field(13).left(textLimit)});
    c.append({QStringLiteral("DI_TELEPH"), field(14)});
    c.append({QStringLiteral("DI_EMAIL"), field(15)});
    return r;
}

QString RequestRecord::value(const QString& column) const
{
    for (const Column& c : m_columns) {
        if (c.first == column)
            return c.second;
    }
    return {};
}

bool RequestRecord::has(const QString& column) const
{
    for (const Column& c : m_columns) {
        if (c.first == column)
            return true;
    }
    return false;
}
