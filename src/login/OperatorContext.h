#pragma once

#include <QString>
#include <QVariant>

// Values filled by the operator login and read across the application. Each entry is empty
// (an invalid QVariant) until a login sets it, and is read as text.
struct OperatorContext {
    QVariant loginResult;
    QVariant userName;
    QVariant userPassword;
    QVariant thirdValue;
    QVariant groupCode;
    QVariant fifthValue;
    // Group rights
    QVariant ADMIN;
    QVariant ETIQ;
    QVariant FEUILLE;
    QVariant LAD;
    QVariant NUM;
    QVariant EXPORT;
    QVariant VERIF;
    QVariant STAT;
    QVariant GED;

    static QString text(const QVariant& v) { return v.isValid() && !v.isNull() ? v.toString() : QString(); }
};
