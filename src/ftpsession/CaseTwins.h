#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The names of one remote listing as Windows holds them, where names that differ only by case
// are one file. The first of such names is a normal entry; a later one would land on its file.
class CaseTwins final {
public:
    explicit CaseTwins(const QStringList& listing);

    // True when `name` is the first of its spelling in the listing (or not listed); otherwise
    // false and `why` is the log line of its refusal.
    bool admits(const QString& name, QString& why) const;

private:
    QHash<QString, QString> m_first; // folded name -> the listing's first name of that spelling
};
