#pragma once

#include <QList>
#include <QString>

// One entry of the local browser's drive list.
struct Drive {
    QString root; // the folder it opens, with "/" separators ("/", "C:/")
    QString text; // what the operator sees ("/media/cle [CLE]", "c: [SYSTEME]")
};

// The drives (volumes) of this machine as the local browser offers them.
class Drives {
public:
    virtual ~Drives() = default;
    // Every drive in the system's order, those without media included; never waits on an absent one.
    virtual QList<Drive> list() const = 0;
    // Whether `path` (with "/" separators) lies on the drive opened at `root`, by the system's rules of
    // letter case.
    virtual bool holds(const QString& root, const QString& path) const = 0;
};
